#include "diagram/DiagramLayout.h"

#include "options/StructureVocabulary.h"
#include "platform/fs/Paths.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>

namespace orbelle {

int numberRule(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) return negative ? INT_MIN : INT_MAX;
    }
    return static_cast<int>(negative ? -value : value);
}

namespace {

int coordinate(const xml::Node& table, const char* name) {
    return std::clamp(numberRule(table.attribute(name)), -kCoordinateLimit, kCoordinateLimit);
}

Rgb colourOf(const xml::Node& diagram, const char* element) {
    Rgb c;
    if (!diagram) return c;
    xml::Node e = diagram.selectSingleNode(element);
    if (!e) return c;
    c.red = numberRule(e.attribute("Red")) & 0xFF;
    c.blue = numberRule(e.attribute("Blue")) & 0xFF;
    c.green = numberRule(e.attribute("Green")) & 0xFF;
    return c;
}

FontSpec fontOf(const xml::Node& diagram, const char* element) {
    FontSpec f;
    if (!diagram) return f;
    xml::Node e = diagram.selectSingleNode(element);
    if (!e) return f;
    f.name = e.attribute("FontName");
    f.size = std::clamp(numberRule(e.attribute("FontSize")), -kFontSizeLimit - 1, kFontSizeLimit);
    f.bold = numberRule(e.attribute("Bold")) != 0;
    f.underline = numberRule(e.attribute("Underline")) != 0;
    return f;
}

}  // namespace

Settings readSettings(const xml::Document& diagram) {
    Settings s;
    xml::Node d = diagram.selectSingleNode("/DATABASE/DIAGRAM");
    s.heading = colourOf(d, "HEADINGCOLOR");
    s.back = colourOf(d, "BACKCOLOR");
    s.tableTitleBack = colourOf(d, "TABLETITLEBACKCOLOR");
    s.tableTitleText = colourOf(d, "TABLETITLETEXTCOLOR");
    s.tableText = colourOf(d, "TABLETEXTCOLOR");
    s.tableBack = colourOf(d, "TABLEBACKCOLOR");
    s.tableBorder = colourOf(d, "TABLEBORDER");
    s.line = colourOf(d, "LINE");
    s.titleFont = fontOf(d, "TITLEFONT");
    s.tableFont = fontOf(d, "TABLEFONT");
    s.tableTitleFont = fontOf(d, "TABLETITLEFONT");
    s.tableFont.underline = s.tableTitleFont.underline = false;  // underline is the title's only
    s.quality = d ? numberRule(d.attribute("QUALITY")) : 0;
    return s;
}

Diagram readDiagram(const xml::Document& diagram) {
    Diagram out;
    xml::Node root = diagram.selectSingleNode("/DATABASE");
    if (!root) return out;
    out.title = root.attribute("DatabaseName");
    out.settings = readSettings(diagram);
    for (const xml::Node& t : root.selectNodes("TABLE")) {
        Table table;
        table.name = t.attribute("Name");
        for (const xml::Node& c : t.selectNodes("COLUMN")) table.columns.push_back(vocab::columnName(c));
        table.placed = t.hasAttribute("Left");
        table.deleted = numberRule(t.attribute("Deleted")) == 1;
        table.left = coordinate(t, "Left");
        table.top = coordinate(t, "Top");
        table.width = coordinate(t, "Width");
        table.height = coordinate(t, "Height");
        out.tables.push_back(std::move(table));
    }
    for (const vocab::ForeignKeyPair& fk : vocab::allForeignKeys(diagram)) {
        Relation r;
        r.primaryTable = fk.referencedTable;
        r.foreignTable = fk.referencingTable;
        r.foreignColumn = fk.referencingColumn;
        r.primaryColumn = fk.referencedColumn.empty() ? fk.referencingColumn : fk.referencedColumn;
        out.relations.push_back(std::move(r));
    }
    return out;
}

xml::Node tableElement(const xml::Document& diagram, const std::string& name) {
    return diagram.selectSingleNode("/DATABASE/TABLE[@Name=" + xml::xpathLiteral(name) + "]");
}

std::unordered_map<std::string, xml::Node> tableElements(const xml::Document& diagram) {
    std::unordered_map<std::string, xml::Node> out;
    for (const xml::Node& t : diagram.selectNodes("/DATABASE/TABLE")) out.emplace(t.attribute("Name"), t);
    return out;
}

Box boxOf(const Table& t) { return Box{t.left, t.top - kTopOffset, t.width, t.height}; }

void writePosition(xml::Node table, const Box& box) {
    table.setAttribute("Left", std::to_string(box.x));
    table.setAttribute("Top", std::to_string(static_cast<long long>(box.y) + kTopOffset));
    table.setAttribute("Width", std::to_string(box.width));
    table.setAttribute("Height", std::to_string(box.height));
}

bool setDeleted(xml::Document& diagram, const std::string& name, bool deleted) {
    xml::Node t = tableElement(diagram, name);
    if (!t) return false;
    setDeleted(t, deleted);
    return true;
}

void setDeleted(xml::Node table, bool deleted) { table.setAttribute("Deleted", deleted ? "1" : "0"); }

void PlacementCursor::startAdding(int lowestTop, int itsHeight) {
    if (first_) y_ = lowestTop + itsHeight + 60;
    first_ = false;
}

Box PlacementCursor::next() {
    if (count_ >= rowLength_) {
        x_ = 50;
        y_ += kRowStep;
        count_ = 0;
    } else {
        x_ += kColumnStep;
    }
    ++count_;
    return Box{x_, y_, kWidth, kHeight};
}

int gridRowLength(std::size_t tables, int viewWidth, int viewHeight) {
    if (viewWidth <= 0 || viewHeight <= 0) return PlacementCursor::kRowLength;
    // n tables in c columns of 150 and n / c rows of 200 are as wide against high as the view
    // when c * c = n * 200 * width / (150 * height).
    const double c = std::sqrt(static_cast<double>(tables) * PlacementCursor::kRowStep * viewWidth /
                               (static_cast<double>(PlacementCursor::kColumnStep) * viewHeight));
    return std::clamp(static_cast<int>(std::lround(c)), PlacementCursor::kRowLength, 1 << 20);
}

std::string picturePath(const std::string& diagramPath) { return files::replaceExtension(diagramPath, ".jpg"); }

}  // namespace orbelle
