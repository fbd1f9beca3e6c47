// Shared set-up of the HTML report tests: a program folder with the real style sheets and
// images, a report engine holding a fixture structure, and a reader of the written pages.
#pragma once

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "options/cReport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace htmltest {

// What a written page holds, as an HTML parser sees it.
struct Page {
    std::string path;
    std::set<std::string> ids;
    std::vector<std::string> hrefs;  // a/@href and link/@href
    std::vector<std::string> srcs;   // img/@src
    std::string text;                // text content of the whole page
    int scriptElements = 0;
    int eventAttributes = 0;         // attributes named on...
    bool parsed = false;
};

Page parsePage(const std::string& path);
std::string percentDecode(const std::string& text);
// Every .html file directly in folder.
std::vector<std::string> htmlFiles(const std::string& folder);
// Links of the pages in folder that do not reach an existing file and element id, as
// "page -> link" lines.
std::vector<std::string> brokenLinks(const std::string& folder);
// The concatenated text of every page in folder.
std::string allText(const std::string& folder);
// The raw bytes of every file under folder.
std::string allBytes(const std::string& folder);

class HtmlReportTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    testsupport::ScopedPrompter prompts;
    std::vector<std::string> errors;
    std::unique_ptr<cReport> report;

    void SetUp() override;
    void TearDown() override;

    // Loads a structure file as the current structure, with its report and connection options.
    void loadStructure(const std::string& fixture);
    // Chooses a layout and style by file names in the styles folder.
    void useLayout(const std::string& xsl, const std::string& css, const std::string& prefix,
                   const std::string& scheme);
    std::string exportTo(const std::string& target);
    std::string reportFolder(const std::string& name) const { return dir.file(name) + "/"; }
};

}  // namespace htmltest
