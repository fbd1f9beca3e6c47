// Shows the full text of an error report.
#pragma once

#include <QDialog>

#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;

class frmDisplayError : public QDialog {
    Q_OBJECT
public:
    explicit frmDisplayError(QWidget* parent = nullptr);

    QLabel* lblError = nullptr;
    QPlainTextEdit* txtErrorReport = nullptr;
    QPushButton* cmdClose = nullptr;

    // Puts text into the box and shows the window modally.
    void DisplayError(const std::string& text);
    void cmdClose_Click();
};
