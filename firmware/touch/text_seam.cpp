// Stand-ins for the text layer and the main-loop module's screen reset, used only while a
// build lacks them: text is not drawn, fonts are not changed. The screen reset does what the
// touch side needs of it (hot spots gone, origin home, screen cleared).
#include "text_seam.h"

#include "../command/parse_command.h"
#include "../gui/GUI.h"
#include "KT_touch.h"

__attribute__((weak)) void GUI_DispString(const char *) {}
__attribute__((weak)) void GUI_DispStringAt(const char *, int x, int y) { GUI_GotoXY(x, y); }
__attribute__((weak)) int GUIDEMO_SetFont(const char *) { return 0; }

__attribute__((weak)) void GUIDEMO_Clear(int bitmap) {
    KT_Touch_HotSpot_Clear();
    Origin_X = 0;
    Origin_Y = 0;
    if (bitmap == 0) GUI_Clear();
    GUI_GotoXY(0, 0);
    GUI_SetLBorder(0);
}
