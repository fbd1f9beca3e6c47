#include "core/frmSendMail.h"

#include "core/bGlobal.h"
#include "core/cDVUpdates.h"
#include "core/frmErrorHandler.h"
#include "platform/ui/Prompter.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextEdit>
#include <QVBoxLayout>

frmSendMail::frmSendMail(frmErrorHandler* owner) : QDialog(owner), owner_(owner) {
    setObjectName("frmSendMail");
    setWindowTitle("Send Error Report");
    txtEMail = new QLineEdit(this);
    txtName = new QLineEdit(this);
    txtSubject = new QLineEdit(this);
    txtErrorReport = new QTextEdit(this);
    txtComments = new QTextEdit(this);
    txtEMail->setObjectName("txtEMail");
    txtName->setObjectName("txtName");
    txtSubject->setObjectName("txtSubject");
    txtErrorReport->setObjectName("txtErrorReport");
    txtComments->setObjectName("txtComments");
    txtErrorReport->setAcceptRichText(false);
    txtComments->setAcceptRichText(false);
    cmdSendNow = new QPushButton("Send Now", this);
    cmdClose = new QPushButton("Close", this);
    cmdSendNow->setObjectName("cmdSendNow");
    cmdClose->setObjectName("cmdClose");

    auto* form = new QFormLayout;
    form->addRow("Please enter your E-Mail ID", txtEMail);
    form->addRow("Please enter your name", txtName);
    form->addRow("&Subject", txtSubject);
    form->addRow("Error &Report", txtErrorReport);
    form->addRow("Comments", txtComments);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSendNow);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    resize(560, 480);

    connect(cmdSendNow, &QPushButton::clicked, this, &frmSendMail::cmdSendNow_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmSendMail::cmdClose_Click);
}

bool frmSendMail::ShowMailDialog(const std::string& text) {
    result_ = false;
    txtErrorReport->setPlainText(QString::fromStdString(text));
    txtSubject->setText("Dalvane 4.5 Error Report");
    txtComments->setPlainText("");
    exec();
    return result_;
}

void frmSendMail::cmdSendNow_Click() {
    try {
        const std::string crlf = "\r\n";
        std::string report = txtErrorReport->toPlainText().replace("\n", "\r\n").toStdString();
        std::string comments = txtComments->toPlainText().toStdString();
        std::string message = "User Name: " + txtName->text().toStdString() + crlf + report;
        if (!QString::fromStdString(comments).trimmed().isEmpty()) message += crlf + crlf + comments;
        cDVUpdates fallback;
        cDVUpdates& service = oWebService ? *oWebService : fallback;
        result_ = service.SendErrorReport(txtEMail->text().toStdString(), txtSubject->text().toStdString(), message);
        if (owner_) owner_->UserComments = comments;
        accept();
    } catch (const std::exception&) {
        result_ = false;
    }
}

void frmSendMail::cmdClose_Click() {
    result_ = true;
    accept();
}

bool frmSendMail::ValidateSenderEMail() {
    static const QRegularExpression re(R"(\w+([-+.]\w+)*@\w+([-.]\w+)*\.\w+([-.]\w+)*)");
    QString from = txtEMail->text();
    if (from.isEmpty() || !re.match(from).hasMatch()) {
        ui::MsgBox("Please enter a valid email id.", ui::MsgButtons::OK, ui::MsgIcon::Information);
        return false;
    }
    return true;
}
