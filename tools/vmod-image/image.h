// vmod-image: builds the module's external-memory image (bitmaps, macros, user fonts) from a
// manifest, and lists an image as the module's "lsbmp" and "lsmac" would.
#ifndef VMOD_TOOLS_IMAGE_H
#define VMOD_TOOLS_IMAGE_H

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace vimage {

constexpr uint16_t kMagic = 0xFEEB;
constexpr uint32_t kMaxImage = 0xB00000;  // the module's staging buffer
constexpr uint16_t kMacroNamesMark = 0xA5A5;

enum RecordType : uint8_t { Blank = 0, Plain = 1, Rle = 2, Macros = 3, Font = 4, Transparent = 5 };

// Errors carry the place they were found: "FILE:LINE: what" or "FILE: what".
struct Error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// An image decoded to RGBA (8 bits a channel), rows top to bottom.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
};
Picture loadPicture(const std::string &file);  // PNG or BMP by content

uint16_t toRgb565(uint8_t r, uint8_t g, uint8_t b);
// The RLE16 stream of a row-major pixel sequence: a byte n > 0 and one pixel for n equal
// pixels; a byte 0, a count m and m literal pixels. Runs carry on across rows.
std::vector<uint8_t> rle16(const std::vector<uint16_t> &pixels);
std::vector<uint16_t> unrle16(const std::vector<uint8_t> &stream, size_t pixels);  // for tests

struct Macro {
    int number = 0;
    std::string name;
    std::vector<std::string> lines;
};
// The macro file: "macro NUMBER [NAME]" starts a macro, the lines up to the next one are its
// command lines (labels are lines that begin with ':'); blank lines and lines beginning with
// '#' are left out.
std::vector<Macro> parseMacros(const std::string &text, const std::string &file);

// A user font rendered to the graphics library's SIF format (1 bit per pixel).
std::vector<uint8_t> renderSif(const std::string &ttf, int pixelSize, int first, int last);

// One directory entry to build.
struct Entry {
    RecordType type = Blank;
    Picture picture;          // bitmaps
    uint16_t key = 0;         // transparent colour (RGB565)
    std::string fontName;     // user fonts
    std::vector<uint8_t> sif;
};

struct Manifest {
    std::vector<Macro> macros;
    std::vector<Entry> entries;  // directory entries 1, 2, ...
};
// The manifest: one directive a line; a '#' at the start of a line, or a '#' word followed
// by a blank, starts a comment.
//   macros FILE
//   bitmap FILE [plain | rle | transparent [#RRGGBB | 0xHHHH]]
//   font NAME FILE SIZE [FIRST-LAST]
//   blank
// Files are relative to the manifest's folder.
Manifest parseManifest(const std::string &text, const std::string &file, const std::string &dir);
Manifest loadManifest(const std::string &file);

std::vector<uint8_t> build(const Manifest &m);

// The directory and the macros as the module lists them, with "\n" line ends.
std::string list(const std::vector<uint8_t> &image);

// The most any input file (manifest, macros, picture, TrueType font, image) may hold.
constexpr size_t kMaxInput = size_t(64) << 20;
// A whole regular file; an Error naming the file for anything else.
std::vector<uint8_t> readFile(const std::string &file);
void writeFile(const std::string &file, const std::vector<uint8_t> &bytes);

}  // namespace vimage

#endif
