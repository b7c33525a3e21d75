// The whole audit on folders of made headers, with a stand-in for the engine
// whose factor is a known smooth function: the reading, skipping, counting
// once, air kerma, HVL, glandularity, interpolation and the files written.
#include "dicom_maker.h"
#include "kv/audit/audit.h"
#include "kv/audit/stages.h"
#include "kv/audit/uncertainty.h"
#include "kv/common/format.h"
#include "kv/test_support/work_dir.h"
#include "report.h"
#include "report_maker.h"
#include "stand_in.h"

#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>
#include <sys/stat.h>

namespace kv::audit {
namespace {

using test::MadeExposure;
using test_support::TempDir;
namespace fs = std::filesystem;

using test::exactFactor;
using test::StandIn;

struct Csv {
    std::vector<std::string> head;
    std::vector<std::map<std::string, std::string>> rows;
};

Csv readCsv(const fs::path& f) {
    Csv c;
    std::istringstream in(test_support::readFile(f));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> cells;
        std::string cell;
        bool quoted = false;
        for (char ch : line) {
            if (ch == '"')
                quoted = !quoted;
            else if (ch == ',' && !quoted)
                cells.push_back(cell), cell.clear();
            else
                cell += ch;
        }
        cells.push_back(cell);
        if (c.head.empty()) {
            c.head = cells;
            continue;
        }
        std::map<std::string, std::string> row;
        for (size_t i = 0; i < c.head.size() && i < cells.size(); ++i)
            row[c.head[i]] = cells[i];
        c.rows.push_back(row);
    }
    return c;
}

struct Outcome {
    int status = 0;
    std::string out, err;
};

Outcome audit(std::vector<std::string> args, std::map<std::string, int>& calls) {
    std::ostringstream out, err;
    Outcome r;
    r.status = runAudit(
        args, out, err, [&](const PhysicsSettings&) { return std::make_unique<StandIn>(&calls); },
        [] { return false; });
    r.out = out.str(), r.err = err.str();
    return r;
}

// A folder as a screening service exports it: two units, both presentation
// intents of most images, and what else lies about.
void makeFolder(const TempDir& dir) {
    fs::create_directories(dir.file("in/unit1"));
    fs::create_directories(dir.file("in/unit2/sub"));
    int i = 0;
    for (const char* thickness : {"32", "47", "58", "71"})
        for (const char* view : {"CC", "MLO"}) {
            MadeExposure e;
            e.index = ++i;
            e.thickness = thickness, e.view = view;
            e.event = test::kSecrets[7] + ".9." + std::to_string(i);
            e.entrance = "4.0", e.organDose = "0.0100";
            test::writeDicom(dir.file("in/unit1/p" + std::to_string(i) + "_pres.dcm"), e);
            e.intent = "FOR PROCESSING";
            test::writeDicom(dir.file("in/unit1/p" + std::to_string(i) + "_proc.dcm"), e);
        }
    for (const char* age : {"045Y", "058Y"}) {
        MadeExposure e;
        e.index = ++i;
        e.manufacturer = "Other, Inc.", e.model = "W2", e.serial = "77";
        e.anode = "TUNGSTEN", e.filter = "RHODIUM", e.filterMin = e.filterMax = "0.05";
        e.kvp = "29", e.thickness = "55", e.age = age, e.hvl = "0.52", e.entrance = "3.0",
        e.organDose = "0.0090";
        e.time = std::string("12000") + std::to_string(i % 10);
        test::writeDicom(dir.file(std::string("in/unit2/w") + age + ".dcm"), e);
    }
    MadeExposure ct;
    ct.modality = "CT", ct.index = ++i;
    test::writeDicom(dir.file("in/unit2/ct.dcm"), ct);
    MadeExposure synth;
    synth.imageType = "DERIVED\\PRIMARY\\TOMOSYNTHESIS\\GENERATED_2D", synth.index = ++i;
    test::writeDicom(dir.file("in/unit2/sub/synth.dcm"), synth);
    MadeExposure copper;
    copper.anode = "COPPER", copper.index = ++i;
    test::writeDicom(dir.file("in/unit2/sub/cu.dcm"), copper);
    MadeExposure nokv;
    nokv.kvp = "", nokv.index = ++i;
    test::writeDicom(dir.file("in/unit2/sub/nokv.dcm"), nokv);
    MadeExposure noKerma;
    noKerma.entrance = "", noKerma.index = ++i, noKerma.time = "090000";
    test::writeDicom(dir.file("in/unit2/sub/nokerma.dcm"), noKerma);
    MadeExposure thin;
    thin.thickness = "12", thin.index = ++i, thin.time = "090100";
    test::writeDicom(dir.file("in/unit2/sub/thin.dcm"), thin);
    test_support::writeFile(dir.file("in/unit2/readme.txt"), "exported 2024\n");
    test_support::writeFile(dir.file("in/unit2/cut.dcm"),
                            test_support::readFile(dir.file("in/unit1/p1_pres.dcm")).substr(0, 300));
    mkfifo(dir.file("in/unit2/pipe").c_str(), 0600);
}

TEST(Audit, FolderOfManyKindsGivesEachExposureOnceAndEveryOtherFileItsReason) {
    TempDir dir("kv-audit");
    makeFolder(dir);
    std::map<std::string, int> calls;
    Outcome r = audit({dir.file("in").string(), "--out", dir.file("out").string()}, calls);
    ASSERT_EQ(r.status, 0) << r.err;

    const Csv a = readCsv(dir.file("out/audit.csv"));
    ASSERT_EQ(a.rows.size(), 10u); // 8 of unit 1 (one copy each), 2 of unit 2
    for (const auto& row : a.rows) {
        SCOPED_TRACE(row.at("index"));
        const double t = std::stod(row.at("thickness_mm")), g = std::stod(row.at("glandularity_percent"));
        const double f = std::stod(row.at("factor"));
        // Interpolated between nodes 5 mm apart: within 0.1 % of the exact function at (t, G(t)).
        EXPECT_NEAR(f / exactFactor(t, g), 1, 1e-3);
        EXPECT_NEAR(std::stod(row.at("agd_mgy")), std::stod(row.at("k_surface_mgy")) * f, 1e-3);
        EXPECT_NEAR(std::stod(row.at("ratio")),
                    std::stod(row.at("agd_mgy")) / std::stod(row.at("unit_agd_mgy")), 2e-4);
        EXPECT_EQ(row.at("k_source"), "header");
        EXPECT_FALSE(row.at("factor_id").empty());
    }
    // The tungsten exposures: their own HVL, the age group of each woman.
    std::map<std::string, std::map<std::string, std::string>> byAge;
    for (const auto& row : a.rows)
        if (row.at("anode") == "W") byAge[row.at("age_years")] = row;
    ASSERT_EQ(byAge.size(), 2u);
    EXPECT_EQ(byAge["45"]["age_group"], "40-49");
    EXPECT_EQ(byAge["45"]["glandularity_percent"], "29.5");
    EXPECT_EQ(byAge["58"]["glandularity_percent"], "16.5");
    EXPECT_EQ(byAge["58"]["hvl_source"], "header");
    EXPECT_EQ(byAge["58"]["hvl_mm_al"], "0.520");
    EXPECT_EQ(byAge["58"]["device"], "Other, Inc. W2 SN 77");
    EXPECT_EQ(byAge["58"]["unit_agd_mgy"], "0.9000");

    // Every node once, however many exposures share it.
    for (const auto& [key, n] : calls)
        EXPECT_EQ(n, 1) << key;

    const Csv s = readCsv(dir.file("out/skipped.csv"));
    std::map<std::string, int> reasons;
    for (const auto& row : s.rows)
        ++reasons[row.at("reason")];
    EXPECT_EQ(reasons["duplicate"], 8);
    EXPECT_EQ(reasons["not_mammography"], 1);
    EXPECT_EQ(reasons["synthesized_2d"], 1);
    EXPECT_EQ(reasons["unsupported_anode"], 1);
    EXPECT_EQ(reasons["missing_value"], 1);
    EXPECT_EQ(reasons["no_air_kerma"], 1);
    EXPECT_EQ(reasons["no_factor"], 1);
    EXPECT_EQ(reasons["not_dicom"], 1);
    EXPECT_EQ(reasons["unreadable"], 1);
    EXPECT_EQ(reasons["not_a_file"], 1);
    EXPECT_EQ(s.head, (std::vector<std::string>{"index", "reason", "detail"}));
    // Indexes are the files' places in path order, each file once over both lists.
    std::set<int> indexes;
    for (const auto& row : a.rows)
        indexes.insert(std::stoi(row.at("index")));
    for (const auto& row : s.rows)
        indexes.insert(std::stoi(row.at("index")));
    EXPECT_EQ(indexes.size(), a.rows.size() + s.rows.size());
    EXPECT_EQ(*indexes.rbegin(), static_cast<int>(indexes.size()));

    const Csv sum = readCsv(dir.file("out/summary.csv"));
    ASSERT_EQ(sum.rows.size(), 3u); // unit 1 CC and MLO, unit 2 CC
    for (const auto& row : sum.rows)
        if (row.at("device") == "ACME MammoOne SN SN1001") {
            EXPECT_EQ(row.at("count"), "4");
            EXPECT_EQ(row.at("count_50_60mm"), "1");
        }
    for (const char* f : {"agd_vs_thickness.png", "ratio_hist.png", "report.pdf"})
        EXPECT_GT(fs::file_size(dir.file("out") / f), 1000u) << f;
}

TEST(Audit, NoIdentifierReachesAnyOutputOrTheCache) {
    TempDir dir("kv-audit");
    makeFolder(dir);
    std::map<std::string, int> calls;
    Outcome r = audit({dir.file("in").string(), "--out", dir.file("out").string()}, calls);
    ASSERT_EQ(r.status, 0) << r.err;
    int files = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir.file("out"))) {
        if (!e.is_regular_file()) continue;
        ++files;
        const std::string bytes = test_support::readFile(e.path());
        for (const std::string& secret : test::kSecrets)
            EXPECT_EQ(bytes.find(secret), std::string::npos) << e.path() << " holds " << secret;
        // Nor the folder names, which may hold a patient's name.
        EXPECT_EQ(bytes.find("unit2/sub"), std::string::npos) << e.path();
    }
    EXPECT_GE(files, 6);
    for (const std::string& secret : test::kSecrets)
        EXPECT_EQ((r.out + r.err).find(secret), std::string::npos);
}

TEST(Audit, AnAuditWrittenInsideTheFolderItReadsDoesNotReadItself) {
    TempDir dir("kv-audit");
    makeFolder(dir);
    std::map<std::string, int> calls;
    const std::vector<std::string> args = {dir.file("in").string(), "--out", dir.file("in/audit").string()};
    ASSERT_EQ(audit(args, calls).status, 0);
    const std::string first = test_support::readFile(dir.file("in/audit/skipped.csv"));
    Outcome again = audit(args, calls);
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(test_support::readFile(dir.file("in/audit/skipped.csv")), first);
}

TEST(Audit, PathsOnlyWhenAskedFor) {
    TempDir dir("kv-audit");
    makeFolder(dir);
    std::map<std::string, int> calls;
    Outcome r = audit({"--paths", dir.file("in").string(), "--out=" + dir.file("out").string()}, calls);
    ASSERT_EQ(r.status, 0) << r.err;
    const Csv s = readCsv(dir.file("out/skipped.csv"));
    ASSERT_FALSE(s.rows.empty());
    EXPECT_NE(s.rows[0].at("path").find(dir.file("in").string()), std::string::npos);
    EXPECT_EQ(readCsv(dir.file("out/audit.csv")).head.back(), "path");
}

TEST(Audit, MeasuredOutputAndHvlWinOverTheHeader) {
    TempDir dir("kv-audit");
    MadeExposure e; // Mo/Mo 28 kV, 63 mAs, 45 mm, SID 650
    test::writeDicom(dir.file("a.dcm"), e);
    test_support::writeFile(dir.file("output.csv"),
                            "target,filter,kv,mgy_per_mas,distance_mm,support_gap_mm\r\n"
                            "Mo,Mo,26,0.080,500,20\r\nMo,Mo,30,0.120,500,20\r\nW,Rh,28,0.5,500,20\r\n");
    test_support::writeFile(dir.file("hvl.csv"),
                            "kv,target,filter,hvl_mm_al\nMo,Mo,28,0.345\n" /* bad order */);
    std::map<std::string, int> calls;
    Outcome bad = audit({dir.file("a.dcm").string(), "--out", dir.file("out").string(), "--hvl",
                         dir.file("hvl.csv").string()},
                        calls);
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("line 2"), std::string::npos) << bad.err;
    EXPECT_NE(bad.err.find("filter \"28\""), std::string::npos) << bad.err;
    EXPECT_FALSE(fs::exists(dir.file("out/audit.csv")));

    test_support::writeFile(dir.file("hvl.csv"), "target,filter,kv,hvl_mm_al\nMo,Mo,28,0.345\n");
    Outcome r = audit({dir.file("a.dcm").string(), "--out", dir.file("out").string(), "--output",
                       dir.file("output.csv").string(), "--hvl", dir.file("hvl.csv").string()},
                      calls);
    ASSERT_EQ(r.status, 0) << r.err;
    const Csv a = readCsv(dir.file("out/audit.csv"));
    ASSERT_EQ(a.rows.size(), 1u);
    // 0.100 mGy/mAs at 28 kV (between 26 and 30), 63 mAs, from 500 mm to 650 - 20 - 45 mm.
    const double k = 0.1 * 63 * std::pow(500.0 / 585.0, 2);
    EXPECT_NEAR(std::stod(a.rows[0].at("k_surface_mgy")), k, 1e-4);
    EXPECT_EQ(a.rows[0].at("k_source"), "output");
    EXPECT_EQ(a.rows[0].at("hvl_source"), "measured");
    EXPECT_EQ(a.rows[0].at("hvl_mm_al"), "0.345");
    EXPECT_EQ(a.rows[0].at("added_al_mm"), "0.035");
}

TEST(Audit, AHeaderHvlTheSpectrumCannotReachGivesWayToTheModelsSaidSo) {
    TempDir dir("kv-audit");
    MadeExposure e;
    e.hvl = "3.5";
    test::writeDicom(dir.file("a.dcm"), e);
    std::map<std::string, int> calls;
    Outcome r = audit({dir.file("a.dcm").string(), "--out", dir.file("out").string()}, calls);
    ASSERT_EQ(r.status, 0) << r.err;
    const Csv a = readCsv(dir.file("out/audit.csv"));
    ASSERT_EQ(a.rows.size(), 1u);
    EXPECT_EQ(a.rows[0].at("hvl_source"), "model");
    EXPECT_EQ(a.rows[0].at("hvl_mm_al"), "0.330");
    EXPECT_NE(a.rows[0].at("note").find("3.5"), std::string::npos);
}

TEST(Audit, EveryAgdCarriesItsUncertaintyFromTheSourcesOfItsInputs) {
    TempDir dir("kv-audit");
    makeFolder(dir);
    test_support::writeFile(dir.file("u.csv"),
                            "input,sigma_percent\nk_header,3\nhvl_model,0\nglandularity,0\n"
                            "hvl_header,2\n");
    std::map<std::string, int> calls;
    for (bool stated : {false, true}) {
        SCOPED_TRACE(stated ? "stated" : "defaults");
        std::vector<std::string> args = {dir.file("in").string(), "--out", dir.file("out").string()};
        if (stated) args.insert(args.end(), {"--uncertainties", dir.file("u.csv").string()});
        Outcome r = audit(args, calls);
        ASSERT_EQ(r.status, 0) << r.err;
        const InputUncertainties d;
        const Csv a = readCsv(dir.file("out/audit.csv"));
        ASSERT_EQ(a.rows.size(), 10u);
        for (const auto& row : a.rows) {
            SCOPED_TRACE(row.at("index"));
            const double t = std::stod(row.at("thickness_mm"));
            const bool headerHvl = row.at("hvl_source") == "header";
            const double k = stated ? 3 : d.kHeader;
            const double hvl = stated ? (headerHvl ? 2 : 0) : (headerHvl ? d.hvlHeader : d.hvlModel);
            const double gland = stated ? 0 : d.glandularity;
            const double interp = std::fmod(t, 5) == 0 ? 0 : interpolationPercent(t, false);
            const double sigma = std::sqrt(0.2 * 0.2 + interp * interp + k * k + hvl * hvl + gland * gland);
            EXPECT_NEAR(std::stod(row.at("agd_sigma_percent")), sigma, 0.006);
            const double agd = std::stod(row.at("agd_mgy"));
            EXPECT_NEAR(std::stod(row.at("agd_low_mgy")), agd * (1 - 1.96 * sigma / 100), 2e-4);
            EXPECT_NEAR(std::stod(row.at("agd_high_mgy")), agd * (1 + 1.96 * sigma / 100), 2e-4);
        }
        // Four images a unit and view: too few for a 95 % interval of their median.
        for (const auto& row : readCsv(dir.file("out/summary.csv")).rows) {
            EXPECT_EQ(row.at("median_agd_low_mgy"), "");
            EXPECT_EQ(row.at("median_agd_high_mgy"), "");
        }
    }
    test_support::writeFile(dir.file("bad.csv"), "input,sigma_percent\nk_output,lots\n");
    Outcome bad = audit({dir.file("in").string(), "--out", dir.file("out2").string(), "--uncertainties",
                         dir.file("bad.csv").string()},
                        calls);
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("line 2: \"lots\""), std::string::npos) << bad.err;
    EXPECT_FALSE(fs::exists(dir.file("out2/audit.csv")));
}

TEST(Audit, AnExposureKeepsItsIdWhenFilesAreAddedButNotItsIndex) {
    TempDir dir("kv-audit");
    makeFolder(dir);
    std::map<std::string, int> calls;
    const std::vector<std::string> args = {dir.file("in").string(), "--out", dir.file("out").string(),
                                           "--cache", dir.file("cache").string()};
    ASSERT_EQ(audit(args, calls).status, 0);
    std::map<std::string, std::string> before; // id -> index
    for (const auto& row : readCsv(dir.file("out/audit.csv")).rows)
        before[row.at("id")] = row.at("index");
    ASSERT_EQ(before.size(), 10u); // each exposure its own
    MadeExposure added;
    added.index = 99;
    test::writeDicom(dir.file("in/a_first.dcm"), added); // sorts before every other path
    ASSERT_EQ(audit(args, calls).status, 0);
    std::map<std::string, std::string> after;
    for (const auto& row : readCsv(dir.file("out/audit.csv")).rows)
        after[row.at("id")] = row.at("index");
    ASSERT_EQ(after.size(), 11u);
    for (const auto& [id, index] : before) {
        ASSERT_TRUE(after.count(id)) << id;
        EXPECT_EQ(std::stoi(after[id]), std::stoi(index) + 1) << id;
    }
    // Another cache, another key: the names cannot be matched without it.
    ASSERT_EQ(audit({dir.file("in").string(), "--out", dir.file("out2").string()}, calls).status, 0);
    for (const auto& row : readCsv(dir.file("out2/audit.csv")).rows)
        EXPECT_FALSE(after.count(row.at("id"))) << row.at("id");
}

// Two units over a quarter's turn, two exposures a day: unit A's dose rises
// by 15 % halfway through, unit B's stays; thicknesses vary over 30-70 mm.
void makeTwoUnitsOverTime(const TempDir& dir) {
    fs::create_directories(dir.file("in"));
    int index = 0;
    for (const char* unit : {"A", "B"})
        for (int day = 0; day < 40; ++day)
            for (int k = 0; k < 2; ++k) {
                MadeExposure e;
                e.index = ++index, e.serial = unit, e.intent = "";
                const int t = 30 + (day * 7 + k * 13) % 41;
                e.thickness = std::to_string(t);
                // March 12 on: 20 days in the first quarter, 20 in the second.
                const int dom = day < 20 ? 12 + day : day - 19;
                e.date =
                    std::string(day < 20 ? "202603" : "202604") + (dom < 10 ? "0" : "") + std::to_string(dom);
                e.time = k ? "140000" : "093000";
                const double wobble = 1 + 0.04 * ((index * 37) % 5 - 2) / 2.0; // -4 % to +4 %
                double step = std::string(unit) == "A" && day >= 20 ? 1.15 : 1;
                if (std::string(unit) == "B" && day == 3 && k == 0) step = 2; // one outlier
                e.entrance = format(0.3 * std::exp(0.04 * t) * wobble * step, "0.0000");
                test::writeDicom(dir.file("in/" + std::string(unit) + std::to_string(index) + ".dcm"), e);
            }
}

TEST(Audit, ADoseStepOfOneUnitIsStatedAndEachQuarterAndLevelSummed) {
    TempDir dir("kv-audit");
    makeTwoUnitsOverTime(dir);
    test_support::writeFile(dir.file("levels.csv"),
                            "level,modality,thickness_min_mm,thickness_max_mm,mgy,source\n"
                            "Ours 50-60,2d,50,60,1.0,made up for the test\nTomo,dbt,0,200,2,none\n");
    std::map<std::string, int> calls;
    Outcome r = audit({dir.file("in").string(), "--out", dir.file("out").string(), "--reference-levels",
                       dir.file("levels.csv").string()},
                      calls);
    ASSERT_EQ(r.status, 0) << r.err;
    const Csv a = readCsv(dir.file("out/audit.csv"));
    ASSERT_EQ(a.rows.size(), 160u);

    std::map<std::string, std::map<std::string, std::string>> steps;
    for (const auto& row : readCsv(dir.file("out/dose_steps.csv")).rows)
        steps[row.at("device")] = row;
    ASSERT_EQ(steps.size(), 2u);
    const auto& stepA = steps["ACME MammoOne SN A"];
    EXPECT_EQ(stepA.at("step"), "found");
    EXPECT_EQ(stepA.at("step_date"), "2026-04-01");
    EXPECT_NEAR(std::stod(stepA.at("step_percent")), 15, 2);
    EXPECT_EQ(stepA.at("first_date"), "2026-03-12");
    EXPECT_EQ(stepA.at("last_date"), "2026-04-20");
    EXPECT_EQ(steps["ACME MammoOne SN B"].at("step"), "none");

    // Each unit in two quarters; the medians as the rows of audit.csv give them.
    std::map<std::string, std::vector<double>> agd;
    for (const auto& row : a.rows)
        agd[row.at("device") + " " + row.at("acquisition_date").substr(0, 6)].push_back(
            std::stod(row.at("agd_mgy")));
    const Csv q = readCsv(dir.file("out/summary_quarters.csv"));
    ASSERT_EQ(q.rows.size(), 4u);
    for (const auto& row : q.rows) {
        SCOPED_TRACE(row.at("device") + " " + row.at("quarter"));
        std::vector<double> v =
            agd[row.at("device") + (row.at("quarter") == "2026-Q1" ? " 202603" : " 202604")];
        ASSERT_EQ(v.size(), 40u);
        EXPECT_EQ(row.at("count"), "40");
        std::sort(v.begin(), v.end());
        EXPECT_NEAR(std::stod(row.at("median_agd_mgy")), (v[19] + v[20]) / 2, 1e-4);
        // 40 values: the 14th and 27th (Conover's ranks for n = 40).
        EXPECT_NEAR(std::stod(row.at("median_agd_low_mgy")), v[13], 1e-4);
        EXPECT_NEAR(std::stod(row.at("median_agd_high_mgy")), v[26], 1e-4);
    }

    // The level of 2D beside each unit; the tomosynthesis level has no unit to stand beside.
    const Csv l = readCsv(dir.file("out/reference_levels.csv"));
    ASSERT_EQ(l.rows.size(), 2u);
    for (const auto& row : l.rows) {
        std::vector<double> band;
        for (const auto& e : a.rows)
            if (e.at("device") == row.at("device") && std::stod(e.at("thickness_mm")) >= 50 &&
                std::stod(e.at("thickness_mm")) < 60)
                band.push_back(std::stod(e.at("agd_mgy")));
        ASSERT_FALSE(band.empty());
        std::sort(band.begin(), band.end());
        const size_t n = band.size();
        const double m = n % 2 ? band[n / 2] : (band[n / 2 - 1] + band[n / 2]) / 2;
        EXPECT_EQ(row.at("count"), std::to_string(n));
        EXPECT_NEAR(std::stod(row.at("median_agd_mgy")), m, 1e-4);
        EXPECT_NEAR(std::stod(row.at("median_over_level")), m / 1.0, 1e-3);
        EXPECT_EQ(row.at("above"), m > 1.0 ? "yes" : "no");
        EXPECT_EQ(row.at("source"), "made up for the test");
    }
    EXPECT_GT(fs::file_size(dir.file("out/median_agd_vs_date.png")), 1000u);
    // The one exposure given twice its dose is the outlier, found again by its id.
    const Csv o = readCsv(dir.file("out/outliers.csv"));
    ASSERT_EQ(o.rows.size(), 1u);
    EXPECT_EQ(o.rows[0].at("device"), "ACME MammoOne SN B");
    for (const auto& row : a.rows)
        if (row.at("index") == o.rows[0].at("index")) {
            EXPECT_EQ(row.at("id"), o.rows[0].at("id"));
        }
    EXPECT_EQ(o.rows[0].at("thickness_mm"), "51");
    // Without --reference-levels, no comparison is written.
    ASSERT_EQ(audit({dir.file("in").string(), "--out", dir.file("out2").string()}, calls).status, 0);
    EXPECT_FALSE(fs::exists(dir.file("out2/reference_levels.csv")));
}

TEST(Audit, AUnitsPageSaysItsSourcesFewSamplesAndOutliers) {
    std::vector<AuditRow> rows;
    auto add = [&](const std::string& serial, double mm, double agd, KSource k, HvlSource h, int index) {
        AuditRow& r = rows.emplace_back();
        r.p.c.x.device = "Unit " + serial, r.p.c.x.thicknessMm = mm, r.p.c.x.acquisitionDate = "20260105";
        r.p.c.index = index, r.id = "id" + std::to_string(index);
        r.p.kSource = k, r.p.hvlSource = h, r.agd = agd;
    };
    int i = 0;
    for (int n = 0; n < 24; ++n) // 12 in 40-50 mm, 12 in 50-60 mm, 3 % scatter
        add("1", 40 + n * 20.0 / 24, std::exp(-1 + 0.03 * (40 + n * 20.0 / 24)) * (1 + 0.01 * (n % 7 - 3)),
            KSource::Header, n < 4 ? HvlSource::Model : HvlSource::Header, ++i);
    rows[5].agd = *rows[5].agd * 1.6;
    for (int n = 0; n < 3; ++n) // a unit with 3 images, all in 50-60 mm
        add("2", 52 + n, 1.5, KSource::Output, HvlSource::Measured, ++i);
    const std::vector<UnitPage> pages = unitPages(rows, texts::englishAuditTexts);
    ASSERT_EQ(pages.size(), 2u);
    const UnitPage& one = pages[0];
    EXPECT_EQ(one.title, "Unit 1, 2d");
    EXPECT_EQ(one.lines[0], "24 exposures with an AGD, from 2026-01-05 to 2026-01-05.");
    EXPECT_EQ(one.lines[1], "K from: header 24. HVL from: header 20, model 4.");
    ASSERT_EQ(one.warnings.size(), 1u) << one.warnings[0]; // 12 a band: no band too small
    EXPECT_NE(one.warnings[0].find("4 HVLs came from the spectrum model"), std::string::npos);
    ASSERT_EQ(one.outliers.rows.size(), 1u);
    EXPECT_EQ(one.outliers.rows[0][0], "6");
    EXPECT_EQ(one.outliers.rows[0][1], "id6");
    const UnitPage& two = pages[1];
    EXPECT_EQ(two.lines[1], "K from: output 3. HVL from: measured 3.");
    ASSERT_EQ(two.warnings.size(), 1u);
    EXPECT_EQ(two.warnings[0], "Only 3 exposures in 50-60 mm: a median there says little.");
    EXPECT_TRUE(two.outliers.rows.empty());
}

TEST(Audit, DoseReportsAloneAreAnAudit) {
    TempDir dir("kv-audit");
    fs::create_directories(dir.file("in"));
    const std::string uid = test::kSecrets[7];
    test::MadeReport first; // two 2D events: one with its HVL, one without
    first.events[0].uid = uid + ".9.1";
    test::MadeEvent noHvl = first.events[0];
    noHvl.uid = uid + ".9.2", noHvl.thickness = "58", noHvl.view = "medio-lateral oblique",
    noHvl.drop = {"111634"};
    first.events.push_back(noHvl);
    test::writeReport(dir.file("in/r1.dcm"), first);
    test::MadeReport second; // another unit's scan
    second.serial = "T9", second.instance = uid + ".6.2";
    second.events[0].uid = uid + ".9.3", second.events[0].startAngle = "-7.5",
    second.events[0].endAngle = "7.5", second.events[0].pulses = "15";
    test::writeReport(dir.file("in/r2.dcm"), second);
    test::writeReport(dir.file("in/copy_of_r1.dcm"), first); // a copy: one row, not one per event

    std::map<std::string, int> calls;
    Outcome r = audit({dir.file("in").string(), "--out", dir.file("out").string()}, calls);
    ASSERT_EQ(r.status, 0) << r.err;
    const Csv a = readCsv(dir.file("out/audit.csv"));
    ASSERT_EQ(a.rows.size(), 3u);
    std::map<std::string, std::map<std::string, std::string>> byThickness;
    for (const auto& row : a.rows) {
        EXPECT_EQ(row.at("objects"), "rdsr_event");
        byThickness[row.at("modality") + " " + row.at("thickness_mm")] = row;
    }
    const auto& withHvl = byThickness["2d 45"];
    EXPECT_EQ(withHvl.at("event"), "1");
    EXPECT_EQ(withHvl.at("hvl_source"), "header");
    EXPECT_EQ(withHvl.at("hvl_mm_al"), "0.360");
    EXPECT_EQ(withHvl.at("k_surface_mgy"), "5.2000");
    EXPECT_EQ(withHvl.at("unit_agd_mgy"), "1.2500");
    EXPECT_NEAR(std::stod(withHvl.at("agd_mgy")), 5.2 * std::stod(withHvl.at("factor")), 1e-3);
    EXPECT_EQ(byThickness["2d 58"].at("hvl_source"), "model");
    EXPECT_EQ(byThickness["2d 58"].at("view"), "MLO");
    EXPECT_EQ(byThickness["dbt 45"].at("scan"), "15 projections, -7.5 to 7.5 deg");
    const Csv s = readCsv(dir.file("out/skipped.csv"));
    ASSERT_EQ(s.rows.size(), 1u); // the copy: one row, not one per event
    EXPECT_EQ(s.rows[0].at("detail").substr(0, 14), "same_instance:") << s.rows[0].at("detail");
    std::set<std::string> units;
    for (const auto& row : readCsv(dir.file("out/summary.csv")).rows)
        units.insert(row.at("device") + " " + row.at("modality"));
    EXPECT_EQ(units, (std::set<std::string>{"ACME MammoOne SN SN1001 2d", "ACME MammoOne SN T9 dbt"}));
    // The scan event's K is the whole scan's (--dbt-kerma scan): its AGD is K times its factor.
    const auto& scan = byThickness["dbt 45"];
    EXPECT_NEAR(std::stod(scan.at("agd_mgy")),
                std::stod(scan.at("k_surface_mgy")) * std::stod(scan.at("factor")), 1e-3);
    EXPECT_NEAR(std::stod(scan.at("factor")) /
                    (exactFactor(45, std::stod(scan.at("glandularity_percent"))) * test::scanT(7.5, 15)),
                1, 1e-3);
}

TEST(Audit, RefusedCommandLines) {
    TempDir dir("kv-audit");
    std::map<std::string, int> calls;
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    const Case cases[] = {
        {{dir.path().string()}, "--out"},
        {{"--out", dir.file("o").string()}, "file or folder"},
        {{dir.path().string(), "--out", dir.file("o").string(), "--threads", "two"}, "\"two\""},
        {{dir.path().string(), "--out", dir.file("o").string(), "--histories", "1e5x"}, "\"1e5x\""},
        {{dir.path().string(), "--out", dir.file("o").string(), "--nope"}, "--nope"},
        {{dir.path().string(), "--out", dir.file("o").string(), "--output", dir.file("none.csv").string()},
         "none.csv"},
        {{dir.path().string(), "--out", dir.file("o").string(), "--edition", "fr"}, "\"fr\""},
    };
    for (const Case& c : cases) {
        Outcome r = audit(c.args, calls);
        EXPECT_EQ(r.status, 2) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    test_support::writeFile(dir.file("plain"), "x");
    Outcome r = audit({dir.path().string(), "--out", dir.file("plain").string()}, calls);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(test_support::readFile(dir.file("plain")), "x");
}

// No input to audit is a failure said as such, never an audit of nothing that looks done.
TEST(Audit, NothingToReadWritesNoReport) {
    TempDir dir("kv-audit");
    fs::create_directories(dir.file("empty"));
    fs::create_directories(dir.file("notes"));
    test_support::writeFile(dir.file("notes/readme.txt"), "exported 2024\n");
    std::map<std::string, int> calls;
    struct Case {
        const char* name;
        std::string path;
        std::vector<std::string> says;
        std::set<std::string> written;
    };
    const Case cases[] = {
        {"a path that is not there",
         dir.file("wrong/path").string(),
         {"wrong/path: no such file or folder", "hold no file to read; nothing is written"},
         {}},
        {"an empty folder", dir.file("empty").string(), {"hold no file to read"}, {}},
        {"files without an exposure",
         dir.file("notes").string(),
         {"none of the 1 files holds an exposure", "skipped.csv says why"},
         {"skipped.csv"}},
    };
    for (const Case& c : cases) {
        const fs::path out = dir.file(std::string("out-") + c.name);
        Outcome r = audit({c.path, "--out", out.string()}, calls);
        EXPECT_EQ(r.status, 1) << c.name;
        for (const std::string& words : c.says)
            EXPECT_NE(r.err.find(words), std::string::npos) << c.name << ": " << r.err;
        std::set<std::string> written;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(out, ec))
            if (e.is_regular_file()) written.insert(e.path().filename().string());
        EXPECT_EQ(written, c.written) << c.name;
        EXPECT_EQ(fs::exists(out), !c.written.empty()) << c.name;
    }
    EXPECT_TRUE(calls.empty());
}

TEST(Audit, JapaneseEditionWordsTheSkipReasons) {
    TempDir dir("kv-audit");
    fs::create_directories(dir.file("in"));
    test_support::writeFile(dir.file("in/notes.txt"), "x");
    std::map<std::string, int> calls;
    Outcome r = audit({dir.file("in").string(), "--out", dir.file("out").string(), "--edition", "ja"}, calls);
    // Nothing to audit: only the reasons are written.
    ASSERT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("どれにも使える撮影がありません"), std::string::npos) << r.err;
    const Csv s = readCsv(dir.file("out/skipped.csv"));
    ASSERT_EQ(s.rows.size(), 1u);
    EXPECT_EQ(s.rows[0].at("reason"), "not_dicom");
    EXPECT_NE(r.out.find("書きました"), std::string::npos);
}

// A quarter's export as registries meet it: 2D images beside their dose
// report, tomosynthesis scans as one object, two objects and nine projection
// files, a combined study, look-alikes that are two exposures, copies, and
// files whose names are no UTF-8.
void makeMixedFolder(const TempDir& dir) {
    fs::create_directories(dir.file("in/copies"));
    const std::string uid = test::kSecrets[7];
    MadeExposure twoD;
    twoD.index = 1, twoD.event = uid + ".9.1", twoD.hvl = "";
    test::writeDicom(dir.file("in/a_2d.dcm"), twoD);
    test::writeDicom(dir.file("in/copies/a_2d_copy.dcm"), twoD); // the same instance
    test::MadeReport report;
    report.events[0].uid = uid + ".9.1"; // the 2D image's event
    test::MadeEvent scanEvent;
    scanEvent.uid = uid + ".9.2", scanEvent.view = "medio-lateral oblique";
    scanEvent.startAngle = "-12.5", scanEvent.endAngle = "12.5", scanEvent.pulses = "9";
    report.events.push_back(scanEvent);
    test::writeReport(dir.file("in/b_report.dcm"), report);
    MadeExposure volume;
    volume.index = 3, volume.sopClass = test::kVolumeClass, volume.event = uid + ".9.3", volume.view = "MLO";
    volume.laterality = "R", volume.acquisition = {{DCM_PrimaryPositionerScanArc, "15"},
                                                   {DCM_PrimaryPositionerScanStartAngle, "-7.5"},
                                                   {DCM_PrimaryPositionerIncrement, "1"}};
    test::writeDicom(dir.file("in/c_volume.dcm"), volume);
    MadeExposure projections = volume;
    projections.index = 4, projections.sopClass = test::kProjectionsForProcessing, projections.frames = 16;
    projections.acquisition.clear();
    test::writeDicom(dir.file("in/c_projections.dcm"), projections);
    for (int i = 0; i < 9; ++i) {
        MadeExposure p;
        p.index = 10 + i, p.sopClass = UID_SecondaryCaptureImageStorage, p.series = uid + ".3.77";
        p.imageType = "ORIGINAL\\PRIMARY\\TOMOSYNTHESIS\\PROJECTION", p.laterality = "R", p.view = "CC";
        p.extra[DCM_PositionerPrimaryAngle] = std::to_string(-12 + 3 * i);
        p.time = "1030" + std::to_string(10 + i), p.entrance = "0.2";
        test::writeDicom(dir.file("in/d_proj" + std::to_string(i) + ".dcm"), p);
    }
    // Two exposures alike but for their instance and entrance dose, no intent, no event.
    for (const char* entrance : {"4.1", "4.9"}) {
        MadeExposure e;
        e.index = entrance[2] == '1' ? 30 : 31, e.intent = "", e.entrance = entrance, e.laterality = "R";
        test::writeDicom(dir.file(std::string("in/e_alike") + entrance + ".dcm"), e);
    }
    MadeExposure latin = twoD;
    latin.index = 40, latin.event = uid + ".9.40";
    test::writeDicom(dir.file("in/f_caf\xE9.dcm"), latin);
    test::MadeReport hostile;
    hostile.instance = uid + ".6.9", hostile.events[0].uid = uid + ".9.50";
    hostile.events[0].units["113733"] = "";
    test::writeReport(dir.file("in/g_hostile.dcm"), hostile);
}

TEST(Audit, AMixedFolderCountsEachExposureOnceAndEveryFileGetsARow) {
    TempDir dir("kv-audit");
    makeMixedFolder(dir);
    std::map<std::string, int> calls;
    Outcome r = audit({dir.file("in").string(), "--out", dir.file("out").string(), "--paths"}, calls);
    ASSERT_EQ(r.status, 0) << r.err;
    const Csv a = readCsv(dir.file("out/audit.csv"));
    const Csv s = readCsv(dir.file("out/skipped.csv"));
    std::map<std::string, int> modalities;
    std::map<std::string, std::string> objects;
    for (const auto& row : a.rows) {
        ++modalities[row.at("modality")];
        objects[row.at("objects")] = row.at("scan");
    }
    // 2D: the image and its report's event once, the two look-alikes, the Latin-1 name.
    EXPECT_EQ(modalities["2d"], 4);
    // Scans: the report's, the volume with its projections, the nine projection files.
    EXPECT_EQ(modalities["dbt"], 3);
    EXPECT_EQ(objects,
              (std::map<std::string, std::string>{{"rdsr_event+image", ""},
                                                  {"image", ""},
                                                  {"projections+volume", "16 projections, -7.5 to 7.5 deg"},
                                                  {"projection x9", "9 projections, -12 to 12 deg"},
                                                  {"rdsr_event", "9 projections, -12.5 to 12.5 deg"}}));
    // The projection files' doses are each one projection's: the scan's K is their sum.
    for (const auto& row : a.rows)
        if (row.at("objects") == "projection x9") {
            EXPECT_EQ(row.at("k_surface_mgy"), "1.8000");
        }
    // One file gives two exposures, each counted once: the progress says so.
    EXPECT_NE(r.out.find("Read 18 files: 7 exposures from 6 of them, 12 skipped."), std::string::npos)
        << r.out;
    // Each scan its protocol tomosynthesis factor over its own angles, between thickness nodes as in 2D.
    const std::map<std::string, std::pair<double, int>> shapes = {
        {"projections+volume", {7.5, 16}}, {"projection x9", {12, 9}}, {"rdsr_event", {12.5, 9}}};
    for (const auto& row : a.rows) {
        if (row.at("modality") != "dbt") continue;
        SCOPED_TRACE(row.at("objects"));
        const auto [range, projections] = shapes.at(row.at("objects"));
        const double f = std::stod(row.at("factor"));
        EXPECT_NEAR(
            f / (exactFactor(std::stod(row.at("thickness_mm")), std::stod(row.at("glandularity_percent"))) *
                 test::scanT(range, projections)),
            1, 1e-3);
        EXPECT_NEAR(std::stod(row.at("agd_mgy")), std::stod(row.at("k_surface_mgy")) * f, 1e-3);
        EXPECT_EQ(row.at("note").find("continuous sweep"), std::string::npos) << row.at("note");
    }
    // A scan's nodes are its own: never a 2D node, never another scan's.
    int scanNodes = 0;
    for (const auto& [key, n] : calls) {
        EXPECT_EQ(n, 1) << key;
        scanNodes += key.find(" deg") != std::string::npos;
    }
    EXPECT_GE(scanNodes, 3);
    std::map<std::string, int> rules;
    for (const auto& row : s.rows)
        if (row.at("reason") == "duplicate") ++rules[row.at("detail").substr(0, row.at("detail").find(':'))];
    EXPECT_EQ(rules, (std::map<std::string, int>{{"same_event", 2}, {"same_instance", 1}, {"same_scan", 8}}));
    bool hostile = false;
    for (const auto& row : s.rows)
        hostile = hostile || (row.at("reason") == "bad_value" && row.at("detail").find("event 1: ") == 0);
    EXPECT_TRUE(hostile);
    // Every file one row at least, whatever bytes its name holds.
    std::set<int> indexes;
    for (const Csv* c : {&a, &s})
        for (const auto& row : c->rows)
            indexes.insert(std::stoi(row.at("index")));
    int files = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir.file("in")))
        files += e.is_regular_file();
    EXPECT_EQ(static_cast<int>(indexes.size()), files);
    bool latin = false;
    for (const auto& row : a.rows)
        latin = latin || row.at("path").find("f_caf\\xE9.dcm") != std::string::npos;
    EXPECT_TRUE(latin);
}

} // namespace
} // namespace kv::audit
