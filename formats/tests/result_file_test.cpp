// The result file's reader on its own: what it refuses in the head, where the
// blocks' values go, and that what the writer writes reads back.
#include "kv/formats/result_file.h"

#include <gtest/gtest.h>
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
