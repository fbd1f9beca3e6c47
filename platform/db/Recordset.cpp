#include "platform/db/Recordset.h"

#include "platform/db/Connection.h"
#include "platform/db/OdbcSupport.h"

#include <algorithm>
#include <cctype>
#include <cstring>

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

// ---- Rows ----

namespace {

// Kind bytes of a stored value.
enum Tag : unsigned char { TagNull, TagFalse, TagTrue, TagInt, TagDouble, TagText, TagBinary };

// Blocks are at least this large; a larger row gets a block of its own.
constexpr std::size_t kBlockBytes = 1 << 20;

std::size_t lengthBytes(std::size_t n) {
    std::size_t k = 1;
    while (n >= 0x80) n >>= 7, ++k;
    return k;
}

// Reads the value at `at` into c; returns where the next one starts.
const char* load(const char* at, Cell& c) {
    c = Cell{};
    switch (static_cast<unsigned char>(*at++)) {
    case TagFalse: c.kind = ValueKind::Bool; break;
    case TagTrue: c.kind = ValueKind::Bool, c.boolean = true; break;
    case TagInt:
        c.kind = ValueKind::Int;
        std::memcpy(&c.integer, at, 8);
        at += 8;
        break;
    case TagDouble:
        c.kind = ValueKind::Double;
        std::memcpy(&c.real, at, 8);
        at += 8;
        break;
    case TagText:
    case TagBinary: {
        c.kind = static_cast<unsigned char>(at[-1]) == TagText ? ValueKind::Text : ValueKind::Binary;
        std::size_t n = 0;
        for (int shift = 0;; shift += 7) {
            const auto b = static_cast<unsigned char>(*at++);
            n |= static_cast<std::size_t>(b & 0x7F) << shift;
            if (!(b & 0x80)) break;
        }
        c.bytes = std::string_view(at, n);
        at += n;
        break;
    }
    default: break;
    }
    return at;
}

}  // namespace

Value Cell::value() const {
    switch (kind) {
    case ValueKind::Bool: return Value(boolean);
    case ValueKind::Int: return Value(integer);
    case ValueKind::Double: return Value(real);
    case ValueKind::Text: return Value(bytes);
    case ValueKind::Binary: return Value::binary(std::string(bytes));
    default: return Value();
    }
}

char* Rows::room(std::size_t bytes) {
    if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < bytes) {
        Block b;
        b.capacity = std::max(bytes, kBlockBytes);
        b.bytes.reset(new char[b.capacity]);
        blocks_.push_back(std::move(b));
    }
    Block& b = blocks_.back();
    starts_.push_back({static_cast<unsigned>(blocks_.size() - 1), static_cast<unsigned>(b.used)});
    char* at = b.bytes.get() + b.used;
    b.used += bytes;
    return at;
}

void Rows::append(const std::vector<Value>& row) {
    beginRow();
    for (const Value& v : row) switch (v.kind()) {
        case ValueKind::Null: putNull(); break;
        case ValueKind::Bool: putBool(v.toBool()); break;
        case ValueKind::Int: putInt(v.toInt()); break;
        case ValueKind::Double: putDouble(v.toDouble()); break;
        case ValueKind::Text:
        case ValueKind::Binary: putBytes(v.kind() == ValueKind::Binary, v.bytes()); break;
        }
    endRow();
}

void Rows::append(Rows&& other) {
    if (other.empty()) return;
    if (empty() && blocks_.empty()) {
        *this = std::move(other);
        return;
    }
    for (std::size_t k = 0; k < other.blocks_.size(); ++k) {
        Block& b = other.blocks_[k];
        // Rows of this block: from the first that starts in it to the last.
        auto first = std::lower_bound(other.starts_.begin(), other.starts_.end(), static_cast<unsigned>(k),
                                      [](const Start& s, unsigned block) { return s.block < block; });
        auto last = std::upper_bound(first, other.starts_.end(), static_cast<unsigned>(k),
                                     [](unsigned block, const Start& s) { return block < s.block; });
        if (first == last) continue;
        if (b.used >= kBlockBytes / 2) {  // full enough to be kept as it is
            const auto block = static_cast<unsigned>(blocks_.size());
            for (auto s = first; s != last; ++s) starts_.push_back({block, s->offset});
            blocks_.push_back(std::move(b));
            continue;
        }
        for (auto s = first; s != last; ++s) {
            const std::size_t end = s + 1 != last ? (s + 1)->offset : b.used;
            std::memcpy(room(end - s->offset), b.bytes.get() + s->offset, end - s->offset);
        }
    }
    other.clear();
}

void Rows::appendRow(const Rows& other, long long row) {
    const Start& s = other.starts_[static_cast<std::size_t>(row)];
    const Block& b = other.blocks_[s.block];
    const auto next = static_cast<std::size_t>(row) + 1;
    const std::size_t end =
        next < other.starts_.size() && other.starts_[next].block == s.block ? other.starts_[next].offset : b.used;
    std::memcpy(room(end - s.offset), b.bytes.get() + s.offset, end - s.offset);
}

void Rows::beginRow() {
    pending_ = 0;
    openAt_ = kNotOpen;
    extend(0);
}

char* Rows::extend(std::size_t n) {
    Block* b = blocks_.empty() ? nullptr : &blocks_.back();
    if (!b || b->capacity - b->used - pending_ < n) {
        // A row that outgrows a block of its own takes twice the room, so that a value read in
        // parts of unknown length is moved a few times only.
        const bool alone = b && b->used == 0;
        Block nb;
        nb.capacity = std::max(pending_ + n, alone ? 2 * b->capacity : kBlockBytes);
        nb.bytes.reset(new char[nb.capacity]);
        if (b) std::memcpy(nb.bytes.get(), b->bytes.get() + b->used, pending_);
        if (alone) *b = std::move(nb);
        else blocks_.push_back(std::move(nb));
        b = &blocks_.back();
    }
    char* at = b->bytes.get() + b->used + pending_;
    pending_ += n;
    return at;
}

void Rows::putNull() { *extend(1) = TagNull; }
void Rows::putBool(bool v) { *extend(1) = v ? TagTrue : TagFalse; }

void Rows::putInt(long long n) {
    char* at = extend(9);
    *at = TagInt;
    std::memcpy(at + 1, &n, 8);
}

void Rows::putDouble(double d) {
    char* at = extend(9);
    *at = TagDouble;
    std::memcpy(at + 1, &d, 8);
}

void Rows::putBytes(bool binary, std::string_view bytes) {
    char* at = extend(1 + lengthBytes(bytes.size()) + bytes.size());
    *at++ = binary ? TagBinary : TagText;
    std::size_t n = bytes.size();
    for (; n >= 0x80; n >>= 7) *at++ = static_cast<char>(0x80 | (n & 0x7F));
    *at++ = static_cast<char>(n);
    std::memcpy(at, bytes.data(), bytes.size());
}

// An open value's length takes the most bytes any length can, written at the close.
constexpr std::size_t kOpenLengthBytes = 10;

char* Rows::openBytes(bool binary, std::size_t most) {
    if (openAt_ == kNotOpen) {
        *extend(1) = binary ? TagBinary : TagText;
        openAt_ = pending_;
        extend(kOpenLengthBytes);
        openRoom_ = 0;
    }
    if (most > openRoom_) {
        extend(most - openRoom_);
        openRoom_ = most;
    }
    return blocks_.back().bytes.get() + blocks_.back().used + openAt_ + kOpenLengthBytes;
}

void Rows::closeBytes(std::size_t written) {
    char* at = blocks_.back().bytes.get() + blocks_.back().used + openAt_;
    std::size_t n = written;
    for (std::size_t i = 0; i + 1 < kOpenLengthBytes; ++i, n >>= 7) *at++ = static_cast<char>(0x80 | (n & 0x7F));
    *at = static_cast<char>(n);
    pending_ = openAt_ + kOpenLengthBytes + written;
    openAt_ = kNotOpen;
}

void Rows::endRow() {
    Block& b = blocks_.back();
    starts_.push_back({static_cast<unsigned>(blocks_.size() - 1), static_cast<unsigned>(b.used)});
    b.used += pending_;
    pending_ = 0;
}

const char* Rows::rowAt(long long row) const {
    const Start& s = starts_[static_cast<std::size_t>(row)];
    return blocks_[s.block].bytes.get() + s.offset;
}

Cell Rows::cell(long long row, int column) const {
    const char* at = rowAt(row);
    Cell c;
    for (int i = 0; i <= column; ++i) at = load(at, c);
    return c;
}

void Rows::decode(long long row, std::vector<Value>& out) const {
    out.clear();
    const char* at = rowAt(row);
    Cell c;
    for (int i = 0; i < columns_; ++i) {
        at = load(at, c);
        out.push_back(c.value());
    }
}

void Rows::clear() {
    blocks_.clear();
    starts_.clear();
    pending_ = 0;
    openAt_ = kNotOpen;
}

void Rows::clearKeepingRoom() {
    if (blocks_.size() > 1) blocks_.erase(blocks_.begin(), blocks_.end() - 1);
    if (!blocks_.empty()) blocks_.back().used = 0;
    starts_.clear();
    pending_ = 0;
    openAt_ = kNotOpen;
}

struct Recordset::Impl {
    bool open = false;
    std::string source;
    long long affected = -1;
    std::vector<FieldInfo> fields;
    Rows rows;
    long long pos = 0;
    std::shared_ptr<StatementCursor> cursor;
    long initialFetch = 50;
    long backgroundFetch = 15;
    // The current row's values, read out of rows for field().
    std::vector<Value> current;
    long long currentRow = -1;

    long long count() const { return rows.size(); }
    bool complete() const { return !cursor || cursor->finished(); }

    long fetch(long n) {
        const long added = cursor ? cursor->read(rows, n) : 0;
        if (complete()) cursor.reset();
        return added;
    }

    void requireOpen() const {
        if (!open) throw Error(err::ObjectClosed, "Operation is not allowed when the object is closed.");
    }
    // Makes sure the row at pos has been fetched when it exists.
    void ensure() {
        while (pos >= count() && !complete())
            if (fetch(backgroundFetch > 0 ? backgroundFetch : 1) == 0 && complete()) break;
    }
    bool atBof() {
        if (rows.empty()) ensure();
        return rows.empty() || pos < 0;
    }
    bool atEof() {
        ensure();
        return pos >= count();
    }
    const std::vector<Value>& currentValues() {
        if (currentRow != pos) {
            rows.decode(pos, current);
            currentRow = pos;
        }
        return current;
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
    cur->describe(true);
    d_->fields = cur->fields;
    d_->rows = Rows(static_cast<int>(cur->fields.size()));
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
    d_->rows = Rows();
    d_->fields.clear();
    d_->open = false;
    d_->pos = 0;
    d_->current.clear();
    d_->currentRow = -1;
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
    d_->pos = d_->rows.empty() ? 0 : d_->count() - 1;
}

long long Recordset::recordCount() const {
    d_->requireOpen();
    return d_->count();
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
    return d_->currentValues()[static_cast<std::size_t>(index)];
}

const Value& Recordset::field(std::string_view name) const {
    d_->requireOpen();
    auto i = fieldIndex(name);
    if (!i)
        throw Error(err::ItemNotFound, "Item cannot be found in the collection corresponding to the requested name or ordinal. (" +
                                           std::string(name) + ")");
    return field(*i);
}

Cell Recordset::cell(long long row, int column) const {
    d_->requireOpen();
    if (row < 0 || row >= d_->count() || column < 0 || column >= static_cast<int>(d_->fields.size()))
        throw Error(err::ItemNotFound, "Item cannot be found in the collection corresponding to the requested name or ordinal.");
    return d_->rows.cell(row, column);
}

std::string Recordset::getString(std::string_view columnDelimiter, std::string_view rowDelimiter,
                                 std::string_view nullExpr, long long rows) {
    d_->requireOpen();
    if (d_->atEof() || d_->atBof())
        throw Error(err::NoCurrentRecord, "Either BOF or EOF is True, or the current record has been deleted.");
    std::string out;
    long long written = 0;
    while ((rows < 0 || written < rows) && !d_->atEof()) {
        for (int i = 0; i < d_->rows.columns(); ++i) {
            if (i) out += columnDelimiter;
            const Cell c = d_->rows.cell(d_->pos, i);
            if (c.kind == ValueKind::Null) out += nullExpr;
            else if (c.kind == ValueKind::Text || c.kind == ValueKind::Binary) out += c.bytes;
            else out += c.value().toString();
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

Rows Recordset::readRows(long n) {
    Rows out(static_cast<int>(d_->fields.size()));
    readRows(n, out);
    return out;
}

long Recordset::readRows(long n, Rows& into) {
    if (into.empty() && into.columns() != static_cast<int>(d_->fields.size()))
        into = Rows(static_cast<int>(d_->fields.size()));
    return d_->cursor ? d_->cursor->read(into, n) : 0;
}

void Recordset::addRows(Rows rows) {
    if (!d_->open) return;
    d_->rows.append(std::move(rows));
    if (d_->complete()) d_->cursor.reset();
}

Recordset Recordset::fromRows(std::vector<FieldInfo> fields, std::vector<std::vector<Value>> rows, std::string source) {
    Recordset r;
    r.d_->fields = std::move(fields);
    r.d_->rows = Rows(static_cast<int>(r.d_->fields.size()));
    for (auto& row : rows) {
        row.resize(r.d_->fields.size());
        r.d_->rows.append(row);
        std::vector<Value>().swap(row);
    }
    r.d_->source = std::move(source);
    r.d_->open = true;
    return r;
}

}  // namespace db
