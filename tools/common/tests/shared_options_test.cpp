// The options every tool shares: what each takes, where its limits are, and
// how a refusal reads.
#include "kv/tools/common/shared_options.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace kv::tools;
using kv::CommandLine;
using kv::CommandLineError;

namespace {

const std::vector<kv::OptionSpec> kSpecs =
    withSharedOptions({{"--out", true}}, {SharedOption::Edition, SharedOption::Threads, SharedOption::Shard,
                                          SharedOption::Histories, SharedOption::Help});

// The English refusal of the shared option `read`, empty when taken.
template <class Read> std::string refusal(const std::vector<std::string>& args, Read read) {
    try {
        const CommandLine line(args, kSpecs);
        refuseUnknownEdition(line);
        read(line);
        return {};
    } catch (const CommandLineError& e) {
        return kv::commandLineMessage(e, kv::texts::commandLineTextsOf(kv::texts::Edition::English));
    }
}

TEST(SharedOptions, ThreadsAreAWholeNumberUpToTheLimit) {
    struct Row {
        const char* name;
        std::string value;
        std::optional<unsigned> threads;
        std::string refused;
    };
    const Row rows[] = {
        {"one", "1", 1u, ""},
        {"the most", "1024", 1024u, ""},
        {"none", "0", std::nullopt, "--threads: \"0\" is not a whole number from 1 to 1024."},
        {"beyond the most", "1025", std::nullopt,
         "--threads: \"1025\" is not a whole number from 1 to 1024."},
        {"a fraction", "1.5", std::nullopt, "--threads: \"1.5\" is not a whole number from 1 to 1024."},
        {"a decimal comma", "2,5", std::nullopt, "--threads: \"2,5\" has a decimal comma"},
    };
    for (const Row& r : rows) {
        std::optional<unsigned> got;
        const std::string why = refusal({"--threads", r.value}, [&](const CommandLine& l) {
            got = threadsGiven(l, kv::texts::Edition::English);
        });
        EXPECT_EQ(got, r.threads) << r.name;
        EXPECT_EQ(why.substr(0, r.refused.size()), r.refused) << r.name << ": " << why;
        EXPECT_EQ(why.empty(), r.refused.empty()) << r.name;
    }
}

TEST(SharedOptions, ShardIsOneShareOfAtMostTheLimit) {
    struct Row {
        const char* name;
        std::string value;
        int index, count;
        std::string refused;
    };
    const Row rows[] = {
        {"first of two", "1/2", 1, 2, ""},
        {"last of the most", "100000/100000", 100000, 100000, ""},
        {"more shares than the most", "1/100001", 0, 0,
         "--shard: \"100001\" is not a whole number from 1 to 100000."},
        {"a share beyond the count", "9/8", 0, 0, "--shard: \"9\" is not a whole number from 1 to 8."},
        {"share zero", "0/2", 0, 0, "--shard: \"0\" is not a whole number from 1 to 2."},
        {"no count", "3", 0, 0, "--shard takes I/N, not \"3\""},
        {"a word", "half", 0, 0, "--shard takes I/N, not \"half\""},
    };
    for (const Row& r : rows) {
        std::optional<Shard> got;
        const std::string why = refusal({"--shard", r.value}, [&](const CommandLine& l) {
            got = shardGiven(l, kv::texts::Edition::English);
        });
        EXPECT_EQ(why.substr(0, r.refused.size()), r.refused) << r.name << ": " << why;
        EXPECT_EQ(why.empty(), r.refused.empty()) << r.name;
        ASSERT_EQ(got.has_value(), r.refused.empty()) << r.name;
        if (got) {
            EXPECT_EQ(std::pair(got->index, got->count), std::pair(r.index, r.count)) << r.name;
        }
    }
}

TEST(SharedOptions, HistoriesAreAWholeNumberUpToWhatTheEngineRuns) {
    struct Row {
        const char* name;
        std::string value;
        std::optional<double> histories;
    };
    const Row rows[] = {
        {"digits", "200000", 2e5},
        {"as a run file writes it", "1e9", 1e9},
        {"the engine's most", "1e11", 1e11},
        {"full-width digits", "\uff12\uff10\uff10", 200.0},
        {"beyond the engine's most", "1e12", std::nullopt},
        {"a fraction", "1.5", std::nullopt},
        {"none", "0", std::nullopt},
        {"trailing text", "1e5x", std::nullopt},
    };
    for (const Row& r : rows) {
        std::optional<double> got;
        const std::string why = refusal({"--histories", r.value}, [&](const CommandLine& l) {
            got = historiesGiven(l, kv::texts::Edition::English);
        });
        EXPECT_EQ(got, r.histories) << r.name << ": " << why;
        // Every refusal names the option and shows the text as typed.
        if (!r.histories) {
            EXPECT_NE(why.find("--histories"), std::string::npos) << r.name << ": " << why;
            EXPECT_NE(why.find("\"" + r.value + "\""), std::string::npos) << r.name << ": " << why;
        }
    }
}

TEST(SharedOptions, EditionIsReadFirstAndOnlyEnOrJa) {
    EXPECT_EQ(editionAsked({"grid.csv", "--edition", "ja", "--threads", "x"}), kv::texts::Edition::Japanese);
    EXPECT_EQ(editionAsked({"--edition=ja"}), kv::texts::Edition::Japanese);
    EXPECT_EQ(editionAsked({"--edition", "fr"}), kv::texts::Edition::English);
    EXPECT_EQ(editionAsked({}), kv::texts::Edition::English);
    EXPECT_EQ(refusal({"--edition", "fr"}, [](const CommandLine&) {}).find("fr") != std::string::npos, true);
    EXPECT_EQ(refusal({"--edition", "ja", "-h"}, [](const CommandLine&) {}), "");
    // Absent options give nothing and refuse nothing.
    const CommandLine none({"--out", "o"}, kSpecs);
    EXPECT_EQ(threadsGiven(none, kv::texts::Edition::English), std::nullopt);
    EXPECT_EQ(shardGiven(none, kv::texts::Edition::English), std::nullopt);
    EXPECT_EQ(historiesGiven(none, kv::texts::Edition::English), std::nullopt);
    EXPECT_GE(everyCore(), 1u);
}

} // namespace
