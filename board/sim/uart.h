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
// True while the host still has bytes on the way to the module (sent with hostSend, queued
// with hostQueue or held in its transmitter).
bool hostSending(int port);

// The host's transmitter as interactive front ends drive it: it takes a byte only when the
// line is free, one byte per byte time at the host's rate, so whatever has not been taken
// stays in the host's own buffers (a pseudo-terminal's or a socket's kernel buffer), as it
// would on a real serial line. Its few bytes of FIFO go out regardless of flow control.
// `source` fills at most `max` bytes and returns how many; 0 when it has none just now.
using HostSource = std::function<size_t(uint8_t *buf, size_t max)>;
void setHostSource(int port, HostSource source);
// Tells the transmitter that its source may have bytes again (after it returned 0).
void hostSourceReady(int port);
// Bytes for the host's transmitter, sent at the line's pace before anything of the source
// (a second program writing to the same serial device, a console line), under the same flow
// control; they are kept while the module is off and go out once it is powered. Bytes of
// hostSend (a scenario's host) and of this transmitter share the line one after the other.
// Like everything here, call it from the thread that runs the simulated board.
void hostQueue(int port, const std::string &bytes);
// With the host's flow control on (setHostFlow), an XOFF the host receives stops this
// transmitter once its FIFO has gone, until an XON arrives or flow control is switched off.
// True while an XOFF holds the host back.
bool hostStopped(int port);

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
