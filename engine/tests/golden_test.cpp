// Fixed-seed runs of four small cases, each compared byte for byte with the
// result file kept under golden/<case>/expected.vesk. Three lines differ from
// build to build and run to run and are masked on both sides: the header's
// " Run time:" line, the trailer's engine_version and its content_sha256,
// which covers the version (it is checked on the file as written instead).
// Everything else, the
// header, both dose blocks and the trailer, is the engine's answer for that
// seed on any number of threads.
//
// After a deliberate change of the results, rewrite the files and commit them
// with the change:
//   KV_REWRITE_GOLDEN=1 build/release/tests/engine_golden_tests
// When the physics or the scoring changed (not only the file's wording),
// bump kPhysicsRevision (kv/engine/result_file.h) in the same commit: stored
// kv-sweep rows of the old revision then run again.
#include "kv/engine/engine_session.h"
#include "kv/engine/result_file.h"
#include "kv/formats/result_file.h"
#include "kv/test_support/work_dir.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <thread>

namespace fs = std::filesystem;
using namespace kv::engine;

namespace {

const fs::path kGoldenDir = KV_GOLDEN_DIR;
constexpr const char* kExpectedName = "expected.vesk";
constexpr const char* kResultName = "golden.vesk";

struct GoldenCase {
    const char* name; // folder under golden/: the run's input files and expected.vesk
    ExposureKind kind;
    bool maps;
    uint64_t seed;
};

// The workbench's own run, a kv-sweep row of the protocol breast (W/Rh, no
// maps, as the sweeps run it), a tomosynthesis run, and the same box as a
// step-and-shoot scan of 5 projections without maps (its per-projection
// trailer keys; the file was written before the scan's sums and emission
// integrals were made cheaper, and must stay as it was).
constexpr GoldenCase kCases[] = {
    {"workbench", ExposureKind::Mammography, true, 20261208},
    {"protocol", ExposureKind::Mammography, false, 7},
    {"tomosynthesis", ExposureKind::Tomosynthesis, true, 424242},
    {"scan", ExposureKind::Tomosynthesis, false, 5},
};

// Replaces what follows `prefix` on every line that starts with it.
std::string maskLines(std::string bytes, std::string_view prefix) {
    for (size_t at = 0; (at = bytes.find(prefix, at)) != std::string::npos;) {
        if (at != 0 && bytes[at - 1] != '\n') {
            at += prefix.size();
            continue;
        }
        const size_t from = at + prefix.size(), to = bytes.find('\r', from);
        bytes.replace(from, (to == std::string::npos ? bytes.size() : to) - from, "(masked)");
        at = from;
    }
    return bytes;
}

std::string masked(std::string bytes) {
    return maskLines(maskLines(maskLines(std::move(bytes), " Run time: "), "engine_version = "),
                     "content_sha256 = ");
}

// "line N: expected ... / got ..." at the first line that differs.
std::string firstDifference(const std::string& expected, const std::string& got) {
    size_t line = 1, start = 0;
    const size_t n = std::min(expected.size(), got.size());
    for (size_t i = 0; i < n && expected[i] == got[i]; ++i)
        if (expected[i] == '\n') ++line, start = i + 1;
    auto lineAt = [start](const std::string& s) {
        return s.substr(start, std::min<size_t>(200, s.find('\r', start) - start));
    };
    return "line " + std::to_string(line) + ":\n  expected " + lineAt(expected) + "\n  got      " +
           lineAt(got);
}

std::string runCase(const GoldenCase& c, const fs::path& dir) {
    for (const fs::directory_entry& e : fs::directory_iterator(kGoldenDir / c.name))
        if (e.path().filename() != kExpectedName) fs::copy_file(e.path(), dir / e.path().filename());
    fs::copy_file(kv::test_support::shippedDataDir() / "BR12-50.dat", dir / "BR12-50.dat");
    EngineOptions opt;
    opt.maps = c.maps;
    std::unique_ptr<EngineSession> s = prepareSession(dir, c.kind, 2, c.seed, opt);
    s->start();
    while (!s->finished())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(s->state(), SessionState::Saved) << s->failure() << s->runFault();
    kv::formats::ResultTrailer t;
    EXPECT_EQ(kv::formats::readResultTrailer(dir, kResultName, t), kv::formats::LoadFailure::None);
    EXPECT_TRUE(t.state == kv::formats::ResultTrailer::State::Complete && t.verified) << c.name;
    return masked(kv::test_support::readFile(dir / kResultName));
}

TEST(GoldenResults, MaskingLeavesTheRestAlone) {
    const struct {
        const char* name;
        std::string in, out;
    } rows[] = {
        {"run time", " Histories: 4\r\n Run time: 0.1 s on 2 threads\r\n",
         " Histories: 4\r\n Run time: (masked)\r\n"},
        {"version", "physics_revision = 3\r\nengine_version = 0.1+g1\r\n",
         "physics_revision = 3\r\nengine_version = (masked)\r\n"},
        {"not at a line's start", "x engine_version = 1\r\n", "x engine_version = 1\r\n"},
        {"last line without an end", "engine_version = 2", "engine_version = (masked)"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(masked(r.in), r.out) << r.name;
}

TEST(GoldenResults, FixedSeedRunsGiveTheKeptFiles) {
    const bool rewrite = std::getenv("KV_REWRITE_GOLDEN") != nullptr;
    for (const GoldenCase& c : kCases) {
        SCOPED_TRACE(c.name);
        kv::test_support::TempDir dir("kv-golden");
        const std::string got = runCase(c, dir.path());
        ASSERT_FALSE(got.empty());
        const fs::path kept = kGoldenDir / c.name / kExpectedName;
        if (rewrite) {
            kv::test_support::writeFile(kept, got);
            std::printf("rewrote %s (physics revision %d)\n", kept.c_str(), kPhysicsRevision);
            continue;
        }
        const std::string expected = kv::test_support::readFile(kept);
        ASSERT_FALSE(expected.empty()) << kept << " is missing: KV_REWRITE_GOLDEN=1 writes it";
        EXPECT_TRUE(got == expected) << c.name << " differs from " << kept << " at "
                                     << firstDifference(expected, got)
                                     << "\nAfter a deliberate change rewrite it with KV_REWRITE_GOLDEN=1, "
                                        "and bump kPhysicsRevision when the physics changed.";
    }
}

} // namespace
