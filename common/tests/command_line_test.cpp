#include "kv/common/command_line.h"

#include <gtest/gtest.h>

namespace {

using kv::CommandLine;
using kv::CommandLineError;
using kv::CommandLineFault;

const std::vector<kv::OptionSpec> kOptions = {
    {"--out", true}, {"--tilt", true}, {"--json", false}, {"--help", false, "-h"}};

struct Accepted {
    const char* what;
    std::vector<std::string> args;
    std::string out, tilt;
    bool json;
    std::vector<std::string> operands;
};

TEST(CommandLine, BothSpellingsAndAnyOrder) {
    const Accepted rows[] = {
        {"value apart", {"--out", "d", "a.vesk"}, "d", "", false, {"a.vesk"}},
        {"value joined", {"--out=d", "a.vesk"}, "d", "", false, {"a.vesk"}},
        {"options after the operands",
         {"a.vesk", "b.vesk", "--json", "--out", "d"},
         "d",
         "",
         true,
         {"a.vesk", "b.vesk"}},
        {"joined value holding '='", {"--out=a=b"}, "a=b", "", false, {}},
        {"empty joined value", {"--out="}, "", "", false, {}},
        {"negative number apart", {"--tilt", "-2.5"}, "", "-2.5", false, {}},
        {"the same value twice", {"--out", "d", "--out=d"}, "d", "", false, {}},
        {"after -- everything is an operand", {"--json", "--", "--out", "-h"}, "", "", true, {"--out", "-h"}},
        {"a lone dash is an operand", {"-"}, "", "", false, {"-"}},
    };
    for (const Accepted& r : rows) {
        CommandLine c(r.args, kOptions);
        EXPECT_EQ(c.value("--out").value_or(""), r.out) << r.what;
        EXPECT_EQ(c.value("--tilt").value_or(""), r.tilt) << r.what;
        EXPECT_EQ(c.has("--json"), r.json) << r.what;
        EXPECT_EQ(c.operands(), r.operands) << r.what;
    }
    EXPECT_TRUE(CommandLine({"-h"}, kOptions).has("--help"));
    EXPECT_FALSE(CommandLine({"x"}, kOptions).value("--out"));
}

struct Refused {
    const char* what;
    std::vector<std::string> args;
    CommandLineFault fault;
    std::string option, text;
};

TEST(CommandLine, RefusalsNameTheOption) {
    const Refused rows[] = {
        {"unknown long", {"a", "--jsn"}, CommandLineFault::UnknownOption, "--jsn", ""},
        {"unknown with value", {"--nope=3"}, CommandLineFault::UnknownOption, "--nope", ""},
        {"unknown short", {"-x"}, CommandLineFault::UnknownOption, "-x", ""},
        {"value missing at the end", {"a", "--out"}, CommandLineFault::MissingValue, "--out", ""},
        {"an option is no value", {"--out", "--json", "a"}, CommandLineFault::MissingValue, "--out", ""},
        {"flag with a value", {"--json=yes"}, CommandLineFault::UnexpectedValue, "--json", "yes"},
        {"two different values", {"--tilt", "1", "--tilt=2"}, CommandLineFault::Repeated, "--tilt", "2"},
    };
    for (const Refused& r : rows) {
        try {
            CommandLine c(r.args, kOptions);
            ADD_FAILURE() << r.what << ": accepted";
        } catch (const CommandLineError& e) {
            EXPECT_EQ(e.fault, r.fault) << r.what;
            EXPECT_EQ(e.option, r.option) << r.what;
            EXPECT_EQ(e.text, r.text) << r.what;
        }
    }
}

TEST(CommandLine, OperandsBeyondWhatTheProgramTakesAreNamed) {
    CommandLine c({"a", "--json", "b"}, kOptions);
    EXPECT_NO_THROW(c.refuseOperandsBeyond(2));
    try {
        c.refuseOperandsBeyond(1);
        ADD_FAILURE() << "accepted";
    } catch (const CommandLineError& e) {
        EXPECT_EQ(e.fault, CommandLineFault::Operand);
        EXPECT_EQ(e.option, "b");
    }
}

TEST(CommandLine, ConflictsAreRefusedOnlyWhenBothAreGiven) {
    CommandLine one({"--json"}, kOptions);
    EXPECT_NO_THROW(one.refuseTogether("--json", "--out"));
    CommandLine both({"--out=d", "--json"}, kOptions);
    try {
        both.refuseTogether("--json", "--out");
        ADD_FAILURE() << "accepted";
    } catch (const CommandLineError& e) {
        EXPECT_EQ(kv::commandLineMessage(e, kv::texts::englishCommandLineTexts),
                  "--json and --out cannot be given together.");
    }
}

TEST(CommandLine, MessagesShowWhatWasTypedSafely) {
    const auto& en = kv::texts::englishCommandLineTexts;
    auto message = [&](std::vector<std::string> args) {
        try {
            CommandLine c(args, kOptions);
        } catch (const CommandLineError& e) {
            return kv::commandLineMessage(e, en);
        }
        return std::string("accepted");
    };
    EXPECT_EQ(message({"--json={text}"}), "--json takes no value, but \"{text}\" was given.");
    // A control character or bytes that are not UTF-8 never reach the terminal as they are.
    EXPECT_EQ(message({"--a\x1b[2Jb"}).rfind("unknown option \"--a\uFFFD[2Jb\"", 0), 0u);
    EXPECT_EQ(message({"--\xff"}).rfind("unknown option \"--\xEF\xBF\xBD\"", 0), 0u);
    EXPECT_LT(message({"--" + std::string(5000, 'x')}).size(), 100u);
    const std::string ja = [&] {
        try {
            CommandLine c({"--out"}, kOptions);
        } catch (const CommandLineError& e) {
            return kv::commandLineMessage(e, kv::texts::japaneseCommandLineTexts);
        }
        return std::string();
    }();
    EXPECT_NE(ja.find("--out には値が必要です"), std::string::npos) << ja;
}

} // namespace
