// The diagram library loaded as the program loads it, driven through its two exports; timers
// answer the dialogs. Also the program's side: the diagram file of an imported SQLite database.
#include "diagram/DiagramPicture.h"
#include "options/OptionsTestSupport.h"
#include "support/ModalScript.h"
#include "options/StructureVocabulary.h"
#include "platform/db/Connection.h"

#include <QLocale>
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QFileDialog>
#include <QGraphicsItem>
#include <QGraphicsView>
#include <QImage>
#include <QImageReader>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <dlfcn.h>

#include <deque>
#include <functional>
#include <map>

namespace {

using namespace modalscript;
using InitFn = int (*)();
using CreateFn = int (*)(const char*, const char*);

const std::string kLibrary = std::string(DALV_BIN_DIR) + "/liborbelle.so";

// Table windows of the diagram window (items of its view carrying name and rows as data).
QList<QGraphicsItem*> tableItems(QWidget* diagram) {
    auto* view = diagram->findChild<QGraphicsView*>("DiagramArea");
    return view ? view->scene()->items() : QList<QGraphicsItem*>();
}

// Caption -> column rows.
std::map<std::string, std::vector<std::string>> tablesShown(QWidget* diagram) {
    std::map<std::string, std::vector<std::string>> out;
    for (QGraphicsItem* t : tableItems(diagram)) {
        if (!t->isVisible()) continue;
        auto& rows = out[t->data(0).toString().toStdString()];
        for (const QString& row : t->data(1).toStringList()) rows.push_back(row.toStdString());
    }
    return out;
}

// Every table with columns has its window with every column, and every foreign key joins two
// open tables at rows that exist, whichever reader's names and key placement the structure has.
void expectEveryTableColumnAndKey(QWidget* diagram, const xml::Document& structure) {
    std::map<std::string, std::vector<std::string>> expected;
    for (const xml::Node& t : structure.selectNodes("/DATABASE/TABLE[COLUMN]"))
        for (const xml::Node& c : vocab::tableColumns(t)) expected[t.attribute("Name")].push_back(vocab::columnName(c));
    auto shown = tablesShown(diagram);
    EXPECT_EQ(shown.size(), expected.size());
    for (const auto& [table, columns] : expected) {
        std::vector<std::string> a = shown[table], b = columns;
        std::sort(a.begin(), a.end());
        std::sort(b.begin(), b.end());
        EXPECT_EQ(a, b) << table;
    }
    const auto keys = vocab::allForeignKeys(structure);
    EXPECT_GE(keys.size(), 5u);
    auto has = [&](const std::string& table, const std::string& column) {
        const auto& rows = shown[table];
        return std::find(rows.begin(), rows.end(), column) != rows.end();
    };
    for (const auto& k : keys) {
        EXPECT_TRUE(has(k.referencingTable, k.referencingColumn)) << k.name;
        EXPECT_TRUE(has(k.referencedTable, k.referencedColumn)) << k.name;
    }
}

QGraphicsItem* tableWindow(QWidget* diagram, const std::string& name) {
    for (QGraphicsItem* t : tableItems(diagram))
        if (t->isVisible() && t->data(0).toString().toStdString() == name) return t;
    return nullptr;
}

class Orbelle : public optionstest::OptionsTest {
protected:
    void* library = nullptr;
    InitFn init = nullptr;
    CreateFn create = nullptr;
    QWidget caller;

    void SetUp() override {
        OptionsTest::SetUp();
        library = ::dlopen(kLibrary.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_TRUE(library) << ::dlerror();
        init = reinterpret_cast<InitFn>(::dlsym(library, "InitializeVariable"));
        create = reinterpret_cast<CreateFn>(::dlsym(library, "CreateWindowFunction"));
        ASSERT_TRUE(init && create);
        caller.setObjectName("caller");
        caller.show();
    }

    // One diagram session as the program runs it.
    int run(const std::string& path, std::deque<Script::Step> steps) {
        Script script(std::move(steps));
        init();
        const int result = create(std::to_string(caller.winId()).c_str(), path.c_str());
        EXPECT_TRUE(script.finished());
        return result;
    }
};

const char* kDiagram = R"(<?xml version="1.0" encoding="UTF-8"?>
<DATABASE DatabaseName="Bücher">
  <TABLE Name="Kunden"><COLUMN Column_Name="KundenNr"/><COLUMN Column_Name="Name"/></TABLE>
  <TABLE Name="O'Brien Söhne"><COLUMN Column_Name="Id"/><COLUMN Column_Name="KundenNr"/>
    <FOREIGNKEY Foreign_Key_Table="O'Brien Söhne" Foreign_Key_Column="KundenNr" Primary_Key_Table="Kunden"
                Primary_Key_Column="KundenNr"/></TABLE>
  <TABLE Name="Ämter"><COLUMN Column_Name="Nr"/></TABLE>
  <DIAGRAM QUALITY="60"><BACKCOLOR Red="255" Blue="255" Green="255"/><TABLEBORDER Red="0" Blue="255" Green="0"/>
    <TITLEFONT FontName="Arial" FontSize="10" Bold="1" Underline="0"/><TABLEFONT FontName="Arial" FontSize="8" Bold="0"/>
    <TABLETITLEFONT FontName="Arial" FontSize="8" Bold="1"/></DIAGRAM>
</DATABASE>)";

}  // namespace

TEST_F(Orbelle, AddSaveReopenRemoveAndTheCloseQuestion) {
    const std::string path = dir.file("Bücher_1.xml");
    ASSERT_TRUE(files::writeTextFile(path, kDiagram));

    // Nothing placed: the Add Table dialog opens by itself; everything is added and saved.
    bool callerDisabled = false;
    EXPECT_EQ(run(path, {{"AddTableDialog", addEveryTable},
                         {"DiagramWindow",
                          [&](QWidget* w) {
                              callerDisabled = !caller.isEnabled();
                              EXPECT_EQ(w->windowTitle(), "Dalvane 4.5 Enterprise - Relationship Diagram");
                              auto shown = tablesShown(w);
                              EXPECT_EQ(shown.size(), 3u);
                              EXPECT_EQ(shown["O'Brien Söhne"], (std::vector<std::string>{"Id", "KundenNr"}));
                              trigger(w, "actUpdateExit");
                          }}}),
              1);
    EXPECT_TRUE(callerDisabled);
    EXPECT_TRUE(caller.isEnabled());
    xml::Document saved;
    ASSERT_TRUE(saved.load(path));
    // Add lists the tables sorted; the grid starts at (50, 60), stored with Top 38 lower.
    xml::Node first = saved.selectSingleNode("/DATABASE/TABLE[@Name='Kunden']");
    EXPECT_EQ(first.attribute("Left"), "50");
    EXPECT_EQ(first.attribute("Top"), "98");
    EXPECT_EQ(first.attribute("Width"), "100");
    EXPECT_EQ(first.attribute("Height"), "150");
    QImage picture(QString::fromStdString(dir.file("Bücher_1.jpg")));
    EXPECT_FALSE(picture.isNull());
    const std::string before = testsupport::readFile(path);

    // Reopened: same places; Remove Table writes at once; Cancel keeps the window, No leaves.
    bool cancelKeptIt = false;
    EXPECT_EQ(run(path, {{"DiagramWindow",
                          [](QWidget* w) {
                              EXPECT_EQ(tablesShown(w).size(), 3u);
                              QGraphicsItem* t = tableWindow(w, "Kunden");
                              ASSERT_TRUE(t);
                              EXPECT_EQ(t->pos(), QPointF(50, 60));
                              t->setSelected(true);  // as its caption's menu does
                              trigger(w, "actRemoveTable");
                              w->close();
                          }},
                         {"CloseQuestion", [](QWidget* b) { answer(b, QMessageBox::Cancel); }},
                         {"DiagramWindow",
                          [&](QWidget* w) {
                              cancelKeptIt = w->isVisible() && tablesShown(w).size() == 2;
                              w->close();
                          }},
                         {"CloseQuestion", [](QWidget* b) { answer(b, QMessageBox::No); }}}),
              1);
    EXPECT_TRUE(cancelKeptIt);
    ASSERT_TRUE(saved.load(path));
    EXPECT_EQ(saved.selectSingleNode("/DATABASE/TABLE[@Name='Kunden']").attribute("Deleted"), "1");
    EXPECT_EQ(saved.selectSingleNode("/DATABASE/TABLE[@Name='Ämter']").attribute("Left"), "350");

    // Bringing a removed table back puts it where it was. The list is in the user's alphabetical
    // order, which puts Ä with A.
    const QLocale userLocale;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(run(path, {{"DiagramWindow", [](QWidget* w) { trigger(w, "actAddTable"); }},
                         {"AddTableDialog",
                          [&](QWidget* d) {
                              auto* list = d->findChild<QListWidget*>("lstTables");
                              // Alphabetical, not in structure order.
                              EXPECT_EQ(list->item(0)->text(), "Ämter");
                              QLocale::setDefault(userLocale);
                              list->findItems("Kunden", Qt::MatchExactly).front()->setSelected(true);
                              press(d, "cmdAdd");
                              press(d, "cmdOK");
                          }},
                         {"DiagramWindow",
                          [](QWidget* w) {
                              QGraphicsItem* t = tableWindow(w, "Kunden");
                              ASSERT_TRUE(t);
                              EXPECT_EQ(t->pos(), QPointF(50, 60));
                              trigger(w, "actUpdateExit");
                          }}}),
              1);
    (void)before;
}

TEST_F(Orbelle, ExportAndFailedPictureWrites) {
    const std::string path = dir.file("d.xml");
    ASSERT_TRUE(files::writeTextFile(path, kDiagram));
    std::filesystem::create_directory(dir.file("d.jpg"));  // the picture beside cannot be written
    bool stayedOpen = false;
    QImage screen;  // the window's own drawing of the diagram
    QRect tables;
    EXPECT_EQ(run(path, {{"AddTableDialog", addEveryTable},
                         {"DiagramWindow", [](QWidget* w) { trigger(w, "actExport"); }},
                         {"ExportDialog",
                          [this](QWidget* d) {
                              auto* f = qobject_cast<QFileDialog*>(d);
                              // The file name as typed into the dialog (its edit has the focus).
                              f->setDirectory(QString::fromStdString(dir.path()));
                              f->findChild<QLineEdit*>("fileNameEdit")->setText("export");
                              QMetaObject::invokeMethod(f, "accept");
                          }},
                         {"DiagramError", [](QWidget* b) { answer(b, QMessageBox::Ok); }},
                         {"DiagramWindow",
                          [&](QWidget* w) {
                              stayedOpen = w->isVisible();
                              for (QGraphicsItem* t : tableItems(w)) tables |= t->sceneBoundingRect().toRect();
                              screen = QImage(tables.right() + 1, tables.bottom() + 1, QImage::Format_RGB32);
                              QPainter p(&screen);
                              w->findChild<QGraphicsView*>("DiagramArea")->scene()->render(&p, screen.rect(), screen.rect());
                              trigger(w, "actUpdateExit");
                          }},
                         {"DiagramError", [](QWidget* b) { answer(b, QMessageBox::Ok); }},
                         {"DiagramWindow", [](QWidget* w) { w->close(); }},
                         {"CloseQuestion", [](QWidget* b) { answer(b, QMessageBox::No); }}}),
              1);
    EXPECT_TRUE(stayedOpen);
    // The export got the default extension and full quality; the positions reached the file.
    QImage exported(QString::fromStdString(dir.file("export.jpg")));
    ASSERT_FALSE(exported.isNull());
    // The picture ends where the tables end, and shows them as the window does: the same
    // places, sizes and fonts (the same ink in every table).
    EXPECT_EQ(exported.size(), QSize(tables.right() + 1, tables.bottom() + 1) + QSize(orbelle::kPictureMargin, orbelle::kPictureMargin));
    long long difference = 0, inkScreen = 0, inkPicture = 0, pixels = 0;
    for (int y = tables.top(); y <= tables.bottom(); ++y)
        for (int x = tables.left(); x <= tables.right(); ++x) {
            const int a = qGray(screen.pixel(x, y)), b = qGray(exported.pixel(x, y));
            difference += std::abs(a - b);
            inkScreen += 255 - a;
            inkPicture += 255 - b;
            ++pixels;
        }
    EXPECT_LT(difference / pixels, 4);
    EXPECT_NEAR(static_cast<double>(inkPicture) / inkScreen, 1.0, 0.05);
    xml::Document saved;
    ASSERT_TRUE(saved.load(path));
    EXPECT_EQ(saved.count("/DATABASE/TABLE[@Left]"), 3);
}

TEST_F(Orbelle, MissingLibraryOrExportIsReportedAndTheCallerStaysEnabled) {
    cReport& r = startUp();
    r.DiagramLibraryPath = dir.file("liborbelle.so");
    EXPECT_FALSE(r.ExecuteDiagramApp(caller.winId(), dir.file("x.xml")));
    r.DiagramLibraryPath = std::string(DALV_BIN_DIR) + "/../tests/bin/liborbelle_noexport.so";
    EXPECT_FALSE(r.ExecuteDiagramApp(caller.winId(), dir.file("x.xml")));
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_NE(errors[0].description.find("could not be loaded"), std::string::npos);
    EXPECT_NE(errors[1].description.find("no entry point CreateWindowFunction"), std::string::npos);
    EXPECT_EQ(errors[1].source, "ExecuteDiagramApp");
    EXPECT_TRUE(caller.isEnabled());
}

// The sample database read through SQLite: every table, column and relation is on the diagram,
// positions persist across openings and the picture reaches the previews.
TEST_F(Orbelle, SampleDatabaseDiagramThroughTheProgram) {
    const std::string db = dir.file("sample.db");
    QProcess sqlite;
    sqlite.setStandardInputFile(QString::fromStdString(files::joinPath(DALV_SOURCE_DIR, "examples", "sample.sql")));
    sqlite.start("sqlite3", {QString::fromStdString(db)});
    ASSERT_TRUE(sqlite.waitForFinished(30000) && sqlite.exitCode() == 0);

    StylesFolder = files::joinPath(DALV_SOURCE_DIR, "data", "styles");  // the report's own pages
    cReport& r = startUp();
    r.PrinterFriendlyXSL = files::joinPath(StylesFolder, "PrinterFriendly.xsl");
    r.PrinterFriendlyCSS = "styles/PrinterFriendly.css";
    chooseEngine(12);
    r.ConnectionString("Driver=SQLite3;Database=" + db);
    r.DatabaseName("sample/../it's");
    newProject(true);
    ASSERT_TRUE(r.OpenDalvDatabase() && r.ImportDatabase(true));
    DiagramFolder = files::joinPath(ReportsFolder, "Relationship Diagram");  // created on demand
    r.DiagramLibraryPath = kLibrary;
    r.TableTitleBackColor(0x5000A0);  // Report Setup's colour: red 160, blue 80

    bool generate = false;
    std::string picture, diagram;
    prompts->messageAnswers.push_back(ui::MsgResult::Yes);
    ASSERT_TRUE(r.ShowRelationshipDiagram(0, generate, picture, diagram));
    EXPECT_TRUE(generate);
    EXPECT_EQ(files::parentFolder(diagram), DiagramFolder);
    EXPECT_EQ(files::fileName(diagram).rfind("sample_.._it_s_", 0), 0u);
    EXPECT_EQ(picture, files::replaceExtension(diagram, ".jpg"));

    // The wait cursor is up, and reaches the screen, while ReArrange and Update and Exit work.
    std::vector<bool> waited;
    auto watch = [&] {  // a timer, not a posted call: the step itself runs in a posted call
        auto* t = new QTimer;
        t->setSingleShot(true);
        QObject::connect(t, &QTimer::timeout, [&, t] {
            const QCursor* c = QApplication::overrideCursor();
            waited.push_back(c && c->shape() == Qt::WaitCursor);
            t->deleteLater();
        });
        t->start(0);
    };
    Script script({{"AddTableDialog", addEveryTable}, {"DiagramWindow", [&](QWidget* w) {
                        expectEveryTableColumnAndKey(w, *r.oResultXML);
                        watch();
                        trigger(w, "actReArrange");
                        watch();
                        trigger(w, "actUpdateExit");
                    }}});
    EXPECT_TRUE(r.ExecuteDiagramApp(caller.winId(), diagram));
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(waited, (std::vector<bool>{true, true}));
    const QImage drawn(QString::fromStdString(picture));
    int titled = 0;
    for (int y = 0; y < drawn.height(); y += 2)
        for (int x = 0; x < drawn.width(); x += 2)
            if (const QRgb c = drawn.pixel(x, y); qAbs(qRed(c) - 160) < 24 && qGreen(c) < 24 && qAbs(qBlue(c) - 80) < 24)
                ++titled;
    EXPECT_GT(titled, 200);  // the title bars in the colour chosen

    std::string html, print;
    ASSERT_TRUE(r.PreviewDiagram(picture, html, print));
    EXPECT_TRUE(files::fileExists(PreviewFilePath("images/" + files::fileName(picture))));
    EXPECT_NE(testsupport::readFile(html).find("<img class=\"diagram\" src=\"images/" + files::fileName(picture)),
              std::string::npos);
    EXPECT_NE(testsupport::readFile(print).find(files::fileName(picture)), std::string::npos);

    // Opening again keeps the positions and asks nothing; an unreadable file is moved aside.
    generate = false;
    const std::size_t asked = prompts->messages.size();
    ASSERT_TRUE(r.ShowRelationshipDiagram(0, generate, picture, diagram));
    EXPECT_EQ(prompts->messages.size(), asked);
    xml::Document again;
    ASSERT_TRUE(again.load(diagram));
    EXPECT_EQ(again.count("/DATABASE/TABLE[@Left]"), again.count("/DATABASE/TABLE"));
    ASSERT_TRUE(files::writeTextFile(diagram, "<DATABASE><broken"));
    ASSERT_TRUE(r.ShowRelationshipDiagram(0, generate, picture, diagram));
    EXPECT_TRUE(files::fileExists(diagram + ".unreadable"));
    EXPECT_FALSE(files::fileExists(diagram));  // written again only by a save in the diagram

    // A large diagram's export: the window's events run while the files are written; commands
    // meanwhile are dropped and a close waits for the save.
    constexpr int kTables = 1500;
    const std::string large = dir.file("large.xml");
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATABASE DatabaseName=\"large\">\n";
    for (int i = 0; i < kTables; ++i) {
        const std::string t = "t" + std::to_string(i);
        text += "<TABLE Name=\"" + t + "\"><COLUMN Column_Name=\"id\"/><COLUMN Column_Name=\"up\"/>";
        if (i > 0)
            text += "<FOREIGNKEY Foreign_Key_Table=\"" + t + "\" Foreign_Key_Column=\"up\" Primary_Key_Table=\"t" +
                    std::to_string((i - 1) / 2) + "\" Primary_Key_Column=\"id\"/>";
        text += "</TABLE>\n";
    }
    text += "<DIAGRAM><BACKCOLOR Red=\"255\" Blue=\"255\" Green=\"255\"/></DIAGRAM></DATABASE>\n";
    ASSERT_TRUE(files::writeTextFile(large, text));
    QPointer<QWidget> window;
    int turns = 0;
    bool closedWhileWaiting = false, closedAtOnce = true;
    auto waiting = [] {
        const QCursor* c = QApplication::overrideCursor();
        return c && c->shape() == Qt::WaitCursor;
    };
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (!window || !waiting() || ++turns != 2) return;
        trigger(window, "actRemoveAll");
        trigger(window, "actUpdateExit");
    });
    EXPECT_EQ(run(large, {{"AddTableDialog", addEveryTable},
                          {"DiagramWindow",
                           [&](QWidget* w) {
                               window = w;
                               tick.start();
                               trigger(w, "actExport");
                           }},
                          {"ExportDialog",
                           [&](QWidget* d) {
                               auto* f = qobject_cast<QFileDialog*>(d);
                               f->setDirectory(QString::fromStdString(dir.path()));
                               f->findChild<QLineEdit*>("fileNameEdit")->setText("large-export.jpg");
                               QMetaObject::invokeMethod(f, "accept");
                           }},
                          {"DiagramWindow",
                           [&](QWidget* w) {
                               closedWhileWaiting = waiting();
                               w->close();
                               closedAtOnce = !w->isVisible();
                           }},
                          {"CloseQuestion", [](QWidget* b) { answer(b, QMessageBox::No); }}}),
              1);
    tick.stop();
    EXPECT_GE(turns, 3);
    EXPECT_TRUE(closedWhileWaiting);
    EXPECT_FALSE(closedAtOnce);
    xml::Document written;
    ASSERT_TRUE(written.load(large));
    EXPECT_EQ(written.count("/DATABASE/TABLE[@Left]"), kTables);
    EXPECT_EQ(written.count("/DATABASE/TABLE[@Deleted='1']"), 0);
    const QSize exported = QImageReader(QString::fromStdString(dir.file("large-export.jpg"))).size();
    EXPECT_GT(exported.width() * exported.height(), 1000 * 1000);
    EXPECT_EQ(QImageReader(QString::fromStdString(dir.file("large.jpg"))).size(), exported);
    EXPECT_TRUE(errors.empty());
}

// An Access database as the DAO reader writes it (keys under the referencing table, Column_Name).
TEST_F(Orbelle, AccessStructureInTheDaoVocabulary) {
    cReport& r = startUp();
    loadStructure("import/access_nwind.mdb.dao.xml");
    newProject(true);
    xml::Node connection = oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[1]").appendElement("DATABASECONNECTION");
    connection.setAttribute("Name", "nwind");
    r.DatabaseName("nwind");
    r.DiagramLibraryPath = kLibrary;
    bool generate = true;
    std::string picture, diagram;
    ASSERT_TRUE(r.ShowRelationshipDiagram(0, generate, picture, diagram));
    Script script({{"AddTableDialog", addEveryTable}, {"DiagramWindow", [&](QWidget* w) {
                        expectEveryTableColumnAndKey(w, *r.oResultXML);
                        trigger(w, "actUpdateExit");
                    }}});
    EXPECT_TRUE(r.ExecuteDiagramApp(caller.winId(), diagram));
    EXPECT_TRUE(script.finished());
    EXPECT_FALSE(QImage(QString::fromStdString(picture)).isNull());
    EXPECT_TRUE(errors.empty());
}

// Thousands of tables as a stored diagram: each opens where it was stored, and the view draws
// every table and every connector. Tables come in pairs side by side whose connector crosses
// the narrow gap inside the pair; nothing crosses the wide gap between pairs.
TEST_F(Orbelle, ThousandsOfTablesAreAllDrawn) {
    constexpr int kPairs = 1500, kPerRow = 20, kPitchX = 400, kPitchY = 250;
    const std::string path = dir.file("large.xml");
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATABASE DatabaseName=\"large\">\n";
    auto table = [](const std::string& name, int x, int y, const std::string& inside) {
        return "<TABLE Name=\"" + name + "\" Left=\"" + std::to_string(x) + "\" Top=\"" + std::to_string(y + 38) +
               "\" Width=\"100\" Height=\"150\"><COLUMN Column_Name=\"id\"/>" + inside + "</TABLE>\n";
    };
    for (int j = 0; j < kPairs; ++j) {
        const int x = j % kPerRow * kPitchX, y = j / kPerRow * kPitchY;
        const std::string p = "p" + std::to_string(j), f = "f" + std::to_string(j);
        text += table(p, x, y, "");
        text += table(f, x + 150, y,
                      "<COLUMN Column_Name=\"ref\"/><FOREIGNKEY Foreign_Key_Table=\"" + f +
                          "\" Foreign_Key_Column=\"ref\" Primary_Key_Table=\"" + p + "\" Primary_Key_Column=\"id\"/>");
    }
    text += "<DIAGRAM><BACKCOLOR Red=\"255\" Blue=\"255\" Green=\"255\"/><LINE Red=\"255\" Blue=\"0\" Green=\"0\"/>"
            "<TABLETITLEBACKCOLOR Red=\"0\" Blue=\"255\" Green=\"0\"/><TABLEBACKCOLOR Red=\"255\" Blue=\"255\" Green=\"255\"/>"
            "<TABLEFONT FontName=\"Arial\" FontSize=\"8\"/><TABLETITLEFONT FontName=\"Arial\" FontSize=\"8\"/></DIAGRAM></DATABASE>\n";
    ASSERT_TRUE(files::writeTextFile(path, text));

    EXPECT_EQ(run(path, {{"DiagramWindow",
                          [&](QWidget* w) {
                              const QList<QGraphicsItem*> items = tableItems(w);
                              ASSERT_EQ(items.size(), 2 * kPairs);
                              std::map<std::string, QPointF> at;
                              for (QGraphicsItem* t : items) at[t->data(0).toString().toStdString()] = t->pos();
                              QGraphicsScene* scene = w->findChild<QGraphicsView*>("DiagramArea")->scene();
                              constexpr int kBand = 1000, kWidth = kPerRow * kPitchX;
                              QImage band(kWidth, kBand, QImage::Format_RGB32);
                              auto red = [&](int x, int y) {
                                  const QRgb c = band.pixel(x, y);
                                  return qRed(c) > 200 && qGreen(c) < 90 && qBlue(c) < 90;
                              };
                              int tablesDrawn = 0, connectorsDrawn = 0, strayLines = 0;
                              for (int top = 0; top < (kPairs / kPerRow) * kPitchY; top += kBand) {
                                  band.fill(Qt::gray);
                                  {
                                      QPainter p(&band);
                                      scene->render(&p, QRectF(0, 0, kWidth, kBand), QRectF(0, top, kWidth, kBand));
                                  }
                                  for (int j = 0; j < kPairs; ++j) {
                                      const int x = j % kPerRow * kPitchX, y = j / kPerRow * kPitchY - top;
                                      if (y < 0 || y + 150 > kBand) continue;
                                      if (at["p" + std::to_string(j)] != QPointF(x, y + top) ||
                                          at["f" + std::to_string(j)] != QPointF(x + 150, y + top))
                                          continue;
                                      for (int dx : {0, 150})
                                          if (band.pixel(x + dx + 90, y + 6) == qRgb(0, 0, 255)) ++tablesDrawn;
                                      bool inside = false, between = false;
                                      for (int dy = 0; dy < 150; ++dy) {
                                          inside = inside || red(x + 125, y + dy);
                                          between = between || red(x + 325, y + dy);
                                      }
                                      connectorsDrawn += inside;
                                      strayLines += between;
                                  }
                              }
                              EXPECT_EQ(tablesDrawn, 2 * kPairs);
                              EXPECT_EQ(connectorsDrawn, kPairs);
                              EXPECT_EQ(strayLines, 0);
                              w->close();
                          }},
                         {"CloseQuestion", [](QWidget* b) { answer(b, QMessageBox::No); }}}),
              1);
}
