// The two simulated UARTs and the host at the other end of each line.
#ifndef VMOD_SIM_UART_H
#define VMOD_SIM_UART_H

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "sim.h"

namespace sim::uart {

// A byte as the host received it, with the virtual time its stop bit ended.
struct HostByte {
    uint8_t c;
    Time at;
};

// The host sends bytes back to back at its own rate; each reaches the module's receiver
// when its stop bit ends. A byte sent while the two ends' rates differ arrives garbled,
// with the framing-error flag.
void hostSend(int port, const std::string &bytes);
// One character time of break (the line held at 0): the module's receiver reads a 0 with the
// break and framing-error flags.
void hostSendBreak(int port);
// A host that heeds the XON/XOFF the module sends: after an XOFF it starts no further byte
// until an XON (the byte on the wire finishes). Off by default; switching it off sends what
// was held back.
void setHostFlow(int port, bool on);
void setHostBaud(int port, uint32_t rate);
uint32_t hostBaud(int port);
// True while the host still has bytes on the way to the module.
bool hostSending(int port);

// What the module sent, as the host received it, oldest first. Consumers pop from the front.
std::deque<HostByte> &hostReceived(int port);
// Called for every byte the host receives (front ends forward it); nullptr to stop.
void setHostSink(int port, std::function<void(uint8_t)> sink);

// The rate the module's rate generator is programmed to (0 before it is programmed).
uint32_t moduleBaud(int port);
// Port 1's RS-485 driver-enable line.
bool rs485DriverOn();

}  // namespace sim::uart

#endif
