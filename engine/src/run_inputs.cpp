#include "kv/engine/run_inputs.h"

#include "kv/common/format.h"
#include "kv/common/records.h"

#include <cmath>

namespace kv::engine {

namespace {

template <class F>
auto readOrExplain(const std::string& file, F read) {
    try {
        return read();
    } catch (const spectrum::SpectrumFileError& e) {
        std::string m = e.what();
        if (m.rfind(e.file, 0) == 0) m.erase(0, e.file.size());
        if (m.rfind(", ", 0) == 0 || m.rfind(": ", 0) == 0) m.erase(0, 2);
        throw InputError(e.file, m);
    } catch (const RecordError& e) {
        throw InputError(e.file.empty() ? file : e.file, e.what());
    } catch (const CompositionError& e) {
        // Its message already begins with the file name.
        std::string m = e.what();
        std::string prefix = file + ": ";
        throw InputError(file, m.rfind(prefix, 0) == 0 ? m.substr(prefix.size()) : m);
    }
}

std::string cm(double v) { return plainDecimal(v) + " cm"; }

} // namespace

RunInputs readRunInputs(const std::filesystem::path& dir, ExposureKind kind) {
    RunInputs in;
    in.kind = kind;
    const std::string mc(workbench::kControlFileName), ph(workbench::kPhantomFileName);
    in.control = readOrExplain(mc, [&] { return workbench::readControlFile(dir); });
    in.phantom = readOrExplain(ph, [&] { return workbench::readPhantomFile(dir); });
    in.equipment = readOrExplain(spectrum::kEquipmentFileName, [&] { return spectrum::readEquipment(dir); });
    in.spectrum = readOrExplain(spectrum::kSpectrumFileName, [&] { return spectrum::readSpectrumFile(dir); });

    const workbench::ControlFile& c = in.control;
    if (!(c.histories >= 1.0))
        throw InputError(mc, "line 7 asks for " + plainDecimal(c.histories) + " photon histories; at least 1 is needed");
    if (c.histories > kMaxHistories)
        throw InputError(mc, "line 7 asks for " + format(c.histories, "0.0E+00") +
                                 " photon histories; at most 1.0E+11 can be run at once");
    in.histories = static_cast<uint64_t>(std::llround(c.histories));
    if (!isBareFileName(c.resultFile))
        throw InputError(mc, "line 8, the result file name \"" + c.resultFile + "\", is not a name in the working directory");
    std::string ext(workbench::kResultExtension);
    if (c.resultFile.size() < ext.size() || c.resultFile.compare(c.resultFile.size() - ext.size(), ext.size(), ext) != 0)
        throw InputError(mc, "line 8, the result file name \"" + c.resultFile + "\", does not end in " + ext);
    if (!(c.fieldX > 0 && c.fieldY > 0 && c.fieldX <= 100 && c.fieldY <= 100))
        throw InputError(mc, "the field size " + plainDecimal(c.fieldX) + " x " + plainDecimal(c.fieldY) +
                                 " cm (lines 1 and 2) cannot be used");
    if (!(c.fcd > 0)) throw InputError(mc, "the FCD of " + cm(c.fcd) + " (line 5) must be greater than 0");
    if (kind == ExposureKind::Tomosynthesis) {
        if (!(c.fad > 0 && c.fad <= c.fid))
            throw InputError(mc, "the FAD of " + cm(c.fad) + " (line 4) must lie between 0 and the FID of " + cm(c.fid));
        if (!(std::fabs(c.angularRange) <= 60))
            throw InputError(mc, "the angular range of " + plainDecimal(c.angularRange) +
                                     " deg (line 6) exceeds 60 deg");
    }

    const workbench::PhantomFile& p = in.phantom;
    if (!(p.thickness >= kMinThickness && p.thickness <= kMaxThickness))
        throw InputError(ph, "the phantom thickness of " + cm(p.thickness) + " (line 5) lies outside 0.1 to 6.0 cm");
    if (!(p.sizeX > 0 && p.sizeX <= 15 && p.sizeY > 0 && p.sizeY <= 15))
        throw InputError(ph, "the phantom size " + plainDecimal(p.sizeX) + " x " + plainDecimal(p.sizeY) +
                                 " cm (lines 3 and 4) exceeds the 15 x 15 cm voxel grid");
    double room = c.fid - kSupportToDetector - kSupportThickness - p.thickness - kPaddleThickness;
    if (!(room > 1.0))
        throw InputError(mc, "the FID of " + cm(c.fid) + " (line 3) leaves no room for the support, the " +
                                 plainDecimal(p.thickness) + " cm phantom and the paddle");
    if (!isBareFileName(p.compositionFile))
        throw InputError(ph, "line 2 names \"" + p.compositionFile + "\", which is not a file of the working directory");
    in.composition = readOrExplain(p.compositionFile, [&] { return readCompositionFile(dir, p.compositionFile); });
    double fraction = parseNumber(p.fractionText);
    if (std::fabs(in.composition.glandularFraction - fraction) > 1e-9)
        throw InputError(p.compositionFile, "holds the glandular fraction " +
                                                plainDecimal(in.composition.glandularFraction) + " %, but " + ph +
                                                " asks for " + p.fractionText + " %");

    RaySpectra rays = raySpectra(in.spectrum);
    double total = 0;
    for (const auto& w : rays.weights)
        for (double v : w) total += v;
    if (!(total > 0)) throw InputError(spectrum::kSpectrumFileName, "the spectrum holds no photons above 1 keV");
    return in;
}

RaySpectra raySpectra(const spectrum::SpectrumFileContents& s) {
    RaySpectra r;
    r.rayWidthDeg = 0.5;
    int first = static_cast<int>(std::ceil(kMinEnergy / 0.2 - 1e-9));
    for (int i = first; i < spectrum::kBins; ++i) r.energies.push_back(spectrum::binEnergy(i));
    for (int k = 1; k < spectrum::kColumns; ++k) {
        std::vector<double> w;
        for (int i = first; i < spectrum::kBins; ++i) w.push_back(std::fmax(0.0, s.table[k][i]));
        r.weights.push_back(std::move(w));
    }
    return r;
}

WorkbenchSetup workbenchSetup(const RunInputs& in) {
    WorkbenchSetup s;
    s.tomosynthesis = in.kind == ExposureKind::Tomosynthesis;
    s.fid = in.control.fid;
    s.fad = in.control.fad;
    s.fcd = in.control.fcd;
    s.angularRange = s.tomosynthesis ? in.control.angularRange : 0.0;
    s.fieldX = in.control.fieldX;
    s.fieldY = in.control.fieldY;
    s.phantomX = in.phantom.sizeX;
    s.phantomY = in.phantom.sizeY;
    s.thickness = in.phantom.thickness;
    s.phantom = in.composition.material;
    s.spectrum = raySpectra(in.spectrum);
    return s;
}

} // namespace kv::engine
