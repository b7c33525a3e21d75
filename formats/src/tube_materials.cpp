#include "kv/formats/tube_materials.h"

#include <cctype>

namespace kv::formats {

namespace {

bool sameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

template <class M, size_t N> std::optional<M> named(const std::array<M, N>& all, std::string_view name) {
    for (M m : all)
        if (sameLetters(name, symbol(m)) || sameLetters(name, elementName(m))) return m;
    return std::nullopt;
}

} // namespace

std::string_view symbol(TargetMaterial t) {
    switch (t) {
    case TargetMaterial::Molybdenum:
        return "Mo";
    case TargetMaterial::Tungsten:
        return "W";
    case TargetMaterial::Rhodium:
        return "Rh";
    }
    return {};
}

std::string_view symbol(FilterMaterial f) {
    switch (f) {
    case FilterMaterial::Beryllium:
        return "Be";
    case FilterMaterial::Aluminum:
        return "Al";
    case FilterMaterial::Molybdenum:
        return "Mo";
    case FilterMaterial::Rhodium:
        return "Rh";
    case FilterMaterial::Silver:
        return "Ag";
    }
    return {};
}

std::string_view elementName(TargetMaterial t) {
    switch (t) {
    case TargetMaterial::Molybdenum:
        return "molybdenum";
    case TargetMaterial::Tungsten:
        return "tungsten";
    case TargetMaterial::Rhodium:
        return "rhodium";
    }
    return {};
}

std::string_view elementName(FilterMaterial f) {
    switch (f) {
    case FilterMaterial::Beryllium:
        return "beryllium";
    case FilterMaterial::Aluminum:
        return "aluminum";
    case FilterMaterial::Molybdenum:
        return "molybdenum";
    case FilterMaterial::Rhodium:
        return "rhodium";
    case FilterMaterial::Silver:
        return "silver";
    }
    return {};
}

std::optional<TargetMaterial> targetNamed(std::string_view name) {
    return named(kTargetMaterials, name);
}

std::optional<FilterMaterial> filterNamed(std::string_view name) {
    // The British spelling names the same metal.
    if (sameLetters(name, "aluminium")) return FilterMaterial::Aluminum;
    return named(kFilterMaterials, name);
}

} // namespace kv::formats
