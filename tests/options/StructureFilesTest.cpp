// Temporary structure files, saving and loading structure files, removing a connection's files.
#include "OptionsTestSupport.h"

#include <sys/stat.h>

using optionstest::OptionsTest;

namespace {

class StructureFiles : public OptionsTest {
protected:
    cReport* r = nullptr;
    void SetUp() override {
        OptionsTest::SetUp();
        r = &startUp();
        chooseEngine(1);
        r->DatabaseName("Shop");
        r->Password("secret");
        loadStructure();
        xml::Node db = r->oResultXML->selectSingleNode("DATABASE");
        db.appendChild(r->DBOptionsXML().documentElement());
        db.appendChild(r->ReportOptionsXML().documentElement());
    }
    // A structure file whose options differ from the current ones.
    std::string storedFile(bool withReportOptions) {
        cReport other;
        other.CurrentDatabaseEngineId(9);
        other.InitializeDBOptions();
        other.CurrentDatabaseEngineId(9);
        other.DatabaseName("Stored");
        other.InitializeReportOptions();
        other.HTML_ColourScheme("Stored scheme");
        xml::Document doc;
        doc.load(testsupport::fixturePath("options/structure.xml"));
        doc.documentElement().appendChild(other.DBOptionsXML().documentElement());
        if (withReportOptions) doc.documentElement().appendChild(other.ReportOptionsXML().documentElement());
        std::string path = dir.file(withReportOptions ? "stored.xml" : "noreport.xml");
        EXPECT_TRUE(doc.save(path));
        return path;
    }
};

mode_t modeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 0777;
}

}  // namespace

TEST_F(StructureFiles, SaveTempFileWritesAPrivateCopyAndRecordsIt) {
    newProject(true);
    oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP").appendElement("DATABASECONNECTION");
    r->SaveTempFile();
    xml::Node entry = oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[1]/DATABASECONNECTION[1]");
    const std::string first = entry.attribute("TempXMLFileName");
    ASSERT_FALSE(first.empty());
    EXPECT_TRUE(files::isInside(first, files::privateTempFolder()));
    EXPECT_EQ(modeOf(first), 0600u);
    xml::Document back;
    ASSERT_TRUE(back.load(first));
    EXPECT_EQ(back.count("DATABASE/TABLE"), 3);
    EXPECT_EQ(testsupport::readFile(first).find("secret"), std::string::npos);  // the project document keeps it
    ASSERT_TRUE(r->LoadCurrentDBXML(first));
    EXPECT_EQ(r->Password(), "secret");

    r->SaveTempFile();
    const std::string second = entry.attribute("TempXMLFileName");
    EXPECT_NE(first, second);
    EXPECT_TRUE(files::fileExists(first));

    r->CurrentDatabaseNumber(7);  // names no entry: saved, not recorded
    r->SaveTempFile();
    EXPECT_EQ(entry.attribute("TempXMLFileName"), second);
}

TEST_F(StructureFiles, SaveXMLWritesTheDocumentOrItsFirstStage) {
    const std::string plain = dir.file("plain.xml");
    ASSERT_TRUE(r->SaveXML(plain, false, false));
    xml::Document d;
    ASSERT_TRUE(d.load(plain));
    EXPECT_EQ(d.count("DATABASE/DBOPTIONS"), 1);
    EXPECT_EQ(d.count("DATABASE/REPORTOPTIONS"), 1);
    EXPECT_FALSE(d.documentElement().hasAttribute("Stage"));
    EXPECT_EQ(modeOf(plain), 0600u);

    const std::string staged = dir.file("staged.xml");
    ASSERT_TRUE(r->SaveXML(staged, true, false));
    ASSERT_TRUE(d.load(staged));
    EXPECT_EQ(d.documentElement().attribute("Stage"), "1");
    EXPECT_FALSE(r->oResultXML->selectSingleNode("DATABASE/REPORTOPTIONS").hasAttribute("Report"));

    // No preview yet: nothing to render from.
    EXPECT_FALSE(r->SaveXML(dir.file("preview.xml"), true, true));
    EXPECT_FALSE(files::fileExists(dir.file("preview.xml")));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].source, "SaveXML");

    std::filesystem::remove(StylesFolder + "/ReportXML.xsl");
    EXPECT_FALSE(r->SaveXML(dir.file("none.xml"), true, false));
    EXPECT_FALSE(files::fileExists(dir.file("none.xml")));
    EXPECT_TRUE(prompts->messages.empty());

    EXPECT_FALSE(r->SaveXML(dir.file("no/such/folder/x.xml"), false, false));
    EXPECT_EQ(prompts->lastMessage(), "Please give a valid file name and try again.");
}

TEST_F(StructureFiles, LoadCurrentDBXMLReplacesStructureAndOptions) {
    ASSERT_TRUE(r->LoadCurrentDBXML(storedFile(true)));
    EXPECT_EQ(r->DatabaseName(), "Stored");
    EXPECT_EQ(r->HTML_ColourScheme(), "Stored scheme");
    EXPECT_EQ(r->oResultXML->count("DATABASE/TABLE"), 3);
    EXPECT_EQ(r->oResultXML->count("DATABASE/DBOPTIONS"), 1);
}

TEST_F(StructureFiles, AFailedLoadKeepsEveryDocument) {
    auto before = r->oResultXML;
    EXPECT_FALSE(r->LoadCurrentDBXML(storedFile(false)));
    EXPECT_FALSE(r->LoadCurrentDBXML(dir.file("missing.xml")));
    files::writeTextFile(dir.file("broken.xml"), "<DATABASE><TABLE>");
    EXPECT_FALSE(r->LoadCurrentDBXML(dir.file("broken.xml")));
    EXPECT_EQ(r->oResultXML, before);
    EXPECT_EQ(r->DatabaseName(), "Shop");
    EXPECT_EQ(r->Password(), "secret");
    EXPECT_EQ(r->HTML_ColourScheme(), "Blue");
}

TEST_F(StructureFiles, ClearRemovedDBInfoDeletesTheConnectionsFiles) {
    // A path the project document names outside the private temporary folder is never deleted.
    const std::string outside = dir.file("conn.xml");
    files::writeTextFile(outside, "<DATABASE/>");
    ASSERT_TRUE(r->ClearRemovedDBInfo(outside));
    EXPECT_TRUE(files::fileExists(outside));
    const std::string temp = files::uniqueTempFile("structure_", ".xml");
    files::writeTextFile(temp, "<DATABASE/>");
    for (const char* f : {"temp_print.html", "temp.html", "temp.xml", "tempwordcontent.html", "keep.html"})
        files::writeTextFile(files::joinPath(ReportsFolder, f), "x");
    ASSERT_TRUE(r->ClearRemovedDBInfo(temp));
    EXPECT_FALSE(files::fileExists(temp));
    EXPECT_FALSE(files::fileExists(files::joinPath(ReportsFolder, "temp.html")));
    EXPECT_FALSE(files::fileExists(files::joinPath(ReportsFolder, "tempwordcontent.html")));
    EXPECT_TRUE(files::fileExists(files::joinPath(ReportsFolder, "keep.html")));
    EXPECT_EQ(r->oResultXML, nullptr);
    EXPECT_TRUE(r->ClearRemovedDBInfo(""));
}

TEST_F(StructureFiles, GetDiagramFileNameNeedsASavedPicture) {
    EXPECT_EQ(r->GetDiagramFileName(), "");
    newProject(true);
    xml::Node entry = oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP").appendElement("DATABASECONNECTION");
    EXPECT_EQ(r->GetDiagramFileName(), "");
    const std::string diagram = dir.file("Shop_1.xml");
    entry.setAttribute("DiagramFile", diagram);
    EXPECT_EQ(r->GetDiagramFileName(), "");
    files::writeTextFile(dir.file("Shop_1.jpg"), "jpeg");
    EXPECT_EQ(r->GetDiagramFileName(), dir.file("Shop_1.jpg"));
}
