#include "scenario.h"

#include "media_lines.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "screen.h"
#include "sim.h"
#include "uart.h"

namespace scenario {

namespace {

struct Failure {
    int code;
    std::string message;
};

bool parseNumber(const std::string &s, long long &v, long long lo = LLONG_MIN, long long hi = LLONG_MAX) {
    if (s.empty()) return false;
    char *end = nullptr;
    errno = 0;
    v = std::strtoll(s.c_str(), &end, 10);
    return errno == 0 && *end == 0 && v >= lo && v <= hi;
}

// Exactly `digits` hexadecimal digits.
bool parseHex(const std::string &s, size_t digits, long long &v) {
    if (s.size() != digits) return false;
    for (char c : s)
        if (!isxdigit((unsigned char)c)) return false;
    v = std::strtoll(s.c_str(), nullptr, 16);
    return true;
}

std::string hex(uint32_t v, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", digits, unsigned(v));
    return buf;
}

class Runner {
  public:
    explicit Runner(const std::string &path) : path_(path) {
        size_t slash = path.find_last_of('/');
        dir_ = slash == std::string::npos ? "." : path.substr(0, slash);
    }

    int run() {
        std::ifstream in(path_);
        if (!in) {
            std::printf("%s: cannot read the script\n", path_.c_str());
            return 2;
        }
        std::string line;
        int number = 0;
        while (std::getline(in, line)) {
            ++number;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            size_t first = line.find_first_not_of(" \t");
            if (first == std::string::npos || line[first] == '#') continue;
            Failure f = execute(line);
            if (f.code != 0) {
                std::printf("%s:%d: %s\n%s\n", path_.c_str(), number, line.c_str(), f.message.c_str());
                if (!sim::haltReason().empty())
                    std::printf("(the firmware stopped: %s)\n", sim::haltReason().c_str());
                sim::powerOff();
                return f.code;
            }
        }
        sim::powerOff();
        return 0;
    }

  private:
    std::string path_, dir_;
    int port_ = 0;
    sim::Time timeout_ = 5000 * sim::kMs;

    static Failure ok() { return {0, {}}; }
    static Failure bad(const std::string &m) { return {2, m}; }
    static Failure failed(const std::string &m) { return {1, m}; }

    void ensurePowered() {
        if (!sim::powered()) sim::powerOn();
    }

    std::deque<sim::uart::HostByte> &received() { return sim::uart::hostReceived(port_); }

    std::string pending() {
        std::string s;
        for (auto &b : received()) s += char(b.c);
        return s;
    }

    Failure expect(const std::string &want, long long withinMs) {
        ensurePowered();
        sim::Time start = sim::now();
        auto &rx = received();
        sim::runUntil(start + timeout_, [&] { return rx.size() >= want.size(); });
        std::string got;
        for (size_t i = 0; i < rx.size() && i < want.size(); ++i) got += char(rx[i].c);
        if (got != want) {
            std::string seen = pending();
            return failed("  expected: \"" + escape(want) + "\"\n  received: \"" + escape(seen) + "\"" +
                          (rx.size() < want.size() ? " (timed out)" : ""));
        }
        sim::Time lastAt = want.empty() ? start : rx[want.size() - 1].at;
        rx.erase(rx.begin(), rx.begin() + long(want.size()));
        if (withinMs >= 0 && lastAt > start + sim::Time(withinMs) * sim::kMs) {
            char buf[96];
            std::snprintf(buf, sizeof buf, "  the last byte arrived after %.3f ms",
                          double(lastAt - start) / double(sim::kMs));
            return failed(buf);
        }
        return ok();
    }

    Failure expectSilence(long long ms) {
        ensurePowered();
        auto &rx = received();
        if (!rx.empty()) return failed("  unread bytes were waiting: \"" + escape(pending()) + "\"");
        if (sim::runFor(sim::Time(ms) * sim::kMs, [&] { return !rx.empty(); }))
            return failed("  received: \"" + escape(pending()) + "\"");
        return ok();
    }

    Failure execute(const std::string &line) {
        size_t sp = line.find(' ');
        std::string word = line.substr(0, sp);
        std::string arg = sp == std::string::npos ? "" : line.substr(sp + 1);
        long long n = 0;

        if (word == "power-on") {
            sim::powerOn();
            return ok();
        }
        if (word == "power-off") {
            sim::powerOff();
            return ok();
        }
        if (word == "power-cycle") {
            sim::powerOff();
            sim::powerOn();
            return ok();
        }
        if (word == "port") {
            if (!parseNumber(arg, n, 0, 1)) return bad("port must be 0 or 1");
            port_ = int(n);
            return ok();
        }
        if (word == "host-baud") {
            if (!parseNumber(arg, n, 1, 10000000)) return bad("bad rate");
            sim::uart::setHostBaud(port_, uint32_t(n));
            return ok();
        }
        if (word == "host-xonxoff") {
            if (arg != "on" && arg != "off") return bad("host-xonxoff takes on or off");
            sim::uart::setHostFlow(port_, arg == "on");
            return ok();
        }
        if (word == "sendbreak") {
            if (!arg.empty()) return bad("sendbreak takes no argument");
            ensurePowered();
            sim::uart::hostSendBreak(port_);
            return ok();
        }
        if (word == "timeout") {
            if (!parseNumber(arg, n, 0)) return bad("bad number");
            timeout_ = sim::Time(n) * sim::kMs;
            return ok();
        }
        if (word == "send" || word == "sendraw") {
            std::string bytes;
            if (!unescape(arg, bytes)) return bad("bad escape");
            if (word == "send") bytes += '\r';
            ensurePowered();
            sim::uart::hostSend(port_, bytes);
            return ok();
        }
        if (word == "expect") {
            std::string want;
            if (!unescape(arg, want)) return bad("bad escape");
            return expect(want, -1);
        }
        if (word == "expect-within") {
            size_t s2 = arg.find(' ');
            std::string text = s2 == std::string::npos ? "" : arg.substr(s2 + 1);
            std::string want;
            if (!parseNumber(arg.substr(0, s2), n, 0)) return bad("bad number");
            if (!unescape(text, want)) return bad("bad escape");
            return expect(want, n);
        }
        if (word == "expect-silence") {
            if (!parseNumber(arg, n, 0)) return bad("bad number");
            return expectSilence(n);
        }
        if (word == "drain") {
            received().clear();
            return ok();
        }
        if (word == "wait") {
            if (!parseNumber(arg, n, 0)) return bad("bad number");
            ensurePowered();
            sim::runFor(sim::Time(n) * sim::kMs);
            return ok();
        }
        if (word == "echo") {
            std::string text;
            if (!unescape(arg, text)) return bad("bad escape");
            std::printf("%s\n", text.c_str());
            return ok();
        }
        if (word == "pixel") {
            std::istringstream in(arg);
            std::string xs, ys, rgb, extra;
            long long x = 0, y = 0;
            if (!(in >> xs >> ys >> rgb) || (in >> extra) || !parseNumber(xs, x, 0, screen::kWidth - 1) ||
                !parseNumber(ys, y, 0, screen::kHeight - 1) || !parseHex(rgb, 6, n))
                return bad("pixel takes X (0..639), Y (0..479) and RRGGBB");
            ensurePowered();
            uint32_t got = screen::widen(screen::capture().at(int(x), int(y)));
            if (got != uint32_t(n)) return failed("  the pixel is " + hex(got, 6));
            return ok();
        }
        if (word == "crc") {
            if (!parseHex(arg, 4, n)) return bad("crc takes four hexadecimal digits");
            ensurePowered();
            uint16_t got = screen::crc(screen::capture());
            if (got != uint16_t(n)) return failed("  the frame's CRC is " + hex(got, 4));
            return ok();
        }
        if (word == "screen" || word == "snapshot") {
            if (arg.empty()) return bad(word + " takes a PNG file name");
            std::string file = arg[0] == '/' ? arg : dir_ + "/" + arg;
            ensurePowered();
            screen::Frame f = screen::capture();
            std::string err = word == "screen" ? screen::compareGolden(f, file, sim::updateGoldens())
                                               : screen::writePng(f, file);
            if (!err.empty()) return failed("  " + err);
            return ok();
        }
        if (word == "check") {
            size_t s2 = arg.find(' ');
            std::string name = arg.substr(0, s2);
            std::string value = s2 == std::string::npos ? "" : arg.substr(s2 + 1);
            const sim::CheckFn *fn = sim::findCheck(name);
            if (!fn) return bad("no device state named \"" + name + "\" in this build");
            ensurePowered();
            std::string got = (*fn)();
            if (got != value) return failed("  " + name + " is " + got);
            return ok();
        }
        if (const DeviceLine *h = findDeviceLine(word)) {
            if (h->poweredOffOnly && sim::powered())
                return bad("\"" + word + "\" acts on the media only while the module is off (power-off first)");
            if (!h->poweredOffOnly) ensurePowered();
            LineResult r = h->run(arg, dir_);
            return {r.code, r.message};
        }
        return bad("unknown word \"" + word + "\" (or a line this build does not support yet)");
    }
};

}  // namespace

int runScript(const std::string &path) {
    sim::setPace(sim::Pace::Fast);
    Runner r(path);
    return r.run();
}

}  // namespace scenario
