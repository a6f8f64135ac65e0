// The simulator's own card formatter and file copier (the sd-* script lines), checked with
// fsck.fat and mtools, and against the firmware's file system in both directions.
#include <gtest/gtest.h>

#include "media_lines.h"
#include "fatimage.h"
#include "fs/file_sys.h"
#include "fs/sdcard.h"
#include "devices/KT_timer.h"
#include "comm/Rtosinit.h"
#include "storage/KT_eeprom.h"
#include "sd_support.h"

using namespace sdtest;

namespace {

const std::string kPart = "@@" + std::to_string(2048 * 512);

TEST(FatImage, FormatAndPutPassFsckAndMtools) {
    TempDir t;
    std::string img = t / "sdcard.img", err;
    ASSERT_TRUE(sim::fatimage::format(img, 32u << 20, err)) << err;
    std::vector<uint8_t> big = pattern(200000, 1), small = pattern(10, 2);
    ASSERT_TRUE(sim::fatimage::put(img, "BIG.BIN", big, err)) << err;
    ASSERT_TRUE(sim::fatimage::put(img, "sub/small.txt", small, err)) << err;
    ASSERT_TRUE(sim::fatimage::put(img, "SUB/EMPTY.TXT", {}, err)) << err;
    ASSERT_TRUE(sim::fatimage::put(img, "BIG.BIN", small, err)) << err;  // replaced, clusters freed
    std::string out;
    EXPECT_EQ(fsck(img + kPart, &out), 0) << out;
    ASSERT_EQ(sh("mcopy -n -i " + img + kPart + " ::SUB/SMALL.TXT " + (t / "a"), &out), 0) << out;
    EXPECT_TRUE(readFile(t / "a") == small);
    ASSERT_EQ(sh("mcopy -n -i " + img + kPart + " ::BIG.BIN " + (t / "b"), &out), 0) << out;
    EXPECT_TRUE(readFile(t / "b") == small);
    ASSERT_EQ(sh("minfo -i " + img + kPart, &out), 0);
    EXPECT_NE(out.find("FAT16"), std::string::npos) << out;

    std::vector<uint8_t> got;
    EXPECT_TRUE(sim::fatimage::get(img, "sub/SMALL.TXT", got, err)) << err;
    EXPECT_TRUE(got == small);
    EXPECT_FALSE(sim::fatimage::get(img, "NONE.TXT", got, err));
    EXPECT_FALSE(sim::fatimage::get(img, "SUB", got, err));  // a folder, not a file
    EXPECT_FALSE(sim::fatimage::put(img, "TOOLONGNAME.TXT", small, err));
    EXPECT_FALSE(sim::fatimage::put(img, "BIG.BIN/X.TXT", small, err));
}

TEST(FatImage, FirmwareAndHostReadEachOthersFiles) {
    TempDir t;
    std::string img = t / "sdcard.img", err;
    std::vector<uint8_t> hostData = pattern(70000, 3), fwData = pattern(90000, 4);
    ASSERT_TRUE(sim::fatimage::put(img, "DIR/HOST.BIN", hostData, err)) << err;  // formats first
    onBoard(img, [&] {
        ASSERT_EQ(initialize_media(), 1);
        EXPECT_EQ(ffVolume.fatBits, 16);
        EXPECT_EQ(ffVolume.start, 2048u);
        FF_FILE *f = fopen("DIR/HOST.BIN", FF_MODE_READ);
        ASSERT_NE(f, nullptr);
        std::vector<uint8_t> got(f->length);
        EXPECT_EQ(fread(got.data(), 1, f->length, f), hostData.size());
        EXPECT_TRUE(got == hostData);
        fclose(f);
        f = fcreate("FW.BIN", 0);
        ASSERT_NE(f, nullptr);
        for (uint8_t b : fwData) fputc(b, f);
        EXPECT_EQ(fclose(f), 0);
    });
    std::vector<uint8_t> got;
    ASSERT_TRUE(sim::fatimage::get(img, "FW.BIN", got, err)) << err;
    EXPECT_TRUE(got == fwData);
    std::string out;
    EXPECT_EQ(fsck(img + kPart, &out), 0) << out;
}

TEST(FatImage, ScriptLines) {
    TempDir t;
    std::string old = sim::stateDir();
    sim::setStateDir(t.path);
    sim::sdcard::useImage("");
    const scenario::DeviceLine *text = scenario::findDeviceLine("sd-text");
    const scenario::DeviceLine *get = scenario::findDeviceLine("sd-get");
    const scenario::DeviceLine *none = scenario::findDeviceLine("sd-none");
    const scenario::DeviceLine *format = scenario::findDeviceLine("sd-format");
    const scenario::DeviceLine *put = scenario::findDeviceLine("sd-put");
    ASSERT_TRUE(text && get && none && format && put);
    EXPECT_TRUE(format->poweredOffOnly);
    EXPECT_EQ(format->run("", t.path).code, 0);
    EXPECT_TRUE(sim::sdcard::present());
    EXPECT_EQ(text->run("config.ini verbose = 1\\r\\ntsamp 6\\x21", t.path).code, 0);
    EXPECT_EQ(get->run("CONFIG.INI out.txt", t.path).code, 0);
    std::vector<uint8_t> got = readFile(t / "out.txt");
    EXPECT_EQ(std::string(got.begin(), got.end()), "verbose = 1\r\ntsamp 6!");
    writeFile(t / "pic.bin", pattern(5000, 5));
    EXPECT_EQ(put->run("IMG/PIC.BMP pic.bin", t.path).code, 0);
    EXPECT_EQ(get->run("IMG/PIC.BMP back.bin", t.path).code, 0);
    EXPECT_TRUE(readFile(t / "back.bin") == pattern(5000, 5));
    EXPECT_EQ(put->run("X.BIN", t.path).code, 2);               // malformed
    EXPECT_EQ(get->run("MISSING.TXT x.bin", t.path).code, 1);  // a failed check
    EXPECT_EQ(none->run("", t.path).code, 0);
    EXPECT_FALSE(sim::sdcard::present());
    sim::setStateDir(old);
}

}  // namespace
