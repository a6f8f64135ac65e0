// Circles, ellipses and arcs.
#ifndef VMOD_GUI_CIRCLE_H
#define VMOD_GUI_CIRCLE_H

#include "GUI.h"

// Negative radii draw nothing; radius 0 is the centre pixel.
void GUI_DrawCircle(int x0, int y0, int r);
void GUI_FillCircle(int x0, int y0, int r);
void GUI_DrawEllipse(int x0, int y0, int rx, int ry);
void GUI_FillEllipse(int x0, int y0, int rx, int ry);
// A band as thick as the pen along the circle of radius r from angle a0 to a1 (whole degrees,
// counter-clockwise from 3 o'clock); ry is not used. Nothing when a1 < a0.
void GL_DrawArc(int x0, int y0, int r, int ry, int a0, int a1);
void GUI_DrawArc(int x0, int y0, int r, int ry, int a0, int a1);

#endif
