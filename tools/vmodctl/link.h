// vmodctl's side of the serial link, shared by the program and its fuzz target: the port
// (serial device, pseudo-terminal or TCP), the reading of the module's replies up to their
// acknowledgement, and the two downloads.
#ifndef VMOD_TOOLS_VMODCTL_LINK_H
#define VMOD_TOOLS_VMODCTL_LINK_H

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace vmodctl {

using Clock = std::chrono::steady_clock;

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

inline uint16_t crc16(const std::string &s) {
    uint16_t crc = 0xFFFF;
    for (unsigned char c : s) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

inline std::string printable(const std::string &s) {
    std::string o;
    char b[8];
    for (unsigned char c : s) {
        if (c == '\r')
            o += "\\r";
        else if (c < 0x20 || c >= 0x7F) {
            std::snprintf(b, sizeof b, "\\x%02X", c);
            o += b;
        } else
            o += char(c);
    }
    return o;
}

inline speed_t speedOf(int baud) {
    switch (baud) {
        case 1200: return B1200;
        case 4800: return B4800;
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
        case 230400: return B230400;
        default: throw Failure("unsupported baud rate " + std::to_string(baud));
    }
}

class Port {
  public:
    // The most a reply may hold before the reader gives up on the device: far more than the
    // longest listing the module sends.
    static constexpr size_t kMaxReply = 1 << 20;

    // A serial device path, or tcp:HOST:PORT for a module reached over TCP.
    Port(const std::string &path, int baud) : path_(path) {
        if (path.rfind("tcp:", 0) == 0) {
            connectTcp(path.substr(4));
            return;
        }
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY);
        if (fd_ < 0) throw Failure("cannot open " + path + ": " + std::strerror(errno));
        // The lock serial programs agree on (picocom, pyserial's exclusive=True): two programs
        // on one line would steal each other's replies.
        if (flock(fd_, LOCK_EX | LOCK_NB) != 0)
            throw Failure(path + " is in use by another program (it holds the device's lock)");
        termios t{};
        if (tcgetattr(fd_, &t) != 0) throw Failure(path + " is not a serial device: " + std::strerror(errno));
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        t.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);  // XON/XOFF are read as bytes here
        speed_t sp = speedOf(baud);
        cfsetispeed(&t, sp);
        cfsetospeed(&t, sp);
        if (tcsetattr(fd_, TCSANOW, &t) != 0) throw Failure("cannot set up " + path + ": " + std::strerror(errno));
    }
    // A descriptor already open (a test's socket pair); the port closes it.
    Port(int fd, const std::string &name) : path_(name), fd_(fd) {}
    ~Port() {
        if (fd_ >= 0) close(fd_);
    }
    const std::string &name() const { return path_; }

    void write(const std::string &s) {
        size_t done = 0;
        while (done < s.size()) {
            ssize_t n = ::write(fd_, s.data() + done, s.size() - done);
            if (n < 0) {
                if (errno == EINTR || errno == EAGAIN) continue;
                throw Failure("writing to " + path_ + " failed: " + std::strerror(errno));
            }
            done += size_t(n);
        }
    }

    // Reads until `done` holds for what was read, or `ms` pass (0: only what is waiting). A
    // device that keeps sending never holds the reader past the time: the clock is checked
    // after every read, not only when the line falls silent; and what is read is bounded.
    bool readUntil(std::string &got, const std::function<bool(const std::string &)> &done, int ms) {
        auto end = Clock::now() + std::chrono::milliseconds(ms);
        bool polled = false;
        for (;;) {
            if (done(got)) return true;
            if (got.size() > kMaxReply)
                throw Failure(path_ + " sent more than " + std::to_string(kMaxReply / 1024) +
                              " KiB without the end of a reply; is it the module? (it began \"" +
                              printable(got.substr(0, 40)) + "\")");
            int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
            if (left <= 0) {
                if (polled) return false;
                left = 0;
            }
            polled = true;
            pollfd p{fd_, POLLIN, 0};
            int r = poll(&p, 1, left);
            if (r < 0 && errno != EINTR) throw Failure("reading " + path_ + " failed: " + std::strerror(errno));
            if (r <= 0) continue;
            if (!(p.revents & POLLIN) && (p.revents & (POLLHUP | POLLERR)))
                throw Failure(path_ + " was closed by the other side");
            char buf[4096];
            ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n < 0 && errno != EINTR && errno != EAGAIN)
                throw Failure("reading " + path_ + " failed: " + std::strerror(errno));
            if (n == 0) throw Failure(path_ + " was closed by the other side");
            if (n > 0) got.append(buf, size_t(n));
        }
    }

    std::string drain(int ms) {
        std::string got;
        readUntil(got, [](const std::string &) { return false; }, ms);
        return got;
    }

  private:
    void connectTcp(const std::string &where) {
        size_t colon = where.rfind(':');
        if (colon == std::string::npos || colon == 0 || colon + 1 == where.size())
            throw Failure("a TCP port is tcp:HOST:PORT, not \"tcp:" + where + "\"");
        std::string host = where.substr(0, colon), service = where.substr(colon + 1);
        addrinfo hints{}, *found = nullptr;
        hints.ai_socktype = SOCK_STREAM;
        if (int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &found); rc != 0)
            throw Failure("cannot find " + where + ": " + gai_strerror(rc));
        for (addrinfo *a = found; a && fd_ < 0; a = a->ai_next) {
            fd_ = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
            if (fd_ >= 0 && connect(fd_, a->ai_addr, a->ai_addrlen) != 0) {
                close(fd_);
                fd_ = -1;
            }
        }
        freeaddrinfo(found);
        if (fd_ < 0) throw Failure("cannot connect to " + where + ": " + std::strerror(errno));
    }

    std::string path_;
    int fd_ = -1;
};

inline bool endsWith(const std::string &s, const std::string &t) {
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

// A reply is complete at its acknowledgement: one of > ! # ^ ? and CR, after any text (some
// replies, such as "*FB", end without a line end of their own).
inline bool acknowledged(const std::string &s) {
    if (s.size() < 2 || s.back() != '\r') return false;
    char m = s[s.size() - 2];
    return m == '>' || m == '!' || m == '#' || m == '^' || m == '?';
}

inline std::string strip(std::string s, char c) {
    s.erase(std::remove(s.begin(), s.end(), c), s.end());
    return s;
}

// Sends one command line and returns the reply up to and with its acknowledgement.
inline std::string command(Port &port, const std::string &line, bool crc, int timeoutMs) {
    std::string out = line + "\r";
    if (crc) {
        char head[8];
        std::snprintf(head, sizeof head, "~%04X", crc16(out));
        out = head + out;
    }
    port.write(out);
    std::string got;
    if (!port.readUntil(got, [](const std::string &s) { return acknowledged(strip(s, '\x11')); }, timeoutMs))
        throw Failure("no reply to \"" + line + "\" from " + port.name() + " within " +
                      std::to_string(timeoutMs / 1000) + " s (got " + std::to_string(got.size()) + " bytes: \"" +
                      printable(got.substr(0, 60)) + (got.size() > 60 ? "...\")" : "\")"));
    return strip(got, '\x11');
}

inline char mark(const std::string &reply) { return reply.size() >= 2 ? reply[reply.size() - 2] : 0; }

inline void expectDone(const std::string &what, const std::string &reply) {
    if (mark(reply) != '>')
        throw Failure(what + " was refused: the module answered \"" + printable(reply) + "\"");
}

class Progress {
  public:
    Progress(const char *what, const char *unit, size_t total, bool show)
        : what_(what), unit_(unit), total_(total), show_(show) {}
    void at(size_t done) {
        if (!show_) return;
        int pct = total_ ? int(done * 100 / total_) : 100;
        if (pct == last_) return;
        last_ = pct;
        int bars = pct / 4;
        std::fprintf(stderr, "\r%-8s [%-25s] %3d%%  %zu/%zu %s", what_, std::string(size_t(bars), '#').c_str(), pct,
                     done, total_, unit_);
        if (done >= total_) std::fprintf(stderr, "\n");
        std::fflush(stderr);
    }

  private:
    const char *what_;
    const char *unit_;
    size_t total_;
    bool show_;
    int last_ = -1;
};

// An image is a regular file no larger than the largest Data Flash (11 MiB): a device such
// as /dev/zero or a folder is refused before anything is read.
inline std::vector<uint8_t> readImage(const std::string &file) {
    constexpr off_t kMaxImage = 0xB00000;
    struct stat st {};
    if (stat(file.c_str(), &st) != 0) throw Failure("cannot read " + file + ": " + std::strerror(errno));
    if (!S_ISREG(st.st_mode)) throw Failure(file + " is not a regular file");
    if (st.st_size > kMaxImage)
        throw Failure(file + " holds " + std::to_string(st.st_size) + " bytes, more than any Data Flash (11 MiB)");
    std::ifstream in(file, std::ios::binary);
    if (!in) throw Failure("cannot read " + file);
    std::vector<uint8_t> b;
    b.reserve(size_t(st.st_size));
    char buf[65536];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        b.insert(b.end(), buf, buf + in.gcount());
        if (b.size() > size_t(kMaxImage)) throw Failure(file + " grew past 11 MiB while it was read");
    }
    if (b.size() < 8 || b[0] != 0xEB || b[1] != 0xFE)
        throw Failure(file + " is not an external-memory image (it does not begin with the magic 0xFEEB)");
    return b;
}

// The module's sizes: Data Flash size, sector size, staging buffer size.
inline void sizes(Port &port, long &flash, long &sector) {
    std::string r = command(port, "xma", false, 5000);
    long buffer = 0;
    if (std::sscanf(r.c_str(), "%ld %ld %ld", &flash, &sector, &buffer) != 3 || sector <= 0)
        throw Failure("unexpected reply to \"xma\": \"" + printable(r) + "\"");
}

inline void erase(Port &port, size_t bytes, long sector, bool chip, bool show) {
    if (chip) {
        if (show) std::fprintf(stderr, "erasing the whole Data Flash (about 20 s)\n");
        expectDone("the chip erase", command(port, "xmc FEEB", false, 90000));
        return;
    }
    size_t n = (bytes + size_t(sector) - 1) / size_t(sector);
    Progress p("erase", "sectors", n, show);
    for (size_t s = 0; s < n; ++s) {
        expectDone("erasing sector " + std::to_string(s), command(port, "xmc FEEB " + std::to_string(s), false, 10000));
        p.at(s + 1);
    }
}

// One "xmp" line for up to 128 bytes: a blank escapes what a text line cannot carry.
inline std::string xmpLine(const uint8_t *p, size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        switch (p[i]) {
            case 0x20: s += "  "; break;
            case 0x00: s += " 0"; break;
            case 0x08: s += " B"; break;
            case 0x0A: s += " N"; break;
            case 0x0D: s += " R"; break;
            case 0x11: s += " X"; break;
            case 0x13: s += " Y"; break;
            case 0x1B: s += " ["; break;
            default: s += char(p[i]);
        }
    }
    return s;
}

inline void downloadText(Port &port, const std::vector<uint8_t> &img, bool show) {
    std::string got;
    port.write("xmp 0 0 0\r");
    auto prompt = [](const std::string &s) { return endsWith(s, "p>\r") || acknowledged(s); };
    if (!port.readUntil(got, prompt, 5000) || !endsWith(got, "p>\r"))
        throw Failure("the module did not start the text download: \"" + printable(got) + "\"");
    Progress p("write", "bytes", img.size(), show);
    for (size_t off = 0; off < img.size(); off += 128) {
        size_t n = std::min<size_t>(128, img.size() - off);
        got.clear();
        port.write(xmpLine(img.data() + off, n) + "\r");
        if (!port.readUntil(got, prompt, 10000))
            throw Failure("no prompt after the line at offset " + std::to_string(off) + " (got \"" + printable(got) + "\")");
        if (!endsWith(got, "p>\r"))
            throw Failure("the download stopped at offset " + std::to_string(off) + ": \"" + printable(got) + "\"");
        p.at(off + n);
    }
    got.clear();
    port.write(" Q\r");
    if (!port.readUntil(got, acknowledged, 60000)) throw Failure("no reply after the end of the download: \"" + printable(got) + "\"");
    expectDone("loading the new image", got);
    if (show) std::fprintf(stderr, "%s", printable(got.substr(0, got.size() - 2)).c_str()), std::fprintf(stderr, "\n");
}

// The binary download: 128-byte blocks, each sent when the module asks with XON.
inline void downloadBinary(Port &port, const std::vector<uint8_t> &img, bool show, bool load) {
    std::string got;
    port.write("bdld 4 0 " + std::to_string(img.size()) + " 5000\r");
    if (!port.readUntil(got, [](const std::string &s) { return endsWith(strip(s, '\x11'), ">\r") || acknowledged(s); }, 5000) ||
        strip(got, '\x11') != ">\r")
        throw Failure("the module did not start the binary download: \"" + printable(got) + "\"");
    Progress p("write", "bytes", img.size(), show);
    for (size_t off = 0; off < img.size(); off += 128) {
        size_t n = std::min<size_t>(128, img.size() - off);
        port.write(std::string(reinterpret_cast<const char *>(img.data() + off), n));
        p.at(off + n);
        if (off + n >= img.size()) break;
        // Room for the next block: an XON sent after this block was taken.
        got = port.drain(0);
        got.clear();
        if (!port.readUntil(got, [](const std::string &s) { return s.find('\x11') != std::string::npos; }, 10000))
            throw Failure("the module stopped asking for data at offset " + std::to_string(off + n));
        if (got.find('!') != std::string::npos) throw Failure("the download failed at offset " + std::to_string(off));
    }
    got.clear();
    if (!port.readUntil(got, [](const std::string &s) { return acknowledged(strip(s, '\x11')); }, 15000))
        throw Failure("no reply at the end of the binary download");
    expectDone("the binary download", strip(got, '\x11'));
    if (load) {
        std::string r = command(port, "*LOAD", false, 120000);
        expectDone("loading the new image (*LOAD)", r);
        if (show) std::fprintf(stderr, "%s\n", printable(r.substr(0, r.size() - 2)).c_str());
    }
}

}  // namespace vmodctl

#endif
