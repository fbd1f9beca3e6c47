// The connection wizard driven through its controls: imports of real databases, the step
// machine, checks of the connection page, cancelling and the report steps.
#include "WizardTestSupport.h"

#include "import/ImportTestSupport.h"
#include "reports/frmReportSetup.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRegularExpression>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>

using namespace wizardtest;

namespace {

std::string sqliteString(const std::string& path) { return "Driver=SQLite3;Database=" + path; }

QTreeWidgetItem* nodeNamed(QTreeWidget* tree, const QString& name) {
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if ((*it)->text(0) == name) return *it;
    return nullptr;
}

}  // namespace

TEST_F(WizardTest, NewSqliteImportEndsOnSummaryAndFinishSelectsTheConnection) {
    const std::string db = sampleDatabase();
    auto w = openWizard();
    EXPECT_EQ(w->windowTitle(), "Dalvane 4.5 Enterprise");
    EXPECT_EQ(w->CurrentStep, 0);
    EXPECT_TRUE(w->fraStep[0]->isVisible());
    EXPECT_FALSE(enabled(*w, 1));
    EXPECT_FALSE(enabled(*w, 3));
    const int before = connections();

    connectOthers(*w, sqliteString(db));
    EXPECT_TRUE(w->pctDBConnInfo[4]->isVisibleTo(w->fraStep[1]));
    ASSERT_EQ(w->CurrentStep, 3) << prompts->lastMessage();
    EXPECT_TRUE(w->StructureImported);
    EXPECT_TRUE(w->fraStep[3]->isVisible());
    EXPECT_FALSE(w->fraStep[2]->isVisible());
    EXPECT_FALSE(enabled(*w, 1));
    EXPECT_TRUE(enabled(*w, 3));
    EXPECT_EQ(w->cmdNavigate[2]->text(), "More >>");
    EXPECT_TRUE(w->txtSummary->toPlainText().contains("Number of Tables: 18"));
    EXPECT_EQ(w->shpProgress->width(), w->pctProgress->width());  // stopped: bar full
    EXPECT_EQ(connections(), before + 1);
    EXPECT_EQ(oReportEngine->LastDBEngineId, 12);

    w->cmdNavigate[3]->click();
    EXPECT_TRUE(w->WizardFinished);
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(prompts->messages.empty()) << prompts->lastMessage();
    const int g = oReportEngine->CurrentDatabaseGroup(), n = oReportEngine->CurrentDatabaseNumber();
    xml::Node entry = oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[" + std::to_string(g) +
                                                   "]/DATABASECONNECTION[" + std::to_string(n) + "]");
    ASSERT_TRUE(entry);
    EXPECT_TRUE(files::fileExists(entry.attribute("TempXMLFileName")));
    QTreeWidgetItem* selected = main->stMain->currentItem();
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(selected->text(0).toStdString(), entry.attribute("Name"));
    // The main window's status ends with the filing ("Adding ... to the project").
    EXPECT_EQ(main->lblStatus->text(), "");
    EXPECT_TRUE(main->tbMain->isEnabled());
    EXPECT_TRUE(errors.empty()) << errors.front().description;
}

// Imports a small server database through the OTHERS page; false when the server is not set.
void importServerDatabase(importtest::ServerDatabase::Engine engine, frmDatabaseConnection& w, bool& ran) {
    importtest::ServerDatabase server(engine);
    ran = !server.connectionString().empty();
    if (!ran) return;
    {
        db::Connection c;
        c.open(server.connectionString());
        importtest::run(c, {"CREATE TABLE parent (id INTEGER PRIMARY KEY, name VARCHAR(20))",
                            "CREATE TABLE child (id INTEGER PRIMARY KEY, parent_id INTEGER REFERENCES parent(id))",
                            "CREATE INDEX ix_child_parent ON child (parent_id)",
                            "CREATE VIEW v_child AS SELECT id FROM child"});
    }
    WizardTest::connectOthers(w, server.connectionString());
    ASSERT_EQ(w.CurrentStep, 3);
    EXPECT_TRUE(w.txtSummary->toPlainText().contains("Number of Tables: 2")) << w.txtSummary->toPlainText().toStdString();
    EXPECT_TRUE(w.txtSummary->toPlainText().contains("Number of Views: 1"));
    w.cmdNavigate[3]->click();
    EXPECT_TRUE(w.WizardFinished);
}

TEST_F(WizardTest, ServerImportsThroughOthers) {
    using E = importtest::ServerDatabase::Engine;
    bool any = false;
    for (E engine : {E::PostgreSQL, E::MariaDB}) {
        auto w = openWizard();
        bool ran = false;
        importServerDatabase(engine, *w, ran);
        any = any || ran;
    }
    if (!any) GTEST_SKIP() << "DALV_TEST_PG and DALV_TEST_MARIADB are not set";
    EXPECT_TRUE(errors.empty()) << errors.front().description;
}

TEST_F(WizardTest, WrongPasswordStaysOnTheConnectionPage) {
    const char* pg = std::getenv("DALV_TEST_PG");
    if (!pg || !*pg) GTEST_SKIP() << "DALV_TEST_PG is not set";
    std::string wrong = pg;
    wrong = wrong.substr(0, wrong.find("PWD=")) + "PWD={not the password}";
    const std::string project = oStructures.xml();
    auto w = openWizard();
    connectOthers(*w, wrong);
    EXPECT_EQ(w->CurrentStep, 1);
    EXPECT_EQ(prompts->lastMessage().rfind("Incorrect database login name and password, try again!\n\n", 0), 0u)
        << prompts->lastMessage();
    EXPECT_TRUE(w->fraStep[1]->isVisible());
    EXPECT_TRUE(enabled(*w, 2));
    EXPECT_EQ(oStructures.xml(), project);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WizardTest, ConnectionPageChecksStopAtTheFirstFailure) {
    auto w = openWizard();
    w->cmdNavigate[2]->click();
    chooseEngine(*w, 0);
    w->cmdNavigate[2]->click();
    EXPECT_EQ(prompts->lastMessage(), "Select a data source type");
    EXPECT_EQ(prompts->messages.back().icon, ui::MsgIcon::Critical);
    EXPECT_FALSE(w->fraSQLServer->isEnabled());

    chooseEngine(*w, 12);
    w->cmdNavigate[2]->click();
    EXPECT_EQ(prompts->lastMessage(), "Enter a valid connection string");

    chooseEngine(*w, 1);
    EXPECT_TRUE(w->pctDBConnInfo[0]->isVisible());
    w->cboSQLServerName->setEditText("  srv  ");
    w->cmdNavigate[2]->click();
    EXPECT_EQ(prompts->lastMessage(), "Enter a valid SQLServer login name");
    EXPECT_EQ(w->cboSQLServerName->currentText(), "srv");  // trimmed by the check
    w->txtSQLLoginName->setText("sa");
    w->cmdNavigate[2]->click();
    EXPECT_EQ(prompts->lastMessage(), "Please enter SQLServer password");
    w->chkSQLBlankPassword->click();
    EXPECT_FALSE(w->txtSQLPassword->isEnabled());
    w->cmdNavigate[2]->click();
    EXPECT_EQ(prompts->lastMessage(), "Please select a database name");
    w->optSQLAuthentication[0]->click();
    EXPECT_FALSE(w->txtSQLLoginName->isEnabled());
    EXPECT_FALSE(w->chkSQLBlankPassword->isEnabled());

    chooseEngine(*w, 9);
    EXPECT_TRUE(w->pctDBConnInfo[3]->isVisible());
    EXPECT_FALSE(w->txtAccessPassword->isEnabled());
    w->txtDatabasePath->setText(QString::fromStdString(dir.file("missing.mdb")));
    EXPECT_TRUE(w->txtAccessPassword->isEnabled());
    w->cmdNavigate[2]->click();
    EXPECT_EQ(prompts->lastMessage(), "File does not exist, please enter a valid file name");
    files::writeTextFile(dir.file("notes.txt"), "x");
    w->txtDatabasePath->setText(QString::fromStdString(dir.file("notes.txt")));
    w->cmdNavigate[2]->click();
    EXPECT_EQ(prompts->lastMessage(), "Invalid file format, please select a mdb file.");
    w->chkSortColumn->click();
    EXPECT_EQ(oReportEngine->AccessConnectionType, "ADOX");
    chooseEngine(*w, 9);
    EXPECT_EQ(oReportEngine->AccessConnectionType, "");

    chooseEngine(*w, 11);
    w->txtDB2DataSourceName->setText("SAMPLE");
    w->cmdNavigate[2]->click();
    EXPECT_EQ(prompts->lastMessage(), "Enter a valid user name");
    EXPECT_EQ(w->CurrentStep, 1);
    EXPECT_EQ(connections(), 0);

    // An entry of the user's engine list whose Id is no number is named and left out.
    const std::string list = files::joinPath(DataFolder, "DBEngines.xml");
    std::string text = testsupport::readFile(list);
    const std::size_t id = text.find("Id=\"11\"");
    ASSERT_NE(id, std::string::npos);
    ASSERT_TRUE(files::writeTextFile(list, text.replace(id, 7, "Id=\"DB2\"")));
    w->AddDBTypes();
    EXPECT_NE(prompts->lastMessage().find("IBM DB2 Version 7 (Id \"DB2\")"), std::string::npos)
        << prompts->lastMessage();
    EXPECT_EQ(w->cboDBTypes->findData(11), -1);
    EXPECT_GE(w->cboDBTypes->findData(12), 0);
    EXPECT_TRUE(errors.empty()) << errors.front().description;
}

TEST_F(WizardTest, OthersStringIsCheckedOnThePageAndNamesTheImport) {
    const std::string db = sampleDatabase();
    auto w = openWizard();
    // The connection page takes the keyboard at its first control, not on Next.
    w->cmdNavigate[2]->setFocus();
    w->cmdNavigate[2]->click();
    ASSERT_TRUE(w->focusWidget());
    EXPECT_TRUE(w->fraStep[1]->isAncestorOf(w->focusWidget())) << w->focusWidget()->objectName().toStdString();
    // What the user types is bad input: the page says what is wrong and stays.
    const std::string missing = dir.file("typo.db"), text = dir.file("notes.db");
    files::writeTextFile(text, "plain text, no database\n");
    for (const auto& [typed, said] : std::vector<std::pair<std::string, std::string>>{
             {"hello world", "\"hello world\" has no value"},
             {"Driver=SQLite3;PWD=se;cret", "\"****\" has no value"},
             {sqliteString(missing), "The database file " + missing + " does not exist."},
             {sqliteString(text), "The file " + text + " is not a SQLite database."}}) {
        connectOthers(*w, typed);
        EXPECT_EQ(w->CurrentStep, 1) << typed;
        EXPECT_NE(prompts->lastMessage().find(said), std::string::npos) << prompts->lastMessage();
        EXPECT_EQ(prompts->lastMessage().find("cret"), std::string::npos);
    }
    EXPECT_FALSE(files::fileExists(missing));
    EXPECT_TRUE(errors.empty()) << errors.front().description;

    // Neither a name selected before nor the server of a failed attempt on another engine sticks
    // to an OTHERS import; the string's form for the drivers installed connects once filled in.
    oReportEngine->DatabaseName("master");
    chooseEngine(*w, 1);
    w->cboSQLServerName->setEditText("127.0.0.1,1");
    w->cboSQLDatabaseName->setEditText("master");
    w->optSQLAuthentication[0]->click();
    w->cmdNavigate[2]->click();
    ASSERT_EQ(oReportEngine->DBServerName(), "127.0.0.1,1");
    connectOthers(*w, w->txtConnectionString->placeholderText().replace("/path/to/file.db", db.c_str()).toStdString());
    ASSERT_EQ(w->CurrentStep, 3) << prompts->lastMessage();
    EXPECT_EQ(oReportEngine->DatabaseName(), "sample");
    EXPECT_TRUE(w->txtSummary->toPlainText().contains("Database Name: sample")) << w->txtSummary->toPlainText().toStdString();
    EXPECT_FALSE(w->txtSummary->toPlainText().contains("127.0.0.1"));
}

// Before anything happens no import is claimed, a marker passes the focus, and a missing
// driver is named.
TEST_F(WizardTest, PagesSayWhatTheyDoHere) {
    auto w = openWizard();
    EXPECT_FALSE(w->pctIntro->text().contains("Imported"));
    frmReportSetup setup;
    for (QWidget* window : {static_cast<QWidget*>(w.get()), static_cast<QWidget*>(&setup)})
        for (QLabel* l : window->findChildren<QLabel*>())
            EXPECT_TRUE(l->buddy() || !l->text().contains(QRegularExpression("(^|[^&])&[^&]"))) << l->text().toStdString();
    w->cmdNavigate[2]->click();
    chooseEngine(*w, 4);
    w->txtORAPassword->setText("tiger");
    w->txtORALoginName->setText("scott");
    w->cmdNavigate[2]->click();
    EXPECT_TRUE(prompts->lastMessage().rfind("Selected provider does not exist, please install required components and "
                                             "check again.\n\nThe Oracle ODBC driver is not installed", 0) == 0);
}

// Access files through the Access panel: the DAO reader by default, the ADOX reader when the
// columns are to be sorted; a file that is no database stays on the page and adds nothing.
TEST_F(WizardTest, AccessFilesImportThroughBothReaders) {
    auto connectAccess = [&](frmDatabaseConnection& w, const std::string& path, bool sorted) {
        if (w.CurrentStep == 0) w.cmdNavigate[2]->click();
        ASSERT_EQ(w.CurrentStep, 1);
        chooseEngine(w, 9);
        w.txtDatabasePath->setText(QString::fromStdString(path));
        if (sorted) w.chkSortColumn->click();
        w.cmdNavigate[2]->click();
    };
    const int before = connections();
    auto w = openWizard();
    connectAccess(*w, testsupport::accessCopy(dir, "nwind.mdb"), false);
    ASSERT_EQ(w->CurrentStep, 3) << prompts->lastMessage();
    EXPECT_TRUE(w->txtSummary->toPlainText().contains("Number of Tables: 9")) << w->txtSummary->toPlainText().toStdString();
    EXPECT_TRUE(w->txtSummary->toPlainText().contains("Number of Views: 22"));
    EXPECT_EQ(oReportEngine->oResultXML->count("DATABASE/TABLE/FOREIGNKEY[@Foreign_Key_Table='Orders']"), 3);
    w->cmdNavigate[3]->click();
    EXPECT_EQ(connections(), before + 1);

    auto sortedWizard = openWizard();
    connectAccess(*sortedWizard, testsupport::accessCopy(dir, "ASampleDatabase.accdb"), true);
    ASSERT_EQ(sortedWizard->CurrentStep, 3) << prompts->lastMessage();
    EXPECT_EQ(oReportEngine->ConnectionType, "ADOX");
    EXPECT_EQ(oReportEngine->oResultXML->selectSingleNode("DATABASE/TABLE/COLUMN[1]/@Name").text(), "Acquired");
    sortedWizard->cmdNavigate[3]->click();
    EXPECT_EQ(connections(), before + 2);
    // The choice ends with the window; the connection's own sort option chooses the reader again.
    EXPECT_EQ(oReportEngine->AccessConnectionType, "");
    ASSERT_TRUE(oReportEngine->OpenDalvDatabase());
    EXPECT_EQ(oReportEngine->ConnectionType, "ADOX");

    const std::string project = oStructures.xml();
    auto failing = openWizard();
    const std::string bogus = dir.file("bogus.mdb");
    files::writeTextFile(bogus, std::string(8192, 'x'));
    connectAccess(*failing, bogus, false);
    EXPECT_EQ(failing->CurrentStep, 1);
    EXPECT_NE(prompts->lastMessage().find("is not an Access database"), std::string::npos) << prompts->lastMessage();
    // A login typed without a workgroup file is one for Jet's default workgroup: admin alone.
    failing->txtWKGPLoginName->setText("bob");
    connectAccess(*failing, testsupport::accessCopy(dir, "nwind.mdb", "login.mdb"), false);
    EXPECT_EQ(failing->CurrentStep, 1);
    EXPECT_EQ(prompts->lastMessage(), "Incorrect database login name and password, try again!");
    EXPECT_EQ(oStructures.xml(), project);
}

TEST_F(WizardTest, StructureFileSourceImportsTheFileOrStays) {
    // A structure saved from an import is taken in as a connection of its own.
    const std::string db = sampleDatabase();
    const std::string saved = dir.file("saved.xml");
    {
        auto first = openWizard();
        connectOthers(*first, sqliteString(db));
        ASSERT_EQ(first->CurrentStep, 3);
        // The check wants these three names on the root besides those the import adds.
        xml::Document copy = oReportEngine->oResultXML->clone();
        xml::Node root = copy.documentElement();
        root.setAttribute("DatabaseEngine", "OTHERS");
        root.setAttribute("ServerType", "OTHERS");
        root.setAttribute("DatabaseType", "SQLite");
        ASSERT_TRUE(copy.save(saved));
        first->cmdNavigate[3]->click();
    }
    auto w = openWizard();
    w->cmdNavigate[2]->click();
    chooseEngine(*w, 13);
    EXPECT_TRUE(w->pctDBConnInfo[5]->isVisible());
    files::writeTextFile(dir.file("bad.xml"), "<DATABASE/>");
    w->txtXMLPath->setText(QString::fromStdString(dir.file("bad.xml")));
    w->cmdNavigate[2]->click();
    EXPECT_EQ(w->CurrentStep, 1);
    EXPECT_EQ(prompts->lastMessage(), "Invalid dalvane structure file");
    EXPECT_EQ(connections(), 1);

    w->txtXMLPath->setText(QString::fromStdString(saved));
    w->cmdNavigate[2]->click();
    ASSERT_EQ(w->CurrentStep, 3) << prompts->lastMessage();
    EXPECT_TRUE(w->txtSummary->toPlainText().contains("Number of Tables: 18"));
    EXPECT_EQ(connections(), 2);
}

TEST_F(WizardTest, RefreshFillsThePageFromTheCurrentOptionsAndImportsAgain) {
    const std::string db = sampleDatabase();
    {
        auto w = openWizard();
        connectOthers(*w, sqliteString(db));
        ASSERT_EQ(w->CurrentStep, 3);
        w->cmdNavigate[3]->click();
    }
    auto w = openWizard("REFRESH");
    EXPECT_EQ(w->cboDBTypes->currentData().toInt(), 12);
    EXPECT_EQ(w->txtConnectionString->text().toStdString(), sqliteString(db));
    EXPECT_TRUE(w->pctDBConnInfo[4]->isVisibleTo(w->fraStep[1]));
    w->cmdNavigate[2]->click();
    w->cmdNavigate[2]->click();
    ASSERT_EQ(w->CurrentStep, 3) << prompts->lastMessage();
    w->cmdNavigate[3]->click();
    EXPECT_EQ(connections(), 2);
    EXPECT_EQ(oReportEngine->CurrentDatabaseNumber(), 2);
}

TEST_F(WizardTest, CancelWhileImportingLeavesTheProjectAsItWas) {
    const std::string db = sampleDatabase();
    const std::string project = oStructures.xml();
    auto w = openWizard();
    prompts->messageAnswers.push_back(ui::MsgResult::Yes);
    bool nextIgnored = false;
    // Acts at the first progress event of the import itself.
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, w.get(), [&] {
        if (w->CurrentStep != 2 || !w->importRunning()) return;
        poll.stop();
        w->cmdNavigate_Click(2);  // a second Next does nothing
        nextIgnored = w->CurrentStep == 2 && w->importRunning();
        w->cmdNavigate_Click(0);
    });
    poll.start();
    w->cmdNavigate[2]->click();
    chooseEngine(*w, 12);
    w->txtConnectionString->setText(QString::fromStdString(sqliteString(db)));
    w->cmdNavigate[2]->click();
    EXPECT_TRUE(nextIgnored);
    ASSERT_FALSE(prompts->messages.empty());
    EXPECT_EQ(prompts->messages.front().text, "Are you sure you want to cancel the import?");
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->importRunning());
    EXPECT_EQ(oStructures.xml(), project);
    EXPECT_TRUE(errors.empty());
}

TEST_F(WizardTest, ClosingAfterTheImportAsksAndRemovesTheConnectionOnYes) {
    const std::string db = sampleDatabase();
    const int before = connections();
    auto w = openWizard();
    connectOthers(*w, sqliteString(db));
    ASSERT_EQ(w->CurrentStep, 3);
    prompts->messageAnswers = {ui::MsgResult::No, ui::MsgResult::Yes};
    w->cmdNavigate[0]->click();
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(connections(), before + 1);
    w->close();  // the window's own close asks the same
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(prompts->lastMessage(), "Are you sure you want to cancel ?");
    EXPECT_EQ(connections(), before);
}

TEST_F(WizardTest, ClosingOnTheConnectionPageNeverAsks) {
    auto w = openWizard();
    w->cmdNavigate[2]->click();
    w->cmdNavigate[0]->click();
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(prompts->messages.empty());
}

TEST_F(WizardTest, ReportStepsWriteTheChosenObjectsOnly) {
    const std::string db = sampleDatabase();
    auto w = openWizard();
    connectOthers(*w, sqliteString(db));
    ASSERT_EQ(w->CurrentStep, 3);
    w->cmdNavigate[2]->click();
    ASSERT_EQ(w->CurrentStep, 4);
    EXPECT_EQ(w->cmdNavigate[2]->text(), "Next >");
    EXPECT_FALSE(w->txtDestinationPath->text().isEmpty());
    EXPECT_EQ(w->txtHNumberOfObjects->text().toInt(), oReportEngine->HTML_ObjectsPerPage());

    w->optOutputType[1]->click();
    EXPECT_TRUE(w->pctCurrentSettings[1]->isVisible());
    EXPECT_FALSE(w->pctCurrentSettings[0]->isVisible());
    const std::string destination = w->txtDestinationPath->text().toStdString();
    EXPECT_EQ(files::extensionOf(destination), "xml");

    w->cmdNavigate[1]->click();  // back to the summary and on again
    EXPECT_EQ(w->CurrentStep, 3);
    EXPECT_TRUE(enabled(*w, 1));
    w->cmdNavigate[2]->click();
    w->cmdNavigate[2]->click();
    ASSERT_EQ(w->CurrentStep, 5);
    EXPECT_FALSE(enabled(*w, 2));
    EXPECT_FALSE(w->cmdSelectAll->isEnabled());

    w->cmdDeselectAll->click();
    for (QTreeWidgetItemIterator it(w->stMain); *it; ++it)
        EXPECT_EQ((*it)->data(0, frmDatabaseConnection::kPictureRole).toString(), "UNCHECKED");
    QTreeWidgetItem* staff = nodeNamed(w->stMain, "staff");
    ASSERT_NE(staff, nullptr);
    w->stMain_NodeClick(staff);
    EXPECT_EQ(staff->data(0, frmDatabaseConnection::kIncludedRole).toString(), "True");
    for (int i = 0; i < staff->childCount(); ++i)
        EXPECT_EQ(staff->child(i)->data(0, frmDatabaseConnection::kPictureRole).toString(), "CHECKED");

    w->cmdNavigate[3]->click();
    EXPECT_TRUE(w->WizardFinished);
    ASSERT_TRUE(files::fileExists(destination)) << destination;
    ASSERT_EQ(prompts->opened.size(), 1u);
    EXPECT_EQ(prompts->opened.front(), destination);
    xml::Document& s = *oReportEngine->oResultXML;
    EXPECT_EQ(s.selectSingleNode("DATABASE/TABLE[@Name='staff']").attribute("Report"), "1");
    EXPECT_EQ(s.selectSingleNode("DATABASE/TABLE[@Name='regions']").attribute("Report"), "0");
    EXPECT_TRUE(errors.empty());
}

TEST_F(WizardTest, DestinationFollowsTheReportKind) {
    auto w = openWizard();
    oReportEngine->DatabaseName("shop");
    const std::string reports = ReportsFolder;
    oReportEngine->HTML_MultipleHTMLs(true);
    EXPECT_EQ(w->AssignInitialPath("html", ""), reports + "/shopReport/");
    EXPECT_EQ(w->AssignInitialPath("xml", reports + "/shopReport/"), reports + "/shopreport.xml");
    EXPECT_EQ(w->AssignInitialPath("docx", "/x/y/report.html"), "/x/y/report.docx");
    EXPECT_EQ(w->AssignInitialPath("xml", "noext"), reports + "/shopreport.xml");
    oReportEngine->HTML_MultipleHTMLs(false);
    EXPECT_EQ(w->AssignInitialPath("html", ""), reports + "/shopreport.html");
}

TEST_F(WizardTest, ProgressBarRestartsInsteadOfOverflowing) {
    auto w = openWizard();
    const int track = w->pctProgress->width();
    w->StartProgress("", 90);
    EXPECT_EQ(w->shpProgress->width(), track * 90 / 100);
    w->IncrementProgress("", 20);
    EXPECT_EQ(w->shpProgress->width(), track * 20 / 100);
    w->IncrementProgress("", 10);
    EXPECT_EQ(w->shpProgress->width(), track * 30 / 100);
    w->StopProgress("");
    EXPECT_EQ(w->shpProgress->width(), track);
}

TEST_F(WizardTest, FinishOnTheObjectStepWritesTheHtmlReportAndOpensIt) {
    const std::string db = sampleDatabase();
    auto w = openWizard();
    connectOthers(*w, sqliteString(db));
    ASSERT_EQ(w->CurrentStep, 3);
    oReportEngine->HTML_MultipleHTMLs(true);
    w->cmdNavigate[2]->click();
    w->cmdNavigate[2]->click();
    ASSERT_EQ(w->CurrentStep, 5);
    const std::string folder = w->DestinationPath;
    EXPECT_EQ(folder, files::joinPath(ReportsFolder, oReportEngine->DatabaseName() + "Report") + "/");

    w->cmdPreview->click();  // one page in the temporary folder; the destination stays
    ASSERT_EQ(prompts->opened.size(), 1u);
    EXPECT_TRUE(files::isInside(prompts->opened.back(), TempFolder)) << prompts->opened.back();
    EXPECT_EQ(w->DestinationPath, folder);
    EXPECT_TRUE(oReportEngine->HTML_MultipleHTMLs());

    w->cmdNavigate[3]->click();
    ASSERT_EQ(prompts->opened.size(), 2u);
    const std::string page = prompts->opened.back();
    EXPECT_TRUE(files::fileExists(page)) << page;
    EXPECT_TRUE(files::isInside(page, folder)) << page;
    EXPECT_TRUE(errors.empty()) << errors.front().description;

    // A report that could not be written is said so and not opened: the file there is an old one.
    auto again = openWizard();
    connectOthers(*again, sqliteString(db));
    ASSERT_EQ(again->CurrentStep, 3);
    again->cmdNavigate[2]->click();
    again->optOutputType[1]->click();
    const std::string old = dir.file("old report.xml");
    ASSERT_TRUE(files::writeTextFile(old, "<OLD/>"));
    again->txtDestinationPath->setText(QString::fromStdString(old));
    again->cmdNavigate[2]->click();
    ASSERT_EQ(again->CurrentStep, 5);
    const std::string styles = StylesFolder;
    StylesFolder = dir.file("no styles");
    again->cmdNavigate[3]->click();
    StylesFolder = styles;
    EXPECT_EQ(prompts->lastMessage(), "The report could not be written to " + old + ", so it is not opened.");
    EXPECT_EQ(prompts->opened.size(), 2u);
    EXPECT_EQ(testsupport::readFile(old), "<OLD/>");
}

TEST_F(WizardTest, MainWindowOpensOneModalWizardInTheGivenMode) {
    InstallConnectionWizard();
    std::string mode;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        frmDatabaseConnection* w = frmDatabaseConnection::instance();
        ASSERT_NE(w, nullptr);
        mode = w->OpenMode;
        modal = w->isModal();
        w->cmdNavigate_Click(0);
    });
    frmDatabaseExplorer::ConnectionWizard(main.get(), "REFRESH");
    EXPECT_EQ(mode, "REFRESH");
    EXPECT_TRUE(modal);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frmDatabaseConnection::instance(), nullptr);
}

TEST_F(WizardTest, ClosingWhileConnectingWaitsForTheAttemptAndGoesNoFurther) {
    const std::string db = sampleDatabase();
    const std::string project = oStructures.xml();
    auto w = openWizard();
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, w.get(), [&] {
        if (w->CurrentStep != 1 || !w->importRunning()) return;
        poll.stop();
        w->close();
        EXPECT_TRUE(w->isVisible());  // not while the attempt runs
    });
    poll.start();
    connectOthers(*w, sqliteString(db));
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->CurrentStep, 1);
    EXPECT_TRUE(prompts->messages.empty());
    EXPECT_EQ(oStructures.xml(), project);
}
