// What the programs write stays written: the content is flushed to the disk
// before the name points at it, the folder is flushed after the rename, and
// only then does a program say it saved. Watched by the preloaded recorder in
// the real programs.
#include "engine_programs.h"
#include "kv/test_support/syscall_recorder.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace kv::engine::test_support;
using kv::test_support::findCall;
using kv::test_support::readRecordedCalls;
using kv::test_support::RecordedCall;
using kv::test_support::recorderEnvironment;

namespace {

struct Recorded {
    ProgramOutput run;
    std::vector<RecordedCall> calls;
};

Recorded recorded(const RunDir& dir, const std::string& command) {
    const fs::path log = dir.path() / "calls.log";
    Recorded r{runIn(dir, recorderEnvironment(log) + " " + command), readRecordedCalls(log)};
    fs::remove(log);
    return r;
}

// `file` in `folder` was put in place as it should be; the program's output
// up to `told` was written after the folder was flushed.
void expectDurablyPlaced(const Recorded& r, const fs::path& folder, const std::string& file, size_t told) {
    SCOPED_TRACE(file);
    const int renamed = findCall(r.calls, "rename", folder / file);
    ASSERT_GE(renamed, 0) << "no rename onto " << file;
    const std::string temporary = r.calls[static_cast<size_t>(renamed)].path;
    const int content = findCall(r.calls, "fsync", temporary);
    EXPECT_GE(content, 0) << "the temporary was never flushed";
    EXPECT_LT(content, renamed) << "flushed only after the rename";
    const int entry = findCall(r.calls, "fsync", folder, renamed);
    ASSERT_GT(entry, renamed) << "the folder was not flushed after the rename";
    EXPECT_EQ(r.calls[static_cast<size_t>(entry)].result, 0);
    if (told != std::string::npos) {
        EXPECT_LE(r.calls[static_cast<size_t>(entry)].stdoutBytes, static_cast<long long>(told));
    }
}

TEST(DurableSave, TheEngineFlushesTheResultAndItsFolderBeforeSayingSaved) {
    REQUIRE_PROGRAMS();
    RunDir dir({.histories = "3e4", .resultName = "durable"});
    const Recorded r = recorded(dir, program("halvex") + " --seed 3");
    ASSERT_EQ(r.run.exitCode, 0) << r.run.err;
    const size_t saved = r.run.out.find("Saved durable.vesk");
    ASSERT_NE(saved, std::string::npos) << r.run.out;
    expectDurablyPlaced(r, dir.path(), "durable.vesk", saved);
}

TEST(DurableSave, ToolsFlushTheTablesAndFilesTheyWrite) {
    REQUIRE_PROGRAMS();
    RunDir dir({.histories = "3e4", .resultName = "one"});
    ASSERT_EQ(runIn(dir, program("halvex") + " --seed 4").exitCode, 0);
    const Recorded report = recorded(dir, program("kv-report_en") + " --export tables one.vesk");
    ASSERT_EQ(report.run.exitCode, 0) << report.run.err;
    for (const char* table : {"one.depth-dose.csv", "one.dose.csv"})
        expectDurablyPlaced(report, dir.path() / "tables", table, std::string::npos);

    const Recorded spectrum =
        recorded(dir, program("kv-spectrum") + " --data '" + std::string(KV_RUN_DIR) + "' --out again.dat");
    ASSERT_EQ(spectrum.run.exitCode, 0) << spectrum.run.err;
    expectDurablyPlaced(spectrum, dir.path(), "again.dat", spectrum.run.out.find("Written"));
}

} // namespace
