// The connection wizard's connection page: engine list, one panel of fields per engine, the
// checks before connecting and the transfers between the fields and the connection options.
#include "import/frmDatabaseConnection.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "core/cSQLDatabases.h"
#include "core/cSQLServers.h"
#include "options/cReport.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/DbError.h"
#include "platform/fs/Paths.h"
#include "platform/ui/Prompter.h"
#include "platform/ui/WaitCursor.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QButtonGroup>
#include <QStackedLayout>
#include <QVBoxLayout>

#include <algorithm>
#include <charconv>
#include <exception>

namespace {

void stop(const std::string& text) { ui::MsgBox(text, ui::MsgButtons::OK, ui::MsgIcon::Critical); }

std::string str(const QString& s) { return s.toStdString(); }
QString qs(const std::string& s) { return QString::fromStdString(s); }

// A combo box that reports each drop-down before its list opens.
class DropDownCombo : public QComboBox {
public:
    DropDownCombo(QWidget* parent, std::function<void()> onDropDown)
        : QComboBox(parent), onDropDown_(std::move(onDropDown)) {}
    void showPopup() override {
        if (onDropDown_) onDropDown_();
        QComboBox::showPopup();
    }

private:
    std::function<void()> onDropDown_;
};

QLineEdit* box(QWidget* parent, const char* name, bool password = false) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setProperty("Tag", QString(name));
    if (password) e->setEchoMode(QLineEdit::Password);
    return e;
}

// The last entry equal to wanted in lower case, -1 when none.
int lastMatch(const QComboBox* list, const std::string& wanted) {
    int found = -1;
    const QString w = qs(wanted).toLower();
    for (int i = 0; i < list->count(); ++i)
        if (list->itemText(i).toLower() == w) found = i;
    return found;
}

// A form row whose field is a layout: Qt gives its label no buddy, so its marker would show.
void addRow(QFormLayout* form, const char* text, QLayout* row, QWidget* buddy) {
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    form->addRow(label, row);
}

// The form of a connection string for an installed ODBC driver, by the kind of database it
// serves, and its place in the list (the usual OTHERS databases first); no form for a driver
// whose keywords are not known here.
struct StringForm {
    int rank = -1;
    std::string text;
};

StringForm connectionStringForm(const std::string& driver) {
    const std::string d = QString::fromStdString(driver).toLower().toStdString();
    auto has = [&d](const char* part) { return d.find(part) != std::string::npos; };
    // The SQLite drivers read no braces; their names hold no blanks.
    if (has("sqlite")) return {has("sqlite3") ? 0 : 3, "Driver=" + driver + ";Database=/path/to/file.db"};
    const std::string named = "Driver={" + driver + "};";
    const std::string login = ";Database=name;UID=user;PWD=password";
    if (has("postgres")) return {1, named + "Server=host;Port=5432" + login};
    if (has("maria") || has("mysql")) return {2, named + "Server=host;Port=3306" + login};
    if (has("tds")) return {4, named + "Server=host;Port=1433" + login};
    if (has("mdb")) return {5, named + "DBQ=/path/to/file.mdb"};
    return {};
}

}  // namespace

QWidget* frmDatabaseConnection::buildConnectionPage() {
    auto* page = new QWidget(this);
    auto* l = new QVBoxLayout(page);
    auto* top = new QHBoxLayout;
    lblTitle1 = new QLabel("Data &Engine", page);
    cboDBTypes = new QComboBox(page);
    cboDBTypes->setObjectName("cboDBTypes");
    lblTitle1->setBuddy(cboDBTypes);
    top->addWidget(lblTitle1);
    top->addWidget(cboDBTypes, 1);
    l->addLayout(top);
    connect(cboDBTypes, &QComboBox::activated, this, [this](int) { cboDBTypes_Click(); });

    fraSQLServer = new QGroupBox(page);
    fraSQLServer->setObjectName("fraSQLServer");
    auto* stack = new QGridLayout(fraSQLServer);
    l->addWidget(fraSQLServer, 1);
    for (int i = 0; i < 6; ++i) {
        pctDBConnInfo[i] = new QWidget(fraSQLServer);
        pctDBConnInfo[i]->setObjectName(QString("pctDBConnInfo%1").arg(i));
        pctDBConnInfo[i]->hide();
        stack->addWidget(pctDBConnInfo[i], 0, 0);
    }

    // 0: SQL Server
    {
        QWidget* p = pctDBConnInfo[0];
        auto* f = new QFormLayout(p);
        cboSQLServerName = new DropDownCombo(p, [this] { cboSQLServerName_DropDown(); });
        cboSQLServerName->setObjectName("cboSQLServerName");
        cboSQLServerName->setEditable(true);
        cboSQLDatabaseName = new DropDownCombo(p, [this] { cboSQLDatabaseName_DropDown(); });
        cboSQLDatabaseName->setObjectName("cboSQLDatabaseName");
        cboSQLDatabaseName->setEditable(true);
        f->addRow("&Server name", cboSQLServerName);
        f->addRow("&Database  name", cboSQLDatabaseName);
        auto* group = new QButtonGroup(p);
        // FreeTDS logs in with the user's Kerberos ticket here.
        optSQLAuthentication[0] = new QRadioButton("Use &Windows Authentication (Kerberos ticket)", p);
        optSQLAuthentication[1] = new QRadioButton("Use S&QL Server Authentication", p);
        for (int i = 0; i < 2; ++i) {
            optSQLAuthentication[i]->setObjectName(QString("optSQLAuthentication%1").arg(i));
            group->addButton(optSQLAuthentication[i], i);
            f->addRow(optSQLAuthentication[i]);
            connect(optSQLAuthentication[i], &QRadioButton::clicked, this, [this, i] { optSQLAuthentication_Click(i); });
        }
        optSQLAuthentication[1]->setChecked(true);
        txtSQLLoginName = box(p, "txtSQLLoginName");
        txtSQLPassword = box(p, "txtSQLPassword", true);
        chkSQLBlankPassword = new QCheckBox("B&lank Password", p);
        chkSQLBlankPassword->setObjectName("chkSQLBlankPassword");
        f->addRow("&Username", txtSQLLoginName);
        f->addRow("&Password", txtSQLPassword);
        f->addRow(chkSQLBlankPassword);
        connect(chkSQLBlankPassword, &QCheckBox::clicked, this, [this] { chkSQLBlankPassword_Click(); });
    }
    // 1: Oracle
    {
        QWidget* p = pctDBConnInfo[1];
        auto* f = new QFormLayout(p);
        txtOraServerName = box(p, "txtOraServerName");
        f->addRow("&Server name", txtOraServerName);
        auto* group = new QButtonGroup(p);
        optORAAuthentication[0] = new QRadioButton("Use &Windows Authentication", p);
        optORAAuthentication[1] = new QRadioButton("Use &Oracle Authentication", p);
        for (int i = 0; i < 2; ++i) {
            optORAAuthentication[i]->setObjectName(QString("optORAAuthentication%1").arg(i));
            group->addButton(optORAAuthentication[i], i);
            f->addRow(optORAAuthentication[i]);
            connect(optORAAuthentication[i], &QRadioButton::clicked, this, [this, i] { optORAAuthentication_Click(i); });
        }
        optORAAuthentication[1]->setChecked(true);
        // No integrated login reaches an Oracle driver here: the server's own login only.
        optORAAuthentication[0]->hide();
        txtORALoginName = box(p, "txtORALoginName");
        txtORAPassword = box(p, "txtORAPassword", true);
        chkORABlankPassword = new QCheckBox("B&lank Password", p);
        chkORABlankPassword->setObjectName("chkORABlankPassword");
        f->addRow("&Username", txtORALoginName);
        f->addRow("&Password", txtORAPassword);
        f->addRow(chkORABlankPassword);
        connect(chkORABlankPassword, &QCheckBox::clicked, this, [this] { chkORABlankPassword_Click(); });
    }
    // 2: IBM DB2
    {
        QWidget* p = pctDBConnInfo[2];
        auto* f = new QFormLayout(p);
        txtDB2DataSourceName = box(p, "txtDB2DataSourceName");
        txtDB2LoginName = box(p, "txtDB2LoginName");
        txtDB2Password = box(p, "txtDB2Password", true);
        chkDB2BlankPassword = new QCheckBox("B&lank Password", p);
        chkDB2BlankPassword->setObjectName("chkDB2BlankPassword");
        f->addRow("&Datasource name", txtDB2DataSourceName);
        f->addRow("&Username", txtDB2LoginName);
        f->addRow("&Password", txtDB2Password);
        f->addRow(chkDB2BlankPassword);
        connect(chkDB2BlankPassword, &QCheckBox::clicked, this, [this] { chkDB2BlankPassword_Click(); });
    }
    // 3: Access
    {
        QWidget* p = pctDBConnInfo[3];
        auto* f = new QFormLayout(p);
        txtDatabasePath = box(p, "txtDatabasePath");
        cmdOpen[0] = new QPushButton("&Open", p);
        auto* row0 = new QHBoxLayout;
        row0->addWidget(txtDatabasePath, 1);
        row0->addWidget(cmdOpen[0]);
        addRow(f, "&Access Database", row0, txtDatabasePath);
        txtAccessPassword = box(p, "txtAccessPassword", true);
        f->addRow("Database &password (if any)", txtAccessPassword);
        txtWKGPDatabasePath = box(p, "txtWKGPDatabasePath");
        cmdOpen[1] = new QPushButton("&Open", p);
        auto* row1 = new QHBoxLayout;
        row1->addWidget(txtWKGPDatabasePath, 1);
        row1->addWidget(cmdOpen[1]);
        addRow(f, "Workgroup &database (if any)", row1, txtWKGPDatabasePath);
        txtWKGPLoginName = box(p, "txtWKGPLoginName");
        txtWKGPPassword = box(p, "txtWKGPPassword", true);
        f->addRow("&Loginname", txtWKGPLoginName);
        f->addRow("Pass&word", txtWKGPPassword);
        chkSortColumn = new QCheckBox(p);
        chkSortColumn->setObjectName("chkSortColumn");
        lblSortColumns = new QLabel("Sort Column Names Alphabetically", p);
        auto* row2 = new QHBoxLayout;
        row2->addWidget(chkSortColumn);
        row2->addWidget(lblSortColumns, 1);
        f->addRow(row2);
        for (int i = 0; i < 2; ++i) {
            cmdOpen[i]->setObjectName(QString("cmdOpen%1").arg(i));
            connect(cmdOpen[i], &QPushButton::clicked, this, [this, i] { cmdOpen_Click(i); });
        }
        connect(txtDatabasePath, &QLineEdit::textChanged, this, [this] { txtDatabasePath_Change(); });
        connect(chkSortColumn, &QCheckBox::clicked, this, [this] { chkSortColumn_Click(); });
    }
    // 4: OTHERS
    {
        QWidget* p = pctDBConnInfo[4];
        auto* f = new QFormLayout(p);
        txtConnectionString = box(p, "txtConnectionString");
        f->addRow("Connection string", txtConnectionString);
        // The form of a string for each ODBC driver installed here, the first as the box's hint.
        std::vector<StringForm> known;
        for (const std::string& driver : db::installedOdbcDrivers())
            if (StringForm form = connectionStringForm(driver); form.rank >= 0) known.push_back(std::move(form));
        std::stable_sort(known.begin(), known.end(), [](auto& a, auto& b) { return a.rank < b.rank; });
        QStringList forms;
        for (const StringForm& form : known) forms << qs(form.text);
        if (!forms.isEmpty()) {
            txtConnectionString->setPlaceholderText(forms.front());
            lblConnectionStringForms = new QLabel("For the ODBC drivers installed:\n" + forms.join('\n'), p);
            lblConnectionStringForms->setObjectName("lblConnectionStringForms");
            lblConnectionStringForms->setTextInteractionFlags(Qt::TextSelectableByMouse);
            f->addRow(lblConnectionStringForms);
        }
    }
    // 5: structure document
    {
        QWidget* p = pctDBConnInfo[5];
        auto* f = new QFormLayout(p);
        txtXMLPath = box(p, "txtXMLPath");
        cmdXMLOpen = new QPushButton("&Open", p);
        cmdXMLOpen->setObjectName("cmdXMLOpen");
        auto* row = new QHBoxLayout;
        row->addWidget(txtXMLPath, 1);
        row->addWidget(cmdXMLOpen);
        addRow(f, "Select &XML File", row, txtXMLPath);
        connect(cmdXMLOpen, &QPushButton::clicked, this, [this] { cmdXMLOpen_Click(); });
    }
    return page;
}

int frmDatabaseConnection::selectedEngineId() const {
    const int i = cboDBTypes->currentIndex();
    return i < 0 ? 0 : cboDBTypes->itemData(i).toInt();
}

// ---- engine list -------------------------------------------------------------------------

void frmDatabaseConnection::AddDBTypes() {
    try {
        xml::Document engines;
        const std::string path = files::joinPath(DataFolder, "DBEngines.xml");
        if (!engines.load(path)) return;
        cboDBTypes->clear();
        cboDBTypes->addItem("Choose a data source type", 0);
        std::string refused;
        for (const xml::Node& e : engines.selectNodes("DBENGINES/DBENGINE[@Display='1']")) {
            // The id is looked up as its decimal text: an entry with any other text cannot be used.
            const std::string id = e.attribute("Id");
            int value = 0;
            const auto [end, ec] = std::from_chars(id.data(), id.data() + id.size(), value);
            if (ec != std::errc() || end != id.data() + id.size() || std::to_string(value) != id) {
                refused += "\n" + e.attribute("Caption") + " (Id \"" + id + "\")";
                continue;
            }
            cboDBTypes->addItem(qs(e.attribute("Caption")), value);
        }
        if (!refused.empty())
            ui::MsgBox("These entries of the database engine list " + path +
                           " have an Id that is not a whole number and are left out:" + refused,
                       ui::MsgButtons::OK, ui::MsgIcon::Exclamation);
        int index = 0;
        if (OpenMode != "REFRESH") {
            if (oReportEngine->LastDBEngineId != -1) index = oReportEngine->LastDBEngineId;
        } else {
            index = oReportEngine->CurrentDatabaseEngineId();
        }
        // A remembered position the list no longer has falls back to the prompt.
        if (index < 0 || index >= cboDBTypes->count()) index = 0;
        cboDBTypes->setCurrentIndex(index);
        cboDBTypes_Click();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "AddDBTypes");
    }
}

void frmDatabaseConnection::cboDBTypes_Click() {
    try {
        oReportEngine->AccessConnectionType.clear();
        const int index = cboDBTypes->currentIndex();
        const bool enable = index != -1 && index != 0 && index <= static_cast<int>(EngineNames.size()) - 1;
        for (QWidget* p : pctDBConnInfo) p->setEnabled(enable);
        fraSQLServer->setEnabled(enable);
        if (!enable) return;
        engineId_ = cboDBTypes->itemData(index).toInt();
        const bool otherEngine = engineId_ != oReportEngine->CurrentDatabaseEngineId();
        oReportEngine->CurrentDatabaseEngineId(engineId_);
        oReportEngine->ResetConnectionString();
        // What the fields of another engine stored (an earlier attempt, or the connection the
        // options held) says nothing about this connection; the fresh template is empty too.
        if (otherEngine) {
            oReportEngine->DBServerName("");
            oReportEngine->DatabasePath("");
            oReportEngine->DatabaseName("");
            oReportEngine->AuthenticationMode("");
        }
        const int panel = engineId_ >= 0 && engineId_ < static_cast<int>(EnginePanelMap.size())
                              ? EnginePanelMap[static_cast<std::size_t>(engineId_)]
                              : -1;
        for (int i = 0; i < static_cast<int>(pctDBConnInfo.size()); ++i) pctDBConnInfo[i]->setVisible(i == panel);
        oReportEngine->LastDBEngineId = oReportEngine->CurrentDatabaseEngineId();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "cboDBTypes_Click");
    }
}

// ---- panel handlers ----------------------------------------------------------------------

void frmDatabaseConnection::chkSQLBlankPassword_Click() {
    try {
        if (chkSQLBlankPassword->isChecked()) DisableControl(txtSQLPassword);
        else EnableControl(txtSQLPassword);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseConnection.chkSQLBlankPassword_Click");
    }
}

void frmDatabaseConnection::chkORABlankPassword_Click() {
    try {
        if (chkORABlankPassword->isChecked()) DisableControl(txtORAPassword);
        else EnableControl(txtORAPassword);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "chkORABlankPassword_Click");
    }
}

void frmDatabaseConnection::chkDB2BlankPassword_Click() {
    try {
        if (chkDB2BlankPassword->isChecked()) DisableControl(txtDB2Password);
        else EnableControl(txtDB2Password);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "chkDB2BlankPassword_Click");
    }
}

void frmDatabaseConnection::optSQLAuthentication_Click(int index) {
    try {
        optSQLAuthentication[index]->setChecked(true);
        if (index == 0) {
            DisableControl(txtSQLLoginName);
            DisableControl(txtSQLPassword);
            chkSQLBlankPassword->setEnabled(false);
        } else if (index == 1) {
            EnableControl(txtSQLLoginName);
            if (chkSQLBlankPassword->isChecked()) DisableControl(txtSQLPassword);
            else EnableControl(txtSQLPassword);
            chkSQLBlankPassword->setEnabled(true);
        }
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "optSQLAuthentication_Click");
    }
}

void frmDatabaseConnection::optORAAuthentication_Click(int index) {
    try {
        optORAAuthentication[index]->setChecked(true);
        if (index == 0) {
            DisableControl(txtORALoginName);
            DisableControl(txtORAPassword);
            chkORABlankPassword->setEnabled(false);
        } else if (index == 1) {
            EnableControl(txtORALoginName);
            if (chkORABlankPassword->isChecked()) DisableControl(txtORAPassword);
            else EnableControl(txtORAPassword);
            chkORABlankPassword->setEnabled(true);
        }
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "optORAAuthentication_Click");
    }
}

void frmDatabaseConnection::chkSortColumn_Click() {
    try {
        switch (chkSortColumn->checkState()) {
        case Qt::Checked: oReportEngine->AccessConnectionType = "ADOX"; break;
        case Qt::Unchecked: oReportEngine->AccessConnectionType = "DAO"; break;
        default: break;
        }
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseConnection.chkSortColumn_Click");
    }
}

void frmDatabaseConnection::txtDatabasePath_Change() {
    try {
        const bool empty = txtDatabasePath->text().trimmed().isEmpty();
        for (QLineEdit* b : {txtAccessPassword, txtWKGPDatabasePath, txtWKGPLoginName, txtWKGPPassword}) {
            if (empty) DisableControl(b);
            else EnableControl(b);
        }
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseConnection.txtDatabasePath_Change");
    }
}

void frmDatabaseConnection::cboSQLServerName_DropDown() {
    try {
        if (cboSQLServerName->count() > 0) return;
        ui::WaitCursor wait;
        const std::string names = cSQLServers().GetServersList().joined();
        if (names.empty()) return;
        const QString typed = cboSQLServerName->currentText();
        cboSQLServerName->clear();
        for (const QString& n : qs(names).split(',')) cboSQLServerName->addItem(n);
        const int match = lastMatch(cboSQLServerName, oReportEngine->DBServerName());
        cboSQLServerName->setCurrentIndex(match);
        if (match < 0) cboSQLServerName->setEditText(typed);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "cboSQLServerName_DropDown");
    }
}

void frmDatabaseConnection::cboSQLDatabaseName_DropDown() {
    try {
        const QString typed = cboSQLDatabaseName->currentText();
        cboSQLDatabaseName->clear();
        cboSQLDatabaseName->setEditText(typed);
        const std::string server = str(cboSQLServerName->currentText());
        if (server.empty()) return;
        const bool windows = optSQLAuthentication[0]->isChecked();
        if (optSQLAuthentication[1]->isChecked() && txtSQLLoginName->text().isEmpty()) return;
        DatabaseList list;
        {
            ui::WaitCursor wait;
            list = windows ? cSQLDatabases().GetDatabasesList(server, true, "", "")
                           : cSQLDatabases().GetDatabasesList(server, false, str(txtSQLLoginName->text()),
                                                              str(txtSQLPassword->text()));
        }
        if (list.status == DatabaseList::Status::LoginFailed) {
            stop("Check the login name and password and try again.");
            return;
        }
        if (list.names.empty()) return;
        for (const std::string& n : list.names) cboSQLDatabaseName->addItem(qs(n));
        const int match = lastMatch(cboSQLDatabaseName, oReportEngine->DatabaseName());
        cboSQLDatabaseName->setCurrentIndex(match);
        if (match < 0) cboSQLDatabaseName->setEditText(typed);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "cboSQLDatabaseName_DropDown");
    }
}

void frmDatabaseConnection::cmdOpen_Click(int index) {
    try {
        ui::FileRequest req;
        req.initialPath = ReportsFolder;
        if (index == 0) req.filter = "Microsoft Access Database | *.mdb;*.accdb";
        else if (index == 1) req.filter = "Microsoft Access System Database | *.mdw";
        else return;
        const std::string chosen = ui::prompter().chooseFile(req);
        if (chosen.empty()) return;  // cancelled: the box keeps its text
        (index == 0 ? txtDatabasePath : txtWKGPDatabasePath)->setText(qs(chosen));
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "cmdOpen_Click");
    }
}

void frmDatabaseConnection::cmdXMLOpen_Click() {
    try {
        ui::FileRequest req;
        req.filter = "XML Files | *.xml";
        req.initialPath = ReportsFolder;
        const std::string chosen = ui::prompter().chooseFile(req);
        if (chosen.empty()) return;
        txtXMLPath->setText(qs(chosen));
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseConnection.cmdXMLOpen_Click");
    }
}

// ---- checks ------------------------------------------------------------------------------

bool frmDatabaseConnection::VaildateDBInfo() {
    try {
        const int index = cboDBTypes->currentIndex();
        if (index == 0 || index == -1) {
            stop("Select a data source type");
            return false;
        }
        const int id = oReportEngine->CurrentDatabaseEngineId();
        if (id >= 1 && id <= 3) return ValidateSQLServerConnInfo();
        if (id >= 4 && id <= 6) return ValidateOracleConnInfo();
        if (id >= 8 && id <= 10) return ValidateAccessConnInfo();
        if (id == 11) return ValidateIBMDB2ConnInfo();
        if (id == 12) return ValidateOtherConnInfo();
        // Others by their caption.
        QString caption = cboDBTypes->currentText().toUpper();
        caption.remove(' ');
        if (caption.contains("SQLSERVER")) return ValidateSQLServerConnInfo();
        if (caption.contains("ACCESS")) return ValidateAccessConnInfo();
        if (caption.contains("IBMDB2")) return ValidateIBMDB2ConnInfo();
        if (caption.contains("ORACLE")) return ValidateOracleConnInfo();
        if (id == 13) return true;  // a structure file: checked by the step's Next
        return ValidateOtherConnInfo();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseConnection.VaildateDBInfo");
        return false;
    }
}

bool frmDatabaseConnection::ValidateSQLServerConnInfo() {
    try {
        if (cboSQLDatabaseName->currentIndex() == -1)
            cboSQLDatabaseName->setEditText(cboSQLDatabaseName->currentText().trimmed());
        if (cboSQLServerName->currentIndex() == -1)
            cboSQLServerName->setEditText(cboSQLServerName->currentText().trimmed());
        txtSQLLoginName->setText(txtSQLLoginName->text().trimmed());
        if (cboSQLServerName->currentText().isEmpty()) {
            stop("Enter a valid SQLServer name");
            return false;
        }
        if (optSQLAuthentication[1]->isChecked()) {
            if (txtSQLLoginName->text().isEmpty()) {
                stop("Enter a valid SQLServer login name");
                return false;
            }
            if (!chkSQLBlankPassword->isChecked() && txtSQLPassword->text().isEmpty()) {
                stop("Please enter SQLServer password");
                return false;
            }
        }
        if (cboSQLDatabaseName->currentText().isEmpty()) {
            stop("Please select a database name");
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseConnection.ValidateSQLServerConnInfo");
        return false;
    }
}

bool frmDatabaseConnection::ValidateOracleConnInfo() {
    try {
        txtORALoginName->setText(txtORALoginName->text().trimmed());
        txtOraServerName->setText(txtOraServerName->text().trimmed());
        if (optORAAuthentication[1]->isChecked()) {
            if (txtORALoginName->text().isEmpty()) {
                stop("Enter a valid oracle login name");
                return false;
            }
            if (!chkORABlankPassword->isChecked() && txtORAPassword->text().isEmpty()) {
                stop("Please enter oracle Server password");
                return false;
            }
        }
        return true;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseConnection.ValidateOracleConnInfo");
        return false;
    }
}

bool frmDatabaseConnection::ValidateIBMDB2ConnInfo() {
    try {
        if (txtDB2DataSourceName->text().isEmpty()) {
            stop("Enter a valid data source name");
            return false;
        }
        if (txtDB2LoginName->text().isEmpty()) {
            stop("Enter a valid user name");
            return false;
        }
        if (!chkDB2BlankPassword->isChecked() && txtDB2Password->text().isEmpty()) {
            stop("Enter the correct password");
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseConnection.ValidateIBMDB2ConnInfo");
        return false;
    }
}

bool frmDatabaseConnection::ValidateAccessConnInfo() {
    try {
        txtDatabasePath->setText(txtDatabasePath->text().trimmed());
        txtWKGPDatabasePath->setText(txtWKGPDatabasePath->text().trimmed());
        txtWKGPLoginName->setText(txtWKGPLoginName->text().trimmed());
        const std::string path = str(txtDatabasePath->text());
        if (path.empty()) {
            stop("Please select/enter a valid database path");
            return false;
        }
        if (!files::fileExists(path)) {
            stop("File does not exist, please enter a valid file name");
            return false;
        }
        // ACE files (.accdb) are read by the same readers as Jet files.
        if (files::extensionOf(path) != "mdb" && files::extensionOf(path) != "accdb") {
            stop("Invalid file format, please select a mdb file.");
            return false;
        }
        const std::string workgroup = str(txtWKGPDatabasePath->text());
        if (workgroup.empty()) return true;
        if (!files::fileExists(workgroup)) {
            stop("File does not exist, please enter a valid file name");
            return false;
        }
        if (files::extensionOf(workgroup) != "mdw") {
            stop("Invalid file format, please select a mdw file.");
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseConnection.ValidateAccessConnInfo");
        return false;
    }
}

bool frmDatabaseConnection::ValidateOtherConnInfo() {
    try {
        if (txtConnectionString->text().isEmpty()) {
            stop("Enter a valid connection string");
            return false;
        }
        // Typed text is bad input, never an unexpected error: the page says what is wrong.
        const std::string cs = str(txtConnectionString->text());
        try {
            db::parseConnectionString(cs);
        } catch (const db::Error& e) {
            stop(e.what());
            return false;
        }
        if (const std::string missing = db::missingDatabaseFile(cs); !missing.empty()) {
            stop("The database file " + missing + " does not exist.");
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseConnection.ValidateOtherConnInfo");
        return false;
    }
}

// ---- fields and options ------------------------------------------------------------------

bool frmDatabaseConnection::fStoreDBInfo() {
    try {
        if (!VaildateDBInfo()) return false;
        cReport& r = *oReportEngine;
        r.ConnectionString("");
        const int id = r.CurrentDatabaseEngineId();
        if (id >= 8 && id <= 10) {
            r.DatabasePath(str(txtDatabasePath->text().trimmed()));
            r.AccessDatabasePassword(str(txtAccessPassword->text()));
            // A login typed without a workgroup file is one for Jet's default workgroup.
            const bool workgroup = !txtWKGPDatabasePath->text().isEmpty();
            if (workgroup) r.WorkgroupDatabase(str(txtWKGPDatabasePath->text().trimmed()));
            if (workgroup || !txtWKGPLoginName->text().trimmed().isEmpty()) {
                r.UserName(str(txtWKGPLoginName->text().trimmed()));
                r.Password(str(txtWKGPPassword->text().trimmed()));
            }
            r.SortTableStructure(chkSortColumn->checkState() == Qt::Checked);
        } else if (id == 13) {
            r.DatabasePath(str(txtXMLPath->text()));
        } else if (id == 12) {
            r.ConnectionString(str(txtConnectionString->text()));
            // Named after the database of this string, never after an earlier selection.
            r.DatabaseName(db::databaseNameOf(r.ConnectionString()));
        } else if (id >= 1 && id <= 3) {
            r.DBServerName(str(cboSQLServerName->currentText().trimmed()));
            r.DatabasePath(str(cboSQLDatabaseName->currentText().trimmed()));
            r.DatabaseName(str(cboSQLDatabaseName->currentText().trimmed()));
            if (optSQLAuthentication[0]->isChecked()) {
                r.AuthenticationMode("WINDOWS");
            } else if (optSQLAuthentication[1]->isChecked()) {
                r.AuthenticationMode("SQL");
                r.UserName(str(txtSQLLoginName->text().trimmed()));
                r.Password(str(txtSQLPassword->text()));
            }
        } else if (id >= 4 && id <= 7) {
            const std::string server = str(txtOraServerName->text().trimmed());
            r.DBServerName(server);
            r.DatabasePath(server);
            r.DatabaseName(server);
            if (optORAAuthentication[0]->isChecked()) {
                r.AuthenticationMode("WINDOWS");
            } else if (optORAAuthentication[1]->isChecked()) {
                r.AuthenticationMode("ORACLE");
                r.UserName(str(txtORALoginName->text().trimmed()));
                r.Password(str(txtORAPassword->text()));
            }
        } else if (id == 11) {
            r.DBServerName(str(txtDB2DataSourceName->text().trimmed()));
            r.DatabasePath(str(txtDB2DataSourceName->text().trimmed()));
            r.DatabaseName(r.DatabasePath());
            r.AuthenticationMode("IBMDB2");
            r.UserName(str(txtDB2LoginName->text().trimmed()));
            r.Password(str(txtDB2Password->text()));
        }
        return true;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "fStoreDBInfo");
        return false;
    }
}

void frmDatabaseConnection::RetrieveDBInfo() {
    try {
        cReport& r = *oReportEngine;
        const int id = r.CurrentDatabaseEngineId();
        if (id == 12) {
            // The entry keeps the string of the current connection; the options may hold an
            // older one when the connection was loaded rather than imported in this run.
            xml::Node entry = oStructures.selectSingleNode(
                "DATABASESTRUCTURES/DATABASEGROUP[" + std::to_string(heldGroup_) + "]/DATABASECONNECTION[" +
                std::to_string(heldNumber_) + "]");
            txtConnectionString->setText(
                qs(entry && entry.hasAttribute("ConnectionString") ? entry.attribute("ConnectionString")
                                                                   : r.ConnectionString()));
        } else if (id >= 1 && id <= 3) {
            cboSQLServerName->setEditText(qs(r.DBServerName()));
            cboSQLDatabaseName->setEditText(qs(r.DatabasePath()));
        } else if (id >= 4 && id <= 7) {
            txtOraServerName->setText(qs(r.DBServerName()));
            const std::string mode = r.AuthenticationMode();
            if (mode == "WINDOWS") {
                optORAAuthentication_Click(0);
            } else if (mode == "ORACLE") {
                optORAAuthentication_Click(1);
                txtORALoginName->setText(qs(r.UserName()));
                txtORAPassword->setText(qs(r.Password()));
            }
        } else if (id == 11) {
            txtDB2DataSourceName->setText(qs(r.DatabaseName()));
            txtDB2LoginName->setText(qs(r.UserName()));
            txtDB2Password->setText(qs(r.Password()));
        } else if (id >= 8 && id <= 10) {
            txtDatabasePath->setText(qs(r.DatabasePath()));
            txtAccessPassword->setText(qs(r.AccessDatabasePassword()));
            if (!r.WorkgroupDatabase().empty()) {
                txtWKGPDatabasePath->setText(qs(r.WorkgroupDatabase()));
                txtWKGPLoginName->setText(qs(r.UserName()));
                txtWKGPPassword->setText(qs(r.Password()));
            }
        }
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseConnection.RetrieveDBInfo");
    }
}
