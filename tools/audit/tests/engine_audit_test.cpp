// kv-audit with the engine itself: each AGD is K times the factor of the
// Monte Carlo run its factor_id names, that factor is what the same row gives
// when run on its own, it agrees with the published protocol method, and a
// killed audit goes on from the factors it had made.
#include "dicom_maker.h"
#include "kv/audit/engine_physics.h"
#include "kv/common/content_hash.h"
#include "kv/common/csv.h"
#include "kv/factors/row_factors.h"
#include "kv/sweep/grid.h"
#include "kv/test_support/work_dir.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kv::audit {
namespace {

namespace fs = std::filesystem;
using test::MadeExposure;
using test_support::TempDir;

fs::path dataFolder(const TempDir& d) {
    const fs::path data = d.path() / "data";
    fs::create_directories(data);
    for (const char* name : {"equipment.dat", "MUs12.dat", "Mo-STP.dat", "Rh-STP.dat"})
        fs::copy_file(test_support::shippedDataDir() / name, data / name);
    return data;
}

std::vector<std::map<std::string, std::string>> auditRows(const fs::path& file) {
    const std::vector<CsvLine> lines = readCsvLines(test_support::readFile(file));
    std::vector<std::map<std::string, std::string>> rows;
    for (size_t n = 1; n < lines.size(); ++n) {
        std::map<std::string, std::string> r;
        for (size_t i = 0; i < lines[0].cells.size() && i < lines[n].cells.size(); ++i)
            r[lines[0].cells[i]] = lines[n].cells[i];
        rows.push_back(r);
    }
    return rows;
}

// Published g-factors (Dance 1990, Phys. Med. Biol. 35 1211; Dance et al.
// 2000, Phys. Med. Biol. 45 3225), 4 cm, 50 % glandular, per incident air
// kerma at the upper surface, against the first HVL in mm Al; and the
// s-factors of W/Rh and Rh/Rh (Dance et al. 2000, table of s).
double publishedG4cm(double hvl) {
    const double h[] = {0.30, 0.35, 0.40, 0.45, 0.50, 0.55, 0.60};
    const double g[] = {0.207, 0.235, 0.261, 0.289, 0.318, 0.346, 0.374};
    for (int i = 1; i < 7; ++i)
        if (hvl <= h[i]) return g[i - 1] + (hvl - h[i - 1]) / (h[i] - h[i - 1]) * (g[i] - g[i - 1]);
    return g[6];
}
constexpr double kSWRh = 1.042, kSRhRh = 1.061;

TEST(EngineAudit, EachAgdIsItsFactorsRunAndAgreesWithThePublishedMethod) {
    TempDir dir("kv-audit");
    const fs::path data = dataFolder(dir);
    // 40 mm at age 55 is 50 % glandular, where c is 1 by definition: g x s alone is the published method.
    MadeExposure mo;
    mo.thickness = "40", mo.age = "055Y", mo.entrance = "5.0", mo.hvl = "", mo.index = 1,
    mo.event = "1.2.3.1";
    test::writeDicom(dir.file("in/mo.dcm"), (fs::create_directories(dir.file("in")), mo));
    MadeExposure w = mo;
    w.anode = "TUNGSTEN", w.filter = "RHODIUM", w.filterMin = "0.05", w.filterMax = "0.05", w.kvp = "29";
    w.index = 2, w.event = "1.2.3.2";
    test::writeDicom(dir.file("in/w.dcm"), w);
    MadeExposure rh = mo;
    rh.anode = "RHODIUM", rh.filter = "RHODIUM", rh.filterMin = rh.filterMax = "0.025", rh.kvp = "29";
    rh.index = 3, rh.event = "1.2.3.3";
    test::writeDicom(dir.file("in/rh.dcm"), rh);

    std::ostringstream out, err;
    const int status = runAudit({dir.file("in").string(), "--out", dir.file("out").string(), "--data",
                                 data.string(), "--histories", "200000", "--threads", "2"},
                                out, err, makeEnginePhysics, [] { return false; });
    ASSERT_EQ(status, 0) << err.str() << out.str();
    const auto rows = auditRows(dir.file("out/audit.csv"));
    ASSERT_EQ(rows.size(), 3u) << test_support::readFile(dir.file("out/skipped.csv"));

    const formats::EquipmentRecord equipment = formats::readEquipment(data);
    const spectrum::PhysicalData physical = spectrum::LoadPhysicalData(data);
    for (const auto& r : rows) {
        SCOPED_TRACE(r.at("anode"));
        EXPECT_EQ(r.at("glandularity_percent"), "50.0");
        EXPECT_EQ(r.at("hvl_source"), "model");
        // The factor_id names the cache's figures of that very run; its dose values are not kept.
        EXPECT_TRUE(fs::exists(dir.file("out/factors") / (r.at("factor_id") + ".factors")));
        EXPECT_FALSE(fs::exists(dir.file("out/factors") / (r.at("factor_id") + ".vesk")));
        EXPECT_LT(fs::file_size(dir.file("out/factors") / (r.at("factor_id") + ".factors")), 1000u);

        // The same node run on its own, into a folder of its own.
        FactorNode n;
        const std::map<std::string, Target> targets = {
            {"Mo", Target::Molybdenum}, {"W", Target::Tungsten}, {"Rh", Target::Rhodium}};
        n.beam.target = targets.at(r.at("anode"));
        n.beam.filter = r.at("filter") == "Rh" ? FilterMaterial::Rhodium : FilterMaterial::Molybdenum;
        n.beam.filterMm = std::stod(r.at("filter_mm")), n.beam.kvp = std::stod(r.at("kvp"));
        n.thicknessMm = 40, n.glandularPercent = 50;
        const factors::Row row = nodeRow(n, equipment, 200000);
        EXPECT_EQ(factors::resultStem(row), r.at("factor_id"));
        fs::create_directories(dir.file("direct"));
        factors::RowRunOptions ro;
        ro.threads = 2;
        const factors::RowOutcome direct = factors::runGridRow(row, data, physical, dir.file("direct"), ro);
        EXPECT_FALSE(direct.kept);
        EXPECT_NEAR(std::stod(r.at("factor")), direct.factors.mgd, 1e-5);
        EXPECT_NEAR(std::stod(r.at("agd_mgy")), 5.0 * direct.factors.mgd, 1e-4);
        EXPECT_NEAR(std::stod(r.at("hvl_mm_al")), direct.factors.hvl1Paddle, 0.003);

        // The published protocol method at the same K and HVL: g (x s but for Mo/Mo) x c (= 1 at 50 %).
        const double s = r.at("anode") == "W" ? kSWRh : r.at("anode") == "Rh" ? kSRhRh : 1.0;
        const double published = 5.0 * publishedG4cm(std::stod(r.at("hvl_mm_al"))) * s;
        EXPECT_NEAR(std::stod(r.at("agd_mgy")) / published, 1, 0.05)
            << "ours " << r.at("agd_mgy") << " published " << published << " at HVL " << r.at("hvl_mm_al");
    }
}

// A scan's factor is the engine's step-and-shoot row of the scan's angles and projections: its own
// run, a little under the 2D factor of the same breast and beam (T < 1).
TEST(EngineAudit, AScansFactorIsTheTomosynthesisRowOfItsAngles) {
    TempDir dir("kv-audit");
    const fs::path data = dataFolder(dir);
    fs::create_directories(dir.file("in"));
    MadeExposure twoD;
    twoD.thickness = "40", twoD.age = "055Y", twoD.entrance = "5.0", twoD.hvl = "", twoD.index = 1,
    twoD.event = "1.2.3.1";
    test::writeDicom(dir.file("in/2d.dcm"), twoD);
    MadeExposure scan = twoD;
    scan.index = 2, scan.event = "1.2.3.2", scan.sopClass = test::kVolumeClass;
    scan.acquisition = {{DCM_PrimaryPositionerScanArc, "15"},
                        {DCM_PrimaryPositionerScanStartAngle, "-7.5"},
                        {DCM_PrimaryPositionerIncrement, "1"}};
    test::writeDicom(dir.file("in/scan.dcm"), scan);

    std::ostringstream out, err;
    const int status = runAudit({dir.file("in").string(), "--out", dir.file("out").string(), "--data",
                                 data.string(), "--histories", "200000", "--threads", "2"},
                                out, err, makeEnginePhysics, [] { return false; });
    ASSERT_EQ(status, 0) << err.str() << out.str();
    std::map<std::string, std::map<std::string, std::string>> rows;
    for (const auto& r : auditRows(dir.file("out/audit.csv")))
        rows[r.at("modality")] = r;
    ASSERT_EQ(rows.size(), 2u) << test_support::readFile(dir.file("out/skipped.csv"));
    const auto &d = rows.at("dbt"), &m = rows.at("2d");
    EXPECT_EQ(d.at("scan"), "16 projections, -7.5 to 7.5 deg");
    EXPECT_NE(d.at("factor_id"), m.at("factor_id"));

    FactorNode n;
    n.beam.target = Target::Molybdenum, n.beam.filter = FilterMaterial::Molybdenum;
    n.beam.filterMm = std::stod(d.at("filter_mm")), n.beam.kvp = std::stod(d.at("kvp"));
    n.thicknessMm = 40, n.glandularPercent = 50, n.scan = ScanShape{7.5, 16};
    const factors::Row row = nodeRow(n, formats::readEquipment(data), 200000);
    EXPECT_TRUE(row.tomosynthesis);
    EXPECT_EQ(row.angularRange, 7.5);
    EXPECT_EQ(row.projections, 16);
    EXPECT_EQ(factors::resultStem(row), d.at("factor_id"));

    const double ratio = std::stod(d.at("factor")) / std::stod(m.at("factor"));
    EXPECT_LT(ratio, 1.01) << d.at("factor") << " " << m.at("factor");
    EXPECT_GT(ratio, 0.97) << d.at("factor") << " " << m.at("factor");
    EXPECT_NEAR(std::stod(d.at("agd_mgy")), 5.0 * std::stod(d.at("factor")), 1e-4);
}

TEST(EngineAudit, AKilledAuditGoesOnFromTheFactorsItHadMade) {
    TempDir dir("kv-audit");
    const fs::path data = dataFolder(dir);
    fs::create_directories(dir.file("in"));
    int i = 0;
    for (const char* thickness : {"30", "40", "50", "60"}) {
        MadeExposure e;
        e.thickness = thickness, e.index = ++i, e.event = "1.2.4." + std::to_string(i);
        test::writeDicom(dir.file("in") / (std::string("e") + thickness + ".dcm"), e);
    }
    const std::string program = (fs::path(KV_RUN_DIR) / "kv-audit").string();
    const std::vector<std::string> args = {program,       dir.file("in").string(),
                                           "--out",       dir.file("out").string(),
                                           "--data",      data.string(),
                                           "--histories", "400000",
                                           "--threads",   "1"};
    auto start = [&](const fs::path& log) {
        const pid_t pid = fork();
        if (pid == 0) {
            std::freopen(log.c_str(), "w", stdout);
            std::vector<char*> argv;
            for (const std::string& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        return pid;
    };
    // Killed outright once the first factor is in the cache.
    const pid_t first = start(dir.file("first.log"));
    auto storedRuns = [&] {
        int n = 0;
        std::error_code ec;
        for (fs::directory_iterator it(dir.file("out/factors"), ec), end; !ec && it != end; it.increment(ec))
            n += it->path().extension() == ".row";
        return n;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (storedRuns() < 1 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    kill(first, SIGKILL);
    int ws = 0;
    waitpid(first, &ws, 0);
    const int made = storedRuns();
    ASSERT_GE(made, 1);
    ASSERT_LT(made, 4) << "the first audit finished before it could be killed";
    EXPECT_FALSE(fs::exists(dir.file("out/audit.csv")));

    const pid_t second = start(dir.file("second.log"));
    waitpid(second, &ws, 0);
    ASSERT_TRUE(WIFEXITED(ws));
    EXPECT_EQ(WEXITSTATUS(ws), 0) << test_support::readFile(dir.file("second.log"));
    const std::string log = test_support::readFile(dir.file("second.log"));
    EXPECT_NE(log.find("4 factors needed, " + std::to_string(made) + " of them already in"),
              std::string::npos)
        << log;
    EXPECT_EQ(auditRows(dir.file("out/audit.csv")).size(), 4u);
    // Run once more: every factor is taken from the cache, and the audit is the same.
    const std::string before = test_support::readFile(dir.file("out/audit.csv"));
    const pid_t third = start(dir.file("third.log"));
    waitpid(third, &ws, 0);
    EXPECT_NE(test_support::readFile(dir.file("third.log")).find("4 factors needed, 4 of them already in"),
              std::string::npos);
    EXPECT_EQ(test_support::readFile(dir.file("out/audit.csv")), before);

    // A stored figure altered by hand no longer matches its note's hash: that factor runs again.
    fs::path altered;
    for (const auto& e : fs::directory_iterator(dir.file("out/factors")))
        if (e.path().extension() == ".factors") altered = e.path();
    ASSERT_FALSE(altered.empty());
    std::string text = test_support::readFile(altered);
    text.replace(text.find("mgd_per_k_surface = "), 20, "mgd_per_k_surface = 9");
    test_support::writeFile(altered, text);
    const pid_t fourth = start(dir.file("fourth.log"));
    waitpid(fourth, &ws, 0);
    EXPECT_NE(test_support::readFile(dir.file("fourth.log")).find("4 factors needed, 3 of them already in"),
              std::string::npos)
        << test_support::readFile(dir.file("fourth.log"));
    // Run again with its fixed seed, the factor is what it was, not the altered figure.
    EXPECT_EQ(test_support::readFile(dir.file("out/audit.csv")), before);
}

// A data folder from before the rhodium target: a rhodium beam is refused with the file named in
// words, while a molybdenum beam of the same folder is still matched.
TEST(EngineAudit, ARhodiumBeamWithoutItsStoppingPowersIsRefusedInWords) {
    TempDir dir("kv-audit");
    const fs::path data = dataFolder(dir);
    fs::remove(data / "Rh-STP.dat");
    PhysicsSettings s;
    s.dataDir = data, s.cacheDir = dir.file("cache");
    const std::unique_ptr<Physics> physics = makeEnginePhysics(s);
    Beam rh;
    rh.target = Target::Rhodium, rh.filter = FilterMaterial::Rhodium, rh.filterMm = 0.025, rh.kvp = 28;
    for (const std::optional<double> hvl : {std::optional<double>(), std::optional<double>(0.4)}) {
        try {
            physics->match(rh, hvl);
            ADD_FAILURE() << "a rhodium beam was matched without Rh-STP.dat";
        } catch (const FactorFailure& e) {
            EXPECT_EQ(std::string(e.what()), "The file Rh-STP.dat is missing or cannot be read");
        }
    }
    Beam mo;
    mo.kvp = 28, mo.filterMm = 0.03;
    EXPECT_TRUE(physics->match(mo, std::nullopt).has_value());
}

// The audit's docs send a reader to kv-sweep to look at a run: each node's row is the row kv-sweep
// reads from the GRID.csv line that states the node, so both name (and share) one cached factor.
TEST(EngineAudit, ANodesRowIsKvSweepsRowOfTheSameLine) {
    const formats::EquipmentRecord equipment = formats::readEquipment(test_support::shippedDataDir());
    const std::string head =
        "thickness_cm,glandular_percent,target,kv,mo_mm,rh_mm,ag_mm,al_mm,histories,model";
    const std::string scanHead = ",method,angular_range,projections";
    auto node = [](Target t, FilterMaterial f, double mm, double kv, std::string al, double thickness,
                   double gland, std::optional<ScanShape> scan = std::nullopt) {
        FactorNode n;
        n.beam.target = t, n.beam.filter = f, n.beam.filterMm = mm, n.beam.kvp = kv, n.beam.aluminum = al;
        n.thicknessMm = thickness, n.glandularPercent = gland, n.scan = scan;
        return n;
    };
    struct Case {
        const char* what;
        FactorNode node;
        std::string line; // the cells kv-sweep is given, the seed left out
    };
    const Case cases[] = {
        {"Mo/Mo", node(Target::Molybdenum, FilterMaterial::Molybdenum, 0.03, 28, "0", 45, 50),
         "4.5,50,Mo,28,0.03,0,0,0.000,200000,protocol"},
        {"W/Rh with aluminium, a glandularity of 17 digits",
         node(Target::Tungsten, FilterMaterial::Rhodium, 0.05, 31, "0.25", 62, 23.456789012345678),
         "6.2,23.4567890123457,W,31,0,0.05,0,0.250,200000,protocol"},
        {"W/Al: the filter adds to the aluminium",
         node(Target::Tungsten, FilterMaterial::Aluminum, 0.7, 33, "0.1", 75, 12.5),
         "7.5,12.5,W,33,0,0,0,0.800,200000,protocol"},
        {"W/Ag", node(Target::Tungsten, FilterMaterial::Silver, 0.05, 30.5, "0", 20, 80),
         "2,80,W,30.5,0,0,0.05,0.000,200000,protocol"},
        {"Rh/Rh", node(Target::Rhodium, FilterMaterial::Rhodium, 0.025, 29, "0", 110, 3),
         "11,3,Rh,29,0,0.025,0,0.000,200000,protocol"},
        {"a scan of 16 projections",
         node(Target::Molybdenum, FilterMaterial::Molybdenum, 0.03, 28, "0", 40, 50, ScanShape{7.5, 16}),
         "4,50,Mo,28,0.03,0,0,0.000,200000,protocol,tomosynthesis,7.50,16"},
        {"a sweep, its angle to the hundredth",
         node(Target::Tungsten, FilterMaterial::Aluminum, 0.7, 29, "0", 50, 40, ScanShape{25.004, 0}),
         "5,40,W,29,0,0,0,0.700,200000,protocol,tomosynthesis,25.00,"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const factors::Row ours = nodeRow(c.node, equipment, 200000);
        const std::string seed = std::to_string(nameHash(c.node.key()) >> 1);
        const std::string grid =
            head + (c.node.scan ? scanHead : "") + ",seed\n" + c.line + "," + seed + "\n";
        const sweep::Grid g = sweep::parseGrid(grid, equipment, texts::englishSweepTexts);
        ASSERT_EQ(g.rows.size(), 1u) << (g.refused.empty() ? "" : g.refused[0].problem);
        const factors::Row& sweeps = g.rows[0];
        EXPECT_EQ(factors::rowKey(ours), factors::rowKey(sweeps));
        EXPECT_EQ(ours.spectrum, sweeps.spectrum);
        // The key shows 15 digits; the run takes the numbers themselves.
        EXPECT_EQ(ours.thickness, sweeps.thickness);
        EXPECT_EQ(ours.glandular, sweeps.glandular);
        EXPECT_EQ(ours.angularRange, sweeps.angularRange);
        EXPECT_EQ(ours.histories, sweeps.histories);
    }

    // A node kv-sweep would refuse is refused in its words.
    const struct {
        FactorNode node;
        std::string why;
    } refused[] = {
        {node(Target::Molybdenum, FilterMaterial::Molybdenum, 0.03, 55, "0", 45, 50),
         "kv 55 lies outside 15 to 50"},
        {node(Target::Molybdenum, FilterMaterial::Molybdenum, 0.03, 28, "0", 115, 50),
         "thickness_cm 11.5 lies outside 2 to 11"},
        {node(Target::Molybdenum, FilterMaterial::Molybdenum, 150, 28, "0", 45, 50),
         "mo_mm 150 lies outside 0 to 100"},
        {node(Target::Molybdenum, FilterMaterial::Molybdenum, 0.03, 28, "0", 45, 50, ScanShape{7.5, 41}),
         "projections 41 is neither 0 (a continuous sweep) nor a whole number from 2 to 40"},
    };
    for (const auto& r : refused) {
        try {
            nodeRow(r.node, equipment, 200000);
            ADD_FAILURE() << "taken: " << r.why;
        } catch (const FactorFailure& e) {
            EXPECT_EQ(e.what(), r.why);
        }
    }
}

} // namespace
} // namespace kv::audit
