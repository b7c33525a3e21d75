// Writes the fuzz targets' seed corpora with the project's own writers, so
// every seed is a file the programs really exchange:
//   kv-make-fuzz-seeds fuzz/corpus
// Composition files have no writer; the shipped ones are copied.
#include "kv/formats/control_file.h"
#include "kv/formats/equipment_file.h"
#include "kv/formats/phantom_file.h"
#include "kv/formats/spectrum_file.h"
#include "kv/results/result_file.h"
#include "physical_data.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace fs = std::filesystem;

namespace {

fs::path g_corpus;

// Moves the file a writer left in `scratch` into the target's corpus.
void keep(const fs::path& scratch, std::string_view written, const std::string& target,
          const std::string& seed) {
    fs::create_directories(g_corpus / target);
    fs::copy_file(scratch / written, g_corpus / target / seed, fs::copy_options::overwrite_existing);
    fs::remove(scratch / written);
}

void writeText(const fs::path& scratch, const std::string& name, const std::string& text) {
    kv::RecordWriter w(scratch, name);
    w.text(text);
    w.commit();
}

// The smallest grid that loads: 26 rows, one or two layers, short numbers.
kv::formats::ResultFileContent smallResult(int countZ, bool tomosynthesis) {
    kv::formats::ResultFileContent r;
    if (tomosynthesis) r.kindLine = std::string(kv::formats::kTomosynthesisKind);
    r.description = {" Kelvane-Vesk", " seed"};
    r.histories = 1e6;
    r.phantom = {15.0, 15.0, 4.5, 50};
    r.airKerma = 2.5;
    r.fcd = 65;
    r.countY = 26;
    r.countZ = countZ;
    const size_t n = static_cast<size_t>(kv::results::kValuesPerRow) * 26 * countZ;
    r.primary.assign(n, 1.0);
    r.scatter.assign(n, 0.5);
    r.valuePattern = "0.0";
    return r;
}

} // namespace

int main(int argc, char** argv) {
    // An option is never taken for the folder to write into: --help answers, anything else is refused.
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        std::printf("usage: %s CORPUS_DIR\n", argv[0]);
        return 0;
    }
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
        return 2;
    }
    g_corpus = argv[1];
    const fs::path scratch = fs::temp_directory_path() / "kv-fuzz-seeds";
    fs::create_directories(scratch);

    kv::formats::writeResultFile(scratch, "r.vesk", smallResult(1, false));
    keep(scratch, "r.vesk", "result_file", "mammography.vesk");
    kv::formats::ResultFileContent tomo = smallResult(2, true);
    tomo.description[1] = " 乳房 断層";
    kv::formats::writeResultFile(scratch, "r.vesk", tomo);
    keep(scratch, "r.vesk", "result_file", "tomosynthesis.vesk");
    // With a trailer as the engines end it (its hash written by the writer), and
    // thicker than the screens show, as an engine's 8 cm protocol breast is.
    kv::formats::ResultFileContent withTrailer = smallResult(1, false);
    withTrailer.description[1] = " Random seed: 77 (one stream per batch)";
    withTrailer.trailer = {{"seed", "77"},   {"histories", "1000000"}, {"glandular_percent", "50"},
                           {"sagd", "0.41"}, {"dose100", "0.52"},      {"k_surface_per_k_fcd", "0.8"},
                           {"maps", "no"}};
    kv::formats::writeResultFile(scratch, "r.vesk", withTrailer);
    keep(scratch, "r.vesk", "result_file", "trailer.vesk");
    kv::formats::ResultFileContent thick = withTrailer;
    thick.countZ = kv::formats::kMaxCountZ + 1;
    const size_t thickValues = static_cast<size_t>(kv::results::kValuesPerRow) * 26 * thick.countZ;
    thick.primary.assign(thickValues, 1.0);
    thick.scatter.assign(thickValues, 0.5);
    thick.valuePattern = "0";
    kv::formats::writeResultFile(scratch, "r.vesk", thick);
    keep(scratch, "r.vesk", "result_file", "thicker-than-screens.vesk");

    kv::formats::writeControlFile(scratch, {"65.0", "2.0", 64.0, "50.0", "1.0E+08", "run1", "Unit A"});
    keep(scratch, kv::formats::kControlFileName, "control_file", "MC.dat");
    kv::formats::writePhantomFile(scratch, "50", "4.5");
    keep(scratch, kv::formats::kPhantomFileName, "phantom_file", "Phantom.dat");

    kv::formats::writeEquipment(scratch, {"Unit A", "65.0", "2.0", "50.0", "16.0", "6.0"});
    keep(scratch, kv::formats::kEquipmentFileName, "equipment_file", "equipment.dat");
    kv::formats::writeEquipment(scratch, {"装置Ａ", "66.0", "1.5", "15.0", "16.0", "-6.0"});
    keep(scratch, kv::formats::kEquipmentFileName, "equipment_file", "equipment-ja.dat");

    kv::formats::SpectrumTable table{};
    for (int k = 1; k < kv::formats::kColumns; ++k)
        for (int i = 2; i < kv::formats::kBins; ++i)
            table[k][i] = std::exp(-0.01 * i) * (1.0 + 0.001 * k);
    kv::formats::writeSpectrumFile(scratch, kv::formats::TargetMaterial::Molybdenum, {}, table,
                                   kv::texts::englishSpectrumFileTexts.labels);
    keep(scratch, kv::formats::kSpectrumFileName, "spectrum_file", "P_SPCTL.dat");
    kv::formats::SpectrumFields w;
    w.tubeVoltage = "35";
    w.rhodium = "0.05";
    kv::formats::writeSpectrumFile(scratch, kv::formats::TargetMaterial::Tungsten, w, table,
                                   kv::texts::japaneseSpectrumFileTexts.labels);
    keep(scratch, kv::formats::kSpectrumFileName, "spectrum_file", "P_SPCTL-ja.dat");

    writeText(scratch, "MUs12.dat", kv::data::mus12Text());
    keep(scratch, "MUs12.dat", "attenuation_table", "MUs12.dat");
    writeText(scratch, "Mo-STP.dat", kv::data::moStpText());
    keep(scratch, "Mo-STP.dat", "stopping_power_table", "Mo-STP.dat");

    for (const char* name : {"BR12-10.dat", "BR12-50.dat"}) {
        fs::copy_file(fs::path(KV_SOURCE_DIR) / "data" / name, scratch / name,
                      fs::copy_options::overwrite_existing);
        keep(scratch, name, "composition_file", name);
    }
    fs::remove_all(scratch);
    return 0;
}
