// Inputs of the programs, the result file, and the real programs end to end.
#include "kv/engine/result_file.h"
#include "kv/engine/run_inputs.h"
#include "kv/results/result_file.h"
#include "kv/texts/results_model.h"
#include "kv/workbench/phantom_file.h"
#include "run_dir.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>

namespace fs = std::filesystem;
using namespace kv::engine;
using test_support::RunDir;
using test_support::RunDirOptions;

namespace {

struct ProgramRun {
    int exitCode;
    std::string out, err;
};

#ifndef KV_ENGINE_PROGRAMS
#define KV_ENGINE_PROGRAMS 0
#endif
#define REQUIRE_PROGRAMS()                                                                                             \
    if (!KV_ENGINE_PROGRAMS) GTEST_SKIP() << "built without the Qt programs"

// Runs an engine in `dir` without a display, as a console program.
// With `copies` > 1 that many run at once (and the exit code tells nothing).
ProgramRun runProgram(const RunDir& dir, const std::string& program, int copies = 1) {
    std::string one = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" + std::string(KV_RUN_DIR) + "/" + program + "'";
    std::string all = one;
    for (int i = 1; i < copies; ++i) all += " & " + one;
    if (copies > 1) all += " & wait";
    std::string cmd = "cd '" + dir.path().string() + "' && { " + all + "; } > stdout.txt 2> stderr.txt";
    int status = std::system(cmd.c_str());
    ProgramRun r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, dir.read("stdout.txt"), dir.read("stderr.txt")};
    fs::remove(dir.path() / "stdout.txt");
    fs::remove(dir.path() / "stderr.txt");
    return r;
}

std::vector<std::string> filesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
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

TEST(RunInputs, BadInputsNameTheFileAndTheProblem) {
    struct Row {
        const char* what;
        void (*spoil)(const RunDir&);
        const char* message;
    };
    const Row rows[] = {
        {"no MC.dat", [](const RunDir& d) { fs::remove(d.path() / "MC.dat"); }, "MC.dat: cannot be opened"},
        {"no P_SPCTL.dat", [](const RunDir& d) { fs::remove(d.path() / "P_SPCTL.dat"); }, "P_SPCTL.dat"},
        {"no equipment.dat", [](const RunDir& d) { fs::remove(d.path() / "equipment.dat"); }, "equipment.dat"},
        {"no composition", [](const RunDir& d) { fs::remove(d.path() / "BR12-50.dat"); }, "BR12-50.dat: cannot be opened"},
        {"short spectrum",
         [](const RunDir& d) { d.write("P_SPCTL.dat", d.read("P_SPCTL.dat").substr(0, 3000)); }, "P_SPCTL.dat: line"},
        {"thick phantom", [](const RunDir& d) { kv::workbench::writePhantomFile(d.path(), "50", "6.1"); },
         "Phantom.dat: the phantom thickness of 6.1 cm (line 5) lies outside 0.1 to 6.0 cm"},
        {"no thickness", [](const RunDir& d) { kv::workbench::writePhantomFile(d.path(), "50", "abc"); },
         "Phantom.dat: the phantom thickness of 0 cm"},
        {"path as composition", [](const RunDir& d) { d.write("Phantom.dat", "50\r\n../BR12-50.dat\r\n15.0\r\n15.0\r\n5.0\r\n"); },
         "Phantom.dat: line 2 names \"../BR12-50.dat\""},
        {"composition of another fraction",
         [](const RunDir& d) { d.write("Phantom.dat", "40\r\nBR12-50.dat\r\n15.0\r\n15.0\r\n5.0\r\n"); },
         "BR12-50.dat: holds the glandular fraction 50 %, but Phantom.dat asks for 40 %"},
        {"no histories",
         [](const RunDir& d) { kv::workbench::writeControlFile(d.path(), {"65", "60", 60, "7.5", "0", "run", ""}); },
         "MC.dat: line 7 asks for 0 photon histories"},
        {"path as result",
         [](const RunDir& d) { kv::workbench::writeControlFile(d.path(), {"65", "60", 60, "7.5", "10", "../run", ""}); },
         "MC.dat: line 8, the result file name \"../run.vesk\", is not a name in the working directory"},
        {"other extension",
         [](const RunDir& d) {
             d.write("MC.dat", "15.0\r\n15.0\r\n065.0\r\n060.0\r\n060.0\r\n007.5\r\n1.0E+05\r\nPhantom.dat\r\n\r\n");
         },
         "does not end in .vesk"},
        {"short FID",
         [](const RunDir& d) { kv::workbench::writeControlFile(d.path(), {"7", "5", 60, "7.5", "10", "run", ""}); },
         "MC.dat: the FID of 7 cm (line 3) leaves no room"},
        {"FAD beyond FID",
         [](const RunDir& d) { kv::workbench::writeControlFile(d.path(), {"65", "70", 60, "7.5", "10", "run", ""}); },
         "MC.dat: the FAD of 70 cm (line 4) must lie between 0 and the FID of 65 cm"},
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
        {"sparse 4 GB file", [](const fs::path& p) {
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
            kv::results::PreviewResultHeader(dir.path(), "e2e.vesk", kv::texts::resultsModelTexts());
        EXPECT_TRUE(preview.complete);
        EXPECT_NE(std::find(preview.lines.begin(), preview.lines.end(), "   History = 3.00E+05"), preview.lines.end());
        EXPECT_NE(std::find(preview.lines.begin(), preview.lines.end(), "     15 x 15 x 5 cm"), preview.lines.end());
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
        // Nothing besides the inputs and the result is left in the folder.
        std::vector<std::string> files = filesIn(dir.path());
        EXPECT_EQ(files.size(), 9u + 5u) << row.program; // nine compositions, four inputs, the result
    }
}

TEST(Programs, BadInputGivesAMessageAndNoResult) {
    REQUIRE_PROGRAMS();
    RunDir dir({.thickness = "7", .resultName = "bad"});
    ProgramRun run = runProgram(dir, "halvex");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Phantom.dat: the phantom thickness of 7 cm"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(dir.path() / "bad.vesk"));
}

TEST(Programs, EnginesRunningAtOnceLeaveAWholeFile) {
    REQUIRE_PROGRAMS();
    RunDir dir({.histories = "2e5", .resultName = "both"});
    ProgramRun run = runProgram(dir, "halvex", 3);
    size_t saved = 0;
    for (size_t at = run.out.find("Saved both.vesk"); at != std::string::npos; at = run.out.find("Saved both.vesk", at + 1))
        ++saved;
    EXPECT_EQ(saved, 3u) << run.out << run.err;
    EXPECT_TRUE(kv::results::LoadResultFile(dir.path(), "both.vesk"));
    EXPECT_EQ(filesIn(dir.path()).size(), 14u); // no temporary file left beside the result
}

TEST(Programs, TheSameNameTwiceLeavesTheLaterResult) {
    REQUIRE_PROGRAMS();
    RunDir dir({.histories = "1e5", .resultName = "same"});
    ASSERT_EQ(runProgram(dir, "halvex").exitCode, 0);
    kv::workbench::writeControlFile(dir.path(), {"65", "60", 60, "7.5", "7e4", "same", "Test unit"});
    ASSERT_EQ(runProgram(dir, "halvex").exitCode, 0);
    kv::workbench::writeControlFile(dir.path(), {"65", "60", 60, "7.5", "5e4", "other", "Test unit"});
    ASSERT_EQ(runProgram(dir, "halvex").exitCode, 0);
    kv::results::LoadResult a = kv::results::LoadResultFile(dir.path(), "same.vesk");
    ASSERT_TRUE(a);
    std::string same = dir.read("same.vesk");
    size_t at = 0;
    for (int i = 0; i < 15; ++i) at = same.find("\r\n", at) + 2;
    EXPECT_EQ(same.substr(at, same.find("\r\n", at) - at), "70000");
    EXPECT_TRUE(fs::exists(dir.path() / "other.vesk"));
}

} // namespace
