// Shared set-up of the Word report tests: the program's style sheets and introduction from
// the build tree, an options object holding a fixture structure, and recorded progress.
#pragma once

#include "options/cReport.h"
#include "platform/xml/Xml.h"
#include "reports/cWord.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace wordtest {

class WordTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    testsupport::ScopedPrompter prompts;
    std::vector<std::string> errors;
    std::vector<std::pair<int, std::string>> events;
    std::unique_ptr<cReport> report;

    void SetUp() override;
    void TearDown() override;

    // Loads a structure fixture (path under tests/fixtures) with the database name and the
    // introduction document given, and renders it with "WordFormat1.xsl".
    std::string render(const std::string& fixture, const std::string& databaseName,
                       const std::string& introDocument = "", int objectsPerPage = 0);
    // Runs the generator on text; events are recorded.
    bool generate(std::string text, const std::string& path);
    std::vector<std::string> messages() const;
};

// The program's introduction document in the build tree.
std::string introDocument();
// word/document.xml of a saved report, parsed.
xml::Document documentPart(const std::string& docxPath);
// Paragraphs of the body (outside tables) with the given style, in order.
xml::NodeList paragraphsWithStyle(const xml::Document& d, const std::string& style);
// The text of each cell of each table, table by table.
std::vector<std::vector<std::vector<std::string>>> tables(const xml::Document& d);

}  // namespace wordtest
