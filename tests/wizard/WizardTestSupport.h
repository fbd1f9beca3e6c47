// Set-up of the wizard tests: program folder of the build, private data and report folders,
// the options object, a loaded main window, a captured error routine and scripted prompts.
#pragma once

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "core/bVersion.h"
#include "explorer/frmDatabaseExplorer.h"
#include "import/frmDatabaseConnection.h"
#include "options/cReport.h"
#include "platform/fs/Paths.h"
#include "startup/bStartup.h"
#include "support/ProgramFolders.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace wizardtest {

struct ErrorEntry {
    long number;
    std::string description, source;
};

class WizardTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    testsupport::ScopedPrompter prompts;
    std::vector<ErrorEntry> errors;
    std::unique_ptr<frmDatabaseExplorer> main;

    void SetUp() override {
        testsupport::useProgramFolders(dir);
        TempFolder = dir.file("tmp");
        files::createFolder(TempFolder);
        InitVersionInfo();
        EngineNames = {""};
        const std::string& list = VersionRecord.EngineDisplayList;
        for (std::size_t from = 1, bar; from <= list.size(); from = bar + 1) {
            bar = list.find('|', from);
            if (bar == std::string::npos) bar = list.size();
            EngineNames.push_back(list.substr(from, bar - from));
        }
        ShortDateFormat = "yyyy-MM-dd";
        CurrentUser = "tester";
        DecimalSymbol = ".";
        PassPhrase4 = "project pass phrase for the wizard tests";
        ErrorShown = false;
        setErrorDialogHook([this](long n, const std::string& d, const std::string& s) {
            errors.push_back({n, d, s});
        });
        frmDatabaseExplorer::ConnectionWizard = [](QWidget*, const std::string&) {};
        ASSERT_TRUE(InitReportEngine());
        main = std::make_unique<frmDatabaseExplorer>();
        main->Form_Load();
        main->show();
        QApplication::processEvents();
        ASSERT_FALSE(oStructures.isEmpty());
    }
    void TearDown() override {
        main.reset();
        frmDatabaseExplorer::ConnectionWizard = nullptr;
        setErrorDialogHook(nullptr);
        ReleaseReportEngine();
        oStructures.clear();
        oHistory.clear();
        ErrorShown = false;
    }

    // A SQLite database made from the bundled sample script.
    std::string sampleDatabase() {
        const std::string path = dir.file("sample.db");
        const std::string cmd =
            "sqlite3 '" + path + "' < '" + files::joinPath(DALV_SOURCE_DIR, "examples/sample.sql") + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        return path;
    }

    static int connections() { return oStructures.count("DATABASESTRUCTURES/DATABASEGROUP/DATABASECONNECTION"); }

    // A loaded wizard over the main window, shown.
    std::unique_ptr<frmDatabaseConnection> openWizard(const std::string& mode = "NEW") {
        auto w = std::make_unique<frmDatabaseConnection>(main.get());
        w->OpenMode = mode;
        w->Form_Load();
        w->show();
        QApplication::processEvents();
        return w;
    }
    // Picks an engine in the list as the user does.
    static void chooseEngine(frmDatabaseConnection& w, int engineId) {
        const int index = w.cboDBTypes->findData(engineId);
        ASSERT_GE(index, 0);
        w.cboDBTypes->setCurrentIndex(index);
        emit w.cboDBTypes->activated(index);
    }
public:
    // Step 0 -> step 1 -> OTHERS with the given ODBC string -> Next.
    static void connectOthers(frmDatabaseConnection& w, const std::string& connectionString) {
        if (w.CurrentStep == 0) w.cmdNavigate[2]->click();
        ASSERT_EQ(w.CurrentStep, 1);
        chooseEngine(w, 12);
        w.txtConnectionString->setText(QString::fromStdString(connectionString));
        w.cmdNavigate[2]->click();
    }

protected:
    static bool enabled(const frmDatabaseConnection& w, int button) { return w.cmdNavigate[button]->isEnabled(); }
};

}  // namespace wizardtest
