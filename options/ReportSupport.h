// Small text helpers shared by the cReport sources.
#pragma once

#include "platform/text/Text.h"
#include "platform/xml/Xml.h"

#include <optional>
#include <string>
#include <string_view>

namespace report_support {

// Replaces every occurrence of from (non-empty) by to.
using text::replaceAll;

// Decimal text as a 16-bit integer (blanks around allowed); nullopt when not a number or out of
// range.
std::optional<int> parseInt16(std::string_view text);

// Text as a Boolean: "True"/"False" in any case, or a number (non-zero is True); nullopt for
// anything else.
std::optional<bool> parseBool(std::string_view text);

inline const char* boolText(bool v) { return v ? "True" : "False"; }

// Blanks the secrets of every set of connection options (DBOPTIONS) at or below node: the
// secret PARAMETER values and the secret pairs of CONNECTIONSTRING/@Value. Structure documents
// and every file made from them carry options so; only the project document keeps them whole.
void blankSecrets(const xml::Node& node);

}  // namespace report_support
