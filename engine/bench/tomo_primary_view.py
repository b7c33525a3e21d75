#!/usr/bin/env python3
"""Primary photons' energy imparted to the protocol breast by one projection,
over the same at 0 deg, for the same tube loading: a check of tiravex's t(theta)
that shares nothing with the engine but the geometry.

The tube emits the same number of photons per steradian at every angle, so a
projection's primary energy imparted to the inner (glandular) region is the
integral over the solid angle of the detector field of

    exp(-mu_p L_paddle - mu_a L_top) * (1 - exp(-mu L_inner))

(one energy: the breast's mu is a parameter). The ratio of that integral at
theta to the one at 0 deg is the primary part of t(theta); mu -> infinity
leaves the pure geometry, the solid angle of the inner region's silhouette
seen from the focus. It is split by where the ray enters the inner region:
through its upper face (under the top adipose layer) or through the curved
rim, which the protocol breast leaves uncovered unless Geometry.dat gives
adipose_rim_mm.

Geometry as the engine's protocol breast (engine/README.md): z is the depth
below the 0 deg focus, the detector at the FID, the support 1.5 cm above it,
2 mm support, the breast of thickness T on it (half-cylinder of radius r, flat
side the chest wall at y = 0, 5 mm adipose on top and bottom only; --rim
covers the curved edge too), 1.5 mm
paddle on top; the focus turns about an axis at height `axis` above the
detector; the field is the detector, 30 cm along x by 24 cm along y.

    engine/bench/tomo_primary_view.py                # the table of docs/validation.md section 4
    engine/bench/tomo_primary_view.py --mu 0.8 --thickness 11 --axis 5
"""
import argparse
import math


def interval_slab(f, u, lo, hi, axis):
    """Ray parameters s where lo <= (f + s u)[axis] <= hi."""
    if abs(u[axis]) < 1e-15:
        return (-math.inf, math.inf) if lo <= f[axis] <= hi else (1.0, 0.0)
    a, b = (lo - f[axis]) / u[axis], (hi - f[axis]) / u[axis]
    return (min(a, b), max(a, b))


def interval_cylinder(f, u, r):
    """Ray parameters where x^2 + y^2 <= r^2."""
    a = u[0] * u[0] + u[1] * u[1]
    b = 2 * (f[0] * u[0] + f[1] * u[1])
    c = f[0] * f[0] + f[1] * f[1] - r * r
    if a < 1e-15:
        return (-math.inf, math.inf) if c <= 0 else (1.0, 0.0)
    disc = b * b - 4 * a * c
    if disc <= 0:
        return (1.0, 0.0)
    q = math.sqrt(disc)
    return ((-b - q) / (2 * a), (-b + q) / (2 * a))


def meet(*intervals):
    lo = max(i[0] for i in intervals)
    hi = min(i[1] for i in intervals)
    return (lo, hi) if hi > lo else None


def half_cylinder(f, u, r, z0, z1):
    return meet(interval_cylinder(f, u, r), interval_slab(f, u, 0.0, math.inf, 1), interval_slab(f, u, z0, z1, 2))


def projection(theta_deg, t, axis, mu, mu_adipose, mu_paddle, args):
    fid, r, adip = args.fid, args.radius, args.adipose
    top = fid - 1.5 - 0.2 - t
    bottom = top + t
    pivot = fid - axis  # depth of the rotation axis below the 0 deg focus
    a = math.radians(theta_deg)
    f = (pivot * math.sin(a), 0.0, pivot * (1 - math.cos(a)))
    h = fid - f[2]
    n = args.grid
    dx, dy = args.detector_x / n, args.detector_y / n
    through_top = through_rim = 0.0
    for j in range(n):
        y = (j + 0.5) * dy
        for i in range(n):
            x = -args.detector_x / 2 + (i + 0.5) * dx
            d = (x - f[0], y - f[1], h)
            rr = math.sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2])
            u = (d[0] / rr, d[1] / rr, d[2] / rr)
            inner = half_cylinder(f, u, r - args.rim, top + adip, bottom - adip)
            if inner is None:
                continue
            # the breast is convex: from its surface to the inner region the ray is in adipose
            outer = half_cylinder(f, u, r, top, bottom)
            pad = meet(interval_slab(f, u, -12.0, 12.0, 0), interval_slab(f, u, 0.0, 24.0, 1),
                       interval_slab(f, u, top - 0.15, top, 2))
            before = (mu_paddle * (pad[1] - pad[0]) if pad else 0.0) + mu_adipose * (inner[0] - outer[0])
            chord = inner[1] - inner[0]
            absorbed = 1.0 if mu == math.inf else -math.expm1(-mu * chord)
            w = math.exp(-before) * absorbed * h / rr ** 3 * dx * dy
            # entering through the upper face: the entry lies on the face's plane
            if abs(f[2] + inner[0] * u[2] - (top + adip)) < 1e-9:
                through_top += w
            else:
                through_rim += w
    return through_top, through_rim


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--mu", type=float, nargs="*", default=[math.inf, 1.0, 0.8],
                   help="inner region's attenuation coefficient, 1/cm (inf: the geometry alone)")
    p.add_argument("--thickness", type=float, nargs="*", default=[2, 4.5, 8, 11])
    p.add_argument("--axis", type=float, nargs="*", default=[5.0, 0.0], help="axis height above the detector, cm")
    p.add_argument("--angles", type=float, nargs="*", default=[10, 20, 25, 30])
    p.add_argument("--fid", type=float, default=65.0)
    p.add_argument("--radius", type=float, default=8.0)
    p.add_argument("--adipose", type=float, default=0.5, help="adipose on top and bottom, cm")
    p.add_argument("--rim", type=float, default=0.0, help="adipose round the curved edge, cm (the engine's adipose_rim_mm / 10; default none)")
    p.add_argument("--detector-x", type=float, default=30.0)
    p.add_argument("--detector-y", type=float, default=24.0)
    p.add_argument("--grid", type=int, default=360, help="detector points per side")
    args = p.parse_args()
    print("| mu (1/cm) | axis (cm) | T (cm) | " + " | ".join(f"{a:g} deg" for a in args.angles) +
          " | rim share at 0 deg / at the last angle |")
    print("|---|---|---|" + "---|" * len(args.angles) + "---|")
    for mu in args.mu:
        # adipose and paddle in the same proportion to the inner region as at 18 keV
        mu_a = 0.0 if mu == math.inf else 0.78 * mu
        mu_p = 0.0 if mu == math.inf else 1.10 * mu
        for axis in args.axis:
            for t in args.thickness:
                top0, rim0 = projection(0.0, t, axis, mu, mu_a, mu_p, args)
                cells, last = [], (0.0, 0.0)
                for ang in args.angles:
                    last = projection(ang, t, axis, mu, mu_a, mu_p, args)
                    cells.append(f"{sum(last) / (top0 + rim0):.3f}")
                mu_text = "inf" if mu == math.inf else f"{mu:g}"
                print(f"| {mu_text} | {axis:g} | {t:g} | " + " | ".join(cells) +
                      f" | {rim0 / (top0 + rim0):.3f} / {last[1] / sum(last):.3f} |")


if __name__ == "__main__":
    main()
