// vmod-image: pictures in, RLE16, SIF fonts by FreeType, the image layout, and its listing.
#include "image.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

namespace vimage {
namespace {

// Blanks are what words() splits at: every isspace character, form feed and vertical tab too,
// so that a line trim() keeps always holds a word.
const char *const kBlanks = " \t\r\n\f\v";

std::string trim(const std::string &s) {
    size_t a = s.find_first_not_of(kBlanks);
    if (a == std::string::npos) return "";
    size_t b = s.find_last_not_of(kBlanks);
    return s.substr(a, b - a + 1);
}

std::vector<std::string> words(const std::string &s) {
    std::istringstream in(s);
    std::vector<std::string> w;
    for (std::string t; in >> t;) w.push_back(t);
    return w;
}

[[noreturn]] void fail(const std::string &where, const std::string &what) { throw Error(where + ": " + what); }

std::string at(const std::string &file, int line) { return file + ":" + std::to_string(line); }

bool parseInt(const std::string &s, long &v, int base = 10) {
    if (s.empty()) return false;
    char *end = nullptr;
    v = std::strtol(s.c_str(), &end, base);
    return *end == 0;
}

void put16(std::vector<uint8_t> &b, size_t at, uint16_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
void put32(std::vector<uint8_t> &b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}
uint16_t get16(const std::vector<uint8_t> &b, size_t at) {
    return at + 2 <= b.size() ? uint16_t(b[at] | b[at + 1] << 8) : 0;
}
uint32_t get32(const std::vector<uint8_t> &b, size_t at) {
    if (at + 4 > b.size()) return 0;
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
void append16(std::vector<uint8_t> &b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void append32(std::vector<uint8_t> &b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void align4(std::vector<uint8_t> &b) {
    while (b.size() % 4) b.push_back(0);
}

// ---- pictures ----

Picture loadPng(const std::string &file, const std::vector<uint8_t> &bytes) {
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&img, bytes.data(), bytes.size()))
        fail(file, std::string("not a readable PNG file (") + img.message + ")");
    img.format = PNG_FORMAT_RGBA;
    if (img.width == 0 || img.height == 0 || img.width > 65535 || img.height > 65535) {
        png_image_free(&img);
        fail(file, "a bitmap must be 1 to 65535 pixels wide and high");
    }
    Picture p;
    p.width = int(img.width);
    p.height = int(img.height);
    p.rgba.resize(size_t(p.width) * p.height * 4);
    if (!png_image_finish_read(&img, nullptr, p.rgba.data(), 0, nullptr))
        fail(file, std::string("cannot decode the PNG data (") + img.message + ")");
    return p;
}

// Uncompressed Windows BMP files of 8 (palette), 24 or 32 bits per pixel.
Picture loadBmp(const std::string &file, const std::vector<uint8_t> &b) {
    if (b.size() < 54) fail(file, "truncated BMP header");
    uint32_t dataOff = get32(b, 10), hdr = get32(b, 14);
    int32_t w = int32_t(get32(b, 18)), h = int32_t(get32(b, 22));
    uint16_t bpp = get16(b, 28);
    uint32_t comp = get32(b, 30), colours = get32(b, 46);
    if (hdr < 40) fail(file, "unsupported BMP header (OS/2 form)");
    if (comp != 0 && !(comp == 3 && bpp == 32)) fail(file, "compressed BMP files are not supported; save it uncompressed");
    if (bpp != 8 && bpp != 24 && bpp != 32) fail(file, "BMP with " + std::to_string(bpp) + " bits per pixel; use 8, 24 or 32");
    bool topDown = h < 0;
    long long ah = h < 0 ? -(long long)h : h;
    if (w <= 0 || w > 65535 || ah == 0 || ah > 65535) fail(file, "a bitmap must be 1 to 65535 pixels wide and high");
    size_t stride = (size_t(w) * bpp / 8 + 3) & ~size_t(3);
    if (dataOff > b.size() || stride * ah > b.size() - dataOff) fail(file, "the pixel data is shorter than the header says");
    std::vector<uint8_t> pal;
    if (bpp == 8) {
        if (colours == 0) colours = 256;
        size_t palOff = 14 + hdr;
        if (colours > 256 || palOff + 4 * colours > b.size()) fail(file, "bad BMP palette");
        pal.assign(b.begin() + palOff, b.begin() + palOff + 4 * colours);
    }
    Picture p;
    p.width = w;
    p.height = int(ah);
    p.rgba.resize(size_t(w) * ah * 4);
    for (long long y = 0; y < ah; ++y) {
        const uint8_t *row = b.data() + dataOff + stride * (topDown ? y : ah - 1 - y);
        for (int x = 0; x < w; ++x) {
            uint8_t *o = &p.rgba[(size_t(y) * w + x) * 4];
            if (bpp == 8) {
                size_t i = row[x];
                if (4 * i + 3 >= pal.size()) fail(file, "a pixel names a colour past the palette");
                o[0] = pal[4 * i + 2], o[1] = pal[4 * i + 1], o[2] = pal[4 * i], o[3] = 255;
            } else {
                const uint8_t *s = row + x * (bpp / 8);
                o[0] = s[2], o[1] = s[1], o[2] = s[0], o[3] = 255;
            }
        }
    }
    return p;
}

}  // namespace

// Every input is a regular file of bounded size: a device (/dev/zero never ends), a folder or
// a pipe is refused by name before anything is read.
// The size of an input that exists, after refusing what is not a regular file of bounded size.
static off_t checkInput(const std::string &file, const struct stat &st) {
    if (S_ISDIR(st.st_mode)) fail(file, "is a folder, not a file");
    if (!S_ISREG(st.st_mode)) fail(file, "is not a regular file");
    if (st.st_size > off_t(kMaxInput))
        fail(file, "holds " + std::to_string(st.st_size) + " bytes, more than an input may (" +
                       std::to_string(kMaxInput >> 20) + " MiB)");
    return st.st_size;
}

std::vector<uint8_t> readFile(const std::string &file) {
    struct stat st {};
    if (stat(file.c_str(), &st) != 0) fail(file, std::string("cannot read the file (") + std::strerror(errno) + ")");
    checkInput(file, st);
    std::ifstream in(file, std::ios::binary);
    if (!in) fail(file, "cannot read the file");
    std::vector<uint8_t> b;
    b.reserve(size_t(st.st_size));
    char buf[65536];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        b.insert(b.end(), buf, buf + in.gcount());
        if (b.size() > kMaxInput) fail(file, "grew past " + std::to_string(kMaxInput >> 20) + " MiB while it was read");
    }
    if (in.bad()) fail(file, "cannot read the file");
    return b;
}

void writeFile(const std::string &file, const std::vector<uint8_t> &bytes) {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) fail(file, "cannot write the file");
}

Picture loadPicture(const std::string &file) {
    std::vector<uint8_t> b = readFile(file);
    static const uint8_t pngSig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (b.size() >= 8 && std::equal(pngSig, pngSig + 8, b.begin())) return loadPng(file, b);
    if (b.size() >= 2 && b[0] == 'B' && b[1] == 'M') return loadBmp(file, b);
    fail(file, "neither a PNG nor a BMP file");
}

uint16_t toRgb565(uint8_t r, uint8_t g, uint8_t b) { return uint16_t((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3)); }

std::vector<uint8_t> rle16(const std::vector<uint16_t> &px) {
    std::vector<uint8_t> out;
    size_t i = 0, n = px.size();
    auto runAt = [&](size_t k) {
        size_t r = 1;
        while (k + r < n && r < 255 && px[k + r] == px[k]) ++r;
        return r;
    };
    while (i < n) {
        size_t r = runAt(i);
        if (r >= 2) {
            out.push_back(uint8_t(r));
            append16(out, px[i]);
            i += r;
            continue;
        }
        // Literal pixels up to the next run of two or more.
        size_t j = i;
        while (j < n && j - i < 255 && runAt(j) < 2) ++j;
        size_t m = j - i;
        if (m < 3) {
            for (size_t k = i; k < j; ++k) {
                out.push_back(1);
                append16(out, px[k]);
            }
        } else {
            out.push_back(0);
            out.push_back(uint8_t(m));
            for (size_t k = i; k < j; ++k) append16(out, px[k]);
        }
        i = j;
    }
    return out;
}

std::vector<uint16_t> unrle16(const std::vector<uint8_t> &s, size_t pixels) {
    std::vector<uint16_t> out;
    size_t p = 0;
    while (out.size() < pixels && p < s.size()) {
        uint8_t n = s[p++];
        if (n) {
            if (p + 2 > s.size()) break;
            out.insert(out.end(), n, get16(s, p));
            p += 2;
        } else {
            if (p >= s.size()) break;
            uint8_t m = s[p++];
            for (int k = 0; k < m && p + 2 <= s.size(); ++k, p += 2) out.push_back(get16(s, p));
        }
    }
    if (out.size() > pixels) out.resize(pixels);
    return out;
}

// ---- macros ----

std::vector<Macro> parseMacros(const std::string &text, const std::string &file) {
    std::vector<Macro> macros;
    std::map<int, int> seen;  // number -> line of its header
    std::istringstream in(text);
    std::string raw;
    int lineNo = 0;
    while (std::getline(in, raw)) {
        ++lineNo;
        std::string line = raw;
        while (!line.empty() && std::strchr(kBlanks, line.back())) line.pop_back();
        std::string t = trim(line);
        if (t.empty() || t[0] == '#') continue;
        std::vector<std::string> w = words(t);
        if (w.empty()) continue;
        if (w[0] == "macro") {
            long n;
            if (w.size() < 2 || !parseInt(w[1], n) || n < 1 || n > 255)
                fail(at(file, lineNo), "\"macro\" wants a number 1..255, then an optional name");
            if (w.size() > 3) fail(at(file, lineNo), "a macro name is one word");
            if (seen.count(int(n)))
                fail(at(file, lineNo), "macro " + std::to_string(n) + " is defined again (first on line " +
                                           std::to_string(seen[int(n)]) + ")");
            Macro m;
            m.number = int(n);
            if (w.size() == 3) {
                m.name = w[2];
                char c = m.name[0];
                if (!(std::isalpha((unsigned char)c) || c == '_'))
                    fail(at(file, lineNo), "a macro name begins with a letter or '_'");
                for (const Macro &o : macros)
                    if (o.name == m.name) fail(at(file, lineNo), "the name " + m.name + " is taken by macro " + std::to_string(o.number));
            }
            seen[int(n)] = lineNo;
            macros.push_back(m);
            continue;
        }
        if (macros.empty()) fail(at(file, lineNo), "a command line before the first \"macro\" line");
        std::string cmd = trim(line);
        if (cmd.size() > 128) fail(at(file, lineNo), "a macro line holds at most 128 characters");
        macros.back().lines.push_back(cmd);
    }
    return macros;
}

// ---- fonts ----

std::vector<uint8_t> renderSif(const std::string &ttf, int pixelSize, int first, int last) {
    struct stat st {};
    if (stat(ttf.c_str(), &st) == 0) checkInput(ttf, st);  // a missing file is FreeType's to report
    FT_Library lib;
    if (FT_Init_FreeType(&lib)) fail(ttf, "FreeType cannot start");
    FT_Face face;
    if (FT_New_Face(lib, ttf.c_str(), 0, &face)) {
        FT_Done_FreeType(lib);
        fail(ttf, "not a font file FreeType can read");
    }
    struct Done {
        FT_Library l;
        FT_Face f;
        ~Done() {
            FT_Done_Face(f);
            FT_Done_FreeType(l);
        }
    } done{lib, face};
    if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixelSize))) fail(ttf, "cannot be set to " + std::to_string(pixelSize) + " pixels");
    int ascender = int((face->size->metrics.ascender + 63) >> 6);
    int descender = int(-(face->size->metrics.descender) >> 6);
    int height = ascender + descender;
    int spacing = std::max(height, int((face->size->metrics.height + 32) >> 6));
    auto topOf = [&](char c) {
        if (FT_Load_Char(face, FT_ULong(c), FT_LOAD_RENDER | FT_LOAD_TARGET_MONO)) return 0;
        return int(face->glyph->bitmap_top);
    };
    int lowerHeight = topOf('x'), capHeight = topOf('H');

    struct Glyph {
        int width, advance, bpl;
        std::vector<uint8_t> bits;  // height rows of bpl bytes, leftmost pixel in bit 7
    };
    std::vector<Glyph> glyphs;
    for (int c = first; c <= last; ++c) {
        Glyph g{0, 0, 0, {}};
        if (FT_Load_Char(face, FT_ULong(c), FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) == 0) {
            FT_GlyphSlot s = face->glyph;
            FT_Bitmap &bm = s->bitmap;
            int left = std::max(0, int(s->bitmap_left));
            g.advance = int((s->advance.x + 32) >> 6);
            g.width = std::max(g.advance, left + int(bm.width));
            g.bpl = (g.width + 7) / 8;
            g.bits.assign(size_t(g.bpl) * height, 0);
            for (unsigned r = 0; r < bm.rows; ++r) {
                int y = ascender - s->bitmap_top + int(r);
                if (y < 0 || y >= height) continue;
                for (unsigned x = 0; x < bm.width; ++x) {
                    const uint8_t *src = bm.buffer + long(r) * bm.pitch;
                    if (!(src[x / 8] & (0x80 >> (x % 8)))) continue;
                    int dx = int(s->bitmap_left) + int(x);
                    if (dx < 0 || dx >= g.width) continue;
                    g.bits[size_t(y) * g.bpl + dx / 8] |= uint8_t(0x80 >> (dx % 8));
                }
            }
        }
        glyphs.push_back(std::move(g));
    }
    std::vector<uint8_t> out;
    for (char c : {'G', 'U', 'I', 'P'}) out.push_back(uint8_t(c));
    append16(out, uint16_t(height));
    append16(out, uint16_t(spacing));
    append16(out, uint16_t(ascender));
    append16(out, uint16_t(lowerHeight));
    append16(out, uint16_t(capHeight));
    append16(out, 1);  // one range
    append16(out, uint16_t(first));
    append16(out, uint16_t(last));
    size_t charTable = out.size();
    out.resize(out.size() + 12 * glyphs.size());
    for (size_t i = 0; i < glyphs.size(); ++i) {
        const Glyph &g = glyphs[i];
        size_t e = charTable + 12 * i;
        put16(out, e, uint16_t(g.width));
        put16(out, e + 2, uint16_t(g.advance));
        put16(out, e + 4, uint16_t(g.bpl));
        put16(out, e + 6, 0);
        put32(out, e + 8, uint32_t(out.size()));
        out.insert(out.end(), g.bits.begin(), g.bits.end());
    }
    return out;
}

// ---- manifest ----

Manifest parseManifest(const std::string &text, const std::string &file, const std::string &dir) {
    Manifest m;
    bool haveMacros = false;
    std::istringstream in(text);
    std::string raw;
    int lineNo = 0;
    auto path = [&](const std::string &f) { return (!f.empty() && f[0] == '/') || dir.empty() ? f : dir + "/" + f; };
    while (std::getline(in, raw)) {
        ++lineNo;
        // A comment is a "#" followed by a blank or the line end ("#FF00FF" is a colour).
        for (size_t i = 0; i < raw.size(); ++i) {
            bool wordStart = i == 0 || raw[i - 1] == ' ' || raw[i - 1] == '\t';
            bool alone = i + 1 == raw.size() || raw[i + 1] == ' ' || raw[i + 1] == '\t' || raw[i + 1] == '\r';
            if (raw[i] == '#' && wordStart && (alone || i == 0)) {
                raw.resize(i);
                break;
            }
        }
        std::string t = trim(raw);
        if (t.empty()) continue;
        std::vector<std::string> w = words(t);
        if (w.empty()) continue;
        const std::string where = at(file, lineNo);
        try {
            if (w[0] == "macros") {
                if (w.size() != 2) fail(where, "\"macros\" wants one file");
                if (haveMacros) fail(where, "a second \"macros\" line; an image holds one macro table");
                haveMacros = true;
                std::vector<uint8_t> b = readFile(path(w[1]));
                m.macros = parseMacros(std::string(b.begin(), b.end()), path(w[1]));
            } else if (w[0] == "bitmap") {
                if (w.size() < 2 || w.size() > 4) fail(where, "\"bitmap\" wants a file and an optional form");
                Entry e;
                std::string form = w.size() >= 3 ? w[2] : "plain";
                if (form == "plain")
                    e.type = Plain;
                else if (form == "rle")
                    e.type = Rle;
                else if (form == "transparent")
                    e.type = Transparent;
                else
                    fail(where, "unknown bitmap form \"" + form + "\" (plain, rle or transparent)");
                if (w.size() == 4) {
                    if (e.type != Transparent) fail(where, "only a transparent bitmap takes a colour");
                    const std::string &c = w[3];
                    long v;
                    if (c.size() == 7 && c[0] == '#' && parseInt(c.substr(1), v, 16))
                        e.key = toRgb565(uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v));
                    else if (c.size() == 6 && c.compare(0, 2, "0x") == 0 && parseInt(c.substr(2), v, 16))
                        e.key = uint16_t(v);
                    else
                        fail(where, "a transparent colour is #RRGGBB or 0xHHHH (RGB565)");
                } else if (e.type == Transparent) {
                    e.key = 0xF81F;  // magenta, the usual key colour
                }
                e.picture = loadPicture(path(w[1]));
                m.entries.push_back(std::move(e));
            } else if (w[0] == "font") {
                long size, first = 32, last = 126;
                if (w.size() < 4 || w.size() > 5) fail(where, "\"font\" wants a name, a TrueType file, a pixel size and an optional range");
                if (w[1].size() > 9) fail(where, "a font name holds at most 9 characters (the \"f\" command reads 9)");
                if (!parseInt(w[3], size) || size < 4 || size > 255) fail(where, "a pixel size is 4..255");
                if (w.size() == 5) {
                    size_t dash = w[4].find('-');
                    if (dash == std::string::npos || !parseInt(w[4].substr(0, dash), first) ||
                        !parseInt(w[4].substr(dash + 1), last) || first < 0 || last > 0xFFFF || first > last)
                        fail(where, "a character range is FIRST-LAST, for example 32-126");
                }
                Entry e;
                e.type = Font;
                e.fontName = w[1];
                e.sif = renderSif(path(w[2]), int(size), int(first), int(last));
                m.entries.push_back(std::move(e));
            } else if (w[0] == "blank") {
                if (w.size() != 1) fail(where, "\"blank\" takes nothing");
                m.entries.push_back(Entry{});
            } else {
                fail(where, "unknown word \"" + w[0] + "\" (macros, bitmap, font or blank)");
            }
        } catch (const Error &err) {
            // Problems inside a named file already say where; add the manifest line.
            std::string msg = err.what();
            if (msg.compare(0, where.size(), where) == 0) throw;
            throw Error(where + ": " + msg);
        }
    }
    if (m.entries.size() > 65534) fail(file, "more than 65534 directory entries");
    return m;
}

Manifest loadManifest(const std::string &file) {
    std::vector<uint8_t> b = readFile(file);
    size_t slash = file.find_last_of('/');
    return parseManifest(std::string(b.begin(), b.end()), file, slash == std::string::npos ? "" : file.substr(0, slash));
}

// ---- the image ----

namespace {

std::vector<uint16_t> pixels565(const Picture &p, bool keyed, uint16_t key) {
    std::vector<uint16_t> px(size_t(p.width) * p.height);
    for (size_t i = 0; i < px.size(); ++i) {
        const uint8_t *c = &p.rgba[4 * i];
        px[i] = (keyed && c[3] < 128) ? key : toRgb565(c[0], c[1], c[2]);
    }
    return px;
}

// The macro table, its name block and the texts, with offsets from the image start.
std::vector<uint8_t> macroRecord(const std::vector<Macro> &macros, uint32_t base, uint32_t &count) {
    int highest = 0;
    for (const Macro &m : macros) highest = std::max(highest, m.number);
    // The module lists macros 1 to N-1, so the table has one empty entry after the last.
    count = uint32_t(highest + 1);
    std::vector<const Macro *> byNumber(count + 1, nullptr);
    for (const Macro &m : macros) byNumber[m.number] = &m;
    std::vector<uint8_t> r(8 * count, 0);
    append16(r, kMacroNamesMark);
    append32(r, 0);
    r.push_back(0);  // name 0, a placeholder
    for (uint32_t k = 1; k <= count; ++k) {
        if (byNumber[k]) r.insert(r.end(), byNumber[k]->name.begin(), byNumber[k]->name.end());
        r.push_back(0);
    }
    for (uint32_t k = 1; k <= count; ++k) {
        size_t e = 8 * (k - 1);
        put32(r, e, base + uint32_t(r.size()));
        const Macro *m = byNumber[k];
        put16(r, e + 4, uint16_t(m ? m->lines.size() : 0));
        put16(r, e + 6, uint16_t(k));
        if (m)
            for (const std::string &l : m->lines) {
                r.insert(r.end(), l.begin(), l.end());
                r.push_back(0);
            }
        else
            r.push_back(0);
    }
    return r;
}

}  // namespace

std::vector<uint8_t> build(const Manifest &m) {
    uint32_t entries = uint32_t(m.entries.size() + 1);
    std::vector<uint8_t> img(8 + 12 * size_t(entries), 0);
    put16(img, 0, kMagic);
    put16(img, 2, uint16_t(entries));
    auto dir = [&](uint32_t i, RecordType t, uint32_t off, uint32_t size) {
        img[8 + 12 * i] = t;
        put32(img, 8 + 12 * i + 4, off);
        put32(img, 8 + 12 * i + 8, size);
    };
    align4(img);
    if (!m.macros.empty()) {
        uint32_t off = uint32_t(img.size()), count = 0;
        std::vector<uint8_t> rec = macroRecord(m.macros, off, count);
        img.insert(img.end(), rec.begin(), rec.end());
        dir(0, Macros, off, count);
        align4(img);
    } else {
        dir(0, Blank, 0, 0);
    }
    for (uint32_t i = 1; i < entries; ++i) {
        const Entry &e = m.entries[i - 1];
        uint32_t off = uint32_t(img.size());
        switch (e.type) {
            case Blank:
                dir(i, Blank, 0, 0);
                continue;
            case Plain:
            case Rle:
            case Transparent: {
                const Picture &p = e.picture;
                std::vector<uint16_t> px = pixels565(p, e.type == Transparent, e.key);
                std::vector<uint8_t> data;
                if (e.type == Rle) {
                    data = rle16(px);
                } else {
                    for (uint16_t v : px) append16(data, v);
                }
                std::vector<uint8_t> rec(16, 0);
                put16(rec, 0, uint16_t(p.width));
                put16(rec, 2, uint16_t(p.height));
                put16(rec, 4, uint16_t(2 * p.width));
                put16(rec, 6, 16);
                put32(rec, 8, off + 16);
                put32(rec, 12, e.type == Transparent ? e.key : 0);
                img.insert(img.end(), rec.begin(), rec.end());
                img.insert(img.end(), data.begin(), data.end());
                dir(i, e.type, off, uint32_t(16 + data.size()));
                break;
            }
            case Font: {
                std::vector<uint8_t> rec(8, 0);
                rec.insert(rec.end(), e.fontName.begin(), e.fontName.end());
                rec.push_back(0);
                align4(rec);
                put32(rec, 0, off + 8);
                put32(rec, 4, off + uint32_t(rec.size()));
                rec.insert(rec.end(), e.sif.begin(), e.sif.end());
                img.insert(img.end(), rec.begin(), rec.end());
                dir(i, Font, off, uint32_t(rec.size()));
                break;
            }
            default:
                break;
        }
        align4(img);
        if (img.size() > kMaxImage) break;
    }
    if (img.size() > kMaxImage)
        throw Error("the image would be " + std::to_string(img.size()) + " bytes; the module holds at most " +
                    std::to_string(kMaxImage));
    put32(img, 4, uint32_t(img.size()));
    return img;
}

// ---- listing ----

std::string list(const std::vector<uint8_t> &b) {
    std::ostringstream o;
    char line[160];
    uint16_t magic = get16(b, 0);
    if (magic != kMagic) {
        std::snprintf(line, sizeof line, "external memory invalid (found %04X, expected %04X).\n", magic, kMagic);
        return line;
    }
    uint32_t size = get32(b, 4), n = get16(b, 2);
    std::snprintf(line, sizeof line, "%dKB of %dKb Bitmap/Macro storage used\n", int(size / 1024), int(kMaxImage / 1024));
    o << line;
    std::snprintf(line, sizeof line, "# of Bitmaps: %d\n", int(n) - 1);
    o << line;
    for (uint32_t i = 1; i < n && 8 + 12 * (i + 1) <= b.size(); ++i) {
        size_t e = 8 + 12 * i;
        uint8_t t = b[e];
        uint32_t rec = get32(b, e + 4), sz = get32(b, e + 8);
        int w = get16(b, rec), h = get16(b, size_t(rec) + 2);
        std::snprintf(line, sizeof line, "%3d: %u bytes ", int(i), sz);
        o << line;
        switch (t) {
            case Blank: o << "Blank Record\n"; break;
            case Plain: o << "Uncompressed Bitmap: " << w << "x" << h << "\n"; break;
            case Rle: o << "Compressed Bitmap: " << w << "x" << h << "\n"; break;
            case Font: o << "    User Font\n"; break;
            case Transparent: o << "Uncompressed Transparent Bitmap: " << w << "x" << h << "\n"; break;
            default: o << "Unknown record type!\n"; break;
        }
    }
    if (b.size() < 20 || b[8] != Macros) {
        o << ":No macros loaded\n";
        return o.str();
    }
    uint32_t table = get32(b, 12), count = get32(b, 16);
    if (table >= b.size() || count > (b.size() - table) / 8) {
        o << "the macro table lies outside the image\n";
        return o.str();
    }
    std::vector<std::string> names;
    size_t p = table + 8 * size_t(count);
    if (get16(b, p) == kMacroNamesMark) {
        p += 6;
        for (uint32_t k = 0; k <= count && p < b.size(); ++k) {
            std::string s;
            while (p < b.size() && b[p]) s += char(b[p++]);
            ++p;
            names.push_back(s);
        }
    }
    o << "    Macro Definitions\n";
    for (uint32_t k = 1; k < count; ++k) {
        size_t e = table + 8 * size_t(k - 1);
        uint32_t text = get32(b, e);
        uint16_t lines = get16(b, e + 4), own = get16(b, e + 6);
        std::string name = k < names.size() ? names[k] : "";
        if (name.empty())
            std::snprintf(line, sizeof line, "    #%d:\n", own & 0xFF);
        else
            std::snprintf(line, sizeof line, "    #%d: %s\n", own & 0xFF, name.c_str());
        o << line;
        size_t q = text;
        for (uint16_t l = 0; l < lines && q < b.size(); ++l) {
            std::string s;
            while (q < b.size() && b[q]) s += char(b[q++]);
            ++q;
            o << "    '" << s << "'\n";
        }
    }
    return o.str();
}

}  // namespace vimage
