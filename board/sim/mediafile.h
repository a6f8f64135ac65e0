// A medium's file in the state folder, kept open while the board is powered rather than opened
// at every access: a settings save writes the EEPROM's file once a page, a card access reads or
// writes one block. The owner closes it when the power goes or the medium changes, so that a
// file replaced between sessions is opened afresh.
#ifndef VMOD_SIM_MEDIAFILE_H
#define VMOD_SIM_MEDIAFILE_H

#include <fcntl.h>
#include <unistd.h>

#include <string>

namespace sim {

class MediaFile {
public:
    MediaFile() = default;
    MediaFile(const MediaFile &) = delete;
    MediaFile &operator=(const MediaFile &) = delete;
    ~MediaFile() { close(); }

    // The descriptor of `path` opened with `flags` (and mode 0644 for a file it creates); -1 when
    // it cannot be opened. Opened again when the path or the flags differ from the last call's.
    int fd(const std::string &path, int flags) {
        if (fd_ >= 0 && path == path_ && flags == flags_) return fd_;
        close();
        fd_ = ::open(path.c_str(), flags, 0644);
        path_ = path;
        flags_ = flags;
        return fd_;
    }

    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        path_.clear();
    }

private:
    int fd_ = -1;
    std::string path_;
    int flags_ = 0;
};

}  // namespace sim

#endif
