#include "platform/text/Text.h"

#include <cctype>

namespace text {

std::string trim(std::string_view s) {
    const auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    size_t b = 0, e = s.size();
    while (b < e && space(s[b])) ++b;
    while (e > b && space(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string replaceAll(std::string s, std::string_view from, std::string_view to) {
    if (from.empty()) return s;
    size_t pos = 0;
    while ((pos = s.find(from, pos)) != std::string::npos) {
        s.replace(pos, from.size(), to);
        pos += to.size();
    }
    return s;
}

std::string percentEncode(std::string_view s) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::vector<std::string> statementLines(std::string_view sql) {
    std::vector<std::string> out;
    std::string statement;
    char quote = 0;      // the closing quote of the name or literal the scan is in
    bool comment = false;  // in a /* */ comment
    int depth = 0;       // open parentheses
    size_t start = 0;
    while (start <= sql.size()) {
        size_t end = sql.find('\n', start);
        if (end == std::string_view::npos) end = sql.size();
        const std::string_view line = sql.substr(start, end - start);
        for (size_t i = 0; i < line.size(); ++i) {
            const char c = line[i];
            if (comment) {
                if (c == '*' && i + 1 < line.size() && line[i + 1] == '/') comment = false, ++i;
            } else if (quote) {
                // a doubled quote stands for itself: read as a close and a reopen
                if (c == quote) quote = 0;
            } else if (c == '-' && i + 1 < line.size() && line[i + 1] == '-') {
                break;
            } else if (c == '/' && i + 1 < line.size() && line[i + 1] == '*') {
                comment = true, ++i;
            } else if (c == '\'' || c == '"' || c == '`') {
                quote = c;
            } else if (c == '[') {
                quote = ']';
            } else if (c == '(') {
                ++depth;
            } else if (c == ')' && depth > 0) {
                --depth;
            }
        }
        if (!statement.empty()) statement += '\n';
        statement += line;
        if (!quote && !comment && depth == 0) {
            if (!trim(statement).empty()) out.push_back(std::move(statement));
            statement.clear();
        }
        start = end + 1;
    }
    if (!trim(statement).empty()) out.push_back(std::move(statement));
    return out;
}

}  // namespace text
