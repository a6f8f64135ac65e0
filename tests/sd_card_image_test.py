#!/usr/bin/python3
"""Whole SD card images with real FAT tools as the peers: cards made by mkfs.fat (with and
without a partition table written by sfdisk, files put on with mtools) go into the module with
the scenario line `sd-image`, which reads their config.ini and external-memory image; the card
the module wrote to comes back with `sd-save`, passes fsck.fat, and the screen capture on it
decodes with Pillow to the screen the module showed. A FAT32 card, which the module does not
read, leaves it as without a card.

    sd_card_image_test.py VMOD_SIM BUILT_IMAGES   (the test images of tests/scenarios/image)
"""
import os
import shutil
import subprocess
import sys
import tempfile

from PIL import Image

SIM, IMAGES = sys.argv[1], sys.argv[2]
ENV = dict(os.environ, MTOOLS_SKIP_CHECK="1")
PART_START = 2048  # blocks: where sfdisk puts the first partition


def sh(*cmd, stdin=None):
    r = subprocess.run(cmd, input=stdin, capture_output=True, text=True, env=ENV)
    assert r.returncode == 0, f"{' '.join(cmd)}: {r.stdout}{r.stderr}"
    return r.stdout


def make_card(path, mib, fat, partitioned):
    """A card image holding one FAT volume; returns the mtools name of that volume."""
    sh("truncate", "-s", f"{mib}M", path)
    args = ["mkfs.fat", "-F", str(fat)]
    if partitioned:
        sh("sfdisk", "-q", path, stdin=f"start={PART_START}, type={'6' if fat == 16 else '1'}\n")
        args.append(f"--offset={PART_START}")
    sh(*args, path)
    return f"{path}@@{PART_START * 512}" if partitioned else path


def put(volume, name, data):
    src = os.path.join(os.path.dirname(volume.split("@@")[0]), "put.tmp")
    with open(src, "wb") as f:
        f.write(data)
    sh("mcopy", "-i", volume, src, "::" + name)
    os.remove(src)


def fsck(volume):
    """fsck.fat -n on the volume (a partition is copied out first)."""
    image, _, offset = volume.partition("@@")
    if not offset:
        return sh("fsck.fat", "-n", image)
    part = image + ".part"
    with open(image, "rb") as f, open(part, "wb") as out:
        f.seek(int(offset))
        out.write(f.read())
    try:
        return sh("fsck.fat", "-n", part)
    finally:
        os.remove(part)


def run_scenario(folder, name, lines):
    path = os.path.join(folder, name)
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")
    r = subprocess.run([SIM, "--script", path], capture_output=True, text=True)
    assert r.returncode == 0, f"{name}:\n{r.stdout}{r.stderr}"


def same_screen(bmp_path, png_path):
    """The 16-bit BMP (5-5-5) against the screen (5-6-5 widened): red and blue agree exactly,
    green to within the one bit the BMP lacks."""
    bmp, png = Image.open(bmp_path), Image.open(png_path).convert("RGB")
    assert bmp.size == (640, 480) and bmp.format == "BMP", (bmp.format, bmp.size)
    bmp = bmp.convert("RGB")
    worst = 0
    for (r1, g1, b1), (r2, g2, b2) in zip(bmp.getdata(), png.getdata()):
        assert r1 >> 3 == r2 >> 3 and b1 >> 3 == b2 >> 3, ((r1, g1, b1), (r2, g2, b2))
        worst = max(worst, abs((g1 >> 3) - (g2 >> 2) / 2))
    assert worst <= 1, worst


with open(os.path.join(IMAGES, "demo.bin"), "rb") as f:
    demo = f.read()
work = tempfile.mkdtemp(prefix="vmod-sdimage-")
try:
    # A card with no partition table (FAT12, as mkfs.fat makes a small volume): config.ini
    # and the image are read at start, the capture is written beside them.
    plain = make_card(os.path.join(work, "plain.img"), 4, 12, False)
    put(plain, "CONFIG.INI", b"verbose = 1\r\ntsamp = 6\r\n")
    put(plain, "VMOD.BIN", demo)
    run_scenario(work, "plain.scn", [
        "sd-image plain.img",
        "power-on",
        "expect :config.ini verbose mode enabled\\r:tsamp = 6\\r:new values stored in EEPROM\\r",
        "expect :loading 3KB bitmap/macro file from SD card\\r>\\r",
        "send lsbmp 1",
        "expect 3KB of 11264Kb Bitmap/Macro storage used\\r# of Bitmaps: 5\\r"
        "  1: 2416 bytes Uncompressed Bitmap: 40x30\\r>\\r",
        "send xi 1 100 100",
        "expect >\\r",
        "send *getScreenAsBMPFile",
        "expect >\\r",
        "snapshot plain.png",
        "sd-save plain-after.img",
    ])
    saved = os.path.join(work, "plain-after.img")
    fsck(saved)
    listing = sh("mdir", "-b", "-i", saved, "::")
    assert "VMOD0000.BMP" in listing and "CONFIG.INI" in listing, listing
    sh("mcopy", "-i", saved, "::VMOD0000.BMP", os.path.join(work, "plain.bmp"))
    same_screen(os.path.join(work, "plain.bmp"), os.path.join(work, "plain.png"))

    # A partitioned card (FAT16 in the first partition of an MBR): the same, and the image is
    # copied into the Data Flash because flash1.ini is there; a second capture takes the next
    # number. The card is saved while the module is still on.
    parted = make_card(os.path.join(work, "parted.img"), 20, 16, True)
    put(parted, "CONFIG.INI", b"verbose = 1\r\ntsamp = 7\r\n")
    put(parted, "VMOD.BIN", demo)
    put(parted, "FLASH1.INI", b"copy\r\n")
    run_scenario(work, "parted.scn", [
        "sd-image parted.img",
        "power-on",
        "timeout 20000",
        "expect :config.ini verbose mode enabled\\r:tsamp = 7\\r:new values stored in EEPROM\\r",
        "expect :Copy SD Card to Data Flash:  DONE!\\r>\\r",
        "send xi 2 0 0",
        "expect >\\r",
        "send *getScreenAsBMPFile",
        "expect >\\r",
        "send t \"second\" 300 300",
        "expect >\\r",
        "send *getScreenAsBMPFile",
        "expect >\\r",
        "snapshot parted.png",
        "sd-save parted-after.img",
        "send *IERR",
        "expect #\\r",
    ])
    saved = os.path.join(work, "parted-after.img")
    volume = f"{saved}@@{PART_START * 512}"
    fsck(volume)
    listing = sh("mdir", "-b", "-i", volume, "::")
    assert "VMOD0000.BMP" in listing and "VMOD0001.BMP" in listing, listing
    sh("mcopy", "-i", volume, "::VMOD0001.BMP", os.path.join(work, "parted.bmp"))
    same_screen(os.path.join(work, "parted.bmp"), os.path.join(work, "parted.png"))
    # Nothing outside the partition changed: the partition table is as sfdisk wrote it.
    with open(os.path.join(work, "parted.img"), "rb") as a, open(saved, "rb") as b:
        assert a.read(PART_START * 512) == b.read(PART_START * 512)

    # A FAT32 card is not a volume the module reads: it starts as without a card.
    fat32 = make_card(os.path.join(work, "fat32.img"), 40, 32, False)
    put(fat32, "CONFIG.INI", b"verbose = 1\r\n")
    run_scenario(work, "fat32.scn", [
        "sd-image fat32.img",
        "power-on",
        "expect !Data Flash header is not valid!  Magic was 0xFFFF, not 0xFEEB\\r"
        "!No SD Card and failed to load from Data Flash(1)\\r\\n"
        "!Error loading bitmaps from SD card or Data Flash.\\r>\\r",
        "send *getScreenAsBMPFile",
        "expect :Unable to initialize SD Card\\r!\\r",
    ])

    # What sd-image refuses: a file that is not whole blocks.
    with open(os.path.join(work, "odd.img"), "wb") as f:
        f.write(b"\0" * 1000)
    path = os.path.join(work, "odd.scn")
    with open(path, "w") as f:
        f.write("sd-image odd.img\n")
    r = subprocess.run([SIM, "--script", path], capture_output=True, text=True)
    assert r.returncode == 2 and "512-byte blocks" in r.stdout, r.stdout
    print("sd-image and sd-save: FAT12, partitioned FAT16 and FAT32 cards; fsck.fat clean; captures decode to the screen")
finally:
    shutil.rmtree(work)
