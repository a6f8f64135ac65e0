#include "loader.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace sim {
namespace {

std::string modulePath;
void *handle = nullptr;

// dlopen hands back the already loaded object for a path it knows, so each power-on loads
// a private copy of the file under a new name.
std::string copyModule() {
    char name[] = "/tmp/vmod-firmware-XXXXXX.so";
    int out = mkstemps(name, 3);
    int in = open(modulePath.c_str(), O_RDONLY);
    struct stat st {};
    if (out < 0 || in < 0 || fstat(in, &st) != 0) {
        std::fprintf(stderr, "vmod: cannot read the firmware module %s\n", modulePath.c_str());
        std::exit(3);
    }
    off_t off = 0;
    while (off < st.st_size) {
        ssize_t n = sendfile(out, in, &off, size_t(st.st_size - off));
        if (n <= 0) {
            std::fprintf(stderr, "vmod: cannot copy the firmware module\n");
            std::exit(3);
        }
    }
    close(in);
    close(out);
    return name;
}

FirmwareEntry load() {
    std::string copy = copyModule();
    handle = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    unlink(copy.c_str());  // the mapping stays; the file is not needed any more
    if (!handle) {
        std::fprintf(stderr, "vmod: cannot load the firmware: %s\n", dlerror());
        std::exit(3);
    }
    FirmwareEntry e{};
    e.main = reinterpret_cast<int (*)()>(dlsym(handle, "main"));
    e.irqHandler = reinterpret_cast<void (*)()>(dlsym(handle, "irq_handler"));
    if (!e.main || !e.irqHandler) {
        std::fprintf(stderr, "vmod: %s lacks main or irq_handler\n", modulePath.c_str());
        std::exit(3);
    }
    return e;
}

void unload() {
    if (handle) dlclose(handle);
    handle = nullptr;
}

}  // namespace

const std::string &firmwareModulePath() { return modulePath; }

void *firmwareSymbol(const char *name) { return handle ? dlsym(handle, name) : nullptr; }

void useFirmwareModule(const std::string &path) {
    modulePath = path;
    setFirmwareLoader(load, unload);
}

}  // namespace sim
