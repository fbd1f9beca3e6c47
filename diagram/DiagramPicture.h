// The diagram drawn into a picture and written as JPEG.
#pragma once

#include "diagram/DiagramLayout.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QColor>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QStringList>

#include <array>
#include <cstdio>

#include <string>
#include <vector>

class QPainter;

namespace orbelle {

// The diagram's colours and fonts as every table window draws them, on the screen and in the
// picture alike, and the parts of a table window of a given size.
struct TableLook {
    explicit TableLook(const Settings& s);
    QColor titleBack, titleText, text, back, border;
    QFont titleFont, font;
    int titleHeight, rowHeight, titleAscent, rowAscent;
    static constexpr int kFrame = 3, kScrollBar = 12;

    // The column list's area, in the window's coordinates.
    QRect client(int width, int height) const;
    int visibleRows(int height) const { return client(0, height).height() / rowHeight; }
    QRect scrollBar(int width, int height) const;
    QRect thumb(int width, int height, int rows, int first) const;
    // Height below the window's top where a connector meets row `index` (-1: no such column)
    // when the list starts at row `first`: the row's middle, the top edge when the column is
    // missing or scrolled out above, the bottom edge when scrolled out below.
    int attachY(int height, int index, int first) const;
    // What a table window of the given size shows, its list from row first: the caption and
    // the rows in sight (the last one may be cut by the frame) as they fit, and the scroll bar.
    struct Face {
        QString caption;
        QStringList rows;
        int first = 0, total = 0;
        bool scrollBar = false;
    };
    Face face(int width, int height, const QString& caption, const QStringList& rows, int first) const;
    // Draws a table window of the given size at the painter's origin.
    void paint(QPainter& p, int width, int height, const Face& face) const;
};

// A connector between two table windows as the window draws it: its line, and the arrowhead
// at the primary table. primaryY and foreignY are where it meets each table (attachY); a table
// related to itself gets a loop on its left side.
struct ConnectorShape {
    std::array<QPoint, 4> line, head;
};
ConnectorShape connectorShape(const Box& primary, int primaryY, const Box& foreign, int foreignY, bool self);

// A table window as the picture draws it.
struct PictureTable {
    std::string name;
    Box box;                        // the window's rectangle in the diagram
    int clientWidth = 0, clientHeight = 0;  // the column list's size
    std::vector<std::string> rows;  // column names in list order
};

// Room left beyond the tables (and the title) at the picture's right and bottom edges.
inline constexpr int kPictureMargin = 10;

// Size of the picture: the diagram from its top-left corner (or the leftmost and topmost table
// when one lies beyond it) to where the tables end, as wide as the title at least.
QSize pictureSize(const Settings& settings, const std::string& title, const std::vector<PictureTable>& tables);

// Largest width and height of a JPEG picture.
inline constexpr int kJpegLimit = 65500;
// The size a picture is written at: its own, or scaled down evenly to what a JPEG can hold.
QSize jpegSize(QSize picture);

// The whole diagram as the window shows it: title, connectors, tables, on the given background.
QImage renderPicture(const Settings& settings, const std::string& title, const std::vector<PictureTable>& tables,
                     const std::vector<Relation>& relations, const Rgb& background);

// A JPEG picture to write.
struct JpegTarget {
    std::string path;
    int quality = 75;
    Rgb background;
};

// Draws the diagram and writes it into every target, a band of rows at a time, scaled down
// when too large for a JPEG; a tall picture in stripes drawn and compressed side by side, each
// into a file of its own, then copied one after the other into the target. Each file is written
// atomically; false with one message per picture not written.
bool writePictures(const Settings& settings, const std::string& title, const std::vector<PictureTable>& tables,
                   const std::vector<Relation>& relations, const std::vector<JpegTarget>& targets,
                   std::vector<std::string>& errors);

// Joins pictures compressed separately, one below the other, each with a restart marker after
// every row of blocks and all but the last a whole number of such rows, into one JPEG written
// to out: the first one's header with the whole height, then every scan, its markers counted
// on. Each part is read from its file from the start. False when a part is not such a picture
// or a file cannot be read or written.
bool joinJpegStripes(const std::vector<std::FILE*>& stripes, int height, std::FILE* out);

// A Qt font for a font of the settings, size x factor pixels high.
QFont qtFont(const FontSpec& spec, int factor, bool underline);

// A name as it fits a box of the given width, in the window and in the picture alike: whole, or
// cut with an ellipsis at its end.
QString fitText(const QString& text, const QFontMetrics& metrics, int width);

}  // namespace orbelle
