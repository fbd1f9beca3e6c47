// Structure reader over the provider's schema rowsets: tables, columns, unique indexes,
// foreign keys (under the referenced table), views and the columns they use.
//
// Each schema rowset is read once per import and indexed by table or view name. Primary keys,
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
    void GenerateIndexXML(const std::string& sTableName);

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
    struct ColumnRow {
        std::string name;
        db::Value charLength, datetimePrecision, numericPrecision, dataType, columnDefault,
            isNullable, ordinalPosition, numericScale, typeName;
    };
    struct KeyRow {  // primary-key rows: column without a leading "+", key name
        std::string column, pkName;
    };
    struct IndexRow {
        std::string indexName, columnName;
        db::Value unique, ordinal;
    };
    struct ForeignKeyRow {
        std::string fkName, fkColumn, pkTable, fkTable, updateRule, deleteRule, pkColumn;
    };
    struct ViewColumnRow {
        std::string column, table;
    };

    // One schema rowset indexed by a name column.
    template <class Row>
    struct RowsetIndex {
        bool loaded = false;     // whole database read (or per-table mode decided)
        bool perTable = false;   // the driver answers per table only
        bool missing = false;    // the engine lacks the rowset
        std::unordered_map<std::string, std::vector<Row>> byName;
        std::vector<Row> current;  // per-table mode: rows of the last table asked for
        std::string currentName;
        // Rows of a name that is done with: a large catalogue is not held beside its document.
        void release(const std::string& name) {
            if (!perTable) byName.erase(name);
        }
    };

    class Failure {};  // unwinds to GenerateXML once a failure has been reported

    static ColumnRow makeColumnRow(const db::Recordset& rs);
    static KeyRow makeKeyRow(const db::Recordset& rs);
    static IndexRow makeIndexRow(const db::Recordset& rs);
    static ForeignKeyRow makeForeignKeyRow(const db::Recordset& rs);
    static ViewColumnRow makeViewColumnRow(const db::Recordset& rs);
    // Reads the per-table rowsets of every table at once (whole-database reading only).
    void prefetchTableRowsets();

    void InitXmlDocument(const std::string& rootName);
    std::string GetPrimaryKey(const std::string& table, const std::string& column);
    std::string GetCheckConstraints(const std::string& table, const std::string& column);
    void GenerateForeignKeyElement(const std::string& table);
    static bool IsNumber(const std::string& text);
    static std::string renamedType(const std::string& typeName, long long length);

    template <class Row, class MakeRow>
    const std::vector<Row>& rowsFor(RowsetIndex<Row>& index, db::SchemaEnum schema,
                                    std::size_t restrictionSlot, const char* nameColumn,
                                    const std::string& name, MakeRow makeRow,
                                    const char* source);
    template <class Row, class MakeRow>
    const std::vector<Row>& tableRows(RowsetIndex<Row>& index, db::SchemaEnum schema,
                                      std::size_t restrictionSlot, const char* nameColumn,
                                      const std::string& name, MakeRow makeRow, const char* source);
    template <class Row>
    const std::vector<Row>& prefetched(const RowsetIndex<Row>& index, const std::string& name);
    void loadProviderTypes();
    void loadCheckConstraints();
    void fail(const db::Error& e, const char* source);
    bool stopped() const { return m_Cancel || m_Failed; }
    void raise(std::int32_t status, const std::string& message) { RaiseImportingDB(status, message, 2); }

    std::vector<std::string> m_TableNames;  // tables rowset order, each name once
    bool m_Prefetched = false;
    bool m_WholeCatalogue = false;  // keys, indexes and foreign keys come with one query each

    xml::Node m_Root;
    std::unordered_map<std::string, xml::Node> m_TableNodes;  // first TABLE of each name
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
    // Check clause per "table" + '\x1f' + "column", first constraint found; constraints named
    // "table.column" by the engine are matched without regard to case.
    std::unordered_map<std::string, std::string> m_Checks, m_NamedChecks;
};
