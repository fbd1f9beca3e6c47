#include "explorer/frmDisplayColumns.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "explorer/frmDatabaseExplorer.h"
#include "platform/fs/Paths.h"
#include "platform/text/Text.h"
#include "platform/ui/Prompter.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <exception>

namespace {
std::string settingsFile() { return files::joinPath(DataFolder, "CustomizeColumns.xml"); }
}  // namespace

frmDisplayColumns::frmDisplayColumns(frmDatabaseExplorer* owner) : QDialog(owner), owner_(owner) {
    setObjectName("frmDisplayColumns");
    setWindowTitle("Choose Columns");
    setModal(true);
    auto* intro = new QLabel("Select columns that will appear in the Report of Tables, Views, Triggers and Stored "
                             "Procedures.", this);
    intro->setWordWrap(true);
    cboObjects = new QComboBox(this);
    cboObjects->setObjectName("cboObjects");
    auto* frame = new QGroupBox("Columns Displayed in Table Structure", this);
    lstAvailableTBColumns = new QListWidget(frame);
    lstAvailableTBColumns->setObjectName("lstAvailableTBColumns");
    lstDisplayedTBColumns = new QListWidget(frame);
    lstDisplayedTBColumns->setObjectName("lstDisplayedTBColumns");
    auto button = [this](QPushButton*& b, const char* name, const char* text, QWidget* parent) {
        b = new QPushButton(text, parent);
        b->setObjectName(name);
    };
    button(cmdAddSelected, "cmdAddSelected", ">", frame);
    button(cmdAddAll, "cmdAddAll", ">>", frame);
    button(cmdRemoveSelected, "cmdRemoveSelected", "<", frame);
    button(cmdRemoveAll, "cmdRemoveAll", "<<", frame);
    button(cmdOK, "cmdOK", "OK", this);
    button(cmdCancel, "cmdCancel", "Cancel", this);
    auto* note = new QLabel("Note: If no field is selected for an object, the object itself will not be included in "
                            "the report.", this);
    note->setWordWrap(true);

    auto* grid = new QGridLayout(frame);
    grid->addWidget(new QLabel("Available columns", frame), 0, 0);
    grid->addWidget(new QLabel("Selected columns", frame), 0, 2);
    grid->addWidget(lstAvailableTBColumns, 1, 0);
    auto* arrows = new QVBoxLayout;
    for (QPushButton* b : {cmdAddSelected, cmdAddAll, cmdRemoveSelected, cmdRemoveAll}) arrows->addWidget(b);
    grid->addLayout(arrows, 1, 1);
    grid->addWidget(lstDisplayedTBColumns, 1, 2);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel("Select Object", this));
    top->addWidget(cboObjects, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(top);
    layout->addWidget(frame);
    layout->addWidget(note);
    layout->addLayout(buttons);

    connect(cboObjects, &QComboBox::currentIndexChanged, this, [this] { cboObjects_Click(); });
    connect(cmdAddSelected, &QPushButton::clicked, this, &frmDisplayColumns::cmdAddSelected_Click);
    connect(cmdAddAll, &QPushButton::clicked, this, &frmDisplayColumns::cmdAddAll_Click);
    connect(cmdRemoveSelected, &QPushButton::clicked, this, &frmDisplayColumns::cmdRemoveSelected_Click);
    connect(cmdRemoveAll, &QPushButton::clicked, this, &frmDisplayColumns::cmdRemoveAll_Click);
    connect(lstAvailableTBColumns, &QListWidget::itemDoubleClicked, this, [this] { lstAvailableTBColumns_DblClick(); });
    connect(lstDisplayedTBColumns, &QListWidget::itemDoubleClicked, this, [this] { lstDisplayedTBColumns_DblClick(); });
    connect(cmdOK, &QPushButton::clicked, this, &frmDisplayColumns::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmDisplayColumns::cmdCancel_Click);
    connect(this, &QDialog::finished, this, [this] { Form_Unload(); });
    Form_Load();
}

void frmDisplayColumns::Form_Load() {
    try {
        // A missing or unreadable file opens an empty dialog.
        if (!doc_.load(settingsFile())) doc_.clear();
        PopulateObjects();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDisplayColumns.Form_Load");
    }
}

void frmDisplayColumns::Form_Unload() { doc_.clear(); }

void frmDisplayColumns::PopulateObjects() {
    QSignalBlocker block(cboObjects);
    cboObjects->clear();
    for (const xml::Node& o : doc_.selectNodes("/DBOBJECTS/DBOBJECT"))
        cboObjects->addItem(QString::fromStdString(o.attribute("Name")));
    if (cboObjects->count() > 0) {
        cboObjects->setCurrentIndex(0);
        cboObjects_Click();
    }
}

std::string frmDisplayColumns::objectPath() const {
    return "/DBOBJECTS/DBOBJECT[@Name=" + xml::xpathLiteral(cboObjects->currentText().toStdString()) + "]";
}

void frmDisplayColumns::cboObjects_Click() {
    try {
        PopulateColumns(cboObjects->currentText().toStdString());
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDisplayColumns.cboObjects_Click");
    }
}

void frmDisplayColumns::PopulateColumns(const std::string& ObjectName) {
    lstAvailableTBColumns->clear();
    lstDisplayedTBColumns->clear();
    for (const xml::Node& c :
         doc_.selectNodes("/DBOBJECTS/DBOBJECT[@Name=" + xml::xpathLiteral(ObjectName) + "]/COLUMN")) {
        const QString name = QString::fromStdString(text::trim(c.attribute("Name")));
        if (name.isEmpty()) continue;
        (c.attribute("Displayed") == "1" ? lstDisplayedTBColumns : lstAvailableTBColumns)->addItem(name);
    }
}

void frmDisplayColumns::setAll(const char* from, const char* to) {
    for (xml::Node c : doc_.selectNodes(objectPath() + "/COLUMN[@Displayed=" + xml::xpathLiteral(from) + "]"))
        c.setAttribute("Displayed", to);
    PopulateColumns(cboObjects->currentText().toStdString());
}

void frmDisplayColumns::moveSelected(QListWidget* list, const char* to) {
    QListWidgetItem* item = list->currentItem();
    if (!item || !item->isSelected()) return;
    const std::string name = item->text().toStdString();
    // Names are matched without their surrounding blanks, as they are listed.
    for (xml::Node c : doc_.selectNodes(objectPath() + "/COLUMN"))
        if (text::trim(c.attribute("Name")) == name && c.hasAttribute("Displayed")) {
            c.setAttribute("Displayed", to);
            break;
        }
    PopulateColumns(cboObjects->currentText().toStdString());
}

void frmDisplayColumns::cmdAddSelected_Click() {
    try {
        moveSelected(lstAvailableTBColumns, "1");
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDisplayColumns.cmdAddSelected_Click");
    }
}

void frmDisplayColumns::cmdRemoveSelected_Click() {
    try {
        moveSelected(lstDisplayedTBColumns, "0");
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDisplayColumns.cmdRemoveSelected_Click");
    }
}

void frmDisplayColumns::cmdAddAll_Click() {
    try {
        setAll("0", "1");
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDisplayColumns.cmdAddAll_Click");
    }
}

void frmDisplayColumns::cmdRemoveAll_Click() {
    try {
        setAll("1", "0");
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDisplayColumns.cmdRemoveAll_Click");
    }
}

void frmDisplayColumns::cmdOK_Click() {
    try {
        if (doc_.isEmpty()) {
            close();
            return;
        }
        // The file first: a failed save changes neither the file nor the settings in use.
        if (!doc_.save(settingsFile())) {
            ui::MsgBox("You dont have permission to save the xml in the selected folder.\r\n" + settingsFile(),
                       ui::MsgButtons::OK, ui::MsgIcon::Information);
            return;
        }
        oCustomizeColumns.loadXML(doc_.xml());
        accept();
        if (owner_) owner_->PreviewHTML(SelectedNodeKey);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDisplayColumns.cmdOK_Click");
    }
}

void frmDisplayColumns::cmdCancel_Click() { reject(); }
