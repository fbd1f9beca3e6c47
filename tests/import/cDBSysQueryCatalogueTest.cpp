// The shipped query definitions: checked for what the consumers read, and the SQL Server and
// Oracle trees run against catalogue rows written here (statements checked as text only).
#include "ImportTestSupport.h"

#include "core/bGlobal.h"
#include "import/cDBSysQuery.h"
#include "platform/fs/Paths.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>

namespace {

using Row = std::vector<db::Value>;

// Answers each statement with the rows of the first rule whose text it contains (and whose
// parameter matches), and records every statement with its parameters.
class CannedCatalogue : public cDBSysQuery {
public:
    struct Rule {
        std::string contains;
        int parameter;  // -1: any
        std::string value;
        std::vector<std::string> fields;
        std::vector<Row> rows;
    };
    std::vector<Rule> rules;
    std::string log;

protected:
    db::Recordset runStatement(const std::string& sql, const std::vector<db::Value>& parameters) override
    {
        log += sql + "\n";
        for (const db::Value& p : parameters) log += "  ? " + p.toString() + "\n";
        for (const Rule& r : rules) {
            if (sql.find(r.contains) == std::string::npos) continue;
            if (r.parameter >= 0 && (static_cast<size_t>(r.parameter) >= parameters.size() ||
                                     parameters[r.parameter].toString() != r.value))
                continue;
            std::vector<db::FieldInfo> fields;
            for (const std::string& f : r.fields) fields.push_back({f});
            return db::Recordset::fromRows(fields, r.rows);
        }
        return db::Recordset::fromRows({}, {});
    }
};

const db::Value null;

std::vector<CannedCatalogue::Rule> sqlServerCatalogue()
{
    const std::vector<std::string> object = {"owner_name", "table_name", "created"};
    return {
        {"o.type = 'U'", -1, "", object,
         {{"dbo", "Customers", "2004-05-01 10:00:00"}, {"dbo", "O'Hara Orders", "2004-05-02 11:30:00"}}},
        {"FROM syscolumns c", 0, "Customers",
         {"column_name", "type_name", "prec", "scale", "colid", "default_text", "null_allowed", "primary_key",
          "check_text", "description"},
         {{"CustomerID", "int", 10LL, 0LL, 1LL, null, "False", "True", null, "Customer number"},
          {"Name", "nvarchar", 40LL, null, 2LL, "('unknown')", "True", "False", "([Name] <> '')", null}}},
        {"FROM syscolumns c", 0, "O'Hara Orders",
         {"column_name", "type_name", "prec", "scale", "colid", "default_text", "null_allowed", "primary_key",
          "check_text", "description"},
         {{"OrderID", "int", 10LL, 0LL, 1LL, null, "False", "True", null, null},
          {"CustomerID", "int", 10LL, 0LL, 2LL, null, "True", "False", null, null}}},
        {"FROM sysindexes i, sysobjects o", 0, "Customers",
         {"owner_name", "table_name", "index_name", "index_type", "is_unique", "primary_key"},
         {{"dbo", "Customers", "PK_Customers", "Clustered", "Yes", "True"}}},
        {"FROM sysindexes i, sysobjects o", 0, "O'Hara Orders",
         {"owner_name", "table_name", "index_name", "index_type", "is_unique", "primary_key"},
         {{"dbo", "O'Hara Orders", "IX_Customer", "Non-Clustered", "No", "False"}}},
        {"FROM sysindexkeys", 4, "PK_Customers", {"column_name", "sort_order"}, {{"CustomerID", "Ascending"}}},
        {"FROM sysindexkeys", 4, "IX_Customer", {"column_name", "sort_order"},
         {{"CustomerID", "Descending"}, {"OrderID", "Ascending"}}},
        {"FROM sysforeignkeys", 0, "O'Hara Orders",
         {"fk_name", "fk_column", "pk_table", "fk_table", "pk_column", "update_rule", "delete_rule"},
         {{"FK_Orders_Customers", "CustomerID", "Customers", "O'Hara Orders", "CustomerID", "NO ACTION", "CASCADE"}}},
        {"o.type = 'TR'", 0, "O'Hara Orders", {"owner_name", "trigger_name", "created"},
         {{"dbo", "trOrders", "2004-05-03 09:00:00"}}},
        {"FROM syscomments m", 0, "trOrders", {"text"},
         {{"CREATE TRIGGER trOrders ON [O'Hara Orders] FOR INSERT AS"}, {" UPDATE Customers SET Name = Name"}}},
        {"FROM sysprotects", 0, "Customers",
         {"user_name", "object_name", "can_insert", "can_update", "can_delete", "can_select", "can_reference",
          "can_execute"},
         {{"public", "Customers", "No", "No", "No", "Yes", "No", "NA"}}},
        {"o.type = 'V'", -1, "", {"owner_name", "view_name", "created"}, {{"dbo", "Customer List", "2004-05-04 08:00:00"}}},
        {"FROM syscomments m", 0, "Customer List", {"text"}, {{"CREATE VIEW [Customer List] AS SELECT Name FROM Customers"}}},
        {"o.type = 'P'", -1, "", {"owner_name", "procedure_name", "created"}, {{"dbo", "usp_Orders", "2004-05-05 12:00:00"}}},
        {"FROM syscomments m", 0, "usp_Orders", {"text"},
         {{"CREATE PROCEDURE usp_Orders @id int AS SELECT * FROM [O'Hara Orders] WHERE Order"}, {"ID = @id"}}},
        {"@@LANGUAGE", -1, "", {"language_name"}, {{"us_english"}}},
        {"@@MAX_CONNECTIONS", -1, "", {"max_connections"}, {{32767LL}}},
        {"@@MAX_PRECISION", -1, "", {"max_precision"}, {{38LL}}},
        {"@@LOCK_TIMEOUT", -1, "", {"lock_timeout"}, {{-1LL}}},
    };
}

std::vector<CannedCatalogue::Rule> oracleCatalogue()
{
    const std::vector<std::string> columns = {"TABLE_NAME", "COLUMN_NAME", "DATA_TYPE", "PREC", "DATA_SCALE", "COLUMN_ID",
                                              "DATA_DEFAULT", "NULL_ALLOWED", "PRIMARY_KEY", "COMMENTS"};
    const std::vector<std::string> index = {"INDEX_NAME", "TABLE_NAME", "INDEX_TYPE", "IS_UNIQUE", "PRIMARY_KEY"};
    return {
        {"o.OBJECT_TYPE = 'TABLE'", -1, "", {"TABLE_NAME", "CREATED"},
         {{"CUSTOMERS", "2004-05-01 10:00:00"}, {"ORDERS", "2004-05-02 11:30:00"}}},
        {"FROM USER_TAB_COLUMNS", 0, "CUSTOMERS", columns,
         {{"CUSTOMERS", "CUST_ID", "NUMBER", 10LL, 0LL, 1LL, null, "False", "True", "Customer number"},
          {"CUSTOMERS", "NAME", "VARCHAR2", 40LL, null, 2LL, "'unknown'", "True", "False", null}}},
        {"FROM USER_TAB_COLUMNS", 0, "ORDERS", columns,
         {{"ORDERS", "ORDER_ID", "NUMBER", 10LL, 0LL, 1LL, null, "False", "True", null},
          {"ORDERS", "CUST_ID", "NUMBER", 10LL, 0LL, 2LL, null, "True", "False", null}}},
        {"k.SEARCH_CONDITION", 1, "NAME", {"SEARCH_CONDITION"}, {{"LENGTH(NAME) > 0"}}},
        {"FROM USER_INDEXES", 0, "CUSTOMERS", index, {{"PK_CUSTOMERS", "CUSTOMERS", "Non-Clustered", "Yes", "True"}}},
        {"FROM USER_INDEXES", 0, "ORDERS", index, {{"IX_ORDERS_CUST", "ORDERS", "Non-Clustered", "No", "False"}}},
        {"FROM USER_IND_COLUMNS", 0, "PK_CUSTOMERS", {"COLUMN_NAME", "SORT_ORDER"}, {{"CUST_ID", "Ascending"}}},
        {"FROM USER_IND_COLUMNS", 0, "IX_ORDERS_CUST", {"COLUMN_NAME", "SORT_ORDER"},
         {{"CUST_ID", "Descending"}, {"ORDER_ID", "Ascending"}}},
        {"f.CONSTRAINT_TYPE = 'R'", 0, "ORDERS",
         {"CONSTRAINT_NAME", "FK_COLUMN", "PK_TABLE", "FK_TABLE", "PK_COLUMN", "UPDATE_RULE", "DELETE_RULE"},
         {{"FK_ORDERS_CUST", "CUST_ID", "CUSTOMERS", "ORDERS", "CUST_ID", "NO ACTION", "CASCADE"}}},
        {"FROM USER_TRIGGERS t", 0, "ORDERS", {"TRIGGER_NAME", "CREATED"}, {{"TRG_ORDERS", "2004-05-03 09:00:00"}}},
        {"TRIGGER_BODY FROM USER_TRIGGERS", 0, "TRG_ORDERS", {"HEAD", "TRIGGER_BODY"},
         {{"CREATE OR REPLACE TRIGGER TRG_ORDERS\nBEFORE INSERT ON ORDERS\nFOR EACH ROW\n", "BEGIN\n  NULL;\nEND;"}}},
        {"FROM USER_TAB_PRIVS_MADE", 0, "CUSTOMERS",
         {"GRANTEE", "TABLE_NAME", "CAN_INSERT", "CAN_UPDATE", "CAN_DELETE", "CAN_SELECT", "CAN_REFERENCE", "CAN_EXECUTE"},
         {{"REPORTER", "CUSTOMERS", "No", "No", "No", "Yes", "No", "NA"}}},
        {"o.OBJECT_TYPE = 'VIEW'", -1, "", {"VIEW_NAME", "CREATED"}, {{"CUSTOMER_LIST", "2004-05-04 08:00:00"}}},
        {"FROM USER_VIEWS", 0, "CUSTOMER_LIST", {"TEXT"}, {{"SELECT NAME FROM CUSTOMERS"}}},
        {"o.OBJECT_TYPE IN ('PROCEDURE', 'FUNCTION')", -1, "", {"PROCEDURE_NAME", "OBJECT_TYPE", "CREATED"},
         {{"ADD_ORDER", "PROCEDURE", "2004-05-05 12:00:00"}}},
        {"FROM USER_SOURCE", 1, "PROCEDURE", {"TEXT"},
         {{"PROCEDURE ADD_ORDER(p NUMBER) IS\n"}, {"BEGIN\n"}, {"  INSERT INTO ORDERS(ORDER_ID) VALUES (p);\n"}, {"END;\n"}}},
        {"NLS_SESSION_PARAMETERS", -1, "", {"VALUE"}, {{"AMERICAN"}}},
        {"USER_RESOURCE_LIMITS", -1, "", {"LIMIT"}, {{"UNLIMITED"}}},
        {"AS MAX_PRECISION FROM DUAL", -1, "", {"MAX_PRECISION"}, {{38LL}}},
        {"AS LOCK_TIMEOUT FROM DUAL", -1, "", {"LOCK_TIMEOUT"}, {{-1LL}}},
    };
}

// The shipped definitions as the program reads them from the data folder.
xml::Document shippedDefinitions()
{
    std::string text;
    EXPECT_TRUE(files::readTextFile(files::joinPath(DALV_BIN_DIR, "data", "Queries.dvq"), text));
    xml::Document d;
    EXPECT_TRUE(d.loadXML(DecryptText(text, StoredPassPhrase(2)))) << "Queries.dvq does not decrypt to XML";
    return d;
}

}  // namespace

TEST(cDBSysQueryDefinitions, EveryEngineProducesWhatConsumersRead)
{
    const xml::Document queries = shippedDefinitions();
    xml::Document source;
    ASSERT_TRUE(source.load(files::joinPath(DALV_SOURCE_DIR, "data", "sources", "Queries.xml")));
    EXPECT_EQ(queries.xml(), source.xml()) << "the enciphered file is out of date";

    const std::map<std::string, std::set<std::string>> required = {
        {"DATABASE", {"Language", "Max_Connections", "Max_Precision", "Lock_Timeout"}},
        {"DATABASE/TABLE", {"Name", "Created_On"}},
        {"TABLE/COLUMN", {"Column_Name", "Data_Type", "Precision", "Ordinal_Position", "Column_Default", "Null_Allowed",
                          "Primary_Key", "Check_Constraint", "Description"}},
        {"TABLE/INDEX", {"Name", "Table_Name", "Index_Type", "Unique", "Primary_Key"}},
        {"INDEX/COLUMN", {"Column_Name", "Sort_Order"}},
        {"TABLE/FOREIGNKEY", {"Name", "Foreign_Key_Column", "Primary_Key_Table", "Foreign_Key_Table",
                              "Primary_Key_Column", "Update_Rule", "Delete_Rule"}},
        {"TABLE/TRIGGER", {"Name"}},
        {"TABLE/PRIVILEGE", {"User_Name", "Object_Name", "Insert", "Update", "Delete", "Select", "References", "Execute"}},
        {"DATABASE/VIEW", {"Name", "Created_On"}},
        {"DATABASE/STOREDPROCEDURE", {"Name"}},
        {"TRIGGER/SQLSCRIPT", {"(text)"}},
        {"VIEW/SQLSCRIPT", {"(text)"}},
        {"STOREDPROCEDURE/SQLSCRIPT", {"(text)"}},
    };
    const std::regex placeholder("DALV([A-Z])\\1\\1");
    for (int engine = 1; engine <= 7; ++engine) {
        SCOPED_TRACE("engine " + std::to_string(engine));
        const xml::NodeList defs = queries.selectNodes("QUERIES/DATABASE[@Id='" + std::to_string(engine) + "']/TABLE");
        ASSERT_FALSE(defs.empty());
        std::map<std::string, std::set<std::string>> produced;
        const auto titles = [](const xml::Node& def, const char* test) {
            std::vector<std::string> out;
            for (const xml::Node& c : def.selectNodes(std::string("COLUMNLIST/COLUMN[") + test + "]")) {
                std::string t = c.attribute("Title");
                for (char& ch : t)
                    if (ch == ' ') ch = '_';
                out.push_back(t);
            }
            return out;
        };
        // The ELEMENT definition a child runs under: same Fetch, writes its ParentXPath, Id not above.
        const auto parentOf = [&](const xml::Node& def) {
            xml::Node best;
            for (const xml::Node& p : defs)
                if (p.attribute("OutputType") == "ELEMENT" && p.attribute("OutputMultipleRows") == "1" &&
                    p.attribute("CurrentElement") == def.attribute("ParentXPath") &&
                    p.attribute("Fetch") == def.attribute("Fetch") &&
                    std::stol(p.attribute("Id")) <= std::stol(def.attribute("Id")))
                    best = p;
            return best;
        };
        const auto label = [&](const xml::Node& def) {
            const std::string parent = def.attribute("ParentXPath");
            return (parent == "DATABASE" ? parent : parentOf(def).attribute("CurrentElement")) + "/" +
                   def.attribute("CurrentElement");
        };
        for (const xml::Node& def : defs) {
            const std::string where = label(def) + " (Id " + def.attribute("Id") + ")";
            for (const char* a : {"Id", "ParentXPath", "Fetch", "CurrentElement", "OutputMultipleRows"})
                EXPECT_TRUE(def.hasAttribute(a)) << where << " lacks " << a;
            for (const char* e : {"QUERY", "CONDITION", "TYPE"})
                EXPECT_TRUE(def.selectSingleNode(e)) << where << " lacks " << e;
            const std::string sql = def.selectSingleNode("QUERY").text() + " " + def.selectSingleNode("CONDITION").text();
            std::set<int> used;
            for (std::sregex_iterator m(sql.begin(), sql.end(), placeholder), end; m != end; ++m)
                used.insert('Z' - (*m)[1].str()[0]);
            const bool top = def.attribute("ParentXPath") == "DATABASE";
            if (top) {
                EXPECT_TRUE(used.empty()) << where << " has placeholders but no parent row";
            } else {
                const xml::Node parent = parentOf(def);
                ASSERT_TRUE(parent) << where << " never runs: no parent definition";
                std::set<int> key;
                for (int i = 0; i < static_cast<int>(titles(parent, "@KeyColumn='1'").size()); ++i) key.insert(i);
                EXPECT_EQ(used, key) << where << ": placeholders do not match the parent's key";
            }
            const std::string type = def.attribute("OutputType");
            if (def.attribute("OutputMultipleRows") != "1") {
                produced[label(def)].insert("(text)");
            } else if (type == "ELEMENT") {
                EXPECT_EQ(def.count("COLUMNLIST/COLUMN[not(@Display)]"), 0) << where;
                for (const std::string& t : titles(def, "@Display='1'")) produced[label(def)].insert(t);
            } else if (type == "ATTRIBUTE") {
                const std::vector<std::string> key = titles(def, "@KeyColumn='1'");
                ASSERT_FALSE(key.empty()) << where;
                produced[top ? "DATABASE" : label(parentOf(def))].insert(key.front());
            } else {
                ADD_FAILURE() << where << " has OutputType " << type;
            }
        }
        for (const auto& [element, names] : required)
            for (const std::string& name : names)
                EXPECT_TRUE(produced[element].count(name)) << element << " lacks " << name;
    }
}

TEST(cDBSysQueryDefinitions, SqlServerAndOracleTreesOverCannedCatalogues)
{
    testsupport::TempDir dir;
    PassPhrase2 = StoredPassPhrase(2);
    importtest::ErrorCapture errors;
    const struct {
        int engine;
        std::vector<CannedCatalogue::Rule> rules;
        const char* name;
    } cases[] = {{1, sqlServerCatalogue(), "sqlserver"}, {4, oracleCatalogue(), "oracle"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CannedCatalogue reader;
        reader.QueriesFolder = files::joinPath(DALV_BIN_DIR, "data");
        reader.CurrentDatabaseEngineId = static_cast<std::int16_t>(c.engine);
        reader.DatabaseName = "Shop";
        reader.DatabaseEngine = c.engine == 1 ? "SQL Server 2000" : "Oracle 9i";
        reader.DBServerName = "dbhost";
        reader.rules = c.rules;
        ASSERT_TRUE(reader.GenerateXML());
        reader.oResultXML.documentElement().setAttribute("Created_On", "-");
        importtest::expectFixtureText(reader.oResultXML.xml(), std::string("sysquery-") + c.name + ".xml");
        importtest::expectFixtureText(reader.log, std::string("sysquery-") + c.name + ".sql");
    }
    EXPECT_TRUE(errors.entries.empty());
}
