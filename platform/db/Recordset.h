// A client-side recordset: rows are copied from the driver into memory, so the cursor moves
// freely (first, next, previous, last) and the record count is known. With asynchronous fetch
// (Options adAsyncFetch) only the initial fetch size is read by open(); the caller pulls the rest
// in batches with fetchMore(), e.g. from a timer of its event loop.
#pragma once

#include "platform/db/DbError.h"
#include "platform/db/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace db {

// A statement's first word in lower case, comments before it skipped ("" when it starts with no
// letter).
std::string firstKeyword(std::string_view sql);

class Connection;
struct ConnectionImpl;
struct StatementCursor;

// ADO data-type codes (DataTypeEnum) used in field types and schema rowsets.
namespace adtype {
constexpr int Empty = 0, SmallInt = 2, Integer = 3, Single = 4, Double = 5, Currency = 6, Date = 7,
              Boolean = 11, Variant = 12, Decimal = 14, TinyInt = 16, UnsignedTinyInt = 17,
              UnsignedSmallInt = 18, UnsignedInt = 19, BigInt = 20, UnsignedBigInt = 21,
              GUID = 72, Binary = 128, Char = 129, WChar = 130, Numeric = 131, DBDate = 133,
              DBTime = 134, DBTimeStamp = 135, VarChar = 200, LongVarChar = 201, VarWChar = 202,
              LongVarWChar = 203, VarBinary = 204, LongVarBinary = 205;
}

// ObjectStateEnum, CursorTypeEnum, LockTypeEnum, ExecuteOptionEnum values.
constexpr int adStateClosed = 0, adStateOpen = 1;
constexpr int adOpenForwardOnly = 0, adOpenKeyset = 1, adOpenDynamic = 2, adOpenStatic = 3;
constexpr int adLockReadOnly = 1, adLockPessimistic = 2, adLockOptimistic = 3;
constexpr long adOptionUnspecified = -1, adAsyncExecute = 0x10, adAsyncFetch = 0x20;

// A value read where it is stored, without a copy: what a view of many rows reads.
struct Cell {
    ValueKind kind = ValueKind::Null;
    bool boolean = false;
    long long integer = 0;
    double real = 0;
    std::string_view bytes;  // text or binary
    Value value() const;
};

// Rows held compactly: each row's values one after another in blocks of bytes, a value as a
// kind byte and its content (8 bytes for a number, a length and the bytes for text), and for
// each row where it starts. Appending never moves the rows already held.
class Rows {
public:
    explicit Rows(int columns = 0) : columns_(columns) {}
    int columns() const { return columns_; }
    long long size() const { return static_cast<long long>(starts_.size()); }
    bool empty() const { return starts_.empty(); }
    // The row must have as many values as there are columns.
    void append(const std::vector<Value>& row);
    // Takes other's rows (of as many columns) after these.
    void append(Rows&& other);
    // Appends row `row` of other (of as many columns) as it is held.
    void appendRow(const Rows& other, long long row);
    Cell cell(long long row, int column) const;
    void decode(long long row, std::vector<Value>& out) const;
    void clear();
    // Forgets the rows but keeps the room of the last block.
    void clearKeepingRoom();

    // A row written where it is kept, value by value: beginRow(), one put (or openBytes() and
    // closeBytes()) a column, then endRow(); dropRow() forgets a row begun.
    void beginRow();
    void putNull();
    void putBool(bool b);
    void putInt(long long n);
    void putDouble(double d);
    void putBytes(bool binary, std::string_view bytes);
    // A text or binary value read straight into its place: room for `most` bytes, where the
    // bytes go (the room moves when a later call for the same value asks for more, keeping
    // what was written), then closeBytes() with the number written.
    char* openBytes(bool binary, std::size_t most);
    void closeBytes(std::size_t written);
    // The row begun so far, to go back to: rewind() forgets what was put after mark().
    std::size_t mark() const { return pending_; }
    void rewind(std::size_t mark) { pending_ = mark, openAt_ = kNotOpen; }
    void endRow();
    void dropRow() { pending_ = 0, openAt_ = kNotOpen; }

private:
    struct Block {
        std::unique_ptr<char[]> bytes;
        std::size_t used = 0, capacity = 0;
    };
    struct Start {
        unsigned block, offset;
    };
    static constexpr std::size_t kNotOpen = ~std::size_t(0);
    char* room(std::size_t bytes);
    // n more bytes at the end of the row begun, which moves to a new block when this one lacks
    // the room.
    char* extend(std::size_t n);
    const char* rowAt(long long row) const;
    int columns_;
    std::vector<Block> blocks_;
    std::vector<Start> starts_;
    std::size_t pending_ = 0;          // bytes of the row begun, after the last block's used ones
    std::size_t openAt_ = kNotOpen;    // where the open value's length is, in the row begun
    std::size_t openRoom_ = 0;         // the room it has
};

struct FieldInfo {
    std::string name;
    int type = adtype::Empty;  // ADO data-type code
    long long definedSize = 0;
    int precision = 0;
    int numericScale = 0;
};

class Recordset {
public:
    Recordset();
    ~Recordset();
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // "Initial Fetch Size" and "Background Fetch Size" of an asynchronous fetch (default 50 / 15
    // as the platform's; callers set their own).
    void setInitialFetchSize(long rows);
    void setBackgroundFetchSize(long rows);

    // Runs source on the connection. A statement without a result set leaves the recordset
    // closed (state adStateClosed) with recordsAffected() set. cursorType and lockType are
    // accepted for the caller's record: every recordset is a client-side keyset. Errors are
    // also put into the connection's error list. Opening an open recordset closes it first.
    void open(const std::string& source, Connection& connection, int cursorType = adOpenForwardOnly,
              int lockType = adLockReadOnly, long options = adOptionUnspecified);
    // The same with bound parameters: the n-th "?" marker of source takes parameters[n-1] (a
    // Null value binds SQL NULL). Values never become part of the statement text.
    void open(const std::string& source, const std::vector<Value>& parameters, Connection& connection,
              long options = adOptionUnspecified);
    void close();  // no-op when closed

    int state() const;  // adStateOpen or adStateClosed
    bool isOpen() const { return state() == adStateOpen; }
    const std::string& source() const;
    long long recordsAffected() const;  // -1 when the driver does not tell

    // Cursor. A fresh recordset stands on its first row (BOF and EOF both when it has none).
    bool bof() const;
    bool eof() const;
    void moveFirst();
    void moveNext();      // err::NoCurrentRecord when already at EOF
    void movePrevious();  // err::NoCurrentRecord when already at BOF
    void moveLast();
    long long recordCount() const;        // rows fetched so far
    long long absolutePosition() const;   // 1-based; 0 at BOF/EOF

    // Fields of the current row (a reference stays good until the cursor moves). Throws err::ItemNotFound for an unknown name or index,
    // err::NoCurrentRecord at BOF/EOF, err::ObjectClosed when closed.
    int fieldCount() const;
    const FieldInfo& fieldInfo(int index) const;
    std::optional<int> fieldIndex(std::string_view name) const;  // case-insensitive
    const Value& field(int index) const;
    const Value& field(std::string_view name) const;
    const Value& operator[](std::string_view name) const { return field(name); }
    // A fetched row's value by position (0-based row and column), the cursor unmoved: for
    // views that show every row; cell() reads it where it is held. Throws err::ItemNotFound
    // outside the fetched rows.
    Value value(long long row, int column) const { return cell(row, column).value(); }
    Cell cell(long long row, int column) const;

    // The rows from the current one on as text (the platform's clip-string form): values joined
    // by columnDelimiter, each row followed by rowDelimiter, Null as nullExpr. rows < 0 means all.
    // Leaves the cursor after the last row written.
    std::string getString(std::string_view columnDelimiter = "\t", std::string_view rowDelimiter = "\r",
                          std::string_view nullExpr = "", long long rows = -1);

    // Asynchronous fetch: true when every row has arrived. fetchMore() reads one background
    // batch and returns the number of rows added (0 once complete). fetchAll() reads the rest.
    bool fetchComplete() const;
    long fetchMore();
    void fetchAll();

    // Fetching on another thread: readRows() reads up to `rows` further rows from the driver
    // without adding them, so the rows fetched so far may be read meanwhile (nothing else may
    // fetch, close or ask fetchComplete() until it returns); addRows() then adds them.
    Rows readRows(long rows);
    // The same appended to `into` (of this recordset's columns, or empty); returns how many.
    long readRows(long rows, Rows& into);
    void addRows(Rows rows);

    // Builds an open recordset from given columns and rows (schema rowsets).
    static Recordset fromRows(std::vector<FieldInfo> fields, std::vector<std::vector<Value>> rows,
                              std::string source = {});

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
    friend class Connection;
    friend struct ConnectionImpl;
};

}  // namespace db
