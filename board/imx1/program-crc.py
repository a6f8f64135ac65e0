#!/usr/bin/env python3
"""Writes the "*CSUM" reply a board gives once vmod-imx1.bin sits in its program area (the
CRC-16/MODBUS of the 0x7F0000-byte area: the image followed by erased flash, 0xFF) to the
file named second, or prints it."""
import sys

AREA = 0x7F0000
image = open(sys.argv[1], "rb").read()
if len(image) > AREA:
    sys.exit("program-crc: the image is larger than the program area")

table = []
for i in range(256):
    c = i
    for _ in range(8):
        c = (c >> 1) ^ 0xA001 if c & 1 else c >> 1
    table.append(c)

crc = 0xFFFF
for b in image:
    crc = (crc >> 8) ^ table[(crc ^ b) & 0xFF]
for _ in range(AREA - len(image)):
    crc = (crc >> 8) ^ table[(crc ^ 0xFF) & 0xFF]
if len(sys.argv) > 2:
    with open(sys.argv[2], "w") as out:
        out.write(f"0x{crc:04X}\n")
else:
    print(f"0x{crc:04X}")
