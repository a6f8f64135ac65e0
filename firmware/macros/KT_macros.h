// Macros: stored command sequences run by number.
#ifndef VMOD_KT_MACROS_H
#define VMOD_KT_MACROS_H

#include "../types.h"

// Nesting depth of the macro being run: 0 while a host line runs, 1 inside a macro, 2 inside a
// macro that another one called, and so on. Selects the graphics-state record of "ss"/"sr".
extern u8 macroDepth;

#endif
