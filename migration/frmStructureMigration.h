// The migration wizard: source and destination connections of the project, the objects to
// migrate, the statements (optionally reviewed and edited), the run and its summary.
#pragma once

#include "migration/cMigrate.h"

#include <QDialog>

#include <array>
#include <memory>
#include <string>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class frmStructureMigration : public QDialog {
    Q_OBJECT
public:
    explicit frmStructureMigration(QWidget* parent = nullptr);
    ~frmStructureMigration() override;

    void Form_Load();

    // ---- state -------------------------------------------------------------------------
    int step = 0;
    std::string SourceConnectionString, DestinationConnectionString;
    int DestinationGuard = 0;
    std::string ErrorLog;        // of the current run
    std::string DestinationNote;  // why the script was written without reaching the destination
    std::string CreatedObjects;  // comma-separated names created by the current run
    std::string ChangeLog;       // what the current run changes so that the destination takes it
    std::unique_ptr<cMigrate> oDalvMigrate;
    // The generated script as the query box shows it (the box turns every line break into LF).
    std::string ShownQueries;

    // ---- controls ----------------------------------------------------------------------
    std::array<QFrame*, 6> fraStep{};
    std::array<QFrame*, 6> pctTitle{};
    std::array<QLabel*, 6> lblTitle{};
    std::array<QLabel*, 6> lblSubTitle{};
    QComboBox* cboSourceConn = nullptr;
    QComboBox* cboDestinationConn = nullptr;
    QComboBox* cboSrcConnStrs = nullptr;
    QComboBox* cboDstConnStrs = nullptr;
    QLabel* lblSourceDatabase = nullptr;
    QCheckBox* chkShowQuery = nullptr;
    QTreeWidget* stTables = nullptr;
    QLabel* lblDestinationNote = nullptr;
    // Before anything runs: what cannot be created, what is left out, what changes.
    QPlainTextEdit* txtPlan = nullptr;
    QPlainTextEdit* txtQueries = nullptr;
    QFrame* pctProgress = nullptr;
    QFrame* shpProgress = nullptr;
    QLabel* lblStatus = nullptr;
    QLabel* lblResultDescription = nullptr;
    QPlainTextEdit* txtSummary = nullptr;
    std::array<QPushButton*, 4> cmdNavigate{};

    // ---- handlers ----------------------------------------------------------------------
    void cboSourceConn_Click();
    void cboDestinationConn_Click();
    void chkShowQuery_Click();
    void cmdNavigate_Click(int index);
    void stTables_NodeCheck(QTreeWidgetItem* node);

private:
    void buildPages();
    // Fills a connection list and its companion from the project; selects the entry of the
    // given connection (folder and position) when present.
    void FillConnections(QComboBox* list, QComboBox* companion, const std::string& excluded, int selectGroup,
                         int selectNumber);
    // Makes the chosen source the current connection and loads its structure.
    bool LoadSourceStructure();
    void FillTree();
    void WriteMigrateFlags();
    void RunMigration();
    void ShowStep();
    void SetButtons();
    std::string Summary();
    void WhileMigrating(const std::string& name, const std::string& type, const std::string& status);
    void MigrationError(long number, const std::string& description, const std::string& name,
                        const std::string& query);
    void MigrationDataTypeError(const std::string& description, const std::string& source, const std::string& target,
                                const std::string& type);
    void MigrationChange(const std::string& name, const std::string& description);
    void appendLog(const std::string& entry);
    std::string Changes() const;
    void showConnectionWizard();

    bool fillingTree_ = false;
    bool generatingScript_ = false;
    bool readOnly_ = false;  // the destination's driver cannot write: nothing is run
    bool fillingSources_ = false;
};

// Opens the wizard modally over owner (the main window's Migrate command).
void ShowMigrationWizard(QWidget* owner);
// Makes the main window's Migrate command open the wizard.
void InstallMigrationWizard();
