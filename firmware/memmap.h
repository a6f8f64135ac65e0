// The board's 64 MiB SDRAM window and what lives in it. The addresses are the target's own;
// the simulated board maps the window at the same place, so 32-bit fields that hold SDRAM
// addresses (the fixed-up external-memory image) are real addresses on every board.
#ifndef VMOD_MEMMAP_H
#define VMOD_MEMMAP_H

#include <stdint.h>
#include "types.h"

#define SDRAM_BASE 0x08000000u
#define SDRAM_SIZE 0x04000000u  // 64 MiB

// The program's own RAM occupies the first 8 MiB on the target; display memory follows.
#define VRAM_ADDR 0x08800000u        // frame buffer: 640 x 480 RGB565, stride 640
#define VRAM_FRAME_BYTES 0x96000u    // one frame of 16-bit pixels
#define SCREEN_AREA_ADDR (VRAM_ADDR + VRAM_FRAME_BYTES)  // saved screen areas follow the frame
#define EXTMEM_ADDR 0x08C00000u      // staging buffer of the external-memory image
#define EXTMEM_SIZE 0x00B00000u      // 11 MiB
#define SDRAM_LAST_WORD 0x0BFFFFFCu  // written with a marker by interrupt_init

// The one place where a 32-bit SDRAM address becomes a pointer (pointers may be wider).
static inline void *sdramPtr(u32 addr) { return (void *)(uintptr_t)addr; }

// The inverse, for addresses known to lie inside the SDRAM window.
static inline u32 sdramAddr(const void *p) { return (u32)(uintptr_t)p; }

#endif
