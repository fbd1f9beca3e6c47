// The shipped query definitions: checked for what the consumers read, and the SQL Server and
// Oracle trees run against catalogue rows kept in fixture files (statements checked as text only).
#include "ImportTestSupport.h"

#include "core/bGlobal.h"
#include "import/cDBSysQuery.h"
#include "platform/fs/Paths.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace {

// Answers each statement with the rows of the first rule whose text it contains (and whose
// parameter matches), and records every statement with its parameters.
class CannedCatalogue : public cDBSysQuery {
public:
    struct Rule {
        std::string contains;
        int parameter;  // -1: any
        std::string value;
        std::vector<std::string> fields;
        std::vector<std::vector<db::Value>> rows;
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

// Canned answers of tests/fixtures/import/<file>: ANSWER Contains, optional Parameter/Value,
// Fields (blank-separated), ROW/V values (Null="1" for Null).
std::vector<CannedCatalogue::Rule> loadCatalogue(const std::string& file)
{
    xml::Document d;
    EXPECT_TRUE(d.load(testsupport::fixturePath("import/" + file))) << file;
    std::vector<CannedCatalogue::Rule> rules;
    for (const xml::Node& a : d.selectNodes("CATALOGUE/ANSWER")) {
        CannedCatalogue::Rule r{a.attribute("Contains"), -1, a.attribute("Value"), {}, {}};
        if (a.hasAttribute("Parameter")) r.parameter = std::stoi(a.attribute("Parameter"));
        std::istringstream fields(a.attribute("Fields"));
        for (std::string f; fields >> f;) r.fields.push_back(f);
        for (const xml::Node& row : a.selectNodes("ROW")) {
            r.rows.emplace_back();
            for (const xml::Node& v : row.selectNodes("V"))
                r.rows.back().push_back(v.hasAttribute("Null") ? db::Value() : db::Value(v.text()));
        }
        rules.push_back(std::move(r));
    }
    return rules;
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
        const char* name;
    } cases[] = {{1, "sqlserver"}, {4, "oracle"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CannedCatalogue reader;
        reader.QueriesFolder = files::joinPath(DALV_BIN_DIR, "data");
        reader.CurrentDatabaseEngineId = static_cast<std::int16_t>(c.engine);
        reader.DatabaseName = "Shop";
        reader.DatabaseEngine = c.engine == 1 ? "SQL Server 2000" : "Oracle 9i";
        reader.DBServerName = "dbhost";
        reader.rules = loadCatalogue(std::string("sysquery-") + c.name + "-catalogue.xml");
        ASSERT_TRUE(reader.GenerateXML());
        reader.oResultXML.documentElement().setAttribute("Created_On", "-");
        importtest::expectFixtureText(reader.oResultXML.xml(), std::string("sysquery-") + c.name + ".xml");
        importtest::expectFixtureText(reader.log, std::string("sysquery-") + c.name + ".sql");
    }
    EXPECT_TRUE(errors.entries.empty());
}
