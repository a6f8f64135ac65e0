// Interactive front ends: each serial port of the virtual module on standard input/output, a
// pseudo-terminal or a TCP socket, with the module running in real time. Every front end is a
// wire: it takes the host's bytes only as the simulated line carries them.
#ifndef VMOD_FRONTEND_H
#define VMOD_FRONTEND_H

#include <functional>
#include <string>

namespace frontend {

// Where a port is connected: "none", "stdio", "pty" (with an optional symbolic link to the
// device at `link`) or "tcp" on 127.0.0.1:tcpPort. A TCP client cannot take back what it has
// sent, so with `xonXoff` vmod-sim's end of the line obeys the module's XOFF for it, as a
// serial device server set to software flow control does.
struct PortSpec {
    std::string kind = "none";
    int tcpPort = 0;
    std::string link;
    bool xonXoff = false;
};

// Parses a port description ("none", "stdio", "pty", "pty:PATH", "tcp:PORT",
// "tcp:PORT,xonxoff"); returns false with a message for a bad one.
bool parsePortSpec(const std::string &text, PortSpec &spec, std::string &error);

// Work of other parts of vmod-sim (the web panel) on the board's thread, at every step of the
// loop: `before` ahead of running the board, `after` once it ran and before the bytes the
// hosts received are discarded. Either may be empty.
struct StepHooks {
    std::function<void()> before, after;
};

// Runs the module in real time with the ports connected as given, until interrupted (or,
// with a port on standard input, until that input ends). Returns the exit status.
int runInteractive(const PortSpec ports[2], const StepHooks &hooks = {});

}  // namespace frontend

#endif
