// Shared set-up of the options tests: a program folder of fixture style sheets, the real engine
// catalogue, an empty project document and a captured error routine.
#pragma once

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "options/cReport.h"
#include "platform/fs/Paths.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace optionstest {

struct ErrorEntry {
    long number;
    std::string description, source;
};

class OptionsTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    testsupport::ScopedPrompter prompts;
    std::vector<ErrorEntry> errors;
    std::unique_ptr<cReport> report;

    void SetUp() override {
        namespace sfs = std::filesystem;
        AppFolder = dir.path();
        StylesFolder = files::joinPath(AppFolder, "styles");
        sfs::copy(testsupport::fixturePath("options/styles"), StylesFolder, sfs::copy_options::recursive);
        sfs::copy_file(files::joinPath(DALV_SOURCE_DIR, "data/styles/GenerateLHXML.xsl"),
                       files::joinPath(StylesFolder, "GenerateLHXML.xsl"));
        DataFolder = files::joinPath(DALV_SOURCE_DIR, "data");
        ReportsFolder = files::joinPath(AppFolder, "reports");
        files::createFolder(ReportsFolder);
        OSName = "Linux test";
        CurrentUser = "tester";
        ShortDateFormat = "yyyy-MM-dd";
        oStructures.clear();
        setErrorDialogHook([this](long n, const std::string& d, const std::string& s) { errors.push_back({n, d, s}); });
    }
    void TearDown() override {
        report.reset();
        setErrorDialogHook(nullptr);
        oStructures.clear();
    }

    // The start-up sequence of the program.
    cReport& startUp() {
        report = std::make_unique<cReport>();
        report->CurrentDatabaseEngineId(1);
        report->InitializeDBOptions();
        report->InitializeReportOptions();
        report->InitializeDiagramSettings();
        report->CurrentDatabaseGroup(1);
        report->CurrentDatabaseNumber(1);
        return *report;
    }

    // Chooses an engine as the wizard does: id, then its template.
    void chooseEngine(int id) {
        report->CurrentDatabaseEngineId(id);
        ASSERT_TRUE(report->ResetConnectionString());
    }

    void loadStructure(const std::string& fixture = "options/structure.xml") {
        report->oResultXML = std::make_shared<xml::Document>();
        ASSERT_TRUE(report->oResultXML->load(testsupport::fixturePath(fixture)));
    }

    // A project document as a new one starts: the root and optionally one folder.
    void newProject(bool withFolder) {
        xml::Node root = oStructures.createRoot("DATABASESTRUCTURES");
        root.setAttribute("Name", "Database Structures");
        root.setAttribute("Key", "Database Structures");
        if (withFolder) {
            xml::Node g = root.appendElement("DATABASEGROUP");
            g.setAttribute("Name", "Dalvane Folder");
            g.setAttribute("Key", "Dalvane Group|1");
        }
    }
};

}  // namespace optionstest
