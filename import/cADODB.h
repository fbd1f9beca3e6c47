// Structure reader over the provider's schema rowsets: tables, columns, unique indexes,
// foreign keys (under the referenced table), views and the columns they use.
//
// Each schema rowset is read once per import and indexed by schema and table or view name. A
// name that two schemas both hold is written qualified ("sales.orders"), so that the tables stay
// apart; every other name is written as the engine gives it. Primary keys,
// indexes and foreign keys are read once for the whole database where the connection serves
// them with one query (PostgreSQL, MariaDB/MySQL); for other drivers, which answer them per
// table only, once per table, spread over a few extra connections when the catalogue is large.
#pragma once

#include "import/StructureReader.h"
#include "platform/db/Connection.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class cADODB : public StructureReader {
public:
    cADODB();
    ~cADODB() override;

    db::Connection cDalvane;

    bool OpenDalvDatabase() override;
    bool GenerateXML() override;

    // Steps of GenerateXML.
    void GenerateTablesXML();
    void GenerateViewsXML();

    // Type name of an ADO type code, from the provider-types rowset.
    std::string GetFieldType(long long lFieldType, long long lCHARACTER_MAXIMUM_LENGTH,
                             long long lDATETIME_PRECISION, long long lNUMERIC_PRECISION);

    // How the per-table rowsets are read: Auto asks for the whole database first and falls
    // back to one call per table when the driver refuses; PerTable always asks per table.
    enum class RowsetReading { Auto, PerTable };
    void setRowsetReading(RowsetReading mode) { m_Reading = mode; }

    // True when the last GenerateXML stopped at a failure (already reported).
    bool failed() const { return m_Failed; }

private:
    struct ObjectId {  // a table or view as the catalogue names it
        std::string schema, name;
    };
    struct ColumnRow {
        std::string name;
        db::Value charLength, datetimePrecision, numericPrecision, dataType, columnDefault,
            isNullable, ordinalPosition, numericScale, typeName;
        // Written as the attributes of kColumnExtras where the engine gives them.
        std::vector<db::Value> extras;
    };
    struct KeyRow {  // primary-key rows: column without a leading "+", key name, place in the key
        std::string column, pkName;
        db::Value ordinal;
    };
    struct IndexRow {
        std::string indexName, columnName;
        db::Value unique, ordinal;
        db::Value condition, expression, prefixLength;  // a partial index's, a member's
        db::Value included, nullsNotDistinct;           // the index's INCLUDE columns, NULLs as equal
    };
    struct ForeignKeyRow {
        std::string fkName, fkColumn, pkTable, fkTable, updateRule, deleteRule, pkColumn, pkSchema, fkSchema;
        std::string fkCatalog;
        long long ordinal = 0;  // the column's place in its key, 0 where the driver gives none
    };
    struct ViewColumnRow {
        std::string column, table, tableSchema;
    };

    // Where a rowset names the object it describes: the restriction slots and fields of its
    // schema and name.
    struct ObjectColumns {
        std::size_t schemaSlot, nameSlot;
        const char* schemaField;
        const char* nameField;
    };
    static constexpr ObjectColumns tableColumns{1, 2, "TABLE_SCHEMA", "TABLE_NAME"};
    static constexpr ObjectColumns indexColumns{1, 4, "TABLE_SCHEMA", "TABLE_NAME"};
    static constexpr ObjectColumns referencedColumns{1, 2, "PK_TABLE_SCHEMA", "PK_TABLE_NAME"};
    static constexpr ObjectColumns viewColumns{1, 2, "VIEW_SCHEMA", "VIEW_NAME"};

    // One schema rowset indexed by schema and name (objectKey).
    template <class Row>
    struct RowsetIndex {
        bool loaded = false;     // whole database read (or per-table mode decided)
        bool perTable = false;   // the driver answers per table only
        bool missing = false;    // the engine lacks the rowset
        std::unordered_map<std::string, std::vector<Row>> byName;
        std::vector<Row> current;  // per-table mode: rows of the last table asked for
        std::string currentKey;
        // Set when every object asked for lies in this one schema: the whole-database read asks
        // for it alone, so the driver leaves out the system schemas.
        std::string schema;
        // Rows of an object that is done with: a large catalogue is not held beside its document.
        void release(const std::string& key) {
            if (!perTable) byName.erase(key);
        }
    };

    class Failure {};  // unwinds to GenerateXML once a failure has been reported

    static ColumnRow makeColumnRow(const db::Recordset& rs);
    static KeyRow makeKeyRow(const db::Recordset& rs);
    static IndexRow makeIndexRow(const db::Recordset& rs);
    // value, or "" with a warning naming what when XML cannot hold it (a control character).
    static std::string holdable(const std::string& value, const std::string& what);
    static ForeignKeyRow makeForeignKeyRow(const db::Recordset& rs);
    static ViewColumnRow makeViewColumnRow(const db::Recordset& rs);
    // Reads the per-table rowsets of every table at once (whole-database reading only).
    void prefetchTableRowsets();

    void InitXmlDocument(const std::string& rootName);
    // The key's name where the column is in the table's primary key ("" where not), and its
    // place in the key.
    std::string GetPrimaryKey(const ObjectId& table, const std::string& column, std::string* position = nullptr);
    std::string GetCheckConstraints(const ObjectId& table, const std::string& column);
    std::string GetCheckName(const ObjectId& table, const std::string& column);
    void GenerateForeignKeyElement(const ObjectId& table);
    void GenerateIndexXML(const ObjectId& table);
    static std::string objectKey(const std::string& schema, const std::string& name);
    // The name a table is written under (its qualified name where two schemas share it).
    std::string writtenTable(const std::string& schema, const std::string& name) const;
    static bool IsNumber(const std::string& text);
    static std::string renamedType(const std::string& typeName, long long length);

    template <class Row, class MakeRow>
    const std::vector<Row>& rowsFor(RowsetIndex<Row>& index, db::SchemaEnum schema, ObjectColumns where,
                                    const ObjectId& id, MakeRow makeRow, const char* source);
    template <class Row, class MakeRow>
    const std::vector<Row>& tableRows(RowsetIndex<Row>& index, db::SchemaEnum schema, ObjectColumns where,
                                      const ObjectId& id, MakeRow makeRow, const char* source);
    template <class Row>
    const std::vector<Row>& prefetched(const RowsetIndex<Row>& index, const ObjectId& id);
    void loadProviderTypes();
    void loadCheckConstraints();
    void fail(const db::Error& e, const char* source);
    bool stopped() const { return m_Cancel || m_Failed; }
    void raise(std::int32_t status, const std::string& message) { RaiseImportingDB(status, message, 2); }

    std::vector<ObjectId> m_Tables;  // tables rowset order, each table once
    std::unordered_map<std::string, std::string> m_WrittenTables;  // objectKey -> written name
    bool m_Prefetched = false;
    bool m_WholeCatalogue = false;  // keys, indexes and foreign keys come with one query each

    xml::Node m_Root;
    std::unordered_map<std::string, xml::Node> m_TableNodes;  // TABLE of each objectKey
    RowsetReading m_Reading = RowsetReading::Auto;
    bool m_Failed = false;
    std::string m_Catalog;  // restricts every rowset where the driver would list all databases

    RowsetIndex<ColumnRow> m_Columns;
    RowsetIndex<KeyRow> m_PrimaryKeys;
    RowsetIndex<IndexRow> m_Indexes;
    RowsetIndex<ForeignKeyRow> m_ForeignKeys;
    RowsetIndex<ViewColumnRow> m_ViewColumns;

    bool m_TypesLoaded = false;
    std::unordered_map<long long, std::string> m_TypeNames;  // first TYPE_NAME per DATA_TYPE

    bool m_ChecksLoaded = false;
    // Check clause per objectKey + '\x1f' + "column", first constraint found; constraints named
    // "table.column" by the engine are matched by table name without regard to case.
    std::unordered_map<std::string, std::string> m_Checks, m_NamedChecks;
    // The constraint's name of a column with one check placed by table and column ("" for several).
    std::unordered_map<std::string, std::string> m_CheckNames;
};
