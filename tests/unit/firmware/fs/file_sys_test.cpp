// The FAT file system against the real tools: volumes made by mkfs.fat (with and without a
// partition table) and filled by mtools are read back byte for byte; files written here
// pass fsck.fat and read back identically with mtools; damaged volumes give errors.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "fs/file_sys.h"
#include "fs/sdcard.h"
#include "devices/KT_timer.h"
#include "comm/Rtosinit.h"
#include "storage/KT_eeprom.h"
#include "sd_support.h"

using namespace sdtest;

namespace {

// Reads a whole file through the firmware; false (with the error) when anything fails.
bool readAll(const char *name, std::vector<uint8_t> &out, int *error = nullptr) {
    FF_FILE *f = fopen(name, FF_MODE_READ);
    if (!f) {
        if (error) *error = _FF_error;
        return false;
    }
    out.assign(f->length, 0);
    u32 got = fread(out.data(), 1, f->length, f);
    bool ok = got == f->length;
    if (error) *error = _FF_error;
    fclose(f);
    return ok;
}

bool writeAll(const char *name, const std::vector<uint8_t> &data, int mode = 0) {
    FF_FILE *f = mode ? fopen(name, mode) : fcreate(name, 0);
    if (!f) return false;
    for (uint8_t b : data)
        if (fputc(b, f) != b) {
            fclose(f);
            return false;
        }
    return fclose(f) == 0;
}

std::string name11(const FF_DIRENT &e) { return std::string(e.name, 11); }

std::vector<std::string> listDir() {
    std::vector<std::string> names;
    FF_DIRENT e;
    for (int next = 0; read_directory_entry(&e, next); next = 1) names.push_back(name11(e));
    return names;
}

struct Layout {
    int fat;
    bool partitioned;
};

class ToolVolumes : public ::testing::TestWithParam<Layout> {};

TEST_P(ToolVolumes, EveryByteAndEveryNameOfMtoolsFiles) {
    TempDir t;
    Layout l = GetParam();
    std::string img = t / "card.img";
    // Small clusters on FAT16 so that files and folders span many of them.
    std::string vol = makeVolume(img, l.fat == 12 ? 4 : 24, l.fat, l.partitioned, l.fat == 16 ? "-s 2" : "");
    std::map<std::string, std::vector<uint8_t>> files = {
        {"ONE.TXT", pattern(1, 1)},          {"SECTOR.BIN", pattern(512, 2)},
        {"ODD.DAT", pattern(513, 3)},        {"BIG.BIN", pattern(150000, 4)},
        {"SUB/INNER.TXT", pattern(4097, 5)}, {"SUB/DEEP/LAST.BIN", pattern(70001, 6)},
    };
    for (int i = 0; i < 40; ++i)  // enough root entries to fill several directory sectors
        files["F" + std::to_string(i) + ".TXT"] = pattern(size_t(i * 37 + 1), uint32_t(100 + i));
    for (int i = 0; i < 20; ++i)  // and a folder longer than one cluster
        files["SUB/S" + std::to_string(i) + ".X"] = pattern(size_t(i + 1), uint32_t(200 + i));
    ASSERT_EQ(sh("mmd -i " + vol + " ::SUB ::SUB/DEEP"), 0);
    for (auto &[name, data] : files) {
        writeFile(t / "src", data);
        std::string out;
        ASSERT_EQ(sh("mcopy -i " + vol + " " + (t / "src") + " ::" + name, &out), 0) << out;
    }
    writeFile(t / "src", {});
    ASSERT_EQ(sh("mcopy -i " + vol + " " + (t / "src") + " ::EMPTY.TXT"), 0);

    onBoard(img, [&] {
        ASSERT_EQ(initialize_media(), 1);
        EXPECT_EQ(ffVolume.fatBits, l.fat);
        EXPECT_EQ(ffVolume.start, l.partitioned ? 2048u : 0u);
        for (auto &[name, data] : files) {
            std::vector<uint8_t> got;
            int err = 0;
            EXPECT_TRUE(readAll(name.c_str(), got, &err)) << name << " error " << err;
            EXPECT_TRUE(got == data) << name;
        }
        // Every name, in the root and in the folders, through the directory reader.
        std::vector<std::string> root = listDir();
        EXPECT_EQ(root.size(), 40u + 6u);  // F0..F39, ONE, SECTOR, ODD, BIG, SUB, EMPTY
        EXPECT_NE(std::find(root.begin(), root.end(), "SUB        "), root.end());
        EXPECT_NE(std::find(root.begin(), root.end(), "F39     TXT"), root.end());
        ASSERT_EQ(chdir("SUB", FF_FROM_CURRENT), 0);
        std::vector<std::string> sub = listDir();
        EXPECT_EQ(sub.size(), 2u + 1u + 1u + 20u);  // ".", "..", INNER, DEEP, S0..S19
        std::vector<uint8_t> got;
        EXPECT_TRUE(readAll("S19.X", got));
        EXPECT_TRUE(got == files["SUB/S19.X"]);
        ASSERT_EQ(chdir("DEEP", FF_FROM_CURRENT), 0);
        EXPECT_TRUE(readAll("last.bin", got));  // names match whatever their case
        EXPECT_TRUE(got == files["SUB/DEEP/LAST.BIN"]);
        ASSERT_EQ(chdir("..", FF_FROM_CURRENT), 0);
        ASSERT_EQ(chdir("..", FF_FROM_CURRENT), 0);
        EXPECT_TRUE(readAll("BIG.BIN", got));
        // An empty file is refused for reading.
        int err = 0;
        EXPECT_FALSE(readAll("EMPTY.TXT", got, &err));
        EXPECT_EQ(err, FF_ERR_ACCESS);
        EXPECT_FALSE(readAll("NOPE.TXT", got, &err));
        EXPECT_EQ(err, FF_ERR_NO_FILE);
    });
}

TEST_P(ToolVolumes, WrittenFilesPassFsckAndReadBackWithMtools) {
    TempDir t;
    Layout l = GetParam();
    std::string img = t / "card.img";
    std::string vol = makeVolume(img, l.fat == 12 ? 4 : 24, l.fat, l.partitioned, l.fat == 16 ? "-s 1" : "");
    ASSERT_EQ(sh("mmd -i " + vol + " ::LOGS"), 0);
    writeFile(t / "src", pattern(30000, 9));
    ASSERT_EQ(sh("mcopy -i " + vol + " " + (t / "src") + " ::OLD.BIN"), 0);

    std::vector<uint8_t> big = pattern(700000, 11), small = pattern(1000, 12), tail = pattern(5000, 13);
    std::map<std::string, std::vector<uint8_t>> expect;
    onBoard(img, [&] {
        ASSERT_EQ(initialize_media(), 1);
        EXPECT_TRUE(writeAll("CAPTURE.BIN", big));            // spans many clusters
        EXPECT_TRUE(writeAll("OLD.BIN", small, FF_MODE_WRITE));  // cut and rewritten
        EXPECT_TRUE(writeAll("OLD.BIN", tail, FF_MODE_APPEND));
        EXPECT_TRUE(writeAll("EXACT.BIN", pattern(2048, 14)));
        EXPECT_TRUE(writeAll("EXACT.BIN", pattern(10, 15), FF_MODE_APPEND));  // grows past a cluster end
        ASSERT_EQ(chdir("LOGS", FF_FROM_CURRENT), 0);
        for (int i = 0; i < 40; ++i) {  // grows the folder by new clusters
            char n[16];
            snprintf(n, sizeof n, "L%d.LOG", i);
            EXPECT_TRUE(writeAll(n, pattern(size_t(i * 100), uint32_t(300 + i)))) << n;
        }
        EXPECT_TRUE(writeAll("/ROOT.TXT", pattern(77, 16)));  // a path from the root
        // Everything reads back through the firmware as well.
        std::vector<uint8_t> got;
        ASSERT_EQ(chdir("/", FF_FROM_CURRENT), 0);
        EXPECT_TRUE(readAll("CAPTURE.BIN", got));
        EXPECT_TRUE(got == big);
    });
    std::vector<uint8_t> old = small;
    old.insert(old.end(), tail.begin(), tail.end());
    std::vector<uint8_t> exact = pattern(2048, 14), more = pattern(10, 15);
    exact.insert(exact.end(), more.begin(), more.end());
    expect["CAPTURE.BIN"] = big;
    expect["OLD.BIN"] = old;
    expect["EXACT.BIN"] = exact;
    expect["ROOT.TXT"] = pattern(77, 16);
    for (int i = 0; i < 40; ++i) expect["LOGS/L" + std::to_string(i) + ".LOG"] = pattern(size_t(i * 100), uint32_t(300 + i));

    std::string out;
    EXPECT_EQ(fsck(vol, &out), 0) << out;
    for (auto &[name, data] : expect) {
        std::remove((t / "out").c_str());
        ASSERT_EQ(sh("mcopy -n -i " + vol + " ::" + name + " " + (t / "out"), &out), 0) << name << out;
        EXPECT_TRUE(readFile(t / "out") == data) << name;
    }
    ASSERT_EQ(sh("mtype -i " + vol + " ::ROOT.TXT", &out), 0);
    EXPECT_EQ(out.size(), 77u);
}

INSTANTIATE_TEST_SUITE_P(Fat, ToolVolumes,
                         ::testing::Values(Layout{12, false}, Layout{12, true}, Layout{16, false}, Layout{16, true}),
                         [](const ::testing::TestParamInfo<Layout> &i) {
                             return "Fat" + std::to_string(i.param.fat) + (i.param.partitioned ? "Partitioned" : "Plain");
                         });

// What the card holds while a file is open for writing: fsck.fat finds it clean, and mtools
// reads the file as it was before (a new one empty), until the close puts the data, the
// chain and the size on the card together.
TEST(FileSys, AGrowingFileReachesTheCardAtItsClose) {
    TempDir t;
    std::string img = t / "card.img";
    std::string vol = makeVolume(img, 24, 16, true, "-s 1");
    const std::vector<uint8_t> old = pattern(30000, 61), more = pattern(300000, 62), fresh = pattern(300000, 63);
    writeFile(t / "src", old);
    ASSERT_EQ(sh("mcopy -i " + vol + " " + (t / "src") + " ::OLD.BIN"), 0);
    auto cardSays = [&](const char *name, const std::vector<uint8_t> &want, const char *when) {
        std::string out;
        EXPECT_EQ(fsck(vol, &out), 0) << when << "\n" << out;
        std::remove((t / "out").c_str());
        EXPECT_EQ(sh("mcopy -n -i " + vol + " ::" + name + " " + (t / "out"), &out), 0) << when << out;
        EXPECT_TRUE(readFile(t / "out") == want) << when << ": " << name << " has " << readFile(t / "out").size();
    };
    onBoard(img, [&] {
        ASSERT_EQ(initialize_media(), 1);
        FF_FILE *f = fopen("OLD.BIN", FF_MODE_APPEND);
        ASSERT_NE(f, nullptr);
        for (uint8_t b : more) ASSERT_EQ(fputc(b, f), b);
        cardSays("OLD.BIN", old, "appending");
        EXPECT_EQ(fclose(f), 0);
        std::vector<uint8_t> both = old;
        both.insert(both.end(), more.begin(), more.end());
        cardSays("OLD.BIN", both, "appended");

        f = fcreate("NEW.BIN", 0);
        ASSERT_NE(f, nullptr);
        for (uint8_t b : fresh) ASSERT_EQ(fputc(b, f), b);
        cardSays("NEW.BIN", {}, "writing");
        EXPECT_EQ(fclose(f), 0);
        cardSays("NEW.BIN", fresh, "written");
        cardSays("OLD.BIN", both, "at the end");
    });
}

// Free space in many small gaps: the file is put on the card (data, chain, size) whenever it
// has taken as many separate runs of clusters as the file system can keep in mind, so that
// the card stays clean with a shorter file meanwhile; closed, it reads back whole.
TEST(FileSys, AFileOverManyFreeGapsIsSettledOnTheWay) {
    TempDir t;
    std::string img = t / "card.img";
    std::string vol = makeVolume(img, 24, 16, false, "-s 1");
    std::string files, every;
    for (int i = 0; i < 120; ++i) {
        std::string n = "G" + std::to_string(i) + ".BIN";
        writeFile(t / n, pattern(512, uint32_t(400 + i)));
        every += " " + (t / n);
        if (i % 2 == 0) files += " ::" + n;
    }
    ASSERT_EQ(sh("mcopy -i " + vol + every + " ::"), 0);
    ASSERT_EQ(sh("mdel -i " + vol + files), 0);  // 60 one-cluster gaps
    const std::vector<uint8_t> data = pattern(80 * 512, 64);
    onBoard(img, [&] {
        ASSERT_EQ(initialize_media(), 1);
        FF_FILE *f = fcreate("BIG.BIN", 0);
        ASSERT_NE(f, nullptr);
        for (size_t i = 0; i < 50 * 512; ++i) ASSERT_EQ(fputc(data[i], f), data[i]);
        // Fifty clusters in fifty gaps: the first 32 are on the card by now.
        std::string out;
        EXPECT_EQ(fsck(vol, &out), 0) << out;
        std::remove((t / "out").c_str());
        ASSERT_EQ(sh("mcopy -n -i " + vol + " ::BIG.BIN " + (t / "out"), &out), 0) << out;
        std::vector<uint8_t> part = readFile(t / "out");
        EXPECT_EQ(part.size(), 32u * 512u);
        EXPECT_TRUE(std::equal(part.begin(), part.end(), data.begin()));
        for (size_t i = 50 * 512; i < data.size(); ++i) ASSERT_EQ(fputc(data[i], f), data[i]);
        EXPECT_EQ(fclose(f), 0);
    });
    std::string out;
    EXPECT_EQ(fsck(vol, &out), 0) << out;
    std::remove((t / "out").c_str());
    ASSERT_EQ(sh("mcopy -n -i " + vol + " ::BIG.BIN " + (t / "out"), &out), 0) << out;
    EXPECT_TRUE(readFile(t / "out") == data);
    for (int i = 1; i < 120; i += 2) {  // the files between the gaps are untouched
        std::remove((t / "out").c_str());
        ASSERT_EQ(sh("mcopy -n -i " + vol + " ::G" + std::to_string(i) + ".BIN " + (t / "out")), 0);
        EXPECT_TRUE(readFile(t / "out") == pattern(512, uint32_t(400 + i))) << i;
    }
}

TEST(FileSys, Fat32IsRefused) {
    TempDir t;
    std::string img = t / "card.img";
    makeVolume(img, 40, 32, true);
    onBoard(img, [] {
        EXPECT_EQ(initialize_media(), 0);
        EXPECT_EQ(_FF_error, FF_ERR_VOLUME);
        EXPECT_EQ(fopen("CONFIG.INI", FF_MODE_READ), nullptr);
    });
}

TEST(FileSys, FullVolumeFailsCleanlyAndStaysConsistent) {
    TempDir t;
    std::string img = t / "card.img";
    std::string vol = makeVolume(img, 1, 12, false);
    u32 written = 0;
    onBoard(img, [&] {
        ASSERT_EQ(initialize_media(), 1);
        FF_FILE *f = fcreate("HUGE.BIN", 0);
        ASSERT_NE(f, nullptr);
        std::vector<uint8_t> data = pattern(2u << 20, 21);
        for (written = 0; written < data.size(); ++written)
            if (fputc(data[written], f) < 0) break;
        EXPECT_LT(written, data.size());
        EXPECT_EQ(_FF_error, FF_ERR_DISK_FULL);
        EXPECT_EQ(fputc('x', f), -1);  // stays full, without searching the FAT again
        EXPECT_EQ(fclose(f), 0);
        // No room for a file with data, but the volume still reads.
        EXPECT_FALSE(writeAll("MORE.BIN", pattern(10, 1)));
        std::vector<uint8_t> got;
        EXPECT_TRUE(readAll("HUGE.BIN", got));
        EXPECT_EQ(got.size(), written);
    });
    std::string out;
    EXPECT_EQ(fsck(vol, &out), 0) << out;
    ASSERT_EQ(sh("mcopy -n -i " + vol + " ::HUGE.BIN " + (t / "out")), 0);
    std::vector<uint8_t> want = pattern(2u << 20, 21);
    want.resize(written);
    EXPECT_TRUE(readFile(t / "out") == want);
}

TEST(FileSys, OneOpenFileNamesSeeksAndAccess) {
    TempDir t;
    std::string img = t / "card.img";
    std::string vol = makeVolume(img, 4, 12, false);
    writeFile(t / "src", pattern(3000, 31));
    ASSERT_EQ(sh("mcopy -i " + vol + " " + (t / "src") + " ::CONFIG.INI"), 0);
    ASSERT_EQ(sh("mcopy -i " + vol + " " + (t / "src") + " ::LOCKED.TXT"), 0);
    ASSERT_EQ(sh("mattrib -i " + vol + " +r ::LOCKED.TXT"), 0);
    onBoard(img, [&] {
        ASSERT_EQ(initialize_media(), 1);
        FF_FILE *f = fopen("config.ini", FF_MODE_READ);
        ASSERT_NE(f, nullptr);
        // A second file while config.ini is open.
        EXPECT_EQ(fopen("LOCKED.TXT", FF_MODE_READ), nullptr);
        EXPECT_EQ(_FF_error, FF_ERR_IN_USE);
        EXPECT_EQ(fcreate("NEW.TXT", 0), nullptr);
        std::vector<uint8_t> all(3000), again(3000);
        EXPECT_EQ(fread(all.data(), 1, 3000, f), 3000u);
        EXPECT_EQ(fread(all.data(), 1, 10, f), 0u);  // at the end
        // Origin 2 (from the start) with offset 0 reads the file again.
        EXPECT_EQ(fseek(f, 0, FF_SEEK_SET), 0);
        EXPECT_EQ(fread(again.data(), 1, 3000, f), 3000u);
        EXPECT_TRUE(all == again);
        EXPECT_TRUE(all == pattern(3000, 31));
        // Origin 1 counts back from the end whatever the sign; origin 0 moves from here.
        uint8_t b;
        EXPECT_EQ(fseek(f, -10, FF_SEEK_END), 0);
        EXPECT_EQ(fread(&b, 1, 1, f), 1u);
        EXPECT_EQ(b, all[2990]);
        EXPECT_EQ(fseek(f, 10, FF_SEEK_END), 0);
        EXPECT_EQ(fseek(f, -2000, FF_SEEK_CUR), 0);
        EXPECT_EQ(fread(&b, 1, 1, f), 1u);
        EXPECT_EQ(b, all[990]);
        EXPECT_EQ(fseek(f, 3001, FF_SEEK_SET), -1);
        EXPECT_EQ(_FF_error, FF_ERR_SEEK);
        EXPECT_EQ(fseek(f, -1, FF_SEEK_SET), -1);
        EXPECT_EQ(fseek(f, 3000, FF_SEEK_SET), 0);  // the end itself is a valid place
        EXPECT_EQ(fputc('x', f), -1);               // opened for reading
        EXPECT_EQ(_FF_error, FF_ERR_ACCESS);
        EXPECT_EQ(fclose(f), 0);
        EXPECT_EQ(fclose(f), -1);  // no longer open
        EXPECT_EQ(_FF_error, FF_ERR_NO_FILE);
        EXPECT_EQ(fseek(f, 0, FF_SEEK_SET), -1);
        EXPECT_EQ(_FF_error, FF_ERR_NO_FILE);
        EXPECT_EQ(fread(all.data(), 1, 1, (FF_FILE *)nullptr), 0u);

        // Names that are not 8.3 names.
        for (const char *bad : {"A*B.TXT", "TOOLONGNAME.TXT", "A.LONG", "SP ACE.TXT", ".TXT", "A.B.C", ""}) {
            EXPECT_EQ(fopen(bad, FF_MODE_READ), nullptr) << bad;
            EXPECT_EQ(_FF_error, FF_ERR_NAME) << bad;
            EXPECT_EQ(fcreate(bad, 0), nullptr) << bad;
        }
        char n11[11];
        EXPECT_EQ(file_name_conversion("vmod0001.bmp", n11), 1);
        EXPECT_EQ(std::string(n11, 11), "VMOD0001BMP");
        EXPECT_EQ(file_name_conversion("A", n11), 1);
        EXPECT_EQ(std::string(n11, 11), "A          ");

        // Read-only files refuse writing and appending; modes outside 1..3 are refused.
        EXPECT_EQ(fopen("LOCKED.TXT", FF_MODE_WRITE), nullptr);
        EXPECT_EQ(_FF_error, FF_ERR_ACCESS);
        EXPECT_EQ(fopen("LOCKED.TXT", FF_MODE_APPEND), nullptr);
        EXPECT_EQ(fcreate("LOCKED.TXT", 0), nullptr);
        EXPECT_EQ(fopen("CONFIG.INI", 4), nullptr);
        EXPECT_EQ(fopen("MISSING.TXT", FF_MODE_WRITE), nullptr);
        EXPECT_EQ(_FF_error, FF_ERR_NO_FILE);
        EXPECT_EQ(chdir("CONFIG.INI", FF_FROM_ROOT), -1);  // not a folder
        EXPECT_EQ(chdir("NOWHERE", FF_FROM_ROOT), -1);
    });
    std::string out;
    EXPECT_EQ(fsck(vol, &out), 0) << out;
}

// ---- damaged volumes ----

struct Damage {
    const char *what;
    size_t offset;  // byte offset in the image
    std::vector<uint8_t> bytes;
};

TEST(FileSys, DamagedBootSectorsAreRefused) {
    TempDir t;
    std::string img = t / "card.img";
    makeVolume(img, 4, 12, false);
    std::vector<uint8_t> good = readFile(img);
    std::vector<Damage> cases = {
        {"bytes per sector 0", 11, {0, 0}},         {"bytes per sector 4096", 11, {0, 0x10}},
        {"sectors per cluster 0", 13, {0}},         {"sectors per cluster 3", 13, {3}},
        {"no reserved sectors", 14, {0, 0}},        {"no FAT", 16, {0}},
        {"no root entries", 17, {0, 0}},            {"no sectors", 19, {0, 0}},
        {"FAT larger than the volume", 22, {0xFF, 0xFF}},
        {"no signature", 510, {0, 0}},              {"no jump", 0, {0, 0, 0}},
    };
    for (const Damage &d : cases) {
        std::vector<uint8_t> bad = good;
        std::copy(d.bytes.begin(), d.bytes.end(), bad.begin() + long(d.offset));
        if (d.offset == 19) std::fill(bad.begin() + 32, bad.begin() + 36, 0);
        writeFile(img, bad);
        onBoard(img, [&] {
            EXPECT_EQ(initialize_media(), 0) << d.what;
            EXPECT_NE(_FF_error, 0) << d.what;
            EXPECT_EQ(fopen("X.TXT", FF_MODE_READ), nullptr);
        });
    }
    // A partition table whose first entry points outside the card.
    std::vector<uint8_t> mbr(good.size(), 0);
    mbr[446 + 4] = 6;
    mbr[446 + 8] = 0xFF;
    mbr[446 + 9] = 0xFF;
    mbr[446 + 10] = 0xFF;
    mbr[510] = 0x55;
    mbr[511] = 0xAA;
    writeFile(img, mbr);
    onBoard(img, [&] { EXPECT_EQ(initialize_media(), 0); });
}

// Offsets in a plain FAT12 volume made with fixed geometry: 1 reserved sector, 2 FATs of
// `spf` sectors, a 512-entry root; returns the byte offsets.
struct Geometry {
    size_t fat, root, data, clusterBytes;
};
Geometry geometry(const std::vector<uint8_t> &img) {
    uint32_t reserved = img[14] | img[15] << 8, spf = img[22] | img[23] << 8, root = img[17] | img[18] << 8;
    Geometry g;
    g.fat = reserved * 512;
    g.root = g.fat + 2 * spf * 512;
    g.data = g.root + root * 32;
    g.clusterBytes = img[13] * 512u;
    return g;
}

void setFat12(std::vector<uint8_t> &img, const Geometry &g, uint32_t c, uint32_t v) {
    for (int copy = 0; copy < 2; ++copy) {
        size_t spf = (g.root - g.fat) / 2;
        uint8_t *p = img.data() + g.fat + copy * spf + c * 3 / 2;
        if (c & 1) {
            p[0] = uint8_t((p[0] & 0x0F) | (v << 4 & 0xF0));
            p[1] = uint8_t(v >> 4);
        } else {
            p[0] = uint8_t(v);
            p[1] = uint8_t((p[1] & 0xF0) | (v >> 8 & 0x0F));
        }
    }
}

TEST(FileSys, BrokenChainsAndDirectoriesGiveErrors) {
    TempDir t;
    std::string img = t / "card.img";
    std::string vol = makeVolume(img, 1, 12, false, "-s 1");
    writeFile(t / "src", pattern(5000, 41));  // 10 clusters: 2..11
    ASSERT_EQ(sh("mcopy -i " + vol + " " + (t / "src") + " ::A.BIN"), 0);
    ASSERT_EQ(sh("mmd -i " + vol + " ::DIR"), 0);  // cluster 12
    std::vector<uint8_t> good = readFile(img);
    Geometry g = geometry(good);

    auto expectReadFails = [&](const std::vector<uint8_t> &image, const char *what) {
        writeFile(img, image);
        onBoard(img, [&] {
            ASSERT_EQ(initialize_media(), 1) << what;
            std::vector<uint8_t> got;
            int err = 0;
            EXPECT_FALSE(readAll("A.BIN", got, &err)) << what;
            EXPECT_EQ(err, FF_ERR_CHAIN) << what;
            // Appending to it fails too rather than writing into the loop.
            FF_FILE *f = fopen("A.BIN", FF_MODE_APPEND);
            if (f) {
                EXPECT_EQ(fputc('x', f), -1) << what;
                fclose(f);
            }
        });
    };
    std::vector<uint8_t> bad = good;
    setFat12(bad, g, 6, 3);  // loops back
    expectReadFails(bad, "loop");
    bad = good;
    setFat12(bad, g, 4, 4);  // points at itself
    expectReadFails(bad, "self loop");
    bad = good;
    setFat12(bad, g, 5, 0xFF0);  // outside the volume
    expectReadFails(bad, "outside");
    bad = good;
    setFat12(bad, g, 5, 0);  // a free cluster in the chain
    expectReadFails(bad, "free");
    bad = good;
    setFat12(bad, g, 7, 0xFFF);  // ends before the size says
    expectReadFails(bad, "short");
    bad = good;
    bad[g.root + 28 + 1] = 0x80;  // size 32 KiB more than its 10 clusters
    expectReadFails(bad, "size");

    // A folder whose chain loops and a root without an end marker end every search.
    bad = good;
    setFat12(bad, g, 12, 12);
    for (size_t e = 2; e < 512; ++e) {
        uint8_t *p = bad.data() + g.root + e * 32;
        std::memcpy(p, "JUNK    TXT", 11);
        p[0] = uint8_t('A' + e % 26);
        p[11] = 0x20;
    }
    for (size_t e = 2; e < g.clusterBytes / 32; ++e) std::memcpy(bad.data() + g.data + 10 * g.clusterBytes + e * 32, "LOOPED  TXT", 11);
    writeFile(img, bad);
    onBoard(img, [&] {
        ASSERT_EQ(initialize_media(), 1);
        EXPECT_EQ(fopen("MISSING.TXT", FF_MODE_READ), nullptr);
        EXPECT_EQ(_FF_error, FF_ERR_NO_FILE);
        EXPECT_EQ(fcreate("NEW.TXT", 0), nullptr);
        EXPECT_EQ(_FF_error, FF_ERR_DIR_FULL);
        int n = 0;
        FF_DIRENT e;
        for (int next = 0; read_directory_entry(&e, next); next = 1) ++n;
        EXPECT_EQ(n, 512);
        ASSERT_EQ(chdir("DIR", FF_FROM_ROOT), 0);
        EXPECT_EQ(fopen("MISSING.TXT", FF_MODE_READ), nullptr);
        EXPECT_EQ(_FF_error, FF_ERR_CHAIN);
        EXPECT_EQ(fcreate("NEW.TXT", 0), nullptr);
    });
}

TEST(FileSys, CardPulledOutBetweenOperations) {
    TempDir t;
    std::string img = t / "card.img";
    std::string vol = makeVolume(img, 4, 12, false);
    writeFile(t / "src", pattern(20000, 51));
    ASSERT_EQ(sh("mcopy -i " + vol + " " + (t / "src") + " ::A.BIN"), 0);
    onBoard(img, [&] {
        ASSERT_EQ(initialize_media(), 1);
        FF_FILE *f = fopen("A.BIN", FF_MODE_READ);
        ASSERT_NE(f, nullptr);
        std::vector<uint8_t> buf(20000);
        EXPECT_EQ(fread(buf.data(), 1, 1000, f), 1000u);
        sim::sdcard::eject();
        EXPECT_EQ(fread(buf.data(), 1, 1000, f), 0u);
        EXPECT_EQ(_FF_error, FF_ERR_MEDIA);
        EXPECT_FALSE(SDCardIsReady());
        fclose(f);
        EXPECT_EQ(initialize_media(), 0);
        sim::sdcard::insert();
        // The card comes back uninitialised: nothing works until the volume is mounted again.
        EXPECT_EQ(fopen("A.BIN", FF_MODE_READ), nullptr);
        EXPECT_EQ(_FF_error, FF_ERR_MEDIA);
        ASSERT_EQ(initialize_media(), 1);
        f = fcreate("B.BIN", 0);
        ASSERT_NE(f, nullptr);
        for (int i = 0; i < 3000; ++i) fputc(i, f);
        sim::sdcard::eject();
        int accepted = 0;  // bytes still taken into the sector buffer
        while (fputc(1, f) == 1 && accepted < 1000) ++accepted;
        EXPECT_LT(accepted, 512);
        EXPECT_EQ(_FF_error, FF_ERR_MEDIA);
        EXPECT_EQ(fclose(f), -1);
        sim::sdcard::insert();
    });
    std::string out;
    // The card lost the end of B.BIN's writing: fsck may find lost clusters, nothing worse.
    int rc = fsck(vol, &out);
    EXPECT_TRUE(rc == 0 || out.find("lost") != std::string::npos || out.find("Free cluster summary") != std::string::npos) << out;
}

}  // namespace
