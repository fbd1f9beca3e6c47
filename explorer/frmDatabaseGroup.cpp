#include "explorer/frmDatabaseGroup.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "explorer/frmDatabaseExplorer.h"
#include "platform/ui/Prompter.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

#include <exception>

frmDatabaseGroup::frmDatabaseGroup(frmDatabaseExplorer* owner) : QDialog(owner), owner_(owner) {
    setObjectName("frmDatabaseGroup");
    setModal(true);
    fraGroupInfo = new QGroupBox(this);
    fraGroupInfo->setObjectName("fraGroupInfo");
    lblGroupName = new QLabel("Folder Name", fraGroupInfo);
    lblGroupName->setObjectName("lblGroupName");
    txtGroupName = new QLineEdit(fraGroupInfo);
    txtGroupName->setObjectName("txtGroupName");
    txtGroupName->installEventFilter(this);
    // Pasted or dropped text passes the same filter as typed keys.
    connect(txtGroupName, &QLineEdit::textEdited, this, [this](const QString& text) {
        QString kept;
        int cursor = txtGroupName->cursorPosition();
        for (int i = 0; i < text.size(); ++i) {
            int keyAscii = text[i].unicode();
            txtGroupName_KeyPress(keyAscii);
            if (keyAscii != 0) kept += text[i];
            else if (i < cursor) --cursor;
        }
        if (kept != text) {
            txtGroupName->setText(kept);
            txtGroupName->setCursorPosition(cursor);
        }
    });
    auto* row = new QHBoxLayout(fraGroupInfo);
    row->addWidget(lblGroupName);
    row->addWidget(txtGroupName, 1);
    cmdOK = new QPushButton("OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fraGroupInfo);
    layout->addLayout(buttons);
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

int frmDatabaseGroup::showModal() {
    Form_Load();
    return exec();
}

void frmDatabaseGroup::Form_Load() {
    if (QString::fromStdString(OpenMode).toUpper() == QLatin1String("RENAME")) {
        txtGroupName->setText(QString::fromStdString(GroupName));
        setWindowTitle("Rename Database Folder");
    } else {
        txtGroupName->clear();
        setWindowTitle("Create Database Folder");
    }
}

bool frmDatabaseGroup::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtGroupName && event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(event)->text();
        if (text.size() == 1 && (text[0].unicode() >= 32 || text[0].unicode() == 8)) {
            int keyAscii = text[0].unicode();
            txtGroupName_KeyPress(keyAscii);
            if (keyAscii == 0) return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmDatabaseGroup::txtGroupName_KeyPress(int& keyAscii) {
    const bool letter = (keyAscii >= 'A' && keyAscii <= 'Z') || (keyAscii >= 'a' && keyAscii <= 'z');
    const bool digit = keyAscii >= '0' && keyAscii <= '9';
    if (!(keyAscii == 32 || letter || digit || keyAscii == '_' || keyAscii == 8)) keyAscii = 0;
}

bool frmDatabaseGroup::GroupExists() const {
    // A folder key is its name (renamed folders) or its name and "|" and its position.
    const QString text = txtGroupName->text();
    for (const xml::Node& g : oStructures.selectNodes("DATABASESTRUCTURES/DATABASEGROUP")) {
        const QString key = QString::fromStdString(g.attribute("Key"));
        if (key == text) return true;
        const int bar = key.lastIndexOf(QLatin1Char('|'));
        if (bar >= 0 && key.left(bar) == text) return true;
    }
    return false;
}

void frmDatabaseGroup::cmdOK_Click() {
    try {
        txtGroupName->setText(txtGroupName->text().trimmed());
        const QString text = txtGroupName->text();
        if (text.isEmpty()) {
            ui::MsgBox("Please enter a valid Database Group name", ui::MsgButtons::OK, ui::MsgIcon::Critical,
                       "Dalvane 4.5");
            return;
        }
        if (GroupExists()) {
            ui::MsgBox("Group already exists.", ui::MsgButtons::OK, ui::MsgIcon::Critical, "Dalvane 4.5");
            return;
        }
        // A number written in digits; words a float parser also takes ("nan", "Inf") are names.
        static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+[.,]?\\d*|[.,]\\d+)([eE][+-]?\\d+)?$"));
        if (number.match(text).hasMatch()) {
            ui::MsgBox("Group name cannot start with numbers", ui::MsgButtons::OK, ui::MsgIcon::Critical);
            return;
        }
        OpenMode = QString::fromStdString(OpenMode).toUpper().toStdString();
        if (OpenMode == "NEW")
            owner_->AddNewGroupName(text.toStdString());
        else if (OpenMode == "RENAME")
            owner_->RenameCurrentGroup(text.toStdString());
        accept();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseGroup.cmdOK_Click");
    }
}

void frmDatabaseGroup::cmdCancel_Click() { reject(); }
