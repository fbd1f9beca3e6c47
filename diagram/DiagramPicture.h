// The diagram drawn into a picture and written as JPEG.
#pragma once

#include "diagram/DiagramLayout.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QSize>

#include <string>
#include <string_view>
#include <vector>

namespace orbelle {

// A table window as the picture draws it.
struct PictureTable {
    std::string name;
    Box box;                        // outer rectangle, content coordinates
    int clientWidth = 0, clientHeight = 0;  // the column list's size
    std::vector<std::string> rows;  // column names in list order
};

// Size of the picture for these tables (the extents are taken afresh at every call).
QSize pictureSize(const std::vector<PictureTable>& tables);

// Largest width and height of a JPEG picture.
inline constexpr int kJpegLimit = 65500;
// The size a picture is written at: its own, or scaled down evenly to what a JPEG can hold.
QSize jpegSize(QSize picture);

// The whole diagram: title, connectors, tables, on the given background.
QImage renderPicture(const Settings& settings, const std::string& title, const std::vector<PictureTable>& tables,
                     const std::vector<Relation>& relations, const Rgb& background);

// A JPEG picture to write.
struct JpegTarget {
    std::string path;
    int quality = 75;
    Rgb background;
};

// Draws the diagram and writes it into every target, a band of rows at a time (a large diagram
// would need hundreds of megabytes as one image), scaled down when too large for a JPEG; a tall
// picture in stripes drawn and compressed side by side. Each file is written atomically; false
// with one message per picture not written.
bool writePictures(const Settings& settings, const std::string& title, const std::vector<PictureTable>& tables,
                   const std::vector<Relation>& relations, const std::vector<JpegTarget>& targets,
                   std::vector<std::string>& errors);

// One JPEG of pictures compressed separately, one below the other, each with a restart marker
// after every row of blocks and all but the last a whole number of such rows: the first one's
// header with the whole height, then every scan, its markers counted on. False when a part is
// not such a picture.
bool joinJpegStripes(const std::vector<std::string_view>& stripes, int height, std::string& out);

// A Qt font for a font of the settings, size x factor pixels high.
QFont qtFont(const FontSpec& spec, int factor, bool underline);

// A name as it fits a box of the given width, in the window and in the picture alike: whole, or
// cut with an ellipsis at its end.
QString fitText(const QString& text, const QFontMetrics& metrics, int width);

}  // namespace orbelle
