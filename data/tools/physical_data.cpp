#include "physical_data.h"

#include "kv/common/format.h"
#include "kv/photon/xray_data.h"

#include <cmath>
#include <stdexcept>

namespace kv::data {
namespace xray = kv::photon::xray;

const std::vector<Column>& attenuationColumns() {
    // Fields 6, 8 and 9 are read but not used by the spectrum model; they
    // carry copper, and the PMMA breast support and polycarbonate paddle
    // materials, so that a filter study can pick them up.
    static const std::vector<Column> columns = {
        {"Mo", 42, nullptr, 10.22},
        {"Rh", 45, nullptr, 12.41},
        {"Al", 13, nullptr, 2.699},
        {"Be", 4, nullptr, 1.848},
        {"Cu", 29, nullptr, 8.96},
        // xraylib's copy of the NIST dry air (nitrogen 0.755267, adding up to
        // 0.999999), not photon::materials::dryAir(): the committed MUs12.dat
        // would change in one value (0.8 keV) and waits for that decision.
        {"Air", 0, "Air, Dry (near sea level)", 0.001205},
        {"PMMA", 0, "Polymethyl Methacralate (Lucite, Perspex)", 1.19},
        {"PC", 0, "Polycarbonate (Makrolon, Lexan)", 1.20},
        {"W", 74, nullptr, 19.3},
        {"Ag", 47, nullptr, 10.5},
    };
    return columns;
}

namespace {
photon::Material materialOf(const Column& c) {
    return c.z > 0 ? photon::element(c.z, c.density) : photon::nistCompound(c.nistName, c.density);
}
} // namespace

std::string mus12Text() {
    std::string out = "Energy(keV)";
    for (const Column& c : attenuationColumns())
        out += std::string(", ") + c.heading;
    out += "   linear attenuation coefficients (1/cm)\r\n";
    std::vector<photon::Material> materials;
    for (const Column& c : attenuationColumns())
        materials.push_back(materialOf(c));
    for (int i = 1; i <= 250; ++i) {
        const double e = 0.2 * i;
        out += kv::format(e, "#0.0");
        for (const photon::Material& m : materials)
            out += ", " + kv::format(xray::massAttenuation(m, e) * m.density, "0.00000E+00");
        out += "\r\n";
    }
    return out;
}

const std::vector<Anchor>& stoppingPowerAnchors() {
    // ESTAR, molybdenum, total stopping power.
    static const std::vector<Anchor> anchors = {{1, 34.80},  {3, 24.33},  {5, 18.23}, {9, 12.53},
                                                {25, 6.211}, {45, 4.143}, {80, 2.850}};
    return anchors;
}

const std::vector<double>& stoppingPowerEnergies() {
    static const std::vector<double> energies = {1,  1.5, 2,  3,  4,  5,  6,  7,  9,  11,
                                                 13, 16,  20, 25, 30, 35, 40, 45, 60, 80};
    return energies;
}

double interpolatedStoppingPower(double e) {
    const auto& a = stoppingPowerAnchors();
    if (e < a.front().energy || e > a.back().energy) throw std::out_of_range("outside the anchors");
    size_t n = 1;
    while (a[n].energy < e)
        ++n;
    const double f = std::log(e / a[n - 1].energy) / std::log(a[n].energy / a[n - 1].energy);
    return std::exp(std::log(a[n - 1].stoppingPower) +
                    f * std::log(a[n].stoppingPower / a[n - 1].stoppingPower));
}

std::string moStpText() {
    std::string out = "Energy(keV), total stopping power of molybdenum (MeV cm2/g)\r\n";
    for (double e : stoppingPowerEnergies())
        out += kv::format(e, "#0.0") + ", " + kv::format(interpolatedStoppingPower(e), "#0.000") + "\r\n";
    return out;
}

double collisionStoppingPower(int z, double a, double iEv, double energyKeV) {
    // CODATA 2018: classical electron radius (cm), electron rest energy (MeV), Avogadro's number.
    constexpr double re = 2.8179403262e-13, mc2 = 0.51099895, na = 6.02214076e23;
    constexpr double pi = 3.14159265358979323846;
    const double tau = energyKeV / 1000 / mc2;
    const double beta2 = 1 - 1 / ((tau + 1) * (tau + 1));
    const double i = iEv / 1e6 / mc2;
    const double f = 1 - beta2 + (tau * tau / 8 - (2 * tau + 1) * std::log(2.0)) / ((tau + 1) * (tau + 1));
    return 2 * pi * re * re * mc2 * na * (z / a) / beta2 *
           (std::log(tau * tau * (tau + 2) / (2 * i * i)) + f);
}

double rhodiumStoppingPower(double energyKeV) {
    return collisionStoppingPower(45, xray::atomicWeight(45), kRhodiumMeanExcitationEv, energyKeV);
}

std::string rhStpText() {
    std::string out =
        "Energy(keV), collision stopping power of rhodium (MeV cm2/g), ICRU 37 formula, I = 449 eV\r\n";
    for (double e : stoppingPowerEnergies())
        out += kv::format(e, "#0.0") + ", " + kv::format(rhodiumStoppingPower(e), "#0.000") + "\r\n";
    return out;
}

std::vector<std::string> edgeCorrections() {
    std::vector<std::string> out;
    for (const Column& c : attenuationColumns()) {
        photon::Material m = materialOf(c);
        for (int i = 1; i <= 250; ++i)
            for (auto [z, w] : m.elements)
                for (double edge : xray::edgesNear(z, 0.2 * i))
                    out.push_back(std::string(c.heading) + " at " + kv::format(0.2 * i, "#0.0") +
                                  " keV: edge of Z=" + std::to_string(z) + " at " +
                                  kv::format(edge, "#0.0000") + " keV");
    }
    return out;
}

} // namespace kv::data
