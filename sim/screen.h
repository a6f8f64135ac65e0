// Screens of the simulated module as PNG files: capture of the LCD controller's current frame,
// golden-file comparison, and the frame checksum the module's "*CRC" command computes.
#ifndef VMOD_SIM_SCREEN_H
#define VMOD_SIM_SCREEN_H

#include <cstdint>
#include <string>
#include <vector>

namespace screen {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// One frame of RGB565 pixel indices, row after row.
struct Frame {
    std::vector<uint16_t> px = std::vector<uint16_t>(kWidth * kHeight, 0);
    uint16_t at(int x, int y) const { return px[size_t(y) * kWidth + size_t(x)]; }
};

// What the panel shows now: the frame at the controller's start address (black while the
// controller is off or points outside SDRAM).
Frame capture();

// A pixel index widened to 0xRRGGBB as the "prx" command does: R = (i >> 11) << 3,
// G = (i >> 3) & 0xFC, B = (i & 0x1F) << 3 (the `pixel` scenario line).
uint32_t widen(uint16_t index);

// The colour a PNG file holds for a pixel index: each field widened to 8 bits with its high
// bits repeated below, so white is FFFFFF. Taking the top 5-6-5 bits of a file's pixel gives the
// index back (also for files whose low bits are zero).
uint32_t pngColour(uint16_t index);
uint16_t pngIndex(const uint8_t *rgb);

// CRC-16/MODBUS of the frame's bytes, each pixel little-endian as it lies in memory.
uint16_t crc(const Frame &f);

// Writes the frame as an 8-bit RGB PNG. Returns an empty string or what went wrong.
std::string writePng(const Frame &f, const std::string &path);

// Reads a PNG of any colour type into 8-bit RGB; false with *error set when it cannot.
bool readPng(const std::string &path, int *width, int *height, std::vector<uint8_t> *rgb,
             std::string *error);

// Compares the frame with a golden PNG exactly, pixel index by pixel index. A mismatch writes `<name>_err.png` beside the
// golden; a missing golden, or update = true, writes the golden and fails (goldens are made on
// purpose and reviewed by eye). Returns an empty string when the frame matches.
std::string compareGolden(const Frame &f, const std::string &golden, bool update);

// The file name of the error image of a golden: "a/b.png" -> "a/b_err.png".
std::string errorName(const std::string &golden);

}  // namespace screen

#endif
