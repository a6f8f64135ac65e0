// Polygons: filled, outlined and rotated.
#ifndef VMOD_GUI_POLYGON_H
#define VMOD_GUI_POLYGON_H

#include "GUI.h"

#define GUI_POLYGON_MAX_CROSSINGS 12  // edge crossings kept per scan line

// The polygon of n points, each moved by (x, y).
void GUI_FillPolygon(const GUI_POINT *pPoints, int n, int x, int y);
void GUI_DrawPolygon(const GUI_POINT *pPoints, int n, int x, int y);
// The same filler for points in int coordinates.
void GUI_FillPolygonInt(const int *xs, const int *ys, int n);
// pDest[i] = pSrc[i] turned by angle (radians): x' = x cos a + y sin a, y' = -x sin a + y cos a,
// truncated toward zero.
void GUI_RotatePolygon(GUI_POINT *pDest, const GUI_POINT *pSrc, int n, float angle);

#endif
