// The diagram drawn into a picture and written as JPEG.
#pragma once

#include "diagram/DiagramLayout.h"

#include <QFont>
#include <QImage>
#include <QSize>

#include <string>
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
// would need hundreds of megabytes as one image). Each file is written atomically; false with
// one message per picture not written.
bool writePictures(const Settings& settings, const std::string& title, const std::vector<PictureTable>& tables,
                   const std::vector<Relation>& relations, const std::vector<JpegTarget>& targets,
                   std::vector<std::string>& errors);

// A Qt font for a font of the settings, size x factor pixels high.
QFont qtFont(const FontSpec& spec, int factor, bool underline);

// Fit rule: how many of n characters of a text in a box of the given width fit at the given
// font height (never negative).
int fittedLength(int n, int boxWidth, int fontHeight);

}  // namespace orbelle
