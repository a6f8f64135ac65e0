// vmodctl: the host side of the display module on a serial device, vmod-sim's
// pseudo-terminal or vmod-sim's TCP port. Sends command lines and prints the replies, and
// downloads an external-memory image into the module's Data Flash, by text lines ("xmc" +
// "xmp") or by the binary download ("bdld").
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>
#include <vector>

#include "link.h"

using namespace vmodctl;

int main(int argc, char **argv) {
    CLI::App app{"vmodctl: talk to the display module over a serial device, vmod-sim's pseudo-terminal or TCP"};
    std::string device;
    int baud = 115200;
    app.add_option("-p,--port", device,
                   "The serial device (for example /dev/ttyUSB0 or /dev/pts/5), or tcp:HOST:PORT")
        ->required();
    app.add_option("-b,--baud", baud, "The rate of the line")->capture_default_str();
    app.require_subcommand(1);

    std::string line;
    bool crc = false;
    int timeout = 5;
    CLI::App *cmd = app.add_subcommand("cmd", "Send one command line and print the reply");
    cmd->fallthrough();  // -p and -b may follow the subcommand too
    cmd->add_option("LINE", line, "The command line (without its CR)")->required();
    cmd->add_flag("--crc", crc, "Send the line in its CRC-checked form (~HHHH before the command)");
    cmd->add_option("-t,--timeout", timeout, "Seconds to wait for the acknowledgement")->capture_default_str();

    std::string image, method = "xmp";
    bool chip = false, quiet = false, noLoad = false;
    CLI::App *dl = app.add_subcommand("download", "Write an image into the module's Data Flash and load it");
    dl->fallthrough();
    dl->add_option("IMAGE", image, "The image file (built by vmod-image)")->required();
    dl->add_option("-m,--method", method, "xmp (text lines) or bdld (binary)")
        ->check(CLI::IsMember({"xmp", "bdld"}))
        ->capture_default_str();
    dl->add_flag("--chip-erase", chip, "Erase the whole flash instead of the sectors the image needs");
    dl->add_flag("--no-load", noLoad, "bdld: leave the image in the flash without loading it (*LOAD)");
    dl->add_flag("-q,--quiet", quiet, "No progress bars");

    CLI11_PARSE(app, argc, argv);
    try {
        Port port(device, baud);
        if (*cmd) {
            port.drain(50);  // anything the module said before we asked is not the reply
            std::string r = command(port, line, crc, timeout * 1000);
            // One reply line a terminal line.
            std::string shown;
            for (char c : r) shown += c == '\r' ? std::string("\n") : printable(std::string(1, c));
            std::fputs(shown.c_str(), stdout);
            return mark(r) == '>' ? 0 : 2;
        }
        std::vector<uint8_t> img = readImage(image);
        port.drain(50);
        long flash = 0, sector = 0;
        sizes(port, flash, sector);
        if (long(img.size()) > flash)
            throw Failure(image + " holds " + std::to_string(img.size()) + " bytes; the module's Data Flash holds " +
                          std::to_string(flash));
        erase(port, img.size(), sector, chip, !quiet);
        if (method == "xmp")
            downloadText(port, img, !quiet);
        else
            downloadBinary(port, img, !quiet, !noLoad);
    } catch (const Failure &e) {
        std::fprintf(stderr, "vmodctl: %s\n", e.what());
        return 1;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "vmodctl: %s: %s\n", device.c_str(), e.what());
        return 1;
    }
    return 0;
}
