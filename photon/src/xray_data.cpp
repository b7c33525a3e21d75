#include "kv/photon/xray_data.h"

#include "kv/photon/energy_absorption.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <stdexcept>
#include <xraylib.h>

namespace kv::photon::xray {
namespace {

using CrossSection = double (*)(int, double, xrl_error**);

double call(CrossSection f, int z, double e) {
    xrl_error* err = nullptr;
    double v = f(z, e, &err);
    if (err) {
        std::string what =
            "xraylib: Z=" + std::to_string(z) + " at " + std::to_string(e) + " keV: " + err->message;
        xrl_error_free(err);
        throw std::runtime_error(what);
    }
    return v;
}

constexpr int kShells = 31; // K .. P3, every shell xraylib knows edges for

const std::vector<double>& edgesOf(int z) {
    static std::mutex lock;
    static std::array<std::vector<double>, 104> cache;
    static std::array<bool, 104> filled{};
    if (z < 1 || z > 103) throw std::runtime_error("xraylib: no element Z=" + std::to_string(z));
    std::lock_guard<std::mutex> guard(lock);
    if (!filled[z]) {
        for (int s = 0; s < kShells; ++s) {
            xrl_error* err = nullptr;
            double e = EdgeEnergy(z, s, &err);
            if (err)
                xrl_error_free(err);
            else if (e > 0)
                cache[z].push_back(e);
        }
        filled[z] = true;
    }
    return cache[z];
}

// The element's coefficient at `e`, on the physical side of a nearby edge.
double physicalSide(CrossSection f, int z, double e) {
    for (double edge : edgesOf(z)) {
        if (std::fabs(e - edge) > kEdgeWindow) continue;
        const double side = edge <= e ? 1.0 : -1.0;
        // Sample short of any other edge on that side.
        double room = kEdgeWindow;
        for (double other : edgesOf(z))
            if (other != edge && (other - e) * side > 0) room = std::min(room, 0.6 * (other - e) * side);
        const double e1 = e + side * 0.5 * room, e2 = e + side * room;
        const double l1 = std::log(call(f, z, e1)), l2 = std::log(call(f, z, e2));
        return std::exp(l1 + (l1 - l2) * (std::log(e) - std::log(e1)) / (std::log(e1) - std::log(e2)));
    }
    return call(f, z, e);
}

double mixture(CrossSection f, const Material& m, double e) {
    double sum = 0;
    for (const auto& [z, w] : m.elements)
        sum += w * physicalSide(f, z, e);
    return sum;
}

} // namespace

double massAttenuation(const Material& m, double e) {
    return mixture(CS_Total, m, e);
}

double massEnergyAbsorption(const Material& m, double e) {
    return mixture([](int z, double keV, xrl_error**) { return photon::massEnergyAbsorption(z, keV); }, m, e);
}

std::vector<double> edgesNear(int z, double e) {
    std::vector<double> out;
    for (double edge : edgesOf(z))
        if (std::fabs(e - edge) <= kEdgeWindow) out.push_back(edge);
    return out;
}

double atomicWeight(int z) {
    return call([](int zz, double, xrl_error** err) { return AtomicWeight(zz, err); }, z, 0);
}

double kEdgeEnergy(int z) {
    return call([](int zz, double, xrl_error** err) { return EdgeEnergy(zz, K_SHELL, err); }, z, 0);
}

LineData kLine(int z, KLine line) {
    constexpr int kMacro[] = {KA1_LINE, KA2_LINE, KB1_LINE, KB2_LINE, KB3_LINE};
    const int m = kMacro[static_cast<int>(line)];
    xrl_error* err = nullptr;
    const double e = LineEnergy(z, m, &err);
    const double rate = err ? 0 : RadRate(z, m, &err);
    if (err) {
        std::string what = "xraylib: Z=" + std::to_string(z) + " K line: " + err->message;
        xrl_error_free(err);
        throw std::runtime_error(what);
    }
    return {e, rate};
}

} // namespace kv::photon::xray
