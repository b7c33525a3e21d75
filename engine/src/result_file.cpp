#include "kv/engine/result_file.h"

#include "kv/common/content_hash.h"
#include "kv/common/format.h"
#include "kv/common/records.h"
#include "kv/common/version.h"
#include "kv/formats/result_file.h"
#include "kv/formats/run_header.h"
#include "kv/formats/voxel_sigma_file.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <system_error>

namespace kv::engine {

namespace {

// A setting at the precision it was given, and at least at the header's:
// the exact filter of a matched HVL (0.631 mm) is not rounded to 0.63, and a
// length reads "1.5", "2.0", "2.75", so that the header agrees with the run.
std::string given(double v, int decimals) {
    std::string s = plainDecimal(v);
    if (!std::isfinite(v) || s.find('E') != std::string::npos)
        return format(v, "0." + std::string(decimals, '0'));
    const size_t point = s.find('.');
    const int has = point == std::string::npos ? 0 : static_cast<int>(s.size() - point - 1);
    if (point == std::string::npos) s += '.';
    return s + std::string(static_cast<size_t>(std::max(0, decimals - has)), '0');
}

// Whether an uncertainty, known (above 0), is within its target.
bool withinTarget(double target, double reached) {
    return reached > 0 && reached <= target;
}

std::string percent(double rel) {
    return format(rel * 100.0, "0.00") + " %";
}

} // namespace

std::vector<std::string> describeRun(const RunInputs& in, const WorkbenchResult& r) {
    const bool tomo = in.kind == ExposureKind::Tomosynthesis;
    const auto& s = in.spectrum;
    const auto& c = in.control;
    std::vector<std::string> l;
    l.push_back(" Equipment: " + c.equipmentName);
    const char* anode = s.target == formats::TargetMaterial::Molybdenum ? " Molybdenum"
                        : s.target == formats::TargetMaterial::Tungsten ? " Tungsten"
                                                                        : " Rhodium";
    l.push_back(std::string(anode) + " target, tube voltage " + given(s.tubeVoltage, 1) + " kV");
    l.push_back(" Target angle " + given(s.targetAngle, 1) + " deg, tube tilt angle " +
                given(s.tubeTiltAngle, 1) + " deg");
    l.push_back(" Filters: Be " + given(s.beryllium, 2) + " mm, Al " + given(s.aluminum, 2) + " mm, Mo " +
                given(s.molybdenum, 3) + " mm, Rh " + given(s.rhodium, 3) + " mm, Ag " + given(s.silver, 3) +
                " mm; air layer " + given(s.airLayer, 1) + " cm");
    const formats::Geometry& g = in.geometry;
    const bool protocol = g.model == formats::BreastModel::Protocol;
    if (protocol)
        l.push_back(
            " Protocol breast: half-cylinder of " + format(kProtocolRadius, "0.0") + " cm radius, " +
            given(in.phantom.thickness, 1) + " cm, " + given(g.adiposeMm, 1) + " mm adipose top and bottom" +
            (g.adiposeRimMm != 0 ? ", " + given(g.adiposeRimMm, 1) + " mm round the curved edge" : "") +
            ", inner " + plainDecimal(g.glandularPercent) + " % glandular (" +
            format(materials::breastTissue(g.glandularPercent).density, "0.0000") + " g/cm3)");
    else
        l.push_back(" Phantom: " + given(in.phantom.sizeX, 1) + " x " + given(in.phantom.sizeY, 1) + " x " +
                    given(in.phantom.thickness, 1) + " cm, glandular fraction " + in.phantom.fractionText +
                    " % (" + in.phantom.compositionFile + ", " +
                    format(in.composition.material.density, "0.0000") + " g/cm3)");
    l.push_back(" Compression paddle " + given(g.paddleMm, 1) + " mm " +
                std::string(formats::materialName(g.paddleMaterial)) + "; breast support " +
                given(g.supportMm, 1) + " mm " + std::string(formats::materialName(g.supportMaterial)) +
                ", 1.5 cm above the detector" +
                (g.plates == formats::PlateMode::Absorbing ? "; both attenuate only" : ""));
    const WorkbenchSetup setup = workbenchSetup(in);
    const FieldGeometry field = fieldGeometry(setup);
    l.push_back(" FID " + given(c.fid, 1) + " cm, FCD " + given(c.fcd, 1) + " cm, field " +
                format(field.x1 - field.x0, "0.0") + " x " + format(field.y1 - field.y0, "0.0") +
                " cm at the detector");
    if (tomo) {
        const std::string axis = g.rotationAxisCm
                                     ? "the axis " + given(*g.rotationAxisCm, 1) + " cm above the detector"
                                     : "the axis FAD = " + given(c.fad, 1) + " cm below it";
        if (g.projectionAngle)
            l.push_back(" Tomosynthesis: one projection at " + given(*g.projectionAngle, 1) +
                        " deg, focus on an arc about " + axis);
        else if (g.projections >= 2)
            l.push_back(" Tomosynthesis: " + std::to_string(g.projections) + " projections from -" +
                        given(std::fabs(c.angularRange), 1) + " to +" + given(std::fabs(c.angularRange), 1) +
                        " deg, " + (g.projectionLoading.empty() ? "equal" : "Geometry.dat's") +
                        " loading, focus on an arc about " + axis);
        else
            l.push_back(" Tomosynthesis: tube angle uniform in +-" + given(std::fabs(c.angularRange), 1) +
                        " deg, focus on an arc about " + axis);
        l.push_back(" Detector and field fixed; air kerma for the tube at 0 deg");
    }
    std::string ending = r.maps ? "" : ", no maps";
    if (r.stopped) ending += " (stopped and saved)";
    // Each target by the result's own uncertainty, whether or not it ended the run.
    auto target = [](const char* what, double goal, double reached) {
        return std::string(what) + " target " + percent(goal) +
               (withinTarget(goal, reached) ? " reached" : " not reached");
    };
    if (r.targetRelSigma > 0 && r.mapTargetRelSigma > 0)
        ending += " (" + target("sAGD", r.targetRelSigma, r.columnRelSigma) + ", " +
                  target("map", r.mapTargetRelSigma, r.mapRelSigma) + ")";
    else if (r.targetRelSigma > 0)
        ending += " (" + target("sAGD", r.targetRelSigma, r.columnRelSigma) + ")";
    else if (r.mapTargetRelSigma > 0)
        ending += " (" + target("map", r.mapTargetRelSigma, r.mapRelSigma) + ")";
    l.push_back(" Histories: " + format(static_cast<double>(in.histories), "0.0E+00") + " asked, " +
                std::to_string(r.histories) + " done" + ending);
    l.push_back(" Random seed: " + std::to_string(r.seed) + " (one stream per batch of " +
                std::to_string(kBatchSize) + " histories" +
                (r.quasiRandom ? "; quasi-random source points)" : ")"));
    double rate = r.seconds > 0 ? static_cast<double>(r.histories) / r.seconds : 0.0;
    l.push_back(" Run time: " + format(r.seconds, "0.0") + " s on " +
                (r.processes > 1 ? std::to_string(r.processes) + " processes of " : std::string()) +
                std::to_string(r.threads) + " threads, " + format(rate, "0.00E+00") + " histories/s");
    // The results screens read this line back.
    l.push_back(formats::uncertaintyLine(r.referenceRelSigma, r.columnRelSigma, r.mapRelSigma));
    l.push_back(
        " Dose: glandular dose in eV/g per history; air kerma in free space at the FCD in the same unit");
    l.push_back(" Primary: first interaction of photons straight from the focus; scatter: everything after a "
                "scatter");
    l.push_back(
        " Physics 1-50 keV: photoelectric (fluorescence neglected), coherent, incoherent; electrons local");
    return l;
}

std::vector<formats::TrailerEntry> describeScanTrailer(const RunInputs& in, const WorkbenchResult& r) {
    namespace key = formats::trailer;
    using formats::trailerEntry;
    const formats::Geometry& g = in.geometry;
    const WorkbenchSetup setup = workbenchSetup(in);
    const double ks = r.airKermaSurface;
    std::vector<formats::TrailerEntry> t;
    const bool single = setup.singleAngle.has_value(), step = !single && !r.projectionDose.empty();
    t.push_back(trailerEntry(key::kScan, single ? "single" : step ? "step" : "continuous"));
    t.push_back(trailerEntry(key::kProjections, single ? 1 : step ? g.projections : 0));
    std::vector<double> angles, shares, mgd, mgdSigma;
    if (single) {
        angles = {*setup.singleAngle}, shares = {1.0};
        mgd = {r.breastDose / ks}, mgdSigma = {100 * r.breastRelSigma};
    } else if (step) {
        angles = scanAngles(g.projections, std::fabs(setup.angularRange));
        shares = r.loadingShares;
        for (size_t i = 0; i < shares.size(); ++i) {
            // A projection without loading has no dose per its loading: 0.
            mgd.push_back(shares[i] > 0 ? r.projectionDose[i] / (shares[i] * ks) : 0.0);
            mgdSigma.push_back(100 * r.projectionRelSigma[i]);
        }
    }
    if (!angles.empty()) {
        t.push_back(trailerEntry(key::kProjectionAngles, angles));
        t.push_back(trailerEntry(key::kProjectionLoading, shares));
    }
    t.push_back(trailerEntry(key::kRotationAxisCm, setup.fid - setup.fad));
    t.push_back(trailerEntry(key::kMgdPerKSurface0deg, r.breastDose / ks));
    t.push_back(trailerEntry(key::kMgdPerKSurface0degSigmaPercent, 100 * r.breastRelSigma));
    if (angles.empty()) return t;
    t.push_back(trailerEntry(key::kMgdPerKSurfaceI, mgd));
    t.push_back(trailerEntry(key::kMgdPerKSurfaceISigmaPercent, mgdSigma));
    // t against the scan's own 0 deg projection, where it has one with loading.
    const auto zero = std::find(angles.begin(), angles.end(), 0.0);
    const size_t z = static_cast<size_t>(zero - angles.begin());
    if (!step || zero == angles.end() || !(shares[z] > 0) || !(r.projectionDose[z] > 0) || r.histories < 2)
        return t;
    const double n1 = static_cast<double>(r.histories - 1);
    const double d0 = r.projectionDose[z], q0 = r.projectionSquares[z] / (d0 * d0);
    std::vector<double> ti, tiSigma;
    for (size_t i = 0; i < shares.size(); ++i) {
        ti.push_back(mgd[i] / mgd[z]);
        // The two projections' histories are disjoint: per history the
        // scores' covariance is -d_i d_0, which the squares' form takes in.
        const double di = r.projectionDose[i];
        const double rel =
            i == z || !(di > 0) ? 0.0 : std::sqrt((r.projectionSquares[i] / (di * di) + q0) / n1);
        tiSigma.push_back(100 * rel);
    }
    // T = D / (d_0 / alpha_0), the whole scan over the 0 deg projection,
    // which it holds: the ratio's variance with their covariance.
    const double D = r.breastDose;
    const double tScan = D / ks / mgd[z];
    const double relT = std::sqrt(
        std::fmax(0.0, r.breastSquares / (D * D) + q0 - 2 * r.projectionSquares[z] / (D * d0)) / n1);
    t.push_back(trailerEntry(key::kTI, ti));
    t.push_back(trailerEntry(key::kTISigmaPercent, tiSigma));
    t.push_back(trailerEntry(key::kTScan, tScan));
    t.push_back(trailerEntry(key::kTScanSigmaPercent, 100 * relT));
    return t;
}

std::vector<formats::TrailerEntry> describeRunTrailer(const RunInputs& in, const WorkbenchResult& r) {
    namespace key = formats::trailer;
    using formats::trailerEntry;
    const formats::Geometry& g = in.geometry;
    const bool protocol = g.model == formats::BreastModel::Protocol;
    const double mgd = r.breastDose / r.airKerma;
    // One line per key, in the order of formats::kTrailerKeys.
    std::vector<formats::TrailerEntry> t = {
        trailerEntry(key::kEngineVersion, std::string(version())),
        trailerEntry(key::kPhysicsRevision, kPhysicsRevision),
        trailerEntry(key::kBreastModel, protocol ? "protocol" : "workbench"),
        trailerEntry(key::kGlandularPercent,
                     protocol ? plainDecimal(g.glandularPercent) : in.phantom.fractionText),
        trailerEntry(key::kPlates, g.plates == formats::PlateMode::Absorbing ? "absorbing" : "full"),
        trailerEntry(key::kSeed, r.seed),
        trailerEntry(key::kHistories, r.histories),
        trailerEntry(key::kKFcdPaddlePerKFcd, r.airKermaPaddle / r.airKerma),
        trailerEntry(key::kKSurfacePerKFcd, r.airKermaSurface / r.airKerma),
        trailerEntry(key::kKSurface40mmPerKFcd, r.airKermaSurface40mm / r.airKerma),
        trailerEntry(key::kKSurface60mmPerKFcd, r.airKermaSurface60mm / r.airKerma),
        trailerEntry(key::kMgdPerKFcd, mgd),
        trailerEntry(key::kMgdPerKFcdPaddle, r.breastDose / r.airKermaPaddle),
        trailerEntry(key::kMgdPerKSurface, r.breastDose / r.airKermaSurface),
        trailerEntry(key::kMgdSigmaPercent, 100 * r.breastRelSigma),
    };
    if (in.kind == ExposureKind::Tomosynthesis) {
        const std::vector<formats::TrailerEntry> scan = describeScanTrailer(in, r);
        t.insert(t.end(), scan.begin(), scan.end());
    }
    const std::vector<formats::TrailerEntry> rest = {
        trailerEntry(key::kSagd, r.columnDose / r.airKerma),
        trailerEntry(key::kSagdSigmaPercent, 100 * r.columnRelSigma),
        trailerEntry(key::kDose100, r.referenceDose / r.airKerma),
        trailerEntry(key::kDose100SigmaPercent, 100 * r.referenceRelSigma),
        trailerEntry(key::kMaps, r.maps ? "yes" : "no"),
        trailerEntry(key::kSourcePoints, r.quasiRandom ? "quasi-random" : "independent"),
        trailerEntry(key::kVoxelSigmaMedianPercent, 100 * r.mapRelSigma),
    };
    t.insert(t.end(), rest.begin(), rest.end());
    // Each target given, and whether the result is within it.
    auto target = [&](const formats::TrailerKey& percent, const formats::TrailerKey& reached, double goal,
                      double got) {
        t.push_back(trailerEntry(percent, 100 * goal));
        t.push_back(trailerEntry(reached, withinTarget(goal, got) ? "yes" : "no"));
    };
    if (r.targetRelSigma > 0)
        target(key::kSagdTargetPercent, key::kSagdTargetReached, r.targetRelSigma, r.columnRelSigma);
    if (r.mapTargetRelSigma > 0)
        target(key::kMapTargetPercent, key::kMapTargetReached, r.mapTargetRelSigma, r.mapRelSigma);
    if (protocol) {
        t.insert(t.begin() + 4, trailerEntry(key::kAdiposeMm, plainDecimal(g.adiposeMm)));
        // Absent for no rim, so that the files of the bare rim stay as they were.
        if (g.adiposeRimMm != 0)
            t.insert(t.begin() + 5, trailerEntry(key::kAdiposeRimMm, plainDecimal(g.adiposeRimMm)));
    }
    return t;
}

namespace {

// The largest dose value written: "0.0000E+00" rounds to five digits, and
// up at the largest doubles that would read back as infinite.
constexpr double kMaxWrittenValue = std::numeric_limits<double>::max() / 1.001;

// The result as the file will state it, the same tests the workbench's load
// makes of the dose blocks: values that are numbers, an air kerma, a 100 %
// dose (the reference region of layer 1) by which every value is divided
// there. A value below the smallest normal double reads back as 0.
ResultFault faultOf(const WorkbenchResult& r) {
    if (r.histories == 0) return ResultFault::NoHistories;
    auto finite = [](const std::vector<double>& v) {
        return std::all_of(v.begin(), v.end(), [](double x) { return x >= 0 && x <= kMaxWrittenValue; });
    };
    if (!std::isfinite(r.airKerma) || !finite(r.primary) || !finite(r.scatter) ||
        !finite({r.airKermaPaddle, r.airKermaSurface, r.airKermaSurface40mm, r.airKermaSurface60mm,
                 r.breastDose}))
        return ResultFault::NotFinite;
    if (!(r.airKerma > 0 && r.airKermaPaddle > 0 && r.airKermaSurface > 0)) return ResultFault::NoAirKerma;
    const size_t voxels = static_cast<size_t>(kVoxelsX) * kVoxelsY * static_cast<size_t>(r.layers);
    if (r.primary.size() != voxels || r.scatter.size() != voxels) return ResultFault::Unreadable;
    auto asRead = [](double v) { return v >= std::numeric_limits<double>::min() ? v : 0.0; };
    double region = 0, all = 0;
    for (size_t v = 0; v < voxels; ++v) {
        const double d = asRead(r.primary[v]) + asRead(r.scatter[v]);
        const size_t ix = v % kVoxelsX, iy = v / kVoxelsX;
        if (iy >= static_cast<size_t>(kRefYBegin) && iy < static_cast<size_t>(kRefYEnd) &&
            ix < static_cast<size_t>(kRefXEnd))
            region += d;
        all += d;
    }
    const double reference = region / (kRefXEnd * (kRefYEnd - kRefYBegin));
    if (!(reference > 0)) return ResultFault::NoReferenceDose;
    // Values far apart in size can overflow once scaled to percent of the 100 % dose
    // (with room for the rounding of the written digits).
    if (!std::isfinite(100.0 * 1.001 * all / reference)) return ResultFault::NotFinite;
    return ResultFault::None;
}

// One left by an earlier result of this name describes that result, not
// this one (the screens would not show it, but it would puzzle a reader).
void removeStaleVoxelSigma(const std::filesystem::path& workDir, const std::string& resultFile) {
    const std::filesystem::path side = workDir / (resultFile + std::string(formats::kVoxelSigmaExtension));
    std::error_code ec;
    if (std::filesystem::symlink_status(side, ec).type() == std::filesystem::file_type::regular)
        std::filesystem::remove(side, ec);
}

// The file's texts read back from its bytes as the workbench reads them: the
// head (its kind, counts, air kerma and FCD) and the trailer. Their lines
// hold what came from the user's files; the dose blocks between them are
// the writer's own 75 numbers per row, which faultOf has judged.
ResultFault textFault(std::string_view bytes, const std::string& name, int layers) {
    // The head's lines alone (and a few more): a reader of the whole file
    // would copy and scan its megabytes of numbers, which it does not read.
    const size_t kindEnd = bytes.find("\r\n");
    const int headLines = 1 + formats::descriptionLineCount(bytes.substr(0, kindEnd)) + 8;
    size_t headEnd = 0;
    for (int i = 0; i < headLines && headEnd != std::string_view::npos; ++i) {
        headEnd = bytes.find('\n', headEnd);
        if (headEnd != std::string_view::npos) ++headEnd;
    }
    RecordReader head = RecordReader::fromBytes(bytes.substr(0, headEnd), name);
    formats::ResultFileHead h;
    if (formats::LoadFailure f = formats::readResultHead(head, h, formats::kMaxEngineCountZ);
        f != formats::LoadFailure::None)
        return f == formats::LoadFailure::AirKerma ? ResultFault::NoAirKerma : ResultFault::Unreadable;
    if (h.countX != kVoxelsX || h.countY != kVoxelsY || h.countZ != layers) return ResultFault::Unreadable;
    const size_t at = bytes.rfind(std::string("\r\n") + std::string(formats::kTrailerBegin) + "\r\n");
    if (at == std::string_view::npos) return ResultFault::Unreadable;
    RecordReader trailer = RecordReader::fromBytes(bytes.substr(at + 2), name);
    // The blocks are not in this reader: the hash, the writer's own over them, is not checked here.
    h.blocksOffset = formats::kBlocksNotInReader;
    if (formats::readResultTrailer(trailer, h).state != formats::ResultTrailer::State::Complete)
        return ResultFault::Unreadable;
    return ResultFault::None;
}

void writeResult(const std::filesystem::path& workDir, const RunInputs& in, const WorkbenchResult& r,
                 std::vector<double> primary, std::vector<double> scatter) {
    formats::ResultFileContent c;
    c.kindLine = std::string(in.kind == ExposureKind::Mammography ? formats::kMammographyKind
                                                                  : formats::kTomosynthesisKind);
    c.description = describeRun(in, r);
    c.histories = static_cast<double>(r.histories);
    c.historyNote = " Phantom size X, Y, Z (cm), glandular fraction (%)";
    c.phantom = {in.phantom.sizeX, in.phantom.sizeY, in.phantom.thickness,
                 parseNumber(in.phantom.fractionText)};
    if (in.geometry.model == formats::BreastModel::Protocol)
        c.phantom = {2 * kProtocolRadius, kProtocolRadius, in.phantom.thickness,
                     in.geometry.glandularPercent};
    c.phantomNote =
        " Air kerma, FCD (cm), voxels X, Y, Z; then the primary and the scatter dose, 75 values per row";
    c.airKerma = r.airKerma;
    c.fcd = in.control.fcd;
    c.countX = kVoxelsX;
    c.countY = kVoxelsY;
    c.countZ = r.layers;
    c.primary = std::move(primary);
    c.scatter = std::move(scatter);
    c.valuePattern = "0.0000E+00";
    c.trailer = describeRunTrailer(in, r);
    RecordWriter out(workDir, in.control.resultFile);
    try {
        formats::writeResultFile(out, c);
    } catch (const std::invalid_argument&) {
        throw ResultRefused(ResultFault::Unreadable);
    }
    // The bytes as they will stand in the file (the content itself where it is ASCII).
    std::string converted;
    const std::string_view bytes = out.fileBytes(converted);
    if (ResultFault f = textFault(bytes, in.control.resultFile, r.layers); f != ResultFault::None)
        throw ResultRefused(f);
    const bool sigmaFile = voxelSigmaKnown(r);
    const std::string hash = sigmaFile ? sha256Hex(bytes) : std::string();
    converted = {};
    out.commit();
    if (sigmaFile)
        writeVoxelSigma(workDir, in.control.resultFile, hash, r);
    else
        removeStaleVoxelSigma(workDir, in.control.resultFile);
}
} // namespace

void writeResultFile(const std::filesystem::path& workDir, const RunInputs& in, const WorkbenchResult& r) {
    if (ResultFault f = faultOf(r); f != ResultFault::None) throw ResultRefused(f);
    writeResult(workDir, in, r, r.primary, r.scatter);
}

void writeResultFile(const std::filesystem::path& workDir, const RunInputs& in, WorkbenchResult&& r) {
    if (ResultFault f = faultOf(r); f != ResultFault::None) throw ResultRefused(f);
    std::vector<double> primary = std::move(r.primary), scatter = std::move(r.scatter);
    writeResult(workDir, in, r, std::move(primary), std::move(scatter));
}

void writeVoxelSigma(const std::filesystem::path& workDir, const std::string& resultFile,
                     const std::string& hash, const WorkbenchResult& r) {
    formats::VoxelSigma s;
    s.resultSha256 = hash;
    s.seed = r.seed;
    s.histories = r.histories;
    s.rows = kVoxelsY;
    s.layers = r.layers;
    s.percent.reserve(r.totalRelSigma.size());
    for (double rel : r.totalRelSigma)
        s.percent.push_back(100.0 * rel);
    try {
        formats::writeVoxelSigmaFile(workDir, resultFile, s);
    } catch (const formats::FileError&) {
        // The result stands without it: a side file that is not there, or an
        // older one no longer bound to this result, says nothing.
    }
}

} // namespace kv::engine
