// A field value as the data layer hands it out: Null, Boolean, integer, floating point,
// text (UTF-8; dates and times as "YYYY-MM-DD hh:mm:ss" text) or binary bytes.
#pragma once

#include <string>
#include <string_view>
#include <variant>

namespace db {

enum class ValueKind { Null, Bool, Int, Double, Text, Binary };

// How a floating-point number is written. Plain: positionally from 0.0001 up to 10^15, with
// ".0" on a whole number (300000.0), else with an exponent (1e+15). The others as the engine's
// own client writes it: SQLite as sqlite3 (300000.0, 1.0e+15, Inf); PostgreSQL as psql
// (300000, 1e+15, -0, NaN, Infinity; a single positionally below 10^6 only); MariaDB as the
// mariadb client (300000, 100000000000000, 1e15, 0.000000000000001, 1e-16, 0 for -0).
enum class RealForm { Plain, SQLite, PostgreSQL, MariaDB };
// The form of a connection's engine by its name; Plain for other engines.
RealForm realFormOf(std::string_view dbmsName);
// d with the shortest digits that read back as it (a single's digits when single).
std::string realText(double d, RealForm form, bool single = false);

class Value {
public:
    Value() = default;  // Null
    Value(bool b) : v_(b) {}
    Value(int i) : v_(static_cast<long long>(i)) {}
    Value(long i) : v_(static_cast<long long>(i)) {}
    Value(long long i) : v_(i) {}
    Value(double d) : v_(d) {}
    Value(std::string s) : v_(std::move(s)) {}
    Value(const char* s) : v_(std::string(s)) {}
    Value(std::string_view s) : v_(std::string(s)) {}
    static Value binary(std::string bytes);

    ValueKind kind() const;
    bool isNull() const { return kind() == ValueKind::Null; }

    // True for numbers and Booleans, and for text that reads whole as a decimal number
    // (blanks around it allowed).
    bool isNumeric() const;
    // Whether toString() gives text, without copying a text value.
    bool readsAs(std::string_view text) const;

    // Null gives "", a Boolean "True" or "False", numbers their shortest decimal form (Plain),
    // binary data its bytes.
    std::string toString() const;
    // The bytes of a text or binary value without copying them ("" for other kinds).
    std::string_view bytes() const;
    // Conversions; *ok (when given) tells whether the value converted. Null converts to 0/False
    // with ok false. Text "True"/"False" (any case) converts to a Boolean; numbers non-zero are True.
    long long toInt(bool* ok = nullptr) const;
    double toDouble(bool* ok = nullptr) const;
    bool toBool(bool* ok = nullptr) const;

    // Same kind and same content; numbers compare by value across Int, Double and Bool
    // (True equals -1 and 1 is not True, as the Boolean of the platform is -1).
    bool operator==(const Value& other) const;

private:
    struct Bin {
        std::string bytes;
        bool operator==(const Bin&) const = default;
    };
    std::variant<std::monostate, bool, long long, double, std::string, Bin> v_;
};

}  // namespace db
