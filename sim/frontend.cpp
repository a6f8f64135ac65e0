#include "frontend.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sim.h"
#include "uart.h"

namespace frontend {
namespace {

using Clock = std::chrono::steady_clock;

volatile sig_atomic_t stopRequested = 0;
void onSignal(int) { stopRequested = 1; }

// What the module sends while no client is connected to a TCP port is kept, up to this much,
// and goes to the next client (a terminal left open on a real line would have shown it). The
// start-up report of a module is a few hundred bytes. A pseudo-terminal needs no such store:
// the kernel keeps what is written to it in the device's input queue for the next program.
constexpr size_t kHeldMax = 4096;
// A TCP client that has closed its sending side is disconnected once its last byte has reached
// the module and the module has been silent this long.
constexpr auto kHalfCloseQuiet = std::chrono::milliseconds(1000);

// One host-side connection of a serial port. The simulated line pulls the host's bytes with
// take() at the line's pace and hands the module's bytes to deliver().
class Endpoint {
  public:
    explicit Endpoint(int port) : port_(port) {}
    virtual ~Endpoint() = default;
    // Descriptors to watch, with the events of interest.
    virtual void watch(std::vector<pollfd> &fds) = 0;
    // Acts on what poll reported for one of the descriptors of watch().
    virtual void serve(const pollfd &p) = 0;
    // Once per step of the loop.
    virtual void tick() {}
    // Up to max host bytes that are waiting now (the host transmitter's FIFO refill).
    virtual size_t take(uint8_t *buf, size_t max) = 0;
    // One byte the host received from the module.
    virtual void deliver(uint8_t c) = 0;
    // True when the host side has ended for good (piped standard input that is used up).
    virtual bool finished() { return false; }

  protected:
    // Module output while nobody listens, bounded.
    void hold(uint8_t c) {
        if (held_.size() < kHeldMax) held_ += char(c);
        else if (!heldOverflow_) {
            heldOverflow_ = true;
            std::fprintf(stderr, "vmod-sim: port %d: no client; module output beyond %zu bytes is dropped\n", port_,
                         kHeldMax);
        }
    }
    std::string takeHeld() {
        std::string s;
        s.swap(held_);
        heldOverflow_ = false;
        return s;
    }

    int port_;

  private:
    std::string held_;
    bool heldOverflow_ = false;
};

void setNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

class StdioEndpoint : public Endpoint {
  public:
    explicit StdioEndpoint(int port) : Endpoint(port) {
        tty_ = isatty(0);
        if (tty_) {
            // Raw input: the Enter key sends CR, as a terminal program would.
            tcgetattr(0, &saved_);
            termios raw = saved_;
            raw.c_iflag &= ~tcflag_t(ICRNL | IXON);
            raw.c_lflag &= ~tcflag_t(ICANON | ECHO);
            tcsetattr(0, TCSANOW, &raw);
        }
        outTty_ = isatty(1);
        savedFlags_ = fcntl(0, F_GETFL);
        setNonBlocking(0);
    }
    ~StdioEndpoint() override {
        fcntl(0, F_SETFL, savedFlags_);  // the descriptor is shared with the shell
        if (tty_) tcsetattr(0, TCSANOW, &saved_);
    }
    void watch(std::vector<pollfd> &fds) override {
        if (!ended_) fds.push_back({0, POLLIN, 0});
    }
    void serve(const pollfd &p) override {
        if (p.revents) sim::uart::hostSourceReady(port_);
    }
    size_t take(uint8_t *buf, size_t max) override {
        if (ended_) return 0;
        ssize_t n = ::read(0, buf, max);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
            ended_ = true;
            endedAt_ = Clock::now();
            return 0;
        }
        if (n < 0) return 0;
        // Piped text ends its lines with LF; the module ends them with CR.
        if (!tty_)
            for (ssize_t i = 0; i < n; ++i)
                if (buf[i] == '\n') buf[i] = '\r';
        return size_t(n);
    }
    void deliver(uint8_t c) override {
        lastOutput_ = Clock::now();
        if (outTty_ && c == '\r') std::fputc('\n', stdout);
        else std::fputc(c, stdout);
        std::fflush(stdout);
    }
    // Piped input: finished once the module has had a moment to answer the last line.
    bool finished() override {
        auto quietSince = lastOutput_ > endedAt_ ? lastOutput_ : endedAt_;
        return ended_ && !sim::uart::hostSending(port_) && Clock::now() - quietSince > std::chrono::milliseconds(500);
    }

  private:
    bool tty_ = false, outTty_ = false, ended_ = false;
    int savedFlags_ = 0;
    Clock::time_point endedAt_{}, lastOutput_{};
    termios saved_{};
};

// A pseudo-terminal: host programs open its slave side like a serial device. vmod-sim keeps
// no descriptor of the slave open, so the master reports a hang-up exactly while no program
// has the device open. The slave's termios are the host program's port settings: with IXON
// set (pyserial's xonxoff=True, picocom's --flow x) the host's transmitter obeys the module's
// XOFF and XON, as a UART driver with software flow control does.
class PtyEndpoint : public Endpoint {
  public:
    PtyEndpoint(int port, const std::string &link) : Endpoint(port), link_(link) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
            std::perror("vmod-sim: pseudo-terminal");
            std::exit(1);
        }
        setNonBlocking(master_);
        name_ = ptsname(master_);
        // Raw settings for the first program (termios belong to the slave and last while the
        // master is open); one open and close puts the master in its no-one-listens state.
        int slave = open(name_.c_str(), O_RDWR | O_NOCTTY);
        termios t{};
        tcgetattr(master_, &t);
        cfmakeraw(&t);
        tcsetattr(master_, TCSANOW, &t);
        if (slave >= 0) close(slave);
        if (!link_.empty()) makeLink();
        std::fprintf(stderr, "vmod-sim: port %d on %s%s%s\n", port, name_.c_str(), link_.empty() ? "" : " linked at ",
                     link_.c_str());
    }
    ~PtyEndpoint() override {
        if (!link_.empty()) {
            char target[256];
            ssize_t n = readlink(link_.c_str(), target, sizeof target - 1);
            if (n > 0 && std::string(target, size_t(n)) == name_) unlink(link_.c_str());
        }
        close(master_);
    }
    void watch(std::vector<pollfd> &fds) override { fds.push_back({master_, POLLIN, 0}); }
    void serve(const pollfd &p) override {
        bool open = !(p.revents & POLLHUP);
        if (!open && open_) {
            // The kernel keeps the device stopped by an XOFF after its program has gone; an XON,
            // which its still-set IXON consumes, frees it for the next program.
            if (sim::uart::hostStopped(port_)) (void)!::write(master_, "\x11", 1);
            sim::uart::setHostFlow(port_, false);  // the next program sets its own
        }
        open_ = open;
        if (p.revents & POLLIN) sim::uart::hostSourceReady(port_);
    }
    void tick() override {
        termios t{};
        if (open_ && tcgetattr(master_, &t) == 0) sim::uart::setHostFlow(port_, (t.c_iflag & IXON) != 0);
    }
    size_t take(uint8_t *buf, size_t max) override {
        ssize_t n = ::read(master_, buf, max);
        return n > 0 ? size_t(n) : 0;
    }
    // Waits in the device's input queue until a program reads it; what no longer fits there
    // is lost, as on a host that stops reading a real line.
    void deliver(uint8_t c) override { (void)!::write(master_, &c, 1); }

  private:
    void makeLink() {
        struct stat st{};
        if (lstat(link_.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                std::fprintf(stderr, "vmod-sim: %s exists and is not a symbolic link; not replaced\n", link_.c_str());
                std::exit(2);
            }
            unlink(link_.c_str());
        }
        if (symlink(name_.c_str(), link_.c_str()) != 0) {
            std::fprintf(stderr, "vmod-sim: cannot link %s: %s\n", link_.c_str(), std::strerror(errno));
            std::exit(2);
        }
    }

    int master_ = -1;
    std::string name_, link_;
    bool open_ = false;
};

// A TCP socket on the loopback address: one client has the line at a time; a second one is
// told so and disconnected, and the first keeps its connection.
class TcpEndpoint : public Endpoint {
  public:
    TcpEndpoint(int port, int tcpPort, bool xonXoff) : Endpoint(port), tcpPort_(tcpPort), xonXoff_(xonXoff) {
        listen_ = socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(tcpPort));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(listen_, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(listen_, 4) != 0) {
            std::fprintf(stderr, "vmod-sim: cannot listen on 127.0.0.1:%d: %s\n", tcpPort, std::strerror(errno));
            std::exit(1);
        }
        setNonBlocking(listen_);
        std::fprintf(stderr, "vmod-sim: port %d on tcp 127.0.0.1:%d%s\n", port, tcpPort,
                     xonXoff ? " with XON/XOFF" : "");
    }
    ~TcpEndpoint() override {
        if (client_ >= 0) close(client_);
        close(listen_);
    }
    void watch(std::vector<pollfd> &fds) override {
        // A client that arrives while the present one receives the rest of its replies waits
        // in the listen queue and gets the line next.
        if (client_ < 0 || !inputEnded_) fds.push_back({listen_, POLLIN, 0});
        if (client_ >= 0 && !inputEnded_) fds.push_back({client_, POLLIN, 0});
    }
    void serve(const pollfd &p) override {
        if (p.fd == listen_) {
            if (p.revents & POLLIN) accept();
            return;
        }
        if (p.revents & (POLLERR | POLLNVAL)) drop();
        else if (p.revents & (POLLIN | POLLHUP)) sim::uart::hostSourceReady(port_);
    }
    void tick() override {
        if (client_ < 0 || !inputEnded_ || sim::uart::hostSending(port_)) return;
        auto quietSince = lastOutput_ > endedAt_ ? lastOutput_ : endedAt_;
        if (Clock::now() - quietSince >= kHalfCloseQuiet) drop();
    }
    size_t take(uint8_t *buf, size_t max) override {
        if (client_ < 0 || inputEnded_) return 0;
        ssize_t n = ::recv(client_, buf, max, MSG_DONTWAIT);
        if (n > 0) return size_t(n);
        if (n == 0) {
            // The client closed its sending side: the rest of the reply still goes to it.
            inputEnded_ = true;
            endedAt_ = Clock::now();
        } else if (errno != EAGAIN && errno != EINTR) {
            drop();
        }
        return 0;
    }
    void deliver(uint8_t c) override {
        lastOutput_ = Clock::now();
        if (client_ < 0) {
            hold(c);
            return;
        }
        if (::send(client_, &c, 1, MSG_NOSIGNAL | MSG_DONTWAIT) < 0 && errno != EAGAIN) drop();
    }

  private:
    void accept() {
        int c = ::accept(listen_, nullptr, nullptr);
        if (c < 0) return;
        if (client_ >= 0) {
            char msg[96];
            int n = std::snprintf(msg, sizeof msg, "vmod-sim: 127.0.0.1:%d is in use by another client\r\n", tcpPort_);
            (void)!::send(c, msg, size_t(n), MSG_NOSIGNAL | MSG_DONTWAIT);
            close(c);
            std::fprintf(stderr, "vmod-sim: port %d: a second client was refused\n", port_);
            return;
        }
        client_ = c;
        setNonBlocking(client_);
        inputEnded_ = false;
        sim::uart::setHostFlow(port_, xonXoff_);
        std::string s = takeHeld();
        if (!s.empty()) (void)!::send(client_, s.data(), s.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    void drop() {
        if (client_ >= 0) close(client_);
        client_ = -1;
        inputEnded_ = false;
        sim::uart::setHostFlow(port_, false);  // a stopped line starts afresh for the next client
    }

    int listen_ = -1, client_ = -1, tcpPort_;
    bool xonXoff_, inputEnded_ = false;
    Clock::time_point endedAt_{}, lastOutput_{};
};

}  // namespace

bool parsePortSpec(const std::string &text, PortSpec &spec, std::string &error) {
    if (text == "none" || text == "stdio" || text == "pty") {
        spec.kind = text;
        return true;
    }
    if (text.rfind("pty:", 0) == 0 && text.size() > 4) {
        spec.kind = "pty";
        spec.link = text.substr(4);
        return true;
    }
    if (text.rfind("tcp:", 0) == 0) {
        char *end = nullptr;
        long p = std::strtol(text.c_str() + 4, &end, 10);
        bool flow = std::strcmp(end, ",xonxoff") == 0;
        if (end != text.c_str() + 4 && (*end == 0 || flow) && p > 0 && p < 65536) {
            spec.kind = "tcp";
            spec.tcpPort = int(p);
            spec.xonXoff = flow;
            return true;
        }
    }
    error = "a port is none, stdio, pty, pty:LINK, tcp:PORT or tcp:PORT,xonxoff, not \"" + text + "\"";
    return false;
}

int runInteractive(const PortSpec specs[2], const StepHooks &hooks) {
    std::unique_ptr<Endpoint> ends[2];
    for (int i = 0; i < 2; ++i) {
        if (specs[i].kind == "stdio") ends[i] = std::make_unique<StdioEndpoint>(i);
        else if (specs[i].kind == "pty") ends[i] = std::make_unique<PtyEndpoint>(i, specs[i].link);
        else if (specs[i].kind == "tcp") ends[i] = std::make_unique<TcpEndpoint>(i, specs[i].tcpPort, specs[i].xonXoff);
    }
    signal(SIGINT, onSignal);
    signal(SIGTERM, onSignal);
    signal(SIGHUP, onSignal);
    signal(SIGPIPE, SIG_IGN);

    sim::setPace(sim::Pace::RealTime);
    sim::powerOn();
    for (int i = 0; i < 2; ++i) {
        Endpoint *e = ends[i].get();
        if (!e) continue;
        sim::uart::setHostSink(i, [e](uint8_t c) { e->deliver(c); });
        sim::uart::setHostSource(i, [e](uint8_t *buf, size_t max) { return e->take(buf, max); });
    }
    while (!stopRequested) {
        std::vector<pollfd> pfds;
        std::vector<int> owner;
        for (int i = 0; i < 2; ++i) {
            if (!ends[i]) continue;
            ends[i]->watch(pfds);
            owner.resize(pfds.size(), i);
        }
        if (!pfds.empty()) poll(pfds.data(), pfds.size(), 0);
        for (size_t k = 0; k < pfds.size(); ++k) ends[owner[k]]->serve(pfds[k]);
        for (auto &e : ends)
            if (e) e->tick();
        // The host side of each line runs at whatever rate the module programs.
        for (int i = 0; i < 2; ++i)
            if (sim::uart::moduleBaud(i)) sim::uart::setHostBaud(i, sim::uart::moduleBaud(i));
        if (hooks.before) hooks.before();
        sim::runFor(sim::kMs);
        if (hooks.after) hooks.after();
        for (int i = 0; i < 2; ++i) sim::uart::hostReceived(i).clear();
        if ((ends[0] && ends[0]->finished()) || (ends[1] && ends[1]->finished())) break;
    }
    sim::powerOff();
    for (int i = 0; i < 2; ++i) {
        sim::uart::setHostSink(i, nullptr);
        sim::uart::setHostSource(i, nullptr);
    }
    return 0;
}

}  // namespace frontend
