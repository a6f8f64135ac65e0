// vmod-soak: hours of virtual time of host traffic and touches at a fast pace, on the whole
// firmware as vmod-sim runs it. The host sends batches of lines back to back (commands with
// random arguments the module takes, the same commands with arguments it refuses, and lines
// that name no command) while a finger presses and drags over a hot spot. Every line must get
// its acknowledgement, the one its kind calls for, in the order the lines were sent, within
// a bound of virtual time; a batch without all of them means the main loop stalled.
//
//     vmod-soak [--minutes N] [--seed S]     (virtual minutes; the defaults are 10 and 1)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "onboard.h"
#include "sim.h"
#include "touch.h"
#include "uart.h"

namespace {

struct Line {
    std::string text;
    char ack;  // '>' taken, '!' refused
};

class Traffic {
public:
    explicit Traffic(unsigned seed) : rng_(seed) {}

    int num(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

    Line next() {
        char b[160];
        int x0 = num(0, 639), y0 = num(0, 479), x1 = num(0, 639), y1 = num(0, 479);
        switch (num(0, 15)) {
            case 0: std::snprintf(b, sizeof b, "l %d %d %d %d", x0, y0, x1, y1); return {b, '>'};
            case 1: std::snprintf(b, sizeof b, "r %d %d %d %d %d", x0, y0, x1, y1, num(0, 1)); return {b, '>'};
            case 2: std::snprintf(b, sizeof b, "c %d %d %d", x0, y0, num(1, 200)); return {b, '>'};
            case 3: std::snprintf(b, sizeof b, "s %d %d", num(0, 7), num(0, 7)); return {b, '>'};
            case 4: std::snprintf(b, sizeof b, "p %d", num(1, 20)); return {b, '>'};
            case 5: std::snprintf(b, sizeof b, "t \"soak %d\" %d %d", num(0, 99999), x0 % 600, y0 % 460); return {b, '>'};
            case 6: std::snprintf(b, sizeof b, "o %d %d", num(0, 100), num(0, 100)); return {b, '>'};
            case 7: return {"o", '>'};
            case 8: std::snprintf(b, sizeof b, "pr %d %d", x0, y0); return {b, '>'};
            case 9: return {num(0, 1) ? "ss" : "sr", '>'};
            case 10: std::snprintf(b, sizeof b, "tr %d %d %d %d %d %d", x0, y0, x1, y1, num(0, 639), num(0, 479)); return {b, '>'};
            // The same commands with arguments the module refuses.
            case 11: std::snprintf(b, sizeof b, "l %d %d", x0, y0); return {b, '!'};
            case 12: std::snprintf(b, sizeof b, "p %d", num(0, 1) ? 0 : num(481, 100000)); return {b, '!'};
            case 13: return {"c", '!'};
            default: {
                // A line that names no command: printable noise behind a character no
                // command begins with.
                std::string s = "@";
                int n = num(0, 60);
                static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789 \"*-+.,";
                for (int i = 0; i < n; ++i) s += kChars[num(0, int(sizeof kChars) - 2)];
                return {s, '!'};
            }
        }
    }

private:
    std::mt19937 rng_;
};

// The acknowledgement lines the host has received: replies and reports are lines of their
// own, an acknowledgement is a line of one '>' or '!'.
std::string acks(const std::string &received) {
    std::string out;
    size_t start = 0;
    for (size_t i = 0; i < received.size(); ++i) {
        if (received[i] != '\r') continue;
        if (i - start == 1 && (received[start] == '>' || received[start] == '!')) out += received[start];
        start = i + 1;
    }
    return out;
}

}  // namespace

int main(int argc, char **argv) {
    double minutes = 10;
    unsigned seed = 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--minutes")) minutes = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--seed")) seed = unsigned(std::strtoul(argv[i + 1], nullptr, 0));
        else {
            std::fprintf(stderr, "usage: vmod-soak [--minutes N] [--seed S]\n");
            return 2;
        }
    }
    auto wallStart = std::chrono::steady_clock::now();
    if (!onboard::powerOnModule(VMOD_FIRMWARE_MODULE, onboard::freshStateDir())) {
        std::fprintf(stderr, "vmod-soak: the module gave no first prompt\n");
        return 1;
    }
    // A reporting hot spot under the finger's reach, so that touches make reports too.
    if (!onboard::exchange(0, "xs 130 0 0 320 240\r", ">\r")) {
        std::fprintf(stderr, "vmod-soak: the hot spot was refused: %s\n", onboard::hostText(0).c_str());
        return 1;
    }
    Traffic traffic(seed);
    const sim::Time end = sim::now() + sim::Time(minutes * 60 * double(sim::kSec));
    const sim::Time kBatchLimit = 10 * sim::kSec;  // far above any of these lines' work
    unsigned long lines = 0, batches = 0, touches = 0, refused = 0, reports = 0;
    onboard::hostText(0);
    while (sim::now() < end) {
        std::vector<Line> batch(size_t(traffic.num(1, 4)));
        std::string sent, want;
        for (Line &l : batch) {
            l = traffic.next();
            sent += l.text + "\r";
            want += l.ack;
            refused += l.ack == '!';
        }
        if (traffic.num(0, 2) == 0) {
            // The finger lands, or drags on to another place, or lifts.
            if (sim::touch::penDown() && traffic.num(0, 2) == 0) {
                sim::touch::release();
            } else {
                sim::touch::press(traffic.num(0, 639), traffic.num(0, 479));
                ++touches;
            }
        }
        sim::uart::hostSend(0, sent);
        bool done = sim::runFor(kBatchLimit, [&] { return acks(onboard::hostText(0, false)).size() >= want.size(); });
        std::string got = onboard::hostText(0);
        if (!done || acks(got) != want) {
            std::fprintf(stderr,
                         "vmod-soak: batch %lu at %.3f s of virtual time (seed %u): sent \"%s\", wanted the "
                         "acknowledgements \"%s\", got \"%s\" in \"%s\"%s\n",
                         batches, double(sim::now()) / double(sim::kSec), seed, sent.c_str(), want.c_str(),
                         acks(got).c_str(), got.c_str(), done ? "" : " (the module stalled)");
            return 1;
        }
        if (!sim::haltReason().empty()) {
            std::fprintf(stderr, "vmod-soak: the firmware stopped: %s\n", sim::haltReason().c_str());
            return 1;
        }
        for (size_t at = got.find("x130"); at != std::string::npos; at = got.find("x130", at + 1)) ++reports;
        lines += batch.size();
        ++batches;
    }
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    std::printf("vmod-soak: %lu lines (%lu refused) in %lu batches, %lu touches (%lu hot-spot reports), %.1f min "
                "of virtual time in %.1f s, every acknowledgement in order\n",
                lines, refused, batches, touches, reports, minutes, wall);
    return 0;
}
