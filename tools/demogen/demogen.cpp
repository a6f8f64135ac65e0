// vmod-demogen: draws the pictures of the demo's control panel as PNG files and writes the
// manifest that vmod-image builds the demo image from (the pictures and the demo's macros).
//   vmod-demogen OUTDIR MACROS
#include <png.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Rgb {
    uint8_t r, g, b;
};
constexpr Rgb kKey{255, 0, 255};  // the transparent colour of the knobs

using Painter = std::function<Rgb(int x, int y)>;

bool writePng(const std::string &path, int w, int h, const Painter &paint) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(size_t(w) * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            Rgb c = paint(x, y);
            row[size_t(x) * 3] = c.r;
            row[size_t(x) * 3 + 1] = c.g;
            row[size_t(x) * 3 + 2] = c.b;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

// A horizontal track: a light bar with a dark groove and a black frame.
Rgb track(int x, int y) {
    if (x == 0 || x == 219 || y == 0 || y == 23) return {0, 0, 0};
    if (y >= 10 && y <= 13) return {40, 40, 60};
    return {170, 180, 200};
}

Painter disc(int size, double radius, Rgb inside, Rgb rim) {
    return [=](int x, int y) {
        double c = (size - 1) / 2.0, r = std::hypot(x - c, y - c);
        if (r > radius) return kKey;
        return r > radius - 2 ? rim : inside;
    };
}

// The knob's round plate, with a lighter ring where the knob runs.
Rgb dial(int x, int y) {
    double r = std::hypot(x - 59.5, y - 59.5);
    if (r > 58) return {64, 64, 64};
    if (r > 56) return {0, 0, 0};
    if (r >= 38 && r <= 46) return {110, 110, 130};
    return {40, 40, 52};
}

// The meter's face: white, a black rim, a tick every 30 degrees of the open-bottomed arc.
Rgb gauge(int x, int y) {
    double dx = x - 99.5, dy = 99.5 - y, r = std::hypot(dx, dy);
    if (r > 97) return {64, 64, 64};
    if (r > 93) return {0, 0, 0};
    if (r > 80) {
        double a = std::fmod(std::atan2(dy, dx) * 180 / M_PI + 360, 360);
        for (int t = -45; t <= 225; t += 30)
            if (std::fabs(std::fmod(a - t + 540, 360) - 180) < 1.5) return {0, 0, 0};
    }
    return {255, 255, 255};
}

// A push button, raised (up) or pressed in (down): a rounded face with a light and a dark edge.
Painter button(bool down) {
    return [down](int x, int y) -> Rgb {
        const int w = 140, h = 48;
        int cx = x < 8 ? 8 - x : x > w - 9 ? x - (w - 9) : 0;
        int cy = y < 8 ? 8 - y : y > h - 9 ? y - (h - 9) : 0;
        if (cx * cx + cy * cy > 64) return {64, 64, 64};  // outside the rounded corners
        bool edgeTopLeft = x < 3 || y < 3, edgeBottomRight = x > w - 4 || y > h - 4;
        Rgb light{200, 220, 255}, dark{20, 30, 70};
        if (edgeTopLeft) return down ? dark : light;
        if (edgeBottomRight) return down ? light : dark;
        return down ? Rgb{40, 90, 200} : Rgb{70, 130, 230};
    };
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vmod-demogen OUTDIR MACROS\n");
        return 2;
    }
    std::string out = argv[1], macros = argv[2];
    struct Picture {
        const char *file;
        int w, h;
        Painter paint;
        const char *how;     // the manifest's record form
        const char *comment; // what the demo's macros use it for
    };
    const Picture pictures[] = {
        {"track.png", 220, 24, track, "", "1: the fan slider's track"},
        {"knob.png", 24, 24, disc(24, 11.5, {250, 200, 40}, {90, 60, 0}), " transparent #FF00FF", "2: its knob"},
        {"dial.png", 120, 120, dial, "", "3: the volume knob's plate"},
        {"gauge.png", 200, 200, gauge, " rle", "4: the pressure meter's face"},
        {"cknob.png", 16, 16, disc(16, 7.5, {255, 60, 40}, {120, 0, 0}), " transparent #FF00FF", "5: the volume knob"},
        {"button_up.png", 140, 48, button(false), "", "6: a button, up"},
        {"button_down.png", 140, 48, button(true), "", "7: the button, pressed"},
    };
    std::string manifest = "# Written by vmod-demogen: the demo image's pictures and macros.\nmacros " + macros + "\n";
    for (const Picture &p : pictures) {
        if (!writePng(out + "/" + p.file, p.w, p.h, p.paint)) {
            std::fprintf(stderr, "vmod-demogen: cannot write %s/%s\n", out.c_str(), p.file);
            return 1;
        }
        manifest += std::string("bitmap ") + p.file + p.how + "   # " + p.comment + "\n";
    }
    FILE *f = std::fopen((out + "/demo.manifest").c_str(), "w");
    if (!f || std::fputs(manifest.c_str(), f) < 0 || std::fclose(f) != 0) {
        std::fprintf(stderr, "vmod-demogen: cannot write %s/demo.manifest\n", out.c_str());
        return 1;
    }
    return 0;
}
