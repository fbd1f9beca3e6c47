#include "platform/db/OdbcSupport.h"
#include "platform/text/Text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <mutex>

namespace db {

namespace {

using odbc::ok;

struct Diag {
    std::string state;
    long native = 0;
    std::string message;
};

std::vector<Diag> diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    std::vector<Diag> out;
    if (!handle) return out;
    for (SQLSMALLINT i = 1; i < 50; ++i) {
        SQLCHAR state[6] = {0};
        SQLINTEGER native = 0;
        SQLCHAR msg[4096];
        SQLSMALLINT len = 0;
        SQLRETURN rc = SQLGetDiagRec(type, handle, i, state, &native, msg, sizeof msg, &len);
        if (!ok(rc)) break;
        Diag d;
        d.state = reinterpret_cast<char*>(state);
        d.native = native;
        d.message.assign(reinterpret_cast<char*>(msg), std::min<size_t>(len, sizeof msg - 1));
        out.push_back(std::move(d));
    }
    return out;
}

}  // namespace

namespace odbc {

std::optional<long long> firstInteger(SQLHDBC dbc, const std::string& sql) {
    SQLHSTMT h = SQL_NULL_HSTMT;
    if (!ok(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &h))) return std::nullopt;
    SQLBIGINT n = 0;
    SQLLEN indicator = 0;
    Awaiting awaiting;
    const bool read = ok(SQLExecDirect(h, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS)) &&
                      ok(SQLFetch(h)) && ok(SQLGetData(h, 1, SQL_C_SBIGINT, &n, 0, &indicator)) &&
                      indicator != SQL_NULL_DATA;
    SQLFreeHandle(SQL_HANDLE_STMT, h);
    if (!read) return std::nullopt;
    return static_cast<long long>(n);
}

SQLHENV environment() {
    static SQLHENV env = [] {
        SQLHENV h = SQL_NULL_HENV;
        if (!ok(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h))) return SQLHENV(SQL_NULL_HENV);
        SQLSetEnvAttr(h, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        return h;
    }();
    if (!env) throw Error(err::ProviderNotFound, "The ODBC driver manager could not be initialised.");
    return env;
}

std::vector<std::string> installedDrivers() {
    static std::mutex m;
    std::lock_guard<std::mutex> lock(m);
    std::vector<std::string> out;
    SQLHENV env = environment();
    SQLCHAR name[512], attrs[2048];
    SQLSMALLINT nameLen = 0, attrLen = 0;
    SQLUSMALLINT dir = SQL_FETCH_FIRST;
    while (ok(SQLDrivers(env, dir, name, sizeof name, &nameLen, attrs, sizeof attrs, &attrLen))) {
        out.emplace_back(reinterpret_cast<char*>(name));
        dir = SQL_FETCH_NEXT;
    }
    return out;
}

std::string dataSourceDriver(const std::string& dsn) {
    static std::mutex m;
    std::lock_guard<std::mutex> lock(m);
    SQLHENV env = environment();
    SQLCHAR name[SQL_MAX_DSN_LENGTH + 1], driver[512];
    SQLSMALLINT nameLen = 0, driverLen = 0;
    SQLUSMALLINT dir = SQL_FETCH_FIRST;
    std::string found;
    while (ok(SQLDataSources(env, dir, name, sizeof name, &nameLen, driver, sizeof driver, &driverLen))) {
        dir = SQL_FETCH_NEXT;
        if (found.empty() && text::lower(reinterpret_cast<char*>(name)) == text::lower(dsn))
            found = reinterpret_cast<char*>(driver);
    }
    return found;
}

long mapSqlState(const std::string& state, long native, const std::string& message) {
    const std::string msg = text::lower(message);
    if (state == "28000" || native == 18456 || native == 1045 || msg.find("password authentication failed") != std::string::npos ||
        msg.find("login failed") != std::string::npos)
        return err::AuthFailed;
    if (state == "IM002" || state == "IM003") return err::ProviderNotFound;
    if (state == "IM001" || state == "HYC00") return err::NotSupported;
    if (state == "42S02") return err::NoTable;
    if (state.rfind("42", 0) == 0 || state == "37000") return err::ErrorsInCommand;
    if (state.rfind("23", 0) == 0) return err::IntegrityViolation;
    if (state == "HYT00" || state == "HYT01") return err::Timeout;
    return err::Fail;
}

int adoType(SQLSMALLINT sqlType, std::string_view typeName, bool tdsDriver) {
    const bool isUnsigned = text::lower(typeName).find("unsigned") != std::string::npos;
    switch (sqlType) {
    case SQL_CHAR: return adtype::Char;
    case SQL_VARCHAR: return adtype::VarChar;
    case SQL_LONGVARCHAR: return adtype::LongVarChar;
    case SQL_WCHAR: return adtype::WChar;
    case SQL_WVARCHAR: return adtype::VarWChar;
    case SQL_WLONGVARCHAR: return adtype::LongVarWChar;
    case SQL_DECIMAL:
    case SQL_NUMERIC: return adtype::Numeric;
    case SQL_SMALLINT: return isUnsigned ? adtype::UnsignedSmallInt : adtype::SmallInt;
    case SQL_INTEGER: return isUnsigned ? adtype::UnsignedInt : adtype::Integer;
    case SQL_BIGINT: return isUnsigned ? adtype::UnsignedBigInt : adtype::BigInt;
    case SQL_TINYINT: return isUnsigned || tdsDriver ? adtype::UnsignedTinyInt : adtype::TinyInt;
    case SQL_REAL: return adtype::Single;
    case SQL_FLOAT:
    case SQL_DOUBLE: return adtype::Double;
    case SQL_BIT: return adtype::Boolean;
    case SQL_BINARY: return adtype::Binary;
    case SQL_VARBINARY: return adtype::VarBinary;
    case SQL_LONGVARBINARY: return adtype::LongVarBinary;
    case SQL_TYPE_DATE:
    case SQL_DATE: return adtype::DBDate;
    case SQL_TYPE_TIME:
    case SQL_TIME: return adtype::DBTime;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP: return adtype::DBTimeStamp;
    case SQL_GUID: return adtype::GUID;
    default: return adtype::Variant;
    }
}

}  // namespace odbc

// ---- ConnectionImpl ----

ConnectionImpl::~ConnectionImpl() { closeHandles(); }

void ConnectionImpl::closeHandles() {
    if (auto s = streaming.lock()) s->release();
    streaming.reset();
    if (dbc) {
        Awaiting awaiting;
        if (open) SQLDisconnect(dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        dbc = SQL_NULL_HDBC;
    }
    open = false;
    ++generation;
    catalogueCache = {};
    backendPid = 0;
    odbcString.clear();
    sqliteColumns = -1;
    sqliteXinfo = false;
}

std::string ConnectionImpl::currentCatalog() {
    SQLCHAR buf[512] = {0};
    SQLINTEGER len = 0;
    bool got;
    {
        Awaiting awaiting;
        got = ok(SQLGetConnectAttr(dbc, SQL_ATTR_CURRENT_CATALOG, buf, sizeof buf, &len));
    }
    if (!got || len == SQL_NULL_DATA) return {};
    std::string name = reinterpret_cast<char*>(buf);
    if (name != "null") return name;
    // The MariaDB driver answers "null" when no database is selected: ask the server.
    SQLHSTMT st = newStatement();
    SQLCHAR value[512] = {0};
    SQLLEN ind = SQL_NULL_DATA;
    Awaiting awaiting;
    const bool read = ok(SQLExecDirect(st, reinterpret_cast<SQLCHAR*>(const_cast<char*>("SELECT DATABASE()")), SQL_NTS)) &&
                      ok(SQLFetch(st)) && ok(SQLGetData(st, 1, SQL_C_CHAR, value, sizeof value, &ind));
    SQLFreeHandle(SQL_HANDLE_STMT, st);
    return read && ind == SQL_NULL_DATA ? std::string() : name;
}

std::string ConnectionImpl::driverSource() const { return driverFile.empty() ? "ODBC driver" : driverFile; }

void ConnectionImpl::fail(SQLSMALLINT handleType, SQLHANDLE handle, const std::string& fallback) {
    errors.clear();
    for (auto& d : diagnostics(handleType, handle)) {
        ProviderError e;
        e.number = odbc::mapSqlState(d.state, d.native, d.message);
        e.description = d.message;
        e.source = driverSource();
        e.sqlState = d.state;
        e.nativeError = d.native;
        errors.push_back(std::move(e));
    }
    if (errors.empty()) throw Error(err::Fail, fallback);
    const ProviderError& first = errors.front();
    throw Error(first.number, first.description, first.source, first.sqlState, first.nativeError);
}

void ConnectionImpl::requireOpen() const {
    if (!open) throw Error(err::InvalidConnection,
                           "The connection cannot be used to perform this operation. It is either closed or invalid in this context.");
}

SQLHSTMT ConnectionImpl::newStatement() {
    requireOpen();
    if (auto s = streaming.lock()) s->drain();
    streaming.reset();
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!ok(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt))) fail(SQL_HANDLE_DBC, dbc, "Could not allocate a statement.");
    if (commandTimeout >= 0)
        SQLSetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(commandTimeout)), 0);
    return stmt;
}

void ConnectionImpl::freeStatement(SQLHSTMT stmt) {
    std::lock_guard lock(busyMutex);
    if (busy == stmt) busy = SQL_NULL_HSTMT;
    Awaiting awaiting;  // a driver may read the rest of the result or close a cursor on the server
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

// ---- StatementCursor ----

StatementCursor::~StatementCursor() { release(); }

void StatementCursor::release() {
    if (stmt != SQL_NULL_HSTMT) {
        if (conn && conn->open && conn->generation == generation) conn->freeStatement(stmt);
        stmt = SQL_NULL_HSTMT;
    }
    done = true;
}

void StatementCursor::describe() {
    SQLSMALLINT cols = 0;
    SQLNumResultCols(stmt, &cols);
    const bool tds = text::lower(conn->driverFile).find("tds") != std::string::npos;
    fields.clear();
    sqlTypes.clear();
    fromText.clear();
    for (SQLUSMALLINT i = 1; i <= cols; ++i) {
        SQLCHAR name[512] = {0};
        SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        SQLDescribeCol(stmt, i, name, sizeof name, &nameLen, &type, &size, &digits, &nullable);
        SQLCHAR typeName[128] = {0};
        SQLSMALLINT tnLen = 0;
        SQLColAttribute(stmt, i, SQL_DESC_TYPE_NAME, typeName, sizeof typeName, &tnLen, nullptr);
        FieldInfo f;
        f.name = reinterpret_cast<char*>(name);
        f.type = odbc::adoType(type, reinterpret_cast<char*>(typeName), tds);
        f.definedSize = static_cast<long long>(size);
        f.precision = static_cast<int>(std::min<SQLULEN>(size, 255));
        f.numericScale = digits;
        fields.push_back(std::move(f));
        FromText from = FromText::No;
        if (conn->sqlite3) {
            switch (type) {
            case SQL_BIT: from = FromText::Boolean; break;
            case SQL_TINYINT:
            case SQL_SMALLINT:
            case SQL_INTEGER:
            case SQL_BIGINT:
            case SQL_REAL:
            case SQL_FLOAT:
            case SQL_DOUBLE: from = FromText::Number; break;
            default: break;
            }
        } else if (type == SQL_BIGINT) {
            SQLLEN isUnsigned = SQL_FALSE;
            SQLColAttribute(stmt, i, SQL_DESC_UNSIGNED, nullptr, 0, nullptr, &isUnsigned);
            if (isUnsigned == SQL_TRUE) from = FromText::Integer;
        }
        // psqlODBC calls money SQL_FLOAT: as a double it would lose cents and digits.
        if (text::lower(reinterpret_cast<char*>(typeName)) == "money") type = SQL_VARCHAR;
        fromText.push_back(from);
        sqlTypes.push_back(type);
    }
}

namespace {

Value readText(SQLHSTMT stmt, SQLUSMALLINT col, bool binary, bool& failed) {
    // The first part comes into a buffer of its own; a longer value tells its length with it,
    // and the rest is read in one call into room made for exactly that much.
    char first[8192];
    std::string out;
    size_t have = 0;
    const SQLSMALLINT ctype = binary ? SQL_C_BINARY : SQL_C_CHAR;
    for (;;) {
        const bool spare = out.size() > have;  // room made for the rest
        char* into = spare ? out.data() + have : first;
        const size_t room = spare ? out.size() - have : sizeof first;
        const size_t usable = binary ? room : room - 1;  // text ends in the driver's terminator
        SQLLEN ind = 0;
        SQLRETURN rc = SQLGetData(stmt, col, ctype, into, static_cast<SQLLEN>(room), &ind);
        if (rc == SQL_NO_DATA) break;
        if (!ok(rc)) {
            failed = true;
            return {};
        }
        if (ind == SQL_NULL_DATA) return {};
        const bool whole = ind != SQL_NO_TOTAL && static_cast<size_t>(ind) <= usable;
        const size_t got = whole ? static_cast<size_t>(ind) : usable;
        if (!spare) out.append(first, got);
        have += got;
        if (whole) {
            if (rc == SQL_SUCCESS) break;
            continue;
        }
        const size_t rest = ind == SQL_NO_TOTAL ? have : static_cast<size_t>(ind) - usable;
        out.resize(have + rest + (binary ? 0 : 1));
    }
    out.resize(have);
    return binary ? Value::binary(std::move(out)) : Value(std::move(out));
}

// A number column's text as the number it reads whole as, else the text itself: an integer, or
// with `kind` Number a finite real as well; with Boolean 0 and 1 are False and True.
Value numberFromText(Value v, StatementCursor::FromText kind) {
    using FromText = StatementCursor::FromText;
    const std::string_view s = v.bytes();
    if (v.kind() != ValueKind::Text || s.empty()) return v;
    const char* end = s.data() + s.size();
    long long n = 0;
    if (auto [p, ec] = std::from_chars(s.data(), end, n); ec == std::errc() && p == end)
        return kind == FromText::Boolean && (n == 0 || n == 1) ? Value(n == 1) : Value(n);
    if (kind == FromText::Integer) return v;
    double d = 0;
    if (auto [p, ec] = std::from_chars(s.data(), end, d); ec == std::errc() && p == end && std::isfinite(d))
        return Value(d);
    return v;
}

// A single-precision value as the double of its shortest decimal form (0.1f as 0.1, not as
// 0.10000000149011612).
double widened(float f) {
    char buf[32];
    double d = f;
    const auto [p, ec] = std::to_chars(buf, buf + sizeof buf, f);
    if (ec == std::errc()) std::from_chars(buf, p, d);
    return d;
}

}  // namespace

bool StatementCursor::next(std::vector<Value>& row) {
    if (!buffered.empty()) {
        row = std::move(buffered.front());
        buffered.pop_front();
        return true;
    }
    return fetchRow(row);
}

void StatementCursor::drain() {
    std::vector<Value> row;
    try {
        while (fetchRow(row)) buffered.push_back(std::move(row));
    } catch (const Error&) {
        release();  // the rows read so far stay; the error is in the connection's list
    }
}

bool StatementCursor::fetchRow(std::vector<Value>& row) {
    if (done) return false;
    if (!alive()) {
        release();
        return false;
    }
    SQLRETURN rc;
    {
        InDriver inDriver(*conn, stmt);
        rc = SQLFetch(stmt);
    }
    if (rc == SQL_NO_DATA) {
        release();
        return false;
    }
    if (!ok(rc)) {
        SQLHSTMT h = stmt;
        auto c = conn;
        try {
            c->fail(SQL_HANDLE_STMT, h, "Fetching the rows failed.");
        } catch (...) {
            release();
            throw;
        }
    }
    row.clear();
    row.reserve(fields.size());
    for (SQLUSMALLINT i = 1; i <= fields.size(); ++i) {
        const SQLSMALLINT t = sqlTypes[i - 1];
        bool failed = false;
        Value v;
        if (fromText[i - 1] != FromText::No)
            v = numberFromText(readText(stmt, i, false, failed), fromText[i - 1]);
        else switch (t) {
        case SQL_BIT: {
            unsigned char b = 0;
            SQLLEN ind = 0;
            failed = !ok(SQLGetData(stmt, i, SQL_C_BIT, &b, sizeof b, &ind));
            if (!failed && ind != SQL_NULL_DATA) v = Value(b != 0);
            break;
        }
        case SQL_TINYINT:
        case SQL_SMALLINT:
        case SQL_INTEGER:
        case SQL_BIGINT: {
            SQLBIGINT n = 0;
            SQLLEN ind = 0;
            failed = !ok(SQLGetData(stmt, i, SQL_C_SBIGINT, &n, sizeof n, &ind));
            if (failed) {  // beyond what the driver gives as a signed BIGINT: read as text
                failed = false;
                v = readText(stmt, i, false, failed);
            } else if (ind != SQL_NULL_DATA) {
                v = Value(static_cast<long long>(n));
            }
            break;
        }
        case SQL_REAL: {
            float f = 0;
            SQLLEN ind = 0;
            failed = !ok(SQLGetData(stmt, i, SQL_C_FLOAT, &f, sizeof f, &ind));
            if (!failed && ind != SQL_NULL_DATA) v = Value(widened(f));
            break;
        }
        case SQL_FLOAT:
        case SQL_DOUBLE: {
            double d = 0;
            SQLLEN ind = 0;
            failed = !ok(SQLGetData(stmt, i, SQL_C_DOUBLE, &d, sizeof d, &ind));
            if (!failed && ind != SQL_NULL_DATA) v = Value(d);
            break;
        }
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY: v = readText(stmt, i, true, failed); break;
        default: v = readText(stmt, i, false, failed); break;
        }
        if (failed) {
            SQLHSTMT h = stmt;
            auto c = conn;
            try {
                c->fail(SQL_HANDLE_STMT, h, "Reading a field failed.");
            } catch (...) {
                release();
                throw;
            }
        }
        row.push_back(std::move(v));
    }
    return true;
}

}  // namespace db
