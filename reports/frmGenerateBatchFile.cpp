#include "reports/frmGenerateBatchFile.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "options/cReport.h"
#include "platform/fs/Paths.h"
#include "platform/ui/Prompter.h"
#include "reports/bBatchFile.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <exception>

namespace {

const char* const kTags[3] = {"HTML", "XML", "Word"};
const char* const kTabKeys[3] = {"HTML", "XML", "WORD"};

QWidget* pathTab(const QString& caption, QLineEdit*& edit, QPushButton*& browse, const char* editName,
                 const char* browseName) {
    auto* page = new QWidget;
    auto* l = new QHBoxLayout(page);
    l->addWidget(new QLabel(caption, page));
    edit = new QLineEdit(page);
    edit->setObjectName(editName);
    l->addWidget(edit, 1);
    browse = new QPushButton("Browse", page);
    browse->setObjectName(browseName);
    l->addWidget(browse);
    return page;
}

}  // namespace

frmGenerateBatchFile::frmGenerateBatchFile(QWidget* parent) : QDialog(parent) {
    setObjectName("frmGenerateBatchFile");
    setWindowTitle("Generate Batch File");
    auto* top = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    auto value = [&](int row, const char* caption, QLabel*& label, const char* name) {
        grid->addWidget(new QLabel(caption, this), row, 0);
        label = new QLabel(this);
        label->setObjectName(name);
        grid->addWidget(label, row, 1, 1, 2);
    };
    value(0, "Database Engine", lblDatabaseEngineValue, "lblDatabaseEngineValue");
    value(1, "Server Name", lblServerNameValue, "lblServerNameValue");
    value(2, "Database Name", lblDatabaseNameValue, "lblDatabaseNameValue");
    grid->addWidget(new QLabel("Batch File Path", this), 3, 0);
    txtBatchFile = new QLineEdit(this);
    txtBatchFile->setObjectName("txtBatchFile");
    grid->addWidget(txtBatchFile, 3, 1);
    cmdBrowseBatchFile = new QPushButton("Browse", this);
    cmdBrowseBatchFile->setObjectName("cmdBrowseBatchFile");
    grid->addWidget(cmdBrowseBatchFile, 3, 2);
    top->addLayout(grid);

    auto* frame = new QGroupBox("Report", this);
    auto* fl = new QVBoxLayout(frame);
    auto* boxes = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        chkOutputType[i] = new QCheckBox(i == 2 ? "Word" : kTags[i], frame);
        chkOutputType[i]->setObjectName(QString("chkOutputType_%1").arg(i));
        chkOutputType[i]->setProperty("Tag", kTags[i]);
        boxes->addWidget(chkOutputType[i]);
    }
    fl->addLayout(boxes);
    atOutputSettings = new QTabWidget(frame);
    atOutputSettings->setObjectName("atOutputSettings");
    atOutputSettings->addTab(pathTab("Output Path", txtHTMLPath, cmdHTMLBrowse, "txtHTMLPath", "cmdHTMLBrowse"), "HTML");
    atOutputSettings->addTab(pathTab("Output File", txtXMLFileName, cmdXMLBrowse, "txtXMLFileName", "cmdXMLBrowse"), "XML");
    atOutputSettings->addTab(pathTab("Output File", txtWordFileName, cmdWordBrowse, "txtWordFileName", "cmdWordBrowse"),
                             "Word");
    for (int i = 0; i < 3; ++i) atOutputSettings->widget(i)->setProperty("Key", kTabKeys[i]);
    fl->addWidget(atOutputSettings);
    top->addWidget(frame);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cmdOK = new QPushButton("OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    top->addLayout(buttons);

    for (int i = 0; i < 3; ++i)
        connect(chkOutputType[i], &QCheckBox::clicked, this, [this, i] { chkOutputType_Click(i); });
    connect(cmdHTMLBrowse, &QPushButton::clicked, this, [this] { cmdHTMLBrowse_Click(); });
    connect(cmdXMLBrowse, &QPushButton::clicked, this, [this] { cmdXMLBrowse_Click(); });
    connect(cmdWordBrowse, &QPushButton::clicked, this, [this] { cmdWordBrowse_Click(); });
    connect(cmdBrowseBatchFile, &QPushButton::clicked, this, [this] { cmdBrowseBatchFile_Click(); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    try {
        DisabledOutputIndex = -1;
        LoadBatchDefaults();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmGenerateBatchFile.Form_Load");
    }
}

int frmGenerateBatchFile::ShowMe() {
    exec();
    return 0;
}

void frmGenerateBatchFile::LoadBatchDefaults() {
    cReport& r = *oReportEngine;
    lblDatabaseEngineValue->setText(QString::fromStdString(r.DatabaseEngine()));
    // An OTHERS connection keeps its database in the connection string: its name stands here.
    const std::string path = r.DatabasePath();
    lblDatabaseNameValue->setText(QString::fromStdString(path.empty() ? r.DatabaseName() : path));
    lblServerNameValue->setText(QString::fromStdString(r.DBServerName()));
    for (QCheckBox* box : chkOutputType) box->setChecked(true);
    const std::string d = r.DatabaseName();
    txtHTMLPath->setText(QString::fromStdString(files::joinPath(ReportsFolder, d + "Report") + "/"));
    txtXMLFileName->setText(QString::fromStdString(files::joinPath(ReportsFolder, d + ".xml")));
    txtWordFileName->setText(QString::fromStdString(files::joinPath(ReportsFolder, d + ".docx")));
    txtBatchFile->setText(QString::fromStdString(files::joinPath(ReportsFolder, "Batch Process", d + ".sh")));
}

void frmGenerateBatchFile::chkOutputType_Click(int index) {
    try {
        int unchecked = 0, lastChecked = -1;
        for (int i = 0; i < 3; ++i) {
            if (!chkOutputType[i]->isChecked()) ++unchecked;
            else lastChecked = i;
        }
        if (unchecked == 2) {
            chkOutputType[lastChecked]->setEnabled(false);
            DisabledOutputIndex = lastChecked;
        } else if (DisabledOutputIndex != -1) {
            chkOutputType[DisabledOutputIndex]->setEnabled(true);
            DisabledOutputIndex = -1;
        }
        UpdateOutputTabs(chkOutputType[index]->isChecked(), chkOutputType[index]->property("Tag").toString());
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmGenerateBatchFile.chkOutputType_Click");
    }
}

bool frmGenerateBatchFile::UpdateOutputTabs(bool enable, const QString& key) {
    int enabled = 0, tab = -1;
    for (int i = 0; i < atOutputSettings->count(); ++i) {
        if (atOutputSettings->isTabEnabled(i)) ++enabled;
        if (atOutputSettings->widget(i)->property("Key").toString().compare(key, Qt::CaseInsensitive) == 0) tab = i;
    }
    if (tab < 0 || (!enable && enabled == 1)) return false;
    atOutputSettings->setTabEnabled(tab, enable);
    return true;
}

void frmGenerateBatchFile::cmdHTMLBrowse_Click() {
    try {
        const std::string folder = ui::prompter().chooseFolder("Output Path", txtHTMLPath->text().toStdString());
        if (!folder.empty()) txtHTMLPath->setText(QString::fromStdString(folder));
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmGenerateBatchFile.cmdHTMLBrowse_Click");
    }
}

void frmGenerateBatchFile::browseOutputFile(QLineEdit* target, const char* filter, const char* source) {
    try {
        const std::string file = ui::prompter().chooseFile({"Save As", filter, target->text().toStdString(), true});
        if (!file.empty()) target->setText(QString::fromStdString(file));
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), source);
    }
}

void frmGenerateBatchFile::cmdXMLBrowse_Click() {
    browseOutputFile(txtXMLFileName, "XML File | *.xml", "frmGenerateBatchFile.cmdXMLBrowse_Click");
}

void frmGenerateBatchFile::cmdWordBrowse_Click() {
    browseOutputFile(txtWordFileName, "Word Document | *.docx", "frmGenerateBatchFile.cmdWordBrowse_Click");
}

void frmGenerateBatchFile::cmdBrowseBatchFile_Click() {
    try {
        ui::FileRequest req{"Save As", "Shell Script | *.sh", files::joinPath(ReportsFolder, "*.sh"), true};
        const std::string file = ui::prompter().chooseFile(req);
        if (!file.empty() && files::fileName(file) != "*.sh") txtBatchFile->setText(QString::fromStdString(file));
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmGenerateBatchFile.cmdBrowseBatchFile_Click");
    }
}

void frmGenerateBatchFile::cmdOK_Click() {
    try {
        std::string batchFile = txtBatchFile->text().toStdString();
        const batchfile::Outputs outputs{txtHTMLPath->text().toStdString(), txtXMLFileName->text().toStdString(),
                                         txtWordFileName->text().toStdString()};
        if (!batchfile::BatchProcessFile(batchFile, outputs)) {
            ui::MsgBox("Unable to generate Batch process file", ui::MsgButtons::OK, ui::MsgIcon::Information);
            return;
        }
        // The script is named, not opened: the desktop could run it rather than show it.
        ui::MsgBox("The batch file " + batchFile + " was written. Run it to make the reports.",
                   ui::MsgButtons::OK, ui::MsgIcon::Information);
        accept();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmGenerateBatchFile.cmdOK_Click");
    }
}
