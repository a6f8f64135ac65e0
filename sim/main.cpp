// vmod-sim: the virtual module. The module's firmware on the simulated board, with its
// serial ports on standard input/output, pseudo-terminals or TCP, or driven by a scenario
// script.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "frontend.h"
#include "loader.h"
#include "media_lines.h"
#include "panel.h"
#include "scenario.h"
#include "sim.h"

namespace fs = std::filesystem;

int main(int argc, char **argv) {
    CLI::App app{
        "vmod-sim: the virtual vmod display module.\n"
        "Runs the module's firmware on a simulated board. Interactively (the default) the\n"
        "module runs in real time with its serial ports connected as --port0/--port1 say;\n"
        "with --script it runs a scenario at fast pace and exits 0 when every check holds,\n"
        "1 when a check fails, 2 when the script cannot be read or parsed."};
    std::string script, state, port0 = "pty", port1 = "none";
    std::string firmware = VMOD_FIRMWARE_MODULE;
    std::string webAt;
    bool updateGoldens = false;
    std::vector<std::string> mediaPath;
    app.add_option("--script", script, "Run a scenario script (fast, deterministic virtual time)");
    app.add_option("--state", state,
                   "State folder for the media (eeprom.bin, dataflash.bin, sdcard.img); "
                   "scripts default to a fresh temporary folder, interactive runs to ./vmod-state");
    app.add_option("--port0", port0, "Port 0 (the command port at start): none, stdio, pty, pty:LINK (a symbolic link to the device), "
                   "tcp:PORT or tcp:PORT,xonxoff (vmod-sim obeys the module's XOFF for the client)")
        ->capture_default_str();
    app.add_option("--port1", port1, "Port 1 (the aux or RS-485 port): as --port0")
        ->capture_default_str();
    app.add_option("--web", webAt,
                   "Serve the web panel (the screen, touch, LEDs, beeper, a console) on [ADDR:]PORT; "
                   "the address is 127.0.0.1 unless given");
    app.add_option("--firmware", firmware, "The firmware module to run")->capture_default_str();
    app.add_option("--media-path", mediaPath,
                   "A folder where a script's media files (flash-load, sd-image, sd-put) are looked for "
                   "when they are not beside the script; may be given more than once");
    app.add_flag("--update-goldens", updateGoldens, "Rewrite golden screens instead of comparing them");
    CLI11_PARSE(app, argc, argv);

    frontend::PortSpec specs[2];
    std::string error;
    if (!frontend::parsePortSpec(port0, specs[0], error) || !frontend::parsePortSpec(port1, specs[1], error)) {
        std::fprintf(stderr, "vmod-sim: %s\n", error.c_str());
        return 2;
    }
    if (specs[0].kind == "stdio" && specs[1].kind == "stdio") {
        std::fprintf(stderr, "vmod-sim: only one port can use standard input and output\n");
        return 2;
    }

    std::string webHost;
    int webPort = 0;
    if (!webAt.empty() && !script.empty()) {
        std::fprintf(stderr, "vmod-sim: --web serves an interactive run, not a script\n");
        return 2;
    }
    if (!webAt.empty() && !web::parseListen(webAt, webHost, webPort, error)) {
        std::fprintf(stderr, "vmod-sim: %s\n", error.c_str());
        return 2;
    }

    std::string tempState;
    if (state.empty()) {
        if (!script.empty()) {
            char tmpl[] = "/tmp/vmod-state-XXXXXX";
            if (!mkdtemp(tmpl)) {
                std::perror("vmod-sim: temporary state folder");
                return 2;
            }
            state = tempState = tmpl;
        } else {
            state = "vmod-state";
        }
    }
    std::error_code ec;
    fs::create_directories(state, ec);
    sim::setStateDir(state);
    sim::setUpdateGoldens(updateGoldens);
    scenario::setMediaPath(mediaPath);
    sim::useFirmwareModule(firmware);

    int rc;
    if (!script.empty()) {
        rc = scenario::runScript(script);
    } else if (!webAt.empty()) {
        web::Panel panel;
        if (!panel.start(webHost, webPort, error)) {
            std::fprintf(stderr, "vmod-sim: %s\n", error.c_str());
            return 1;
        }
        std::fprintf(stderr, "vmod-sim: web panel on %s\n", panel.url().c_str());
        rc = frontend::runInteractive(specs, {[&panel] { panel.beforeStep(); }, [&panel] { panel.afterStep(); }});
        panel.stop();
    } else {
        rc = frontend::runInteractive(specs);
    }
    if (!tempState.empty()) fs::remove_all(tempState, ec);
    return rc;
}
