// The diagram file as the diagram window sees it: settings, tables, relations; the placement
// grid; writing positions and removals back; the picture path. Widget-free.
//
// Coordinates: a table window's outer rectangle in the diagram's content (scrolled home) is
// stored as Left = x, Top = y + kTopOffset, Width, Height, so that a save followed by a load
// puts every table exactly where it was.
#pragma once

#include "platform/xml/Xml.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orbelle {

inline constexpr int kTopOffset = 38;
// Positions and sizes read from a diagram file are held within the largest widget size, so that
// no sum of them overflows; font sizes within 16 bits, as the settings store them.
inline constexpr int kCoordinateLimit = 16777215;
inline constexpr int kFontSizeLimit = 32767;

// Leading blanks, optional sign, digits up to the first other character; 0 when none.
int numberRule(std::string_view text);

struct Rgb {
    int red = 0, green = 0, blue = 0;
    bool operator==(const Rgb&) const = default;
};

struct FontSpec {
    std::string name;
    int size = 0;
    bool bold = false;
    bool underline = false;
    // Pixel height of a font whose height is size x factor (12 when the size is 0).
    int pixelHeight(int factor) const { return size == 0 ? 12 : size * factor; }
};

struct Settings {
    Rgb heading, back, tableTitleBack, tableTitleText, tableText, tableBack, tableBorder, line;
    FontSpec titleFont, tableFont, tableTitleFont;
    int quality = 75;
};

// DATABASE/DIAGRAM of the diagram file; a missing element or attribute reads as black, 0, "".
Settings readSettings(const xml::Document& diagram);

struct Table {
    std::string name;
    std::vector<std::string> columns;  // in document order, whichever reader wrote them
    bool placed = false;               // has a Left attribute
    bool deleted = false;              // Deleted is 1
    int left = 0, top = 0, width = 0, height = 0;
};

// One connector: from the referencing column of the foreign table to the referenced column of
// the primary table.
struct Relation {
    std::string primaryTable, foreignTable;
    std::string primaryColumn, foreignColumn;
};

struct Diagram {
    std::string title;  // DATABASE/@DatabaseName
    Settings settings;
    std::vector<Table> tables;  // every DATABASE/TABLE, in document order
    // Every foreign key of the file, wherever the reader placed it, in document order.
    std::vector<Relation> relations;
};

Diagram readDiagram(const xml::Document& diagram);

// DATABASE/TABLE with the given name (the first one), or a null node.
xml::Node tableElement(const xml::Document& diagram, const std::string& name);
// Every DATABASE/TABLE by name (the first of each name), for work on many tables at once.
std::unordered_map<std::string, xml::Node> tableElements(const xml::Document& diagram);

// Outer rectangle of a table window in content coordinates.
struct Box {
    int x = 0, y = 0, width = 0, height = 0;
    int right() const { return x + width; }
    int bottom() const { return y + height; }
    bool operator==(const Box&) const = default;
};

// Where a table stored with these attributes is shown, and what is stored for a box.
Box boxOf(const Table& t);
void writePosition(xml::Node table, const Box& box);
// Sets Deleted ("1" removed, "0" shown again) on the table of that name; false when none.
bool setDeleted(xml::Document& diagram, const std::string& name, bool deleted);
void setDeleted(xml::Node table, bool deleted);

// The next free place of the grid: tables 150 pixels apart, rows 200 apart, six a row unless
// told more.
class PlacementCursor {
public:
    static constexpr int kWidth = 100, kHeight = 150, kColumnStep = 150, kRowStep = 200, kRowLength = 6;
    void reset() { *this = PlacementCursor(); }  // a new diagram
    void beginRemoveAll() { x_ = -100, y_ = 80, count_ = 0; }
    void beginReArrange(int rowLength = kRowLength) { x_ = -100, y_ = 60, count_ = 0, rowLength_ = rowLength; }
    // The first Add of a diagram starts its row below the lowest table brought back (60 when none).
    void startAdding(int lowestTop, int itsHeight);
    void setRowLength(int tables) { rowLength_ = tables; }
    Box next();
    int x() const { return x_; }
    int y() const { return y_; }

private:
    int x_ = -100, y_ = 20, count_ = 0;
    int rowLength_ = kRowLength;
    bool first_ = true;
};

// Tables per grid row for this many tables, so that the grid takes the proportions of a view of
// this size: six at least, more as the count grows.
int gridRowLength(std::size_t tables, int viewWidth, int viewHeight);

// The picture beside a diagram file: its final extension replaced by "jpg".
std::string picturePath(const std::string& diagramPath);

}  // namespace orbelle
