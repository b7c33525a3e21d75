// kv-protocol-validate: runs the protocol breast over the published factors'
// grid and the measured spectra's grid (reusing what --out already holds)
// and writes both comparisons into docs/validation.md between their markers;
// --tomosynthesis does the same for the tomosynthesis factor T between
// markers of its own; --beams runs some beams only and prints their tables.
//   kv-protocol-validate [--reduced] [--tomosynthesis] [--beams LIST] [--histories N] [--threads T]
//                        [--data DIR] [--out DIR] [--doc FILE] [--reference DIR] [--measured-grid FILE]
#include "kv/common/command_line.h"
#include "kv/common/program_start.h"
#include "kv/engine/runner.h"
#include "kv/spectrum/model/physical_data.h"
#include "kv/tools/common/shared_options.h"
#include "kv/validation/protocol_validation.h"
#include "kv/validation/tomosynthesis_validation.h"

#include <cstdio>
#include <iostream>
#include <set>
#include <string>

using namespace kv;

namespace {

constexpr const char* kUsage =
    "usage: kv-protocol-validate [--reduced] [--tomosynthesis] [--beams LIST] [--histories N] [--threads T] "
    "[--data DIR] [--out DIR] [--doc FILE] [--reference DIR] [--measured-grid FILE]\n"
    "  --tomosynthesis  the tomosynthesis factor T of the protocol breast's sweeps instead\n"
    "  --beams LIST     only the rows of these beams, as the tables name them (\"Mo/Mo,Rh/Ag\"; s needs\n"
    "                   Mo/Mo), their tables printed; not with --doc, whose tables hold every beam.\n"
    "                   The rows' results stay in --out for the full run to take up.\n"
    "  --reduced        the few rows CI runs (with 300 000 histories; the measured grid's rhodium rows\n"
    "                   up to 31 kV with 100 000)\n"
    "  --histories N    of every published-factor row (default 4E+06); the measured grid keeps its own\n"
    "  --measured-grid  the measured spectra's grid (default reference/measured-spectra-grid.csv)\n";

// The beams --beams names, none for every beam.
std::optional<std::set<std::string>> beamsAsked(const CommandLine& line) {
    const std::optional<std::string> list = line.value("--beams");
    if (!list) return std::nullopt;
    std::set<std::string> names;
    for (size_t at = 0; at <= list->size();) {
        const size_t comma = std::min(list->find(',', at), list->size());
        if (comma > at) names.insert(list->substr(at, comma - at));
        at = comma + 1;
    }
    return names;
}

const factors::Row& rowOf(const validation::Case& c) {
    return c.row;
}
const factors::Row& rowOf(const validation::TomoCase& c) {
    return c.row;
}
const factors::Row& rowOf(const factors::Row& r) {
    return r;
}

// Drops the rows of beams not asked for, noting every beam the run has.
template <class T>
void keepBeams(std::vector<T>& items, const std::optional<std::set<std::string>>& beams,
               std::set<std::string>& present) {
    std::vector<T> kept;
    for (T& item : items) {
        const std::string name = validation::beamName(rowOf(item));
        present.insert(name);
        if (!beams || beams->count(name)) kept.push_back(std::move(item));
    }
    items = std::move(kept);
}

// A name that no row of the run has is refused with the names it has, so that a slip of the
// keyboard does not pass as a run of nothing.
void refuseAbsentBeams(const std::optional<std::set<std::string>>& beams,
                       const std::set<std::string>& present) {
    if (!beams) return;
    std::string choices;
    for (const std::string& p : present)
        choices += (choices.empty() ? "" : ", ") + p;
    if (beams->empty()) throw CommandLineError(CommandLineFault::BadChoice, "--beams", "", choices);
    for (const std::string& name : *beams)
        if (!present.count(name))
            throw CommandLineError(CommandLineFault::BadChoice, "--beams", name, choices);
}

// The engine rows of validation cases, in their order.
template <class Case> std::vector<factors::Row> rowsOf(const std::vector<Case>& cases) {
    std::vector<factors::Row> rows;
    for (const Case& c : cases)
        rows.push_back(c.row);
    return rows;
}

std::vector<factors::RowFactors> runRows(const std::vector<factors::Row>& rows,
                                         const std::filesystem::path& data,
                                         const spectrum::PhysicalData& physical,
                                         const std::filesystem::path& out, unsigned threads) {
    std::vector<factors::RowFactors> factors;
    for (size_t i = 0; i < rows.size(); ++i) {
        const factors::RowOutcome o = factors::runGridRow(rows[i], data, physical, out, {.threads = threads});
        factors.push_back(o.factors);
        std::printf("%zu/%zu %s: HVL %.3f, mgd %.4f +- %.2f %%%s\n", i + 1, rows.size(), o.resultFile.c_str(),
                    o.factors.hvl1Paddle, o.factors.mgd, o.factors.mgdSigmaPercent, o.kept ? " (kept)" : "");
        std::fflush(stdout);
    }
    return factors;
}

} // namespace

int main(int argc, char** argv) {
    if (auto end = beginProgram(argc, argv, kUsage, Needs::Console)) return *end;
    const std::vector<std::string> args(argv + 1, argv + argc);
    const texts::Edition lang = texts::Edition::English;
    std::string command = "kv-protocol-validate";
    for (const std::string& a : args)
        command += " " + a;
    try {
        const CommandLine line(
            args, tools::withSharedOptions({{"--reduced", false},
                                            {"--tomosynthesis", false},
                                            {"--data", true},
                                            {"--out", true},
                                            {"--doc", true},
                                            {"--reference", true},
                                            {"--measured-grid", true},
                                            {"--beams", true}},
                                           {tools::SharedOption::Threads, tools::SharedOption::Histories}));
        line.refuseOperandsBeyond(0);
        line.refuseTogether("--beams", "--doc");
        const std::optional<std::set<std::string>> beams = beamsAsked(line);
        std::set<std::string> present;
        const bool reduced = line.has("--reduced");
        const double histories = tools::historiesGiven(line, lang).value_or(reduced ? 3e5 : 4e6);
        const unsigned threads = tools::threadsGiven(line, lang).value_or(engine::defaultThreadCount());
        const std::filesystem::path data = line.value("--data").value_or("."),
                                    out = line.value("--out").value_or("validation"),
                                    doc = line.value("--doc").value_or(""),
                                    reference =
                                        line.value("--reference").value_or(KV_VALIDATION_REFERENCE_DIR);
        const std::filesystem::path measuredGrid =
            line.value("--measured-grid").value_or((reference / "measured-spectra-grid.csv").string());

        if (line.has("--tomosynthesis")) {
            const spectrum::PhysicalData physical = spectrum::LoadPhysicalData(data);
            std::vector<validation::TomoCase> cases =
                validation::tomosynthesisCases(reduced, formats::readEquipmentStrictly(data), histories);
            keepBeams(cases, beams, present);
            refuseAbsentBeams(beams, present);
            std::filesystem::create_directories(out);
            const std::vector<factors::RowFactors> factors =
                runRows(rowsOf(cases), data, physical, out, threads);
            const std::string md =
                validation::tomosynthesisMarkdown(validation::tomosynthesisLines(cases, factors), command);
            if (doc.empty())
                std::cout << md;
            else
                validation::replaceGenerated(doc, md, validation::kTomoBeginMarker,
                                             validation::kTomoEndMarker);
            return 0;
        }
        const validation::FactorTable g = validation::readFactorTable(reference / "dance2000-g-factors.csv");
        const auto s = validation::readSpectrumFactors(reference / "dance2000-s-factors.csv");
        const spectrum::PhysicalData physical = spectrum::LoadPhysicalData(data);
        const formats::EquipmentRecord equipment = formats::readEquipmentStrictly(data);
        std::vector<validation::Case> cases = validation::validationCases(reduced, equipment, histories);
        std::vector<factors::Row> measuredRows =
            validation::measuredCases(measuredGrid, equipment, reduced, reduced ? 1e5 : 0);
        keepBeams(cases, beams, present);
        keepBeams(measuredRows, beams, present);
        refuseAbsentBeams(beams, present);
        std::filesystem::create_directories(out);
        const std::vector<factors::RowFactors> factors = runRows(rowsOf(cases), data, physical, out, threads);
        const std::vector<factors::RowFactors> measuredFactors =
            runRows(measuredRows, data, physical, out, threads);

        const std::string md =
            validation::generatedMarkdown(validation::compare(cases, factors, g, s), command);
        const std::string measuredMd =
            validation::measuredMarkdown(validation::compareMeasured(measuredRows, measuredFactors), command);
        if (doc.empty()) {
            std::cout << md << "\n" << measuredMd;
        } else {
            validation::replaceGenerated(doc, md);
            validation::replaceGenerated(doc, measuredMd, validation::kMeasuredBeginMarker,
                                         validation::kMeasuredEndMarker);
        }
    } catch (const CommandLineError& e) {
        std::cerr << commandLineMessage(e, texts::commandLineTextsOf(lang)) << "\n" << kUsage;
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "kv-protocol-validate: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
