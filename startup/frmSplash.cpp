#include "startup/frmSplash.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "startup/bHandleCMD.h"
#include "core/bVersion.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include <iostream>

frmSplash::frmSplash(QWidget* parent) : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName("frmSplash");
    imgSplash = new QLabel(this);
    imgSplash->setObjectName("imgSplash");
    imgSplash->setAlignment(Qt::AlignCenter);
    imgSplash->setMinimumSize(420, 220);
    imgSplash->setStyleSheet("QLabel { background: #1f3f6f; color: white; font-size: 20pt; }");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(imgSplash);
    quit = [](int code) { QCoreApplication::exit(code); };
    tmSplash = new QTimer(this);
    tmSplash->setObjectName("tmSplash");
    tmSplash->setInterval(5000);
    connect(tmSplash, &QTimer::timeout, this, &frmSplash::tmSplash_Timer);
    Form_Load();
    tmSplash->start();
}

void frmSplash::Form_Load() {
    try {
        setWindowTitle(QString::fromStdString(MainCaption()));
        imgSplash->setText(QString::fromStdString(MainCaption()) + "\n" +
                           QString("Version %1.%2 build %3").arg(AppMajorVersion).arg(AppMinorVersion).arg(AppRevision));
        StartApplication();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmSplash.Form_Load");
    }
}

void frmSplash::tmSplash_Timer() {
    if (!isVisible()) return;
    tmSplash->stop();
    close();
    deleteLater();
    if (ErrorShown) {
        // An error was reported during the start: no main window, the program ends.
        quit(1);
        return;
    }
    const MainWindowHook& hook = GetMainWindowHook();
    if (!hook || !hook()) {
        std::cerr << MainCaption() << ": main window not available" << std::endl;
        quit(0);
    }
}
