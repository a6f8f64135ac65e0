// Pin set-up beyond the board seam, for the drivers that route pins through a GPIO's
// peripheral paths (the touch controller's CSPI2 on port D).
#ifndef VMOD_IMX1_GPIO_H
#define VMOD_IMX1_GPIO_H

#include <stdint.h>

void imx1_gpio_output_source(int port, int pin, uint32_t ocr);  // GPIO_OCR_* of an output pin
void imx1_gpio_input_path(int port, int pin, uint32_t iconfA);  // where the pin's A input goes

#endif
