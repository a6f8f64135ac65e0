// Module start-up in its fixed order, then the main loop.
#ifndef VMOD_MAIN_H
#define VMOD_MAIN_H

void InitEverything(void);
void KT_main(void);

#endif
