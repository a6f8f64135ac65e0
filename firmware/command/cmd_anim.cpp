// Command handlers. Animations: the step buffer, frames, blinking text.
#include "handlers.h"

int cmdAnimClear(char *line) { return 0; }
int cmdAnimSetFrame(char *line) { return 0; }
int cmdAnimDelete(char *line) { return 0; }
int cmdAnimRewind(char *line) { return 0; }
int cmdAnimStart(char *line) { return 0; }
int cmdAnimAddStep(char *line) { return 0; }
int cmdBlinkText(char *line) { return 0; }
int cmdAnimSpace(char *line) { return 0; }
