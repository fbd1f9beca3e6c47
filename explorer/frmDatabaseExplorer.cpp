#include "explorer/frmDatabaseExplorer.h"

#include "explorer/ExplorerShared.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "core/bVersion.h"
#include "core/cDVUpdates.h"
#include "options/cReport.h"
#include "platform/fs/Paths.h"
#include "platform/ui/EventPump.h"
#include "platform/ui/Prompter.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTreeView>
#include <QTableWidget>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QToolBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <exception>

using namespace explorer;

namespace {

frmDatabaseExplorer* theWindow = nullptr;

// Width of the progress frame in pixels.
constexpr int kProgressWidth = 150;
// Default width of the folder tree: 2940 twips at 15 twips per pixel.
constexpr double kTreePaneTwips = 2940.095;

const char* const kDefaultConnectionXML =
    "<DATABASECONNECTION Name=\"Your Database\" Key=\"\" RHXPath=\"\">"
    "<TABLES Name=\"Tables\" Key=\"DATABASE_TABLES\" RHXPath=\"DATABASE/TABLE\" TreeImage=\"TABLES\" "
    "Display=\"1\" ContextMenu=\"ID_OtherNode\" Report=\"1\"/>"
    "<VIEWS Name=\"Views\" Key=\"DATABASE_VIEWS\" RHXPath=\"DATABASE/VIEW\" TreeImage=\"VIEWS\" "
    "Display=\"1\" ContextMenu=\"ID_OtherNode\" Report=\"1\"/>"
    "<STOREDPROCEDURES Name=\"Stored Procedures\" Key=\"DATABASE_STOREDPROCEDURES\" "
    "RHXPath=\"DATABASE/STOREDPROCEDURE\" TreeImage=\"STOREDPROCEDURES\" Display=\"1\" "
    "ContextMenu=\"ID_OtherNode\" Report=\"1\"/>"
    "<RELATIONSHIPDIAGRAM Name=\"Relationship Diagram\" Key=\"Diagram\" RHXPath=\"RELATIONSHIPDIAGRAM\" "
    "TreeImage=\"DIAGRAM\" Display=\"1\" ContextMenu=\"ID_OtherNode\" Report=\"1\"/>"
    "</DATABASECONNECTION>";

QWidget* paneWithChild(QWidget* child, QWidget* parent) {
    auto* pane = new QWidget(parent);
    auto* l = new QVBoxLayout(pane);
    l->setContentsMargins(0, 0, 0, 0);
    child->setParent(pane);
    l->addWidget(child);
    return pane;
}

}  // namespace

std::function<void(QWidget*, const std::string&)> frmDatabaseExplorer::ConnectionWizard;
std::function<void(QWidget*)> frmDatabaseExplorer::ConnectionProperties;
std::function<void(QWidget*)> frmDatabaseExplorer::MigrationWizard;

frmDatabaseExplorer::frmDatabaseExplorer(QWidget* parent) : QMainWindow(parent) {
    setObjectName("frmDatabaseExplorer");
    setWindowTitle("Dalvane 4.5 Database Explorer");
    setWindowIcon(imageIcon("tree_databasestructures.svg"));
    resize(1000, 700);
    buildControls();
    buildTools();
    wireTreeAndPreviews();
    theWindow = this;
    qApp->installEventFilter(this);
    ui::installEventPump();
}

frmDatabaseExplorer::~frmDatabaseExplorer() {
    if (signalNotifier_) restoreTerminationSignals();
    qApp->removeEventFilter(this);
    ui::unregisterProgressTarget(this);
    if (theWindow == this) theWindow = nullptr;
}

frmDatabaseExplorer* frmDatabaseExplorer::instance() { return theWindow; }

frmDatabaseExplorer* frmDatabaseExplorer::ShowMainWindow() {
    if (theWindow) {
        theWindow->show();
        return theWindow;
    }
    auto* w = new frmDatabaseExplorer();
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->Form_Load();
    w->show();
    return w;
}

double frmDatabaseExplorer::twipsPerPixel() const {
    double dpi = logicalDpiX();
    return dpi > 0 ? 1440.0 / dpi : 15.0;
}

// ---- controls ----------------------------------------------------------------------------

void frmDatabaseExplorer::buildControls() {
    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(3);

    obDBObjects = new QToolBox(central);
    obDBObjects->setObjectName("obDBObjects");
    obDBObjects->setToolTip("DB Objects Bar");
    obDBObjects->setFixedWidth(130);
    row->addWidget(obDBObjects);

    spSeperator = new QSplitter(Qt::Horizontal, central);
    spSeperator->setObjectName("spSeperator");
    spSeperator->setChildrenCollapsible(true);
    row->addWidget(spSeperator, 1);

    stMain = new QTreeWidget(spSeperator);
    stMain->setObjectName("stMain");
    stMain->setHeaderHidden(true);
    stMain->setToolTip("DB Folder View");

    atRHContent = new QTabWidget(spSeperator);
    atRHContent->setObjectName("atRHContent");
    ugDetails = new QTreeView();
    ugDetails->setObjectName("ugDetails");
    ugDetailsModel = new QStandardItemModel(ugDetails);
    ugDetails->setModel(ugDetailsModel);
    ugDetails->setHeaderHidden(true);
    ugDetails->setUniformRowHeights(false);
    ugDetails->setAlternatingRowColors(false);
    ugDetails->setStyleSheet("QTreeView { background: white; font-family: \"Trebuchet MS\"; }");
    connect(ugDetailsModel, &QStandardItemModel::itemChanged, this, [this](QStandardItem* cell) {
        if (!gridUpdating_) ugDetails_CellChange(cell);
    });
    wbHTMLPreview = new ui::BrowserPane();
    wbHTMLPreview->setObjectName("wbHTMLPreview");
    wbXMLPreview = new ui::BrowserPane();
    wbXMLPreview->setObjectName("wbXMLPreview");
    tpDetails = paneWithChild(ugDetails, atRHContent);
    tpDetails->setObjectName("tpDetails");
    tpHTMLPreview = paneWithChild(wbHTMLPreview, atRHContent);
    tpHTMLPreview->setObjectName("tpHTMLPreview");
    tpXMLPreview = paneWithChild(wbXMLPreview, atRHContent);
    tpXMLPreview->setObjectName("tpXMLPreview");
    atRHContent->addTab(tpDetails, "Details");
    atRHContent->addTab(tpHTMLPreview, "HTML Preview");
    atRHContent->addTab(tpXMLPreview, "XML Preview");
    atRHContent->tabBar()->setTabData(0, QStringLiteral("DETAILS"));
    atRHContent->tabBar()->setTabData(1, QStringLiteral("HTMLPREVIEW"));
    atRHContent->tabBar()->setTabData(2, QStringLiteral("XMLPREVIEW"));
    // The preview tabs start hidden; the saved layout shows them again.
    atRHContent->setTabVisible(1, false);
    atRHContent->setTabVisible(2, false);
    spSeperator->addWidget(stMain);
    spSeperator->addWidget(atRHContent);
    spSeperator->setStretchFactor(1, 1);
    connect(atRHContent, &QTabWidget::currentChanged, this,
            [this](int index) { atRHContent_TabClick(index); });

    // Web-layout and print-layout views replace the normal view when chosen.
    wbWebLayout = new ui::BrowserPane();
    wbWebLayout->setObjectName("wbWebLayout");
    tpWebLayout = paneWithChild(wbWebLayout, central);
    tpWebLayout->setObjectName("tpWebLayout");
    spWebLayout = paneWithChild(tpWebLayout, central);
    spWebLayout->setObjectName("spWebLayout");
    spWebLayout->hide();
    row->addWidget(spWebLayout, 1);
    wbPrintLayout = new ui::BrowserPane();
    wbPrintLayout->setObjectName("wbPrintLayout");
    tpPrintLayout = paneWithChild(wbPrintLayout, central);
    tpPrintLayout->setObjectName("tpPrintLayout");
    spPrintLayout = paneWithChild(tpPrintLayout, central);
    spPrintLayout->setObjectName("spPrintLayout");
    spPrintLayout->hide();
    row->addWidget(spPrintLayout, 1);

    txtDefaultXML = new QPlainTextEdit(central);
    txtDefaultXML->setObjectName("txtDefaultXML");
    txtDefaultXML->setPlainText(QString::fromUtf8(kDefaultConnectionXML));
    txtDefaultXML->hide();
    setCentralWidget(central);

    // Status bar: progress and status text, then key states, date and time.
    spStatusBar = new QStatusBar(this);
    spStatusBar->setObjectName("spStatusBar");
    spStatusBar->setSizeGripEnabled(true);
    sspStatus = new QWidget(spStatusBar);
    sspStatus->setObjectName("sspStatus");
    auto* st = new QHBoxLayout(sspStatus);
    st->setContentsMargins(2, 0, 2, 0);
    pctAnimation = new QLabel(sspStatus);
    pctAnimation->setObjectName("pctAnimation");
    pctAnimation->setPixmap(imageIcon("tb_busy.svg").pixmap(16, 16));
    pctAnimation->hide();
    pctProgress = new QFrame(sspStatus);
    pctProgress->setObjectName("pctProgress");
    pctProgress->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pctProgress->setFixedSize(kProgressWidth, 14);
    shpProgress = new QFrame(pctProgress);
    shpProgress->setObjectName("shpProgress");
    shpProgress->setStyleSheet("background-color: #2a5db0;");
    shpProgress->setGeometry(0, 0, 0, 14);
    lblStatus = new QLabel("Importing database...", sspStatus);
    lblStatus->setObjectName("lblStatus");
    cmdCancelWork = new QPushButton("Cancel", sspStatus);
    cmdCancelWork->setObjectName("cmdCancelWork");
    cmdCancelWork->setToolTip("Stop the import");
    cmdCancelWork->setFlat(true);
    cmdCancelWork->hide();
    connect(cmdCancelWork, &QPushButton::clicked, this, [this] {
        if (importRunning()) oReportEngine->CancelImport();
    });
    st->addWidget(pctAnimation);
    st->addWidget(pctProgress);
    st->addWidget(cmdCancelWork);
    st->addWidget(lblStatus, 1);
    spStatusBar->addWidget(sspStatus, 1);
    sspCAPS = new ui::KeyStatePanel("CAPS", spStatusBar);
    sspCAPS->setObjectName("sspCAPS");
    sspNUM = new ui::KeyStatePanel("NUM", spStatusBar);
    sspNUM->setObjectName("sspNUM");
    sspIns = new ui::KeyStatePanel("INS", spStatusBar);
    sspIns->setObjectName("sspIns");
    sspDate = new QLabel(spStatusBar);
    sspDate->setObjectName("sspDate");
    sspTime = new QLabel(spStatusBar);
    sspTime->setObjectName("sspTime");
    ui::addStatusPanels(spStatusBar, {sspCAPS, sspNUM, sspIns, sspDate, sspTime});
    setStatusBar(spStatusBar);

    tmrStatus = new QTimer(this);
    tmrStatus->setObjectName("tmrStatus");
    tmrStatus->setInterval(1000);
    connect(tmrStatus, &QTimer::timeout, this, [this] { tmrStatus_Timer(); });
}

void frmDatabaseExplorer::addTool(const QString& id, const QString& caption, const QString& icon,
                                  const QString& description, bool checkable) {
    tbMain->addTool(id, caption, description, checkable);
    if (!icon.isEmpty())
        tbMain->setIcon(id, QString::fromStdString(files::joinPath(ImagesFolder, icon.toStdString())));
}

void frmDatabaseExplorer::fill(const QString& band, const QStringList& tools) {
    for (const QString& t : tools) {
        if (t == QLatin1String("-"))
            tbMain->addSeparator(band);
        else
            tbMain->addToBand(band, t);
    }
}

void frmDatabaseExplorer::buildTools() {
    tbMain = new ui::ToolManager(this);
    tbMain->setObjectName("tbMain");
    QMenuBar* bar = menuBar();

    // File
    addTool("ID_File_NewDatabaseStructure", "&New", "tb_new.svg");
    addTool("ID_File_Open", "&Open", "tb_open.svg", "Open Report");
    addTool("ID_File_SaveDVSFile", "&Save", "tb_save.svg", "Save Report");
    addTool("ID_File_SaveAsDVSFile", "&Save  As", {}, "Save As DVS File");
    addTool("ID_File_SaveAsHTML", "Save As HTML", "tb_html.svg");
    addTool("ID_File_SaveAsXML", "Save As XML", "tb_xml.svg");
    addTool("ID_File_SaveAsWordDocument", "Save As Word Document", "tb_word.svg", "Save As Word");
    addTool("ID_File_Print", "Print", "tb_print.svg");
    addTool("ID_File_PrintPreview", "Print Preview", "tb_preview.svg");
    addTool("ID_File_Exit", "&Exit", {}, "Close Dalvane ");
    addTool("ID_File_SaveGroup", "Save Group", "tb_save.svg");
    addTool("ID_File_New", "New", "tb_new.svg");
    addTool("ID_File_New_Report", "Report", "tb_new.svg");
    addTool("ID_File_New_Folder", "Folder", "tb_folder.svg");
    // Edit
    addTool("ID_Edit_CopyNames", "Copy Names to Clipboard", "tb_copy.svg");
    addTool("ID_Edit_RemoveGroup", "Remove Folder", "tb_remove.svg");
    addTool("ID_Edit_RemoveDBStructure", "Remove DB Structure");
    addTool("ID_Edit_RemoveAllGroups", "Remove All Folders");
    addTool("ID_Edit_RemoveAllDBStructures", "Remove All DB Structures");
    // View
    addTool("ID_View_Normal", "Normal", "tb_normal.svg", {}, true);
    addTool("ID_View_WebLayout", "Web Layout", "tb_weblayout.svg", {}, true);
    addTool("ID_View_PrintLayout", "Print Layout", "tb_printlayout.svg", {}, true);
    for (auto id : {"ID_View_Normal", "ID_View_WebLayout", "ID_View_PrintLayout"})
        tbMain->setOptionGroup(id, "Layout");
    tbMain->setChecked("ID_View_Normal", true);
    addTool("ID_View_DBObjectsBar", "DB Objects Bar", {}, {}, true);
    tbMain->setChecked("ID_View_DBObjectsBar", true);
    addTool("ID_View_DBTreeView", "DB Folder View", "tb_tree.svg", {}, true);
    addTool("ID_View_DetailsTab", "Details Tab", {}, {}, true);
    tbMain->setChecked("ID_View_DetailsTab", true);
    addTool("ID_View_HTMLPreviewTab", "HTML Preview Tab", {}, {}, true);
    addTool("ID_View_XMLPreviewTab", "XML Preview Tab", {}, {}, true);
    // Insert, Format, Tools, Help
    addTool("ID_Insert_NewGroup", "&Folder", "tb_folder.svg");
    addTool("ID_Insert_Diagram", "Diagram", "tb_diagram.svg");
    addTool("ID_Insert_DBFolder", "DB Folder", "tb_folder.svg");
    addTool("ID_Insert_DBStructure", "DB Structure", "tb_new.svg");
    addTool("ID_Format_ReportOptions", "Report Options", "tb_options.svg");
    addTool("ID_Format_ChooseColumns", "Choose Columns");
    addTool("ID_Tools_Brenik", "Execute Query", "tb_query.svg");
    addTool("ID_Tools_GenerateSQLScript", "Generate SQL Script", "tb_script.svg");
    addTool("ID_Tools_GenerateBatchFile", "Generate &Batch File");
    addTool("ID_Tools_GenerateCHM", "Generate Help");
    addTool("ID_Help_DalvaneHelp", "Dalvane Help", "tb_help.svg");
    addTool("ID_Help_CheckforUpdates", "Check for Updates");
    addTool("ID_Help_AboutDalvane", "About Dalvane");
    // Popup commands
    addTool("ID_RootNode_ExpandAll", "Expand All");
    addTool("ID_RootNode_CollapseAll", "Collapse All");
    addTool("ID_DBGroupNode_NewDatabase", "New Database", "tb_new.svg");
    addTool("ID_DBGroupNode_RenameGroup", "Rename Folder");
    addTool("ID_DBGroupNode_ExpandAll", "Expand All");
    addTool("ID_DBGroupNode_CollapseAll", "Collapse All");
    addTool("ID_DBGroupNode_GenerateBatchFile", "Generate Batch File ");
    addTool("ID_DatabaseNode_Refresh", "Refresh");
    addTool("ID_DatabaseNode_Save", "Save", "tb_save.svg");
    addTool("ID_DatabaseNode_Remove", "Remove", "tb_remove.svg");
    addTool("ID_DatabaseNode_ExpandAll", "Expand All");
    addTool("ID_DatabaseNode_CollapseAll", "Collapse All");
    addTool("ID_DatabaseNode_Properties", "Properties");
    addTool("ID_DatabaseNode_Migrate", "Migrate");
    addTool("ID_OtherNode_ExpandAll", "Expand All");
    addTool("ID_OtherNode_CollapseAll", "Collapse All");
    addTool("ID_OtherNode_OpenAllRows", "Open All Rows", "tb_query.svg");
    addTool("ID_OtherNode_EditDiagram", "Edit Diagram", "tb_diagram.svg");
    // Template toolbar
    addTool("ID_Stylesheets", "Layout", "tb_stylesheets.svg");
    addTool("ID_Colors", "Colors", "tb_colors.svg");

    // Menu bar
    tbMain->addMenuBand("ID_File", "&File", bar);
    fill("ID_File", {"ID_File_NewDatabaseStructure", "ID_File_Open", "-", "ID_File_SaveDVSFile",
                     "ID_File_SaveAsDVSFile", "ID_File_SaveAsHTML", "ID_File_SaveAsXML",
                     "ID_File_SaveAsWordDocument", "-", "ID_File_Print", "ID_File_PrintPreview",
                     "-", "ID_File_Exit"});
    tbMain->addMenuBand("ID_Edit", "&Edit", bar);
    fill("ID_Edit", {"ID_Edit_CopyNames", "-", "ID_Edit_RemoveGroup", "ID_Edit_RemoveDBStructure",
                     "ID_Edit_RemoveAllGroups", "ID_Edit_RemoveAllDBStructures"});
    tbMain->addMenuBand("ID_View", "&View", bar);
    fill("ID_View", {"ID_View_Normal", "ID_View_WebLayout", "ID_View_PrintLayout", "-",
                     "ID_View_DBObjectsBar", "ID_View_DBTreeView", "-", "ID_View_DetailsTab",
                     "ID_View_HTMLPreviewTab", "ID_View_XMLPreviewTab"});
    tbMain->addMenuBand("ID_Insert", "&Insert", bar);
    fill("ID_Insert", {"ID_Insert_NewGroup", "ID_Insert_Diagram"});
    tbMain->addMenuBand("ID_Format", "F&ormat", bar);
    fill("ID_Format", {"ID_Format_ReportOptions", "ID_Format_ChooseColumns"});
    tbMain->addMenuBand("ID_Tools", "&Tools", bar);
    fill("ID_Tools", {"ID_Tools_Brenik", "ID_Tools_GenerateSQLScript", "ID_Tools_GenerateBatchFile"});
    tbMain->addMenuBand("ID_Help", "&Help", bar);
    fill("ID_Help", {"ID_Help_DalvaneHelp", "ID_Help_CheckforUpdates", "-", "ID_Help_AboutDalvane"});

    // Drop-down menus
    tbMain->addMenuBand("ID_File_SaveMenu", "Save", nullptr);
    fill("ID_File_SaveMenu", {"ID_File_SaveDVSFile", "ID_File_SaveAsHTML", "ID_File_SaveAsXML",
                              "ID_File_SaveAsWordDocument"});
    tbMain->addMenuBand("ID_File_New_Menu", "New", nullptr);
    fill("ID_File_New_Menu", {"ID_File_New_Report", "ID_File_New_Folder"});
    tbMain->addMenuBand("ID_StylesheetsMenu", "Stylesheet Menu", nullptr);
    tbMain->addMenuBand("ID_ColorsMenu", "Colors Menu", nullptr);

    // Toolbars
    tbMain->addToolBarBand("StandardToolBar", "Standard", this);
    fill("StandardToolBar", {"ID_File_New", "ID_File_Open", "ID_File_SaveGroup", "-",
                             "ID_File_Print", "ID_File_PrintPreview", "-", "ID_Edit_CopyNames",
                             "ID_View_DBTreeView", "-", "ID_Insert_Diagram", "ID_Tools_Brenik",
                             "ID_Format_ReportOptions", "-", "ID_Help_DalvaneHelp"});
    tbMain->setDropDown("ID_File_New", "ID_File_New_Menu");
    tbMain->setDropDown("ID_File_SaveGroup", "ID_File_SaveMenu");
    tbMain->addToolBarBand("HTMLToolBar", "HTML", this);
    fill("HTMLToolBar", {"ID_View_Normal", "ID_View_WebLayout", "ID_View_PrintLayout", "-",
                         "ID_Stylesheets", "ID_Colors"});
    tbMain->setDropDown("ID_Stylesheets", "ID_StylesheetsMenu");
    tbMain->setDropDown("ID_Colors", "ID_ColorsMenu");
    for (const QString& band : {QStringLiteral("StandardToolBar"), QStringLiteral("HTMLToolBar")})
        tbMain->toolBarBand(band)->setIconSize(QSize(18, 18));

    // Popup menus of the tree
    tbMain->addPopupBand("ID_RootNode", "Root Node Menu");
    fill("ID_RootNode", {"ID_Insert_DBFolder", "ID_Insert_DBStructure", "-", "ID_Edit_RemoveAllGroups",
                         "ID_RootNode_ExpandAll", "ID_RootNode_CollapseAll"});
    tbMain->addPopupBand("ID_DBGroupNode", "DB Folder Node Menu");
    fill("ID_DBGroupNode", {"ID_DBGroupNode_NewDatabase", "ID_DBGroupNode_RenameGroup",
                            "ID_Edit_RemoveGroup", "-", "ID_DBGroupNode_ExpandAll",
                            "ID_DBGroupNode_CollapseAll", "-", "ID_Edit_CopyNames"});
    tbMain->addPopupBand("ID_DatabaseNode", "Tree Database Menu");
    fill("ID_DatabaseNode", {"ID_DatabaseNode_Refresh", "ID_DatabaseNode_Save", "ID_DatabaseNode_Remove",
                             "-", "ID_DatabaseNode_ExpandAll", "ID_DatabaseNode_CollapseAll", "-",
                             "ID_DatabaseNode_Properties", "-", "ID_DatabaseNode_Migrate",
                             "ID_Tools_GenerateSQLScript", "ID_DBGroupNode_GenerateBatchFile"});
    tbMain->addPopupBand("ID_OtherNode", "Level4");
    fill("ID_OtherNode", {"ID_OtherNode_ExpandAll", "ID_OtherNode_CollapseAll", "-", "ID_Edit_CopyNames",
                          "-", "ID_DatabaseNode_Migrate", "ID_OtherNode_OpenAllRows",
                          "ID_OtherNode_EditDiagram"});

    connect(tbMain, &ui::ToolManager::toolClicked, this,
            [this](const QString& id) { tbMain_ToolClick(id); });
    connect(tbMain, &ui::ToolManager::toolDropDown, this,
            [this](const QString& id) { tbMain_ToolDropDown(id); });
}

// ---- commands ----------------------------------------------------------------------------

void frmDatabaseExplorer::EnableSaveMenus(bool enable) {
    for (auto id : {"ID_File_SaveAsDVSFile", "ID_File_SaveAsHTML", "ID_File_SaveAsWordDocument",
                    "ID_File_SaveAsXML", "ID_File_SaveDVSFile", "ID_File_SaveGroup",
                    "ID_DatabaseNode_Save", "ID_File_Print", "ID_File_PrintPreview",
                    "ID_Tools_Brenik", "ID_Tools_GenerateSQLScript", "ID_Tools_GenerateBatchFile"})
        tbMain->setToolEnabled(id, enable);
}

// ---- load --------------------------------------------------------------------------------

void frmDatabaseExplorer::Form_Load() {
    try {
        oStructures.clear();
        oHistory.clear();
        setWindowTitle(QString::fromStdString(MainCaption()));
        sspCAPS->setOn(Capslock());
        sspNUM->setOn(Numlock());
        sspIns->setOn(InsKey());
        sspDate->setText(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
        sspTime->setText(QTime::currentTime().toString("hh:mm:ss"));
        lblStatus->clear();  // nothing is imported yet
        atRHContent->setCurrentIndex(0);
        if (wbHTMLPreview->Busy()) wbHTMLPreview->Stop();
        DefaultPagePath = PreviewFilePath("default.html");
        tbMain->setChecked("ID_View_DBTreeView", false);
        DisplayTreeview(false);
        tbMain->setBandVisible("HTMLToolBar", false);
        EnableSaveMenus(false);
        BuildStyleMenus();
        ui::registerProgressTarget(this);
        watchTerminationSignals();
        loaded_ = true;
        LoadHistoryXML();
        ClearPreviews();
        RestoreWindowLayout();
        tmrStatus->start();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.Form_Load");
    }
}

bool frmDatabaseExplorer::GenerateDefaultPage() {
    if (oStructures.isEmpty()) return false;
    xml::Stylesheet sheet;
    if (!sheet.load(files::joinPath(StylesFolder, "LHDisplay.xsl"))) return false;
    std::string page;
    if (!sheet.transform(oStructures, page)) {
        HandleError(-1, sheet.error(), "frmDatabaseExplorer.GenerateDefaultPage");
        return false;
    }
    if (!files::writeTextFile(DefaultPagePath, page)) {
        HandleError(-1, "The page " + DefaultPagePath + " cannot be written.",
                    "frmDatabaseExplorer.GenerateDefaultPage");
        return false;
    }
    return true;
}

bool frmDatabaseExplorer::ClearPreviews() {
    if (!GenerateDefaultPage()) DefaultPagePath = "about:blank";
    if (!structureLoaded()) {
        QString page = QString::fromStdString(DefaultPagePath);
        wbHTMLPreview->Navigate2(page);
        wbWebLayout->Navigate2(page);
        wbPrintLayout->Navigate2(page);
        wbXMLPreview->Navigate2("about:blank");
        ugDetailsModel->clear();
    }
    return true;
}

int frmDatabaseExplorer::tabIndexOfKey(const QString& key) const {
    for (int i = 0; i < atRHContent->count(); ++i)
        if (atRHContent->tabBar()->tabData(i).toString() == key) return i;
    return -1;
}

bool frmDatabaseExplorer::showTab(int index, bool show) {
    if (index < 0 || index >= atRHContent->count()) return false;
    atRHContent->setTabVisible(index, show);
    static const char* const tools[] = {"ID_View_DetailsTab", "ID_View_HTMLPreviewTab",
                                        "ID_View_XMLPreviewTab"};
    tbMain->setChecked(tools[index], show);
    return true;
}

bool frmDatabaseExplorer::RestoreWindowLayout() {
    history::SavedLayout saved;
    if (!history::ReadSavedLayout(oStructures, saved)) return false;
    // Tools named in the layout that this window does not have are skipped.
    for (const std::string& id : saved.checkedMenus)
        tbMain->setChecked(QString::fromStdString(id), true);
    if (oReportEngine) {
        oReportEngine->LastDBEngineId = saved.lastEngineId.value_or(-1);
        oReportEngine->LastDBEngineName = saved.lastEngineName.value_or("-1");
    }
    double tpp = twipsPerPixel();
    auto px = [tpp](double twips) { return static_cast<int>(std::lround(twips / tpp)); };
    if (saved.hasMainWindow && saved.windowState) {
        switch (*saved.windowState) {
        case 1: setWindowState(Qt::WindowMinimized); break;
        case 2: setWindowState(Qt::WindowMaximized); break;
        default: setWindowState(Qt::WindowNoState); break;
        }
    }
    if (windowState() == Qt::WindowNoState && saved.hasMainWindow) {
        QPoint pos = this->pos();
        QSize size = this->size();
        if (saved.left) pos.setX(px(*saved.left));
        if (saved.top) pos.setY(px(*saved.top));
        if (saved.width) size.setWidth(px(*saved.width));
        if (saved.height) size.setHeight(px(*saved.height));
        move(pos);
        resize(size);
        if (!saved.top) setWindowState(Qt::WindowMaximized);
    }
    if (saved.rhTabsWidth) {
        QList<int> sizes = spSeperator->sizes();
        if (sizes.size() == 2) spSeperator->setSizes({sizes[0], px(*saved.rhTabsWidth)});
    }
    // Each tab saved as shown is shown again; a tab saved as hidden keeps its state.
    if (saved.detailsVisible.value_or(false)) showTab(0, true);
    if (saved.htmlVisible.value_or(false)) {
        tbMain->setChecked("ID_View_HTMLPreviewTab", true);
        HandleViewMenu("ID_View", "ID_View_HTMLPreviewTab");
    }
    if (saved.xmlVisible.value_or(false)) {
        tbMain->setChecked("ID_View_XMLPreviewTab", true);
        HandleViewMenu("ID_View", "ID_View_XMLPreviewTab");
    }
    if (saved.folderViewWidth && *saved.folderViewWidth > 0) setTreePaneWidth(px(*saved.folderViewWidth));
    return true;
}

void frmDatabaseExplorer::setTreePaneWidth(int px) {
    treeWidthPx_ = px;
    if (!stMain->isHidden()) {
        QList<int> sizes = spSeperator->sizes();
        if (sizes.size() == 2) spSeperator->setSizes({px, sizes[1]});
    }
}

bool frmDatabaseExplorer::DisplayTreeview(bool show) {
    if (!show && stMain->isVisible() && stMain->width() > 0) treeWidthPx_ = stMain->width();
    if (treeWidthPx_ <= 0) treeWidthPx_ = static_cast<int>(std::lround(kTreePaneTwips / twipsPerPixel()));
    spSeperator->setHandleWidth(show ? 5 : 0);
    stMain->setVisible(show);
    if (centralWidget() && centralWidget()->layout()) centralWidget()->layout()->activate();
    int total = 0;
    for (int s : spSeperator->sizes()) total += s;
    total = std::max(total, spSeperator->width() - spSeperator->handleWidth());
    if (total <= treeWidthPx_) total = treeWidthPx_ + 600;
    spSeperator->setSizes({show ? treeWidthPx_ : 0, show ? std::max(total - treeWidthPx_, 1) : total});
    // The right-hand panes fill their tabs through the tabs' layouts.
    return true;
}

void frmDatabaseExplorer::atRHContent_TabClick(int index) {
    QString key = atRHContent->tabBar()->tabData(index).toString();
    if (key == QLatin1String("DETAILS") || key == QLatin1String("XMLPREVIEW")) {
        tbMain->setBandVisible("HTMLToolBar", false);
    } else if (key == QLatin1String("HTMLPREVIEW")) {
        EnableDiagramTool();
        tbMain->setBandVisible("HTMLToolBar", true);
    }
}

bool frmDatabaseExplorer::EnableDiagramTool() {
    bool loaded = structureLoaded();
    tbMain->setToolVisible("ID_OtherNode_EditDiagram", loaded);
    return !loaded;
}

// ---- unload ------------------------------------------------------------------------------

void frmDatabaseExplorer::closeEvent(QCloseEvent* event) {
    if (unloaded_) {
        event->accept();
        return;
    }
    // The diagram window's loop runs inside one of this window's commands.
    if (oReportEngine && oReportEngine->DiagramRunning()) {
        event->ignore();
        return;
    }
    // Work in progress is cancelled and waited for before anything is released.
    recoverAbandonedProgress();
    if (busy() || importRunning() || progressRunning_) {
        if (importRunning()) oReportEngine->CancelImport();
        closePending_ = true;
        if (!closeRetry_) {
            closeRetry_ = new QTimer(this);
            closeRetry_->setInterval(100);
            connect(closeRetry_, &QTimer::timeout, this, [this] { finishPendingClose(); });
        }
        closeRetry_->start();
        event->ignore();
        return;
    }
    bool cancel = false;
    Form_QueryUnload(cancel, 0);
    if (!cancel) Form_Unload(cancel);
    if (cancel) {
        event->ignore();
        return;
    }
    event->accept();
}

bool frmDatabaseExplorer::importRunning() const {
    return oReportEngine && oReportEngine->ImportRunning();
}

void frmDatabaseExplorer::recoverAbandonedProgress() {
    if (progressRunning_ && progressOfImport_ && !importRunning() && !busy()) endWork("");
}

void frmDatabaseExplorer::finishPendingClose() {
    if (!closePending_) return;
    recoverAbandonedProgress();
    if (busy() || importRunning() || progressRunning_) return;
    closePending_ = false;
    if (closeRetry_) closeRetry_->stop();
    close();
}

void frmDatabaseExplorer::UnloadOtherForms() {
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (int i = windows.size() - 1; i >= 0; --i) {
        QWidget* w = windows[i];
        if (w == this || !w->isWindow()) continue;
        if (w->windowType() == Qt::Popup || w->windowType() == Qt::ToolTip) continue;
        if (!qobject_cast<QDialog*>(w) && !qobject_cast<QMainWindow*>(w) && !w->isVisible()) continue;
        if (w->objectName().compare(objectName(), Qt::CaseInsensitive) == 0) continue;
        w->close();
    }
}

void frmDatabaseExplorer::Form_QueryUnload(bool& cancel, int /*unloadMode*/) {
    cancel = false;
    try {
        UnloadOtherForms();
        if (loaded_) StoreProject();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.Form_QueryUnload");
    }
}

void frmDatabaseExplorer::StoreProject() {
    if (!ErrorShown)
        WriteHistoryFile();
    else if (GenerateHistory())
        history::SaveAfterError(HistoryPath(), oHistory, PassPhrase4);
}

std::string frmDatabaseExplorer::projectContent() const {
    xml::Document copy;
    std::string error;
    return history::GenerateHistory(oStructures, copy, history::UILayout{}, error) ? copy.xml() : std::string();
}

void frmDatabaseExplorer::StoreProjectIfChanged() {
    // After an error the project is stored at the end, keeping the last good file.
    if (!loaded_ || unloaded_ || !projectWritable_ || ErrorShown || !oReportEngine || busy() || importRunning() ||
        oStructures.isEmpty())
        return;
    const std::string content = projectContent();
    if (content.empty() || content == storedContent_) return;
    if (WriteHistoryFile()) storedContent_ = content;
}

bool frmDatabaseExplorer::WriteHistoryFile() {
    if (!GenerateHistory()) return false;  // an incomplete copy is never written
    std::string error;
    if (!history::WriteHistoryFile(HistoryPath(), oHistory, PassPhrase4, error)) {
        if (!oHistory.isEmpty()) HandleError(-1, error, "frmDatabaseExplorer.Form_QueryUnload");
        return false;
    }
    return true;
}

void frmDatabaseExplorer::Form_Unload(bool& cancel) {
    cancel = false;
    try {
        tmrStatus->stop();
        ClearAllTemporaryFiles();
        UnloadOtherForms();
        ReleaseReportEngine();
        oWebService.reset();
        ui::unregisterProgressTarget(this);
        unloaded_ = true;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.Form_Unload");
    }
}

// ---- status bar and progress -------------------------------------------------------------

bool frmDatabaseExplorer::Capslock() const { return ui::lockKeyOn(ui::LockKey::CapsLock); }
bool frmDatabaseExplorer::Numlock() const { return ui::lockKeyOn(ui::LockKey::NumLock); }
bool frmDatabaseExplorer::ScrollLock() const { return ui::lockKeyOn(ui::LockKey::ScrollLock); }
bool frmDatabaseExplorer::InsKey() const { return ui::insertOn(); }

bool frmDatabaseExplorer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && event != lastKeyEvent_) {
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && w->window() == this) {
            lastKeyEvent_ = event;
            auto* ke = static_cast<QKeyEvent*>(event);
            int code = 0;
            switch (ke->key()) {
            case Qt::Key_CapsLock: code = 20; break;
            case Qt::Key_NumLock: code = 144; break;
            case Qt::Key_Insert: code = 45; break;
            default: break;
            }
            if (code == 45) ui::toggleInsert();
            if (code) Form_KeyDown(code, static_cast<int>(ke->modifiers()));
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmDatabaseExplorer::Form_KeyDown(int keyCode, int /*shift*/) {
    switch (keyCode) {
    case 20: sspCAPS->setOn(Capslock()); break;
    case 144: sspNUM->setOn(Numlock()); break;
    case 45: sspIns->setOn(InsKey()); break;
    default: break;
    }
}

void frmDatabaseExplorer::tmrStatus_Timer() {
    sspDate->setText(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
    sspTime->setText(QTime::currentTime().toString("hh:mm"));
    sspCAPS->setOn(Capslock());
    sspNUM->setOn(Numlock());
    sspIns->setOn(InsKey());
    recoverAbandonedProgress();
    StoreProjectIfChanged();
}

namespace {
int percentWidth(int percent, int full) {
    double w = percent / 100.0 * full;
    return static_cast<int>(std::lround(std::clamp(w, 0.0, static_cast<double>(full))));
}
}  // namespace

void frmDatabaseExplorer::StartProgress(const std::string& /*message*/, int percent) {
    progressRunning_ = true;
    progressOfImport_ = importRunning();
    EnableControls(false);
    pctAnimation->show();
    cmdCancelWork->setVisible(progressOfImport_);
    shpProgress->resize(percentWidth(percent, pctProgress->width()), shpProgress->height());
    ui::processPendingEvents();
}

void frmDatabaseExplorer::IncrementProgress(const std::string& /*message*/, int percent) {
    int full = pctProgress->width();
    long next = std::lround(shpProgress->width() + percent / 100.0 * full);
    int width = next > full ? percentWidth(percent, full) : static_cast<int>(std::max(0L, next));
    shpProgress->resize(width, shpProgress->height());
    ui::processPendingEvents();
}

void frmDatabaseExplorer::StopProgress(const std::string& message) {
    // A finished or abandoned run leaves no "Importing database..." behind.
    lblStatus->setText(QString::fromStdString(message));
    shpProgress->resize(pctProgress->width(), shpProgress->height());
    progressRunning_ = false;
    cmdCancelWork->hide();
    // Long work that goes on after its progress keeps the controls until it ends.
    if (busy()) return;
    pctAnimation->hide();
    EnableControls(true);
    if (closePending_) QTimer::singleShot(0, this, [this] { finishPendingClose(); });
    // The full bar shows the end of the progress, not the state of the window afterwards.
    QTimer::singleShot(0, this, [this] {
        if (!busy() && !progressRunning_) shpProgress->resize(0, shpProgress->height());
    });
}

void frmDatabaseExplorer::setStatusText(const std::string& text) {
    lblStatus->setText(QString::fromStdString(text));
    // During long work the window's own events paint it; else it is painted at once.
    if (busy())
        letEventsRun();
    else
        lblStatus->repaint();
}

void frmDatabaseExplorer::EnableControls(bool enable) {
    controlsEnabled_ = enable;
    stMain->setEnabled(enable);
    tbMain->setEnabled(enable);
    atRHContent->setTabEnabled(1, enable);
    atRHContent->setTabEnabled(2, enable);
}

frmDatabaseExplorer::LongWork::LongWork(frmDatabaseExplorer* w) : w_(w) {
    if (!w_ || w_->workDepth_++ > 0) return;
    w_->workResult_.clear();
    w_->EnableControls(false);
    w_->eventsAllowed_.emplace();
    ui::restartPendingEvents();  // the window shows the work at once
}

frmDatabaseExplorer::LongWork::~LongWork() {
    if (!w_ || --w_->workDepth_ > 0) return;
    w_->endWork(w_->workResult_);
}

void frmDatabaseExplorer::letEventsRun() const {
    if (busy()) ui::processPendingEvents();
}

void frmDatabaseExplorer::endWork(const std::string& status) {
    eventsAllowed_.reset();
    progressRunning_ = false;
    cmdCancelWork->hide();
    pctAnimation->hide();
    shpProgress->resize(0, shpProgress->height());
    lblStatus->setText(QString::fromStdString(status));
    EnableControls(true);
    StoreProjectIfChanged();  // what the work changed in the folders and connections
    if (closePending_) QTimer::singleShot(0, this, [this] { finishPendingClose(); });
}

void frmDatabaseExplorer::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && loaded_ && !unloaded_)
        ui::activateProgressTarget(this);
    QMainWindow::changeEvent(event);
}

// ---- project document --------------------------------------------------------------------

namespace {

// SIGTERM and SIGHUP only write their number into this pipe; the window reads it in its loop.
// The first one also sets an alarm: a program whose loop does not end in time (its thread held
// by a driver call) ends at the alarm with the same status.
int terminationPipe[2] = {-1, -1};
volatile sig_atomic_t terminationNumber = 0;
constexpr unsigned kTerminationGraceSeconds = 5;

void onTerminationSignal(int sig) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(sig);
    [[maybe_unused]] ssize_t n = ::write(terminationPipe[1], &number, 1);
    if (!terminationNumber) {
        terminationNumber = sig;
        ::alarm(kTerminationGraceSeconds);
    }
    errno = saved;
}

void onTerminationAlarm(int) { ::_exit(128 + terminationNumber); }

void setTerminationHandler(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGHUP}) ::sigaction(sig, &action, nullptr);
    action.sa_handler = handler == SIG_DFL ? SIG_DFL : onTerminationAlarm;
    ::sigaction(SIGALRM, &action, nullptr);
}

}  // namespace

void frmDatabaseExplorer::watchTerminationSignals() {
    if (signalNotifier_) return;
    if (terminationPipe[0] < 0 && ::pipe2(terminationPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    signalNotifier_ = new QSocketNotifier(terminationPipe[0], QSocketNotifier::Read, this);
    connect(signalNotifier_, &QSocketNotifier::activated, this, [this] { TerminationSignal(); });
    setTerminationHandler(onTerminationSignal);
}

void frmDatabaseExplorer::restoreTerminationSignals() {
    setTerminationHandler(SIG_DFL);
    delete signalNotifier_;
    signalNotifier_ = nullptr;
}

void frmDatabaseExplorer::TerminationSignal() {
    unsigned char number = 0;
    while (::read(terminationPipe[0], &number, 1) == 1) {
    }
    // Nothing waits for an answer from here on: prompts go to standard error, errors to the log.
    // A dialog of the ones replaced may be open below this call: they live on until the end.
    static std::unique_ptr<ui::Prompter> keptPrompter;
    static ErrorDialogHook keptHook;
    static bool quiet = false;
    if (!std::exchange(quiet, true)) {
        keptPrompter = ui::setPrompter(std::make_unique<ui::HeadlessPrompter>());
        keptHook = setErrorDialogHook(nullptr);
    }
    if (importRunning()) oReportEngine->CancelImport();
    // Only a project that was read (or begun) is stored; one still being opened has none yet.
    if (loaded_ && !unloaded_ && projectWritable_ && !oStructures.isEmpty()) StoreProject();
    // Every event loop ends, the dialogs' too; the program then ends as after its last window.
    QCoreApplication::exit(128 + number);
}


std::string frmDatabaseExplorer::HistoryPath() const {
    return files::joinPath(DataFolder, history::kHistoryFileName);
}

bool frmDatabaseExplorer::NewHistoryDocument() { return history::NewHistoryDocument(oHistory); }

void frmDatabaseExplorer::LoadHistoryXML() {
    try {
        std::string path = HistoryPath();
        std::string text, error;
        if (std::string notice = history::TakeNotice(path); !notice.empty())
            ui::MsgBox(notice, ui::MsgButtons::OK, ui::MsgIcon::Exclamation);
        switch (history::ReadHistoryFile(path, PassPhrase4, text, error)) {
        case history::ReadResult::Loaded:
            oHistory.loadXML(text);
            oStructures.loadXML(text);
            storedContent_ = projectContent();
            PopulateLHXML();
            return;
        case history::ReadResult::ReadFailed:
            projectWritable_ = false;
            HandleError(-1, error, "frmDatabaseExplorer.LoadHistoryXML");
            return;
        case history::ReadResult::Unusable: {
            std::string aside = history::MoveAside(path);
            if (aside.empty()) {
                // Never overwrite a file that could not be kept aside.
                projectWritable_ = false;
                HandleError(-1, "The project file " + path + " cannot be used (" + error +
                                    ") and cannot be moved aside.",
                            "frmDatabaseExplorer.LoadHistoryXML");
                return;
            }
            ui::MsgBox("Your project file could not be opened (" + error +
                           "). It has been kept as\n" + aside + "\nand a new project has been started.",
                       ui::MsgButtons::OK, ui::MsgIcon::Exclamation);
            break;
        }
        case history::ReadResult::Missing: break;
        }
        NewHistoryDocument();
        oStructures.loadXML(oHistory.xml());
        if (oReportEngine) {
            oReportEngine->CurrentDatabaseGroup(1);
            oReportEngine->CurrentDatabaseNumber(1);
        }
        PopulateLHXML();
        show();
        if (ConnectionWizard)
            ConnectionWizard(this, "NEW");
        else
            ui::MsgBox("The connection wizard is not available yet.", ui::MsgButtons::OK,
                       ui::MsgIcon::Information);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.LoadHistoryXML");
    }
}

history::UILayout frmDatabaseExplorer::CurrentLayout() const {
    history::UILayout l;
    for (const QString& id : tbMain->bandTools("ID_View"))
        if (!tbMain->optionGroup(id).isEmpty())
            l.menus.emplace_back(id.toStdString(), tbMain->isChecked(id));
    if (oReportEngine) {
        l.lastEngineId = oReportEngine->LastDBEngineId;
        l.lastEngineName = oReportEngine->LastDBEngineName;
    }
    Qt::WindowStates s = windowState();
    l.windowState = (s & Qt::WindowMinimized) ? 1 : (s & Qt::WindowMaximized) ? 2 : 0;
    double tpp = twipsPerPixel();
    l.width = width() * tpp;
    l.height = height() * tpp;
    l.top = pos().y() * tpp;
    l.left = pos().x() * tpp;
    l.rhTabsWidth = atRHContent->width() * tpp;
    l.detailsVisible = atRHContent->isTabVisible(0);
    l.htmlVisible = atRHContent->isTabVisible(1);
    l.xmlVisible = atRHContent->isTabVisible(2);
    int tree = (stMain->isVisible() && stMain->width() > 0) ? stMain->width() : treeWidthPx_;
    l.folderViewWidth = tree * tpp;
    return l;
}

bool frmDatabaseExplorer::GenerateHistory() {
    std::string error;
    if (!history::GenerateHistory(oStructures, oHistory, CurrentLayout(), error)) {
        HandleError(-1, error, "frmDatabaseExplorer.GenerateHistory");
        return false;
    }
    return true;
}

