// The LCD controller: start-up for the 640 x 480 panel, the frame clock and the colour table.
#ifndef VMOD_LCD_DRIVER_H
#define VMOD_LCD_DRIVER_H

#include "../types.h"

// Panel geometry, set by InitLCD_VGA (the drawing layer sizes its frame buffer at build time
// and never goes beyond 640 x 480 whatever these hold).
extern u16 LCD_WIDTH;
extern u16 LCD_HEIGHT;
extern u32 LCD_PIXELS;
extern u8 IMAGE_BPP;

extern u16 *vram;               // the frame buffer the controller scans out
extern u32 msPerFrame;          // frame period in whole milliseconds
// Milliseconds since the controller last reported the beginning of a frame: the 1 ms tick
// sets it to 0 when board_lcd_frame_status() reports a new frame, else increments it.
extern volatile u32 frameTimer;

// The frame-position counter, first in the 1 ms tick: frameTimer back to 0 when the controller
// reports the beginning of a frame, else one more millisecond.
void lcdFrameTick(void);

// Called once by the drawing layer's display start-up with 640, 480, 16. Returns 1.
int InitLCD(int width, int height, int bpp);
// Geometry, panel timing (defaults from the settings), controller programming, msPerFrame and
// the DMA keep-alive.
void InitLCD_VGA(void);
// Writes the timing registers from the six timing fields of eepromData and brings msPerFrame
// in line with the frame period they give.
void lcdApplyTiming(void);
// Loads the controller's 256-entry colour table: entry i is the colour of pixel index i, in
// 12 bits (the top four bits of red, green and blue).
void KT_Reset_LUT(void);
// Waits until it is safe to draw at screen row y: the scan is half a frame away from it.
// Returns after at most 20 ms (it uses gpTimer, shortening a wait the caller runs on it).
void wvr(int y);
// The 12-bit colour-table value of pixel index i.
u16 lutEntry(unsigned index);

#endif
