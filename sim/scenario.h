// The scenario runner: runs a script of the scenario language against the whole firmware on
// the simulated board, at fast pace.
#ifndef VMOD_SCENARIO_H
#define VMOD_SCENARIO_H

#include <string>

#include "script_text.h"

namespace scenario {

// Exit status of a run: 0 every check held, 1 a check failed, 2 the script could not be
// read or parsed.
int runScript(const std::string &path);

}  // namespace scenario

#endif
