// The host's FAT12/FAT16 writer and reader for card images. Written independently of the
// firmware's file system so that each checks the other; the whole image is worked on in
// memory and written back at the end.
#include "fatimage.h"

#include <cctype>
#include <cstring>
#include <fstream>

namespace sim::fatimage {
namespace {

uint16_t rd16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t rd32(const uint8_t *p) { return uint32_t(p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24); }
void wr16(uint8_t *p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void wr32(uint8_t *p, uint32_t v) {
    wr16(p, v);
    wr16(p + 2, v >> 16);
}

// Fixed time stamp of files written here: 2026-01-01 12:00:00 (there is no clock to ask).
constexpr uint16_t kDate = uint16_t((2026 - 1980) << 9 | 1 << 5 | 1);
constexpr uint16_t kTime = uint16_t(12 << 11);

struct Volume {
    std::vector<uint8_t> img;
    size_t base = 0;  // byte offset of the volume
    uint32_t spc = 0, reserved = 0, fats = 0, rootEntries = 0, spf = 0, total = 0;
    uint32_t rootStart = 0, dataStart = 0, clusters = 0;
    bool fat12 = false;
    std::string err;

    uint8_t *sector(uint32_t s) { return img.data() + base + size_t(s) * 512; }
    uint8_t *cluster(uint32_t c) { return sector(dataStart + (c - 2) * spc); }
    uint32_t clusterBytes() const { return spc * 512; }

    bool open() {
        if (img.size() < 512) return fail("image too small");
        const uint8_t *b = img.data();
        bool boot = (b[0] == 0xE9 || (b[0] == 0xEB && b[2] == 0x90)) && b[510] == 0x55 && b[511] == 0xAA;
        if (!boot) {
            if (b[510] != 0x55 || b[511] != 0xAA || b[450] == 0) return fail("no FAT volume on the card");
            base = size_t(rd32(b + 454)) * 512;
            if (base + 512 > img.size()) return fail("partition outside the image");
        }
        const uint8_t *v = img.data() + base;
        if (rd16(v + 11) != 512) return fail("sectors are not 512 bytes");
        spc = v[13];
        reserved = rd16(v + 14);
        fats = v[16];
        rootEntries = rd16(v + 17);
        total = rd16(v + 19) ? rd16(v + 19) : rd32(v + 32);
        spf = rd16(v + 22);
        if (!spc || !reserved || !fats || !rootEntries || !spf) return fail("not a FAT12/FAT16 volume");
        rootStart = reserved + fats * spf;
        dataStart = rootStart + (rootEntries * 32 + 511) / 512;
        if (dataStart >= total || base + size_t(total) * 512 > img.size()) return fail("damaged volume");
        clusters = (total - dataStart) / spc;
        fat12 = clusters < 4085;
        if (clusters >= 65525) return fail("FAT32 volume");
        return true;
    }
    bool fail(const std::string &m) {
        err = m;
        return false;
    }

    uint32_t fat(uint32_t c) {
        uint8_t *f = sector(reserved);
        if (fat12) {
            uint32_t v = rd16(f + c * 3 / 2);
            return c & 1 ? v >> 4 : v & 0xFFF;
        }
        return rd16(f + c * 2);
    }
    void setFat(uint32_t c, uint32_t value) {
        for (uint32_t n = 0; n < fats; ++n) {
            uint8_t *f = sector(reserved + n * spf);
            if (fat12) {
                uint8_t *p = f + c * 3 / 2;
                uint32_t v = rd16(p);
                v = c & 1 ? (v & 0x000F) | (value & 0xFFF) << 4 : (v & 0xF000) | (value & 0xFFF);
                wr16(p, v);
            } else {
                wr16(f + c * 2, value);
            }
        }
    }
    bool endOfChain(uint32_t v) const { return v >= (fat12 ? 0xFF8u : 0xFFF8u); }
    uint32_t eoc() const { return fat12 ? 0xFFF : 0xFFFF; }

    uint32_t allocate() {
        for (uint32_t c = 2; c < clusters + 2; ++c)
            if (fat(c) == 0) {
                setFat(c, eoc());
                std::memset(cluster(c), 0, clusterBytes());
                return c;
            }
        return 0;
    }
    void freeChain(uint32_t c) {
        for (uint32_t guard = 0; c >= 2 && c < clusters + 2 && guard < clusters; ++guard) {
            uint32_t next = fat(c);
            setFat(c, 0);
            c = next;
        }
    }

    // Directory entries of the root (dir = 0) or of a folder's cluster chain, in order.
    std::vector<uint8_t *> entries(uint32_t dir) {
        std::vector<uint8_t *> list;
        if (dir == 0) {
            for (uint32_t i = 0; i < rootEntries; ++i) list.push_back(sector(rootStart) + i * 32);
            return list;
        }
        for (uint32_t c = dir, guard = 0; c >= 2 && c < clusters + 2 && guard < clusters; c = fat(c), ++guard)
            for (uint32_t i = 0; i < clusterBytes() / 32; ++i) list.push_back(cluster(c) + i * 32);
        return list;
    }
    uint8_t *find(uint32_t dir, const char name[11]) {
        for (uint8_t *e : entries(dir)) {
            if (e[0] == 0) break;
            if (e[0] != 0xE5 && e[11] != 0x0F && !(e[11] & 0x08) && !std::memcmp(e, name, 11)) return e;
        }
        return nullptr;
    }
    uint8_t *freeEntry(uint32_t dir) {
        for (uint8_t *e : entries(dir))
            if (e[0] == 0 || e[0] == 0xE5) return e;
        if (dir == 0) return nullptr;  // the root has a fixed size
        uint32_t last = dir;
        for (uint32_t guard = 0; !endOfChain(fat(last)) && guard < clusters; ++guard) last = fat(last);
        uint32_t c = allocate();
        if (!c) return nullptr;
        setFat(last, c);
        return cluster(c);
    }
    static void fillEntry(uint8_t *e, const char name[11], uint8_t attr, uint32_t first, uint32_t size) {
        std::memset(e, 0, 32);
        std::memcpy(e, name, 11);
        e[11] = attr;
        wr16(e + 14, kTime);
        wr16(e + 16, kDate);
        wr16(e + 18, kDate);
        wr16(e + 22, kTime);
        wr16(e + 24, kDate);
        wr16(e + 26, first);
        wr32(e + 28, size);
    }
};

bool load(const std::string &image, Volume &v, std::string &err) {
    std::ifstream in(image, std::ios::binary);
    if (!in) {
        err = "no card image " + image;
        return false;
    }
    in.seekg(0, std::ios::end);
    v.img.resize(size_t(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char *>(v.img.data()), std::streamsize(v.img.size()));
    if (!v.open()) {
        err = v.err;
        return false;
    }
    return true;
}

bool save(const std::string &image, const std::vector<uint8_t> &img, std::string &err) {
    std::ofstream out(image, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(img.data()), std::streamsize(img.size()));
    if (!out) {
        err = "cannot write " + image;
        return false;
    }
    return true;
}

// Splits "DIR/NAME" into its parts (at most one folder level).
bool splitPath(const std::string &path, std::vector<std::string> &parts) {
    parts.clear();
    size_t start = 0;
    for (;;) {
        size_t slash = path.find_first_of("/\\", start);
        parts.push_back(path.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    for (const std::string &p : parts)
        if (p.empty()) return false;
    return true;
}

}  // namespace

bool shortName(const std::string &name, char out[11]) {
    std::memset(out, ' ', 11);
    size_t dot = name.find('.');
    std::string base = name.substr(0, dot);
    std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3 || ext.find('.') != std::string::npos) return false;
    auto ok = [](char c) {
        unsigned char u = static_cast<unsigned char>(c);
        return u > 0x20 && u < 0x7F && !std::strchr("\"*+,./:;<=>?[\\]|", c);
    };
    for (size_t i = 0; i < base.size(); ++i) {
        if (!ok(base[i])) return false;
        out[i] = char(std::toupper(static_cast<unsigned char>(base[i])));
    }
    for (size_t i = 0; i < ext.size(); ++i) {
        if (!ok(ext[i])) return false;
        out[8 + i] = char(std::toupper(static_cast<unsigned char>(ext[i])));
    }
    return true;
}

bool format(const std::string &image, uint64_t bytes, std::string &err) {
    const uint32_t start = 2048;
    uint64_t blocks = bytes / 512;
    if (blocks < start + 8400 || blocks - start > 0xFFFFFFFFu) {
        err = "card size not supported";
        return false;
    }
    uint32_t total = uint32_t(blocks - start);
    // Cluster size: the smallest that keeps the count inside FAT16's range.
    uint32_t spc = 1;
    while (total / spc >= 65000 && spc < 128) spc *= 2;
    const uint32_t reserved = 1, fats = 2, rootEntries = 512, rootSectors = rootEntries * 32 / 512;
    uint32_t spf = 1;
    for (;;) {
        uint32_t clusters = (total - reserved - fats * spf - rootSectors) / spc;
        if ((clusters + 2) * 2 <= spf * 512) break;
        ++spf;
    }
    uint32_t clusters = (total - reserved - fats * spf - rootSectors) / spc;
    if (clusters < 4085 || clusters >= 65525) {
        err = "card size not supported";
        return false;
    }
    std::vector<uint8_t> img(size_t(blocks) * 512, 0);
    uint8_t *mbr = img.data();
    uint8_t *part = mbr + 446;
    part[0] = 0x00;
    part[1] = 0xFE;  // CHS fields are not used by anyone reading LBA
    part[2] = 0xFF;
    part[3] = 0xFF;
    part[4] = total < 65536 ? 0x04 : 0x06;
    part[5] = 0xFE;
    part[6] = 0xFF;
    part[7] = 0xFF;
    wr32(part + 8, start);
    wr32(part + 12, total);
    mbr[510] = 0x55;
    mbr[511] = 0xAA;

    uint8_t *b = img.data() + size_t(start) * 512;
    b[0] = 0xEB;
    b[1] = 0x3C;
    b[2] = 0x90;
    std::memcpy(b + 3, "VMODSIM ", 8);
    wr16(b + 11, 512);
    b[13] = uint8_t(spc);
    wr16(b + 14, reserved);
    b[16] = uint8_t(fats);
    wr16(b + 17, rootEntries);
    if (total < 65536) wr16(b + 19, total);
    else wr32(b + 32, total);
    b[21] = 0xF8;
    wr16(b + 22, spf);
    wr16(b + 24, 63);
    wr16(b + 26, 255);
    wr32(b + 28, start);
    b[36] = 0x80;
    b[38] = 0x29;
    wr32(b + 39, 0x20261208);
    std::memcpy(b + 43, "NO NAME    ", 11);
    std::memcpy(b + 54, "FAT16   ", 8);
    b[510] = 0x55;
    b[511] = 0xAA;
    for (uint32_t n = 0; n < fats; ++n) {
        uint8_t *f = b + size_t(reserved + n * spf) * 512;
        wr16(f, 0xFFF8);
        wr16(f + 2, 0xFFFF);
    }
    return save(image, img, err);
}

// The card's volume, and the parts of a path on it.
static bool openPath(const std::string &image, const std::string &name, Volume &v, std::vector<std::string> &parts,
                     std::string &err) {
    if (!load(image, v, err)) return false;
    if (splitPath(name, parts)) return true;
    err = "bad file name " + name;
    return false;
}

bool put(const std::string &image, const std::string &name, const std::vector<uint8_t> &data,
         std::string &err) {
    std::ifstream probe(image, std::ios::binary);
    if (!probe) {
        if (!format(image, 32u << 20, err)) return false;
    }
    probe.close();
    Volume v;
    std::vector<std::string> parts;
    if (!openPath(image, name, v, parts, err)) return false;
    uint32_t dir = 0;
    char n11[11];
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        if (!shortName(parts[i], n11)) {
            err = "not an 8.3 name: " + parts[i];
            return false;
        }
        uint8_t *e = v.find(dir, n11);
        if (e && !(e[11] & 0x10)) {
            err = parts[i] + " is a file";
            return false;
        }
        if (!e) {
            uint8_t *slot = v.freeEntry(dir);
            uint32_t c = slot ? v.allocate() : 0;
            if (!c) {
                err = "card full";
                return false;
            }
            Volume::fillEntry(slot, n11, 0x10, c, 0);
            char dot[11], dotdot[11];
            std::memset(dot, ' ', 11);
            std::memset(dotdot, ' ', 11);
            dot[0] = dotdot[0] = dotdot[1] = '.';
            Volume::fillEntry(v.cluster(c), dot, 0x10, c, 0);
            Volume::fillEntry(v.cluster(c) + 32, dotdot, 0x10, dir, 0);
            e = slot;
        }
        dir = rd16(e + 26);
    }
    if (!shortName(parts.back(), n11)) {
        err = "not an 8.3 name: " + parts.back();
        return false;
    }
    uint8_t *e = v.find(dir, n11);
    if (e && (e[11] & 0x10)) {
        err = parts.back() + " is a folder";
        return false;
    }
    if (e) {
        v.freeChain(rd16(e + 26));
    } else {
        e = v.freeEntry(dir);
        if (!e) {
            err = "directory full";
            return false;
        }
    }
    uint32_t first = 0, prev = 0;
    for (size_t off = 0; off < data.size(); off += v.clusterBytes()) {
        uint32_t c = v.allocate();
        if (!c) {
            err = "card full";
            return false;
        }
        if (prev) v.setFat(prev, c);
        else first = c;
        size_t n = std::min<size_t>(v.clusterBytes(), data.size() - off);
        std::memcpy(v.cluster(c), data.data() + off, n);
        prev = c;
    }
    Volume::fillEntry(e, n11, 0x20, first, uint32_t(data.size()));
    return save(image, v.img, err);
}

bool get(const std::string &image, const std::string &name, std::vector<uint8_t> &data, std::string &err) {
    Volume v;
    std::vector<std::string> parts;
    if (!openPath(image, name, v, parts, err)) return false;
    uint32_t dir = 0;
    char n11[11];
    uint8_t *e = nullptr;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (!shortName(parts[i], n11) || !(e = v.find(dir, n11))) {
            err = "no file " + name + " on the card";
            return false;
        }
        bool last = i + 1 == parts.size();
        if (bool(e[11] & 0x10) == last) {
            err = "no file " + name + " on the card";
            return false;
        }
        dir = rd16(e + 26);
    }
    uint32_t size = rd32(e + 28);
    data.clear();
    for (uint32_t c = rd16(e + 26), guard = 0; data.size() < size; c = v.fat(c), ++guard) {
        if (c < 2 || c >= v.clusters + 2 || guard > v.clusters) {
            err = "broken cluster chain of " + name;
            return false;
        }
        size_t n = std::min<size_t>(v.clusterBytes(), size - data.size());
        data.insert(data.end(), v.cluster(c), v.cluster(c) + n);
    }
    return true;
}

}  // namespace sim::fatimage
