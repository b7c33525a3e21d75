// kv-spectrum-validate: the Mo, W and Rh spectrum models against the measured
// catalogue, 20-40 kV, written into docs/validation.md between its markers,
// with a plot of the bin ratios per anode beside it.
//   kv-spectrum-validate [--reduced] [--data DIR] [--catalogue DIR] [--doc FILE] [--images DIR]
#include "kv/spectrum/model/physical_data.h"
#include "kv/sweep/plot.h"
#include "kv/validation/protocol_validation.h"
#include "kv/validation/spectrum_validation.h"

#include <iostream>
#include <string>

using namespace kv;

int main(int argc, char** argv) {
    bool reduced = false;
    std::filesystem::path data = ".", catalogue = KV_MEASURED_SPECTRA_DIR, doc, images;
    std::string command = "kv-spectrum-validate";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool valued = i + 1 < argc;
        if (a == "--reduced")
            reduced = true;
        else if (a == "--data" && valued)
            data = argv[++i];
        else if (a == "--catalogue" && valued)
            catalogue = argv[++i];
        else if (a == "--doc" && valued)
            doc = argv[++i];
        else if (a == "--images" && valued)
            images = argv[++i];
        else {
            std::cerr
                << "usage: kv-spectrum-validate [--reduced] [--data DIR] [--catalogue DIR] [--doc FILE] "
                   "[--images DIR]\n";
            return 2;
        }
        command += " " + a + (a == "--reduced" ? "" : " " + std::string(argv[i]));
    }
    try {
        const spectrum::PhysicalData physical = spectrum::LoadPhysicalData(data);
        const std::vector<int> voltages = reduced ? std::vector<int>{22, 28, 35, 40} : [] {
            std::vector<int> v;
            for (int kv = 20; kv <= 40; ++kv)
                v.push_back(kv);
            return v;
        }();
        std::vector<std::pair<validation::CatalogueTube, std::vector<validation::TubeVoltageComparison>>> all;
        std::vector<std::string> plots;
        for (const validation::CatalogueTube& tube : validation::kCatalogueTubes) {
            std::vector<validation::TubeVoltageComparison> rows;
            for (int kv : voltages)
                rows.push_back(validation::compareAt(tube, kv, physical, catalogue));
            all.emplace_back(tube, rows);
            if (images.empty()) continue;
            std::vector<sweep::PlotPoint> points;
            for (int kv : {25, 28, 31, 35})
                for (const validation::RatioPoint& p : validation::ratioAt(tube, kv, physical, catalogue))
                    if (p.ratio) points.push_back({std::to_string(kv) + " kV", p.energy, *p.ratio, 0});
            const std::string name = std::string("spectrum-ratio-") + tube.symbol + ".png";
            std::filesystem::create_directories(images);
            if (const auto why =
                    sweep::writePlot(images / name, points,
                                     {std::string(tube.symbol) + " anode: model / measured, 1 keV bins",
                                      "Energy (keV)", "Model / measured", false})) {
                std::cerr << "kv-spectrum-validate: " << *why << "\n";
                if (sweep::plotsBuiltIn()) return 1;
            } else {
                const std::filesystem::path rel =
                    doc.empty() ? images / name : std::filesystem::relative(images / name, doc.parent_path());
                plots.push_back(rel.generic_string());
            }
        }
        const std::string md = validation::spectrumMarkdown(all, plots, command);
        if (doc.empty())
            std::cout << md;
        else
            validation::replaceGenerated(doc, md, validation::kSpectrumBeginMarker,
                                         validation::kSpectrumEndMarker);
    } catch (const formats::MeasuredSpectrumError& e) {
        std::cerr << "kv-spectrum-validate: " << formats::describeMeasured(e, texts::englishSpectrumFileTexts)
                  << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "kv-spectrum-validate: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
