// Report options and diagram settings: defaults, conversions and the no-create rule.
#include "OptionsTestSupport.h"

using optionstest::OptionsTest;

TEST_F(OptionsTest, ReportOptionsStartWithTheirDefaults) {
    cReport& r = startUp();
    EXPECT_FALSE(r.HTML_PrinterFriendly());
    EXPECT_TRUE(r.HTML_MultipleHTMLs());
    EXPECT_EQ(r.HTML_ObjectsPerPage(), 5);
    EXPECT_EQ(r.HTML_CurrentCSS(), "styles/ReportFormat1a.css");
    EXPECT_EQ(r.HTML_CurrentXSL(), AppFolder + "/styles/ReportFormat1.xsl");
    EXPECT_EQ(r.HTML_ImagePrefix(), "blu");
    EXPECT_EQ(r.HTML_ImagePath(), "");
    EXPECT_EQ(r.HTML_ColourScheme(), "Blue");
    EXPECT_EQ(r.HTML_LayoutIndex(), 0);
    EXPECT_EQ(r.HTML_StyleSheetIndex(), 0);
    EXPECT_EQ(r.XML_Namespace(), "");
    EXPECT_EQ(r.WORD_ObjectsPerPage(), 1);
    EXPECT_EQ(r.Word_IntroDocument(), DataFolder + "/intro.docx");
    EXPECT_EQ(r.PreviewFormat(), 1);
    xml::Node root = r.ReportOptionsXML().documentElement();
    EXPECT_EQ(root.attribute("CustomizeColumns"), DataFolder + "/CustomizeColumns.xml");
    std::vector<std::string> children;
    for (const xml::Node& c : root.childElements()) children.push_back(c.name());
    EXPECT_EQ(children, (std::vector<std::string>{"HTML", "XML", "WORD"}));
}

TEST_F(OptionsTest, ReportOptionConversions) {
    cReport& r = startUp();
    r.HTML_CurrentXSL("");
    EXPECT_EQ(r.HTML_CurrentXSL(), StylesFolder + "/ReportFormat1.xsl");
    r.HTML_MultipleHTMLs(false);
    EXPECT_EQ(r.ReportOptionsXML().selectSingleNode("REPORTOPTIONS/HTML").attribute("MultipleHTMLs"), "False");
    EXPECT_FALSE(r.HTML_MultipleHTMLs());
    for (const char* falseText : {"false", "0", "FALSE"}) {
        r.ReportOptionsXML().selectSingleNode("REPORTOPTIONS/HTML").setAttribute("MultipleHTMLs", falseText);
        EXPECT_FALSE(r.HTML_MultipleHTMLs()) << falseText;
    }
    r.ReportOptionsXML().selectSingleNode("REPORTOPTIONS/HTML").setAttribute("MultipleHTMLs", "-1");
    EXPECT_TRUE(r.HTML_MultipleHTMLs());
    r.HTML_LayoutIndex(-1);
    EXPECT_EQ(r.ReportOptionsXML().selectSingleNode("REPORTOPTIONS/HTML").attribute("LayoutNumber"), "-1");
    r.ReportOptionsXML().documentElement().setAttribute("PreviewFormat", "abc");
    EXPECT_EQ(r.PreviewFormat(), 0);
}

TEST_F(OptionsTest, LoadedReportOptionsWithoutAnElementCreateNothing) {
    cReport& r = startUp();
    EXPECT_FALSE(r.LoadReportOptionsXML("<REPORTOPTIONS>"));
    EXPECT_EQ(r.HTML_ImagePrefix(), "blu");  // bad text leaves the options as they were
    ASSERT_TRUE(r.LoadReportOptionsXML("<REPORTOPTIONS PreviewFormat='2'><HTML CurrentXSL='x.xsl'/></REPORTOPTIONS>"));
    r.XML_Namespace("ns");
    r.WORD_ObjectsPerPage(3);
    r.HTML_ObjectsPerPage(9);
    EXPECT_EQ(r.XML_Namespace(), "");
    EXPECT_EQ(r.WORD_ObjectsPerPage(), 0);
    EXPECT_EQ(r.HTML_ObjectsPerPage(), 0);
    EXPECT_FALSE(r.HTML_MultipleHTMLs());
    EXPECT_EQ(r.HTML_CurrentXSL(), "x.xsl");
    EXPECT_EQ(r.PreviewFormat(), 2);
    EXPECT_EQ(r.ReportOptionsXML().count("REPORTOPTIONS/XML"), 0);
    ASSERT_TRUE(r.LoadReportOptionsXML("<REPORTOPTIONS/>"));
    EXPECT_EQ(r.HTML_CurrentXSL(), "");  // missing attribute: no default path
}

TEST_F(OptionsTest, DiagramSettingsDefaultsAndProperties) {
    cReport& r = startUp();
    EXPECT_EQ(r.HeadingColor(), 16711680);
    EXPECT_EQ(r.DiagramBackColor(), 16777215);
    EXPECT_EQ(r.TableTitleTextColor(), 16777215);
    EXPECT_EQ(r.TableBorderColor(), 16711680);
    EXPECT_EQ(r.LineColor(), 0);
    EXPECT_EQ(r.TitleFontName(), "Arial");
    EXPECT_EQ(r.TitleFontSize(), 10);
    EXPECT_EQ(r.TableFontSize(), 8);
    EXPECT_TRUE(r.TitleFontBold());
    EXPECT_FALSE(r.TableFontBold());
    EXPECT_TRUE(r.TableTitleFontBold());
    EXPECT_EQ(r.DiagramSettingsXML().selectSingleNode("DIAGRAM/TABLEFONT").attribute("Bold"), "0");
    EXPECT_EQ(r.DiagramSettingsXML().documentElement().attribute("QUALITY"), "75");
    EXPECT_EQ(r.DiagramSettingsXML().documentElement().childCount(), 11);

    r.HeadingColor(255);
    xml::Node heading = r.DiagramSettingsXML().selectSingleNode("DIAGRAM/HEADINGCOLOR");
    EXPECT_EQ(heading.attribute("Red"), "255");
    EXPECT_EQ(heading.attribute("Green"), "0");
    EXPECT_EQ(heading.attribute("Blue"), "0");
    r.LineColor(33023);
    EXPECT_EQ(r.LineColor(), 33023);
    r.LineColor(-5);  // not a plain RGB value: kept as it was
    EXPECT_EQ(r.LineColor(), 33023);

    r.TableFontBold(true);
    EXPECT_EQ(r.DiagramSettingsXML().selectSingleNode("DIAGRAM/TABLEFONT").attribute("Bold"), "1");
    EXPECT_TRUE(r.TableFontBold());
    r.TableFontBold(false);
    EXPECT_FALSE(r.TableFontBold());
    r.TableFontUnderline(true);
    r.TableTitleFontUnderline(true);
    EXPECT_FALSE(r.TableFontUnderline());
    EXPECT_FALSE(r.TableTitleFontUnderline());
    EXPECT_FALSE(r.DiagramSettingsXML().selectSingleNode("DIAGRAM/TABLEFONT").hasAttribute("Underline"));
    r.TitleFontUnderline(true);
    EXPECT_TRUE(r.TitleFontUnderline());

    r.TitleFontSize(0);
    r.TableFontSize(0);
    EXPECT_EQ(r.TitleFontSize(), 12);
    EXPECT_EQ(r.TableFontSize(), 0);
    r.TableTitleFontName("DejaVu Sans");
    EXPECT_EQ(r.TableTitleFontName(), "DejaVu Sans");
    heading.setAttribute("Green", "lots");
    EXPECT_EQ(r.HeadingColor(), 0);
}

TEST_F(OptionsTest, DiagramPropertiesBeforeInitialisation) {
    report = std::make_unique<cReport>();
    report->HeadingColor(255);
    report->TitleFontBold(true);
    EXPECT_EQ(report->HeadingColor(), 0);
    EXPECT_FALSE(report->TitleFontBold());
    EXPECT_EQ(report->TitleFontName(), "");
    EXPECT_TRUE(report->DiagramSettingsXML().isEmpty());
}

TEST(ColourFunctions, HexAndReversal) {
    EXPECT_EQ(cReport::fnGetHTMLRGB(0), "000000");
    EXPECT_EQ(cReport::fnGetHTMLRGB(16777215), "FFFFFF");
    EXPECT_EQ(cReport::fnGetHTMLRGB(33023), "FF8000");
    EXPECT_EQ(cReport::fnGetHTMLRGB(16777216), "");
    EXPECT_EQ(cReport::fnGetHTMLRGB(-1), "");
    EXPECT_EQ(cReport::fnReverseRGB("123456"), "563412");
    EXPECT_EQ(cReport::fnReverseRGB("12345"), "4523");
    int r = 7, g = 7, b = 7;
    cReport::fnGetRGBFromHex(-1, r, g, b);
    EXPECT_EQ(r + g + b, 21);
    cReport::fnGetRGBFromHex(0x102030, r, g, b);
    EXPECT_EQ(r, 0x30);
    EXPECT_EQ(g, 0x20);
    EXPECT_EQ(b, 0x10);
}
