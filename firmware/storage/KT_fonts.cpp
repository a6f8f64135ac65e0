// Font names and the current font.
#include "KT_fonts.h"

#include <string.h>

// The built-in names. Lookup takes the first match, so the compatibility names after "dummy"
// that repeat an earlier name are never found; "f?" lists the names before "dummy".
const FONT_ENTRY fontTable[FONT_TABLE_ENTRIES + 1] = {
    {"8s", &GUI_FontArial8},        {"8Bs", &GUI_FontArial8B},
    {"8", &GUI_FontArial8},         {"8B", &GUI_FontArial8B},
    {"10s", &GUI_FontArial10},      {"10Bs", &GUI_FontArial10B},
    {"10", &GUI_FontArial10AA4},    {"10B", &GUI_FontArial10BAA4},
    {"12", &GUI_FontArial12AA4},    {"12B", &GUI_FontArial12BAA4},
    {"14", &GUI_FontArial14AA4},    {"14B", &GUI_FontArial14BAA4},
    {"16", &GUI_FontArial16AA4},    {"16B", &GUI_FontArial16BAA4},
    {"20", &GUI_FontArial20AA4},    {"20B", &GUI_FontArial20BAA4},
    {"24", &GUI_FontArial24AA4},    {"24B", &GUI_FontArial24BAA4},
    {"32", &GUI_FontArial32AA4},    {"32B", &GUI_FontArial32BAA4},
    {"48", &GUI_FontMono48},        {"64", &GUI_FontMono64},
    {"m8", &GUI_FontMono8AA4},      {"m8B", &GUI_FontMono8BAA4},
    {"m10", &GUI_FontMono10AA4},    {"m10B", &GUI_FontMono10BAA4},
    {"m12", &GUI_FontMono12AA4},    {"m12B", &GUI_FontMono12BAA4},
    {"m14", &GUI_FontMono14AA4},    {"m14B", &GUI_FontMono14BAA4},
    {"m16", &GUI_FontMono16AA4},    {"m16B", &GUI_FontMono16BAA4},
    {"m20", &GUI_FontMono20AA4},    {"m20B", &GUI_FontMono20BAA4},
    {"m24", &GUI_FontMono24AA4},    {"m24B", &GUI_FontMono24BAA4},
    {"m32", &GUI_FontMono32AA4},    {"m32B", &GUI_FontMono32BAA4},
    {"m48", &GUI_FontMono48},       {"m64", &GUI_FontMono64},
    {"dummy", &GUI_FontArial8},
    {"10S", &GUI_FontArial8},       {"13", &GUI_FontArial10},
    {"13B", &GUI_FontArial10B},     {"x16", &GUI_Font16_1},
    {"x16B", &GUI_Font16B_1},       {"18BC", &GUI_FontArial24AA4},
    {"24", &GUI_FontArial24AA4},    {"24B", &GUI_FontArial24AA4},
    {"24BC", &GUI_FontArial24AA4},  {"32", &GUI_FontArial32AA4},
    {"32B", &GUI_FontArial32AA4},   {"4x6", &GUI_FontMono8AA4},
    {"6x8", &GUI_FontMono8AA4},     {"24x48", &GUI_FontMono48},
    {"40x80", &GUI_FontMono64},     {"6x9", &GUI_FontMono8AA4},
    {"8x8", &GUI_FontMono8AA4},     {"8x9", &GUI_FontMono8AA4},
    {"8x10", &GUI_FontMono10AA4},   {"8x12", &GUI_FontMono12AA4},
    {"8x13", &GUI_FontMono12AA4},   {"8x15B", &GUI_FontMono14AA4},
    {"8x16", &GUI_FontMono16AA4},   {"8x16L", &GUI_FontMono16AA4},
    {"12x24", &GUI_FontMono24AA4},  {"14x24", &GUI_FontMono24AA4},
    {"16x32", &GUI_FontMono32AA4},  {"16x32i", &GUI_FontMono32AA4},
    {"32x64", &GUI_FontMono64},     {"60x120", &GUI_FontMono64},
    {0, 0},
};

const FONT_ENTRY *currFontPtr;
GUI_FONT CmdFont;

static FONT_ENTRY userFonts[MAX_USER_FONTS];
static u32 userFontBytes[MAX_USER_FONTS];
static int userFontCount;
static int nameIndex;  // position of KT_FontName

void KT_Fonts_ClearUser(void) {
    // A saved state or the current entry may still point here: emptied entries name no font.
    memset(userFonts, 0, sizeof userFonts);
    memset(userFontBytes, 0, sizeof userFontBytes);
    userFontCount = 0;
    if (currFontPtr >= userFonts && currFontPtr < userFonts + MAX_USER_FONTS) currFontPtr = 0;
}

int KT_Fonts_AddUser(const char *name, const void *data, u32 numBytes) {
    if (userFontCount >= MAX_USER_FONTS || !name || !data) return 0;
    userFonts[userFontCount].name = name;
    userFonts[userFontCount].font = data;
    userFontBytes[userFontCount] = numBytes;
    ++userFontCount;
    return 1;
}

int KT_Fonts_UserCount(void) { return userFontCount; }

const FONT_ENTRY *KT_Fonts_User(int i) {
    return (i >= 0 && i < userFontCount) ? &userFonts[i] : 0;
}

const FONT_ENTRY *KT_FindFont(const char *name) {
    if (!name) return 0;
    for (const FONT_ENTRY *e = fontTable; e->name; ++e)
        if (strcmp(e->name, name) == 0) return e;
    for (int i = 0; i < userFontCount; ++i)
        if (userFonts[i].name && strcmp(userFonts[i].name, name) == 0) return &userFonts[i];
    return 0;
}

int KT_SetFont(const FONT_ENTRY *entry, GUI_FONT *storage) {
    if (!entry || !entry->font) return 0;
    bool user = entry >= userFonts && entry < userFonts + MAX_USER_FONTS;
    if (user || GUI_SIF_IsSIF(entry->font)) {
        // Only the image's fonts are SIF blocks, and only their registered size bounds them.
        if (!user || !storage) return 0;
        u32 bytes = userFontBytes[entry - userFonts];
        return GUI_SIF_CreateFontSized(entry->font, bytes, storage, &GUI_SIF_TYPE_PROP);
    }
    GUI_SetFont((const GUI_FONT *)entry->font);
    return 1;
}

const FONT_ENTRY *KT_GetFontPtr(void) { return currFontPtr; }

const char *KT_GetCurrentFontName(void) {
    return (currFontPtr && currFontPtr->name) ? currFontPtr->name : "";
}

const char *KT_FontName(void) {
    const char *name = fontTable[nameIndex].name;
    nameIndex = name ? nameIndex + 1 : 0;
    return name;
}
