// kv-protocol-validate: runs the protocol breast over the published factors'
// grid (reusing what --out already holds) and writes the comparison into
// docs/validation.md between its markers; --tomosynthesis does the same for
// the tomosynthesis factor T between markers of its own.
//   kv-protocol-validate [--reduced] [--tomosynthesis] [--histories N] [--threads T] [--data DIR] [--out DIR]
//                        [--doc FILE]
#include "kv/common/typed_number.h"
#include "kv/engine/runner.h"
#include "kv/spectrum/model/physical_data.h"
#include "kv/validation/protocol_validation.h"
#include "kv/validation/tomosynthesis_validation.h"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <string>

using namespace kv;

int main(int argc, char** argv) {
    bool reduced = false, tomosynthesis = false;
    double histories = 0;
    unsigned threads = engine::defaultThreadCount();
    std::filesystem::path data = ".", out = "validation", doc, reference = KV_VALIDATION_REFERENCE_DIR;
    std::string command = "kv-protocol-validate";
    auto usage = [](std::ostream& to = std::cerr) {
        to << "usage: kv-protocol-validate [--reduced] [--tomosynthesis] [--histories N] [--threads T] "
              "[--data DIR] [--out DIR] [--doc FILE] [--reference DIR]\n";
        return &to == &std::cerr ? 2 : 0;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") return usage(std::cout);
        const bool valued = i + 1 < argc;
        if (a == "--reduced") {
            reduced = true;
        } else if (a == "--tomosynthesis") {
            tomosynthesis = true;
        } else if ((a == "--histories" || a == "--threads") && valued) {
            const TypedNumber n = readTypedNumber(argv[++i], {1, a == "--threads" ? 1024.0 : 1e11});
            if (!n.ok() || n.value != std::floor(n.value)) return usage();
            (a == "--threads" ? threads = static_cast<unsigned>(n.value) : histories = n.value);
        } else if (a == "--data" && valued) {
            data = argv[++i];
        } else if (a == "--out" && valued) {
            out = argv[++i];
        } else if (a == "--doc" && valued) {
            doc = argv[++i];
        } else if (a == "--reference" && valued) {
            reference = argv[++i];
        } else {
            return usage();
        }
        const bool flag = a == "--reduced" || a == "--tomosynthesis";
        command += " " + a + (flag ? "" : " " + std::string(argv[i]));
    }
    if (!(histories >= 1)) histories = reduced ? 3e5 : 4e6;
    if (tomosynthesis) {
        try {
            const spectrum::PhysicalData physical = spectrum::LoadPhysicalData(data);
            const std::vector<validation::TomoCase> cases =
                validation::tomosynthesisCases(reduced, formats::readEquipmentStrictly(data), histories);
            std::filesystem::create_directories(out);
            std::vector<factors::RowFactors> factors;
            for (size_t i = 0; i < cases.size(); ++i) {
                const factors::RowOutcome o =
                    factors::runGridRow(cases[i].row, data, physical, out, {.threads = threads});
                factors.push_back(o.factors);
                std::printf("%zu/%zu %s: mgd %.4f +- %.2f %%%s\n", i + 1, cases.size(), o.resultFile.c_str(),
                            o.factors.mgd, o.factors.mgdSigmaPercent, o.kept ? " (kept)" : "");
                std::fflush(stdout);
            }
            const std::string md =
                validation::tomosynthesisMarkdown(validation::tomosynthesisLines(cases, factors), command);
            if (doc.empty())
                std::cout << md;
            else
                validation::replaceGenerated(doc, md, validation::kTomoBeginMarker,
                                             validation::kTomoEndMarker);
        } catch (const std::exception& e) {
            std::cerr << "kv-protocol-validate: " << e.what() << "\n";
            return 1;
        }
        return 0;
    }
    try {
        const validation::FactorTable g = validation::readFactorTable(reference / "dance2000-g-factors.csv");
        const auto s = validation::readSpectrumFactors(reference / "dance2000-s-factors.csv");
        const spectrum::PhysicalData physical = spectrum::LoadPhysicalData(data);
        const std::vector<validation::Case> cases =
            validation::validationCases(reduced, formats::readEquipmentStrictly(data), histories);
        std::filesystem::create_directories(out);
        std::vector<factors::RowFactors> factors;
        for (size_t i = 0; i < cases.size(); ++i) {
            const factors::RowOutcome o =
                factors::runGridRow(cases[i].row, data, physical, out, {.threads = threads});
            factors.push_back(o.factors);
            std::printf("%zu/%zu %s: HVL %.3f, mgd %.4f +- %.2f %%%s\n", i + 1, cases.size(),
                        o.resultFile.c_str(), o.factors.hvl1Paddle, o.factors.mgd, o.factors.mgdSigmaPercent,
                        o.kept ? " (kept)" : "");
            std::fflush(stdout);
        }
        const std::string md =
            validation::generatedMarkdown(validation::compare(cases, factors, g, s), command);
        if (doc.empty())
            std::cout << md;
        else
            validation::replaceGenerated(doc, md);
    } catch (const std::exception& e) {
        std::cerr << "kv-protocol-validate: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
