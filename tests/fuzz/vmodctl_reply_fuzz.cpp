// vmodctl reading what a module (or anything else on the line) sends: the input is the other
// end of the line. A command's reply, the "xma" sizes and both downloads read it; each must
// end with a result or vmodctl's own Failure, never crash or wait past its time.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "link.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    int sv[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, sv) != 0) return 0;
    // Everything the "module" says is waiting before vmodctl asks; then the line closes, so
    // that no reader waits for its time-out.
    const uint8_t kind = data[0] % 4;
    std::string reply(reinterpret_cast<const char *>(data + 1), size - 1);
    if (reply.size() > 200000) reply.resize(200000);
    size_t at = 0;
    while (at < reply.size()) {
        ssize_t n = write(sv[1], reply.data() + at, reply.size() - at);
        if (n <= 0) break;
        at += size_t(n);
    }
    shutdown(sv[1], SHUT_WR);
    {
        vmodctl::Port port(sv[0], "fuzz-line");
        const std::vector<uint8_t> img = {0xEB, 0xFE, 1, 0, 20, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0};
        try {
            switch (kind) {
                case 0: vmodctl::command(port, "vers", data[0] & 4, 200); break;
                case 1: {
                    long flash = 0, sector = 0;
                    vmodctl::sizes(port, flash, sector);
                    break;
                }
                case 2: vmodctl::downloadText(port, img, false); break;
                default: vmodctl::downloadBinary(port, img, false, data[0] & 4); break;
            }
        } catch (const vmodctl::Failure &) {
            // vmodctl's own refusal.
        }
    }
    close(sv[1]);
    return 0;
}
