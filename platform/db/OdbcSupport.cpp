#include "platform/db/OdbcSupport.h"
#include "platform/text/Text.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>

#include <pwd.h>
#include <unistd.h>

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

void dropDisconnectLog(std::filesystem::file_time_type since) {
    namespace fs = std::filesystem;
    static std::mutex m;
    std::lock_guard lock(m);
    const passwd* user = ::getpwuid(::getuid());
    const std::string tail = std::string(user ? user->pw_name : "") + std::to_string(::getpid()) + ".log";
    std::error_code ec;
    for (fs::directory_iterator it("/tmp", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind("psqlodbc_", 0) != 0 || name.size() < tail.size() ||
            name.compare(name.size() - tail.size(), tail.size(), tail) != 0 || !it->is_regular_file(ec) ||
            it->file_size(ec) > 4096 || it->last_write_time(ec) < since)
            continue;  // another process's, or one of an earlier process of the same number
        std::ifstream in(it->path());
        bool onlyDisconnects = true;
        for (std::string line; onlyDisconnects && std::getline(in, line);)
            onlyDisconnects = line.rfind("PQfinish: ", 0) == 0;
        if (onlyDisconnects) fs::remove(it->path(), ec);
    }
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
        if (open && quietDriverLog) odbc::dropDisconnectLog(openedAt);
    }
    open = false;
    quietDriverLog = false;
    ++generation;
    catalogueCache = {};
    backendPid = 0;
    odbcString.clear();
    sqliteColumns = -1;
    sqliteXinfo = false;
    pgVersion = -1;
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

namespace {
// The first part of a text or binary value comes into a buffer of the column's own: as large
// as the column's values need, up to kLargestFirst, since a driver may fill all of it.
constexpr std::size_t kSmallestFirst = 128, kLargestFirst = 4096;
}  // namespace

StatementCursor::~StatementCursor() { release(); }

void StatementCursor::release() {
    if (stmt != SQL_NULL_HSTMT) {
        if (conn && conn->open && conn->generation == generation) conn->freeStatement(stmt);
        stmt = SQL_NULL_HSTMT;
    }
    done = true;
}

void StatementCursor::describe(bool bind) {
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
    first_.assign(fields.size(), std::string(kSmallestFirst, '\0'));
    bound_.clear();
    bound_.resize(fields.size());
    if (bind && conn->readsBoundColumns) {
        for (SQLUSMALLINT i = 1; i <= fields.size(); ++i) {
            Bound& b = bound_[i - 1];
            b.parse = fromText[i - 1];
            SQLSMALLINT c = SQL_C_CHAR;
            SQLLEN size = 0;
            if (b.parse == FromText::No) switch (sqlTypes[i - 1]) {
            case SQL_BIT: c = SQL_C_BIT, size = sizeof b.n.bit; break;
            case SQL_TINYINT:
            case SQL_SMALLINT:
            case SQL_INTEGER: c = SQL_C_SBIGINT, size = sizeof b.n.integer; break;
            // As text: a value beyond a signed BIGINT would fail the whole row's fetch.
            case SQL_BIGINT: b.parse = FromText::Integer; break;
            case SQL_REAL: c = SQL_C_FLOAT, size = sizeof b.n.single; break;
            case SQL_FLOAT:
            case SQL_DOUBLE: c = SQL_C_DOUBLE, size = sizeof b.n.real; break;
            case SQL_BINARY:
            case SQL_VARBINARY:
            case SQL_LONGVARBINARY: c = SQL_C_BINARY; break;
            default: break;
            }
            b.cType = c;
            if (size == 0) bindBytes(i, kSmallestFirst);
            else if (!ok(SQLBindCol(stmt, i, c, &b.n, size, &b.indicator))) b.cType = 0;
        }
    }
    buffered = Rows(static_cast<int>(fields.size()));
    bufferedNext = 0;
    one_ = Rows(static_cast<int>(fields.size()));
}

namespace {

// A number column's text as the number it reads whole as, else the text itself: an integer, or
// with `kind` Number a finite real as well; with Boolean 0 and 1 are False and True.
bool putNumber(Rows& out, std::string_view s, StatementCursor::FromText kind) {
    using FromText = StatementCursor::FromText;
    if (s.empty()) return false;
    const char* end = s.data() + s.size();
    long long n = 0;
    if (auto [p, ec] = std::from_chars(s.data(), end, n); ec == std::errc() && p == end) {
        if (kind == FromText::Boolean && (n == 0 || n == 1)) out.putBool(n == 1);
        else out.putInt(n);
        return true;
    }
    if (kind == FromText::Integer) return false;
    double d = 0;
    if (auto [p, ec] = std::from_chars(s.data(), end, d); ec == std::errc() && p == end && std::isfinite(d)) {
        out.putDouble(d);
        return true;
    }
    return false;
}

// A text or binary value; with `parse` a number column's text as the number it reads as.
void putText(Rows& out, bool binary, std::string_view v, StatementCursor::FromText parse) {
    if (parse == StatementCursor::FromText::No || !putNumber(out, v, parse)) out.putBytes(binary, v);
}

// The room for the first part of a column's values once one `length` bytes long (SQL_NO_TOTAL:
// not told) did not fit into `now`: enough for such a value, up to kLargestFirst.
std::size_t grownRoom(SQLLEN length, std::size_t now) {
    if (length == SQL_NO_TOTAL || now >= kLargestFirst) return now;
    return std::clamp(std::bit_ceil(static_cast<std::size_t>(length) + 1), now, kLargestFirst);
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

bool StatementCursor::readBytes(SQLUSMALLINT col, bool binary, FromText parse, Rows& out) {
    const SQLSMALLINT ctype = binary ? SQL_C_BINARY : SQL_C_CHAR;
    const std::size_t end = binary ? 0 : 1;  // text ends in the driver's terminator
    std::string& first = first_[col - 1];
    SQLLEN ind = 0;
    SQLRETURN rc = SQLGetData(stmt, col, ctype, first.data(), static_cast<SQLLEN>(first.size()), &ind);
    if (rc == SQL_NO_DATA) {
        out.putBytes(binary, {});
        return true;
    }
    if (!ok(rc)) return false;
    if (ind == SQL_NULL_DATA) {
        out.putNull();
        return true;
    }
    bool whole = ind != SQL_NO_TOTAL && static_cast<std::size_t>(ind) <= first.size() - end;
    if (whole && rc == SQL_SUCCESS) {
        putText(out, binary, std::string_view(first.data(), static_cast<std::size_t>(ind)), parse);
        return true;
    }
    std::size_t have = whole ? static_cast<std::size_t>(ind) : first.size() - end;
    // Longer: the next values of the column get room for one as long as this one.
    first.resize(grownRoom(ind, first.size()));
    // The rest goes straight into its place: into room for the length the driver tells, else
    // twice as much room each time.
    const std::size_t mark = out.mark();
    std::size_t most = ind == SQL_NO_TOTAL ? 2 * have : std::max(have, static_cast<std::size_t>(ind));
    char* into = out.openBytes(binary, most + end);
    std::memcpy(into, first.data(), have);
    while (!(whole && rc == SQL_SUCCESS)) {
        if (most <= have) most = 2 * have + 1;
        into = out.openBytes(binary, most + end);
        const std::size_t room = most - have + end;
        rc = SQLGetData(stmt, col, ctype, into + have, static_cast<SQLLEN>(room), &ind);
        if (rc == SQL_NO_DATA) break;
        if (!ok(rc) || ind == SQL_NULL_DATA) return false;
        const std::size_t usable = room - end;
        whole = ind != SQL_NO_TOTAL && static_cast<std::size_t>(ind) <= usable;
        have += whole ? static_cast<std::size_t>(ind) : usable;
        if (!whole && ind != SQL_NO_TOTAL) most = have + (static_cast<std::size_t>(ind) - usable);
    }
    out.closeBytes(have);
    if (parse != FromText::No) {
        const std::string text(into, have);
        out.rewind(mark);
        putText(out, binary, text, parse);
    }
    return true;
}

void StatementCursor::bindBytes(SQLUSMALLINT col, std::size_t size) {
    Bound& b = bound_[col - 1];
    std::unique_ptr<char[]> bytes(new char[size]);
    if (ok(SQLBindCol(stmt, col, b.cType, bytes.get(), static_cast<SQLLEN>(size), &b.indicator))) {
        b.bytes = std::move(bytes);
        b.size = size;
    } else if (!b.bytes) {
        b.cType = 0;  // read with SQLGetData
    }
}

bool StatementCursor::putBound(SQLUSMALLINT col, Rows& out) {
    Bound& b = bound_[col - 1];
    if (b.indicator == SQL_NULL_DATA) {
        out.putNull();
        return true;
    }
    switch (b.cType) {
    case SQL_C_BIT: out.putBool(b.n.bit != 0); return true;
    case SQL_C_SBIGINT: out.putInt(static_cast<long long>(b.n.integer)); return true;
    case SQL_C_FLOAT: out.putDouble(widened(b.n.single)); return true;
    case SQL_C_DOUBLE: out.putDouble(b.n.real); return true;
    default: break;
    }
    const bool binary = b.cType == SQL_C_BINARY;
    const std::size_t end = binary ? 0 : 1;  // text ends in the driver's terminator
    if (b.indicator >= 0 && static_cast<std::size_t>(b.indicator) <= b.size - end) {
        putText(out, binary, std::string_view(b.bytes.get(), static_cast<std::size_t>(b.indicator)), b.parse);
        return true;
    }
    // Longer: read whole with SQLGetData, and the next values of the column get room for one as
    // long as this one.
    if (const std::size_t room = grownRoom(b.indicator, b.size); room != b.size) bindBytes(col, room);
    return false;
}

long StatementCursor::read(Rows& out, long n) {
    long added = 0;
    for (; bufferedNext < buffered.size() && (n < 0 || added < n); ++added) out.appendRow(buffered, bufferedNext++);
    if (bufferedNext >= buffered.size() && bufferedNext > 0) {
        buffered.clear();
        bufferedNext = 0;
    }
    while ((n < 0 || added < n) && fetchRow(out)) ++added;
    return added;
}

bool StatementCursor::next(std::vector<Value>& row) {
    one_.clearKeepingRoom();
    if (read(one_, 1) == 0) return false;
    one_.decode(0, row);
    return true;
}

void StatementCursor::drain() {
    try {
        while (fetchRow(buffered)) {}
    } catch (const Error&) {
        release();  // the rows read so far stay; the error is in the connection's list
    }
}

bool StatementCursor::fetchRow(Rows& out) {
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
    auto failWith = [this](const char* fallback) {
        SQLHSTMT h = stmt;
        auto c = conn;
        try {
            c->fail(SQL_HANDLE_STMT, h, fallback);
        } catch (...) {
            release();
            throw;
        }
    };
    if (!ok(rc)) failWith("Fetching the rows failed.");
    out.beginRow();
    for (SQLUSMALLINT i = 1; i <= fields.size(); ++i) {
        const SQLSMALLINT t = sqlTypes[i - 1];
        bool read = true;
        SQLLEN ind = 0;
        if (bound_[i - 1].cType != 0) {
            const Bound& b = bound_[i - 1];
            if (!putBound(i, out)) read = readBytes(i, b.cType == SQL_C_BINARY, b.parse, out);
        } else if (fromText[i - 1] != FromText::No) {
            read = readBytes(i, false, fromText[i - 1], out);
        } else switch (t) {
        case SQL_BIT: {
            unsigned char b = 0;
            read = ok(SQLGetData(stmt, i, SQL_C_BIT, &b, sizeof b, &ind));
            if (read) ind == SQL_NULL_DATA ? out.putNull() : out.putBool(b != 0);
            break;
        }
        case SQL_TINYINT:
        case SQL_SMALLINT:
        case SQL_INTEGER:
        case SQL_BIGINT: {
            SQLBIGINT n = 0;
            if (!ok(SQLGetData(stmt, i, SQL_C_SBIGINT, &n, sizeof n, &ind)))
                read = readBytes(i, false, FromText::No, out);  // beyond a signed BIGINT: as text
            else
                ind == SQL_NULL_DATA ? out.putNull() : out.putInt(static_cast<long long>(n));
            break;
        }
        case SQL_REAL: {
            float f = 0;
            read = ok(SQLGetData(stmt, i, SQL_C_FLOAT, &f, sizeof f, &ind));
            if (read) ind == SQL_NULL_DATA ? out.putNull() : out.putDouble(widened(f));
            break;
        }
        case SQL_FLOAT:
        case SQL_DOUBLE: {
            double d = 0;
            read = ok(SQLGetData(stmt, i, SQL_C_DOUBLE, &d, sizeof d, &ind));
            if (read) ind == SQL_NULL_DATA ? out.putNull() : out.putDouble(d);
            break;
        }
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY: read = readBytes(i, true, FromText::No, out); break;
        default: read = readBytes(i, false, FromText::No, out); break;
        }
        if (!read) {
            out.dropRow();
            failWith("Reading a field failed.");
        }
    }
    out.endRow();
    return true;
}

}  // namespace db
