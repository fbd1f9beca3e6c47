#include "import/cADODB.h"

#include "core/bErrorHandler.h"
#include "platform/ui/ProgressTarget.h"
#include "platform/ui/Prompter.h"
#include "platform/text/Text.h"

#include <QString>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>
#include <unordered_set>

namespace {

std::string upperText(const std::string& s)
{
    bool ascii = std::all_of(s.begin(), s.end(), [](unsigned char ch) { return ch < 0x80; });
    if (ascii) {
        std::string out = s;
        for (char& ch : out)
            if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
        return out;
    }
    return QString::fromStdString(s).toUpper().toStdString();
}

std::string removeChars(std::string s, const char* chars)
{
    s.erase(std::remove_if(s.begin(), s.end(),
                           [chars](char ch) { return std::string_view(chars).find(ch) != std::string_view::npos; }),
            s.end());
    return s;
}

// Columns-rowset fields beyond ADO's and the COLUMN attributes they become, written only where
// the engine gives a value: what recreating a column needs beyond its type name.
constexpr std::pair<const char*, const char*> kColumnExtras[] = {
    {"ENUM_LABELS", "Enum_Labels"},         {"DOMAIN_TYPE", "Domain_Type"},
    {"DOMAIN_DEFAULT", "Domain_Default"},   {"DOMAIN_NOT_NULL", "Domain_Not_Null"},
    {"DOMAIN_CHECKS", "Domain_Check"},      {"OWNED_SEQUENCE", "Owned_Sequence"},
    {"DISPLAY_WIDTH", "Display_Width"},     {"AUTO_INCREMENT", "Auto_Increment"}};

std::string checkKey(const std::string& table, const std::string& column)
{
    return table + '\x1f' + column;
}

// Field positions of a recordset, looked up once; a missing field reads as Null.
class Fields {
public:
    Fields(const db::Recordset& rs, std::initializer_list<const char*> names) : rs_(rs)
    {
        for (const char* n : names) idx_.push_back(rs.fieldIndex(n));
    }
    const db::Value& operator[](std::size_t i) const
    {
        static const db::Value null;
        return idx_[i] ? rs_.field(*idx_[i]) : null;
    }
    std::string text(std::size_t i) const { return (*this)[i].toString(); }
    bool has(std::size_t i) const { return idx_[i].has_value(); }

private:
    const db::Recordset& rs_;
    std::vector<std::optional<int>> idx_;
};

// Names as written: a name that more than one schema holds is qualified by its schema, and so
// is a name that would then read like another's qualified one ("a.b" beside a's b).
template <class Id>
std::vector<std::string> writtenNames(const std::vector<Id>& ids)
{
    std::unordered_map<std::string, int> schemasOf;
    for (const Id& id : ids) ++schemasOf[id.name];
    std::vector<std::string> out;
    out.reserve(ids.size());
    for (const Id& id : ids)
        out.push_back(schemasOf[id.name] > 1 && !id.schema.empty() ? id.schema + "." + id.name : id.name);
    for (bool clash = true; clash;) {
        clash = false;
        std::unordered_map<std::string, int> uses;
        for (const std::string& n : out) ++uses[n];
        for (std::size_t i = 0; i < ids.size(); ++i)
            if (uses[out[i]] > 1 && out[i] == ids[i].name && !ids[i].schema.empty()) {
                out[i] = ids[i].schema + "." + ids[i].name;
                clash = true;
            }
    }
    return out;
}

}  // namespace

cADODB::cADODB() = default;
cADODB::~cADODB() = default;

bool cADODB::OpenDalvDatabase()
{
    raise(1, "Connecting to database " + DatabaseName);
    try {
        cDalvane.setCursorLocation(db::adUseClient);
        cDalvane.setMode(db::adModeRead);  // nothing is written, and no database file created
        cDalvane.setConnectionString(ConnectionString);
        if (cDalvane.isOpen()) cDalvane.close();
        cDalvane.open();
        // The whole-database catalogue queries are estimated high enough to start PostgreSQL's
        // JIT compiler, a fixed cost larger than the queries themselves.
        if (text::lower(cDalvane.dbmsName()).rfind("postgresql", 0) == 0) {
            try {
                cDalvane.execute("SET jit = off");
            } catch (const db::Error&) {
                // servers before 11 have no JIT
            }
        }
        return true;
    } catch (const db::Error& e) {
        const auto& errs = cDalvane.errors();
        long number = errs.empty() ? e.number() : errs.front().number;
        std::string description = errs.empty() ? e.description() : errs.front().description;
        // What the driver said stands under the message: a refused port, an unknown database
        // and a login that timed out read alike without it.
        std::string said;
        std::vector<std::string> lines;
        for (const db::ProviderError& pe : errs)
            if (std::string line = text::trim(pe.description);
                !line.empty() && std::find(lines.begin(), lines.end(), line) == lines.end()) {
                said += (said.empty() ? "" : "\n") + line;
                lines.push_back(std::move(line));
            }
        const std::string under = said.empty() ? std::string() : "\n\n" + said;
        if (!errs.empty() && number == db::err::Fail) {
            ui::MsgBox("Please check the server name and database name and try again." + under, ui::MsgButtons::OK,
                       ui::MsgIcon::Critical, "Dalvane 4.5");
        } else if (!errs.empty() && number == db::err::AuthFailed) {
            ui::MsgBox("Incorrect database login name and password, try again!" + under, ui::MsgButtons::OK,
                       ui::MsgIcon::Critical, "Dalvane 4.5");
        } else if (number == db::err::Timeout) {
            HandleError(number, e.description() + (said == e.description() ? std::string() : under),
                        "cADODB.OpenDalvDatabase");
        } else if (number == db::err::ProviderNotFound) {
            ui::MsgBox(ProviderMissingMessage(description), ui::MsgButtons::OK, ui::MsgIcon::Critical);
        } else {
            HandleError(number, description, "cADODB.OpenDalvDatabase");
        }
    } catch (const std::exception& e) {
        HandleError(db::err::Fail, e.what(), "cADODB.OpenDalvDatabase");
    }
    return false;
}

bool cADODB::GenerateXML()
{
    if (!cDalvane.isOpen()) return false;
    try {
        raise(3, "Initialing XML...");
        if (m_Cancel) return false;
        InitXmlDocument("DATABASE");
        // Object kinds this reader does not read, so that no one counts them as none; the
        // indexes it reads are the unique ones.
        m_Root.setAttribute("Not_Read", "STOREDPROCEDURE TRIGGER");
        m_Root.setAttribute("Indexes_Read", "Unique");
        // The engine behind the driver: its declared types follow its own rules.
        m_Root.setAttribute("DBMS_Name", cDalvane.dbmsName());
        // MySQL-family drivers list every database's objects unless told the current one.
        const std::string dbms = upperText(cDalvane.dbmsName());
        if (dbms.find("MYSQL") != std::string::npos || dbms.find("MARIADB") != std::string::npos) {
            m_Catalog = cDalvane.currentCatalog();
            // Without a current database there is nothing to read: say so rather than write an
            // empty structure as a success.
            if (m_Catalog.empty()) {
                m_Failed = true;
                HandleError(db::err::Fail, "The connection names no database: add Database=<name> to its connection string.",
                            "GenerateXML");
                return false;
            }
        }
        // The catalogue as it is now: its list of tables is read once for every rowset.
        const db::CatalogueRead reading(cDalvane);
        m_WholeCatalogue = cDalvane.readsWholeCatalogue(db::adSchemaPrimaryKeys) &&
                           cDalvane.readsWholeCatalogue(db::adSchemaIndexes) &&
                           cDalvane.readsWholeCatalogue(db::adSchemaForeignKeys);
        GenerateTablesXML();
        if (stopped()) return false;
        GenerateViewsXML();
        if (m_Failed) return false;
        raise(4, "Database imported");
        return !m_Cancel;
    } catch (const Failure&) {
        return false;
    } catch (const std::exception& e) {
        m_Failed = true;
        HandleError(db::err::Fail, e.what(), "GenerateXML");
        return false;
    }
}

void cADODB::InitXmlDocument(const std::string& rootName)
{
    oResultXML = xml::Document();
    m_Root = oResultXML.createRoot(rootName);
    m_TableNodes.clear();
    m_WrittenTables.clear();
}

void cADODB::fail(const db::Error& e, const char* source)
{
    m_Failed = true;
    HandleError(e.number(), e.description(), source);
    throw Failure();
}

// Rows of one table (or view) from a per-table schema rowset. The first call reads the whole
// database and indexes it by nameColumn; a driver that refuses is asked per name instead.
std::string cADODB::objectKey(const std::string& schema, const std::string& name)
{
    return schema + '\x1f' + name;
}

std::string cADODB::writtenTable(const std::string& schema, const std::string& name) const
{
    auto it = m_WrittenTables.find(objectKey(schema, name));
    return it == m_WrittenTables.end() ? name : it->second;
}

// Restrictions naming one object: the catalog, its schema (when it has one) and its name.
static std::vector<db::Value> objectRestrictions(const std::string& catalog, std::size_t schemaSlot,
                                                 const std::string& schema, std::size_t nameSlot,
                                                 const std::string& name)
{
    std::vector<db::Value> restrictions(std::max(schemaSlot, nameSlot) + 1);
    if (!catalog.empty()) restrictions[0] = db::Value(catalog);
    if (!schema.empty()) restrictions[schemaSlot] = db::Value(schema);
    restrictions[nameSlot] = db::Value(name);
    return restrictions;
}

template <class Row, class MakeRow>
const std::vector<Row>& cADODB::rowsFor(RowsetIndex<Row>& index, db::SchemaEnum schema, ObjectColumns where,
                                        const ObjectId& id, MakeRow makeRow, const char* source)
{
    static const std::vector<Row> none;
    const std::string key = objectKey(id.schema, id.name);
    if (!index.loaded) {
        index.loaded = true;
        if (m_Reading == RowsetReading::Auto) {
            try {
                std::vector<db::Value> whole;
                if (!m_Catalog.empty()) whole.push_back(db::Value(m_Catalog));
                if (!index.schema.empty()) {
                    whole.resize(2);
                    whole[1] = db::Value(index.schema);
                }
                // Read in parts: the rowset is never held whole beside the rows kept from it.
                bool named = true;
                // The rows of one object come together: its name is compared, not copied and
                // hashed again, from its second row on.
                std::vector<Row>* rows = nullptr;
                std::string rowsSchema, rowsName;
                auto gather = [&](db::Recordset& rs) {
                    auto nameIdx = rs.fieldIndex(where.nameField);
                    auto schemaIdx = rs.fieldIndex(where.schemaField);
                    named = named && nameIdx;
                    if (!named) return;
                    for (; !rs.eof(); rs.moveNext()) {
                        const std::string s = schemaIdx ? rs.field(*schemaIdx).toString() : std::string();
                        // Some drivers take the schema for a pattern.
                        if (!index.schema.empty() && s != index.schema) continue;
                        const db::Value& name = rs.field(*nameIdx);
                        if (!rows || s != rowsSchema || !name.readsAs(rowsName)) {
                            rowsSchema = s;
                            rowsName = name.toString();
                            rows = &index.byName[objectKey(s, rowsName)];
                        }
                        rows->push_back(makeRow(rs));
                    }
                };
                // One catalogue query for the whole database, long on a large one: it runs beside
                // the window, which lets its events run meanwhile. Its parts are gathered by the
                // window's thread, which keeps and frees the rows.
                ui::runLettingEventsRun([&] {
                    cDalvane.openSchema(schema, whole, 1000, [&](db::Recordset& rs) {
                        if (!ui::runOnEventsThread([&] { gather(rs); })) gather(rs);
                    });
                });
                if (named) {
                    auto it = index.byName.find(key);
                    return it == index.byName.end() ? none : it->second;
                }
                index.byName.clear();
            } catch (const db::Error&) {
                index.byName.clear();  // not answered for the whole database: ask per table
            }
        }
        index.perTable = true;
    }
    if (index.missing) return none;
    if (!index.perTable) {
        auto it = index.byName.find(key);
        return it == index.byName.end() ? none : it->second;
    }
    if (index.currentKey == key && !index.current.empty()) return index.current;
    index.current.clear();
    index.currentKey = key;
    try {
        db::Recordset rs = cDalvane.openSchema(
            schema, objectRestrictions(m_Catalog, where.schemaSlot, id.schema, where.nameSlot, id.name));
        for (; !rs.eof(); rs.moveNext()) index.current.push_back(makeRow(rs));
    } catch (const db::Error& e) {
        if (e.number() != db::err::NotSupported) fail(e, source);
        index.missing = true;
        return none;
    }
    return index.current;
}

cADODB::ColumnRow cADODB::makeColumnRow(const db::Recordset& rs)
{
    Fields f(rs, {"COLUMN_NAME", "CHARACTER_MAXIMUM_LENGTH", "DATETIME_PRECISION", "NUMERIC_PRECISION", "DATA_TYPE",
                  "COLUMN_DEFAULT", "IS_NULLABLE", "ORDINAL_POSITION", "NUMERIC_SCALE", "TYPE_NAME"});
    ColumnRow row{f.text(0), f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], {}};
    for (const auto& [field, attribute] : kColumnExtras) {
        const auto at = rs.fieldIndex(field);
        row.extras.push_back(at ? rs.field(*at) : db::Value());
    }
    return row;
}

std::string cADODB::holdable(const std::string& value, const std::string& what)
{
    if (xml::visibleText(value) == value) return value;
    ReportWarning(what + " holds a control character, which the structure cannot hold: it is left out.",
                  "cADODB.GenerateTablesXML");
    return {};
}

cADODB::KeyRow cADODB::makeKeyRow(const db::Recordset& rs)
{
    Fields f(rs, {"COLUMN_NAME", "PK_NAME", "ORDINAL"});
    return KeyRow{f.text(0), f.text(1), f[2]};
}

cADODB::IndexRow cADODB::makeIndexRow(const db::Recordset& rs)
{
    Fields f(rs, {"INDEX_NAME", "COLUMN_NAME", "UNIQUE", "ORDINAL_POSITION", "FILTER_CONDITION", "COLUMN_EXPRESSION",
                  "PREFIX_LENGTH", "INCLUDED_COLUMNS", "NULLS_NOT_DISTINCT"});
    return IndexRow{f.text(0), f.text(1), f[2], f[3], f[4], f[5], f[6], f[7], f[8]};
}

cADODB::ForeignKeyRow cADODB::makeForeignKeyRow(const db::Recordset& rs)
{
    Fields f(rs, {"FK_NAME", "FK_COLUMN_NAME", "PK_TABLE_NAME", "FK_TABLE_NAME", "UPDATE_RULE", "DELETE_RULE",
                  "PK_COLUMN_NAME", "PK_TABLE_SCHEMA", "FK_TABLE_SCHEMA", "FK_TABLE_CATALOG", "ORDINAL"});
    bool numbered = false;
    const long long ordinal = f[10].toInt(&numbered);
    return ForeignKeyRow{f.text(0), f.text(1), f.text(2), f.text(3), f.text(4),      f.text(5),
                         f.text(6), f.text(7), f.text(8), f.text(9), numbered ? std::max(ordinal, 0LL) : 0};
}

cADODB::ViewColumnRow cADODB::makeViewColumnRow(const db::Recordset& rs)
{
    Fields f(rs, {"COLUMN_NAME", "TABLE_NAME", "TABLE_SCHEMA"});
    return ViewColumnRow{f.text(0), f.text(1), f.text(2)};
}

// Primary keys, indexes and foreign keys of every table, one catalogue call per table and rowset,
// spread over extra connections. Foreign keys are asked from the referencing side (cheap for
// every driver) and filed under the referenced table.
void cADODB::prefetchTableRowsets()
{
    m_Prefetched = true;
    const std::vector<ObjectId>& tables = m_Tables;
    const std::size_t n = tables.size();
    struct Slot {
        std::vector<KeyRow> keys;
        std::vector<IndexRow> indexes;
        std::vector<ForeignKeyRow> foreignKeys;
    };
    std::vector<Slot> fetched(n);
    std::atomic<bool> keysMissing{false}, indexesMissing{false}, foreignKeysMissing{false}, stop{false};
    std::mutex errorLock;
    std::optional<db::Error> error;
    const char* errorSource = nullptr;

    auto fetch = [&](db::Connection& c, std::size_t i) {
        auto read = [&](db::SchemaEnum schema, std::size_t schemaSlot, std::size_t slot, std::atomic<bool>& missing,
                        const char* source, auto make, auto& into) {
            if (missing || stop) return;
            try {
                db::Recordset rs = c.openSchema(
                    schema, objectRestrictions(m_Catalog, schemaSlot, tables[i].schema, slot, tables[i].name));
                for (; !rs.eof(); rs.moveNext()) into.push_back(make(rs));
            } catch (const db::Error& e) {
                if (e.number() == db::err::NotSupported) {
                    missing = true;
                    return;
                }
                std::lock_guard<std::mutex> lock(errorLock);
                if (!error) {
                    error = e;
                    errorSource = source;
                }
                stop = true;
            }
        };
        read(db::adSchemaPrimaryKeys, 1, 2, keysMissing, "GetPrimaryKey", makeKeyRow, fetched[i].keys);
        read(db::adSchemaIndexes, 1, 4, indexesMissing, "GenerateIndexXML", makeIndexRow, fetched[i].indexes);
        read(db::adSchemaForeignKeys, 4, 5, foreignKeysMissing, "cADODB.GenerateForeignKeyElement",
             makeForeignKeyRow, fetched[i].foreignKeys);
    };

    // The main connection starts alone; when the catalogue calls prove slow (a server round trip
    // each) and much is left, extra connections share the rest.
    std::atomic<std::size_t> next{0};
    const auto started = std::chrono::steady_clock::now();
    std::vector<std::unique_ptr<db::Connection>> extra;
    std::vector<std::thread> threads;
    bool spread = false;
    for (std::size_t i, done = 0; !stop && (i = next++) < n; ++done) {
        fetch(cDalvane, i);
        ui::processPendingEvents();
        if (spread || done + 1 != 16 || n - i < 64) continue;
        spread = true;
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        const double perTable = elapsed / 16;
        if (perTable < 0.001 || perTable * static_cast<double>(n - i) < 0.5) continue;
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        const std::size_t workers = std::min<std::size_t>({7, cores, (n - i) / 64});
        for (std::size_t k = 0; k < workers; ++k) {
            auto c = std::make_unique<db::Connection>();
            try {
                c->setCursorLocation(db::adUseClient);
                c->setMode(db::adModeRead);
                c->open(ConnectionString);
            } catch (const db::Error&) {
                break;  // the main connection does the rest
            }
            extra.push_back(std::move(c));
            threads.emplace_back([&, conn = extra.back().get()] {
                for (std::size_t j; !stop && (j = next++) < n;) fetch(*conn, j);
            });
        }
    }
    for (auto& t : threads) t.join();
    if (error) fail(*error, errorSource);

    for (auto* index : {&m_PrimaryKeys.loaded, &m_Indexes.loaded, &m_ForeignKeys.loaded}) *index = true;
    m_PrimaryKeys.missing = keysMissing;
    m_Indexes.missing = indexesMissing;
    m_ForeignKeys.missing = foreignKeysMissing;
    for (std::size_t i = 0; i < n; ++i) {
        const std::string key = objectKey(tables[i].schema, tables[i].name);
        if (!keysMissing && !fetched[i].keys.empty()) m_PrimaryKeys.byName[key] = std::move(fetched[i].keys);
        if (!indexesMissing && !fetched[i].indexes.empty()) m_Indexes.byName[key] = std::move(fetched[i].indexes);
        if (!foreignKeysMissing)
            for (ForeignKeyRow& fk : fetched[i].foreignKeys)
                m_ForeignKeys.byName[objectKey(fk.pkSchema, fk.pkTable)].push_back(std::move(fk));
    }
}

// Rows of one table from a rowset the driver answers per table: read once for the whole
// database where the connection serves it with one query, else prefetched table by table
// (or, in per-table mode, asked when needed).
template <class Row, class MakeRow>
const std::vector<Row>& cADODB::tableRows(RowsetIndex<Row>& index, db::SchemaEnum schema, ObjectColumns where,
                                          const ObjectId& id, MakeRow makeRow, const char* source)
{
    if (m_Reading == RowsetReading::Auto && !m_WholeCatalogue) return prefetched(index, id);
    if (m_Reading == RowsetReading::Auto && !m_Prefetched) {
        // Read ahead like the prefetch: all three rowsets when the first is needed.
        m_Prefetched = true;
        rowsFor(m_PrimaryKeys, db::adSchemaPrimaryKeys, tableColumns, id, makeKeyRow, "GetPrimaryKey");
        rowsFor(m_Indexes, db::adSchemaIndexes, indexColumns, id, makeIndexRow, "GenerateIndexXML");
        rowsFor(m_ForeignKeys, db::adSchemaForeignKeys, referencedColumns, id, makeForeignKeyRow,
                "cADODB.GenerateForeignKeyElement");
    }
    return rowsFor(index, schema, where, id, makeRow, source);
}

template <class Row>
const std::vector<Row>& cADODB::prefetched(const RowsetIndex<Row>& index, const ObjectId& id)
{
    static const std::vector<Row> none;
    if (!m_Prefetched) prefetchTableRowsets();
    if (index.missing) return none;
    auto it = index.byName.find(objectKey(id.schema, id.name));
    return it == index.byName.end() ? none : it->second;
}

void cADODB::GenerateTablesXML()
{
    ui::processPendingEvents();
    db::Recordset tables;
    try {
        tables = cDalvane.openSchema(db::adSchemaTables, {db::Value(m_Catalog), {}, {}, "TABLE"});
    } catch (const db::Error& e) {
        if (e.number() == db::err::NotSupported) return;
        fail(e, "GenerateTablesXML");
    }
    Fields tf(tables, {"TABLE_NAME", "DATE_CREATED", "TABLE_SCHEMA"});
    m_Tables.clear();
    std::vector<std::string> created;
    std::unordered_set<std::string> seen;
    for (; !tables.eof(); tables.moveNext())
        if (seen.insert(objectKey(tf.text(2), tf.text(0))).second) {
            m_Tables.push_back({tf.text(2), tf.text(0)});
            created.push_back(tf.text(1));
        }
    const std::vector<std::string> written = writtenNames(m_Tables);
    for (std::size_t i = 0; i < m_Tables.size(); ++i)
        if (written[i] != m_Tables[i].name)
            m_WrittenTables.emplace(objectKey(m_Tables[i].schema, m_Tables[i].name), written[i]);
    // Tables of one schema: their columns are read for that schema alone.
    m_Columns.schema.clear();
    if (!m_Tables.empty() && std::all_of(m_Tables.begin(), m_Tables.end(),
                                         [&](const ObjectId& t) { return t.schema == m_Tables.front().schema; }))
        m_Columns.schema = m_Tables.front().schema;
    // Some drivers number ORDINAL_POSITION across the whole catalogue when no table is named;
    // seen as one running count over all rows, it is replaced by the position in the table.
    long long sequence = 0;
    bool runningCount = true;
    auto makeColumn = [&sequence, &runningCount](const db::Recordset& rs) {
        ColumnRow row = makeColumnRow(rs);
        if (row.ordinalPosition.toInt() != ++sequence) runningCount = false;
        return row;
    };
    bool ordinalsChecked = false;
    for (std::size_t i = 0; i < m_Tables.size(); ++i) {
        const ObjectId& id = m_Tables[i];
        const std::string& t = written[i];
        raise(3, "Importing " + t);
        if (stopped()) return;

        xml::Node table = m_Root.appendElement("TABLE");
        table.setAttribute("Name", t);
        table.setAttribute("DATE_CREATED", created[i]);
        table.setAttribute("Report", "1");
        table.setAttribute("Migrate", "0");
        m_TableNodes.emplace(objectKey(id.schema, id.name), table);

        const auto& columns = rowsFor(m_Columns, db::adSchemaColumns, tableColumns, id, makeColumn, "GenerateTablesXML");
        if (!ordinalsChecked) {
            ordinalsChecked = true;
            if (!m_Columns.perTable && runningCount && m_Columns.byName.size() > 1)
                for (auto& [name, rows] : m_Columns.byName)
                    for (std::size_t i = 0; i < rows.size(); ++i)
                        rows[i].ordinalPosition = db::Value(static_cast<long long>(i + 1));
        }
        for (const ColumnRow& col : columns) {
            const std::string& c = col.name;
            raise(3, "Fetching properties of column " + c + " in " + t);
            if (stopped()) return;

            long long length = 0;
            if (!col.charLength.isNull()) length = col.charLength.toInt();
            else if (!col.datetimePrecision.isNull()) length = col.datetimePrecision.toInt();
            else if (!col.numericPrecision.isNull()) length = col.numericPrecision.toInt();

            std::string datatype;
            const std::string d = text::trim(col.dataType.toString());
            // The driver's own name of the column's type where it gives one, as the engine names
            // it (a "longtext" is no Access Text); the provider type of the code stands for
            // several names. A bit keeps the name the scripts carry its width under.
            if (!col.typeName.isNull())
                datatype = QString::fromStdString(col.typeName.toString()).toLower() == "bit"
                               ? renamedType(col.typeName.toString(), length)
                               : col.typeName.toString();
            else if (IsNumber(d) && col.dataType.isNumeric())
                datatype = GetFieldType(col.dataType.toInt(), col.charLength.toInt(),
                                        col.datetimePrecision.toInt(), col.numericPrecision.toInt());
            else
                datatype = col.dataType.toString();

            // A bare NULL is the engine's way of saying there is no default.
            std::string columnDefault = col.columnDefault.isNull() ? std::string() : col.columnDefault.toString();
            if (upperText(text::trim(columnDefault)) == "NULL") columnDefault.clear();

            std::string nullAllowed;
            if (col.isNullable.isNumeric())
                nullAllowed = col.isNullable.toDouble() == 0 ? "False" : "True";
            else {
                const std::string n = upperText(text::trim(col.isNullable.toString()));
                nullAllowed = (n == "NO" || n == "FALSE") ? "False" : "True";
            }

            std::string keyPosition;
            const std::string primaryKey = GetPrimaryKey(id, c, &keyPosition);
            if (stopped()) return;
            const std::string check = GetCheckConstraints(id, c);
            if (stopped()) return;

            // A default or check XML cannot hold (a control character) is left out and said so,
            // never written as another text.
            const std::string place = t + "." + c;
            const std::string shownDefault = holdable(columnDefault, "The default of " + place);
            const std::string shownCheck = holdable(check, "The check of " + place);

            xml::Node column = table.appendElement("COLUMN");
            column.setAttribute("Name", c);
            column.setAttribute("Datatype", datatype);
            column.setAttribute("Length", std::to_string(length));
            column.setAttribute("Scale", col.numericScale.isNull() ? std::string() : col.numericScale.toString());
            column.setAttribute("Ordinal_Position", col.ordinalPosition.toString());
            column.setAttribute("Column_Default", shownDefault);
            column.setAttribute("Null_Allowed", nullAllowed);
            column.setAttribute("Check_Constraint", shownCheck);
            if (!shownCheck.empty())
                if (const std::string name = GetCheckName(id, c); !name.empty()) column.setAttribute("Check_Name", name);
            column.setAttribute("Primary_Key", primaryKey);
            if (!primaryKey.empty() && !keyPosition.empty()) column.setAttribute("Key_Position", keyPosition);
            for (std::size_t e = 0; e < col.extras.size(); ++e)
                if (!col.extras[e].isNull())
                    column.setAttribute(kColumnExtras[e].second,
                                        holdable(col.extras[e].toString(), std::string(kColumnExtras[e].second) + " of " + place));
        }
        GenerateIndexXML(id);
        if (stopped()) return;
        GenerateForeignKeyElement(id);
        // Each table is written once: its rows are not needed again.
        const std::string key = objectKey(id.schema, id.name);
        m_Columns.release(key);
        m_PrimaryKeys.release(key);
        m_Indexes.release(key);
        m_ForeignKeys.release(key);
    }
}

void cADODB::loadProviderTypes()
{
    m_TypesLoaded = true;
    try {
        db::Recordset rs = cDalvane.openSchema(db::adSchemaProviderTypes);
        Fields f(rs, {"DATA_TYPE", "TYPE_NAME"});
        for (; !rs.eof(); rs.moveNext()) m_TypeNames.emplace(f[0].toInt(), f.text(1));
    } catch (const db::Error& e) {
        if (e.number() != db::err::NotSupported) fail(e, "GetFieldType");
    }
}

std::string cADODB::GetFieldType(long long lFieldType, long long lCHARACTER_MAXIMUM_LENGTH,
                                 long long lDATETIME_PRECISION, long long lNUMERIC_PRECISION)
{
    if (!m_TypesLoaded) loadProviderTypes();
    auto it = m_TypeNames.find(lFieldType);
    if (it == m_TypeNames.end()) return {};
    long long length = lCHARACTER_MAXIMUM_LENGTH != 0 ? lCHARACTER_MAXIMUM_LENGTH
                       : lNUMERIC_PRECISION != 0  ? lNUMERIC_PRECISION
                                                  : lDATETIME_PRECISION;
    return renamedType(it->second, length);
}

std::string cADODB::renamedType(const std::string& typeName, long long length)
{
    const std::string lower = QString::fromStdString(typeName).toLower().toStdString();
    if (lower == "longtext") return length != 0 ? "Text" : "Memo";
    if (lower == "bit") return "YesNo";
    if (lower == "long") return "Long Integer";
    return typeName;
}

bool cADODB::IsNumber(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), [](unsigned char ch) { return ch >= '0' && ch <= '9'; });
}

std::string cADODB::GetPrimaryKey(const ObjectId& table, const std::string& column, std::string* position)
{
    const auto& keys = tableRows(m_PrimaryKeys, db::adSchemaPrimaryKeys, tableColumns, table, makeKeyRow,
                                 "GetPrimaryKey");
    if (keys.empty()) return {};
    const std::string& c = column;
    for (const KeyRow& k : keys) {
        raise(3, "Fetching primary keys (if any) in " + table.name);
        if (m_Cancel) return {};
        // An engine without key names still marks the key's columns.
        if (k.column != c) continue;
        if (position && !k.ordinal.isNull()) *position = k.ordinal.toString();
        return k.pkName.empty() ? "PK_" + table.name : k.pkName;
    }
    return {};
}

void cADODB::loadCheckConstraints()
{
    m_ChecksLoaded = true;
    // A check whose table and column the engine tells goes there. Others are named
    // "table.column", or else placed through the constraint-column usage, keyed by schema and
    // name (a key two constraints share is ambiguous and left out). A column with several
    // checks has them all, each in parentheses, joined by AND.
    std::unordered_set<std::string> several;
    auto place = [&](const std::string& key, const std::string& clause, const std::string& name) {
        auto [it, added] = m_Checks.emplace(key, clause);
        m_CheckNames[key] = added ? name : std::string();
        if (added) return;
        if (several.insert(key).second) it->second = "(" + it->second + ")";
        it->second += " AND (" + clause + ")";
    };
    std::unordered_map<std::string, std::pair<std::string, int>> unplaced;
    auto constraintKey = [](const std::string& schema, const std::string& name) { return schema + '\x1f' + name; };
    try {
        db::Recordset rs = cDalvane.openSchema(db::adSchemaCheckConstraints);
        Fields f(rs, {"CONSTRAINT_NAME", "CHECK_CLAUSE", "CONSTRAINT_SCHEMA", "TABLE_SCHEMA", "TABLE_NAME", "COLUMN_NAME"});
        for (; !rs.eof(); rs.moveNext()) {
            const bool onTable = !f[4].isNull();
            if (onTable && !f[5].isNull()) {
                place(checkKey(objectKey(f.text(3), f.text(4)), f.text(5)), f.text(1), f.text(0));
                continue;
            }
            const std::string n = f.text(0);
            auto dot = onTable ? std::string::npos : n.find('.');
            if (dot == std::string::npos) {
                auto& entry = unplaced[constraintKey(f.text(2), n)];
                entry.first = f.text(1);
                ++entry.second;
                continue;
            }
            std::string tablePart = removeChars(n.substr(0, dot), "[]");
            auto dot2 = n.find('.', dot + 1);
            std::string columnPart =
                removeChars(n.substr(dot + 1, dot2 == std::string::npos ? std::string::npos : dot2 - dot - 1), "[]");
            if (!tablePart.empty() && tablePart.front() == '+') tablePart.erase(0, 1);
            m_NamedChecks.emplace(checkKey(upperText(tablePart), upperText(columnPart)), f.text(1));
        }
    } catch (const db::Error& e) {
        if (e.number() == db::err::NotSupported || e.number() == db::err::ItemNotFound) return;
        fail(e, "cADODB.GetCheckConstraints");
    }
    if (unplaced.empty()) return;
    try {
        db::Recordset rs = cDalvane.openSchema(db::adSchemaConstraintColumnUsage);
        Fields f(rs, {"CONSTRAINT_SCHEMA", "CONSTRAINT_NAME", "TABLE_NAME", "COLUMN_NAME", "TABLE_SCHEMA"});
        for (; !rs.eof(); rs.moveNext()) {
            auto it = unplaced.find(constraintKey(f.text(0), f.text(1)));
            if (it == unplaced.end() || it->second.second != 1) continue;
            place(checkKey(objectKey(f.text(4), f.text(2)), f.text(3)), it->second.first, f.text(1));
        }
    } catch (const db::Error& e) {
        if (e.number() == db::err::NotSupported || e.number() == db::err::ItemNotFound) return;
        fail(e, "cADODB.GetCheckConstraints");
    }
}

std::string cADODB::GetCheckConstraints(const ObjectId& table, const std::string& column)
{
    if (!m_ChecksLoaded) loadCheckConstraints();
    auto it = m_Checks.find(checkKey(objectKey(table.schema, table.name), column));
    if (it != m_Checks.end()) return it->second;
    if (m_NamedChecks.empty()) return {};
    it = m_NamedChecks.find(checkKey(upperText(table.name), upperText(column)));
    return it == m_NamedChecks.end() ? std::string() : it->second;
}

std::string cADODB::GetCheckName(const ObjectId& table, const std::string& column)
{
    if (!m_ChecksLoaded) loadCheckConstraints();
    auto it = m_CheckNames.find(checkKey(objectKey(table.schema, table.name), column));
    return it == m_CheckNames.end() ? std::string() : it->second;
}

void cADODB::GenerateIndexXML(const ObjectId& table)
{
    const auto& rows = tableRows(m_Indexes, db::adSchemaIndexes, indexColumns, table, makeIndexRow, "GenerateIndexXML");
    if (rows.empty()) return;
    auto tableIt = m_TableNodes.find(objectKey(table.schema, table.name));

    // Members of each index in key order.
    auto membersOf = [&rows](const std::string& indexName) {
        std::vector<const IndexRow*> members;
        for (const IndexRow& r : rows)
            if (r.indexName == indexName) members.push_back(&r);
        std::stable_sort(members.begin(), members.end(), [](const IndexRow* a, const IndexRow* b) {
            return a->ordinal.toInt() < b->ordinal.toInt();
        });
        return members;
    };
    // A name the comma-joined list keeps: one that the list's reading (split at commas, blanks
    // at the ends dropped) gives back.
    auto listed = [](const std::string& name) {
        return !name.empty() && name.find(',') == std::string::npos && text::trim(name) == name;
    };

    std::vector<const std::string*> seen;
    for (const IndexRow& r : rows) {
        raise(3, "Importing " + r.indexName);
        if (stopped()) return;
        if (r.indexName.empty()) continue;  // table statistics row
        if (std::any_of(seen.begin(), seen.end(), [&r](const std::string* s) { return *s == r.indexName; }))
            continue;
        seen.push_back(&r.indexName);
        if (!r.unique.toBool()) continue;
        if (tableIt == m_TableNodes.end()) return;
        const std::vector<const IndexRow*> members = membersOf(r.indexName);
        xml::Node index = tableIt->second.appendElement("INDEX");
        index.setAttribute("Name", r.indexName);
        index.setAttribute("Table_Name", writtenTable(table.schema, table.name));
        index.setAttribute("Report", "1");
        index.setAttribute("Migrate", "0");
        // The names as the catalogue spells them ("+", blanks and all), joined by commas; where
        // that list cannot tell the members apart, or a member is an expression or a prefix,
        // each member is a COLUMN of its own too.
        std::string list;
        bool plain = true;
        for (const IndexRow* m : members) {
            const bool expression = !m->expression.isNull();
            plain = plain && !expression && m->prefixLength.isNull() && listed(m->columnName);
            const std::string shown = expression ? m->expression.toString() : m->columnName;
            if (shown.empty()) continue;
            if (!list.empty()) list += ',';
            list += shown;
        }
        index.setAttribute("Column_Name", list);
        if (!r.condition.isNull() && !r.condition.toString().empty())
            index.setAttribute("Condition", r.condition.toString());
        if (!r.included.isNull() && !r.included.toString().empty()) index.setAttribute("Included", r.included.toString());
        if (r.nullsNotDistinct.toBool()) index.setAttribute("Nulls_Not_Distinct", "True");
        if (plain) continue;
        for (const IndexRow* m : members) {
            xml::Node member = index.appendElement("COLUMN");
            if (!m->expression.isNull()) member.setAttribute("Expression", m->expression.toString());
            else member.setAttribute("Column_Name", m->columnName);
            if (!m->prefixLength.isNull()) member.setAttribute("Prefix_Length", m->prefixLength.toString());
        }
    }
}

void cADODB::GenerateForeignKeyElement(const ObjectId& table)
{
    raise(3, "Checking for Foreign key(s) in " + writtenTable(table.schema, table.name));
    if (stopped()) return;
    const auto& rows = tableRows(m_ForeignKeys, db::adSchemaForeignKeys, referencedColumns, table,
                                 makeForeignKeyRow, "cADODB.GenerateForeignKeyElement");
    auto tableIt = m_TableNodes.find(objectKey(table.schema, table.name));
    if (tableIt == m_TableNodes.end()) return;
    // The rows of one key: same referencing table and name, in key order. Where keys share both
    // (SQLite's unnamed keys), the n-th row at a place in the key belongs to the n-th key.
    std::vector<std::vector<const ForeignKeyRow*>> keys;
    using Group = std::tuple<std::string, std::string, std::string, std::string>;
    std::map<Group, std::vector<std::size_t>> keysOf;
    std::map<std::pair<Group, long long>, std::size_t> rowsAt;
    for (const ForeignKeyRow& r : rows) {
        // A key from another database's table is left out, as that table is, rather than
        // given to a namesake here.
        if (!m_Catalog.empty() && !r.fkCatalog.empty() && r.fkCatalog != m_Catalog) continue;
        Group g{r.fkCatalog, r.fkSchema, r.fkTable, r.fkName};
        // A row without its place joins the group's first key.
        const std::size_t nth = r.ordinal > 0 ? rowsAt[{g, r.ordinal}]++ : 0;
        auto& group = keysOf[g];
        while (group.size() <= nth) {
            group.push_back(keys.size());
            keys.emplace_back();
        }
        keys[group[nth]].push_back(&r);
    }
    for (auto& key : keys) {
        std::stable_sort(key.begin(), key.end(),
                         [](const ForeignKeyRow* a, const ForeignKeyRow* b) { return a->ordinal < b->ordinal; });
        for (const ForeignKeyRow* r : key) {
            xml::Node fk = tableIt->second.appendElement("FOREIGNKEY");
            fk.setAttribute("Name", r->fkName);
            fk.setAttribute("Related_Column", r->fkColumn);
            fk.setAttribute("Primary_Key_Table", writtenTable(r->pkSchema, r->pkTable));
            fk.setAttribute("Foreign_Key_Table", writtenTable(r->fkSchema, r->fkTable));
            fk.setAttribute("Update_Rule", r->updateRule);
            fk.setAttribute("Delete_Rule", r->deleteRule);
            fk.setAttribute("Primary_Key_Column", r->pkColumn);
            if (r->ordinal > 0) fk.setAttribute("Ordinal", std::to_string(r->ordinal));
            fk.setAttribute("Report", "1");
            fk.setAttribute("Migrate", "0");
        }
    }
}

void cADODB::GenerateViewsXML()
{
    if (stopped()) return;
    db::Recordset views;
    try {
        views = cDalvane.openSchema(db::adSchemaViews, {db::Value(m_Catalog)});
    } catch (const db::Error& e) {
        if (e.number() == db::err::NotSupported) return;
        fail(e, "GenerateViewsXML");
    }
    Fields vf(views, {"TABLE_NAME", "DATE_CREATED", "IS_UPDATABLE", "TABLE_SCHEMA"});
    struct ViewEntry {
        std::string schema, name, created, updatable;
    };
    std::vector<ViewEntry> entries;
    for (; !views.eof(); views.moveNext()) entries.push_back({vf.text(3), vf.text(0), vf.text(1), vf.text(2)});
    const std::vector<std::string> written = writtenNames(entries);
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (written[i] != entries[i].name)
            m_WrittenTables.emplace(objectKey(entries[i].schema, entries[i].name), written[i]);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ViewEntry& e = entries[i];
        const std::string& v = written[i];
        raise(3, "Importing " + v);
        if (stopped()) return;
        xml::Node view = m_Root.appendElement("VIEW");
        view.setAttribute("Name", v);
        view.setAttribute("CreatedOn", e.created);
        view.setAttribute("Updatable", e.updatable);
        view.setAttribute("Report", "1");
        view.setAttribute("Migrate", "0");
        const auto& usage = rowsFor(m_ViewColumns, db::adSchemaViewColumnUsage, viewColumns, {e.schema, e.name},
                                    makeViewColumnRow, "GenerateViewsXML");
        for (const ViewColumnRow& u : usage) {
            xml::Node column = view.appendElement("COLUMN");
            column.setAttribute("Name", u.column);
            column.setAttribute("SourceTable", writtenTable(u.tableSchema, u.table));
        }
    }
}
