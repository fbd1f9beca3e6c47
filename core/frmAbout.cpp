#include "core/frmAbout.h"

#include "core/bErrorHandler.h"
#include "core/bVersion.h"
#include "platform/fs/Paths.h"
#include "platform/ui/Prompter.h"

#include <QApplication>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <exception>

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName("frmAbout");
    imgSplashImage = new QLabel(this);
    imgSplashImage->setObjectName("imgSplashImage");
    imgSplashImage->setAlignment(Qt::AlignCenter);
    imgSplashImage->setMinimumSize(420, 160);
    imgSplashImage->setStyleSheet("QLabel { background: #1f3f6f; color: white; font-size: 20pt; }");
    lbDalvane = new QLabel("Dalvane is a database documentation and structure migration tool from Torvik. ", this);
    lbDalvane->setObjectName("lbDalvane");
    lbDalvane->setWordWrap(true);
    lblTorvik = new QLabel(this);
    lblTorvik->setObjectName("lblTorvik");
    lblTorvik->setTextFormat(Qt::RichText);
    lblTorvik->setCursor(Qt::PointingHandCursor);
    connect(lblTorvik, &QLabel::linkActivated, this, [this] { lblTorvik_Click(); });
    imgClose = new QPushButton("Close", this);
    imgClose->setObjectName("imgClose");
    connect(imgClose, &QPushButton::clicked, this, &frmAbout::imgClose_Click);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(imgSplashImage);
    layout->addWidget(lbDalvane);
    auto* row = new QHBoxLayout;
    row->addWidget(lblTorvik, 1);
    row->addWidget(imgClose);
    layout->addLayout(row);
    Form_Load();
}

void frmAbout::Form_Load() {
    try {
        setWindowTitle(QString::fromStdString("About " + MainCaption()));
        imgSplashImage->setText(QString::fromStdString(MainCaption()) + "\n" +
                                QString("Version %1.%2 build %3").arg(AppMajorVersion).arg(AppMinorVersion).arg(AppRevision));
        lblTorvik->setText(QString("<a href=\"mailto:%1\">%1</a>").arg(SupportAddress));
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmAbout.Form_Load");
    }
}

void frmAbout::lblTorvik_Click() {
    try {
        ui::prompter().openExternally(std::string("mailto:") + SupportAddress);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmAbout.lblTorvik_Click");
    }
}

void frmAbout::imgClose_Click() { close(); }

frmWait::frmWait(QWidget* parent) : QDialog(parent) {
    setObjectName("frmWait");
    setWindowTitle("Update Status");
    setModal(false);
    lblStatus = new QLabel("Downloading...", this);
    lblStatus->setObjectName("lblStatus");
    lblStatus->setFont(QFont("Arial"));
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    connect(cmdCancel, &QPushButton::clicked, this, &frmWait::cmdCancel_Click);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblStatus);
    layout->addWidget(cmdCancel, 0, Qt::AlignRight);
}

void frmWait::StartDownload(const std::string& message) {
    cancelled_ = false;
    if (!message.empty()) lblStatus->setText(QString::fromStdString(message));
    show();
    QApplication::processEvents();
}

void frmWait::ChangeMessage(const std::string& message) {
    QApplication::processEvents();
    if (!message.empty()) lblStatus->setText(QString::fromStdString(message));
}

void frmWait::StopDownload() { hide(); }

void frmWait::cmdCancel_Click() {
    cancelled_ = true;  // the running call ends at once
    hide();
}

std::string KX_BrowseFolder(const std::string& Title) {
    try {
        std::string path = ui::prompter().chooseFolder(Title, "");
        if (path.empty() || !files::folderExists(path)) return {};
        return path;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "KX_BrowseFolder");
        return {};
    }
}
