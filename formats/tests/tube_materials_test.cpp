// The tube's materials by symbol and by name, as tables, DICOM headers and
// grid files give them.
#include "kv/formats/tube_materials.h"

#include <gtest/gtest.h>
#include <string>

using namespace kv::formats;

namespace {

TEST(TubeMaterials, TargetsAreFoundBySymbolOrNameInAnyCase) {
    struct Row {
        const char* name;
        std::string text;
        std::optional<TargetMaterial> target;
    };
    const Row rows[] = {
        {"symbol", "Mo", TargetMaterial::Molybdenum},
        {"symbol in capitals", "MO", TargetMaterial::Molybdenum},
        {"DICOM's word", "TUNGSTEN", TargetMaterial::Tungsten},
        {"one letter", "w", TargetMaterial::Tungsten},
        {"rhodium, a filter and a target", "Rh", TargetMaterial::Rhodium},
        {"DICOM's word for rhodium", "RHODIUM", TargetMaterial::Rhodium},
        {"a filter only is no target", "Ag", std::nullopt},
        {"blank around it", " Mo", std::nullopt},
        {"empty", "", std::nullopt},
        {"a prefix of a name", "molyb", std::nullopt},
    };
    for (const Row& r : rows)
        EXPECT_EQ(targetNamed(r.text), r.target) << r.name;
}

TEST(TubeMaterials, FiltersAreFoundBySymbolOrNameInAnyCase) {
    struct Row {
        const char* name;
        std::string text;
        std::optional<FilterMaterial> filter;
    };
    const Row rows[] = {
        {"rhodium by symbol", "Rh", FilterMaterial::Rhodium},
        {"silver by symbol", "AG", FilterMaterial::Silver},
        {"American spelling", "ALUMINUM", FilterMaterial::Aluminum},
        {"British spelling", "Aluminium", FilterMaterial::Aluminum},
        {"window", "beryllium", FilterMaterial::Beryllium},
        {"a target is no filter", "W", std::nullopt},
        {"two symbols", "Mo/Rh", std::nullopt},
    };
    for (const Row& r : rows)
        EXPECT_EQ(filterNamed(r.text), r.filter) << r.name;
}

// Whatever writes a symbol can read it back, and no two materials share one.
TEST(TubeMaterials, EverySymbolAndNameReadsBackAsItsMaterial) {
    for (TargetMaterial t : kTargetMaterials) {
        EXPECT_EQ(targetNamed(symbol(t)), t) << symbol(t);
        EXPECT_EQ(targetNamed(elementName(t)), t) << elementName(t);
    }
    for (FilterMaterial f : kFilterMaterials) {
        EXPECT_EQ(filterNamed(symbol(f)), f) << symbol(f);
        EXPECT_EQ(filterNamed(elementName(f)), f) << elementName(f);
    }
    EXPECT_EQ(symbol(TargetMaterial::Molybdenum), "Mo");
    EXPECT_EQ(symbol(TargetMaterial::Tungsten), "W");
    EXPECT_EQ(symbol(TargetMaterial::Rhodium), "Rh");
}

} // namespace
