// Read-only access to the catalogue of an Access (Jet 3, Jet 4, ACE) database file over libmdb:
// tables with their fields and field properties, indexes, relationships (MSysRelationships),
// object flags and creation dates (MSysObjects) and saved queries, whose SQL is rebuilt from
// MSysQueries.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace jet {

// Field type codes as the Jet catalogue (and DAO) number them.
enum FieldType : int {
    Boolean = 1, Byte = 2, Integer = 3, Long = 4, Currency = 5, Single = 6, Double = 7,
    DateTime = 8, Binary = 9, Text = 10, LongBinary = 11, Memo = 12, Guid = 15, Decimal = 16,
    Complex = 18
};

struct Field {
    std::string name;
    int type = 0;
    std::string complexKind;  // Complex only: "Attachment", "Multi-value", "Version History", "" untold
    int size = 0;            // bytes of a fixed type, characters of Text, 0 for Memo/OLE
    bool fixed = false;      // fixed-length storage
    bool autoNumber = false;
    bool hyperlink = false;  // a memo the file marks as a hyperlink
    int precision = 0, scale = 0;  // Decimal only
    // Properties, with Jet's defaults where the file sets none.
    std::string description, defaultValue, validationRule;
    bool required = false;
    bool allowZeroLength = false;
};

struct IndexField {
    std::string name;
    bool descending = false;
};

struct Index {
    std::string name;
    bool primary = false, unique = false, ignoreNulls = false, required = false;
    bool foreign = false;  // the index Jet keeps for a relationship
    bool clustered = false;
    std::vector<IndexField> fields;
};

// MSysObjects flags of a table.
constexpr std::uint32_t SystemObject = 0x80000002u;
constexpr std::uint32_t HiddenObject = 0x8u;

struct Table {
    std::string name;
    std::string created;  // "YYYY-MM-DD HH:MM:SS", "" when unknown
    std::uint32_t flags = 0;
    bool system() const { return (flags & SystemObject) != 0 || name.rfind("MSys", 0) == 0; }
    bool hidden() const { return (flags & HiddenObject) != 0; }
    std::vector<Field> fields;    // catalogue order
    std::vector<Index> indexes;   // file order
};

struct RelationField {
    std::string name;         // column of the referenced (primary) table
    std::string foreignName;  // column of the referencing table
};

constexpr long RelationUpdateCascade = 0x100;
constexpr long RelationDeleteCascade = 0x1000;

struct Relation {
    std::string name;
    std::string table;         // referenced table
    std::string foreignTable;  // referencing table
    long attributes = 0;
    std::vector<RelationField> fields;  // in key order
};

// One row of MSysQueries.
struct QueryRow {
    int attribute = 0;
    std::string order, name1, name2, expression;
    bool hasFlag = false;
    long flag = 0;
};

enum QueryType : int {
    SelectQuery = 1, MakeTableQuery = 2, AppendQuery = 3, UpdateQuery = 4, DeleteQuery = 5,
    CrosstabQuery = 6, DataDefinitionQuery = 7, PassThroughQuery = 8, UnionQuery = 9
};

struct Query {
    std::string name;
    std::string created;
    int type = SelectQuery;
    bool hasParameters = false;
    std::string sql;      // lines joined by CR LF, ending in ";" CR LF; "" when problem is set
    std::string problem;  // why the SQL cannot be rebuilt from the file, "" when it was
};

// Rebuilds a query from its MSysQueries rows (file order); objectFlags are its MSysObjects flags,
// which give the type where no type row does. Name and date are left to the caller.
Query RebuildQuery(const std::vector<QueryRow>& rows, std::uint32_t objectFlags = 0);
// The query type as Access names it ("Select", "Make Table", ... "Union").
std::string QueryTypeName(int type);

// One MSysACEs row: the rights (access mask) a user or group (SID, as stored) has on an object.
struct AccessEntry {
    std::string objectName;
    int objectType = 0;  // MSysObjects type: 1 table, 5 query, ...
    std::string sid;
    std::uint32_t mask = 0;
};

// Jet permission bits of an access mask.
constexpr std::uint32_t ReadDesign = 0x4, ReadData = 0x14, InsertData = 0x20, UpdateData = 0x40,
                        DeleteData = 0x80, ModifyDesign = 0x1000C;

// One MSysAccounts row of a workgroup file.
struct Account {
    std::string name;
    std::string sid;
    bool group = false;
    std::string password;  // enciphered, as stored
};

// Error number under which the readers report a failure of this layer (Jet's "disk or network
// error").
constexpr long ErrorNumber = 3043;

// The SQL text on one line: each line break (CR LF, LF or CR) becomes one blank.
std::string SqlOnOneLine(const std::string& sql);

class Error : public std::runtime_error {
public:
    enum Kind { NotFound, NotADatabase, WrongPassword, EncryptedAccdb, Unreadable };
    Error(Kind kind, const std::string& what) : std::runtime_error(what), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

// Header facts of a database file.
struct Header {
    int version = 0;        // 0 Jet 3, 1 Jet 4, 2 and above ACE
    std::string password;   // database password ("" when none), UTF-8
    std::uint32_t key = 0;  // page-encryption key, 0 when the pages are plain
    int codePage = 0;       // Jet 3: the code page of its text, 0 when the file names none
    bool workgroup = false; // a workgroup information file
};
// Reads and unmasks the header page; throws NotADatabase for anything else.
Header ReadHeader(const std::string& path);
// Whether password (UTF-8) is the one an account of the workgroup file described by header keeps
// enciphered in stored.
bool PasswordMatches(const std::string& stored, const std::string& password, const Header& header);

class Database {
public:
    // Opens the file read-only. The database password is checked against the header: a wrong
    // one throws WrongPassword. An ACCDB whose pages are encrypted throws EncryptedAccdb; the
    // encoded pages of a Jet file are decoded. When libmdb reported a failure while it read the
    // catalogue, every part below but the table list throws Unreadable (a part's own error first).
    Database(const std::string& path, const std::string& password);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const Header& header() const { return header_; }

    // User and system tables (MSysObjects type 1) by name: name, date and flags, no fields.
    std::vector<Table> Tables() const;
    Table ReadTable(const std::string& name) const;
    std::vector<Relation> Relations() const;
    std::vector<Query> Queries() const;
    // MSysACEs rows of tables and queries, in file order.
    std::vector<AccessEntry> Permissions() const;
    // The built-in account a SID of this file stands for ("admin", "Users", "Creator", "Engine"),
    // "" when it is none of them or cannot be told.
    std::string BuiltInAccount(const std::string& sid) const;
    // Users and groups of a workgroup file (MSysAccounts); false when the file has none.
    bool HasAccounts() const;
    std::vector<Account> Accounts() const;
    // What was left out because the file does not resolve it (an index naming no column, the
    // properties of a column the table lacks), one line each.
    std::vector<std::string> Warnings() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
    Header header_;
};

}  // namespace jet
