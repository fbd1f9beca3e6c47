#include "reports/cWord.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "options/cReport.h"
#include "platform/fs/FileErrors.h"
#include "platform/fs/Paths.h"
#include "platform/ui/ProgressTarget.h"
#include "platform/ui/Prompter.h"
#include "platform/text/Text.h"

#include <array>
#include <exception>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr const char* kNormal = "DVNormal";
constexpr const char* kTableOpen = "<dalvtable>";
constexpr const char* kTableClose = "</dalvtable>";
constexpr const char* kFrameOpen = "<dalvtable1row>";
constexpr const char* kFrameClose = "</dalvtable1row>";
constexpr const char* kPageBreak = "<pagebreak/>";
constexpr const char* kTocMarker = "Table of Contents";
constexpr const char* kIntroMarker = "About Quorvel Group";

// A report text that cannot become a document.
struct MalformedReport {
    std::string message;
};

std::string trimmed(const std::string& s) {
    size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

// One paragraph per line; CR LF, CR and LF each end a line.
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string cur;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(cur));
            cur.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) lines.push_back(std::move(cur));
    return lines;
}

std::vector<std::string> splitCells(const std::string& row) {
    std::vector<std::string> cells;
    size_t pos = 0;
    for (size_t hit; (hit = row.find('\t', pos)) != std::string::npos; pos = hit + 1)
        cells.push_back(row.substr(pos, hit - pos));
    cells.push_back(row.substr(pos));
    return cells;
}

docx::Paragraph* paragraphAt(std::vector<docx::Block>& body, size_t i) {
    return std::get_if<docx::Paragraph>(&body[i]);
}

// Text of a paragraph that is still a single plain line.
std::string lineText(const docx::Block& b) {
    auto* p = std::get_if<docx::Paragraph>(&b);
    return p ? p->text() : std::string();
}

void replaceInParagraph(docx::Paragraph& p, std::string_view from, std::string_view to) {
    for (docx::Run& r : p.runs) r.text = text::replaceAll(std::move(r.text), from, to);
}

bool paragraphHas(const docx::Paragraph& p, std::string_view what) {
    return p.text().find(what) != std::string::npos;
}

// Finds the closing marker of the block opened at body[open]. A missing close, or another
// opening marker first, makes the text malformed.
size_t findClose(const std::vector<docx::Block>& body, size_t open, const char* opener,
                 const char* closer, int number) {
    for (size_t j = open + 1; j < body.size(); ++j) {
        std::string t = trimmed(lineText(body[j]));
        if (t == closer) return j;
        if (t == opener) break;
    }
    throw MalformedReport{std::string("The report text is not valid: block ") + std::to_string(number) +
                          " opened by " + opener + " has no closing " + closer + "."};
}

// Gives every occurrence of text in the paragraph its own run with the given font.
void formatOccurrences(docx::Paragraph& p, const std::string& text, const docx::Style& font) {
    std::vector<docx::Run> out;
    for (docx::Run& r : p.runs) {
        if (r.font || r.text.find(text) == std::string::npos) {
            out.push_back(std::move(r));
            continue;
        }
        bool breakPending = r.pageBreakBefore;
        auto emit = [&](docx::Run piece) {
            piece.pageBreakBefore = breakPending;
            breakPending = false;
            out.push_back(std::move(piece));
        };
        size_t pos = 0;
        for (size_t hit; (hit = r.text.find(text, pos)) != std::string::npos; pos = hit + text.size()) {
            if (hit > pos) {
                docx::Run before = r;
                before.text = r.text.substr(pos, hit - pos);
                emit(std::move(before));
            }
            docx::Run match;
            match.text = text;
            match.font = font.font;
            match.sizePt = font.sizePt;
            match.bold = font.bold.value_or(false);
            emit(std::move(match));
        }
        if (pos < r.text.size()) {
            docx::Run after = r;
            after.text = r.text.substr(pos);
            emit(std::move(after));
        }
    }
    p.runs = std::move(out);
}

docx::Run breakRun() { return docx::Run{"", {}, 0, {}, true}; }

}  // namespace

cWord::cWord(cReport* report) : report_(report) {}
cWord::~cWord() = default;

void cWord::Raise(int action, const std::string& message) {
    if (!WhileGenerating) return;
    int a = action;
    std::string m = message;
    WhileGenerating(a, m);
}

void cWord::AddWordStyles() {
    struct Def {
        const char* name;
        double size;
        std::optional<bool> bold;
        std::optional<bool> italic;
    };
    static const std::array<Def, 8> defs = {{
        {"DVTitle", 17, true, std::nullopt},
        {"DVHeading1", 16, true, std::nullopt},
        {"DVHeading2", 13, true, false},
        {"DVHeading3", 11, true, true},
        {"DVHeading4", 10, true, false},
        {"DVNormal", 9, false, false},
        {"DVTableContent", 8, false, false},
        {"DVTableHeading", 8, true, false},
    }};
    for (const Def& d : defs) oDocument->addStyle(docx::Style{d.name, "Arial", d.size, d.bold, d.italic});
}

bool cWord::GenerateWordDocument(std::string& sText, const std::string& sFileName) {
    cReport* report = report_ ? report_ : oReportEngine;
    try {
        ui::processPendingEvents();
        Raise(1, "Initializing Word Application");
        oDocument = std::make_unique<docx::Document>();
        docx::Document& doc = *oDocument;
        AddWordStyles();
        const std::string databaseName = report ? report->DatabaseName() : std::string();
        const std::string introDocument = report ? report->Word_IntroDocument() : std::string();
        doc.setTitle(databaseName + " Database Structure Report");

        std::vector<docx::Block>& body = doc.body();
        for (std::string& line : splitLines(sText)) body.push_back(docx::Paragraph::plain(std::move(line), kNormal));

        Raise(2, "Adding content to word document..");
        for (size_t i = 0; i < body.size(); ++i)
            replaceInParagraph(*paragraphAt(body, i), "Database Info", databaseName + " Database Structure Report");

        Raise(2, "Adding report title...");
        for (size_t i = 0; i < body.size(); ++i) {
            docx::Paragraph& p = *paragraphAt(body, i);
            if (!paragraphHas(p, "<reporttitle>")) continue;
            replaceInParagraph(p, "<reporttitle>", " ");
            p.style = "DVTitle";
        }

        if (introDocument.empty()) {
            // No intro page: its marker line and the page break after it go, whatever the
            // structure's own copy of the report options asked the text for.
            for (size_t i = 0; i < body.size(); ++i) {
                if (trimmed(lineText(body[i])) != kIntroMarker) continue;
                const bool pageBreak = i + 1 < body.size() && trimmed(lineText(body[i + 1])) == kPageBreak;
                body.erase(body.begin() + static_cast<long>(i), body.begin() + static_cast<long>(i + (pageBreak ? 2 : 1)));
                break;
            }
        } else {
            Raise(2, "Inserting introduction text...");
            for (size_t i = 0; i < body.size(); ++i) {
                std::string text = lineText(body[i]);
                size_t at = text.find(kIntroMarker);
                if (at == std::string::npos) continue;
                docx::Fragment intro;
                if (files::fileExists(introDocument) && docx::readBodyFragment(introDocument, intro)) {
                    std::string style = paragraphAt(body, i)->style;
                    std::string before = text.substr(0, at);
                    std::string after = text.substr(at + std::string_view(kIntroMarker).size());
                    std::vector<docx::Block> parts;
                    if (!trimmed(before).empty()) parts.push_back(docx::Paragraph::plain(before, style));
                    parts.push_back(std::move(intro));
                    if (!trimmed(after).empty()) parts.push_back(docx::Paragraph::plain(after, style));
                    body.erase(body.begin() + static_cast<long>(i));
                    body.insert(body.begin() + static_cast<long>(i), parts.begin(), parts.end());
                }
                break;
            }
        }

        Raise(2, "Inserting headers & footers...");
        doc.setHeader("Report on " + databaseName + "\t\t" + FormatShortDate(), true);
        doc.setFooter("Generated by Dalvane 4.5", true, true);

        // The passes below build the body anew instead of erasing and inserting in place:
        // a report has tens of thousands of blocks.
        Raise(2, "Drawing table for structures...");
        {
            std::vector<docx::Block> out;
            out.reserve(body.size());
            int n = 1;
            for (size_t i = 0; i < body.size(); ++i) {
                if (trimmed(lineText(body[i])) != kTableOpen) {
                    out.push_back(std::move(body[i]));
                    continue;
                }
                Raise(2, "Drawing table for structure " + std::to_string(n) + " ...");
                size_t close = findClose(body, i, kTableOpen, kTableClose, n);
                docx::Table table;
                table.contentStyle = "DVTableContent";
                table.headingStyle = "DVTableHeading";
                table.headingShade = "E6E6E6";
                table.spacingPt = 2;
                for (size_t r = i + 1; r < close; ++r) table.rows.push_back(splitCells(lineText(body[r])));
                if (!table.rows.empty()) out.push_back(std::move(table));
                i = close;
                ++n;
            }
            body = std::move(out);
        }

        Raise(2, "Drawing table for SQL Scripts...");
        {
            std::vector<docx::Block> out;
            out.reserve(body.size());
            int n = 1;
            for (size_t i = 0; i < body.size(); ++i) {
                if (trimmed(lineText(body[i])) != kFrameOpen) {
                    out.push_back(std::move(body[i]));
                    continue;
                }
                Raise(2, "Drawing table for SQL Script " + std::to_string(n) + " ...");
                size_t close = findClose(body, i, kFrameOpen, kFrameClose, n);
                for (size_t r = i + 1; r < close; ++r) {
                    if (auto* p = paragraphAt(body, r)) p->boxed = true;
                    out.push_back(std::move(body[r]));
                }
                i = close;
                ++n;
            }
            body = std::move(out);
        }

        Raise(2, "Formatting the document...");
        for (int k = 1; k <= 4; ++k) {
            std::string marker = "<heading" + std::to_string(k) + ">";
            for (docx::Block& b : body) {
                auto* p = std::get_if<docx::Paragraph>(&b);
                if (!p || !paragraphHas(*p, marker)) continue;
                replaceInParagraph(*p, marker, " ");
                p->style = "DVHeading" + std::to_string(k);
            }
        }

        // A page-break line becomes a manual break ahead of what follows it (a paragraph made
        // for them when a table or the end follows). A line holding only the marker goes, and
        // its breaks pass on.
        {
            std::vector<docx::Block> out;
            out.reserve(body.size());
            size_t pending = 0;
            auto holder = [&]() {
                docx::Paragraph p;
                p.style = kNormal;
                p.runs.insert(p.runs.begin(), pending, breakRun());
                pending = 0;
                return p;
            };
            const std::string_view marker = kPageBreak;
            for (docx::Block& b : body) {
                auto* p = std::get_if<docx::Paragraph>(&b);
                if (pending > 0) {
                    if (p) {
                        p->runs.insert(p->runs.begin(), pending, breakRun());
                        pending = 0;
                    } else {
                        out.push_back(holder());
                    }
                }
                if (!p || p->runs.empty()) {
                    out.push_back(std::move(b));
                    continue;
                }
                std::string& text = p->runs.back().text;
                if (text.size() < marker.size() || text.compare(text.size() - marker.size(), marker.size(), marker) != 0) {
                    out.push_back(std::move(b));
                    continue;
                }
                text.erase(text.size() - marker.size());
                pending = 1;
                if (trimmed(p->text()).empty()) {
                    for (const docx::Run& r : p->runs) pending += r.pageBreakBefore ? 1 : 0;
                } else {
                    out.push_back(std::move(b));
                }
            }
            if (pending > 0) out.push_back(holder());
            body = std::move(out);
        }

        const docx::Style* normal = doc.findStyle(kNormal);
        for (const char* caption : {"Tables (Continued...)", "Views (Continued...)", "Stored Procedures (Continued...)",
                                    "Triggers (Continued...)", "Indexes (Continued...)"}) {
            for (docx::Block& b : body) {
                auto* p = std::get_if<docx::Paragraph>(&b);
                if (p && paragraphHas(*p, caption)) formatOccurrences(*p, caption, *normal);
            }
        }

        // The table of contents follows the first "Table of Contents", else ends the document.
        size_t tocAt = body.size();
        for (size_t i = 0; i < body.size(); ++i) {
            auto* p = paragraphAt(body, i);
            if (!p || !paragraphHas(*p, kTocMarker)) continue;
            docx::Run& last = p->runs.back();
            size_t at = last.text.find(kTocMarker);
            if (at != std::string::npos) {  // text after the marker moves below the table of contents
                std::string rest = last.text.substr(at + std::string_view(kTocMarker).size());
                if (!rest.empty()) {
                    last.text.erase(at + std::string_view(kTocMarker).size());
                    body.insert(body.begin() + static_cast<long>(i) + 1, docx::Paragraph::plain(rest, p->style));
                }
            }
            tocAt = i + 1;
            break;
        }
        Raise(2, "Inserting table of contents...");
        docx::TableOfContents toc;
        toc.upperLevel = 1;
        toc.lowerLevel = 2;
        toc.hyperlinks = true;
        toc.styles = {{"DVTitle", 1}, {"DVHeading1", 1}, {"DVHeading2", 1}};
        body.insert(body.begin() + static_cast<long>(tocAt), toc);
        doc.setUpdateFieldsOnOpen(true);

        Raise(3, "Saving the document");
        files::clearLastWriteError();
        if (sFileName.empty() || !doc.save(sFileName)) {
            const std::string reason = files::lastWriteError();
            const long number = files::errorNumberOf(files::lastWriteErrno());
            // The name is blamed only when it is the cause (a full disk is not).
            const bool badName = reason.empty() || number == files::kBadFileName || number == files::kBadSyntax;
            ui::MsgBox(std::string(badName ? "Word document generated, but unable to save because of invalid file name."
                                           : "Word document generated, but unable to save it.") +
                           (reason.empty() ? std::string() : "\n\n" + reason),
                       ui::MsgButtons::OK, ui::MsgIcon::Information);
            Raise(0, "Unable to generate Word document!!!");
            return false;
        }
        Raise(0, "Word document generated!!!");
        if (ui::prompter().isInteractive()) ui::prompter().openExternally(sFileName);
        return true;
    } catch (const MalformedReport& e) {
        ui::MsgBox(e.message, ui::MsgButtons::OK, ui::MsgIcon::Critical);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "cWord.GenerateWordDocument");
    }
    Raise(0, "Unable to generate Word document!!!");
    return false;
}
