#include "test_html_support.h"

#include "platform/fs/Paths.h"
#include "platform/text/Text.h"
#include "platform/xml/Xml.h"
#include "reports/bXMLSupport.h"

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace htmltest;
namespace sfs = std::filesystem;

namespace {

const char* kSalesTables[] = {"regions", "departments", "staff", "customers", "customer_addresses", "suppliers",
                              "product_categories", "products", "product_suppliers", "price_history",
                              "warehouses", "inventory", "shippers", "orders", "order_items", "payments",
                              "shipments", "audit_log"};

// The ids and text of every page of one kind ("Tables") in folder.
Page mergedPages(const std::string& folder, const std::string& prefix) {
    Page all;
    for (const std::string& f : htmlFiles(folder)) {
        if (sfs::path(f).filename().string().rfind(prefix, 0) != 0) continue;
        Page p = parsePage(f);
        all.ids.insert(p.ids.begin(), p.ids.end());
        all.text += p.text;
        all.scriptElements += p.scriptElements;
        all.eventAttributes += p.eventAttributes;
    }
    return all;
}

int countFiles(const std::string& folder, const std::string& prefix) {
    int n = 0;
    for (const std::string& f : htmlFiles(folder))
        if (sfs::path(f).filename().string().rfind(prefix, 0) == 0) ++n;
    return n;
}

// Removes each run from `from` up to `to` (to itself too, unless keepTo).
void eraseRuns(std::string& text, const std::string& from, const std::string& to, bool keepTo) {
    for (std::size_t at, end; (at = text.find(from)) != std::string::npos && (end = text.find(to, at)) != std::string::npos;)
        text.erase(at, end - at + (keepTo ? 0 : to.size()));
}

}  // namespace

// ---------------------------------------------------------------- the sample structure

TEST_F(HtmlReportTest, SampleStructureRendersEveryObjectWithWorkingLinks) {
    loadStructure("reports/sales_ado.xml");
    const std::string folder = reportFolder("Sales Report");
    const std::string index = exportTo(folder);
    ASSERT_EQ(index, folder + "SalesDemoIndex1.html");
    EXPECT_TRUE(errors.empty()) << errors.front();

    EXPECT_TRUE(files::fileExists(folder + "styles/ReportFormat1a.css"));
    // The colour scheme imports the layout's shared rules: both travel with the report.
    EXPECT_TRUE(files::fileExists(folder + "styles/ReportFormat1.css"));
    EXPECT_TRUE(files::fileExists(folder + "images/blutable.svg"));
    for (const char* kind : {"Index1", "Tables1", "Tables4", "Views1", "Diagram1", "StoredProcedures1", "Summary1"})
        EXPECT_TRUE(files::fileExists(folder + "SalesDemo" + kind + ".html")) << kind;
    EXPECT_EQ(countFiles(folder, "SalesDemoTables"), 4);  // 18 tables, 5 a page

    const Page tables = mergedPages(folder, "SalesDemoTables");
    for (const char* t : kSalesTables) EXPECT_TRUE(tables.ids.count(t)) << t;
    xml::Document source;
    ASSERT_TRUE(source.load(testsupport::fixturePath("reports/sales_ado.xml")));
    for (const xml::Node& ix : source.selectNodes("/DATABASE/TABLE/INDEX"))
        EXPECT_TRUE(tables.ids.count(ix.parent().attribute("Name") + "____INDEXES____" + ix.attribute("Name")))
            << ix.attribute("Name");
    // Foreign keys stand under the referenced table in this structure; the report shows each
    // on the page of its referencing table.
    for (const xml::Node& fk : source.selectNodes("/DATABASE/TABLE/FOREIGNKEY"))
        EXPECT_TRUE(tables.ids.count(fk.attribute("Foreign_Key_Table") + "____FOREIGNKEYS____" + fk.attribute("Name")))
            << fk.attribute("Name");
    for (const xml::Node& tr : source.selectNodes("/DATABASE/TABLE/TRIGGER"))
        EXPECT_TRUE(tables.ids.count(tr.parent().attribute("Name") + "____TRIGGERS____" + tr.attribute("Name")));
    EXPECT_NE(tables.text.find("SET total_amount = total_amount + NEW.quantity"), std::string::npos);
    EXPECT_NE(tables.text.find("SET NULL"), std::string::npos);

    const Page views = mergedPages(folder, "SalesDemoViews");
    for (const char* v : {"v_order_totals", "v_low_stock", "v_staff_directory", "v_supplier_products"})
        EXPECT_TRUE(views.ids.count(v)) << v;
    const Page procedures = mergedPages(folder, "SalesDemoStoredProcedures");
    EXPECT_TRUE(procedures.ids.count("usp_customer_balance"));
    EXPECT_NE(procedures.text.find("status <> 'cancelled'"), std::string::npos);

    const Page indexPage = parsePage(index);
    for (const char* section : {"tables", "views", "storedprocedures", "triggers", "indexes"})
        EXPECT_TRUE(indexPage.ids.count(section)) << section;

    EXPECT_EQ(brokenLinks(folder), std::vector<std::string>{});
    // The connection options (with the login) never reach a report.
    EXPECT_EQ(allBytes(folder).find("s3cret-pass"), std::string::npos);
}

TEST_F(HtmlReportTest, PrinterFriendlyLayoutLinksResolve) {
    loadStructure("reports/sales_ado.xml");
    useLayout("PrinterFriendly.xsl", "PrinterFriendly.css", "pf1", "Black");
    const std::string folder = reportFolder("print");
    ASSERT_EQ(exportTo(folder), folder + "SalesDemoIndex1.html");
    EXPECT_TRUE(files::fileExists(folder + "styles/PrinterFriendly.css"));
    const Page page = parsePage(folder + "SalesDemoTables1.html");
    EXPECT_TRUE(page.ids.count("regions"));
    EXPECT_EQ(brokenLinks(folder), std::vector<std::string>{});
    std::string html;
    ASSERT_TRUE(files::readTextFile(folder + "SalesDemoTables1.html", html));
    EXPECT_NE(html.find("styles/PrinterFriendly.css"), std::string::npos);
    EXPECT_NE(html.find("scheme-black"), std::string::npos);
}

TEST_F(HtmlReportTest, ReportOptionsChoosePagingImagesAndColours) {
    loadStructure("reports/sales_ado.xml");
    useLayout("ReportFormat1.xsl", "ReportFormat1b.css", "grn", "Green");
    report->HTML_ObjectsPerPage(1);
    ASSERT_TRUE(report->UpdateReportSettings());
    const std::string folder = reportFolder("one-per-page");
    ASSERT_FALSE(exportTo(folder).empty());
    EXPECT_EQ(countFiles(folder, "SalesDemoTables"), 18);
    EXPECT_EQ(countFiles(folder, "SalesDemoViews"), 4);
    std::string html;
    ASSERT_TRUE(files::readTextFile(folder + "SalesDemoTables2.html", html));
    EXPECT_NE(html.find("images/grntable.svg"), std::string::npos);
    EXPECT_NE(html.find("styles/ReportFormat1b.css"), std::string::npos);
    EXPECT_NE(html.find("scheme-green"), std::string::npos);
    EXPECT_TRUE(files::fileExists(folder + "styles/ReportFormat1b.css"));
    EXPECT_EQ(brokenLinks(folder), std::vector<std::string>{});

    // Without multiple pages every kind is one page.
    report->HTML_MultipleHTMLs(false);
    ASSERT_TRUE(report->UpdateReportSettings());
    const std::string single = reportFolder("single");
    ASSERT_FALSE(exportTo(single).empty());
    EXPECT_EQ(countFiles(single, "SalesDemoTables"), 1);
    EXPECT_EQ(brokenLinks(single), std::vector<std::string>{});
}

TEST_F(HtmlReportTest, WholeReportLayoutIsOnePageWithInnerLinks) {
    loadStructure("reports/sales_ado.xml");
    std::string html;
    ASSERT_TRUE(report->ApplyXSL(files::joinPath(StylesFolder, "ReportFormat1.xsl"), false, &html));
    const std::string folder = reportFolder("whole");
    files::createFolders(folder);
    EXPECT_EQ(bXMLSupport::ParseHTML(html, folder, "Index"), folder + "SalesDemoIndex1.html");
    EXPECT_EQ(htmlFiles(folder).size(), 1u);
    const Page page = parsePage(folder + "SalesDemoIndex1.html");
    EXPECT_TRUE(page.ids.count("orders"));
    EXPECT_TRUE(page.ids.count("v_low_stock"));
    for (const std::string& h : page.hrefs) {
        if (h.rfind("styles/", 0) != 0) {
            EXPECT_EQ(h.front(), '#') << h;
        }
    }
}

// The sample database of examples/, imported through the ODBC reader as the batch run does.
TEST_F(HtmlReportTest, ImportedSampleDatabaseRendersInBothLayouts) {
    const std::string dbFile = dir.file("sample.db");
    const std::string command = "sqlite3 '" + dbFile + "' < '" + files::joinPath(DALV_SOURCE_DIR, "examples/sample.sql") + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    report->CurrentDatabaseEngineId(12);
    ASSERT_TRUE(report->ResetConnectionString());
    report->ConnectionString("Driver=SQLite3;Database=" + dbFile);
    report->DatabaseName("sample");
    ASSERT_TRUE(report->OpenDalvDatabase());
    ASSERT_TRUE(report->ImportDatabase(false));
    useLayout("ReportFormat1.xsl", "ReportFormat1a.css", "blu", "Blue");

    const std::string screen = reportFolder("sample-screen");
    ASSERT_EQ(exportTo(screen), screen + "sampleIndex1.html");
    const Page tables = mergedPages(screen, "sampleTables");
    for (const char* t : kSalesTables) EXPECT_TRUE(tables.ids.count(t)) << t;
    EXPECT_TRUE(mergedPages(screen, "sampleViews").ids.count("v_order_totals"));
    EXPECT_EQ(brokenLinks(screen), std::vector<std::string>{});

    useLayout("PrinterFriendly.xsl", "PrinterFriendly.css", "pf1", "Black");
    const std::string print = reportFolder("sample-print");
    ASSERT_EQ(exportTo(print), print + "sampleIndex1.html");
    EXPECT_EQ(brokenLinks(print), std::vector<std::string>{});
    EXPECT_TRUE(errors.empty()) << errors.front();
}

// The import tests' own document: blanks, apostrophes, umlauts and reserved words in names,
// composite and self-referencing keys.
TEST_F(HtmlReportTest, ImportTestStructureRendersWithWorkingLinks) {
    report->CurrentDatabaseEngineId(13);  // a saved structure document
    ASSERT_TRUE(report->ResetConnectionString());
    report->DatabasePath(testsupport::fixturePath("import/sqlite_shop.xml"));
    report->DatabaseName("shop");
    ASSERT_TRUE(report->OpenDalvDatabase());
    ASSERT_TRUE(report->ImportDatabase(false));
    useLayout("ReportFormat1.xsl", "ReportFormat1a.css", "blu", "Blue");
    const std::string folder = reportFolder("shop");
    const std::string index = exportTo(folder);
    ASSERT_FALSE(index.empty());
    EXPECT_EQ(brokenLinks(folder), std::vector<std::string>{});
    const std::string text = allText(folder);
    for (const char* name : {"Customer Info", "order", "Straße", "Größe", "Zoë", "v'orders", "ix order note"})
        EXPECT_NE(text.find(name), std::string::npos) << name;
    // The decimal's scale; counts the reader did not take are not 0; its indexes are the unique ones.
    EXPECT_NE(text.find("NUMERIC(8,2)"), std::string::npos);
    const std::string contents = parsePage(index).text;
    for (const char* fact : {"not available stored procedures", "not available triggers", "unique indexes",
                             "Stored procedures are not available for this database engine."})
        EXPECT_NE(contents.find(fact), std::string::npos) << fact << " in " << contents;
    const std::string summary = parsePage(folder + "shopSummary1.html").text;
    EXPECT_NE(summary.find("Number of triggersnot available"), std::string::npos) << summary;
    EXPECT_NE(summary.find("Number of unique indexes2"), std::string::npos) << summary;
    EXPECT_TRUE(errors.empty()) << errors.front();
}

// ---------------------------------------------------------------- hostile and odd structures

TEST_F(HtmlReportTest, HiddenObjectsAndMarkupInNamesAndSourceStayOut) {
    loadStructure("reports/edge_dao.xml");
    const std::string target = dir.file("deep/a/b/report");
    const std::string index = exportTo(target);
    ASSERT_FALSE(index.empty());
    const std::string folder = target + "/";
    // The database name "../../escape/Kundenübersicht" names files inside the folder.
    EXPECT_EQ(index, folder + ".._.._escape_KundenübersichtIndex1.html");
    EXPECT_FALSE(sfs::exists(dir.file("deep/escape")));
    EXPECT_FALSE(sfs::exists(dir.file("deep/a/escape")));
    for (const auto& e : sfs::recursive_directory_iterator(dir.file("deep"))) {
        if (e.is_regular_file()) {
            EXPECT_TRUE(files::isInside(e.path().string(), target)) << e.path();
        }
    }

    const std::string text = allText(folder);
    for (const char* hidden : {"HiddenPayroll", "HiddenSalaryColumn", "HiddenView", "HiddenProcedure",
                               "ix_hidden_index", "secret_column", "fk_to_hidden_table", "PayID"})
        EXPECT_EQ(text.find(hidden), std::string::npos) << hidden;
    EXPECT_EQ(allBytes(folder).find("hunter2"), std::string::npos);

    // Markup from the catalogue is text, never live elements or handlers.
    for (const std::string& f : htmlFiles(folder)) {
        const Page p = parsePage(f);
        EXPECT_EQ(p.scriptElements, 0) << f;
        EXPECT_EQ(p.eventAttributes, 0) << f;
    }
    const Page views = mergedPages(folder, ".._.._escape_KundenübersichtViews");
    EXPECT_NE(views.text.find("SELECT '<script>alert(\"x\")</script>' AS x"), std::string::npos);
    EXPECT_NE(views.text.find("WHERE 1 < 2 & 3 > 2;"), std::string::npos);
    EXPECT_TRUE(views.ids.count("Qry_<script>_view"));
    const Page tables = mergedPages(folder, ".._.._escape_KundenübersichtTables");
    EXPECT_NE(tables.text.find("\"<b>unbenannt</b>\""), std::string::npos);
    EXPECT_NE(tables.text.find("'</pre><script>alert(2)</script>'"), std::string::npos);

    // Non-ASCII names survive in text, ids and links.
    EXPECT_TRUE(tables.ids.count("Größe_&_Gewicht"));
    EXPECT_NE(tables.text.find("Stück_Nr"), std::string::npos);
    EXPECT_NE(tables.text.find("Primärschlüssel"), std::string::npos);
    EXPECT_TRUE(tables.ids.count("Order_Details____FOREIGNKEYS____Größe_&_GewichtOrder_Details"));
    EXPECT_NE(tables.text.find("OrderID, Stück_Nr DESC"), std::string::npos);
    EXPECT_EQ(brokenLinks(folder), std::vector<std::string>{});

    // Of two tables of one name, each has its own section, which its index links to, and its own keys.
    const xml::Node table = report->oResultXML->selectSingleNode("DATABASE/TABLE[@Name='Order Details']");
    report->oResultXML->documentElement().insertBefore(table.cloneNode(true), table);
    EXPECT_NE(testsupport::readFile(exportTo(reportFolder("twice"))).find("Tables3.html#Order_Details-2____INDEXES____PrimaryKey\""), std::string::npos);
    EXPECT_EQ(allText(reportFolder("twice")).find("Stück_Nr, Stück_Nr"), std::string::npos);
}

TEST_F(HtmlReportTest, DestinationKeepsItsCaseAndFileTargetsUseTheirFolder) {
    loadStructure("reports/sales_ado.xml");
    const std::string folder = reportFolder("MyReports/Sales");
    ASSERT_EQ(exportTo(folder), folder + "SalesDemoIndex1.html");
    EXPECT_TRUE(files::fileExists(folder + "styles/ReportFormat1a.css"));
    EXPECT_FALSE(sfs::exists(dir.file("myreports")));

    // A target naming a file: its folder takes the pages, links still resolve.
    const std::string fileTarget = dir.file("Out/report.html");
    ASSERT_EQ(exportTo(fileTarget), dir.file("Out/SalesDemoIndex1.html"));
    EXPECT_TRUE(sfs::is_directory(dir.file("Out/images")));
    EXPECT_EQ(brokenLinks(dir.file("Out")), std::vector<std::string>{});

    // A folder without a final separator is still a folder.
    const std::string bare = dir.file("bare");
    ASSERT_EQ(exportTo(bare), bare + "/SalesDemoIndex1.html");
    EXPECT_TRUE(sfs::is_directory(bare + "/styles"));
}

TEST_F(HtmlReportTest, FailedExportReturnsNothing) {
    loadStructure("reports/sales_ado.xml");
    // A folder that cannot be created: its parent is a file.
    ASSERT_TRUE(files::writeTextFile(dir.file("plain"), "x"));
    EXPECT_EQ(exportTo(dir.file("plain/sub/")), "");
    EXPECT_EQ(prompts->lastMessage(), "Enable to create folder in the target directory " + dir.file("plain/sub/"));

    // A layout whose page sheets are missing.
    report->HTML_CurrentXSL(files::joinPath(StylesFolder, "NoSuchLayout.xsl"));
    ASSERT_TRUE(report->UpdateReportSettings());
    EXPECT_EQ(exportTo(reportFolder("missing-layout")), "");
    EXPECT_TRUE(htmlFiles(reportFolder("missing-layout")).empty());

    // A layout sheet that does not transform.
    ASSERT_TRUE(files::writeTextFile(files::joinPath(StylesFolder, "Brokenindex.xsl"), "<xsl:stylesheet"));
    report->HTML_CurrentXSL(files::joinPath(StylesFolder, "Broken.xsl"));
    EXPECT_EQ(exportTo(reportFolder("broken")), "");

    // Pages that cannot be written.
    if (::geteuid() != 0) {
        useLayout("ReportFormat1.xsl", "ReportFormat1a.css", "blu", "Blue");
        const std::string locked = reportFolder("locked");
        ASSERT_FALSE(exportTo(locked).empty());
        ::chmod(locked.c_str(), 0500);
        EXPECT_EQ(exportTo(locked), "");
        ::chmod(locked.c_str(), 0700);
    }

    // No structure loaded.
    report->oResultXML.reset();
    EXPECT_EQ(exportTo(reportFolder("nothing")), "");
}

TEST_F(HtmlReportTest, ReportIsWrittenWholeAndReplacesOnlyItsOwnEarlierPages) {
    loadStructure("reports/sales_ado.xml");
    const std::string folder = reportFolder("again");
    ASSERT_FALSE(exportTo(folder).empty());
    // An earlier report of this database had more pages; a killed run left a temporary file;
    // the user keeps own files there.
    for (const char* name : {"SalesDemoTables99.html", "notes.html", "OtherDbTables1.html", "SalesDemoTablesX.html"})
        ASSERT_TRUE(files::writeTextFile(folder + name, "x"));
    const std::string stale = folder + ".SalesDemoIndex1.html." + std::to_string(0x7ffffff0) + ".0-1.dvtmp~";
    ASSERT_TRUE(files::writeTextFile(stale, "half"));
    ASSERT_FALSE(exportTo(folder).empty());
    EXPECT_FALSE(files::fileExists(folder + "SalesDemoTables99.html"));
    EXPECT_FALSE(files::fileExists(stale));
    for (const char* name : {"notes.html", "OtherDbTables1.html", "SalesDemoTablesX.html", "SalesDemoTables4.html"})
        EXPECT_TRUE(files::fileExists(folder + name)) << name;

    // A folder holding only this report is swapped whole; a file the user put into styles/
    // stays, and a staging folder a killed run left beside it goes.
    const std::string own = reportFolder("own");
    ASSERT_FALSE(exportTo(own).empty());
    ASSERT_TRUE(files::writeTextFile(own + "styles/mine.css", "x"));
    const std::string leftover = dir.file(".own." + std::to_string(0x7ffffff0) + ".0-1.dvtmp~");
    ASSERT_TRUE(files::createFolders(leftover + "/styles"));
    struct stat before {}, after {};
    ::stat(own.c_str(), &before);
    ASSERT_FALSE(exportTo(own).empty());
    ::stat(own.c_str(), &after);
    EXPECT_NE(before.st_ino, after.st_ino);
    EXPECT_TRUE(files::fileExists(own + "styles/mine.css"));
    for (const auto& e : sfs::directory_iterator(dir.path()))
        EXPECT_FALSE(files::isTempName(e.path().filename().string())) << e.path();

    // Links in the report's names are refused, and nothing is written where they lead.
    const std::string outside = reportFolder("outside");
    ASSERT_TRUE(files::createFolders(outside));
    for (const std::string& link : {std::string("styles"), std::string("images"), std::string("SalesDemoIndex1.html")}) {
        const std::string planted = reportFolder("planted-" + link.substr(0, 6));
        ASSERT_TRUE(files::createFolders(planted));
        sfs::create_symlink(outside, planted + link);
        EXPECT_EQ(exportTo(planted), "") << link;
        EXPECT_NE(prompts->lastMessage().find(planted + link + ", which is a link"), std::string::npos)
            << prompts->lastMessage();
        EXPECT_TRUE(sfs::is_empty(outside)) << link;
    }

    // A page kind that fails: nothing of the new report is written.
    const std::string fresh = reportFolder("fresh");
    ASSERT_TRUE(files::writeTextFile(files::joinPath(StylesFolder, "Halfindex.xsl"),
                                     testsupport::readFile(files::joinPath(StylesFolder, "ReportFormat1index.xsl"))));
    ASSERT_TRUE(files::writeTextFile(files::joinPath(StylesFolder, "Halftables.xsl"), "<xsl:stylesheet"));
    report->HTML_CurrentXSL(files::joinPath(StylesFolder, "Half.xsl"));
    EXPECT_EQ(exportTo(fresh), "");
    EXPECT_TRUE(htmlFiles(fresh).empty());
}

// ---------------------------------------------------------------- large reports

// A large report's kinds are made by several transforms at once, each making every n-th page;
// every page is byte for byte the page one run over all objects writes.
TEST_F(HtmlReportTest, PagesWrittenOneByOneEqualThoseOfOneOutput) {
    loadStructure("reports/sales_ado.xml");
    xml::Node db = report->oResultXML->selectSingleNode("DATABASE");
    // Names that give one anchor ("a_b" is taken twice over, "x_y" by a tab), among tables and views.
    const char* clashing[] = {"a b", "a_b", "a_b-2", "x\ty", "x y"};
    const int tables = 1988 - static_cast<int>(std::size(kSalesTables)) - static_cast<int>(std::size(clashing));
    for (int i = 1; i <= tables; ++i) {
        xml::Node t = db.appendElement("TABLE");
        t.setAttribute("Name", "t" + std::to_string(i));
        xml::Node c = t.appendElement("COLUMN");
        c.setAttribute("Name", "id");
        c.setAttribute("Datatype", "integer");
        xml::Node fk = t.appendElement("FOREIGNKEY");  // a link to the page before
        fk.setAttribute("Name", "fk" + std::to_string(i));
        fk.setAttribute("Foreign_Key_Table", "t" + std::to_string(i));
        fk.setAttribute("Foreign_Key_Column", "id");
        fk.setAttribute("Primary_Key_Table", i > 1 ? "t" + std::to_string(i - 1) : std::string("orders"));
        fk.setAttribute("Primary_Key_Column", "id");
    }
    for (const char* name : clashing) {
        xml::Node t = db.appendElement("TABLE");
        t.setAttribute("Name", name);
        t.appendElement("COLUMN").setAttribute("Name", "id");
        xml::Node fk = db.selectSingleNode("TABLE[@Name='t7']").appendElement("FOREIGNKEY");
        fk.setAttribute("Name", std::string("to ") + name);
        fk.setAttribute("Foreign_Key_Table", "t7");
        fk.setAttribute("Foreign_Key_Column", "id");
        fk.setAttribute("Primary_Key_Table", name);
        fk.setAttribute("Primary_Key_Column", "id");
    }
    db.appendElement("VIEW").setAttribute("Name", "a b");
    const int views = 1988 - db.count("VIEW");  // as many as tables: both kinds are split
    for (int i = 1; i <= views; ++i) {
        xml::Node v = db.appendElement("VIEW");
        v.setAttribute("Name", "v" + std::to_string(i));
        v.appendElement("COLUMN").setAttribute("Name", "id");
        if (i == 500) v.appendElement("SQLSCRIPT").appendCData("SELECT id\r\nFROM t1\rWHERE id < 2 ]]> 1");
    }
    report->HTML_ObjectsPerPage(7);
    ASSERT_TRUE(report->UpdateReportSettings());

    // Every page equals that of one output, from the first stage read back from its text (as the
    // preview has it).
    auto rendersAsAlone = [&](const std::string& layout, const std::string& parts) {
        ASSERT_FALSE(exportTo(parts).empty());
        const std::string whole = reportFolder(layout + "-whole");
        files::createFolders(whole);
        for (const std::string kind : {"Tables", "Views", "Index", "Diagram"}) {
            std::string html, firstStage;
            ASSERT_TRUE(report->ApplyXSL(files::joinPath(StylesFolder, layout + text::lower(kind) + ".xsl"), false,
                                         &html, &firstStage));
            bXMLSupport::ParseHTML(html, whole, kind);
        }
        for (const std::string& f : htmlFiles(whole)) {
            std::string expected, actual;
            ASSERT_TRUE(files::readTextFile(f, expected));
            ASSERT_TRUE(files::readTextFile(parts + sfs::path(f).filename().string(), actual)) << f;
            EXPECT_TRUE(actual == expected) << f;
        }
        EXPECT_TRUE(brokenLinks(parts).empty());
    };
    const std::string parts = reportFolder("parts");
    rendersAsAlone("ReportFormat1", parts);
    EXPECT_EQ(countFiles(parts, "SalesDemoTables"), 284);
    EXPECT_EQ(countFiles(parts, "SalesDemoViews"), 284);
    const Page tablePages = mergedPages(parts, "SalesDemoTables");
    for (const char* id : {"a_b", "a_b-2", "a_b-2-2", "x_y", "x_y-2"}) EXPECT_TRUE(tablePages.ids.count(id)) << id;
    EXPECT_TRUE(mergedPages(parts, "SalesDemoViews").ids.count("a_b-3"));

    // A user's layout that pages its objects by generate-id(), not by the program's functions.
    const std::string common = testsupport::readFile(files::joinPath(StylesFolder, "ReportCommon.xsl")),
                      unused = "false() and function-available('dx:";
    ASSERT_TRUE(files::writeTextFile(files::joinPath(StylesFolder, "GroupedCommon.xsl"),
                                     text::replaceAll(common, "function-available('dx:", unused)));
    for (const std::string kind : {"index", "tables", "views", "storedprocedures", "summary", "diagram"}) {
        const std::string sheet = testsupport::readFile(files::joinPath(StylesFolder, "ReportFormat1" + kind + ".xsl"));
        ASSERT_TRUE(files::writeTextFile(files::joinPath(StylesFolder, "Grouped" + kind + ".xsl"),
                                         text::replaceAll(sheet, "ReportCommon.xsl", "GroupedCommon.xsl")));
    }
    report->HTML_CurrentXSL(files::joinPath(StylesFolder, "Grouped.xsl"));
    ASSERT_TRUE(report->UpdateReportSettings());
    rendersAsAlone("Grouped", reportFolder("grouped"));
    EXPECT_TRUE(errors.empty());
}

// ---------------------------------------------------------------- page split format

TEST_F(HtmlReportTest, ParseHtmlSplitsAtDelimitersAndPageMarks) {
    report->DatabaseName("Shop");
    const std::string folder = reportFolder("split");
    files::createFolders(folder);
    auto read = [&](const std::string& name) {
        std::string s;
        files::readTextFile(folder + name, s);
        return s;
    };

    // One document without delimiter.
    EXPECT_EQ(bXMLSupport::ParseHTML("<html><!--2--><body>x</body></html>", folder, "Tables"),
              folder + "ShopTables2.html");
    EXPECT_EQ(read("ShopTables2.html"), "<html><!--2--><body>x</body></html>\r\n");

    // Documents in order; a blank tail after the last delimiter ends the kind; equal numbers:
    // the later one wins.
    const std::string d = "<!--dalv html delimiter-->";
    EXPECT_EQ(bXMLSupport::ParseHTML("<html>\r\n  <!--3-->a" + d + "<html><!--4-->b" + d + "<html><!--4-->c" + d + "\n  ",
                                     folder, "Views"),
              folder + "ShopViews4.html");
    EXPECT_EQ(read("ShopViews3.html"), "<html>\r\n  <!--3-->a\r\n");
    EXPECT_EQ(read("ShopViews4.html"), "<html><!--4-->c\r\n");

    // Page numbers past the 16-bit range name their own files.
    EXPECT_EQ(bXMLSupport::ParseHTML("<html><!--40000-->w", folder, "Tables"), folder + "ShopTables40000.html");

    // Processing stops at the first document without a mark.
    EXPECT_EQ(bXMLSupport::ParseHTML("<HTML><!--1-->x" + d + "<html><!--2-->y", folder, "Summary"), "");
    EXPECT_FALSE(files::fileExists(folder + "ShopSummary2.html"));
    EXPECT_EQ(bXMLSupport::ParseHTML("", folder, "Summary"), "");

    // A database name with separators stays one file name.
    report->DatabaseName("a/../../b\\c");
    EXPECT_EQ(bXMLSupport::ParseHTML("<html><!--1-->z", folder, "Index"), folder + "a_.._.._b_cIndex1.html");
}

TEST(HtmlPageNumber, ReadsTheMarkOrFallsBackToOne) {
    EXPECT_EQ(bXMLSupport::GetHtmlPageNumber("<html><!--12-->"), 12);
    EXPECT_EQ(bXMLSupport::GetHtmlPageNumber("<html>\r\n   <!--3-->"), 3);
    EXPECT_EQ(bXMLSupport::GetHtmlPageNumber("<html><!---->"), 1);
    EXPECT_EQ(bXMLSupport::GetHtmlPageNumber("<html><!--40000-->"), 40000);
    EXPECT_EQ(bXMLSupport::GetHtmlPageNumber("<html><!--1234567890-->"), 1);
    EXPECT_EQ(bXMLSupport::GetHtmlPageNumber("<html><!--32767-->"), 32767);
    EXPECT_EQ(bXMLSupport::GetHtmlPageNumber("<html><!--2x-->"), 1);
    EXPECT_EQ(bXMLSupport::HtmlFileStem("Sales/2026\\Q1"), "Sales_2026_Q1");
}

// ---------------------------------------------------------------- the catalogue and its files

TEST(HtmlCatalogue, EveryLayoutAndStyleNamesExistingFiles) {
    const std::string data = files::joinPath(DALV_SOURCE_DIR, "data");
    xml::Document catalogue;
    ASSERT_TRUE(catalogue.load(files::joinPath(data, "dvreport.xml")));
    const auto layouts = catalogue.selectNodes("/REPORT/LAYOUT[@Type='BuiltIn']");
    ASSERT_GE(layouts.size(), 2u);
    EXPECT_EQ(catalogue.count("/REPORT/LAYOUT[@Default='True']"), 1);
    EXPECT_EQ(catalogue.count("/REPORT/LAYOUT[@Caption='Printer Friendly']"), 1);
    for (const xml::Node& layout : layouts) {
        const std::string xsl = layout.attribute("XSLFile");
        xml::Stylesheet sheet;
        EXPECT_TRUE(sheet.load(files::joinPath(data, "styles", xsl))) << xsl << sheet.error();
        for (const char* page : {"index", "tables", "views", "storedprocedures", "diagram", "summary"}) {
            const std::string name = xsl.substr(0, xsl.size() - 4) + page + ".xsl";
            EXPECT_TRUE(sheet.load(files::joinPath(data, "styles", name))) << name << sheet.error();
        }
        for (const xml::Node& style : layout.selectNodes("STYLE")) {
            EXPECT_TRUE(files::fileExists(files::joinPath(data, "styles", style.attribute("CSSFile"))))
                << style.attribute("CSSFile");
            EXPECT_TRUE(files::fileExists(files::joinPath(data, "preview", style.attribute("PreviewImage"))))
                << style.attribute("PreviewImage");
            for (const char* image : {"logo", "table", "view", "proc", "key", "trigger"})
                EXPECT_TRUE(files::fileExists(
                    files::joinPath(data, "images", style.attribute("ImagePrefix") + image + ".svg")))
                    << style.attribute("ImagePrefix") << image;
        }
    }
}

// ---------------------------------------------------------------- column settings

// Tables without "Null Allowed", views without their dates (a column without Displayed), no
// stored procedures: every layout leaves out just those; the XML report is not filtered.
TEST_F(HtmlReportTest, ColumnSettingsLeaveOutColumnsAndKindsInEveryLayout) {
    loadStructure("reports/sales_ado.xml");
    const std::string settings = dir.file("CustomizeColumns.xml"), xmlBefore = dir.file("before.xml");
    ASSERT_TRUE(files::writeTextFile(settings,
        "<DBOBJECTS><DBOBJECT Name='Tables'><COLUMN Name='Ordinal Position' Displayed='1'/><COLUMN Name='Name' Displayed='1'/>"
        "<COLUMN Name=' Null Allowed ' Displayed='0'/></DBOBJECT><DBOBJECT Name='Views'><COLUMN Name='Created On'/>"
        "<COLUMN Name='Name' Displayed='1'/></DBOBJECT><DBOBJECT Name='Stored Procedures'><COLUMN Name='Name' Displayed='0'/>"
        "</DBOBJECT></DBOBJECTS>"));
    ASSERT_TRUE(report->SaveXML(xmlBefore, true, false));
    for (const char* layout : {"ReportFormat1.xsl", "PrinterFriendly.xsl"}) {
        SCOPED_TRACE(layout);
        const std::string all = reportFolder(std::string("all-") + layout), some = reportFolder(std::string("some-") + layout);
        for (const std::string& folder : {all, some}) {
            report->ReportOptionsXML().documentElement().setAttribute("CustomizeColumns", folder == all ? "" : settings);
            useLayout(layout, "ReportFormat1a.css", "blu", "Blue");
            ASSERT_FALSE(exportTo(folder).empty());
        }
        std::vector<std::string> expectedFiles;
        for (const std::string& file : htmlFiles(all)) {
            const std::string name = sfs::path(file).filename().string();
            if (name.find("StoredProcedures") != std::string::npos) continue;
            expectedFiles.push_back(some + name);
            std::string expected = testsupport::readFile(file);
            for (const char* cell : {"<th scope=\"col\">Nulls</th>", "<td>No</td>", "<td>Yes</td>"})
                expected = text::replaceAll(expected, cell, "");
            expected = text::replaceAll(expected, "View · created 2026-03-01T10:00:00", "View");
            for (auto [from, to, keepTo] : {std::tuple{"<li><a href=\"SalesDemoStoredProcedures1.html\">", "</li>", false},
                                            {"<li><a href=\"#storedprocedures\">", "</li>", false},
                                            {"<section class=\"contents\" id=\"storedprocedures\">", "</section>", false},
                                            {"<tr><th scope=\"row\">Number of stored procedures", "</tr>", false},
                                            {"<h2 class=\"part\">Stored procedures</h2>", "<h2 class=\"part\">Relationships", true}})
                eraseRuns(expected, from, to, keepTo);
            EXPECT_EQ(testsupport::readFile(some + name), expected) << name;
        }
        EXPECT_EQ(htmlFiles(some), expectedFiles);
        for (const char* gone : {"Nulls", "View · created", "tored procedures", "usp_reorder"})
            EXPECT_EQ(allText(some).find(gone), std::string::npos) << gone;
        EXPECT_NE(allText(all).find("View · created"), std::string::npos);
        EXPECT_EQ(brokenLinks(some), std::vector<std::string>{});
    }
    useLayout("ReportFormat1.xsl", "ReportFormat1a.css", "blu", "Blue");
    ASSERT_TRUE(report->SaveXML(dir.file("after.xml"), true, false));
    EXPECT_EQ(testsupport::readFile(dir.file("after.xml")),
              text::replaceAll(testsupport::readFile(xmlBefore), "CustomizeColumns=\"\"", "CustomizeColumns=\"" + settings + "\""));
}
