#include "platform/db/Connection.h"

#include "platform/db/ConnectionString.h"
#include "platform/db/OdbcSupport.h"
#include "platform/text/Text.h"

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

namespace db {

namespace {
using odbc::ok;

// A call into the driver that cancel() leaves alone.
constexpr std::chrono::milliseconds kShortCall{100};

std::string infoText(SQLHDBC dbc, SQLUSMALLINT what) {
    SQLCHAR buf[512] = {0};
    SQLSMALLINT len = 0;
    if (!ok(SQLGetInfo(dbc, what, buf, sizeof buf, &len))) return {};
    return reinterpret_cast<char*>(buf);
}

// The SQLite library the SQLite driver loads keeps statistics of its memory under a lock of
// its own on every allocation, a few for each value a row reads. Nothing here reads them: they
// are turned off before the library is first used. Once it is in use the setting is refused,
// which changes nothing.
void sqliteWithoutMemoryStatistics() {
    static std::once_flag once;
    std::call_once(once, [] {
        void* library = dlopen("libsqlite3.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!library) return;
        using Config = int (*)(int, ...);
        constexpr int kConfigMemStatus = 9;  // SQLITE_CONFIG_MEMSTATUS
        if (auto config = reinterpret_cast<Config>(dlsym(library, "sqlite3_config"))) config(kConfigMemStatus, 0);
    });
}

std::string noAnswerWithin(int seconds) {
    return "The server did not answer within " + std::to_string(seconds) + (seconds == 1 ? " second." : " seconds.");
}

// Whether the string sets a keyword, under any of its names.
bool sets(const ConnectionParameters& p, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (std::any_of(p.begin(), p.end(), [n](const auto& kv) { return text::lower(kv.first) == text::lower(n); }))
            return true;
    return false;
}

// The file a SQLite connection string names (a "file:" URI's path too); "" for an in-memory
// database or none named.
std::string sqliteFile(const ConnectionParameters& p) {
    std::string file = text::trim(parameterValue(p, "Database"));
    if (file == ":memory:") return {};
    if (text::lower(file).rfind("file:", 0) == 0) {
        file = file.substr(5, file.find('?') == std::string::npos ? std::string::npos : file.find('?') - 5);
        if (file.rfind("///", 0) == 0) file.erase(0, 2);
        else if (text::lower(file).rfind("//localhost/", 0) == 0) file.erase(0, 11);
        if (file == ":memory:" || file.empty() || file.find('%') != std::string::npos) return {};
    }
    return file;
}

// SQLDriverConnect, given up `seconds` after the driver's own login timeout should have ended
// it: a driver may apply that timeout to reaching the server only, and wait for ever on a
// server that takes the connection and never answers. Returns false when given up; the handle
// then stays with the connect, which frees it if it ever returns.
bool driverConnect(SQLHDBC dbc, const std::string& text, int seconds, SQLRETURN& rc) {
    struct Attempt {
        SQLHDBC dbc;
        std::string text;
        SQLRETURN rc = SQL_ERROR;
        bool finished = false, abandoned = false;
        std::mutex m;
        std::condition_variable cv;
    };
    auto a = std::make_shared<Attempt>();
    a->dbc = dbc;
    a->text = text;
    std::thread([a] {
        SQLCHAR out[2048];
        SQLSMALLINT outLen = 0;
        const SQLRETURN r = SQLDriverConnect(a->dbc, nullptr, reinterpret_cast<SQLCHAR*>(a->text.data()), SQL_NTS, out,
                                             sizeof out, &outLen, SQL_DRIVER_NOPROMPT);
        std::lock_guard lock(a->m);
        a->rc = r;
        a->finished = true;
        if (a->abandoned) {
            if (ok(r)) SQLDisconnect(a->dbc);
            SQLFreeHandle(SQL_HANDLE_DBC, a->dbc);
        }
        a->cv.notify_all();
    }).detach();
    std::unique_lock lock(a->m);
    if (!a->cv.wait_for(lock, std::chrono::seconds(seconds), [&a] { return a->finished; })) {
        a->abandoned = true;
        return false;
    }
    rc = a->rc;
    return true;
}
}  // namespace

Connection::Connection() : d_(std::make_shared<ConnectionImpl>()) {}
Connection::~Connection() { d_->closeHandles(); }

void Connection::setConnectionString(const std::string& text) { d_->connectionString = text; }
const std::string& Connection::connectionString() const { return d_->connectionString; }
void Connection::setCursorLocation(int location) { d_->cursorLocation = location; }
int Connection::cursorLocation() const { return d_->cursorLocation; }
void Connection::setMode(int mode) { d_->mode = mode; }
int Connection::mode() const { return d_->mode; }
void Connection::setConnectionTimeout(int seconds) { d_->connectionTimeout = seconds; }
void Connection::setCommandTimeout(int seconds) { d_->commandTimeout = seconds; }
void Connection::setStreamResults(bool on) { d_->streamResults = on; }

void Connection::open() { open(d_->connectionString); }

void Connection::open(const std::string& connectionString, const std::string& userId, const std::string& password,
                      long /*options*/) {
    ConnectionImpl& c = *d_;
    if (c.open) throw Error(err::ObjectOpen, "Operation is not allowed when the object is open.");
    c.errors.clear();
    c.connectionString = connectionString;
    std::string odbcString = toOdbcConnectionString(connectionString, userId, password);
    const ConnectionParameters p = parseConnectionString(odbcString);
    std::string driver = text::lower(parameterValue(p, "Driver"));
    // A data source name may stand for the SQLite driver as well.
    if (driver.empty() || driver.find("sqlite3") != std::string::npos) sqliteWithoutMemoryStatistics();
    if (const std::string dsn = parameterValue(p, "DSN"); driver.empty() && !dsn.empty())
        driver = text::lower(odbc::dataSourceDriver(dsn));
    const bool sqliteDriver = driver.find("sqlite3") != std::string::npos;
    // Opened to be read, a database file is never created.
    if (sqliteDriver && c.mode == adModeRead && !sets(p, {"NoCreat"})) odbcString += ";NoCreat=1";
    // The PostgreSQL driver's communication and debug logs (Debian's driver entry turns the
    // first on) are written only when the string asks for them.
    bool quietLog = false;
    if (driver.find("postgresql") != std::string::npos || driver.find("psqlodbc") != std::string::npos) {
        quietLog = !sets(p, {"CommLog", "B3"});
        if (quietLog) odbcString += ";CommLog=0";
        if (!sets(p, {"Debug", "B2"})) odbcString += ";Debug=0";
    }
    if (c.streamResults) {
        // SQLite's step mode; PostgreSQL's cursors, read 1,000 rows a time; MariaDB's rows read
        // from the server as they are fetched (drivers from 3.1.17 on; older ones read the
        // whole result first).
        if (driver.find("sqlite3") != std::string::npos && parameterValue(p, "StepAPI").empty())
            odbcString += ";StepAPI=1";
        if (driver.find("postgresql") != std::string::npos && parameterValue(p, "UseDeclareFetch").empty())
            odbcString += ";UseDeclareFetch=1;Fetch=1000";
        if (driver.find("mariadb") != std::string::npos && parameterValue(p, "NO_CACHE").empty())
            odbcString += ";NO_CACHE=1";
    }
    if (!ok(SQLAllocHandle(SQL_HANDLE_DBC, odbc::environment(), &c.dbc)))
        throw Error(err::Fail, "Could not allocate an ODBC connection.");
    if (c.connectionTimeout > 0)
        SQLSetConnectAttr(c.dbc, SQL_ATTR_LOGIN_TIMEOUT,
                          reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(c.connectionTimeout)), 0);
    if (c.mode == adModeRead)
        SQLSetConnectAttr(c.dbc, SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0);
    // A failure the data layer can say more about than the driver: said first, the driver's
    // records kept beneath.
    auto refuse = [&c](const std::string& why) {
        c.errors.insert(c.errors.begin(), ProviderError{err::Fail, why, "Dalvane data layer", {}, 0});
        throw Error(err::Fail, why);
    };
    SQLRETURN rc = SQL_ERROR;
    const auto started = std::chrono::steady_clock::now();
    // A second back, for file times kept to the second.
    c.openedAt = std::filesystem::file_time_type::clock::now() - std::chrono::seconds(1);
    if (c.connectionTimeout > 0) {
        if (!driverConnect(c.dbc, odbcString, c.connectionTimeout + 3, rc)) {
            c.dbc = SQL_NULL_HDBC;
            throw Error(err::Timeout, noAnswerWithin(c.connectionTimeout));
        }
    } else {
        SQLCHAR out[2048];
        SQLSMALLINT outLen = 0;
        rc = SQLDriverConnect(c.dbc, nullptr, reinterpret_cast<SQLCHAR*>(odbcString.data()), SQL_NTS, out, sizeof out,
                              &outLen, SQL_DRIVER_NOPROMPT);
    }
    if (!ok(rc)) {
        // A driver that applies the login timeout itself reports a failure of its own words.
        const bool timedOut = c.connectionTimeout > 0 && std::chrono::steady_clock::now() - started >=
                                                             std::chrono::seconds(c.connectionTimeout) -
                                                                 std::chrono::milliseconds(250);
        try {
            c.fail(SQL_HANDLE_DBC, c.dbc, "The connection could not be opened.");
        } catch (const Error& e) {
            SQLFreeHandle(SQL_HANDLE_DBC, c.dbc);
            c.dbc = SQL_NULL_HDBC;
            if (timedOut && e.number() != err::AuthFailed) {
                if (!c.errors.empty()) c.errors.front().number = err::Timeout;
                throw Error(err::Timeout, noAnswerWithin(c.connectionTimeout), e.source(), e.sqlState(),
                            e.nativeError());
            }
            if (const std::string file = sqliteDriver ? sqliteFile(p) : std::string();
                !file.empty() && !std::filesystem::exists(file))
                refuse("The database file " + file + " does not exist.");
            throw;
        }
    }
    c.open = true;
    c.quietDriverLog = quietLog;
    c.driverFile = infoText(c.dbc, SQL_DRIVER_NAME);
    c.sqlite3 = text::lower(c.driverFile).find("sqlite3") != std::string::npos;
    // The SQLite driver opens any file: its first read tells whether it is a database.
    if (c.sqlite3) {
        SQLHSTMT probe = SQL_NULL_HSTMT;
        try {
            if (!ok(SQLAllocHandle(SQL_HANDLE_STMT, c.dbc, &probe)))
                c.fail(SQL_HANDLE_DBC, c.dbc, "Could not allocate a statement.");
            SQLCHAR sql[] = "SELECT count(*) FROM sqlite_master";
            if (!ok(SQLExecDirect(probe, sql, SQL_NTS))) c.fail(SQL_HANDLE_STMT, probe, "The database could not be read.");
            SQLFreeHandle(SQL_HANDLE_STMT, probe);
        } catch (const Error& e) {
            if (probe != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, probe);
            c.closeHandles();
            constexpr long kNotADatabase = 26;  // SQLITE_NOTADB
            if (e.nativeError() == kNotADatabase || text::lower(e.description()).find("not a database") != std::string::npos) {
                const std::string file = sqliteFile(p);
                refuse((file.empty() ? std::string("The data source's file") : "The file " + file) +
                       " is not a SQLite database.");
            }
            throw;
        }
    }
    SQLUINTEGER getData = 0;
    c.readsBoundColumns = ok(SQLGetInfo(c.dbc, SQL_GETDATA_EXTENSIONS, &getData, sizeof getData, nullptr)) &&
                          (getData & SQL_GD_BOUND) && (getData & SQL_GD_ANY_COLUMN) && (getData & SQL_GD_ANY_ORDER);
    if (c.streamResults && text::lower(c.driverFile).find("psqlodbc") != std::string::npos) {
        // What a cancel from another connection needs (see cancel()).
        c.backendPid = odbc::firstInteger(c.dbc, "SELECT pg_backend_pid()").value_or(0);
        c.odbcString = odbcString;
    }
}

void Connection::close() { d_->closeHandles(); }

int Connection::state() const { return d_->open ? adStateOpen : adStateClosed; }

Recordset Connection::execute(const std::string& commandText, long long* recordsAffected, long options) {
    Recordset rs;
    rs.open(commandText, *this, adOpenForwardOnly, adLockReadOnly, options);
    if (recordsAffected) *recordsAffected = rs.recordsAffected();
    return rs;
}

Recordset Connection::execute(const std::string& commandText, const std::vector<Value>& parameters,
                              long long* recordsAffected, long options) {
    Recordset rs;
    rs.open(commandText, parameters, *this, options);
    if (recordsAffected) *recordsAffected = rs.recordsAffected();
    return rs;
}

bool Connection::cancel() {
    {
        std::lock_guard lock(d_->busyMutex);
        // A short call is left to end by itself: the SQLite driver's cancel also closes the
        // statement, which must not meet the end of a call that was about to return anyway.
        if (d_->busy == SQL_NULL_HSTMT || std::chrono::steady_clock::now() - d_->busySince < kShortCall) return false;
        SQLCancel(d_->busy);
    }
    // The PostgreSQL driver cancels a statement it is executing, but not the fetch of a cursor's
    // next rows, where a long query spends its time when its rows are read as they come: the
    // server is asked from a connection of its own to cancel this session's statement.
    if (d_->backendPid > 0) {
        SQLHDBC other = SQL_NULL_HDBC;
        if (!ok(SQLAllocHandle(SQL_HANDLE_DBC, odbc::environment(), &other))) return true;
        SQLSetConnectAttr(other, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(5)), 0);
        SQLRETURN rc = SQL_ERROR;
        if (driverConnect(other, d_->odbcString, 8, rc)) {
            if (ok(rc)) {
                odbc::firstInteger(other, "SELECT pg_cancel_backend(" + std::to_string(d_->backendPid) + ")::int");
                SQLDisconnect(other);
                if (d_->quietDriverLog) odbc::dropDisconnectLog(d_->openedAt);
            }
            SQLFreeHandle(SQL_HANDLE_DBC, other);
        }
    }
    return true;
}

const std::vector<ProviderError>& Connection::errors() const { return d_->errors; }
void Connection::clearErrors() { d_->errors.clear(); }

std::string Connection::dbmsName() const {
    d_->requireOpen();
    return infoText(d_->dbc, SQL_DBMS_NAME);
}

std::string Connection::driverName() const {
    d_->requireOpen();
    return d_->driverFile;
}

std::string Connection::currentCatalog() const {
    d_->requireOpen();
    return d_->currentCatalog();
}

}  // namespace db
