#pragma once
// One photon history through a scene. The scorer is told every deposit and
// how the photon ends:
//   deposit(region, position, energy deposited, energy of the photon that
//           interacted, whether it had scattered before)
//   leave(photon)          escaped the world, reached an absorbing region or
//                          interacted in a region that stops photons there
// and, where it has one,
//   flight(region, photon, length)  a straight flight through a region of
//           matter, from the photon's position before it moves
//   or flight(region, photon, length, exit)  the same with the distance to
//           where the region ends on the photon's way, where the step has
//           asked for it already (negative where not)
// Photoelectric absorption deposits the whole energy on the spot (the
// fluorescence of these low-Z materials is neglected); the electron of an
// incoherent scatter deposits its energy where it is set free.
#include "kv/engine/physics.h"
#include "kv/engine/random.h"
#include "kv/engine/scene.h"
#include "kv/engine/vec.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace kv::engine {

// Photons step this far past a boundary, so that the next region is found
// unambiguously.
inline constexpr double kPush = 1e-9; // cm

struct Photon {
    Vec3 pos, dir;
    double energy;
    bool scattered = false;
};

// The cosine and sine of a uniform azimuth, by rejection from the square:
// both coordinates from one draw's halves (32 bits are plenty for a direction).
inline void randomAzimuth(Rng& rng, double& c, double& s) {
    for (;;) {
        const uint64_t r = rng.next();
        double a = static_cast<double>(r >> 32) * 0x1.0p-31 - 1.0;
        double b = static_cast<double>(r & 0xffffffffu) * 0x1.0p-31 - 1.0;
        double r2 = a * a + b * b;
        if (r2 > 1.0 || r2 < 1e-30) continue;
        c = (a * a - b * b) / r2;
        s = 2.0 * a * b / r2;
        return;
    }
}

template <class Scorer>
concept ScoresFlights = requires(Scorer& sc, const Photon& ph) {
    sc.flight(0, ph, 0.0);
};
template <class Scorer>
concept ScoresFlightsToTheirExit = requires(Scorer& sc, const Photon& ph) {
    sc.flight(0, ph, 0.0, 0.0);
};
// The photon's place on the energy grid and its attenuation in the region,
// as the step found them, handed on to a scorer that would look them up again:
//   flight(region, photon, length, exit, at) and
//   deposit(region, position, deposited, energy, scattered, at) where `at`
//   belongs to `energy` (the photon's before the interaction).
struct StepAttenuation {
    GridPoint grid;
    double mu; // 1/cm
};
template <class Scorer>
concept ScoresWithAttenuation = requires(Scorer& sc, const Photon& ph, const Vec3& p) {
    sc.flight(0, ph, 0.0, 0.0, StepAttenuation{});
    sc.deposit(0, p, 0.0, 0.0, false, StepAttenuation{});
};

template <class Scorer>
void transport(Photon ph, const Scene& scene, const std::vector<MaterialPhysics>& phys, Rng& rng,
               Scorer& sc) {
    int region = scene.locate(ph.pos);
    // Just past a face (or at the start): the safety there is about kPush,
    // so the step asks for the exit at once. The outcome is the same.
    bool atFace = true;
    // Mean free paths left to the next interaction: one draw per flight
    // between interactions, used up region by region as the photon crosses
    // them (the exponential has no memory, so the draws per region it
    // replaces gave the same distribution).
    double tau = rng.exponential();
    for (;;) {
        if (region == kOutside || scene.absorbing(region)) {
            sc.leave(ph);
            return;
        }
        double dist = 0.0;
        bool distKnown = false; // found only when the step may leave the region
        int mat = scene.material(region);
        if (mat != kVacuum) {
            const MaterialPhysics& m = phys[static_cast<size_t>(mat)];
            GridPoint g = gridPoint(ph.energy);
            const MaterialPhysics::Cell& c = m.cell(g.cell);
            double mu = c.mu + c.dmu * g.offset;
            const StepAttenuation at{g, mu};
            // the flight to the region's exit, or to where the photon interacts
            auto flight = [&](double length, double exit) __attribute__((always_inline)) {
                if constexpr (ScoresWithAttenuation<Scorer>)
                    sc.flight(region, ph, length, exit, at);
                else if constexpr (ScoresFlightsToTheirExit<Scorer>)
                    sc.flight(region, ph, length, exit);
                else if constexpr (ScoresFlights<Scorer>)
                    sc.flight(region, ph, length);
            };
            auto deposit = [&](double edep) __attribute__((always_inline)) {
                if constexpr (ScoresWithAttenuation<Scorer>)
                    sc.deposit(region, ph.pos, edep, ph.energy, ph.scattered, at);
                else
                    sc.deposit(region, ph.pos, edep, ph.energy, ph.scattered);
            };
            double s = tau / mu;
            bool inside = !atFace && s < scene.safety(region, ph.pos);
            if (!inside) {
                dist = scene.distanceOut(region, ph.pos, ph.dir);
                distKnown = true;
                inside = s < dist;
                if (!inside && dist < kInfinity) flight(dist, dist);
            }
            if (inside) {
                flight(s, distKnown ? dist : -1.0);
                ph.pos = ph.pos + s * ph.dir;
                if (scene.stopsAtInteraction(region)) {
                    sc.leave(ph);
                    return;
                }
                double r = rng.uniform() * mu;
                if (r < c.photo + c.dphoto * g.offset) {
                    deposit(ph.energy);
                    return;
                }
                double cost;
                if (r < c.coh + c.dcoh * g.offset) {
                    cost = m.sampleRayleighCosine(ph.energy, rng);
                } else {
                    cost = m.sampleComptonCosine(ph.energy, rng);
                    double e2 = ph.energy / (1.0 + ph.energy / kElectronMass * (1.0 - cost));
                    deposit(ph.energy - e2);
                    ph.energy = e2;
                    if (e2 < kMinEnergy) {
                        sc.deposit(region, ph.pos, e2, e2, true);
                        return;
                    }
                }
                ph.scattered = true;
                atFace = false;
                tau = rng.exponential();
                double cphi, sphi;
                randomAzimuth(rng, cphi, sphi);
                ph.dir = rotate(ph.dir, cost, cphi, sphi);
                continue;
            }
            tau = std::max(0.0, tau - mu * dist);
        }
        if (!distKnown) dist = scene.distanceOut(region, ph.pos, ph.dir);
        if (dist == kInfinity) {
            sc.leave(ph);
            return;
        }
        ph.pos = ph.pos + (dist + kPush) * ph.dir;
        region = scene.locate(ph.pos);
        atFace = true;
    }
}

} // namespace kv::engine
