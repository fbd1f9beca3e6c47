// The send dialog of an error report.
#pragma once

#include <QDialog>

#include <string>

class QLineEdit;
class QPushButton;
class QTextEdit;
class frmErrorHandler;

class frmSendMail : public QDialog {
    Q_OBJECT
public:
    explicit frmSendMail(frmErrorHandler* owner);

    QLineEdit* txtEMail = nullptr;    // sender address
    QLineEdit* txtName = nullptr;     // user name
    QLineEdit* txtSubject = nullptr;
    QTextEdit* txtErrorReport = nullptr;
    QTextEdit* txtComments = nullptr;
    QPushButton* cmdSendNow = nullptr;
    QPushButton* cmdClose = nullptr;

    // Fills the report and shows the dialog modally. True when closed with Close or when the
    // report was sent; false when sending failed or the window was closed by its frame.
    bool ShowMailDialog(const std::string& text);
    void cmdSendNow_Click();
    void cmdClose_Click();
    // True when the sender field holds a mail address; otherwise says so.
    bool ValidateSenderEMail();

private:
    frmErrorHandler* owner_;
    bool result_ = false;
};
