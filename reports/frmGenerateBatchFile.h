// "Generate Batch File": the batch document and shell script for the current connection.
#pragma once

#include <QDialog>

#include <array>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

class frmGenerateBatchFile : public QDialog {
public:
    explicit frmGenerateBatchFile(QWidget* parent = nullptr);

    // Shows the dialog modally; 0 when it closes.
    int ShowMe();

    QLabel* lblDatabaseEngineValue = nullptr;
    QLabel* lblServerNameValue = nullptr;
    QLabel* lblDatabaseNameValue = nullptr;
    QLineEdit* txtBatchFile = nullptr;
    QPushButton* cmdBrowseBatchFile = nullptr;
    std::array<QCheckBox*, 3> chkOutputType{};
    QTabWidget* atOutputSettings = nullptr;
    QLineEdit* txtHTMLPath = nullptr;
    QLineEdit* txtXMLFileName = nullptr;
    QLineEdit* txtWordFileName = nullptr;
    QPushButton* cmdHTMLBrowse = nullptr;
    QPushButton* cmdXMLBrowse = nullptr;
    QPushButton* cmdWordBrowse = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    // Index of the box disabled because it is the only one checked; -1 when none.
    int DisabledOutputIndex = -1;

    void chkOutputType_Click(int index);
    bool UpdateOutputTabs(bool enable, const QString& key);
    void cmdHTMLBrowse_Click();
    void cmdXMLBrowse_Click();
    void cmdWordBrowse_Click();
    void cmdBrowseBatchFile_Click();
    void cmdOK_Click();

private:
    void LoadBatchDefaults();
    // A save dialog whose answer replaces target's text; cancelling changes nothing.
    void browseOutputFile(QLineEdit* target, const char* filter, const char* source);
};
