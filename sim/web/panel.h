// The web panel: an HTTP server in vmod-sim's process that shows the running module in a
// browser (screen, LEDs, backlight, beeper, a console on a serial port) and takes touches,
// console lines, power and reset, and images for the SD card or the Data Flash.
//
// The board keeps running on its own thread and loop. The server's threads never touch it:
// what they are asked goes through one InputQueue, and what they show is a copy the board's
// thread publishes at frame boundaries, at most about 30 times a second. A browser that is slow
// or gone costs its own server thread a write timeout, never the board a wait.
#ifndef VMOD_WEB_PANEL_H
#define VMOD_WEB_PANEL_H

#include <memory>
#include <string>

#include "inputs.h"

namespace web {

class Panel {
  public:
    Panel();
    ~Panel();
    // Listens on host:port and serves on threads of its own; false with the reason.
    bool start(const std::string &host, int port, std::string &error);
    // The address a browser opens, "http://127.0.0.1:8640/".
    std::string url() const;
    void stop();

    // On the board's thread, at every step of its loop: before running it, the inputs that
    // arrived; after, the bytes the module sent on its ports (before the loop discards them)
    // and, when due, a new published copy.
    void beforeStep();
    void afterStep();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace web

#endif
