// Properties dialog of the current connection.
#include "import/frmProperties.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "core/bVersion.h"
#include "options/cReport.h"
#include "platform/db/ConnectionString.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <exception>

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

std::string lowerCase(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

QLabel* value(QWidget* parent, const char* name, const char* text = "") {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

// End of a value that starts at pos: a {...} value ("}}" inside stands for "}"), a quoted value
// (a doubled quote inside stands for the quote) or plain text up to ';'. Unterminated quoting
// runs to the end, so nothing of a quoted value leaks out.
std::size_t valueEnd(const std::string& s, std::size_t pos) {
    while (pos < s.size() && s[pos] == ' ') ++pos;
    if (pos < s.size() && (s[pos] == '{' || s[pos] == '"' || s[pos] == '\'')) {
        const char close = s[pos] == '{' ? '}' : s[pos];
        for (std::size_t i = pos + 1; i < s.size(); ++i) {
            if (s[i] != close) continue;
            if (i + 1 < s.size() && s[i + 1] == close) {
                ++i;
                continue;
            }
            return i + 1;
        }
        return s.size();
    }
    const std::size_t semi = s.find(';', pos);
    return semi == std::string::npos ? s.size() : semi;
}

}  // namespace

std::string frmProperties::MaskPasswords(const std::string& s) {
    std::string out;
    std::size_t pos = 0;
    while (pos < s.size()) {
        const std::size_t eq = s.find('=', pos);
        const std::size_t semi = s.find(';', pos);
        std::size_t end;
        std::string key;
        if (eq == std::string::npos || (semi != std::string::npos && semi < eq)) {
            end = semi == std::string::npos ? s.size() : semi;  // an entry without a value
            key = s.substr(pos, end - pos);
        } else {
            key = s.substr(pos, eq - pos);
            end = valueEnd(s, eq + 1);
            // Anything after a closing quote up to the next ';' belongs to this entry.
            if (end < s.size() && s[end] != ';') {
                const std::size_t next = s.find(';', end);
                end = next == std::string::npos ? s.size() : next;
            }
        }
        const std::string lk = lowerCase(key);
        std::size_t at = lk.find("password");
        if (at == std::string::npos) at = lk.find("pwd");
        if (at != std::string::npos) out += key.substr(0, at) + "Password=******";
        else if (db::isSecretKeyword(key)) out += key + "=******";
        else out += s.substr(pos, end - pos);
        if (end < s.size()) out += ';';  // the separator
        pos = end + 1;
    }
    return out;
}

frmProperties::frmProperties(QWidget* parent) : QDialog(parent) {
    setObjectName("frmProperties");
    auto* outer = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    pctDatabase = new QLabel(this);
    pctDatabase->setObjectName("pctDatabase");
    pctDatabase->setPixmap(QPixmap(qs(ImagesFolder + "/tree_databaseconnection_open.svg")).scaled(48, 48));
    top->addWidget(pctDatabase, 0, Qt::AlignTop);

    fraHeadline1 = new QGroupBox("Database", this);
    auto* h = new QFormLayout(fraHeadline1);
    lblDatabaseNameValue = value(fraHeadline1, "lblDatabaseNameValue");
    lblServerNameValue = value(fraHeadline1, "lblServerNameValue");
    lblServerTypeValue = value(fraHeadline1, "lblServerTypeValue");
    h->addRow("Name:", lblDatabaseNameValue);
    h->addRow("Server Name:", lblServerNameValue);
    h->addRow("Database Engine:", lblServerTypeValue);
    top->addWidget(fraHeadline1, 1);
    outer->addLayout(top);

    fraConnectionString = new QGroupBox("Connection String", this);
    auto* c = new QVBoxLayout(fraConnectionString);
    txtConnectionString = new QLineEdit(fraConnectionString);
    txtConnectionString->setObjectName("txtConnectionString");
    txtConnectionString->setReadOnly(true);
    c->addWidget(txtConnectionString);
    outer->addWidget(fraConnectionString);

    auto* grid = new QGridLayout;
    fraAdditionalInfo = new QGroupBox("Server Info", this);
    auto* a = new QFormLayout(fraAdditionalInfo);
    lblLangValue = value(fraAdditionalInfo, "lblLangValue", "N/A");
    lblMaxConnValue = value(fraAdditionalInfo, "lblMaxConnValue", "N/A");
    lblMaxPrecision = value(fraAdditionalInfo, "lblMaxPrecision", "N/A");
    lblTimeOutValue = value(fraAdditionalInfo, "lblTimeOutValue", "N/A");
    a->addRow("Language:", lblLangValue);
    a->addRow("Max. Connections:", lblMaxConnValue);
    a->addRow("Max. Precision: ", lblMaxPrecision);
    a->addRow("Lock timeout:", lblTimeOutValue);
    fraAdditionalInfo->hide();
    grid->addWidget(fraAdditionalInfo, 0, 0);

    fraSummary = new QGroupBox("Summary", this);
    auto* s = new QFormLayout(fraSummary);
    lblTablesCount = value(fraSummary, "lblTablesCount");
    lblIndexesCount = value(fraSummary, "lblIndexesCount");
    lblTriggersCount = value(fraSummary, "lblTriggersCount");
    lblViewsCount = value(fraSummary, "lblViewsCount");
    lblStoredProceduresCount = value(fraSummary, "lblStoredProceduresCount");
    s->addRow("Tables:", lblTablesCount);
    s->addRow("Indexes:", lblIndexesCount);
    s->addRow("Triggers:", lblTriggersCount);
    s->addRow("Views:", lblViewsCount);
    s->addRow("Stored Procedures:", lblStoredProceduresCount);
    grid->addWidget(fraSummary, 0, 1);

    fraReport = new QGroupBox("Report", this);
    auto* r = new QFormLayout(fraReport);
    lblCreatedOnValue = value(fraReport, "lblCreatedOnValue");
    lblCreatedByValue = value(fraReport, "lblCreatedByValue");
    r->addRow("Created On:", lblCreatedOnValue);
    r->addRow("Created By:", lblCreatedByValue);
    grid->addWidget(fraReport, 1, 0, 1, 2);
    outer->addLayout(grid);

    btnClose = new QPushButton("&Close", this);
    btnClose->setObjectName("btnClose");
    outer->addWidget(btnClose, 0, Qt::AlignRight);
    connect(btnClose, &QPushButton::clicked, this, [this] { btnClose_Click(); });
}

void frmProperties::Form_Load() {
    try {
        setWindowTitle(qs(MainCaption()));
        PopulateDBProperties();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmProperties.Form_Load");
    }
}

void frmProperties::PopulateDBProperties() {
    try {
        fraAdditionalInfo->setVisible(true);
        if (!oReportEngine) return;
        cReport& rep = *oReportEngine;
        const std::string path = "DATABASESTRUCTURES/DATABASEGROUP[" + std::to_string(rep.CurrentDatabaseGroup()) +
                                 "]/DATABASECONNECTION[" + std::to_string(rep.CurrentDatabaseNumber()) + "]";
        xml::Node entry = oStructures.selectSingleNode(path);
        if (!entry) return;

        lblTablesCount->setText(QString::number(entry.count("TABLES/TABLE")));
        lblIndexesCount->setText(QString::number(entry.count("TABLES/TABLE/INDEXES/INDEX")));
        lblTriggersCount->setText(QString::number(entry.count("TABLES/TABLE/TRIGGERS/TRIGGER")));
        lblViewsCount->setText(QString::number(entry.count("VIEWS/VIEW")));
        lblStoredProceduresCount->setText(QString::number(entry.count("STOREDPROCEDURES/STOREDPROCEDURE")));

        const bool hasString = entry.hasAttribute("ConnectionString");
        const std::string raw = hasString ? entry.attribute("ConnectionString") : std::string();
        const std::string shown = hasString ? MaskPasswords(raw) : "Not Defined";
        if (rep.DatabaseName().empty() && rep.DBServerName().empty() && !raw.empty()) rep.ConnectionString(raw);

        auto orNotDefined = [](const std::string& v) { return qs(v.empty() ? "Not Defined" : v); };
        auto attrOr = [&entry](const char* name, const char* missing) {
            return qs(entry.hasAttribute(name) ? entry.attribute(name) : missing);
        };
        lblDatabaseNameValue->setText(orNotDefined(rep.DatabaseName()));
        lblServerNameValue->setText(orNotDefined(rep.DBServerName()));
        txtConnectionString->setText(qs(shown));
        lblServerTypeValue->setText(attrOr("ServerType", "Not Defined"));
        lblCreatedOnValue->setText(attrOr("CreatedOn", "Not Defined"));
        lblCreatedByValue->setText(attrOr("CreatedBy", "Not Defined"));

        if (rep.oResultXML) {
            if (xml::Node db = rep.oResultXML->selectSingleNode("DATABASE")) {
                auto fact = [&db](const char* name) { return qs(db.hasAttribute(name) ? db.attribute(name) : "N/A"); };
                lblLangValue->setText(fact("Language"));
                lblMaxConnValue->setText(fact("Max_Connections"));
                lblMaxPrecision->setText(fact("Max_Precision"));
                lblTimeOutValue->setText(fact("Lock_Timeout"));
            }
        }
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmProperties.PopulateDBProperties");
    }
}

void frmProperties::btnClose_Click() {
    try {
        close();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmProperties.btnClose_Click");
    }
}

void ShowConnectionProperties(QWidget* owner) {
    frmProperties dialog(owner);
    dialog.Form_Load();
    dialog.exec();
}
