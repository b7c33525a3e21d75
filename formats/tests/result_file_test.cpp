// The result file's reader on its own: what it refuses in the head, where the
// blocks' values go, and that what the writer writes reads back.
#include "kv/formats/result_file.h"
#include "kv/test_support/work_dir.h"

#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

using namespace kv::formats;

namespace {

// Kind line, 14 description lines, history count, note, phantom, note, then `numbers`.
std::string fileWith(const std::string& numbers, const std::string& kind = std::string(kMammographyKind)) {
    std::string s = kind + "\r\n";
    for (int i = 0; i < descriptionLineCount(kind); ++i)
        s += " line\r\n";
    return s + "100\r\n note\r\n15.0, 15.0, 5.0, 50\r\n note\r\n" + numbers;
}

LoadFailure headOf(const std::string& text, ResultFileHead& h) {
    kv::RecordReader in = kv::RecordReader::fromBytes(text, "r.vesk");
    return readResultHead(in, h);
}

TEST(ResultFileReader, HeadIsCheckedBeforeAnyBlock) {
    struct Row {
        const char* name;
        std::string text;
        LoadFailure expected;
    };
    const Row rows[] = {
        {"usable", fileWith("2.5, 65, 75, 150, 45\r\n"), LoadFailure::None},
        {"ends in the description", std::string(kMammographyKind) + "\r\n line\r\n", LoadFailure::EndsEarly},
        {"air kerma not a number", fileWith("x, 65, 75, 150, 45\r\n"), LoadFailure::NotANumber},
        {"infinite fcd", fileWith("2.5, 1e999, 75, 150, 45\r\n"), LoadFailure::NotANumber},
        {"count not whole", fileWith("2.5, 65, 75, 150.5, 45\r\n"), LoadFailure::CountOutOfRange},
        {"count beyond the grid", fileWith("2.5, 65, 75, 150, 61\r\n"), LoadFailure::CountOutOfRange},
        {"no reference rows", fileWith("2.5, 65, 75, 25, 45\r\n"), LoadFailure::EmptyReferenceRegion},
        {"no air kerma", fileWith("0, 65, 75, 150, 45\r\n"), LoadFailure::AirKerma},
        {"counts cut off", fileWith("2.5, 65, 75\r\n"), LoadFailure::EndsEarly},
    };
    for (const Row& r : rows) {
        ResultFileHead h;
        EXPECT_EQ(headOf(r.text, h), r.expected) << r.name;
    }
    ResultFileHead h;
    ASSERT_EQ(headOf(fileWith("2.5, 65, 75, 150, 45\r\n", std::string(kTomosynthesisKind)), h),
              LoadFailure::None);
    EXPECT_EQ(h.kindLine, kTomosynthesisKind);
    EXPECT_EQ(h.histories, 100);
    EXPECT_EQ(h.countZ, 45);
}

TEST(ResultFileReader, WrittenFileReadsBackRowByRow) {
    ResultFileContent c;
    c.histories = 2.0e7;
    c.airKerma = 3.25;
    c.fcd = 64;
    c.countY = 30;
    c.countZ = 2;
    const size_t n = static_cast<size_t>(kValuesPerRow) * 30 * 2;
    for (size_t i = 0; i < n; ++i) {
        c.primary.push_back(static_cast<double>(i));
        c.scatter.push_back(0.5 * static_cast<double>(i));
    }
    kv::RecordWriter w(".", "back.vesk");
    writeResultFile(w, c);
    kv::RecordReader in = kv::RecordReader::fromBytes(w.content(), "back.vesk");
    ResultFileHead h;
    ASSERT_EQ(readResultHead(in, h), LoadFailure::None);
    EXPECT_EQ(h.airKerma, 3.25);
    EXPECT_EQ(h.fcd, 64);
    EXPECT_EQ(h.histories, c.histories);
    std::vector<double> primary(n), scatter(n);
    ASSERT_EQ(readResultBlocks(in, h,
                               [&](int comp, int iy, int iz) {
                                   const size_t row = static_cast<size_t>((iz - 1) * h.countY + (iy - 1));
                                   return (comp == 1 ? primary : scatter).data() + row * kValuesPerRow;
                               }),
              LoadFailure::None);
    EXPECT_EQ(primary, c.primary);
    EXPECT_EQ(scatter, c.scatter);

    // One value short, or one that is not finite, is refused.
    std::string text = w.content();
    kv::RecordReader cut = kv::RecordReader::fromBytes(text.substr(0, text.rfind(',')), "cut.vesk");
    ASSERT_EQ(readResultHead(cut, h), LoadFailure::None);
    EXPECT_EQ(readResultBlocks(cut, h, [&](int, int, int) { return primary.data(); }),
              LoadFailure::EndsEarly);
    text.replace(text.rfind(','), 1, ",1e999,");
    kv::RecordReader huge = kv::RecordReader::fromBytes(text, "huge.vesk");
    ASSERT_EQ(readResultHead(huge, h), LoadFailure::None);
    EXPECT_EQ(readResultBlocks(huge, h, [&](int, int, int) { return primary.data(); }),
              LoadFailure::NotANumber);
}

TEST(ResultFileReader, OpenNamesWhatStandsInTheFilesPlace) {
    std::optional<kv::RecordReader> in;
    EXPECT_EQ(openResultFile(".", "", in), LoadFailure::NoFileSelected);
    EXPECT_EQ(openResultFile(".", "no-such-result.vesk", in), LoadFailure::CannotOpen);
    EXPECT_EQ(openResultFile("/", "tmp", in), LoadFailure::NotAFile);
}

} // namespace

namespace {

ResultFileContent smallContent() {
    ResultFileContent c;
    c.airKerma = 2.0;
    c.fcd = 60;
    c.countY = 30;
    c.countZ = 1;
    c.primary.assign(static_cast<size_t>(kValuesPerRow) * 30, 1.0);
    c.scatter = c.primary;
    return c;
}

std::string textOf(const ResultFileContent& c) {
    kv::RecordWriter w(".", "t.vesk");
    writeResultFile(w, c);
    return w.content();
}

// Head and blocks as the loader reads them, then the trailer.
ResultTrailer trailerOf(const std::string& text, LoadFailure& blocks) {
    kv::RecordReader in = kv::RecordReader::fromBytes(text, "t.vesk");
    ResultFileHead h;
    std::vector<double> row(kValuesPerRow);
    blocks = readResultHead(in, h);
    if (blocks == LoadFailure::None)
        blocks = readResultBlocks(in, h, [&](int, int, int) { return row.data(); });
    return readResultTrailer(in, h);
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

} // namespace

TEST(ResultFileTrailer, WrittenTrailerReadsBackInOrderAndWithoutOneNothingChanges) {
    ResultFileContent c = smallContent();
    const std::string plain = textOf(c);
    c.trailer = {{"physics_revision", "3"},
                 {"k_surface_per_k_fcd", trailerNumber(1.2345678901234567)},
                 {"note", "a, b = c"}};
    const std::string withTrailer = textOf(c);
    // Everything up to the last value is the same bytes: the loader sees one file.
    ASSERT_EQ(withTrailer.substr(0, plain.size()), plain);
    EXPECT_EQ(withTrailer.substr(plain.size(), kTrailerBegin.size()), kTrailerBegin);

    LoadFailure blocks = LoadFailure::Unreadable;
    ResultTrailer t = trailerOf(withTrailer, blocks);
    EXPECT_EQ(blocks, LoadFailure::None);
    ASSERT_EQ(t.state, ResultTrailer::State::Complete);
    EXPECT_TRUE(t.verified);
    ASSERT_EQ(t.entries.size(), c.trailer.size() + 1);
    EXPECT_TRUE(std::equal(c.trailer.begin(), c.trailer.end(), t.entries.begin()));
    EXPECT_EQ(t.entries.back().first, trailer::kContentSha256.name);
    EXPECT_EQ(t.number("k_surface_per_k_fcd"), 1.2345678901234567); // every digit back
    EXPECT_EQ(t.number("physics_revision"), 3.0);
    EXPECT_FALSE(t.number("note"));
    EXPECT_FALSE(t.number("missing"));

    ResultTrailer none = trailerOf(plain, blocks);
    EXPECT_EQ(blocks, LoadFailure::None);
    EXPECT_EQ(none.state, ResultTrailer::State::Absent);
    EXPECT_TRUE(none.entries.empty());
}

TEST(ResultFileTrailer, DamageIsReportedAndNeverReachesTheBlocks) {
    ResultFileContent c = smallContent();
    const std::string plain = textOf(c);
    c.trailer = {{"a", "1"}, {"b", "2"}};
    const std::string good = textOf(c);
    const std::string begin = std::string(kTrailerBegin) + "\r\n", end = std::string(kTrailerEnd) + "\r\n";
    struct Row {
        const char* name;
        std::string text;
        ResultTrailer::State expected;
    };
    const Row rows[] = {
        {"cut before the end line", good.substr(0, good.size() - end.size()), ResultTrailer::State::Damaged},
        {"cut inside a value", good.substr(0, good.rfind("2")), ResultTrailer::State::Damaged},
        {"only the begin line", plain + begin, ResultTrailer::State::Damaged},
        {"a line without =", plain + begin + "a 1\r\n" + end, ResultTrailer::State::Damaged},
        {"a name twice", plain + begin + "a = 1\r\na = 2\r\n" + end, ResultTrailer::State::Damaged},
        {"a name with a blank", plain + begin + "a b = 1\r\n" + end, ResultTrailer::State::Damaged},
        {"text after the end line", good + "more\r\n", ResultTrailer::State::Damaged},
        {"blank lines around it", plain + "\r\n" + begin + "a = 1\r\n" + end + "\r\n",
         ResultTrailer::State::Complete},
        {"LF line ends", plain + std::string(kTrailerBegin) + "\na = 1\n" + std::string(kTrailerEnd) + "\n",
         ResultTrailer::State::Complete},
        {"another engine's text", plain + "written by something else\r\n", ResultTrailer::State::Absent},
        {"no line end at all", plain, ResultTrailer::State::Absent},
    };
    for (const Row& r : rows) {
        LoadFailure blocks = LoadFailure::Unreadable;
        ResultTrailer t = trailerOf(r.text, blocks);
        EXPECT_EQ(blocks, LoadFailure::None) << r.name;
        EXPECT_EQ(t.state, r.expected) << r.name;
        if (t.state != ResultTrailer::State::Complete) {
            EXPECT_TRUE(t.entries.empty()) << r.name;
        }
    }
}

TEST(ResultFileTrailer, WriterRefusesATrailerThatWouldNotReadBack) {
    const std::vector<std::vector<TrailerEntry>> bad = {
        {{"", "1"}},
        {{"a b", "1"}},
        {{"a=b", "1"}},
        {{"a", "1\r\n2"}},
        {{"a", " 1"}},
        {{"a", "1"}, {"a", "2"}},
        {{"a", std::string(kMaxTrailerValueBytes + 1, 'x')}},
        {{"content_sha256", std::string(64, '0')}},
    };
    for (const auto& trailer : bad) {
        ResultFileContent c = smallContent();
        c.trailer = trailer;
        kv::RecordWriter w(".", "t.vesk");
        EXPECT_THROW(writeResultFile(w, c), std::invalid_argument) << trailer.front().first;
    }
    EXPECT_THROW(trailerNumber(std::numeric_limits<double>::infinity()), std::invalid_argument);
}

TEST(ResultFileTrailer, WholeFileReaderOpensReadsAndNamesALoadFailure) {
    kv::test_support::TempDir dir;
    ResultFileContent c = smallContent();
    c.trailer = {{"x", "1.5"}};
    writeResultFile(dir.path(), "t.vesk", c);
    ResultTrailer t;
    ASSERT_EQ(readResultTrailer(dir.path(), "t.vesk", t), LoadFailure::None);
    EXPECT_EQ(t.number("x"), 1.5);
    EXPECT_EQ(readResultTrailer(dir.path(), "missing.vesk", t), LoadFailure::CannotOpen);
    EXPECT_EQ(t.state, ResultTrailer::State::Absent);
}

namespace {

// A result as the engines write one: 600000 histories, a seed line, the ratios.
ResultFileContent engineLikeContent() {
    ResultFileContent c = smallContent();
    c.histories = 600000;
    c.description = {" Equipment: test", " Random seed: 1234 (one stream per batch)"};
    c.phantom = {15, 15, 5, 50};
    c.primary[40] = 2.5;
    c.trailer = {{"seed", "1234"},
                 {"histories", "600000"},
                 {"glandular_percent", "50"},
                 {"k_surface_per_k_fcd", "1.25"},
                 {"mgd_per_k_surface", "0.375"},
                 {"sagd", "0.41"}};
    return c;
}

} // namespace

// Each edit a hostile or careless hand could make after the engine wrote the
// file: the trailer is damaged with its reason, and its values are not used.
TEST(ResultFileTrailer, AnEditedFileIsDamagedWithItsReason) {
    const ResultFileContent c = engineLikeContent();
    const std::string good = textOf(c);
    const std::string lf = [&] {
        std::string s;
        for (char ch : good)
            if (ch != '\r') s += ch;
        return s;
    }();
    std::string old = good; // as an engine wrote it before the hash: the hash line taken out
    old.erase(old.find("content_sha256"), old.find(std::string(kTrailerEnd)) - old.find("content_sha256"));
    ResultFileContent lying =
        c; // a trailer whose own hash is right but whose history count is not the head's
    lying.trailer[1].second = "5";
    ResultFileContent otherSeed = c;
    otherSeed.trailer[0].second = "999";
    ResultFileContent otherFraction = c;
    otherFraction.trailer[2].second = "20";
    const std::string begin = std::string(kTrailerBegin);
    struct Row {
        const char* name;
        std::string text;
        ResultTrailer::State state;
        TrailerDamage damage;
        bool verified;
        const char* key;
    };
    using S = ResultTrailer::State;
    const Row rows[] = {
        {"as written", good, S::Complete, TrailerDamage::None, true, ""},
        {"line ends made LF", lf, S::Complete, TrailerDamage::None, true, ""},
        {"written before the hash", old, S::Complete, TrailerDamage::None, false, ""},
        {"sagd times 10", replaced(good, "sagd = 0.41", "sagd = 4.1"), S::Damaged,
         TrailerDamage::HashMismatch, false, ""},
        {"mgd_per_k_surface times 3",
         replaced(good, "mgd_per_k_surface = 0.375", "mgd_per_k_surface = 1.125"), S::Damaged,
         TrailerDamage::HashMismatch, false, ""},
        {"k_surface_per_k_fcd set to 0.5",
         replaced(good, "k_surface_per_k_fcd = 1.25", "k_surface_per_k_fcd = 0.5"), S::Damaged,
         TrailerDamage::HashMismatch, false, ""},
        {"histories 5 in the trailer", replaced(good, "histories = 600000", "histories = 5"), S::Damaged,
         TrailerDamage::HashMismatch, false, ""},
        {"a dose value edited", replaced(good, "2.50000E+00", "2.60000E+00"), S::Damaged,
         TrailerDamage::HashMismatch, false, ""},
        {"a hashed trailer against the header's 600000", textOf(lying), S::Damaged,
         TrailerDamage::DisagreesWithHead, false, "histories"},
        {"the header's history count edited", replaced(good, "\r\n600000\r\n", "\r\n5\r\n"), S::Damaged,
         TrailerDamage::DisagreesWithHead, false, "histories"},
        {"another seed than the header's", textOf(otherSeed), S::Damaged, TrailerDamage::DisagreesWithHead,
         false, "seed"},
        {"another glandular fraction than the phantom line's", textOf(otherFraction), S::Damaged,
         TrailerDamage::DisagreesWithHead, false, "glandular_percent"},
        {"a junk line before the trailer", replaced(good, begin, "junk\r\n" + begin), S::Damaged,
         TrailerDamage::TextBefore, false, ""},
        {"an entry after the hash",
         replaced(good, std::string(kTrailerEnd), "x = 1\r\n" + std::string(kTrailerEnd)), S::Damaged,
         TrailerDamage::HashNotLast, false, ""},
        {"a hash that is no digest", replaced(good, "content_sha256 = ", "content_sha256 = x"), S::Damaged,
         TrailerDamage::HashNotLast, false, ""},
    };
    for (const Row& r : rows) {
        LoadFailure blocks = LoadFailure::Unreadable;
        const ResultTrailer t = trailerOf(r.text, blocks);
        EXPECT_EQ(blocks, LoadFailure::None) << r.name;
        EXPECT_EQ(t.state, r.state) << r.name;
        EXPECT_EQ(t.damage, r.damage) << r.name;
        EXPECT_EQ(t.verified, r.verified) << r.name;
        EXPECT_EQ(t.damagedKey, r.key) << r.name;
        if (t.state == S::Damaged) {
            EXPECT_TRUE(t.entries.empty()) << r.name;
        }
    }
}

// "1,,2" in a block would read as 0 and shift every later value by one.
TEST(ResultFileReader, AnEmptyFieldInABlockIsAFailureAtItsLine) {
    const std::string good = textOf(smallContent());
    const struct {
        const char* name;
        std::string text;
        int line;
    } rows[] = {
        {"two commas", replaced(good, "E+00,1.", "E+00,,1."), 21},
        {"a comma first on a line", replaced(good, "\r\n1.", "\r\n,1."), 21},
        {"a blank field", replaced(good, "E+00,1.", "E+00, ,1."), 21},
    };
    for (const auto& r : rows) {
        LoadFailure blocks = LoadFailure::None;
        kv::RecordReader in = kv::RecordReader::fromBytes(r.text, "t.vesk");
        ResultFileHead h;
        ASSERT_EQ(readResultHead(in, h), LoadFailure::None) << r.name;
        std::vector<double> row(kValuesPerRow);
        int line = 0;
        blocks = readResultBlocks(
            in, h, [&](int, int, int) { return row.data(); }, &line);
        EXPECT_EQ(blocks, LoadFailure::NotANumber) << r.name;
        EXPECT_EQ(line, r.line) << r.name;
    }
}
