// The physicist's tables of measured output and HVL: read through the one CSV
// reader (quoted cells, comments, any letter case of the column names), and
// each fault named with its line and column.
#include "kv/audit/measured.h"
#include "table_faults.h"

#include <gtest/gtest.h>

namespace kv::audit {
namespace {

TEST(MeasuredTable, ReadsQuotedCellsCommentsAndColumnsInAnyCase) {
    const MeasuredTable t = MeasuredTable::parse("# output of unit 7, 2026-03\n"
                                                 "Target,FILTER,kv,mgy_per_mas,distance_mm,serial\n"
                                                 "\n"
                                                 "\"Mo\", Rh ,28,0.125,600,\"A, 7\"\n"
                                                 "# a remark between the rows\n"
                                                 "W,Ag,30,0.08,600,\n",
                                                 "out.csv", MeasuredKind::Output);
    const std::optional<MeasuredRow> moRh =
        t.lookup(Target::Molybdenum, FilterMaterial::Rhodium, 0.025, 28, "A, 7");
    ASSERT_TRUE(moRh);
    EXPECT_EQ(moRh->line, 4);
    EXPECT_EQ(moRh->value, 0.125);
    EXPECT_EQ(moRh->serial, "A, 7");
    const std::optional<MeasuredRow> wAg = t.lookup(Target::Tungsten, FilterMaterial::Silver, 0.05, 30, "");
    ASSERT_TRUE(wAg);
    EXPECT_EQ(wAg->line, 6);
    EXPECT_EQ(wAg->distanceMm, 600);
}

TEST(MeasuredTable, AFaultNamesItsLineColumnAndValue) {
    const std::string head = "target,filter,kv,hvl_mm_al\n";
    const test::TableFault cases[] = {
        {"empty", "", MeasuredFault::NoHeader, 1, "", ""},
        {"comments only", "# nothing yet\n", MeasuredFault::NoHeader, 1, "", ""},
        {"unknown column", "# made by hand\ntarget,filter,kv,hvl\n", MeasuredFault::UnknownColumn, 2, "hvl",
         ""},
        {"column twice", "target,kv,KV\n", MeasuredFault::RepeatedColumn, 1, "kv", ""},
        {"no hvl", "target,filter,kv\n", MeasuredFault::MissingColumn, 1, "hvl_mm_al", ""},
        {"target", head + "Cu,Mo,28,0.35\n", MeasuredFault::BadTarget, 2, "target", "Cu"},
        {"filter", head + "Mo,Be,28,0.35\n", MeasuredFault::BadFilter, 2, "filter", "Be"},
        {"not a number", head + "\nMo,Mo,28,0.3S\n", MeasuredFault::BadNumber, 3, "hvl_mm_al", "0.3S"},
        {"kV too high", head + "Mo,Mo,55,0.35\n", MeasuredFault::BadNumber, 2, "kv", "55"},
    };
    test::expectTableFaults(cases, "hvl.csv", [](const std::string& text, const std::string& file) {
        MeasuredTable::parse(text, file, MeasuredKind::Hvl);
    });
}

} // namespace
} // namespace kv::audit
