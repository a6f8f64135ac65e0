// The escapes of the scenario language's TEXT arguments, for the runner and for tools that read
// scripts.
#ifndef VMOD_SCRIPT_TEXT_H
#define VMOD_SCRIPT_TEXT_H

#include <string>

namespace scenario {

// Decodes the escapes of a TEXT argument (\r \n \t \e \\ \xHH). Returns false for a
// malformed escape.
bool unescape(const std::string &text, std::string &out);
// The inverse, for showing received bytes.
std::string escape(const std::string &bytes);

}  // namespace scenario

#endif
