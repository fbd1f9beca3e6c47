// The diagram's layout rules, write-back and picture, without a window.
#include "diagram/DiagramLayout.h"
#include "diagram/DiagramPicture.h"
#include "support/TestSupport.h"

#include <QFontMetrics>
#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

using namespace orbelle;

namespace {

// A diagram file as the DAO reader's vocabulary writes it: Column_Name, keys under the
// referencing table with Related_Column-free names, one self-relation.
const char* kDaoDiagram = R"(<?xml version="1.0" encoding="UTF-8"?>
<DATABASE DatabaseName="Bücher">
  <TABLE Name="Kunden" Left="40" Top="138" Width="120" Height="160">
    <COLUMN Column_Name="KundenNr"/><COLUMN Column_Name="Name"/>
  </TABLE>
  <TABLE Name="O'Brien &quot;Söhne&quot;" Left="300" Top="98" Width="100" Height="150" Deleted="1">
    <COLUMN Column_Name="Id"/><COLUMN Column_Name="KundenNr"/><COLUMN Column_Name="Chef"/>
    <FOREIGNKEY Name="fk1" Foreign_Key_Table="O'Brien &quot;Söhne&quot;" Foreign_Key_Column="KundenNr"
                Primary_Key_Table="Kunden" Primary_Key_Column="KundenNr"/>
    <FOREIGNKEY Name="fk2" Foreign_Key_Table="O'Brien &quot;Söhne&quot;" Foreign_Key_Column="Chef"
                Primary_Key_Table="O'Brien &quot;Söhne&quot;" Primary_Key_Column="Id"/>
  </TABLE>
  <TABLE Name="Neu"><COLUMN Name="x"/></TABLE>
  <DIAGRAM QUALITY="75">
    <HEADINGCOLOR Red="0" Blue="255" Green="0"/><BACKCOLOR Red="255" Blue="255" Green="255"/>
    <TABLETITLEBACKCOLOR Red="0" Blue="255" Green="0"/><TABLETITLETEXTCOLOR Red="255" Blue="255" Green="255"/>
    <TABLETEXTCOLOR Red="0" Blue="0" Green="0"/><TABLEBACKCOLOR Red="255" Blue="255" Green="255"/>
    <TABLEBORDER Red="300" Blue="0" Green="128"/><LINE Red="0" Blue="0" Green="0"/>
    <TITLEFONT FontName="Arial" FontSize="10" Bold="1" Underline="0"/>
    <TABLEFONT FontName="Arial" FontSize="8" Bold="True"/><TABLETITLEFONT FontName="Arial" FontSize="0" Bold="1"/>
  </DIAGRAM>
</DATABASE>)";

// Quality of a baseline JPEG: the quality whose scaling of the standard luminance table gives
// the file's first quantisation table (compared as sorted values, so the order does not matter).
int jpegQuality(const QByteArray& jpeg) {
    static const int kLuminance[64] = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                                       14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                                       18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                                       49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
    for (int i = 0; i + 69 < jpeg.size(); ++i) {
        if (static_cast<unsigned char>(jpeg[i]) != 0xFF || static_cast<unsigned char>(jpeg[i + 1]) != 0xDB) continue;
        std::vector<int> table;
        for (int k = 0; k < 64; ++k) table.push_back(static_cast<unsigned char>(jpeg[i + 5 + k]));
        std::sort(table.begin(), table.end());
        for (int q = 1; q <= 100; ++q) {
            const int scale = q < 50 ? 5000 / q : 200 - 2 * q;
            std::vector<int> expected;
            for (int v : kLuminance) expected.push_back(std::clamp((v * scale + 50) / 100, 1, 255));
            std::sort(expected.begin(), expected.end());
            if (expected == table) return q;
        }
        return -1;
    }
    return -1;
}

bool near(QRgb a, QColor b, int tolerance) {
    return std::abs(qRed(a) - b.red()) <= tolerance && std::abs(qGreen(a) - b.green()) <= tolerance &&
           std::abs(qBlue(a) - b.blue()) <= tolerance;
}

}  // namespace

TEST(DiagramLayout, ReadsEitherVocabularyAndEverySetting) {
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(kDaoDiagram));
    const Diagram d = readDiagram(doc);
    EXPECT_EQ(d.title, "Bücher");
    ASSERT_EQ(d.tables.size(), 3u);
    EXPECT_EQ(d.tables[0].columns, (std::vector<std::string>{"KundenNr", "Name"}));
    EXPECT_EQ(d.tables[2].columns, (std::vector<std::string>{"x"}));  // the ADO name
    EXPECT_TRUE(d.tables[1].deleted);
    EXPECT_FALSE(d.tables[2].placed);
    ASSERT_EQ(d.relations.size(), 2u);
    EXPECT_EQ(d.relations[0].primaryTable, "Kunden");
    EXPECT_EQ(d.relations[0].foreignTable, "O'Brien \"Söhne\"");
    EXPECT_EQ(d.relations[1].primaryColumn, "Id");
    EXPECT_EQ(d.relations[1].foreignColumn, "Chef");

    const Settings& s = d.settings;
    EXPECT_EQ(s.tableBorder, (Rgb{44, 128, 0}));  // components taken modulo 256
    EXPECT_FALSE(s.tableFont.bold);               // "True" is no number
    EXPECT_EQ(s.tableTitleFont.pixelHeight(2), 12);
    EXPECT_EQ(s.titleFont.pixelHeight(2), 20);
    EXPECT_EQ(s.quality, 75);
    EXPECT_EQ(numberRule("  12abc"), 12);
    EXPECT_EQ(numberRule("-7"), -7);
    EXPECT_EQ(numberRule(""), 0);

    // Numbers beyond the int limits are held in range: nothing taken from them overflows.
    ASSERT_TRUE(doc.loadXML(R"(<DATABASE><TABLE Left="2147483647" Top="-2147483648" Width="9999999999" Height="-2147483647"/>
      <DIAGRAM><TITLEFONT FontSize="2147483647"/><TABLEFONT FontSize="-2147483648"/></DIAGRAM></DATABASE>)"));
    const Diagram x = readDiagram(doc);
    EXPECT_EQ(boxOf(x.tables.at(0)), (Box{kCoordinateLimit, -kCoordinateLimit - kTopOffset, kCoordinateLimit, -kCoordinateLimit}));
    EXPECT_EQ(x.settings.titleFont.pixelHeight(3) + x.settings.tableFont.pixelHeight(3), -3);
}

TEST(DiagramLayout, PlacementGridAndReArrange) {
    PlacementCursor c;
    std::vector<Box> added;
    c.startAdding(0, 0);  // nothing came back: the first row is at 60
    for (int i = 0; i < 7; ++i) added.push_back(c.next());
    EXPECT_EQ(added.front(), (Box{50, 60, 100, 150}));
    EXPECT_EQ(added[5], (Box{800, 60, 100, 150}));
    EXPECT_EQ(added[6], (Box{50, 260, 100, 150}));

    c.beginReArrange();
    Box last;
    for (int i = 0; i < 13; ++i) last = c.next();
    EXPECT_EQ(last, (Box{50, 460, 100, 150}));

    c.beginRemoveAll();
    c.startAdding(500, 100);  // not the first Add any more: the row stays
    EXPECT_EQ(c.next(), (Box{50, 80, 100, 150}));

    PlacementCursor fresh;
    fresh.startAdding(400, 150);  // below the lowest table brought back
    EXPECT_EQ(fresh.next().y, 610);

    // A large diagram takes the view's proportions and stays a picture a JPEG can hold; a small
    // one keeps six a row.
    EXPECT_EQ(gridRowLength(13, 1720, 851), 6);
    EXPECT_EQ(gridRowLength(5000, 0, 0), 6);
    for (const QSize view : {QSize(1720, 851), QSize(600, 900)})
        for (std::size_t n : {1400u, 5000u, 20000u}) {
            PlacementCursor grid;
            grid.beginReArrange(gridRowLength(n, view.width(), view.height()));
            std::vector<PictureTable> tables;
            for (std::size_t i = 0; i < n; ++i) tables.push_back({"t", grid.next(), 94, 122, {}});
            int right = 0, bottom = 0;
            for (const PictureTable& t : tables) right = std::max(right, t.box.right()), bottom = std::max(bottom, t.box.bottom());
            const double shape = static_cast<double>(right) / bottom, wanted = static_cast<double>(view.width()) / view.height();
            EXPECT_NEAR(shape / wanted, 1.0, 0.25) << n << " tables in " << view.width() << "x" << view.height();
            const QSize picture = pictureSize(Settings{}, "", tables);
            EXPECT_LE(std::max(picture.width(), picture.height()), kJpegLimit) << n;
        }
    // Past what a JPEG holds the picture is scaled down evenly, never refused.
    EXPECT_EQ(jpegSize(QSize(1853, 1144)), QSize(1853, 1144));
    EXPECT_EQ(jpegSize(QSize(131000, 65500)), QSize(65500, 32750));
    EXPECT_EQ(jpegSize(QSize(1862, 67077)), QSize(1818, 65500));
    EXPECT_EQ(jpegSize(QSize(0, 0)), QSize(1, 1));
}

TEST(DiagramLayout, PositionsRoundTripAndNamesAreQuotedSafely) {
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(kDaoDiagram));
    const std::string odd = "O'Brien \"Söhne\"";
    xml::Node t = tableElement(doc, odd);
    ASSERT_TRUE(t);
    const Box shown{-30, 7, 133, 171};
    writePosition(t, shown);
    EXPECT_TRUE(setDeleted(doc, odd, false));
    EXPECT_FALSE(setDeleted(doc, "missing", true));

    testsupport::TempDir dir;
    const std::string path = dir.file("d.xml");
    ASSERT_TRUE(doc.save(path));
    for (int round = 0; round < 3; ++round) {  // saving what was loaded never moves a table
        xml::Document again;
        ASSERT_TRUE(again.load(path));
        const Table table = readDiagram(again).tables[1];
        EXPECT_EQ(boxOf(table), shown);
        EXPECT_FALSE(table.deleted);
        writePosition(tableElement(again, odd), boxOf(table));
        ASSERT_TRUE(again.save(path));
    }
    EXPECT_EQ(testsupport::readFile(path).rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);

    EXPECT_EQ(picturePath("/r/a.xml.d/Shop_1.xml"), "/r/a.xml.d/Shop_1.jpg");
    EXPECT_EQ(picturePath("/r/a.b/diagram.XML"), "/r/a.b/diagram.jpg");
}

TEST(DiagramPicture, SizeColoursAndQuality) {
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(kDaoDiagram));
    const Diagram d = readDiagram(doc);
    // The picture ends where the tables end (right edge 895, bottom 657), and a margin.
    std::vector<PictureTable> tables = {
        {"Kunden", Box{95, 357, 800, 300}, 780, 260, {"KundenNr", "Name"}},
        {"O'Brien \"Söhne\"", Box{40, 20, 100, 150}, 90, 120, {"Id", "KundenNr", "Chef"}},
    };
    EXPECT_EQ(pictureSize(d.settings, d.title, tables), QSize(895 + kPictureMargin, 657 + kPictureMargin));
    // Extents are taken afresh: a smaller diagram gives a smaller picture.
    EXPECT_LT(pictureSize(d.settings, d.title, {tables[1]}).width(), 895);
    // A table above and left of the corner moves the picture's corner rather than being cut.
    const QImage above = renderPicture(d.settings, d.title, {PictureTable{"t", Box{0, -400, 100, 150}, 90, 120, {}}}, {},
                                       Rgb{255, 255, 255});
    EXPECT_EQ(above.height(), 400 + 2 * kPictureMargin);
    EXPECT_EQ(QColor(above.pixel(40 + kPictureMargin + 80, kPictureMargin + 6)), QColor(0, 0, 255));

    const QImage image = renderPicture(d.settings, d.title, tables, d.relations, Rgb{255, 255, 255});
    ASSERT_EQ(image.size(), QSize(905, 667));
    // The first table's box where the window has it.
    EXPECT_EQ(QColor(image.pixel(96, 357 + 100)), QColor(44, 128, 0));  // left border
    EXPECT_EQ(QColor(image.pixel(95 + 400, 357 + 6)), QColor(0, 0, 255));  // title bar
    EXPECT_EQ(QColor(image.pixel(900, 662)), QColor(255, 255, 255));

    testsupport::TempDir dir;
    std::vector<std::string> failures;
    const std::string path = dir.file("pic.jpg"), full = dir.file("full.jpg");
    ASSERT_TRUE(writePictures(d.settings, d.title, tables, d.relations,
                              {{full, 100, Rgb{255, 255, 0}}, {path, 75, Rgb{255, 255, 255}}}, failures));
    const QByteArray bytes = QByteArray::fromStdString(testsupport::readFile(path));
    EXPECT_EQ(jpegQuality(bytes), 75);
    QImage decoded;
    ASSERT_TRUE(decoded.loadFromData(bytes, "JPEG"));
    EXPECT_EQ(decoded.size(), QSize(905, 667));
    EXPECT_TRUE(near(decoded.pixel(900, 662), Qt::white, 3));
    EXPECT_TRUE(near(decoded.pixel(95 + 400, 357 + 6), QColor(0, 0, 255), 12));
    EXPECT_TRUE(near(decoded.pixel(88, 357 + 100), Qt::white, 12));
    const QByteArray fullBytes = QByteArray::fromStdString(testsupport::readFile(full));
    EXPECT_EQ(jpegQuality(fullBytes), 100);
    ASSERT_TRUE(decoded.loadFromData(fullBytes, "JPEG"));
    EXPECT_TRUE(near(decoded.pixel(900, 662), QColor(255, 255, 0), 3));  // its own background
    // The bands meet: the border is unbroken across a band edge (row 512).
    for (int y = 506; y < 518; ++y) EXPECT_TRUE(near(decoded.pixel(96, y), QColor(44, 128, 0), 40)) << y;

    EXPECT_FALSE(writePictures(d.settings, d.title, tables, d.relations, {{dir.file("no/such/pic.jpg"), 75, {}}}, failures));
    EXPECT_EQ(failures.size(), 1u);
    // Far beyond what a JPEG holds: written scaled down.
    const PictureTable far{"far", Box{kCoordinateLimit, 0, kCoordinateLimit, 100}, 100, 100, {}};
    failures.clear();
    EXPECT_TRUE(writePictures(d.settings, d.title, {far}, {}, {{path, 75, {}}}, failures)) << failures.front();
    QImageReader reader(QString::fromStdString(path));
    EXPECT_EQ(reader.size(), jpegSize(pictureSize(d.settings, d.title, {far})));
    EXPECT_EQ(reader.size().width(), kJpegLimit);

    // A name too long for its box is cut with an ellipsis and stays inside it.
    const QFontMetrics metrics(qtFont(d.settings.tableTitleFont, 2, false));
    EXPECT_EQ(fitText("Id", metrics, 100), "Id");
    const QString cut = fitText("Playlist_partition_2024_01", metrics, 60);
    EXPECT_TRUE(cut.endsWith(QChar(0x2026))) << cut.toStdString();
    EXPECT_LE(metrics.horizontalAdvance(cut), 60);

    // A connector leaving the rightmost table's right side is in the picture whole, in line colour.
    const std::vector<PictureTable> stacked{{"p", Box{40, 100, 400, 150}, 390, 120, {"id"}},
                                            {"f", Box{40, 400, 390, 150}, 380, 120, {"pid"}}};
    const QImage wide = renderPicture(d.settings, d.title, stacked, {Relation{"p", "f", "id", "pid"}}, Rgb{255, 255, 255});
    ASSERT_GE(wide.width(), 430 + 40 + 2);
    int inked = 0;  // the connector's part beyond both tables
    for (int y = 0; y < wide.height(); ++y)
        for (int x = 441; x < wide.width(); ++x) inked += QColor(wide.pixel(x, y)) == QColor(Qt::black);
    EXPECT_GT(inked, 40);
}

// Tables of two grid rows keep the gap between them that the window shows; a tall picture,
// written in stripes, reads back whole.
TEST(DiagramPicture, BoxesKeepTheirGapAndStripesJoin) {
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML(kDaoDiagram));
    const Diagram d = readDiagram(doc);
    PlacementCursor grid;
    grid.beginReArrange();
    std::vector<PictureTable> tables;
    for (int i = 0; i < 7; ++i) tables.push_back({"t" + std::to_string(i), grid.next(), 94, 122, {"a", "b", "c", "d", "e", "f", "g"}});
    const QImage image = renderPicture(d.settings, d.title, tables, {}, Rgb{255, 255, 255});
    // The second row's first box, at (50, 260).
    const int x = 90, below = 260;
    EXPECT_EQ(QColor(image.pixel(x, below + 6)), QColor(0, 0, 255));  // that title bar
    for (int y = below - 50; y < below; ++y) EXPECT_EQ(QColor(image.pixel(x, y)), QColor(Qt::white)) << y;

    for (int i = 0; i < 100; ++i) tables.push_back({"t", grid.next(), 94, 122, {"a"}});
    testsupport::TempDir dir;
    std::vector<std::string> failures;
    ASSERT_TRUE(writePictures(d.settings, d.title, tables, {}, {{dir.file("tall.jpg"), 90, Rgb{255, 255, 255}}}, failures));
    static int complaints = 0;  // the decoder's warnings (a restart marker out of turn, ...)
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) { ++complaints; });
    QImage tall(QString::fromStdString(dir.file("tall.jpg")));
    qInstallMessageHandler(previous);
    EXPECT_EQ(complaints, 0);
    ASSERT_EQ(tall.size(), pictureSize(d.settings, d.title, tables));
    ASSERT_GT(tall.height(), 3 * 1024);  // three stripes or more
    for (std::size_t i = 0; i < tables.size(); i += 6) {  // every row's first title bar, and white above it
        const int y0 = tables[i].box.y;
        EXPECT_TRUE(near(tall.pixel(x, y0 + 8), QColor(0, 0, 255), 16)) << i;
        EXPECT_TRUE(near(tall.pixel(x, y0 - 20), Qt::white, 16)) << i;
    }
    std::FILE* notJpeg = std::tmpfile();
    std::FILE* joined = std::tmpfile();
    std::fputs("not a picture", notJpeg);
    EXPECT_FALSE(joinJpegStripes({notJpeg, notJpeg}, 100, joined));
    std::fclose(notJpeg);
    std::fclose(joined);
}
