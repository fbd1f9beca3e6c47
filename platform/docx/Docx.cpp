#include "platform/docx/Docx.h"

#include "platform/docx/Zip.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <map>
#include <memory>
#include <set>

namespace docx {
namespace {

constexpr const char* kMainNs = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr const char* kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr const char* kXmlDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr const char* kRelType = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

// A4 with one-inch margins, in twentieths of a point.
constexpr int kPageWidth = 11906;
constexpr int kPageHeight = 16838;
constexpr int kMargin = 1440;
constexpr int kTextWidth = kPageWidth - 2 * kMargin;

std::string rootNamespaces() {
    return std::string(" xmlns:w=\"") + kMainNs + "\" xmlns:r=\"" + kRelNs + "\"";
}

std::string halfPoints(double pt) { return std::to_string(static_cast<int>(std::lround(pt * 2))); }
std::string twips(double pt) { return std::to_string(static_cast<int>(std::lround(pt * 20))); }

std::string onOff(const char* tag, bool on) {
    return on ? std::string("<w:") + tag + "/>" : std::string("<w:") + tag + " w:val=\"0\"/>";
}

std::string fontsXml(const std::string& font) {
    std::string f = escapeXml(font);
    return "<w:rFonts w:ascii=\"" + f + "\" w:hAnsi=\"" + f + "\" w:eastAsia=\"" + f + "\" w:cs=\"" + f + "\"/>";
}

std::string border(const char* side) {
    return std::string("<w:") + side + " w:val=\"single\" w:sz=\"6\" w:space=\"1\" w:color=\"auto\"/>";
}

// The text of a run: tabs and line breaks become their elements.
std::string runContent(const std::string& text) {
    std::string out;
    std::string chunk;
    auto flush = [&] {
        if (!chunk.empty()) out += "<w:t xml:space=\"preserve\">" + escapeXml(chunk) + "</w:t>";
        chunk.clear();
    };
    for (char c : text) {
        if (c == '\t') {
            flush();
            out += "<w:tab/>";
        } else if (c == '\n') {
            flush();
            out += "<w:br/>";
        } else if (c != '\r') {
            chunk += c;
        }
    }
    flush();
    return out;
}

std::string runXml(const Run& run) {
    std::string rpr;
    if (run.font) rpr += fontsXml(*run.font);
    if (run.bold) rpr += onOff("b", *run.bold) + onOff("bCs", *run.bold);
    if (run.sizePt > 0)
        rpr += "<w:sz w:val=\"" + halfPoints(run.sizePt) + "\"/><w:szCs w:val=\"" + halfPoints(run.sizePt) + "\"/>";
    std::string out = "<w:r>";
    if (!rpr.empty()) out += "<w:rPr>" + rpr + "</w:rPr>";
    if (run.pageBreakBefore) out += "<w:br w:type=\"page\"/>";
    out += runContent(run.text) + "</w:r>";
    return out;
}

std::string fieldRuns(const std::string& instruction, const std::string& shown) {
    return "<w:r><w:fldChar w:fldCharType=\"begin\" w:dirty=\"true\"/></w:r>"
           "<w:r><w:instrText xml:space=\"preserve\">" + escapeXml(instruction) + "</w:instrText></w:r>"
           "<w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>" +
           (shown.empty() ? std::string() : "<w:r>" + runContent(shown) + "</w:r>") +
           "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>";
}

std::string paragraphXml(const Paragraph& p, const std::string& bookmark, int bookmarkId) {
    std::string ppr;
    if (!p.style.empty()) ppr += "<w:pStyle w:val=\"" + escapeXml(p.style) + "\"/>";
    if (p.boxed) ppr += "<w:pBdr>" + border("top") + border("left") + border("bottom") + border("right") + "</w:pBdr>";
    std::string out = "<w:p>";
    if (!ppr.empty()) out += "<w:pPr>" + ppr + "</w:pPr>";
    std::string id = std::to_string(bookmarkId);
    if (!bookmark.empty()) out += "<w:bookmarkStart w:id=\"" + id + "\" w:name=\"" + bookmark + "\"/>";
    for (const Run& r : p.runs) out += runXml(r);
    if (!bookmark.empty()) out += "<w:bookmarkEnd w:id=\"" + id + "\"/>";
    out += "</w:p>";
    return out;
}

std::string tableXml(const Table& t) {
    int cols = t.columnCount();
    if (cols == 0) return {};
    // Each column is at least as wide as its longest word (within a limit), so that no word is
    // broken inside; what is left of the line is shared in proportion to each column's longest
    // value (of the heading row, the longest word, since headings may wrap), within limits.
    // Measured in characters of the tables' 8-point text, bold headings and wide fonts included.
    constexpr int kCharWidth = 110;  // twips
    constexpr int kCellMargin = 2;  // characters
    std::vector<int> word(static_cast<size_t>(cols), 3), natural(static_cast<size_t>(cols), 3);
    for (size_t r = 0; r < t.rows.size(); ++r)
        for (size_t c = 0; c < t.rows[r].size() && c < word.size(); ++c) {
            const std::string& text = t.rows[r][c];
            int longestWord = 0;
            for (size_t a = 0, b; a < text.size(); a = b + 1) {
                b = text.find_first_of(" \n", a);
                if (b == std::string::npos) b = text.size();
                longestWord = std::max(longestWord, static_cast<int>(b - a));
            }
            word[c] = std::max(word[c], std::min(16, longestWord));
            natural[c] = std::max(natural[c], std::min(30, r == 0 ? longestWord : static_cast<int>(text.size())));
        }
    const int line = kTextWidth / kCharWidth;
    int least = 0, extra = 0;
    for (size_t c = 0; c < word.size(); ++c) {
        natural[c] = std::max(natural[c], word[c]);
        least += word[c] + kCellMargin;
        extra += natural[c];
    }
    std::vector<double> chars;
    for (size_t c = 0; c < word.size(); ++c) {
        const double base = word[c] + kCellMargin;
        if (least >= line) chars.push_back(base);
        else chars.push_back(base + double(line - least) * natural[c] / extra);
    }
    double sum = 0;
    for (double w : chars) sum += w;
    std::vector<int> width;
    for (double w : chars) width.push_back(static_cast<int>(kTextWidth * w / sum));
    std::string out = "<w:tbl><w:tblPr><w:tblW w:w=\"5000\" w:type=\"pct\"/><w:tblBorders>";
    for (const char* side : {"top", "left", "bottom", "right", "insideH", "insideV"})
        out += std::string("<w:") + side + " w:val=\"single\" w:sz=\"4\" w:space=\"0\" w:color=\"auto\"/>";
    out += "</w:tblBorders><w:tblLayout w:type=\"fixed\"/>"
           "<w:tblCellMar><w:left w:w=\"80\" w:type=\"dxa\"/><w:right w:w=\"80\" w:type=\"dxa\"/></w:tblCellMar>"
           "<w:tblLook w:val=\"0000\" w:firstRow=\"0\" w:lastRow=\"0\" w:firstColumn=\"0\" w:lastColumn=\"0\" "
           "w:noHBand=\"1\" w:noVBand=\"1\"/></w:tblPr><w:tblGrid>";
    for (int w : width) out += "<w:gridCol w:w=\"" + std::to_string(w) + "\"/>";
    out += "</w:tblGrid>";
    std::string spacing = "<w:spacing w:before=\"" + twips(t.spacingPt) + "\" w:after=\"" + twips(t.spacingPt) + "\"/>";
    for (size_t r = 0; r < t.rows.size(); ++r) {
        bool heading = r == 0;
        const std::string& style = heading ? t.headingStyle : t.contentStyle;
        out += "<w:tr>";
        if (heading) out += "<w:trPr><w:tblHeader/></w:trPr>";
        for (int c = 0; c < cols; ++c) {
            const auto& row = t.rows[r];
            std::string text = c < static_cast<int>(row.size()) ? row[static_cast<size_t>(c)] : std::string();
            out += "<w:tc><w:tcPr><w:tcW w:w=\"" + std::to_string(width[static_cast<size_t>(c)]) + "\" w:type=\"dxa\"/>";
            if (heading) {
                if (!t.headingShade.empty())
                    out += "<w:shd w:val=\"clear\" w:color=\"auto\" w:fill=\"" + escapeXml(t.headingShade) + "\"/>";
                out += "<w:vAlign w:val=\"center\"/>";
            }
            out += "</w:tcPr><w:p><w:pPr>";
            if (!style.empty()) out += "<w:pStyle w:val=\"" + escapeXml(style) + "\"/>";
            out += spacing + "</w:pPr>";
            if (!text.empty()) out += "<w:r>" + runContent(text) + "</w:r>";
            out += "</w:p></w:tc>";
        }
        out += "</w:tr>";
    }
    out += "</w:tbl>";
    return out;
}

struct TocEntry {
    std::string text;
    int level;
    std::string bookmark;
};

std::string tocXml(const TableOfContents& toc, const std::vector<TocEntry>& entries) {
    auto open = [&](int level) {
        return "<w:p><w:pPr><w:pStyle w:val=\"TOC" + std::to_string(level) + "\"/></w:pPr>";
    };
    std::string begin = "<w:r><w:fldChar w:fldCharType=\"begin\" w:dirty=\"true\"/></w:r>"
                        "<w:r><w:instrText xml:space=\"preserve\">" + escapeXml(toc.instruction()) +
                        "</w:instrText></w:r><w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>";
    std::string end = "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>";
    if (entries.empty()) return open(1) + begin + end + "</w:p>";
    std::string out;
    for (size_t i = 0; i < entries.size(); ++i) {
        const TocEntry& e = entries[i];
        out += open(e.level);
        if (i == 0) out += begin;
        std::string link = "<w:r>" + runContent(e.text) + "</w:r>";
        if (toc.hyperlinks)
            out += "<w:hyperlink w:anchor=\"" + e.bookmark + "\" w:history=\"1\">" + link + "</w:hyperlink>";
        else
            out += link;
        if (i + 1 == entries.size()) out += end;
        out += "</w:p>";
    }
    return out;
}

// Serialises body content of another document with the prefixes w and r, leaving out what
// depends on parts that are not carried over.
void fragmentNode(xmlNode* n, std::string& out) {
    static const std::set<std::string> dropped = {
        "drawing", "pict", "object", "sectPr", "bookmarkStart", "bookmarkEnd", "commentRangeStart",
        "commentRangeEnd", "commentReference", "footnoteReference", "endnoteReference", "numPr",
        "proofErr", "lastRenderedPageBreak"};
    for (xmlNode* c = n->children; c; c = c->next) {
        if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) {
            const char* t = reinterpret_cast<const char*>(c->content);
            if (t) out += escapeXml(t);
            continue;
        }
        if (c->type != XML_ELEMENT_NODE) continue;
        if (!c->ns || std::string(reinterpret_cast<const char*>(c->ns->href)) != kMainNs) continue;
        std::string name = reinterpret_cast<const char*>(c->name);
        if (dropped.count(name)) continue;
        bool boundToPart = false;
        std::string attrs;
        for (xmlAttr* a = c->properties; a; a = a->next) {
            std::string href = a->ns ? reinterpret_cast<const char*>(a->ns->href) : "";
            if (href == kRelNs) {
                boundToPart = true;
                continue;
            }
            std::string prefix;
            if (href == kMainNs) prefix = "w:";
            else if (href == "http://www.w3.org/XML/1998/namespace") prefix = "xml:";
            else continue;
            xmlChar* v = xmlNodeListGetString(c->doc, a->children, 1);
            attrs += " " + prefix + reinterpret_cast<const char*>(a->name) + "=\"" +
                     escapeXml(v ? reinterpret_cast<const char*>(v) : "") + "\"";
            if (v) xmlFree(v);
        }
        if (name == "hyperlink") {  // keep the text, not the link
            fragmentNode(c, out);
            continue;
        }
        if (boundToPart) continue;
        out += "<w:" + name + attrs + ">";
        fragmentNode(c, out);
        out += "</w:" + name + ">";
    }
}

std::string contentTypes(bool header, bool footer) {
    std::string ct = "application/vnd.openxmlformats-officedocument.wordprocessingml.";
    std::string out = std::string(kXmlDecl) +
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Override PartName=\"/word/document.xml\" ContentType=\"" + ct + "document.main+xml\"/>"
        "<Override PartName=\"/word/styles.xml\" ContentType=\"" + ct + "styles+xml\"/>"
        "<Override PartName=\"/word/settings.xml\" ContentType=\"" + ct + "settings+xml\"/>";
    if (header) out += "<Override PartName=\"/word/header1.xml\" ContentType=\"" + ct + "header+xml\"/>";
    if (footer) out += "<Override PartName=\"/word/footer1.xml\" ContentType=\"" + ct + "footer+xml\"/>";
    out += "<Override PartName=\"/docProps/core.xml\" ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>"
           "<Override PartName=\"/docProps/app.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.extended-properties+xml\"/>"
           "</Types>";
    return out;
}

std::string packageRels() {
    return std::string(kXmlDecl) +
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"" + kRelType + "officeDocument\" Target=\"word/document.xml\"/>"
        "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties\" Target=\"docProps/core.xml\"/>"
        "<Relationship Id=\"rId3\" Type=\"" + kRelType + "extended-properties\" Target=\"docProps/app.xml\"/>"
        "</Relationships>";
}

std::string documentRels(bool header, bool footer) {
    std::string out = std::string(kXmlDecl) +
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rIdStyles\" Type=\"" + kRelType + "styles\" Target=\"styles.xml\"/>"
        "<Relationship Id=\"rIdSettings\" Type=\"" + kRelType + "settings\" Target=\"settings.xml\"/>";
    if (header) out += "<Relationship Id=\"rIdHeader\" Type=\"" + std::string(kRelType) + "header\" Target=\"header1.xml\"/>";
    if (footer) out += "<Relationship Id=\"rIdFooter\" Type=\"" + std::string(kRelType) + "footer\" Target=\"footer1.xml\"/>";
    return out + "</Relationships>";
}

std::string coreProps(const std::string& title) {
    char stamp[32];
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return std::string(kXmlDecl) +
        "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
        "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
        "<dc:title>" + escapeXml(title) + "</dc:title><dc:creator>Dalvane 4.5</dc:creator>"
        "<dcterms:created xsi:type=\"dcterms:W3CDTF\">" + stamp + "</dcterms:created>"
        "<dcterms:modified xsi:type=\"dcterms:W3CDTF\">" + stamp + "</dcterms:modified>"
        "</cp:coreProperties>";
}

std::string appProps() {
    return std::string(kXmlDecl) +
        "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\">"
        "<Application>Dalvane 4.5</Application></Properties>";
}

}  // namespace

std::string escapeXml(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default:
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') break;
            out += static_cast<char>(c);
        }
    }
    return out;
}

Paragraph Paragraph::plain(std::string text, std::string style) {
    Paragraph p;
    p.style = std::move(style);
    if (!text.empty()) p.runs.push_back(Run{std::move(text), {}, 0, {}, false});
    return p;
}

std::string Paragraph::text() const {
    std::string t;
    for (const Run& r : runs) t += r.text;
    return t;
}

int Table::columnCount() const {
    size_t n = 0;
    for (const auto& row : rows) n = std::max(n, row.size());
    return static_cast<int>(n);
}

std::string TableOfContents::instruction() const {
    std::string s = " TOC \\o \"" + std::to_string(upperLevel) + "-" + std::to_string(lowerLevel) + "\"";
    if (hyperlinks) s += " \\h";
    s += " \\z";
    if (!styles.empty()) {
        s += " \\t \"";
        for (size_t i = 0; i < styles.size(); ++i) {
            if (i) s += ",";
            s += styles[i].first + "," + std::to_string(styles[i].second);
        }
        s += "\"";
    }
    return s + " ";
}

bool readBodyFragment(const std::string& path, Fragment& out, std::string* error) {
    std::string xmlText;
    if (!readZipEntry(path, "word/document.xml", xmlText, error)) return false;
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(
        xmlReadMemory(xmlText.data(), static_cast<int>(xmlText.size()), "document.xml", nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
        &xmlFreeDoc);
    if (!doc) {
        if (error) *error = "document.xml of " + path + " does not parse";
        return false;
    }
    xmlNode* root = xmlDocGetRootElement(doc.get());
    xmlNode* body = nullptr;
    if (root && root->ns && std::string(reinterpret_cast<const char*>(root->ns->href)) == kMainNs)
        for (xmlNode* c = root->children; c; c = c->next)
            if (c->type == XML_ELEMENT_NODE && std::string(reinterpret_cast<const char*>(c->name)) == "body")
                body = c;
    if (!body) {
        if (error) *error = path + " has no document body";
        return false;
    }
    out.xml.clear();
    fragmentNode(body, out.xml);
    return true;
}

void Document::addStyle(const Style& style) {
    for (Style& s : styles_)
        if (s.name == style.name) {
            s = style;
            return;
        }
    styles_.push_back(style);
}

const Style* Document::findStyle(const std::string& name) const {
    for (const Style& s : styles_)
        if (s.name == name) return &s;
    return nullptr;
}

void Document::setHeader(std::string text, bool bottomBorder) { header_ = {std::move(text), bottomBorder}; }

void Document::setFooter(std::string text, bool topBorder, bool pageNumbers) {
    footer_ = Footer{std::move(text), topBorder, pageNumbers};
}

void Document::writeDocumentXml(const std::function<void(std::string_view)>& put) const {
    // Headings the table of contents lists get bookmarks for its page references.
    std::map<std::string, int> tocLevels;
    for (const Block& b : body_)
        if (auto* toc = std::get_if<TableOfContents>(&b))
            for (const auto& [style, level] : toc->styles) tocLevels.emplace(style, level);
    std::vector<TocEntry> entries;
    std::vector<std::string> bookmarks(body_.size());
    for (size_t i = 0; i < body_.size(); ++i) {
        auto* p = std::get_if<Paragraph>(&body_[i]);
        if (!p) continue;
        auto it = tocLevels.find(p->style);
        std::string text = p->text();
        size_t a = text.find_first_not_of(" \t");
        if (it == tocLevels.end() || a == std::string::npos) continue;
        size_t z = text.find_last_not_of(" \t");
        bookmarks[i] = "_Toc" + std::to_string(100000 + entries.size());
        entries.push_back({text.substr(a, z - a + 1), it->second, bookmarks[i]});
    }

    put(std::string(kXmlDecl) + "<w:document" + rootNamespaces() + "><w:body>");
    bool lastWasParagraph = false;
    bool lastWasTable = false;
    for (size_t i = 0; i < body_.size(); ++i) {
        const Block& b = body_[i];
        if (auto* p = std::get_if<Paragraph>(&b)) {
            put(paragraphXml(*p, bookmarks[i], static_cast<int>(i)));
            lastWasParagraph = true;
            lastWasTable = false;
        } else if (auto* t = std::get_if<Table>(&b)) {
            std::string x = tableXml(*t);
            if (x.empty()) continue;
            if (lastWasTable) put("<w:p/>");  // neighbouring tables would otherwise merge
            put(x);
            lastWasParagraph = false;
            lastWasTable = true;
        } else if (auto* toc = std::get_if<TableOfContents>(&b)) {
            put(tocXml(*toc, entries));
            lastWasParagraph = true;
            lastWasTable = false;
        } else if (auto* f = std::get_if<Fragment>(&b)) {
            if (f->xml.empty()) continue;
            put(f->xml);
            lastWasParagraph = f->xml.rfind("<w:p", f->xml.rfind('<')) != std::string::npos &&
                               f->xml.size() >= 6 && f->xml.compare(f->xml.size() - 6, 6, "</w:p>") == 0;
            lastWasTable = !lastWasParagraph;
        }
    }
    if (!lastWasParagraph) put("<w:p/>");  // the body ends with a paragraph
    std::string out = "<w:sectPr>";
    if (header_) out += "<w:headerReference w:type=\"default\" r:id=\"rIdHeader\"/>";
    if (footer_) out += "<w:footerReference w:type=\"default\" r:id=\"rIdFooter\"/>";
    out += "<w:pgSz w:w=\"" + std::to_string(kPageWidth) + "\" w:h=\"" + std::to_string(kPageHeight) +
           "\"/><w:pgMar w:top=\"" + std::to_string(kMargin) + "\" w:right=\"" + std::to_string(kMargin) +
           "\" w:bottom=\"" + std::to_string(kMargin) + "\" w:left=\"" + std::to_string(kMargin) +
           "\" w:header=\"708\" w:footer=\"708\" w:gutter=\"0\"/></w:sectPr></w:body></w:document>";
    put(out);
}

std::string Document::documentXml() const {
    std::string out;
    writeDocumentXml([&out](std::string_view text) { out += text; });
    return out;
}

std::string Document::stylesXml() const {
    std::string tabs = "<w:tabs><w:tab w:val=\"center\" w:pos=\"" + std::to_string(kTextWidth / 2) +
                       "\"/><w:tab w:val=\"right\" w:pos=\"" + std::to_string(kTextWidth) + "\"/></w:tabs>";
    std::string out = std::string(kXmlDecl) + "<w:styles" + rootNamespaces() + ">"
        "<w:docDefaults><w:rPrDefault><w:rPr>" + fontsXml("Arial") +
        "<w:sz w:val=\"20\"/><w:szCs w:val=\"20\"/><w:lang w:val=\"en-US\"/></w:rPr></w:rPrDefault>"
        "<w:pPrDefault><w:pPr><w:spacing w:after=\"0\" w:line=\"240\" w:lineRule=\"auto\"/></w:pPr></w:pPrDefault>"
        "</w:docDefaults>"
        "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name w:val=\"Normal\"/><w:qFormat/></w:style>"
        "<w:style w:type=\"character\" w:default=\"1\" w:styleId=\"DefaultParagraphFont\"><w:name w:val=\"Default Paragraph Font\"/><w:uiPriority w:val=\"1\"/><w:semiHidden/></w:style>"
        "<w:style w:type=\"paragraph\" w:styleId=\"Header\"><w:name w:val=\"header\"/><w:basedOn w:val=\"Normal\"/><w:pPr>" + tabs + "</w:pPr></w:style>"
        "<w:style w:type=\"paragraph\" w:styleId=\"Footer\"><w:name w:val=\"footer\"/><w:basedOn w:val=\"Normal\"/><w:pPr>" + tabs + "</w:pPr></w:style>";
    for (int level = 1; level <= 9; ++level) {
        std::string id = "TOC" + std::to_string(level);
        out += "<w:style w:type=\"paragraph\" w:styleId=\"" + id + "\"><w:name w:val=\"toc " + std::to_string(level) +
               "\"/><w:basedOn w:val=\"Normal\"/><w:next w:val=\"Normal\"/><w:uiPriority w:val=\"39\"/><w:pPr><w:spacing w:before=\"60\" w:after=\"60\"/><w:ind w:left=\"" +
               std::to_string((level - 1) * 220) + "\"/></w:pPr></w:style>";
    }
    for (const Style& s : styles_) {
        std::string id = escapeXml(s.name);
        out += "<w:style w:type=\"paragraph\" w:customStyle=\"1\" w:styleId=\"" + id + "\"><w:name w:val=\"" + id +
               "\"/><w:basedOn w:val=\"Normal\"/><w:qFormat/><w:rPr>";
        if (!s.font.empty()) out += fontsXml(s.font);
        if (s.bold) out += onOff("b", *s.bold) + onOff("bCs", *s.bold);
        if (s.italic) out += onOff("i", *s.italic) + onOff("iCs", *s.italic);
        if (s.sizePt > 0)
            out += "<w:sz w:val=\"" + halfPoints(s.sizePt) + "\"/><w:szCs w:val=\"" + halfPoints(s.sizePt) + "\"/>";
        out += "</w:rPr></w:style>";
    }
    return out + "</w:styles>";
}

std::string Document::settingsXml() const {
    std::string out = std::string(kXmlDecl) + "<w:settings" + rootNamespaces() + ">"
                      "<w:defaultTabStop w:val=\"720\"/>";
    if (updateFields_) out += "<w:updateFields w:val=\"true\"/>";
    out += "<w:compat><w:compatSetting w:name=\"compatibilityMode\" w:uri=\"http://schemas.microsoft.com/office/word\" w:val=\"15\"/></w:compat>";
    return out + "</w:settings>";
}

std::string Document::headerXml() const {
    if (!header_) return {};
    std::string out = std::string(kXmlDecl) + "<w:hdr" + rootNamespaces() + "><w:p><w:pPr><w:pStyle w:val=\"Header\"/>";
    if (header_->second) out += "<w:pBdr>" + border("bottom") + "</w:pBdr>";
    out += "</w:pPr><w:r>" + runContent(header_->first) + "</w:r></w:p></w:hdr>";
    return out;
}

std::string Document::footerXml() const {
    if (!footer_) return {};
    std::string out = std::string(kXmlDecl) + "<w:ftr" + rootNamespaces() + "><w:p><w:pPr><w:pStyle w:val=\"Footer\"/>";
    if (footer_->topBorder) out += "<w:pBdr>" + border("top") + "</w:pBdr>";
    out += "</w:pPr><w:r>" + runContent(footer_->text) + "</w:r></w:p>";
    if (footer_->pageNumbers)
        out += "<w:p><w:pPr><w:pStyle w:val=\"Footer\"/><w:jc w:val=\"center\"/></w:pPr>" + fieldRuns(" PAGE ", "1") + "</w:p>";
    return out + "</w:ftr>";
}

bool Document::save(const std::string& path) {
    error_.clear();
    bool header = header_.has_value();
    bool footer = footer_.has_value();
    // Entries are moved in, not copied from an initializer list: the document text of a large
    // report runs to hundreds of megabytes.
    std::vector<ZipEntry> entries;
    entries.reserve(10);
    entries.push_back({"[Content_Types].xml", contentTypes(header, footer)});
    entries.push_back({"_rels/.rels", packageRels()});
    entries.push_back({"docProps/core.xml", coreProps(title_)});
    entries.push_back({"docProps/app.xml", appProps()});
    // The document text is deflated as it is made, never held whole.
    entries.push_back({"word/document.xml", [this](const ZipWriteText& put) { writeDocumentXml(put); }});
    entries.push_back({"word/_rels/document.xml.rels", documentRels(header, footer)});
    entries.push_back({"word/styles.xml", stylesXml()});
    entries.push_back({"word/settings.xml", settingsXml()});
    if (header) entries.push_back({"word/header1.xml", headerXml()});
    if (footer) entries.push_back({"word/footer1.xml", footerXml()});
    return writeZip(path, entries, &error_);
}

}  // namespace docx
