// Two-stage rendering, previews and the option copies inside the structure document.
#include "OptionsTestSupport.h"

using optionstest::OptionsTest;

namespace {

class Rendering : public OptionsTest {
protected:
    cReport* r = nullptr;
    void SetUp() override {
        OptionsTest::SetUp();
        r = &startUp();
        loadStructure();
        ASSERT_TRUE(r->oResultXML->selectSingleNode("DATABASE")
                        .appendChild(r->ReportOptionsXML().documentElement()));
        r->HTML_CurrentXSL(StylesFolder + "/layout.xsl");
    }
    std::string sheet(const std::string& name) { return StylesFolder + "/" + name; }
};

}  // namespace

TEST_F(Rendering, ApplyXSLRunsBothStagesAndKeepsCatalogueTextEscaped) {
    std::string html, intermediate;
    ASSERT_TRUE(r->ApplyXSL(sheet("layout.xsl"), false, &html, &intermediate));
    EXPECT_NE(intermediate.find("Stage=\"1\""), std::string::npos);
    EXPECT_NE(html.find("<p class=\"stage\">1</p>"), std::string::npos);
    EXPECT_NE(html.find("layout:whole"), std::string::npos);
    // The view source holds markup and entities: it stays text.
    EXPECT_EQ(html.find("<script>"), std::string::npos);
    EXPECT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(html.find("Id &gt; 10"), std::string::npos);
    EXPECT_NE(html.find("&lt;&gt; '' &amp; 1"), std::string::npos);
    EXPECT_NE(html.find("O'Brien &amp; Sons"), std::string::npos);
    EXPECT_EQ(html.find("xmlns:fo"), std::string::npos);
    EXPECT_EQ(r->oResultXML->selectSingleNode("DATABASE/REPORTOPTIONS").attribute("Report"), "1");
}

TEST_F(Rendering, ApplyXSLFailuresLeaveTheOutputs) {
    std::string html = "before", intermediate;
    EXPECT_FALSE(r->ApplyXSL(sheet("missing.xsl"), false, &html, &intermediate));
    EXPECT_EQ(html, "before");
    EXPECT_FALSE(intermediate.empty());  // the first stage had run
    // Every failure names the sheet and the reason.
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_NE(prompts->lastMessage().find(sheet("missing.xsl") + ": "), std::string::npos) << prompts->lastMessage();
    std::string screen, xmlText, print;
    r->HTML_CurrentXSL(sheet("missing.xsl"));
    EXPECT_FALSE(r->PreparePreview(0, "DATABASE/TABLE[1]", screen, xmlText, print));
    EXPECT_EQ(prompts->messages.size(), 2u);
    files::writeTextFile(sheet("broken.xsl"), "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>");
    EXPECT_FALSE(r->ApplyXSL(sheet("broken.xsl"), false, &html));
    EXPECT_NE(prompts->lastMessage().find(sheet("broken.xsl") + ": "), std::string::npos) << prompts->lastMessage();

    std::filesystem::remove(sheet("ReportXML.xsl"));
    intermediate.clear();
    EXPECT_FALSE(r->ApplyXSL(sheet("layout.xsl"), false, &html, &intermediate));
    EXPECT_TRUE(intermediate.empty());
    EXPECT_NE(prompts->lastMessage().find(sheet("ReportXML.xsl") + ": "), std::string::npos) << prompts->lastMessage();

    r->oResultXML.reset();
    EXPECT_FALSE(r->ApplyXSL(sheet("layout.xsl"), false, &html));
}

TEST_F(Rendering, FirstStageLineEndsReachTheSecondStageDoubled) {
    testsupport::TempDir other;
    // A first stage that emits "a" CR LF "b" raw (in CDATA).
    files::writeTextFile(sheet("ReportXML.xsl"),
                         "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
                         "<xsl:output method='xml' cdata-section-elements='T'/>"
                         "<xsl:template match='/'><T>a&#13;&#10;b</T></xsl:template>"
                         "</xsl:stylesheet>");
    files::writeTextFile(other.file("len.xsl"),
                         "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
                         "<xsl:output method='text'/><xsl:template match='/'>"
                         "<xsl:value-of select='string-length(T)'/></xsl:template></xsl:stylesheet>");
    std::string out;
    ASSERT_TRUE(r->ApplyXSL(other.file("len.xsl"), false, &out));
    // The parser folds CR LF to LF: "a" CR LF LF "b" reads as a, LF, LF, b.
    EXPECT_EQ(out, "4");
}

TEST_F(Rendering, ApplyXSLUsesThePreviewOnlyWhenOneExists) {
    std::string html;
    ASSERT_TRUE(r->ApplyXSL(sheet("layout.xsl"), true, &html));
    EXPECT_NE(html.find("<p class=\"tables\">3</p>"), std::string::npos);
    std::string a, b, c;
    ASSERT_TRUE(r->PreparePreview(0, "DATABASE/TABLE[2]", a, b, c));
    ASSERT_TRUE(r->ApplyXSL(sheet("layout.xsl"), true, &html));
    EXPECT_NE(html.find("<p class=\"tables\">1</p>"), std::string::npos);
}

TEST_F(Rendering, GetXPathCopiesThePartAKeyNames) {
    xml::Document d = r->GetXPath("DATABASE/TABLE[3]");
    ASSERT_FALSE(d.isEmpty());
    EXPECT_EQ(d.documentElement().name(), "DATABASE");
    EXPECT_EQ(d.count("DATABASE/TABLE"), 1);
    EXPECT_EQ(d.selectSingleNode("DATABASE/TABLE").attribute("Name"), "O'Brien & Sons");
    EXPECT_EQ(d.count("DATABASE/REPORTOPTIONS"), 1);
    EXPECT_EQ(d.count("DATABASE/VIEW"), 0);

    d = r->GetXPath("DATABASE/VIEW");
    EXPECT_EQ(d.count("DATABASE/VIEW"), 2);
    EXPECT_EQ(d.documentElement().childElements().back().name(), "REPORTOPTIONS");

    d = r->GetXPath("DATABASE/TABLE[2]/INDEX[1]");
    EXPECT_EQ(d.count("DATABASE/TABLE[@Name='Orders']/INDEX"), 2);

    d = r->GetXPath("DATABASE");
    EXPECT_EQ(d.count("DATABASE/TABLE"), 3);

    d = r->GetXPath("DATABASE/SUMMARY");
    EXPECT_EQ(d.documentElement().childCount(), 1);

    EXPECT_TRUE(r->GetXPath("NOTHING").isEmpty());
    EXPECT_TRUE(r->GetXPath("DATABASE[").isEmpty());
    r->oResultXML.reset();
    EXPECT_TRUE(r->GetXPath("DATABASE").isEmpty());
}

TEST_F(Rendering, PreparePreviewPicksThePageAndRestoresTheOptions) {
    r->PrinterFriendlyXSL = sheet("pf.xsl");
    r->PrinterFriendlyCSS = "styles/pf.css";
    struct Case {
        const char* key;
        const char* page;
    } cases[] = {{"DATABASE/TABLE", "index"},         {"DATABASE", "index"},
                 {"DATABASE/TABLE[2]/INDEX[1]", "tables"}, {"DATABASE/TABLE[1]/FOREIGNKEY[1]", "tables"},
                 {"DATABASE/VIEW[1]", "views"},       {"DATABASE/TABLE[1]/COLUMN[1]", "whole"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        std::string screen, xmlText, print;
        ASSERT_TRUE(r->PreparePreview(0, c.key, screen, xmlText, print));
        EXPECT_NE(screen.find(std::string("layout:") + c.page), std::string::npos);
        EXPECT_NE(print.find(std::string("pf:") + c.page), std::string::npos);
        EXPECT_NE(screen.find("<p class=\"multiple\">False</p>"), std::string::npos);
        EXPECT_NE(screen.find("<p class=\"scheme\">Blue</p>"), std::string::npos);
        EXPECT_NE(print.find("<p class=\"scheme\">Black</p>"), std::string::npos);
        EXPECT_NE(screen.find("dbtables1.html____Orders"), std::string::npos);
        EXPECT_NE(print.find("dbtables1.html____Orders"), std::string::npos);
    }
    EXPECT_EQ(r->HTML_CurrentXSL(), sheet("layout.xsl"));
    EXPECT_EQ(r->HTML_CurrentCSS(), "styles/ReportFormat1a.css");
    EXPECT_EQ(r->HTML_ColourScheme(), "Blue");
    EXPECT_EQ(r->HTML_ImagePrefix(), "blu");
    EXPECT_TRUE(r->HTML_MultipleHTMLs());
    EXPECT_EQ(r->oResultXML->selectSingleNode("DATABASE/REPORTOPTIONS/HTML").attribute("ColourScheme"), "Blue");
}

TEST_F(Rendering, PreparePreviewWithoutPrinterFriendlyLayout) {
    std::string screen, xmlText, print = "keep.html#a";
    ASSERT_TRUE(r->PreparePreview(0, "DATABASE/TABLE[1]", screen, xmlText, print));
    EXPECT_EQ(print, "keep.html____a");
    EXPECT_NE(screen.find("layout:tables"), std::string::npos);
    print.clear();
    EXPECT_FALSE(r->PreparePreview(0, "NOTHING", screen, xmlText, print));
    EXPECT_TRUE(print.empty());
}

TEST_F(Rendering, UpdateReportSettingsReplacesTheCopies) {
    r->HTML_ColourScheme("Green");
    r->HeadingColor(255);
    ASSERT_TRUE(r->UpdateReportSettings());
    xml::Node db = r->oResultXML->selectSingleNode("DATABASE");
    EXPECT_EQ(db.count("REPORTOPTIONS"), 1);
    EXPECT_EQ(db.count("DIAGRAM"), 1);
    EXPECT_EQ(db.selectSingleNode("REPORTOPTIONS/HTML").attribute("ColourScheme"), "Green");
    EXPECT_EQ(db.selectSingleNode("DIAGRAM/HEADINGCOLOR").attribute("Red"), "255");
    ASSERT_TRUE(r->UpdateReportSettings());
    EXPECT_EQ(db.count("DIAGRAM"), 1);

    db.selectSingleNode("REPORTOPTIONS").remove();
    EXPECT_FALSE(r->UpdateReportSettings());
    EXPECT_EQ(db.count("REPORTOPTIONS"), 0);
}

TEST_F(Rendering, ScriptXSLNamesTheEnginesScriptSheet) {
    chooseEngine(1);
    EXPECT_EQ(r->ScriptXSL(), AppFolder + "/styles/SQLServerScript.xsl");
    chooseEngine(12);
    EXPECT_EQ(r->ScriptXSL(), AppFolder + "/styles/OthersScript.xsl");
    chooseEngine(13);
    EXPECT_EQ(r->ScriptXSL(), "");
}
