// The interpreter's line helpers and the chain lookup on any line a host or a macro can
// hand them: at most 128 characters and a terminator, as the main loop's line buffer holds.
// Handlers are not run here; command_fuzz drives whole commands through the serial port.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "command/dispatch.h"
#include "command/parse_command.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    char line[129];
    size_t n = size < 128 ? size : 128;
    memcpy(line, data, n);
    line[n] = '\0';

    char work[129];
    memcpy(work, line, sizeof work);
    killTrailingComment(work);
    commandIndexOf(work);

    memcpy(work, line, sizeof work);
    char *rest = nullptr;
    if (escstr(work, '"', &rest) != nullptr && rest != nullptr) {
        if (rest < work || rest > work + n) __builtin_trap();
        atoRGB(rest);
        atoBGR(rest);
    }

    memcpy(work, line, sizeof work);
    char *p = work;
    while (p != nullptr && *p != '\0') {
        strtokr(p, ' ', &rest);
        if (rest != nullptr && (rest < work || rest > work + n)) __builtin_trap();
        p = rest;
    }
    textModeOf(line, nullptr);
    return 0;
}
