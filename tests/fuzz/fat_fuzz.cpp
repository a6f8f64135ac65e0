// FAT volumes from outside: the input damages a valid card (a partition table and a FAT16
// volume with files and a folder). It is read as 4-byte edits: an area (partition table,
// boot sector, FATs, root directory and first clusters), a 16-bit offset within it and a
// byte to XOR there, so that short inputs reach every structure. The firmware
// then mounts the card, lists and searches its folders and reads its files, on the
// simulated board so that the card's waits run on the real tick. Every access must stay
// inside its buffer and every operation must end.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fatimage.h"
#include "fs/file_sys.h"
#include "fs/sdcard.h"
#include "onboard.h"
#include "sdcard.h"
#include "sim.h"

namespace {

constexpr size_t kVolume = 2048 * 512;        // the volume's byte offset
constexpr size_t kPatch = 512 + 200 * 512;    // partition table sector, then the volume's start

std::string image;
std::vector<uint8_t> original;  // the patched region as formatted
size_t rootAt;                  // where the root directory starts in that region

u8 readBuf[4096];

// Reads a file in chunks, with seeks, at most 64 KiB of it.
void readFile(const char *name) {
    FF_FILE *f = fopen(name, FF_MODE_READ);
    if (!f) return;
    u32 total = 0;
    while (total < 65536) {
        u32 n = fread(readBuf, 1, sizeof readBuf, f);
        if (n == 0) break;
        total += n;
    }
    fseek(f, 0, FF_SEEK_SET);
    fread(readBuf, 1, 100, f);
    fseek(f, -5, FF_SEEK_END);
    fread(readBuf, 1, 10, f);
    fseek(f, 1, FF_SEEK_CUR);
    fclose(f);
}

void exercise() {
    if (!initialize_media()) return;
    FF_DIRENT e;
    char names[16][13];
    u8 isDir[16];
    int n = 0;
    for (int next = 0; n < 16 && read_directory_entry(&e, next); next = 1) {
        int k = 0;
        for (int i = 0; i < 8 && e.name[i] != ' '; ++i) names[n][k++] = e.name[i];
        if (e.name[8] != ' ') names[n][k++] = '.';
        for (int i = 8; i < 11 && e.name[i] != ' '; ++i) names[n][k++] = e.name[i];
        names[n][k] = 0;
        isDir[n] = (e.attributes & FF_ATTR_DIRECTORY) != 0;
        ++n;
    }
    for (int i = 0; i < n; ++i) {
        if (!isDir[i]) {
            readFile(names[i]);
            continue;
        }
        if (chdir(names[i], FF_FROM_CURRENT) != 0) continue;
        int m = 0;
        for (int next = 0; m < 64 && read_directory_entry(&e, next); next = 1) ++m;
        readFile("B.BIN");
        chdir("/", FF_FROM_CURRENT);
    }
    readFile("DIR/B.BIN");
    readFile("MISSING.TXT");
}

void startOnce() {
    static bool started = false;
    if (started) return;
    started = true;
    std::string dir = onboard::freshStateDir();
    image = dir + "/sdcard.img";
    std::string err;
    std::vector<uint8_t> b(10000);
    for (size_t i = 0; i < b.size(); ++i) b[i] = uint8_t(i * 7);
    sim::fatimage::format(image, 8u << 20, err);
    sim::fatimage::put(image, "A.TXT", {'h', 'e', 'l', 'l', 'o'}, err);
    sim::fatimage::put(image, "DIR/B.BIN", b, err);
    b.resize(3000);
    sim::fatimage::put(image, "C.BIN", b, err);
    original.resize(kPatch);
    int fd = open(image.c_str(), O_RDONLY);
    if (pread(fd, original.data(), 512, 0) != 512 ||
        pread(fd, original.data() + 512, kPatch - 512, off_t(kVolume)) != ssize_t(kPatch - 512))
        __builtin_trap();
    close(fd);
    const uint8_t *boot = original.data() + 512;
    rootAt = 512 + 512 * size_t((boot[14] | boot[15] << 8) + boot[16] * (boot[22] | boot[23] << 8));
    if (rootAt + 512 >= kPatch) __builtin_trap();
    sim::sdcard::useImage(image);
    onboard::Bringup steps;
    steps.upTo = "ports";
    onboard::configure(dir, steps);
}

void writeRegion(const std::vector<uint8_t> &bytes) {
    int fd = open(image.c_str(), O_WRONLY);
    if (pwrite(fd, bytes.data(), 512, 0) != 512 ||
        pwrite(fd, bytes.data() + 512, kPatch - 512, off_t(kVolume)) != ssize_t(kPatch - 512))
        __builtin_trap();
    close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    startOnce();
    std::vector<uint8_t> patched = original;
    for (size_t i = 0; i + 4 <= size; i += 4) {
        size_t off = size_t(data[i + 1] | data[i + 2] << 8);
        size_t at;
        switch (data[i] & 3) {
        case 0: at = off % 512; break;                                    // partition table
        case 1: at = 512 + off % 512; break;                              // boot sector
        case 2: at = 1024 + off % (rootAt - 1024); break;                 // the FATs
        default: at = rootAt + off % (kPatch - rootAt); break;            // root and clusters
        }
        patched[at] ^= data[i + 3];
    }
    writeRegion(patched);
    sim::sdcard::insert();  // a fresh card for every input
    // Mounting, listing and reading a damaged volume must end: a minute of virtual time is
    // far more than the card's waits could take.
    if (!onboard::run(exercise, 60 * sim::kSec)) __builtin_trap();
    writeRegion(original);
    return 0;
}
