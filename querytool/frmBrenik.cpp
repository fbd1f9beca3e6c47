#include "querytool/frmBrenik.h"

#include "platform/fs/Paths.h"
#include "platform/text/Text.h"
#include "platform/ui/KeyState.h"
#include "platform/ui/Prompter.h"
#include "platform/ui/ToolManager.h"
#include "platform/xml/Xml.h"
#include "querytool/RecordsetModel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTextBlock>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

#include <cctype>
#include <chrono>

namespace {

constexpr long kFetchSize = 1000;
// How often a statement still executing is looked in on.
constexpr int kOpenPollMs = 5;
// How long a cancelled statement is given before it is cancelled again (a cancel may itself
// take a connection to the server).
constexpr int kCancelRetryMs = 100;
// How often the grid and the status show the rows of a fetch still going, and how long one
// step off the window's thread reads rows.
constexpr int kProgressMs = 200, kStepMs = 100;

QString qs(const std::string& s) { return QString::fromStdString(s); }

bool isDefinition(const std::string& sql) {
    const std::string w = db::firstKeyword(sql);
    return w == "create" || w == "alter" || w == "drop";
}

// Standard Boolean conversion: True/False in any case, or a number (non-zero is True).
bool toBoolean(const std::string& text, bool& ok) {
    ok = true;
    const std::string t = text::lower(text::trim(text));
    if (t == "true") return true;
    if (t == "false") return false;
    try {
        size_t used = 0;
        const double d = std::stod(t, &used);
        if (used == t.size()) return d != 0;
    } catch (const std::exception&) {
    }
    ok = false;
    return false;
}

std::string countMessage(long long n) {
    return n == 0 ? "No rows affected by the query." : std::to_string(n) + " record(s) affected by the query";
}

}  // namespace

frmBrenik::frmBrenik(const std::string& handOffPath, const std::string& programFolder, QWidget* parent)
    : QMainWindow(parent), programFolder_(programFolder), sHandOffPath(text::trim(handOffPath)) {
    setObjectName("frmBrenik");
    showTitle();
    buildControls();
    buildCommands();
    resize(900, 640);

    sspCAPS->setOn(ui::lockKeyOn(ui::LockKey::CapsLock));
    sspNUM->setOn(ui::lockKeyOn(ui::LockKey::NumLock));
    sspIns->setOn(ui::insertOn());
    sspDate->setText(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
    sspTime->setText(QTime::currentTime().toString("hh:mm"));
    atOutput->setCurrentIndex(0);
    tmrStatus->start();

    HandleCMD();
    Connect2DB();

    const std::string icon = files::joinPath(programFolder_, "images", "tb_query.svg");
    if (files::fileExists(icon))
        setWindowIcon(QIcon(qs(icon)));
    else
        HandleError(53, "File not found: " + icon, "frmBrenik.Form_Load");
}

frmBrenik::~frmBrenik() {
    fetchTimer_->stop();
    cancelJob();
    model_->bind(nullptr);
    rQuery.close();
}

void frmBrenik::buildControls() {
    txtQuery = new QPlainTextEdit;
    txtQuery->setObjectName("txtQuery");
    txtQuery->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    txtQuery->setFont(mono);

    atOutput = new QTabWidget;
    atOutput->setObjectName("atOutput");
    tpTabOutput = new QWidget;
    tpTabOutput->setObjectName("tpTabOutput");
    dgResult = new QTableView(tpTabOutput);
    dgResult->setObjectName("dgResult");
    model_ = new RecordsetModel(this);
    dgResult->setModel(model_);
    dgResult->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dgResult->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    dgResult->verticalHeader()->setDefaultSectionSize(dgResult->fontMetrics().height() + 6);
    auto* lo = new QVBoxLayout(tpTabOutput);
    lo->setContentsMargins(0, 0, 0, 0);
    lo->addWidget(dgResult);
    tpTabMessages = new QWidget;
    tpTabMessages->setObjectName("tpTabMessages");
    txtMessages = new QPlainTextEdit(tpTabMessages);
    txtMessages->setObjectName("txtMessages");
    txtMessages->setReadOnly(true);
    auto* lm = new QVBoxLayout(tpTabMessages);
    lm->setContentsMargins(0, 0, 0, 0);
    lm->addWidget(txtMessages);
    atOutput->addTab(tpTabOutput, "Output");
    atOutput->addTab(tpTabMessages, "Messages");

    spSeperator = new QSplitter(Qt::Vertical, this);
    spSeperator->setObjectName("spSeperator");
    spSeperator->addWidget(txtQuery);
    spSeperator->addWidget(atOutput);
    spSeperator->setStretchFactor(0, 2);
    spSeperator->setStretchFactor(1, 3);
    setCentralWidget(spSeperator);

    spStatusBar = new QStatusBar(this);
    spStatusBar->setObjectName("spStatusBar");
    sspStatus = new QLabel("Dalvane 4.5 Enterprise", spStatusBar);
    sspStatus->setObjectName("sspStatus");
    spStatusBar->addWidget(sspStatus, 1);
    sspDate = new QLabel("Date", spStatusBar);
    sspDate->setObjectName("sspDate");
    sspTime = new QLabel("Time", spStatusBar);
    sspTime->setObjectName("sspTime");
    sspNUM = new ui::KeyStatePanel("NUM", spStatusBar);
    sspNUM->setObjectName("sspNUM");
    sspCAPS = new ui::KeyStatePanel("CAPS", spStatusBar);
    sspCAPS->setObjectName("sspCAPS");
    sspIns = new ui::KeyStatePanel("Ins", spStatusBar);
    sspIns->setObjectName("sspIns");
    ui::addStatusPanels(spStatusBar, {sspDate, sspTime, sspNUM, sspCAPS, sspIns});
    setStatusBar(spStatusBar);

    tmrStatus = new QTimer(this);
    tmrStatus->setObjectName("tmrStatus");
    tmrStatus->setInterval(1000);
    connect(tmrStatus, &QTimer::timeout, this, [this] { tmrStatus_Timer(); });

    // One turn of the event loop per step: fetch a slice of rows, or start the next statement.
    fetchTimer_ = new QTimer(this);
    fetchTimer_->setInterval(0);
    connect(fetchTimer_, &QTimer::timeout, this, [this] { startNext(); });

    // The window sees every key before its controls.
    qApp->installEventFilter(this);
}

// ---- hand-off and connection ---------------------------------------------------------------

void frmBrenik::HandleCMD() {
    try {
        if (sHandOffPath.empty() || !files::fileExists(sHandOffPath)) return;
        xml::Document doc;
        if (!doc.load(sHandOffPath)) {
            ui::MsgBox("The query could not be read from " + sHandOffPath + ".\n\n" + doc.parseError(),
                       ui::MsgButtons::OK, ui::MsgIcon::Critical);
            return;
        }
        xml::Node n = doc.selectSingleNode("BRENIK/CONNECTIONSTRING");
        if (!n) return;
        sConnectionString = text::trim(n.text());
        if (sConnectionString.empty()) return;
        if (!(n = doc.selectSingleNode("BRENIK/DATABASENAME"))) return;
        sDatabaseName = text::trim(n.text());
        if (!(n = doc.selectSingleNode("BRENIK/QUERY"))) return;
        sQuery = text::trim(n.text());
        if (!(n = doc.selectSingleNode("BRENIK/@ExecuteNow"))) return;
        bool ok = false;
        bExecuteNow = toBoolean(n.text(), ok);
        if (!ok) HandleError(13, "Type mismatch", "frmBrenik.HandleCMD");
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmBrenik.HandleCMD");
    }
}

bool frmBrenik::Connect2DB() {
    QCoreApplication::processEvents();
    if (oConnection.isOpen()) oConnection.close();
    if (sConnectionString.empty()) return false;
    try {
        // The first rows of a large result show while the rest is still being read.
        oConnection.setStreamResults(true);
        oConnection.open(sConnectionString, "", "", -1);
    } catch (const db::Error& e) {
        std::string text = "The connection could not be opened.";
        const auto& errors = oConnection.errors();
        if (errors.empty()) text += "\n" + e.description();
        for (const db::ProviderError& pe : errors) text += "\n" + pe.description;
        AppendMessage(text);
        atOutput->setCurrentIndex(1);
        return false;
    }
    if (!oConnection.isOpen()) return false;
    if (!sQuery.empty()) {
        if (bExecuteNow) {
            OpenAllRows();
        } else if (text::trim(txtQuery->toPlainText().toStdString()).empty()) {
            txtQuery->setPlainText(qs(sQuery));
        } else {
            txtQuery->setPlainText(qs(text::trim(txtQuery->toPlainText().toStdString()) + "\n" + sQuery));
        }
    }
    return true;
}

void frmBrenik::HandleError(long lErrorNumber, const std::string& sErrorDescription, const std::string& sErrorSource) {
    ui::MsgBox("Error Number: " + std::to_string(lErrorNumber) + "\nError Description: " + sErrorDescription +
               "\nError Source: " + sErrorSource);
}

// ---- running statements ----------------------------------------------------------------------

std::vector<std::string> frmBrenik::statementsToRun() const {
    const QTextCursor c = txtQuery->textCursor();
    const QTextDocument* doc = txtQuery->document();
    const QTextBlock first = doc->findBlock(c.selectionStart());
    // Without a selection the run goes from the caret's line to the end.
    const QTextBlock last = c.hasSelection() ? doc->findBlock(c.selectionEnd()) : doc->lastBlock();
    std::string lines;
    for (QTextBlock b = first; b.isValid(); b = b.next()) {
        lines += b.text().toStdString() + '\n';
        if (b == last) break;
    }
    return text::statementLines(lines);
}

bool frmBrenik::isRunning() const { return fetchTimer_->isActive(); }

void frmBrenik::Brenik() {
    try {
        const QTextCursor keep = txtQuery->textCursor();
        QCoreApplication::processEvents();
        stopRun();
        const std::vector<std::string> statements = statementsToRun();
        AppendMessage("");
        pending_.assign(statements.begin(), statements.end());
        if (!pending_.empty()) sspStatus->setText("Executing query...");
        txtQuery->setTextCursor(keep);
        fetchTimer_->start();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmBrenik.Brenik");
    }
}

void frmBrenik::OpenAllRows() {
    try {
        const std::string current = text::trim(txtQuery->toPlainText().toStdString());
        txtQuery->setPlainText(qs(current.empty() ? sQuery : current + "\n" + sQuery));
        QTextCursor c = txtQuery->textCursor();
        const int from = current.empty() ? 0 : static_cast<int>(qs(current).size()) + 1;
        c.setPosition(from);
        c.setPosition(from + static_cast<int>(qs(sQuery).size()), QTextCursor::KeepAnchor);
        txtQuery->setTextCursor(c);
        AppendMessage("");
        stopRun();
        // The handed-over query is one statement, line breaks included.
        pending_.assign(1, sQuery);
        sspStatus->setText("Executing query...");
        fetchTimer_->start();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmBrenik.OpenAllRows");
    }
}

void frmBrenik::stopRun() {
    pending_.clear();
    // No row of an earlier statement is shown as part of the next run's result.
    model_->bind(nullptr);
    if (job_.valid()) {
        // Its result is dropped when it ends; the rows fetched so far go with it.
        discardJob_ = true;
        oConnection.cancel();
        cancelled_.start();
        return;
    }
    if (rQuery.isOpen() && !rQuery.fetchComplete()) {
        // Ends the running fetch; the rows fetched so far go with it.
        rQuery.close();
    }
}

void frmBrenik::startJob(std::function<void(Job&)> work) {
    job_ = std::async(std::launch::async, [this, work = std::move(work)] {
        Job j;
        try {
            work(j);
        } catch (const db::Error& e) {
            j.failed = true;
            j.number = e.number();
            j.description = e.description();
        } catch (const std::exception& e) {
            j.failed = true;
            j.number = -1;
            j.description = e.what();
        }
        // The window takes the result on its next turn (a window being destroyed waits for
        // this job first, and drops the call with its other events).
        QMetaObject::invokeMethod(
            this, [this] { if (fetchTimer_->isActive()) startNext(); }, Qt::QueuedConnection);
        return j;
    });
    // Looked in on now and then as well, leaving the processor to the driver.
    fetchTimer_->setInterval(kOpenPollMs);
}

void frmBrenik::cancelJob() {
    if (!job_.valid()) return;
    // A cancel that reaches the driver between two of its calls does nothing: repeated.
    while (job_.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
        oConnection.cancel();
        job_.wait_for(std::chrono::milliseconds(kCancelRetryMs));
    }
    Job discarded = job_.get();
    discarded.rs.close();
    if (discarded.fetch) {
        model_->bind(nullptr);
        rQuery.close();
    }
    discardJob_ = false;
    fetchTimer_->setInterval(0);
}

void frmBrenik::startNext() {
    if (job_.valid()) {
        if (job_.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
            if (discardJob_ && cancelled_.elapsed() >= kCancelRetryMs) {
                oConnection.cancel();
                cancelled_.start();
            }
            return;
        }
        if (discardJob_) {
            cancelJob();
            return;
        }
        fetchTimer_->setInterval(0);
        Job j = job_.get();
        if (j.fetch)
            fetched(std::move(j));
        else
            opened(std::move(j));
        // The next rows are read while the window shows these.
        if (!job_.valid() && fetchTimer_->isActive() && rQuery.isOpen() && !rQuery.fetchComplete()) startFetch();
        return;
    }
    if (rQuery.isOpen() && !rQuery.fetchComplete()) {
        startFetch();
        return;
    }
    if (pending_.empty()) {
        fetchTimer_->stop();
        emit runFinished();
        return;
    }
    const std::string sql = pending_.front();
    pending_.pop_front();
    ProcessQuery(sql);
}

void frmBrenik::startFetch() {
    // The next rows are read off the window's thread; only the driver's cursor is used there,
    // so the grid goes on showing the rows fetched so far.
    startJob([this](Job& j) {
        j.fetch = true;
        // Steps of 1,000 rows for up to a tenth of a second: handing each step over alone
        // would cost more in waking the window than reading it does.
        QElapsedTimer t;
        t.start();
        while (rQuery.readRows(kFetchSize, j.rows) == kFetchSize && t.elapsed() < kStepMs) {}
    });
}

bool frmBrenik::ProcessQuery(const std::string& sql) {
    // The rows and totals of the statement before are gone while this one runs.
    model_->bind(nullptr);
    rQuery.close();
    sspStatus->setText("Executing query...");
    // The driver executes the statement and reads the first rows on a thread of its own, so
    // that the window keeps answering; the connection is not used elsewhere meanwhile.
    startJob([this, sql](Job& o) {
        o.sql = sql;
        o.rs.setInitialFetchSize(kFetchSize);
        o.rs.setBackgroundFetchSize(kFetchSize);
        o.rs.open(sql, oConnection, db::adOpenKeyset, db::adLockOptimistic, db::adAsyncFetch);
    });
    return true;
}

void frmBrenik::opened(Job o) {
    try {
        if (o.failed) {
            const auto& errors = oConnection.errors();
            if (errors.empty()) {
                // Nothing reached the database (no connection): the rest of the run would fail alike.
                pending_.clear();
                HandleError(o.number, o.description, "frmBrenik.ProcessQuery");
            } else {
                std::string text;
                for (const db::ProviderError& pe : errors) text += (text.empty() ? "" : "\n") + pe.description;
                AppendMessage(text);
                atOutput->setCurrentIndex(1);
            }
            sspStatus->setText("The query failed.");
            return;
        }
        if (!o.rs.isOpen()) {
            statementDone(o.sql, o.rs.recordsAffected());
            return;
        }
        model_->bind(nullptr);
        rQuery = std::move(o.rs);
        model_->bind(&rQuery, db::realFormOf(oConnection.dbmsName()));
        atOutput->setCurrentIndex(0);
        shown_.invalidate();
        if (rQuery.fetchComplete())
            rQuery_FetchComplete(rQuery.recordCount());
        else
            rQuery_FetchProgress();
    } catch (const std::exception& e) {
        pending_.clear();
        HandleError(-1, e.what(), "frmBrenik.ProcessQuery");
    }
}

void frmBrenik::fetched(Job j) {
    rQuery.addRows(std::move(j.rows));
    if (j.failed) {
        // The rows read so far stay in the grid; the driver's messages tell what went wrong.
        std::string text;
        for (const db::ProviderError& pe : oConnection.errors()) text += (text.empty() ? "" : "\n") + pe.description;
        AppendMessage(text.empty() ? j.description : text);
        model_->rowsFetched();
        sspStatus->setText("Fetching the rows failed after " + QString::number(rQuery.recordCount()) + " rows.");
        atOutput->setCurrentIndex(1);
        return;
    }
    if (rQuery.fetchComplete())
        rQuery_FetchComplete(rQuery.recordCount());
    else
        rQuery_FetchProgress();
}

void frmBrenik::rQuery_FetchProgress() {
    // The grid and the count follow the rows a few times a second, not at every step: laying
    // out and painting them would otherwise cost more than fetching.
    if (shown_.isValid() && shown_.elapsed() < kProgressMs) return;
    shown_.start();
    model_->rowsFetched();
    sspStatus->setText("Number of rows fetched: " + QString::number(rQuery.recordCount()));
}

void frmBrenik::rQuery_FetchComplete(long long count) {
    model_->rowsFetched();
    lRowCount = count;
    sspStatus->setText("Total rows fetched: " + QString::number(count));
    AppendMessage(countMessage(count));
    atOutput->setCurrentIndex(count == 0 ? 1 : 0);
}

void frmBrenik::statementDone(const std::string& sql, long long affected) {
    // The count is the driver's for this statement; a definition, or a statement whose count
    // the driver does not tell, just succeeded.
    const std::string text = isDefinition(sql) || affected < 0 ? "Query executed successfully." : countMessage(affected);
    lRowCount = isDefinition(sql) || affected < 0 ? -100 : affected;
    AppendMessage(text);
    sspStatus->setText(qs(text));
    atOutput->setCurrentIndex(1);
}

void frmBrenik::AppendMessage(const std::string& text) {
    if (text.empty())
        txtMessages->clear();
    else
        txtMessages->appendPlainText(qs(text));
}

// ---- keys, status panels and closing ---------------------------------------------------------

bool frmBrenik::eventFilter(QObject* watched, QEvent* event) {
    // A key not taken by a control travels on to its parents: act on it once, where it arrives.
    QWidget* first = QApplication::focusWidget() ? QApplication::focusWidget() : this;
    if (event->type() == QEvent::KeyPress && watched == first && first->window() == this) {
        auto* ke = static_cast<QKeyEvent*>(event);
        int code = 0;
        switch (ke->key()) {
        case Qt::Key_F5: code = 116; break;
        case Qt::Key_E: code = 69; break;
        case Qt::Key_CapsLock: code = 20; break;
        case Qt::Key_NumLock: code = 144; break;
        case Qt::Key_Insert: code = 45; break;
        default: break;
        }
        if (code == 116 || (code == 69 && ke->modifiers() == Qt::ControlModifier)) {
            Form_KeyDown(code, ke->modifiers());
            return true;
        }
        if (code) Form_KeyDown(code, ke->modifiers());
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmBrenik::Form_KeyDown(int keyCode, Qt::KeyboardModifiers shift) {
    if (keyCode == 116 || (keyCode == 69 && shift == Qt::ControlModifier)) {
        Brenik();
        return;
    }
    switch (keyCode) {
    case 20: sspCAPS->setOn(ui::lockKeyOn(ui::LockKey::CapsLock)); break;
    case 144: sspNUM->setOn(ui::lockKeyOn(ui::LockKey::NumLock)); break;
    case 45:
        ui::toggleInsert();
        sspIns->setOn(ui::insertOn());
        break;
    default: break;
    }
}

void frmBrenik::tmrStatus_Timer() {
    sspDate->setText(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
    sspTime->setText(QTime::currentTime().toString("hh:mm"));
    sspCAPS->setOn(ui::lockKeyOn(ui::LockKey::CapsLock));
    sspNUM->setOn(ui::lockKeyOn(ui::LockKey::NumLock));
    sspIns->setOn(ui::insertOn());
}

void frmBrenik::closeEvent(QCloseEvent* event) {
    // Gone at once; a statement still in the driver is cancelled there.
    hide();
    fetchTimer_->stop();
    pending_.clear();
    cancelJob();
    model_->bind(nullptr);
    rQuery.close();
    oConnection.close();
    event->accept();
}
