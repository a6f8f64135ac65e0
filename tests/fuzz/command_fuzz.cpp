// Every byte sequence a host can send, on the whole firmware with its main loop.
//
// The module is powered on once: the widget image in its Data Flash, the command port switched
// to its fastest rate, and no card in the slot (a screen capture to a card writes 600 KB through
// the file system, a hundred times the cost of most inputs; the file system has targets of
// its own). At the prompt a snapshot of the whole board is kept, and each input starts from
// it: no power-on per input, and no input inherits what another did. An input goes out line
// by line (up to each CR) to whichever port carries commands when the line starts, as a host
// follows "*com1main" or RS-485 framing; then the module must answer again. At exit the target reports its rate and the entries of
// the dispatch chain whose handlers ran; with VMOD_FUZZ_REQUIRE_CHAIN set, an entry never
// reached fails the run.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include <sys/mman.h>
#include <unistd.h>

#include "comm/Rtosinit.h"
#include "command/dispatch.h"
#include "onboard.h"
#include "serialflash.h"
#include "sim.h"
#include "snapshot.h"
#include "storage/KT_eeprom.h"
#include "uart.h"
#include "widget_image.h"

namespace {

constexpr uint32_t kFastRate = 460800;
// How long the module gets to answer, counted in the board's events so that the bound is the
// same on every machine and follows the work a run takes: an idle millisecond is one event (the
// tick), a millisecond of a busy line some dozens.
constexpr uint64_t kQuickAnswer = 1500;
constexpr uint64_t kStallLimit = 200000;  // some three minutes of an idle module
constexpr sim::Time kLineAnswer = 20 * sim::kMs;

// --- which chain entries ran ---
//
// The chain is a constant table the firmware reads through pointers; each handler slot is
// pointed at a recorder of its own that notes the entry and calls the real handler.
CommandHandler realHandler[COMMAND_COUNT];
bool reached[COMMAND_COUNT];

template <int Entry>
int recordingHandler(char *line) {
    reached[Entry] = true;
    return realHandler[Entry](line);
}

template <int... Entries>
constexpr std::array<CommandHandler, sizeof...(Entries)> recorders(std::integer_sequence<int, Entries...>) {
    return {recordingHandler<Entries>...};
}

void recordChain() {
    static constexpr auto recorder = recorders(std::make_integer_sequence<int, COMMAND_COUNT>());
    const long page = sysconf(_SC_PAGESIZE);
    auto from = reinterpret_cast<uintptr_t>(commandChain) & ~uintptr_t(page - 1);
    auto to = reinterpret_cast<uintptr_t>(commandChain + COMMAND_COUNT);
    void *at = reinterpret_cast<void *>(from);
    if (mprotect(at, to - from, PROT_READ | PROT_WRITE) != 0) __builtin_trap();
    auto *chain = const_cast<CommandEntry *>(commandChain);
    for (int i = 0; i < COMMAND_COUNT; ++i) {
        realHandler[i] = chain[i].handler;
        chain[i].handler = recorder[i];
    }
    mprotect(at, to - from, PROT_READ);
}

// --- the report ---
//
// One entry no line can reach: the main loop and macros cut a "//" comment off every line
// before the chain sees it, so a line that begins with one arrives empty.
const char *const kUnreachable[] = {"//"};

bool unreachable(const CommandEntry &e) {
    for (const char *word : kUnreachable)
        if (std::strcmp(e.word, word) == 0) return true;
    return false;
}

std::chrono::steady_clock::time_point firstInput;
uint64_t inputs = 0;

void report() {
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - firstInput).count();
    int count = 0;
    std::string missing, excused;
    for (int i = 0; i < COMMAND_COUNT; ++i) {
        std::string entry = " " + std::to_string(i + 1) + " \"" + commandChain[i].word + "\"";
        if (reached[i]) ++count;
        else if (unreachable(commandChain[i])) excused += entry;
        else missing += entry;
    }
    std::printf("command fuzz: %llu inputs in %.1f s, %.0f a second\n", (unsigned long long)inputs, seconds,
                seconds > 0 ? double(inputs) / seconds : 0.0);
    std::printf("command fuzz: chain entries reached: %d of %d\n", count, COMMAND_COUNT);
    if (!excused.empty()) std::printf("command fuzz: no line reaches (comments are cut first):%s\n", excused.c_str());
    if (!missing.empty()) std::printf("command fuzz: not reached:%s\n", missing.c_str());
    std::fflush(stdout);
    if (!missing.empty() && std::getenv("VMOD_FUZZ_REQUIRE_CHAIN")) _exit(1);
}

// --- the module ---
bool rs485() { return eepromData.rs485Mode == MODE_ON; }
int commandPort() { return rs485() || !mainIsUart0 ? 1 : 0; }

// Whether the host has received `text` on a port since its queue was emptied; each call looks
// only at what arrived since the one before, since a reply may run to many kilobytes.
struct Seen {
    int port;
    std::string text;
    size_t from = 0;
    bool operator()() {
        const auto &rx = sim::uart::hostReceived(port);
        for (; from + text.size() <= rx.size(); ++from) {
            size_t k = 0;
            while (k < text.size() && rx[from + k].c == uint8_t(text[k])) ++k;
            if (k == text.size()) return true;
        }
        return false;
    }
};

void startOnce() {
    static bool started = false;
    if (started) return;
    started = true;
    recordChain();
    std::atexit(report);

    const std::string dir = onboard::freshStateDir();
    sim::setStateDir(dir);
    loadWidgetImage();
    if (!onboard::powerOnLinked()) __builtin_trap();  // no first prompt
    // The fastest rate, kept in the settings so that a reset inside an input comes back to it.
    onboard::hostText(0);
    sim::uart::hostSend(0, "baudp 460800\r");
    if (!sim::runFor(sim::kSec, Seen{0, ">\r"})) __builtin_trap();
    sim::runFor(20 * sim::kMs);
    sim::uart::setHostBaud(0, kFastRate);
    onboard::hostText(0);
    if (!onboard::exchange(0, "vers\r", ">\r")) __builtin_trap();
    onboard::hostText(0);
    onboard::hostText(1);
    sim::takeSnapshot();
    firstInput = std::chrono::steady_clock::now();
}

// Runs until the module has answered, on either port: it sent something and then nothing for a
// millisecond, or a short while has passed.
void awaitAnswer() {
    const size_t before = sim::uart::hostReceived(0).size() + sim::uart::hostReceived(1).size();
    sim::runFor(kLineAnswer, [before] {
        const auto &rx0 = sim::uart::hostReceived(0), &rx1 = sim::uart::hostReceived(1);
        if (rx0.size() + rx1.size() <= before) return false;
        sim::Time last = std::max(rx0.empty() ? 0 : rx0.back().at, rx1.empty() ? 0 : rx1.back().at);
        return sim::now() >= last + sim::kMs;
    });
}

// The host follows the module's rate, which a reset inside the input may have changed.
void followRate(int port) {
    if (uint32_t rate = sim::uart::moduleBaud(port)) sim::uart::setHostBaud(port, rate);
}

// The question that must be answered after every input: "*IERR", which the module answers
// with "#\r" on the command port. Before it goes what ends every state a host can leave the
// module in: an escape ends a line left open, " Q" a text download, and a break (a receive
// error, sent now and then) a binary one. On an RS-485 bus the lines are framed with the
// start-of-frame character and the station's address.
std::string question() {
    if (!rs485()) return "\x1b\r Q\r*IERR\r";
    char frame[4];
    std::snprintf(frame, sizeof frame, "%c%02X", eepromData.rs485Sof, eepromData.rs485Addr);
    return std::string("\r") + frame + " Q\r" + frame + "*IERR\r";
}

// Asks until the module answers or `budget` of the board's events have run. A binary command left
// half received swallows up to 127 bytes, and the port that carries commands may change while
// the input is still being taken, so the question goes again, each time to the port that has
// the commands then.
bool answers(uint64_t budget) {
    const uint64_t until = sim::eventCount() + budget;
    for (int attempt = 0; attempt < 100 && sim::eventCount() < until; ++attempt) {
        int port = commandPort();
        followRate(port);
        sim::uart::hostReceived(port).clear();
        if (attempt % 3 == 2) sim::uart::hostSendBreak(port);
        sim::uart::hostSend(port, question());
        // Most inputs are answered within milliseconds; a reset or a long command takes
        // longer, so the waits grow, up to two seconds each.
        sim::Time wait = std::min<sim::Time>(2 * sim::kSec, (5 * sim::kMs) << std::min(attempt, 9));
        Seen answer{port, "#\r"};
        if (sim::runFor(wait, [&answer, until] { return answer() || sim::eventCount() >= until; }) && answer())
            return true;
    }
    return false;
}

// Whether an input that keeps the module busy past the quick answer is followed to the end:
// one in 32, chosen by content so that a finding replays.
bool followedToTheEnd(const uint8_t *data, size_t size) {
    uint32_t h = 2166136261u;  // FNV-1a
    for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 16777619u;
    return h % 32 == 0;
}

}  // namespace

// The firmware has no heap: the heap is the bench's alone, whose events allocate all the
// time. Recording where each allocation was made, and holding freed memory back for long,
// would cost more than the rest of a run.
extern "C" const char *__asan_default_options() { return "malloc_context_size=0:quarantine_size_mb=4"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    startOnce();
    sim::restoreSnapshot();
    ++inputs;
    const std::string input(reinterpret_cast<const char *>(data), size);
    for (size_t at = 0; at < input.size();) {
        size_t end = input.find('\r', at);
        end = end == std::string::npos ? input.size() : end + 1;
        int port = commandPort();
        followRate(port);
        sim::uart::hostSend(port, input.substr(at, end - at));
        sim::runUntil(sim::now() + 10 * sim::kSec, [port] { return !sim::uart::hostSending(port); });
        if (!sim::haltReason().empty()) __builtin_trap();  // the firmware stopped
        // A system line may move the command port or its framing; as a host does then, the
        // next line waits for its answer.
        if (input[at] == '*' && input[end - 1] == '\r') awaitAnswer();
        at = end;
    }
    // Most inputs are answered within milliseconds. One that keeps the module busy longer (a
    // reset, a settings save, a wait it asked for) is followed for minutes of virtual time,
    // after which a module that still does not answer has stalled, but only for a sample: the
    // rest end at the quick answer's limit, or slow inputs would cost more than all others.
    if (!answers(kQuickAnswer) && followedToTheEnd(data, size) && !answers(kStallLimit))
        __builtin_trap();  // the main loop no longer answers
    if (!sim::haltReason().empty()) __builtin_trap();
    return 0;
}
