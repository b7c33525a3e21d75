// Each stage of the audit on its own: the command line, the plan of an
// exposure (its air kerma, HVL, beam and nodes), the factors of a share,
// their interpolation, and the column table the audit is written from.
#include "kv/audit/stages.h"
#include "stand_in.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

namespace kv::audit {
namespace {

using test::StandIn;

TEST(ParseCommand, OptionsAndTheirDefaults) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::function<void(const AuditOptions&)> check;
    };
    const Case cases[] = {
        {"defaults",
         {"in", "--out", "o"},
         [](const AuditOptions& o) {
             EXPECT_EQ(o.cache, std::filesystem::path("o") / "factors");
             EXPECT_EQ(o.shard, 0);
             EXPECT_EQ(o.shards, 1);
             EXPECT_FALSE(o.withPaths);
             EXPECT_FALSE(o.output || o.hvl);
             EXPECT_EQ(o.histories, kDefaultHistories);
             EXPECT_GE(o.threads, 1u);
             EXPECT_EQ(o.edition, texts::Edition::English);
         }},
        {"the third share of eight is 0-based 2",
         {"in", "--out", "o", "--shard", "3/8"},
         [](const AuditOptions& o) {
             EXPECT_EQ(o.shard, 2);
             EXPECT_EQ(o.shards, 8);
         }},
        {"every option given",
         {"a", "b", "--out=o", "--cache", "c", "--output", "out.csv", "--hvl", "h.csv", "--threads", "3",
          "--histories", "2e5", "--paths", "--edition", "ja", "--data", "d"},
         [](const AuditOptions& o) {
             EXPECT_EQ(o.paths, (std::vector<std::filesystem::path>{"a", "b"}));
             EXPECT_EQ(o.cache, "c");
             EXPECT_EQ(*o.output, "out.csv");
             EXPECT_EQ(*o.hvl, "h.csv");
             EXPECT_EQ(o.threads, 3u);
             EXPECT_EQ(o.histories, 2e5);
             EXPECT_TRUE(o.withPaths);
             EXPECT_EQ(o.edition, texts::Edition::Japanese);
             EXPECT_EQ(o.data, "d");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ParsedCommand p = parseAuditCommand(c.args);
        ASSERT_TRUE(p.options) << p.err;
        EXPECT_TRUE(p.err.empty());
        c.check(*p.options);
    }
}

TEST(ParseCommand, RefusalsEndTheProgramWithTheirWords) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {"help", {"--help"}, 0, "usage: kv-audit"},
        {"a share beyond the count", {"in", "--out", "o", "--shard", "9/8"}, 2, "\"9/8\""},
        {"a share of nothing", {"in", "--out", "o", "--shard", "3"}, 2, "\"3\""},
        {"no whole thread count", {"in", "--out", "o", "--threads", "1.5"}, 2, "\"1.5\""},
        {"threads beyond the limit", {"in", "--out", "o", "--threads", "2000"}, 2, "\"2000\""},
        // The engine's and kv-sweep's limits, not looser ones of the audit's own.
        {"histories beyond the engine's", {"in", "--out", "o", "--histories", "2e11"}, 2, "\"2e11\""},
        {"more shares than kv-sweep takes", {"in", "--out", "o", "--shard", "1/200000"}, 2, "\"1/200000\""},
        {"the Japanese refusal", {"in", "--edition", "ja"}, 2, "--out DIR (監査の結果を書くフォルダ)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ParsedCommand p = parseAuditCommand(c.args);
        EXPECT_FALSE(p.options);
        EXPECT_EQ(p.status, c.status);
        EXPECT_NE((p.out + p.err).find(c.says), std::string::npos) << p.out << p.err;
    }
}

Counted counted(
    int index, std::function<void(Exposure&)> make = [](Exposure&) {}) {
    Counted c;
    c.index = index;
    c.x.kvp = 28, c.x.filterMm = 0.03, c.x.thicknessMm = 47, c.x.mas = 63, c.x.sourceToDetectorMm = 650;
    c.x.entranceDoseMgy = 5, c.x.ageYears = 55;
    make(c.x);
    return c;
}

TEST(PlanExposures, EachExposureItsAirKermaHvlAndNodes) {
    MeasuredTables m;
    m.output = MeasuredTable::parse("target,filter,kv,mgy_per_mas,distance_mm\nMo,Mo,28,0.1,500\n", "o.csv",
                                    MeasuredKind::Output);
    m.hvl = MeasuredTable::parse("target,filter,kv,hvl_mm_al\nMo,Mo,28,0.35\n", "h.csv", MeasuredKind::Hvl);
    const MeasuredTables none;
    struct Case {
        const char* name;
        const MeasuredTables* tables;
        std::function<void(Exposure&)> make;
        KSource k;
        double kMgy;
        HvlSource hvl;
        double hvlMm;
        double lo, hi;
        bool noted;
    };
    const double byOutput = 0.1 * 63 * std::pow(500.0 / (650 - 47), 2);
    const Case cases[] = {
        {"measured output and HVL", &m, [](Exposure&) {}, KSource::Output, byOutput, HvlSource::Measured,
         0.35, 45, 50, false},
        {"without mAs the header's dose", &m, [](Exposure& x) { x.mas.reset(); }, KSource::Header, 5,
         HvlSource::Measured, 0.35, 45, 50, false},
        {"another beam: the header's HVL", &m,
         [](Exposure& x) { x.filter = FilterMaterial::Rhodium, x.hvlMmAl = 0.42; }, KSource::Header, 5,
         HvlSource::Header, 0.42, 45, 50, false},
        {"no table, no header HVL: the model's", &none, [](Exposure&) {}, KSource::Header, 5,
         HvlSource::Model, 0.33, 45, 50, false},
        {"a header HVL out of reach gives way to the model's", &none, [](Exposure& x) { x.hvlMmAl = 3; },
         KSource::Header, 5, HvlSource::Model, 0.33, 45, 50, true},
        {"on a node", &none, [](Exposure& x) { x.thicknessMm = 45; }, KSource::Header, 5, HvlSource::Model,
         0.33, 45, 45, false},
        {"the thickest", &none, [](Exposure& x) { x.thicknessMm = 110; }, KSource::Header, 5,
         HvlSource::Model, 0.33, 105, 110, false},
    };
    std::map<std::string, int> calls;
    StandIn physics(&calls);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Plan p = planExposures({counted(1, c.make)}, *c.tables, physics, texts::englishAuditTexts);
        ASSERT_EQ(p.exposures.size(), 1u);
        const Planned& e = p.exposures[0];
        EXPECT_EQ(e.kSource, c.k);
        EXPECT_NEAR(e.k, c.kMgy, 1e-9);
        EXPECT_EQ(e.hvlSource, c.hvl);
        EXPECT_NEAR(e.hvl, c.hvlMm, 1e-9);
        EXPECT_EQ(e.nodes->first.thicknessMm, c.lo);
        EXPECT_EQ(e.nodes->second.thicknessMm, c.hi);
        EXPECT_EQ(e.note.empty(), !c.noted);
        EXPECT_EQ(p.nodes.size(), c.lo == c.hi ? 1u : 2u);
    }
}

TEST(PlanExposures, WhatCannotHaveAFactorIsSkippedAndSharedNodesAreOne) {
    std::map<std::string, int> calls;
    StandIn physics(&calls);
    const Plan p = planExposures({counted(1), counted(2, [](Exposure& x) { x.thicknessMm = 48; }),
                                  counted(3, [](Exposure& x) { x.entranceDoseMgy.reset(); }),
                                  counted(4, [](Exposure& x) { x.thicknessMm = 12; }),
                                  counted(5, [](Exposure& x) { x.ageYears = 45; })},
                                 {}, physics, texts::englishAuditTexts);
    ASSERT_EQ(p.exposures.size(), 3u);
    // 47 and 48 mm at 55 share 45 and 50 mm; the woman of 45 has nodes of her own glandularity.
    EXPECT_EQ(p.nodes.size(), 4u);
    ASSERT_EQ(p.skipped.size(), 2u);
    EXPECT_EQ(p.skipped[0].index, 3);
    EXPECT_EQ(p.skipped[0].skip.code, SkipCode::NoAirKerma);
    EXPECT_EQ(p.skipped[1].index, 4);
    EXPECT_EQ(p.skipped[1].skip.code, SkipCode::NoFactor);
    EXPECT_NE(p.skipped[1].skip.detail.find("12 mm"), std::string::npos);
}

TEST(PlanExposures, AScanGetsNodesOfItsOwnAnglesOrIsListedWithWhyNot) {
    auto scan = [](
                    std::optional<double> start, std::optional<double> end, int projections,
                    std::function<void(Exposure&)> more = [](Exposure&) {}) {
        return [=](Exposure& x) {
            x.modality = Modality::Tomosynthesis;
            x.scan = Scan{};
            x.scan->startDeg = start, x.scan->endDeg = end, x.scan->projections = projections;
            more(x);
        };
    };
    struct Case {
        const char* name;
        std::function<void(Exposure&)> make;
        std::optional<ScanShape> shape; // none: listed without nodes
        const char* says;
        double kMgy;
    };
    const Case cases[] = {
        {"15 projections over +-7.5 deg", scan(-7.5, 7.5, 15), ScanShape{7.5, 15}, "", 5},
        {"the projections not said: a sweep", scan(-25, 25, 0), ScanShape{25, 0}, "continuous sweep", 5},
        {"within half a degree of centred", scan(-12.3, 12.5, 9), ScanShape{12.4, 9}, "", 5},
        {"off centre", scan(0, 15, 11), std::nullopt, "not centred", 5},
        {"no angles", scan(std::nullopt, std::nullopt, 9), std::nullopt, "no scan angles", 5},
        {"no scan at all", [](Exposure& x) { x.modality = Modality::Tomosynthesis; }, std::nullopt,
         "no scan angles", 5},
        {"unequal loadings read, equal ones used",
         scan(-7.5, 7.5, 3,
              [](Exposure& x) {
                  x.scan->loading = {2.0, 4.5, 2.0};
              }),
         ScanShape{7.5, 3}, "(2 to 4.5 mAs), but the factor weighs the projections equally", 5},
        {"equal loadings: nothing to say",
         scan(-7.5, 7.5, 3,
              [](Exposure& x) {
                  x.scan->loading = {3.0, 3.0, 3.0};
              }),
         ScanShape{7.5, 3}, "", 5},
        {"a projection's dose by --dbt-kerma projection: times the projections",
         scan(-7.5, 7.5, 15, [](Exposure& x) { x.scope.entrance = DoseScope::Unsaid; }), ScanShape{7.5, 15},
         "", 5 * 15},
    };
    MeasuredTables projection;
    projection.dbtKerma = DbtKerma::Projection;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::map<std::string, int> calls;
        StandIn physics(&calls);
        const bool perProjection = std::string_view(c.name).find("projection:") != std::string_view::npos;
        const Plan p = planExposures({counted(1, c.make)}, perProjection ? projection : MeasuredTables{},
                                     physics, texts::englishAuditTexts);
        ASSERT_EQ(p.exposures.size(), 1u);
        const Planned& e = p.exposures[0];
        EXPECT_NEAR(e.k, c.kMgy, 1e-9);
        // An empty `says`: no note at all.
        if (*c.says) {
            EXPECT_NE(e.note.find(c.says), std::string::npos) << e.note;
        } else {
            EXPECT_EQ(e.note, "");
        }
        ASSERT_EQ(e.nodes.has_value(), c.shape.has_value());
        if (!c.shape) {
            EXPECT_TRUE(p.nodes.empty());
            continue;
        }
        for (const FactorNode* n : {&e.nodes->first, &e.nodes->second}) {
            ASSERT_TRUE(n->scan);
            EXPECT_NEAR(n->scan->rangeDeg, c.shape->rangeDeg, 1e-9);
            EXPECT_EQ(n->scan->projections, c.shape->projections);
        }
        EXPECT_EQ(p.nodes.size(), 2u);
    }
    // A 2D image and a scan of one beam and thickness never share a node.
    std::map<std::string, int> calls;
    StandIn physics(&calls);
    const Plan both =
        planExposures({counted(1), counted(2, scan(-7.5, 7.5, 15))}, {}, physics, texts::englishAuditTexts);
    EXPECT_EQ(both.nodes.size(), 4u);
}

std::map<std::string, FactorNode> nodesAt(std::initializer_list<double> mm) {
    std::map<std::string, FactorNode> nodes;
    for (double t : mm) {
        FactorNode n;
        n.thicknessMm = t, n.glandularPercent = 50;
        nodes.emplace(n.key(), n);
    }
    return nodes;
}

TEST(ComputeFactors, AShareComputesEveryNthNodeAndAFailureIsKeptWithItsReason) {
    const auto nodes = nodesAt({20, 25, 30, 35, 40});
    struct Case {
        int shard, shards;
        std::set<double> computed;
    };
    for (const Case& c : {Case{0, 1, {20, 25, 30, 35, 40}}, Case{0, 2, {20, 30, 40}}, Case{1, 2, {25, 35}},
                          Case{2, 3, {30}}}) {
        SCOPED_TRACE(std::to_string(c.shard + 1) + "/" + std::to_string(c.shards));
        std::map<std::string, int> calls;
        StandIn physics(&calls);
        physics.failingKeys.insert(nodes.begin()->first); // 20 mm
        std::ostringstream out, err;
        const Computed got =
            computeFactors(nodes, physics, c.shard, c.shards, out, err, texts::englishAuditTexts);
        std::set<double> asked;
        for (const auto& [key, n] : nodes)
            if (calls.count(key)) asked.insert(n.thicknessMm);
        EXPECT_EQ(asked, c.computed);
        EXPECT_EQ(got.factors.size() + got.failed.size(), c.computed.size());
        EXPECT_EQ(got.failed.size(), c.computed.count(20));
        EXPECT_EQ(err.str().find("the stand-in fails here") != std::string::npos, c.computed.count(20) > 0);
    }
}

TEST(ApplyFactors, ReadBetweenTheNodesOrSkippedWithTheNodesFailure) {
    std::map<std::string, int> calls;
    StandIn physics(&calls);
    Plan p = planExposures({counted(1), counted(2, [](Exposure& x) { x.thicknessMm = 22; })}, {}, physics,
                           texts::englishAuditTexts);
    physics.failingKeys.insert(p.exposures[1].nodes->first.key());
    std::ostringstream out, err;
    const Computed c = computeFactors(p.nodes, physics, 0, 1, out, err, texts::englishAuditTexts);
    std::vector<Skipped> skipped;
    const std::vector<AuditRow> rows = applyFactors(p.exposures, c, skipped);
    ASSERT_EQ(rows.size(), 1u);
    const AuditRow& r = rows[0];
    const double f45 = c.factors.at(r.p.nodes->first.key()).mgd,
                 f50 = c.factors.at(r.p.nodes->second.key()).mgd;
    EXPECT_NEAR(r.factor->value, std::exp(0.6 * std::log(f45) + 0.4 * std::log(f50)), 1e-12);
    EXPECT_NEAR(*r.agd, 5 * r.factor->value, 1e-12);
    EXPECT_NE(r.factorId.find('/'), std::string::npos);
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_EQ(skipped[0].index, 2);
    EXPECT_EQ(skipped[0].skip.code, SkipCode::NoFactor);
    EXPECT_EQ(skipped[0].skip.detail, "the stand-in fails here");
}

TEST(AuditColumns, OneNameEachAndEveryRowAsWideAsTheHeader) {
    std::set<std::string> names;
    for (const AuditColumn& c : auditColumns())
        EXPECT_TRUE(names.insert(c.name).second) << c.name;
    std::map<std::string, int> calls;
    StandIn physics(&calls);
    Plan p = planExposures({counted(7), counted(8, [](Exposure& x) { x.organDoseMgy = 1.0; })}, {}, physics,
                           texts::englishAuditTexts);
    std::ostringstream out, err;
    std::vector<Skipped> skipped;
    std::vector<AuditRow> rows = applyFactors(
        p.exposures, computeFactors(p.nodes, physics, 0, 1, out, err, texts::englishAuditTexts), skipped);
    rows[0].p.c.path = "in/a,b.dcm";
    for (bool withPaths : {false, true}) {
        SCOPED_TRACE(withPaths);
        const Table table = auditTable(rows, withPaths);
        ASSERT_EQ(table.size(), 3u);
        EXPECT_EQ(table[0].size(), auditColumns().size() + withPaths);
        for (const auto& row : table)
            EXPECT_EQ(row.size(), table[0].size());
        std::map<std::string, std::string> first;
        for (size_t i = 0; i < table[0].size(); ++i)
            first[table[0][i]] = table[1][i];
        EXPECT_EQ(first["index"], "7");
        EXPECT_EQ(first["k_surface_mgy"], "5.0000");
        EXPECT_EQ(first["agd_mgy"], format(*rows[0].agd, "0.0000"));
        EXPECT_EQ(first["ratio"], ""); // no dose of the unit's
        EXPECT_EQ(table[0].back(), withPaths ? "path" : "note");
        if (withPaths) {
            EXPECT_EQ(first["path"], "in/a,b.dcm");
        }
    }
}

} // namespace
} // namespace kv::audit
