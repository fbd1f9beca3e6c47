#include "test_word_support.h"

#include "core/bGlobal.h"
#include "platform/docx/Zip.h"
#include "platform/fs/Paths.h"

#include <algorithm>
#include <map>

namespace wordtest {
namespace {

std::string trim(const std::string& s) {
    size_t a = s.find_first_not_of(' ');
    return a == std::string::npos ? std::string() : s.substr(a, s.find_last_not_of(' ') - a + 1);
}

std::vector<std::string> texts(const xml::NodeList& nodes) {
    std::vector<std::string> out;
    for (const xml::Node& n : nodes) out.push_back(trim(n.text()));
    return out;
}

bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// Tables of the body grouped by the DVHeading2 section that holds them; each table is named by
// the DVHeading3 paragraph before it.
std::map<std::string, std::map<std::string, std::vector<std::vector<std::string>>>> sections(const xml::Document& d) {
    std::map<std::string, std::map<std::string, std::vector<std::vector<std::string>>>> out;
    std::string section, sub;
    for (const xml::Node& n : d.selectNodes("/*/*[local-name()='body']/*")) {
        if (n.name() == "w:p" || n.name() == "p") {
            std::string style = n.selectSingleNode("*[local-name()='pPr']/*[local-name()='pStyle']").attribute("val");
            if (style == "DVHeading2") section = trim(n.text());
            if (style == "DVHeading3") sub = trim(n.text());
        } else if (n.name() == "w:tbl" || n.name() == "tbl") {
            auto& rows = out[section][sub];
            for (const xml::Node& r : n.selectNodes("*[local-name()='tr']")) {
                auto& row = rows.emplace_back();
                for (const xml::Node& c : r.selectNodes("*[local-name()='tc']")) row.push_back(c.text());
            }
        }
    }
    return out;
}

const std::vector<std::string> kMarkers = {"<dalvtable", "</dalvtable", "<heading", "<pagebreak/>", "<reporttitle>"};

void expectNoMarkers(const xml::Document& d) {
    std::string all = d.documentElement().text();
    for (const std::string& m : kMarkers) EXPECT_EQ(all.find(m), std::string::npos) << m;
}

TEST_F(WordTest, StructureBecomesTitledReportWithOneSectionPerTable) {
    std::string path = dir.file("Ledger.docx");
    ASSERT_TRUE(generate(render("reports/word_ado.xml", "Ledger"), path));
    xml::Document d = documentPart(path);

    EXPECT_EQ(texts(paragraphsWithStyle(d, "DVTitle")), std::vector<std::string>{"Ledger Database Structure Report"});
    EXPECT_EQ(texts(paragraphsWithStyle(d, "DVHeading1")), (std::vector<std::string>{"Summary", "Tables", "Views"}));
    EXPECT_EQ(texts(paragraphsWithStyle(d, "DVHeading2")),
              (std::vector<std::string>{"Customers", "Orders", "Bob's & Co <Archive>", "CustomerOrders"}));
    EXPECT_EQ(d.documentElement().text().find("Hidden"), std::string::npos);
    expectNoMarkers(d);

    // The table of contents directly follows "Table of Contents" and lists the sections.
    xml::Node tocStart = d.selectSingleNode("//*[local-name()='p'][.//*[local-name()='instrText'][contains(., 'TOC')]]");
    ASSERT_TRUE(tocStart);
    EXPECT_EQ(tocStart.selectSingleNode("preceding-sibling::*[1]").text(), "Table of Contents");
    EXPECT_EQ(d.count("//*[local-name()='hyperlink'][.=" + xml::xpathLiteral("Bob's & Co <Archive>") + "]"), 1);

    auto s = sections(d);
    const auto& columns = s["Customers"]["Columns"];
    ASSERT_EQ(columns.size(), 4u);
    EXPECT_EQ(columns[0], (std::vector<std::string>{"Column Name", "Data Type", "Length", "Null Allowed", "Default", "Primary Key"}));
    EXPECT_EQ(columns[3], (std::vector<std::string>{"CreditLimit", "decimal(10,2)", "10", "True", "0.00", ""}));
    EXPECT_EQ(s["Customers"]["Primary Key"].at(1), (std::vector<std::string>{"PK_Customers", "CustomerId"}));
    // A partial index says which rows it covers, as the HTML report does.
    EXPECT_EQ(s["Customers"]["Indexes"].at(0), (std::vector<std::string>{"Index Name", "Columns", "Rows", "Unique"}));
    EXPECT_EQ(s["Customers"]["Indexes"].at(1), (std::vector<std::string>{"IX_Customers_Name", "Name", "WHERE CreditLimit > 0", "Yes"}));
    EXPECT_EQ(s["Orders"]["Columns"].at(3).at(4), "'n/a, none'");
    // The key stands with the referencing table.
    EXPECT_EQ(s["Orders"]["Foreign Keys"].at(1),
              (std::vector<std::string>{"FK_Orders_Customers", "Orders", "CustomerId", "Customers", "CustomerId", "NO ACTION", "CASCADE"}));
    EXPECT_EQ(s["Customers"].count("Foreign Keys"), 0u);
    EXPECT_EQ(s["Bob's & Co <Archive>"]["Columns"].at(1).at(0), "Line");
    EXPECT_EQ(s["CustomerOrders"]["Columns"].at(2), (std::vector<std::string>{"OrderId", "Orders"}));

    std::string header;
    ASSERT_TRUE(docx::readZipEntry(path, "word/header1.xml", header));
    EXPECT_NE(header.find("Report on Ledger"), std::string::npos);
    EXPECT_NE(header.find(FormatShortDate()), std::string::npos);

    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front(), std::make_pair(1, std::string("Initializing Word Application")));
    EXPECT_EQ(events.back(), std::make_pair(0, std::string("Word document generated!!!")));
    EXPECT_TRUE(std::find(events.begin(), events.end(), std::make_pair(3, std::string("Saving the document"))) != events.end());
    EXPECT_FALSE(contains(messages(), "Inserting introduction text..."));
    EXPECT_TRUE(prompts->opened.empty());  // a headless run never opens the document
    EXPECT_TRUE(prompts->messages.empty()) << prompts->lastMessage();
    EXPECT_TRUE(errors.empty());
}

TEST_F(WordTest, IntroductionContinuationsAndViewSource) {
    std::string path = dir.file("Shop.docx");
    ASSERT_TRUE(generate(render("reports/word_dao.xml", "Shop", introDocument(), 1), path));
    xml::Document d = documentPart(path);
    std::string all = d.documentElement().text();
    EXPECT_TRUE(contains(messages(), "Inserting introduction text..."));
    EXPECT_NE(all.find("About this report"), std::string::npos);
    EXPECT_EQ(all.find("About Quorvel Group"), all.rfind("About Quorvel Group"));  // the marker went, the intro's heading stays
    expectNoMarkers(d);

    // The view's source is framed line by line.
    EXPECT_EQ(texts(d.selectNodes("//*[local-name()='p'][*[local-name()='pPr']/*[local-name()='pBdr']]")),
              (std::vector<std::string>{"SELECT ProductId, Price", "FROM Products", "WHERE Price > 100;"}));
    EXPECT_TRUE(contains(messages(), "Drawing table for SQL Script 1 ..."));

    // One table per page: the second starts a new page under the continuation line, which
    // keeps its text in the normal font.
    xml::Node cont = d.selectSingleNode("//*[local-name()='r'][.='Tables (Continued...)']");
    ASSERT_TRUE(cont);
    EXPECT_EQ(cont.selectSingleNode(".//*[local-name()='rFonts']").attribute("ascii"), "Arial");
    EXPECT_EQ(cont.selectSingleNode(".//*[local-name()='sz']").attribute("val"), "18");
    EXPECT_EQ(cont.selectSingleNode(".//*[local-name()='b']").attribute("val"), "0");
    EXPECT_EQ(cont.parent().count(".//*[local-name()='br'][@*[local-name()='type']='page']"), 1);

    auto s = sections(d);
    EXPECT_EQ(s["Products"]["Columns"].at(0).back(), "Description");
    // Checks (Access validation rules) and the index's key flag, as in the HTML report.
    EXPECT_EQ(s["Products"]["Columns"].at(0).at(5), "Check Constraint");
    EXPECT_EQ(s["Products"]["Columns"].at(1),
              (std::vector<std::string>{"ProductId", "Long Integer", "4", "False", "", "", "PrimaryKey", "Key of the product"}));
    EXPECT_EQ(s["Products"]["Columns"].at(2).at(5), ">=0");
    EXPECT_EQ(s["Products"]["Indexes"].at(1).at(3), "Yes");
    EXPECT_EQ(s["OrderLines"]["Indexes"].at(1).at(1), "ProductId DESC");
    EXPECT_EQ(s["OrderLines"]["Foreign Keys"].at(1).at(3), "Products");
}

TEST_F(WordTest, MissingIntroductionFileInsertsNothing) {
    std::string path = dir.file("Shop.docx");
    ASSERT_TRUE(generate(render("reports/word_dao.xml", "Shop", dir.file("none.docx")), path));
    EXPECT_TRUE(contains(messages(), "Inserting introduction text..."));
    std::string all = documentPart(path).documentElement().text();
    EXPECT_NE(all.find("About Quorvel Group"), std::string::npos);
    EXPECT_EQ(all.find("About this report"), std::string::npos);

    // Options that name no intro page: the report has none, though the structure's older copy
    // of the options named one.
    std::string text = render("reports/word_dao.xml", "Shop", introDocument());
    report->Word_IntroDocument("");
    ASSERT_TRUE(generate(text, path));
    all = documentPart(path).documentElement().text();
    EXPECT_EQ(all.find("About Quorvel Group"), std::string::npos);
    EXPECT_EQ(all.find("About this report"), std::string::npos);
}

// A structure of the ODBC reader: counts it did not take are not 0, its indexes are the unique
// ones, a decimal shows its scale.
TEST_F(WordTest, SummarySaysWhatTheReaderDidNotRead) {
    std::string path = dir.file("Shop.docx");
    ASSERT_TRUE(generate(render("import/sqlite_shop.xml", "shop"), path));
    const auto all = tables(documentPart(path));
    ASSERT_FALSE(all.empty());
    const auto& summary = all.front();
    EXPECT_EQ(summary.at(3), (std::vector<std::string>{"Stored Procedures", "not available"}));
    EXPECT_EQ(summary.at(4), (std::vector<std::string>{"Triggers", "not available"}));
    EXPECT_EQ(summary.at(5), (std::vector<std::string>{"Unique indexes", "2"}));
    auto s = sections(documentPart(path));
    EXPECT_EQ(s["Customer Info"]["Columns"].at(4).at(1), "NUMERIC(8,2)");
    EXPECT_EQ(s["Customer Info"].count("Unique indexes"), 1u);
}

TEST_F(WordTest, TextWithoutMarkersKeepsItsLinesAndEndsWithTheContents) {
    std::string path = dir.file("plain.docx");
    ASSERT_TRUE(generate("first line\r\nsecond, with comma\nthird", path));
    xml::Document d = documentPart(path);
    EXPECT_EQ(texts(paragraphsWithStyle(d, "DVNormal")),
              (std::vector<std::string>{"first line", "second, with comma", "third"}));
    xml::Node last = d.selectSingleNode("/*/*[local-name()='body']/*[local-name()='p'][last()]");
    EXPECT_EQ(last.count(".//*[local-name()='instrText'][contains(., 'TOC')]"), 1);
    EXPECT_EQ(d.count("//*[local-name()='tbl']"), 0);
}

TEST_F(WordTest, MarkersBecomeTablesFramesHeadingsAndPageBreaks) {
    std::string path = dir.file("m.docx");
    ASSERT_TRUE(generate("<heading1>Part\r\n<dalvtable>\r\nA\tB\r\ndecimal(10,2)\tx, y\r\nonly\r\n</dalvtable>\r\n"
                         "<dalvtable>\r\nC\r\n</dalvtable>\r\n<dalvtable1row>\r\nline 1\r\nline 2\r\n</dalvtable1row>\r\n"
                         "<pagebreak/>\r\n<heading2>Next\r\n<heading3>Deeper\r\n<heading4>Deepest\r\n",
                         path));
    xml::Document d = documentPart(path);
    expectNoMarkers(d);
    using Rows = std::vector<std::vector<std::string>>;
    auto t = tables(d);
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0], (Rows{{"A", "B"}, {"decimal(10,2)", "x, y"}, {"only", ""}}));
    EXPECT_EQ(t[1], (Rows{{"C"}}));
    EXPECT_EQ(texts(d.selectNodes("//*[local-name()='p'][*[local-name()='pPr']/*[local-name()='pBdr']]")),
              (std::vector<std::string>{"line 1", "line 2"}));
    EXPECT_EQ(texts(paragraphsWithStyle(d, "DVHeading1")), std::vector<std::string>{"Part"});
    EXPECT_EQ(texts(paragraphsWithStyle(d, "DVHeading3")), std::vector<std::string>{"Deeper"});
    EXPECT_EQ(texts(paragraphsWithStyle(d, "DVHeading4")), std::vector<std::string>{"Deepest"});
    xml::NodeList next = paragraphsWithStyle(d, "DVHeading2");
    ASSERT_EQ(next.size(), 1u);
    EXPECT_EQ(next[0].selectSingleNode("*[local-name()='r'][1]/*[local-name()='br']").attribute("type"), "page");
    // The frame is followed directly by the heading: the page-break line left no paragraph.
    EXPECT_EQ(next[0].selectSingleNode("preceding-sibling::*[1]").text(), "line 2");

    std::vector<std::string> m = messages();
    auto at = [&](const std::string& s) { return std::find(m.begin(), m.end(), s) - m.begin(); };
    EXPECT_LT(at("Drawing table for structure 1 ..."), at("Drawing table for structure 2 ..."));
    EXPECT_LT(at("Drawing table for structure 2 ..."), at("Drawing table for SQL Script 1 ..."));
    EXPECT_LT(at("Drawing table for SQL Script 1 ..."), static_cast<long>(m.size()));
    EXPECT_FALSE(contains(m, "Drawing table for structure 3 ..."));
}

TEST_F(WordTest, BlockWithoutClosingMarkerFailsWithoutWritingAFile) {
    const std::vector<std::string> bad = {
        "<dalvtable>\r\nA\tB\r\n",
        "<dalvtable>\r\nA\r\n<dalvtable>\r\nB\r\n</dalvtable>\r\n",  // the close belongs to the second
        "Head\r\n<dalvtable1row>\r\nSELECT 1\r\n",
    };
    for (const std::string& text : bad) {
        events.clear();
        prompts->messages.clear();
        std::string path = dir.file("bad.docx");
        EXPECT_FALSE(generate(text, path)) << text;
        EXPECT_FALSE(files::fileExists(path));
        ASSERT_EQ(prompts->messages.size(), 1u);
        EXPECT_EQ(prompts->messages[0].icon, ui::MsgIcon::Critical);
        EXPECT_NE(prompts->lastMessage().find("has no closing </dalvtable"), std::string::npos);
        EXPECT_EQ(events.back(), std::make_pair(0, std::string("Unable to generate Word document!!!")));
        EXPECT_FALSE(contains(messages(), "Word document generated!!!"));
    }
}

TEST_F(WordTest, SaveFailureIsReportedAsFailure) {
    for (const std::string& path : {dir.file("missing/r.docx"), std::string()}) {
        events.clear();
        prompts->messages.clear();
        EXPECT_FALSE(generate("<reporttitle>Database Info\r\n", path));
        ASSERT_EQ(prompts->messages.size(), 1u);
        EXPECT_EQ(prompts->lastMessage(), "Word document generated, but unable to save because of invalid file name.");
        EXPECT_EQ(prompts->messages[0].icon, ui::MsgIcon::Information);
        EXPECT_EQ(events.back(), std::make_pair(0, std::string("Unable to generate Word document!!!")));
        EXPECT_FALSE(contains(messages(), "Word document generated!!!"));
        EXPECT_TRUE(prompts->opened.empty());
    }
}

class InteractivePrompter : public ui::ScriptedPrompter {
public:
    bool isInteractive() const override { return true; }
};

TEST_F(WordTest, InteractiveRunOpensTheSavedDocument) {
    auto own = std::make_unique<InteractivePrompter>();
    InteractivePrompter* p = own.get();
    auto previous = ui::setPrompter(std::move(own));
    std::string path = dir.file("open.docx");
    bool ok = generate("Hello", path);
    std::vector<std::string> opened = p->opened;
    ui::setPrompter(std::move(previous));
    EXPECT_TRUE(ok);
    EXPECT_EQ(opened, std::vector<std::string>{path});
}

// Tables without "Null Allowed", views without their dates, no stored procedures: the Word
// text leaves out just those.
TEST_F(WordTest, ColumnSettingsLeaveOutColumnsAndKinds) {
    const std::string all = render("reports/sales_ado.xml", "Sales"), settings = dir.file("CustomizeColumns.xml");
    ASSERT_TRUE(files::writeTextFile(settings, "<DBOBJECTS><DBOBJECT Name='Tables'><COLUMN Name='Name' Displayed='1'/>"
        "<COLUMN Name='Null Allowed' Displayed='0'/></DBOBJECT><DBOBJECT Name='Views'><COLUMN Name='Created On' Displayed='0'/>"
        "<COLUMN Name='Name' Displayed='1'/></DBOBJECT><DBOBJECT Name='Stored Procedures'><COLUMN Name='Name' Displayed='0'/>"
        "</DBOBJECT></DBOBJECTS>"));
    report->oResultXML->selectSingleNode("DATABASE/REPORTOPTIONS").setAttribute("CustomizeColumns", settings);
    std::string some, expected, section, heading;
    ASSERT_TRUE(report->ApplyXSL(files::joinPath(StylesFolder, "WordFormat1.xsl"), false, &some));
    int cells = 0, dates = 0;
    for (std::size_t at = 0, end; at < all.size() && section != "<heading1>Stored Procedures"; at = end + 2) {
        end = std::min(all.find("\r\n", at), all.size());
        std::string line = all.substr(at, end - at);
        if (line.rfind("<heading1>", 0) == 0) section = line;
        if (line.rfind("<heading3>", 0) == 0) heading = line;
        const bool tableRow = section == "<heading1>Tables" && heading == "<heading3>Columns" && line.find('\t') != std::string::npos;
        if (tableRow) {  // the fourth cell out
            const std::size_t from = line.find('\t', line.find('\t', line.find('\t') + 1) + 1) + 1;
            line.erase(from, line.find('\t', from) + 1 - from);
            ++cells;
        }
        if (line.rfind("Stored Procedures\t", 0) == 0 || (section == "<heading1>Views" && line.rfind("Created On: ", 0) == 0 && ++dates))
            continue;
        expected += line + "\r\n";
    }
    expected.erase(expected.rfind("<pagebreak/>"));  // the break before the procedures
    EXPECT_EQ(some, expected);
    EXPECT_EQ(dates, 4);
    EXPECT_GT(cells, 18);
}

}  // namespace
}  // namespace wordtest
