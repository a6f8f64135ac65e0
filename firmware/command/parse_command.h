// The command interpreter's entry points used by the main loop.
#ifndef VMOD_PARSE_COMMAND_H
#define VMOD_PARSE_COMMAND_H

int parse_command(char *line);
bool killTrailingComment(char *line);

#endif
