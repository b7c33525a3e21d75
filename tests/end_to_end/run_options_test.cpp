// The options of an engine run: a target uncertainty, a seed and a thread
// count, from the command line and from the run-options file.
#include "engine_programs.h"
#include "kv/engine/engine_options.h"
#include "kv/engine/runner.h"
#include "kv/formats/settings_file.h"
#include "kv/results/result_file.h"

#include <cmath>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace kv::engine;
using namespace kv::engine::test_support;

namespace {

TEST(EngineOptions, CommandLineOptionsAreReadOrRefusedWithTheReason) {
    struct Good {
        std::vector<std::string> args;
        std::optional<double> sigma;
        std::optional<uint64_t> seed;
        std::optional<unsigned> threads;
    };
    for (const Good& g : {
             Good{{}, {}, {}, {}},
             Good{{"--sagd-sigma", "0.5"}, 0.5, {}, {}},
             Good{{"--seed", "18446744073709551615", "--threads", "3"}, {}, 18446744073709551615ull, 3u},
             Good{{"--seed", "0", "--sagd-sigma", "100"}, 100.0, 0u, {}},
             Good{{"--sagd-sigma=0.25", "--threads=2"}, 0.25, {}, 2u},
             // What a Japanese input method gives reads as what it spells.
             Good{{"--sagd-sigma", "０．５", "--threads", " ３ "}, 0.5, {}, 3u},
         }) {
        EngineOptions o = parseEngineOptions(g.args);
        EXPECT_EQ(o.sagdSigmaPercent, g.sigma);
        EXPECT_EQ(o.seed, g.seed);
        EXPECT_EQ(o.threads, g.threads);
    }
    struct Bad {
        std::vector<std::string> args;
        std::string says;
    };
    for (const Bad& b : {
             Bad{{"--sagd-sigma"}, "wants a value"},
             Bad{{"--sagd-sigma", "0"}, "--sagd-sigma: \"0\" must be more than 0 and at most 100 %."},
             Bad{{"--sagd-sigma", "-1"}, "must be more than 0 and at most 100 %"},
             Bad{{"--sagd-sigma", "inf"}, "--sagd-sigma: \"inf\" is not a finite number."},
             Bad{{"--sagd-sigma", "nan"}, "is not a finite number"},
             Bad{{"--sagd-sigma", "0.5%"}, "--sagd-sigma: \"0.5%\" is not only a number.\nType digits"},
             Bad{{"--sagd-sigma=0,5"}, "--sagd-sigma: \"0,5\" has a decimal comma."},
             Bad{{"--sagd-sigma", "101"}, "must be more than 0 and at most 100 %"},
             Bad{{"--seed", "18446744073709551616"},
                 "--seed: \"18446744073709551616\" is not a whole number from 0 to 18446744073709551615."},
             Bad{{"--seed", "-1"}, "is not a whole number"},
             Bad{{"--seed", "1e6"}, "is not a whole number"},
             Bad{{"--seed", "1,000"}, "has a thousands separator"},
             Bad{{"--seed", ""}, "--seed: nothing was typed; a number is needed."},
             Bad{{"--threads", "0"}, "\"0\" is not a whole number from 1 to 1024"},
             Bad{{"--threads", "2.5"}, "is not a whole number from 1 to 1024"},
             Bad{{"--fast"}, "unknown option \"--fast\""},
             Bad{{"--seed=1", "--seed", "2"}, "--seed is given more than once"},
             Bad{{"--help=1"}, "--help takes no value"},
             Bad{{"MC.dat"}, "\"MC.dat\" is not an option"},
         }) {
        try {
            parseEngineOptions(b.args);
            ADD_FAILURE() << b.args[0] << " accepted";
        } catch (const OptionError& e) {
            EXPECT_NE(std::string(e.what()).find(b.says), std::string::npos) << e.what();
        }
    }
    EXPECT_TRUE(parseEngineOptions({"--help"}).help);
}

TEST(EngineOptions, TheCommandLineOverridesTheFile) {
    EngineOptions file, given;
    file.sagdSigmaPercent = 1.0;
    file.seed = 5;
    given.seed = 6;
    EngineOptions o = file.overriddenBy(given);
    EXPECT_EQ(o.sagdSigmaPercent, 1.0);
    EXPECT_EQ(o.seed, 6u);
    EXPECT_FALSE(o.threads);
}

TEST(EngineOptions, TheRunOptionsFileIsReadOrRefusedWithItsLine) {
    RunDir dir;
    const std::string name(kRunOptionsFileName);
    EXPECT_FALSE(readRunOptionsFile(dir.path()).sagdSigmaPercent); // no file: nothing changes
    dir.write(name, "sagd_sigma_percent = 0.25\r\nseed = 12345678901234567890\r\n");
    EngineOptions o = readRunOptionsFile(dir.path());
    EXPECT_EQ(o.sagdSigmaPercent, 0.25);
    EXPECT_EQ(o.seed, 12345678901234567890ull);
    dir.write(name, "sagd_sigma_percent = 0\r\n");
    EXPECT_FALSE(readRunOptionsFile(dir.path()).sagdSigmaPercent); // 0: no target
    struct Bad {
        std::string content, says;
    };
    for (const Bad& b :
         {Bad{"sagd_sigma_percent = -2\r\n", "line 1"}, Bad{"seed = 12ab\r\n", "line 1"},
          Bad{"\r\nthreads = 4\r\n", "line 2"}, Bad{"sagd_sigma_percent = half\r\n", "not a number"}}) {
        dir.write(name, b.content);
        try {
            readRunOptionsFile(dir.path());
            ADD_FAILURE() << b.content << " accepted";
        } catch (const kv::formats::FileError& e) {
            EXPECT_NE(std::string(e.what()).find(b.says), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
        }
    }
    fs::remove(dir.path() / name);
    fs::create_directory(dir.path() / name);
    EXPECT_THROW(readRunOptionsFile(dir.path()), kv::formats::FileError);
}

TEST(EnginePrograms, ATargetUncertaintyEndsTheRunEarlyWithinTheTarget) {
    REQUIRE_PROGRAMS();
    RunDir dir({.thickness = "2", .histories = "2e7", .resultName = "target"});
    ProgramOutput r = runIn(dir, program("halvex") + " --sagd-sigma 0.8 --seed 11");
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Target uncertainty reached: saved target.vesk"), std::string::npos) << r.out;
    std::string histories = headerLine(dir, "target.vesk", " Histories:");
    EXPECT_NE(histories.find("(sAGD target 0.80 % reached)"), std::string::npos) << histories;
    auto loaded = kv::results::LoadResultFile(dir.path(), "target.vesk");
    ASSERT_TRUE(loaded);
    // Far fewer histories than asked, whole batches, and the sigma the header gives within the target.
    std::string sigmaLine = headerLine(dir, "target.vesk", " Relative uncertainty");
    double sagd = std::stod(sigmaLine.substr(sigmaLine.find("sAGD ") + 5));
    EXPECT_LE(sagd, 0.8) << sigmaLine;
    EXPECT_GT(sagd, 0.0) << sigmaLine;
    size_t done = std::stoull(histories.substr(histories.find("asked, ") + 7));
    EXPECT_LT(done, 20'000'000u);
    EXPECT_EQ(done % kBatchSize, 0u);
}

TEST(EnginePrograms, TheSameSeedGivesTheSameDoseOnOneAndTwoThreads) {
    REQUIRE_PROGRAMS();
    RunDir dir({.thickness = "3", .histories = "7e5", .resultName = "seeded"});
    auto runWith = [&](const std::string& args) {
        ProgramOutput r = runIn(dir, program("halvex") + " " + args);
        EXPECT_EQ(r.exitCode, 0) << args << r.out << r.err;
        return doseBlock(dir, "seeded.vesk");
    };
    std::string one = runWith("--seed 424242 --threads 1");
    ASSERT_GT(one.size(), 100000u);
    EXPECT_EQ(headerLine(dir, "seeded.vesk", " Random seed:").substr(0, 26), " Random seed: 424242 (one ");
    EXPECT_EQ(runWith("--seed 424242 --threads 2"), one);
    EXPECT_NE(runWith("--seed 424243 --threads 2"), one);
    // With a target the run ends at the same checkpoint whatever the threads.
    std::string targetOne = runWith("--seed 5 --threads 1 --sagd-sigma 1.5");
    EXPECT_EQ(runWith("--seed 5 --threads 2 --sagd-sigma 1.5"), targetOne);
}

TEST(EnginePrograms, TheRunOptionsFileIsUsedAndTheCommandLineWins) {
    REQUIRE_PROGRAMS();
    RunDir dir({.thickness = "2", .histories = "2e7", .resultName = "file"});
    kv::formats::writeSettingsFile(dir.path(), std::string(kRunOptionsFileName),
                                   {{"sagd_sigma_percent", "1.5"}, {"seed", "77"}});
    ProgramOutput r = runIn(dir, program("tiravex"));
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(headerLine(dir, "file.vesk", " Histories:").find("(sAGD target 1.50 % reached)"),
              std::string::npos);
    EXPECT_EQ(headerLine(dir, "file.vesk", " Random seed: 77 (").empty(), false);
    r = runIn(dir, program("tiravex") + " --seed 78 --sagd-sigma 1");
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(headerLine(dir, "file.vesk", " Histories:").find("(sAGD target 1.00 % reached)"),
              std::string::npos);
    EXPECT_FALSE(headerLine(dir, "file.vesk", " Random seed: 78 (").empty());
}

TEST(EnginePrograms, RefusedOptionsLeaveTheOldResultAlone) {
    REQUIRE_PROGRAMS();
    RunDir dir({.thickness = "1", .histories = "1e5", .resultName = "kept"});
    dir.write("kept.vesk", "an older result\r\n");
    struct Case {
        std::string args, optionsFile, says;
    };
    for (const Case& c :
         {Case{"--sagd-sigma -3", "", "--sagd-sigma: \"-3\" must be more than 0 and at most 100 %.\n"},
          Case{"--seed x", "", "--seed: \"x\" is not a number.\nType digits"},
          Case{"--verbose", "", "unknown option \"--verbose\".\n"},
          Case{"", "sagd_sigma_percent = lots\r\n", "RunOptions.dat, line 1"}}) {
        if (c.optionsFile.empty())
            fs::remove(dir.path() / std::string(kRunOptionsFileName));
        else
            dir.write(std::string(kRunOptionsFileName), c.optionsFile);
        ProgramOutput r = runIn(dir, program("halvex") + " " + c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(dir.read("kept.vesk"), "an older result\r\n");
    }
    ProgramOutput help = runIn(dir, program("halvex") + " --help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--sagd-sigma P"), std::string::npos);
}

} // namespace
