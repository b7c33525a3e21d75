// One run shared over two processes by mpirun: the same result file as one process.
#include "engine_programs.h"
#include "kv/results/result_file.h"

#include <gtest/gtest.h>

using namespace kv::engine::test_support;

namespace {

// Two processes on this machine, also as root (as the test machines run).
std::string twoProcesses(const std::string& prog) {
    return "OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 OMPI_MCA_rmaps_base_oversubscribe=1 '" +
           std::string(KV_MPIEXEC) + "' --oversubscribe -np 2 " + program(prog + "-mpi");
}

// The values of the voxel-uncertainty side file, which the result's own bytes
// (its run-time line) do not change.
std::string sigmaValues(const RunDir& dir) {
    const std::string all = dir.read("shared.vesk.sigma");
    const size_t at = all.find("## relative");
    return at == std::string::npos ? std::string() : all.substr(at);
}

TEST(SharedRun, TwoProcessesWriteOneFileWithTheDoseOfOneProcess) {
    struct Case {
        std::string prog, args, histories;
        bool sideFile = false; // 32 batches or more: the voxels' uncertainties are written
    };
    for (const Case& c : {Case{"halvex", "--seed 31337 --threads 1", "1.3e6"},
                          Case{"tiravex", "--seed 9 --threads 1 --sagd-sigma 1.2", "1.3e6"},
                          // the map target, judged from the batch on where a voxel's uncertainty is
                          // known, ends both at the same checkpoint
                          Case{"halvex", "--seed 5 --threads 1 --map-sigma 25", "4e6"},
                          // and a run long enough for the side file leaves the only one
                          Case{"halvex", "--seed 7 --threads 1", "4.2e6", true},
                          Case{"halvex", "--seed 6 --threads 1 --no-maps --sagd-sigma 1", "1.3e6"}}) {
        SCOPED_TRACE(c.prog + " " + c.args);
        RunDir dir({.thickness = "2", .histories = c.histories, .resultName = "shared"});
        ProgramOutput one = runIn(dir, program(c.prog) + " " + c.args);
        ASSERT_EQ(one.exitCode, 0) << one.out << one.err;
        std::string single = doseBlock(dir, "shared.vesk");
        std::string singleHistories = headerLine(dir, "shared.vesk", " Histories:");
        std::string singleSigma = sigmaValues(dir);
        std::filesystem::remove(dir.path() / "shared.vesk");

        ProgramOutput two = runIn(dir, twoProcesses(c.prog) + " " + c.args);
        ASSERT_EQ(two.exitCode, 0) << two.out << two.err;
        // Process 0 alone speaks: one start line, one saved line.
        EXPECT_NE(two.out.find("on 2 processes of 1 threads"), std::string::npos) << two.out;
        EXPECT_EQ(two.out.find("Simulating"), two.out.rfind("Simulating")) << two.out;
        EXPECT_TRUE(kv::results::LoadResultFile(dir.path(), "shared.vesk"));
        EXPECT_EQ(headerLine(dir, "shared.vesk", " Histories:"), singleHistories);
        EXPECT_NE(headerLine(dir, "shared.vesk", " Run time:").find("on 2 processes of 1 threads"),
                  std::string::npos);
        EXPECT_EQ(doseBlock(dir, "shared.vesk"), single);
        EXPECT_EQ(sigmaValues(dir), singleSigma);
        // The other runs are too short to know a voxel's uncertainty.
        EXPECT_EQ(singleSigma.empty(), !c.sideFile);
        if (c.args.find("--map-sigma") != std::string::npos) {
            EXPECT_NE(singleHistories.find("(map target 25.00 % reached)"), std::string::npos)
                << singleHistories;
        }
    }
}

TEST(SharedRun, AnInputFaultStopsEveryProcessWithItsReason) {
    RunDir dir({.histories = "1e5", .resultName = "none"});
    std::filesystem::remove(dir.path() / "Phantom.dat");
    ProgramOutput r = runIn(dir, twoProcesses("halvex"));
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("Phantom.dat"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "none.vesk"));
}

} // namespace
