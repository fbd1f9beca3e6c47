#include "test_word_support.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "platform/docx/Zip.h"
#include "platform/fs/Paths.h"

namespace wordtest {

void WordTest::SetUp() {
    AppFolder = DALV_BIN_DIR;
    StylesFolder = files::joinPath(AppFolder, "styles");
    DataFolder = files::joinPath(DALV_BIN_DIR, "data");  // the engine catalogue; nothing is written there
    ShortDateFormat = "yyyy-MM-dd";
    setErrorDialogHook([this](long n, const std::string& d, const std::string& s) {
        errors.push_back(std::to_string(n) + " " + d + " " + s);
    });
    report = std::make_unique<cReport>();
}

void WordTest::TearDown() {
    report.reset();
    setErrorDialogHook(nullptr);
}

std::string WordTest::render(const std::string& fixture, const std::string& databaseName,
                             const std::string& intro, int objectsPerPage) {
    report->oResultXML = std::make_shared<xml::Document>();
    EXPECT_TRUE(report->oResultXML->load(testsupport::fixturePath(fixture)));
    // A structure straight from a reader has no report options yet.
    xml::Node options = report->oResultXML->selectSingleNode("DATABASE/REPORTOPTIONS");
    if (!options) options = report->oResultXML->documentElement().appendElement("REPORTOPTIONS");
    xml::Node word = options.selectSingleNode("WORD");
    if (!word) word = options.appendElement("WORD");
    word.setAttribute("IntroDocument", intro);
    word.setAttribute("ObjectsPerPage", std::to_string(objectsPerPage));
    EXPECT_TRUE(report->LoadReportOptionsXML("<REPORTOPTIONS><WORD IntroDocument=" + xml::xpathLiteral(intro) +
                                             " ObjectsPerPage='0'/></REPORTOPTIONS>"));
    EXPECT_TRUE(report->LoadDBOptionsXML("<DBOPTIONS><MOREINFO><SERVER Name='db1'/><DATABASE Name=" +
                                         xml::xpathLiteral(databaseName) + "/></MOREINFO></DBOPTIONS>"));
    std::string text;
    EXPECT_TRUE(report->ApplyXSL(files::joinPath(StylesFolder, "WordFormat1.xsl"), false, &text));
    return text;
}

bool WordTest::generate(std::string text, const std::string& path) {
    cWord word(report.get());
    word.WhileGenerating = [this](int& action, std::string& message) { events.emplace_back(action, message); };
    return word.GenerateWordDocument(text, path);
}

std::vector<std::string> WordTest::messages() const {
    std::vector<std::string> out;
    for (const auto& e : events) out.push_back(e.second);
    return out;
}

std::string introDocument() { return files::joinPath(DALV_BIN_DIR, "data", "intro.docx"); }

xml::Document documentPart(const std::string& docxPath) {
    std::string text;
    xml::Document d;
    EXPECT_TRUE(docx::readZipEntry(docxPath, "word/document.xml", text));
    EXPECT_TRUE(d.loadXML(text)) << d.parseError();
    return d;
}

xml::NodeList paragraphsWithStyle(const xml::Document& d, const std::string& style) {
    return d.selectNodes("/*/*[local-name()='body']/*[local-name()='p'][*[local-name()='pPr']/*[local-name()='pStyle']"
                         "[@*[local-name()='val']=" + xml::xpathLiteral(style) + "]]");
}

std::vector<std::vector<std::vector<std::string>>> tables(const xml::Document& d) {
    std::vector<std::vector<std::vector<std::string>>> out;
    for (const xml::Node& t : d.selectNodes("//*[local-name()='tbl']")) {
        auto& table = out.emplace_back();
        for (const xml::Node& r : t.selectNodes("*[local-name()='tr']")) {
            auto& row = table.emplace_back();
            for (const xml::Node& c : r.selectNodes("*[local-name()='tc']")) row.push_back(c.text());
        }
    }
    return out;
}

}  // namespace wordtest
