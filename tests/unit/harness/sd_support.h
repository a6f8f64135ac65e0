// Helpers for the tests of the SD card and file system: temporary folders, the real FAT
// tools (mkfs.fat, sfdisk, mtools, fsck.fat) and running firmware code on the simulated
// board, where the 1 ms tick, the serial ports and the card are live.
#ifndef VMOD_TEST_SD_SUPPORT_H
#define VMOD_TEST_SD_SUPPORT_H

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "onboard.h"
#include "sdcard.h"
#include "sim.h"

namespace sdtest {

struct TempDir {
    std::string path;
    TempDir() {
        char tmpl[] = "/tmp/vmod-sdtest-XXXXXX";
        path = mkdtemp(tmpl) ? tmpl : "";
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string operator/(const std::string &name) const { return path + "/" + name; }
};

// Runs a shell command; returns its exit status, its output in *out when asked.
inline int sh(const std::string &cmd, std::string *out = nullptr) {
    std::string full = "MTOOLS_SKIP_CHECK=1 " + cmd + " 2>&1";
    FILE *p = popen(full.c_str(), "r");
    if (!p) return -1;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
    int rc = pclose(p);
    if (out) *out = text;
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

inline std::vector<uint8_t> readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return {};
    std::vector<uint8_t> data(size_t(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char *>(data.data()), std::streamsize(data.size()));
    return data;
}

inline void writeFile(const std::string &path, const std::vector<uint8_t> &data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data.data()), std::streamsize(data.size()));
}

// Bytes that differ from position to position and from file to file.
inline std::vector<uint8_t> pattern(size_t n, uint32_t seed) {
    std::vector<uint8_t> v(n);
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        v[i] = uint8_t(x >> 16);
    }
    return v;
}

// A card image holding one FAT volume made by mkfs.fat: `fat` 12, 16 or 32; with
// `partitioned` the volume is the first partition (from block 2048) of a partition table
// written by sfdisk. Returns the mtools image name ("file" or "file@@offset").
inline std::string makeVolume(const std::string &image, int mib, int fat, bool partitioned,
                              const std::string &extra = "") {
    std::string cmd = "truncate -s " + std::to_string(mib) + "M " + image;
    EXPECT_EQ(sh(cmd), 0);
    std::string offset;
    if (partitioned) {
        std::string out;
        EXPECT_EQ(sh("echo 'start=2048, type=6' | sfdisk -q " + image, &out), 0) << out;
        offset = " --offset=2048";
    }
    std::string out;
    EXPECT_EQ(sh("mkfs.fat -F " + std::to_string(fat) + offset + " " + extra + " " + image, &out), 0) << out;
    return partitioned ? image + "@@" + std::to_string(2048 * 512) : image;
}

// fsck.fat -n on the volume of an image (the partition copied out first when there is one).
inline int fsck(const std::string &vol, std::string *out) {
    size_t at = vol.find("@@");
    if (at == std::string::npos) return sh("fsck.fat -n " + vol, out);
    std::string image = vol.substr(0, at), part = image + ".part";
    std::string off = vol.substr(at + 2);
    sh("dd if=" + image + " of=" + part + " bs=512 skip=" + std::to_string(std::stoull(off) / 512) +
       " status=none");
    int rc = sh("fsck.fat -n " + part, out);
    std::remove(part.c_str());
    return rc;
}

// ---- firmware code on the simulated board ----

// Runs fn as the firmware, with the settings loaded, both ports open and the card backed by
// `image`, until it returns.
inline void onBoard(const std::string &image, std::function<void()> fn) {
    sim::sdcard::useImage(image);
    sim::sdcard::insert();
    onboard::Bringup steps;
    steps.upTo = "ports";
    onboard::configure(onboard::freshStateDir(), steps);  // settings of its own, not an earlier test's
    EXPECT_TRUE(onboard::run(fn)) << "the firmware code did not finish: " << sim::haltReason();
    onboard::powerOff();
    sim::sdcard::useImage("");  // later tests find the card of their own state folder
}

// Everything port 0's host received, as text, emptying the queue.
inline std::string hostText() { return onboard::hostText(0); }

}  // namespace sdtest

#endif
