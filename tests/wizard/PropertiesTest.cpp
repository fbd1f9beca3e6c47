// The properties dialog: counts, facts and a connection string that never shows a password.
#include "WizardTestSupport.h"

#include "import/frmProperties.h"

#include <QGroupBox>
#include <QLabel>
#include <QApplication>
#include <QTimer>

using namespace wizardtest;

namespace {

// Every text the dialog shows.
std::string allTexts(const frmProperties& d) {
    std::string out;
    for (const QLabel* l : d.findChildren<QLabel*>()) out += l->text().toStdString() + "\n";
    for (const QLineEdit* e : d.findChildren<QLineEdit*>()) out += e->text().toStdString() + "\n";
    return out;
}

}  // namespace

TEST(MaskPasswords, EveryPasswordValueIsHidden) {
    using M = frmProperties;
    EXPECT_EQ(M::MaskPasswords("Provider=SQLOLEDB;Password=secret;User Id=sa"),
              "Provider=SQLOLEDB;Password=******;User Id=sa");
    EXPECT_EQ(M::MaskPasswords("Driver=x;UID=a;pwd=secret"), "Driver=x;UID=a;Password=******");
    EXPECT_EQ(M::MaskPasswords("Jet OLEDB:Database Password=one;Password=two;Data Source=a.mdb"),
              "Jet OLEDB:Database Password=******;Password=******;Data Source=a.mdb");
    EXPECT_EQ(M::MaskPasswords("Driver={PostgreSQL Unicode};UID=u;PWD={dalv;pw=1}}};Port=5"),
              "Driver={PostgreSQL Unicode};UID=u;Password=******;Port=5");
    EXPECT_EQ(M::MaskPasswords("Password=\"a;\"\"b\";Server=s"), "Password=******;Server=s");
    EXPECT_EQ(M::MaskPasswords("PWD={never closed;Server=s"), "Password=******");
    EXPECT_EQ(M::MaskPasswords("Driver=SQLite3;Database=/tmp/x.db"), "Driver=SQLite3;Database=/tmp/x.db");
}

class PropertiesTest : public WizardTest {
protected:
    xml::Node addEntry(const std::string& connectionString) {
        xml::Node root = oStructures.documentElement();
        xml::Node folder = root.selectSingleNode("DATABASEGROUP[1]");
        if (!folder) {
            folder = root.appendElement("DATABASEGROUP");
            folder.setAttribute("Key", "F|1");
        }
        xml::Node e = folder.appendElement("DATABASECONNECTION");
        e.setAttribute("ConnectionString", connectionString);
        e.setAttribute("ServerType", "OTHERS");
        xml::Node t = e.appendElement("TABLES");
        for (int i = 0; i < 3; ++i) t.appendElement("TABLE").appendElement("INDEXES").appendElement("INDEX");
        e.appendElement("VIEWS").appendElement("VIEW");
        oReportEngine->CurrentDatabaseGroup(1);
        oReportEngine->CurrentDatabaseNumber(folder.count("DATABASECONNECTION"));
        return e;
    }
};

TEST_F(PropertiesTest, ShowsCountsAndFactsWithoutThePassword) {
    const std::string secret = "dalv;pw=1}";
    addEntry("Driver={PostgreSQL Unicode};Server=h;UID=u;PWD={dalv;pw=1}}};Database=d");
    oReportEngine->oResultXML = std::make_shared<xml::Document>();
    oReportEngine->oResultXML->loadXML("<DATABASE Language='us_english' Max_Connections='100'/>");
    frmProperties d(main.get());
    d.Form_Load();
    EXPECT_EQ(d.windowTitle(), "Dalvane 4.5 Enterprise");
    EXPECT_EQ(d.lblTablesCount->text(), "3");
    EXPECT_EQ(d.lblIndexesCount->text(), "3");
    EXPECT_EQ(d.lblTriggersCount->text(), "0");
    EXPECT_EQ(d.lblViewsCount->text(), "1");
    EXPECT_EQ(d.lblServerTypeValue->text(), "OTHERS");
    EXPECT_EQ(d.lblCreatedOnValue->text(), "Not Defined");
    EXPECT_EQ(d.lblLangValue->text(), "us_english");
    EXPECT_EQ(d.lblMaxConnValue->text(), "100");
    EXPECT_EQ(d.lblTimeOutValue->text(), "N/A");
    EXPECT_FALSE(d.fraAdditionalInfo->isHidden());
    const std::string shown = allTexts(d);
    EXPECT_EQ(shown.find("dalv;pw"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("pw=1"), std::string::npos) << shown;
    EXPECT_NE(shown.find("Password=******"), std::string::npos);
    // No database and no server name: the options take the connection's own string.
    EXPECT_EQ(d.lblDatabaseNameValue->text(), "Not Defined");
    EXPECT_NE(oReportEngine->ConnectionString().find(secret), std::string::npos);
    EXPECT_TRUE(errors.empty());
}

TEST_F(PropertiesTest, AfterAWizardImportThePasswordStaysHidden) {
    const char* pg = std::getenv("DALV_TEST_PG");
    if (!pg || !*pg) GTEST_SKIP() << "DALV_TEST_PG is not set";
    auto w = openWizard();
    connectOthers(*w, pg);
    ASSERT_EQ(w->CurrentStep, 3) << prompts->lastMessage();
    w->cmdNavigate[3]->click();
    frmProperties d(main.get());
    d.Form_Load();
    const std::string shown = allTexts(d);
    EXPECT_EQ(shown.find("dalv;pw"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("pw=1"), std::string::npos) << shown;
    EXPECT_NE(d.lblTablesCount->text(), "");
}

TEST_F(PropertiesTest, NoEntryLeavesTheValuesEmpty) {
    oReportEngine->CurrentDatabaseGroup(7);
    frmProperties d(main.get());
    d.Form_Load();
    EXPECT_EQ(d.lblTablesCount->text(), "");
    EXPECT_EQ(d.txtConnectionString->text(), "");
    EXPECT_EQ(d.lblLangValue->text(), "N/A");
}

TEST_F(PropertiesTest, MissingConnectionStringIsNotDefined) {
    addEntry("x").removeAttribute("ConnectionString");
    frmProperties d(main.get());
    d.Form_Load();
    EXPECT_EQ(d.txtConnectionString->text(), "Not Defined");
    EXPECT_EQ(d.lblTablesCount->text(), "3");
}

// The main window's Properties command opens the dialog modally for the current connection.
TEST_F(PropertiesTest, MainWindowCommandShowsTheDialog) {
    InstallConnectionWizard();
    addEntry("Driver={PostgreSQL Unicode};Server=db;UID=u;PWD={secret;x=1}");
    std::string shown;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* d = qobject_cast<frmProperties*>(w); d && d->isVisible()) {
                shown = allTexts(*d);
                modal = d->isModal();
                d->btnClose->click();
            }
        }
    });
    main->tbMain_ToolClick("ID_DatabaseNode_Properties");
    EXPECT_TRUE(modal);
    EXPECT_NE(shown.find("db"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("secret"), std::string::npos) << shown;
    EXPECT_EQ(prompts->messages.size(), 0u) << prompts->lastMessage();
}
