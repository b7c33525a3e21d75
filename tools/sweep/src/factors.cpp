#include "kv/sweep/factors.h"

#include "kv/common/format.h"
#include "kv/common/records.h"

#include <algorithm>
#include <cmath>

namespace kv::sweep {

namespace {

// The model's Mo/Mo: a measured Mo/Mo spectrum gets its s against them, so that its shape shows.
bool isMoMo(const factors::Row& r) {
    const formats::SpectrumFields& f = r.spectrum;
    return r.target == formats::TargetMaterial::Molybdenum && !r.measured && parseNumber(f.molybdenum) > 0 &&
           !(parseNumber(f.rhodium) > 0) && !(parseNumber(f.silver) > 0);
}

// The run without its statistics: rows equal here differ only by chance.
factors::Row withoutStatistics(factors::Row r) {
    r.histories = 1, r.sagdSigmaPercent = 0, r.seed.reset();
    return r;
}

// Same breast and geometry, any glandularity: the c-factor's reference is this beam at 50 %.
std::string beamKey(const factors::Row& r) {
    factors::Row b = withoutStatistics(r);
    b.glandular = 50;
    return factors::rowKey(b);
}

// Same breast and geometry, any spectrum: the s-factor's references.
std::string breastKey(const factors::Row& r) {
    factors::Row b = withoutStatistics(r);
    b.target = formats::TargetMaterial::Molybdenum;
    b.spectrum.tubeVoltage = b.spectrum.beryllium = b.spectrum.aluminum = b.spectrum.molybdenum =
        b.spectrum.rhodium = b.spectrum.silver = b.spectrum.airLayer = "";
    b.spectrumFile.clear(), b.measured.reset();
    return factors::rowKey(b);
}

// The 0 deg projection of the same breast, beam and geometry: t's and T's reference.
std::string zeroKey(const factors::Row& r) {
    factors::Row b = withoutStatistics(r);
    // At 0 deg the focus stands at the FID whatever the axis; the FCD does not enter mgd.
    b.fad = b.fcd = b.angularRange = 0;
    b.rotationAxis.reset();
    b.projections = 0;
    b.projectionLoading.clear();
    b.projectionAngle = 0.0;
    return factors::rowKey(b);
}

bool isZeroProjection(const factors::Row& r) {
    return r.tomosynthesis && r.projectionAngle && *r.projectionAngle == 0.0;
}

std::optional<double> interpolated(std::vector<std::pair<double, double>> points, double x) {
    std::sort(points.begin(), points.end());
    for (size_t i = 0; i < points.size(); ++i) {
        if (std::fabs(points[i].first - x) < 1e-9) return points[i].second;
        if (i > 0 && points[i - 1].first < x && x < points[i].first) {
            const auto [x0, y0] = points[i - 1];
            const auto [x1, y1] = points[i];
            return y0 + (y1 - y0) * (x - x0) / (x1 - x0);
        }
    }
    return std::nullopt;
}

std::string cell(const std::optional<double>& v) {
    return v ? format(*v, "0.0000") : std::string();
}

} // namespace

std::vector<FactorLine> conversionFactors(const std::vector<FactorRow>& rows) {
    std::vector<FactorLine> out;
    for (const FactorRow& fr : rows) {
        const factors::Row& r = fr.row;
        FactorLine l;
        l.target = formats::symbol(r.target);
        l.filters = factors::filterName(r);
        l.kv = r.spectrum.tubeVoltage;
        l.thickness = r.thickness, l.glandular = r.glandular;
        l.hvlPaddle = fr.factors.hvl1Paddle, l.mgd = fr.factors.mgd,
        l.mgdSigmaPercent = fr.factors.mgdSigmaPercent;
        l.moMo = isMoMo(r);
        if (std::fabs(r.glandular - 50) < 1e-9) l.g = l.mgd;
        std::vector<std::pair<double, double>> moMo;
        for (const FactorRow& other : rows) {
            if (!l.c && std::fabs(other.row.glandular - 50) < 1e-9 && beamKey(other.row) == beamKey(r))
                l.c = l.mgd / other.factors.mgd;
            if (isMoMo(other.row) && breastKey(other.row) == breastKey(r))
                moMo.emplace_back(other.factors.hvl1Paddle, other.factors.mgd);
        }
        if (const std::optional<double> ref = interpolated(moMo, l.hvlPaddle)) l.s = l.mgd / *ref;
        l.adiposeRimMm = r.protocol ? r.adiposeRimMm : 0;
        l.tomosynthesis = r.tomosynthesis;
        l.projections = r.projections, l.projectionAngle = r.projectionAngle;
        l.rotationAxis = r.rotationAxis ? *r.rotationAxis : r.fid - r.fad;
        if (r.tomosynthesis) {
            // The 0 deg projection row; failing it, the mammography row of the same breast and
            // beam, which is that projection where the plates only absorb (the field beyond the
            // breast's shadow meets nothing that scatters).
            const FactorRow *zero = nullptr, *mammography = nullptr;
            for (const FactorRow& other : rows) {
                if (!zero && isZeroProjection(other.row) && zeroKey(other.row) == zeroKey(r)) zero = &other;
                if (!mammography && !other.row.tomosynthesis &&
                    other.row.plates == formats::PlateMode::Absorbing) {
                    factors::Row asZero = other.row;
                    asZero.tomosynthesis = true, asZero.projectionAngle = 0.0;
                    if (zeroKey(asZero) == zeroKey(r)) mammography = &other;
                }
            }
            if (!zero) zero = mammography;
            if (zero && zero->factors.mgd > 0) {
                const double ratio = l.mgd / zero->factors.mgd;
                // The reference over itself is 1 exactly.
                const double sigma =
                    zero == &fr ? 0.0 : std::hypot(l.mgdSigmaPercent, zero->factors.mgdSigmaPercent);
                if (r.projectionAngle)
                    l.t = ratio, l.tSigmaPercent = sigma;
                else
                    l.bigT = ratio, l.bigTSigmaPercent = sigma;
            }
            l.trailerT = fr.factors.tScan, l.trailerTSigmaPercent = fr.factors.tScanSigmaPercent;
        }
        out.push_back(l);
    }
    return out;
}

void writeFactorsFile(const std::filesystem::path& dir, const std::string& name,
                      const std::vector<FactorLine>& lines) {
    RecordWriter w(dir, name);
    w.line(kFactorsHeader);
    auto sigma = [](const std::optional<double>& v) { return v ? format(*v, "0.000") : std::string(); };
    for (const FactorLine& l : lines) {
        std::string scan = l.tomosynthesis ? "tomosynthesis," : "mammography,";
        if (l.tomosynthesis)
            scan += (l.projectionAngle ? "1" : std::to_string(l.projections)) + "," +
                    (l.projectionAngle ? plainDecimal(*l.projectionAngle) : std::string()) + "," +
                    (l.rotationAxis ? plainDecimal(*l.rotationAxis) : std::string());
        else
            scan += ",,";
        w.line(l.target + "," + l.filters + "," + l.kv + "," + plainDecimal(l.thickness) + "," +
               plainDecimal(l.glandular) + "," + format(l.hvlPaddle, "0.0000") + "," +
               format(l.mgd, "0.00000") + "," + format(l.mgdSigmaPercent, "0.000") + "," + cell(l.g) + "," +
               cell(l.c) + "," + cell(l.s) + "," + scan + "," + cell(l.t) + "," + sigma(l.tSigmaPercent) +
               "," + cell(l.bigT) + "," + sigma(l.bigTSigmaPercent) + "," + cell(l.trailerT) + "," +
               sigma(l.trailerTSigmaPercent) + "," +
               (l.adiposeRimMm != 0 ? plainDecimal(l.adiposeRimMm) : ""));
    }
    w.commit();
}

std::vector<PlotPoint> gPlotPoints(const std::vector<FactorLine>& lines) {
    std::vector<PlotPoint> points;
    for (const FactorLine& l : lines)
        if (l.g && l.moMo)
            points.push_back({plainDecimal(l.thickness) + " cm", l.hvlPaddle, *l.g, l.mgdSigmaPercent});
    return points;
}

std::vector<PlotPoint> tPlotPoints(const std::vector<FactorLine>& lines) {
    // A curve per thickness; beam, glandularity and axis named where the lines hold more than one.
    auto beamOf = [](const FactorLine& l) {
        return l.target + "/" + l.filters + " " + l.kv + " kV, " + plainDecimal(l.glandular) + " %, axis " +
               (l.rotationAxis ? plainDecimal(*l.rotationAxis) : std::string("-")) + " cm" +
               (l.adiposeRimMm != 0 ? ", adipose_rim_mm = " + plainDecimal(l.adiposeRimMm) : std::string());
    };
    std::vector<std::string> beams;
    for (const FactorLine& l : lines)
        if (l.t && std::find(beams.begin(), beams.end(), beamOf(l)) == beams.end())
            beams.push_back(beamOf(l));
    std::vector<PlotPoint> points;
    for (const FactorLine& l : lines)
        if (l.t && l.projectionAngle)
            points.push_back({plainDecimal(l.thickness) + " cm" + (beams.size() > 1 ? ", " + beamOf(l) : ""),
                              *l.projectionAngle, *l.t, l.tSigmaPercent.value_or(0)});
    return points;
}

} // namespace kv::sweep
