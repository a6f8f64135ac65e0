#include "panel.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>
#include <vector>

#include "fatimage.h"
#include "inputs.h"
#include "lcd.h"
#include "sdcard.h"
#include "serialflash.h"
#include "sim.h"
#include "touch.h"
#include "uart.h"
#include "updates.h"

extern const char kWebPage[];
extern const unsigned long kWebPageSize;

namespace web {

namespace {

using Clock = std::chrono::steady_clock;

// Publishing: at most this often (about 30 copies a second).
constexpr auto kPublishPeriod = std::chrono::milliseconds(33);
// A browser's request for news waits at most this long before it is answered "nothing new".
constexpr auto kLongPoll = std::chrono::seconds(20);
// Browsers waiting for news at once; more are refused, so that a crowd cannot take every
// server thread.
constexpr int kMaxWatchers = 16;
constexpr int kServerThreads = 24;
// What the module sent on each port, kept for the consoles of browsers that come and go.
constexpr size_t kConsoleKeep = 64 * 1024;
// The largest image file: the module's staging buffer.
constexpr size_t kMaxImage = 0xB00000;
// Inputs waiting for the board: a few uploads at most.
constexpr size_t kQueueItems = 512;
constexpr size_t kQueueBytes = 3 * kMaxImage;
// The panel holds each pen-down and pen-up this long in virtual time before the next pen change,
// as a finger would: the touch sampler and its debouncing see every tap a browser sends, however
// quickly its press and release arrive.
constexpr sim::Time kPenHold = 60 * sim::kMs;
// A power cycle keeps the module off this long.
constexpr sim::Time kPowerOff = 500 * sim::kMs;
// The card's image file, as the module finds it (the first vmod*.bin of the root folder).
constexpr const char *kCardImage = "VMOD.BIN";

std::string hex(const std::string &bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        s += digits[c >> 4];
        s += digits[c & 15];
    }
    return s;
}

// What a port's host received, kept as a window of the whole stream (offsets count from the
// start of vmod-sim).
struct ConsoleLog {
    std::string bytes;
    uint64_t start = 0;  // stream offset of bytes[0]
    uint64_t end() const { return start + bytes.size(); }
    void append(const std::string &s) {
        bytes += s;
        if (bytes.size() > kConsoleKeep) {
            size_t drop = bytes.size() - kConsoleKeep / 2;
            bytes.erase(0, drop);
            start += drop;
        }
    }
};

}  // namespace

struct Panel::Impl {
    httplib::Server server;
    std::thread thread;
    std::string host;
    int port = 0;
    InputQueue inputs{kQueueItems, kQueueBytes};
    std::atomic<int> watchers{0};
    std::atomic<bool> stopping{false};
    std::atomic<uint64_t> virtualNs{0};  // the board's clock after its last step

    // --- the published copy, under m ---
    std::mutex m;
    std::condition_variable changed;
    std::vector<uint16_t> frame = std::vector<uint16_t>(size_t(kWidth) * kHeight, 0);
    TileVersions tiles;
    uint32_t screenVersion = 0;
    std::string state = "{}";
    uint32_t stateVersion = 0;
    ConsoleLog console[2];
    uint32_t flashBytes = 0;

    // --- the board thread's own ---
    std::vector<uint16_t> scratch = std::vector<uint16_t>(size_t(kWidth) * kHeight, 0);
    std::vector<uint16_t> shown = std::vector<uint16_t>(size_t(kWidth) * kHeight, 0);
    bool firstPublish = true;
    std::string pendingConsole[2];
    Clock::time_point lastPublish{};
    uint64_t lastFrames = ~uint64_t(0);
    std::deque<Input> pending;   // inputs taken from the queue, waiting for their turn
    sim::Time lastPenChange = 0;
    bool penIsDown = false;
    sim::Time powerBackAt = 0;   // while a power cycle keeps the module off
    std::string notice;          // the last media or power action's outcome
    uint32_t noticeSeq = 0;
    std::string lastStateBody;

    void routes();
    void apply(Input &in);
    void publish(bool withScreen);
    std::string stateJson();
};

void Panel::Impl::routes() {
    server.Get("/", [](const httplib::Request &, httplib::Response &res) {
        res.set_content(std::string(kWebPage, kWebPageSize), "text/html; charset=utf-8");
        res.set_header("Cache-Control", "no-store");
    });

    // News since the versions the browser has: the device state as JSON, the console bytes of
    // one port after an offset, and the changed areas of the screen. Waits while nothing is new.
    server.Get("/api/updates", [this](const httplib::Request &req, httplib::Response &res) {
        auto num = [&](const char *key) -> uint64_t {
            if (!req.has_param(key)) return 0;
            return std::strtoull(req.get_param_value(key).c_str(), nullptr, 10);
        };
        uint32_t haveScreen = uint32_t(num("screen")), haveState = uint32_t(num("state"));
        uint64_t haveConsole = num("console");
        int port = num("port") == 1 ? 1 : 0;
        bool wait = req.get_param_value("wait") != "0";
        if (++watchers > kMaxWatchers) {
            --watchers;
            res.status = 503;
            res.set_content("too many browsers are watching this module (at most 16)\n", "text/plain");
            return;
        }
        std::unique_lock<std::mutex> lock(m);
        auto news = [&] {
            return stopping || screenVersion != haveScreen || stateVersion != haveState ||
                   console[port].end() != haveConsole;
        };
        if (wait) changed.wait_for(lock, kLongPoll, news);
        --watchers;
        nlohmann::json j;
        j["state"] = nlohmann::json::parse(state);
        j["stateVersion"] = stateVersion;
        // A browser whose offset lies outside what is kept (vmod-sim restarted, or it was
        // away too long) gets what is kept.
        const ConsoleLog &log = console[port];
        uint64_t from = haveConsole;
        if (from < log.start || from > log.end()) from = log.start;
        j["console"] = {{"port", port}, {"from", from}, {"to", log.end()},
                        {"lost", haveConsole != 0 && haveConsole < log.start},
                        {"hex", hex(log.bytes.substr(size_t(from - log.start)))}};
        std::string screen;
        if (screenVersion != haveScreen) {
            // A version newer than ours is from an earlier run of vmod-sim: all of it.
            uint32_t since = haveScreen > screenVersion ? 0 : haveScreen;
            screen = encodeUpdate(frame.data(), changedSince(tiles, since), screenVersion);
        }
        lock.unlock();
        std::string head = j.dump();
        std::string body;
        uint32_t n = uint32_t(head.size());
        body.reserve(4 + head.size() + screen.size());
        for (int i = 0; i < 4; ++i) body += char((n >> (8 * i)) & 0xFF);
        body += head;
        body += screen;
        res.set_header("Cache-Control", "no-store");
        res.set_content(std::move(body), "application/octet-stream");
    });

    // The board's virtual time beside the host's clock, for a look at the pace.
    server.Get("/api/time", [this](const httplib::Request &, httplib::Response &res) {
        auto wall = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
        nlohmann::json j = {{"virtualMs", double(virtualNs.load()) / 1e6}, {"hostMs", double(wall) / 1e3}};
        res.set_header("Cache-Control", "no-store");
        res.set_content(j.dump(), "application/json");
    });

    server.Get("/api/screenshot.png", [this](const httplib::Request &, httplib::Response &res) {
        std::vector<uint16_t> copy;
        {
            std::lock_guard<std::mutex> lock(m);
            copy = frame;
        }
        std::string png = encodePng(copy.data(), kWidth, kHeight);
        if (png.empty()) {
            res.status = 500;
            res.set_content("the screenshot could not be encoded\n", "text/plain");
            return;
        }
        res.set_header("Content-Disposition", "attachment; filename=\"vmod-screen.png\"");
        res.set_content(std::move(png), "image/png");
    });

    auto refuse = [](httplib::Response &res, int status, const std::string &why) {
        res.status = status;
        res.set_content(why + "\n", "text/plain");
    };
    auto queue = [this, refuse](httplib::Response &res, Input in, const char *done) {
        if (!inputs.push(std::move(in))) return refuse(res, 503, "the module is busy with earlier requests; try again");
        res.status = 202;
        res.set_content(std::string(done) + "\n", "text/plain");
    };

    server.Post("/api/touch", [refuse, queue](const httplib::Request &req, httplib::Response &res) {
        std::string action = req.get_param_value("action");
        Input in;
        if (action == "down") in.kind = InputKind::PenDown;
        else if (action == "move") in.kind = InputKind::PenMove;
        else if (action == "up") in.kind = InputKind::PenUp;
        else return refuse(res, 400, "action is down, move or up");
        if (in.kind != InputKind::PenUp) {
            char *e1 = nullptr, *e2 = nullptr;
            std::string xs = req.get_param_value("x"), ys = req.get_param_value("y");
            long x = std::strtol(xs.c_str(), &e1, 10), y = std::strtol(ys.c_str(), &e2, 10);
            std::string why;
            if (xs.empty() || ys.empty() || *e1 || *e2) return refuse(res, 400, "a touch needs whole numbers x and y");
            if (!validTouch(int(std::max(-1L, std::min(x, 100000L))), int(std::max(-1L, std::min(y, 100000L))), why))
                return refuse(res, 400, why);
            in.x = int(x);
            in.y = int(y);
        }
        queue(res, std::move(in), "touch queued");
    });

    server.Post("/api/console", [refuse, queue](const httplib::Request &req, httplib::Response &res) {
        std::string line, why;
        if (!consoleLine(req.body, req.get_param_value("crc") == "1", line, why)) return refuse(res, 400, why);
        Input in;
        in.kind = InputKind::Line;
        in.port = req.get_param_value("port") == "1" ? 1 : 0;
        in.bytes = line;
        queue(res, std::move(in), "line queued");
    });

    server.Post("/api/power", [refuse, queue](const httplib::Request &req, httplib::Response &res) {
        std::string action = req.get_param_value("action");
        Input in;
        if (action == "cycle") in.kind = InputKind::PowerCycle;
        else if (action == "reset") in.kind = InputKind::Reset;
        else return refuse(res, 400, "action is cycle or reset");
        queue(res, std::move(in), action == "cycle" ? "power cycle queued" : "reset queued");
    });

    // An image file for the SD card or the Data Flash, as the request's body.
    server.Post("/api/upload", [this, refuse, queue](const httplib::Request &req, httplib::Response &res) {
        std::string target = req.get_param_value("target");
        if (target != "sd" && target != "flash") return refuse(res, 400, "target is sd or flash");
        const std::string &b = req.body;
        if (b.size() < 8 || uint8_t(b[0]) != 0xEB || uint8_t(b[1]) != 0xFE)
            return refuse(res, 415, "not an external-memory image (an image begins with the magic 0xFEEB); build one with vmod-image");
        uint32_t declared = uint32_t(uint8_t(b[4])) | uint32_t(uint8_t(b[5])) << 8 | uint32_t(uint8_t(b[6])) << 16 |
                            uint32_t(uint8_t(b[7])) << 24;
        if (declared > kMaxImage) return refuse(res, 415, "the image's header gives a size over the module's 11 MiB");
        uint32_t limit = target == "sd" ? uint32_t(kMaxImage) : [this] {
            std::lock_guard<std::mutex> lock(m);
            return flashBytes;
        }();
        if (b.size() > limit)
            return refuse(res, 413, "the image (" + std::to_string(b.size()) + " bytes) is larger than the " +
                                        (target == "sd" ? "module's staging buffer" : "Data Flash") + " (" +
                                        std::to_string(limit) + " bytes)");
        Input in;
        in.kind = target == "sd" ? InputKind::PutSd : InputKind::PutFlash;
        in.bytes = b;
        queue(res, std::move(in), "image received; the module restarts and loads it");
    });

    // The server library reads every header line a client sends; a request with more than a
    // browser ever sends is refused before any handler sees it.
    server.set_pre_routing_handler([](const httplib::Request &req, httplib::Response &res) {
        if (req.headers.size() <= 100) return httplib::Server::HandlerResponse::Unhandled;
        res.status = 431;
        res.set_content("too many header lines (at most 100)\n", "text/plain");
        return httplib::Server::HandlerResponse::Handled;
    });
    server.set_error_handler([](const httplib::Request &, httplib::Response &res) {
        if (!res.body.empty()) return;
        const char *why = res.status == 413 ? "the request is too large (an image holds at most 11 MiB)"
                          : res.status == 404 ? "no such page or request"
                          : res.status == 405 ? "that method is not served here"
                                              : "bad request";
        res.set_content(std::string(why) + "\n", "text/plain");
    });
    server.set_exception_handler([](const httplib::Request &, httplib::Response &res, std::exception_ptr) {
        res.status = 500;
        res.set_content("the request failed\n", "text/plain");
    });
}

std::string Panel::Impl::stateJson() {
    auto check = [](const char *name) {
        const sim::CheckFn *f = sim::findCheck(name);
        return f ? (*f)() : std::string();
    };
    nlohmann::json j;
    j["powered"] = sim::powered();
    j["halted"] = sim::haltReason();
    j["led"] = check("led") == "on";
    j["sdLed"] = check("sd-led") == "on";
    j["panel"] = check("panel") == "on";
    j["lcdData"] = check("lcd-data") == "on";
    j["inverter"] = check("inverter") == "on";
    j["brightness"] = std::atoi(check("pwm").c_str());
    std::string beeper = check("beeper");
    j["tone"] = beeper == "off" ? 0 : std::atoi(beeper.c_str());
    j["volume"] = std::atoi(check("volume").c_str());
    j["scanning"] = sim::lcd::scanning();
    j["card"] = sim::sdcard::present();
    j["notice"] = notice;
    j["noticeSeq"] = noticeSeq;
    return j.dump();
}

void Panel::Impl::publish(bool withScreen) {
    bool screenChanged = false;
    if (withScreen) {
        sim::lcd::copyFrame(scratch.data());
        screenChanged = firstPublish || std::memcmp(scratch.data(), shown.data(), scratch.size() * 2) != 0;
    }
    // The JSON holds no time, so an idle module publishes nothing new.
    std::string s = stateJson();
    bool stateChanged = s != lastStateBody;
    bool consoleNews = !pendingConsole[0].empty() || !pendingConsole[1].empty();
    if (!screenChanged && !stateChanged && !consoleNews) return;
    {
        std::lock_guard<std::mutex> lock(m);
        if (screenChanged) {
            ++screenVersion;
            if (firstPublish) tiles.stampAll(screenVersion);
            else tiles.stamp(shown.data(), scratch.data(), screenVersion);
            frame = scratch;
        }
        if (stateChanged) {
            state = s;
            ++stateVersion;
        }
        for (int p = 0; p < 2; ++p) console[p].append(pendingConsole[p]);
        flashBytes = sim::serialflash::size();
    }
    if (screenChanged) {
        shown.swap(scratch);
        firstPublish = false;
    }
    lastStateBody = s;
    pendingConsole[0].clear();
    pendingConsole[1].clear();
    changed.notify_all();
}

void Panel::Impl::apply(Input &in) {
    switch (in.kind) {
    case InputKind::PenDown:
    case InputKind::PenMove:
        if (in.kind == InputKind::PenMove && !penIsDown) break;  // a move after the release
        sim::touch::press(in.x, in.y);
        if (!penIsDown) lastPenChange = sim::now();
        penIsDown = true;
        break;
    case InputKind::PenUp:
        if (penIsDown) lastPenChange = sim::now();
        sim::touch::release();
        penIsDown = false;
        break;
    case InputKind::Line:
        sim::uart::hostQueue(in.port, in.bytes);
        break;
    case InputKind::Reset:
        sim::powerOff();
        sim::powerOn();
        penIsDown = false;
        notice = "reset";
        ++noticeSeq;
        break;
    case InputKind::PowerCycle:
        sim::powerOff();
        penIsDown = false;
        powerBackAt = sim::now() + kPowerOff;
        notice = "power off; back on in half a second";
        ++noticeSeq;
        break;
    case InputKind::PutSd:
    case InputKind::PutFlash: {
        // Media change only while the module is off, as a person would swap them.
        sim::powerOff();
        penIsDown = false;
        std::string err;
        if (in.kind == InputKind::PutSd) {
            std::vector<uint8_t> data(in.bytes.begin(), in.bytes.end());
            if (sim::fatimage::put(sim::sdcard::imagePath(), kCardImage, data, err))
                notice = std::string(kCardImage) + " (" + std::to_string(data.size()) +
                         " bytes) is on the SD card; the module restarted to load it";
            else
                notice = "the image could not be put on the SD card: " + err;
        } else {
            sim::serialflash::load(std::vector<uint8_t>(in.bytes.begin(), in.bytes.end()));
            notice = "the Data Flash holds the image (" + std::to_string(in.bytes.size()) +
                     " bytes); the module restarted to load it" +
                     (sim::sdcard::present() ? " (a vmod*.bin on the SD card comes first)" : "");
        }
        ++noticeSeq;
        in.bytes.clear();
        in.bytes.shrink_to_fit();
        sim::powerOn();
        break;
    }
    }
}

Panel::Panel() : impl_(std::make_unique<Impl>()) {}
Panel::~Panel() { stop(); }

bool Panel::start(const std::string &host, int port, std::string &error) {
    Impl &d = *impl_;
    d.host = host;
    d.port = port;
    d.routes();
    d.server.new_task_queue = [] { return new httplib::ThreadPool(kServerThreads); };
    d.server.set_payload_max_length(kMaxImage + 4096);
    d.server.set_read_timeout(5, 0);
    d.server.set_write_timeout(5, 0);
    d.server.set_keep_alive_timeout(3);
    d.server.set_keep_alive_max_count(200);
    if (!d.server.bind_to_port(host, port)) {
        error = "the web panel cannot listen on " + host + ":" + std::to_string(port) +
                " (in use, or not an address of this machine); choose another with --web [ADDR:]PORT";
        return false;
    }
    d.thread = std::thread([&d] { d.server.listen_after_bind(); });
    return true;
}

std::string Panel::url() const {
    std::string h = impl_->host.find(':') != std::string::npos ? "[" + impl_->host + "]" : impl_->host;
    return "http://" + h + ":" + std::to_string(impl_->port) + "/";
}

void Panel::stop() {
    Impl &d = *impl_;
    if (!d.thread.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(d.m);
        d.stopping = true;
    }
    d.changed.notify_all();
    d.server.stop();
    d.thread.join();
}

void Panel::beforeStep() {
    Impl &d = *impl_;
    if (d.powerBackAt && sim::now() >= d.powerBackAt) {
        d.powerBackAt = 0;
        sim::powerOn();
    }
    // New inputs only once the earlier ones are done: while a pen hold or a power cycle keeps
    // them waiting, the queue's own bounds hold for everything behind them.
    if (d.pending.empty())
        for (Input &in : d.inputs.takeAll()) d.pending.push_back(std::move(in));
    while (!d.pending.empty()) {
        Input &in = d.pending.front();
        bool penChange = (in.kind == InputKind::PenDown && !d.penIsDown) || (in.kind == InputKind::PenUp && d.penIsDown);
        if (penChange && sim::now() < d.lastPenChange + kPenHold) break;
        if (d.powerBackAt) break;  // the rest once it is back on
        d.apply(in);
        d.pending.pop_front();
    }
}

void Panel::afterStep() {
    Impl &d = *impl_;
    d.virtualNs = sim::now();
    for (int p = 0; p < 2; ++p)
        for (const sim::uart::HostByte &b : sim::uart::hostReceived(p)) d.pendingConsole[p] += char(b.c);
    auto t = Clock::now();
    if (t - d.lastPublish < kPublishPeriod) return;
    d.lastPublish = t;
    // A new frame has begun since the last copy, or there are no frames to wait for.
    uint64_t frames = sim::lcd::frameCount();
    bool boundary = frames != d.lastFrames || !sim::lcd::scanning();
    d.lastFrames = frames;
    d.publish(boundary);
}

}  // namespace web
