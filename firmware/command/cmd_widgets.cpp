// Command handlers. Widgets: meters, linear and circular sliders, strip charts, level bars.
#include "handlers.h"

int cmdMeterDefine(char *line) { return 0; }
int cmdMeterValue(char *line) { return 0; }
int cmdSliderDefine(char *line) { return 0; }
int cmdSliderValue(char *line) { return 0; }
int cmdCircSliderDefine(char *line) { return 0; }
int cmdCircSliderValue(char *line) { return 0; }
int cmdChartDefine(char *line) { return 0; }
int cmdChartValues(char *line) { return 0; }
int cmdLevelBarDefine(char *line) { return 0; }
int cmdLevelBarValue(char *line) { return 0; }
