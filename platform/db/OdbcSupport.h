// Internal to the data layer: ODBC handles, diagnostics and the statement cursor.
#pragma once

#include "platform/db/DbError.h"
#include "platform/db/Recordset.h"
#include "platform/db/Unanswered.h"
#include "platform/db/Value.h"

#include <sql.h>
#include <sqlext.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace db {

namespace odbc {

// True for a call that succeeded, with or without information.
inline bool ok(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

SQLHENV environment();
std::vector<std::string> installedDrivers();
// The driver of a data source (DSN), "" when there is no such data source.
std::string dataSourceDriver(const std::string& dsn);

// The first column of a query's first row as a number (nullopt when there is none); the
// statement runs on a handle of its own.
std::optional<long long> firstInteger(SQLHDBC dbc, const std::string& sql);

// psqlODBC turns its global communication log (Debian's driver entry sets CommLog=1) back on
// when a connection that turned it off disconnects, and logs the disconnect alone to
// /tmp/psqlodbc_<program>_<user><pid>.log. Removes this process's log when it holds nothing
// else and was written since `since`; the driver keeps writing to the file it has open, so it
// does not come back.
void dropDisconnectLog(std::filesystem::file_time_type since);

// The number a diagnostic record maps to (see Connection.h).
long mapSqlState(const std::string& state, long native, const std::string& message);

// ADO data-type code of an ODBC SQL type. typeName helps with signedness.
int adoType(SQLSMALLINT sqlType, std::string_view typeName, bool tdsDriver);

}  // namespace odbc

struct StatementCursor;

struct ConnectionImpl : std::enable_shared_from_this<ConnectionImpl> {
    SQLHDBC dbc = SQL_NULL_HDBC;
    bool open = false;
    std::string connectionString;
    int cursorLocation = 2;
    int mode = 0;
    int connectionTimeout = 15;
    int commandTimeout = 30;
    std::vector<ProviderError> errors;
    std::string driverFile;
    bool streamResults = false;  // asked for before open: rows read as they are fetched
    bool sqlite3 = false;        // the SQLite 3 driver is connected
    bool quietDriverLog = false;  // the PostgreSQL driver's logs were turned off for this connection
    std::filesystem::file_time_type openedAt;  // when the connection was asked for
    // SQLGetData reads any column, bound ones too, in any order: rows are fetched into bound
    // buffers and only a value longer than its buffer is read again.
    bool readsBoundColumns = false;
    unsigned generation = 0;                   // changes on every close
    std::weak_ptr<StatementCursor> streaming;  // statement whose rows are still being fetched
    // Catalogue rows one query answers for two rowsets (SQLite's keys and index columns of
    // every table), kept from the first rowset for the second while the schema version holds;
    // and the key columns of every SQLite table as the column rows gave them (table, 0, cid, pk,
    // name, type, NULL), at schema version keyColumnsVersion, for the keys to take.
    struct CatalogueCache {
        long long schemaVersion = -1;
        std::vector<std::vector<Value>> keys, statistics;
        long long keyColumnsVersion = -1;
        std::vector<std::vector<Value>> keyColumns;
    } catalogueCache;
    // How the SQLite driver's column rows are made here: -1 not yet known, 0 by the driver, 1 from
    // one pragma query, 2 the same with INTEGER reported as BIGINT (the driver's BigInt setting).
    int sqliteColumns = -1;
    bool sqliteXinfo = false;  // those rows come from table_xinfo, with the generated columns
    long long pgVersion = -1;  // PostgreSQL's server_version_num, once read (0: unknown)
    // The statement a call into the driver is executing or stepping to its next row, and since
    // when, for cancel() from another thread; the lock is held while it is cancelled, so it is
    // not freed meanwhile.
    std::mutex busyMutex;
    SQLHSTMT busy = SQL_NULL_HSTMT;
    std::chrono::steady_clock::time_point busySince;
    // A PostgreSQL connection reading rows as they come: its server process, and the ODBC
    // string that reaches the server again.
    long long backendPid = 0;
    std::string odbcString;

    ~ConnectionImpl();
    void closeHandles();

    // Collects the diagnostic records of a handle into errors (replacing them) and throws the
    // first one, or `fallback` when the driver left none.
    [[noreturn]] void fail(SQLSMALLINT handleType, SQLHANDLE handle, const std::string& fallback);
    void requireOpen() const;
    // A new statement handle; a statement still streaming rows is read to its end first, since
    // some drivers run one statement at a time.
    SQLHSTMT newStatement();
    // Frees a statement handle, which then can no longer be cancelled.
    void freeStatement(SQLHSTMT stmt);
    std::string driverSource() const;
    // The current database (catalog), "" when none is selected.
    std::string currentCatalog();
};

// Marks a statement as in the driver while it lives: around the calls that execute it or step
// to its next row, never around reading a row's values (a driver's cancel may free them). The
// call is also one that waits on the database.
class InDriver {
public:
    InDriver(ConnectionImpl& c, SQLHSTMT stmt) : c_(c) {
        std::lock_guard lock(c_.busyMutex);
        c_.busy = stmt;
        c_.busySince = std::chrono::steady_clock::now();
    }
    ~InDriver() {
        std::lock_guard lock(c_.busyMutex);
        c_.busy = SQL_NULL_HSTMT;
    }
    InDriver(const InDriver&) = delete;
    InDriver& operator=(const InDriver&) = delete;

private:
    ConnectionImpl& c_;
    Awaiting awaiting_;
};

// An executed statement whose result set is being read.
struct StatementCursor {
    std::shared_ptr<ConnectionImpl> conn;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    unsigned generation = 0;
    std::vector<FieldInfo> fields;
    std::vector<SQLSMALLINT> sqlTypes;  // the type each column is read as
    // Number columns read as the driver's text and made numbers here: SQLite keeps any value in
    // a column of any type, and an unsigned BIGINT may lie beyond a signed one.
    enum class FromText : unsigned char { No, Integer, Number, Boolean };
    std::vector<FromText> fromText;
    bool done = false;

    ~StatementCursor();
    // Reads the result's columns; with `bind` (and a driver that allows it) each is bound to a
    // buffer of its own.
    void describe(bool bind = false);
    Rows buffered;                 // rows read ahead by drain()
    long long bufferedNext = 0;    // the first of them not yet handed out

    // Appends up to n further rows (all with n < 0) to out, buffered ones first, then the
    // driver's; returns how many. At the end the handle is released.
    long read(Rows& out, long n);
    // The next row as values; false at the end.
    bool next(std::vector<Value>& row);
    // Every row handed out and none left in the driver.
    bool finished() const { return done && bufferedNext >= buffered.size(); }
    // Reads every remaining row into the buffer and frees the statement.
    void drain();
    void release();
    bool alive() const { return stmt != SQL_NULL_HSTMT && conn && conn->open && conn->generation == generation; }

private:
    bool fetchRow(Rows& out);
    bool readBytes(SQLUSMALLINT column, bool binary, FromText parse, Rows& out);
    // A bound column's value into out (false when it must be read with SQLGetData).
    bool putBound(SQLUSMALLINT column, Rows& out);
    void bindBytes(SQLUSMALLINT column, std::size_t size);
    struct Bound {
        SQLSMALLINT cType = 0;  // 0: not bound
        FromText parse = FromText::No;
        std::unique_ptr<char[]> bytes;
        std::size_t size = 0;
        SQLLEN indicator = 0;
        union {
            unsigned char bit;
            SQLBIGINT integer;
            float single;
            double real;
        } n{};
    };
    std::vector<Bound> bound_;
    std::vector<std::string> first_;  // each column's buffer for the first part of a value
    Rows one_;                        // the row next() decodes
};

// Runs a catalogue function through `call` and returns all its rows (columns by position).
struct RawRows {
    std::vector<FieldInfo> fields;
    std::vector<std::vector<Value>> rows;
};

}  // namespace db
