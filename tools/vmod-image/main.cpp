// vmod-image: build an external-memory image from a manifest, or list one.
#include <CLI/CLI.hpp>

#include <cstdio>

#include "image.h"

int main(int argc, char **argv) {
    CLI::App app{"vmod-image: builds the display module's external-memory image (bitmaps, macros, user fonts)"};
    app.require_subcommand(1);

    std::string manifest, output = "vmod.bin";
    CLI::App *build = app.add_subcommand("build", "Build an image from a manifest");
    build->add_option("MANIFEST", manifest, "The manifest (one directive a line)")->required();
    build->add_option("-o,--output", output, "The image file to write")->capture_default_str();

    std::string image;
    CLI::App *list = app.add_subcommand("list", "Print an image's directory and macros as \"lsbmp\" and \"lsmac\" do");
    list->add_option("IMAGE", image, "The image file")->required();

    CLI11_PARSE(app, argc, argv);
    try {
        if (*build) {
            std::vector<uint8_t> img = vimage::build(vimage::loadManifest(manifest));
            vimage::writeFile(output, img);
            std::printf("%s: %zu bytes\n", output.c_str(), img.size());
        } else {
            std::vector<uint8_t> img = vimage::readFile(image);
            // What the module would say of such a file goes out too, but a file that is no
            // image is a failure for the script that asked.
            bool valid = img.size() >= 8 && (img[0] | img[1] << 8) == vimage::kMagic;
            std::fputs(vimage::list(img).c_str(), valid ? stdout : stderr);
            if (!valid) {
                std::fprintf(stderr, "vmod-image: %s is not an external-memory image\n", image.c_str());
                return 1;
            }
        }
    } catch (const vimage::Error &e) {
        std::fprintf(stderr, "vmod-image: %s\n", e.what());
        return 1;
    } catch (const std::exception &e) {
        // Nothing should get here; if it does, the run still ends with the file and a status.
        std::fprintf(stderr, "vmod-image: %s: %s\n", *build ? manifest.c_str() : image.c_str(), e.what());
        return 1;
    }
    return 0;
}
