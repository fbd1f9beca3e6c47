// "Choose Columns": which columns the reports show for each kind of object.
#pragma once

#include "platform/xml/Xml.h"

#include <QDialog>

#include <string>

class QComboBox;
class QListWidget;
class QPushButton;
class frmDatabaseExplorer;

class frmDisplayColumns : public QDialog {
    Q_OBJECT
public:
    explicit frmDisplayColumns(frmDatabaseExplorer* owner);

    QComboBox* cboObjects = nullptr;
    QListWidget* lstAvailableTBColumns = nullptr;
    QListWidget* lstDisplayedTBColumns = nullptr;
    QPushButton* cmdAddSelected = nullptr;
    QPushButton* cmdAddAll = nullptr;
    QPushButton* cmdRemoveSelected = nullptr;
    QPushButton* cmdRemoveAll = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    void Form_Load();
    void Form_Unload();
    void PopulateObjects();
    void PopulateColumns(const std::string& ObjectName);
    void cboObjects_Click();
    void cmdAddSelected_Click();
    void cmdAddAll_Click();
    void cmdRemoveSelected_Click();
    void cmdRemoveAll_Click();
    void lstAvailableTBColumns_DblClick() { cmdAddSelected_Click(); }
    void lstDisplayedTBColumns_DblClick() { cmdRemoveSelected_Click(); }
    void cmdOK_Click();
    void cmdCancel_Click();

    // The dialog's private copy of the column settings.
    xml::Document& settings() { return doc_; }

private:
    std::string objectPath() const;
    void setAll(const char* from, const char* to);
    void moveSelected(QListWidget* list, const char* to);

    frmDatabaseExplorer* owner_;
    xml::Document doc_;
};
