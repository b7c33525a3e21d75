#!/usr/bin/env python3
"""Writes engine/src/exponential_tables.cpp: the tables of the engine's
exponential function and of its exponential variates, worked out here in 60
digits and rounded once, so that every build draws the same numbers.

    python3 engine/tables/make_exponential_tables.py > engine/src/exponential_tables.cpp

The variates' tables are Marsaglia and Tsang's ziggurat of 256 layers for
exp(-x) (J. Stat. Softw. 5(8), 2000), its right edge solved for here so that
the top layer closes exactly, with 53-bit draws.
"""
from decimal import Decimal, getcontext

getcontext().prec = 60
LAYERS = 256
M = Decimal(2) ** 53


def exp(x):
    return x.exp()


def layers(r):
    """The ziggurat's edges from the right edge r down; the last is the top layer's."""
    v = (r + 1) * exp(-r)
    xs = [r]
    x = r
    for _ in range(LAYERS - 2):
        inner = v / x + exp(-x)
        if inner >= 1:
            return v, xs, None
        x = -((inner).ln())
        xs.append(x)
    # what the top layer leaves: v minus its area, 0 when r is right
    return v, xs, v - xs[-1] * (1 - exp(-xs[-1]))


def solve():
    lo, hi = Decimal("7.6"), Decimal("7.8")
    for _ in range(200):
        mid = (lo + hi) / 2
        _, _, gap = layers(mid)
        if gap is None or gap > 0:
            lo = mid  # the layers close too soon, or leave area over: r too small
        else:
            hi = mid
    return (lo + hi) / 2


def hexd(x):
    return float(x).hex()


r = solve()
v, xs, _ = layers(r)
# xs[0] = r = x_255 down to xs[254] = x_1
x = {LAYERS - 1 - k: xs[k] for k in range(len(xs))}
q = v / exp(-r)
ke = [0] * LAYERS
we = [None] * LAYERS
fe = [None] * LAYERS
ke[0] = int((r / q) * M)
ke[1] = 0
we[0] = q / M
fe[0] = Decimal(1)
for i in range(1, LAYERS):
    we[i] = x[i] / M
    fe[i] = exp(-x[i])
    if i >= 2:
        ke[i] = int((x[i - 1] / x[i]) * M)

ln2 = Decimal(2).ln()
two = [exp(ln2 * j / 64) for j in range(64)]

out = []
out.append("// Written by engine/tables/make_exponential_tables.py: do not edit.")
out.append('#include "kv/engine/fast_exp.h"')
out.append('#include "kv/engine/random.h"')
out.append("")
out.append("namespace kv::engine {")
out.append("")
out.append("// clang-format off")
out.append("const double kExp2Sixtyfourths[64] = {")
for j in range(0, 64, 4):
    out.append("    " + ", ".join(hexd(t) for t in two[j:j + 4]) + ",")
out.append("};")
out.append("")
out.append("const ExponentialZiggurat kExponentialZiggurat = {")
out.append(f"    {hexd(r)},")
out.append("    {")
for i in range(0, LAYERS, 4):
    out.append("        " + ", ".join(f"{k}u" for k in ke[i:i + 4]) + ",")
out.append("    },")
for t in (we, fe):
    out.append("    {")
    for i in range(0, LAYERS, 4):
        out.append("        " + ", ".join(hexd(w) for w in t[i:i + 4]) + ",")
    out.append("    },")
out.append("};")
out.append("// clang-format on")
out.append("")
out.append("} // namespace kv::engine")
print("\n".join(out))
