// Inputs of the programs, the result file, and the real programs end to end.
#include "engine_programs.h"
#include "kv/common/temporaries.h"
#include "kv/common/version.h"
#include "kv/engine/engine_session.h"
#include "kv/engine/result_file.h"
#include "kv/engine/run_inputs.h"
#include "kv/formats/edition_file.h"
#include "kv/formats/phantom_file.h"
#include "kv/formats/voxel_sigma_file.h"
#include "kv/report/report.h"
#include "kv/results/result_file.h"
#include "kv/spectrum/model/spectrum_model.h"
#include "kv/texts/results_model.h"
#include "kv/texts/spectrum_files.h"
#include "run_dir.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace kv::engine;
using test_support::RunDir;
using test_support::RunDirOptions;

namespace {

struct ProgramRun {
    int exitCode;
    std::string out, err;
};

// A run that should be refused at its start is killed after this long, so
// that a start check gone missing fails the test instead of running 10^9
// histories.
constexpr const char* kRefusalLimit = "timeout -s KILL 60 ";

// Runs an engine in `dir` without a display, as a console program.
// With `copies` > 1 that many run at once (and the exit code tells nothing).
ProgramRun runProgram(const RunDir& dir, const std::string& program, int copies = 1, const char* limit = "") {
    std::string one = std::string(limit) + "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" +
                      std::string(KV_RUN_DIR) + "/" + program + "'";
    std::string all = one;
    for (int i = 1; i < copies; ++i)
        all += " & " + one;
    if (copies > 1) all += " & wait";
    std::string cmd = "cd '" + dir.path().string() + "' && { " + all + "; } > stdout.txt 2> stderr.txt";
    int status = std::system(cmd.c_str());
    ProgramRun r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, dir.read("stdout.txt"),
                 dir.read("stderr.txt")};
    fs::remove(dir.path() / "stdout.txt");
    fs::remove(dir.path() / "stderr.txt");
    return r;
}

std::vector<std::string> filesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(RunInputs, ReadsWhatTheWorkbenchAndTheSpectrumToolWrote) {
    RunDir dir({.fraction = "30", .thickness = "4.26", .histories = "123456", .resultName = "case 1"});
    RunInputs in = readRunInputs(dir.path(), ExposureKind::Tomosynthesis);
    EXPECT_EQ(in.histories, 120000u); // the control file keeps two digits
    EXPECT_EQ(in.control.resultFile, "case 1.vesk");
    EXPECT_EQ(in.composition.glandularFraction, 30);
    EXPECT_DOUBLE_EQ(in.phantom.thickness, 4.3);
    EXPECT_EQ(in.equipment.equipmentName, "Test unit");
    WorkbenchSetup s = workbenchSetup(in);
    EXPECT_TRUE(s.tomosynthesis);
    EXPECT_DOUBLE_EQ(s.angularRange, 7.5);
    EXPECT_DOUBLE_EQ(s.fid, 65.0);
    EXPECT_DOUBLE_EQ(s.phantom.density, 0.9605);
    ASSERT_EQ(s.spectrum.weights.size(), 42u);
    EXPECT_DOUBLE_EQ(s.spectrum.energies.front(), 1.0);
    EXPECT_DOUBLE_EQ(s.spectrum.energies.back(), 50.0);
    // The spectrum as written: the 28 kV beam ends at 28 keV in every ray.
    for (const auto& ray : s.spectrum.weights)
        for (size_t i = 0; i < ray.size(); ++i)
            if (s.spectrum.energies[i] > 28.01) {
                ASSERT_EQ(ray[i], 0.0);
            }
}

// The spectrum file with the first share of the 18 keV row replaced.
void spoilShare(const RunDir& d, const std::string& value) {
    std::string bytes = d.read("P_SPCTL.dat");
    size_t row = bytes.find("\r\n0018.0  ");
    ASSERT_NE(row, std::string::npos);
    size_t at = row + 10, end = bytes.find(' ', at);
    d.write("P_SPCTL.dat", bytes.replace(at, end - at, value));
}

void spoilLine(const RunDir& d, const std::string& file, const std::string& from, const std::string& to) {
    std::string bytes = d.read(file);
    size_t at = bytes.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    d.write(file, bytes.replace(at, from.size(), to));
}

TEST(RunInputs, BadInputsNameTheFileAndTheProblem) {
    struct Row {
        const char* what;
        void (*spoil)(const RunDir&);
        const char* message;
    };
    const Row rows[] = {
        {"no MC.dat", [](const RunDir& d) { fs::remove(d.path() / "MC.dat"); }, "MC.dat: cannot be opened"},
        {"no P_SPCTL.dat", [](const RunDir& d) { fs::remove(d.path() / "P_SPCTL.dat"); }, "P_SPCTL.dat"},
        {"no equipment.dat", [](const RunDir& d) { fs::remove(d.path() / "equipment.dat"); },
         "equipment.dat"},
        {"no composition", [](const RunDir& d) { fs::remove(d.path() / "BR12-50.dat"); },
         "BR12-50.dat: cannot be opened"},
        {"short spectrum",
         [](const RunDir& d) { d.write("P_SPCTL.dat", d.read("P_SPCTL.dat").substr(0, 3000)); },
         "P_SPCTL.dat: line"},
        {"thick phantom", [](const RunDir& d) { kv::formats::writePhantomFile(d.path(), "50", "6.1"); },
         "Phantom.dat: the phantom thickness of 6.1 cm (line 5) lies outside 0.1 to 6.0 cm"},
        {"no thickness", [](const RunDir& d) { kv::formats::writePhantomFile(d.path(), "50", "abc"); },
         "Phantom.dat: the phantom thickness of 0 cm"},
        {"path as composition",
         [](const RunDir& d) { d.write("Phantom.dat", "50\r\n../BR12-50.dat\r\n15.0\r\n15.0\r\n5.0\r\n"); },
         "Phantom.dat: line 2 names \"../BR12-50.dat\""},
        {"composition of another fraction",
         [](const RunDir& d) { d.write("Phantom.dat", "40\r\nBR12-50.dat\r\n15.0\r\n15.0\r\n5.0\r\n"); },
         "BR12-50.dat: holds the glandular fraction 50 %, but Phantom.dat asks for 40 %"},
        {"no histories",
         [](const RunDir& d) {
             kv::formats::writeControlFile(d.path(), {"65", "60", 60, "7.5", "0", "run", ""});
         },
         "MC.dat: line 7 asks for 0 photon histories"},
        {"path as result",
         [](const RunDir& d) {
             kv::formats::writeControlFile(d.path(), {"65", "60", 60, "7.5", "10", "../run", ""});
         },
         "MC.dat: line 8, the result file name \"../run.vesk\", is not a name in the working directory"},
        {"other extension",
         [](const RunDir& d) {
             d.write("MC.dat",
                     "15.0\r\n15.0\r\n065.0\r\n060.0\r\n060.0\r\n007.5\r\n1.0E+05\r\nPhantom.dat\r\n\r\n");
         },
         "does not end in .vesk"},
        {"short FID",
         [](const RunDir& d) {
             kv::formats::writeControlFile(d.path(), {"7", "5", 60, "7.5", "10", "run", ""});
         },
         "MC.dat: the FID of 7 cm (line 3) leaves no room"},
        {"FAD beyond FID",
         [](const RunDir& d) {
             kv::formats::writeControlFile(d.path(), {"65", "70", 60, "7.5", "10", "run", ""});
         },
         "MC.dat: the FAD of 70 cm (line 4) must lie between 1 cm and the FID of 65 cm"},
        {"FID beyond any room",
         [](const RunDir& d) { spoilLine(d, "MC.dat", "\r\n065.0\r\n", "\r\n9e99\r\n"); },
         "MC.dat: the FID of"},
        {"infinite FID", [](const RunDir& d) { spoilLine(d, "MC.dat", "\r\n065.0\r\n", "\r\n1e999\r\n"); },
         "MC.dat: "},
        {"FCD of a kilometre",
         [](const RunDir& d) {
             kv::formats::writeControlFile(d.path(), {"65", "60", 1e5, "7.5", "10", "run", ""});
         },
         "MC.dat: the FCD of 100000 cm (line 5) must lie between 1 and 500 cm"},
        {"part of a history",
         [](const RunDir& d) { spoilLine(d, "MC.dat", "\r\n2.0E+05\r\n", "\r\n2.5\r\n"); },
         "MC.dat: line 7 asks for 2.5 photon histories; a whole number is needed"},
        {"infinite range", [](const RunDir& d) { spoilLine(d, "MC.dat", "\r\n007.5\r\n", "\r\n-1e999\r\n"); },
         "MC.dat: the angular range of"},
        {"a field too small to reach",
         [](const RunDir& d) { spoilLine(d, "MC.dat", "15.0\r\n15.0\r\n065.0", "1E-320\r\n15.0\r\n065.0"); },
         "MC.dat: the field size 9.99988867182683E-321 x 15 cm (lines 1 and 2) cannot be used: each side "
         "must be 0.1 "
         "to 100 cm"},
        {"lone CR in the equipment name",
         [](const RunDir& d) { spoilLine(d, "MC.dat", "Test unit\r\n", "Test\runit\r\n"); },
         "MC.dat: line 9, the equipment name, holds a control character"},
        {"lone CR in the fraction",
         [](const RunDir& d) { spoilLine(d, "Phantom.dat", "50\r\n", "50\r\r\n"); },
         "Phantom.dat: line 1, the glandular fraction, holds a control character"},
        {"phantom narrower than the reference region",
         [](const RunDir& d) { d.write("Phantom.dat", "50\r\nBR12-50.dat\r\n3.0\r\n15.0\r\n5.0\r\n"); },
         "Phantom.dat: the phantom size 3 x 15 cm (lines 3 and 4) does not hold the reference region"},
        {"phantom shorter than the reference region",
         [](const RunDir& d) { d.write("Phantom.dat", "50\r\nBR12-50.dat\r\n15.0\r\n12.0\r\n5.0\r\n"); },
         "does not hold the reference region of the dose, 4 x 12.5 cm"},
        {"negative share", [](const RunDir& d) { spoilShare(d, "-1.000E-02"); }, "P_SPCTL.dat: line 100"},
        {"infinite share", [](const RunDir& d) { spoilShare(d, "1.0E+999"); }, "P_SPCTL.dat: "},
        {"infinite voltage",
         [](const RunDir& d) {
             spoilLine(d, "P_SPCTL.dat", "Tube voltage = 28.0 kV", "Tube voltage = 1e999 kV");
         },
         "P_SPCTL.dat: "},
    };
    for (const Row& r : rows) {
        RunDir dir;
        r.spoil(dir);
        try {
            readRunInputs(dir.path(), ExposureKind::Tomosynthesis);
            ADD_FAILURE() << r.what << ": accepted";
        } catch (const InputError& e) {
            EXPECT_NE(std::string(e.what()).find(r.message), std::string::npos) << r.what << ": " << e.what();
        }
    }
}

// Each input the engines read, replaced by what a folder can hold in its
// place: the run is refused at once, naming that file, and nothing waits on a
// pipe or reads a device without end.
TEST(RunInputs, AnythingButARegularFileOfItsSizeIsRefusedAtOnce) {
    struct StandIn {
        const char* what;
        void (*make)(const fs::path&);
    };
    const StandIn standIns[] = {
        {"folder", [](const fs::path& p) { fs::create_directory(p); }},
        {"pipe", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
        {"link to /dev/zero", [](const fs::path& p) { fs::create_symlink("/dev/zero", p); }},
        {"link to a folder", [](const fs::path& p) { fs::create_directory_symlink(p.parent_path(), p); }},
        {"sparse 4 GB file",
         [](const fs::path& p) {
             std::ofstream(p, std::ios::binary) << "1\r\n";
             fs::resize_file(p, std::uintmax_t{4} << 30);
         }},
    };
    for (const char* file : {"MC.dat", "Phantom.dat", "equipment.dat", "P_SPCTL.dat", "BR12-50.dat"})
        for (const StandIn& s : standIns) {
            SCOPED_TRACE(std::string(file) + " as " + s.what);
            RunDir dir;
            fs::remove(dir.path() / file);
            s.make(dir.path() / file);
            try {
                readRunInputs(dir.path(), ExposureKind::Mammography);
                ADD_FAILURE() << "accepted";
            } catch (const InputError& e) {
                EXPECT_EQ(e.file, file) << e.what();
            }
        }
}

// A result the workbench could not use never replaces the file of that name.
TEST(ResultFile, OnlyALoadableResultIsWritten) {
    RunDir dir({.resultName = "kept"});
    RunInputs in = readRunInputs(dir.path(), ExposureKind::Mammography);
    dir.write("kept.vesk", "the user's earlier result");
    auto good = [] {
        WorkbenchResult r;
        r.histories = 100;
        r.layers = 50;
        r.airKerma = 2.0;
        r.airKermaPaddle = 1.6;
        r.airKermaSurface = 1.7;
        r.primary.assign(static_cast<size_t>(kVoxelsX) * kVoxelsY * 50, 1.0);
        r.scatter.assign(r.primary.size(), 0.5);
        return r;
    };
    struct Row {
        const char* what;
        void (*spoil)(WorkbenchResult&);
        ResultFault fault;
    };
    const Row rows[] = {
        {"no history", [](WorkbenchResult& r) { r.histories = 0; }, ResultFault::NoHistories},
        {"NaN dose", [](WorkbenchResult& r) { r.primary[77] = std::nan(""); }, ResultFault::NotFinite},
        {"infinite air kerma", [](WorkbenchResult& r) { r.airKerma = INFINITY; }, ResultFault::NotFinite},
        {"no air kerma", [](WorkbenchResult& r) { r.airKerma = 0; }, ResultFault::NoAirKerma},
        {"no surface air kerma", [](WorkbenchResult& r) { r.airKermaSurface = 0; }, ResultFault::NoAirKerma},
        {"whole-breast dose NaN", [](WorkbenchResult& r) { r.breastDose = std::nan(""); },
         ResultFault::NotFinite},
        {"no dose at all",
         [](WorkbenchResult& r) {
             for (double& v : r.primary)
                 v = 0;
             for (double& v : r.scatter)
                 v = 0;
         },
         ResultFault::NoReferenceDose},
        // Judged as the file states them, not as they stand in memory.
        {"doses that the file rounds to nothing",
         [](WorkbenchResult& r) {
             for (double& v : r.primary)
                 v = 1e-320;
             for (double& v : r.scatter)
                 v = 0;
         },
         ResultFault::NoReferenceDose},
        {"a dose that the file rounds past the largest number",
         [](WorkbenchResult& r) { r.scatter[9000] = std::numeric_limits<double>::max(); },
         ResultFault::NotFinite},
        {"a 100 % dose so small that percent of it overflows",
         [](WorkbenchResult& r) {
             for (double& v : r.primary)
                 v = 1e-300;
             for (double& v : r.scatter)
                 v = 0;
             r.primary.back() = 1e300;
         },
         ResultFault::NotFinite},
    };
    for (const Row& row : rows) {
        WorkbenchResult r = good();
        row.spoil(r);
        try {
            writeResultFile(dir.path(), in, r);
            ADD_FAILURE() << row.what << ": written";
        } catch (const ResultRefused& e) {
            EXPECT_EQ(e.fault, row.fault) << row.what;
        }
        EXPECT_TRUE(dir.read("kept.vesk") == "the user's earlier result") << row.what;
    }
    writeResultFile(dir.path(), in, good());
    EXPECT_TRUE(kv::results::LoadResultFile(dir.path(), "kept.vesk"));
}

// The trailer holds only keys of the table, each with a value of its kind, in the table's order.
TEST(ResultFile, TrailerKeysAreTheTablesWithValuesOfTheirKind) {
    RunDir dir({.resultName = "keys"});
    const RunInputs workbench = readRunInputs(dir.path(), ExposureKind::Mammography);
    WorkbenchResult r;
    r.histories = 20000000, r.seed = 1234, r.layers = 50;
    r.airKerma = 2.0, r.airKermaPaddle = 1.6, r.airKermaSurface = 1.7;
    r.breastDose = 0.37, r.breastRelSigma = 0.004, r.referenceDose = 1.1, r.columnDose = 0.41;
    struct Row {
        const char* name;
        bool protocol, targets, quasiRandom;
        size_t keys;
    };
    const Row rows[] = {
        {"workbench box", false, false, false, 22},
        {"protocol breast", true, false, true, 23},
        {"both targets", false, true, false, 26},
        {"protocol with targets", true, true, true, 27},
    };
    for (const Row& row : rows) {
        RunInputs in = workbench;
        if (row.protocol) in.geometry.model = kv::formats::BreastModel::Protocol;
        WorkbenchResult res = r;
        res.quasiRandom = row.quasiRandom;
        if (row.targets) res.targetRelSigma = 0.005, res.mapTargetRelSigma = 0.02;
        const std::vector<kv::formats::TrailerEntry> t = describeRunTrailer(in, res);
        EXPECT_EQ(t.size(), row.keys) << row.name;
        size_t place = 0;
        for (const auto& [name, value] : t) {
            const kv::formats::TrailerKey* key = kv::formats::trailerKey(name);
            ASSERT_NE(key, nullptr) << row.name << ": " << name;
            EXPECT_TRUE(key->accepts(value)) << row.name << ": " << name << " = " << value;
            const auto at =
                std::find(kv::formats::kTrailerKeys.begin(), kv::formats::kTrailerKeys.end(), key);
            EXPECT_GE(static_cast<size_t>(at - kv::formats::kTrailerKeys.begin()), place)
                << row.name << ": " << name;
            place = static_cast<size_t>(at - kv::formats::kTrailerKeys.begin());
        }
    }
}

// The side file states the voxels' uncertainties only where the maps were
// scored over enough batches to know them; else an earlier one goes.
TEST(ResultFile, AVoxelSigmaFileOnlyWithTheBatchesToSupportIt) {
    RunDir dir({.resultName = "side"});
    const RunInputs in = readRunInputs(dir.path(), ExposureKind::Mammography);
    const struct {
        const char* what;
        bool maps;
        uint64_t batches;
        bool written;
    } rows[] = {
        {"maps over enough batches", true, kSigmaFileBatches, true},
        {"maps over one batch too few", true, kSigmaFileBatches - 1, false},
        {"one batch", true, 1, false},
        {"no maps", false, 4 * kSigmaFileBatches, false},
    };
    for (const auto& row : rows) {
        dir.write("side.vesk.sigma", "an earlier result's");
        WorkbenchResult r;
        r.histories = 1000;
        r.seed = 9;
        r.layers = 50;
        r.maps = row.maps;
        r.batches = row.batches;
        r.airKerma = 2.0;
        r.airKermaPaddle = 1.6;
        r.airKermaSurface = 1.7;
        r.primary.assign(static_cast<size_t>(kVoxelsX) * kVoxelsY * 50, 1.0);
        r.scatter.assign(r.primary.size(), 0.5);
        r.totalRelSigma.assign(r.primary.size(), 0.02);
        writeResultFile(dir.path(), in, r);
        const std::optional<kv::formats::VoxelSigma> sigma =
            kv::formats::readVoxelSigmaFile(dir.path(), "side.vesk");
        EXPECT_EQ(sigma.has_value(), row.written) << row.what;
        if (!row.written) {
            EXPECT_FALSE(fs::exists(dir.path() / "side.vesk.sigma")) << row.what;
        }
    }
}

// Stopped before the first history: there is nothing to save, and nothing is called saved.
TEST(Session, AStopBeforeAnyHistorySavesNothing) {
    RunDir dir({.histories = "1e9", .resultName = "empty"});
    dir.write("empty.vesk", "earlier");
    auto s = prepareSession(dir.path(), ExposureKind::Mammography, 2, 5);
    s->stopAndSave();
    s->start();
    while (!s->finished())
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(s->state(), SessionState::Failed);
    EXPECT_EQ(s->fault(), SessionFault::Refused);
    EXPECT_EQ(s->resultFault(), ResultFault::NoHistories);
    EXPECT_EQ(dir.read("empty.vesk"), "earlier");
}

// A matched HVL sets Al to the micrometre; the header of P_SPCTL.dat keeps
// two decimals, the result header the value the table was computed with.
TEST(ResultFile, FiltersAreDescribedAtThePrecisionTheSpectrumWasComputedWith) {
    RunDir dir;
    const kv::formats::SpectrumFileContents drawn = kv::formats::readSpectrumFile(dir.path());
    kv::formats::SpectrumFields f;
    f.tubeVoltage = "28";
    f.aluminum = "0.631";
    kv::formats::writeSpectrumFile(dir.path(), kv::formats::TargetMaterial::Molybdenum, f, drawn.table,
                                   kv::texts::englishSpectrumFileTexts.labels);
    auto filters = [&] {
        for (const std::string& l : describeRun(readRunInputs(dir.path(), ExposureKind::Mammography), {}))
            if (l.rfind(" Filters:", 0) == 0) return l;
        return std::string();
    };
    EXPECT_EQ(filters(),
              " Filters: Be 0.80 mm, Al 0.63 mm, Mo 0.030 mm, Rh 0.000 mm, Ag 0.000 mm; air layer 60.0 cm");
    kv::formats::writeSpectrumExactFile(dir.path(), f);
    EXPECT_EQ(filters(),
              " Filters: Be 0.80 mm, Al 0.631 mm, Mo 0.030 mm, Rh 0.000 mm, Ag 0.000 mm; air layer 60.0 cm");
    // Once P_SPCTL.dat is written again, the side file no longer speaks for it.
    f.aluminum = "0.5";
    kv::formats::writeSpectrumFile(dir.path(), kv::formats::TargetMaterial::Molybdenum, f, drawn.table,
                                   kv::texts::englishSpectrumFileTexts.labels);
    EXPECT_EQ(filters(),
              " Filters: Be 0.80 mm, Al 0.50 mm, Mo 0.030 mm, Rh 0.000 mm, Ag 0.000 mm; air layer 60.0 cm");
}

TEST(ResultFile, DescriptionHasTheLineCountOfItsKind) {
    RunDir dir;
    WorkbenchResult r;
    RunInputs mammo = readRunInputs(dir.path(), ExposureKind::Mammography);
    RunInputs tomo = readRunInputs(dir.path(), ExposureKind::Tomosynthesis);
    EXPECT_EQ(describeRun(mammo, r).size(), static_cast<size_t>(kMammographyFreeLines));
    EXPECT_EQ(describeRun(tomo, r).size(), static_cast<size_t>(kTomosynthesisFreeLines));
}

// The real programs: inputs written by the project's writers, a small run,
// the result loaded by the results model.
TEST(Programs, HalvexAndTiravexLeaveResultsTheWorkbenchLoads) {
    REQUIRE_PROGRAMS();
    struct Row {
        const char* program;
        const char* kind;
    };
    for (Row row : {Row{"halvex", " * Mammography"}, Row{"tiravex", " * Tomosynthesis"}}) {
        RunDir dir({.histories = "3e5", .resultName = "e2e"});
        ProgramRun run = runProgram(dir, row.program);
        ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
        EXPECT_NE(run.out.find("Saved e2e.vesk with 300000 histories."), std::string::npos) << run.out;
        std::string bytes = dir.read("e2e.vesk");
        EXPECT_EQ(bytes.substr(0, bytes.find("\r\n")), row.kind);
        EXPECT_NE(bytes.find("\r\n15.0, 15.0, 5.0, 50\r\n"), std::string::npos) << "the phantom line";
        kv::results::HeaderPreview preview =
            kv::results::previewResultHeader(dir.path(), "e2e.vesk", kv::texts::resultsModelTexts());
        EXPECT_TRUE(preview.complete);
        EXPECT_NE(std::find(preview.lines.begin(), preview.lines.end(), "   History = 3.00E+05"),
                  preview.lines.end());
        EXPECT_NE(std::find(preview.lines.begin(), preview.lines.end(), "     15 x 15 x 5 cm"),
                  preview.lines.end());
        kv::results::LoadResult loaded = kv::results::LoadResultFile(dir.path(), "e2e.vesk");
        ASSERT_TRUE(loaded) << row.program;
        const kv::results::DoseModel& m = *loaded.model;
        EXPECT_EQ(m.GridCountX, 75);
        EXPECT_EQ(m.GridCountY, 150);
        EXPECT_EQ(m.GridCountZ, 50);
        EXPECT_DOUBLE_EQ(m.FcdValue, 60.0);
        EXPECT_NEAR(m.DepthDose[0][1], 100.0, 1e-9);
        EXPECT_GT(m.DepthDose[0][1], m.DepthDose[0][10]);
        EXPECT_GT(m.DepthDose[0][10], m.DepthDose[0][25]);
        EXPECT_GT(m.DepthDose[0][25], m.DepthDose[0][50]);
        EXPECT_GT(m.DepthDose[2][40], 0.0);
        // A 5 cm, 50 % phantom under a Mo/Mo 28 kV beam.
        EXPECT_GT(m.SagdValue, 0.12) << row.program;
        EXPECT_LT(m.SagdValue, 0.30) << row.program;
        // The trailer after the dose values, which the load above did not read.
        kv::formats::ResultTrailer trailer;
        ASSERT_EQ(kv::formats::readResultTrailer(dir.path(), "e2e.vesk", trailer),
                  kv::formats::LoadFailure::None);
        EXPECT_EQ(trailer.state, kv::formats::ResultTrailer::State::Complete) << row.program;
        EXPECT_EQ(trailer.number("physics_revision"), kv::engine::kPhysicsRevision);
        ASSERT_TRUE(trailer.find("engine_version"));
        EXPECT_EQ(*trailer.find("engine_version"), kv::version()) << row.program;
        // Two batches cannot tell a voxel's uncertainty: no side file states one.
        EXPECT_FALSE(kv::formats::readVoxelSigmaFile(dir.path(), "e2e.vesk")) << row.program;
        // Nothing besides the inputs and the result is left in the folder.
        std::vector<std::string> files = filesIn(dir.path());
        EXPECT_EQ(files.size(), 9u + 5u) << row.program; // nine compositions, four inputs, the result
    }
}

// A rhodium spectrum file, as the spectrum screen's "Rh" writes it in either
// edition: both engines run it and the result names the target.
TEST(Programs, ARhodiumSpectrumFileRunsInEitherEdition) {
    REQUIRE_PROGRAMS();
    const kv::spectrum::PhysicalData data =
        kv::spectrum::LoadPhysicalData(kv::test_support::shippedDataDir());
    kv::formats::SpectrumFields f;
    f.tubeVoltage = "28";
    const kv::spectrum::TargetFilters start =
        kv::spectrum::targetFilters(kv::formats::TargetMaterial::Rhodium);
    f.beryllium = start.beryllium, f.aluminum = start.aluminum, f.molybdenum = start.molybdenum,
    f.rhodium = start.rhodium;
    const kv::spectrum::SpectrumResult rh =
        kv::spectrum::computeSpectrum(kv::formats::TargetMaterial::Rhodium, data, f);
    struct Row {
        const char* program;
        const kv::texts::SpectrumFileTexts* edition;
    };
    for (Row row : {Row{"halvex", &kv::texts::englishSpectrumFileTexts},
                    Row{"tiravex", &kv::texts::japaneseSpectrumFileTexts}}) {
        SCOPED_TRACE(row.program);
        RunDir dir({.histories = "1e5", .resultName = "rh"});
        kv::formats::writeSpectrumFile(dir.path(), kv::formats::TargetMaterial::Rhodium, f, rh.table,
                                       row.edition->labels);
        ProgramRun run = runProgram(dir, row.program);
        ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
        const std::string bytes = dir.read("rh.vesk");
        EXPECT_NE(bytes.find(" Rhodium target, tube voltage 28.0 kV"), std::string::npos);
        EXPECT_NE(bytes.find("Rh 0.025 mm"), std::string::npos);
        kv::results::LoadResult loaded = kv::results::LoadResultFile(dir.path(), "rh.vesk");
        ASSERT_TRUE(loaded);
        EXPECT_GT(loaded.model->SagdValue, 0.12);
        EXPECT_LT(loaded.model->SagdValue, 0.35);
    }
}

TEST(Programs, BadInputGivesAMessageAndNoResult) {
    REQUIRE_PROGRAMS();
    RunDir dir({.thickness = "7", .resultName = "bad"});
    ProgramRun run = runProgram(dir, "halvex");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Phantom.dat: the phantom thickness of 7 cm"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(dir.path() / "bad.vesk"));
    // Started by the Japanese workbench: its Edition.dat makes the engine speak Japanese.
    kv::formats::writeEditionFile(dir.path(), kv::texts::Edition::Japanese);
    run = runProgram(dir, "tiravex");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(
        run.err.find("シミュレーションを開始できません。Phantom.dat：ファントムの厚さ 7 cm (5 行目) が"),
        std::string::npos)
        << run.err;
}

// Each refusal of the start check in both editions, from the one reason text.
TEST(RunInputs, RefusalsAreWordedInBothEditions) {
    RunDir dir({.histories = "1.5"});
    try {
        readRunInputs(dir.path(), ExposureKind::Mammography);
        FAIL() << "1.5 histories accepted";
    } catch (const InputError& e) {
        EXPECT_EQ(e.file, "MC.dat");
        EXPECT_STREQ(e.what(), "MC.dat: line 7 asks for 1.5 photon histories; a whole number is needed");
        EXPECT_EQ(e.text(kv::texts::Edition::English), e.what());
        EXPECT_EQ(e.text(kv::texts::Edition::Japanese),
                  "MC.dat：7 行目のヒストリー数 1.5 は整数ではありません");
    }
    // A file the formats module refuses keeps its detailed English and names the line in Japanese.
    dir.write("MC.dat", "15.0\r\n");
    try {
        readRunInputs(dir.path(), ExposureKind::Mammography);
        FAIL() << "a cut MC.dat accepted";
    } catch (const InputError& e) {
        EXPECT_EQ(e.text(kv::texts::Edition::Japanese).rfind("ファイル MC.dat ", 0), 0u)
            << e.text(kv::texts::Edition::Japanese);
        EXPECT_EQ(std::string(e.what()).rfind("MC.dat: ", 0), 0u) << e.what();
    }
}

TEST(EditionFile, TheEngineSpeaksEnglishUnlessTheFileSaysJapanese) {
    RunDir dir;
    using kv::texts::Edition;
    EXPECT_EQ(kv::formats::readEditionFile(dir.path()), Edition::English); // no file
    kv::formats::writeEditionFile(dir.path(), Edition::Japanese);
    EXPECT_EQ(dir.read("Edition.dat"), "edition = ja\r\n");
    EXPECT_EQ(kv::formats::readEditionFile(dir.path()), Edition::Japanese);
    const std::pair<const char*, Edition> rows[] = {
        {"edition = en\r\n", Edition::English}, {"edition = JA\r\n", Edition::Japanese},
        {"edition = fr\r\n", Edition::English}, {"language = ja\r\n", Edition::English},
        {"\xff\xfe\r\n", Edition::English},
    };
    for (const auto& [bytes, edition] : rows) {
        dir.write("Edition.dat", bytes);
        EXPECT_EQ(kv::formats::readEditionFile(dir.path()), edition) << bytes;
    }
    fs::remove(dir.path() / "Edition.dat");
    // Something in the file's place that cannot be read is named, not taken for English.
    const std::function<void(const fs::path&)> standIns[] = {
        [](const fs::path& p) { fs::create_directory(p); },
        [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
        [](const fs::path& p) { fs::create_symlink(p.parent_path() / "unmounted" / "Edition.dat", p); },
    };
    for (const auto& make : standIns) {
        make(dir.path() / "Edition.dat");
        try {
            kv::formats::readEditionFile(dir.path());
            ADD_FAILURE() << "taken for English";
        } catch (const kv::formats::FileError& e) {
            EXPECT_EQ(e.fault, kv::formats::FileFault::NotAFile) << e.what();
            EXPECT_EQ(e.file, "Edition.dat");
        }
        fs::remove(dir.path() / "Edition.dat");
    }
}

// Inputs that used to pass the start and then end the program after the
// whole run: refused at once, with nothing written.
TEST(Programs, InputsThatWouldLoseTheRunAreRefusedAtTheStart) {
    REQUIRE_PROGRAMS();
    RunDir dir({.histories = "1e9", .resultName = "cr"});
    spoilLine(dir, "MC.dat", "Test unit\r\n", "Test\runit\r\n");
    auto t0 = std::chrono::steady_clock::now();
    ProgramRun run = runProgram(dir, "halvex", 1, kRefusalLimit);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(60));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("MC.dat: line 9, the equipment name, holds a control character"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.out.find("Saved"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.path() / "cr.vesk"));
}

TEST(Programs, AFolderThatCannotBeWrittenIsRefusedAtOnce) {
    REQUIRE_PROGRAMS();
    RunDir dir({.histories = "1e9", .resultName = "ro"});
    std::string p(1, '\'');
    p += dir.path().string();
    p += '\'';
    // The superuser writes through permissions: the folder is made immutable instead.
    const bool root = ::geteuid() == 0;
    const std::string lock = root ? "chattr +i " + p + " 2>/dev/null" : "chmod 555 " + p;
    const std::string unlock = root ? "chattr -i " + p + " 2>/dev/null" : "chmod 755 " + p;
    if (std::system(lock.c_str()) != 0) GTEST_SKIP() << "this file system cannot lock a folder";
    // Output goes elsewhere: the folder takes nothing.
    fs::path log = fs::temp_directory_path() / ("kv-ro-" + std::to_string(::getpid()) + ".txt");
    std::string cmd = "cd " + p + " && " + kRefusalLimit +
                      "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" + std::string(KV_RUN_DIR) +
                      "/halvex' > '" + log.string() + "' 2>&1";
    int status = std::system(cmd.c_str());
    std::system(unlock.c_str());
    std::ifstream in(log);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    fs::remove(log);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << text;
    EXPECT_NE(text.find("The simulation cannot start. ro.vesk: cannot be written in the working folder"),
              std::string::npos)
        << text;
}

TEST(Programs, TemporariesOfKilledRunsAreClearedByTheNextRun) {
    REQUIRE_PROGRAMS();
    RunDir dir({.histories = "5e4", .resultName = "next"});
    pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    std::string ours = kv::temporaryTemplate("next.vesk");
    ours.replace(ours.size() - 6, 6, "Ab12Cd");
    std::string killed = ours;
    killed.replace(killed.find(std::to_string(::getpid())), std::to_string(::getpid()).size(),
                   std::to_string(child));
    dir.write(killed, "half a result");
    dir.write(ours, "a result still being written");
    ProgramRun run = runProgram(dir, "halvex");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(fs::exists(dir.path() / killed));
    EXPECT_TRUE(fs::exists(dir.path() / ours));
}

// Ctrl+C, a polite kill and a closed terminal stop the run and keep the histories done.
TEST(Programs, SignalsStopAndSave) {
    REQUIRE_PROGRAMS();
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        RunDir dir({.histories = "1e9", .resultName = "signal"});
        fs::path out = dir.path() / "out.txt";
        pid_t child = ::fork();
        if (child == 0) {
            ::setenv("QT_QPA_PLATFORM", "", 1);
            ::unsetenv("DISPLAY");
            ::unsetenv("WAYLAND_DISPLAY");
            if (::chdir(dir.path().c_str()) != 0) ::_exit(9);
            std::freopen(out.c_str(), "w", stdout);
            std::freopen(out.c_str(), "a", stderr);
            std::string prog = std::string(KV_RUN_DIR) + "/halvex";
            ::execl(prog.c_str(), prog.c_str(), static_cast<char*>(nullptr));
            ::_exit(9);
        }
        // Until the run has begun and done some histories.
        for (int i = 0; i < 600 && dir.read("out.txt").find("Ctrl+C") == std::string::npos; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::this_thread::sleep_for(std::chrono::seconds(2));
        ::kill(child, sig);
        int status = 0;
        ::waitpid(child, &status, 0);
        std::string text = dir.read("out.txt");
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << text;
        EXPECT_NE(text.find("Stopped: saved signal.vesk with "), std::string::npos) << text;
        EXPECT_TRUE(kv::results::LoadResultFile(dir.path(), "signal.vesk")) << sig;
    }
}

TEST(Programs, EnginesRunningAtOnceLeaveAWholeFile) {
    REQUIRE_PROGRAMS();
    RunDir dir({.histories = "2e5", .resultName = "both"});
    ProgramRun run = runProgram(dir, "halvex", 3);
    size_t saved = 0;
    for (size_t at = run.out.find("Saved both.vesk"); at != std::string::npos;
         at = run.out.find("Saved both.vesk", at + 1))
        ++saved;
    EXPECT_EQ(saved, 3u) << run.out << run.err;
    EXPECT_TRUE(kv::results::LoadResultFile(dir.path(), "both.vesk"));
    EXPECT_EQ(filesIn(dir.path()).size(),
              14u); // no temporary file left beside the result (one batch: no side file)
}

TEST(Programs, TheSameNameTwiceLeavesTheLaterResult) {
    REQUIRE_PROGRAMS();
    RunDir dir({.histories = "1e5", .resultName = "same"});
    ASSERT_EQ(runProgram(dir, "halvex").exitCode, 0);
    kv::formats::writeControlFile(dir.path(), {"65", "60", 60, "7.5", "7e4", "same", "Test unit"});
    ASSERT_EQ(runProgram(dir, "halvex").exitCode, 0);
    kv::formats::writeControlFile(dir.path(), {"65", "60", 60, "7.5", "5e4", "other", "Test unit"});
    ASSERT_EQ(runProgram(dir, "halvex").exitCode, 0);
    kv::results::LoadResult a = kv::results::LoadResultFile(dir.path(), "same.vesk");
    ASSERT_TRUE(a);
    std::string same = dir.read("same.vesk");
    size_t at = 0;
    for (int i = 0; i < 15; ++i)
        at = same.find("\r\n", at) + 2;
    EXPECT_EQ(same.substr(at, same.find("\r\n", at) - at), "70000");
    EXPECT_TRUE(fs::exists(dir.path() / "other.vesk"));
}

} // namespace

// kv-report on what the engine itself wrote: two runs of the same set-up
// differ only by their seeds, so their comparison lies within a few sigma.
TEST(Programs, KvReportExportsAndComparesEngineResults) {
    REQUIRE_PROGRAMS();
    RunDir dir({.histories = "2e5", .resultName = "one"});
    ASSERT_EQ(runProgram(dir, "halvex").exitCode, 0);
    fs::rename(dir.path() / "one.vesk", dir.path() / "two.vesk");
    ASSERT_EQ(runProgram(dir, "halvex").exitCode, 0);
    const std::string one = (dir.path() / "one.vesk").string(), two = (dir.path() / "two.vesk").string();
    std::ostringstream out, err;
    const fs::path tables = dir.path() / "tables";
    ASSERT_EQ(kv::results::runReport({"--export", tables.string(), one, two}, out, err,
                                     kv::texts::resultsModelTexts()),
              0)
        << err.str();
    const kv::results::DoseModel m = *kv::results::LoadResultFile(dir.path(), "one.vesk").model;
    const std::string pdd = dir.read("tables/one.depth-dose.csv");
    EXPECT_EQ(pdd.substr(0, pdd.find("\r\n")), "layer,total,primary,scatter,depth_cm");
    EXPECT_EQ(static_cast<int>(std::count(pdd.begin(), pdd.end(), '\n')), m.GridCountZ + 1);
    EXPECT_TRUE(fs::exists(tables / "two.dose.csv"));

    std::ostringstream cmp;
    ASSERT_EQ(kv::results::runReport({"--compare", one, two}, cmp, err, kv::texts::resultsModelTexts()), 0);
    std::istringstream lines(cmp.str());
    std::string header, dose, sagd;
    std::getline(lines, header);
    std::getline(lines, dose);
    std::getline(lines, sagd);
    EXPECT_EQ(header, "quantity,layer,a,b,ratio,difference_sigma");
    ASSERT_EQ(sagd.rfind("sagd_mGy,,", 0), 0u) << sagd;
    // Both engine headers state the sigma: the difference is there and small.
    const double sigmas = std::stod(sagd.substr(sagd.rfind(',') + 1));
    EXPECT_LT(std::fabs(sigmas), 6.0) << sagd;
    const double ratio =
        std::stod(dose.substr(0, dose.rfind(',')).substr(dose.substr(0, dose.rfind(',')).rfind(',') + 1));
    EXPECT_NEAR(ratio, 1.0, 0.05) << dose;
}
