// The command fuzz target's dictionary and seeds, made from the dispatch chain itself, so they
// follow the language as it changes:
//
//   vmod-command-chain --dict OUT [EXTRA]   every entry's command word and a line of its shape
//                                           (after the entries of EXTRA, kept as they are)
//   vmod-command-chain --seeds DIR [SCN...] one seed per entry, and the host lines of each
//                                           scenario script given, in pieces of a few lines
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "command/dispatch.h"
#include "script_text.h"

namespace {

// Lines whose entry a shape made from the word alone does not reach: custom tests, and the
// RS-485 poll, which exists only on a framed bus (port 1 after "*rs485").
const std::map<std::string, std::string> kShapes = {
    {"p", "pr 10 10"},
    {"Q", "*rs485 $12\r$12Q"},
    {"*rs485", "*rs485 $12"},
    {"m", "m1"},
    {"o", "o 10 10"},
    {"r", "r 10 10 50 50"},
    {"tr", "tr 10 10 50 10 30 40"},
    {"cv", "cv 1 5"},
    {"//", "// note"},
    {"t ", "t \"text\" 10 10"},
    {"T \"", "T \"text\" 10 10"},
    {"ts", "ts \"text\""},
    {"tu ", "tu \"text\""},
    {"tf ", "tf 1 \"text\" 10 10 50"},
    {"ani ", "ani 1 0 0 100 1"},
    {"ani+ ", "ani+ 1 0 0 100 1"},
    {"xmp %x %x %d", "xmc\rxmp 0 10 4\r0102030405060708"},
    {"bdld %d %lx %ld %ld", "bdld 1 0 4 0\r\x01\x02\x03\x04"},
    {"md", "md 1 100 100 50 0 100 0 1"},
    {"cd", "cd 1 10 10 200 100 0 100 1"},
    {"ld", "ld 1 10 10 20 100 0 100 1"},
    {"xa", "xa 1 2"},
    {"xm", "xm 1 2 3"},
    {"baudp", "baudp 115200"},
    {"baud", "baud 115200"},
};

// A line of the entry's shape: the pattern's conversions given plain values (numbers 1, words
// "a", characters "A"), neighbouring conversions kept apart by a blank.
std::string shapeOf(const CommandEntry &e) {
    auto given = kShapes.find(e.word);
    if (given != kShapes.end()) return given->second;
    if (e.test != TEST_PATTERN && e.test != TEST_PATTERN_MIN) return e.word;
    std::string out;
    for (const char *p = e.word; *p;) {
        if (*p != '%') {
            out += *p++;
            continue;
        }
        ++p;
        while (*p >= '0' && *p <= '9') ++p;
        while (*p == 'l' || *p == 'h') ++p;
        char conv = *p ? *p++ : 'd';
        if (conv == 's') out += "a";
        else if (conv == 'c') out += "A";
        else out += "1";
        if (*p == '%' && conv != 'c') out += ' ';
    }
    return out;
}

// The literal beginning of the entry's word, before any conversion.
std::string wordOf(const CommandEntry &e) {
    std::string w = e.word;
    size_t cut = w.find('%');
    return cut == std::string::npos ? w : w.substr(0, cut);
}

// A byte string as a dictionary entry: quoted, with \\, \" and \xHH.
std::string quoted(const std::string &s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

bool writeFile(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    return bool(out);
}

int writeDict(const std::string &path, const std::string &extra) {
    std::string text;
    if (!extra.empty()) {
        std::ifstream in(extra, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "vmod-command-chain: cannot read %s\n", extra.c_str());
            return 1;
        }
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    text += "# Made from the dispatch chain: each entry's word and a line of its shape.\n";
    for (const CommandEntry &e : commandChain) {
        text += quoted(wordOf(e)) + "\n";
        text += quoted(shapeOf(e) + "\r") + "\n";
    }
    if (!writeFile(path, text)) {
        std::fprintf(stderr, "vmod-command-chain: cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}

int writeSeeds(const std::string &dir, const std::vector<std::string> &scenarios) {
    constexpr size_t kLinesPerSeed = 24;
    int i = 0;
    for (const CommandEntry &e : commandChain) {
        char name[32];
        std::snprintf(name, sizeof name, "/chain-%03d", ++i);
        if (!writeFile(dir + name, shapeOf(e) + "\r")) return 1;
    }
    for (const std::string &scn : scenarios) {
        std::ifstream in(scn);
        if (!in) {
            std::fprintf(stderr, "vmod-command-chain: cannot read %s\n", scn.c_str());
            return 1;
        }
        std::string base = scn.substr(scn.find_last_of('/') + 1);
        base = base.substr(0, base.find('.'));
        std::string stem = scn.substr(0, scn.find_last_of('/'));
        stem = stem.substr(stem.find_last_of('/') + 1) + "-" + base;
        std::vector<std::string> lines;
        for (std::string line, text; std::getline(in, line);) {
            if (line.rfind("send ", 0) == 0 && scenario::unescape(line.substr(5), text)) lines.push_back(text + "\r");
            else if (line.rfind("sendraw ", 0) == 0 && scenario::unescape(line.substr(8), text)) lines.push_back(text);
        }
        for (size_t from = 0, piece = 0; from < lines.size(); from += kLinesPerSeed, ++piece) {
            std::string seed;
            for (size_t k = from; k < lines.size() && k < from + kLinesPerSeed; ++k) seed += lines[k];
            if (!writeFile(dir + "/scn-" + stem + "-" + std::to_string(piece), seed)) return 1;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == "--dict") return writeDict(args[1], args.size() > 2 ? args[2] : "");
    if (args.size() >= 2 && args[0] == "--seeds")
        return writeSeeds(args[1], std::vector<std::string>(args.begin() + 2, args.end()));
    std::fprintf(stderr, "usage: vmod-command-chain --dict OUT [EXTRA] | --seeds DIR [SCENARIO...]\n");
    return 2;
}
