#include "platform/db/Connection.h"

#include "platform/db/ConnectionString.h"
#include "platform/db/OdbcSupport.h"
#include "platform/text/Text.h"

namespace db {

namespace {
using odbc::ok;

std::string infoText(SQLHDBC dbc, SQLUSMALLINT what) {
    SQLCHAR buf[512] = {0};
    SQLSMALLINT len = 0;
    if (!ok(SQLGetInfo(dbc, what, buf, sizeof buf, &len))) return {};
    return reinterpret_cast<char*>(buf);
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
    if (c.streamResults) {
        // SQLite's step mode; PostgreSQL's cursors, read 1,000 rows a time.
        const ConnectionParameters p = parseConnectionString(odbcString);
        const std::string driver = text::lower(parameterValue(p, "Driver"));
        if (driver.find("sqlite3") != std::string::npos && parameterValue(p, "StepAPI").empty())
            odbcString += ";StepAPI=1";
        if (driver.find("postgresql") != std::string::npos && parameterValue(p, "UseDeclareFetch").empty())
            odbcString += ";UseDeclareFetch=1;Fetch=1000";
    }
    if (!ok(SQLAllocHandle(SQL_HANDLE_DBC, odbc::environment(), &c.dbc)))
        throw Error(err::Fail, "Could not allocate an ODBC connection.");
    if (c.connectionTimeout > 0)
        SQLSetConnectAttr(c.dbc, SQL_ATTR_LOGIN_TIMEOUT,
                          reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(c.connectionTimeout)), 0);
    if (c.mode == adModeRead)
        SQLSetConnectAttr(c.dbc, SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0);
    SQLCHAR out[2048];
    SQLSMALLINT outLen = 0;
    SQLRETURN rc = SQLDriverConnect(c.dbc, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(odbcString.c_str())),
                                    SQL_NTS, out, sizeof out, &outLen, SQL_DRIVER_NOPROMPT);
    if (!ok(rc)) {
        try {
            c.fail(SQL_HANDLE_DBC, c.dbc, "The connection could not be opened.");
        } catch (...) {
            SQLFreeHandle(SQL_HANDLE_DBC, c.dbc);
            c.dbc = SQL_NULL_HDBC;
            throw;
        }
    }
    c.open = true;
    c.driverFile = infoText(c.dbc, SQL_DRIVER_NAME);
    c.sqlite3 = text::lower(c.driverFile).find("sqlite3") != std::string::npos;
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
    SQLCHAR buf[512] = {0};
    SQLINTEGER len = 0;
    if (!ok(SQLGetConnectAttr(d_->dbc, SQL_ATTR_CURRENT_CATALOG, buf, sizeof buf, &len))) return {};
    return reinterpret_cast<char*>(buf);
}

}  // namespace db
