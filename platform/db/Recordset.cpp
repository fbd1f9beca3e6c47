#include "platform/db/Recordset.h"

#include "platform/db/Connection.h"
#include "platform/db/OdbcSupport.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace db {

namespace {

// Field names are matched without regard to ASCII case, inline: readers look fields up by name
// for every row of catalogues of many thousand rows.
bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && lower(a[i]) != lower(b[i])) return false;
    return true;
}

using odbc::ok;

// One input parameter: its value in the C form handed to the driver.
struct BoundParameter {
    SQLSMALLINT cType = SQL_C_CHAR, sqlType = SQL_VARCHAR;
    std::string bytes;
    long long integer = 0;
    double real = 0;
    SQLLEN indicator = 0;

    void set(const Value& v) {
        switch (v.kind()) {
        case ValueKind::Null: indicator = SQL_NULL_DATA; break;
        case ValueKind::Bool:
        case ValueKind::Int:
            cType = SQL_C_SBIGINT, sqlType = SQL_BIGINT;
            integer = v.toInt();
            indicator = sizeof integer;
            break;
        case ValueKind::Double:
            cType = SQL_C_DOUBLE, sqlType = SQL_DOUBLE;
            real = v.toDouble();
            indicator = sizeof real;
            break;
        case ValueKind::Binary:
            cType = SQL_C_BINARY, sqlType = SQL_VARBINARY;
            bytes = v.toString();
            indicator = static_cast<SQLLEN>(bytes.size());
            break;
        case ValueKind::Text:
            bytes = v.toString();
            indicator = static_cast<SQLLEN>(bytes.size());
            break;
        }
    }
    SQLRETURN bind(SQLHSTMT stmt, SQLUSMALLINT number) {
        SQLPOINTER data = cType == SQL_C_SBIGINT ? static_cast<SQLPOINTER>(&integer)
                          : cType == SQL_C_DOUBLE ? static_cast<SQLPOINTER>(&real)
                                                  : static_cast<SQLPOINTER>(bytes.data());
        const SQLULEN size = cType == SQL_C_CHAR || cType == SQL_C_BINARY ? std::max<SQLULEN>(bytes.size(), 1) : 0;
        return SQLBindParameter(stmt, number, SQL_PARAM_INPUT, cType, sqlType, size, 0, data,
                                static_cast<SQLLEN>(bytes.size()), &indicator);
    }
};

}  // namespace

std::string firstKeyword(std::string_view sql) {
    size_t i = 0;
    for (;;) {
        while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
        if (sql.substr(i, 2) == "--") {
            i = sql.find('\n', i);
        } else if (sql.substr(i, 2) == "/*") {
            i = sql.find("*/", i + 2);
            if (i != std::string_view::npos) i += 2;
        } else {
            break;
        }
        if (i == std::string_view::npos) return {};
    }
    std::string word;
    while (i < sql.size() && std::isalpha(static_cast<unsigned char>(sql[i])))
        word += static_cast<char>(std::tolower(static_cast<unsigned char>(sql[i++])));
    return word;
}

struct Recordset::Impl {
    bool open = false;
    std::string source;
    long long affected = -1;
    std::vector<FieldInfo> fields;
    std::vector<std::vector<Value>> rows;
    long long pos = 0;
    std::shared_ptr<StatementCursor> cursor;
    long initialFetch = 50;
    long backgroundFetch = 15;

    bool complete() const { return !cursor || (cursor->done && cursor->buffered.empty()); }

    long fetch(long n) {
        long added = 0;
        std::vector<Value> row;
        while (cursor && (n < 0 || added < n) && cursor->next(row)) {
            rows.push_back(std::move(row));
            ++added;
        }
        if (complete()) cursor.reset();
        return added;
    }

    void requireOpen() const {
        if (!open) throw Error(err::ObjectClosed, "Operation is not allowed when the object is closed.");
    }
    // Makes sure the row at pos has been fetched when it exists.
    void ensure() {
        while (pos >= static_cast<long long>(rows.size()) && !complete())
            if (fetch(backgroundFetch > 0 ? backgroundFetch : 1) == 0 && complete()) break;
    }
    bool atBof() {
        if (rows.empty()) ensure();
        return rows.empty() || pos < 0;
    }
    bool atEof() {
        ensure();
        return pos >= static_cast<long long>(rows.size());
    }
};

Recordset::Recordset() : d_(std::make_unique<Impl>()) {}
Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;

void Recordset::setInitialFetchSize(long rows) { d_->initialFetch = rows; }
void Recordset::setBackgroundFetchSize(long rows) { d_->backgroundFetch = rows; }

void Recordset::open(const std::string& source, Connection& connection, int /*cursorType*/, int /*lockType*/,
                     long options) {
    open(source, {}, connection, options);
}

void Recordset::open(const std::string& source, const std::vector<Value>& parameters, Connection& connection,
                     long options) {
    close();
    ConnectionImpl& c = *connection.d_;
    c.errors.clear();
    c.requireOpen();
    d_->source = source;
    d_->affected = -1;
    SQLHSTMT stmt = c.newStatement();
    auto failWith = [&](const std::string& fallback) {
        try {
            c.fail(SQL_HANDLE_STMT, stmt, fallback);
        } catch (...) {
            c.freeStatement(stmt);
            throw;
        }
    };
    auto prepare = [&](SQLHSTMT h) {
        return SQLPrepare(h, reinterpret_cast<SQLCHAR*>(const_cast<char*>(source.c_str())),
                          static_cast<SQLINTEGER>(source.size()));
    };
    SQLRETURN rc;
    if (parameters.empty() && !c.sqlite3) {
        InDriver inDriver(c, stmt);
        rc = SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(source.c_str())),
                           static_cast<SQLINTEGER>(source.size()));
    } else {
        rc = prepare(stmt);
        if (!ok(rc)) failWith("The statement could not be prepared.");
        SQLSMALLINT cols = 0;
        if (c.sqlite3 && ok(SQLNumResultCols(stmt, &cols)) && cols == 0) {
            // In step mode the SQLite driver leaves a statement starting with WITH to the first
            // fetch, so a WITH ... INSERT/UPDATE/DELETE would never run: a statement without
            // result columns goes on a static cursor, which the driver executes whole.
            c.freeStatement(stmt);
            stmt = c.newStatement();
            SQLSetStmtAttr(stmt, SQL_ATTR_CURSOR_TYPE, reinterpret_cast<SQLPOINTER>(SQL_CURSOR_STATIC), 0);
            if (!ok(prepare(stmt))) failWith("The statement could not be prepared.");
        }
        // Buffers stay alive until SQLExecute has sent them.
        std::vector<BoundParameter> bound(parameters.size());
        for (size_t i = 0; i < parameters.size(); ++i) {
            bound[i].set(parameters[i]);
            if (!ok(bound[i].bind(stmt, static_cast<SQLUSMALLINT>(i + 1))))
                failWith("Parameter " + std::to_string(i + 1) + " could not be bound.");
        }
        InDriver inDriver(c, stmt);
        rc = SQLExecute(stmt);
    }
    if (rc == SQL_NO_DATA) {
        d_->affected = 0;
        c.freeStatement(stmt);
        return;
    }
    if (!ok(rc)) failWith("The statement could not be executed.");
    // The first result that has columns is the recordset; counts of results before it are kept.
    for (;;) {
        SQLSMALLINT cols = 0;
        SQLNumResultCols(stmt, &cols);
        if (cols > 0) break;
        SQLLEN count = -1;
        if (ok(SQLRowCount(stmt, &count))) d_->affected = count;
        // The SQLite driver counts a WITH ... INSERT/UPDATE/DELETE as a query without rows.
        if (c.sqlite3 && firstKeyword(source) == "with") d_->affected = odbc::firstInteger(c.dbc, "SELECT changes()").value_or(-1);
        {
            InDriver inDriver(c, stmt);
            rc = SQLMoreResults(stmt);
        }
        if (rc == SQL_NO_DATA) {
            c.freeStatement(stmt);
            return;
        }
        if (!ok(rc)) failWith("The statement could not be executed.");
    }
    auto cur = std::make_shared<StatementCursor>();
    cur->conn = connection.d_;
    cur->stmt = stmt;
    cur->generation = c.generation;
    cur->describe();
    d_->fields = cur->fields;
    d_->cursor = cur;
    d_->open = true;
    d_->pos = 0;
    if (options != adOptionUnspecified && (options & adAsyncFetch)) {
        d_->fetch(d_->initialFetch > 0 ? d_->initialFetch : 1);
        if (!d_->complete()) c.streaming = cur;
    } else {
        d_->fetch(-1);
    }
}

void Recordset::close() {
    if (d_->cursor) d_->cursor->release();
    d_->cursor.reset();
    d_->rows.clear();
    d_->fields.clear();
    d_->open = false;
    d_->pos = 0;
}

int Recordset::state() const { return d_->open ? adStateOpen : adStateClosed; }
const std::string& Recordset::source() const { return d_->source; }
long long Recordset::recordsAffected() const { return d_->affected; }

bool Recordset::bof() const {
    d_->requireOpen();
    return d_->atBof();
}

bool Recordset::eof() const {
    d_->requireOpen();
    return d_->atEof();
}

void Recordset::moveFirst() {
    d_->requireOpen();
    d_->pos = 0;
}

void Recordset::moveNext() {
    d_->requireOpen();
    if (d_->atEof()) throw Error(err::NoCurrentRecord, "Either BOF or EOF is True, or the current record has been deleted.");
    ++d_->pos;
}

void Recordset::movePrevious() {
    d_->requireOpen();
    if (d_->atBof()) throw Error(err::NoCurrentRecord, "Either BOF or EOF is True, or the current record has been deleted.");
    --d_->pos;
}

void Recordset::moveLast() {
    d_->requireOpen();
    d_->fetch(-1);
    d_->pos = d_->rows.empty() ? 0 : static_cast<long long>(d_->rows.size()) - 1;
}

long long Recordset::recordCount() const {
    d_->requireOpen();
    return static_cast<long long>(d_->rows.size());
}

long long Recordset::absolutePosition() const {
    d_->requireOpen();
    if (d_->atBof() || d_->atEof()) return 0;
    return d_->pos + 1;
}

int Recordset::fieldCount() const {
    d_->requireOpen();
    return static_cast<int>(d_->fields.size());
}

const FieldInfo& Recordset::fieldInfo(int index) const {
    d_->requireOpen();
    if (index < 0 || index >= static_cast<int>(d_->fields.size()))
        throw Error(err::ItemNotFound, "Item cannot be found in the collection corresponding to the requested name or ordinal.");
    return d_->fields[index];
}

std::optional<int> Recordset::fieldIndex(std::string_view name) const {
    for (size_t i = 0; i < d_->fields.size(); ++i)
        if (iequals(d_->fields[i].name, name)) return static_cast<int>(i);
    return std::nullopt;
}

const Value& Recordset::field(int index) const {
    fieldInfo(index);
    if (d_->atBof() || d_->atEof())
        throw Error(err::NoCurrentRecord, "Either BOF or EOF is True, or the current record has been deleted.");
    return d_->rows[d_->pos][index];
}

const Value& Recordset::field(std::string_view name) const {
    d_->requireOpen();
    auto i = fieldIndex(name);
    if (!i)
        throw Error(err::ItemNotFound, "Item cannot be found in the collection corresponding to the requested name or ordinal. (" +
                                           std::string(name) + ")");
    return field(*i);
}

const Value& Recordset::value(long long row, int column) const {
    d_->requireOpen();
    if (row < 0 || row >= static_cast<long long>(d_->rows.size()) || column < 0 ||
        column >= static_cast<int>(d_->fields.size()))
        throw Error(err::ItemNotFound, "Item cannot be found in the collection corresponding to the requested name or ordinal.");
    return d_->rows[row][column];
}

std::string Recordset::getString(std::string_view columnDelimiter, std::string_view rowDelimiter,
                                 std::string_view nullExpr, long long rows) {
    d_->requireOpen();
    if (d_->atEof() || d_->atBof())
        throw Error(err::NoCurrentRecord, "Either BOF or EOF is True, or the current record has been deleted.");
    std::string out;
    long long written = 0;
    while ((rows < 0 || written < rows) && !d_->atEof()) {
        const auto& row = d_->rows[d_->pos];
        for (size_t i = 0; i < row.size(); ++i) {
            if (i) out += columnDelimiter;
            out += row[i].isNull() ? std::string(nullExpr) : row[i].toString();
        }
        out += rowDelimiter;
        ++d_->pos;
        ++written;
    }
    return out;
}

bool Recordset::fetchComplete() const { return d_->complete(); }

long Recordset::fetchMore() {
    if (!d_->open || d_->complete()) return 0;
    return d_->fetch(d_->backgroundFetch > 0 ? d_->backgroundFetch : 1);
}

void Recordset::fetchAll() {
    if (d_->open) d_->fetch(-1);
}

std::vector<std::vector<Value>> Recordset::readRows(long n) {
    std::vector<std::vector<Value>> out;
    std::vector<Value> row;
    while (d_->cursor && static_cast<long>(out.size()) < n && d_->cursor->next(row)) out.push_back(std::move(row));
    return out;
}

void Recordset::addRows(std::vector<std::vector<Value>> rows) {
    if (!d_->open) return;
    if (d_->rows.empty())
        d_->rows = std::move(rows);
    else
        std::move(rows.begin(), rows.end(), std::back_inserter(d_->rows));
    if (d_->complete()) d_->cursor.reset();
}

Recordset Recordset::fromRows(std::vector<FieldInfo> fields, std::vector<std::vector<Value>> rows, std::string source) {
    Recordset r;
    r.d_->fields = std::move(fields);
    r.d_->rows = std::move(rows);
    for (auto& row : r.d_->rows) row.resize(r.d_->fields.size());
    r.d_->source = std::move(source);
    r.d_->open = true;
    return r;
}

}  // namespace db
