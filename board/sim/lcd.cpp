// The LCD controller: registers, colour table, the beginning-of-frame status raised once per
// frame period, and access to the frame it scans out of SDRAM.
#include "lcd.h"

#include <cstring>
#include <string>

#include "board.h"
#include "snapshot.h"

namespace {

using namespace sim;

// The controller's registers in the peripheral space, and the offsets it models.
constexpr uint32_t kRegBlock = 0x5000, kRegBlockSize = 0x1000;
enum : uint32_t {
    kSSA = 0x00,    // screen start address
    kSIZE = 0x04,   // width / 16 in bits 25..20, height in bits 8..0
    kVPW = 0x08,    // virtual page width
    kPCR = 0x18,    // panel configuration
    kHCR = 0x1C,    // horizontal: pulse width - 1 in 31..26, wait 1 in 15..8, wait 2 in 7..0
    kVCR = 0x20,    // vertical, the same fields
    kLSCR1 = 0x28,  // second panel configuration
    kPWMR = 0x2C,   // contrast / PWM output
    kDMACR = 0x30,  // DMA control
    kRMCR = 0x34,   // refresh mode
    kLUT = 0x800,   // 256 colour table entries, one word each
};

uint32_t timingWord(unsigned pulse, unsigned wait1, unsigned wait2) { return (pulse << 26) | (wait1 << 8) | wait2; }

constexpr uint32_t kSdramBase = 0x08000000u;
constexpr uint32_t kSdramSize = 0x04000000u;

struct Lcd : Device {
    lcd::Registers regs;
    uint64_t frames = 0;
    EventId next = 0;

    Lcd() {
        registerDevice(this);
        keepInSnapshots(*this);
        registerCheck("lcd", [this] { return std::string(enabled() ? "on" : "off"); });
        registerRegisters({kRegBlock, kRegBlockSize, [this](uint32_t off, uint32_t &v) { return readReg(off, v); },
                           [](uint32_t off, uint32_t v) { return writeReg(off, v); }});
    }
    bool readReg(uint32_t off, uint32_t &v) const;
    static bool writeReg(uint32_t off, uint32_t v);
    void powerOn() override { reset(); }
    void powerOff() override { reset(); }
    void reset() {
        regs = lcd::Registers{};
        frames = 0;
        next = 0;  // the event queue is cleared with the power
    }

    Time period() const {
        if (!regs.width16 || !regs.height) return 0;
        uint64_t h = uint64_t(regs.width16) * 16 + regs.hwait2 + 3;
        uint64_t v = uint64_t(regs.height) + regs.vwait2 + 3;
        return h * v * kSec / BOARD_LCD_PIXEL_CLOCK_HZ;
    }
    bool enabled() const { return (regs.refreshMode & 2) != 0; }

    // Each frame begins one period after the last, with the registers of that moment.
    void beginFrame() {
        next = 0;
        if (!enabled()) return;
        regs.frameStatus = true;
        frames++;
        schedule();
    }
    void schedule() {
        if (next) return;
        Time p = period();
        if (!p) p = kMs;  // an enabled controller without timing still scans, at some rate
        next = sim::schedule(now() + p, [this] { beginFrame(); });
    }
    void stop() {
        if (next) sim::cancel(next);
        next = 0;
    }
} lcdDev;

bool Lcd::readReg(uint32_t off, uint32_t &v) const {
    const lcd::Registers &r = regs;
    if (off >= kLUT && off < kLUT + 256 * 4) {
        v = r.lut[(off - kLUT) / 4];
        return true;
    }
    switch (off) {
        case kSSA: v = r.start; return true;
        case kSIZE: v = (uint32_t(r.width16) << 20) | r.height; return true;
        case kVPW: v = r.pageWidth; return true;
        case kPCR: v = r.panelConfig; return true;
        case kHCR: v = timingWord(r.hpulse, r.hwait1, r.hwait2); return true;
        case kVCR: v = timingWord(r.vpulse, r.vwait1, r.vwait2); return true;
        case kLSCR1: v = r.panelConfig2; return true;
        case kPWMR: v = r.contrast; return true;
        case kDMACR: v = r.dmaControl; return true;
        case kRMCR: v = r.refreshMode; return true;
        default: return false;
    }
}

// A write through the register space has the effect of the matching board operation.
bool Lcd::writeReg(uint32_t off, uint32_t v) {
    if (off >= kLUT && off < kLUT + 256 * 4) {
        board_lcd_set_lut((off - kLUT) / 4, uint16_t(v));
        return true;
    }
    switch (off) {
        case kSSA: board_lcd_set_start(v); return true;
        case kSIZE: board_lcd_set_size((v >> 20) & 0x3F, v & 0x1FF); return true;
        case kVPW: board_lcd_set_page_width(v); return true;
        case kPCR: board_lcd_set_panel_config(v); return true;
        case kHCR: board_lcd_set_hconfig(v >> 26, (v >> 8) & 0xFF, v & 0xFF); return true;
        case kVCR: board_lcd_set_vconfig(v >> 26, (v >> 8) & 0xFF, v & 0xFF); return true;
        case kLSCR1: board_lcd_set_panel_config2(v); return true;
        case kPWMR: board_lcd_set_contrast(v); return true;
        case kDMACR: board_lcd_set_dma_control(v); return true;
        case kRMCR: board_lcd_set_refresh_mode(v); return true;
        default: return false;
    }
}

}  // namespace

namespace sim {
namespace lcd {

const Registers &registers() { return lcdDev.regs; }
bool scanning() { return lcdDev.enabled(); }
uint64_t frameCount() { return lcdDev.frames; }
Time framePeriod() { return lcdDev.period(); }

int stride() {
    int s = int(lcdDev.regs.pageWidth) * 2;
    return s >= kWidth ? s : kWidth;
}

const uint16_t *frame() {
    uint64_t start = lcdDev.regs.start;
    uint64_t bytes = (uint64_t(stride()) * (kHeight - 1) + kWidth) * 2;
    if (!lcdDev.enabled() || start < kSdramBase || start + bytes > uint64_t(kSdramBase) + kSdramSize ||
        (start & 1))
        return nullptr;
    return reinterpret_cast<const uint16_t *>(static_cast<uintptr_t>(start));
}

void copyFrame(uint16_t *out) {
    const uint16_t *f = frame();
    if (!f) {
        std::memset(out, 0, sizeof(uint16_t) * kWidth * kHeight);
        return;
    }
    for (int y = 0; y < kHeight; ++y) std::memcpy(out + y * kWidth, f + y * stride(), kWidth * 2);
}

}  // namespace lcd
}  // namespace sim

extern "C" void board_lcd_set_start(uint32_t addr) { lcdDev.regs.start = addr; }
extern "C" void board_lcd_set_size(unsigned width16, unsigned height) {
    lcdDev.regs.width16 = width16 & 0x3F;
    lcdDev.regs.height = height & 0x3FF;
}
extern "C" void board_lcd_set_page_width(unsigned words) { lcdDev.regs.pageWidth = words & 0x7FF; }
extern "C" void board_lcd_set_panel_config(uint32_t word) { lcdDev.regs.panelConfig = word; }
extern "C" void board_lcd_set_hconfig(unsigned pulse, unsigned wait1, unsigned wait2) {
    lcdDev.regs.hpulse = pulse & 0x3F;
    lcdDev.regs.hwait1 = wait1 & 0xFF;
    lcdDev.regs.hwait2 = wait2 & 0xFF;
}
extern "C" void board_lcd_set_vconfig(unsigned pulse, unsigned wait1, unsigned wait2) {
    lcdDev.regs.vpulse = pulse & 0x3F;
    lcdDev.regs.vwait1 = wait1 & 0xFF;
    lcdDev.regs.vwait2 = wait2 & 0xFF;
}
extern "C" void board_lcd_set_panel_config2(uint32_t word) { lcdDev.regs.panelConfig2 = word; }
extern "C" void board_lcd_set_contrast(uint32_t word) { lcdDev.regs.contrast = word; }
extern "C" void board_lcd_set_dma_control(uint32_t word) { lcdDev.regs.dmaControl = word; }
extern "C" void board_lcd_set_refresh_mode(unsigned mode) {
    lcdDev.regs.refreshMode = mode;
    if (lcdDev.enabled())
        lcdDev.schedule();
    else
        lcdDev.stop();
}
extern "C" void board_lcd_set_lut(unsigned index, uint16_t rgb444) {
    if (index < 256) lcdDev.regs.lut[index] = rgb444 & 0x0FFF;
}
extern "C" int board_lcd_frame_status(void) {
    bool s = lcdDev.regs.frameStatus;
    lcdDev.regs.frameStatus = false;
    return s ? 1 : 0;
}
extern "C" void board_dma_keepalive_start(void) { lcdDev.regs.keepAlive = true; }
