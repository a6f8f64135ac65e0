// Module start-up in its fixed order of named steps, then the main loop.
#ifndef VMOD_MAIN_H
#define VMOD_MAIN_H

struct StartupStep {
    const char *name;
    void (*run)(void);
};
extern const StartupStep startupSteps[];
extern const int startupStepCount;

void InitEverything(void);

// Runs the start-up steps in order up to and including the one named `last` (all of them
// for a null name). Returns 0 when no step has that name (all steps have run then).
int KT_StartUpTo(const char *last);

// The whole start-up, then the main loop; never returns.
void KT_main(void);

#endif
