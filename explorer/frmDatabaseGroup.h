// The small dialog that asks for the name of a new folder or the new name of a folder.
#pragma once

#include <QDialog>

#include <string>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class frmDatabaseExplorer;

class frmDatabaseGroup : public QDialog {
    Q_OBJECT
public:
    explicit frmDatabaseGroup(frmDatabaseExplorer* owner);

    // Set by the caller before the dialog is shown.
    std::string GroupName;
    std::string OpenMode;  // "New" or "Rename"

    QGroupBox* fraGroupInfo = nullptr;
    QLabel* lblGroupName = nullptr;
    QLineEdit* txtGroupName = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    void Form_Load();
    void cmdOK_Click();
    void cmdCancel_Click();
    // KeyAscii 0 swallows the key.
    void txtGroupName_KeyPress(int& keyAscii);
    bool GroupExists() const;

    // Form_Load, then the dialog modally.
    int showModal();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    frmDatabaseExplorer* owner_;
};
