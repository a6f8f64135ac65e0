// The built-in pictures (generated at build time with the fonts).
#ifndef VMOD_GUI_PICTURES_H
#define VMOD_GUI_PICTURES_H

#include "GUI.h"

// 64 x 64 RGB565 keys: raised and pressed.
extern const GUI_BITMAP bmbbutton_up, bmbbutton_dn;

#endif
