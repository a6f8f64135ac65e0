#include "media_lines.h"

#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <vector>

#include "eeprom.h"
#include "fatimage.h"
#include "sdcard.h"
#include "serialflash.h"
#include "sim.h"
#include "touch.h"

namespace scenario {
namespace {

LineResult fail(int code, const std::string &msg) {
    LineResult r;
    r.code = code;
    r.message = msg;
    return r;
}

std::vector<std::string> mediaPath;

std::string resolve(const std::string &file, const std::string &dir) {
    if (file.empty() || file[0] == '/' || dir.empty()) return file;
    return dir + "/" + file;
}

// A file a line reads: beside the script, else in the first media folder that has it.
std::string resolveInput(const std::string &file, const std::string &dir) {
    std::string beside = resolve(file, dir);
    if (file.empty() || file[0] == '/' || ::access(beside.c_str(), F_OK) == 0) return beside;
    for (const std::string &folder : mediaPath) {
        std::string there = folder + "/" + file;
        if (::access(there.c_str(), F_OK) == 0) return there;
    }
    return beside;
}

// Splits "NAME FILE" at the first blank.
bool twoArgs(const std::string &arg, std::string &a, std::string &b) {
    size_t sp = arg.find(' ');
    if (sp == std::string::npos || sp == 0 || sp + 1 >= arg.size()) return false;
    a = arg.substr(0, sp);
    b = arg.substr(sp + 1);
    return true;
}

// The escapes of sd-text, which never refuses a text: an escape it does not know stands
// for its character, "\x" without two hex digits stays as written.
std::string unescapeText(const std::string &s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 >= s.size()) {
            out += s[i];
            continue;
        }
        char c = s[++i];
        switch (c) {
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'e': out += '\x1b'; break;
        case 'x':
            if (i + 2 < s.size() && std::isxdigit(uint8_t(s[i + 1])) && std::isxdigit(uint8_t(s[i + 2]))) {
                out += char(std::stoi(s.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                out += "\\x";
            }
            break;
        default: out += c; break;
        }
    }
    return out;
}

bool hexByte(const std::string &t, uint8_t &out) {
    if (t.empty() || t.size() > 2) return false;
    unsigned v = 0;
    for (char c : t) {
        int d = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10
              : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
        if (d < 0) return false;
        v = v * 16 + unsigned(d);
    }
    out = uint8_t(v);
    return true;
}

// n decimal integers separated by single blanks, nothing after them but blanks.
bool parseInts(const std::string &a, int *v, int n) {
    const char *p = a.c_str();
    for (int i = 0; i < n; ++i) {
        char *end;
        long x = std::strtol(p, &end, 10);
        if (end == p || (*end && *end != ' ')) return false;
        v[i] = int(x);
        p = end;
    }
    while (*p == ' ') ++p;
    return *p == 0;
}

// --- the settings EEPROM ---

LineResult eepromFill(const std::string &arg, const std::string &) {
    uint8_t v;
    std::istringstream in(arg);
    std::string t, extra;
    if (!(in >> t) || !hexByte(t, v) || (in >> extra)) return {2, "eeprom-fill needs one hex byte"};
    if (!sim::eeprom::fillMedia(v)) return {2, "cannot write " + sim::eeprom::fileIn(sim::stateDir())};
    return {};
}

LineResult eepromBytes(const std::string &arg, const std::string &) {
    std::istringstream in(arg);
    std::string t;
    if (!(in >> t)) return {2, "eeprom needs an address and bytes"};
    char *end = nullptr;
    unsigned long addr = std::strtoul(t.c_str(), &end, 16);
    if (*end || addr >= sim::eeprom::kSize) return {2, "bad EEPROM address " + t};
    std::vector<uint8_t> bytes;
    while (in >> t) {
        uint8_t v;
        if (!hexByte(t, v)) return {2, "bad hex byte " + t};
        if (addr + bytes.size() >= sim::eeprom::kSize) return {2, "bytes run past the end of the EEPROM"};
        bytes.push_back(v);
    }
    if (bytes.empty()) return {2, "eeprom needs at least one byte"};
    if (!sim::eeprom::writeMedia(unsigned(addr), bytes))
        return {2, "cannot write " + sim::eeprom::fileIn(sim::stateDir())};
    return {};
}

// --- the serial flash ---

LineResult flashFill(const std::string &arg, const std::string &) {
    char *end = nullptr;
    unsigned long v = std::strtoul(arg.c_str(), &end, 16);
    if (arg.empty() || *end || v > 0xFF) return {2, "flash-fill wants one hex byte"};
    sim::serialflash::fill(uint8_t(v));
    return {};
}

LineResult flashLoad(const std::string &arg, const std::string &dir) {
    std::string file = resolveInput(arg, dir);
    std::ifstream in(file, std::ios::binary);
    if (!in) return {2, "cannot read " + file};
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.size() > sim::serialflash::size()) return {2, file + " is larger than the flash"};
    sim::serialflash::load(data);
    return {};
}

// --- the SD card ---

LineResult sdNone(const std::string &, const std::string &) {
    ::unlink(sim::sdcard::imagePath().c_str());
    return {};
}

LineResult sdFormat(const std::string &, const std::string &) {
    std::string err;
    if (!sim::fatimage::format(sim::sdcard::imagePath(), 32u << 20, err)) return fail(2, err);
    return {};
}

LineResult sdPut(const std::string &arg, const std::string &dir) {
    std::string name, file, err;
    if (!twoArgs(arg, name, file)) return fail(2, "sd-put needs NAME FILE");
    std::ifstream in(resolveInput(file, dir), std::ios::binary);
    if (!in) return fail(2, "cannot read " + file);
    in.seekg(0, std::ios::end);
    std::vector<uint8_t> data(size_t(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char *>(data.data()), std::streamsize(data.size()));
    if (!sim::fatimage::put(sim::sdcard::imagePath(), name, data, err)) return fail(2, err);
    return {};
}

LineResult sdText(const std::string &arg, const std::string &) {
    std::string name, text, err;
    size_t sp = arg.find(' ');
    name = arg.substr(0, sp);
    if (sp != std::string::npos) text = unescapeText(arg.substr(sp + 1));
    if (name.empty()) return fail(2, "sd-text needs NAME TEXT");
    std::vector<uint8_t> data(text.begin(), text.end());
    if (!sim::fatimage::put(sim::sdcard::imagePath(), name, data, err)) return fail(2, err);
    return {};
}

LineResult sdGet(const std::string &arg, const std::string &dir) {
    std::string name, file, err;
    if (!twoArgs(arg, name, file)) return fail(2, "sd-get needs NAME FILE");
    std::vector<uint8_t> data;
    if (!sim::fatimage::get(sim::sdcard::imagePath(), name, data, err)) return fail(1, err);
    std::ofstream out(resolve(file, dir), std::ios::binary);
    out.write(reinterpret_cast<const char *>(data.data()), std::streamsize(data.size()));
    if (!out) return fail(1, "cannot write " + file);
    return {};
}

// Whole card images as disk-imaging tools read and write them: the card is that file, block
// for block (partitioned or not, whatever volume it holds).
LineResult sdImage(const std::string &arg, const std::string &dir) {
    if (arg.empty()) return fail(2, "sd-image needs FILE");
    std::ifstream in(resolveInput(arg, dir), std::ios::binary);
    if (!in) return fail(2, "cannot read " + arg);
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.empty() || data.size() % 512 != 0)
        return fail(2, arg + " is no card image: its size is not a whole number of 512-byte blocks");
    const std::string card = sim::sdcard::imagePath();
    std::ofstream out(card, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data.data()), std::streamsize(data.size()));
    if (!out) return fail(2, "cannot write the card " + card);
    return {};
}

// The card writes through to its file at once, so the copy is what the card holds now.
LineResult sdSave(const std::string &arg, const std::string &dir) {
    if (arg.empty()) return fail(2, "sd-save needs FILE");
    if (!sim::sdcard::present()) return fail(1, "no card in the slot");
    std::ifstream in(sim::sdcard::imagePath(), std::ios::binary);
    std::ofstream out(resolve(arg, dir), std::ios::binary | std::ios::trunc);
    out << in.rdbuf();
    if (!in || !out) return fail(1, "cannot write " + arg);
    return {};
}

// --- the touch panel ---

LineResult touchAt(const std::string &a, const std::string &) {
    int v[2];
    if (!parseInts(a, v, 2)) return {2, "touch needs X Y"};
    sim::touch::press(v[0], v[1]);
    return {};
}

LineResult touchRaw(const std::string &a, const std::string &) {
    int v[4];
    if (!parseInts(a, v, 4)) return {2, "touch-raw needs XCH YCH Z1 Z2"};
    for (int i = 0; i < 4; ++i)
        if (v[i] < 0 || v[i] > 1024) return {2, "readings are 0..1024"};
    sim::touch::pressRaw(v[0], v[1], v[2], v[3]);
    return {};
}

LineResult touchNoise(const std::string &a, const std::string &) {
    int v[1];
    if (!parseInts(a, v, 1) || v[0] < 0 || v[0] > 4095) return {2, "touch-noise needs AMPLITUDE 0..4095"};
    sim::touch::setNoise(v[0]);
    return {};
}

LineResult untouch(const std::string &a, const std::string &) {
    if (!a.empty()) return {2, "untouch takes no argument"};
    sim::touch::release();
    return {};
}

const std::map<std::string, DeviceLine> lines = {
    {"eeprom-fill", {eepromFill, true}}, {"eeprom", {eepromBytes, true}},
    {"flash-fill", {flashFill, true}},   {"flash-load", {flashLoad, true}},
    {"sd-none", {sdNone, true}},         {"sd-format", {sdFormat, true}},
    {"sd-put", {sdPut, true}},           {"sd-text", {sdText, true}},
    {"sd-get", {sdGet, false}},          {"sd-image", {sdImage, true}},
    {"sd-save", {sdSave, false}},        {"touch", {touchAt, false}},
    {"touch-raw", {touchRaw, false}},    {"touch-noise", {touchNoise, false}},
    {"untouch", {untouch, false}},
};

}  // namespace

void setMediaPath(const std::vector<std::string> &folders) { mediaPath = folders; }

const DeviceLine *findDeviceLine(const std::string &word) {
    auto it = lines.find(word);
    return it == lines.end() ? nullptr : &it->second;
}

}  // namespace scenario
