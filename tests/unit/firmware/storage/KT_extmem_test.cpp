// The external-memory image: the relocation rule, the fix-up of whole images (built by
// vmod-image) and of damaged ones, the load paths, and the programming of the Data Flash.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fatimage.h"
#include "fw_harness.h"
#include "image.h"
#include "memmap.h"
#include "serialflash.h"
#include "sim.h"
#include "storage/KT_bitmaps.h"
#include "storage/KT_eeprom.h"
#include "storage/KT_extmem.h"
#include "storage/KT_fonts.h"
#include "app/GUIDEMO.h"
#include "devices/serialmem.h"
#include "fs/sdcard.h"
#include "gui/GUI.h"

namespace {

std::vector<uint8_t> demoImage() {
    return vimage::readFile(std::string(VMOD_TEST_IMAGES) + "/image/demo.bin");
}

void stage(const std::vector<uint8_t> &img) {
    sim::mapSdram();
    std::memset(ExtMemBuffer, 0, 0x10000);
    std::memcpy(ExtMemBuffer, img.data(), img.size());
    KT_ExtMem_SetStaged(uint32_t(img.size()));
}

uint32_t field(size_t off) { return extRd32(ExtMemBuffer + off); }
uint32_t dirRecord(int i) { return field(8 + 12 * i + 4); }

TEST(ExtMemFixup, RelocationRule) {
    sim::mapSdram();
    uint32_t f = 0x100;
    EXPECT_EQ(tryFixup(&f), 1);
    EXPECT_EQ(f, EXTMEM_ADDR + 0x100);
    EXPECT_EQ(tryFixup(&f), 1);  // twice changes nothing
    EXPECT_EQ(f, EXTMEM_ADDR + 0x100);
    f = EXTMEM_SIZE;  // an offset not below the buffer size
    EXPECT_EQ(tryFixup(&f), 0);
    EXPECT_EQ(f, EXTMEM_SIZE);
    f = EXTMEM_ADDR + EXTMEM_SIZE;  // an address at the end of the buffer is still accepted
    EXPECT_EQ(tryFixup(&f), 1);
    f = EXTMEM_ADDR + EXTMEM_SIZE + 1;
    EXPECT_EQ(tryFixup(&f), 0);
    // ... but nothing may be read there.
    EXPECT_EQ(KT_ExtMem_Range(EXTMEM_ADDR + EXTMEM_SIZE, 1), nullptr);
    EXPECT_NE(KT_ExtMem_Range(EXTMEM_ADDR + EXTMEM_SIZE - 4, 4), nullptr);
    EXPECT_EQ(KT_ExtMem_Range(EXTMEM_ADDR + EXTMEM_SIZE - 4, 0xFFFFFFFFu), nullptr);
}

TEST(ExtMemFixup, WholeImageIsRelocatedOnceAndForAll) {
    std::vector<uint8_t> img = demoImage();
    stage(img);
    KT_Fixup_ExtMem();
    for (int i = 0; i < 6; ++i) {
        uint32_t rel = extRd32(&img[8 + 12 * i + 4]);
        EXPECT_EQ(dirRecord(i), EXTMEM_ADDR + rel) << i;
    }
    // Macro texts and bitmap data fields are addresses now.
    uint32_t table = extRd32(&img[12]);
    EXPECT_EQ(field(table), EXTMEM_ADDR + extRd32(&img[table]));
    uint32_t rec1 = extRd32(&img[8 + 12 + 4]);
    EXPECT_EQ(field(rec1 + 8), EXTMEM_ADDR + rec1 + 16);
    std::vector<uint8_t> once(ExtMemBuffer, ExtMemBuffer + img.size());
    KT_Fixup_ExtMem();
    EXPECT_TRUE(std::equal(once.begin(), once.end(), ExtMemBuffer));
}

TEST(ExtMemFixup, UnknownTypeStopsAtThatEntry) {
    std::vector<uint8_t> img = demoImage();
    img[8 + 12 * 2] = 7;
    stage(img);
    KT_Fixup_ExtMem();
    EXPECT_GE(dirRecord(0), EXTMEM_ADDR);
    EXPECT_GE(dirRecord(1), EXTMEM_ADDR);
    EXPECT_LT(dirRecord(2), EXTMEM_ADDR);
    EXPECT_LT(dirRecord(3), EXTMEM_ADDR);
    // The bitmaps after it are relocated when they are used.
    EXPECT_NE(KT_GetExtBitmap(3), nullptr);
    EXPECT_GE(dirRecord(3), EXTMEM_ADDR);
    EXPECT_EQ(KT_GetExtBitmap(2), nullptr);
}

TEST(ExtMemFixup, RejectedFieldStopsTheFixup) {
    std::vector<uint8_t> img = demoImage();
    uint32_t rec1 = extRd32(&img[8 + 12 + 4]);
    uint32_t bad = EXTMEM_SIZE + 5;  // neither an offset nor an address of the buffer
    std::memcpy(&img[rec1 + 8], &bad, 4);
    stage(img);
    KT_Fixup_ExtMem();
    EXPECT_GE(dirRecord(1), EXTMEM_ADDR);  // its own record field went first
    EXPECT_EQ(field(rec1 + 8), bad);
    EXPECT_LT(dirRecord(2), EXTMEM_ADDR);
    EXPECT_EQ(KT_GetExtBitmap(1), nullptr);
}

TEST(ExtMemFixup, HostileHeadersAndRecordsTouchNothingOutside) {
    std::vector<uint8_t> img = demoImage();
    // An image size above the buffer: nothing is fixed up.
    std::vector<uint8_t> big = img;
    uint32_t huge = EXTMEM_SIZE + 1;
    std::memcpy(&big[4], &huge, 4);
    stage(big);
    KT_Fixup_ExtMem();
    EXPECT_LT(dirRecord(0), EXTMEM_ADDR);
    EXPECT_EQ(KT_GetExtBitmap(1), nullptr);

    // A directory longer than the image: the entries past its end are not used.
    std::vector<uint8_t> longDir = img;
    longDir[2] = 0xFF;
    longDir[3] = 0xFF;
    stage(longDir);
    ExtMemBuffer[img.size() + 100] = 0xAB;
    KT_Fixup_ExtMem();
    EXPECT_EQ(KT_ExtMem_Entry(6000), nullptr);
    EXPECT_EQ(ExtMemBuffer[img.size() + 100], 0xAB);

    // A macro count whose table would not fit in the buffer stops at entry 0.
    std::vector<uint8_t> macros = img;
    uint32_t n = 0x40000000;
    std::memcpy(&macros[16], &n, 4);
    stage(macros);
    KT_Fixup_ExtMem();
    EXPECT_LT(dirRecord(1), EXTMEM_ADDR);

    // A bitmap whose size reaches past the buffer is refused when drawn.
    std::vector<uint8_t> wide = img;
    uint32_t rec1 = extRd32(&wide[8 + 12 + 4]);
    wide[rec1] = 0xFF, wide[rec1 + 1] = 0xFF, wide[rec1 + 2] = 0xFF, wide[rec1 + 3] = 0xFF;
    wide[rec1 + 4] = 0xFE, wide[rec1 + 5] = 0xFF;
    uint32_t nearEnd = EXTMEM_SIZE - 64;
    std::memcpy(&wide[rec1 + 8], &nearEnd, 4);
    stage(wide);
    KT_Fixup_ExtMem();
    const ExtMemDirEntry *e = KT_GetExtBitmap(1);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(KT_BitmapWidth(e), 65535);
    EXPECT_EQ(KT_DrawBitmapTr(e, 0, 0, 0), 0);
    EXPECT_EQ(KT_DrawBitmapCutOff(e, 0, 0, 0, 0, 5, 5), 0);
}

// ---------------------------------------------------------------------------------------
// Drawing: images built by vmod-image draw pixel-exact.

vimage::Picture picture(int w, int h, uint32_t seed) {
    vimage::Picture p;
    p.width = w;
    p.height = h;
    p.rgba.resize(size_t(w) * h * 4);
    for (size_t i = 0; i < p.rgba.size(); i += 4) {
        uint32_t v = uint32_t(i / 4) * 2654435761u + seed;
        // Runs of equal pixels as well as noise, so that RLE uses both forms.
        if ((i / 4) % 17 < 9) v = seed * 7;
        p.rgba[i] = uint8_t(v), p.rgba[i + 1] = uint8_t(v >> 8), p.rgba[i + 2] = uint8_t(v >> 16), p.rgba[i + 3] = 255;
    }
    return p;
}

uint16_t px565(const vimage::Picture &p, int x, int y) {
    const uint8_t *c = &p.rgba[(size_t(y) * p.width + x) * 4];
    return vimage::toRgb565(c[0], c[1], c[2]);
}

TEST(ExtMemDraw, BuiltBitmapsDrawPixelExact) {
    vimage::Manifest m;
    vimage::Entry plain, rle, tr;
    plain.type = vimage::Plain;
    plain.picture = picture(37, 11, 1);
    rle.type = vimage::Rle;
    rle.picture = picture(300, 7, 2);
    tr.type = vimage::Transparent;
    tr.picture = picture(9, 9, 3);
    tr.picture.rgba[3] = 0;  // the first pixel transparent
    tr.key = 0x1234;
    m.entries = {plain, rle, tr};
    std::vector<uint8_t> img = vimage::build(m);
    std::string dir = fwtest::freshStateDir();
    bool ok = fwtest::runFirmware(dir, [&] {
        GUI_Init();
        stage(img);
        KT_Fixup_ExtMem();
        for (int n = 1; n <= 3; ++n) ASSERT_EQ(KT_DrawBitmap(KT_GetExtBitmap(n), 10 * n, 100 * n), 1) << n;
        // A bitmap reaching past the screen edges is cut there.
        ASSERT_EQ(KT_DrawBitmap(KT_GetExtBitmap(2), 500, 470), 1);
        ASSERT_EQ(KT_DrawBitmap(KT_GetExtBitmap(3), -4, -4), 1);
    });
    ASSERT_TRUE(ok);
    const uint16_t *fb = static_cast<const uint16_t *>(sdramPtr(VRAM_ADDR));
    auto at = [&](int x, int y) { return fb[y * 640 + x]; };
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 37; ++x) ASSERT_EQ(at(10 + x, 100 + y), px565(plain.picture, x, y)) << x << "," << y;
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 300; ++x) ASSERT_EQ(at(20 + x, 200 + y), px565(rle.picture, x, y)) << x << "," << y;
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 140; ++x) ASSERT_EQ(at(500 + x, 470 + y), px565(rle.picture, x, y)) << x << "," << y;
    EXPECT_EQ(at(30, 300), 0);  // transparent: the black screen shows through
    EXPECT_EQ(at(31, 300), px565(tr.picture, 1, 0));
    EXPECT_EQ(at(38, 308), px565(tr.picture, 8, 8));
    EXPECT_EQ(at(0, 0), px565(tr.picture, 4, 4));
}

TEST(ExtMemDraw, TruncatedRleStreamStopsAtTheBufferEnd) {
    // A compressed bitmap whose stream runs into the end of the staging buffer.
    std::string dir = fwtest::freshStateDir();
    bool ok = fwtest::runFirmware(dir, [&] {
        GUI_Init();
        sim::mapSdram();
        std::vector<uint8_t> img(64, 0);
        uint16_t magic = EXTMEM_MAGIC, entries = 2;
        std::memcpy(&img[0], &magic, 2);
        std::memcpy(&img[2], &entries, 2);
        uint32_t size = 64, rec = 32, recSize = 16, dataOff = EXTMEM_SIZE - 3;
        std::memcpy(&img[4], &size, 4);
        img[20] = 2;
        std::memcpy(&img[24], &rec, 4);
        std::memcpy(&img[28], &recSize, 4);
        uint16_t w = 640, h = 480;
        std::memcpy(&img[32], &w, 2);
        std::memcpy(&img[34], &h, 2);
        std::memcpy(&img[40], &dataOff, 4);
        stage(img);
        ExtMemBuffer[EXTMEM_SIZE - 3] = 200;  // a run of 200 ...
        ExtMemBuffer[EXTMEM_SIZE - 2] = 0xFF;
        ExtMemBuffer[EXTMEM_SIZE - 1] = 0xFF;  // ... of white, then the buffer ends
        KT_Fixup_ExtMem();
        EXPECT_EQ(KT_DrawBitmap(KT_GetExtBitmap(1), 0, 0), 1);
    });
    ASSERT_TRUE(ok);
    const uint16_t *fb = static_cast<const uint16_t *>(sdramPtr(VRAM_ADDR));
    EXPECT_EQ(fb[199], 0xFFFF);
    EXPECT_EQ(fb[200], 0);
}

// ---------------------------------------------------------------------------------------
// Load paths.

TEST(ExtMemLoad, DataFlashWithEarlySplash) {
    std::string dir = fwtest::freshStateDir();
    sim::setStateDir(dir);
    sim::serialflash::load(demoImage());
    int result = -1;
    bool ok = fwtest::runFirmware(dir, [&] {
        eepromData.splashFlag = 0xA5;
        eepromData.splashBitmap = 1;
        InitSerialFlash();
        KT_ExtMem_SetGeometry(ReadSerialFlashID());
        GUI_Init();
        result = KT_Load_ExtMem();
    }, true);
    ASSERT_TRUE(ok);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(splashShown, 1);
    EXPECT_EQ(fwtest::hostText(), ":loading 3KB bitmap/macro file from data flash\r");
    const uint16_t *fb = static_cast<const uint16_t *>(sdramPtr(VRAM_ADDR));
    EXPECT_EQ(fb[0], 0xFFFF);  // bitmap 1's white corner
}

TEST(ExtMemLoad, DataFlashHeaderChecks) {
    std::string dir = fwtest::freshStateDir();
    sim::setStateDir(dir);
    std::vector<uint8_t> img = demoImage();
    uint32_t huge = EXTMEM_SIZE + 1;
    std::memcpy(&img[4], &huge, 4);
    sim::serialflash::load(img);
    int result = -1;
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        InitSerialFlash();
        result = KT_Load_ExtMem();
    }, true));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(fwtest::hostText(),
              "!Data Flash size is not valid! (11534337)\r!No SD Card and failed to load from Data Flash(1)\r\n");
}

TEST(ExtMemLoad, CopyModeRefusesAnImageLargerThanTheFlash) {
    std::string dir = fwtest::freshStateDir();
    sim::setStateDir(dir);
    std::string err;
    std::vector<uint8_t> big(0x400001, 0x5A);
    big[0] = 0xEB, big[1] = 0xFE;
    ASSERT_TRUE(sim::fatimage::put(dir + "/sdcard.img", "VMOD.BIN", big, err)) << err;
    ASSERT_TRUE(sim::fatimage::put(dir + "/sdcard.img", "FLASH1.INI", {'x'}, err)) << err;
    int result = -1;
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        SDCardSlotInit(0);
        InitSerialFlash();
        result = KT_Load_ExtMem();
    }, true));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(fwtest::hostText(),
              "!Failed to copy *.BIN file (4194305 bytes) from SD Card to Data Flash (max 4194304 bytes)\r");
    EXPECT_EQ(sim::serialflash::counts().sectorErases, 0u);
}

// The directory is bounded by what a load read, not by the header's size field: an image
// whose size field is 0 keeps its entries, and a shorter image read after a longer one lends
// none of the older one's bytes as entries.
TEST(ExtMemLoad, DirectoryIsBoundedByWhatTheLoadRead) {
    std::string dir = fwtest::freshStateDir();
    sim::setStateDir(dir);
    std::string err;
    std::vector<uint8_t> img = demoImage();
    std::vector<uint8_t> noSize = img;
    std::memset(&noSize[4], 0, 4);
    ASSERT_TRUE(sim::fatimage::put(dir + "/sdcard.img", "VMOD.BIN", noSize, err)) << err;
    std::vector<uint8_t> cut(img.begin(), img.begin() + 8 + 12 * 2);  // header, entries 0 and 1
    ASSERT_TRUE(sim::fatimage::put(dir + "/sdcard.img", "IMAGES/VMOD.BIN", cut, err)) << err;
    int first = -1, second = -1;
    u32 stagedFirst = 0, stagedSecond = 0;
    bool bitmap5 = false, entry1 = false, entry2 = true;
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        SDCardSlotInit(0);
        InitSerialFlash();
        GUI_Init();
        first = KT_Load_ExtMem();
        stagedFirst = KT_ExtMem_Staged();
        bitmap5 = KT_GetExtBitmap(5) != nullptr;
        second = KT_ExtMem_SdLoad("IMAGES");
        stagedSecond = KT_ExtMem_Staged();
        entry1 = KT_ExtMem_Entry(1) != nullptr;
        entry2 = KT_ExtMem_Entry(2) != nullptr;  // the first image's entry 2 is still in the buffer
    }, true));
    EXPECT_EQ(first, 1);
    EXPECT_EQ(stagedFirst, img.size());
    EXPECT_TRUE(bitmap5);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(stagedSecond, cut.size());
    EXPECT_TRUE(entry1);
    EXPECT_FALSE(entry2);
}

TEST(ExtMemLoad, OversizedSdImageIsNotRead) {
    std::string dir = fwtest::freshStateDir();
    sim::setStateDir(dir);
    std::string err;
    std::vector<uint8_t> big(EXTMEM_SIZE + 1, 0);
    big[0] = 0xEB, big[1] = 0xFE;
    ASSERT_TRUE(sim::fatimage::put(dir + "/sdcard.img", "VMODBIG.BIN", big, err)) << err;
    int result = -1;
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        SDCardSlotInit(0);
        InitSerialFlash();
        result = KT_Load_ExtMem();
    }, true, 600000));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(fwtest::hostText().rfind(":loading 11264KB bitmap/macro file from SD card\r!SD card error ", 0), 0u)
        << fwtest::hostText();
    EXPECT_NE(extRd16(ExtMemBuffer), EXTMEM_MAGIC);
}

// ---------------------------------------------------------------------------------------
// Programming the Data Flash.

TEST(ExtMemProgram, ResultsAndPageSplits) {
    std::string dir = fwtest::freshStateDir();
    std::vector<uint8_t> data(20);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i + 1);
    int r[6];
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        InitSerialFlash();
        KT_ExtMem_SetGeometry(ReadSerialFlashID());
        r[0] = KT_ExtMem_ProgramArea(0, nullptr, 0, 1);
        r[1] = KT_ExtMem_ProgramArea(0, nullptr, 4, 0);
        r[2] = KT_ExtMem_ProgramArea(0, data.data(), 4, 1);
        r[3] = KT_ExtMem_ProgramArea(0x3FFFF0, data.data(), 20, 0);
        r[4] = KT_ExtMem_ProgramArea(0xF8, data.data(), 20, 0);  // crosses a page boundary
        r[5] = KT_ExtMem_Erase_Sector(64);
    }));
    EXPECT_EQ(r[0], 0);
    EXPECT_EQ(r[1], 2);
    EXPECT_EQ(r[2], 4);
    EXPECT_EQ(r[3], 1);
    EXPECT_EQ(r[4], 0);
    EXPECT_EQ(r[5], 3);
    sim::setStateDir(dir);
    std::vector<uint8_t> f = sim::serialflash::contents();
    EXPECT_TRUE(std::equal(data.begin(), data.end(), f.begin() + 0xF8));
    EXPECT_EQ(f[0], 0xFF);  // nothing wrapped into the start of the first page
    EXPECT_EQ(sim::serialflash::counts().pagePrograms, 2u);  // one write each side of the boundary
}

// An image of `size` bytes in the flash's format: the header, one blank entry, a pattern.
std::vector<uint8_t> flatImage(uint32_t size) {
    std::vector<uint8_t> img(size);
    for (uint32_t i = 0; i < size; ++i) img[i] = uint8_t(i * 13 + 1);
    const uint8_t head[8] = {0xEB, 0xFE, 1, 0, uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16), 0};
    std::memcpy(img.data(), head, sizeof head);
    std::memset(img.data() + 8, 0, 12);
    return img;
}

// The erases and raw writes break the stored image's magic before they change a byte of it
// (and only then): what they leave is the old image or an invalid one, never a valid header
// over other data, even when they change only a part of the image.
TEST(ExtMemProgram, RawChangesBreakTheStoredImageOnlyWhenTheyTouchIt) {
    std::string dir = fwtest::freshStateDir();
    sim::setStateDir(dir);
    const std::vector<uint8_t> img = flatImage(0x10000 + 5000);  // into the second 64 KiB
    sim::serialflash::load(img);
    struct Step {
        int result;
        uint16_t magic;
        uint64_t programs;
    };
    std::vector<Step> steps;
    const uint8_t bytes[4] = {1, 2, 3, 4};
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        InitSerialFlash();
        KT_ExtMem_SetGeometry(ReadSerialFlashID());
        auto note = [&](int r) {
            uint8_t m[2];
            ReadSerialFlash(0, 2, m);
            steps.push_back({r, uint16_t(m[0] | m[1] << 8), sim::serialflash::counts().pagePrograms});
        };
        note(KT_ExtMem_Erase_Unit(2));                       // past the image
        note(KT_ExtMem_WriteRaw(0x10000 + 5000, bytes, 4));  // right after its end
        note(KT_ExtMem_Erase_Unit(64));                      // past the part: refused
        note(KT_ExtMem_WriteRaw(0x3FFFFE, bytes, 4));        // past the part: refused
        note(KT_ExtMem_Erase_Unit(1));                       // its last 5000 bytes
        note(KT_ExtMem_Erase_Unit(1));                       // already broken: no second write
    }));
    ASSERT_EQ(steps.size(), 6u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(steps[i].result, 0) << i;
        EXPECT_EQ(steps[i].magic, 0xFEEB) << i;
    }
    EXPECT_EQ(steps[1].programs, 1u);  // the write itself
    EXPECT_EQ(steps[2].result, 3);
    EXPECT_EQ(steps[3].result, 1);
    EXPECT_EQ(steps[3].programs, 1u);
    EXPECT_EQ(steps[4].result, 0);
    EXPECT_EQ(steps[4].magic, 0x0000);
    EXPECT_EQ(steps[4].programs, 2u);  // the magic, before the erase
    EXPECT_EQ(steps[5].programs, 2u);
    std::vector<uint8_t> f = sim::serialflash::contents();
    EXPECT_TRUE(std::equal(img.begin() + 2, img.begin() + 0x10000, f.begin() + 2));  // the rest of it kept
    EXPECT_EQ(f[0x10000], 0xFF);

    // A write into the header and a chip erase break it the same way.
    for (int what = 0; what < 2; ++what) {
        sim::serialflash::load(img);
        uint16_t magic = 0xFFFF;
        uint64_t programs = 0;
        ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
            InitSerialFlash();
            KT_ExtMem_SetGeometry(ReadSerialFlashID());
            if (what == 0)
                KT_ExtMem_WriteRaw(4, bytes, 4);
            else
                KT_ExtMem_Erase_Chip();
            uint8_t m[2];
            ReadSerialFlash(0, 2, m);
            magic = uint16_t(m[0] | m[1] << 8);
            programs = sim::serialflash::counts().pagePrograms;
        }));
        EXPECT_EQ(magic, what == 0 ? 0x0000 : 0xFFFF) << what;
        EXPECT_EQ(programs, what == 0 ? 2u : 1u) << what;
    }
}

// A download's held header describes what that download wrote: a raw change of those bytes
// lets it go (the image stays invalid), a change past them (an erase of the next sector before
// the download reaches it) keeps it.
TEST(ExtMemProgram, RawChangesLetAHeldHeaderGoWhenTheyTouchWhatTheDownloadWrote) {
    std::string dir = fwtest::freshStateDir();
    sim::setStateDir(dir);
    const std::vector<uint8_t> img = flatImage(0x10000 + 5000);
    const uint32_t part = 0x8000;
    const uint8_t bytes[4] = {1, 2, 3, 4};
    for (int what = 0; what < 4; ++what) {
        sim::serialflash::fill(0xFF);
        uint16_t magic = 0;
        ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
            InitSerialFlash();
            KT_ExtMem_SetGeometry(ReadSerialFlashID());
            KT_ExtMem_DownloadWrite(0, img.data(), part);
            KT_ExtMem_DownloadEnd();  // not at the image's end yet: held
            switch (what) {
                case 0: KT_ExtMem_Erase_Unit(1); break;            // past what was written
                case 1: KT_ExtMem_WriteRaw(0x100, bytes, 4); break;  // into it
                case 2: KT_ExtMem_Erase_Unit(0); break;
                case 3: KT_ExtMem_Erase_Chip(); break;
            }
            KT_ExtMem_DownloadWrite(part, img.data() + part, uint32_t(img.size()) - part);
            KT_ExtMem_DownloadEnd();
            uint8_t m[2];
            ReadSerialFlash(0, 2, m);
            magic = uint16_t(m[0] | m[1] << 8);
        }));
        EXPECT_EQ(magic, what == 0 ? 0xFEEB : 0xFFFF) << what;
    }
}

TEST(ExtMemProgram, GeometryFollowsTheCapacityByte) {
    KT_ExtMem_SetGeometry(0x202016);
    EXPECT_EQ(Flash1Size, 0x400000u);
    EXPECT_EQ(Flash1SectorSize, 0x10000u);
    KT_ExtMem_SetGeometry(0x202017);
    EXPECT_EQ(Flash1Size, 0x800000u);
    EXPECT_EQ(Flash1SectorSize, 0x20000u);
    KT_ExtMem_SetGeometry(0x202018);
    EXPECT_EQ(Flash1Size, 0xB00000u);
    EXPECT_EQ(Flash1SectorSize, 0x40000u);
    KT_ExtMem_SetGeometry(0x202099);
    EXPECT_EQ(Flash1Size, 0x400000u);
    EXPECT_EQ(Flash1NumSectors, 64u);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// User fonts: rendered by vmod-image, registered by the fix-up, drawn by the font engine.

namespace fonts {

const char *kTtf = "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf";

std::vector<uint8_t> fontImage() {
    vimage::Manifest m;
    vimage::Entry a, bad, shadow, b;
    a.type = vimage::Font;
    a.fontName = "Sans20";
    a.sif = vimage::renderSif(kTtf, 20, 32, 126);
    bad = a;
    bad.fontName = "Broken";
    bad.sif[0] = 'X';  // not a SIF block
    shadow = a;
    shadow.fontName = "16";  // the built-in "16" is found first
    b.type = vimage::Font;
    b.fontName = "Digits";
    b.sif = vimage::renderSif(kTtf, 12, '0', '9');
    m.entries = {a, bad, shadow, b};
    return vimage::build(m);
}

TEST(ExtMemFonts, RegisteredInDirectoryOrderAndDrawnFromTheImage) {
    std::vector<uint8_t> img = fontImage();
    std::string dir = fwtest::freshStateDir();
    const FONT_ENTRY *found = nullptr, *builtin16 = nullptr;
    int selected = -1, broken = -1;
    std::vector<std::string> users;
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        GUI_Init();
        stage(img);
        KT_Fixup_ExtMem();
        for (int i = 0; i < KT_Fonts_UserCount(); ++i) users.push_back(KT_Fonts_User(i)->name);
        found = KT_FindFont("Sans20");
        builtin16 = KT_FindFont("16");
        broken = KT_FindFont("Broken") ? 1 : 0;
        GUI_SetColor(0xFFFFFF);
        GUI_SetBkColor(0x000000);
        GUI_Clear();
        selected = GUIDEMO_SetFont("Sans20");
        GUI_DispStringAt("H", 100, 100);
    }));
    EXPECT_EQ(users, (std::vector<std::string>{"Sans20", "16", "Digits"}));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(broken, 0);
    ASSERT_NE(builtin16, nullptr);
    EXPECT_NE(std::string(static_cast<const char *>(builtin16->font), 4), "GUIP");
    EXPECT_EQ(selected, 1);
    // The drawn "H" is the glyph of the SIF block, bit for bit (leftmost pixel in bit 7).
    std::vector<uint8_t> sif = vimage::renderSif(kTtf, 20, 32, 126);
    int height = sif[4] | sif[5] << 8;
    size_t ci = 16 + 4 + 12 * size_t('H' - 32);
    int width = sif[ci] | sif[ci + 1] << 8, bpl = sif[ci + 4] | sif[ci + 5] << 8;
    uint32_t off = extRd32(&sif[ci + 8]);
    const uint16_t *fb = static_cast<const uint16_t *>(sdramPtr(VRAM_ADDR));
    int ink = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            bool bit = sif[off + size_t(y) * bpl + x / 8] & (0x80 >> (x % 8));
            ink += bit;
            ASSERT_EQ(fb[(100 + y) * 640 + 100 + x], bit ? 0xFFFF : 0x0000) << x << "," << y;
        }
    EXPECT_GT(ink, 40);
}

TEST(ExtMemFonts, ALoadLetsTheOldFontsGo) {
    std::vector<uint8_t> img = fontImage();
    std::string dir = fwtest::freshStateDir();
    int before = -1, after = -1;
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        InitSerialFlash();
        stage(img);
        KT_Fixup_ExtMem();
        before = KT_Fonts_UserCount();
        KT_Load_ExtMem();  // a blank flash: no image any more
        after = KT_Fonts_UserCount();
    }, true));
    EXPECT_EQ(before, 3);
    EXPECT_EQ(after, 0);
}

}  // namespace fonts
