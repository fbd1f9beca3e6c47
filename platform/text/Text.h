// Small text helpers shared across the program (UTF-8 std::string; case changes are ASCII).
#pragma once

#include <string>
#include <string_view>

namespace text {

std::string trim(std::string_view s);  // blanks, tabs and line ends at both ends
std::string lower(std::string_view s);
std::string upper(std::string_view s);
std::string replaceAll(std::string s, std::string_view from, std::string_view to);
// Percent-encodes everything but letters, digits and "-_.~" (for URL query values).
std::string percentEncode(std::string_view s);

}  // namespace text
