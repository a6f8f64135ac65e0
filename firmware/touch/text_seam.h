// Text output and screen reset as the touch screens use them. The text layer and the
// main-loop module define these; text_seam.cpp holds stand-ins (weak, so the real ones
// replace them at link time) for a build that does not have them yet.
#ifndef VMOD_TEXT_SEAM_H
#define VMOD_TEXT_SEAM_H

void GUI_DispString(const char *s);
void GUI_DispStringAt(const char *s, int x, int y);
int GUIDEMO_SetFont(const char *name);
void GUIDEMO_Clear(int bitmap);

#endif
