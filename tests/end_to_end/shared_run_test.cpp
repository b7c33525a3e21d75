// One run shared over two processes by mpirun: the same result file as one process.
#include "engine_programs.h"
#include "kv/workbench/results/model/result_file.h"

#include <gtest/gtest.h>

using namespace kv::engine::test_support;

namespace {

// Two processes on this machine, also as root (as the test machines run).
std::string twoProcesses(const std::string& prog) {
    return "OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 OMPI_MCA_rmaps_base_oversubscribe=1 '" +
           std::string(KV_MPIEXEC) + "' --oversubscribe -np 2 " + program(prog + "-mpi");
}

TEST(SharedRun, TwoProcessesWriteOneFileWithTheDoseOfOneProcess) {
    struct Case {
        std::string prog, args;
    };
    for (const Case& c : {Case{"halvex", "--seed 31337 --threads 1"},
                          Case{"tiravex", "--seed 9 --threads 1 --sagd-sigma 1.2"}}) {
        SCOPED_TRACE(c.prog + " " + c.args);
        RunDir dir({.thickness = "2", .histories = "1.3e6", .resultName = "shared"});
        ProgramOutput one = runIn(dir, program(c.prog) + " " + c.args);
        ASSERT_EQ(one.exitCode, 0) << one.out << one.err;
        std::string single = doseBlock(dir, "shared.vesk");
        std::string singleHistories = headerLine(dir, "shared.vesk", " Histories:");
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
