// The error dialog: tells the user that the program must close, shows the report, sends it
// through the web service or the user's mail program, and ends the process.
#pragma once

#include <QDialog>

#include <string>

class QLabel;
class QPushButton;
class QTextEdit;

class frmErrorHandler : public QDialog {
    Q_OBJECT
public:
    explicit frmErrorHandler(QWidget* parent = nullptr);

    QLabel* lblHeading = nullptr;
    QPushButton* cmdViewError = nullptr;
    QPushButton* cmdSendReport = nullptr;
    QPushButton* cmdDontSend = nullptr;
    QTextEdit* txtErrorReport = nullptr;  // the mail form while sending (hidden)

    long ErrNumber = 0;
    std::string ErrDescription;
    std::string ErrSource;
    std::string ErrorReportText;  // built when the dialog is first shown
    std::string UserComments;     // written by frmSendMail

    // Stores the error; shows the dialog modally unless it is already showing.
    void DisplayError(long errNumber, const std::string& description, const std::string& source);

    void Form_Load();
    void cmdViewError_Click();
    void cmdSendReport_Click();
    void cmdDontSend_Click();
    // Removes the temporary files, closes every window and ends the process.
    void CloseAll();

private:
    void ownError(long number, const std::string& description, const char* procedure);
    bool loaded_ = false;
};
