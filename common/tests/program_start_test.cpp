#include "kv/common/program_start.h"
#include "kv/common/version.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Sets the display variables for one case and puts the old ones back.
class DisplayEnv {
  public:
    explicit DisplayEnv(const std::map<std::string, std::string>& set) {
        for (const char* n : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            if (const char* v = std::getenv(n)) saved_[n] = v;
            auto it = set.find(n);
            if (it == set.end())
                unsetenv(n);
            else
                setenv(n, it->second.c_str(), 1);
        }
    }
    ~DisplayEnv() {
        for (const char* n : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            auto it = saved_.find(n);
            if (it == saved_.end())
                unsetenv(n);
            else
                setenv(n, it->second.c_str(), 1);
        }
    }

  private:
    std::map<std::string, std::string> saved_;
};

struct Outcome {
    std::optional<int> status;
    std::string out, err;
};

Outcome begin(std::vector<std::string> args, kv::Needs needs) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::ostringstream out, err;
    Outcome o;
    o.status =
        kv::beginProgram(static_cast<int>(args.size()), argv.data(), "usage: prog [--help]", needs, out, err);
    o.out = out.str();
    o.err = err.str();
    return o;
}

TEST(BeginProgram, AnswersVersionAndHelpWithoutADisplay) {
    DisplayEnv none({});
    const std::string version = "dorvel_en (Kelvane-Vesk) " + std::string(kv::version()) + "\n";
    struct Row {
        const char* what;
        std::vector<std::string> args;
        std::optional<int> status;
        std::string out;
    };
    for (const Row& r : {
             Row{"--version", {"/opt/kv/bin/dorvel_en", "--version"}, 0, version},
             Row{"--version after other options", {"dorvel_en", "--json", "--version"}, 0, version},
             Row{"--help", {"dorvel_en", "--help"}, 0, "usage: prog [--help]\n"},
             Row{"-h", {"dorvel_en", "-h"}, 0, "usage: prog [--help]\n"},
             Row{"the first of the two wins", {"dorvel_en", "-h", "--version"}, 0, "usage: prog [--help]\n"},
             Row{"after -- it is a file name", {"dorvel_en", "--", "--version"}, 1, ""},
             Row{"no display and nothing asked", {"dorvel_en"}, 1, ""},
             Row{"a near miss is not --version", {"dorvel_en", "--versions"}, 1, ""},
         }) {
        Outcome o = begin(r.args, kv::Needs::Display);
        EXPECT_EQ(o.status, r.status) << r.what;
        EXPECT_EQ(o.out, r.out) << r.what;
        if (o.status == 1)
            EXPECT_EQ(o.err.rfind("dorvel_en is a desktop program and needs a display", 0), 0u)
                << r.what << ": " << o.err;
        else
            EXPECT_EQ(o.err, "") << r.what;
    }
}

TEST(BeginProgram, ADesktopProgramGoesOnOnlyWithADisplay) {
    struct Row {
        const char* what;
        std::map<std::string, std::string> env;
        bool display;
    };
    for (const Row& r : {
             Row{"nothing set", {}, false},
             Row{"an empty DISPLAY", {{"DISPLAY", ""}}, false},
             Row{"X11", {{"DISPLAY", ":0"}}, true},
             Row{"Wayland", {{"WAYLAND_DISPLAY", "wayland-0"}}, true},
             Row{"offscreen needs no window system", {{"QT_QPA_PLATFORM", "offscreen"}}, true},
             Row{"xcb asked for without DISPLAY",
                 {{"QT_QPA_PLATFORM", "xcb"}, {"WAYLAND_DISPLAY", "w"}},
                 false},
             Row{"wayland asked for without WAYLAND_DISPLAY",
                 {{"QT_QPA_PLATFORM", "wayland"}, {"DISPLAY", ":0"}},
                 false},
             Row{"xcb with DISPLAY", {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", ":1"}}, true},
         }) {
        DisplayEnv env(r.env);
        EXPECT_EQ(kv::hasDisplay(), r.display) << r.what;
        EXPECT_EQ(begin({"lumira_en"}, kv::Needs::Display).status,
                  r.display ? std::nullopt : std::optional<int>(1))
            << r.what;
        // A console program goes on either way.
        EXPECT_EQ(begin({"halvex"}, kv::Needs::Console).status, std::nullopt) << r.what;
    }
}

TEST(Version, IsTheProjectVersionWithAtMostAGitSuffix) {
    const std::string v(kv::version());
    // "0.1", or "0.1+git20250612.149.g1617aa0c2" with ".dirty" after it.
    const size_t plus = v.find('+');
    const std::string base = v.substr(0, plus);
    ASSERT_FALSE(base.empty());
    EXPECT_EQ(base.find_first_not_of("0123456789."), std::string::npos) << v;
    if (plus != std::string::npos) {
        const std::string suffix = v.substr(plus + 1);
        EXPECT_EQ(suffix.rfind("git", 0), 0u) << v;
        EXPECT_EQ(suffix.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789."), std::string::npos) << v;
    }
}

} // namespace
