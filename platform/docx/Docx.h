// WordprocessingML (.docx) writer: paragraph styles, paragraphs with direct run formatting,
// tables with a shaded header row, boxed paragraph groups, manual page breaks, a header and a
// footer with a page-number field, a table-of-contents field refreshed when the document is
// opened, and the body of another .docx inserted as a block.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace docx {

// A paragraph style; the name doubles as the style id.
struct Style {
    std::string name;
    std::string font;
    double sizePt = 0;            // 0: not set
    std::optional<bool> bold;     // unset: inherited
    std::optional<bool> italic;
};

struct Run {
    std::string text;             // '\t' becomes a tab
    std::optional<std::string> font;
    double sizePt = 0;
    std::optional<bool> bold;
    bool pageBreakBefore = false; // a manual page break ahead of the text
};

struct Paragraph {
    std::string style;
    std::vector<Run> runs;
    bool boxed = false;  // borders on all four sides; neighbouring boxed paragraphs form one frame

    static Paragraph plain(std::string text, std::string style = {});
    std::string text() const;
};

struct Table {
    std::vector<std::vector<std::string>> rows;  // row 1 is the heading row
    std::string contentStyle;
    std::string headingStyle;
    std::string headingShade = "E6E6E6";         // background of row 1, RRGGBB
    double spacingPt = 2;                        // before and after each cell paragraph
    int columnCount() const;
};

// Table-of-contents field. Its instruction lists the outline levels and the extra styles; until
// a word processor refreshes it, it shows the paragraphs of those styles as links to them.
struct TableOfContents {
    int upperLevel = 1;
    int lowerLevel = 2;
    std::vector<std::pair<std::string, int>> styles;  // style name, level
    bool hyperlinks = true;
    std::string instruction() const;
};

// Body content taken from another document (WordprocessingML markup of paragraphs and tables).
struct Fragment {
    std::string xml;
};

using Block = std::variant<Paragraph, Table, TableOfContents, Fragment>;

// Reads the body of a .docx (every block but the final section properties). Relationship-bound
// content (pictures, linked objects) is dropped and hyperlinks keep their text only, since the
// parts they refer to are not carried over. False when the file is not a readable document.
bool readBodyFragment(const std::string& path, Fragment& out, std::string* error = nullptr);

class Document {
public:
    void addStyle(const Style& style);
    const std::vector<Style>& styles() const { return styles_; }
    const Style* findStyle(const std::string& name) const;

    std::vector<Block>& body() { return body_; }
    const std::vector<Block>& body() const { return body_; }
    void append(Block block) { body_.push_back(std::move(block)); }

    // Header: one paragraph with a bottom border when asked.
    void setHeader(std::string text, bool bottomBorder);
    // Footer: one paragraph with a top border when asked, then, with pageNumbers, a centred
    // paragraph holding the PAGE field.
    void setFooter(std::string text, bool topBorder, bool pageNumbers);
    void setTitle(std::string title) { title_ = std::move(title); }
    // Marks every field to be refreshed when a word processor opens the document.
    void setUpdateFieldsOnOpen(bool on) { updateFields_ = on; }

    // The parts as they will be stored; the document's text also piece by piece.
    std::string documentXml() const;
    void writeDocumentXml(const std::function<void(std::string_view)>& put) const;
    std::string stylesXml() const;
    std::string settingsXml() const;
    std::string headerXml() const;
    std::string footerXml() const;

    // Writes the package; false with error() on failure (an existing file is left as it was).
    bool save(const std::string& path);
    const std::string& error() const { return error_; }

private:
    std::vector<Style> styles_;
    std::vector<Block> body_;
    std::optional<std::pair<std::string, bool>> header_;
    struct Footer {
        std::string text;
        bool topBorder = false;
        bool pageNumbers = false;
    };
    std::optional<Footer> footer_;
    std::string title_;
    bool updateFields_ = false;
    std::string error_;
};

// Text escaped for XML character data and attribute values; characters XML 1.0 forbids are
// dropped.
std::string escapeXml(const std::string& text);

}  // namespace docx
