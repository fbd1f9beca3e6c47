// The main window: folder tree and objects bar on the left, the Details / HTML preview /
// XML preview tabs on the right, menus and toolbars from one tool set, a status bar with key
// states and a progress display. It owns the project document's life: loaded at start,
// written encrypted to "history.dvh" when its folders or connections change, at exit and on
// SIGTERM or SIGHUP.
#pragma once

#include "explorer/ProjectDocument.h"
#include "platform/ui/BrowserPane.h"
#include "platform/ui/KeyState.h"
#include "platform/ui/ProgressTarget.h"
#include "platform/ui/ToolManager.h"

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QCloseEvent;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSocketNotifier;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QPrinter;
class QPrintPreviewDialog;
class QStandardItem;
class QStandardItemModel;
class QTreeView;
class QTimer;
class QToolBox;
class QTreeWidget;
class QTreeWidgetItem;

// The path of the tree node last clicked ("DATABASE" for the root, folders and connections);
// previews are rendered again from it after a settings change.
extern std::string SelectedNodeKey;

class frmDatabaseExplorer : public QMainWindow, public ui::ProgressTarget {
    Q_OBJECT
public:
    explicit frmDatabaseExplorer(QWidget* parent = nullptr);
    ~frmDatabaseExplorer() override;

    // The one main window of the process, or nullptr.
    static frmDatabaseExplorer* instance();
    // Creates the main window, runs its load and shows it (the splash hand-over).
    static frmDatabaseExplorer* ShowMainWindow();

    // Opens the connection wizard modally, owned by the main window, in the given mode.
    // Installed by the wizard; without it the user is told the wizard is not available.
    static std::function<void(QWidget* owner, const std::string& openMode)> ConnectionWizard;
    // Shows the properties of the current connection modally; installed with the wizard.
    static std::function<void(QWidget* owner)> ConnectionProperties;
    // Opens the migration wizard modally; installed by the wizard.
    static std::function<void(QWidget* owner)> MigrationWizard;

    // ---- controls ----------------------------------------------------------------------
    ui::ToolManager* tbMain = nullptr;
    QTreeWidget* stMain = nullptr;
    QToolBox* obDBObjects = nullptr;
    QSplitter* spSeperator = nullptr;
    QTabWidget* atRHContent = nullptr;
    QWidget* tpDetails = nullptr;
    QWidget* tpHTMLPreview = nullptr;
    QWidget* tpXMLPreview = nullptr;
    QTreeView* ugDetails = nullptr;  // the details grid; rows in ugDetailsModel
    QStandardItemModel* ugDetailsModel = nullptr;
    ui::BrowserPane* wbHTMLPreview = nullptr;
    ui::BrowserPane* wbXMLPreview = nullptr;
    QWidget* spWebLayout = nullptr;
    QWidget* tpWebLayout = nullptr;
    ui::BrowserPane* wbWebLayout = nullptr;
    QWidget* spPrintLayout = nullptr;
    QWidget* tpPrintLayout = nullptr;
    ui::BrowserPane* wbPrintLayout = nullptr;
    QStatusBar* spStatusBar = nullptr;
    QWidget* sspStatus = nullptr;
    ui::KeyStatePanel* sspCAPS = nullptr;
    ui::KeyStatePanel* sspNUM = nullptr;
    ui::KeyStatePanel* sspIns = nullptr;
    QLabel* sspDate = nullptr;
    QLabel* sspTime = nullptr;
    QLabel* pctAnimation = nullptr;
    QFrame* pctProgress = nullptr;
    QFrame* shpProgress = nullptr;
    QLabel* lblStatus = nullptr;
    QPushButton* cmdCancelWork = nullptr;  // shown while an import runs from this window
    QTimer* tmrStatus = nullptr;
    QPlainTextEdit* txtDefaultXML = nullptr;

    // The page the previews show when no structure is loaded.
    std::string DefaultPagePath;

    // ---- load and unload ---------------------------------------------------------------
    void Form_Load();
    void Form_QueryUnload(bool& cancel, int unloadMode);
    void Form_Unload(bool& cancel);
    void atRHContent_TabClick(int index);

    bool DisplayTreeview(bool show);
    bool EnableDiagramTool();

    // ---- relationship diagram ----------------------------------------------------------
    // Prepares the current connection's diagram, opens the diagram window when Generate is
    // (or becomes) true, then shows the picture in the previews.
    void ShowDiagram(bool& Generate);
    bool ExecuteDiagramApp(unsigned long long WindowHandle, const std::string& DiagramPath);
    bool ClearPreviews();
    bool GenerateDefaultPage();
    bool RestoreWindowLayout();

    // ---- status bar and progress -------------------------------------------------------
    bool Capslock() const;
    bool Numlock() const;
    bool ScrollLock() const;
    bool InsKey() const;
    void Form_KeyDown(int keyCode, int shift);
    void tmrStatus_Timer();
    void StartProgress(const std::string& message, int percent) override;
    void IncrementProgress(const std::string& message, int percent) override;
    void StopProgress(const std::string& message) override;
    void setStatusText(const std::string& text) override;
    void EnableControls(bool enable);
    // Long work started from the window. While it runs the controls are off, pending events
    // run at a bounded rate (the window repaints and takes a close, which cancels an import and
    // waits) and no command re-enters. On every way out the controls come back and the
    // progress display and the status text end with it: the bar empty, the status the work's
    // result (none unless one is given).
    class LongWork {
    public:
        explicit LongWork(frmDatabaseExplorer* w);
        ~LongWork();
        LongWork(const LongWork&) = delete;
        LongWork& operator=(const LongWork&) = delete;
        void setResult(const std::string& status) {
            if (w_) w_->workResult_ = status;
        }

    private:
        frmDatabaseExplorer* w_;
    };
    bool progressRunning() const { return progressRunning_; }
    bool busy() const { return workDepth_ > 0; }
    // During long work: lets pending events run (at the pump's rate); else nothing.
    void letEventsRun() const;

    // ---- menus -------------------------------------------------------------------------
    void EnableSaveMenus(bool enable);
    void tbMain_ToolClick(const QString& toolId);
    // Layout and colour menus, built from the per-user layout catalogue (dvreport.xml).
    void BuildStyleMenus();
    void HandleStyleSheetsMenu(const std::string& category, const QString& tool);
    void HandleColorsMenu(const std::string& category, const QString& tool);
    void tbMain_ToolDropDown(const QString& tool);
    xml::Document oLayoutCatalogue;

    // ---- project document --------------------------------------------------------------
    void LoadHistoryXML();
    // Writes the project document as at the end (after an error, keeping the last good file).
    void StoreProject();
    // Writes it at once when its folders and connections have changed since it was written.
    void StoreProjectIfChanged();
    // SIGTERM or SIGHUP: the project is stored and the program ends.
    void TerminationSignal();
    bool NewHistoryDocument();
    bool GenerateHistory();
    // The window's layout as DALVANEUI stores it.
    history::UILayout CurrentLayout() const;
    std::string HistoryPath() const;

    // ---- folder tree and objects bar ---------------------------------------------------
    void PopulateLHXML();
    bool SelectConnectedDB();
    QTreeWidgetItem* treeNode(const QString& key) const;
    // Makes the folder and connection named in a node key current; true when it has to load.
    bool ParseNodeKey(const std::string& key);
    void DisplayContextMenu(QTreeWidgetItem* node, const std::string& source);
    void trvMain_NodeClick(QTreeWidgetItem* node);
    void stMain_MouseDown(int button, int shift, int x, int y);
    // Objects bar: group and item by position.
    void obDBObjects_GroupButtonClick(int group);
    void obDBObjects_ItemClick(int group, int item);
    void obDBObjects_ItemRightClick(int group, int item);
    // The popup band last shown by DisplayContextMenu ("" before the first).
    QString lastPopupBand() const { return lastPopupBand_; }

    // ---- loading a connection and the previews -----------------------------------------
    bool LoadCurrentDB();
    bool RefreshDatabaseConnection();
    // Shows what node (the selected one) holds: its part of the structure in the grid and the
    // previews when its connection's structure is the one loaded, else nothing and the reason.
    void ShowNodeContent(QTreeWidgetItem* node);
    bool PreviewHTML(const std::string& key, const std::string& page = "");
    bool wbHTMLPreview_BeforeNavigate2(const QString& url);
    bool wbWebLayout_BeforeNavigate2(const QString& url);
    bool wbPrintLayout_BeforeNavigate2(const QString& url);
    bool NavigateFromPreviewLink(const QString& url);
    static std::string BuildCaseInsensitivePredicate(const std::string& attribute, const std::string& value);
    static std::string StripDigits(const std::string& text);
    // Tabs are numbered from 1 (Details, HTML preview, XML preview).
    bool EnableTabs(int tabIndex, bool show);
    void DisableNormalLayoutMenu(bool enabled);

    // ---- commands ----------------------------------------------------------------------
    static std::string GetToolCategory(const std::string& toolId);
    void HandleFileMenu(const std::string& category, const QString& tool);
    void HandleEditMenu(const std::string& category, const QString& tool);
    void HandleViewMenu(const std::string& category, const QString& tool);
    void HandleInsertMenu(const std::string& category, const QString& tool);
    void HandleFormatMenu(const std::string& category, const QString& tool);
    void HandleToolsMenu(const std::string& category, const QString& tool);
    void HandleHelpMenu(const std::string& category, const QString& tool);
    void HandleRootNodeMenu(const std::string& category, const QString& tool);
    void HandleDBGroupNodeMenu(const std::string& category, const QString& tool);
    void HandleDatabaseNodeMenu(const std::string& category, const QString& tool);
    void HandleOtherNodeMenu(const std::string& category, const QString& tool);
    void CollapseAll(QTreeWidgetItem* node, bool collapse);
    // The query text "Open All Rows" builds for a table or view of the current engine.
    static std::string OpenAllRowsQuery(const std::string& name, int engineId);

    // ---- folders and connections -------------------------------------------------------
    xml::Node AddNewGroupName(const std::string& name);
    void RenameCurrentGroup(const std::string& newName);
    void DeleteDBConnection(int number);
    bool DeleteConnectionTempFiles(int group, int number);
    void DeleteDBGroup();
    void DeleteAllDBGroups();
    void DeleteAllDBConnections();
    void ResetAllKeys(xml::Node node, int group, int number, std::string& path);
    void CopyChildNamesToClipboard();
    void RemoveConnChildren(const std::string& xpath);
    // After a removal: the current folder and connection numbers name ones that exist, and a
    // structure whose connection is gone is dropped.
    void resetCurrentNumbers();

    // ---- details grid ------------------------------------------------------------------
    // Fills the grid with the part of the structure that key (an XPath) names; false when
    // nothing was shown.
    bool FillDetailsGrid(std::string& key);
    void ugDetails_CellChange(QStandardItem* cell);
    void SetReportValue(QStandardItem* cell, const std::string& value);
    void ChangeChildRow(QStandardItem* row, const std::string& value);
    void ugDetails_InitializeRow(QStandardItem* row);
    void SetGridForPreview(bool afterPreview);
    void ugDetails_InitializePrintPreview(QPrintPreviewDialog& preview);
    // Prints the grid's rows (all bands expanded, without the Report column).
    void PrintDetails(QPrinter& printer);
    // Opens the print preview; it is shown modally and the grid is restored afterwards.
    void PrintPreviewDetails();

    // ---- saving ------------------------------------------------------------------------
    // Screenshot files (.dvs): the whole structure enciphered.
    void SaveStructure(bool saveAs);
    void OpenStructure(std::string& path);
    std::string SaveXML(bool save);
    std::string SaveHTML(bool save);
    std::string SaveInWord(std::string& path, bool generate);
    // The current structure through the engine's script sheet into a chosen ".sql" file,
    // handed to the query tool; false when no script was written and handed on.
    bool GenerateSQLScript();
    void oDalvWordReport_WhileGenerating(int action, const std::string& message);

    // Screen pixels to twips and back (horizontal).
    double twipsPerPixel() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildTools();
    void wireTreeAndPreviews();
    void addTool(const QString& id, const QString& caption, const QString& icon = {},
                 const QString& description = {}, bool checkable = false);
    void fill(const QString& band, const QStringList& tools);
    void DisplayNodes(const xml::Node& element, int level);
    void Add2OutlookBar();
    void OpenAllRows();
    void showConnectionWizard();
    void showFolderDialog(const std::string& mode, const std::string& groupName);
    void commandNotAvailable(const QString& toolId);
    bool ensureStructureLoaded();
    // Commands that read only the options: those of the current connection, never of another
    // connection loaded before (whose structure then goes too).
    void useCurrentConnectionOptions();
    void dropLoadedStructure();
    void forgetLoadedStructure();  // the same, leaving the previews to the caller
    // The node selected in the tree is a connection or a part of one, and its structure is loaded.
    bool selectionHasStructure() const;
    // Why the selected node shows no structure.
    std::string noStructureReason() const;
    // The previews on the project's start page and the grid holding only the reason.
    void ShowNoStructure(const std::string& reason);
    void ShowGridReason(const std::string& reason);
    // The structure loaded is the current connection's.
    bool currentConnectionLoaded() const;
    QTreeWidgetItem* objectsBarNode(int group, int item) const;
    // Opens the objects-bar group of the current connection.
    void showCurrentConnectionInBar();
    void UnloadOtherForms();
    bool WriteHistoryFile();
    std::string projectContent() const;
    void watchTerminationSignals();
    void restoreTerminationSignals();
    void setTreePaneWidth(int px);
    int tabIndexOfKey(const QString& key) const;
    bool showTab(int index, bool show);
    void finishPendingClose();
    bool importRunning() const;
    // Progress that an import started and that the import left without a stop.
    void recoverAbandonedProgress();
    // The end of long work: controls on, the bar empty, the status the work's result.
    void endWork(const std::string& status);
    std::string workResult_;  // the status text the running long work ends with
    std::optional<ui::AllowPendingEvents> eventsAllowed_;  // while long work runs

    QString lastPopupBand_;
    QHash<QString, QTreeWidgetItem*> nodesByKey_;  // the tree's items by key
    QList<QTreeWidgetItem*> newTopLevel_;          // made by DisplayNodes, not in the tree yet
    std::vector<QTreeWidgetItem*> toExpand_;
    bool gridUpdating_ = false;  // rows being filled or a Report state passed down
    std::string loadedFrom_;  // temporary structure file of the structure loaded last
    std::string refreshFailedKey_;  // key of the connection whose last refresh failed
    bool wizardVisible_ = false;
    bool connectionChosen_ = false;  // a connection's node was clicked or popped up
    bool projectWritable_ = true;    // false when the project file could not be read or kept
    std::string storedContent_;      // folders and connections as last written
    QSocketNotifier* signalNotifier_ = nullptr;
    std::vector<QString> tabTags_ = {QString(), QString(), QString()};
    bool loaded_ = false;
    bool unloaded_ = false;
    bool closePending_ = false;
    bool progressRunning_ = false;
    bool progressOfImport_ = false;
    int workDepth_ = 0;  // LongWork objects alive
    bool controlsEnabled_ = true;
    int treeWidthPx_ = 196;
    QTimer* closeRetry_ = nullptr;
    const QEvent* lastKeyEvent_ = nullptr;
};
