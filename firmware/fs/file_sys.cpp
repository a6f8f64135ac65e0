// The FAT12/FAT16 file system. Three sector buffers: the open file's data sector, one FAT
// sector (written to every FAT copy when it leaves the buffer) and one directory sector.
// Everything read from the card is treated as untrusted: every cluster number is checked
// against the volume, every chain walk is bounded by the cluster count, and every sector
// is checked against the volume's size before it is read or written.
//
// Written so that the card is consistent whenever its power may go: a file that grows takes
// free clusters without marking them in the FAT, writes its data into them, and only when it
// is closed links them into its chain in every FAT copy and then records its size in its
// directory entry. Until then the card shows the file at the length it had when it was
// opened (the new data lies in clusters the FAT calls free); only a cut among those last few
// writes leaves clusters that belong to no file, or FAT copies that differ.
#include "file_sys.h"

#include <string.h>

#include "sdcard.h"

#define SECTOR 512
#define DIR_ENTRIES_PER_SECTOR (SECTOR / 32)
#define NAME_LEN 11
#define DELETED 0xE5
#define FAT12_EOC 0xFF8u
#define FAT16_EOC 0xFFF8u
#define CLUSTER_LIMIT_FAT12 4085u
#define CLUSTER_LIMIT_FAT16 65525u
#define PATH_PART_MAX 13  // "NAME1234.EXT" and a terminator

// Files written here carry this fixed time stamp: the board has no calendar clock.
#define STAMP_DATE ((u16)(((2026 - 1980) << 9) | (1 << 5) | 1))
#define STAMP_TIME ((u16)(12 << 11))

int _FF_error;
FF_VOLUME ffVolume;
FF_FILE ffFile;

static u8 fatBuf[SECTOR];
static u32 fatBufSector;  // sector within the first FAT
static u8 fatBufValid, fatBufDirty;
static u8 dirBuf[SECTOR];
static u32 dirBufSector;
static u8 dirBufValid;
static u32 currentDir;    // first cluster of the current directory, 0 = root
static u32 readDirIndex;  // read_directory_entry's next entry

static u16 rd16(const u8 *p) { return (u16)(p[0] | p[1] << 8); }
static u32 rd32(const u8 *p) { return (u32)p[0] | (u32)p[1] << 8 | (u32)p[2] << 16 | (u32)p[3] << 24; }
static void wr16(u8 *p, u32 v) {
    p[0] = (u8)v;
    p[1] = (u8)(v >> 8);
}
static void wr32(u8 *p, u32 v) {
    wr16(p, v);
    wr16(p + 2, v >> 16);
}

static int fail(int error) {
    _FF_error = error;
    return 0;
}

// ---------------------------------------------------------------------------------------
// Block layer.

int _FF_read(u32 block, u8 *buffer) {
    if (!SDCardReadBlock(block, buffer)) return fail(FF_ERR_MEDIA);
    return 1;
}

int _FF_write(u32 block, const u8 *buffer) {
    if (!SDCardWriteBlock(block, buffer)) return fail(FF_ERR_MEDIA);
    return 1;
}

static int volRead(u32 sector, u8 *buffer) {
    if (!ffVolume.mounted || sector >= ffVolume.totalSectors) return fail(FF_ERR_VOLUME);
    return _FF_read(ffVolume.start + sector, buffer);
}

static int volWrite(u32 sector, const u8 *buffer) {
    if (!ffVolume.mounted || sector >= ffVolume.totalSectors) return fail(FF_ERR_VOLUME);
    return _FF_write(ffVolume.start + sector, buffer);
}

// ---------------------------------------------------------------------------------------
// FAT access.

static int fatFlush(void) {
    if (!fatBufValid || !fatBufDirty) return 1;
    for (u32 n = 0; n < ffVolume.fatCount; ++n)
        if (!volWrite(ffVolume.fatStart + n * ffVolume.fatSectors + fatBufSector, fatBuf)) return 0;
    fatBufDirty = 0;
    return 1;
}

// The FAT byte at `offset` of the first FAT, through the buffer.
static u8 *fatByte(u32 offset) {
    u32 sector = offset / SECTOR;
    if (sector >= ffVolume.fatSectors) {
        fail(FF_ERR_VOLUME);
        return 0;
    }
    if (!fatBufValid || fatBufSector != sector) {
        if (!fatFlush()) return 0;
        fatBufValid = 0;
        if (!volRead(ffVolume.fatStart + sector, fatBuf)) return 0;
        fatBufSector = sector;
        fatBufValid = 1;
    }
    return &fatBuf[offset % SECTOR];
}

static int validCluster(u32 c) { return c >= 2 && c < ffVolume.clusterCount + 2; }

static int endOfChain(u32 v) { return v >= (ffVolume.fatBits == 12 ? FAT12_EOC : FAT16_EOC); }

static u32 eocMark(void) { return ffVolume.fatBits == 12 ? 0xFFFu : 0xFFFFu; }

// ---------------------------------------------------------------------------------------
// Clusters taken by the open file but not yet linked in the FAT: runs of consecutive clusters
// in chain order, to follow `pendingTail` (the last cluster of the chain the FAT holds, 0 when
// the file had none). The FAT as read here shows them linked; the card does not yet.

#define PENDING_RUNS 32  // more runs (a badly fragmented volume) put the file on the card first

struct PendingRun {
    u32 first, count;
};
static PendingRun pendingRun[PENDING_RUNS];
static u32 pendingRuns;
static u32 pendingTail;

static void dropPending(void) {
    pendingRuns = 0;
    pendingTail = 0;
}

// The FAT entry the pending clusters give cluster c: 1 with *v, 0 when they say nothing of c.
static int pendingEntry(u32 c, u32 *v) {
    if (pendingRuns == 0) return 0;
    if (pendingTail && c == pendingTail) {
        *v = pendingRun[0].first;
        return 1;
    }
    for (u32 i = 0; i < pendingRuns; ++i) {
        const PendingRun &r = pendingRun[i];
        if (c < r.first || c - r.first >= r.count) continue;
        if (c - r.first + 1 < r.count) *v = c + 1;
        else *v = i + 1 < pendingRuns ? pendingRun[i + 1].first : eocMark();
        return 1;
    }
    return 0;
}

// The FAT entry of cluster c; returns 0 with *ok = 0 when it cannot be read.
static u32 fatGet(u32 c, int *ok) {
    u32 pending;
    if (pendingEntry(c, &pending)) {
        *ok = 1;
        return pending;
    }
    *ok = 0;
    if (ffVolume.fatBits == 16) {
        u8 *p = fatByte(c * 2);
        if (!p) return 0;
        *ok = 1;
        return rd16(p);  // an entry never straddles a sector: offsets are even
    }
    u32 off = c + c / 2;  // 12-bit entries may straddle two sectors: byte by byte
    u8 *p = fatByte(off);
    if (!p) return 0;
    u32 lo = *p;
    p = fatByte(off + 1);
    if (!p) return 0;
    u32 v = lo | (u32)*p << 8;
    *ok = 1;
    return (c & 1) ? v >> 4 : v & 0xFFF;
}

static int fatSet(u32 c, u32 value) {
    if (ffVolume.fatBits == 16) {
        u8 *p = fatByte(c * 2);
        if (!p) return 0;
        wr16(p, value);
        fatBufDirty = 1;
        return 1;
    }
    u32 off = c + c / 2;
    u8 *p = fatByte(off);
    if (!p) return 0;
    if (c & 1) *p = (u8)((*p & 0x0F) | (value << 4 & 0xF0));
    else *p = (u8)value;
    fatBufDirty = 1;
    p = fatByte(off + 1);
    if (!p) return 0;
    if (c & 1) *p = (u8)(value >> 4);
    else *p = (u8)((*p & 0xF0) | (value >> 8 & 0x0F));
    fatBufDirty = 1;
    return 1;
}

// The next cluster of a chain: 1 with *next, 0 at its end (*next = 0), -1 when broken.
static int nextCluster(u32 c, u32 *next) {
    int ok;
    u32 v = fatGet(c, &ok);
    *next = 0;
    if (!ok) return -1;
    if (endOfChain(v)) return 0;
    if (!validCluster(v)) {
        _FF_error = FF_ERR_CHAIN;
        return -1;
    }
    *next = v;
    return 1;
}

// Brent's cycle detection along a chain walk: a chain that comes back on itself is caught
// within a few times its loop length, with constant memory.
struct LoopCheck {
    u32 mark;   // the cluster the walk is compared with
    u32 power;  // steps before the mark moves on
    u32 steps;  // steps since it last moved
};

static void loopStart(LoopCheck *l, u32 first) {
    l->mark = first;
    l->power = 1;
    l->steps = 0;
}

// Takes the walk's next cluster; 0 when the chain has looped.
static int loopStep(LoopCheck *l, u32 c) {
    if (c == l->mark) return 0;
    if (++l->steps == l->power) {
        l->mark = c;
        l->power *= 2;
        l->steps = 0;
    }
    return 1;
}

// Finds a free cluster (pending ones are taken) and returns it; 0 when full.
static u32 freeCluster(void) {
    if (ffVolume.full) {
        fail(FF_ERR_DISK_FULL);
        return 0;
    }
    u32 first = ffVolume.allocHint;
    if (!validCluster(first)) first = 2;
    u32 c = first;
    for (u32 n = 0; n < ffVolume.clusterCount; ++n) {
        int ok;
        u32 v = fatGet(c, &ok);
        if (!ok) return 0;
        if (v == 0) {
            ffVolume.allocHint = c + 1;
            return c;
        }
        if (++c >= ffVolume.clusterCount + 2) c = 2;
    }
    ffVolume.full = 1;
    fail(FF_ERR_DISK_FULL);
    return 0;
}

// Finds a free cluster, marks it as the end of a chain and returns it; 0 when full.
static u32 allocateCluster(void) {
    u32 c = freeCluster();
    if (!c || !fatSet(c, eocMark())) return 0;
    return c;
}

// Links the pending clusters behind the chain in the FAT buffer (the card gets them as the
// buffer moves on and at the next flush).
static int linkPending(void) {
    u32 prev = pendingTail, runs = pendingRuns;
    dropPending();
    for (u32 i = 0; i < runs; ++i) {
        for (u32 k = 0; k < pendingRun[i].count; ++k) {
            u32 c = pendingRun[i].first + k;
            if (prev && !fatSet(prev, c)) return 0;
            prev = c;
        }
    }
    return !runs || fatSet(prev, eocMark());
}

// Frees a chain; stops at its end, at a broken link, or after as many clusters as exist.
static int freeChain(u32 c) {
    for (u32 n = 0; validCluster(c) && n < ffVolume.clusterCount; ++n) {
        u32 next;
        int r = nextCluster(c, &next);
        if (r < 0 && _FF_error == FF_ERR_MEDIA) return 0;
        if (!fatSet(c, 0)) return 0;
        ffVolume.full = 0;
        if (r <= 0) break;
        c = next;
    }
    return fatFlush();
}

static u32 clusterSector(u32 c) { return ffVolume.dataStart + (c - 2) * ffVolume.clusterSectors; }

// ---------------------------------------------------------------------------------------
// Directories.

static u8 *dirSector(u32 sector) {
    if (!dirBufValid || dirBufSector != sector) {
        dirBufValid = 0;
        if (!volRead(sector, dirBuf)) return 0;
        dirBufSector = sector;
        dirBufValid = 1;
    }
    return dirBuf;
}

static int dirSectorWrite(void) { return volWrite(dirBufSector, dirBuf); }

// Walks the entries of one directory, keeping its place in the cluster chain.
struct DirWalk {
    u32 first;         // first cluster, 0 = root
    u32 cluster;       // cluster of the last located entry
    u32 clusterIndex;  // its position in the chain
    LoopCheck loop;    // catches a folder whose chain loops
};

static DirWalk readWalk;  // read_directory_entry's place in the current folder's chain

static void restartListing(void) {
    readDirIndex = 0;
    memset(&readWalk, 0, sizeof readWalk);
    readWalk.first = currentDir;
}

// The sector holding entry `index`: 1, 0 past the directory's end, -1 on a broken chain or
// a card error.
static int dirLocate(DirWalk *w, u32 index, u32 *sector) {
    if (w->first == 0) {
        if (index >= ffVolume.rootEntries) return 0;
        *sector = ffVolume.rootStart + index / DIR_ENTRIES_PER_SECTOR;
        return 1;
    }
    u32 perCluster = ffVolume.clusterSectors * DIR_ENTRIES_PER_SECTOR;
    u32 want = index / perCluster;
    if (want >= ffVolume.clusterCount) return 0;  // longer than the volume: a looping chain
    if (w->cluster == 0 || want < w->clusterIndex) {
        if (!validCluster(w->first)) {
            _FF_error = FF_ERR_CHAIN;
            return -1;
        }
        w->cluster = w->first;
        w->clusterIndex = 0;
        loopStart(&w->loop, w->first);
    }
    while (w->clusterIndex < want) {
        u32 next;
        int r = nextCluster(w->cluster, &next);
        if (r <= 0) return r;
        if (!loopStep(&w->loop, next)) {
            _FF_error = FF_ERR_CHAIN;
            return -1;
        }
        w->cluster = next;
        w->clusterIndex++;
    }
    *sector = clusterSector(w->cluster) + (index % perCluster) / DIR_ENTRIES_PER_SECTOR;
    return 1;
}

static int isListed(const u8 *e) {
    return e[0] != DELETED && e[11] != FF_ATTR_LONG_NAME && !(e[11] & FF_ATTR_VOLUME);
}

// Looks a converted name up in directory `dir`. Returns 1 with the entry copied and its
// place, 0 when absent (error 2), -1 on a card or chain error.
static int findEntry(u32 dir, const char *name11, FF_DIRENT *entry, u32 *sector, u16 *offset) {
    DirWalk w = {dir, 0, 0, {0, 0, 0}};
    for (u32 i = 0;; ++i) {
        u32 s;
        int r = dirLocate(&w, i, &s);
        if (r <= 0) {
            if (r == 0) _FF_error = FF_ERR_NO_FILE;
            return r;
        }
        u8 *buf = dirSector(s);
        if (!buf) return -1;
        u8 *e = buf + (i % DIR_ENTRIES_PER_SECTOR) * 32;
        if (e[0] == 0) {
            _FF_error = FF_ERR_NO_FILE;
            return 0;
        }
        if (isListed(e) && memcmp(e, name11, NAME_LEN) == 0) {
            memcpy(entry, e, 32);
            *sector = s;
            *offset = (u16)((i % DIR_ENTRIES_PER_SECTOR) * 32);
            return 1;
        }
    }
}

static u32 entryCluster(const FF_DIRENT *e) { return e->cluster; }

// ---------------------------------------------------------------------------------------
// Names and paths.

static int validNameChar(char c) {
    if (c >= 'A' && c <= 'Z') return 1;
    if (c >= 'a' && c <= 'z') return 1;
    if (c >= '0' && c <= '9') return 1;
    return c != 0 && strchr("$%'-_@~`!(){}^#&", c) != 0;
}

int file_name_conversion(const char *name, char *out11) {
    memset(out11, ' ', NAME_LEN);
    if (!name) return fail(FF_ERR_NAME);
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) {
        memcpy(out11, name, strlen(name));
        return 1;
    }
    int i = 0, n = 0;
    for (; name[i] && name[i] != '.'; ++i, ++n) {
        if (n >= 8 || !validNameChar(name[i])) return fail(FF_ERR_NAME);
        char c = name[i];
        out11[n] = (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c;
    }
    if (n == 0) return fail(FF_ERR_NAME);
    if (name[i] == '.') {
        ++i;
        for (n = 0; name[i]; ++i, ++n) {
            if (n >= 3 || !validNameChar(name[i])) return fail(FF_ERR_NAME);
            char c = name[i];
            out11[8 + n] = (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c;
        }
    }
    return 1;
}

static int isSeparator(char c) { return c == '/' || c == '\\'; }

// Resolves the folders of `path` from `dir`; leaves the last part, converted, in name11
// (blank when the path ends in a folder). Returns 1 with *dirOut, 0 with _FF_error.
static int resolvePath(const char *path, u32 dir, u32 *dirOut, char *name11) {
    if (!path) return fail(FF_ERR_NAME);
    if (isSeparator(*path)) {
        dir = 0;
        while (isSeparator(*path)) ++path;
    }
    memset(name11, ' ', NAME_LEN);
    while (*path) {
        char part[PATH_PART_MAX];
        int n = 0;
        while (*path && !isSeparator(*path)) {
            if (n >= PATH_PART_MAX - 1) return fail(FF_ERR_NAME);
            part[n++] = *path++;
        }
        part[n] = 0;
        while (isSeparator(*path)) ++path;
        if (!file_name_conversion(part, name11)) return 0;
        if (!*path) break;  // the last part names the file
        FF_DIRENT e;
        u32 s;
        u16 o;
        if (findEntry(dir, name11, &e, &s, &o) <= 0) return 0;
        if (!(e.attributes & FF_ATTR_DIRECTORY)) return fail(FF_ERR_NO_FILE);
        dir = entryCluster(&e);
        if (dir != 0 && !validCluster(dir)) return fail(FF_ERR_CHAIN);
        memset(name11, ' ', NAME_LEN);
    }
    *dirOut = dir;
    return 1;
}

// ---------------------------------------------------------------------------------------
// Mounting.

static int isBootSector(const u8 *b) {
    return (b[0] == 0xE9 || (b[0] == 0xEB && b[2] == 0x90)) && b[510] == 0x55 && b[511] == 0xAA;
}

static void forgetBuffers(void) {
    fatBufValid = fatBufDirty = 0;
    dirBufValid = 0;
    memset(&ffFile, 0, sizeof ffFile);
    dropPending();
}

int initialize_media(void) {
    forgetBuffers();
    memset(&ffVolume, 0, sizeof ffVolume);
    _FF_error = FF_OK;
    if (!SDCardDetect() || !SDCardInit()) return fail(FF_ERR_MEDIA);
    u8 *b = dirBuf;
    if (!_FF_read(0, b)) return 0;
    u32 start = 0;
    if (!isBootSector(b)) {
        // A master boot record: the volume is the first partition.
        const u8 *p = b + 446;
        if (b[510] != 0x55 || b[511] != 0xAA || p[4] == 0) return fail(FF_ERR_VOLUME);
        start = rd32(p + 8);
        if (start == 0 || start >= sdCard.blocks) return fail(FF_ERR_VOLUME);
        if (!_FF_read(start, b)) return 0;
        if (!isBootSector(b)) return fail(FF_ERR_VOLUME);
    }
    u32 bytesPerSector = rd16(b + 11);
    u32 spc = b[13], reserved = rd16(b + 14), fats = b[16], rootEntries = rd16(b + 17);
    u32 total = rd16(b + 19) ? rd16(b + 19) : rd32(b + 32);
    u32 fatSectors = rd16(b + 22);
    if (bytesPerSector != SECTOR) return fail(FF_ERR_VOLUME);
    if (spc == 0 || (spc & (spc - 1)) != 0 || reserved == 0 || fats == 0 || total == 0) return fail(FF_ERR_VOLUME);
    // FAT32 keeps no root entries and no 16-bit FAT size.
    if (rootEntries == 0 || fatSectors == 0) return fail(FF_ERR_VOLUME);
    u32 rootSectors = (rootEntries * 32 + SECTOR - 1) / SECTOR;
    u32 dataStart = reserved + fats * fatSectors + rootSectors;  // at most 65535 + 255 * 65535 + 2048
    if (dataStart >= total) return fail(FF_ERR_VOLUME);
    u32 clusters = (total - dataStart) / spc;
    if (clusters == 0 || clusters >= CLUSTER_LIMIT_FAT16) return fail(FF_ERR_VOLUME);
    u32 bits = clusters < CLUSTER_LIMIT_FAT12 ? 12 : 16;
    // A FAT too small for the clusters: use only the clusters it can describe.
    u32 fatEntries = (u32)((uint64_t)fatSectors * SECTOR * 8 / bits);
    if (fatEntries < 3) return fail(FF_ERR_VOLUME);
    if (clusters > fatEntries - 2) clusters = fatEntries - 2;

    ffVolume.start = start;
    ffVolume.totalSectors = total;
    ffVolume.fatStart = reserved;
    ffVolume.fatSectors = fatSectors;
    ffVolume.fatCount = (u8)fats;
    ffVolume.rootStart = reserved + fats * fatSectors;
    ffVolume.rootEntries = rootEntries;
    ffVolume.dataStart = dataStart;
    ffVolume.clusterSectors = spc;
    ffVolume.clusterCount = clusters;
    ffVolume.fatBits = (u8)bits;
    ffVolume.allocHint = 2;
    if (b[38] == 0x29) {
        ffVolume.serial = rd32(b + 39);
        memcpy(ffVolume.label, b + 43, 11);
    }
    ffVolume.label[11] = 0;
    ffVolume.mounted = 1;
    currentDir = 0;
    restartListing();
    dirBufValid = 0;  // it held the boot sector, read by card block number
    return 1;
}

// The volume is usable: mounted and the card still the initialised one.
static int volumeReady(void) {
    if (!ffVolume.mounted) return fail(FF_ERR_MEDIA);
    if (!SDCardIsReady()) return fail(FF_ERR_MEDIA);
    return 1;
}

// ---------------------------------------------------------------------------------------
// The file object.

static int isOpen(const FF_FILE *f) {
    if (f != &ffFile || !ffFile.inUse) return fail(FF_ERR_NO_FILE);
    return 1;
}

static int flushBuffer(void) {
    if (!ffFile.bufferValid || !ffFile.bufferDirty) return 1;
    if (!volWrite(ffFile.bufferSector, ffFile.buffer)) return 0;
    ffFile.bufferDirty = 0;
    return 1;
}

static LoopCheck fileLoop;  // along the open file's chain

static int writeEntry(void);

// Puts the open file on the card as it stands: the data in the buffer, then the chain in
// every FAT copy, then the directory entry with the size.
static int settleFile(void) { return flushBuffer() && linkPending() && fatFlush() && writeEntry(); }

// A free cluster to follow `tail` (0: the file's first), taken as pending.
static u32 takeCluster(u32 tail) {
    u32 c = freeCluster();
    if (!c) return 0;
    if (pendingRuns > 0) {
        PendingRun &last = pendingRun[pendingRuns - 1];
        if (c == last.first + last.count) {
            ++last.count;
            return c;
        }
        if (pendingRuns == PENDING_RUNS && !settleFile()) return 0;
    }
    if (pendingRuns == 0) pendingTail = tail;
    pendingRun[pendingRuns].first = c;
    pendingRun[pendingRuns].count = 1;
    ++pendingRuns;
    return c;
}

// Makes ffFile.cluster the cluster that holds the current position; with `extend` a chain
// that ends exactly there grows by one cluster.
static int locate(int extend) {
    FF_FILE *f = &ffFile;
    u32 cb = ffVolume.clusterSectors * SECTOR;
    u32 want = f->position / cb;
    if (f->cluster == 0 || want < f->clusterIndex) {
        if (f->firstCluster == 0) {
            if (!extend || want != 0) return fail(FF_ERR_CHAIN);
            u32 c = takeCluster(0);
            if (!c) return 0;
            f->firstCluster = c;
        }
        if (!validCluster(f->firstCluster)) return fail(FF_ERR_CHAIN);
        f->cluster = f->firstCluster;
        f->clusterIndex = 0;
        loopStart(&fileLoop, f->firstCluster);
    }
    if (want - f->clusterIndex > ffVolume.clusterCount) return fail(FF_ERR_CHAIN);
    while (f->clusterIndex < want) {
        u32 next;
        int r = nextCluster(f->cluster, &next);
        if (r < 0) return 0;
        if (r == 0) {
            if (!extend || f->clusterIndex + 1 != want) return fail(FF_ERR_CHAIN);
            next = takeCluster(f->cluster);
            if (!next) return 0;
        } else if (!loopStep(&fileLoop, next)) {
            return fail(FF_ERR_CHAIN);
        }
        f->cluster = next;
        f->clusterIndex++;
    }
    return 1;
}

// Brings the sector of the current position into the buffer. A sector that lies wholly
// beyond the end of the file is not read: it holds nothing of the file yet.
static int loadSector(int forWrite) {
    FF_FILE *f = &ffFile;
    if (!locate(forWrite)) return 0;
    u32 cb = ffVolume.clusterSectors * SECTOR;
    u32 sector = clusterSector(f->cluster) + (f->position % cb) / SECTOR;
    if (f->bufferValid && f->bufferSector == sector) return 1;
    if (!flushBuffer()) return 0;
    f->bufferValid = 0;
    if (forWrite && f->position % SECTOR == 0 && f->position >= f->length) {
        memset(f->buffer, 0, SECTOR);
    } else if (!volRead(sector, f->buffer)) {
        return 0;
    }
    f->bufferSector = sector;
    f->bufferValid = 1;
    return 1;
}

// Rewrites the file's directory entry with its first cluster and size.
static int writeEntry(void) {
    u8 *buf = dirSector(ffFile.entrySector);
    if (!buf) return 0;
    u8 *e = buf + ffFile.entryOffset;
    wr16(e + 20, 0);
    wr16(e + 26, ffFile.firstCluster);
    wr32(e + 28, ffFile.length);
    e[11] |= FF_ATTR_ARCHIVE;
    wr16(e + 22, STAMP_TIME);
    wr16(e + 24, STAMP_DATE);
    return dirSectorWrite();
}

static FF_FILE *openEntry(const FF_DIRENT *e, u32 sector, u16 offset, int mode) {
    if (e->attributes & (FF_ATTR_DIRECTORY | FF_ATTR_VOLUME)) {
        fail(FF_ERR_ACCESS);
        return 0;
    }
    if (mode != FF_MODE_READ && (e->attributes & FF_ATTR_READ_ONLY)) {
        fail(FF_ERR_ACCESS);
        return 0;
    }
    if (mode == FF_MODE_READ && e->size == 0) {
        fail(FF_ERR_ACCESS);
        return 0;
    }
    FF_FILE *f = &ffFile;
    memset(f, 0, sizeof *f);
    dropPending();
    f->firstCluster = entryCluster(e);
    f->length = e->size;
    f->entrySector = sector;
    f->entryOffset = offset;
    f->mode = (u8)mode;
    if (mode == FF_MODE_WRITE) {
        // Cut the file first in its entry, then free its clusters: a failure between the
        // two loses clusters but never leaves an entry pointing at freed ones.
        u32 old = f->firstCluster;
        f->firstCluster = 0;
        f->length = 0;
        if ((old || e->size) && !writeEntry()) return 0;  // an empty one is written at the close
        if (old && !freeChain(old)) return 0;
    } else if (mode == FF_MODE_APPEND) {
        f->position = f->length;
    }
    f->inUse = 1;
    return f;
}

FF_FILE *fopen(const char *name, int mode) {
    if (ffFile.inUse) {
        fail(FF_ERR_IN_USE);
        return 0;
    }
    if (mode < FF_MODE_READ || mode > FF_MODE_APPEND) {
        fail(FF_ERR_ACCESS);
        return 0;
    }
    if (!volumeReady()) return 0;
    u32 dir;
    char name11[NAME_LEN];
    if (!resolvePath(name, currentDir, &dir, name11)) return 0;
    if (name11[0] == ' ') {
        fail(FF_ERR_NAME);
        return 0;
    }
    FF_DIRENT e;
    u32 sector;
    u16 offset;
    if (findEntry(dir, name11, &e, &sector, &offset) <= 0) return 0;
    return openEntry(&e, sector, offset, mode);
}

// Finds a free entry in `dir`, growing a folder by a cleared cluster when it is full.
static int freeEntry(u32 dir, u32 *sector, u16 *offset) {
    DirWalk w = {dir, 0, 0, {0, 0, 0}};
    for (u32 i = 0;; ++i) {
        u32 s;
        int r = dirLocate(&w, i, &s);
        if (r < 0) return 0;
        if (r == 0) {
            if (dir == 0) return fail(FF_ERR_DIR_FULL);  // the root has a fixed size
            if (i / (ffVolume.clusterSectors * DIR_ENTRIES_PER_SECTOR) >= ffVolume.clusterCount)
                return fail(FF_ERR_CHAIN);
            u32 c = allocateCluster();
            if (!c) return 0;
            dirBufValid = 0;
            memset(dirBuf, 0, SECTOR);
            for (u32 k = 0; k < ffVolume.clusterSectors; ++k)
                if (!volWrite(clusterSector(c) + k, dirBuf)) return 0;
            if (!fatSet(w.cluster, c) || !fatFlush()) return 0;
            *sector = clusterSector(c);
            *offset = 0;
            return 1;
        }
        u8 *buf = dirSector(s);
        if (!buf) return 0;
        u8 *e = buf + (i % DIR_ENTRIES_PER_SECTOR) * 32;
        if (e[0] == 0 || e[0] == DELETED) {
            *sector = s;
            *offset = (u16)((i % DIR_ENTRIES_PER_SECTOR) * 32);
            return 1;
        }
    }
}

FF_FILE *fcreate(const char *name, u8 attributes) {
    if (ffFile.inUse) {
        fail(FF_ERR_IN_USE);
        return 0;
    }
    if (!volumeReady()) return 0;
    u32 dir;
    char name11[NAME_LEN];
    if (!resolvePath(name, currentDir, &dir, name11)) return 0;
    if (name11[0] == ' ' || name11[0] == '.') {
        fail(FF_ERR_NAME);
        return 0;
    }
    FF_DIRENT e;
    u32 sector;
    u16 offset;
    int found = findEntry(dir, name11, &e, &sector, &offset);
    if (found < 0) return 0;
    if (found == 0) {
        if (!freeEntry(dir, &sector, &offset)) return 0;
        memset(&e, 0, sizeof e);
        memcpy(e.name, name11, NAME_LEN);
        e.attributes = (u8)((attributes & (FF_ATTR_READ_ONLY | FF_ATTR_HIDDEN | FF_ATTR_SYSTEM)) | FF_ATTR_ARCHIVE);
        e.createTime = e.writeTime = STAMP_TIME;
        e.createDate = e.writeDate = e.accessDate = STAMP_DATE;
        u8 *buf = dirSector(sector);
        if (!buf) return 0;
        memcpy(buf + offset, &e, 32);
        if (!dirSectorWrite()) return 0;
        // A new entry is writable whatever attributes it will keep.
        e.attributes &= (u8)~FF_ATTR_READ_ONLY;
    }
    return openEntry(&e, sector, offset, FF_MODE_WRITE);
}

u32 fread(void *buffer, u32 size, u32 count, FF_FILE *file) {
    if (!isOpen(file) || !volumeReady() || size == 0) return 0;
    u32 want = count > 0xFFFFFFFFu / size ? 0xFFFFFFFFu : size * count;
    u8 *out = (u8 *)buffer;
    u32 done = 0;
    while (done < want && ffFile.position < ffFile.length) {
        if (!loadSector(0)) break;
        u32 inSector = SECTOR - ffFile.position % SECTOR;
        u32 left = ffFile.length - ffFile.position;
        u32 n = want - done;
        if (n > inSector) n = inSector;
        if (n > left) n = left;
        memcpy(out + done, ffFile.buffer + ffFile.position % SECTOR, n);
        done += n;
        ffFile.position += n;
    }
    return done;
}

int fputc(int c, FF_FILE *file) {
    if (!isOpen(file)) return -1;
    if (ffFile.mode == FF_MODE_READ) {
        fail(FF_ERR_ACCESS);
        return -1;
    }
    // The card is checked when a sector goes to or comes from it, not for every byte.
    if (!ffVolume.mounted || ffFile.position == 0xFFFFFFFFu) return -1;
    if (!loadSector(1)) return -1;
    ffFile.buffer[ffFile.position % SECTOR] = (u8)c;
    ffFile.bufferDirty = 1;
    ffFile.position++;
    if (ffFile.position > ffFile.length) ffFile.length = ffFile.position;
    return c & 0xFF;
}

int fseek(FF_FILE *file, s32 offset, int origin) {
    if (!isOpen(file)) return -1;
    int64_t target;
    switch (origin) {
    case FF_SEEK_CUR: target = (int64_t)ffFile.position + offset; break;
    case FF_SEEK_END: target = (int64_t)ffFile.length - (offset < 0 ? -(int64_t)offset : (int64_t)offset); break;
    case FF_SEEK_SET: target = offset; break;
    default: fail(FF_ERR_SEEK); return -1;
    }
    if (target < 0 || target > (int64_t)ffFile.length) {
        fail(FF_ERR_SEEK);
        return -1;
    }
    ffFile.position = (u32)target;
    return 0;
}

int fclose(FF_FILE *file) {
    if (!isOpen(file)) return -1;
    int ok = 1;
    if (ffFile.mode != FF_MODE_READ) ok = settleFile();
    memset(&ffFile, 0, sizeof ffFile);
    dropPending();
    return ok ? 0 : -1;
}

// ---------------------------------------------------------------------------------------
// Folders.

int chdir(const char *name, FF_DirFrom from) {
    if (!volumeReady()) return -1;
    u32 dir = from == FF_FROM_ROOT ? 0 : currentDir;
    char name11[NAME_LEN];
    if (!resolvePath(name, dir, &dir, name11)) return -1;
    if (name11[0] != ' ') {
        FF_DIRENT e;
        u32 s;
        u16 o;
        if (findEntry(dir, name11, &e, &s, &o) <= 0) return -1;
        if (!(e.attributes & FF_ATTR_DIRECTORY)) {
            fail(FF_ERR_NO_FILE);
            return -1;
        }
        dir = entryCluster(&e);  // ".." of a folder in the root holds 0
        if (dir != 0 && !validCluster(dir)) {
            fail(FF_ERR_CHAIN);
            return -1;
        }
    }
    currentDir = dir;
    restartListing();
    return 0;
}

int read_directory_entry(FF_DIRENT *entry, int next) {
    DirWalk *w = &readWalk;
    if (!volumeReady()) return 0;
    if (!next) restartListing();
    for (;;) {
        u32 s;
        int r = dirLocate(w, readDirIndex, &s);
        if (r <= 0) {
            if (r == 0) _FF_error = FF_ERR_NO_FILE;
            return 0;
        }
        u8 *buf = dirSector(s);
        if (!buf) return 0;
        u8 *e = buf + (readDirIndex % DIR_ENTRIES_PER_SECTOR) * 32;
        if (e[0] == 0) return fail(FF_ERR_NO_FILE);
        readDirIndex++;
        if (isListed(e)) {
            memcpy(entry, e, 32);
            return 1;
        }
    }
}
