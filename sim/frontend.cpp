#include "frontend.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "sim.h"
#include "uart.h"

namespace frontend {
namespace {

volatile sig_atomic_t stopRequested = 0;
void onSignal(int) { stopRequested = 1; }

// One host-side connection of a serial port.
class Endpoint {
  public:
    virtual ~Endpoint() = default;
    // Descriptors to watch for input (a listening socket and its client, say).
    virtual std::vector<int> fds() = 0;
    // Reads what arrived on fd; appends host bytes for the module to `bytes`. Returns false
    // when the input ended for good.
    virtual bool read(int fd, std::string &bytes) = 0;
    virtual void write(uint8_t c) = 0;
};

bool readSome(int fd, std::string &bytes) {
    char buf[512];
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) bytes.append(buf, size_t(n));
    return n > 0 || (n < 0 && (errno == EAGAIN || errno == EINTR));
}

class StdioEndpoint : public Endpoint {
  public:
    StdioEndpoint() {
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
    }
    ~StdioEndpoint() override {
        if (tty_) tcsetattr(0, TCSANOW, &saved_);
    }
    std::vector<int> fds() override { return {0}; }
    bool read(int, std::string &bytes) override {
        size_t before = bytes.size();
        bool more = readSome(0, bytes);
        // Piped text ends its lines with LF; the module ends them with CR.
        if (!tty_)
            for (size_t i = before; i < bytes.size(); ++i)
                if (bytes[i] == '\n') bytes[i] = '\r';
        return more;
    }
    void write(uint8_t c) override {
        if (outTty_ && c == '\r') std::fputc('\n', stdout);
        else std::fputc(c, stdout);
        std::fflush(stdout);
    }

  private:
    bool tty_ = false, outTty_ = false;
    termios saved_{};
};

class PtyEndpoint : public Endpoint {
  public:
    explicit PtyEndpoint(int port) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
            std::perror("vmod-sim: pseudo-terminal");
            std::exit(1);
        }
        termios t{};
        tcgetattr(master_, &t);
        cfmakeraw(&t);
        tcsetattr(master_, TCSANOW, &t);
        fcntl(master_, F_SETFL, O_NONBLOCK);
        // Keep a descriptor of the slave side open ourselves, so that the device stays
        // usable while host programs open and close it.
        const char *name = ptsname(master_);
        keep_ = open(name, O_RDWR | O_NOCTTY);
        std::fprintf(stderr, "vmod-sim: port %d on %s\n", port, name);
    }
    ~PtyEndpoint() override {
        close(keep_);
        close(master_);
    }
    std::vector<int> fds() override { return {master_}; }
    bool read(int, std::string &bytes) override {
        readSome(master_, bytes);
        return true;
    }
    void write(uint8_t c) override { (void)!::write(master_, &c, 1); }

  private:
    int master_ = -1, keep_ = -1;
};

class TcpEndpoint : public Endpoint {
  public:
    TcpEndpoint(int port, int tcpPort) {
        listen_ = socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(tcpPort));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(listen_, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(listen_, 1) != 0) {
            std::fprintf(stderr, "vmod-sim: cannot listen on 127.0.0.1:%d: %s\n", tcpPort, std::strerror(errno));
            std::exit(1);
        }
        std::fprintf(stderr, "vmod-sim: port %d on tcp 127.0.0.1:%d\n", port, tcpPort);
    }
    ~TcpEndpoint() override {
        if (client_ >= 0) close(client_);
        close(listen_);
    }
    std::vector<int> fds() override {
        if (client_ >= 0) return {listen_, client_};
        return {listen_};
    }
    bool read(int fd, std::string &bytes) override {
        if (fd == listen_) {
            int c = accept(listen_, nullptr, nullptr);
            if (c >= 0) {
                if (client_ >= 0) close(client_);  // the newest connection takes the line
                client_ = c;
                fcntl(client_, F_SETFL, O_NONBLOCK);
            }
            return true;
        }
        if (!readSome(client_, bytes)) {
            close(client_);
            client_ = -1;
        }
        return true;
    }
    void write(uint8_t c) override {
        if (client_ >= 0) (void)!::send(client_, &c, 1, MSG_NOSIGNAL);
    }

  private:
    int listen_ = -1, client_ = -1;
};

}  // namespace

bool parsePortSpec(const std::string &text, PortSpec &spec, std::string &error) {
    if (text == "none" || text == "stdio" || text == "pty") {
        spec.kind = text;
        return true;
    }
    if (text.rfind("tcp:", 0) == 0) {
        char *end = nullptr;
        long p = std::strtol(text.c_str() + 4, &end, 10);
        if (*end == 0 && p > 0 && p < 65536) {
            spec.kind = "tcp";
            spec.tcpPort = int(p);
            return true;
        }
    }
    error = "a port is none, stdio, pty or tcp:PORT, not \"" + text + "\"";
    return false;
}

int runInteractive(const PortSpec specs[2]) {
    std::unique_ptr<Endpoint> ends[2];
    bool stdinPort = false;
    for (int i = 0; i < 2; ++i) {
        if (specs[i].kind == "stdio") {
            ends[i] = std::make_unique<StdioEndpoint>();
            stdinPort = true;
        } else if (specs[i].kind == "pty") {
            ends[i] = std::make_unique<PtyEndpoint>(i);
        } else if (specs[i].kind == "tcp") {
            ends[i] = std::make_unique<TcpEndpoint>(i, specs[i].tcpPort);
        }
        if (ends[i]) {
            Endpoint *e = ends[i].get();
            sim::uart::setHostSink(i, [e](uint8_t c) { e->write(c); });
        }
    }
    signal(SIGINT, onSignal);
    signal(SIGTERM, onSignal);
    signal(SIGPIPE, SIG_IGN);

    sim::setPace(sim::Pace::RealTime);
    sim::powerOn();
    bool inputEnded = false;
    auto endedAt = std::chrono::steady_clock::now();
    while (!stopRequested) {
        std::vector<pollfd> pfds;
        std::vector<int> owner;
        for (int i = 0; i < 2; ++i) {
            if (!ends[i] || (inputEnded && specs[i].kind == "stdio")) continue;
            for (int fd : ends[i]->fds()) {
                pfds.push_back({fd, POLLIN, 0});
                owner.push_back(i);
            }
        }
        if (!pfds.empty()) poll(pfds.data(), pfds.size(), 0);
        for (size_t k = 0; k < pfds.size(); ++k) {
            if (!(pfds[k].revents & (POLLIN | POLLHUP))) continue;
            std::string bytes;
            int port = owner[k];
            if (!ends[port]->read(pfds[k].fd, bytes) && specs[port].kind == "stdio") {
                inputEnded = true;
                endedAt = std::chrono::steady_clock::now();
            }
            if (!bytes.empty()) sim::uart::hostSend(port, bytes);
        }
        // The host side of each line runs at whatever rate the module programs.
        for (int i = 0; i < 2; ++i)
            if (sim::uart::moduleBaud(i)) sim::uart::setHostBaud(i, sim::uart::moduleBaud(i));
        sim::runFor(sim::kMs);
        for (int i = 0; i < 2; ++i) sim::uart::hostReceived(i).clear();
        // Piped input: finish once the module has had a moment to answer the last line.
        if (inputEnded && stdinPort && !sim::uart::hostSending(0) && !sim::uart::hostSending(1) &&
            std::chrono::steady_clock::now() - endedAt > std::chrono::milliseconds(500))
            break;
    }
    sim::powerOff();
    for (int i = 0; i < 2; ++i) sim::uart::setHostSink(i, nullptr);
    return 0;
}

}  // namespace frontend
