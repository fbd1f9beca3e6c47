#include "migration/cMigrate.h"

#include "core/bGlobal.h"
#include "import/cADODB.h"
#include "platform/db/Connection.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace {

// Hostile names: blanks, reserved words, quote characters, brackets, non-ASCII, "Goods".
const char* kAdoStructure = R"X(<DATABASE>
  <TABLE Name="Order Items" Report="1" Migrate="1">
    <COLUMN Name="select" Datatype="integer" Length="10" Ordinal_Position="1" Null_Allowed="True" Primary_Key="PK_oi"/>
    <COLUMN Name="Goods" Datatype="VARCHAR" Length="300" Ordinal_Position="2" Null_Allowed="False" Primary_Key=""/>
    <COLUMN Name="Größe" Datatype="decimal(10,2)" Length="0" Ordinal_Position="3" Null_Allowed="True" Primary_Key=""/>
    <COLUMN Name="a]b&quot;c" Datatype="text" Length="0" Ordinal_Position="4" Null_Allowed="True" Primary_Key=""/>
    <INDEX Name="sqlite_autoindex_1" Table_Name="Order Items" Report="1" Migrate="1" Column_Name="select"/>
    <INDEX Name="ux goods" Table_Name="Order Items" Report="1" Migrate="1" Column_Name="Goods,Größe"/>
    <FOREIGNKEY Name="" Related_Column="item" Primary_Key_Table="Order Items" Foreign_Key_Table="Goods"
      Update_Rule="CASCADE" Delete_Rule="SET NULL" Primary_Key_Column="select" Report="1" Migrate="1"/>
  </TABLE>
  <TABLE Name="Goods" Report="1" Migrate="1">
    <COLUMN Name="id" Datatype="int4" Length="10" Ordinal_Position="1" Null_Allowed="False" Primary_Key="goods_pkey"/>
    <COLUMN Name="item" Datatype="int4" Length="10" Ordinal_Position="2" Null_Allowed="True" Primary_Key=""/>
    <INDEX Name="goods_pkey" Table_Name="Goods" Report="1" Migrate="1" Column_Name="id"/>
  </TABLE>
  <TABLE Name="Skipped" Report="1" Migrate="0">
    <COLUMN Name="id" Datatype="int4" Length="10" Ordinal_Position="1" Null_Allowed="False" Primary_Key=""/>
    <INDEX Name="ix_skipped" Table_Name="Skipped" Report="1" Migrate="0" Column_Name="id"/>
  </TABLE>
</DATABASE>)X";

struct Events {
    std::vector<std::string> progress, errors, typeErrors;
    void attach(cMigrate& m) {
        m.WhileMigrating = [this](const std::string& n, const std::string& t, const std::string& s) {
            progress.push_back(t + ":" + n + ":" + s);
        };
        m.MigrationError = [this](long, const std::string& d, const std::string& n, const std::string& q) {
            errors.push_back(n + "|" + d + "|" + q);
        };
        m.MigrationDataTypeError = [this](const std::string& d, const std::string& s, const std::string& t,
                                          const std::string& type) { typeErrors.push_back(d + "|" + s + "|" + t + "|" + type); };
    }
};

// Generated names differ per run: IX_/FK_ and five digits, distinct within the run.
std::string normalised(const std::string& script, std::set<std::string>* names = nullptr) {
    static const std::regex generated("(IX|FK)_[0-9]{5}");
    if (names)
        for (std::sregex_iterator it(script.begin(), script.end(), generated), end; it != end; ++it)
            names->insert(it->str());
    return std::regex_replace(script, generated, "$1_n");
}

class Migration : public ::testing::Test {
protected:
    void SetUp() override {
        savedFolder_ = DataFolder;
        DataFolder = std::string(DALV_BIN_DIR) + "/data";
        PassPhrase1 = StoredPassPhrase(1);
    }
    void TearDown() override { DataFolder = savedFolder_; }
    std::string sqliteTarget() { return "Driver=SQLite3;Database=" + dir_.file("target.db"); }

    testsupport::TempDir dir_;
    std::string savedFolder_;
};

using Generator = bool (cMigrate::*)(const std::string&);

TEST_F(Migration, ScriptForEveryTargetQuotesNamesOneWay) {
    const struct {
        Generator generate;
        std::vector<std::string> statements;
    } targets[] = {
        {&cMigrate::GenerateSQLServerTables,
         {"Create Table [Order Items]([select] int NOT NULL,[Goods] varchar(300) NOT NULL,[Größe] decimal(10,2),"
          "[a]]b\"c] text)",
          "Create Table [Goods]([id] int NOT NULL,[item] int)",
          "Alter table [Order Items] ADD CONSTRAINT [IX_n] PRIMARY KEY ([select])",
          "Create UNIQUE INDEX [IX_n] on [Order Items]([Goods],[Größe])",
          "Alter table [Goods] ADD CONSTRAINT [IX_n] PRIMARY KEY ([id])",
          "Alter table [Goods] ADD CONSTRAINT [FK_n] FOREIGN KEY ([item]) References [Order Items]([select]) "
          "ON UPDATE CASCADE"}},
        {&cMigrate::GenerateAccessTables,
         {"Create Table [Order Items]([select] INTEGER NOT NULL,[Goods] VARCHAR(255) NOT NULL,[Größe] DECIMAL(10,2),"
          "[a]]b\"c] MEMO)",
          "Create Table [Goods]([id] INTEGER NOT NULL,[item] INTEGER)",
          "Alter table [Order Items] ADD CONSTRAINT [IX_n] PRIMARY KEY ([select])",
          "Create UNIQUE INDEX [IX_n] on [Order Items]([Goods],[Größe])",
          "Alter table [Goods] ADD CONSTRAINT [IX_n] PRIMARY KEY ([id])",
          "Alter table [Goods] ADD CONSTRAINT [FK_n] FOREIGN KEY ([item]) References [Order Items]([select]) "
          "ON DELETE SET NULL ON UPDATE CASCADE"}},
        {&cMigrate::GenerateSQLServer65Tables,
         {"Create Table [Order Items]([select] int NOT NULL,Goods varchar(255) NOT NULL,[Größe] decimal(10,2),"
          "[a]]b\"c] text)",
          "Create Table Goods(id int NOT NULL,item int)",
          "Alter table [Order Items] ADD CONSTRAINT IX_n PRIMARY KEY ([select])",
          "Create UNIQUE INDEX IX_n on [Order Items](Goods,[Größe])",
          "Alter table Goods ADD CONSTRAINT IX_n PRIMARY KEY (id)",
          "Alter table Goods ADD CONSTRAINT FK_n FOREIGN KEY (item) References [Order Items]([select])"}},
        {&cMigrate::GenerateOracleTables,
         {"Create Table \"Order Items\"(\"select\" NUMBER(10) NOT NULL,Goods VARCHAR2(300) NOT NULL,"
          "\"Größe\" NUMBER(10,2),\"a]b\"\"c\" CLOB)",
          "Create Table Goods(id NUMBER(10) NOT NULL,item NUMBER(10))",
          "Alter table \"Order Items\" ADD CONSTRAINT IX_n PRIMARY KEY (\"select\")",
          "Create UNIQUE INDEX IX_n on \"Order Items\"(Goods,\"Größe\")",
          "Alter table Goods ADD CONSTRAINT IX_n PRIMARY KEY (id)",
          "Alter table Goods ADD CONSTRAINT FK_n FOREIGN KEY (item) References \"Order Items\"(\"select\") "
          "ON DELETE SET NULL"}},
        {&cMigrate::GenerateDB2Tables,
         {"Create Table \"Order Items\"(\"select\" INTEGER NOT NULL,Goods VARCHAR(300) NOT NULL,"
          "\"Größe\" DECIMAL(10,2),\"a]b\"\"c\" CLOB)",
          "Create Table Goods(id INTEGER NOT NULL,item INTEGER)",
          "Alter table \"Order Items\" ADD CONSTRAINT IX_n PRIMARY KEY (\"select\")",
          "Create UNIQUE INDEX IX_n on \"Order Items\"(Goods,\"Größe\")",
          "Alter table Goods ADD CONSTRAINT IX_n PRIMARY KEY (id)",
          "Alter table Goods ADD CONSTRAINT FK_n FOREIGN KEY (item) References \"Order Items\"(\"select\") "
          "ON DELETE SET NULL"}},
    };
    for (const auto& t : targets) {
        cMigrate m;
        Events r;
        r.attach(m);
        m.SetConnectionString(sqliteTarget());
        m.SetDBXMLContent(kAdoStructure);
        m.ExecuteImmediately(false);
        EXPECT_TRUE((m.*t.generate)("OTHERS"));
        std::set<std::string> names;
        std::string script;
        for (const std::string& statement : t.statements) script += statement + "\r\nGo\r\n\r\n";
        EXPECT_EQ(normalised(m.AllQueries(), &names), script);
        EXPECT_EQ(names.size(), 4u);
        EXPECT_TRUE(r.errors.empty()) << r.errors.front();
        EXPECT_TRUE(r.typeErrors.empty()) << r.typeErrors.front();
        EXPECT_EQ(m.ObjectsMigrated(), 6);
    }
}

}  // namespace
