// The voxel-uncertainty side file: it reads back as written, and only for the
// result file it was written with.
#include "kv/common/content_hash.h"
#include "kv/formats/file_error.h"
#include "kv/formats/result_file.h"
#include "kv/formats/voxel_sigma_file.h"
#include "kv/test_support/work_dir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

using namespace kv::formats;
using kv::test_support::TempDir;

namespace {

// A small result file, its side file written the way an engine does.
struct Written {
    VoxelSigma sigma;
};

Written writeBoth(const TempDir& dir, const std::string& name, uint64_t seed, double histories) {
    ResultFileContent c;
    c.description = {" Random seed: " + std::to_string(seed) + " (one stream per batch)"};
    c.histories = histories;
    c.airKerma = 2.0;
    c.fcd = 60;
    c.countY = 30;
    c.countZ = 2;
    const size_t n = static_cast<size_t>(kValuesPerRow) * 30 * 2;
    c.primary.assign(n, 1.0);
    c.scatter.assign(n, 0.5);
    writeResultFile(dir.path(), name, c);
    Written w;
    w.sigma.resultSha256 = kv::sha256Hex(dir.read(name));
    w.sigma.seed = seed;
    w.sigma.histories = static_cast<uint64_t>(histories);
    w.sigma.rows = 30;
    w.sigma.layers = 2;
    for (size_t i = 0; i < n; ++i)
        w.sigma.percent.push_back(i % 7 == 0 ? 100.0 : 0.01 * static_cast<double>(i % 500));
    writeVoxelSigmaFile(dir.path(), name, w.sigma);
    return w;
}

TEST(VoxelSigmaFile, ReadsBackBesideTheResultItWasWrittenWith) {
    TempDir dir;
    Written w = writeBoth(dir, "run.vesk", 42, 2e7);
    EXPECT_TRUE(std::filesystem::exists(dir.file("run.vesk.sigma")));
    std::optional<VoxelSigma> back = readVoxelSigmaFile(dir.path(), "run.vesk");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->seed, 42u);
    EXPECT_EQ(back->histories, 20000000u);
    EXPECT_EQ(back->rows, 30);
    EXPECT_EQ(back->layers, 2);
    ASSERT_EQ(back->percent.size(), w.sigma.percent.size());
    for (size_t i = 0; i < back->percent.size(); ++i)
        EXPECT_NEAR(back->percent[i], w.sigma.percent[i], 0.005 * w.sigma.percent[i]) << i; // three digits
}

// Anything that unbinds the side file from its result, or spoils it, makes
// it say nothing; the result itself is not touched.
TEST(VoxelSigmaFile, SaysNothingForAnotherResultOrWhenSpoilt) {
    struct Row {
        const char* name;
        void (*spoil)(const TempDir&, const Written&);
    };
    const Row rows[] = {
        {"no side file",
         [](const TempDir& d, const Written&) { std::filesystem::remove(d.file("run.vesk.sigma")); }},
        {"result rewritten by another run",
         [](const TempDir& d, const Written&) {
             TempDir other;
             writeBoth(other, "run.vesk", 43, 2e7);
             std::filesystem::copy_file(other.file("run.vesk"), d.file("run.vesk"),
                                        std::filesystem::copy_options::overwrite_existing);
         }},
        {"result edited by one byte",
         [](const TempDir& d, const Written&) {
             std::string b = d.read("run.vesk");
             b[b.size() - 3] = b[b.size() - 3] == '0' ? '1' : '0';
             d.write("run.vesk", b);
         }},
        {"side file of another seed, same hash",
         [](const TempDir& d, const Written& w) {
             VoxelSigma s = w.sigma;
             s.seed = 7;
             writeVoxelSigmaFile(d.path(), "run.vesk", s);
         }},
        {"side file of other histories, same hash",
         [](const TempDir& d, const Written& w) {
             VoxelSigma s = w.sigma;
             s.histories = 1000;
             writeVoxelSigmaFile(d.path(), "run.vesk", s);
         }},
        {"side file cut short",
         [](const TempDir& d, const Written&) {
             std::string b = d.read("run.vesk.sigma");
             d.write("run.vesk.sigma", b.substr(0, b.size() / 2));
         }},
        {"side file with a value that is no number",
         [](const TempDir& d, const Written&) {
             std::string b = d.read("run.vesk.sigma");
             b.replace(b.rfind(','), 1, ",x");
             d.write("run.vesk.sigma", b);
         }},
        {"side file with more after its values",
         [](const TempDir& d, const Written&) {
             d.write("run.vesk.sigma", d.read("run.vesk.sigma") + "1.00E+00\r\n");
         }},
        {"side file is a folder",
         [](const TempDir& d, const Written&) {
             std::filesystem::remove(d.file("run.vesk.sigma"));
             std::filesystem::create_directory(d.file("run.vesk.sigma"));
         }},
        {"result is gone",
         [](const TempDir& d, const Written&) { std::filesystem::remove(d.file("run.vesk")); }},
    };
    for (const Row& r : rows) {
        TempDir dir;
        Written w = writeBoth(dir, "run.vesk", 42, 2e7);
        ASSERT_TRUE(readVoxelSigmaFile(dir.path(), "run.vesk")) << r.name;
        r.spoil(dir, w);
        EXPECT_FALSE(readVoxelSigmaFile(dir.path(), "run.vesk")) << r.name;
    }
}

TEST(VoxelSigmaFile, AGridItCannotFillIsRefusedAndTheOldFileStays) {
    TempDir dir;
    Written w = writeBoth(dir, "run.vesk", 1, 1e6);
    const std::string before = dir.read("run.vesk.sigma");
    VoxelSigma bad = w.sigma;
    bad.percent.pop_back();
    EXPECT_THROW(writeVoxelSigmaFile(dir.path(), "run.vesk", bad), FileError);
    EXPECT_EQ(dir.read("run.vesk.sigma"), before);
}

} // namespace
