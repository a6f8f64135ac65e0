#!/usr/bin/env python3
"""vmod-image as its users run it: a manifest builds the same bytes every time, and every bad
input is reported with its file and line.

    vmod_image_test.py VMOD_IMAGE SCENARIOS BUILT_IMAGES
"""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

TOOL, SCENARIOS, BUILT = sys.argv[1], sys.argv[2], sys.argv[3]
IMAGES = os.path.join(BUILT, "image")
tmp = tempfile.mkdtemp(prefix="vmod-image-")


def run(*args):
    return subprocess.run([TOOL] + list(args), capture_output=True, text=True, timeout=120)


def png(path, w, h, rgb):
    raw = b"".join(b"\0" + bytes(rgb) * w for _ in range(h))
    def chunk(t, d):
        return struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d) & 0xFFFFFFFF)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw, 1)) + chunk(b"IEND", b""))


# A build is reproducible: the test images built before are what their manifests build again.
for folder, name in (("image", "demo"), ("image", "other"), ("image", "many"), ("widgets", "widgets")):
    out = os.path.join(tmp, name + ".bin")
    r = run("build", os.path.join(SCENARIOS, folder, name + ".manifest"), "-o", out)
    assert r.returncode == 0, r.stderr
    with open(out, "rb") as a, open(os.path.join(BUILT, folder, name + ".bin"), "rb") as b:
        assert a.read() == b.read(), name + ".manifest built different bytes the second time"

r = run("list", os.path.join(IMAGES, "demo.bin"))
assert r.stdout.startswith("3KB of 11264Kb Bitmap/Macro storage used\n# of Bitmaps: 5\n"), r.stdout
assert "    #1: splash\n    'xi 1 0 0'\n" in r.stdout, r.stdout


def manifest_in_folder(manifest, files):
    """A fresh folder with the manifest (m.manifest) and its files (text or bytes)."""
    d = tempfile.mkdtemp(dir=tmp)
    for n, data in (files or {}).items():
        with open(os.path.join(d, n), "wb" if isinstance(data, bytes) else "w") as f:
            f.write(data)
    m = os.path.join(d, "m.manifest")
    with open(m, "w") as f:
        f.write(manifest)
    return d, m


def fails(manifest, want, files=None):
    d, m = manifest_in_folder(manifest, files)
    r = run("build", m, "-o", os.path.join(d, "out.bin"))
    assert r.returncode == 1, (manifest, r.stdout)
    assert want in r.stderr, (want, r.stderr)
    assert not os.path.exists(os.path.join(d, "out.bin")), "an image was written despite the error"


fails("# c\nbitmapz x.png\n", "m.manifest:2: unknown word \"bitmapz\"")
fails("bitmap nothere.png\n", "m.manifest:1: " )
fails("bitmap nothere.png\n", "nothere.png: cannot read the file")
fails("bitmap x.png sideways\n", "m.manifest:1: unknown bitmap form \"sideways\"")
fails("bitmap x.png transparent red\n", "m.manifest:1: a transparent colour is #RRGGBB or 0xHHHH")
fails("bitmap x.png\n", "x.png: neither a PNG nor a BMP file", {"x.png": "hello"})
fails("macros m.txt\n", "m.txt:3: \"macro\" wants a number 1..255", {"m.txt": "macro 1 a\nz\nmacro 0\n"})
fails("macros m.txt\n", "m.txt:1: a command line before the first \"macro\" line", {"m.txt": "z\n"})
fails("macros m.txt\n", "m.txt:3: macro 1 is defined again (first on line 1)", {"m.txt": "macro 1\nz\nmacro 1\n"})
fails("font f /no/such.ttf 12\n", "such.ttf: not a font file FreeType can read")
fails("font averyverylongname x.ttf 12\n", "m.manifest:1: a font name holds at most 9 characters")
big = os.path.join(tmp, "big.png")
png(big, 2410, 2400, (1, 2, 3))
fails("bitmap %s\n" % big, "the module holds at most 11534336")
# Listing a file that is no image says what the module would say, and fails.
notimg = os.path.join(tmp, "notimg.bin")
with open(notimg, "wb") as f:
    f.write(b"hello world")
r = run("list", notimg)
assert r.returncode == 1 and r.stdout == "", r
assert "external memory invalid (found 6568, expected FEEB)" in r.stderr and "is not an external-memory image" in r.stderr, r

# Hostile inputs end with a message naming the file and status 1, in bounded time and memory
# (an address-space limit of 1 GiB: /dev/zero read whole would pass it).
import resource


# A sanitizer build reserves terabytes of address space for its shadow memory: there the
# time limit alone has to do.
with open(TOOL, "rb") as _f:
    SANITIZED = b"__asan_init" in _f.read()


def limited():
    if not SANITIZED:
        resource.setrlimit(resource.RLIMIT_AS, (1 << 30, 1 << 30))


def fails_bounded(manifest, want, files=None):
    d, m = manifest_in_folder(manifest, files)
    r = subprocess.run([TOOL, "build", m, "-o", os.path.join(d, "out.bin")], capture_output=True, text=True,
                       timeout=30, preexec_fn=limited)
    assert r.returncode == 1, (manifest, r.returncode, r.stderr)
    assert want in r.stderr, (want, r.stderr)
    return d


# A form feed (or vertical tab) is a blank: a line of nothing else is an empty line, not a crash.
fails_bounded("macros m.txt\n", "m.txt:1: a command line before the first \"macro\" line",
              {"m.txt": b"\x01macro \x0c1 a\x01macro\n\x0c\nmacro 1\n"})
fails_bounded("macros m.txt\n", "m.txt:4: macro 1 is defined again",
              {"m.txt": b"macro 1 a\n\x0c\n\x0b \x0c\nmacro\x0c1\n"})
d = tempfile.mkdtemp(dir=tmp)
with open(os.path.join(d, "m.txt"), "wb") as f:
    f.write(b"\x0c\nmacro 1 a\n\x0c\nxi 1 0 0\x0c\n")
with open(os.path.join(d, "m.manifest"), "w") as f:
    f.write("\x0c\nmacros m.txt\n")
r = run("build", os.path.join(d, "m.manifest"), "-o", os.path.join(d, "out.bin"))
assert r.returncode == 0, r.stderr
r = run("list", os.path.join(d, "out.bin"))
assert "    #1: a\n    'xi 1 0 0'\n" in r.stdout, r.stdout
# Devices and folders are refused by name, wherever a file is named.
fails_bounded("bitmap /dev/zero\n", "m.manifest:1: /dev/zero: is not a regular file")
fails_bounded("macros /dev/zero\n", "m.manifest:1: /dev/zero: is not a regular file")
fails_bounded("font f /dev/zero 12\n", "m.manifest:1: /dev/zero: is not a regular file")
fails_bounded("bitmap %s\n" % tmp, "m.manifest:1: %s: is a folder, not a file" % tmp)
fails_bounded("macros %s\n" % tmp, "m.manifest:1: %s: is a folder, not a file" % tmp)
for args, want in ((["build", "/dev/zero"], "vmod-image: /dev/zero: is not a regular file"),
                   (["build", tmp], "vmod-image: %s: is a folder, not a file" % tmp),
                   (["list", "/dev/zero"], "vmod-image: /dev/zero: is not a regular file"),
                   (["list", tmp], "vmod-image: %s: is a folder, not a file" % tmp)):
    r = subprocess.run([TOOL] + args + ["-o", os.path.join(tmp, "x.bin")] * (args[0] == "build"), capture_output=True,
                       text=True, timeout=30, preexec_fn=limited)
    assert r.returncode == 1 and want in r.stderr, (args, r)
print("vmod-image: 2 images, 14 refusals and 13 hostile inputs passed")
