// The escapes of the scenario language's TEXT arguments.
#include "script_text.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace scenario {

bool unescape(const std::string &text, std::string &out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= text.size()) return false;
        switch (text[i]) {
            case 'r': out += '\r'; break;
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'e': out += '\x1b'; break;
            case '\\': out += '\\'; break;
            case 'x': {
                if (i + 2 >= text.size()) return false;
                std::string hex = text.substr(i + 1, 2);
                if (!isxdigit((unsigned char)hex[0]) || !isxdigit((unsigned char)hex[1])) return false;
                out += char(std::strtoul(hex.c_str(), nullptr, 16));
                i += 2;
                break;
            }
            default: return false;
        }
    }
    return true;
}

std::string escape(const std::string &bytes) {
    std::string s;
    char buf[8];
    for (unsigned char c : bytes) {
        switch (c) {
            case '\r': s += "\\r"; break;
            case '\n': s += "\\n"; break;
            case '\t': s += "\\t"; break;
            case 0x1b: s += "\\e"; break;
            case '\\': s += "\\\\"; break;
            default:
                if (c < 0x20 || c >= 0x7f) {
                    std::snprintf(buf, sizeof buf, "\\x%02X", c);
                    s += buf;
                } else {
                    s += char(c);
                }
        }
    }
    return s;
}

}  // namespace scenario
