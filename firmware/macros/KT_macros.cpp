// Macros: stored command sequences run by number.
#include "KT_macros.h"

u8 macroDepth;
