#!/usr/bin/env python3
"""The stop at a target uncertainty, simulated: units are independent normal
estimates (relative sigma 1 % each, so the target 0.1 % is met at 100 units),
judged at the engine's checkpoints (2, 4, 6, 8, 10, 12, 15, ... batches of 8
units). Prints, for the bare rule (stop at the first estimate within the target)
and for the engine's (from 16 units on, the estimate raised by
1.645 / sqrt(2 (k - 1)) of itself), the share of runs whose true sigma met the
target at the stop and the mean units run.
    python3 engine/bench/stop_rule_sim.py
"""
import math
import random


def checkpoints(limit):
    b, out = 0, []
    while b < limit:
        b += max(2, b // 4)
        out.append(b)
    return out


def run(rng, unit_sigma, target, z, min_units, batch_units=8, max_batches=400):
    s1 = s2 = 0.0
    k = 0
    for gate in checkpoints(max_batches):
        while k < gate * batch_units:
            x = 1.0 + rng.gauss(0, unit_sigma)
            s1, s2, k = s1 + x, s2 + x * x, k + 1
        m = s1 / k
        stated = math.sqrt((s2 / k - m * m) / (k - 1)) / m
        if k >= min_units and stated * (1 + z / math.sqrt(2 * (k - 1))) <= target:
            break
    return k


def main():
    rng = random.Random(1)
    for name, z in (("bare rule", 0.0), ("engine's rule", 1.645)):
        runs = [run(rng, 0.01, 0.001, z, 16) for _ in range(4000)]
        met = sum(0.01 / math.sqrt(k) <= 0.001 * (1 + 1e-9) for k in runs)
        print(f"{name}: true sigma within the target at the stop in {met / len(runs):.1%} of runs, "
              f"{sum(runs) / len(runs):.1f} units on average")


if __name__ == "__main__":
    main()
