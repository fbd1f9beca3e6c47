#include "migration/frmStructureMigration.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "explorer/ExplorerShared.h"
#include "explorer/frmDatabaseExplorer.h"
#include "options/cReport.h"
#include "platform/db/ConnectionString.h"
#include "platform/text/Text.h"
#include "platform/ui/Prompter.h"
#include "platform/ui/WaitCursor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <exception>

namespace {

constexpr int kAddNew = -100;
constexpr int kEngineRole = Qt::UserRole;
constexpr int kGroupRole = Qt::UserRole + 1;
constexpr int kNumberRole = Qt::UserRole + 2;
constexpr int kKeyRole = Qt::UserRole + 3;
constexpr const char* kCrLf = "\r\n";

std::string connectionPath(int group, int number) { return "/" + explorer::connectionPath(group, number); }

std::string connectionStringOf(const xml::Node& entry) {
    std::string cs = entry.attribute("ConnectionString");
    if (cs.empty())
        if (xml::Node v = entry.selectSingleNode("DBOPTIONS/CONNECTIONSTRING/@Value")) cs = v.text();
    if (cs.empty()) {
        // A file read directly (Access) was never connected to: its string is made from its
        // parameters, as the options object makes one.
        db::ConnectionParameters params;
        for (const xml::Node& p : entry.selectNodes("DBOPTIONS/CONNECTIONSTRING/PARAMETERS/PARAMETER"))
            if (!p.attribute("Value").empty()) params.emplace_back(p.attribute("Name"), p.attribute("Value"));
        if (!params.empty()) cs = db::buildConnectionString(params);
    }
    return cs;
}

std::string nameOf(const xml::Node& entry) {
    xml::Node n = entry.selectSingleNode("DBOPTIONS/MOREINFO/DATABASE/@Name");
    return n ? n.text() : entry.attribute("Name");
}

QString q(const std::string& s) { return QString::fromStdString(s); }

// The generator that serves a destination engine; null when none does.
struct Destination {
    const char* code;
    bool (cMigrate::*generate)(const std::string&);
};

const Destination* destinationFor(int engine) {
    static const Destination sqlServer{"SQLSERVER", &cMigrate::GenerateSQLServerTables},
        sqlServer65{"SQLSERVER65", &cMigrate::GenerateSQLServer65Tables},
        oracle{"ORACLE", &cMigrate::GenerateOracleTables}, access{"ACCESS", &cMigrate::GenerateAccessTables},
        db2{"IBMDB2", &cMigrate::GenerateDB2Tables};
    if (engine == 1 || engine == 2) return &sqlServer;
    if (engine == 3) return &sqlServer65;
    if (engine >= 4 && engine <= 7) return &oracle;
    if (engine >= 8 && engine <= 10) return &access;
    if (engine == 11) return &db2;
    return nullptr;
}

int engineOf(const xml::Node& entry) {
    xml::Node id = entry.selectSingleNode("DBOPTIONS/MOREINFO/SERVER/@DBEngineId");
    return id ? std::atoi(id.text().c_str()) : 0;
}

// Access files are reached through the MDB Tools driver, which reads them only.
bool readOnlyDestination(int engine) { return engine >= 8 && engine <= 10; }

constexpr const char* kReadOnlyDestination =
    "The MDB Tools ODBC driver only reads Access files: none of the statements can be run on the "
    "destination here. Shown with \"Show queries before migrating\", they can be copied and run in Access.";

std::string noGeneratorMessage(int engine) {
    std::string caption;
    if (oReportEngine)
        if (xml::Node c = oReportEngine->DBEnginesXML().selectSingleNode("DBENGINES/DBENGINE[@Id='" +
                                                                         std::to_string(engine) + "']/@Caption"))
            caption = c.text();
    return "Structures cannot be migrated to a database of the engine \"" + caption + "\".";
}

template <typename F>
void guarded(const char* procedure, F&& body) {
    try {
        body();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), std::string("frmStructureMigration.") + procedure);
    }
}

QLabel* heading(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    QFont f = l->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.4);
    l->setFont(f);
    return l;
}

}  // namespace

frmStructureMigration::frmStructureMigration(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmStructureMigration"));
    setWindowTitle(QStringLiteral("Migrate Database Structure"));
    setModal(true);
    buildPages();
}

frmStructureMigration::~frmStructureMigration() = default;

void frmStructureMigration::buildPages() {
    auto* outer = new QVBoxLayout(this);
    static const char* titles[6][2] = {
        {"", ""},
        {"Choose the destination database",
         "To where do you want to migrate the tables and indexes? Choose from one of the destinations."},
        {"Select the objects you want to migrate.", "You can choose one or more database objects to migrated."},
        {"Queries - Edit or Execute",
         "Queries that will be exectued in the target database are displayed below. Check, change if need and "
         "execute."},
        {"Migrating database objects", "Migrating selected database objects."},
        {"", ""}};
    std::array<QVBoxLayout*, 6> body{};
    for (int i = 0; i < 6; ++i) {
        fraStep[i] = new QFrame(this);
        auto* v = new QVBoxLayout(fraStep[i]);
        pctTitle[i] = new QFrame(fraStep[i]);
        pctTitle[i]->setFrameShape(QFrame::StyledPanel);
        auto* tv = new QVBoxLayout(pctTitle[i]);
        lblTitle[i] = new QLabel(titles[i][0], pctTitle[i]);
        QFont f = lblTitle[i]->font();
        f.setBold(true);
        lblTitle[i]->setFont(f);
        lblSubTitle[i] = new QLabel(titles[i][1], pctTitle[i]);
        lblSubTitle[i]->setWordWrap(true);
        tv->addWidget(lblTitle[i]);
        tv->addWidget(lblSubTitle[i]);
        v->addWidget(pctTitle[i]);
        body[i] = v;
        outer->addWidget(fraStep[i], 1);
    }

    // 0: introduction
    body[0]->addWidget(heading(QStringLiteral("Dalvane Migration Wizard"), fraStep[0]));
    auto* intro = new QLabel(QStringLiteral(
        "The database objects migration wizard allows you to migrate tables and indexes from one database engine to "
        "another. The wizard guides you through the steps to migrate database objects."), fraStep[0]);
    intro->setWordWrap(true);
    body[0]->addWidget(intro);
    auto* disclaimer = new QLabel(QStringLiteral(
        "Dalvane is primarily a database structure documentation product. Because database engines differ, the "
        "migration might not work as expected with some combinations of database and engine. Check the destination "
        "database by hand after the migration."), fraStep[0]);
    disclaimer->setWordWrap(true);
    disclaimer->setFrameShape(QFrame::Box);
    body[0]->addWidget(disclaimer);
    body[0]->addStretch();

    // 1: connections
    auto* srcLabel = new QLabel(QStringLiteral("&Source Database"), fraStep[1]);
    cboSourceConn = new QComboBox(fraStep[1]);
    cboSrcConnStrs = new QComboBox(fraStep[1]);
    cboSrcConnStrs->hide();
    cboSourceConn->setProperty("Tag", QStringLiteral("cboSrcConnStrs"));
    srcLabel->setBuddy(cboSourceConn);
    lblSourceDatabase = new QLabel(fraStep[1]);
    auto* dstLabel = new QLabel(QStringLiteral("&Destination Database"), fraStep[1]);
    cboDestinationConn = new QComboBox(fraStep[1]);
    cboDstConnStrs = new QComboBox(fraStep[1]);
    cboDstConnStrs->hide();
    cboDestinationConn->setProperty("Tag", QStringLiteral("cboDstConnStrs"));
    dstLabel->setBuddy(cboDestinationConn);
    chkShowQuery = new QCheckBox(QStringLiteral("&Show queries before migrating"), fraStep[1]);
    for (QWidget* w : {static_cast<QWidget*>(srcLabel), static_cast<QWidget*>(cboSourceConn),
                       static_cast<QWidget*>(lblSourceDatabase), static_cast<QWidget*>(dstLabel),
                       static_cast<QWidget*>(cboDestinationConn), static_cast<QWidget*>(chkShowQuery)})
        body[1]->addWidget(w);
    body[1]->addStretch();
    connect(cboSourceConn, qOverload<int>(&QComboBox::activated), this, [this](int) { cboSourceConn_Click(); });
    connect(cboDestinationConn, qOverload<int>(&QComboBox::activated), this,
            [this](int) { cboDestinationConn_Click(); });
    connect(chkShowQuery, &QCheckBox::clicked, this, [this] { chkShowQuery_Click(); });

    // 2: objects
    stTables = new QTreeWidget(fraStep[2]);
    stTables->setHeaderHidden(true);
    body[2]->addWidget(stTables);
    connect(stTables, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) { stTables_NodeCheck(item); });

    // 3: statements
    lblDestinationNote = new QLabel(fraStep[3]);
    lblDestinationNote->setWordWrap(true);
    lblDestinationNote->hide();
    txtPlan = new QPlainTextEdit(fraStep[3]);
    txtPlan->setReadOnly(true);
    txtPlan->setMaximumHeight(110);
    txtPlan->hide();
    txtQueries = new QPlainTextEdit(fraStep[3]);
    txtQueries->setLineWrapMode(QPlainTextEdit::NoWrap);
    body[3]->addWidget(lblDestinationNote);
    body[3]->addWidget(txtPlan);
    body[3]->addWidget(txtQueries);

    // 4: progress
    pctProgress = new QFrame(fraStep[4]);
    pctProgress->setFrameShape(QFrame::Panel);
    pctProgress->setFixedHeight(24);
    shpProgress = new QFrame(pctProgress);
    shpProgress->setStyleSheet(QStringLiteral("background: palette(highlight)"));
    shpProgress->setGeometry(0, 0, 0, 24);
    lblStatus = new QLabel(fraStep[4]);
    body[4]->addWidget(pctProgress);
    body[4]->addWidget(lblStatus);
    body[4]->addStretch();

    // 5: result
    body[5]->addWidget(heading(QStringLiteral("Dalvane database migration completed"), fraStep[5]));
    lblResultDescription = new QLabel(fraStep[5]);
    lblResultDescription->setWordWrap(true);
    txtSummary = new QPlainTextEdit(fraStep[5]);
    txtSummary->setReadOnly(true);
    body[5]->addWidget(lblResultDescription);
    body[5]->addWidget(txtSummary);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    const char* captions[4] = {"&Cancel", "< &Back", "&Next >", "&Finish"};
    for (int i = 0; i < 4; ++i) {
        cmdNavigate[i] = new QPushButton(QString::fromUtf8(captions[i]), this);
        connect(cmdNavigate[i], &QPushButton::clicked, this, [this, i] { cmdNavigate_Click(i); });
    }
    for (int i : {1, 2, 3, 0}) buttons->addWidget(cmdNavigate[i]);
    outer->addLayout(buttons);
    resize(620, 460);
}

void frmStructureMigration::Form_Load() {
    guarded("Form_Load", [&] {
        step = 0;
        const int g = oReportEngine ? oReportEngine->CurrentDatabaseGroup() : 0;
        const int n = oReportEngine ? oReportEngine->CurrentDatabaseNumber() : 0;
        xml::Node entry = oStructures.selectSingleNode(connectionPath(g, n));
        if (entry) {
            SourceConnectionString = connectionStringOf(entry);
            FillConnections(cboSourceConn, cboSrcConnStrs, "", g, n);
            cboSourceConn->hide();
            lblSourceDatabase->setText(q(nameOf(entry)));
            lblSourceDatabase->show();
            cboSourceConn_Click();
        } else {
            FillConnections(cboSourceConn, cboSrcConnStrs, "", 0, 0);
            cboSourceConn->setEnabled(true);
            cboSourceConn->show();
            lblSourceDatabase->hide();
        }
        chkShowQuery->setChecked(true);
        ShowStep();
        SetButtons();
    });
}

void frmStructureMigration::FillConnections(QComboBox* list, QComboBox* companion, const std::string& excluded,
                                            int selectGroup, int selectNumber) {
    list->clear();
    companion->clear();
    list->addItem(QStringLiteral("Add New Connection"), kAddNew);
    companion->addItem(QString());
    int selected = -1;
    int g = 0;
    for (const xml::Node& group : oStructures.selectNodes("/DATABASESTRUCTURES/DATABASEGROUP")) {
        ++g;
        int n = 0;
        for (const xml::Node& entry : group.selectNodes("DATABASECONNECTION")) {
            ++n;
            const std::string cs = connectionStringOf(entry);
            if (!excluded.empty() && cs == excluded) continue;
            const int engine = engineOf(entry);
            if (list == cboDestinationConn && !destinationFor(engine)) continue;
            list->addItem(q(nameOf(entry)), engine);
            const int at = list->count() - 1;
            list->setItemData(at, g, kGroupRole);
            list->setItemData(at, n, kNumberRole);
            companion->addItem(q(cs));
            if (g == selectGroup && n == selectNumber) selected = at;
        }
    }
    list->setCurrentIndex(selected);
    companion->setCurrentIndex(selected);
}

void frmStructureMigration::showConnectionWizard() {
    if (!frmDatabaseExplorer::ConnectionWizard) {
        ui::MsgBox("The connection wizard is not available yet.", ui::MsgButtons::OK, ui::MsgIcon::Information);
        return;
    }
    QWidget* owner = frmDatabaseExplorer::instance() ? static_cast<QWidget*>(frmDatabaseExplorer::instance())
                                                     : static_cast<QWidget*>(this);
    frmDatabaseExplorer::ConnectionWizard(owner, "NEW");
}

void frmStructureMigration::cboSourceConn_Click() {
    guarded("cboSourceConn_Click", [&] {
        const int at = cboSourceConn->currentIndex();
        if (at < 0 || cboSourceConn->currentText().isEmpty()) return;
        if (cboSourceConn->itemData(at, kEngineRole).toInt() == kAddNew) {
            setEnabled(false);
            showConnectionWizard();
            FillConnections(cboSourceConn, cboSrcConnStrs, "", oReportEngine->CurrentDatabaseGroup(),
                            oReportEngine->CurrentDatabaseNumber());
            setEnabled(true);
        }
        const int now = cboSourceConn->currentIndex();
        SourceConnectionString = now >= 0 ? cboSrcConnStrs->itemText(now).toStdString() : std::string();
        if (now > 0) LoadSourceStructure();
        FillConnections(cboDestinationConn, cboDstConnStrs, SourceConnectionString, 0, 0);
        DestinationConnectionString.clear();
    });
}

bool frmStructureMigration::LoadSourceStructure() {
    const int at = cboSourceConn->currentIndex();
    const int g = cboSourceConn->itemData(at, kGroupRole).toInt();
    const int n = cboSourceConn->itemData(at, kNumberRole).toInt();
    xml::Node entry = oStructures.selectSingleNode(connectionPath(g, n));
    if (!entry || !oReportEngine) return false;
    if (xml::Node opts = entry.selectSingleNode("DBOPTIONS"))
        if (!oReportEngine->LoadDBOptionsXML(opts.xml())) return false;
    oReportEngine->ConnectionString(connectionStringOf(entry));
    oReportEngine->CurrentDatabaseGroup(g);
    oReportEngine->CurrentDatabaseNumber(n);
    const std::string temp = entry.attribute("TempXMLFileName");
    if (temp.empty() || !oReportEngine->LoadCurrentDBXML(temp)) {
        oReportEngine->oResultXML.reset();
        ui::MsgBox("Database is not connected, please connect and try again", ui::MsgButtons::OK,
                   ui::MsgIcon::Critical, ui::kDefaultTitle);
        return false;
    }
    return true;
}

void frmStructureMigration::cboDestinationConn_Click() {
    guarded("cboDestinationConn_Click", [&] {
        if (DestinationGuard == kAddNew) {
            DestinationGuard = 0;
            return;
        }
        const int at = cboDestinationConn->currentIndex();
        if (at < 0) return;
        DestinationGuard = cboDestinationConn->itemData(at, kEngineRole).toInt();
        if (DestinationGuard == kAddNew) {
            DestinationGuard = 0;
            const int g = oReportEngine->CurrentDatabaseGroup(), n = oReportEngine->CurrentDatabaseNumber();
            showConnectionWizard();
            const int addedGroup = oReportEngine->CurrentDatabaseGroup(),
                      addedNumber = oReportEngine->CurrentDatabaseNumber();
            FillConnections(cboDestinationConn, cboDstConnStrs, SourceConnectionString, addedGroup, addedNumber);
            // A new connection that no generator serves is not listed: say why.
            if (xml::Node added = oStructures.selectSingleNode(connectionPath(addedGroup, addedNumber)))
                if (connectionStringOf(added) != SourceConnectionString && !destinationFor(engineOf(added)))
                    ui::MsgBox(noGeneratorMessage(engineOf(added)), ui::MsgButtons::OK, ui::MsgIcon::Exclamation,
                               ui::kDefaultTitle);
            oReportEngine->CurrentDatabaseGroup(g);
            oReportEngine->CurrentDatabaseNumber(n);
            if (frmDatabaseExplorer* w = frmDatabaseExplorer::instance()) w->LoadCurrentDB();
        }
        const int now = cboDestinationConn->currentIndex();
        DestinationConnectionString = now > 0 ? cboDstConnStrs->itemText(now).toStdString() : std::string();
    });
}

void frmStructureMigration::chkShowQuery_Click() {
    guarded("chkShowQuery_Click", [&] { SetButtons(); });
}

void frmStructureMigration::FillTree() {
    fillingTree_ = true;
    stTables->clear();
    std::shared_ptr<xml::Document> doc = oReportEngine ? oReportEngine->oResultXML : nullptr;
    if (doc && !doc->isEmpty()) {
        // Images as the project document gives them for the current connection's nodes.
        const std::string connection =
            connectionPath(oReportEngine->CurrentDatabaseGroup(), oReportEngine->CurrentDatabaseNumber());
        auto image = [&connection](QTreeWidgetItem* item, const std::string& path) {
            if (xml::Node e = oStructures.selectSingleNode(connection + path))
                if (!e.attribute("TreeImage").empty()) item->setIcon(0, explorer::treeIcon(q(e.attribute("TreeImage"))));
        };
        auto node = [](QTreeWidgetItem* parent, const std::string& key, const std::string& text) {
            auto* item = new QTreeWidgetItem(parent);
            item->setText(0, q(text));
            item->setData(0, kKeyRole, q(key));
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(0, Qt::Checked);
            return item;
        };
        xml::Node database = doc->documentElement();
        std::string title = database.attribute("Name");
        if (title.empty()) title = database.attribute("DatabaseName");
        if (title.empty()) title = cboSourceConn->currentText().toStdString();
        auto* root = new QTreeWidgetItem(stTables);
        root->setText(0, q(title));
        root->setData(0, kKeyRole, QStringLiteral("DATABASE"));
        root->setFlags(root->flags() | Qt::ItemIsUserCheckable);
        root->setCheckState(0, Qt::Checked);
        image(root, "");
        int i = 0;
        for (const xml::Node& table : database.selectNodes("TABLE")) {
            const std::string at = "[" + std::to_string(++i) + "]";
            QTreeWidgetItem* t = node(root, "DATABASE/TABLE" + at, table.attribute("Name"));
            image(t, "/TABLES/TABLE" + at);
            int j = 0;
            for (const xml::Node& index : table.selectNodes("INDEX")) {
                const std::string ix = "[" + std::to_string(++j) + "]";
                image(node(t, "DATABASE/TABLE" + at + "/INDEX" + ix, index.attribute("Name")),
                      "/TABLES/TABLE" + at + "/INDEXES/INDEX" + ix);
            }
            j = 0;
            for (const xml::Node& fk : table.selectNodes("FOREIGNKEY")) {
                std::string text = fk.attribute("Name");
                if (text.empty()) text = fk.attribute("Foreign_Key_Table") + " \u2192 " + fk.attribute("Primary_Key_Table");
                const std::string k = "[" + std::to_string(++j) + "]";
                image(node(t, "DATABASE/TABLE" + at + "/FOREIGNKEY" + k, text),
                      "/TABLES/TABLE" + at + "/FOREIGNKEYS/FOREIGNKEY" + k);
            }
        }
        root->setExpanded(true);
    }
    fillingTree_ = false;
}

void frmStructureMigration::stTables_NodeCheck(QTreeWidgetItem* item) {
    if (fillingTree_ || !item) return;
    guarded("stTables_NodeClick", [&] {
        fillingTree_ = true;
        const Qt::CheckState state = item->checkState(0);
        std::vector<QTreeWidgetItem*> pending{item};
        while (!pending.empty()) {
            QTreeWidgetItem* at = pending.back();
            pending.pop_back();
            for (int c = 0; c < at->childCount(); ++c) {
                at->child(c)->setCheckState(0, state);
                pending.push_back(at->child(c));
            }
        }
        fillingTree_ = false;
    });
}

void frmStructureMigration::WriteMigrateFlags() {
    std::shared_ptr<xml::Document> doc = oReportEngine ? oReportEngine->oResultXML : nullptr;
    if (!doc) return;
    std::vector<QTreeWidgetItem*> pending;
    for (int i = 0; i < stTables->topLevelItemCount(); ++i) pending.push_back(stTables->topLevelItem(i));
    while (!pending.empty()) {
        QTreeWidgetItem* item = pending.back();
        pending.pop_back();
        for (int c = 0; c < item->childCount(); ++c) pending.push_back(item->child(c));
        const std::string key = item->data(0, kKeyRole).toString().toStdString();
        if (key == "DATABASE") continue;
        if (xml::Node element = doc->selectSingleNode("/" + key))
            element.setAttribute("Migrate", item->checkState(0) == Qt::Checked ? "1" : "0");
    }
}

void frmStructureMigration::RunMigration() {
    ui::WaitCursor wait;
    ErrorLog.clear();
    DestinationNote.clear();
    CreatedObjects.clear();
    ChangeLog.clear();
    shpProgress->setFixedWidth(0);
    oDalvMigrate = std::make_unique<cMigrate>();
    ShownQueries.clear();
    oDalvMigrate->WhileMigrating = [this](const std::string& n, const std::string& t, const std::string& s) {
        WhileMigrating(n, t, s);
    };
    oDalvMigrate->MigrationError = [this](long no, const std::string& d, const std::string& n, const std::string& q) {
        MigrationError(no, d, n, q);
    };
    oDalvMigrate->MigrationDataTypeError = [this](const std::string& d, const std::string& s, const std::string& t,
                                                  const std::string& type) { MigrationDataTypeError(d, s, t, type); };
    oDalvMigrate->MigrationChange = [this](const std::string& n, const std::string& d) { MigrationChange(n, d); };

    std::shared_ptr<xml::Document> doc = oReportEngine ? oReportEngine->oResultXML : nullptr;
    if (!doc || doc->isEmpty()) {
        MigrationError(0, "The structure of the source database is not loaded.",
                       cboSourceConn->currentText().toStdString(), "");
        txtQueries->clear();
        return;
    }
    WriteMigrateFlags();
    cMigrate& m = *oDalvMigrate;
    m.SetConnectionString(DestinationConnectionString);
    m.SetDBXMLContent(doc->xml());
    const int engine = cboDestinationConn->currentData(kEngineRole).toInt();
    // A destination that cannot be written gets its script only, and one word why.
    readOnly_ = readOnlyDestination(engine);
    m.ExecuteImmediately(!chkShowQuery->isChecked() && !readOnly_);
    if (const Destination* d = destinationFor(engine)) {
        m.SetTargetDBType(d->code);
        generatingScript_ = chkShowQuery->isChecked() || readOnly_;
        (m.*d->generate)(oReportEngine->CurrentMigrationCode());
        generatingScript_ = false;
        if (readOnly_) {
            if (chkShowQuery->isChecked())
                DestinationNote = kReadOnlyDestination;
            else
                appendLog(kReadOnlyDestination);
        }
    } else {
        MigrationError(0, noGeneratorMessage(engine), cboDestinationConn->currentText().toStdString(), "");
    }
    txtQueries->setPlainText(q(m.AllQueries()));
    ShownQueries = txtQueries->toPlainText().toStdString();
    lblDestinationNote->setText(q(DestinationNote));
    lblDestinationNote->setVisible(!DestinationNote.empty());
    // What the engine decided before running anything, shown with the statements.
    std::string plan = ErrorLog;
    if (const std::string changes = Changes(); !changes.empty())
        plan += (plan.empty() ? "" : std::string(kCrLf) + kCrLf) + changes;
    txtPlan->setPlainText(q(plan));
    txtPlan->setVisible(!plan.empty());
    shpProgress->setFixedWidth(pctProgress->width());
}

void frmStructureMigration::WhileMigrating(const std::string& name, const std::string& type,
                                           const std::string& status) {
    (void)type;
    lblStatus->setText(q(name + " is " + status));
    shpProgress->setFixedWidth(std::min(shpProgress->width() + 60, pctProgress->width()));
    if (status == "Migrated") CreatedObjects += (CreatedObjects.empty() ? "" : ",") + name;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void frmStructureMigration::appendLog(const std::string& entry) {
    if (!ErrorLog.empty()) ErrorLog += kCrLf;
    ErrorLog += entry;
}

void frmStructureMigration::MigrationError(long number, const std::string& description, const std::string& name,
                                           const std::string& query) {
    (void)number;
    // Writing the script does not need the destination: its failure is noted on the script's
    // page, and running the script reports it again if it still fails.
    if (generatingScript_ && name == "Connection" && query == db::withoutPasswords(DestinationConnectionString)) {
        DestinationNote = "The destination database was not reached, so the script below has not been run "
                          "or checked against it. " + description;
        return;
    }
    std::string kept;
    std::size_t start = 0;
    while (start <= CreatedObjects.size() && !CreatedObjects.empty()) {
        std::size_t comma = CreatedObjects.find(',', start);
        if (comma == std::string::npos) comma = CreatedObjects.size();
        const std::string item = CreatedObjects.substr(start, comma - start);
        if (item != name) kept += (kept.empty() ? "" : ",") + item;
        start = comma + 1;
    }
    CreatedObjects = kept;
    appendLog(name + " failed to copy" + kCrLf + "Error Description: " + description + kCrLf + "Query Failed: " + query);
}

void frmStructureMigration::MigrationDataTypeError(const std::string& description, const std::string& source,
                                                   const std::string& target, const std::string& type) {
    // The column whose type has no counterpart, named in the summary.
    const std::string column = oDalvMigrate ? oDalvMigrate->CurrentColumn() : std::string();
    appendLog(column + " failed to copy" + kCrLf + "Error Description: " + description + kCrLf +
              "Source Database: " + source + kCrLf + "Target Database: " + target + kCrLf + "Source Datatype: " + type);
}

void frmStructureMigration::MigrationChange(const std::string& name, const std::string& description) {
    ChangeLog += (ChangeLog.empty() ? "" : kCrLf) + name + ": " + description;
}

std::string frmStructureMigration::Changes() const {
    if (ChangeLog.empty()) return {};
    return "Changed so that " + cboDestinationConn->currentText().toStdString() + " takes it:" + kCrLf + ChangeLog;
}

std::string frmStructureMigration::Summary() {
    const int migrated = oDalvMigrate && !readOnly_ ? oDalvMigrate->ObjectsMigrated() : 0;
    if (ErrorLog.empty())
        lblResultDescription->setText(QStringLiteral("Database objects selected have been migrated successfully."));
    else if (migrated > 0)
        lblResultDescription->setText(QStringLiteral("Database objects transferred with errors."));
    else
        lblResultDescription->setText(QStringLiteral("None of batabase objects were migrated."));
    std::string out;
    if (!text::trim(CreatedObjects).empty())
        out = CreatedObjects + " have been created in " + cboDestinationConn->currentText().toStdString() + kCrLf + kCrLf;
    out += ErrorLog;
    if (const std::string changes = Changes(); !changes.empty())
        out += (ErrorLog.empty() ? "" : std::string(kCrLf) + kCrLf) + changes;
    return out;
}

void frmStructureMigration::ShowStep() {
    for (int i = 0; i < 6; ++i) {
        fraStep[i]->setVisible(i == step);
        pctTitle[i]->setVisible(i > 0 && i < 5);
    }
}

void frmStructureMigration::SetButtons() {
    const bool last = step == 5;
    cmdNavigate[0]->setEnabled(!last);
    cmdNavigate[1]->setEnabled(step > 0 && !last);
    cmdNavigate[2]->setEnabled(!last);
    cmdNavigate[3]->setEnabled(last);
    const int runsFrom = chkShowQuery->isChecked() ? 3 : 2;
    cmdNavigate[2]->setText(step == runsFrom ? QStringLiteral("Migrate") : QStringLiteral("&Next >"));
}

void frmStructureMigration::cmdNavigate_Click(int index) {
    guarded("cmdNavigate_Click", [&] {
        const bool showQueries = chkShowQuery->isChecked();
        if (index == 0) {
            reject();
            return;
        }
        if (index == 3) {
            oDalvMigrate.reset();
            accept();
            return;
        }
        if (index == 1) {
            if (step == 4 && !showQueries) --step;
            if (step > 0) --step;
            ShowStep();
            SetButtons();
            return;
        }
        if (step == 1) {
            if (cboSourceConn->currentIndex() <= 0) {
                ui::MsgBox("Select a source database name.", ui::MsgButtons::OK, ui::MsgIcon::Critical,
                           ui::kDefaultTitle);
                return;
            }
            if (cboDestinationConn->currentIndex() <= 0) {
                ui::MsgBox("Select a destination database name.", ui::MsgButtons::OK, ui::MsgIcon::Critical,
                           ui::kDefaultTitle);
                return;
            }
        }
        if (step == 2 && !showQueries) ++step;
        if (step >= 5) return;
        ++step;
        ShowStep();
        if (step == 2) {
            SourceConnectionString = cboSrcConnStrs->itemText(cboSourceConn->currentIndex()).toStdString();
            DestinationConnectionString = cboDstConnStrs->itemText(cboDestinationConn->currentIndex()).toStdString();
            FillTree();
        } else if (step == 3) {
            RunMigration();
        } else if (step == 4) {
            if (showQueries) {
                ui::WaitCursor wait;
                if (!oDalvMigrate) RunMigration();
                // Unless edited, the script runs as generated: names keep their carriage returns.
                const std::string shown = txtQueries->toPlainText().toStdString();
                if (readOnly_)
                    appendLog(kReadOnlyDestination);
                else
                    oDalvMigrate->ExecuteAll(shown == ShownQueries ? oDalvMigrate->AllQueries() : shown);
            } else {
                RunMigration();
            }
            SetButtons();
            cmdNavigate_Click(2);
            return;
        } else if (step == 5) {
            txtSummary->setPlainText(q(Summary()));
        }
        SetButtons();
    });
}

void ShowMigrationWizard(QWidget* owner) {
    frmStructureMigration w(owner);
    w.Form_Load();
    w.exec();
}

void InstallMigrationWizard() { frmDatabaseExplorer::MigrationWizard = &ShowMigrationWizard; }
