// Set-up of the main-window tests: program folder of the build, a private data and reports
// folder, the options object, a captured error routine and a scripted prompter.
#pragma once

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "explorer/ProjectDocument.h"
#include "explorer/frmDatabaseExplorer.h"
#include "options/cReport.h"
#include "platform/db/Connection.h"
#include "platform/fs/Paths.h"
#include "startup/bStartup.h"
#include "support/ProgramFolders.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace explorertest {

struct ErrorEntry {
    long number;
    std::string description, source;
};

class ExplorerTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    testsupport::ScopedPrompter prompts;
    std::vector<ErrorEntry> errors;
    std::vector<std::string> wizardModes;
    bool windowShownForWizard = false;

    void SetUp() override {
        testsupport::useProgramFolders(dir);
        ShortDateFormat = "yyyy-MM-dd";
        PassPhrase4 = "project pass phrase for the tests, 49 characters";
        ErrorShown = false;
        setErrorDialogHook([this](long n, const std::string& d, const std::string& s) {
            errors.push_back({n, d, s});
        });
        frmDatabaseExplorer::ConnectionWizard = [this](QWidget* owner, const std::string& mode) {
            wizardModes.push_back(mode);
            windowShownForWizard = owner && owner->isVisible();
        };
        ASSERT_TRUE(InitReportEngine());
    }
    void TearDown() override {
        frmDatabaseExplorer::ConnectionWizard = nullptr;
        setErrorDialogHook(nullptr);
        ReleaseReportEngine();
        oStructures.clear();
        oHistory.clear();
        ErrorShown = false;
    }

    std::string historyPath() const { return files::joinPath(DataFolder, "history.dvh"); }

    // A SQLite database file in the test folder, made by the statements.
    std::string makeDatabase(const std::string& name, std::initializer_list<const char*> sql) {
        std::string path = dir.file(name);
        db::Connection c;
        c.open("Driver=SQLite3;Database=" + path);
        for (const char* s : sql) c.execute(s);
        c.close();
        return path;
    }

    // Imports a SQLite database into the folder as a new connection of the project.
    void importInto(int group, const std::string& name, const std::string& path) {
        oReportEngine->CurrentDatabaseEngineId(12);
        ASSERT_TRUE(oReportEngine->ResetConnectionString());
        oReportEngine->CurrentDatabaseGroup(group);
        oReportEngine->ConnectionString("Driver=SQLite3;Database=" + path);
        oReportEngine->DatabaseName(name);
        ASSERT_TRUE(oReportEngine->OpenDalvDatabase());
        ASSERT_TRUE(oReportEngine->ImportDatabase(true));
    }

    // Stores the project as the program keeps it and lets the report engine go, as at the end of
    // a run: the next window reads it back.
    void storeProject() {
        std::string error;
        ASSERT_TRUE(history::GenerateHistory(oStructures, oHistory, history::UILayout{}, error)) << error;
        ASSERT_TRUE(history::WriteHistoryFile(historyPath(), oHistory, PassPhrase4, error)) << error;
        oStructures.clear();
        oHistory.clear();
        ReleaseReportEngine();
    }

    // A loaded main window (as the splash hands over).
    std::unique_ptr<frmDatabaseExplorer> open() {
        if (!oReportEngine) InitReportEngine();
        auto w = std::make_unique<frmDatabaseExplorer>();
        w->Form_Load();
        w->show();
        QApplication::processEvents();
        return w;
    }
    // Closes the window as the user would; true when it closed.
    static bool closeWindow(frmDatabaseExplorer& w) {
        bool closed = w.close();
        QApplication::processEvents();
        return closed;
    }
};

}  // namespace explorertest
