// What the web panel's browsers ask of the module, on its way from the server's threads to the
// thread that runs the simulated board: one bounded queue, taken whole once per step of the
// board's loop. The server never touches the board itself.
#ifndef VMOD_WEB_INPUTS_H
#define VMOD_WEB_INPUTS_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace web {

enum class InputKind {
    PenDown,     // finger on the panel at screen pixel (x, y)
    PenMove,     // moved while down
    PenUp,
    Line,        // bytes for the host's transmitter of port `port`
    PowerCycle,  // power off, a moment, power on
    Reset,       // the reset button: the firmware starts again from main, media kept
    PutSd,       // `bytes` become the card's image file, then a power cycle
    PutFlash,    // `bytes` become the Data Flash's content from address 0, then a power cycle
};

struct Input {
    InputKind kind = InputKind::PenUp;
    int x = 0, y = 0;
    int port = 0;
    std::string bytes;
};

class InputQueue {
  public:
    // At most maxItems inputs and maxBytes bytes of `bytes` wait at once.
    InputQueue(size_t maxItems, size_t maxBytes) : maxItems_(maxItems), maxBytes_(maxBytes) {}
    // False when the input does not fit (the caller refuses the request). A move that follows
    // a move still waiting replaces it: the board only needs the finger's latest place.
    bool push(Input in);
    // Everything waiting, oldest first.
    std::vector<Input> takeAll();
    size_t size() const;

  private:
    mutable std::mutex m_;
    std::deque<Input> q_;
    size_t bytes_ = 0;
    size_t maxItems_, maxBytes_;
};

// Checks a touch position from a request: on the screen, or false with the reason.
bool validTouch(int x, int y, std::string &why);

// A console line as a host sends it: the text with CR appended; with `crc`, in the checked form
// "~" + four hex digits of the CRC-16/MODBUS of the text and its CR, then the text and CR.
// Refuses (false, with the reason) text holding CR, LF or NUL, and text over 1024 bytes.
bool consoleLine(const std::string &text, bool crc, std::string &line, std::string &why);
uint16_t crc16Modbus(const std::string &bytes);

// The panel's address from "--web [ADDR:]PORT": the address defaults to loopback (127.0.0.1);
// an IPv6 address goes in brackets. False with a message for a bad one.
bool parseListen(const std::string &text, std::string &host, int &port, std::string &error);

}  // namespace web

#endif
