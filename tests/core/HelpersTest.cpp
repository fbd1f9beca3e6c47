#include "CoreTestEnv.h"
#include "core/bErrorHandler.h"
#include "core/cGUID.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

using testsupport::ScopedPrompter;
using testsupport::TempDir;

TEST(Occurs, CountsTheLiteralPatternWithoutRegardToCase) {
    std::string text = "ID_File_Open";
    EXPECT_EQ(Occurs(text, "_"), 2);
    text = "a.b.c";
    EXPECT_EQ(Occurs(text, "."), 2);  // not "any character"
    text = "C:\\data\\x";
    EXPECT_EQ(Occurs(text, "\\"), 2);
    text = "(a)(b)[c]*+?{2}^$|";
    for (const char* p : {"(", ")", "[", "*", "+", "?", "{2}", "^", "$", "|"}) {
        std::string t = text;
        EXPECT_EQ(Occurs(t, p), std::string(p) == "(" || std::string(p) == ")" ? 2 : 1) << p;
    }
    text = "Tables TABLES tables";
    EXPECT_EQ(Occurs(text, "TaBlEs"), 3);
    text = "Ärger ärger";
    EXPECT_EQ(Occurs(text, "ÄRGER"), 2);
    text = "aaaa";
    EXPECT_EQ(Occurs(text, "aa"), 2);  // matches do not overlap
}

TEST(Occurs, EmptyTextAndStartPosition) {
    std::string empty;
    EXPECT_EQ(Occurs(empty, "x"), -1);
    std::string text = "x_y_z";
    EXPECT_EQ(Occurs(text, "_", 3), 1);
    EXPECT_EQ(text, "y_z");  // the caller's text is cut
    text = "abc";
    EXPECT_EQ(Occurs(text, "a", 10), 0);
    EXPECT_EQ(text, "");
    text = "abc";
    EXPECT_EQ(Occurs(text, ""), 0);
}

namespace {
const char* kStructure =
    "  <?xml version=\"1.0\"?>\n<DATABASE DatabaseEngine=\"1\" ServerType=\"x\" DatabaseType=\"y\" "
    "DatabaseName=\"shop\" ServerName=\"srv\"><TABLE Name=\"a\"/></DATABASE>\n  ";
}

TEST(ValidateXML, ChecksExtensionMarkersAndRoot) {
    ScopedPrompter p;
    std::string text = kStructure;
    EXPECT_TRUE(ValidateXML("/tmp/Shop.XML", text, true, "xml"));
    EXPECT_EQ(text.front(), '<');  // trimmed in place
    EXPECT_EQ(text.back(), '>');
    EXPECT_TRUE(p->messages.empty());
    const std::u16string wide = u"\uFEFF" + QString::fromStdString(text).toStdU16String();  // as other tools save it
    EXPECT_TRUE(ValidateXML("a.xml", text = std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2), true, "xml"));

    text = kStructure;
    EXPECT_FALSE(ValidateXML("/tmp/shop.dvs", text, true, "xml"));
    EXPECT_EQ(p->lastMessage(), "Select a valid xml file.");
    EXPECT_EQ(p->messages.back().icon, ui::MsgIcon::Critical);

    std::string lowerCase = "<database databaseengine='1' servertype='' databasetype='' databasename='' servername=''/>";
    EXPECT_FALSE(ValidateXML("a.xml", lowerCase, true, "xml"));  // markers pass, root is not DATABASE
    EXPECT_EQ(p->lastMessage(), "Invalid dalvane structure file");

    std::string blank = "   \r\n ";
    EXPECT_FALSE(ValidateXML("a.xml", blank, true, "xml"));
    EXPECT_EQ(blank, "");

    std::string missing = "<DATABASE DatabaseEngine='1' ServerType='' DatabaseType='' DatabaseName=''/>";
    size_t before = p->messages.size();
    EXPECT_FALSE(ValidateXML("a.xml", missing, false, "xml"));
    EXPECT_EQ(p->messages.size(), before);  // quiet without ShowMessages

    std::string broken = "<DATABASE DatabaseEngine ServerType DatabaseType DatabaseName ServerName";
    EXPECT_FALSE(ValidateXML("a.xml", broken, false, "xml"));
}

TEST(GetXPath, PathsPerObjectKind) {
    EXPECT_EQ(GetXPath(3), "DATABASE");
    EXPECT_EQ(GetXPath(4), "/DATABASE/TABLE");
    EXPECT_EQ(GetXPath(5, 2), "/DATABASE/TABLE[2]/INDEX");
    EXPECT_EQ(GetXPath(7), "/DATABASE/TABLE/FOREIGNKEY");
    EXPECT_EQ(GetXPath(9), "/DATABASE/STOREDPROCEDURE");
    EXPECT_EQ(GetXPath(42), "");
}

TEST(EncryptText, ResultCodesAndRoundTrip) {
    std::string env = EncryptText("<DATABASESTRUCTURES/>", StoredPassPhrase(4));
    EXPECT_NE(env, "-1");
    EXPECT_EQ(DecryptText(env, StoredPassPhrase(4)), "<DATABASESTRUCTURES/>");
    EXPECT_EQ(DecryptText("", "p"), "-1");
    EXPECT_EQ(DecryptText(env, StoredPassPhrase(3)), "-2");
    EXPECT_EQ(DecryptText(env.substr(0, env.size() - 8) + "AAAAAAAA", StoredPassPhrase(4)), "-2");
    EXPECT_EQ(DecryptText("plain text, never encrypted", "p"), "-2");
}

TEST(EncryptText, OnlyALeadingByteOrderMarkIsDropped) {
    const std::string bom = "\xEF\xBB\xBF";
    EXPECT_EQ(DecryptText(EncryptText(bom + "<A/>", "p"), "p"), "<A/>");
    // The three characters that make a mark read as single bytes stay inside the text.
    const std::string text = "naïve »quoted« ¿qué? ï»¿ " + bom + " end";
    EXPECT_EQ(DecryptText(EncryptText(text, "p"), "p"), text);
    EXPECT_EQ(DecryptText(EncryptText(bom + bom + "x", "p"), "p"), bom + "x");
}

TEST(StoredPassPhrases, HaveTheirLengthsAndWords) {
    const std::pair<size_t, int> shape[] = {{48, 7}, {47, 6}, {50, 6}, {49, 6}};
    for (int i = 1; i <= 4; ++i) {
        const std::string& p = StoredPassPhrase(i);
        EXPECT_EQ(p.size(), shape[i - 1].first) << i;
        EXPECT_EQ(std::count(p.begin(), p.end(), ' ') + 1, shape[i - 1].second) << i;
        EXPECT_EQ(p.find("  "), std::string::npos);
    }
    EXPECT_EQ(StoredPassPhrase(5), "");
}

TEST(cGUID, FormatsFieldsWithPadding) {
    EXPECT_EQ(cGUID::FormatGUID(0x000A1B2C, 0xCA47, 0x0067, {0xB3, 0x1D, 0x00, 0xDD, 0x01, 0x06, 0x62, 0x05}),
              "000A1B2C-CA47-0067-B31D00DD01066205");
    cGUID g;
    std::string a = g.GetGUID(), b = g.GetGUID();
    EXPECT_EQ(a.size(), 35u);
    EXPECT_NE(a, b);
    for (char c : a) EXPECT_TRUE(c == '-' || std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F'));
}

TEST(CustomizeColumns, SuppliedFileLoads) {
    TempDir dir;
    std::string saved = DataFolder;
    DataFolder = dir.path();
    EXPECT_FALSE(LoadCustomizedObjects());
    EXPECT_TRUE(oCustomizeColumns.isEmpty());
    std::filesystem::copy_file(files::joinPath(DALV_SOURCE_DIR, "data/CustomizeColumns.xml"),
                               dir.file("CustomizeColumns.xml"));
    ASSERT_TRUE(LoadCustomizedObjects());
    EXPECT_EQ(oCustomizeColumns.documentElement().name(), "DBOBJECTS");
    EXPECT_EQ(oCustomizeColumns.count("/DBOBJECTS/DBOBJECT"), 4);
    EXPECT_EQ(oCustomizeColumns.count("/DBOBJECTS/DBOBJECT[not(@Name) or @Name='']"), 0);
    EXPECT_EQ(oCustomizeColumns.count("//COLUMN[not(@Displayed='1' or @Displayed='0')]"), 0);
    DataFolder = saved;
}

namespace {
// Sets the folders ClearAllTemporaryFiles works on; restores them afterwards.
struct TempFolders {
    TempDir reports, temp, outside;
    std::string savedReports = ReportsFolder, savedTemp = TempFolder;
    TempFolders() {
        ReportsFolder = reports.path();
        TempFolder = temp.path();
    }
    ~TempFolders() {
        ReportsFolder = savedReports;
        TempFolder = savedTemp;
        oStructures.clear();
    }
};
}  // namespace

TEST(ClearAllTemporaryFiles, DeletesWorkFilesAndOnlyTemporaryStructureFiles) {
    TempFolders f;
    for (const char* n : {"temp.html", "temp.xml", "tempwordcontent.html", "default.html"})
        files::writeTextFile(f.reports.file(n), "x");
    files::writeTextFile(f.temp.file("tempdalvpreview.html"), "x");
    files::writeTextFile(f.temp.file("A1.xml"), "x");
    files::writeTextFile(f.temp.file("A1_Query.xml"), "x");
    ::chmod(f.temp.file("A1.xml").c_str(), 0400);  // read-only too
    files::writeTextFile(f.outside.file("precious.xml"), "x");
    files::writeTextFile(f.outside.file("precious_Query.xml"), "x");
    std::filesystem::create_symlink(f.outside.file("precious.xml"), f.temp.file("link.xml"));

    ASSERT_TRUE(oStructures.loadXML(
        "<DATABASESTRUCTURES><DATABASEGROUP>"
        "<DATABASECONNECTION TempXMLFileName=' " + f.temp.file("A1.xml") + " '/>"
        "<DATABASECONNECTION TempXMLFileName='" + f.outside.file("precious.xml") + "'/>"
        "<DATABASECONNECTION TempXMLFileName='" + f.temp.path() + "/../" + files::fileName(f.outside.path()) + "/precious.xml'/>"
        "<DATABASECONNECTION TempXMLFileName='" + f.temp.file("link.xml") + "'/>"
        "<DATABASECONNECTION/></DATABASEGROUP></DATABASESTRUCTURES>"));
    ClearAllTemporaryFiles();

    for (const char* n : {"temp.html", "temp.xml", "tempwordcontent.html"})
        EXPECT_FALSE(files::fileExists(f.reports.file(n))) << n;
    EXPECT_TRUE(files::fileExists(f.reports.file("default.html")));
    EXPECT_FALSE(files::fileExists(f.temp.file("tempdalvpreview.html")));
    EXPECT_FALSE(files::fileExists(f.temp.file("A1.xml")));
    EXPECT_FALSE(files::fileExists(f.temp.file("A1_Query.xml")));
    EXPECT_TRUE(files::fileExists(f.outside.file("precious.xml")));
    EXPECT_TRUE(files::fileExists(f.outside.file("precious_Query.xml")));
    EXPECT_TRUE(oStructures.isEmpty());
}

TEST(ClearAllTemporaryFiles, TerminatesStartedQueryTools) {
    TempFolders f;
    auto p = std::make_unique<QProcess>();
    p->start("sleep", {"30"});
    ASSERT_TRUE(p->waitForStarted());
    QProcess* raw = p.get();
    ProcessHandles.push_back(std::move(p));
    // Tests only see that the list is emptied; keep our own watch on the process id.
    qint64 pid = raw->processId();
    ClearAllTemporaryFiles();
    EXPECT_TRUE(ProcessHandles.empty());
    EXPECT_NE(::kill(static_cast<pid_t>(pid), 0), 0) << "process still running";
}
