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
    return readResultTrailer(in);
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
    EXPECT_EQ(t.entries, c.trailer);
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
