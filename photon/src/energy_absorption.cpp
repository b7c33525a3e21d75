#include "kv/photon/energy_absorption.h"

#include <cmath>
#include <map>
#include <mutex>
#include <numbers>
#include <stdexcept>
#include <string>
#include <utility>
#include <xraylib.h>

namespace kv::photon {
namespace {

constexpr double kElectronMass = 510.99895; // keV
constexpr double kHcKevAngstrom = 12.398419843;
constexpr double kClassicalElectronRadius2 = 7.9407877e-26; // cm²
constexpr double kAvogadro = 6.02214076e23;

template <class F, class... A> double checked(const char* what, int z, F f, A... args) {
    xrl_error* err = nullptr;
    const double v = f(args..., &err);
    if (err) {
        std::string message =
            std::string("xraylib ") + what + ", Z=" + std::to_string(z) + ": " + err->message;
        xrl_error_free(err);
        throw std::runtime_error(message);
    }
    return v;
}

double photoAbsorbed(int z, double e) {
    double tau = checked("CS_Photo", z, CS_Photo, z, e);
    if (z > 10 && e > checked("EdgeEnergy", z, EdgeEnergy, z, K_SHELL))
        tau -= checked("CS_Photo_Partial", z, CS_Photo_Partial, z, K_SHELL, e) *
               checked("FluorYield", z, FluorYield, z, K_SHELL) *
               checked("LineEnergy", z, LineEnergy, z, KA_LINE) / e;
    return tau;
}

// Energy handed to electrons by incoherent scattering, cm²/g.
double incoherentTransfer(int z, double e) {
    const int n = 64; // Simpson intervals over the cosine; the integrand is smooth
    const double k = e / kElectronMass, xs = e / kHcKevAngstrom;
    double sum = 0;
    for (int i = 0; i <= n; ++i) {
        const double c = -1.0 + 2.0 * i / n;
        const double eps = 1.0 / (1.0 + k * (1.0 - c));
        const double x = xs * std::sqrt(0.5 * (1.0 - c));
        const double s = x > 0 ? checked("SF_Compt", z, SF_Compt, z, x) : 0.0;
        const double f = eps * eps * (eps + 1.0 / eps - (1.0 - c * c)) * (1.0 - eps) * s;
        sum += (i == 0 || i == n ? 1 : (i % 2 ? 4 : 2)) * f;
    }
    const double integral = sum * (2.0 / n) / 3.0;
    return std::numbers::pi * kClassicalElectronRadius2 * integral * kAvogadro /
           checked("AtomicWeight", z, AtomicWeight, z);
}

} // namespace

double massEnergyAbsorption(int z, double energyKeV) {
    // Each material of a run asks for its elements on the same energy grid,
    // and the tissues share their elements: a value is worked out once per
    // process, which was most of a run's set-up.
    static std::mutex lock;
    static std::map<std::pair<int, double>, double> known;
    constexpr size_t kMaxKnown = size_t{1} << 17;
    const bool keep = std::isfinite(energyKeV);
    if (keep) {
        std::lock_guard<std::mutex> guard(lock);
        if (auto it = known.find({z, energyKeV}); it != known.end()) return it->second;
    }
    const double v = photoAbsorbed(z, energyKeV) + incoherentTransfer(z, energyKeV);
    if (keep) {
        std::lock_guard<std::mutex> guard(lock);
        if (known.size() < kMaxKnown) known.emplace(std::pair{z, energyKeV}, v);
    }
    return v;
}

} // namespace kv::photon
