// The headless driver: plays a script of user actions against a Workspace and
// prints queries and events in fixed forms.
#pragma once

#include <istream>
#include <ostream>
#include <string>

namespace tavrine {

// Escapes CR, LF, tab and backslash as \r, \n, \t, \\ for output.
std::string EscapeText(const std::string& s);
// Resolves the script escapes \r \n \t \s \\ of a TEXT argument.
std::string UnescapeText(const std::string& s);

// Runs the script; returns the exit status (0, or 2 for a line it cannot
// understand, reported on err with its line number).
int RunScript(std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace tavrine
