// The query tool's one window: reads the hand-off document, opens its connection, runs the
// editor's statements one after another, each executed and its rows fetched in steps of 1,000
// on a thread of its own while the window answers, and shows rows, messages and totals. A new
// run, and closing, cancel the statement in the driver.
#pragma once

#include "platform/db/Connection.h"
#include "platform/db/Recordset.h"

#include <QElapsedTimer>
#include <QMainWindow>

#include <deque>
#include <functional>
#include <future>
#include <string>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QTableView;
class QTimer;
class RecordsetModel;
namespace ui {
class KeyStatePanel;
class ToolManager;
}  // namespace ui

class frmBrenik : public QMainWindow {
    Q_OBJECT
public:
    // handOffPath: the program's command-line text (trimmed here); programFolder: where the
    // program's images are.
    frmBrenik(const std::string& handOffPath, const std::string& programFolder, QWidget* parent = nullptr);
    ~frmBrenik() override;

    // Controls (names as the clipboard commands compare them).
    QPlainTextEdit* txtQuery = nullptr;
    QTabWidget* atOutput = nullptr;
    QWidget* tpTabOutput = nullptr;
    QTableView* dgResult = nullptr;
    QWidget* tpTabMessages = nullptr;
    QPlainTextEdit* txtMessages = nullptr;
    QSplitter* spSeperator = nullptr;
    ui::ToolManager* tbMain = nullptr;
    QStatusBar* spStatusBar = nullptr;
    QLabel* sspStatus = nullptr;
    QLabel* sspDate = nullptr;
    QLabel* sspTime = nullptr;
    ui::KeyStatePanel* sspNUM = nullptr;
    ui::KeyStatePanel* sspCAPS = nullptr;
    ui::KeyStatePanel* sspIns = nullptr;
    QTimer* tmrStatus = nullptr;

    // Values read from the hand-off document.
    const std::string& handOffPath() const { return sHandOffPath; }
    const std::string& connectionString() const { return sConnectionString; }
    const std::string& databaseName() const { return sDatabaseName; }
    const std::string& handedQuery() const { return sQuery; }
    bool executeNow() const { return bExecuteNow; }
    const std::string& queryFile() const { return sQueryFile; }

    bool Connect2DB();
    bool isConnected() const { return oConnection.isOpen(); }
    void HandleError(long lErrorNumber, const std::string& sErrorDescription, const std::string& sErrorSource);

    // Runs the editor's statements: the lines of the selection, or from the caret's line on, one
    // statement a line but where a name, literal or parentheses go on over the line's end.
    void Brenik();
    // True while statements of the last run are still running or fetching.
    bool isRunning() const;
    // The statements a run of the current selection would execute (text::statementLines).
    std::vector<std::string> statementsToRun() const;
    // The recordset shown in the grid (closed when no statement returned rows).
    const db::Recordset& result() const { return rQuery; }

    // Commands.
    void tbMain_ToolClick(const QString& tool);
    void NewQueryFile();
    void OpenQueryFile();
    void SaveQueryFile(bool saveAs);
    void SaveQueryOutputAsHTML();
    void CutCopyText(bool cut);
    void PasteText();
    // The HTML table of the shown rows (the text SaveQueryOutputAsHTML writes).
    std::string resultHtml();

    void Form_KeyDown(int keyCode, Qt::KeyboardModifiers shift);
    void tmrStatus_Timer();

signals:
    // A run has no statement left to start or fetch.
    void runFinished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildCommands();
    void HandleCMD();
    void OpenAllRows();
    bool ProcessQuery(const std::string& sql);
    // Work done off the window's thread: a statement executed (its recordset, with the first
    // rows) or the next rows of rQuery read; or the error it raised.
    struct Job {
        bool fetch = false;
        std::string sql;
        db::Recordset rs;
        db::Rows rows;
        bool failed = false;
        long number = 0;
        std::string description;
    };
    void startJob(std::function<void(Job&)> work);
    // Waits for the job in hand, cancelling it in the driver until it ends, and drops its result.
    void cancelJob();
    void opened(Job o);
    void fetched(Job j);
    void AppendMessage(const std::string& text);
    void startNext();
    void startFetch();
    void rQuery_FetchProgress();
    void rQuery_FetchComplete(long long count);
    void statementDone(const std::string& sql, long long affected);
    void stopRun();
    QWidget* activeControl() const;
    // The title with the query file's name; the folder a file dialog opens in.
    void showTitle();
    std::string dialogFolder() const;
    void keepFolder(const std::string& path);

    std::string programFolder_;
    db::Connection oConnection;
    db::Recordset rQuery;
    RecordsetModel* model_ = nullptr;
    QTimer* fetchTimer_ = nullptr;
    std::deque<std::string> pending_;
    std::future<Job> job_;      // valid while a statement executes or rows are read
    bool discardJob_ = false;   // the job in hand belongs to a run that was stopped
    QElapsedTimer cancelled_;   // since its last cancel
    QElapsedTimer shown_;       // since the grid last showed the rows of the running fetch
    std::string lastFolder_;    // of the last file dialog answered

    std::string sHandOffPath;
    std::string sConnectionString;
    std::string sDatabaseName;
    std::string sQuery;
    bool bExecuteNow = false;
    std::string sQueryFile;
    long long lRowCount = 0;
};
