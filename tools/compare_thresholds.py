#!/usr/bin/python3
"""One-off check of the automatic threshold methods against scikit-image.

Generates channel-value pictures (bimodal, unimodal, skewed, ...), hands their
histograms to the disabled print test of test_analysis, which adds the
histograms of the embedded sample pictures in the four colour modes, and
prints per picture and method the reference cut, the program's cut and its
slider values (colour modes / black mode), flagging any difference in the cut
or in the pixels the slider hits.

    tools/compare_thresholds.py [build folder]      (default: build)

Needs python3-skimage (Debian); the Debian interpreter is used explicitly.
"""
import math
import os
import subprocess
import sys
import tempfile
import warnings

import numpy as np
from skimage import filters

METHODS = ["otsu", "triangle", "li", "isodata", "mean"]


def generated_pictures():
    rng = np.random.default_rng(7)
    n = 400 * 300

    def clip(a):
        return np.clip(np.rint(a), 0, 255).astype(np.uint8)

    pictures = {
        "bimodal": clip(np.where(rng.random(n) < 0.3, rng.normal(180, 12, n), rng.normal(50, 15, n))),
        "bimodal-close": clip(np.where(rng.random(n) < 0.5, rng.normal(110, 10, n), rng.normal(140, 10, n))),
        "bimodal-tiny-objects": clip(np.where(rng.random(n) < 0.02, rng.normal(200, 8, n), rng.normal(30, 6, n))),
        "unimodal": clip(rng.normal(128, 20, n)),
        "skewed-right": clip(rng.gamma(2.0, 12.0, n)),
        "skewed-left": clip(255 - rng.gamma(2.0, 12.0, n)),
        "uniform": rng.integers(0, 256, n).astype(np.uint8),
        "two-levels": np.where(rng.random(n) < 0.4, 60, 190).astype(np.uint8),
        "one-level": np.full(n, 77, np.uint8),
    }
    # A full-size camera picture: counts beyond single precision's whole numbers.
    big = 5472 * 3648
    pictures["large-bimodal"] = clip(np.where(rng.random(big) < 0.35, rng.normal(170, 25, big), rng.normal(70, 20, big)))
    return pictures


def reference_cut(method, image):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        try:
            t = getattr(filters, "threshold_" + method)(image)
        except (ValueError, IndexError) as e:
            return None, type(e).__name__
    return int(math.floor(float(t))), repr(float(t))


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    program = os.path.join(build, "tests", "test_analysis")
    pictures = generated_pictures()
    with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as f:
        for name, values in pictures.items():
            counts = np.bincount(values, minlength=256)
            f.write(name + " " + " ".join(str(int(c)) for c in counts) + "\n")
        listing = f.name
    try:
        out = subprocess.run(
            [program, "--gtest_also_run_disabled_tests", "--gtest_filter=Threshold_Methods.DISABLED_PrintForComparison"],
            env=dict(os.environ, TRELLUM_THRESHOLD_HISTOGRAMS=listing), capture_output=True, text=True, check=True,
        ).stdout
    finally:
        os.unlink(listing)

    histograms, cuts = {}, {}
    for line in out.splitlines():
        parts = line.split()
        if len(parts) > 1 and parts[0] == "HIST":
            histograms[parts[1]] = np.array([int(c) for c in parts[2:]], np.int64)
        elif len(parts) > 1 and parts[0] == "CUTS":
            cuts[parts[1]] = [tuple(int(x) for x in p.split("/")) for p in parts[2:]]

    print("picture                 | " + " | ".join(f"{m:^20}" for m in METHODS))
    print("                        | " + " | ".join(f"{'ref prog C/K':^20}" for _ in METHODS))
    mismatches = 0
    for name, counts in histograms.items():
        # The methods depend on the histogram alone: a picture made of its levels gives the same result.
        image = np.repeat(np.arange(256, dtype=np.uint8), counts).reshape(1, -1)
        cells = []
        for m, (cut, slider_c, slider_k) in zip(METHODS, cuts[name]):
            ref, shown = reference_cut(m, image)
            note = ""
            if ref is None:
                note = "*"  # the reference raised; the program's defined result is shown
            else:
                objects = int(counts[ref + 1:].sum())
                hits_c = int(counts[slider_c:].sum())
                hits_k = int(counts[max(slider_k - 1, 0):].sum()) if slider_k >= 2 else 0
                if ref != cut or hits_c != objects or hits_k != objects:
                    note = "!"
                    mismatches += 1
            cells.append(f"{'-' if ref is None else ref:>4} {cut:>4} {slider_c:>3}/{slider_k:<3}{note:1}")
        print(f"{name:<24}| " + " | ".join(f"{c:^20}" for c in cells))
    print(f"\n{len(histograms)} histograms, {mismatches} differences "
          "(! = cut or hits differ, * = reference raised an error)")
    return 1 if mismatches else 0


if __name__ == "__main__":
    sys.exit(main())
