#include "core/bGlobal.h"
#include "explorer/ProjectDocument.h"
#include "platform/fs/Paths.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace history;

namespace {

const char* const kLive = R"(<?xml version="1.0"?>
<DATABASESTRUCTURES CreatedOn="2024-01-02" Version="4.4" Name="Database Structures" Key="Database Structures"
  RHXPath="DATABASESTRUCTURES/DATABASEGROUP" Display="1" TreeImage="DATABASESTRUCTURES" ContextMenu="ID_RootNode" Extra="x">
  <DATABASEGROUP Name="Dalvane Folder" Key="Dalvane Group|1" CreatedOn="2024-01-02"
    RHXPath="DATABASESTRUCTURES/DATABASEGROUP[1]/DATABASECONNECTION" Display="1" TreeImage="DATABASEGROUP" ContextMenu="ID_DBGroupNode">
    <DATABASECONNECTION Name="Sales" Key="Sales|1|1" RHXPath="DATABASESTRUCTURES/DATABASEGROUP[1]/DATABASECONNECTION[1]"
      Display="1" TreeImage="DATABASECONNECTION_OPEN" ContextMenu="ID_DatabaseNode" TempXMLFileName="/tmp/x/a.xml"
      CurrentDVSFile="/home/u/a.dvs" DiagramFile="/r/d.xml">
      <TABLES Name="Tables" Key="Sales|1|1|1"><TABLE Name="o'rders" Key="o'rders|1|1|1|1"/></TABLES>
      <DBOPTIONS><MOREINFO><SERVER Name="srv"/><DATABASE Name="Sales" CurrentDatabaseGroup="1"/></MOREINFO></DBOPTIONS>
      <REPORTOPTIONS><HTML MultipleHTMLs="True"/></REPORTOPTIONS>
    </DATABASECONNECTION>
    <DATABASECONNECTION Name="Plain" Key="Plain|1|2" RHXPath="p"/>
  </DATABASEGROUP>
  <DALVANEUI><MENU Id="ID_View_Normal" Selected="1"/></DALVANEUI>
  <DATABASEGROUP Name="Later" Key="LATER|2" RHXPath="DATABASESTRUCTURES/DATABASEGROUP[7]/DATABASECONNECTION"/>
</DATABASESTRUCTURES>)";

struct ProjectDocument : ::testing::Test {
    testsupport::TempDir dir;
    void SetUp() override { ShortDateFormat = "yyyy-MM-dd"; }
};

}  // namespace

TEST_F(ProjectDocument, NewDocumentHasRootAndOneFolder) {
    xml::Document doc;
    ASSERT_TRUE(NewHistoryDocument(doc));
    EXPECT_EQ(doc.xml().rfind("<?xml", 0), 0u);
    xml::Node root = doc.documentElement();
    EXPECT_EQ(root.name(), "DATABASESTRUCTURES");
    EXPECT_EQ(root.attribute("CreatedOn"), FormatShortDate());
    EXPECT_EQ(root.attribute("Version"), "4.5");
    EXPECT_EQ(root.attribute("Display"), "1");
    EXPECT_EQ(root.attribute("RHXPath"), "DATABASESTRUCTURES/DATABASEGROUP");
    EXPECT_EQ(root.attribute("ContextMenu"), "ID_RootNode");
    ASSERT_EQ(doc.count("DATABASESTRUCTURES/DATABASEGROUP"), 1);
    xml::Node g = doc.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP");
    EXPECT_EQ(g.attribute("Name"), "Dalvane Folder");
    EXPECT_EQ(g.attribute("Key"), "Dalvane Group|1");
    EXPECT_EQ(g.attribute("RHXPath"), "DATABASESTRUCTURES/DATABASEGROUP[1]/DATABASECONNECTION");
    EXPECT_TRUE(isProjectDocument(doc));
}

TEST_F(ProjectDocument, StoredCopyKeepsOnlyWhatOutlivesTheRun) {
    xml::Document live;
    ASSERT_TRUE(live.loadXML(kLive));
    std::string before = live.xml();
    UILayout layout;
    layout.menus = {{"ID_View_Normal", false}, {"ID_View_WebLayout", true}};
    xml::Document out;
    std::string error;
    ASSERT_TRUE(GenerateHistory(live, out, layout, error));
    EXPECT_EQ(live.xml(), before);  // the live document is not touched

    xml::Node root = out.documentElement();
    EXPECT_EQ(root.attribute("CreatedOn"), "2024-01-02");
    EXPECT_EQ(root.attribute("Version"), "4.5");
    EXPECT_FALSE(root.hasAttribute("Display"));
    EXPECT_FALSE(root.hasAttribute("Extra"));
    // Folders renumbered by position among folders; DALVANEUI rebuilt once, last.
    auto groups = out.selectNodes("DATABASESTRUCTURES/DATABASEGROUP");
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[1].attribute("RHXPath"), "DATABASESTRUCTURES/DATABASEGROUP[2]/DATABASECONNECTION");
    EXPECT_EQ(out.count("DATABASESTRUCTURES/DALVANEUI"), 1);
    EXPECT_EQ(root.childElements().back().name(), "DALVANEUI");
    EXPECT_EQ(out.count("DATABASESTRUCTURES/DALVANEUI/MENU[@Id='ID_View_WebLayout'][@Selected='1']"), 1);
    EXPECT_EQ(out.count("DATABASESTRUCTURES/DALVANEUI/MENU[@Id='ID_View_Normal'][@Selected='0']"), 1);

    xml::Node c = out.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[1]/DATABASECONNECTION[1]");
    EXPECT_EQ(c.attribute("TempXMLFileName"), "");
    EXPECT_EQ(c.attribute("CurrentDVSFile"), "");
    EXPECT_EQ(c.attribute("TreeImage"), "DATABASECONNECTION_CLOSE");
    EXPECT_EQ(c.attribute("DiagramFile"), "/r/d.xml");
    EXPECT_EQ(c.count("TABLES"), 0);
    EXPECT_EQ(c.selectSingleNode("DBOPTIONS/MOREINFO/SERVER").attribute("Name"), "srv");
    EXPECT_EQ(c.count("REPORTOPTIONS/HTML[@MultipleHTMLs='True']"), 1);
    // Attributes absent in the live entry are not invented.
    xml::Node plain = out.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[1]/DATABASECONNECTION[2]");
    EXPECT_FALSE(plain.hasAttribute("TempXMLFileName"));
    EXPECT_FALSE(plain.hasAttribute("TreeImage"));

    xml::Document empty;
    EXPECT_FALSE(GenerateHistory(empty, out, layout, error));
}

TEST_F(ProjectDocument, LayoutElementWritesAndReadsBack) {
    xml::Document doc;
    NewHistoryDocument(doc);
    UILayout l;
    l.menus = {{"ID_View_PrintLayout", true}};
    l.lastEngineId = 3;
    l.lastEngineName = "SQL Server 6.5";
    l.windowState = 0;
    l.width = 15360;
    l.height = 11520.5;
    l.top = 300;
    l.left = 450;
    l.rhTabsWidth = 9000;
    l.detailsVisible = false;
    l.htmlVisible = true;
    l.xmlVisible = false;
    l.folderViewWidth = 2940.095;
    xml::Node ui = SaveUISettings(doc, l);
    doc.documentElement().appendChild(ui);
    xml::Node win = doc.selectSingleNode("DATABASESTRUCTURES/DALVANEUI/MAINWINDOW");
    std::vector<std::string> names;
    for (auto& [n, v] : win.attributes()) names.push_back(n);
    EXPECT_EQ(names, (std::vector<std::string>{"State", "Width", "Height", "Top", "Left"}));

    SavedLayout s;
    ASSERT_TRUE(ReadSavedLayout(doc, s));
    EXPECT_EQ(s.checkedMenus, std::vector<std::string>{"ID_View_PrintLayout"});
    EXPECT_EQ(s.lastEngineId, 3);
    EXPECT_EQ(s.lastEngineName, "SQL Server 6.5");
    EXPECT_EQ(s.windowState, 0);
    EXPECT_DOUBLE_EQ(*s.width, 15360);
    EXPECT_NEAR(*s.height, 11520.5, 0.01);
    EXPECT_DOUBLE_EQ(*s.left, 450);
    EXPECT_EQ(s.detailsVisible, false);
    EXPECT_EQ(s.htmlVisible, true);
    EXPECT_NEAR(*s.folderViewWidth, 2940.095, 0.01);

    // A maximised window stores only its state.
    l.windowState = 2;
    xml::Node ui2 = SaveUISettings(doc, l);
    EXPECT_EQ(ui2.selectSingleNode("MAINWINDOW").attributes().size(), 1u);
    ui2.remove();  // never attached: freed here, not left to leak

    // Missing State means maximised; an empty one leaves the state alone.
    xml::Document d2;
    d2.loadXML("<DATABASESTRUCTURES><DALVANEUI><MAINWINDOW Top='1'/><RHTABS Width=''>"
               "<DETAILS Visible='-1'/><HTMLPREVIEW Visible='maybe'/></RHTABS></DALVANEUI></DATABASESTRUCTURES>");
    ASSERT_TRUE(ReadSavedLayout(d2, s));
    EXPECT_EQ(s.windowState, 2);
    EXPECT_FALSE(s.rhTabsWidth.has_value());
    EXPECT_EQ(s.detailsVisible, true);
    EXPECT_FALSE(s.htmlVisible.has_value());
    EXPECT_FALSE(s.lastEngineId.has_value());
    d2.loadXML("<DATABASESTRUCTURES><DALVANEUI><MAINWINDOW State=''/></DALVANEUI></DATABASESTRUCTURES>");
    ASSERT_TRUE(ReadSavedLayout(d2, s));
    EXPECT_FALSE(s.windowState.has_value());
    d2.loadXML("<DATABASESTRUCTURES/>");
    EXPECT_FALSE(ReadSavedLayout(d2, s));
}

TEST_F(ProjectDocument, FileIsEncryptedPrivateAndReadBack) {
    std::string path = dir.file("history.dvh");
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(kLive));
    std::string error, text;
    EXPECT_EQ(ReadHistoryFile(path, "phrase-4", text, error), ReadResult::Missing);
    ASSERT_TRUE(WriteHistoryFile(path, doc, "phrase-4", error)) << error;
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    std::string stored = testsupport::readFile(path);
    EXPECT_EQ(stored.find("DATABASESTRUCTURES"), std::string::npos);
    EXPECT_EQ(stored.find('\n'), std::string::npos);

    ASSERT_EQ(ReadHistoryFile(path, "phrase-4", text, error), ReadResult::Loaded);
    xml::Document back;
    ASSERT_TRUE(back.loadXML(text));
    EXPECT_EQ(back.selectSingleNode("//TABLE").attribute("Name"), "o'rders");

    EXPECT_EQ(ReadHistoryFile(path, "another phrase", text, error), ReadResult::Unusable);
    EXPECT_TRUE(text.empty());

    // An empty document never replaces the file.
    xml::Document none;
    EXPECT_FALSE(WriteHistoryFile(path, none, "phrase-4", error));
    EXPECT_EQ(testsupport::readFile(path), stored);
}

TEST_F(ProjectDocument, UnusableFilesAreRecognisedAndMovedAside) {
    std::string path = dir.file("history.dvh");
    std::string error, text;
    auto writeEncrypted = [&](const std::string& plain) {
        ASSERT_TRUE(files::writeTextFile(path, EncryptText(plain, "p4")));
    };
    files::writeTextFile(path, "not base64 at all %%%");
    EXPECT_EQ(ReadHistoryFile(path, "p4", text, error), ReadResult::Unusable);
    files::writeTextFile(path, "");
    EXPECT_EQ(ReadHistoryFile(path, "p4", text, error), ReadResult::Unusable);
    writeEncrypted("<OTHER RHXPath='x'/>");
    EXPECT_EQ(ReadHistoryFile(path, "p4", text, error), ReadResult::Unusable);
    writeEncrypted("<DATABASESTRUCTURES RHXPath='1'/>");
    EXPECT_EQ(ReadHistoryFile(path, "p4", text, error), ReadResult::Unusable);
    writeEncrypted("<DATABASESTRUCTURES RHXPath='DATABASESTRUCTURES/DATABASEGROUP'/>");
    EXPECT_EQ(ReadHistoryFile(path, "p4", text, error), ReadResult::Loaded);

    std::string content = testsupport::readFile(path);
    std::string first = MoveAside(path);
    EXPECT_EQ(first, path + ".unreadable");
    EXPECT_FALSE(files::fileExists(path));
    EXPECT_EQ(testsupport::readFile(first), content);
    files::writeTextFile(path, "second");
    EXPECT_EQ(MoveAside(path), path + ".unreadable2");
    EXPECT_EQ(testsupport::readFile(first), content);
    EXPECT_EQ(MoveAside(dir.file("nothing.dvh")), "");
}

TEST_F(ProjectDocument, BooleanAndNumberTexts) {
    bool b = false;
    EXPECT_TRUE(parseBoolean(" TRUE ", b));
    EXPECT_TRUE(b);
    EXPECT_TRUE(parseBoolean("0", b));
    EXPECT_FALSE(b);
    EXPECT_FALSE(parseBoolean("", b));
    EXPECT_EQ(booleanText(true), "True");
    EXPECT_EQ(numberText(15360), "15360");
    EXPECT_EQ(numberText(2940.095), "2940.095");
}

TEST_F(ProjectDocument, EndingAfterAnErrorKeepsTheLastGoodProject) {
    std::string path = dir.file("history.dvh");
    std::string error, text;
    xml::Document before;
    ASSERT_TRUE(before.loadXML(kLive));
    ASSERT_TRUE(WriteHistoryFile(path, before, "p4", error));
    const std::string good = testsupport::readFile(path);

    // A session document the tree can read again replaces the file; the old one stays beside it.
    xml::Document session;
    ASSERT_TRUE(session.loadXML(kLive));
    session.selectSingleNode("//DATABASECONNECTION[@Name='Plain']").setAttribute("Name", "Renamed");
    std::string notice = SaveAfterError(path, session, "p4");
    EXPECT_NE(notice.find("were saved"), std::string::npos) << notice;
    ASSERT_EQ(ReadHistoryFile(path, "p4", text, error), ReadResult::Loaded);
    EXPECT_NE(text.find("Renamed"), std::string::npos);
    EXPECT_EQ(testsupport::readFile(path + ".previous"), good);
    EXPECT_EQ(TakeNotice(path), notice);
    EXPECT_EQ(TakeNotice(path), "");

    // One whose keys no longer parse is written aside and the file is left as it was.
    const std::string saved = testsupport::readFile(path);
    session.selectSingleNode("//TABLE").setAttribute("Key", "a|b|1|1|1");
    notice = SaveAfterError(path, session, "p4");
    EXPECT_NE(notice.find(path + ".failed"), std::string::npos) << notice;
    EXPECT_EQ(testsupport::readFile(path), saved);
    ASSERT_EQ(ReadHistoryFile(path + ".failed", "p4", text, error), ReadResult::Loaded);
    EXPECT_NE(text.find("a|b|1|1|1"), std::string::npos);
    EXPECT_EQ(TakeNotice(path), notice);

    EXPECT_TRUE(CheckProjectDocument(before, error)) << error;
    session.selectSingleNode("//TABLE").setAttribute("Key", "Sales|1|1|1");
    EXPECT_FALSE(CheckProjectDocument(session, error));
    EXPECT_NE(error.find("used twice"), std::string::npos);
}
