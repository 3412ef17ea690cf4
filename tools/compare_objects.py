#!/usr/bin/env python3
"""One-off comparison of the object measures with scikit-image's label and
regionprops on a dozen generated masks (not run by CI).

    python3 tools/compare_objects.py

Needs g++, numpy and scikit-image (Debian: python3-skimage). Builds
tools/objects_driver.cpp with src/analysis/objects.cpp into a temporary
folder, runs it on each mask and prints, per measure, the largest difference
from scikit-image: raw, and where the conventions differ also after turning
scikit-image's numbers into ours (pixel squares' moments, ellipse scaled to the
object's area, angles counter-clockwise from x with y up).
"""
import csv
import io
import math
import os
import subprocess
import sys
import tempfile

import numpy as np
from skimage.measure import label, regionprops

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def disc(mask, cx, cy, r, value=1):
    h, w = mask.shape
    y, x = np.mgrid[0:h, 0:w]
    mask[(x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r] = value


def masks():
    rng = np.random.default_rng(3)
    out = []
    m = np.zeros((64, 64), np.uint8)
    disc(m, 32, 32, 20)
    out.append(("disc r20", m, 4))
    m = np.zeros((64, 64), np.uint8)
    disc(m, 30.3, 33.7, 25)
    disc(m, 30.3, 33.7, 12, 0)
    out.append(("ring", m, 4))
    m = np.zeros((40, 60), np.uint8)
    m[5:25, 8:50] = 1
    out.append(("rectangle", m, 4))
    m = np.zeros((50, 50), np.uint8)
    for i in range(40):
        m[i + 3, i + 5] = 1
    out.append(("diagonal line, 8", m, 8))
    m = np.zeros((50, 50), np.uint8)
    for i in range(40):
        m[i + 3, 45 - i] = 1
        m[i + 3, 44 - i] = 1
    out.append(("anti-diagonal band", m, 4))
    for conn in (4, 8):
        m = (rng.random((80, 120)) < 0.45).astype(np.uint8)
        out.append(("noise 45 %%, %d" % conn, m, conn))
    m = np.zeros((200, 300), np.uint8)
    for _ in range(25):
        disc(m, rng.uniform(20, 280), rng.uniform(20, 180), rng.uniform(3, 18))
    out.append(("25 discs", m, 8))
    # smooth random blobs: box-blurred noise, thresholded
    noise = rng.random((160, 200))
    k = 9
    c = np.cumsum(np.cumsum(np.pad(noise, ((k, 0), (k, 0))), 0), 1)
    blur = (c[k:, k:] - c[:-k, k:] - c[k:, :-k] + c[:-k, :-k]) / (k * k)
    out.append(("blobs, 4", (blur > 0.53).astype(np.uint8), 4))
    out.append(("blobs, 8", (blur > 0.53).astype(np.uint8), 8))
    m = np.zeros((60, 60), np.uint8)
    y, x = np.mgrid[0:60, 0:60]
    m[((x - 30) / 25.0) ** 2 + ((y - 30) / 9.0) ** 2 <= 1] = 1
    out.append(("ellipse 50 x 18", m, 4))
    m = np.zeros((60, 60), np.uint8)
    t = math.radians(30)
    u = (x - 30) * math.cos(t) - (y - 30) * math.sin(t)
    v = (x - 30) * math.sin(t) + (y - 30) * math.cos(t)
    m[(u / 25.0) ** 2 + (v / 9.0) ** 2 <= 1] = 1
    out.append(("ellipse tilted 30", m, 4))
    return out


def build_driver(folder):
    exe = os.path.join(folder, "objects_driver")
    subprocess.run(["g++", "-std=c++17", "-O2", "-I" + os.path.join(ROOT, "src"),
                    os.path.join(ROOT, "tools", "objects_driver.cpp"),
                    os.path.join(ROOT, "src", "analysis", "objects.cpp"), "-o", exe], check=True)
    return exe


def ours(exe, folder, mask, conn):
    path = os.path.join(folder, "mask.pgm")
    h, w = mask.shape
    with open(path, "wb") as f:
        f.write(b"P5 %d %d 255\n" % (w, h))
        f.write(mask.astype(np.uint8).tobytes())
    text = subprocess.run([exe, path, str(conn)], check=True, capture_output=True, text=True).stdout
    return [{k: float(v) for k, v in row.items()} for row in csv.DictReader(io.StringIO(text))]


def fold(a):
    return a % 180.0


def angle_gap(a, b):
    d = abs(fold(a) - fold(b))
    return min(d, 180 - d)


def main():
    worst = {}

    def note(name, value, where):
        if name not in worst or value > worst[name][0]:
            worst[name] = (value, where)

    with tempfile.TemporaryDirectory() as folder:
        exe = build_driver(folder)
        for what, mask, conn in masks():
            got = ours(exe, folder, mask, conn)
            if what.startswith("ellipse"):
                print("%s: ellipse angle %.4f here, orientation %.4f deg there" % (what, got[0]["ellipse_angle"],
                      math.degrees(regionprops(label(mask))[0].orientation)))
            props = regionprops(label(mask, connectivity=1 if conn == 4 else 2))
            if len(props) != len(got):
                print("%s: %d objects here, %d there" % (what, len(got), len(props)))
                continue
            for i, (m, p) in enumerate(zip(got, props)):
                where = "%s #%d (area %d)" % (what, i, p.area)
                r0, c0, r1, c1 = p.bbox
                note("area", abs(m["area"] - p.area), where)
                note("box", max(abs(m["min_x"] - c0), abs(m["min_y"] - r0), abs(m["max_x"] - (c1 - 1)),
                                abs(m["max_y"] - (r1 - 1))), where)
                note("centroid", max(abs(m["cx"] - (p.centroid[1] + 0.5)), abs(m["cy"] - (p.centroid[0] + 0.5))),
                     where)
                # scikit-image counts the outlines of holes as well; compare objects without holes
                kind = "solid" if p.area_filled == p.area else "with holes"
                note("perimeter vs perimeter (raw, %s)" % kind, abs(m["perimeter"] - p.perimeter), where)
                note("perimeter vs perimeter_crofton (raw, %s)" % kind, abs(m["perimeter"] - p.perimeter_crofton),
                     where)
                if p.area >= 100 and kind == "solid":
                    note("perimeter relative to perimeter (solid, area >= 100)",
                         abs(m["perimeter"] - p.perimeter) / p.perimeter, where)
                note("feret vs feret_diameter_max (raw)", abs(m["feret"] - p.feret_diameter_max), where)
                # pixel corners' hull: the largest distance between two corners of the region's pixels
                ys, xs = np.nonzero(p.image)
                pts = np.unique(np.concatenate([np.stack([xs + dx, ys + dy], 1) for dx in (0, 1) for dy in (0, 1)]), axis=0)
                d = np.sqrt(((pts[:, None, :] - pts[None, :, :]) ** 2).sum(-1)).max() if len(pts) < 4000 else None
                if d is not None:
                    note("feret vs corner distances from the region's pixels", abs(m["feret"] - d), where)
                note("major vs major_axis_length (raw)", abs(m["major"] - p.major_axis_length), where)
                note("minor vs minor_axis_length (raw)", abs(m["minor"] - p.minor_axis_length), where)
                # scikit-image's moments of pixel centres, turned into ours
                l1, l2 = [v + 1.0 / 12 for v in p.inertia_tensor_eigvals]
                semi = math.sqrt(p.area / math.pi * math.sqrt(l1 / l2))
                note("major vs converted eigenvalues", abs(m["major"] - 2 * semi), where)
                note("minor vs converted eigenvalues", abs(m["minor"] - 2 * p.area / (math.pi * semi)), where)
                if (l1 - l2) / (l1 + l2) > 1e-3:  # the angle of a round region means nothing
                    # scikit-image takes a branch of its own when the row and column moments are equal
                    equal = abs(p.inertia_tensor[0, 0] - p.inertia_tensor[1, 1]) < 1e-9
                    note("ellipse angle vs 90 + orientation" + (" (equal row, column moments)" if equal else ""),
                         angle_gap(m["ellipse_angle"], 90 + math.degrees(p.orientation)), where)
    width = max(len(k) for k in worst)
    for name, (value, where) in worst.items():
        print("%-*s %12.6g   at %s" % (width, name, value, where))
    return 0


if __name__ == "__main__":
    sys.exit(main())
