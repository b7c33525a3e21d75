#include "kv/spectrum/model/spectrum_model.h"

#include "exact_exp.h"
#include "kv/common/format.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <stdexcept>
#include <thread>
#include <vector>

namespace kv::spectrum {
namespace {

// The conversions use this value of π, not a full-precision one.
constexpr double kPi = 3.14159;
constexpr double kSlice = 0.2; // keV, electron energy step and bin width

struct Inputs {
    double v;                       // tube voltage, kV = maximum electron energy, keV
    double theta;                   // target angle, deg
    double phi;                     // tube tilt angle, deg
    double be, al, mo, rh, air, ag; // cm
};

Inputs readInputs(const SpectrumFields& f) {
    return {kv::parseNumber(f.tubeVoltage),    kv::parseNumber(f.targetAngle),
            kv::parseNumber(f.tubeTiltAngle),  kv::parseNumber(f.beryllium) * 0.1,
            kv::parseNumber(f.aluminum) * 0.1, kv::parseNumber(f.molybdenum) * 0.1,
            kv::parseNumber(f.rhodium) * 0.1,  kv::parseNumber(f.airLayer),
            kv::parseNumber(f.silver) * 0.1};
}

// The column loop runs on while this holds; the angle test uses θ + φ as typed.
bool columnReached(int k, const Inputs& in) {
    return k < kColumns && (0.5 * k - 0.25) < (in.phi + in.theta);
}

double rayAngle(int k) {
    return std::max(0.0, 0.5 * k - 0.25);
}

// PathFactor: exit path in the target per unit of penetration depth.
double pathFactor(double a, const Inputs& in) {
    const double t = std::tan((a - in.phi) * kPi / 180);
    return std::sqrt(1 - t * t) / (std::tan(in.theta * kPi / 180) - t);
}

// S(T) from 20 stopping-power rows by log-log interpolation; up to 1 keV the first row.
struct TabulatedStoppingPower {
    const std::array<double, kStoppingPowerRows + 1>& energy;
    const std::array<double, kStoppingPowerRows + 1>& power;
    // Logarithms of the rows, taken once instead of per slice.
    std::array<double, kStoppingPowerRows + 1> lnE{}, lnS{};

    TabulatedStoppingPower(const std::array<double, kStoppingPowerRows + 1>& e,
                           const std::array<double, kStoppingPowerRows + 1>& p)
        : energy(e), power(p) {
        for (int n = 1; n <= kStoppingPowerRows; ++n) {
            lnE[n] = std::log(energy[n]);
            lnS[n] = std::log(power[n]);
        }
    }
    double operator()(double t) const {
        if (t <= 1.0) return power[1];
        int n = 1;
        while (n < kStoppingPowerRows && t > energy[n])
            ++n;
        return std::exp(lnS[n] - (lnS[n] - lnS[n - 1]) * (lnE[n] - std::log(t)) / (lnE[n] - lnE[n - 1]));
    }
};

// K-line weights per filtration row: (bin, weight) in the order they are added.
struct KLine {
    int bin;
    double weight;
};
constexpr KLine kLinesMoFilter[] = {{87, 0.543}, {87, 0.283}, {98, 0.101}, {98, 0.051}, {100, 0.022}};
constexpr KLine kLinesRhFilter[] = {{87, 0.538}, {87, 0.282}, {98, 0.104}, {98, 0.053}, {100, 0.023}};
constexpr KLine kLinesOther[] = {{87, 0.556}, {87, 0.292}, {98, 0.088}, {98, 0.045}, {100, 0.043}};

struct Molybdenum {
    static constexpr double rho = 10.22;
    const PhysicalData& d;
    double v;
    double prefactor = (0.03058 - 7.494e-05 * v);
    TabulatedStoppingPower stopping{d.stoppingEnergy, d.stoppingPower};

    const AttenuationColumn& mu() const { return d.molybdenum; }
    double w(double u, double) const {
        return prefactor * (1 - 4.238 * u + 7.799 * (u * u) - 6.739 * (u * u * u) + 2.313 * (u * u * u * u));
    }
    double s(double t) const { return stopping(t); }
    // The lines as a fraction of the column's filtered bremsstrahlung F.
    void addLines(const Inputs& in, int last, double filteredTotal, std::array<double, kBins>& column) const {
        const double f = (in.mo > 0 ? 0.0379 : 0.0323) * in.v - 0.6543;
        const auto& row = in.mo > 0 ? kLinesMoFilter : in.rh > 0 ? kLinesRhFilter : kLinesOther;
        // No line above the tube voltage: electrons of lower energy cannot make it.
        for (const KLine& line : row)
            if (line.bin <= last) column[line.bin] = column[line.bin] + line.weight * (f * filteredTotal);
    }
};

struct Tungsten {
    static constexpr double rho = 19.3;
    const PhysicalData& d;
    const AttenuationColumn& mu() const { return d.tungsten; }
    double w(double u, double e) const {
        return (0.03658 + 2.9e-05 * e) *
               (1 - 5.049 * u + 10.847 * (u * u) - 10.516 * (u * u * u) + 3.842 * (u * u * u * u));
    }
    double s(double t) const { return 1036.1 * std::exp(-0.04695 * t) + 202.41; }
    void addLines(const Inputs&, int, double, std::array<double, kBins>&) const {}
};

struct Rhodium {
    static constexpr double rho = kRhodiumDensity;
    const PhysicalData& d;
    const RhodiumConstants& c;
    double v;
    TabulatedStoppingPower stopping{d.rhodiumStoppingEnergy, d.rhodiumStoppingPower};

    const AttenuationColumn& mu() const { return d.rhodium; }
    double w(double u, double) const {
        const double dv = (v - 30) / 10;
        return 1 + (c.shape[0] + c.slope[0] * dv) * u + (c.shape[1] + c.slope[1] * dv) * (u * u) +
               (c.shape[2] + c.slope[2] * dv) * (u * u * u) +
               (c.shape[3] + c.slope[3] * dv) * (u * u * u * u);
    }
    double s(double t) const { return stopping(t); }
    // Each line as a multiple of the filtered bremsstrahlung in its own bin:
    // the continuum there has crossed the same target depth and filters at
    // the same energy, so one fraction serves every filter and every ray.
    void addLines(const Inputs& in, int last, double, std::array<double, kBins>& column) const {
        const std::array<double, 2> f = rhodiumLineFractions(in.v, c);
        std::array<double, std::size(kRhodiumLines)> continuum{};
        for (size_t n = 0; n < continuum.size(); ++n)
            continuum[n] = kRhodiumLines[n].bin <= last ? column[kRhodiumLines[n].bin] : 0;
        for (size_t n = 0; n < continuum.size(); ++n) {
            const RhodiumLine& line = kRhodiumLines[n];
            const double fraction = f[line.alpha ? 0 : 1];
            if (fraction > 0 && line.bin <= last)
                column[line.bin] = column[line.bin] + fraction * line.share * continuum[n];
        }
    }
};

// The slice terms that do not depend on the ray: penetration depth x and
// yield q of every electron energy T of every bin, in the order of the sum.
struct Slices {
    std::vector<int> first; // first slice of bin i; bin i owns [first[i], first[i+1])
    std::vector<double> x, q;
    size_t mostSlices = 0; // of any one bin
};

// Runs body(item) for items 0..items-1 on the machine's cores, the calling
// thread taking part; whoever is free takes the next item, so uneven items
// and a busy core do not leave the others waiting. Each item writes only its
// own entries, so the arithmetic of every entry is that of a single thread.
template <class Body> void onCores(int items, const Body& body) {
    const int parts =
        std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, std::max(items, 1));
    std::atomic<int> next{0};
    auto work = [&] {
        for (int item = next++; item < items; item = next++)
            body(item);
    };
    std::vector<std::jthread> helpers;
    helpers.reserve(static_cast<size_t>(parts - 1));
    for (int p = 1; p < parts; ++p)
        helpers.emplace_back(work);
    work();
}

template <class Target>
void appendSlices(const Target& target, double v, double c, int i, std::vector<double>& x,
                  std::vector<double>& q) {
    const double e = 0.2 * i;
    x.reserve(static_cast<size_t>((v - e) / kSlice) + 2);
    q.reserve(x.capacity());
    for (double t = e; t <= v; t = t + kSlice) {
        const double u = e / t;
        x.push_back((v * v - t * t) / (c * Target::rho));
        q.push_back((target.w(u, e) * (511 / t + 1)) / target.s(t));
    }
}

template <class Target> Slices slicesOf(const Target& target, double v, int lastBin) {
    const double c =
        141766 + 12157 * v - 111.046 * (v * v) + 0.552536 * (v * v * v) - 0.000970158 * (v * v * v * v);
    // Low bins own the most slices, so they are handed out first.
    std::vector<std::vector<double>> binX(kBins), binQ(kBins);
    onCores(lastBin - 1,
            [&](int item) { appendSlices(target, v, c, 2 + item, binX[2 + item], binQ[2 + item]); });
    Slices s;
    s.first.assign(kBins + 1, 0);
    size_t total = 0;
    for (int i = 0; i < kBins; ++i)
        total += binX[i].size();
    s.x.reserve(total);
    s.q.reserve(total);
    for (int i = 0; i <= kBins; ++i) {
        s.first[i] = static_cast<int>(s.x.size());
        if (i < kBins) s.mostSlices = std::max(s.mostSlices, binX[i].size());
        if (i < kBins) {
            s.x.insert(s.x.end(), binX[i].begin(), binX[i].end());
            s.q.insert(s.q.end(), binQ[i].begin(), binQ[i].end());
        }
    }
    return s;
}

// Bins are taken four at a time: one exactExp call for all their slices,
// then their four sums side by side. Each sum still adds its own terms in
// their order; the four are independent, so one addition need not wait for
// the one before it in the same sum.
constexpr int kBinsTogether = 4;

template <class Target>
void computeColumn(const Target& target, const Inputs& in, const Slices& s,
                   const std::array<std::array<double, kBins>, 6>& filter, int last,
                   std::array<double, kBins>& column, double angle) {
    const AttenuationColumn& mu = target.mu();
    const double x = pathFactor(angle, in);
    std::vector<double> attenuation(kBinsTogether * s.mostSlices), factor(attenuation.size());
    std::array<double, kBins> sums{};
    for (int i0 = 2; i0 <= last; i0 += kBinsTogether) {
        const int bins = std::min(kBinsTogether, last + 1 - i0);
        const int begin = s.first[i0];
        for (int i = i0; i < i0 + bins; ++i) {
            const double m = mu[i];
            for (int j = s.first[i]; j < s.first[i + 1]; ++j) {
                const double exitPath = x * s.x[j];
                attenuation[static_cast<size_t>(j - begin)] = -m * exitPath;
            }
        }
        exactExp(attenuation.data(), factor.data(), static_cast<size_t>(s.first[i0 + bins] - begin));
        double sum[kBinsTogether] = {};
        int start[kBinsTogether], count[kBinsTogether];
        for (int b = 0; b < kBinsTogether; ++b) {
            start[b] = b < bins ? s.first[i0 + b] : begin;
            count[b] = b < bins ? s.first[i0 + b + 1] - start[b] : 0;
        }
        const int common = *std::min_element(count, count + bins);
        for (int j = 0; j < common; ++j)
            for (int b = 0; b < kBinsTogether; ++b) {
                const int at = start[b] + j;
                sum[b] = sum[b] + factor[static_cast<size_t>(at - begin)] * s.q[static_cast<size_t>(at)];
            }
        for (int b = 0; b < bins; ++b) {
            for (int at = start[b] + common; at < start[b] + count[b]; ++at)
                sum[b] = sum[b] + factor[static_cast<size_t>(at - begin)] * s.q[static_cast<size_t>(at)];
            sums[static_cast<size_t>(i0 + b)] = sum[b];
        }
    }
    double filteredTotal = 0;
    for (int i = 2; i <= last; ++i) {
        const double sum = sums[static_cast<size_t>(i)];
        column[i] = column[i] + sum;
        double value = column[i];
        for (const auto& f : filter)
            value = value * f[i];
        value = value / (0.2 * i);
        column[i] = value;
        filteredTotal += value;
    }
    target.addLines(in, last, filteredTotal, column);
}

// exp(-μ·t) of each filter; the products keep the order Be, Al, Mo, Rh, air, Ag.
std::array<std::array<double, kBins>, 6> filtersOf(const Inputs& in, const PhysicalData& d, int last) {
    std::array<std::array<double, kBins>, 6> filter{};
    for (int i = 2; i <= last; ++i) {
        filter[0][i] = std::exp(-d.beryllium[i] * in.be);
        filter[1][i] = std::exp(-d.aluminum[i] * in.al);
        filter[2][i] = std::exp(-d.molybdenum[i] * in.mo);
        filter[3][i] = std::exp(-d.rhodium[i] * in.rh);
        filter[4][i] = std::exp(-d.air[i] * in.air);
        filter[5][i] = std::exp(-d.silver[i] * in.ag);
    }
    return filter;
}

template <class Target>
void compute(const Target& target, const Inputs& in, const PhysicalData& d, SpectrumResult& out) {
    out.table = {};
    const int last = lastBinOf(in.v);
    out.lastBin = last;
    const Slices s = slicesOf(target, in.v, last);
    const auto filter = filtersOf(in, d, last);
    int columns = 0;
    while (columnReached(columns, in))
        ++columns;
    // The columns are independent: each part computes every n-th one whole.
    onCores(columns, [&](int k) { computeColumn(target, in, s, filter, last, out.table[k], rayAngle(k)); });

    // Absurd inputs (a filter of -1e300 mm) overflow; such a result has no
    // scale either, so it is left empty like a spectrum without photons.
    const bool overflowed = std::any_of(out.table.begin(), out.table.end(), [](const auto& column) {
        return std::any_of(column.begin(), column.end(), [](double x) { return !std::isfinite(x); });
    });
    if (overflowed) out.table = {};

    out.plotMaximum = 0;
    for (int i = 2; i <= last; ++i)
        if (out.table[0][i] > out.plotMaximum) out.plotMaximum = out.table[0][i];

    normaliseSpectrumTable(out.table);
}

void requireAccepted(const SpectrumFields& fields) {
    if (checkDrawSpectrum(fields) != DrawCheck::Accepted)
        throw std::domain_error("the spectrum fields do not pass the checks of \"Draw spectrum\"");
}

} // namespace

int lastBinOf(double v) {
    const double top = 5 * v;
    if (!(top >= 2)) return 0;
    return top >= kBins - 1 ? kBins - 1 : static_cast<int>(std::floor(top));
}

void normaliseSpectrumTable(SpectrumTable& table) {
    double n = 0;
    for (int k = 1; k < kColumns; ++k)
        for (int i = 1; i < kBins; ++i)
            n = n + table[k][i];
    for (int k = 1; k < kColumns; ++k)
        for (int i = 1; i < kBins; ++i) {
            double& entry = table[k][i];
            entry = n > 0 ? entry / n : 0.0;
            if (entry <= 1e-10) entry = 0;
        }
}

DrawCheck checkDrawSpectrum(const SpectrumFields& fields) {
    const Inputs in = readInputs(fields);
    if (in.v > 50) return DrawCheck::TubeVoltageTooHigh;
    if (in.theta + in.phi <= 20.3) return DrawCheck::AngleCannotCoverField;
    for (int k = 0; columnReached(k, in); ++k) {
        const double a = rayAngle(k);
        if (!(std::fabs(a - in.phi) < 45)) return DrawCheck::TubeTiltOutOfRange;
        const double x = pathFactor(a, in);
        if (!(std::isfinite(x) && x > 0)) return DrawCheck::TargetAngleOutOfRange;
    }
    return DrawCheck::Accepted;
}

namespace {

// The fields in the order they are checked, with the member each one is.
constexpr std::pair<SpectrumField, std::string SpectrumFields::*> kFieldOrder[] = {
    {SpectrumField::TubeVoltage, &SpectrumFields::tubeVoltage},
    {SpectrumField::TargetAngle, &SpectrumFields::targetAngle},
    {SpectrumField::TubeTiltAngle, &SpectrumFields::tubeTiltAngle},
    {SpectrumField::Beryllium, &SpectrumFields::beryllium},
    {SpectrumField::Aluminum, &SpectrumFields::aluminum},
    {SpectrumField::Molybdenum, &SpectrumFields::molybdenum},
    {SpectrumField::Rhodium, &SpectrumFields::rhodium},
    {SpectrumField::Silver, &SpectrumFields::silver},
    {SpectrumField::AirLayer, &SpectrumFields::airLayer},
};

std::string_view unitOf(SpectrumField field, const texts::SpectrumFileTexts& t) {
    switch (field) {
    case SpectrumField::TubeVoltage:
        return t.unitKv;
    case SpectrumField::TargetAngle:
    case SpectrumField::TubeTiltAngle:
        return t.unitDegree;
    case SpectrumField::AirLayer:
        return t.unitCm;
    default:
        return t.unitMm;
    }
}

} // namespace

NumberRange fieldRange(SpectrumField field) {
    switch (field) {
    case SpectrumField::TubeVoltage:
        return {kMinTubeVoltage, kMaxTubeVoltage};
    case SpectrumField::TargetAngle:
        return {0, kMaxTargetAngle, true};
    case SpectrumField::TubeTiltAngle:
        return {-kMaxTubeTilt, kMaxTubeTilt};
    case SpectrumField::AirLayer:
        return {0, kMaxAirLayerCm};
    default:
        return {0, kMaxFilterMm};
    }
}

std::optional<FieldRefusal> refusedField(const SpectrumFields& fields) {
    for (const auto& [field, member] : kFieldOrder) {
        TypedNumber n = readTypedNumber(fields.*member, fieldRange(field));
        if (!n.ok()) return FieldRefusal{field, std::move(n)};
    }
    return std::nullopt;
}

std::optional<FieldRefusal> refusedOnScreen(const SpectrumFields& fields, TargetMaterial target) {
    if (target == TargetMaterial::Tungsten) {
        const TypedNumber v = readTypedNumber(fields.tubeVoltage, NumberRange{0, kMinTubeVoltage, true});
        if (v.ok() && v.value < kMinTubeVoltage) {
            SpectrumFields atLowest = fields;
            atLowest.tubeVoltage = "15";
            return refusedField(atLowest);
        }
    }
    return refusedField(fields);
}

SpectrumFields typedFields(const SpectrumFields& fields) {
    SpectrumFields out = fields;
    for (const auto& [field, member] : kFieldOrder) {
        const TypedNumber n = readTypedNumber(fields.*member);
        if (n.ok()) out.*member = n.text;
    }
    return out;
}

std::string fieldName(SpectrumField field, const texts::SpectrumFileTexts& t) {
    const texts::Text labels[] = {t.labels.tubeVoltage, t.labels.targetAngle, t.labels.tubeTiltAngle,
                                  t.labels.beryllium,   t.labels.aluminum,    t.labels.molybdenum,
                                  t.labels.rhodium,     t.labels.silver,      t.labels.airLayer};
    std::string name(labels[static_cast<int>(field)].view());
    if (name.size() >= 2 && name.compare(name.size() - 2, 2, " =") == 0) name.resize(name.size() - 2);
    return name;
}

FieldMessage fieldRefusalMessage(const FieldRefusal& r, std::string_view name,
                                 const texts::SpectrumFileTexts& t, const texts::TypedNumberTexts& numbers) {
    std::string said = typedNumberMessage(r.number, name, unitOf(r.field, t), numbers);
    if (r.field == SpectrumField::TubeVoltage && r.number.fault == TypedNumberFault::OutOfRange &&
        r.number.value > kMaxTubeVoltage)
        return {std::string(t.tubeVoltageTooHigh.view()), std::move(said)};
    return {std::move(said), {}};
}

bool SpectrumResult::empty() const {
    for (int k = 1; k < kColumns; ++k)
        for (double v : table[k])
            if (v > 0) return false;
    return true;
}

std::string_view refusalMessage(DrawCheck check, const texts::SpectrumFileTexts& t) {
    switch (check) {
    case DrawCheck::TubeVoltageTooHigh:
        return t.tubeVoltageTooHigh;
    case DrawCheck::AngleCannotCoverField:
        return t.angleCannotCoverField;
    case DrawCheck::TubeTiltOutOfRange:
        return t.tubeTiltOutOfRange;
    case DrawCheck::TargetAngleOutOfRange:
        return t.targetAngleOutOfRange;
    case DrawCheck::Accepted:
        break;
    }
    return {};
}

void ComputeMolybdenumSpectrum(const PhysicalData& data, const SpectrumFields& fields, SpectrumResult& out) {
    requireAccepted(fields);
    const Inputs in = readInputs(fields);
    out.tubeVoltageText.reset();
    compute(Molybdenum{data, in.v}, in, data, out);
}

void ComputeTungstenSpectrum(const PhysicalData& data, const SpectrumFields& fields, SpectrumResult& out) {
    requireAccepted(fields);
    Inputs in = readInputs(fields);
    out.tubeVoltageText.reset();
    if (in.v < kMinTubeVoltage) {
        in.v = kMinTubeVoltage;
        out.tubeVoltageText = "15";
    }
    compute(Tungsten{data}, in, data, out);
}

std::array<double, 2> rhodiumLineFractions(double v, const RhodiumConstants& c) {
    // Only electrons above the K edge ionise the K shell.
    if (!(v > kRhodiumKEdge)) return {0, 0};
    const double over = v / kRhodiumKEdge - 1;
    return {c.alphaScale * std::pow(over, c.alphaPower), c.betaScale * std::pow(over, c.betaPower)};
}

void computeRhodiumSpectrum(const PhysicalData& data, const SpectrumFields& fields, SpectrumResult& out,
                            const RhodiumConstants& constants) {
    requireAccepted(fields);
    if (data.rhodiumFault) throw *data.rhodiumFault;
    const Inputs in = readInputs(fields);
    out.tubeVoltageText.reset();
    compute(Rhodium{data, constants, in.v}, in, data, out);
}

template <class Target>
std::array<double, kBins> rayOf(const Target& target, const Inputs& in, const PhysicalData& d, double angle) {
    const int last = lastBinOf(in.v);
    std::array<double, kBins> ray{};
    if (last < 2) return ray;
    computeColumn(target, in, slicesOf(target, in.v, last), filtersOf(in, d, last), last, ray, angle);
    return ray;
}

std::array<double, kBins> raySpectrum(TargetMaterial target, const PhysicalData& data,
                                      const SpectrumFields& fields, double angle,
                                      const RhodiumConstants& rhodium) {
    const Inputs in = readInputs(fields);
    switch (target) {
    case TargetMaterial::Molybdenum:
        return rayOf(Molybdenum{data, in.v}, in, data, angle);
    case TargetMaterial::Tungsten:
        return rayOf(Tungsten{data}, in, data, angle);
    case TargetMaterial::Rhodium:
        break;
    }
    if (data.rhodiumFault) throw *data.rhodiumFault;
    return rayOf(Rhodium{data, rhodium, in.v}, in, data, angle);
}

TargetFilters targetFilters(TargetMaterial target) {
    switch (target) {
    case TargetMaterial::Tungsten:
        return {"0.8", "0", "0", "0.025"};
    case TargetMaterial::Rhodium:
        return {"0", "0", "0", "0.025"};
    case TargetMaterial::Molybdenum:
        break;
    }
    return {"0.8", "0", "0.03", "0"};
}

SpectrumResult computeSpectrum(TargetMaterial target, const PhysicalData& data,
                               const SpectrumFields& fields) {
    SpectrumResult r;
    if (target == TargetMaterial::Molybdenum)
        ComputeMolybdenumSpectrum(data, fields, r);
    else if (target == TargetMaterial::Tungsten)
        ComputeTungstenSpectrum(data, fields, r);
    else
        computeRhodiumSpectrum(data, fields, r);
    return r;
}

} // namespace kv::spectrum
