// The scenario lines that act on the simulated board's devices and media: the EEPROM, the
// serial flash, the SD card and the touch panel. Each line's words are parsed here and turned
// into the board's device operations.
#ifndef VMOD_SCENARIO_MEDIA_LINES_H
#define VMOD_SCENARIO_MEDIA_LINES_H

#include <string>
#include <vector>

namespace scenario {

struct LineResult {
    int code = 0;         // 0 done, 1 a check failed, 2 the line is malformed
    std::string message;  // what went wrong
};

struct DeviceLine {
    // arg: the text after the word; scriptDir: the script's folder for relative file names.
    LineResult (*run)(const std::string &arg, const std::string &scriptDir);
    bool poweredOffOnly;  // media lines act only while the module is off
};

// Folders where the lines that read a file look for it when it is not beside the script
// (images built from their manifests into a build tree, say).
void setMediaPath(const std::vector<std::string> &folders);

// The device line of a word, or nullptr when the word names none.
const DeviceLine *findDeviceLine(const std::string &word);

}  // namespace scenario

#endif
