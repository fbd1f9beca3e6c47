#include "test_html_support.h"

#include "platform/fs/Paths.h"
#include "reports/bXMLSupport.h"

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace htmltest {

namespace sfs = std::filesystem;

namespace {

void walk(xmlNode* node, Page& page) {
    for (xmlNode* n = node; n; n = n->next) {
        if (n->type != XML_ELEMENT_NODE) continue;
        const std::string name = reinterpret_cast<const char*>(n->name);
        if (name == "script") ++page.scriptElements;
        for (xmlAttr* a = n->properties; a; a = a->next) {
            const std::string attr = reinterpret_cast<const char*>(a->name);
            xmlChar* v = xmlNodeListGetString(n->doc, a->children, 1);
            const std::string value = v ? reinterpret_cast<const char*>(v) : "";
            xmlFree(v);
            if (attr.size() > 2 && attr.compare(0, 2, "on") == 0) ++page.eventAttributes;
            if (attr == "id") page.ids.insert(value);
            if (attr == "href" && (name == "a" || name == "link")) page.hrefs.push_back(value);
            if (attr == "src") page.srcs.push_back(value);
        }
        walk(n->children, page);
    }
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

Page parsePage(const std::string& path) {
    Page page;
    page.path = path;
    htmlDocPtr doc = htmlReadFile(path.c_str(), "UTF-8",
                                  HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
    if (!doc) return page;
    page.parsed = true;
    walk(xmlDocGetRootElement(doc), page);
    xmlChar* text = xmlNodeGetContent(xmlDocGetRootElement(doc));
    if (text) page.text = reinterpret_cast<const char*>(text);
    xmlFree(text);
    xmlFreeDoc(doc);
    return page;
}

std::string percentDecode(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<std::string> htmlFiles(const std::string& folder) {
    std::vector<std::string> out;
    for (const auto& e : sfs::directory_iterator(folder))
        if (e.is_regular_file() && e.path().extension() == ".html") out.push_back(e.path().string());
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::string> brokenLinks(const std::string& folder) {
    std::map<std::string, Page> pages;
    for (const std::string& f : htmlFiles(folder)) pages[sfs::weakly_canonical(f).string()] = parsePage(f);
    std::vector<std::string> broken;
    for (const auto& [path, page] : pages) {
        const std::string base = sfs::path(path).parent_path().string();
        auto check = [&](const std::string& link, bool anchorAllowed) {
            const std::size_t hash = link.find('#');
            const std::string file = percentDecode(link.substr(0, hash));
            const std::string anchor = hash == std::string::npos ? "" : percentDecode(link.substr(hash + 1));
            if (file.find("://") != std::string::npos) {
                broken.push_back(page.path + " -> " + link + " (not a relative link)");
                return;
            }
            const std::string target = file.empty() ? path : sfs::weakly_canonical(sfs::path(base) / file).string();
            if (!sfs::is_regular_file(target)) {
                broken.push_back(page.path + " -> " + link + " (no file)");
                return;
            }
            if (!anchor.empty()) {
                auto it = pages.find(target);
                if (!anchorAllowed || it == pages.end() || !it->second.ids.count(anchor))
                    broken.push_back(page.path + " -> " + link + " (no element with that id)");
            }
        };
        for (const std::string& h : page.hrefs) check(h, true);
        for (const std::string& s : page.srcs) check(s, false);
    }
    return broken;
}

std::string allText(const std::string& folder) {
    std::string out;
    for (const std::string& f : htmlFiles(folder)) out += parsePage(f).text + "\n";
    return out;
}

std::string allBytes(const std::string& folder) {
    std::string out;
    for (const auto& e : sfs::recursive_directory_iterator(folder)) {
        std::string bytes;
        if (e.is_regular_file() && files::readTextFile(e.path().string(), bytes)) out += bytes;
    }
    return out;
}

void HtmlReportTest::SetUp() {
    AppFolder = dir.file("app");
    StylesFolder = files::joinPath(AppFolder, "styles");
    ImagesFolder = files::joinPath(AppFolder, "images");
    files::createFolders(AppFolder);
    const std::string data = files::joinPath(DALV_SOURCE_DIR, "data");
    sfs::copy(files::joinPath(data, "styles"), StylesFolder, sfs::copy_options::recursive);
    sfs::copy(files::joinPath(data, "images"), ImagesFolder, sfs::copy_options::recursive);
    DataFolder = data;
    ReportsFolder = dir.file("reports");
    files::createFolder(ReportsFolder);
    ShortDateFormat = "yyyy-MM-dd";
    oStructures.clear();
    setErrorDialogHook([this](long n, const std::string& d, const std::string& s) {
        errors.push_back(std::to_string(n) + " " + s + ": " + d);
    });
    report = std::make_unique<cReport>();
    report->CurrentDatabaseEngineId(12);
    report->InitializeDBOptions();
    report->InitializeReportOptions();
    report->InitializeDiagramSettings();
    report->CurrentDatabaseGroup(1);
    report->CurrentDatabaseNumber(1);
    oReportEngine = report.get();
}

void HtmlReportTest::TearDown() {
    oReportEngine = nullptr;
    report.reset();
    setErrorDialogHook(nullptr);
    oStructures.clear();
}

void HtmlReportTest::loadStructure(const std::string& fixture) {
    ASSERT_TRUE(report->LoadCurrentDBXML(testsupport::fixturePath(fixture))) << fixture;
    useLayout("ReportFormat1.xsl", "ReportFormat1a.css", "blu", "Blue");
}

void HtmlReportTest::useLayout(const std::string& xsl, const std::string& css, const std::string& prefix,
                               const std::string& scheme) {
    report->HTML_CurrentXSL(files::joinPath(StylesFolder, xsl));
    report->HTML_CurrentCSS("Styles\\" + css);
    report->HTML_ImagePrefix(prefix);
    report->HTML_ColourScheme(scheme);
    ASSERT_TRUE(report->UpdateReportSettings());
}

std::string HtmlReportTest::exportTo(const std::string& target) {
    return bXMLSupport::SaveAsHTML(target, true);
}

}  // namespace htmltest
