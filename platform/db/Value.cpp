#include "platform/db/Value.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace db {

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

bool parseDouble(std::string_view text, double& out) {
    std::string_view s = trimmed(text);
    if (s.empty()) return false;
    if (s.front() == '+') s.remove_prefix(1);
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size() && std::isfinite(out);
}

bool parseInt(std::string_view text, long long& out) {
    std::string_view s = trimmed(text);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return !s.empty() && ec == std::errc() && p == s.data() + s.size();
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

RealForm realFormOf(std::string_view dbmsName) {
    auto starts = [&](std::string_view w) {
        return dbmsName.size() >= w.size() && equalsNoCase(dbmsName.substr(0, w.size()), w);
    };
    if (starts("sqlite")) return RealForm::SQLite;
    if (starts("postgresql")) return RealForm::PostgreSQL;
    if (starts("mariadb") || starts("mysql")) return RealForm::MariaDB;
    return RealForm::Plain;
}

// The shortest digits that read back as the same number (a single's own digits: the readers
// widen a single through them), placed as the form says.
std::string realText(double d, RealForm form, bool single) {
    if (std::isnan(d)) return form == RealForm::PostgreSQL ? "NaN" : "nan";
    if (std::isinf(d)) {
        const char* name = form == RealForm::PostgreSQL ? "Infinity" : form == RealForm::SQLite ? "Inf" : "inf";
        return (d < 0 ? "-" : "") + std::string(name);
    }
    char buf[64];
    const auto [p, ec] = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific);
    if (ec != std::errc()) return {};
    // buf: [-]d[.ddd]e[+-]xx
    std::string_view sci(buf, p - buf);
    const bool negative = sci.front() == '-';
    if (negative) sci.remove_prefix(1);
    const auto e = sci.find('e');
    std::string digits(sci.substr(0, e));
    if (digits.size() > 1) digits.erase(1, 1);  // the point
    int exponent = 0;
    std::from_chars(sci.data() + e + (sci[e + 1] == '+' ? 2 : 1), sci.data() + sci.size(), exponent);
    const int n = static_cast<int>(digits.size());
    if (d == 0) {
        if (form == RealForm::MariaDB) return "0";
        if (form == RealForm::PostgreSQL) return negative ? "-0" : "0";
        return negative ? "-0.0" : "0.0";
    }

    bool positional = false;
    switch (form) {
    case RealForm::PostgreSQL: positional = exponent >= -4 && exponent < (single ? 6 : 15); break;
    case RealForm::MariaDB: positional = exponent >= -15 && (exponent < 15 || n > exponent + 1); break;
    default: positional = exponent >= -4 && exponent < 15; break;
    }
    std::string out = negative ? "-" : "";
    if (positional) {
        if (exponent < 0) {
            out += "0.";
            out.append(static_cast<size_t>(-exponent - 1), '0');
            out += digits;
        } else if (n > exponent + 1) {
            out += digits.substr(0, static_cast<size_t>(exponent + 1));
            out += '.';
            out += digits.substr(static_cast<size_t>(exponent + 1));
        } else {
            out += digits;
            out.append(static_cast<size_t>(exponent + 1 - n), '0');
            if (form == RealForm::Plain || form == RealForm::SQLite) out += ".0";
        }
        return out;
    }
    out += digits.front();
    if (n > 1) out += '.' + digits.substr(1);
    else if (form == RealForm::SQLite) out += ".0";
    out += 'e';
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (exponent < 0) out += '-';
    else if (form != RealForm::MariaDB) out += '+';
    if (magnitude < 10 && form != RealForm::MariaDB) out += '0';
    out += std::to_string(magnitude);
    return out;
}

Value Value::binary(std::string bytes) {
    Value v;
    v.v_ = Bin{std::move(bytes)};
    return v;
}

ValueKind Value::kind() const {
    switch (v_.index()) {
    case 1: return ValueKind::Bool;
    case 2: return ValueKind::Int;
    case 3: return ValueKind::Double;
    case 4: return ValueKind::Text;
    case 5: return ValueKind::Binary;
    default: return ValueKind::Null;
    }
}

std::string_view Value::bytes() const {
    if (const auto* t = std::get_if<std::string>(&v_)) return *t;
    if (const auto* b = std::get_if<Bin>(&v_)) return b->bytes;
    return {};
}

bool Value::readsAs(std::string_view text) const {
    if (const auto* t = std::get_if<std::string>(&v_)) return *t == text;
    return toString() == text;
}

bool Value::isNumeric() const {
    switch (kind()) {
    case ValueKind::Bool:
    case ValueKind::Int:
    case ValueKind::Double: return true;
    case ValueKind::Text: {
        double d;
        return parseDouble(std::get<std::string>(v_), d);
    }
    default: return false;
    }
}

std::string Value::toString() const {
    switch (kind()) {
    case ValueKind::Bool: return std::get<bool>(v_) ? "True" : "False";
    case ValueKind::Int: return std::to_string(std::get<long long>(v_));
    case ValueKind::Double: return realText(std::get<double>(v_), RealForm::Plain);
    case ValueKind::Text: return std::get<std::string>(v_);
    case ValueKind::Binary: return std::get<Bin>(v_).bytes;
    default: return {};
    }
}

long long Value::toInt(bool* ok) const {
    bool good = true;
    long long r = 0;
    switch (kind()) {
    case ValueKind::Bool: r = std::get<bool>(v_) ? -1 : 0; break;
    case ValueKind::Int: r = std::get<long long>(v_); break;
    case ValueKind::Double: {
        double d = std::get<double>(v_);
        good = std::isfinite(d) && std::fabs(d) < 9.2e18;
        r = good ? std::llround(d) : 0;
        break;
    }
    case ValueKind::Text: {
        const std::string& s = std::get<std::string>(v_);
        if (!parseInt(s, r)) {
            double d;
            good = parseDouble(s, d) && std::fabs(d) < 9.2e18;
            r = good ? std::llround(d) : 0;
        }
        break;
    }
    default: good = false;
    }
    if (ok) *ok = good;
    return r;
}

double Value::toDouble(bool* ok) const {
    bool good = true;
    double r = 0;
    switch (kind()) {
    case ValueKind::Bool: r = std::get<bool>(v_) ? -1 : 0; break;
    case ValueKind::Int: r = static_cast<double>(std::get<long long>(v_)); break;
    case ValueKind::Double: r = std::get<double>(v_); break;
    case ValueKind::Text: good = parseDouble(std::get<std::string>(v_), r); if (!good) r = 0; break;
    default: good = false;
    }
    if (ok) *ok = good;
    return r;
}

bool Value::toBool(bool* ok) const {
    bool good = true;
    bool r = false;
    switch (kind()) {
    case ValueKind::Bool: r = std::get<bool>(v_); break;
    case ValueKind::Int: r = std::get<long long>(v_) != 0; break;
    case ValueKind::Double: r = std::get<double>(v_) != 0; break;
    case ValueKind::Text: {
        std::string_view s = trimmed(std::get<std::string>(v_));
        double d;
        if (equalsNoCase(s, "true")) r = true;
        else if (equalsNoCase(s, "false")) r = false;
        else if (parseDouble(s, d)) r = d != 0;
        else good = false;
        break;
    }
    default: good = false;
    }
    if (ok) *ok = good;
    return r;
}

bool Value::operator==(const Value& o) const {
    const ValueKind a = kind(), b = o.kind();
    auto numeric = [](ValueKind k) { return k == ValueKind::Bool || k == ValueKind::Int || k == ValueKind::Double; };
    if (numeric(a) && numeric(b)) {
        if (a == ValueKind::Int && b == ValueKind::Int) return std::get<long long>(v_) == std::get<long long>(o.v_);
        return toDouble() == o.toDouble();
    }
    return v_ == o.v_;
}

}  // namespace db
