// Takes a picture of the main window with a small project, to look at.
#include "ExplorerTestSupport.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWindow>
#include <QSplitter>
#include <QTabWidget>

using explorertest::ExplorerTest;

TEST_F(ExplorerTest, ScreenshotOfTheMainWindow) {
    xml::Document doc;
    history::NewHistoryDocument(doc);
    xml::Node g = doc.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP");
    xml::Node c = g.appendElement("DATABASECONNECTION");
    for (auto [n, v] : {std::pair{"Name", "Northwind"}, {"Key", "Northwind|1|1"},
                        {"RHXPath", "DATABASESTRUCTURES/DATABASEGROUP[1]/DATABASECONNECTION[1]"},
                        {"TreeImage", "DATABASECONNECTION_CLOSE"}, {"ContextMenu", "ID_DatabaseNode"},
                        {"CreatedOn", "2026-12-01"}})
        c.setAttribute(n, v);
    xml::Node server = c.appendElement("DBOPTIONS").appendElement("MOREINFO").appendElement("SERVER");
    server.setAttribute("Name", "localhost");
    server.setAttribute("DBEngineCaption", "SQL Server 2000");
    history::UILayout layout;
    layout.htmlVisible = true;
    layout.xmlVisible = true;
    layout.width = 1100 * 15;
    layout.height = 720 * 15;
    layout.top = 0;
    layout.left = 0;
    layout.rhTabsWidth = 800 * 15;
    layout.menus = {{"ID_View_Normal", true}, {"ID_View_WebLayout", false}, {"ID_View_PrintLayout", false}};
    doc.documentElement().appendChild(history::SaveUISettings(doc, layout));
    std::string error;
    ASSERT_TRUE(history::WriteHistoryFile(historyPath(), doc, PassPhrase4, error)) << error;

    auto w = open();
    w->tbMain->setChecked("ID_View_DBTreeView", true);
    w->DisplayTreeview(true);
    w->atRHContent->setCurrentIndex(1);
    QApplication::processEvents();
    // Offscreen the widget paints itself; on a real display (Xvfb) the screen is read back.
    const QString platform = QGuiApplication::platformName();
    std::string png = files::joinPath(DALV_BIN_DIR, "..", "screenshots",
                                      "frmDatabaseExplorer-" + platform.toStdString() + ".png");
    files::createFolders(files::parentFolder(png));
    QPixmap shot;
    if (platform == "offscreen") {
        shot = w->grab();
    } else {
        QElapsedTimer waited;
        waited.start();
        while ((!w->windowHandle() || !w->windowHandle()->isExposed()) && waited.elapsed() < 5000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        ASSERT_TRUE(w->windowHandle() && w->windowHandle()->isExposed()) << "the window was never shown";
        for (int i = 0; i < 20; ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
        shot = w->screen()->grabWindow(w->winId());
    }
    ASSERT_FALSE(shot.isNull());
    ASSERT_TRUE(shot.save(QString::fromStdString(png)));
    EXPECT_TRUE(files::fileExists(png));
    EXPECT_TRUE(errors.empty());
    closeWindow(*w);
}
