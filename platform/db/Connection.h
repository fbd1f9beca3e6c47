// An ADO-like connection over unixODBC.
//
//   db::Connection c;
//   c.open("Provider=SQLOLEDB;Data Source=srv;Initial Catalog=shop;User Id=sa;Password=x");
//   db::Recordset rs = c.openSchema(db::adSchemaTables, {{}, {}, {}, "TABLE"});
//   for (; !rs.eof(); rs.moveNext()) use(rs["TABLE_NAME"].toString());
//
// Every failing call throws db::Error. Failures reported by the driver are also kept, one entry
// per diagnostic record, in errors() until the next call that talks to the driver; the first
// entry's number is the thrown number. SQLSTATEs map to numbers as follows: 28000 and failed
// logins -> err::AuthFailed; IM002/IM003 (driver missing) -> err::ProviderNotFound; IM001/HYC00
// (not supported) -> err::NotSupported; 42S02 -> err::NoTable; other 42xxx -> err::ErrorsInCommand;
// 23xxx -> err::IntegrityViolation; HYT00/HYT01, and a login that failed once its timeout had
// passed -> err::Timeout; anything else -> err::Fail.
//
// Opening also sees to what drivers leave to chance: a SQLite connection is open only on a
// database (a file that is none fails the open, the data layer's reason listed first in
// errors()); the PostgreSQL driver's communication and debug logs stay off unless the string
// turns them on (CommLog, Debug).
#pragma once

#include "platform/db/DbError.h"
#include "platform/db/Recordset.h"
#include "platform/db/Value.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace db {

// SchemaEnum codes understood by openSchema. Column names and restriction order are those of
// the platform's schema rowsets.
enum SchemaEnum {
    adSchemaCatalogs = 1,              // (CATALOG_NAME)
    adSchemaColumns = 4,               // (TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME)
    adSchemaCheckConstraints = 5,      // (CONSTRAINT_CATALOG, CONSTRAINT_SCHEMA, CONSTRAINT_NAME)
    adSchemaConstraintColumnUsage = 6, // (TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, COLUMN_NAME)
    adSchemaIndexes = 12,              // (TABLE_CATALOG, TABLE_SCHEMA, INDEX_NAME, TYPE, TABLE_NAME)
    adSchemaTables = 20,               // (TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE)
    adSchemaProviderTypes = 22,        // (DATA_TYPE, BEST_MATCH)
    adSchemaViews = 23,                // (TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME)
    adSchemaViewColumnUsage = 24,      // (VIEW_CATALOG, VIEW_SCHEMA, VIEW_NAME)
    adSchemaForeignKeys = 27,          // (PK_TABLE_CATALOG, PK_TABLE_SCHEMA, PK_TABLE_NAME,
                                       //  FK_TABLE_CATALOG, FK_TABLE_SCHEMA, FK_TABLE_NAME)
    adSchemaPrimaryKeys = 28,          // (TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME)
};

// CursorLocationEnum and ConnectModeEnum values.
constexpr int adUseServer = 2, adUseClient = 3;
constexpr int adModeUnknown = 0, adModeRead = 1, adModeWrite = 2, adModeReadWrite = 3;

class Connection {
public:
    Connection();
    ~Connection();  // closes an open connection
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void setConnectionString(const std::string& text);
    const std::string& connectionString() const;
    void setCursorLocation(int location);  // recorded; recordsets are always client-side
    int cursorLocation() const;
    void setMode(int mode);  // adModeRead opens the connection read-only; a missing SQLite file is not created
    int mode() const;
    void setConnectionTimeout(int seconds);  // default 15
    void setCommandTimeout(int seconds);     // default 30; 0 waits without limit
    // Set before open: the driver hands a query's rows over as they are fetched instead of
    // reading the whole result when the statement runs (the SQLite driver's step mode, the
    // PostgreSQL driver's cursors). Off by default.
    void setStreamResults(bool on);

    // Opens with the stored connection string, or with the given one (which is then stored).
    // userId and password, when not empty, replace those of the string. Throws err::ObjectOpen
    // when already open.
    void open();
    void open(const std::string& connectionString, const std::string& userId = {},
              const std::string& password = {}, long options = adOptionUnspecified);
    void close();  // no-op when closed
    int state() const;  // adStateOpen or adStateClosed
    bool isOpen() const { return state() == adStateOpen; }

    // Runs a statement. The result is an open recordset when the statement returns rows, else a
    // closed one. recordsAffected receives the driver's count (-1 when unknown).
    Recordset execute(const std::string& commandText, long long* recordsAffected = nullptr,
                      long options = adOptionUnspecified);
    // Runs a statement with bound parameters, one per "?" marker in order (see Recordset::open).
    Recordset execute(const std::string& commandText, const std::vector<Value>& parameters,
                      long long* recordsAffected = nullptr, long options = adOptionUnspecified);

    // A schema rowset. restrictions are positional as listed at SchemaEnum; an empty (Null or "")
    // entry does not restrict. A rowset the driver cannot provide throws err::NotSupported.
    Recordset openSchema(SchemaEnum schema, const std::vector<Value>& restrictions = {});
    // The same rowset handed to `part` in recordsets of about `rows` rows each, so that a large
    // one is never held whole (the columns rowset is built part by part as the driver's rows
    // arrive; others come as one part). At least one part, possibly empty. `part` runs while the
    // driver's statement is open: it must not use this connection.
    void openSchema(SchemaEnum schema, const std::vector<Value>& restrictions, std::size_t rows,
                    const std::function<void(Recordset&)>& part);
    // True when openSchema answers the rowset for every table with one catalogue query (primary
    // keys, indexes and foreign keys on PostgreSQL and MariaDB/MySQL). Otherwise such a rowset
    // without a table restriction costs one catalogue call per table.
    bool readsWholeCatalogue(SchemaEnum schema) const;

    // Asks the driver to stop the statement that another thread is executing or stepping to its
    // next row on this connection (the driver's cancel); the call there then fails with the
    // driver's error. Callable from any thread; false, with nothing done, when no call is in the
    // driver or the one there began less than 100 ms ago (call again: it may end by itself).
    bool cancel();

    const std::vector<ProviderError>& errors() const;
    void clearErrors();

    // Facts about the open connection: the engine's name ("PostgreSQL", "SQLite", ...), the
    // ODBC driver's file name, and the current database.
    std::string dbmsName() const;
    std::string driverName() const;
    std::string currentCatalog() const;

private:
    std::shared_ptr<ConnectionImpl> d_;
    friend class Recordset;
};

}  // namespace db
