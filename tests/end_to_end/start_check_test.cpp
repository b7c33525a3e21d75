// What would stop a finished run from being saved is refused before the
// first history, in the check the engines and the workbench share; and the
// permission cases as a user who is not the superuser, as they happen.
#include "engine_programs.h"
#include "kv/common/format.h"
#include "kv/engine/run_inputs.h"
#include "kv/formats/control_file.h"
#include "kv/formats/spectrum_file.h"
#include "kv/texts/spectrum_files.h"

#include <chrono>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace kv::engine;
using namespace kv::engine::test_support;

namespace {

// The spectrum file rewritten with `change` applied to its settings and table.
void changeSpectrum(const RunDir& d,
                    void (*change)(kv::formats::SpectrumFields&, kv::formats::SpectrumTable&)) {
    const kv::formats::SpectrumFileContents s = kv::formats::readSpectrumFile(d.path());
    kv::formats::SpectrumFields f;
    f.tubeVoltage = kv::plainDecimal(s.tubeVoltage);
    kv::formats::SpectrumTable table = s.table;
    change(f, table);
    kv::formats::writeSpectrumFile(d.path(), s.target, f, table, kv::texts::englishSpectrumFileTexts.labels);
}

void everyRay(kv::formats::SpectrumTable& t, int bin, double share) {
    for (auto& ray : t)
        ray.fill(0);
    for (int k = 1; k < kv::formats::kColumns; ++k)
        t[k][bin] = share;
}

void replaceIn(const RunDir& d, const std::string& file, const std::string& from, const std::string& to) {
    std::string bytes = d.read(file);
    const size_t at = bytes.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    d.write(file, bytes.replace(at, from.size(), to));
}

struct Case {
    const char* what;
    RunDirOptions options;
    void (*spoil)(const RunDir&);
    const char* says;
    const char* saysJa = nullptr; // the workbench shows the reason in its edition
};

TEST(StartCheck, WhatWouldLoseTheRunIsRefusedBeforeIt) {
    const Case cases[] = {
        {"a folder of the result's name",
         {.resultName = "r"},
         [](const RunDir& d) { fs::create_directory(d.path() / "r.vesk"); },
         "MC.dat: line 8 names the result file \"r.vesk\", but a folder of that name stands in the working "
         "folder",
         "MC.dat：8 行目の結果ファイル名「r.vesk」と同じ名前のフォルダが作業フォルダにあり"},
        {"a pipe of the result's name",
         {.resultName = "r"},
         [](const RunDir& d) { ASSERT_EQ(::mkfifo((d.path() / "r.vesk").c_str(), 0600), 0); },
         "but a pipe or device of that name stands"},
        {"a link to a folder",
         {.resultName = "r"},
         [](const RunDir& d) {
             fs::create_directory(d.path() / "elsewhere");
             fs::create_directory_symlink(d.path() / "elsewhere", d.path() / "r.vesk");
         },
         "but a folder of that name stands"},
        {"a write-protected older result",
         {.resultName = "r"},
         [](const RunDir& d) {
             d.write("r.vesk", "old");
             fs::permissions(d.path() / "r.vesk", fs::perms::owner_read);
         },
         "the older result of that name is write-protected",
         "の以前の結果は書き込み禁止のため"},
        {"a name longer than the folder takes",
         {.resultName = std::string(251, 'n')},
         [](const RunDir&) {},
         "256 bytes long; the working folder takes names of at most 255 bytes",
         "は 256 バイトですが、作業フォルダに置ける名前は 255 バイトまでです"},
        {"bytes the code page cannot write in the equipment name",
         {},
         [](const RunDir& d) { replaceIn(d, "MC.dat", "Test unit\r\n", "Test \xff\xfe unit\r\n"); },
         "MC.dat: line 9, the equipment name \"Test \xEF\xBF\xBD\xEF\xBF\xBD unit\", holds characters that "
         "the "
         "result file's code page (CP932) cannot hold",
         "MC.dat：9 行目の装置名「Test \xEF\xBF\xBD\xEF\xBF\xBD unit」に、結果ファイルの文字コード (CP932) "
         "で書けない"},
        {"bytes the code page cannot write in the fraction",
         {},
         [](const RunDir& d) { replaceIn(d, "Phantom.dat", "50\r\n", "50\x80\r\n"); },
         "Phantom.dat: line 1, the glandular fraction \"50\xEF\xBF\xBD\""},
        {"a composition of no density",
         {},
         [](const RunDir& d) {
             std::string bytes = d.read("BR12-50.dat");
             const size_t at = bytes.find("Density (g/cm3) = ") + 18;
             d.write("BR12-50.dat", bytes.replace(at, bytes.find('\r', at) - at, "1e-300"));
         },
         "BR12-50.dat: line 3: the density 1E-300 g/cm3 lies outside 0.01 to 25 g/cm3"},
        {"photons only at 1 keV",
         {},
         [](const RunDir& d) { changeSpectrum(d, [](auto&, auto& t) { everyRay(t, 5, 1.0 / 42); }); },
         "hardly any of the spectrum's photons cross the 1.5 mm compression paddle",
         "スペクトルの光子は 1.5 mm の圧迫板をほとんど透過しない"},
        {"one share of 1e23",
         {},
         [](const RunDir& d) { changeSpectrum(d, [](auto&, auto& t) { t[7][90] = 1e23; }); },
         "P_SPCTL.dat: line 100: the share 1E+23 of ray 7 at 18 keV is more than 1",
         "P_SPCTL.dat：100 行目: 光線 7 の 18 keV の割合 1E+23 が 1 を超えています"},
        {"a negative tube voltage",
         {},
         [](const RunDir& d) { changeSpectrum(d, [](auto& f, auto&) { f.tubeVoltage = "-5"; }); },
         "P_SPCTL.dat: line 2, the tube voltage of -5 kV, lies outside 15 to 50 kV",
         "2 行目の管電圧 -5 kV は 15 ～ 50 kV の範囲外です"},
        {"photons above the tube voltage",
         {},
         [](const RunDir& d) { changeSpectrum(d, [](auto& f, auto&) { f.tubeVoltage = "20"; }); },
         "keV, above the tube voltage of 20 kV (line 2)"},
        {"no photons toward the air-kerma point",
         {},
         [](const RunDir& d) {
             changeSpectrum(d, [](auto&, auto& t) {
                 for (auto& ray : t)
                     ray.fill(0);
                 t[1][100] = 1; // straight down only: the chamber lies 5.7 deg off
             });
         },
         "the rays hold no photons toward the point where the air kerma is taken",
         "へ向かう光子が光線にないため"},
        {"a vanishing share toward the air-kerma point",
         {},
         [](const RunDir& d) {
             changeSpectrum(d, [](auto&, auto& t) {
                 for (auto& ray : t)
                     for (double& v : ray)
                         v *= 1e-9;
                 t[1][100] = 0.5; // nearly all straight down
             });
         },
         "the rays hold almost no photons toward the point where the air kerma is taken"},
        {"an FCD of almost nothing",
         {},
         [](const RunDir& d) {
             d.write("MC.dat",
                     "15.0\r\n15.0\r\n065.0\r\n060.0\r\n1e-320\r\n007.5\r\n1.0E+05\r\nrun.vesk\r\nT\r\n");
         },
         "cm (line 5) must lie between 1 and 500 cm"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RunDir dir(c.options);
        c.spoil(dir);
        try {
            checkRunStart(dir.path(), ExposureKind::Mammography);
            ADD_FAILURE() << "accepted";
        } catch (const InputError& e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
            if (c.saysJa) {
                const std::string& ja = e.text(kv::texts::Edition::Japanese);
                EXPECT_NE(ja.find(c.saysJa), std::string::npos) << ja;
            }
        }
    }
}

// A user's folder, as that user: the superuser writes through permissions,
// so under it the program runs as nobody (setpriv).
struct AsUser {
    bool root = ::geteuid() == 0;
    std::string prefix() const { return root ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : ""; }
    void own(const fs::path& p) const {
        if (root) {
            ASSERT_EQ(::chown(p.c_str(), 65534, 65534), 0);
        }
    }
};

TEST(StartCheck, PermissionCasesAsAUserRefuseAtOnceAndKeepTheOldFile) {
    REQUIRE_PROGRAMS();
    const AsUser user;
    if (user.root && std::system("setpriv --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no setpriv";
    struct Permission {
        const char* what;
        bool superuserOnly;
        void (*prepare)(const RunDir&, const AsUser&);
        const char* says;
    } cases[] = {
        {"an older result its owner made read-only", false,
         [](const RunDir& d, const AsUser& u) {
             d.write("kept.vesk", "an older result\r\n");
             fs::permissions(d.path() / "kept.vesk", fs::perms::owner_read | fs::perms::group_read);
             u.own(d.path() / "kept.vesk");
         },
         "the older result of that name is write-protected"},
        // Left to the superuser, who alone can make a file another user's.
        {"an older result of another user", true,
         [](const RunDir& d, const AsUser&) {
             d.write("kept.vesk", "an older result\r\n");
             fs::permissions(d.path() / "kept.vesk", static_cast<fs::perms>(0644));
         },
         "the older result of that name is write-protected"},
        {"a folder nobody may write", false,
         [](const RunDir& d, const AsUser& u) {
             d.write("kept.vesk", "an older result\r\n");
             u.own(d.path() / "kept.vesk");
             fs::permissions(d.path(), static_cast<fs::perms>(0555));
         },
         "kept.vesk: cannot be written in the working folder, which is write-protected"},
    };
    for (const Permission& c : cases) {
        if (c.superuserOnly && !user.root) continue;
        SCOPED_TRACE(c.what);
        RunDir dir({.histories = "1e9", .resultName = "kept"});
        for (const auto& e : fs::directory_iterator(dir.path()))
            user.own(e.path());
        user.own(dir.path());
        c.prepare(dir, user);
        // Output goes outside the folder, which may take nothing.
        const fs::path out = fs::temp_directory_path() / ("kv-as-user-" + std::to_string(::getpid()));
        fs::create_directories(out);
        fs::permissions(out, fs::perms::all);
        const auto t0 = std::chrono::steady_clock::now();
        const std::string cmd = "cd '" + dir.path().string() + "' && timeout -s KILL 60 env -u DISPLAY -u " +
                                "WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + user.prefix() + program("halvex") +
                                " > '" + (out / "out.txt").string() + "' 2>&1";
        const int status = std::system(cmd.c_str());
        const std::string text = kv::test_support::readFile(out / "out.txt");
        fs::permissions(dir.path(), fs::perms::owner_all);
        fs::remove_all(out);
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(60));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << text;
        EXPECT_NE(text.find(c.says), std::string::npos) << text;
        EXPECT_EQ(text.find("Saved"), std::string::npos) << text;
        EXPECT_EQ(dir.read("kept.vesk"), "an older result\r\n");
    }
}

} // namespace

namespace {

// The header states what the run used: a hand-written thickness of 2.25 cm
// is not shown as 2.3, and a target the final uncertainty meets is
// "reached" even when the run ended before a checkpoint looked at it.
TEST(StartCheck, TheHeaderAgreesWithTheRun) {
    REQUIRE_PROGRAMS();
    // fewer histories than the first checkpoint's two batches
    RunDir dir({.histories = "2.5e5", .resultName = "agrees"});
    dir.write("Phantom.dat", "50\r\nBR12-50.dat\r\n15.0\r\n15.0\r\n2.25\r\n");
    dir.write("MC.dat",
              "15.0\r\n15.0\r\n065.0\r\n060.0\r\n45.55\r\n007.5\r\n2.5E+05\r\nagrees.vesk\r\nT\r\n");
    const ProgramOutput r = runIn(dir, program("halvex") + " --seed 5 --sagd-sigma 50");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Target uncertainty reached: saved agrees.vesk"), std::string::npos) << r.out;
    EXPECT_EQ(headerLine(dir, "agrees.vesk", " Phantom:").rfind(" Phantom: 15.0 x 15.0 x 2.25 cm,", 0), 0u);
    EXPECT_EQ(headerLine(dir, "agrees.vesk", " FID ").rfind(" FID 65.0 cm, FCD 45.55 cm,", 0), 0u);
    const std::string histories = headerLine(dir, "agrees.vesk", " Histories:");
    EXPECT_NE(histories.find("250000 done (sAGD target 50.00 % reached)"), std::string::npos) << histories;
}

} // namespace
