#include "core/frmErrorHandler.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "core/bGlobalUi.h"
#include "core/bVersion.h"
#include "core/frmDisplayError.h"
#include "core/frmSendMail.h"
#include "platform/ui/Prompter.h"
#include "platform/text/Text.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {
}  // namespace

frmErrorHandler::frmErrorHandler(QWidget* parent) : QDialog(parent) {
    setObjectName("frmErrorHandler");
    setWindowTitle(QString::fromStdString(MainCaption()));
    lblHeading = new QLabel(
        "Dalvane.exe has encountered a problem and needs to close. We are sorry for the inconvenience.", this);
    lblHeading->setWordWrap(true);
    QFont bold = lblHeading->font();
    bold.setBold(true);
    lblHeading->setFont(bold);
    auto* lblLost = new QLabel(
        "If you were in the middle of something, the information you were working on might be lost.", this);
    auto* lblTell = new QLabel("Please tell Torvik about this problem.", this);
    auto* lblReport = new QLabel(
        "We have created an error report that you can send to us. We will check the problem and get back to you.",
        this);
    for (QLabel* l : {lblLost, lblTell, lblReport}) l->setWordWrap(true);
    cmdViewError = new QPushButton("&View Error", this);
    cmdSendReport = new QPushButton("&Send Error Report", this);
    cmdDontSend = new QPushButton("&Don't Send", this);
    cmdViewError->setObjectName("cmdViewError");
    cmdSendReport->setObjectName("cmdSendReport");
    cmdDontSend->setObjectName("cmdDontSend");
    txtErrorReport = new QTextEdit(this);
    txtErrorReport->setObjectName("txtErrorReport");
    txtErrorReport->setVisible(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdViewError);
    buttons->addStretch();
    buttons->addWidget(cmdSendReport);
    buttons->addWidget(cmdDontSend);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblHeading);
    layout->addWidget(lblLost);
    layout->addWidget(lblTell);
    layout->addWidget(lblReport);
    layout->addWidget(txtErrorReport);
    layout->addLayout(buttons);
    setMinimumWidth(480);

    connect(cmdViewError, &QPushButton::clicked, this, &frmErrorHandler::cmdViewError_Click);
    connect(cmdSendReport, &QPushButton::clicked, this, &frmErrorHandler::cmdSendReport_Click);
    connect(cmdDontSend, &QPushButton::clicked, this, &frmErrorHandler::cmdDontSend_Click);
}

// Failures of the dialog's own procedures never re-enter the error routine.
void frmErrorHandler::ownError(long number, const std::string& description, const char* procedure) {
    ui::MsgBox(MainCaption() + "\nError Occurred, please contact Torvik support team\nError Number: " +
               std::to_string(number) + "\nError Description: " + description +
               "\nError Source: frmErrorHandler." + procedure + "\nBuild Number: " + std::to_string(AppRevision));
}

void frmErrorHandler::Form_Load() {
    try {
        setWindowTitle(QString::fromStdString(MainCaption()));
        ErrorReportText = BuildErrorReportText(ErrNumber, ErrDescription, ErrSource);
        loaded_ = true;
    } catch (const std::exception& e) {
        ownError(-1, e.what(), "Form_Load");
    }
}

void frmErrorHandler::DisplayError(long errNumber, const std::string& description, const std::string& source) {
    try {
        ErrNumber = errNumber;
        ErrDescription = description;
        ErrSource = source;
        if (isVisible()) return;
        if (!loaded_) Form_Load();
        exec();
        // Closed by its frame: the next error builds its own report.
        loaded_ = false;
    } catch (const std::exception& e) {
        ownError(-1, e.what(), "DisplayError");
    }
}

void frmErrorHandler::cmdViewError_Click() {
    frmDisplayError view(this);
    view.DisplayError(ErrorReportText);
}

void frmErrorHandler::cmdDontSend_Click() { CloseAll(); }

void frmErrorHandler::CloseAll() {
    try {
        ClearAllTemporaryFiles();
        hide();
        UnloadAllForms("frmErrorHandler");
    } catch (const std::exception& e) {
        ownError(-1, e.what(), "CloseAll");
    }
    EndProcess(1);
}

void frmErrorHandler::cmdSendReport_Click() {
    try {
        std::string mailForm = BuildErrorMailForm(ErrNumber, ErrDescription, ErrSource);
        txtErrorReport->setPlainText(QString::fromStdString(mailForm));
        frmSendMail sendMail(this);
        if (sendMail.ShowMailDialog(text::replaceAll(mailForm, "%0D", "\r\n"))) return;
        // Not sent: the user's mail program takes the report, and the link is logged.
        std::string link = BuildErrorMailLink(mailForm, UserComments);
        WriteErrorMailLog(link);
        ui::prompter().openExternally(link);
        CloseAll();
    } catch (const std::exception& e) {
        ownError(-1, e.what(), "cmdSendReport_Click");
    }
}
