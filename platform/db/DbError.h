// Errors of the data layer. Numbers are the ones callers branch on.
#pragma once

#include <stdexcept>
#include <string>

namespace db {

namespace err {
constexpr long NoCurrentRecord = 3021;      // at BOF or EOF
constexpr long ArgumentsWrong = 3001;       // bad argument (unknown schema, malformed string)
constexpr long NotSupported = 3251;         // provider cannot perform the requested operation
constexpr long ItemNotFound = 3265;         // no field of that name
constexpr long ObjectClosed = 3704;         // operation not allowed on a closed object
constexpr long ObjectOpen = 3705;           // operation not allowed on an open object
constexpr long ProviderNotFound = 3706;     // provider (driver) missing
constexpr long InvalidConnection = 3709;    // no open connection
constexpr long Fail = -2147467259;          // E_FAIL (0x80004005): generic provider error
constexpr long AuthFailed = -2147217843;    // DB_SEC_E_AUTH_FAILED (0x80040E4D): login failed
constexpr long ErrorsInCommand = -2147217900;  // DB_E_ERRORSINCOMMAND (0x80040E14)
constexpr long NoTable = -2147217865;          // DB_E_NOTABLE (0x80040E37)
constexpr long IntegrityViolation = -2147217873;  // DB_E_INTEGRITYVIOLATION (0x80040E2F)
constexpr long Timeout = -2147217871;          // DB_E_ABORTLIMITREACHED (0x80040E31)
}  // namespace err

// One entry of a connection's error list: a diagnostic record of the driver.
struct ProviderError {
    long number = 0;         // mapped number (err::...)
    std::string description; // driver's message text
    std::string source;      // driver name, or "Dalvane data layer"
    std::string sqlState;    // five-character SQLSTATE
    long nativeError = 0;    // the engine's own error number
};

// Thrown by every failing operation. number() is the number of the first provider error when
// the failure came from the driver.
class Error : public std::runtime_error {
public:
    Error(long number, const std::string& description, std::string source = "Dalvane data layer",
          std::string sqlState = {}, long nativeError = 0)
        : std::runtime_error(description), number_(number), source_(std::move(source)),
          sqlState_(std::move(sqlState)), native_(nativeError) {}
    long number() const { return number_; }
    std::string description() const { return what(); }
    const std::string& source() const { return source_; }
    const std::string& sqlState() const { return sqlState_; }
    long nativeError() const { return native_; }

private:
    long number_;
    std::string source_;
    std::string sqlState_;
    long native_;
};

}  // namespace db
