// vmod-image's inputs: the first byte chooses what the rest is (a manifest, a macro file, a
// PNG or BMP picture, a TrueType font, or an image to list), and the tool must answer with
// its own Error or a result, never crash, read out of bounds or throw anything else. A
// manifest may name the fixed files of the work folder (a picture, a macro file, a folder).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "image.h"

namespace {

std::string workDir() {
    static std::string dir;
    if (!dir.empty()) return dir;
    char tmpl[] = "/tmp/vmod-imagefuzz-XXXXXX";
    dir = mkdtemp(tmpl) ? tmpl : "/tmp";
    // A 2 x 2 24-bit BMP, a macro file and a folder for manifests to name.
    const uint8_t bmp[] = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0,
                           0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 255, 255,
                           255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0};
    vimage::writeFile(dir + "/p.bmp", std::vector<uint8_t>(bmp, bmp + sizeof bmp));
    const std::string mac = "macro 1 a\nxi 1 0 0\nmacro 2\n:top\nw 10\n";
    vimage::writeFile(dir + "/m.txt", std::vector<uint8_t>(mac.begin(), mac.end()));
    std::filesystem::create_directory(dir + "/d");
    return dir;
}

std::string fileOf(const uint8_t *data, size_t size) {
    std::string f = workDir() + "/input";
    vimage::writeFile(f, std::vector<uint8_t>(data, data + size));
    return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    const uint8_t kind = data[0] % 5;
    ++data, --size;
    const std::string text(reinterpret_cast<const char *>(data), size);
    try {
        switch (kind) {
            case 0: {
                vimage::Manifest m = vimage::parseManifest(text, "m.manifest", workDir());
                std::vector<uint8_t> img = vimage::build(m);
                vimage::list(img);
                break;
            }
            case 1: {
                vimage::Manifest m;
                m.macros = vimage::parseMacros(text, "m.txt");
                vimage::list(vimage::build(m));
                break;
            }
            case 2: {
                vimage::Picture p = vimage::loadPicture(fileOf(data, size));
                if (p.rgba.size() != size_t(p.width) * size_t(p.height) * 4) __builtin_trap();
                break;
            }
            case 3:
                vimage::renderSif(fileOf(data, size), 12, 32, 126);
                break;
            default:
                vimage::list(std::vector<uint8_t>(data, data + size));
                break;
        }
    } catch (const vimage::Error &) {
        // The tool's own refusal, with the place named.
    }
    return 0;
}
