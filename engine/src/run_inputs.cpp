#include "kv/engine/run_inputs.h"

#include "kv/common/format.h"
#include "kv/common/installation.h"
#include "kv/common/records.h"
#include "kv/common/temporaries.h"
#include "kv/common/typed_number.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace kv::engine {

namespace {

using Input = texts::EngineInputTexts;

// A fault of a file the formats module read: its own detailed English
// ("<file>: line 16: ..."), and the Japanese edition's sentence naming the
// file and the line.
template <class TextsOf> InputError fileFault(const formats::FileError& e, TextsOf textsOf) {
    std::string m = e.what();
    if (m.rfind(e.file, 0) == 0) m.erase(0, e.file.size());
    if (m.rfind(", ", 0) == 0 || m.rfind(": ", 0) == 0) m.erase(0, 2);
    return InputError(e.file, e.file + ": " + m, formats::describe(e, textsOf(texts::Edition::Japanese)));
}

template <class F> auto readOrExplain(const std::string& file, F read) {
    try {
        return read();
    } catch (const formats::FileError& e) {
        throw fileFault(e, texts::spectrumFileTextsOf);
    } catch (const RecordError& e) {
        throw InputError(e.file.empty() ? file : e.file, e.what());
    }
}

// A text that goes into the result file's one-line header fields.
bool oneLine(const std::string& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
    return true;
}

bool distance(double v) {
    return v >= kMinDistance && v <= kMaxDistance;
}

void checkRoom(const RunInputs& in);
void checkSpectrum(const RunInputs& in);

// A result file of the largest grid, twice over: the temporary and the old file.
constexpr unsigned long long kResultRoom = 2ull * 16 * 1024 * 1024;

} // namespace

InputError::InputError(std::string fileName, const std::string& problem)
    : std::runtime_error(fileName + ": " + problem), file(std::move(fileName)), english_(what()),
      japanese_(what()) {}

InputError::InputError(std::string fileName, std::string english, std::string japanese)
    : std::runtime_error(english), file(std::move(fileName)), english_(std::move(english)),
      japanese_(std::move(japanese)) {}

namespace {
std::string worded(const texts::EngineTexts& t, const std::string& file, texts::Text Input::*reason,
                   std::initializer_list<std::pair<std::string_view, std::string>> keys) {
    std::vector<std::pair<std::string_view, std::string_view>> pairs(keys.begin(), keys.end());
    const std::string problem = fillIn(std::string((t.inputs.*reason).view()), pairs);
    return fillIn(std::string(t.inputs.refusal.view()),
                  {{"{file}", shownText(file)}, {"{problem}", problem}});
}
} // namespace

InputError::InputError(std::string fileName, texts::Text Input::*reason,
                       std::initializer_list<std::pair<std::string_view, std::string>> keys)
    : InputError(fileName, worded(texts::englishEngineTexts, fileName, reason, keys),
                 worded(texts::japaneseEngineTexts, fileName, reason, keys)) {}

RunInputs readRunInputs(const std::filesystem::path& dir, ExposureKind kind) {
    RunInputs in;
    in.kind = kind;
    const std::string mc(formats::kControlFileName), ph(formats::kPhantomFileName);
    in.control = readOrExplain(mc, [&] { return formats::readControlFile(dir); });
    in.phantom = readOrExplain(ph, [&] { return formats::readPhantomFile(dir); });
    in.equipment = readOrExplain(formats::kEquipmentFileName, [&] { return formats::readEquipment(dir); });
    in.spectrum = readOrExplain(formats::kSpectrumFileName, [&] { return formats::readSpectrumFile(dir); });
    readOrExplain(formats::kSpectrumExactFileName,
                  [&] { return formats::applySpectrumExactFile(dir, in.spectrum); });
    try {
        in.geometry = formats::readGeometry(dir);
    } catch (const formats::FileError& e) {
        throw fileFault(e, texts::settingsFileTextsOf);
    } catch (const RecordError& e) {
        throw InputError(formats::kGeometryFileName, e.what());
    }

    const formats::ControlFile& c = in.control;
    if (!(c.histories >= 1.0))
        throw InputError(mc, &Input::historiesTooFew, {{"{value}", plainDecimal(c.histories)}});
    if (c.histories > kMaxHistories)
        throw InputError(
            mc, &Input::historiesTooMany,
            {{"{value}", format(c.histories, "0.0E+00")}, {"{max}", format(kMaxHistories, "0.0E+00")}});
    if (c.histories != std::floor(c.histories))
        throw InputError(mc, &Input::historiesNotWhole, {{"{value}", plainDecimal(c.histories)}});
    in.histories = static_cast<uint64_t>(std::llround(c.histories));
    if (!isBareFileName(c.resultFile))
        throw InputError(mc, &Input::resultNameNotInFolder, {{"{name}", shownText(c.resultFile)}});
    std::string ext(formats::kResultExtension);
    if (c.resultFile.size() < ext.size() ||
        c.resultFile.compare(c.resultFile.size() - ext.size(), ext.size(), ext) != 0)
        throw InputError(mc, &Input::resultNameExtension,
                         {{"{name}", shownText(c.resultFile)}, {"{ext}", ext}});
    // A side so small that no photon reaches the field would only fail later, without naming MC.dat.
    const auto side = [](double v) { return v >= kMinFieldSide && v <= kMaxFieldSide; };
    if (!side(c.fieldX) || !side(c.fieldY))
        throw InputError(mc, &Input::fieldSize,
                         {{"{x}", plainDecimal(c.fieldX)},
                          {"{y}", plainDecimal(c.fieldY)},
                          {"{min}", plainDecimal(kMinFieldSide)},
                          {"{max}", plainDecimal(kMaxFieldSide)}});
    if (!distance(c.fid))
        throw InputError(mc, &Input::fidRange,
                         {{"{value}", plainDecimal(c.fid)},
                          {"{min}", plainDecimal(kMinDistance)},
                          {"{max}", plainDecimal(kMaxDistance)}});
    if (!distance(c.fcd))
        throw InputError(mc, &Input::fcdRange,
                         {{"{value}", plainDecimal(c.fcd)},
                          {"{min}", plainDecimal(kMinDistance)},
                          {"{max}", plainDecimal(kMaxDistance)}});
    if (!(c.fad >= kMinDistance && c.fad <= c.fid))
        throw InputError(mc, &Input::fadRange,
                         {{"{value}", plainDecimal(c.fad)},
                          {"{min}", plainDecimal(kMinDistance)},
                          {"{fid}", plainDecimal(c.fid)}});
    if (!std::isfinite(c.angularRange) ||
        (kind == ExposureKind::Tomosynthesis && !(std::fabs(c.angularRange) <= kMaxAngularRange)))
        throw InputError(
            mc, &Input::angularRange,
            {{"{value}", plainDecimal(c.angularRange)}, {"{max}", plainDecimal(kMaxAngularRange)}});
    if (!oneLine(c.equipmentName)) throw InputError(mc, &Input::equipmentControl);
    if (kind == ExposureKind::Tomosynthesis && in.geometry.rotationAxisCm &&
        !(*in.geometry.rotationAxisCm < c.fid))
        throw InputError(
            formats::kGeometryFileName, &Input::rotationAxisAtFocus,
            {{"{value}", plainDecimal(*in.geometry.rotationAxisCm)}, {"{fid}", plainDecimal(c.fid)}});

    const formats::PhantomFile& p = in.phantom;
    if (!oneLine(p.fractionText)) throw InputError(ph, &Input::fractionControl);
    if (in.geometry.model == formats::BreastModel::Protocol) {
        // The half-cylinder of the protocol breast: Phantom.dat gives its
        // thickness, Geometry.dat the rest; no composition file is read.
        if (!(p.thickness >= kMinProtocolThickness && p.thickness <= kMaxProtocolThickness))
            throw InputError(ph, &Input::protocolThickness, {{"{value}", plainDecimal(p.thickness)}});
        if (!(p.thickness - 2 * in.geometry.adiposeMm / 10 >= kVoxel - 1e-9))
            throw InputError(
                formats::kGeometryFileName, &Input::adiposeLayers,
                {{"{adipose}", plainDecimal(in.geometry.adiposeMm)}, {"{value}", plainDecimal(p.thickness)}});
        checkRoom(in);
        checkSpectrum(in);
        return in;
    }
    if (!(p.thickness >= kMinThickness && p.thickness <= kMaxThickness))
        throw InputError(ph, &Input::thickness, {{"{value}", plainDecimal(p.thickness)}});
    if (!(p.sizeX > 0 && p.sizeX <= 15 && p.sizeY > 0 && p.sizeY <= 15))
        throw InputError(ph, &Input::phantomSizeGrid,
                         {{"{x}", plainDecimal(p.sizeX)}, {"{y}", plainDecimal(p.sizeY)}});
    const double refX = 2 * kRefXEnd * kVoxel, refY = kRefYEnd * kVoxel;
    if (p.sizeX < refX - 1e-9 || p.sizeY < refY - 1e-9)
        throw InputError(ph, &Input::phantomSizeReference,
                         {{"{x}", plainDecimal(p.sizeX)},
                          {"{y}", plainDecimal(p.sizeY)},
                          {"{rx}", plainDecimal(refX)},
                          {"{ry}", plainDecimal(refY)}});
    checkRoom(in);
    if (!isBareFileName(p.compositionFile))
        throw InputError(ph, &Input::compositionName, {{"{name}", shownText(p.compositionFile)}});
    // The shipped compositions, unless the working folder holds its own.
    in.composition = readOrExplain(p.compositionFile, [&] {
        return formats::readCompositionFile(dataFileDir(dir, p.compositionFile), p.compositionFile);
    });
    double fraction = parseNumber(p.fractionText);
    if (std::fabs(in.composition.glandularFraction - fraction) > 1e-9)
        throw InputError(p.compositionFile, &Input::compositionFraction,
                         {{"{value}", plainDecimal(in.composition.glandularFraction)},
                          {"{phantom}", ph},
                          {"{asked}", shownText(p.fractionText)}});
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
        throw InputError(std::string(formats::kControlFileName), &Input::noRoom,
                         {{"{value}", plainDecimal(c.fid)}, {"{thickness}", plainDecimal(thickness)}});
}

void checkSpectrum(const RunInputs& in) {
    const formats::SpectrumFileContents& sp = in.spectrum;
    for (double v : {sp.tubeVoltage, sp.targetAngle, sp.tubeTiltAngle, sp.beryllium, sp.aluminum,
                     sp.molybdenum, sp.rhodium, sp.silver, sp.airLayer})
        if (!std::isfinite(v)) throw InputError(formats::kSpectrumFileName, &Input::spectrumHeaderNotFinite);
    for (int k = 1; k < formats::kColumns; ++k)
        for (int i = 0; i < formats::kBins; ++i)
            if (!(std::isfinite(sp.table[k][i]) && sp.table[k][i] >= 0))
                throw InputError(
                    formats::kSpectrumFileName, &Input::spectrumShare,
                    {{"{ray}", std::to_string(k)}, {"{energy}", plainDecimal(formats::binEnergy(i))}});
    RaySpectra rays = raySpectra(in.spectrum);
    double total = 0;
    for (const auto& w : rays.weights)
        for (double v : w)
            total += v;
    if (!(total > 0 && std::isfinite(total)))
        throw InputError(formats::kSpectrumFileName, &Input::spectrumNoPhotons);
}

} // namespace

void requireWritableFolder(const std::filesystem::path& dir, const std::string& resultFile) {
    std::string tmp = (dir / temporaryTemplate(resultFile)).string();
    int fd = ::mkstemp(tmp.data());
    if (fd < 0) {
        const int e = errno;
        throw InputError(resultFile, e == EACCES || e == EPERM || e == EROFS ? &Input::folderProtected
                                     : e == ENOSPC || e == EDQUOT            ? &Input::folderFull
                                                                             : &Input::folderRefuses);
    }
    const bool wrote = ::write(fd, "x", 1) == 1;
    ::close(fd);
    ::unlink(tmp.c_str());
    if (!wrote) throw InputError(resultFile, &Input::folderFull);
    struct statvfs fs {};
    if (::statvfs(dir.c_str(), &fs) == 0 &&
        static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize < kResultRoom)
        throw InputError(resultFile, &Input::folderFull);
}

RunInputs checkRunStart(const std::filesystem::path& dir, ExposureKind kind) {
    RunInputs in = readRunInputs(dir, kind);
    requireReplaceableResult(dir, in.control.resultFile);
    requireHeaderCodePage(in);
    requireDoseFromSpectrum(in);
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
    if (s.tomosynthesis) {
        const formats::Geometry& g = in.geometry;
        // The focus turns about the axis: FAD is its distance from it.
        if (g.rotationAxisCm) s.fad = s.fid - *g.rotationAxisCm;
        s.projections = g.projections;
        s.projectionLoading = g.projectionLoading;
        s.singleAngle = g.projectionAngle;
        s.detectorX = g.detectorWidthCm;
        s.detectorY = g.detectorDepthCm;
    }
    s.fieldX = in.control.fieldX;
    s.fieldY = in.control.fieldY;
    s.phantomX = in.phantom.sizeX;
    s.phantomY = in.phantom.sizeY;
    s.thickness = in.phantom.thickness;
    s.phantom = in.composition.material;
    if (in.geometry.model == formats::BreastModel::Protocol) {
        s.phantom = materials::breastTissue(in.geometry.glandularPercent);
        s.protocol = ProtocolBreast{kProtocolRadius, in.geometry.adiposeMm / 10, materials::adipose(),
                                    in.geometry.adiposeRimMm / 10};
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
