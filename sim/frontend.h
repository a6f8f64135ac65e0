// Interactive front ends: each serial port of the virtual module on standard input/output, a
// pseudo-terminal or a TCP socket, with the module running in real time.
#ifndef VMOD_FRONTEND_H
#define VMOD_FRONTEND_H

#include <string>

namespace frontend {

// Where a port is connected: "none", "stdio", "pty" or "tcp:PORT".
struct PortSpec {
    std::string kind = "none";
    int tcpPort = 0;
};

// Parses a port description; returns false with a message for a bad one.
bool parsePortSpec(const std::string &text, PortSpec &spec, std::string &error);

// Runs the module in real time with the ports connected as given, until interrupted (or,
// with a port on standard input, until that input ends). Returns the exit status.
int runInteractive(const PortSpec ports[2]);

}  // namespace frontend

#endif
