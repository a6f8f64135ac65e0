// The FAT12/FAT16 file system on the SD card: 8.3 names, folders, one open file at a time.
//
// The file functions carry the C library's names (fopen, fread, fseek, fputc, fclose) but
// take this module's own FF_FILE, so they are C++ overloads that never stand in for the C
// library's, and a call can only match one of the two. chdir has a second parameter for
// the same reason: the POSIX call of that name has one.
#ifndef VMOD_FILE_SYS_H
#define VMOD_FILE_SYS_H

#include "../types.h"

// fopen modes.
#define FF_MODE_READ 1
#define FF_MODE_WRITE 2   // an existing file is cut to length 0
#define FF_MODE_APPEND 3  // positioned at the end

// fseek origins (this file system's own numbers, not the C library's SEEK_*).
#define FF_SEEK_CUR 0  // relative to the current position
#define FF_SEEK_END 1  // backwards from the end; the offset's sign is ignored
#define FF_SEEK_SET 2  // from the start

// Error numbers left in _FF_error.
enum {
    FF_OK = 0,
    FF_ERR_MEDIA = 1,      // no card, card not initialised, or a block transfer failed
    FF_ERR_NO_FILE = 2,    // no such file, or not the open file object
    FF_ERR_IN_USE = 3,     // the file object is already open
    FF_ERR_NAME = 4,       // not a valid 8.3 name
    FF_ERR_DIR_FULL = 5,   // no free directory entry
    FF_ERR_DISK_FULL = 6,  // no free cluster
    FF_ERR_VOLUME = 7,     // no supported FAT12/FAT16 volume
    FF_ERR_CHAIN = 8,      // a cluster chain is broken or shorter than the file
    FF_ERR_SEEK = 9,       // seek target outside the file
    FF_ERR_ACCESS = 10     // read-only file opened for writing, empty file for reading, folder
};

// File attributes of a directory entry.
#define FF_ATTR_READ_ONLY 0x01
#define FF_ATTR_HIDDEN 0x02
#define FF_ATTR_SYSTEM 0x04
#define FF_ATTR_VOLUME 0x08
#define FF_ATTR_DIRECTORY 0x10
#define FF_ATTR_ARCHIVE 0x20
#define FF_ATTR_LONG_NAME 0x0F

// A directory entry as stored on the card (little-endian fields).
#pragma pack(push, 1)
struct FF_DIRENT {
    char name[11];     // 8 + 3 characters, blank padded, upper case
    u8 attributes;     // FF_ATTR_*
    u8 reserved;       // not used
    u8 createTenths;   // creation time, 10 ms units
    u16 createTime;    // creation time
    u16 createDate;    // creation date
    u16 accessDate;    // last access date
    u16 clusterHigh;   // always 0 on FAT12/FAT16
    u16 writeTime;     // last write time
    u16 writeDate;     // last write date
    u16 cluster;       // first cluster, 0 for an empty file
    u32 size;          // file size in bytes
};
#pragma pack(pop)
static_assert(sizeof(FF_DIRENT) == 32, "a directory entry is 32 bytes");

// The one file object.
struct FF_FILE {
    u32 firstCluster;  // 0 while the file has no data
    u32 cluster;       // cluster holding the current position, 0 = not yet looked up
    u32 clusterIndex;  // position of `cluster` in the chain
    u32 position;      // byte offset of the next read or write
    u32 length;        // file size
    u32 entrySector;   // volume sector of the directory entry
    u16 entryOffset;   // byte offset of the entry in that sector
    u8 mode;           // FF_MODE_*
    u8 inUse;          // the object belongs to an open file
    u8 bufferValid;    // buffer holds bufferSector
    u8 bufferDirty;    // buffer holds bytes not yet written to the card
    u32 bufferSector;  // volume sector in the buffer
    u8 buffer[512];    // one data sector
};

// The mounted volume.
struct FF_VOLUME {
    u8 mounted;          // initialize_media found a supported volume
    u8 fatBits;          // 12 or 16
    u8 fatCount;         // copies of the FAT
    u8 full;             // the last search found no free cluster
    u32 start;           // card block of the volume's boot sector
    u32 totalSectors;    // size of the volume
    u32 fatStart;        // volume sector of the first FAT
    u32 fatSectors;      // sectors per FAT
    u32 rootStart;       // volume sector of the root directory
    u32 rootEntries;     // entries of the root directory
    u32 dataStart;       // volume sector of cluster 2
    u32 clusterSectors;  // sectors per cluster
    u32 clusterCount;    // data clusters: valid numbers are 2 .. clusterCount + 1
    u32 allocHint;       // where the next free-cluster search starts
    u32 serial;          // volume serial number
    char label[12];      // volume label, NUL-terminated
};

extern int _FF_error;
extern FF_VOLUME ffVolume;
extern FF_FILE ffFile;

int _FF_read(u32 block, u8 *buffer);
int _FF_write(u32 block, const u8 *buffer);
int initialize_media(void);
int file_name_conversion(const char *name, char *out11);

FF_FILE *fopen(const char *name, int mode);
FF_FILE *fcreate(const char *name, u8 attributes);
u32 fread(void *buffer, u32 size, u32 count, FF_FILE *file);
int fputc(int c, FF_FILE *file);
int fseek(FF_FILE *file, s32 offset, int origin);
int fclose(FF_FILE *file);

// Where chdir starts: the current directory, or the root.
enum FF_DirFrom { FF_FROM_CURRENT = 0, FF_FROM_ROOT = 1 };
// Without `from` a call is ambiguous wherever the POSIX chdir is declared too, so it can
// never reach the host's call by mistake; firmware code may leave it out.
int chdir(const char *name, FF_DirFrom from = FF_FROM_CURRENT);
int read_directory_entry(FF_DIRENT *entry, int next);

#endif
