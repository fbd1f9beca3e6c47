// The migration wizard end to end, offscreen, on a project of SQLite databases imported
// through the options object.
#include "../explorer/ExplorerTestSupport.h"
#include "explorer/ProjectDocument.h"
#include "migration/frmStructureMigration.h"
#include "platform/db/Connection.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <filesystem>

namespace {

class MigrationWizard : public explorertest::ExplorerTest {
protected:
    std::string shop, copy, edited;

    void SetUp() override {
        ExplorerTest::SetUp();
        std::filesystem::copy_file(files::joinPath(DALV_BIN_DIR, "data/DataTypes.dvd"),
                                   files::joinPath(DataFolder, "DataTypes.dvd"));
        PassPhrase1 = StoredPassPhrase(1);
        shop = makeDatabase("shop.db", {"CREATE TABLE customers (id INTEGER PRIMARY KEY, name VARCHAR(40) NOT NULL)",
                                        "CREATE TABLE orders (id INTEGER PRIMARY KEY, customer INTEGER REFERENCES "
                                        "customers(id) ON DELETE CASCADE, note VARCHAR(80))",
                                        "CREATE UNIQUE INDEX ix_note ON orders(note)",
                                        "CREATE TABLE audit (entry TEXT, remark_longer_than_thirty_characters TEXT)"});
        copy = makeDatabase("copy.db", {"CREATE TABLE placeholder (x INTEGER)", "DROP TABLE placeholder"});
        edited = makeDatabase("edited.db", {"CREATE TABLE placeholder (x INTEGER)", "DROP TABLE placeholder"});
        history::NewHistoryDocument(oStructures);
        for (auto [name, path] : {std::pair{"Shop", shop}, {"Copy", copy}, {"Edited", edited}}) {
            importInto(1, name, path);
            oReportEngine->SaveTempFile();  // as the connection wizard does
        }
        // The destinations stand for SQL Server databases: the engine takes any connection.
        for (int n : {2, 3}) connection(n).selectSingleNode("DBOPTIONS/MOREINFO/SERVER").setAttribute("DBEngineId", "1");
        oReportEngine->CurrentDatabaseGroup(1);
        oReportEngine->CurrentDatabaseNumber(1);
        oReportEngine->oResultXML.reset();
    }

    static std::vector<std::string> tablesOf(const std::string& path) {
        db::Connection c;
        c.open("Driver=SQLite3;Database=" + path);
        std::vector<std::string> names;
        for (db::Recordset rs = c.execute("SELECT name FROM sqlite_master WHERE type IN ('table','index') AND name "
                                          "NOT LIKE 'sqlite%' ORDER BY name");
             !rs.eof(); rs.moveNext())
            names.push_back(rs.field(0).toString());
        return names;
    }

    // The nth connection of the first group.
    xml::Node connection(int n) {
        return oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[1]/DATABASECONNECTION[" + std::to_string(n) + "]");
    }

    static void chooseDestination(frmStructureMigration& w, const std::string& name) {
        int at = w.cboDestinationConn->findText(QString::fromStdString(name));
        ASSERT_GT(at, 0) << name;
        w.cboDestinationConn->setCurrentIndex(at);
        w.cboDestinationConn_Click();
    }
};

TEST_F(MigrationWizard, MigratesTheCheckedObjectsAndReportsTrueOutcomes) {
    {
        frmStructureMigration w;
        w.Form_Load();
        EXPECT_EQ(w.lblSourceDatabase->text(), "Shop");
        w.cmdNavigate_Click(2);
        w.cmdNavigate_Click(2);  // no destination yet
        ASSERT_EQ(prompts->messages.size(), 1u) << prompts->messages[0].text;
        EXPECT_EQ(prompts->messages[0].text, "Select a destination database name.");
        EXPECT_EQ(w.step, 1);
        EXPECT_EQ(w.cboDestinationConn->findText("Shop"), -1);  // the source is no destination
        chooseDestination(w, "Copy");
        w.chkShowQuery->setChecked(false);
        w.cmdNavigate_Click(2);
        ASSERT_EQ(w.step, 2);
        EXPECT_EQ(w.cmdNavigate[2]->text(), "Migrate");
        QTreeWidgetItem* root = w.stTables->topLevelItem(0);
        ASSERT_EQ(root->childCount(), 3);
        EXPECT_FALSE(root->icon(0).isNull());
        QTreeWidgetItem* audit = nullptr;
        for (int i = 0; i < root->childCount(); ++i)
            if (root->child(i)->text(0) == "audit") audit = root->child(i);
        ASSERT_TRUE(audit);
        audit->setCheckState(0, Qt::Unchecked);
        w.cmdNavigate_Click(2);
        ASSERT_EQ(w.step, 5);
        EXPECT_TRUE(w.cmdNavigate[3]->isEnabled());
        EXPECT_FALSE(w.cmdNavigate[1]->isEnabled());
        // Keys and foreign keys cannot be added to a SQLite table: reported, not counted.
        EXPECT_EQ(w.lblResultDescription->text(), "Database objects transferred with errors.");
        const std::string summary = w.txtSummary->toPlainText().toStdString();
        EXPECT_EQ(summary.rfind("[customers],[orders],ix_note have been created in Copy", 0), 0u) << summary;
        EXPECT_NE(summary.find("failed to copy"), std::string::npos);
        EXPECT_EQ(w.oDalvMigrate->ObjectsMigrated(), 3);
        const auto tables = tablesOf(copy);
        EXPECT_EQ(tables.size(), 3u);
        EXPECT_EQ(std::count(tables.begin(), tables.end(), "audit"), 0);
        EXPECT_EQ(std::count(tables.begin(), tables.end(), "customers"), 1);
    }
    {  // queries shown and edited: what the user left is what runs
        frmStructureMigration w;
        w.Form_Load();
        w.cmdNavigate_Click(2);
        chooseDestination(w, "Edited");
        w.cmdNavigate_Click(2);
        w.cmdNavigate_Click(2);
        ASSERT_EQ(w.step, 3);
        const std::string generated = w.txtQueries->toPlainText().toStdString();
        EXPECT_NE(generated.find("Create Table [audit]([entry] text,"), std::string::npos) << generated;
        w.txtQueries->setPlainText("Create Table [edited]([Goods] int)\r\nGo\r\n\r\n");
        w.cmdNavigate_Click(2);
        ASSERT_EQ(w.step, 5);
        EXPECT_EQ(w.lblResultDescription->text(), "Database objects selected have been migrated successfully.");
        EXPECT_EQ(tablesOf(edited), std::vector<std::string>{"edited"});
    }
    {  // no current connection: the source is chosen, and its structure is the one migrated; a
       // destination no generator serves is not offered; an unreachable one still gets its script
        connection(3).selectSingleNode("DBOPTIONS/MOREINFO/SERVER").setAttribute("DBEngineId", "12");
        connection(2).selectSingleNode("DBOPTIONS/MOREINFO/SERVER").setAttribute("DBEngineId", "4");
        connection(2).setAttribute("ConnectionString", "Provider=OraOLEDB.Oracle");
        oReportEngine->CurrentDatabaseNumber(2);
        oReportEngine->LoadCurrentDBXML(connection(2).attribute("TempXMLFileName"));
        oReportEngine->CurrentDatabaseNumber(9);
        frmStructureMigration w;
        w.Form_Load();
        EXPECT_FALSE(w.lblSourceDatabase->isVisibleTo(&w));
        w.cmdNavigate_Click(2);
        w.cmdNavigate_Click(2);
        EXPECT_EQ(prompts->lastMessage(), "Select a source database name.");
        w.cboSourceConn->setCurrentIndex(w.cboSourceConn->findText("Shop"));
        w.cboSourceConn_Click();
        EXPECT_EQ(w.cboDestinationConn->findText("Edited"), -1);
        chooseDestination(w, "Copy");
        w.cmdNavigate_Click(2);
        ASSERT_EQ(w.step, 2);
        EXPECT_EQ(w.stTables->topLevelItem(0)->childCount(), 3);
        w.cmdNavigate_Click(2);
        EXPECT_NE(w.txtQueries->toPlainText().indexOf("Create Table customers("), -1);
        EXPECT_TRUE(w.lblDestinationNote->text().contains("The Oracle ODBC driver is not installed"));
        // What changes is shown before anything runs, and in the summary.
        const QString shortened = "audit.remark_longer_than_thirty_characters: The name is shortened to remark_longer_than_thirty_";
        EXPECT_TRUE(w.txtPlan->isVisibleTo(&w) && w.txtPlan->toPlainText().startsWith("Changed so that Copy takes it:\n" + shortened));
        w.cmdNavigate_Click(2);
        ASSERT_EQ(w.step, 5);
        EXPECT_EQ(w.lblResultDescription->text(), "None of batabase objects were migrated.");
        EXPECT_TRUE(w.txtSummary->toPlainText().startsWith("Connection failed to copy"));
        EXPECT_TRUE(w.txtSummary->toPlainText().contains(shortened));
    }
    {  // an Access file read directly keeps no string: its parameters make the destination's
        xml::Node access = connection(3);
        access.selectSingleNode("DBOPTIONS/MOREINFO/SERVER").setAttribute("DBEngineId", "9");
        access.setAttribute("ConnectionString", "");
        access.selectSingleNode("DBOPTIONS/CONNECTIONSTRING").setAttribute("Value", "");
        xml::Document jet;
        jet.loadXML("<PARAMETERS><PARAMETER Name='Provider' Value='Microsoft.Jet.OLEDB.4.0'/><PARAMETER Name='Data "
                    "Source' Value='" + testsupport::accessCopy(dir, "nwind.mdb") + "'/></PARAMETERS>");
        access.selectSingleNode("DBOPTIONS/CONNECTIONSTRING/PARAMETERS").remove();
        access.selectSingleNode("DBOPTIONS/CONNECTIONSTRING").appendChild(jet.documentElement());
        frmStructureMigration w;
        w.Form_Load();
        w.cmdNavigate_Click(2);
        w.cboSourceConn->setCurrentIndex(w.cboSourceConn->findText("Shop"));
        w.cboSourceConn_Click();
        chooseDestination(w, "Edited");
        for (int i = 0; i < 2; ++i) w.cmdNavigate_Click(2);
        ASSERT_EQ(w.step, 3);  // reached, but its driver only reads: said once, nothing run
        EXPECT_TRUE(w.lblDestinationNote->text().startsWith("The MDB Tools ODBC driver only reads")) << w.DestinationNote;
        w.cmdNavigate_Click(2);
        EXPECT_TRUE(w.txtSummary->toPlainText().startsWith("The MDB Tools") && !w.txtSummary->toPlainText().contains('\n'));
    }
    {  // a name holding "Go" lines is one name of one statement when the shown script runs
        const std::string hostile = "x\r\nGo\r\nDROP TABLE victim\nGo\ny";
        const std::string target = makeDatabase("victim.db", {"CREATE TABLE victim (x INTEGER)"});
        const std::string create = "CREATE TABLE \"" + hostile + "\" (\"c\n go \n\" INTEGER)";
        for (auto [name, path] : {std::pair{"Victim", target}, {"Hostile", makeDatabase("hostile.db", {create.c_str()})}}) {
            importInto(1, name, path);
            oReportEngine->SaveTempFile();
        }
        connection(4).selectSingleNode("DBOPTIONS/MOREINFO/SERVER").setAttribute("DBEngineId", "1");
        frmStructureMigration w;
        w.Form_Load();
        w.cmdNavigate_Click(2);
        chooseDestination(w, "Victim");
        for (int i = 0; i < 3; ++i) w.cmdNavigate_Click(2);  // the generated script shown, then run
        EXPECT_EQ(tablesOf(target), (std::vector<std::string>{"victim", hostile}));
    }
    EXPECT_TRUE(errors.empty()) << errors.front().description;
}

}  // namespace
