#!/usr/bin/python3
"""BMP files for the drawing-layer tests, made and read by an encoder and decoder that are not
ours: Pillow writes the 1, 8, 24 and 32-bit files; the 4-bit and run-length (RLE8, RLE4) files,
which Pillow cannot write, are encoded here by hand and then checked by decoding them with
Pillow. The expected pixels of every file are Pillow's decoding of it.

    bmp_tool.py make DIR        writes NAME.bmp and NAME.rgb for every case into DIR
    bmp_tool.py decode IN OUT   decodes the BMP file IN into OUT

A .rgb file is the width and height (32-bit little-endian) followed by R, G, B bytes per pixel,
rows top to bottom.
"""
import random
import struct
import sys

from PIL import Image


def write_rgb(img, path):
    img = img.convert("RGB")
    with open(path, "wb") as f:
        f.write(struct.pack("<II", img.width, img.height))
        f.write(img.tobytes())


def bmp_file(width, height, bpp, compression, palette, pixel_data):
    """A BMP file with a 40-byte info header; palette is a list of (r, g, b)."""
    pal = b"".join(bytes((b, g, r, 0)) for (r, g, b) in palette)
    offset = 14 + 40 + len(pal)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bpp, compression, len(pixel_data),
                       2835, 2835, len(palette), 0)
    head = b"BM" + struct.pack("<IHHI", offset + len(pixel_data), 0, 0, offset)
    return head + info + pal + pixel_data


def packed_rows(rows, bpp):
    """Uncompressed rows (lists of indices, top row first), stored bottom-up, 4-byte padded."""
    out = b""
    for row in reversed(rows):
        bits = "".join(format(v, "0%db" % bpp) for v in row)
        bits += "0" * (-len(bits) % 8)
        data = bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))
        out += data + b"\0" * (-len(data) % 4)
    return out


def rle_rows(rows, four):
    """RLE8 / RLE4: encoded runs and literal stretches, an end-of-line after each row and an
    end-of-bitmap at the end."""
    out = bytearray()
    for row in reversed(rows):
        i = 0
        while i < len(row):
            j = i
            while j < len(row) and row[j] == row[i] and j - i < 255:
                j += 1
            if j - i >= 3 or len(row) - i < 3:
                n = j - i
                v = (row[i] << 4 | row[i]) if four else row[i]
                out += bytes((n, v))
                i = j
            else:
                n = min(len(row) - i, 8)
                if four and n % 2:
                    # Pillow 9 reads odd RLE4 literal stretches one pixel short: keep them even,
                    # and send a last three pixels as runs of one.
                    if n == 3:
                        for v in row[i:i + 3]:
                            out += bytes((1, v << 4 | v))
                        i += 3
                        continue
                    n -= 1
                lit = row[i:i + n]
                if four:
                    data = bytes((lit[k] << 4 | (lit[k + 1] if k + 1 < n else 0)) for k in range(0, n, 2))
                else:
                    data = bytes(lit)
                out += bytes((0, n)) + data + (b"\0" if len(data) % 2 else b"")
                i += n
        out += b"\0\0"
    out += b"\0\1"
    return bytes(out)


def random_palette(rng, n):
    return [(rng.randrange(256), rng.randrange(256), rng.randrange(256)) for _ in range(n)]


def runny_rows(rng, w, h, colours):
    rows = []
    for _ in range(h):
        row = []
        while len(row) < w:
            v = rng.randrange(colours)
            row += [v] * rng.choice((1, 1, 2, 4, 7))
        rows.append(row[:w])
    return rows


def make(folder):
    rng = random.Random(1234)
    cases = {}

    img = Image.new("1", (13, 7))
    img.putdata([rng.randrange(2) * 255 for _ in range(13 * 7)])
    cases["pil_1bpp_13x7"] = img

    img = Image.new("P", (17, 9))
    img.putpalette(bytes(rng.randrange(256) for _ in range(768)))
    img.putdata([rng.randrange(256) for _ in range(17 * 9)])
    cases["pil_8bpp_17x9"] = img

    img = Image.new("L", (5, 3))
    img.putdata([rng.randrange(256) for _ in range(15)])
    cases["pil_8bpp_gray_5x3"] = img

    img = Image.new("RGB", (11, 5))
    img.putdata([(rng.randrange(256), rng.randrange(256), rng.randrange(256)) for _ in range(55)])
    cases["pil_24bpp_11x5"] = img

    img = Image.new("RGBA", (7, 6))
    img.putdata([(rng.randrange(256), rng.randrange(256), rng.randrange(256), rng.randrange(256))
                 for _ in range(42)])
    cases["pil_32bpp_7x6"] = img

    for name, img in cases.items():
        img.save("%s/%s.bmp" % (folder, name))

    hand = {}
    source = {}
    pal16 = random_palette(rng, 16)
    rows = [[rng.randrange(16) for _ in range(9)] for _ in range(5)]
    hand["hand_4bpp_9x5"] = bmp_file(9, 5, 4, 0, pal16, packed_rows(rows, 4))
    source["hand_4bpp_9x5"] = rows
    pal256 = random_palette(rng, 256)
    rows = runny_rows(rng, 21, 6, 256)
    hand["hand_rle8_21x6"] = bmp_file(21, 6, 8, 1, pal256, rle_rows(rows, False))
    source["hand_rle8_21x6"] = rows
    rows = runny_rows(rng, 15, 5, 16)
    hand["hand_rle4_15x5"] = bmp_file(15, 5, 4, 2, pal16, rle_rows(rows, True))
    source["hand_rle4_15x5"] = rows
    pal2 = random_palette(rng, 2)
    rows = [[rng.randrange(2) for _ in range(33)] for _ in range(3)]
    hand["hand_1bpp_33x3"] = bmp_file(33, 3, 1, 0, pal2, packed_rows(rows, 1))
    source["hand_1bpp_33x3"] = rows
    for name, data in hand.items():
        with open("%s/%s.bmp" % (folder, name), "wb") as f:
            f.write(data)
        cases[name] = None
        # Pillow must read back exactly the indices that were encoded.
        got = list(Image.open("%s/%s.bmp" % (folder, name)).getdata())
        want = [v for row in source[name] for v in row]
        if got != want:
            sys.exit("%s: Pillow decodes it differently" % name)

    for name in cases:
        write_rgb(Image.open("%s/%s.bmp" % (folder, name)), "%s/%s.rgb" % (folder, name))
    print("\n".join(sorted(cases)))


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "make":
        make(sys.argv[2])
    elif len(sys.argv) == 4 and sys.argv[1] == "decode":
        write_rgb(Image.open(sys.argv[2]), sys.argv[3])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
