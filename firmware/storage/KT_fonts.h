// The font table: short font names ("16B", "m12") mapped to the built-in fonts, then to the
// user fonts of the external-memory image; the current font entry and the font commands' data.
#ifndef VMOD_KT_FONTS_H
#define VMOD_KT_FONTS_H

#include "../gui/GUI.h"

typedef struct {
    const char *name;  // NUL-terminated
    const void *font;  // a built-in GUI_FONT, or the SIF block of a user font ("GUIP" first)
} FONT_ENTRY;

#define FONT_TABLE_ENTRIES 71  // built-in names, the terminating entry not counted
#define MAX_USER_FONTS 256     // user fonts an image can register

extern const FONT_ENTRY fontTable[FONT_TABLE_ENTRIES + 1];
extern const FONT_ENTRY *currFontPtr;  // entry of the current font (null before the first)
extern GUI_FONT CmdFont;               // descriptor storage for the selected user font

// First entry named exactly `name`: the built-in table first, then the user fonts in image
// directory order. Null when none.
const FONT_ENTRY *KT_FindFont(const char *name);
// Makes the entry's font current: a built-in through GUI_SetFont, a user font through
// GUI_SIF_CreateFontSized into `storage` (bounded by the size the image gave). 1, or 0 when a
// user font cannot be used (no storage, not a SIF block, a damaged header): nothing changes then.
int KT_SetFont(const FONT_ENTRY *entry, GUI_FONT *storage);
const FONT_ENTRY *KT_GetFontPtr(void);
const char *KT_GetCurrentFontName(void);  // "" before any font was chosen by name
// Each call: the next name of fontTable from the first; after the last a call returns null
// and the iteration starts over.
const char *KT_FontName(void);

// ---- the seam to the external-memory image ----
// The image loader registers each user-font record (type 4) in directory order after a load,
// and clears them before the staging buffer is overwritten. name and data point into the image;
// numBytes bounds every read of the font data.
void KT_Fonts_ClearUser(void);
int KT_Fonts_AddUser(const char *name, const void *data, u32 numBytes);  // 1, or 0 when full
int KT_Fonts_UserCount(void);
const FONT_ENTRY *KT_Fonts_User(int i);  // null outside 0..count-1

#endif
