// About box, update-check progress window and the folder picker.
#pragma once

#include "core/cDVUpdates.h"

#include <QDialog>

#include <atomic>
#include <string>

class QLabel;
class QPushButton;

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

    QLabel* imgSplashImage = nullptr;
    QLabel* lbDalvane = nullptr;
    QLabel* lblTorvik = nullptr;     // the support address, a link
    QPushButton* imgClose = nullptr;

    void Form_Load();
    void lblTorvik_Click();
    void imgClose_Click();

    static constexpr const char* SupportAddress = "support@torvik.example";
};

// "Update Status": modeless, owned by the main window, shown while the update check runs.
class frmWait : public QDialog, public UpdateWaitWindow {
    Q_OBJECT
public:
    explicit frmWait(QWidget* parent = nullptr);

    QLabel* lblStatus = nullptr;
    QPushButton* cmdCancel = nullptr;

    void StartDownload(const std::string& message) override;
    void ChangeMessage(const std::string& message) override;
    void StopDownload() override;
    bool CancelRequested() const override { return cancelled_; }
    void cmdCancel_Click();

private:
    std::atomic<bool> cancelled_{false};
};

// The full path of a folder the user chooses, or "" when cancelled.
std::string KX_BrowseFolder(const std::string& Title);
