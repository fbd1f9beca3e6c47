// The connection wizard: window, pages, navigation, closing and progress.
#include "import/frmDatabaseConnection.h"
#include "reports/frmGenerateBatchFile.h"
#include "reports/frmReportSetup.h"

#include "core/bDBEngines.h"
#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "core/bVersion.h"
#include "explorer/frmDatabaseExplorer.h"
#include "import/frmProperties.h"
#include "options/cReport.h"
#include "platform/fs/Paths.h"
#include "platform/ui/EventPump.h"
#include "platform/ui/Prompter.h"
#include "platform/ui/WaitCursor.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cmath>
#include <exception>
#include <optional>

namespace {

frmDatabaseConnection* g_instance = nullptr;

constexpr int kTrackWidth = 400;

struct Heading {
    const char* main;
    const char* sub;
};
// Heading strips of the six steps.
constexpr Heading kHeadings[6] = {
    {"Dalvane database structure import wizard", "Imported the database structure."},
    {"Choose the database that you want to document",
     "Which database do you want to document? You can choose a database from one of the following sources"},
    {"Importing database structure", "Importing structure of the selected database. "},
    {"Summary Step",
     "Imported the structure of selected database, including indexes, triggers, views and stored procedures."},
    {"Report Options", "Choose from the following options to customize your report"},
    {"Select objects to be included in report",
     "You can select specific or all objects to be included in the report."},
};

std::string connectionPath(int g, int n) {
    return "DATABASESTRUCTURES/DATABASEGROUP[" + std::to_string(g) + "]/DATABASECONNECTION[" + std::to_string(n) +
           "]";
}

}  // namespace

std::function<void(QWidget*, int)> frmDatabaseConnection::ReportSetup;
std::function<void(QWidget*)> frmDatabaseConnection::GenerateBatchFile;

frmDatabaseConnection::frmDatabaseConnection(QWidget* parent) : QDialog(parent) {
    setObjectName("frmDatabaseConnection");
    g_instance = this;
    buildControls();
    ui::installEventPump();
}

frmDatabaseConnection::~frmDatabaseConnection() {
    ui::unregisterProgressTarget(this);
    if (g_instance == this) g_instance = nullptr;
}

frmDatabaseConnection* frmDatabaseConnection::instance() { return g_instance; }

// ---- layout ------------------------------------------------------------------------------

void frmDatabaseConnection::buildControls() {
    auto* outer = new QVBoxLayout(this);
    auto* titles = new QGridLayout;
    titles->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < 6; ++i) {
        pctTitle[i] = new QFrame(this);
        pctTitle[i]->setObjectName(QString("pctTitle%1").arg(i));
        pctTitle[i]->setFrameStyle(QFrame::Panel | QFrame::Raised);
        pctTitle[i]->setStyleSheet("QFrame { background-color: white; }");
        auto* tl = new QVBoxLayout(pctTitle[i]);
        lblMainTitle[i] = new QLabel(kHeadings[i].main, pctTitle[i]);
        QFont f = lblMainTitle[i]->font();
        f.setBold(true);
        lblMainTitle[i]->setFont(f);
        lblTitle[i] = new QLabel(kHeadings[i].sub, pctTitle[i]);
        lblTitle[i]->setWordWrap(true);
        tl->addWidget(lblMainTitle[i]);
        tl->addWidget(lblTitle[i]);
        pctTitle[i]->hide();
        titles->addWidget(pctTitle[i], 0, 0);
    }
    outer->addLayout(titles);

    auto* pages = new QGridLayout;
    for (int i = 0; i < 6; ++i) {
        fraStep[i] = new QFrame(this);
        fraStep[i]->setObjectName(QString("fraStep%1").arg(i));
        pages->addWidget(fraStep[i], 0, 0);
    }
    outer->addLayout(pages, 1);

    // step 0: introduction
    {
        auto* l = new QVBoxLayout(fraStep[0]);
        pctIntro = new QLabel(fraStep[0]);
        pctIntro->setObjectName("pctIntro");
        pctIntro->setWordWrap(true);
        // The strip's sub-title says the import is done; before it starts the page says what comes.
        pctIntro->setText(QString("<h2>%1</h2><p>%2</p>")
                              .arg(kHeadings[0].main,
                                   "This wizard connects to a database, imports its structure (tables, views, "
                                   "indexes, keys, triggers and stored procedures) into your project and, if you "
                                   "wish, writes a first report. Click Next to choose the database."));
        l->addWidget(pctIntro);
        l->addStretch();
    }
    // step 1: connection page
    {
        auto* l = new QVBoxLayout(fraStep[1]);
        l->addWidget(buildConnectionPage());
    }
    // step 2: import
    {
        auto* l = new QVBoxLayout(fraStep[2]);
        lblProgressTitle = new QLabel("Importing structure of the selected database. ", fraStep[2]);
        pctProgress = new QFrame(fraStep[2]);
        pctProgress->setObjectName("pctProgress");
        pctProgress->setFrameStyle(QFrame::Box | QFrame::Plain);
        pctProgress->setFixedSize(kTrackWidth, 18);
        shpProgress = new QFrame(pctProgress);
        shpProgress->setObjectName("shpProgress");
        shpProgress->setStyleSheet("background-color: #0a246a;");
        shpProgress->setGeometry(0, 0, 0, 18);
        lblStatus = new QLabel(fraStep[2]);
        lblStatus->setObjectName("lblStatus");
        lblStatus->setWordWrap(true);
        l->addWidget(lblProgressTitle);
        l->addWidget(pctProgress);
        l->addWidget(lblStatus);
        l->addStretch();
    }
    // step 3: summary
    {
        auto* l = new QVBoxLayout(fraStep[3]);
        lblResultTitle = new QLabel("Completing Dalvane database structure import wizard", fraStep[3]);
        QFont f = lblResultTitle->font();
        f.setBold(true);
        lblResultTitle->setFont(f);
        lblResultDescription = new QLabel(
            "The database structure is now ready for import. Click Finish to import the database structure.",
            fraStep[3]);
        lblResultDescription->setWordWrap(true);
        txtSummary = new QPlainTextEdit(fraStep[3]);
        txtSummary->setObjectName("txtSummary");
        txtSummary->setReadOnly(true);
        lblResultTitle2 =
            new QLabel("Click More if you want to generate a customized report and import the structure.", fraStep[3]);
        lblResultTitle2->setWordWrap(true);
        l->addWidget(lblResultTitle);
        l->addWidget(lblResultDescription);
        l->addWidget(txtSummary, 1);
        l->addWidget(lblResultTitle2);
    }
    {
        auto* l = new QVBoxLayout(fraStep[4]);
        l->addWidget(buildOutputPage());
    }
    {
        auto* l = new QVBoxLayout(fraStep[5]);
        l->addWidget(buildObjectPage());
    }

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    const char* captions[4] = {"&Cancel", "< &Back", "&Next >", "&Finish"};
    const int order[4] = {1, 2, 3, 0};  // Back, Next, Finish, Cancel on screen
    for (int i = 0; i < 4; ++i) {
        cmdNavigate[i] = new QPushButton(captions[i], this);
        cmdNavigate[i]->setObjectName(QString("cmdNavigate%1").arg(i));
        cmdNavigate[i]->setAutoDefault(false);
        connect(cmdNavigate[i], &QPushButton::clicked, this, [this, i] { cmdNavigate_Click(i); });
    }
    for (int i : order) buttons->addWidget(cmdNavigate[i]);
    outer->addLayout(buttons);
    resize(620, 480);
}

// ---- load and closing --------------------------------------------------------------------

void frmDatabaseConnection::Form_Load() {
    try {
        if (!oReportEngine) throw std::runtime_error("The options object has not been created.");
        // The current connection, given back when the window closes without a new one.
        heldGroup_ = oReportEngine->CurrentDatabaseGroup();
        heldNumber_ = oReportEngine->CurrentDatabaseNumber();
        // Refreshing starts from the engine of the current options, not from the first one.
        const int heldEngine = oReportEngine->CurrentDatabaseEngineId();
        oReportEngine->CurrentDatabaseEngineId(OpenMode == "REFRESH" && heldEngine > 0 ? heldEngine : 1);
        oReportEngine->CurrentDatabaseNumber(1);
        setWindowTitle(QString::fromStdString(VersionRecord.ProductTitle + " " + VersionRecord.EditionName));
        OutputKind = "html";
        WizardFinished = false;
        StructureImported = false;
        CurrentStep = 0;
        DisplayStep1();
        setButtons(true, false, false, true);
        if (OpenMode == "REFRESH") RetrieveDBInfo();
        AddDBTypes();
        OutputTypeIndex = 0;
        optOutputType[0]->setChecked(true);
        ShowSettings();
        if (txtDatabasePath->text().trimmed().isEmpty()) {
            DisableControl(txtAccessPassword);
            DisableControl(txtWKGPDatabasePath);
            DisableControl(txtWKGPLoginName);
            DisableControl(txtWKGPPassword);
        }
        cmdDeselectAll->setEnabled(false);
        ui::registerProgressTarget(this);
        loaded_ = true;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "Form_Load");
    }
}

void frmDatabaseConnection::DisplayStep1() {
    try {
        for (int i = 0; i < static_cast<int>(fraStep.size()); ++i) fraStep[i]->setVisible(i == CurrentStep);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "DisplayStep1");
    }
}

void frmDatabaseConnection::closeEvent(QCloseEvent* event) {
    if (unloaded_) {
        event->accept();
        return;
    }
    bool cancel = false;
    Form_QueryUnload(cancel, unloadMode_);
    if (cancel) {
        event->ignore();
        return;
    }
    event->accept();
    Form_Unload();
}

void frmDatabaseConnection::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && loaded_ && !unloaded_)
        ui::activateProgressTarget(this);
    QDialog::changeEvent(event);
}

void frmDatabaseConnection::Form_QueryUnload(bool& cancel, int unloadMode) {
    try {
        if (ErrorShown || WizardFinished || busyClosing_) return;
        if (finishing_) {  // Finish closes the window itself when it is done
            cancel = true;
            return;
        }
        if (unloadMode != 0 && unloadMode != 1) return;
        switch (CurrentStep) {
        case 1:
            StructureImported = false;
            if (busy_) {  // connecting: close once the attempt has returned
                closeAfterImport_ = true;
                cancel = true;
                return;
            }
            break;
        case 2:
            if (ui::MsgBox("Are you sure you want to cancel the import?", ui::MsgButtons::YesNo,
                           ui::MsgIcon::Question) == ui::MsgResult::Yes) {
                StructureImported = false;
                if (busy_) {
                    // The import stops at its next progress event; the window closes once it
                    // has returned, so nothing runs on a closed window.
                    closeAfterImport_ = true;
                    if (oReportEngine) oReportEngine->CancelImport();
                    cancel = true;
                    return;
                }
            } else {
                StructureImported = true;
            }
            break;
        case 3:
        case 4:
        case 5:
            if (ui::MsgBox("Are you sure you want to cancel ?", ui::MsgButtons::YesNo) == ui::MsgResult::Yes) {
                // Only a connection this window imported is taken out again.
                if (StructureImported) removeImportedConnection();
                StructureImported = false;
            }
            break;
        default: break;
        }
        if (oReportEngine && StructureImported && CurrentStep >= 2) cancel = true;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseConnection.QueryUnload");
    }
}

void frmDatabaseConnection::Form_Unload() {
    try {
        unloaded_ = true;
        ui::unregisterProgressTarget(this);
        // The reader choice of this window ends with it; later imports follow their connection.
        if (oReportEngine) oReportEngine->AccessConnectionType.clear();
        if (!WizardFinished && oReportEngine) {
            oReportEngine->CurrentDatabaseGroup(heldGroup_);
            oReportEngine->CurrentDatabaseNumber(heldNumber_);
        }
        if (g_instance == this) g_instance = nullptr;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseConnection.Form_Unload");
    }
}

void frmDatabaseConnection::removeImportedConnection() {
    const int g = oReportEngine ? oReportEngine->CurrentDatabaseGroup() : 0;
    const int n = oReportEngine ? oReportEngine->CurrentDatabaseNumber() : 0;
    xml::Node folder = oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[" + std::to_string(g) + "]");
    if (!folder) return;
    xml::Node entry = folder.selectSingleNode("DATABASECONNECTION[" + std::to_string(n) + "]");
    if (entry) entry.remove();
}

// ---- navigation --------------------------------------------------------------------------

void frmDatabaseConnection::setButtons(bool cancel, bool back, bool finish, bool next) {
    cmdNavigate[0]->setEnabled(cancel);
    cmdNavigate[1]->setEnabled(back);
    cmdNavigate[3]->setEnabled(finish);
    cmdNavigate[2]->setEnabled(next);
}

void frmDatabaseConnection::showPage() {
    for (int i = 0; i < static_cast<int>(fraStep.size()); ++i) {
        if (i == CurrentStep) {
            fraStep[i]->setVisible(true);
            if (i == 0 || i == 2 || i == 3) {
                pctTitle[i]->hide();
            } else {
                pctTitle[i]->raise();
                pctTitle[i]->show();
            }
        } else {
            fraStep[i]->hide();
            pctTitle[i]->hide();
        }
    }
    // The keyboard starts on the page's first control, not on the button that led to it.
    if (CurrentStep < 0 || CurrentStep >= static_cast<int>(fraStep.size())) return;
    QWidget* page = fraStep[CurrentStep];
    for (QWidget* w = page->nextInFocusChain(); w && w != page; w = w->nextInFocusChain()) {
        if (page->isAncestorOf(w) && w->isEnabled() && w->isVisibleTo(page) && (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(Qt::TabFocusReason);
            break;
        }
    }
}

void frmDatabaseConnection::cmdNavigate_Click(int index) {
    if (index < 0 || index > 3 || finishing_) return;
    // While an import runs only Cancel acts; nothing else re-enters the step machine.
    if (busy_ && index != 0) return;
    try {
        if (index == 0) {
            unloadMode_ = 1;
            close();
            unloadMode_ = 0;
            return;
        }
        if (index == 2) {
            if (CurrentStep == 1) {
                ui::WaitCursor wait;
                if (EngineKindOf(selectedEngineId()) == EngineKind::DalvaneXML) {
                    const std::string file = txtXMLPath->text().toStdString();
                    oReportEngine->XMLFilePath(file);
                    std::string text;
                    files::readTextFile(file, text);
                    if (!ValidateXML(file, text, true, "xml")) return;
                }
                busy_ = true;
                closeAfterImport_ = false;
                ui::activateProgressTarget(this);
                bool connected = false;
                {
                    ui::AllowPendingEvents allow;  // only Cancel acts meanwhile
                    connected = Connect2DB();
                }
                busy_ = false;
                if (closeAfterImport_) {
                    closeDeferred();
                    return;
                }
                if (!connected) return;
            } else if (CurrentStep == 2) {
                setButtons(true, false, false, false);
            }
            if (CurrentStep >= 5) return;
            ++CurrentStep;
            showPage();
            switch (CurrentStep) {
            case 0: setButtons(true, false, false, true); break;
            case 1: setButtons(true, true, false, true); break;
            case 2:
                cmdNavigate[2]->setEnabled(false);
                cmdNavigate[1]->setEnabled(false);
                cmdNavigate[3]->setEnabled(false);
                if (runImport()) {
                    StructureImported = true;
                    cmdNavigate_Click(2);
                    return;
                }
                if (closeAfterImport_ || unloaded_) return;
                setButtons(cmdNavigate[0]->isEnabled(), true, false, false);
                break;
            case 3:
                txtSummary->setPlainText(QString::fromStdString(oReportEngine->GenerateSummary()));
                setButtons(true, false, true, true);
                break;
            case 4:
                if (txtDestinationPath->text().isEmpty())
                    txtDestinationPath->setText(QString::fromStdString(AssignInitialPath("html", "")));
                RetrieveReportSettings();
                setButtons(true, true, true, true);
                break;
            case 5: {
                DestinationPath = txtDestinationPath->text().toStdString();
                InitializeTreeView();
                xml::Node entry = oStructures.selectSingleNode(
                    connectionPath(oReportEngine->CurrentDatabaseGroup(), oReportEngine->CurrentDatabaseNumber()));
                DisplayNodes(entry, 1);
                cmdSelectAll_Click();
                setButtons(true, true, true, false);
                break;
            }
            default: break;
            }
            cmdNavigate[2]->setText(CurrentStep == 3 ? "More >>" : "Next >");
            return;
        }
        if (index == 1) {
            if (CurrentStep <= 0) return;
            --CurrentStep;
            showPage();
            switch (CurrentStep) {
            case 0: setButtons(true, false, false, true); break;
            case 1: setButtons(true, true, false, true); break;
            case 2: setButtons(true, false, false, false); break;
            case 3: setButtons(true, true, true, true); break;
            case 4:
                setButtons(true, false, true, true);
                cmdNavigate[2]->setText("Next >");
                break;
            default: break;
            }
            return;
        }
        // Finish: the project, the folder tree and a chosen report can take a while; the main
        // window's status says so until they are done.
        ui::WaitCursor wait;
        frmDatabaseExplorer* main = frmDatabaseExplorer::instance();
        // Nothing of this window acts until it is done (a report may let events run).
        finishing_ = true;
        struct Finished {
            bool& flag;
            ~Finished() { flag = false; }
        } finished{finishing_};
        std::optional<frmDatabaseExplorer::LongWork> adding;
        if (main) {
            adding.emplace(main);
            main->setStatusText("Adding " + oReportEngine->DatabaseName() + " to the project...");
        }
        UpdateXMLForReport();
        oReportEngine->SaveTempFile();
        if (main) {
            main->PopulateLHXML();
            main->EnableSaveMenus(true);
            main->SelectConnectedDB();
        }
        if (CurrentStep == 5) {
            // A report that was not written is not opened: a file already there is an old one.
            const std::string destination = DestinationPath;
            const bool saved = FinalSave();
            const QString trimmed = QString::fromStdString(DestinationPath).trimmed();
            DestinationPath = trimmed.toStdString();
            if (!saved) {
                ui::MsgBox("The report could not be written to " + destination + ", so it is not opened.",
                           ui::MsgButtons::OK, ui::MsgIcon::Exclamation);
            } else if (!DestinationPath.empty()) {
                const char last = DestinationPath.back();
                ui::prompter().openExternally(last == '/' || last == '\\' ? DestinationPath + "index.html"
                                                                          : DestinationPath);
            }
        }
        WizardFinished = true;
        close();
        if (main) {
            main->raise();
            main->activateWindow();
        }
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "cmdNavigate_Click");
    }
}

bool frmDatabaseConnection::runImport() {
    busy_ = true;
    closeAfterImport_ = false;
    ui::activateProgressTarget(this);
    bool ok = false;
    try {
        ui::AllowPendingEvents allow;  // only Cancel acts meanwhile
        ok = oReportEngine->ImportDatabase(true);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "cmdNavigate_Click");
    }
    busy_ = false;
    if (closeAfterImport_) {
        // The user cancelled while the import ran: leave the project as it was and close.
        if (ok) removeImportedConnection();
        closeDeferred();
        return false;
    }
    return ok;
}

void frmDatabaseConnection::closeDeferred() {
    StructureImported = false;
    busyClosing_ = true;
    close();
}

bool frmDatabaseConnection::Connect2DB() {
    try {
        if (!fStoreDBInfo()) return false;
        return oReportEngine->OpenDalvDatabase();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "Connect2DB");
        return false;
    }
}

// ---- progress ----------------------------------------------------------------------------

void frmDatabaseConnection::StartProgress(const std::string& /*message*/, int incrementValue) {
    try {
        const int track = pctProgress->width();
        shpProgress->resize(static_cast<int>(std::nearbyint(incrementValue / 100.0 * track)), shpProgress->height());
        ui::processPendingEvents();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseConnection.StartProgress");
    }
}

void frmDatabaseConnection::IncrementProgress(const std::string& /*message*/, int incrementValue) {
    try {
        const int track = pctProgress->width();
        const double share = incrementValue / 100.0 * track;
        const long w = std::lrint(share + shpProgress->width());  // half to even
        shpProgress->resize(w <= track ? static_cast<int>(w) : static_cast<int>(std::nearbyint(share)),
                            shpProgress->height());
        ui::processPendingEvents();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseConnection.IncrementProgress");
    }
}

void frmDatabaseConnection::StopProgress(const std::string& /*message*/) {
    try {
        shpProgress->resize(pctProgress->width(), shpProgress->height());
        ui::processPendingEvents();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseConnection.StopProgress");
    }
}

void frmDatabaseConnection::setStatusText(const std::string& text) {
    lblStatus->setText(QString::fromStdString(text));
    // While an import runs its progress lets the window's events paint it.
    if (!busy_) lblStatus->repaint();
}

// ---- grey boxes --------------------------------------------------------------------------

void frmDatabaseConnection::DisableControl(QLineEdit* box) {
    try {
        const QString tag = box->property("Tag").toString();
        if (QWidget* target = tag == box->objectName() ? box : findChild<QWidget*>(tag)) target->setEnabled(false);
        box->setStyleSheet("QLineEdit { background-color: rgb(214, 211, 206); }");
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "DisableControl");
    }
}

void frmDatabaseConnection::EnableControl(QLineEdit* box) {
    try {
        const QString tag = box->property("Tag").toString();
        if (QWidget* target = tag == box->objectName() ? box : findChild<QWidget*>(tag)) target->setEnabled(true);
        box->setStyleSheet("QLineEdit { background-color: rgb(255, 255, 255); }");
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseConnection.EnableControl");
    }
}

// ---- opening from the main window --------------------------------------------------------

void ShowConnectionWizard(QWidget* owner, const std::string& openMode) {
    if (frmDatabaseConnection* open = frmDatabaseConnection::instance()) {
        open->raise();
        open->activateWindow();
        return;
    }
    static std::string lastMode = "NEW";
    if (!openMode.empty()) lastMode = openMode;  // no mode: the one last given
    auto* w = new frmDatabaseConnection(owner);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->OpenMode = lastMode;
    w->Form_Load();
    w->exec();
}

void InstallConnectionWizard() {
    frmDatabaseExplorer::ConnectionWizard = &ShowConnectionWizard;
    frmDatabaseExplorer::ConnectionProperties = &ShowConnectionProperties;
    frmDatabaseConnection::GenerateBatchFile = [](QWidget* owner) { frmGenerateBatchFile(owner).ShowMe(); };
    frmDatabaseConnection::ReportSetup = [](QWidget* owner, int tab) {
        if (!frmReportSetup(owner).ShowMe(tab)) return;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* main = dynamic_cast<frmDatabaseExplorer*>(w)) main->PreviewHTML(SelectedNodeKey);
    };
}
