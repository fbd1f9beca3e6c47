// The splash window: shown at an interactive start; its timer hands over to the main window.
#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QTimer;

class frmSplash : public QDialog {
    Q_OBJECT
public:
    // Loading the window runs Form_Load.
    explicit frmSplash(QWidget* parent = nullptr);

    QLabel* imgSplash = nullptr;
    QTimer* tmSplash = nullptr;  // 5000 ms

    // Ends the event loop when no main window follows (replaceable for tests).
    std::function<void(int)> quit;

    void Form_Load();
    void tmSplash_Timer();
};
