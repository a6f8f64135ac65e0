// vmod-fontgen: turns a TrueType face into a compiled-in font of the firmware's drawing layer,
// and draws the built-in button pictures. Runs on the build host at build time; its output
// goes into the build tree only.
//
//   vmod-fontgen font OUT.cpp SYMBOL FACE.ttf HEIGHT BPP [ascii]
//       A proportional font whose cell is HEIGHT rows, 1 or 4 bits per pixel, with the
//       characters 0x20-0x7E, 0xA0-0xFF and a few typographic marks of Western European text.
//       "ascii" sizes the face by the ink of the ASCII characters (for tiny cells).
//   vmod-fontgen buttons OUT.cpp
//       bmbbutton_up and bmbbutton_dn: 64 x 64 RGB565 pictures of a raised and a pressed key.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Range {
    unsigned first, last;
};

// Latin-1's printable characters and the marks that Western European text uses beyond it.
const Range kRanges[] = {{0x20, 0x7E}, {0xA0, 0xFF}, {0x2013, 0x2014}, {0x2018, 0x201E},
                         {0x2020, 0x2022}, {0x2026, 0x2026}, {0x20AC, 0x20AC}};

struct Glyph {
    int width = 0;    // bitmap columns from the cursor to the last inked column
    int advance = 0;  // cursor movement
    int bytesPerLine = 0;
    std::vector<unsigned char> rows;  // cell-height rows of bytesPerLine bytes
};

[[noreturn]] void fail(const std::string &what) {
    std::fprintf(stderr, "vmod-fontgen: %s\n", what.c_str());
    std::exit(1);
}

std::string baseName(const std::string &path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void writeBytes(FILE *f, const unsigned char *p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        std::fprintf(f, "%s0x%02X,", (i % 16) == 0 ? "\n    " : " ", p[i]);
    std::fprintf(f, "\n");
}

// Renders one character into a cell of `height` rows whose baseline is row `baseline`.
// Coverage is kept as 0..255 per pixel, then packed to the font's depth.
Glyph renderGlyph(FT_Face face, unsigned code, int height, int baseline, int bpp) {
    Glyph g;
    FT_UInt index = FT_Get_Char_Index(face, code);
    FT_Int32 flags = FT_LOAD_RENDER | (bpp == 1 ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
    if (FT_Load_Glyph(face, index, flags)) fail("cannot render a glyph");
    FT_GlyphSlot slot = face->glyph;
    g.advance = (int)((slot->advance.x + 32) >> 6);
    const FT_Bitmap &bm = slot->bitmap;
    int left = slot->bitmap_left;
    int top = baseline - slot->bitmap_top;
    std::vector<int> cover((size_t)height * 256, 0);
    int maxCol = -1;
    for (unsigned r = 0; r < bm.rows; ++r) {
        int y = top + (int)r;
        if (y < 0 || y >= height) continue;  // ink outside the cell is cut off
        const unsigned char *src = bm.buffer + (long)r * bm.pitch;
        for (unsigned c = 0; c < bm.width; ++c) {
            int x = left + (int)c;
            if (x < 0 || x > 255) continue;
            int v = bm.pixel_mode == FT_PIXEL_MODE_MONO ? ((src[c >> 3] >> (7 - (c & 7))) & 1) * 255
                                                        : src[c];
            if (v == 0) continue;
            cover[(size_t)y * 256 + x] = v;
            maxCol = std::max(maxCol, x);
        }
    }
    g.width = maxCol + 1;
    if (g.width == 0) return g;  // a blank: no bitmap at all
    g.bytesPerLine = bpp == 1 ? (g.width + 7) / 8 : (g.width + 1) / 2;
    g.rows.assign((size_t)g.bytesPerLine * height, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < g.width; ++x) {
            int v = cover[(size_t)y * 256 + x];
            unsigned char *row = &g.rows[(size_t)y * g.bytesPerLine];
            if (bpp == 1) {
                if (v >= 128) row[x >> 3] |= (unsigned char)(0x80 >> (x & 7));
            } else {
                int a = (v * 15 + 127) / 255;  // 4-bit coverage, high nibble first
                row[x >> 1] |= (unsigned char)((x & 1) ? a : a << 4);
            }
        }
    }
    return g;
}

int makeFont(const char *out, const std::string &symbol, const char *facePath, int height,
             int bpp, bool fitAscii) {
    if (height < 4 || height > 255) fail("height must be 4..255");
    if (bpp != 1 && bpp != 4) fail("bits per pixel must be 1 or 4");
    FT_Library lib;
    if (FT_Init_FreeType(&lib)) fail("FreeType does not start");
    FT_Face face;
    if (FT_New_Face(lib, facePath, 0, &face)) fail(std::string("cannot open ") + facePath);
    if (!FT_IS_SCALABLE(face)) fail("not a scalable face");

    // The largest whole pixel size whose ascender plus descender fits the cell; the descender
    // is kept whole at the bottom, the ascender gets the rest. Tiny fonts (fitAscii) are sized
    // so that the ink of the ASCII letters and digits fills the cell instead: legible letters
    // matter more there than brackets and the accents on capitals, which such a cell may cut.
    double upem = face->units_per_EM;
    double asc = face->ascender / upem, desc = -face->descender / upem;
    int ppem = (int)std::floor(height / (asc + desc));
    if (ppem < 1) ppem = 1;
    if (FT_Set_Pixel_Sizes(face, 0, (FT_UInt)ppem)) fail("cannot set the size");
    int descent = (int)std::lround(desc * ppem);
    if (fitAscii) {
        for (int p = height * 2; p > 1; --p) {
            if (FT_Set_Pixel_Sizes(face, 0, (FT_UInt)p)) fail("cannot set the size");
            int top = 0, bottom = 0;
            for (unsigned c = 0x30; c <= 0x7A; ++c) {
                if (!std::isalnum((int)c)) continue;
                FT_Int32 flags = FT_LOAD_RENDER | (bpp == 1 ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
                if (FT_Load_Char(face, c, flags)) continue;
                top = std::max(top, face->glyph->bitmap_top);
                bottom = std::max(bottom, (int)face->glyph->bitmap.rows - face->glyph->bitmap_top);
            }
            if (top + bottom <= height) {
                ppem = p;
                descent = bottom;
                break;
            }
        }
        if (FT_Set_Pixel_Sizes(face, 0, (FT_UInt)ppem)) fail("cannot set the size");
    }
    int baseline = height - descent;
    if (baseline > height - 1) baseline = height - 1;

    bool fixed = FT_IS_FIXED_WIDTH(face);
    int fixedAdvance = 0;
    if (fixed) fixedAdvance = renderGlyph(face, 'M', height, baseline, bpp).advance;

    // Heights of a lower-case x and a capital X, for the font information call.
    auto inkTop = [&](unsigned code) {
        FT_Load_Char(face, code, FT_LOAD_DEFAULT);
        return (int)((face->glyph->metrics.horiBearingY + 32) >> 6);
    };
    int lHeight = inkTop('x'), cHeight = inkTop('X');

    FILE *f = std::fopen(out, "w");
    if (!f) fail(std::string("cannot write ") + out);
    std::fprintf(f,
                 "// Generated by vmod-fontgen from %s (%s %s), %d px cell, %d bpp. Do not edit.\n"
                 "#include \"gui/GUI.h\"\n\n",
                 baseName(facePath).c_str(), face->family_name, face->style_name, height, bpp);

    size_t nRanges = sizeof kRanges / sizeof kRanges[0];
    for (size_t r = 0; r < nRanges; ++r) {
        std::vector<Glyph> glyphs;
        for (unsigned c = kRanges[r].first; c <= kRanges[r].last; ++c) {
            Glyph g = renderGlyph(face, c, height, baseline, bpp);
            if (fixed) g.advance = fixedAdvance;
            if (g.width > 255 || g.advance > 255) fail("glyph too wide");
            if (!g.rows.empty()) {
                std::fprintf(f, "static const u8 g%04X[] = {", c);
                writeBytes(f, g.rows.data(), g.rows.size());
                std::fprintf(f, "};\n");
            }
            glyphs.push_back(std::move(g));
        }
        std::fprintf(f, "\nstatic const GUI_CHARINFO chars%zu[] = {\n", r);
        unsigned c = kRanges[r].first;
        for (const Glyph &g : glyphs) {
            if (g.rows.empty())
                std::fprintf(f, "    {0, %d, 0, 0},  // U+%04X\n", g.advance, c);
            else
                std::fprintf(f, "    {%d, %d, %d, g%04X},\n", g.width, g.advance, g.bytesPerLine, c);
            ++c;
        }
        std::fprintf(f, "};\n\n");
    }
    // Ranges chained from the first; each points at the next.
    for (size_t r = nRanges; r-- > 0;) {
        std::fprintf(f, "static const GUI_FONT_PROP range%zu = {0x%04X, 0x%04X, chars%zu, %s%s};\n", r,
                     kRanges[r].first, kRanges[r].last, r, r + 1 < nRanges ? "&range" : "0",
                     r + 1 < nRanges ? std::to_string(r + 1).c_str() : "");
    }
    const char *ops = bpp == 1 ? "GUI_FONTTYPE_PROP" : "GUI_FONTTYPE_PROP_AA4";
    std::fprintf(f,
                 "\nextern const GUI_FONT %s;\n"
                 "const GUI_FONT %s = {%s, %d, %d, 1, 1, &range0, %d, %d, %d, 0};\n",
                 symbol.c_str(), symbol.c_str(), ops, height, height, baseline, lHeight, cHeight);
    std::fclose(f);
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
    return 0;
}

// ---- button pictures ----

unsigned rgb565(double r, double g, double b) {
    auto q = [](double v, int bits) {
        int max = (1 << bits) - 1;
        int n = (int)std::lround(std::clamp(v, 0.0, 255.0) * max / 255.0);
        return (unsigned)n;
    };
    return (q(r, 5) << 11) | (q(g, 6) << 5) | q(b, 5);
}

// A rounded key with a bevel: light from the top left when raised; when pressed the bevel is
// inverted, the face darker and its shading moved down one pixel.
std::vector<unsigned> drawButton(bool pressed) {
    const int n = 64;
    std::vector<unsigned> px((size_t)n * n);
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            // Distance from the edge, with the corners rounded (radius 6).
            double cx = std::clamp((double)x, 6.0, n - 7.0), cy = std::clamp((double)y, 6.0, n - 7.0);
            double dCorner = 6.0 - std::hypot(x - cx, y - cy);
            double edge = std::min({(double)x, (double)y, (double)(n - 1 - x), (double)(n - 1 - y)});
            double d = (std::abs(x - cx) > 0 || std::abs(y - cy) > 0) ? dCorner : edge;
            double r, g, b;
            if (d < 0) {  // outside the rounded outline: the panel behind, mid grey
                r = g = b = 128;
            } else if (d < 1.2) {  // dark outline
                r = g = b = 40;
            } else if (d < 5) {  // bevel: lit on the top and left, shaded on the bottom and right
                bool lit = (x + y) < (n - 1);
                if (pressed) lit = !lit;
                double v = lit ? 235 : 110;
                r = v;
                g = v;
                b = v + (lit ? 10 : 15);
            } else {  // face: a soft vertical shade of steel blue
                double t = (y - 5 + (pressed ? 1 : 0)) / (double)(n - 10);
                double base = pressed ? 150 : 190;
                double shade = pressed ? 15 * t : -25 * t;
                r = base * 0.78 + shade;
                g = base * 0.86 + shade;
                b = base + shade;
            }
            px[(size_t)y * n + x] = rgb565(r, g, b);
        }
    }
    return px;
}

int makeButtons(const char *out) {
    FILE *f = std::fopen(out, "w");
    if (!f) fail(std::string("cannot write ") + out);
    std::fprintf(f, "// Generated by vmod-fontgen: the built-in key pictures. Do not edit.\n"
                    "#include \"gui/GUI_Pictures.h\"\n\n");
    const char *names[2] = {"bmbbutton_up", "bmbbutton_dn"};
    for (int i = 0; i < 2; ++i) {
        std::vector<unsigned> px = drawButton(i == 1);
        std::vector<unsigned char> bytes;
        for (unsigned v : px) {
            bytes.push_back((unsigned char)(v & 0xFF));
            bytes.push_back((unsigned char)(v >> 8));
        }
        std::fprintf(f, "static const u8 data%d[] = {", i);
        writeBytes(f, bytes.data(), bytes.size());
        std::fprintf(f, "};\n");
        std::fprintf(f,
                     "extern const GUI_BITMAP %s;\n"
                     "const GUI_BITMAP %s = {64, 64, 128, 16, data%d, 0, &GUI_BitmapMethods565, "
                     "sizeof data%d};\n\n",
                     names[i], names[i], i, i);
    }
    std::fclose(f);
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if ((argc == 7 || (argc == 8 && std::strcmp(argv[7], "ascii") == 0)) && std::strcmp(argv[1], "font") == 0)
        return makeFont(argv[2], argv[3], argv[4], std::atoi(argv[5]), std::atoi(argv[6]), argc == 8);
    if (argc == 3 && std::strcmp(argv[1], "buttons") == 0) return makeButtons(argv[2]);
    std::fprintf(stderr,
                 "usage: vmod-fontgen font OUT.cpp SYMBOL FACE.ttf HEIGHT BPP [ascii]\n"
                 "       vmod-fontgen buttons OUT.cpp\n");
    return 2;
}
