#include "kv/engine/run_inputs.h"

#include "kv/common/format.h"
#include "kv/common/installation.h"
#include "kv/common/records.h"
#include "kv/common/temporaries.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sys/statvfs.h>
#include <unistd.h>

namespace kv::engine {

namespace {

template <class F> auto readOrExplain(const std::string& file, F read) {
    try {
        return read();
    } catch (const formats::FileError& e) {
        std::string m = e.what();
        if (m.rfind(e.file, 0) == 0) m.erase(0, e.file.size());
        if (m.rfind(", ", 0) == 0 || m.rfind(": ", 0) == 0) m.erase(0, 2);
        throw InputError(e.file, m);
    } catch (const RecordError& e) {
        throw InputError(e.file.empty() ? file : e.file, e.what());
    }
}

std::string cm(double v) {
    return plainDecimal(v) + " cm";
}

// A text that goes into the result file's one-line header fields.
bool oneLine(const std::string& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
    return true;
}

bool distance(double v) {
    return v > 0 && v <= kMaxDistance;
}

void checkRoom(const RunInputs& in);
void checkSpectrum(const RunInputs& in);

// A result file of the largest grid, twice over: the temporary and the old file.
constexpr unsigned long long kResultRoom = 2ull * 16 * 1024 * 1024;

} // namespace

RunInputs readRunInputs(const std::filesystem::path& dir, ExposureKind kind) {
    RunInputs in;
    in.kind = kind;
    const std::string mc(formats::kControlFileName), ph(formats::kPhantomFileName);
    in.control = readOrExplain(mc, [&] { return formats::readControlFile(dir); });
    in.phantom = readOrExplain(ph, [&] { return formats::readPhantomFile(dir); });
    in.equipment = readOrExplain(formats::kEquipmentFileName, [&] { return formats::readEquipment(dir); });
    in.spectrum = readOrExplain(formats::kSpectrumFileName, [&] { return formats::readSpectrumFile(dir); });
    formats::applySpectrumExactFile(dir, in.spectrum);
    try {
        in.geometry = formats::readGeometry(dir);
    } catch (const RecordError& e) {
        // what() already begins with the file name.
        std::string m = e.what(), prefix = std::string(formats::kGeometryFileName);
        if (m.rfind(prefix, 0) == 0) m.erase(0, prefix.size());
        if (m.rfind(", ", 0) == 0 || m.rfind(": ", 0) == 0) m.erase(0, 2);
        throw InputError(formats::kGeometryFileName, m);
    }

    const formats::ControlFile& c = in.control;
    if (!(c.histories >= 1.0))
        throw InputError(mc, "line 7 asks for " + plainDecimal(c.histories) +
                                 " photon histories; at least 1 is needed");
    if (c.histories > kMaxHistories)
        throw InputError(mc, "line 7 asks for " + format(c.histories, "0.0E+00") +
                                 " photon histories; at most 1.0E+11 can be run at once");
    if (c.histories != std::floor(c.histories))
        throw InputError(mc, "line 7 asks for " + plainDecimal(c.histories) +
                                 " photon histories; a whole number is needed");
    in.histories = static_cast<uint64_t>(std::llround(c.histories));
    if (!isBareFileName(c.resultFile))
        throw InputError(mc, "line 8, the result file name \"" + c.resultFile +
                                 "\", is not a name in the working directory");
    std::string ext(formats::kResultExtension);
    if (c.resultFile.size() < ext.size() ||
        c.resultFile.compare(c.resultFile.size() - ext.size(), ext.size(), ext) != 0)
        throw InputError(mc, "line 8, the result file name \"" + c.resultFile + "\", does not end in " + ext);
    if (!(c.fieldX > 0 && c.fieldY > 0 && c.fieldX <= 100 && c.fieldY <= 100))
        throw InputError(mc, "the field size " + plainDecimal(c.fieldX) + " x " + plainDecimal(c.fieldY) +
                                 " cm (lines 1 and 2) cannot be used");
    if (!distance(c.fid))
        throw InputError(mc,
                         "the FID of " + cm(c.fid) + " (line 3) must lie between 0 and " + cm(kMaxDistance));
    if (!distance(c.fcd))
        throw InputError(mc,
                         "the FCD of " + cm(c.fcd) + " (line 5) must lie between 0 and " + cm(kMaxDistance));
    if (!(c.fad > 0 && c.fad <= c.fid))
        throw InputError(mc, "the FAD of " + cm(c.fad) + " (line 4) must lie between 0 and the FID of " +
                                 cm(c.fid));
    if (!std::isfinite(c.angularRange) ||
        (kind == ExposureKind::Tomosynthesis && !(std::fabs(c.angularRange) <= kMaxAngularRange)))
        throw InputError(mc, "the angular range of " + plainDecimal(c.angularRange) +
                                 " deg (line 6) exceeds " + plainDecimal(kMaxAngularRange) + " deg");
    if (!oneLine(c.equipmentName))
        throw InputError(
            mc, "line 9, the equipment name, holds a control character (a line end inside the line?)");

    const formats::PhantomFile& p = in.phantom;
    if (!oneLine(p.fractionText))
        throw InputError(
            ph, "line 1, the glandular fraction, holds a control character (a line end inside the line?)");
    if (in.geometry.model == formats::BreastModel::Protocol) {
        // The half-cylinder of the protocol breast: Phantom.dat gives its
        // thickness, Geometry.dat the rest; no composition file is read.
        if (!(p.thickness >= kMinProtocolThickness && p.thickness <= kMaxProtocolThickness))
            throw InputError(ph, "the breast thickness of " + cm(p.thickness) +
                                     " (line 5) lies outside 2 to 11 cm, the protocol breast model's range");
        if (!(p.thickness - 2 * in.geometry.adiposeMm / 10 >= kVoxel - 1e-9))
            throw InputError(formats::kGeometryFileName,
                             "the adipose layers of " + plainDecimal(in.geometry.adiposeMm) +
                                 " mm top and bottom " + "leave no inner region in a " + cm(p.thickness) +
                                 " breast");
        checkRoom(in);
        checkSpectrum(in);
        return in;
    }
    if (!(p.thickness >= kMinThickness && p.thickness <= kMaxThickness))
        throw InputError(ph, "the phantom thickness of " + cm(p.thickness) +
                                 " (line 5) lies outside 0.1 to 6.0 cm");
    if (!(p.sizeX > 0 && p.sizeX <= 15 && p.sizeY > 0 && p.sizeY <= 15))
        throw InputError(ph, "the phantom size " + plainDecimal(p.sizeX) + " x " + plainDecimal(p.sizeY) +
                                 " cm (lines 3 and 4) exceeds the 15 x 15 cm voxel grid");
    const double refX = 2 * kRefXEnd * kVoxel, refY = kRefYEnd * kVoxel;
    if (p.sizeX < refX - 1e-9 || p.sizeY < refY - 1e-9)
        throw InputError(ph, "the phantom size " + plainDecimal(p.sizeX) + " x " + plainDecimal(p.sizeY) +
                                 " cm (lines 3 and 4) does not hold the reference region of the dose, " +
                                 plainDecimal(refX) + " x " + plainDecimal(refY) +
                                 " cm from the chest-wall edge");
    checkRoom(in);
    if (!isBareFileName(p.compositionFile))
        throw InputError(ph, "line 2 names \"" + p.compositionFile +
                                 "\", which is not a file of the working directory");
    // The shipped compositions, unless the working folder holds its own.
    in.composition = readOrExplain(p.compositionFile, [&] {
        return formats::readCompositionFile(dataFileDir(dir, p.compositionFile), p.compositionFile);
    });
    double fraction = parseNumber(p.fractionText);
    if (std::fabs(in.composition.glandularFraction - fraction) > 1e-9)
        throw InputError(p.compositionFile, "holds the glandular fraction " +
                                                plainDecimal(in.composition.glandularFraction) + " %, but " +
                                                ph + " asks for " + p.fractionText + " %");
    checkSpectrum(in);
    return in;
}

namespace {

void checkRoom(const RunInputs& in) {
    const formats::ControlFile& c = in.control;
    const double thickness = in.phantom.thickness;
    double room =
        c.fid - kSupportToDetector - in.geometry.supportMm / 10 - thickness - in.geometry.paddleMm / 10;
    if (!(room > 1.0))
        throw InputError(std::string(formats::kControlFileName),
                         "the FID of " + cm(c.fid) + " (line 3) leaves no room for the support, the " +
                             plainDecimal(thickness) + " cm phantom and the paddle");
}

void checkSpectrum(const RunInputs& in) {
    const formats::SpectrumFileContents& sp = in.spectrum;
    for (double v : {sp.tubeVoltage, sp.targetAngle, sp.tubeTiltAngle, sp.beryllium, sp.aluminum,
                     sp.molybdenum, sp.rhodium, sp.silver, sp.airLayer})
        if (!std::isfinite(v))
            throw InputError(formats::kSpectrumFileName,
                             "its header holds a value that is not a finite number");
    for (int k = 1; k < formats::kColumns; ++k)
        for (int i = 0; i < formats::kBins; ++i)
            if (!(std::isfinite(sp.table[k][i]) && sp.table[k][i] >= 0))
                throw InputError(formats::kSpectrumFileName, "the share of ray " + std::to_string(k) +
                                                                 " at " +
                                                                 plainDecimal(formats::binEnergy(i)) +
                                                                 " keV is not a finite number of 0 or more");
    RaySpectra rays = raySpectra(in.spectrum);
    double total = 0;
    for (const auto& w : rays.weights)
        for (double v : w)
            total += v;
    if (!(total > 0 && std::isfinite(total)))
        throw InputError(formats::kSpectrumFileName, "the spectrum holds no photons above 1 keV");
}

} // namespace

void requireWritableFolder(const std::filesystem::path& dir, const std::string& resultFile) {
    const std::string folder = "the working folder";
    std::string tmp = (dir / temporaryTemplate(resultFile)).string();
    int fd = ::mkstemp(tmp.data());
    if (fd < 0) {
        const int e = errno;
        throw InputError(resultFile, "cannot be written in " + folder + " (" + std::strerror(e) + ")");
    }
    const bool wrote = ::write(fd, "x", 1) == 1;
    ::close(fd);
    ::unlink(tmp.c_str());
    if (!wrote) throw InputError(resultFile, "cannot be written in " + folder);
    struct statvfs fs {};
    if (::statvfs(dir.c_str(), &fs) == 0 &&
        static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize < kResultRoom)
        throw InputError(resultFile, "cannot be written: " + folder + " has less than 32 MB free");
}

RunInputs checkRunStart(const std::filesystem::path& dir, ExposureKind kind) {
    RunInputs in = readRunInputs(dir, kind);
    requireWritableFolder(dir, in.control.resultFile);
    return in;
}

RaySpectra raySpectra(const formats::SpectrumFileContents& s) {
    RaySpectra r;
    r.rayWidthDeg = 0.5;
    int first = static_cast<int>(std::ceil(kMinEnergy / 0.2 - 1e-9));
    for (int i = first; i < formats::kBins; ++i)
        r.energies.push_back(formats::binEnergy(i));
    for (int k = 1; k < formats::kColumns; ++k) {
        std::vector<double> w;
        for (int i = first; i < formats::kBins; ++i)
            w.push_back(std::fmax(0.0, s.table[k][i]));
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
    if (in.geometry.model == formats::BreastModel::Protocol) {
        s.phantom = materials::breastTissue(in.geometry.glandularPercent);
        s.protocol = ProtocolBreast{kProtocolRadius, in.geometry.adiposeMm / 10, materials::adipose()};
        s.platesScatter = in.geometry.plates == formats::PlateMode::Full;
    }
    auto plate = [](formats::PlateMaterial m) {
        return m == formats::PlateMaterial::Pmma ? materials::pmma() : materials::polycarbonate();
    };
    // Divided, so that the usual plates are the very constants (1.5 / 10 == 0.15).
    s.paddleThickness = in.geometry.paddleMm / 10;
    s.paddle = plate(in.geometry.paddleMaterial);
    s.supportThickness = in.geometry.supportMm / 10;
    s.support = plate(in.geometry.supportMaterial);
    s.spectrum = raySpectra(in.spectrum);
    return s;
}

} // namespace kv::engine
