// Multi-page HTML export: renders the current structure of the report engine (oReportEngine)
// with the page style sheets of the current layout and writes the pages, beside an images/ and
// a styles/ folder, into a target folder.
#pragma once

#include <cstdint>
#include <string>

namespace bXMLSupport {

// Target names the output folder, or a file inside it when it contains ".html" (the pages
// then go into that file's folder). MultipleFiles is not used. Returns the path of the last
// Index page written; "" when the export failed or the Index output held no page.
std::string SaveAsHTML(const std::string& Target, bool MultipleFiles);
// Why the last SaveAsHTML wrote no report, in the operating system's words where it gave them
// ("" after a success or when nothing more is known).
const std::string& LastFailure();

// Writes the pages of one transform output: the documents between the page delimiters, each
// with its page mark, to Target & <database> & Kind & <page> & ".html". Stops at the first
// document without a mark. Returns the last file written ("" when none).
std::string ParseHTML(const std::string& Html, const std::string& Target, const std::string& Kind);

// The page number of a page mark ("<html>" <!--3-->"); 1 when it holds no valid number.
int GetHtmlPageNumber(const std::string& Mark);

// The database name as it appears in page file names: path separators become "_", so a name
// cannot reach outside the report folder. The report style sheets build their links alike.
std::string HtmlFileStem(const std::string& databaseName);

}  // namespace bXMLSupport
