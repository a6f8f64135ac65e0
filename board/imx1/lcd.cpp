// The LCD controller (scanning the frame buffer out of SDRAM), its colour table and
// beginning-of-frame status, and the DMA keep-alive transfer beside it.
#include "board.h"
#include "imx1.h"
#include "regs.h"

extern "C" void board_lcd_set_start(uint32_t addr) { imx1_write32(LCDC_SSA, addr); }

extern "C" void board_lcd_set_size(unsigned width16, unsigned height) {
    imx1_write32(LCDC_SIZE, ((uint32_t)(width16 & 0x3F) << 20) | (height & 0x1FF));
}

extern "C" void board_lcd_set_page_width(unsigned words) { imx1_write32(LCDC_VPW, words & 0x3FF); }
extern "C" void board_lcd_set_panel_config(uint32_t word) { imx1_write32(LCDC_PCR, word); }

static uint32_t timingWord(unsigned pulse, unsigned wait1, unsigned wait2) {
    return ((uint32_t)(pulse & 0x3F) << 26) | ((uint32_t)(wait1 & 0xFF) << 8) | (wait2 & 0xFF);
}

extern "C" void board_lcd_set_hconfig(unsigned pulse, unsigned wait1, unsigned wait2) {
    imx1_write32(LCDC_HCR, timingWord(pulse, wait1, wait2));
}

extern "C" void board_lcd_set_vconfig(unsigned pulse, unsigned wait1, unsigned wait2) {
    imx1_write32(LCDC_VCR, timingWord(pulse, wait1, wait2));
}

extern "C" void board_lcd_set_panel_config2(uint32_t word) { imx1_write32(LCDC_LSCR1, word); }
extern "C" void board_lcd_set_contrast(uint32_t word) { imx1_write32(LCDC_PWMR, word); }
extern "C" void board_lcd_set_dma_control(uint32_t word) { imx1_write32(LCDC_DMACR, word); }
extern "C" void board_lcd_set_refresh_mode(unsigned mode) { imx1_write32(LCDC_RMCR, mode); }

extern "C" void board_lcd_set_lut(unsigned index, uint16_t rgb444) {
    if (index < 256) imx1_write32(LCDC_LUT(index), rgb444 & 0x0FFFu);
}

// The status register clears itself when read: one read per tick sees each frame once.
extern "C" int board_lcd_frame_status(void) { return (imx1_read32(LCDC_LCDISR) & LCDISR_BOF) ? 1 : 0; }

// Channel 0 copies one word of the boot ROM onto itself for ever, with a bus-utilisation
// value of 61 clocks between bursts, so that the system DMA stays active beside the LCD's.
#define KEEPALIVE_ADDR 0x0010001Cu
#define KEEPALIVE_BUS_UTILISATION 61u

extern "C" void board_dma_keepalive_start(void) {
    imx1_set_bits(DMA_DCR, DMA_DCR_DEN);
    imx1_write32(DMA_CH0 + DMA_CCR, 0);
    imx1_write32(DMA_CH0 + DMA_SAR, KEEPALIVE_ADDR);
    imx1_write32(DMA_CH0 + DMA_DAR, KEEPALIVE_ADDR);
    imx1_write32(DMA_CH0 + DMA_CNTR, 4);
    imx1_write32(DMA_CH0 + DMA_BLR, 4);
    imx1_write32(DMA_CH0 + DMA_BUCR, KEEPALIVE_BUS_UTILISATION);
    imx1_write32(DMA_CH0 + DMA_CCR, DMA_CCR_SSIZ32 | DMA_CCR_DSIZ32 | DMA_CCR_RPT | DMA_CCR_CEN);
}
