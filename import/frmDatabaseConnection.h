// The connection wizard: introduction, connection page, import with progress, summary, report
// options and object selection. Adds one database to the project document through cReport and
// hands the new connection to the main window on Finish.
#pragma once

#include "platform/ui/ProgressTarget.h"
#include "platform/xml/Xml.h"

#include <QDialog>
#include <QHash>
#include <QString>

#include <array>
#include <functional>
#include <string>

class QCheckBox;
class QCloseEvent;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

class frmDatabaseConnection : public QDialog, public ui::ProgressTarget {
    Q_OBJECT
public:
    explicit frmDatabaseConnection(QWidget* parent = nullptr);
    ~frmDatabaseConnection() override;

    // The wizard of the process while one is open, else nullptr.
    static frmDatabaseConnection* instance();

    // "NEW" or "REFRESH"; set before Form_Load.
    std::string OpenMode = "NEW";

    // Report setup dialog (tab 1 HTML, 2 XML, 3 Word) and batch-file generator, installed by
    // the report output; without them the user is told they are not available.
    static std::function<void(QWidget* owner, int tab)> ReportSetup;
    static std::function<void(QWidget* owner)> GenerateBatchFile;

    // ---- state -------------------------------------------------------------------------
    int CurrentStep = 0;
    int OutputTypeIndex = 0;
    std::string OutputKind = "html";
    std::string DestinationPath;
    bool StructureImported = false;
    bool WizardFinished = false;

    // ---- controls ----------------------------------------------------------------------
    std::array<QFrame*, 6> fraStep{};
    std::array<QFrame*, 6> pctTitle{};
    std::array<QLabel*, 6> lblMainTitle{};
    std::array<QLabel*, 6> lblTitle{};
    std::array<QPushButton*, 4> cmdNavigate{};
    QLabel* pctIntro = nullptr;

    // step 1: connection page
    QLabel* lblTitle1 = nullptr;
    QComboBox* cboDBTypes = nullptr;
    QGroupBox* fraSQLServer = nullptr;
    std::array<QWidget*, 6> pctDBConnInfo{};
    QComboBox* cboSQLServerName = nullptr;
    QComboBox* cboSQLDatabaseName = nullptr;
    std::array<QRadioButton*, 2> optSQLAuthentication{};
    QLineEdit* txtSQLLoginName = nullptr;
    QLineEdit* txtSQLPassword = nullptr;
    QCheckBox* chkSQLBlankPassword = nullptr;
    QLineEdit* txtOraServerName = nullptr;
    std::array<QRadioButton*, 2> optORAAuthentication{};
    QLineEdit* txtORALoginName = nullptr;
    QLineEdit* txtORAPassword = nullptr;
    QCheckBox* chkORABlankPassword = nullptr;
    QLineEdit* txtDB2DataSourceName = nullptr;
    QLineEdit* txtDB2LoginName = nullptr;
    QLineEdit* txtDB2Password = nullptr;
    QCheckBox* chkDB2BlankPassword = nullptr;
    QLineEdit* txtDatabasePath = nullptr;
    std::array<QPushButton*, 2> cmdOpen{};
    QLineEdit* txtAccessPassword = nullptr;
    QLineEdit* txtWKGPDatabasePath = nullptr;
    QLineEdit* txtWKGPLoginName = nullptr;
    QLineEdit* txtWKGPPassword = nullptr;
    QCheckBox* chkSortColumn = nullptr;
    QLabel* lblSortColumns = nullptr;
    QLineEdit* txtConnectionString = nullptr;
    QLabel* lblConnectionStringForms = nullptr;  // forms of a string for the installed drivers
    QLineEdit* txtXMLPath = nullptr;
    QPushButton* cmdXMLOpen = nullptr;

    // step 2: import
    QLabel* lblProgressTitle = nullptr;
    QFrame* pctProgress = nullptr;
    QFrame* shpProgress = nullptr;
    QLabel* lblStatus = nullptr;

    // step 3: summary
    QPlainTextEdit* txtSummary = nullptr;
    QLabel* lblResultTitle = nullptr;
    QLabel* lblResultDescription = nullptr;
    QLabel* lblResultTitle2 = nullptr;

    // step 4: report options
    QGroupBox* fraOutput = nullptr;
    std::array<QRadioButton*, 3> optOutputType{};
    QGroupBox* fraCurrentSettings = nullptr;
    std::array<QWidget*, 3> pctCurrentSettings{};
    QLineEdit* txtHReportLayout = nullptr;
    QLineEdit* txtHStylesheet = nullptr;
    QLineEdit* txtHNumberOfObjects = nullptr;
    QLineEdit* txtXNameSpace = nullptr;
    QLineEdit* txtXNamespaceURI = nullptr;
    QLineEdit* txtWIntroPage = nullptr;
    QLineEdit* txtWObjectsPerPage = nullptr;
    QPushButton* cmdChangeSettings = nullptr;
    QPushButton* cmdGenerateBatchFile = nullptr;
    QGroupBox* fraDestination = nullptr;
    QLineEdit* txtDestinationPath = nullptr;
    QPushButton* cmdSelectDestination = nullptr;

    // step 5: object selection
    QTreeWidget* stMain = nullptr;
    QPushButton* cmdSelectAll = nullptr;
    QPushButton* cmdDeselectAll = nullptr;
    QPushButton* cmdPreview = nullptr;

    // ---- window and steps --------------------------------------------------------------
    void Form_Load();
    void Form_QueryUnload(bool& cancel, int unloadMode);
    void Form_Unload();
    void DisplayStep1();
    void cmdNavigate_Click(int index);
    bool Connect2DB();
    // True while Next connects or imports.
    bool importRunning() const { return busy_; }

    // Progress operations called on the active window during an import.
    void StartProgress(const std::string& message, int incrementValue) override;
    void IncrementProgress(const std::string& message, int incrementValue) override;
    void StopProgress(const std::string& message) override;
    void setStatusText(const std::string& text) override;

    // The control named by the box's tag is disabled (grey box) or enabled (white box).
    void DisableControl(QLineEdit* box);
    void EnableControl(QLineEdit* box);

    // ---- connection page ---------------------------------------------------------------
    void AddDBTypes();
    void cboDBTypes_Click();
    bool fStoreDBInfo();
    bool VaildateDBInfo();
    bool ValidateSQLServerConnInfo();
    bool ValidateOracleConnInfo();
    bool ValidateAccessConnInfo();
    bool ValidateIBMDB2ConnInfo();
    bool ValidateOtherConnInfo();
    void RetrieveDBInfo();
    void cboSQLServerName_DropDown();
    void cboSQLDatabaseName_DropDown();
    void chkSQLBlankPassword_Click();
    void chkORABlankPassword_Click();
    void chkDB2BlankPassword_Click();
    void optSQLAuthentication_Click(int index);
    void optORAAuthentication_Click(int index);
    void chkSortColumn_Click();
    void txtDatabasePath_Change();
    void cmdOpen_Click(int index);
    void cmdXMLOpen_Click();
    // Engine id of the chosen list item (0 for the prompt or nothing).
    int selectedEngineId() const;

    // ---- report options and object selection ------------------------------------------
    void optOutputType_Click(int index);
    void ShowSettings();
    std::string AssignInitialPath(const std::string& extension, const std::string& path);
    void RetrieveReportSettings();
    void cmdChangeSettings_Click();
    void cmdGenerateBatchFile_Click();
    void cmdSelectDestination_Click();
    void cmdPreview_Click();
    void cmdSelectAll_Click();
    void cmdDeselectAll_Click();
    void InitializeTreeView();
    void DisplayNodes(const xml::Node& element, int level);
    void stMain_NodeClick(QTreeWidgetItem* node);
    void SelectChildren(QTreeWidgetItem* node);
    void TreeCheck(bool state);
    void UpdateXMLForReport();
    bool FinalSave();

    // Per-node data of the object tree.
    static constexpr int kKeyRole = 0x0101;       // element Key
    static constexpr int kIncludedRole = 0x0102;  // "True" / "False"
    static constexpr int kPathRole = 0x0103;      // RHXPath or object-kind code
    static constexpr int kPictureRole = 0x0104;   // "CHECKED" / "UNCHECKED"

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override { close(); }  // Escape closes through the same questions
    void changeEvent(QEvent* event) override;

private:
    void buildControls();
    QWidget* buildConnectionPage();
    QWidget* buildOutputPage();
    QWidget* buildObjectPage();
    void showPage();
    void setButtons(bool cancel, bool back, bool finish, bool next);
    void setCheck(QTreeWidgetItem* node, bool checked);
    // Runs the import of step 2; true when the structure was filed in the project.
    bool runImport();
    // Removes the connection the import added (numbers as the import left them).
    void removeImportedConnection();
    // Closes the window once the connect or import it waited for has returned.
    void closeDeferred();
    // The Word report without a main window.
    static bool writeWordReport(const std::string& path);

    bool loaded_ = false;
    bool busy_ = false;              // Next is connecting or importing
    bool finishing_ = false;         // Finish is filing the connection and writing the report
    bool closeAfterImport_ = false;  // closing waits until that has returned
    bool busyClosing_ = false;
    bool unloaded_ = false;
    int unloadMode_ = 0;  // 0 closed by the user, 1 by code
    int engineId_ = 0;
    int heldGroup_ = 0, heldNumber_ = 0;  // current connection when the window loaded
    QHash<QString, QTreeWidgetItem*> nodesByKey_;
    bool serverListFilled_ = false;
};

// Opens the wizard modally over owner in the given mode ("NEW" or "REFRESH").
void ShowConnectionWizard(QWidget* owner, const std::string& openMode);
// Makes the main window open this wizard.
void InstallConnectionWizard();
