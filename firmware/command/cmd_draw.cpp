// Command handlers. Drawing and text: pixels, graphics state, text, colours, modes, shapes,
// screen areas.
#include "handlers.h"

int cmdPixel(char *line) { return 0; }
int cmdSaveState(char *line) { return 0; }
int cmdRestoreState(char *line) { return 0; }
int cmdTextAtCursor(char *line) { return 0; }
int cmdTextPlain(char *line) { return 0; }
int cmdText(char *line) { return 0; }
int cmdTextKeepMode(char *line) { return 0; }
int cmdPenSize(char *line) { return 0; }
int cmdTextAlign(char *line) { return 0; }
int cmdDrawMode(char *line) { return 0; }
int cmdColorIndex(char *line) { return 0; }
int cmdColorReport(char *line) { return 0; }
int cmdColorSet(char *line) { return 0; }
int cmdTextMode(char *line) { return 0; }
int cmdCursor(char *line) { return 0; }
int cmdOrigin(char *line) { return 0; }
int cmdClearKeep(char *line) { return 0; }
int cmdClear(char *line) { return 0; }
int cmdLine(char *line) { return 0; }
int cmdRect(char *line) { return 0; }
int cmdTriangle(char *line) { return 0; }
int cmdCircle(char *line) { return 0; }
int cmdFontSelect(char *line) { return 0; }
int cmdState(char *line) { return 0; }
int cmdPicture(char *line) { return 0; }
int cmdUtf8(char *line) { return 0; }
int cmdSaveArea(char *line) { return 0; }
int cmdRestoreArea(char *line) { return 0; }
