// Small text helpers shared across the program (UTF-8 std::string; case changes are ASCII).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace text {

std::string trim(std::string_view s);  // blanks, tabs and line ends at both ends
std::string lower(std::string_view s);
std::string upper(std::string_view s);
std::string replaceAll(std::string s, std::string_view from, std::string_view to);
// Percent-encodes everything but letters, digits and "-_.~" (for URL query values).
std::string percentEncode(std::string_view s);
// The statements of SQL text written one to a line: a line ends its statement unless it ends
// inside a quoted name or literal ('...', "...", `...`, [...]), a /* */ comment or parentheses,
// so a line break inside a name or literal stays in its statement. Blank lines are left out;
// each statement keeps its text as written.
std::vector<std::string> statementLines(std::string_view sql);

}  // namespace text
