#!/usr/bin/env python3
"""Builds the test images from their manifests, and the damaged images derived from them.

    make_images.py VMOD_IMAGE SCENARIOS OUT

Every SCENARIOS/<folder>/<name>.manifest becomes OUT/<folder>/<name>.bin, built by vmod-image
as a user builds an image. The images that no manifest can describe (a header that lies,
a picture of no width) are made from a built one by changing the fields named below.
"""
import glob
import os
import struct
import subprocess
import sys

TOOL, SCENARIOS, OUT = sys.argv[1:4]


def build(manifest):
    folder = os.path.relpath(os.path.dirname(manifest), SCENARIOS)
    name = os.path.splitext(os.path.basename(manifest))[0]
    os.makedirs(os.path.join(OUT, folder), exist_ok=True)
    out = os.path.join(OUT, folder, name + ".bin")
    r = subprocess.run([TOOL, "build", manifest, "-o", out], capture_output=True, text=True)
    if r.returncode != 0:
        sys.exit("make_images: %s: %s" % (manifest, r.stderr.strip()))
    with open(out, "rb") as f:
        return bytearray(f.read())


def record(image, n):
    """Offset of directory entry n's record (entries of type, offset, size after the header)."""
    return struct.unpack_from("<I", image, 8 + 12 * n + 4)[0]


def write(folder, name, data):
    with open(os.path.join(OUT, folder, name), "wb") as f:
        f.write(bytes(data))


images = {}
for manifest in sorted(glob.glob(os.path.join(SCENARIOS, "*", "*.manifest"))):
    images[os.path.relpath(manifest, SCENARIOS)] = build(manifest)

demo = images[os.path.join("image", "demo.manifest")]

# A valid magic with a size beyond the staging buffer, and no records.
write("image", "oversize.bin", struct.pack("<HHI", 0xFEEB, 2, 0xFFFFFFFF))

# demo.bin with the size of the header (bytes 4..7) zero.
nosize = bytearray(demo)
struct.pack_into("<I", nosize, 4, 0)
write("image", "nosize.bin", nosize)

# demo.bin with the height of bitmap 5 (the box) and the width of bitmap 3 (the transparent
# knob) zero.
flat = bytearray(demo)
struct.pack_into("<H", flat, record(flat, 5) + 2, 0)
struct.pack_into("<H", flat, record(flat, 3), 0)
write("image", "flat.bin", flat)
