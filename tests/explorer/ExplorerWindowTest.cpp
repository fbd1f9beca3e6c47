#include "ExplorerTestSupport.h"
#include "core/QtPrompter.h"
#include "core/bGlobalUi.h"
#include "startup/bHandleCMD.h"
#include "explorer/MainWindowHook.h"
#include "explorer/frmDisplayColumns.h"
#include "platform/db/Connection.h"

#include <QTimer>
#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QMenuBar>
#include <QPointer>
#include <QThread>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QToolBar>
#include <QTableWidget>
#include <QToolBox>
#include <QTreeWidget>

#include <QDialog>
#include <QProcess>
#include <QKeyEvent>
#include <QTime>

#include <cmath>
#include <functional>
#include <set>
#include <csignal>
#include <iostream>
#include <fstream>
#include <stdexcept>
#include <sys/stat.h>

using explorertest::ExplorerTest;

namespace {

// A project with two folders and three connections and a saved layout.
void writeSavedProject(const std::string& path, const history::UILayout& layout) {
    xml::Document doc;
    history::NewHistoryDocument(doc);
    xml::Node root = doc.documentElement();
    xml::Node g2 = root.appendElement("DATABASEGROUP");
    for (auto [n, v] : {std::pair{"Name", "Sales Data"}, {"Key", "SALESDATA|2"},
                        {"RHXPath", "DATABASESTRUCTURES/DATABASEGROUP[2]/DATABASECONNECTION"},
                        {"Display", "1"}, {"TreeImage", "DATABASEGROUP"}, {"ContextMenu", "ID_DBGroupNode"}})
        g2.setAttribute(n, v);
    auto addConn = [](xml::Node folder, const std::string& name, int g, int c) {
        xml::Node e = folder.appendElement("DATABASECONNECTION");
        e.setAttribute("Name", name);
        e.setAttribute("Key", name + "|" + std::to_string(g) + "|" + std::to_string(c));
        e.setAttribute("RHXPath", "DATABASESTRUCTURES/DATABASEGROUP[" + std::to_string(g) +
                                      "]/DATABASECONNECTION[" + std::to_string(c) + "]");
        e.setAttribute("Display", "1");
        e.setAttribute("TreeImage", "DATABASECONNECTION_CLOSE");
        e.setAttribute("ContextMenu", "ID_DatabaseNode");
        e.setAttribute("TempXMLFileName", "");
        xml::Node db = e.appendElement("DBOPTIONS").appendElement("MOREINFO").appendElement("DATABASE");
        db.setAttribute("Name", name);
        e.appendElement("REPORTOPTIONS").appendElement("HTML").setAttribute("ObjectsPerPage", "5");
    };
    addConn(doc.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[1]"), "Northwind", 1, 1);
    addConn(g2, "O'Brien Stock", 2, 1);
    addConn(g2, "Orders", 2, 2);
    xml::Node ui = history::SaveUISettings(doc, layout);
    // A tool this window does not have is skipped at restore.
    xml::Node unknown = doc.createElement("MENU");
    unknown.setAttribute("Id", "ID_View_Retired");
    unknown.setAttribute("Selected", "1");
    ui.insertBefore(unknown, ui.firstChild());
    root.appendChild(ui);
    std::string error;
    ASSERT_TRUE(history::WriteHistoryFile(path, doc, "project pass phrase for the tests, 49 characters", error));
}

history::UILayout normalLayout() {
    history::UILayout l;
    l.menus = {{"ID_View_Normal", false}, {"ID_View_WebLayout", true}, {"ID_View_PrintLayout", false}};
    l.lastEngineId = 4;
    l.lastEngineName = "Oracle 9i";
    l.windowState = 0;
    l.left = 120 * 15;
    l.top = 80 * 15;
    l.width = 900 * 15;
    l.height = 640 * 15;
    l.htmlVisible = true;
    l.xmlVisible = false;
    l.folderViewWidth = 230 * 15;
    return l;
}

xml::Document decryptStored(const std::string& path) {
    std::string text, error;
    xml::Document doc;
    if (history::ReadHistoryFile(path, PassPhrase4, text, error) == history::ReadResult::Loaded)
        doc.loadXML(text);
    return doc;
}

}  // namespace

TEST_F(ExplorerTest, FirstStartBuildsAProjectAndOpensTheWizard) {
    auto w = open();
    EXPECT_EQ(w->windowTitle(), "Dalvane 4.5 Enterprise");
    ASSERT_EQ(wizardModes, std::vector<std::string>{"NEW"});
    EXPECT_TRUE(windowShownForWizard);
    EXPECT_EQ(oReportEngine->CurrentDatabaseGroup(), 1);
    EXPECT_EQ(oReportEngine->CurrentDatabaseNumber(), 1);
    // The tree holds the new document; it starts hidden, Details selected.
    ASSERT_NE(w->treeNode("Dalvane Group|1"), nullptr);
    EXPECT_EQ(w->treeNode("Dalvane Group|1")->parent(), w->treeNode("Database Structures"));
    EXPECT_TRUE(w->stMain->isHidden());
    EXPECT_EQ(w->atRHContent->currentIndex(), 0);
    EXPECT_FALSE(w->tbMain->isBandVisible("HTMLToolBar"));
    // The default page comes from the project document.
    std::string page = PreviewFilePath("default.html");
    EXPECT_EQ(w->DefaultPagePath, page);
    EXPECT_NE(testsupport::readFile(page).find("Dalvane Folder"), std::string::npos);
    EXPECT_EQ(w->wbHTMLPreview->LocationURL().toStdString(), page);
    EXPECT_EQ(w->wbXMLPreview->LocationURL(), "about:blank");
    // Nothing is loaded: the save and tool commands wait for a structure.
    EXPECT_FALSE(w->tbMain->isToolEnabled("ID_File_SaveAsHTML"));
    EXPECT_FALSE(w->tbMain->isToolEnabled("ID_Tools_Brenik"));
    EXPECT_TRUE(w->tbMain->isToolEnabled("ID_File_Open"));
    // The objects bar falls back on the default entry.
    ASSERT_EQ(w->obDBObjects->count(), 1);
    EXPECT_EQ(w->obDBObjects->itemText(0), "Your Database");

    ASSERT_TRUE(closeWindow(*w));
    EXPECT_TRUE(errors.empty());
    struct stat st {};
    ASSERT_EQ(::stat(historyPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    xml::Document stored = decryptStored(historyPath());
    ASSERT_FALSE(stored.isEmpty());
    EXPECT_EQ(stored.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP").attribute("Key"), "Dalvane Group|1");
    EXPECT_EQ(stored.documentElement().attribute("CreatedOn"), FormatShortDate());
    EXPECT_EQ(stored.count("DATABASESTRUCTURES/DALVANEUI/LASTDBENGINE"), 1);
    EXPECT_EQ(oReportEngine, nullptr);  // released by the unload
}

TEST_F(ExplorerTest, SavedProjectAndLayoutAreRestored) {
    writeSavedProject(historyPath(), normalLayout());
    auto w = open();
    EXPECT_TRUE(wizardModes.empty());
    EXPECT_TRUE(prompts->messages.empty());
    EXPECT_TRUE(errors.empty()) << errors.front().description;
    for (auto key : {"Dalvane Group|1", "SALESDATA|2", "Northwind|1|1", "O'Brien Stock|2|1", "Orders|2|2"})
        EXPECT_NE(w->treeNode(key), nullptr) << key;
    EXPECT_EQ(w->treeNode("Orders|2|2")->parent(), w->treeNode("SALESDATA|2"));
    EXPECT_EQ(w->obDBObjects->count(), 3);
    EXPECT_EQ(w->obDBObjects->currentIndex(), 2);

    EXPECT_TRUE(w->tbMain->isChecked("ID_View_WebLayout"));
    EXPECT_FALSE(w->tbMain->isChecked("ID_View_Normal"));
    EXPECT_EQ(oReportEngine->LastDBEngineId, 4);
    EXPECT_EQ(oReportEngine->LastDBEngineName, "Oracle 9i");
    EXPECT_EQ(w->windowState(), Qt::WindowNoState);
    EXPECT_EQ(w->size(), QSize(900, 640));
    EXPECT_EQ(w->pos(), QPoint(120, 80));
    EXPECT_TRUE(w->atRHContent->isTabVisible(1));
    EXPECT_TRUE(w->tbMain->isChecked("ID_View_HTMLPreviewTab"));
    EXPECT_FALSE(w->atRHContent->isTabVisible(2));
    EXPECT_FALSE(w->tbMain->isChecked("ID_View_XMLPreviewTab"));
    // The tree stays hidden at start and comes back at its saved width.
    EXPECT_TRUE(w->stMain->isHidden());
    w->tbMain->click("ID_View_DBTreeView");
    QApplication::processEvents();
    EXPECT_FALSE(w->stMain->isHidden());
    EXPECT_EQ(w->spSeperator->sizes().value(0), 230);
    closeWindow(*w);
}

TEST_F(ExplorerTest, CloseAndReopenKeepsProjectAndLayout) {
    writeSavedProject(historyPath(), normalLayout());
    {
        auto w = open();
        // The user changes the layout.
        w->tbMain->click("ID_View_DBTreeView");
        w->tbMain->setChecked("ID_View_PrintLayout", true);
        w->atRHContent->setTabVisible(2, true);
        w->move(40, 30);
        w->resize(800, 600);
        oReportEngine->LastDBEngineId = 12;
        oReportEngine->LastDBEngineName = "OTHERS";
        // A connection loaded in this run carries run-only values and an outline.
        xml::Node c = oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[2]/DATABASECONNECTION[2]");
        c.setAttribute("TempXMLFileName", dir.file("run.xml"));
        c.setAttribute("TreeImage", "DATABASECONNECTION_OPEN");
        c.appendElement("TABLES").setAttribute("Key", "Orders|2|2|1");
        ASSERT_TRUE(closeWindow(*w));
    }
    EXPECT_TRUE(errors.empty());
    auto w = open();
    EXPECT_TRUE(wizardModes.empty());
    EXPECT_EQ(oStructures.count("DATABASESTRUCTURES/DATABASEGROUP"), 2);
    EXPECT_EQ(oStructures.count("DATABASESTRUCTURES/DATABASEGROUP/DATABASECONNECTION"), 3);
    xml::Node c = oStructures.selectSingleNode(
        "DATABASESTRUCTURES/DATABASEGROUP/DATABASECONNECTION[@Name=" + xml::xpathLiteral("O'Brien Stock") + "]");
    ASSERT_TRUE(c);
    EXPECT_EQ(c.count("DBOPTIONS/MOREINFO/DATABASE"), 1);
    xml::Node orders = oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[2]/DATABASECONNECTION[2]");
    EXPECT_EQ(orders.attribute("TempXMLFileName"), "");
    EXPECT_EQ(orders.attribute("TreeImage"), "DATABASECONNECTION_CLOSE");
    EXPECT_EQ(orders.count("TABLES"), 0);
    EXPECT_TRUE(w->tbMain->isChecked("ID_View_PrintLayout"));
    EXPECT_FALSE(w->tbMain->isChecked("ID_View_WebLayout"));
    EXPECT_EQ(w->pos(), QPoint(40, 30));
    EXPECT_EQ(w->size(), QSize(800, 600));
    EXPECT_TRUE(w->atRHContent->isTabVisible(1));
    EXPECT_TRUE(w->atRHContent->isTabVisible(2));
    EXPECT_EQ(oReportEngine->LastDBEngineId, 12);
    EXPECT_EQ(oReportEngine->LastDBEngineName, "OTHERS");
    EXPECT_EQ(oStructures.count("DATABASESTRUCTURES/DALVANEUI"), 1);
    closeWindow(*w);
}

TEST_F(ExplorerTest, MaximisedWindowAndMissingTopMaximise) {
    history::UILayout l = normalLayout();
    l.windowState = 2;
    writeSavedProject(historyPath(), l);
    {
        auto w = open();
        EXPECT_TRUE(w->windowState() & Qt::WindowMaximized);
        closeWindow(*w);
    }
    xml::Document stored = decryptStored(historyPath());
    xml::Node win = stored.selectSingleNode("DATABASESTRUCTURES/DALVANEUI/MAINWINDOW");
    ASSERT_TRUE(win);
    EXPECT_EQ(win.attribute("State"), "2");
    EXPECT_FALSE(win.hasAttribute("Width"));
    // State "0" without Top: maximised.
    win.removeAttribute("State");
    win.setAttribute("State", "0");
    std::string error;
    ASSERT_TRUE(history::WriteHistoryFile(historyPath(), stored, PassPhrase4, error));
    auto w = open();
    EXPECT_TRUE(w->windowState() & Qt::WindowMaximized);
    closeWindow(*w);
}

TEST_F(ExplorerTest, CorruptProjectFileIsMovedAsideAndKept) {
    files::writeTextFile(historyPath(), "this is no project file");
    std::string original = testsupport::readFile(historyPath());
    auto w = open();
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_NE(prompts->lastMessage().find("history.dvh.unreadable"), std::string::npos);
    EXPECT_EQ(testsupport::readFile(historyPath() + ".unreadable"), original);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(wizardModes, std::vector<std::string>{"NEW"});
    EXPECT_NE(w->treeNode("Dalvane Group|1"), nullptr);
    ASSERT_TRUE(closeWindow(*w));
    // The new project is stored; the unreadable one stays untouched beside it.
    EXPECT_FALSE(decryptStored(historyPath()).isEmpty());
    EXPECT_EQ(testsupport::readFile(historyPath() + ".unreadable"), original);
}

TEST_F(ExplorerTest, UnreadableProjectFileIsReportedAndNeverOverwritten) {
    files::createFolder(historyPath());  // exists but cannot be read as a file
    auto w = open();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].source, "frmDatabaseExplorer.LoadHistoryXML");
    ErrorShown = true;  // as the error routine leaves it
    EXPECT_TRUE(wizardModes.empty());
    EXPECT_TRUE(oStructures.isEmpty());
    EXPECT_EQ(w->DefaultPagePath, "about:blank");
    ASSERT_TRUE(closeWindow(*w));
    EXPECT_TRUE(files::folderExists(historyPath()));
}

TEST_F(ExplorerTest, AnErrorDuringTheRunKeepsTheLastGoodFileAndTheChanges) {
    writeSavedProject(historyPath(), normalLayout());
    std::string before = testsupport::readFile(historyPath());
    auto w = open();
    oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP").setAttribute("Name", "Changed");
    HandleError(5, "Invalid procedure call", "frmDatabaseExplorer.Test");
    ErrorShown = true;
    ASSERT_TRUE(closeWindow(*w));
    EXPECT_EQ(testsupport::readFile(historyPath() + ".previous"), before);
    std::string text, error;
    ASSERT_EQ(history::ReadHistoryFile(historyPath(), PassPhrase4, text, error), history::ReadResult::Loaded);
    EXPECT_NE(text.find("Name=\"Changed\""), std::string::npos);
    // The next start says what happened, once.
    ErrorShown = false;
    auto again = open();
    EXPECT_NE(prompts->lastMessage().find("ended after an error"), std::string::npos) << prompts->lastMessage();
    closeWindow(*again);
    EXPECT_EQ(history::TakeNotice(historyPath()), "");
}

// SIGTERM or SIGHUP to the program (this test run as a child): a folder added is stored at once,
// the layout of the moment on the signal, and the loop ends with 128 + the signal.
TEST_F(ExplorerTest, SignalsStoreTheProjectAndEndTheProgram) {
    if (const char* data = std::getenv("DALV_SIGNAL_CHILD_DATA")) {
        DataFolder = data;
        if (std::getenv("DALV_SIGNAL_CHILD_DAMAGED")) {
            // The program's own message box and error dialog; the signal comes while the box
            // about the damaged project waits for its answer.
            ui::setPrompter(std::make_unique<QtPrompter>());
            InstallErrorDialog();
            std::unique_ptr<frmDatabaseExplorer> w;
            QTimer ready;
            QObject::connect(&ready, &QTimer::timeout, [&] {
                if (qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    ready.stop();
                    std::cout << "ready" << std::endl;
                }
            });
            ready.start(20);
            QTimer::singleShot(0, [&] { w = open(); });
            const int status = QApplication::exec();
            std::cout << "ended " << status << std::endl;
            return;
        }
        auto w = open();
        w->AddNewGroupName("Added In Session");
        w->resize(777, 555);
        std::cout << "ready" << std::endl;
        std::cout << "ended " << QApplication::exec() << std::endl;
        return;
    }
    for (int sig : {SIGTERM, SIGHUP}) {
        const std::string data = dir.file("signal" + std::to_string(sig)), project = data + "/history.dvh";
        ASSERT_TRUE(files::createFolder(data));
        writeSavedProject(project, normalLayout());
        QProcess child;
        qputenv("DALV_SIGNAL_CHILD_DATA", QByteArray::fromStdString(data));
        child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=*SignalsStoreTheProject*"});
        qunsetenv("DALV_SIGNAL_CHILD_DATA");
        QByteArray out;  // "ready" once the folder is added
        while (!out.contains("ready\n") && child.waitForReadyRead(30000)) out += child.readAllStandardOutput();
        EXPECT_EQ(decryptStored(project).count("DATABASESTRUCTURES/DATABASEGROUP[@Name='Added In Session']"), 1);
        ASSERT_EQ(::kill(static_cast<pid_t>(child.processId()), sig), 0);
        ASSERT_TRUE(child.waitForFinished(30000));
        EXPECT_TRUE((out + child.readAllStandardOutput()).contains("ended " + QByteArray::number(128 + sig))) << out.toStdString();
        EXPECT_EQ(std::lround(std::stod("0" + decryptStored(project).selectSingleNode("//MAINWINDOW/@Width").text()) / 15), 777);
    }
    // A project file that cannot be read: the signal ends the program at its message, with no
    // dialog, and the file kept aside stays as it was.
    const std::string data = dir.file("signal-damaged"), project = data + "/history.dvh";
    ASSERT_TRUE(files::createFolder(data));
    ASSERT_TRUE(files::writeTextFile(project, "not a project"));
    QProcess child;
    qputenv("DALV_SIGNAL_CHILD_DATA", QByteArray::fromStdString(data));
    qputenv("DALV_SIGNAL_CHILD_DAMAGED", "1");
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=*SignalsStoreTheProject*"});
    qunsetenv("DALV_SIGNAL_CHILD_DATA");
    qunsetenv("DALV_SIGNAL_CHILD_DAMAGED");
    QByteArray out;
    while (!out.contains("ready\n") && child.waitForReadyRead(30000)) out += child.readAllStandardOutput();
    ASSERT_TRUE(out.contains("ready\n"));
    ASSERT_EQ(::kill(static_cast<pid_t>(child.processId()), SIGTERM), 0);
    ASSERT_TRUE(child.waitForFinished(30000));
    EXPECT_TRUE((out + child.readAllStandardOutput()).contains("ended " + QByteArray::number(128 + SIGTERM))) << out.toStdString();
    EXPECT_EQ(testsupport::readFile(project + ".unreadable"), "not a project");
}

TEST_F(ExplorerTest, ProgressBarArithmeticAtItsEdges) {
    writeSavedProject(historyPath(), normalLayout());
    auto w = open();
    const int full = w->pctProgress->width();
    ASSERT_GT(full, 0);
    w->StartProgress("Importing", 0);
    EXPECT_EQ(w->shpProgress->width(), 0);
    EXPECT_TRUE(w->pctAnimation->isVisible());
    for (int i = 0; i < 10; ++i) w->IncrementProgress("step", 10);
    EXPECT_EQ(w->shpProgress->width(), full);
    // Passing the right end starts the bar again at that increment.
    w->IncrementProgress("step", 10);
    EXPECT_EQ(w->shpProgress->width(), (full + 5) / 10);
    w->IncrementProgress("step", 95);
    EXPECT_EQ(w->shpProgress->width(), static_cast<int>(std::lround(0.95 * full)));
    w->StartProgress("again", 150);  // never wider than the frame
    EXPECT_EQ(w->shpProgress->width(), full);
    w->StartProgress("again", -20);
    EXPECT_EQ(w->shpProgress->width(), 0);
    w->IncrementProgress("back", -10);
    EXPECT_EQ(w->shpProgress->width(), 0);
    w->StartProgress("again", 30);
    w->StopProgress("done");
    EXPECT_EQ(w->shpProgress->width(), full);
    EXPECT_FALSE(w->pctAnimation->isVisible());
    w->setStatusText("Imported");
    EXPECT_EQ(w->lblStatus->text(), "Imported");
    // A run ended without a message leaves no stale status behind.
    w->StartProgress("", 10);
    w->setStatusText("Importing database...");
    w->StopProgress("");
    EXPECT_EQ(w->lblStatus->text(), "");
    closeWindow(*w);
}

TEST_F(ExplorerTest, LongWorkDisablesControlsAndAlwaysGivesThemBack) {
    writeSavedProject(historyPath(), normalLayout());
    auto w = open();
    EXPECT_EQ(ui::activeProgressTarget(), w.get());
    w->StartProgress("Importing", 10);
    EXPECT_FALSE(w->stMain->isEnabled());
    EXPECT_FALSE(w->tbMain->isEnabled());
    EXPECT_FALSE(w->menuBar()->isEnabled());
    EXPECT_FALSE(w->atRHContent->isTabEnabled(1));
    EXPECT_FALSE(w->atRHContent->isTabEnabled(2));
    EXPECT_TRUE(w->atRHContent->isTabEnabled(0));
    w->StopProgress("");
    EXPECT_TRUE(w->stMain->isEnabled());
    EXPECT_TRUE(w->tbMain->isEnabled());
    EXPECT_TRUE(w->atRHContent->isTabEnabled(2));

    // Work that fails between start and stop still gives the controls back.
    try {
        frmDatabaseExplorer::LongWork work(w.get());
        w->StartProgress("Importing", 10);
        throw std::runtime_error("reader failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_TRUE(w->tbMain->isEnabled());
    EXPECT_FALSE(w->progressRunning());
    EXPECT_FALSE(w->pctAnimation->isVisible());
    closeWindow(*w);
}

TEST_F(ExplorerTest, ClosingDuringLongWorkWaitsForItToEnd) {
    writeSavedProject(historyPath(), normalLayout());
    std::string before = testsupport::readFile(historyPath());
    auto w = open();
    w->StartProgress("Importing", 10);
    EXPECT_FALSE(closeWindow(*w));
    EXPECT_TRUE(w->isVisible());
    EXPECT_NE(oReportEngine, nullptr);  // nothing released under the running work
    EXPECT_EQ(testsupport::readFile(historyPath()), before);
    w->StopProgress("Cancelled");
    QApplication::processEvents();
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(oReportEngine, nullptr);
    EXPECT_NE(testsupport::readFile(historyPath()), before);
}

TEST_F(ExplorerTest, MenusToolbarsAndPopupsComeFromTheToolSet) {
    writeSavedProject(historyPath(), normalLayout());
    auto w = open();
    QStringList menus;
    for (QAction* a : w->menuBar()->actions()) menus << a->objectName();
    EXPECT_EQ(menus, (QStringList{"ID_File", "ID_Edit", "ID_View", "ID_Insert", "ID_Format", "ID_Tools", "ID_Help"}));
    EXPECT_EQ(w->tbMain->caption("ID_File_SaveAsDVSFile"), "&Save  As");
    EXPECT_EQ(w->tbMain->caption("ID_DBGroupNode_GenerateBatchFile"), "Generate Batch File ");
    EXPECT_EQ(w->tbMain->bandTools("ID_RootNode"),
              (QStringList{"ID_Insert_DBFolder", "ID_Insert_DBStructure", "ID_Edit_RemoveAllGroups",
                           "ID_RootNode_ExpandAll", "ID_RootNode_CollapseAll"}));
    EXPECT_EQ(w->tbMain->menuBand("ID_OtherNode")->title(), "Level4");
    EXPECT_EQ(w->tbMain->dropDownBand("ID_File_SaveGroup"), "ID_File_SaveMenu");
    EXPECT_EQ(w->tbMain->optionGroup("ID_View_WebLayout"), "Layout");

    // Report Options opens its dialog; a menu header does nothing.
    w->EnableSaveMenus(true);
    bool setup = false;
    QTimer::singleShot(0, [&] {
        if (QWidget* d = QApplication::activeModalWidget()) {
            setup = d->objectName() == "frmReportSetup";
            static_cast<QDialog*>(d)->reject();
        }
    });
    w->tbMain->click("ID_Format_ReportOptions");
    EXPECT_TRUE(setup);
    w->tbMain_ToolClick("ID_View");
    EXPECT_EQ(prompts->messages.size(), 0u);

    // The HTML toolbar follows the HTML preview tab; the diagram command needs a structure.
    w->atRHContent->setCurrentIndex(1);
    EXPECT_TRUE(w->tbMain->isBandVisible("HTMLToolBar"));
    EXPECT_FALSE(w->tbMain->isToolVisible("ID_OtherNode_EditDiagram"));
    w->atRHContent->setCurrentIndex(0);
    EXPECT_FALSE(w->tbMain->isBandVisible("HTMLToolBar"));

    w->tbMain->click("ID_File_Exit");
    QApplication::processEvents();
    EXPECT_FALSE(w->isVisible());
}

TEST_F(ExplorerTest, ClosingUnloadsOtherWindowsFirst) {
    writeSavedProject(historyPath(), normalLayout());
    auto w = open();
    QDialog other;
    other.setObjectName("frmReportSetup");
    other.show();
    ASSERT_TRUE(other.isVisible());
    closeWindow(*w);
    EXPECT_FALSE(other.isVisible());
}

TEST_F(ExplorerTest, KeyPanelsFollowTheKeys) {
    testsupport::TempDir leds;
    std::filesystem::create_directories(leds.path() + "/input1::capslock");
    std::ofstream(leds.path() + "/input1::capslock/brightness") << "1";
    ui::setLedFolder(QString::fromStdString(leds.path()));
    ui::setInsertOn(false);
    writeSavedProject(historyPath(), normalLayout());
    auto w = open();
    EXPECT_TRUE(w->sspCAPS->isOn());
    EXPECT_FALSE(w->sspNUM->isOn());
    EXPECT_FALSE(w->sspIns->isOn());
    std::ofstream(leds.path() + "/input1::capslock/brightness") << "0";
    QKeyEvent caps(QEvent::KeyPress, Qt::Key_CapsLock, Qt::NoModifier);
    QApplication::sendEvent(w->stMain, &caps);
    EXPECT_FALSE(w->sspCAPS->isOn());
    QKeyEvent ins(QEvent::KeyPress, Qt::Key_Insert, Qt::NoModifier);
    QApplication::sendEvent(w->ugDetails, &ins);
    EXPECT_TRUE(w->sspIns->isOn());
    std::ofstream(leds.path() + "/input1::capslock/brightness") << "1";
    w->tmrStatus_Timer();
    EXPECT_TRUE(w->sspCAPS->isOn());
    EXPECT_EQ(w->sspTime->text(), QTime::currentTime().toString("hh:mm"));
    ui::setLedFolder("/sys/class/leds");
    closeWindow(*w);
}

TEST_F(ExplorerTest, SplashHandsOverToTheMainWindow) {
    writeSavedProject(historyPath(), normalLayout());
    InstallMainWindowHook();
    ASSERT_TRUE(GetMainWindowHook());
    ASSERT_TRUE(GetMainWindowHook()());
    QPointer<frmDatabaseExplorer> w = frmDatabaseExplorer::instance();
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowTitle(), "Dalvane 4.5 Enterprise");
    EXPECT_NE(w->treeNode("Orders|2|2"), nullptr);
    w->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull());
    EXPECT_EQ(frmDatabaseExplorer::instance(), nullptr);
    SetMainWindowHook(nullptr);
}

namespace {
bool closeTried = false;
bool openWhileImporting = false;
void closeOnFirstYield() {
    frmDatabaseExplorer* w = frmDatabaseExplorer::instance();
    if (!closeTried && w) {
        closeTried = true;
        w->close();
        openWhileImporting = w->isVisible() && oReportEngine != nullptr;
    }
    QApplication::processEvents();
}
}  // namespace

TEST_F(ExplorerTest, ClosingDuringAnImportCancelsItAndWaits) {
    std::string dbPath = dir.file("shop.db");
    {
        db::Connection c;
        c.open("Driver=SQLite3;Database=" + dbPath);
        for (int i = 0; i < 12; ++i)
            c.execute("CREATE TABLE t" + std::to_string(i) + " (id INTEGER PRIMARY KEY, name TEXT)");
    }
    writeSavedProject(historyPath(), normalLayout());
    auto w = open();
    oReportEngine->CurrentDatabaseEngineId(12);
    oReportEngine->ResetConnectionString();
    oReportEngine->ConnectionString("Driver=SQLite3;Database=" + dbPath);
    ASSERT_TRUE(oReportEngine->OpenDalvDatabase());
    closeTried = openWhileImporting = false;
    ui::setPendingEventsHook(&closeOnFirstYield);
    bool imported = oReportEngine->ImportDatabase(true);
    ui::setPendingEventsHook(nullptr);
    EXPECT_TRUE(closeTried);
    EXPECT_TRUE(openWhileImporting);
    EXPECT_FALSE(imported);  // the close cancelled it
    EXPECT_EQ(oStructures.count("DATABASESTRUCTURES/DATABASEGROUP/DATABASECONNECTION"), 3);
    for (int i = 0; i < 50 && w->isVisible(); ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(w->tbMain->isEnabled());
    EXPECT_EQ(oReportEngine, nullptr);
    EXPECT_FALSE(decryptStored(historyPath()).isEmpty());
}

TEST_F(ExplorerTest, ChooseColumnsEditsACopyAndSavesAllKindsOnOK) {
    const std::string file = files::joinPath(DataFolder, "CustomizeColumns.xml");
    const std::string original =
        "<DBOBJECTS><DBOBJECT Name=\"O'Tables\"><COLUMN Name=\" Name \" Displayed=\"1\"/>"
        "<COLUMN Name=\"Type's\" Displayed=\"0\"/><COLUMN Name=\"Fixed\"/><COLUMN Name=\"  \" Displayed=\"0\"/></DBOBJECT>"
        "<DBOBJECT Name=\"Views\"><COLUMN Name=\"Name\" Displayed=\"1\"/></DBOBJECT></DBOBJECTS>";
    ASSERT_TRUE(files::writeTextFile(file, original));
    auto items = [](QListWidget* l) {
        std::vector<std::string> v;
        for (int i = 0; i < l->count(); ++i) v.push_back(l->item(i)->text().toStdString());
        return v;
    };
    using V = std::vector<std::string>;
    {
        frmDisplayColumns d(nullptr);
        EXPECT_EQ(d.cboObjects->currentText().toStdString(), "O'Tables");
        EXPECT_EQ(items(d.lstAvailableTBColumns), (V{"Type's", "Fixed"}));
        EXPECT_EQ(items(d.lstDisplayedTBColumns), (V{"Name"}));
        d.cmdAddAll->click();  // a column without Displayed stays available
        EXPECT_EQ(items(d.lstAvailableTBColumns), (V{"Fixed"}));
        d.cmdRemoveAll->click();
        EXPECT_EQ(items(d.lstDisplayedTBColumns), V{});
        d.lstAvailableTBColumns->setCurrentRow(0);  // "Name"
        d.lstAvailableTBColumns_DblClick();
        EXPECT_EQ(items(d.lstDisplayedTBColumns), (V{"Name"}));
        d.cboObjects->setCurrentIndex(1);
        d.cmdRemoveAll->click();
        d.cmdCancel->click();
    }
    EXPECT_EQ(testsupport::readFile(file), original);
    {
        frmDisplayColumns d(nullptr);
        d.cmdRemoveAll->click();
        d.cboObjects->setCurrentIndex(1);
        d.cmdRemoveAll->click();
        d.cmdOK->click();
    }
    xml::Document saved;
    ASSERT_TRUE(saved.load(file));
    EXPECT_EQ(saved.count("//COLUMN[@Displayed='1']"), 0);
    EXPECT_EQ(saved.count("//COLUMN[@Displayed='0']"), 4);
    EXPECT_EQ(oCustomizeColumns.count("//COLUMN[@Displayed='0']"), 4);
    EXPECT_TRUE(errors.empty()) << errors.front().description;
}

// Refresh of a database of thousands of tables from the window's own command: the window's
// events run during the import (counted, never timed), its progress moves, no command re-enters,
// Cancel stops the import, a close cancels it and waits, and the status ends with the work.
TEST_F(ExplorerTest, RefreshKeepsTheWindowAliveAndStopsOnCancelOrClose) {
    const std::string path = dir.file("wide.db");
    {
        db::Connection c;
        c.open("Driver=SQLite3;Database=" + path);
        c.execute("BEGIN");
        for (int i = 0; i < 2500; ++i) c.execute("CREATE TABLE t" + std::to_string(i) + " (id INTEGER PRIMARY KEY, name TEXT)");
        c.execute("COMMIT");
    }
    history::NewHistoryDocument(oStructures);
    importInto(1, "Wide", path);
    ASSERT_NO_FATAL_FAILURE(storeProject());
    auto w = open();
    auto refresh = [&] {
        w->stMain->setCurrentItem(w->treeNode("Wide|1|1"));
        w->ParseNodeKey("Wide|1|1");
        w->tbMain_ToolClick("ID_DatabaseNode_Refresh");
    };
    auto temp = [] {
        return oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[1]/DATABASECONNECTION[1]")
            .attribute("TempXMLFileName");
    };
    // The window's own event-loop turns while the import runs, and what they saw.
    int turns = 0;
    std::set<int> widths;
    std::function<void()> atTurn = [] {};
    QTimer tick;
    tick.setInterval(0);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (!oReportEngine || !oReportEngine->ImportRunning()) return;
        ++turns;
        widths.insert(w->shpProgress->width());
        atTurn();
    });
    tick.start();

    // Cancel in the status bar: nothing imported, no failure reported, nothing re-entered.
    atTurn = [&] {
        if (turns != 2) return;
        EXPECT_FALSE(w->tbMain->isEnabled());
        EXPECT_TRUE(w->cmdCancelWork->isVisible());
        w->tbMain_ToolClick("ID_DatabaseNode_Refresh");  // ignored: the import runs on
        w->cmdCancelWork->click();
    };
    refresh();
    EXPECT_GE(turns, 2);
    EXPECT_TRUE(prompts->messages.empty()) << prompts->lastMessage();
    EXPECT_EQ(temp(), "");
    EXPECT_EQ(w->lblStatus->text(), "Import cancelled");
    EXPECT_EQ(w->ugDetailsModel->item(0)->text(), "'Wide' is not connected.");

    // A whole refresh: the bar moved while it ran; the status and the bar end with it.
    turns = 0;
    widths.clear();
    atTurn = [] {};
    refresh();
    EXPECT_GE(turns, 2);
    EXPECT_GE(widths.size(), 2u);
    EXPECT_FALSE(temp().empty());
    EXPECT_EQ(w->treeNode("Wide|1|1")->childCount(), 4);
    EXPECT_EQ(w->lblStatus->text(), "");
    EXPECT_EQ(w->shpProgress->width(), 0);
    EXPECT_FALSE(w->pctAnimation->isVisible());
    EXPECT_FALSE(w->cmdCancelWork->isVisible());
    EXPECT_TRUE(w->tbMain->isEnabled() && w->stMain->isEnabled());
    EXPECT_TRUE(prompts->messages.empty()) << prompts->lastMessage();

    // A close during the import cancels it; the window closes once the import has returned.
    const std::string imported = temp();
    bool closedAtOnce = true;
    turns = 0;
    atTurn = [&] {
        if (turns != 2) return;
        w->close();
        closedAtOnce = !w->isVisible() || !oReportEngine;
    };
    refresh();
    EXPECT_GE(turns, 2);
    EXPECT_FALSE(closedAtOnce);
    for (int i = 0; i < 100 && w->isVisible(); ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(oReportEngine, nullptr);
    EXPECT_TRUE(prompts->messages.empty()) << prompts->lastMessage();
    EXPECT_EQ(decryptStored(historyPath()).count("//DATABASECONNECTION[@Name='Wide']"), 1);
    EXPECT_FALSE(imported.empty());
    EXPECT_TRUE(errors.empty()) << errors.front().description;
}
