#include "CoreTestEnv.h"
#include "core/bErrorHandler.h"
#include "startup/bHandleCMD.h"
#include "core/bVersion.h"
#include "options/cReport.h"
#include "platform/registry/cRegistry.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>

using coretest::ScopedHome;
using testsupport::readFile;
using testsupport::TempDir;

namespace {
// A program folder of its own with a small data/ folder.
struct ProgramFolderWithData {
    TempDir dir;
    ProgramFolderWithData() {
        files::createFolders(dir.file("data/sub"));
        files::writeTextFile(dir.file("data/DBEngines.xml"), "<DBENGINES/>");
        files::writeTextFile(dir.file("data/CustomizeColumns.xml"), "<DBOBJECTS/>");
        files::writeTextFile(dir.file("data/sub/inner.txt"), "inner");
    }
};
}  // namespace

TEST(Startup, FirstRunCreatesFoldersAndSecondRunNothingNew) {
    ProgramFolderWithData program;
    ScopedHome home(program.dir.path());
    std::vector<std::string> created;
    ASSERT_TRUE(CreateUserFolders(&created));

    const std::string docs = home.home() + "/Documents";
    const std::string data = home.home() + "/.local/share/Torvik/Dalvane/4.5";
    EXPECT_EQ(ReportsFolder, docs + "/Dalvane Reports");
    EXPECT_EQ(DataFolder, data);
    EXPECT_EQ(DiagramFolder, docs + "/Dalvane Reports/Relationship Diagram");
    for (const std::string& p : {docs + "/Dalvane Reports", docs + "/Dalvane Reports/Relationship Diagram",
                                 docs + "/Dalvane Reports/Batch Process", home.home() + "/.local/share/Torvik",
                                 home.home() + "/.local/share/Torvik/Dalvane", data, data + "/DBEngines.xml",
                                 data + "/CustomizeColumns.xml", data + "/sub/inner.txt"}) {
        EXPECT_NE(std::find(created.begin(), created.end(), p), created.end()) << p;
        EXPECT_TRUE(files::folderExists(p) || files::fileExists(p)) << p;
    }
    struct stat st{};
    ASSERT_EQ(::stat(data.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // A user's edit stays; a damaged program file is replaced and kept aside.
    files::writeTextFile(data + "/CustomizeColumns.xml", "<DBOBJECTS mine='1'/>");
    files::writeTextFile(data + "/DBEngines.xml", "<DBENGINES");
    created.clear();
    std::vector<std::string> notes;
    ASSERT_TRUE(CreateUserFolders(&created, nullptr, &notes));
    EXPECT_TRUE(created.empty()) << created.front();
    EXPECT_EQ(readFile(data + "/DBEngines.xml"), "<DBENGINES/>");
    ASSERT_EQ(notes.size(), 1u);
    const std::string aside = notes[0].substr(notes[0].rfind("kept as ") + 8);
    EXPECT_EQ(aside.rfind(data + "/DBEngines.xml.", 0), 0u) << aside;
    EXPECT_EQ(readFile(aside), "<DBENGINES");

    // A new build replaces unedited copies; the user's edit stays until it no longer reads.
    files::writeTextFile(program.dir.file("data/DBEngines.xml"), "<DBENGINES v='2'/>");
    files::writeTextFile(program.dir.file("data/CustomizeColumns.xml"), "<DBOBJECTS v='2'/>");
    notes.clear();
    ASSERT_TRUE(CreateUserFolders(&created, nullptr, &notes));
    EXPECT_TRUE(notes.empty()) << notes.front();
    EXPECT_EQ(readFile(data + "/DBEngines.xml"), "<DBENGINES v='2'/>");
    EXPECT_EQ(readFile(data + "/CustomizeColumns.xml"), "<DBOBJECTS mine='1'/>");
    files::writeTextFile(data + "/CustomizeColumns.xml", "<DBOBJECTS");
    ASSERT_TRUE(CreateUserFolders(&created, nullptr, &notes));
    EXPECT_EQ(notes.size(), 1u);
    EXPECT_EQ(readFile(data + "/CustomizeColumns.xml"), "<DBOBJECTS v='2'/>");
    files::writeTextFile(program.dir.file("data/CustomizeColumns.xml"), "<DBOBJECTS v='3'/>");
    ASSERT_TRUE(CreateUserFolders(&created));  // unedited since: the new build's copy
    EXPECT_EQ(readFile(data + "/CustomizeColumns.xml"), "<DBOBJECTS v='3'/>");

    // A file added to the program later reaches the user; the user's own files stay.
    files::writeTextFile(program.dir.file("data/new.xml"), "<N/>");
    ASSERT_TRUE(CreateUserFolders(&created));
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0], data + "/new.xml");
}

TEST(Startup, UnwritableDocumentsFolderFailsAndNamesIt) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes everywhere";
    ProgramFolderWithData program;
    ScopedHome home(program.dir.path());
    files::createFolders(home.home() + "/Documents");
    ::chmod((home.home() + "/Documents").c_str(), 0500);
    std::string failed;
    EXPECT_FALSE(CreateUserFolders(nullptr, &failed));
    EXPECT_EQ(failed, home.home() + "/Documents/Dalvane Reports");
    ::chmod((home.home() + "/Documents").c_str(), 0700);
}

TEST(Startup, ProgramFolderAndResourceFolders) {
    ProgramFolderWithData program;
    ScopedHome home(program.dir.path());
    SetProgramFolders();
    EXPECT_EQ(AppFolder, program.dir.path());
    EXPECT_EQ(StylesFolder, program.dir.path() + "/styles");
    EXPECT_EQ(HelpFolder, program.dir.path() + "/help");
}

TEST(Startup, HelpLocationFallsBackToTheBundledPages) {
    ProgramFolderWithData program;
    ScopedHome home(program.dir.path());
    InitVersionInfo();
    const std::string fallback = program.dir.path() + "/help/index.html";
    EXPECT_EQ(GetHelpFileLocation(), fallback);  // no registry value

    const std::string ini = cRegistry::hiveFile(HKEY_CURRENT_USER);
    files::createFolders(files::parentFolder(ini));
    const std::string section = "[Software/Torvik/Dalvane%204.5/Enterprise]\nHelpLocation=";
    files::writeTextFile(ini, section + home.path("gone.html") + "\n");
    EXPECT_EQ(GetHelpFileLocation(), fallback);  // stale value

    files::writeTextFile(home.path("my own help.html"), "<html/>");
    files::writeTextFile(ini, section + home.path("my own help.html") + "\n");
    EXPECT_EQ(GetHelpFileLocation(), home.path("my own help.html"));
}

namespace {
// Start state shared by the routing tests: folders, the options object.
class Routing : public ::testing::Test {
protected:
    ScopedHome home;
    void SetUp() override {
        SetProgramFolders();
        ASSERT_TRUE(CreateUserFolders());
        ASSERT_TRUE(InitReportEngine());
        ErrorShown = false;
    }
    void TearDown() override { ReleaseReportEngine(); }
};
}  // namespace

TEST_F(Routing, BatchDocumentsGoToTheBatchRun) {
    std::string doc = home.path("My Batch.XML");
    files::writeTextFile(doc, "<DALVIMPORT><DATABASE/></DALVIMPORT>");
    BatchResult r;
    r.success = true;
    EXPECT_EQ(HandleCLP("\"" + doc + "\"", &r), 2);
    EXPECT_FALSE(r.success);
    EXPECT_NE(r.message.find("Database engine type not specified in " + doc), std::string::npos) << r.message;

    r = {};
    EXPECT_EQ(HandleCLP("\"" + home.path("missing.xml") + "\"", &r), 2);
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.message, home.path("missing.xml") + " could not be loaded");

    // Quotes anywhere are removed, not only enclosing ones.
    r = {};
    EXPECT_EQ(HandleCLP(home.path("My \"Batch\".XML"), &r), 2);
    EXPECT_NE(r.message.find("Database engine type not specified in " + doc), std::string::npos) << r.message;
    // ... unless the line names a file as it stands: a quote is part of a file name here.
    std::string quoted = home.path("Q\"uote.xml");
    files::writeTextFile(quoted, "<DALVIMPORT><DATABASE/></DALVIMPORT>");
    r = {};
    EXPECT_EQ(HandleCLP(quoted, &r), 2);
    EXPECT_NE(r.message.find("Database engine type not specified in " + quoted), std::string::npos) << r.message;
}

TEST_F(Routing, AnythingElseStartsInteractively) {
    for (const std::string& cl : {std::string(), std::string("  "), home.path("shop.dvs"), home.path("noextension"),
                                  home.path("x.xml.bak"), std::string("\"\"")}) {
        BatchResult r;
        r.message = "untouched";
        EXPECT_EQ(HandleCLP(cl, &r), 1) << cl;
        EXPECT_EQ(r.message, "untouched") << cl;
        EXPECT_FALSE(IsBatchCommandLine(cl));
    }
    EXPECT_TRUE(IsBatchCommandLine("\"/a b/C.Xml\""));
}

TEST_F(Routing, StartApplicationSetsTheProcessValues) {
    ErrorShown = true;
    StartApplication();
    EXPECT_FALSE(ErrorShown);
    ASSERT_EQ(EngineNames.size(), 14u);
    EXPECT_EQ(EngineNames[0], "");
    EXPECT_EQ(EngineNames[1], "SQL Server 2000");
    EXPECT_EQ(EngineNames[10], "MS Access (97, 95 or 2.0)");
    EXPECT_EQ(EngineNames[13], "Dalvane XML");
    EXPECT_EQ(EnginePanelMap[0], 2);
    EXPECT_EQ(EnginePanelMap[12], 4);
    EXPECT_EQ(PassPhrase4, StoredPassPhrase(4));
    EXPECT_FALSE(ShortDateFormat.empty());
    EXPECT_FALSE(TempFolder.empty());
    EXPECT_EQ(CurrentUser, GetCurrentUser());
    EXPECT_FALSE(DecimalSymbol.empty());
    EXPECT_EQ(ApplicationTitle, "Dalvane 4.5");
    EXPECT_EQ(MainCaption(), "Dalvane 4.5 Enterprise");

    // Default report options land in the options object.
    EXPECT_TRUE(oReportEngine->HTML_MultipleHTMLs());
    EXPECT_EQ(oReportEngine->HTML_ObjectsPerPage(), 5);
    EXPECT_EQ(oReportEngine->HTML_ImagePrefix(), "blu");
    EXPECT_EQ(oReportEngine->HTML_ColourScheme(), "Blue");
    EXPECT_EQ(oReportEngine->HTML_CurrentXSL(), StylesFolder + "/ReportFormat1.xsl");
    EXPECT_EQ(oReportEngine->PreviewFormat(), 1);
    EXPECT_EQ(oReportEngine->WORD_ObjectsPerPage(), 1);
    EXPECT_EQ(oReportEngine->CurrentDatabaseGroup(), 1);
    EXPECT_EQ(oReportEngine->m_CurrentDatabaseEngineId, 1);
}
