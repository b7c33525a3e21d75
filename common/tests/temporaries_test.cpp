#include "kv/common/records.h"
#include "kv/common/temporaries.h"
#include "kv/test_support/work_dir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using kv::test_support::TempDir;

// A pid that belonged to a process which has ended.
long endedPid() {
    pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

std::string filled(std::string tmpl) {
    return tmpl.replace(tmpl.size() - 6, 6, "a1B2c3");
}

TEST(Temporaries, NameTellsTheWriter) {
    kv::TemporaryWriter w;
    ASSERT_TRUE(kv::parseTemporaryName(filled(kv::temporaryTemplate("run 1.vesk")), w));
    EXPECT_EQ(w.pid, ::getpid());
    EXPECT_FALSE(w.host.empty());
    const char* notOurs[] = {"run.vesk",
                             ".run.vesk.a1B2c3",
                             ".run.vesk.12@.a1B2c3",
                             ".run.vesk.x2@h.a1B2c3",
                             ".run.vesk.0@h.a1B2c3",
                             ".run.vesk.12@h.h.a1B2c3",
                             ".12@h.a1B2c3"};
    for (const char* name : notOurs)
        EXPECT_FALSE(kv::parseTemporaryName(name, w)) << name;
}

TEST(Temporaries, ALongNameStillGetsAWholeFile) {
    TempDir d;
    const std::string name = std::string(245, 'r') + ".vesk";
    kv::RecordWriter out(d.path(), name);
    out.line("whole");
    ASSERT_NO_THROW(out.commit());
    EXPECT_TRUE(fs::exists(d.path() / name));
    EXPECT_LE(kv::temporaryTemplate(name).size(), 255u);
    // Cut at a character, not inside one.
    std::string kana;
    for (int i = 0; i < 90; ++i)
        kana += "\xE3\x81\x82";
    const std::string t = kv::temporaryTemplate(kana);
    const size_t kept = t.find('.', 1) - 1;
    EXPECT_LT(kept, kana.size());
    EXPECT_EQ(kept % 3, 0u) << t;
    EXPECT_LE(t.size(), 255u);
}

TEST(Temporaries, OnlyThoseOfEndedWritersOfThisMachineAreRemoved) {
    TempDir d;
    const std::string ours = filled(kv::temporaryTemplate("run.vesk"));
    std::string ended = ours;
    ended.replace(ended.find(std::to_string(::getpid())), std::to_string(::getpid()).size(),
                  std::to_string(endedPid()));
    std::string elsewhere = ended;
    elsewhere.replace(elsewhere.find('@') + 1, elsewhere.rfind('.') - elsewhere.find('@') - 1,
                      "other-machine-x");
    std::string endedDir = ended;
    endedDir.replace(endedDir.size() - 6, 6, "zzzzzz");
    for (const std::string& n :
         {ours, ended, elsewhere, std::string(".run.vesk.a1B2c3"), std::string("run.vesk")})
        d.write(n, "x");
    fs::create_directory(d.path() / endedDir);

    EXPECT_EQ(kv::removeAbandonedTemporaries(d.path()), 1);
    EXPECT_FALSE(fs::exists(d.path() / ended));
    for (const std::string& n :
         {ours, elsewhere, std::string(".run.vesk.a1B2c3"), std::string("run.vesk"), endedDir})
        EXPECT_TRUE(fs::exists(d.path() / n)) << n;
    EXPECT_EQ(kv::removeAbandonedTemporaries(d.path() / "missing"), 0);
}

TEST(Temporaries, AWriterTagTellsWhetherItsProcessEnded) {
    const std::string me = kv::writerTag(), host = me.substr(me.find('@'));
    EXPECT_EQ(me, std::to_string(::getpid()) + host);
    struct Case {
        std::string tag;
        bool ended;
    } cases[] = {
        {me, false},
        {std::to_string(endedPid()) + host, true},
        {std::to_string(endedPid()) + "@other-machine", false}, // cannot be asked: running
        {"", false},
        {"12x" + host, false},
        {"-5" + host, false},
        {std::to_string(endedPid()), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(kv::writerEnded(c.tag), c.ended) << c.tag;
}

TEST(Temporaries, OnlyThoseOfTheNamedFileWhenOneIsNamed) {
    TempDir d;
    const std::string pid = std::to_string(::getpid());
    auto endedOf = [&](const std::string& name) {
        std::string t = filled(kv::temporaryTemplate(name));
        return t.replace(t.rfind(pid), pid.size(), std::to_string(endedPid()));
    };
    const std::string mine = endedOf("s.dat"), longer = endedOf("s.dat.bak"), other = endedOf("t.dat");
    const std::string longName = std::string(250, 'n') + ".dat", cut = endedOf(longName);
    for (const std::string& n : {mine, longer, other, cut})
        d.write(n, "x");
    EXPECT_EQ(kv::removeAbandonedTemporaries(d.path(), "s.dat"), 1);
    EXPECT_EQ(kv::removeAbandonedTemporaries(d.path(), longName), 1);
    EXPECT_FALSE(fs::exists(d.path() / mine));
    EXPECT_FALSE(fs::exists(d.path() / cut));
    EXPECT_TRUE(fs::exists(d.path() / longer));
    EXPECT_TRUE(fs::exists(d.path() / other));
}

} // namespace
