// Power cut at every write of the stored data: the whole firmware runs on the simulated board,
// the power goes right after the n-th EEPROM byte or Data Flash program/erase of a settings
// save, an image download, a copy from the card or a maintenance command, and the next start
// must find the old data or the new, never a mixture. Each sweep prints how many cut points
// it covered.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "eeprom.h"
#include "fatimage.h"
#include "loader.h"
#include "link.h"
#include "onboard.h"
#include "sd_support.h"
#include "sdcard.h"
#include "serialflash.h"
#include "sim.h"
#include "storage/KT_eeprom.h"
#include "uart.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr sim::Time kBootLimit = 5 * sim::kSec;

std::string put(const std::string &card, const std::string &name, const std::string &text) {
    std::string err;
    sim::fatimage::put(card, name, Bytes(text.begin(), text.end()), err);
    return err;
}

Bytes primaryImage() {
    Bytes img(EEPROM_IMAGE_SIZE);
    for (unsigned a = 0; a < EEPROM_IMAGE_SIZE; ++a) img[a] = sim::eeprom::peek(a);
    return img;
}

Bytes eepromMedia() {
    Bytes all(sim::eeprom::kSize);
    for (unsigned a = 0; a < sim::eeprom::kSize; ++a) all[a] = sim::eeprom::peek(a);
    return all;
}

// Powers the module on without waiting for its prompt: a cut may come during the start.
void powerOnNoWait(const std::string &dir) {
    onboard::powerOff();
    sim::useFirmwareModule(VMOD_FIRMWARE_MODULE);
    sim::setStateDir(dir);
    sim::uart::hostReceived(0).clear();
    sim::powerOn();
}

// The module started again after a cut, with no card in the slot, up to its prompt; what it
// said on the way.
std::string restart(const std::string &dir) {
    sim::sdcard::useImage(dir + "/no-card.img");
    bool up = onboard::powerOnModule(VMOD_FIRMWARE_MODULE, dir, kBootLimit);
    std::string said = onboard::hostText(0);
    EXPECT_TRUE(up) << said;
    return said;
}

struct Tally {
    size_t points = 0, asOld = 0, asNew = 0, invalid = 0, bad = 0;
    void print(const char *what) const {
        std::printf("[ cut sweep ] %s: %zu cut points: %zu old, %zu new, %zu invalid, %zu mixed\n", what, points,
                    asOld, asNew, invalid, bad);
    }
};

// ---------------------------------------------------------------------------------------
// Settings

const char *kOldConfig =
    "config = \"OLD-abcdefghijklmnopqrstuvwxyz\"\r\ntsamp = 6\r\ntplo = 300\r\ntphi = 800\r\n"
    "debounce = 120\r\nbeepFreq = 2000\r\ntypematicDelay = 50\r\ntcTimeout = 20\r\n";
const char *kNewConfig =
    "config = \"NEW-0123456789ABCDEFGHIJKLMNOP\"\r\ntsamp = 9\r\ntplo = 211\r\ntphi = 655\r\n"
    "debounce = 77\r\nbeepFreq = 3100\r\ntypematicDelay = 90\r\ntcTimeout = 33\r\nhfp = 12\r\n";

// The save the start makes when "config.ini" changes settings, cut at every byte it writes.
TEST(PowerCut, SettingsSaveGivesOldOrNewAtEveryByte) {
    std::string dir = onboard::freshStateDir();
    std::string card = dir + "/card.img";
    std::string err;
    ASSERT_TRUE(sim::fatimage::format(card, 8 << 20, err)) << err;
    ASSERT_EQ(put(card, "CONFIG.INI", kOldConfig), "");

    // The old settings, saved by a start with the old file.
    sim::sdcard::useImage(card);
    ASSERT_TRUE(onboard::powerOnModule(VMOD_FIRMWARE_MODULE, dir, kBootLimit));
    onboard::powerOff();
    Bytes oldMedia = eepromMedia(), oldImg = primaryImage();
    ASSERT_EQ(std::string(reinterpret_cast<const char *>(&oldImg[0x5D]), 4), "OLD-");

    // The whole save of the new file, once, to learn its writes and the new image.
    ASSERT_EQ(put(card, "CONFIG.INI", kNewConfig), "");
    ASSERT_TRUE(onboard::powerOnModule(VMOD_FIRMWARE_MODULE, dir, kBootLimit));
    size_t saveWrites = 0;
    for (uint16_t a : sim::eeprom::writeLog()) saveWrites += a != 0xFE;  // not the start mark
    onboard::powerOff();
    Bytes newImg = primaryImage();
    ASSERT_EQ(std::string(reinterpret_cast<const char *>(&newImg[0x5D]), 4), "NEW-");
    ASSERT_GT(saveWrites, size_t(EEPROM_IMAGE_SIZE));  // the copy comes before the image

    Tally t;
    for (uint64_t n = 1; n <= saveWrites; ++n) {
        SCOPED_TRACE(n);
        ASSERT_TRUE(sim::eeprom::writeMedia(0, oldMedia));
        sim::sdcard::useImage(card);
        powerOnNoWait(dir);
        uint64_t left = n;
        ASSERT_TRUE(onboard::runToCut(onboard::Cut::EepromByte, left, kBootLimit));
        restart(dir);
        Bytes now = primaryImage();
        onboard::powerOff();
        ++t.points;
        if (now == oldImg)
            ++t.asOld;
        else if (now == newImg)
            ++t.asNew;
        else
            ++t.bad;
    }
    sim::sdcard::useImage("");
    t.print("settings save");
    EXPECT_EQ(t.bad, 0u);
    EXPECT_GT(t.asOld, 0u);
    EXPECT_GT(t.asNew, 0u);
}

// ---------------------------------------------------------------------------------------
// The external-memory image in the Data Flash

// An image of `size` bytes: the header, one blank directory entry, then a pattern of seed.
Bytes makeImage(uint32_t size, uint8_t seed) {
    Bytes img(size);
    for (uint32_t i = 0; i < size; ++i) img[i] = uint8_t('A' + (i * 7 + seed) % 26);
    const uint8_t head[8] = {0xEB, 0xFE, 1, 0, uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16), 0};
    std::memcpy(img.data(), head, sizeof head);
    std::memset(img.data() + 8, 0, 12);
    return img;
}

// What the flash holds as an image after a restart: the image it matches, or invalid when
// its header is not valid. Anything else (a valid header over other bytes) is a partial one.
enum class Found { Old, New, Invalid, Partial };

Found judge(const Bytes &oldImg, const Bytes &newImg, const std::string &said) {
    Bytes flash = sim::serialflash::contents();
    bool magic = flash[0] == 0xEB && flash[1] == 0xFE;
    bool loaded = said.find("bitmap/macro file from data flash") != std::string::npos;
    if (!magic) return loaded ? Found::Partial : Found::Invalid;
    for (const Bytes *img : {&oldImg, &newImg})
        if (std::equal(img->begin(), img->end(), flash.begin())) return img == &oldImg ? Found::Old : Found::New;
    return Found::Partial;
}

void count(Tally &t, Found f) {
    ++t.points;
    switch (f) {
        case Found::Old: ++t.asOld; break;
        case Found::New: ++t.asNew; break;
        case Found::Invalid: ++t.invalid; break;
        case Found::Partial: ++t.bad; break;
    }
}

// One exchange of a host script: once the host has received `expect`, it sends `send`.
struct Step {
    std::string expect, send;
};

bool hostSaw(const std::string &what) { return onboard::hostText(0, false).find(what) != std::string::npos; }

// Powers the module on with the old image in the flash and no card, sends `first`, then plays
// the steps, cutting the power after the n-th flash program or erase from the send on (n = 0:
// no cut). Returns the number of flash changes the whole script made when it was not cut.
uint64_t playCut(const std::string &dir, const Bytes &oldImg, const std::string &first, const std::vector<Step> &steps,
                 uint64_t n) {
    onboard::powerOff();
    sim::setStateDir(dir);
    sim::serialflash::load(oldImg);
    sim::sdcard::useImage(dir + "/no-card.img");
    EXPECT_TRUE(onboard::powerOnModule(VMOD_FIRMWARE_MODULE, dir, kBootLimit));
    onboard::hostText(0);
    uint64_t from = onboard::mediaChanges(onboard::Cut::FlashWrite);
    uint64_t left = n ? n : UINT64_MAX / 2;
    sim::uart::hostSend(0, first);
    for (const Step &st : steps) {
        bool cut = onboard::runToCut(onboard::Cut::FlashWrite, left, 120 * sim::kSec,
                                     [&st] { return !sim::uart::hostSending(0) && hostSaw(st.expect); });
        if (cut) return 0;
        EXPECT_TRUE(hostSaw(st.expect)) << st.expect;
        onboard::hostText(0);
        sim::uart::hostSend(0, st.send);
    }
    uint64_t done = onboard::mediaChanges(onboard::Cut::FlashWrite) - from;
    // The acknowledgement: ">\r", or "!\r" on a line of its own (messages end in "done!\r").
    auto replied = [] {
        std::string said = onboard::hostText(0, false);
        return said.find(">\r") != std::string::npos || said.rfind("!\r", 0) == 0 ||
               said.find("\r!\r") != std::string::npos;
    };
    if (onboard::runToCut(onboard::Cut::FlashWrite, left, 30 * sim::kSec, replied)) return 0;
    EXPECT_TRUE(replied()) << onboard::hostText(0, false);
    done = onboard::mediaChanges(onboard::Cut::FlashWrite) - from;
    onboard::powerOff();
    return done;
}

// Every cut point of a script of `total` flash changes, or an even sample of at most `most`
// that keeps the first and the last ones.
std::vector<uint64_t> cutPoints(uint64_t total, uint64_t most) {
    std::vector<uint64_t> pts;
    if (total <= most) {
        for (uint64_t n = 1; n <= total; ++n) pts.push_back(n);
        return pts;
    }
    for (uint64_t n = 1; n <= 8; ++n) pts.push_back(n);
    for (uint64_t k = 1; k + 16 < most; ++k) pts.push_back(8 + k * (total - 16) / (most - 16));
    for (uint64_t n = total - 7; n <= total; ++n) pts.push_back(n);
    return pts;
}

Tally sweep(const std::string &dir, const Bytes &oldImg, const Bytes &newImg, const std::string &first,
            const std::vector<Step> &steps, uint64_t most) {
    Tally t;
    uint64_t total = playCut(dir, oldImg, first, steps, 0);
    EXPECT_GT(total, 1u);
    EXPECT_EQ(judge(oldImg, newImg, restart(dir)), Found::New);  // the whole run gives the new image
    onboard::powerOff();
    for (uint64_t n : cutPoints(total, most)) {
        SCOPED_TRACE(n);
        playCut(dir, oldImg, first, steps, n);
        Found f = judge(oldImg, newImg, restart(dir));
        onboard::powerOff();
        EXPECT_NE(f, Found::Partial);
        count(t, f);
    }
    sim::sdcard::useImage("");
    return t;
}

// An "xmp" line as vmodctl sends it.
std::string xmpCommandLine(const uint8_t *p, size_t n) { return vmodctl::xmpLine(p, n) + "\r"; }

const Bytes kOldImage = makeImage(1000, 3);
const Bytes kNewImage = makeImage(1700, 11);

// An "xmp" session that downloads bytes [from, to) of the new image to their place: the
// command, one line of at most 128 bytes for each prompt, and the end mark.
void addXmpSession(std::vector<Step> &steps, size_t from, size_t to) {
    char command[32];
    std::snprintf(command, sizeof command, "xmp %X %X 0\r", unsigned(from >> 16), unsigned(from & 0xFFFF));
    steps.push_back({">\r", command});
    for (size_t off = from; off < to; off += 128)
        steps.push_back({"p>\r", xmpCommandLine(kNewImage.data() + off, std::min<size_t>(128, to - off))});
    steps.push_back({"p>\r", " Q\r"});
}

TEST(PowerCut, TextDownloadGivesOldNewOrInvalidAtEveryFlashWrite) {
    std::string dir = onboard::freshStateDir();
    std::vector<Step> steps;
    addXmpSession(steps, 0, kNewImage.size());
    Tally t = sweep(dir, kOldImage, kNewImage, "xmc FEEB 0\r", steps, 1000);
    t.print("text download (xmc + xmp)");
    EXPECT_EQ(t.bad, 0u);
    EXPECT_GT(t.asNew, 0u);
    EXPECT_GT(t.invalid, 0u);
}

TEST(PowerCut, BinaryDownloadGivesOldNewOrInvalidAtEveryFlashWrite) {
    std::string dir = onboard::freshStateDir();
    std::vector<Step> steps{{">\r", "bdld 4 0 " + std::to_string(kNewImage.size()) + " 5000\r"}};
    std::string expect = ">\r";
    for (size_t off = 0; off < kNewImage.size(); off += 128) {
        size_t n = std::min<size_t>(128, kNewImage.size() - off);
        steps.push_back({expect, std::string(reinterpret_cast<const char *>(kNewImage.data() + off), n)});
        expect = "\x11";  // the module's XON: room for the next block
    }
    Tally t = sweep(dir, kOldImage, kNewImage, "xmc FEEB 0\r", steps, 1000);
    t.print("binary download (xmc + bdld)");
    EXPECT_EQ(t.bad, 0u);
    EXPECT_GT(t.asNew, 0u);
    EXPECT_GT(t.invalid, 0u);
}

// An image downloaded in two parts: the header stays held back (the flash holds no valid
// header) until the part that reaches the image's end; then it is programmed and loaded. A
// download that fails part-way leaves no valid header either.
TEST(PowerCut, HeldHeaderWaitsForTheEndOfTheImage) {
    std::string dir = onboard::freshStateDir();
    const size_t half = 768;
    std::vector<Step> first;
    addXmpSession(first, 0, half);
    playCut(dir, kOldImage, "xmc FEEB 0\r", first, 0);
    std::string said = restart(dir);
    EXPECT_EQ(judge(kOldImage, kNewImage, said), Found::Invalid) << said;

    std::vector<Step> both = first;
    addXmpSession(both, half, kNewImage.size());
    playCut(dir, kOldImage, "xmc FEEB 0\r", both, 0);
    said = restart(dir);
    EXPECT_EQ(judge(kOldImage, kNewImage, said), Found::New) << said;

    // The whole image in one line too many: the download ends with the overflow, unloaded.
    std::vector<Step> overflow{{">\r", "xmp 0 0 0\r"}, {"p>\r", xmpCommandLine(kNewImage.data(), 128)},
                               {"p>\r", std::string(130, 'x') + "\r"}};
    playCut(dir, kOldImage, "xmc FEEB 0\r", overflow, 0);
    said = restart(dir);
    EXPECT_EQ(judge(kOldImage, kNewImage, said), Found::Invalid) << said;
    onboard::powerOff();
}

// A download into the bytes of the stored image breaks its header first: a cut at any point
// gives the old image or an invalid one, and so does the end.
TEST(PowerCut, DownloadIntoTheStoredImageInvalidatesItFirst) {
    std::string dir = onboard::freshStateDir();
    std::vector<Step> steps{{"p>\r", "patched\r"}, {"p>\r", " Q\r"}};
    Tally t;
    uint64_t total = playCut(dir, kOldImage, "xmp 0 100 0\r", steps, 0);
    EXPECT_EQ(total, 2u);  // the magic, then the line
    EXPECT_EQ(judge(kOldImage, kNewImage, restart(dir)), Found::Invalid);
    onboard::powerOff();
    for (uint64_t n = 1; n <= total; ++n) {
        playCut(dir, kOldImage, "xmp 0 100 0\r", steps, n);
        count(t, judge(kOldImage, kNewImage, restart(dir)));
        onboard::powerOff();
    }
    t.print("download into the stored image");
    EXPECT_EQ(t.invalid, total);
}

// The copy from the card ("flash1.ini" beside the image file): erase, data, header last.
TEST(PowerCut, CopyFromTheCardGivesOldNewOrInvalid) {
    std::string dir = onboard::freshStateDir();
    std::string card = dir + "/card.img";
    std::string err;
    ASSERT_TRUE(sim::fatimage::format(card, 8 << 20, err)) << err;
    ASSERT_EQ(put(card, "FLASH1.INI", "1\r\n"), "");
    ASSERT_TRUE(sim::fatimage::put(card, "VMOD.BIN", kNewImage, err)) << err;

    auto run = [&](uint64_t n) -> uint64_t {
        onboard::powerOff();
        sim::setStateDir(dir);
        sim::serialflash::load(kOldImage);
        sim::sdcard::useImage(card);
        powerOnNoWait(dir);
        uint64_t left = n ? n : UINT64_MAX / 2;
        if (onboard::runToCut(onboard::Cut::FlashWrite, left, kBootLimit, [] { return hostSaw(">\r"); })) return 0;
        EXPECT_TRUE(hostSaw("DONE!")) << onboard::hostText(0, false);
        uint64_t done = onboard::mediaChanges(onboard::Cut::FlashWrite);
        onboard::powerOff();
        return done;
    };
    uint64_t total = run(0);
    ASSERT_GT(total, 2u);
    EXPECT_EQ(judge(kOldImage, kNewImage, restart(dir)), Found::New);
    onboard::powerOff();
    Tally t;
    for (uint64_t n : cutPoints(total, 1000)) {
        SCOPED_TRACE(n);
        run(n);
        Found f = judge(kOldImage, kNewImage, restart(dir));
        onboard::powerOff();
        EXPECT_NE(f, Found::Partial);
        count(t, f);
    }
    sim::sdcard::useImage("");
    std::printf("[ cut sweep ] copy from the card: %llu flash writes in all\n", (unsigned long long)total);
    t.print("copy from the card");
    EXPECT_EQ(t.bad, 0u);
}

// ---------------------------------------------------------------------------------------
// The maintenance commands that erase or program the Data Flash

// Larger than one 64 KiB sector, so that a sector erase or the write test changes a part of it.
const Bytes kBigImage = makeImage(0x10000 + 5000, 7);

// One maintenance command on the stored image `img`, run whole and then cut after each flash
// change it makes: the next start finds the old image (when none of its bytes changed) or
// reports the image invalid, never loads a part of it.
Tally maintenanceSweep(const std::string &command, const Bytes &img, Found whole) {
    std::string dir = onboard::freshStateDir();
    uint64_t total = playCut(dir, img, command, {}, 0);
    EXPECT_GT(total, 0u) << command;
    EXPECT_EQ(judge(img, img, restart(dir)), whole) << command;
    onboard::powerOff();
    Tally t;
    for (uint64_t n = 1; n <= total; ++n) {
        SCOPED_TRACE(command + " cut " + std::to_string(n));
        playCut(dir, img, command, {}, n);
        Found f = judge(img, img, restart(dir));
        onboard::powerOff();
        EXPECT_NE(f, Found::Partial);
        count(t, f);
    }
    sim::sdcard::useImage("");
    t.print(("maintenance " + command.substr(0, command.size() - 1)).c_str());
    return t;
}

TEST(PowerCut, FlashMaintenanceCommandsGiveOldOrInvalidAtEveryFlashChange) {
    struct Case {
        const char *command;
        const Bytes *img;
        Found whole;  // what the command leaves when it is not cut
    };
    const Case cases[] = {
        {"*fser 1\r", &kBigImage, Found::Invalid},  // the image's last 5000 bytes
        {"*fser 0\r", &kBigImage, Found::Invalid},  // its header and first sector
        {"*fser 2\r", &kBigImage, Found::Old},      // past its end: it stays valid
        {"*fwr\r", &kBigImage, Found::Invalid},     // into its header and its second sector
        {"*fwr\r", &kOldImage, Found::Invalid},
        {"*fer\r", &kBigImage, Found::Invalid},
    };
    for (const Case &c : cases) {
        Tally t = maintenanceSweep(c.command, *c.img, c.whole);
        EXPECT_EQ(t.bad, 0u) << c.command;
        EXPECT_EQ(t.asNew, 0u) << c.command;
        if (c.whole == Found::Old) {
            EXPECT_EQ(t.asOld, t.points) << c.command;  // never broken for nothing
        }
    }
}

// ---------------------------------------------------------------------------------------
// A screen capture to the card

// fsck.fat's verdict on a volume: clean; or only clusters allocated to no file (space lost,
// nothing else touched) and the two FAT copies caught between their writes, both intact;
// or damaged (anything else it reports).
enum class Fsck { Clean, LostClustersOnly, Damaged };

Fsck fsckVerdict(const std::string &volume) {
    std::string out;
    if (sdtest::fsck(volume, &out) == 0) return Fsck::Clean;
    size_t at = 0;
    while (at < out.size()) {
        size_t end = out.find('\n', at);
        if (end == std::string::npos) end = out.size();
        std::string line = out.substr(at, end - at);
        at = end + 1;
        line.erase(0, line.find_first_not_of(' '));
        if (line.empty() || line.rfind("fsck.fat ", 0) == 0 || line.rfind("Reclaimed ", 0) == 0 ||
            line.find(" files, ") != std::string::npos || line == "Leaving filesystem unchanged." ||
            line == "FATs differ but appear to be intact." || line.rfind("Using first FAT", 0) == 0)
            continue;
        ADD_FAILURE() << "fsck.fat: " << out;
        return Fsck::Damaged;
    }
    return Fsck::LostClustersOnly;
}

// Cut after the n-th data block the capture writes (the card stores nothing after it, as if
// its power had gone there). No cut may damage the volume or the file that was there before.
// The capture writes its data into clusters the FAT still calls free and puts the chain in
// both FAT copies and the size in the directory entry only at its end: every cut before
// those last writes leaves a clean volume; one among them (at most both copies of each FAT
// sector the chain spans, before the entry) may leave clusters allocated to no file, or the
// copies different. A FAT written as the file grows would show at cuts all along.
TEST(PowerCut, ScreenCaptureNeverDamagesTheVolume) {
    std::string dir = onboard::freshStateDir();
    std::string pristine = dir + "/pristine.img", card = dir + "/card.img", err;
    ASSERT_TRUE(sim::fatimage::format(pristine, 8 << 20, err)) << err;  // FAT16, one sector a cluster
    const Bytes keep = sdtest::pattern(3000, 5);
    ASSERT_TRUE(sim::fatimage::put(pristine, "KEEP.BIN", keep, err)) << err;
    const std::string partition = "@@" + std::to_string(2048 * 512);

    // Runs the capture with the card storing only its first `blocks` writes (on a fresh copy
    // of the card, or on the card as the last run left it); returns how many blocks the whole
    // capture wrote.
    auto run = [&](uint64_t blocks, bool fresh = true) -> uint64_t {
        if (fresh) std::filesystem::copy_file(pristine, card, std::filesystem::copy_options::overwrite_existing);
        sim::sdcard::useImage(card);
        EXPECT_TRUE(onboard::powerOnModule(VMOD_FIRMWARE_MODULE, dir, kBootLimit));
        onboard::hostText(0);
        uint64_t from = sim::sdcard::stats().blocksWritten;
        sim::sdcard::storeOnly(blocks);
        sim::uart::hostSend(0, "*getScreenAsBMPFile\r");
        sim::runFor(60 * sim::kSec, [] { return hostSaw(">\r") || hostSaw("!\r"); });
        sim::sdcard::storeOnly(UINT64_MAX);
        uint64_t wrote = sim::sdcard::stats().blocksWritten - from;
        onboard::powerOff();
        return wrote;
    };
    uint64_t total = run(UINT64_MAX);
    Bytes full;
    ASSERT_TRUE(sim::fatimage::get(card, "VMOD0000.BMP", full, err)) << err;
    ASSERT_EQ(full.size(), 54u + 640u * 480u * 2u);  // 16 bits a pixel

    // The last writes: both copies of each FAT16 sector the chain of 512-byte clusters spans
    // (one more where it starts inside a sector), then the directory entry.
    const uint64_t clusters = (full.size() + 511) / 512;
    const uint64_t fatWrites = 2 * ((clusters * 2 + 511) / 512 + 1);
    ASSERT_GT(total, fatWrites + 16);
    // Every cut point of the end, and an even sample of the rest.
    const uint64_t tail = fatWrites + 8;
    std::vector<uint64_t> points = cutPoints(total - tail, 40);
    for (uint64_t n = total - tail + 1; n <= total; ++n) points.push_back(n);

    Tally t;
    size_t clean = 0, lost = 0;
    uint64_t firstLost = 0;
    for (uint64_t n : points) {
        SCOPED_TRACE(n);
        run(n);
        Fsck verdict = fsckVerdict(card + partition);
        if (verdict == Fsck::Clean) ++clean;
        if (verdict == Fsck::LostClustersOnly) {
            ++lost;
            if (!firstLost) firstLost = n;
        }
        Bytes kept, capture;
        EXPECT_TRUE(sim::fatimage::get(card, "KEEP.BIN", kept, err)) << err;
        EXPECT_EQ(kept, keep);
        bool there = sim::fatimage::get(card, "VMOD0000.BMP", capture, err);
        ++t.points;
        if (verdict == Fsck::Damaged || kept != keep)
            ++t.bad;
        else if (!there)
            ++t.asOld;
        else if (capture == full)
            ++t.asNew;
        else if (capture.size() < full.size() && std::equal(capture.begin(), capture.end(), full.begin()))
            ++t.invalid;  // the entry as created (empty), or a capture cut short
        else
            ++t.bad;      // bytes the capture never wrote there
    }
    // The next capture after a cut writes the file the cut left empty, and leaves all clean.
    run(total / 2);
    run(UINT64_MAX, false);
    Bytes again;
    EXPECT_TRUE(sim::fatimage::get(card, "VMOD0000.BMP", again, err)) << err;
    EXPECT_EQ(again, full);
    EXPECT_EQ(fsckVerdict(card + partition), Fsck::Clean);
    sim::sdcard::useImage("");
    std::printf("[ cut sweep ] screen capture: %llu card blocks written in all\n", (unsigned long long)total);
    t.print("screen capture (old = no file, new = the whole file, invalid = an empty or shorter file)");
    std::printf("[ cut sweep ] screen capture: fsck.fat clean at %zu of %zu cut points, lost space only at %zu\n",
                clean, t.points, lost);
    EXPECT_EQ(t.bad, 0u);
    EXPECT_LE(lost, fatWrites);
    if (lost) {
        EXPECT_GE(firstLost, total - fatWrites) << "a cut before the capture's last writes left lost clusters";
    }
}

}  // namespace
