// The main window: folder tree and objects bar on the left, the Details / HTML preview /
// XML preview tabs on the right, menus and toolbars from one tool set, a status bar with key
// states and a progress display. It owns the project document's life: loaded at start,
// written encrypted to "history.dvh" at exit.
#pragma once

#include "explorer/ProjectDocument.h"
#include "platform/ui/BrowserPane.h"
#include "platform/ui/KeyState.h"
#include "platform/ui/ProgressTarget.h"
#include "platform/ui/ToolManager.h"

#include <QMainWindow>

#include <functional>
#include <string>

class QCloseEvent;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QTableWidget;
class QTimer;
class QToolBox;
class QTreeWidget;
class QTreeWidgetItem;

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

    // ---- controls ----------------------------------------------------------------------
    ui::ToolManager* tbMain = nullptr;
    QTreeWidget* stMain = nullptr;
    QToolBox* obDBObjects = nullptr;
    QSplitter* spSeperator = nullptr;
    QTabWidget* atRHContent = nullptr;
    QWidget* tpDetails = nullptr;
    QWidget* tpHTMLPreview = nullptr;
    QWidget* tpXMLPreview = nullptr;
    QTableWidget* ugDetails = nullptr;
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
    // Long work started from the window: controls come back on every way out.
    class LongWork {
    public:
        explicit LongWork(frmDatabaseExplorer* w) : w_(w) {}
        ~LongWork();
        LongWork(const LongWork&) = delete;
        LongWork& operator=(const LongWork&) = delete;

    private:
        frmDatabaseExplorer* w_;
    };
    bool progressRunning() const { return progressRunning_; }

    // ---- menus -------------------------------------------------------------------------
    void EnableSaveMenus(bool enable);
    void tbMain_ToolClick(const QString& toolId);

    // ---- project document --------------------------------------------------------------
    void LoadHistoryXML();
    bool NewHistoryDocument();
    bool GenerateHistory();
    // The window's layout as DALVANEUI stores it.
    history::UILayout CurrentLayout() const;
    std::string HistoryPath() const;

    // ---- folder tree and objects bar ---------------------------------------------------
    void PopulateLHXML();
    QTreeWidgetItem* treeNode(const QString& key) const;

    // Screen pixels to twips and back (horizontal).
    double twipsPerPixel() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildTools();
    void addTool(const QString& id, const QString& caption, const QString& icon = {},
                 const QString& description = {}, bool checkable = false);
    void fill(const QString& band, const QStringList& tools);
    void DisplayNodes(const xml::Node& element, int level);
    void Add2OutlookBar();
    void UnloadOtherForms();
    bool WriteHistoryFile();
    void setTreePaneWidth(int px);
    int tabIndexOfKey(const QString& key) const;
    bool showTab(int index, bool show);
    void finishPendingClose();
    bool importRunning() const;
    // Progress that an import started and that the import left without a stop.
    void recoverAbandonedProgress();

    bool loaded_ = false;
    bool unloaded_ = false;
    bool closePending_ = false;
    bool progressRunning_ = false;
    bool progressOfImport_ = false;
    bool controlsEnabled_ = true;
    int treeWidthPx_ = 196;
    QTimer* closeRetry_ = nullptr;
    const QEvent* lastKeyEvent_ = nullptr;
};
