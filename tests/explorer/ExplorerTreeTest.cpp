// Folder tree, objects bar, loading connections, previews and command dispatch, on a project
// of two folders and three SQLite databases imported through the options object.
#include "ExplorerTestSupport.h"
#include "support/ModalScript.h"
#include "explorer/frmDatabaseGroup.h"
#include "explorer/frmDisplayColumns.h"
#include "reports/frmGenerateBatchFile.h"
#include "reports/frmReportSetup.h"
#include "platform/db/Connection.h"

#include <QApplication>
#include <QCursor>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QClipboard>
#include <QFileInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QListWidget>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QStandardItemModel>
#include <QRegularExpression>
#include <QSplitter>
#include <QTabWidget>
#include <QToolBox>
#include <QTimer>
#include <QPainter>
#include <QStyleOptionViewItem>
#include <QTreeWidget>
#include <QUrl>

#include <cstdlib>
#include <filesystem>

using explorertest::ExplorerTest;

namespace {

class ExplorerProject : public ExplorerTest {
protected:
    std::string northwind, stock, orders;

    void SetUp() override {
        ExplorerTest::SetUp();
        std::filesystem::copy_file(files::joinPath(DALV_SOURCE_DIR, "data/dvreport.xml"),
                                   files::joinPath(DataFolder, "dvreport.xml"));
        northwind = makeDatabase("northwind.db", {"CREATE TABLE customers (id INTEGER PRIMARY KEY, name TEXT)",
                                                  "CREATE TABLE orders (id INTEGER PRIMARY KEY, customer INTEGER "
                                                  "REFERENCES customers(id), placed TEXT)",
                                                  "CREATE UNIQUE INDEX ix_orders_date ON orders(placed)"});
        stock = makeDatabase("stock.db", {"CREATE TABLE \"O'Hara's\" (id INTEGER PRIMARY KEY, qty INTEGER)",
                                          "CREATE TABLE \"Stock Items\" (id INTEGER PRIMARY KEY, label TEXT)",
                                          "CREATE VIEW big_stock AS SELECT * FROM \"O'Hara's\" WHERE qty > 9"});
        files::createFolder(dir.file("moving"));
        orders = makeDatabase("moving/orders.db", {"CREATE TABLE order_lines (id INTEGER PRIMARY KEY)"});

        // Folder 1 "Dalvane Folder": Northwind; folder 2 "Sales Data": O'Brien Stock, Orders.
        history::NewHistoryDocument(oStructures);
        importInto(1, "Northwind", northwind);
        xml::Node sales = oStructures.documentElement().appendElement("DATABASEGROUP");
        for (auto [n, v] : {std::pair{"Name", "Sales Data"}, {"Key", "SALESDATA|2"},
                            {"RHXPath", "DATABASESTRUCTURES/DATABASEGROUP[2]/DATABASECONNECTION"},
                            {"Display", "1"}, {"TreeImage", "DATABASEGROUP"}, {"ContextMenu", "ID_DBGroupNode"}})
            sales.setAttribute(n, v);
        importInto(2, "O'Brien Stock", stock);
        importInto(2, "Orders", orders);
        ASSERT_EQ(oStructures.count("DATABASESTRUCTURES/DATABASEGROUP/DATABASECONNECTION"), 3);
        ASSERT_NO_FATAL_FAILURE(storeProject());
        ASSERT_TRUE(InitReportEngine());
        ASSERT_TRUE(errors.empty()) << errors.front().description;
    }

    // Clicks a tree node as the user would.
    static void click(frmDatabaseExplorer& w, const QString& key) {
        QTreeWidgetItem* node = w.treeNode(key);
        ASSERT_NE(node, nullptr) << key.toStdString();
        w.stMain->setCurrentItem(node);
        w.trvMain_NodeClick(node);
    }

    static std::vector<std::string> loadedTables() {
        std::vector<std::string> names;
        if (oReportEngine->oResultXML)
            for (const xml::Node& t : oReportEngine->oResultXML->selectNodes("DATABASE/TABLE"))
                names.push_back(t.attribute("Name"));
        return names;
    }

    std::string reportFile(const std::string& name) const { return files::joinPath(ReportsFolder, name); }
    std::string previewFile(const std::string& name) const { return PreviewFilePath(name); }
};

using Names = std::vector<std::string>;

}  // namespace

TEST_F(ExplorerProject, ClosedConnectionsShowInTreeAndBarWithDefaultItems) {
    auto w = open();
    EXPECT_TRUE(errors.empty());
    QTreeWidgetItem* stockNode = w->treeNode("O'Brien Stock|2|1");
    ASSERT_NE(stockNode, nullptr);
    EXPECT_EQ(stockNode->childCount(), 0);
    EXPECT_EQ(stockNode->parent(), w->treeNode("SALESDATA|2"));
    EXPECT_TRUE(w->treeNode("SALESDATA|2")->isExpanded());
    EXPECT_TRUE(w->treeNode("Database Structures")->isExpanded());
    ASSERT_EQ(w->obDBObjects->count(), 3);
    EXPECT_EQ(w->obDBObjects->itemText(1), "O'Brien Stock");
    auto* list = qobject_cast<QListWidget*>(w->obDBObjects->widget(1));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->item(3)->text(), "Relationship Diagram");
    for (int i = 0; i < 4; ++i) EXPECT_EQ(list->item(i)->data(Qt::UserRole).toString(), "O'Brien Stock|2|1");

    // Any default item selects the connection, which offers to connect it.
    prompts->messageAnswers.push_back(ui::MsgResult::No);
    w->obDBObjects_ItemClick(1, 2);
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->lastMessage(), "The database 'O'Brien Stock' is not connected. Do you want to connect?");
    EXPECT_EQ(prompts->messages[0].title, "Dalvane 4.5");
    EXPECT_EQ(w->stMain->currentItem(), w->treeNode("O'Brien Stock|2|1"));
    EXPECT_EQ(oReportEngine->CurrentDatabaseGroup(), 2);
    EXPECT_EQ(oReportEngine->CurrentDatabaseNumber(), 1);
    EXPECT_TRUE(wizardModes.empty());
    closeWindow(*w);
}

TEST_F(ExplorerProject, ClickingNodesLoadsTheRightStructureAndPreviews) {
    auto w = open();
    prompts->messageAnswers.push_back(ui::MsgResult::Yes);
    click(*w, "O'Brien Stock|2|1");
    ASSERT_TRUE(errors.empty()) << errors.front().description;
    EXPECT_EQ(loadedTables(), (Names{"O'Hara's", "Stock Items"}));
    EXPECT_EQ(oReportEngine->DatabaseName(), "O'Brien Stock");
    EXPECT_EQ(SelectedNodeKey, "DATABASE");
    // The connection is open with its outline; the bar shows its own entries.
    QTreeWidgetItem* conn = w->treeNode("O'Brien Stock|2|1");
    ASSERT_NE(conn, nullptr);
    EXPECT_EQ(conn->data(0, Qt::UserRole + 2).toString(), "DATABASECONNECTION_OPEN");
    EXPECT_EQ(w->stMain->currentItem(), conn);
    EXPECT_NE(w->treeNode("O'Hara's|2|1|1|1"), nullptr);
    auto* list = qobject_cast<QListWidget*>(w->obDBObjects->widget(1));
    EXPECT_EQ(list->item(0)->data(Qt::UserRole).toString(), "Tables|2|1|1");
    EXPECT_TRUE(w->tbMain->isToolEnabled("ID_File_SaveAsHTML"));
    // Previews of the whole database: HTML, printable and XML.
    EXPECT_EQ(w->wbHTMLPreview->LocationURL().toStdString(), previewFile("temp.html"));
    EXPECT_EQ(w->wbWebLayout->LocationURL().toStdString(), previewFile("temp.html"));
    EXPECT_EQ(w->wbPrintLayout->LocationURL().toStdString(), previewFile("temp_print.html"));
    EXPECT_EQ(w->wbXMLPreview->LocationURL().toStdString(), previewFile("temp.xml"));
    EXPECT_NE(testsupport::readFile(previewFile("temp.html")).find("Stock Items"), std::string::npos);
    EXPECT_NE(testsupport::readFile(previewFile("temp_print.html")).find("Stock Items"), std::string::npos);
    // The previews' work files stay out of the user's reports folder.
    for (const char* work : {"temp.html", "temp_print.html", "temp.xml", "default.html", "images"})
        EXPECT_FALSE(std::filesystem::exists(reportFile(work))) << work;
    xml::Document previewXml;
    ASSERT_TRUE(previewXml.load(previewFile("temp.xml")));
    EXPECT_EQ(previewXml.count("DATABASE/TABLE"), 2);
    EXPECT_EQ(previewXml.count("DATABASE/REPORTOPTIONS"), 0);
    EXPECT_TRUE(w->wbXMLPreview->toPlainText().contains("<TABLE Name=\"Stock Items\"")) << w->wbXMLPreview->toPlainText().left(300).toStdString();
    EXPECT_TRUE(w->atRHContent->isTabEnabled(1));

    // Another connection: its own structure, never the one before.
    prompts->messageAnswers.push_back(ui::MsgResult::Yes);
    click(*w, "Northwind|1|1");
    EXPECT_EQ(loadedTables(), (Names{"customers", "orders"}));
    EXPECT_EQ(oReportEngine->DatabaseName(), "Northwind");
    EXPECT_EQ(oReportEngine->CurrentDatabaseGroup(), 1);

    // Back to a connection loaded in this run: loaded from its file without a question.
    size_t asked = prompts->messages.size();
    click(*w, "O'Brien Stock|2|1");
    EXPECT_EQ(prompts->messages.size(), asked);
    EXPECT_EQ(loadedTables(), (Names{"O'Hara's", "Stock Items"}));
    EXPECT_EQ(oReportEngine->CurrentDatabaseGroup(), 2);
    EXPECT_EQ(oReportEngine->CurrentDatabaseNumber(), 1);

    // A table node previews that table; clicking the current connection again loads nothing.
    click(*w, "O'Hara's|2|1|1|1");
    EXPECT_EQ(SelectedNodeKey, "DATABASE/TABLE[1]");
    std::string page = testsupport::readFile(previewFile("temp.html"));
    EXPECT_NE(page.find("O'Hara"), std::string::npos);
    EXPECT_EQ(page.find("Stock Items"), std::string::npos);
    auto before = oReportEngine->oResultXML;
    click(*w, "O'Brien Stock|2|1");
    EXPECT_EQ(oReportEngine->oResultXML, before);
    EXPECT_EQ(prompts->messages.size(), asked);
    EXPECT_TRUE(errors.empty());

    // A click of the mouse on a closed connection: loaded, the tree rebuilt under the click.
    w->tbMain->click("ID_View_DBTreeView");
    QApplication::processEvents();
    QRect r = w->stMain->visualItemRect(w->treeNode("Orders|2|2"));
    ASSERT_FALSE(r.isEmpty());
    prompts->messageAnswers.push_back(ui::MsgResult::Yes);
    for (QEvent::Type t : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(t, r.center(), w->stMain->viewport()->mapToGlobal(r.center()), Qt::LeftButton,
                      t == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w->stMain->viewport(), &e);
    }
    QApplication::processEvents();
    EXPECT_EQ(loadedTables(), (Names{"order_lines"}));
    EXPECT_EQ(w->stMain->currentItem(), w->treeNode("Orders|2|2"));

    // The wizard's selection of the connection it imported, by the current numbers.
    w->stMain->setCurrentItem(w->treeNode("Database Structures"));
    EXPECT_TRUE(w->SelectConnectedDB());
    EXPECT_EQ(w->stMain->currentItem(), w->treeNode("Orders|2|2"));
    oReportEngine->CurrentDatabaseNumber(3);
    EXPECT_FALSE(w->SelectConnectedDB());
    oReportEngine->CurrentDatabaseNumber(2);

    // The root: current connection kept, only the Details tab enabled.
    click(*w, "Database Structures");
    EXPECT_EQ(oReportEngine->CurrentDatabaseGroup(), 2);
    EXPECT_EQ(oReportEngine->CurrentDatabaseNumber(), 2);
    EXPECT_TRUE(w->atRHContent->isTabEnabled(0));
    EXPECT_FALSE(w->atRHContent->isTabEnabled(1));
    EXPECT_FALSE(w->atRHContent->isTabEnabled(2));
    closeWindow(*w);
}

TEST_F(ExplorerProject, ADeclinedOrFailedConnectLeavesNoForeignStructure) {
    auto w = open();
    oReportEngine->AccessConnectionType = "DAO";  // an Access reader choice reaches no other engine
    prompts->messageAnswers.push_back(ui::MsgResult::Yes);
    click(*w, "Northwind|1|1");
    ASSERT_EQ(loadedTables(), (Names{"customers", "orders"}));
    EXPECT_TRUE(w->LoadCurrentDB());

    // Declined: the options are Orders', so Northwind's structure must not stay.
    prompts->messageAnswers.push_back(ui::MsgResult::No);
    click(*w, "Orders|2|2");
    EXPECT_EQ(oReportEngine->DatabaseName(), "Orders");
    EXPECT_EQ(oReportEngine->oResultXML, nullptr);
    EXPECT_EQ(w->wbHTMLPreview->LocationURL().toStdString(), w->DefaultPagePath);
    // The grid shows nothing of another connection, and says why.
    auto gridSays = [&] {
        QStandardItem* top = w->ugDetailsModel->item(0);
        return w->ugDetailsModel->rowCount() == 1 && top ? top->text().toStdString() : std::string("(rows)");
    };
    EXPECT_EQ(gridSays(), "'Orders' is not connected.");
    prompts->messageAnswers.push_back(ui::MsgResult::No);
    EXPECT_FALSE(w->LoadCurrentDB());

    // The database has gone: the connect fails, the tree keeps its state, controls return.
    std::filesystem::remove_all(dir.file("moving"));
    prompts->messageAnswers.push_back(ui::MsgResult::Yes);
    EXPECT_FALSE(w->LoadCurrentDB());
    EXPECT_EQ(prompts->lastMessage(), "Could not connect to database");
    EXPECT_EQ(prompts->messages.back().icon, ui::MsgIcon::Critical);
    EXPECT_EQ(oReportEngine->oResultXML, nullptr);
    EXPECT_EQ(w->treeNode("Orders|2|2")->childCount(), 0);
    EXPECT_TRUE(w->tbMain->isEnabled());
    EXPECT_FALSE(w->pctAnimation->isVisible());
    xml::Node entry = oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[2]/DATABASECONNECTION[2]");
    EXPECT_EQ(entry.attribute("TempXMLFileName"), "");

    // A structure file that has disappeared is reported and not used.
    prompts->messageAnswers.push_back(ui::MsgResult::Yes);
    click(*w, "O'Brien Stock|2|1");
    ASSERT_EQ(loadedTables(), (Names{"O'Hara's", "Stock Items"}));
    click(*w, "Northwind|1|1");
    std::string temp = oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[2]/DATABASECONNECTION[1]")
                           .attribute("TempXMLFileName");
    ASSERT_FALSE(temp.empty());
    std::filesystem::remove(temp);
    click(*w, "O'Brien Stock|2|1");
    EXPECT_EQ(prompts->lastMessage(), "Your database structure could not be loaded, please contact dalvane help");
    EXPECT_EQ(oReportEngine->oResultXML, nullptr);
    EXPECT_EQ(gridSays(), "The structure of 'O'Brien Stock' could not be loaded.");
    EXPECT_EQ(w->wbHTMLPreview->LocationURL().toStdString(), w->DefaultPagePath);
    // Its objects-bar items select it, and show no structure either.
    click(*w, "Northwind|1|1");
    w->obDBObjects_ItemClick(1, 0);
    EXPECT_EQ(gridSays(), "The structure of 'O'Brien Stock' could not be loaded.");

    // A refresh whose database has gone, while another connection's structure is shown.
    click(*w, "Northwind|1|1");
    ASSERT_EQ(loadedTables(), (Names{"customers", "orders"}));
    EXPECT_EQ(gridSays(), "(rows)");
    w->stMain->setCurrentItem(w->treeNode("Orders|2|2"));
    w->ParseNodeKey("Orders|2|2");
    w->tbMain_ToolClick("ID_DatabaseNode_Refresh");
    EXPECT_EQ(prompts->lastMessage(), "Could not connect to database");
    EXPECT_EQ(gridSays(), "Could not connect to 'Orders'.");
    EXPECT_EQ(w->wbHTMLPreview->LocationURL().toStdString(), w->DefaultPagePath);
    EXPECT_EQ(oReportEngine->oResultXML, nullptr);
    EXPECT_EQ(w->lblStatus->text(), "");
    EXPECT_EQ(w->shpProgress->width(), 0);
    EXPECT_TRUE(w->tbMain->isEnabled());

    // The root and a folder show no connection's tables, whichever is loaded.
    click(*w, "Northwind|1|1");
    ASSERT_EQ(loadedTables(), (Names{"customers", "orders"}));
    for (const char* key : {"Database Structures", "SALESDATA|2"}) {
        click(*w, key);
        EXPECT_EQ(gridSays(), "Select a database connection to see its structure.") << key;
        EXPECT_EQ(w->wbHTMLPreview->LocationURL().toStdString(), w->DefaultPagePath) << key;
        w->PreviewHTML(SelectedNodeKey);  // as after a change of the report settings
        EXPECT_EQ(w->wbHTMLPreview->LocationURL().toStdString(), w->DefaultPagePath) << key;
    }

    // The structure cannot be written to the temporary folder: the refresh fails and says why.
    const char* tmp = std::getenv("TMPDIR");
    const std::string keptTmp = tmp ? tmp : "";
    files::writeTextFile(dir.file("not-a-folder"), "x");
    for (auto [base, message] :
         {std::pair<std::string, std::string>{dir.file("not-a-folder"), "Please give a valid file name and try again."},
          {dir.file(std::string(300, 'x')), "The filename, directory name, or volume label syntax is not supported."}}) {
        files::removePrivateTempFolder();
        ::setenv("TMPDIR", base.c_str(), 1);
        oReportEngine->CurrentDatabaseGroup(1);
        oReportEngine->CurrentDatabaseNumber(1);
        bool waited = false;  // the wait cursor is on the screen before the work starts
        QTimer::singleShot(0, [&] {
            waited = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        });
        EXPECT_FALSE(w->RefreshDatabaseConnection());
        EXPECT_TRUE(waited);
        EXPECT_EQ(prompts->lastMessage().rfind(message, 0), 0u) << prompts->lastMessage();
    }
    if (keptTmp.empty()) ::unsetenv("TMPDIR"); else ::setenv("TMPDIR", keptTmp.c_str(), 1);

    // Nothing reached the error routine: these are the user's answers and stated failures.
    EXPECT_TRUE(errors.empty()) << errors.front().description;
    closeWindow(*w);
}

TEST_F(ExplorerProject, PreviewLinksSelectTheirNodes) {
    auto w = open();
    // The start page links name tree keys.
    ASSERT_EQ(w->wbHTMLPreview->LocationURL().toStdString(), w->DefaultPagePath);
    std::string start = testsupport::readFile(w->DefaultPagePath);
    prompts->messageAnswers.push_back(ui::MsgResult::Yes);
    QString folder = QString::fromStdString(files::parentFolder(w->DefaultPagePath)) + "/";
    w->wbHTMLPreview->followLink("O'Brien Stock|2|1");
    EXPECT_EQ(w->stMain->currentItem(), w->treeNode("O'Brien Stock|2|1"));
    ASSERT_EQ(loadedTables(), (Names{"O'Hara's", "Stock Items"}));
    EXPECT_EQ(w->wbHTMLPreview->LocationURL(), folder + "temp.html");

    // A link the report page really carries is turned into a selection.
    QString page = QString::fromStdString(testsupport::readFile(previewFile("temp.html")));
    QRegularExpressionMatch m = QRegularExpression(QStringLiteral("href=\"([^\"]*\\.html____[^\"]*)\"")).match(page);
    ASSERT_TRUE(m.hasMatch()) << page.left(2000).toStdString();
    QTreeWidgetItem* before = w->stMain->currentItem();
    w->wbHTMLPreview->followLink(QUrl::fromPercentEncoding(m.captured(1).toUtf8()));
    EXPECT_NE(w->stMain->currentItem(), before);
    EXPECT_EQ(w->wbHTMLPreview->LocationURL(), folder + "temp.html");

    // Plain form: page kind from the file name less database name and digits; any case.
    EXPECT_TRUE(w->NavigateFromPreviewLink(folder + "O'Brien StockTables2.html____stock_items"));
    EXPECT_EQ(w->stMain->currentItem(), w->treeNode("Stock Items|2|1|1|2"));
    EXPECT_EQ(SelectedNodeKey, "DATABASE/TABLE[2]");
    EXPECT_TRUE(w->NavigateFromPreviewLink(folder + "tables1.html____O'HARA'S"));
    EXPECT_EQ(w->stMain->currentItem()->text(0), "O'Hara's");
    EXPECT_TRUE(w->NavigateFromPreviewLink(folder + "views1.html____big_stock"));
    EXPECT_EQ(w->stMain->currentItem()->text(0), "big_stock");
    EXPECT_TRUE(w->NavigateFromPreviewLink(folder + "diagram1.html____x"));
    EXPECT_EQ(w->stMain->currentItem()->text(0), "Relationship Diagram");
    // The connection has no diagram picture yet: the user is asked (the script answers No).
    EXPECT_EQ(prompts->lastMessage(),
              "Relationship diagram is not generated for this database.\nDo you want to generate now?");
    EXPECT_EQ(w->atRHContent->currentIndex(), 1);
    EXPECT_FALSE(w->atRHContent->isTabEnabled(0));

    // Not intercepted: unknown names and kinds, temp2.html, pictures, plain pages.
    EXPECT_FALSE(w->NavigateFromPreviewLink(folder + "tables1.html____no_such_table"));
    EXPECT_FALSE(w->NavigateFromPreviewLink(folder + "summary1.html____x"));
    EXPECT_FALSE(w->NavigateFromPreviewLink(folder + "temp2.html"));
    EXPECT_FALSE(w->NavigateFromPreviewLink(folder + "diagram.jpg.html____x"));
    EXPECT_FALSE(w->NavigateFromPreviewLink(folder + "Tables1.html"));

    // Compound form: table, kind and object.
    prompts->messageAnswers.push_back(ui::MsgResult::Yes);
    click(*w, "Northwind|1|1");
    ASSERT_EQ(loadedTables(), (Names{"customers", "orders"}));
    EXPECT_TRUE(w->NavigateFromPreviewLink(folder + "NorthwindTables1.html____orders____INDEXES____ix_orders_date"));
    ASSERT_NE(w->stMain->currentItem(), nullptr);
    EXPECT_EQ(w->stMain->currentItem()->text(0), "ix_orders_date");
    EXPECT_EQ(SelectedNodeKey, "DATABASE/TABLE[2]/INDEX[1]");
    EXPECT_TRUE(errors.empty()) << errors.front().description;
    closeWindow(*w);
}

// The style sheets and pictures a preview page names that cannot be read, "" when all can
// (and the page names some).
std::string missingReferences(const std::string& path) {
    const QString page = QString::fromStdString(testsupport::readFile(path));
    static const QRegularExpression refs(QStringLiteral("(?:href|src)=\"([^\"#]+\\.(?:css|svg|jpg))\""));
    std::string missing;
    int found = 0;
    for (auto it = refs.globalMatch(page); it.hasNext(); ++found) {
        const QString ref = it.next().captured(1);
        const QUrl url = QUrl(ref).isRelative() ? QUrl::fromLocalFile(QString::fromStdString(files::parentFolder(path)) + "/" + ref) : QUrl(ref);
        if (!QFileInfo::exists(url.toLocalFile())) missing += ref.toStdString() + " ";
    }
    return found > 1 ? missing : "no references";
}

TEST_F(ExplorerProject, PreviewReadsItsStylesAndPicturesAndLinksLikeTheReport) {
    auto w = open();
    prompts->messageAnswers.push_back(ui::MsgResult::Yes);
    click(*w, "Northwind|1|1");
    ASSERT_EQ(loadedTables(), (Names{"customers", "orders"}));
    // Drawn as a browser draws it: one dark band of banner and tabs, the five figures side by side.
    w->atRHContent->setCurrentIndex(1);  // the HTML preview at a size that holds the figures
    w->resize(1200, 800);
    const QImage shot = w->wbHTMLPreview->viewport()->grab().toImage();
    auto is = [&shot](int x, int y, QColor c) { const QRgb p = shot.pixel(x, y); return std::abs(qRed(p) - c.red()) + std::abs(qGreen(p) - c.green()) + std::abs(qBlue(p) - c.blue()) < 24; };
    int bands = 0, figures = 0;  // the blue scheme's dark and accent
    for (int y = 1, x = shot.width() * 9 / 10; y < shot.height(); ++y) {
        bands += is(x, y, "#13325b") && !is(x, y - 1, "#13325b");
        for (int e = 1, edges = 0; e < shot.width(); ++e) figures = std::max(figures, edges += is(e, y, "#1f6fc5") && !is(e - 1, y, "#1f6fc5"));
    }
    EXPECT_EQ(std::pair(bands, figures), std::pair(1, 5));
    click(*w, "orders|1|1|1|2");
    ASSERT_EQ(SelectedNodeKey, "DATABASE/TABLE[2]");
    const QString page = QString::fromStdString(testsupport::readFile(previewFile("temp.html")));
    // Every style sheet and picture the page names is there to be read.
    EXPECT_EQ(missingReferences(previewFile("temp.html")), "");
    // orders refers to customers and nothing refers to orders.
    const int refsAt = page.indexOf(QLatin1String("Referenced by"));
    EXPECT_LT(refsAt, 0) << page.mid(refsAt, 1500).toStdString();
    EXPECT_TRUE(page.contains(QLatin1String("<h3>Foreign keys</h3>"))) << page.toStdString();
    // customers is referenced by orders, not by itself.
    click(*w, "customers|1|1|1|1");
    const QString referenced = QString::fromStdString(testsupport::readFile(previewFile("temp.html")));
    const QString incoming = referenced.mid(referenced.indexOf(QLatin1String("<h3>Referenced by</h3>")));
    EXPECT_TRUE(incoming.contains(QLatin1String(">orders</a>"))) << incoming.toStdString();
    EXPECT_FALSE(incoming.contains(QLatin1String(">customers</a>"))) << incoming.toStdString();
    EXPECT_EQ(referenced.count(QLatin1String("class=\"object table\"")), 1);

    // The report's other pages show in place.
    QRegularExpressionMatch summary =
        QRegularExpression(QStringLiteral("href=\"([^\"]*[Ss]ummary1\\.html)\"")).match(page);
    ASSERT_TRUE(summary.hasMatch());
    w->wbHTMLPreview->followLink(QUrl::fromPercentEncoding(summary.captured(1).toUtf8()));
    EXPECT_EQ(w->wbHTMLPreview->LocationURL(), QString::fromStdString(previewFile("temp.html")));
    EXPECT_TRUE(testsupport::readFile(previewFile("temp.html")).find("id=\"summary\"") !=
                std::string::npos);
    EXPECT_TRUE(errors.empty()) << errors.front().description;
    closeWindow(*w);
}

TEST_F(ExplorerProject, QueryToolCommandsHandTheCurrentConnectionOver) {
    auto w = open();
    prompts->messageAnswers.push_back(ui::MsgResult::Yes);
    click(*w, "Northwind|1|1");
    click(*w, "customers|1|1|1|1");
    const std::string handOff = HandOffFileName(
        oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[1]/DATABASECONNECTION[1]").attribute("TempXMLFileName"));
    w->tbMain_ToolClick("ID_OtherNode_OpenAllRows");
    ASSERT_EQ(ProcessHandles.size(), 1u);
    xml::Document doc;
    ASSERT_TRUE(doc.load(handOff));
    EXPECT_EQ(doc.selectSingleNode("BRENIK/QUERY").text(), "Select * from customers");
    EXPECT_EQ(doc.selectSingleNode("BRENIK/@ExecuteNow").text(), "True");

    // An engine without a script sheet.
    oReportEngine->CurrentDatabaseEngineId(13);
    w->tbMain_ToolClick("ID_Tools_GenerateSQLScript");
    EXPECT_EQ(prompts->lastMessage(), "Unable to generate script file");
    oReportEngine->CurrentDatabaseEngineId(12);
    // A script that cannot be written is not handed on.
    prompts->fileAnswers.push_back(dir.file("no/such/folder/s.sql"));
    EXPECT_FALSE(w->GenerateSQLScript());
    EXPECT_EQ(ProcessHandles.size(), 1u);
    // The script is for the connection's own engine (SQLite here).
    prompts->fileAnswers.push_back(reportFile("s.sql"));
    EXPECT_TRUE(w->GenerateSQLScript());
    EXPECT_EQ(ProcessHandles.size(), 2u);
    const std::string script = testsupport::readFile(reportFile("s.sql"));
    EXPECT_NE(script.find("CREATE TABLE \"customers\" ("), std::string::npos) << script;
    ASSERT_TRUE(doc.load(handOff));
    EXPECT_EQ(doc.selectSingleNode("BRENIK/QUERY").text(), script);
    EXPECT_EQ(doc.selectSingleNode("BRENIK/@ExecuteNow").text(), "False");
    for (auto& p : ProcessHandles) p->kill();
    ProcessHandles.clear();
    closeWindow(*w);
}

TEST_F(ExplorerProject, PopupsFollowTheNodeAndTheirSource) {
    auto w = open();
    prompts->messageAnswers.push_back(ui::MsgResult::Yes);
    click(*w, "Northwind|1|1");
    QTreeWidgetItem* tables = w->treeNode("Tables|1|1|1");
    ASSERT_NE(tables, nullptr);
    w->DisplayContextMenu(tables, "TreeView");
    EXPECT_EQ(w->lastPopupBand(), "ID_OtherNode");
    EXPECT_TRUE(w->tbMain->isToolVisible("ID_DatabaseNode_Migrate"));
    EXPECT_TRUE(w->tbMain->isToolVisible("ID_OtherNode_ExpandAll"));
    w->tbMain->menuBand("ID_OtherNode")->close();

    QTreeWidgetItem* customers = w->treeNode("customers|1|1|1|1");
    ASSERT_NE(customers, nullptr);
    w->DisplayContextMenu(customers, "TreeView");
    EXPECT_TRUE(w->tbMain->isToolVisible("ID_OtherNode_OpenAllRows"));
    EXPECT_FALSE(w->tbMain->isToolVisible("ID_DatabaseNode_Migrate"));
    w->tbMain->menuBand("ID_OtherNode")->close();

    // From the objects bar the expand and collapse commands are hidden.
    w->obDBObjects_ItemRightClick(0, 0);
    EXPECT_EQ(w->stMain->currentItem(), tables);
    EXPECT_FALSE(w->tbMain->isToolVisible("ID_OtherNode_ExpandAll"));
    EXPECT_FALSE(w->tbMain->isToolVisible("ID_DatabaseNode_CollapseAll"));
    w->tbMain->menuBand("ID_OtherNode")->close();

    // A popup on another connection makes it current without loading it; Migrate is on it.
    w->DisplayContextMenu(w->treeNode("Orders|2|2"), "TreeView");
    EXPECT_EQ(w->lastPopupBand(), "ID_DatabaseNode");
    EXPECT_TRUE(w->tbMain->isToolVisible("ID_DatabaseNode_Migrate"));
    EXPECT_EQ(oReportEngine->CurrentDatabaseGroup(), 2);
    EXPECT_EQ(oReportEngine->CurrentDatabaseNumber(), 2);
    w->tbMain->menuBand("ID_DatabaseNode")->close();
    // Saving now would save Northwind under Orders: it asks to connect Orders first.
    prompts->messageAnswers.push_back(ui::MsgResult::No);
    w->tbMain_ToolClick("ID_DatabaseNode_Save");
    EXPECT_EQ(prompts->lastMessage(), "Database is not connected, please connect and try again");
    EXPECT_TRUE(prompts->folders.empty());

    // A popup on a connection loaded before, then a click on it: its own structure comes back.
    prompts->messageAnswers.push_back(ui::MsgResult::Yes);
    click(*w, "O'Brien Stock|2|1");
    w->DisplayContextMenu(w->treeNode("Northwind|1|1"), "TreeView");
    w->tbMain->menuBand("ID_DatabaseNode")->close();
    ASSERT_EQ(loadedTables(), (Names{"O'Hara's", "Stock Items"}));
    click(*w, "Northwind|1|1");
    EXPECT_EQ(loadedTables(), (Names{"customers", "orders"}));

    // Copy Names puts the node and its children on the clipboard.
    w->stMain->setCurrentItem(w->treeNode("Tables|1|1|1"));
    w->tbMain_ToolClick("ID_Edit_CopyNames");
    EXPECT_EQ(QApplication::clipboard()->text(), "Tables\r\ncustomers\r\norders");
    // Collapse and expand the whole subtree.
    w->stMain->setCurrentItem(w->treeNode("Dalvane Group|1"));
    w->tbMain_ToolClick("ID_DBGroupNode_ExpandAll");
    EXPECT_TRUE(w->treeNode("orders|1|1|1|2")->isExpanded());
    w->tbMain_ToolClick("ID_DBGroupNode_CollapseAll");
    EXPECT_FALSE(w->treeNode("Northwind|1|1")->isExpanded());
    EXPECT_FALSE(w->treeNode("orders|1|1|1|2")->isExpanded());
    closeWindow(*w);
}

TEST_F(ExplorerTest, ANewProjectsBarOpensTheWizard) {
    auto w = open();
    wizardModes.clear();
    ASSERT_EQ(w->obDBObjects->count(), 1);
    auto* list = qobject_cast<QListWidget*>(w->obDBObjects->widget(0));
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->item(0)->text(), "Tables");
    EXPECT_EQ(list->item(2)->text(), "Stored Procedures");
    w->obDBObjects_ItemClick(0, 1);
    EXPECT_EQ(wizardModes.size(), 1u);
    // While work runs, the bar ignores clicks.
    w->StartProgress("Importing", 10);
    w->obDBObjects_ItemClick(0, 1);
    w->StopProgress("");
    EXPECT_EQ(wizardModes.size(), 1u);
    w->tbMain_ToolClick("ID_File_New");
    w->tbMain_ToolClick("ID_DBGroupNode_NewDatabase");
    EXPECT_EQ(wizardModes.size(), 3u);
    closeWindow(*w);
}

TEST_F(ExplorerTest, ToolIdentifiersGiveCategoryAndCommand) {
    EXPECT_EQ(frmDatabaseExplorer::GetToolCategory("ID_DATABASENODE_MIGRATE"), "ID_DATABASENODE");
    EXPECT_EQ(frmDatabaseExplorer::GetToolCategory("ID_File_New_Folder"), "ID_File");
    EXPECT_EQ(frmDatabaseExplorer::GetToolCategory("id_view"), "id_view");
    EXPECT_EQ(frmDatabaseExplorer::GetToolCategory("ID_"), "ID_");
    EXPECT_EQ(frmDatabaseExplorer::GetToolCategory("Stylesheets"), "");

    auto w = open();
    // Commands are found whatever the case of the identifier.
    w->tbMain_ToolClick("ID_VIEW_PRINTLAYOUT");
    EXPECT_FALSE(w->spSeperator->isVisibleTo(w.get()));
    EXPECT_TRUE(w->spPrintLayout->isVisibleTo(w.get()));
    EXPECT_FALSE(w->obDBObjects->isVisibleTo(w.get()));
    EXPECT_FALSE(w->tbMain->isToolEnabled("ID_View_DBTreeView"));
    w->tbMain_ToolClick("ID_View_WebLayout");
    EXPECT_TRUE(w->spWebLayout->isVisibleTo(w.get()));
    EXPECT_FALSE(w->spPrintLayout->isVisibleTo(w.get()));
    w->tbMain_ToolClick("ID_View_Normal");
    EXPECT_TRUE(w->spSeperator->isVisibleTo(w.get()));
    EXPECT_TRUE(w->obDBObjects->isVisibleTo(w.get()));
    EXPECT_TRUE(w->tbMain->isToolEnabled("ID_View_XMLPreviewTab"));
    // Headers and unknown words do nothing.
    size_t before = prompts->messages.size();
    w->tbMain_ToolClick("ID_View");
    w->tbMain_ToolClick("ID_Tools_GenerateCHM");
    w->tbMain_ToolClick("ID_Nothing_Here");
    EXPECT_EQ(prompts->messages.size(), before);

    // Tabs: shown and hidden through the View menu; the last shown tab stays.
    w->tbMain->click("ID_View_XMLPreviewTab");
    EXPECT_TRUE(w->atRHContent->isTabVisible(2));
    w->tbMain->click("ID_View_XMLPreviewTab");
    EXPECT_FALSE(w->atRHContent->isTabVisible(2));
    ASSERT_FALSE(w->atRHContent->isTabVisible(1));
    w->atRHContent->setTabEnabled(0, false);
    w->tbMain->click("ID_View_DetailsTab");
    EXPECT_TRUE(w->atRHContent->isTabVisible(0));
    EXPECT_TRUE(w->tbMain->isChecked("ID_View_DetailsTab"));
    EXPECT_TRUE(w->atRHContent->isTabEnabled(0));  // enabled by the refused attempt
    // A hidden disabled tab stays disabled when shown again.
    w->atRHContent->setTabEnabled(2, false);
    EXPECT_TRUE(w->EnableTabs(3, true));
    EXPECT_TRUE(w->atRHContent->isTabVisible(2));
    EXPECT_FALSE(w->atRHContent->isTabEnabled(2));
    // Hiding the selected tab selects its neighbour.
    w->atRHContent->setCurrentIndex(0);
    EXPECT_TRUE(w->EnableTabs(1, false));
    EXPECT_EQ(w->atRHContent->currentIndex(), 2);

    // Commands whose windows come later say so.
    for (auto [id, caption] : {std::pair{"ID_DatabaseNode_Properties", "Properties"}}) {
        w->tbMain_ToolClick(id);
        EXPECT_EQ(prompts->lastMessage(), std::string("The command \"") + caption + "\" is not available yet.");
    }
    closeWindow(*w);
}

TEST_F(ExplorerProject, DeclinedConfirmationsLeaveTheProjectUnchanged) {
    auto w = open();
    click(*w, "SALESDATA|2");
    const std::string before = oStructures.xml();
    for (auto [tool, question] :
         {std::pair{"ID_Edit_RemoveDBStructure", "Are you sure you want to delete this connection?"},
          {"ID_DatabaseNode_Remove", "Are you sure you want to delete this connection?"},
          {"ID_Edit_RemoveGroup", "Are you sure you want to delete this folder?"},
          {"ID_Edit_RemoveAllGroups", "Are you sure you want to delete all folders?"},
          {"ID_Edit_RemoveAllDBStructures", "Are you sure you want to delete all database connections?"}}) {
        prompts->messageAnswers.push_back(ui::MsgResult::No);
        w->tbMain_ToolClick(tool);
        EXPECT_EQ(prompts->lastMessage(), question);
        EXPECT_EQ(prompts->messages.back().buttons, ui::MsgButtons::YesNo);
        EXPECT_EQ(oStructures.xml(), before) << tool;
    }
    EXPECT_NE(w->treeNode("O'Brien Stock|2|1"), nullptr);
    EXPECT_TRUE(errors.empty());
    closeWindow(*w);
}

TEST_F(ExplorerProject, RemovingRenumbersWhatFollows) {
    auto w = open();
    prompts->messageAnswers.push_back(ui::MsgResult::Yes);
    click(*w, "O'Brien Stock|2|1");
    std::string temp = oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[2]/DATABASECONNECTION[1]")
                           .attribute("TempXMLFileName");
    ASSERT_TRUE(files::fileExists(temp));
    prompts->messageAnswers.push_back(ui::MsgResult::Yes);
    w->tbMain_ToolClick("ID_Edit_RemoveDBStructure");
    EXPECT_FALSE(files::fileExists(temp));
    xml::Node orders = oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[2]/DATABASECONNECTION[1]");
    ASSERT_TRUE(orders);
    EXPECT_EQ(orders.attribute("Key"), "Orders|2|1");
    EXPECT_EQ(orders.attribute("RHXPath"), "DATABASESTRUCTURES/DATABASEGROUP[2]/DATABASECONNECTION[1]");
    EXPECT_EQ(orders.selectSingleNode("DBOPTIONS/MOREINFO/DATABASE/@CurrentDatabaseNumber").text(), "1");
    EXPECT_NE(w->treeNode("Orders|2|1"), nullptr);
    EXPECT_EQ(w->treeNode("O'Brien Stock|2|1"), nullptr);
    // The removed connection's structure is not kept as the current one's.
    EXPECT_EQ(oReportEngine->CurrentDatabaseNumber(), 1);
    EXPECT_FALSE(oReportEngine->oResultXML && !oReportEngine->oResultXML->isEmpty());

    // Removing folder 1 moves "Sales Data" into its place.
    click(*w, "Dalvane Group|1");
    prompts->messageAnswers.push_back(ui::MsgResult::Yes);
    w->tbMain_ToolClick("ID_Edit_RemoveGroup");
    xml::Node sales = oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[1]");
    EXPECT_EQ(oReportEngine->CurrentDatabaseGroup(), 1);
    EXPECT_EQ(sales.attribute("Key"), "Sales Data|1");
    EXPECT_EQ(sales.attribute("RHXPath"), "DATABASESTRUCTURES/DATABASEGROUP[1]/DATABASECONNECTION");
    orders = sales.selectSingleNode("DATABASECONNECTION");
    EXPECT_EQ(orders.attribute("Key"), "Orders|1|1");
    EXPECT_EQ(orders.selectSingleNode("DBOPTIONS/MOREINFO/DATABASE/@CurrentDatabaseGroup").text(), "1");
    // A moved connection loads under its new numbers and stays where it is.
    prompts->messageAnswers.push_back(ui::MsgResult::Yes);
    click(*w, "Orders|1|1");
    EXPECT_EQ(loadedTables(), (Names{"order_lines"}));
    EXPECT_EQ(oStructures.count("DATABASESTRUCTURES/DATABASEGROUP/DATABASECONNECTION"), 1);
    EXPECT_TRUE(errors.empty()) << errors.front().description;
    closeWindow(*w);
}

TEST_F(ExplorerProject, ResetAllKeysGivesEveryKeyItsRunningPath) {
    auto w = open();
    xml::Document doc;
    ASSERT_TRUE(doc.loadXML("<C><A Name='A' Key='x'/><B Name='B' Key='y'><C Name='C' Key='z'/>"
                            "<D Name='D' Key='w'/></B></C>"));
    std::string path;
    w->ResetAllKeys(doc.documentElement(), 1, 2, path);
    EXPECT_EQ(doc.selectSingleNode("C/A/@Key").text(), "A|1|2");
    EXPECT_EQ(doc.selectSingleNode("C/B/@Key").text(), "B|1|2|0");
    EXPECT_EQ(doc.selectSingleNode("C/B/C/@Key").text(), "C|1|2|0|1");
    EXPECT_EQ(doc.selectSingleNode("C/B/D/@Key").text(), "D|1|2|0|1|0");
    closeWindow(*w);
}

TEST_F(ExplorerProject, SavingAndMigrateNeedTheConnectionsStructure) {
    auto w = open();
    // Migrate on a connection that cannot be loaded stops with the failure.
    std::filesystem::remove_all(dir.file("moving"));
    w->DisplayContextMenu(w->treeNode("Orders|2|2"), "TreeView");
    w->tbMain->menuBand("ID_DatabaseNode")->close();
    w->tbMain_ToolClick("ID_DatabaseNode_Migrate");
    EXPECT_EQ(prompts->lastMessage(), "Could not connect to database");
    EXPECT_TRUE(w->tbMain->isEnabled());

    // Loaded on the way; then the wizard's place is taken by a message.
    w->DisplayContextMenu(w->treeNode("Northwind|1|1"), "TreeView");
    w->tbMain->menuBand("ID_DatabaseNode")->close();
    w->tbMain_ToolClick("ID_DatabaseNode_Migrate");
    EXPECT_EQ(loadedTables(), (Names{"customers", "orders"}));
    EXPECT_EQ(prompts->lastMessage(), "The command \"Migrate\" is not available yet.");
    // With the wizard installed, the command opens it on the loaded structure.
    std::vector<std::string> migrated;
    frmDatabaseExplorer::MigrationWizard = [&migrated](QWidget*) { migrated = loadedTables(); };
    w->tbMain_ToolClick("ID_DatabaseNode_Migrate");
    frmDatabaseExplorer::MigrationWizard = nullptr;
    EXPECT_EQ(migrated, (Names{"customers", "orders"}));

    // XML and HTML saves of the current connection.
    std::string xmlPath = dir.file("northwind.xml");
    prompts->fileAnswers.push_back(xmlPath);
    w->tbMain_ToolClick("ID_FILE_SAVEASXML");
    ASSERT_EQ(prompts->files.size(), 1u);
    EXPECT_EQ(prompts->files[0].filter, "XML File | *.xml");
    xml::Document saved;
    ASSERT_TRUE(saved.load(xmlPath));
    EXPECT_EQ(saved.count("//TABLE"), 2);
    // The wildcard preset is no choice.
    prompts->fileAnswers.push_back(files::joinPath(ReportsFolder, "*.xml"));
    EXPECT_EQ(w->SaveXML(true), "");
    // A name typed without extension gets one.
    prompts->fileAnswers.push_back(dir.file("typed"));
    EXPECT_EQ(w->SaveXML(true), dir.file("typed.xml"));
    EXPECT_TRUE(files::fileExists(dir.file("typed.xml")));
    EXPECT_EQ(w->lblStatus->text().toStdString(), "XML report saved: " + dir.file("typed.xml"));

    files::createFolder(dir.file("out"));
    prompts->folderAnswers.push_back(dir.file("out"));
    w->tbMain_ToolClick("ID_File_SaveAsHTML");
    ASSERT_EQ(prompts->folders.size(), 1u);
    EXPECT_EQ(prompts->folders[0], "Select HTML Folder");
    EXPECT_TRUE(files::folderExists(dir.file("out/Northwindreport")));
    EXPECT_EQ(w->lblStatus->text().toStdString(), "HTML report saved: " + dir.file("out/Northwindreport") + "/");
    prompts->folderAnswers.push_back("");
    EXPECT_EQ(w->SaveHTML(true), "");

    std::string wordPath = dir.file("northwind.docx");
    EXPECT_EQ(w->SaveInWord(wordPath, true), wordPath);
    EXPECT_TRUE(files::fileExists(wordPath));
    EXPECT_TRUE(w->tbMain->isEnabled());
    EXPECT_FALSE(w->pctAnimation->isVisible());
    EXPECT_TRUE(errors.empty()) << errors.front().description;
    closeWindow(*w);
}

TEST(OpenAllRows, NamesAreQuotedByEngine) {
    EXPECT_EQ(frmDatabaseExplorer::OpenAllRowsQuery("orders", 12), "Select * from orders");
    EXPECT_EQ(frmDatabaseExplorer::OpenAllRowsQuery("Order Details", 9), "Select * from [Order Details]");
    EXPECT_EQ(frmDatabaseExplorer::OpenAllRowsQuery("Order Details", 1), "Select * from \"Order Details\"");
    // Quote characters inside a name cannot end the quoted name.
    EXPECT_EQ(frmDatabaseExplorer::OpenAllRowsQuery("a]b", 8), "Select * from [a]]b]");
    EXPECT_EQ(frmDatabaseExplorer::OpenAllRowsQuery("x\";drop", 12), "Select * from \"x\"\";drop\"");
    EXPECT_EQ(frmDatabaseExplorer::OpenAllRowsQuery("O'Hara's", 12), "Select * from \"O'Hara's\"");
}

TEST_F(ExplorerTest, FolderDialogAddsRenamesAndRefuses) {
    auto w = open();
    frmDatabaseGroup dialog(w.get());
    dialog.OpenMode = "New";
    dialog.Form_Load();
    EXPECT_EQ(dialog.windowTitle(), "Create Database Folder");
    for (auto [text, message] : {std::pair{"", "Please enter a valid Database Group name"},
                                 {"   ", "Please enter a valid Database Group name"},
                                 {"123", "Group name cannot start with numbers"},
                                 {"-12.5e3", "Group name cannot start with numbers"},
                                 {"Dalvane Group", "Group already exists."}}) {
        dialog.txtGroupName->setText(text);
        dialog.cmdOK_Click();
        EXPECT_EQ(prompts->lastMessage(), message) << text;
        EXPECT_EQ(dialog.result(), 0);
    }
    EXPECT_EQ(oStructures.count("DATABASESTRUCTURES/DATABASEGROUP"), 1);
    // Keys typed and text pasted pass the same filter.
    for (auto [key, passes] : {std::pair{int('a'), true}, {int('Z'), true}, {int('7'), true}, {int('_'), true},
                               {32, true}, {8, true}, {int('|'), false}, {int('\''), false}, {int('-'), false}}) {
        int k = key;
        dialog.txtGroupName_KeyPress(k);
        EXPECT_EQ(k != 0, passes) << key;
    }
    QGuiApplication::clipboard()->setText("My|Fol'der");
    dialog.txtGroupName->clear();
    dialog.txtGroupName->paste();
    EXPECT_EQ(dialog.txtGroupName->text(), "MyFolder");
    dialog.txtGroupName->setText("  My Folder ");
    dialog.cmdOK_Click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    xml::Node added = oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[2]");
    ASSERT_TRUE(added);
    EXPECT_EQ(added.attribute("Name"), "My Folder");
    EXPECT_EQ(added.attribute("Key"), "MYFOLDER|2");
    EXPECT_EQ(added.attribute("RHXPath"), "DATABASESTRUCTURES/DATABASEGROUP[2]/DATABASECONNECTION");
    EXPECT_EQ(oReportEngine->CurrentDatabaseGroup(), 2);
    EXPECT_NE(w->treeNode("MYFOLDER|2"), nullptr);

    // Rename keeps place, path and date; the folder stays selectable by its key.
    frmDatabaseGroup rename(w.get());
    rename.OpenMode = "Rename";
    rename.GroupName = "My Folder";
    rename.Form_Load();
    EXPECT_EQ(rename.windowTitle(), "Rename Database Folder");
    EXPECT_EQ(rename.txtGroupName->text(), "My Folder");
    rename.txtGroupName->setText("Archive");
    rename.cmdOK_Click();
    EXPECT_EQ(added.attribute("Name"), "Archive");
    EXPECT_EQ(added.attribute("RHXPath"), "DATABASESTRUCTURES/DATABASEGROUP[2]/DATABASECONNECTION");
    oReportEngine->CurrentDatabaseGroup(1);
    w->stMain->setCurrentItem(w->treeNode("Archive|2"));
    w->trvMain_NodeClick(w->treeNode("Archive|2"));
    EXPECT_EQ(oReportEngine->CurrentDatabaseGroup(), 2);
    frmDatabaseGroup again(w.get());
    again.OpenMode = "New";
    again.Form_Load();
    again.txtGroupName->setText("Archive");
    again.cmdOK_Click();
    EXPECT_EQ(prompts->lastMessage(), "Group already exists.");
    again.txtGroupName->setText("1st Folder");
    again.cmdOK_Click();
    EXPECT_EQ(oStructures.count("DATABASESTRUCTURES/DATABASEGROUP"), 3);
    // A name holding "|" cannot move the key's numbers.
    w->RenameCurrentGroup("Odd|9");
    const std::string oddKey = oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[3]/@Key").text();
    EXPECT_EQ(oddKey, "Odd_9|3");
    oReportEngine->CurrentDatabaseGroup(1);
    w->stMain->setCurrentItem(w->treeNode(QString::fromStdString(oddKey)));
    w->trvMain_NodeClick(w->treeNode(QString::fromStdString(oddKey)));
    EXPECT_EQ(oReportEngine->CurrentDatabaseGroup(), 3);
    EXPECT_TRUE(errors.empty()) << errors.front().description;

    // The menu commands show the dialog modally over the window.
    auto answer = [](const char* name, bool ok) {
        QTimer::singleShot(0, [name, ok] {
            auto* d = qobject_cast<frmDatabaseGroup*>(QApplication::activeModalWidget());
            if (!d) return;
            d->txtGroupName->setText(name);
            if (ok) d->cmdOK_Click(); else d->cmdCancel_Click();
        });
    };
    answer("Late Folder", true);
    w->tbMain_ToolClick("ID_Insert_NewGroup");
    EXPECT_EQ(oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[4]/@Key").text(), "LATEFOLDER|4");
    const std::string before = oStructures.xml();
    w->stMain->setCurrentItem(w->treeNode("LATEFOLDER|4"));
    answer("Never", false);
    w->tbMain_ToolClick("ID_DBGroupNode_RenameGroup");
    EXPECT_EQ(oStructures.xml(), before);

    // Words a float parser reads as numbers are names.
    for (const char* word : {"nan", "Inf"}) {
        frmDatabaseGroup named(w.get());
        named.OpenMode = "New";
        named.Form_Load();
        named.txtGroupName->setText(word);
        named.cmdOK_Click();
        EXPECT_EQ(named.result(), QDialog::Accepted) << word;
    }
    EXPECT_EQ(oStructures.count("DATABASESTRUCTURES/DATABASEGROUP[@Name='nan' or @Name='Inf']"), 2);
    closeWindow(*w);
}

// The diagram command opens the diagram library over the disabled main window, then the previews
// show the picture; the diagram node shows it again without asking or opening the library.
TEST_F(ExplorerProject, DiagramCommandOpensTheLibraryAndPreviewsThePicture) {
    auto w = open();
    prompts->messageAnswers.push_back(ui::MsgResult::Yes);  // connect
    click(*w, "Northwind|1|1");
    ASSERT_EQ(loadedTables(), (Names{"customers", "orders"}));
    bool mainDisabled = false;
    modalscript::Script script({{"AddTableDialog", modalscript::addEveryTable},
                                {"DiagramWindow", [&](QWidget* d) {
                                     mainDisabled = !w->isEnabled();
                                     modalscript::trigger(d, "actUpdateExit");
                                 }}});
    w->tbMain_ToolClick("ID_OtherNode_EditDiagram");
    EXPECT_TRUE(script.finished());
    EXPECT_TRUE(mainDisabled);
    EXPECT_TRUE(w->isEnabled());
    ASSERT_TRUE(errors.empty()) << errors.front().description;
    const std::string picture = oReportEngine->GetDiagramFileName();
    ASSERT_FALSE(picture.empty());
    EXPECT_TRUE(files::fileExists(previewFile("images/" + files::fileName(picture))));
    EXPECT_FALSE(std::filesystem::exists(reportFile("images")));
    EXPECT_EQ(w->wbHTMLPreview->LocationURL(), QString::fromStdString(previewFile("temp.html")));
    EXPECT_NE(testsupport::readFile(previewFile("temp.html")).find(files::fileName(picture)), std::string::npos);
    EXPECT_EQ(missingReferences(previewFile("temp.html")), "");
    EXPECT_EQ(missingReferences(previewFile("temp_print.html")), "");

    const std::size_t asked = prompts->messages.size();
    w->wbHTMLPreview->Navigate2(QString());
    const auto nodes = w->stMain->findItems("Relationship Diagram", Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(nodes.size(), 1);  // only the loaded connection has its outline
    w->stMain->setCurrentItem(nodes.front());
    w->trvMain_NodeClick(nodes.front());
    EXPECT_EQ(prompts->messages.size(), asked);
    EXPECT_EQ(w->wbHTMLPreview->LocationURL(), QString::fromStdString(previewFile("temp.html")));

    // Another connection's diagram edited while Northwind is loaded: its own tables; No writes nothing.
    prompts->messageAnswers.push_back(ui::MsgResult::Yes);  // connect
    click(*w, "O'Brien Stock|2|1");
    auto editStockDiagram = [&](std::deque<modalscript::Script::Step> steps) {
        click(*w, "Northwind|1|1");
        for (QTreeWidgetItem* n : w->stMain->findItems("Relationship Diagram", Qt::MatchExactly | Qt::MatchRecursive))
            if (n->parent() == w->treeNode("O'Brien Stock|2|1")) w->DisplayContextMenu(n, "TreeView");
        w->tbMain->menuBand("ID_OtherNode")->close();
        modalscript::Script s(std::move(steps));
        w->tbMain_ToolClick("ID_OtherNode_EditDiagram");
        EXPECT_TRUE(s.finished());
        return oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[2]/DATABASECONNECTION[1]").attribute("DiagramFile");
    };
    const std::string stockFile = editStockDiagram({{"AddTableDialog", modalscript::addEveryTable},
                                                    {"DiagramWindow", [](QWidget* d) { modalscript::trigger(d, "actUpdateExit"); }}});
    const std::string stockText = testsupport::readFile(stockFile), stockPicture = testsupport::readFile(files::replaceExtension(stockFile, ".jpg"));
    EXPECT_TRUE(stockText.find("Stock Items") != std::string::npos && stockText.find("Left=") != std::string::npos && stockText.find("customers") == std::string::npos);
    editStockDiagram({{"DiagramWindow", [](QWidget* d) { modalscript::trigger(d, "actRemoveAll"); d->close(); }},
                      {"CloseQuestion", [](QWidget* b) { modalscript::answer(b, QMessageBox::No); }}});
    EXPECT_EQ(testsupport::readFile(stockFile) + testsupport::readFile(files::replaceExtension(stockFile, ".jpg")), stockText + stockPicture);
    // The objects bar opens the group of the connection clicked; its diagram item shows that picture.
    EXPECT_EQ(w->obDBObjects->currentIndex(), 0);
    auto* stockBar = qobject_cast<QListWidget*>(w->obDBObjects->widget(1));
    w->obDBObjects_ItemClick(1, stockBar->row(stockBar->findItems("Relationship Diagram", Qt::MatchExactly).value(0)));
    EXPECT_NE(testsupport::readFile(previewFile("temp.html")).find(stockFile.substr(stockFile.rfind('_'), 20)), std::string::npos);
    EXPECT_TRUE(errors.empty()) << errors.front().description;
    closeWindow(*w);

    // After a restart without the last run's work files the diagram preview finds all it names.
    for (const char* work : {"temp.html", "temp_print.html", "images"}) std::filesystem::remove_all(previewFile(work));
    w = open();
    prompts->messageAnswers.push_back(ui::MsgResult::Yes);
    click(*w, "Northwind|1|1");
    QTreeWidgetItem* diagram = w->stMain->findItems("Relationship Diagram", Qt::MatchExactly | Qt::MatchRecursive).value(0);
    ASSERT_NE(diagram, nullptr);
    w->stMain->setCurrentItem(diagram);
    w->trvMain_NodeClick(diagram);
    EXPECT_EQ(missingReferences(previewFile("temp.html")) + missingReferences(previewFile("temp_print.html")), "");
    closeWindow(*w);
}

TEST_F(ExplorerProject, ScreenshotFilesRoundTripAndRefuseForeignFiles) {
    auto w = open();
    prompts->messageAnswers = {ui::MsgResult::Yes, ui::MsgResult::Yes};
    click(*w, "Northwind|1|1");
    ASSERT_TRUE(oReportEngine->oResultXML);
    const std::string original = oReportEngine->oResultXML->xml();
    prompts->fileAnswers.push_back(dir.file("north"));
    w->tbMain_ToolClick("ID_File_SaveAsDVSFile");
    const std::string path = dir.file("north.dvs");
    ASSERT_TRUE(files::fileExists(path));
    EXPECT_EQ(w->lblStatus->text().toStdString(), "Screenshot file saved: " + path);
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const std::string first = testsupport::readFile(path);
    EXPECT_EQ(first.find("customers"), std::string::npos);
    // Save after Save As: silent, same file.
    w->tbMain_ToolClick("ID_File_SaveDVSFile");
    EXPECT_EQ(prompts->files.size(), 1u);
    EXPECT_NE(testsupport::readFile(path), first);
    std::string own = path, asked = prompts->lastMessage();
    w->OpenStructure(own);  // a copy of the same database: no question
    EXPECT_EQ(prompts->lastMessage(), asked);

    // Foreign and damaged files change nothing.
    click(*w, "O'Brien Stock|2|1");
    ASSERT_EQ(loadedTables(), (Names{"O'Hara's", "Stock Items"}));
    const std::string stockText = oReportEngine->oResultXML->xml();
    std::filesystem::copy_file(path, dir.file("north.xml"));
    std::string other = dir.file("north.xml");
    w->OpenStructure(other);
    EXPECT_EQ(prompts->lastMessage(), "Select a valid xml file.");
    files::writeTextFile(dir.file("bad.dvs"), first.substr(0, first.size() / 2));
    std::string bad = dir.file("bad.dvs");
    w->OpenStructure(bad);
    EXPECT_EQ(prompts->lastMessage(), "Invalid dalvane structure file");
    EXPECT_EQ(oReportEngine->oResultXML->xml(), stockText);

    // Another database's copy replaces the structure when the user says so, marked as from a file.
    for (ui::MsgResult answer : {ui::MsgResult::No, ui::MsgResult::Yes}) {
        prompts->fileAnswers.push_back(path);
        prompts->messageAnswers.push_back(answer);
        w->tbMain_ToolClick("ID_File_Open");
        if (answer == ui::MsgResult::No) {
            EXPECT_EQ(oReportEngine->oResultXML->xml(), stockText);
        }
        EXPECT_EQ(prompts->lastMessage().rfind("The screenshot file " + path + " holds the structure of the database \"Northwind\", not of the connection \"O'Brien Stock\".", 0), 0u);
    }
    EXPECT_EQ(oReportEngine->oResultXML->xml(), original);
    xml::Node entry = oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[2]/DATABASECONNECTION[1]");
    EXPECT_EQ(entry.attribute("SourceType"), "FILE");
    EXPECT_EQ(entry.attribute("CurrentDVSFile"), path);
    // The details (and their print) are headed by the database shown, not the connection's.
    std::string whole = "DATABASE";
    ASSERT_TRUE(w->FillDetailsGrid(whole));
    EXPECT_EQ(w->ugDetailsModel->headerData(0, Qt::Horizontal).toString(), "Database Details: Northwind");
    EXPECT_TRUE(errors.empty()) << errors.front().description;
    closeWindow(*w);
}

TEST_F(ExplorerProject, DetailsGridReportChecksReachTheStructureAndPrint) {
    auto w = open();
    prompts->messageAnswers.push_back(ui::MsgResult::Yes);
    click(*w, "Northwind|1|1");
    ASSERT_TRUE(oReportEngine->oResultXML);
    QStandardItemModel* m = w->ugDetailsModel;
    // Top band: its caption row, then customers and orders.
    QStandardItem* top = m->invisibleRootItem();
    ASSERT_EQ(top->rowCount(), 3);
    EXPECT_EQ(top->child(0, 0)->text(), "TABLE");
    auto nameOf = [&](QStandardItem* parent, int row) {
        for (int c = 1; c < m->columnCount(); ++c)
            if (QStandardItem* cell = parent->child(row, c); cell && cell->data(Qt::UserRole) == "Name")
                return cell->text().toStdString();
        return std::string();
    };
    ASSERT_EQ(nameOf(top, 1), "customers");
    QStandardItem* customers = top->child(1, 0);
    int checkable = 0;
    QStringList bands;
    QStandardItem* nullAllowed = nullptr;  // of a nullable column
    for (int r = 0; r < customers->rowCount(); ++r) {
        checkable += customers->child(r, 0)->isCheckable();
        if (customers->child(r, 0)->data(Qt::UserRole + 2).toBool()) bands << customers->child(r, 0)->text();
        for (int c = 1; c < m->columnCount(); ++c)
            if (QStandardItem* cell = customers->child(r, c); cell && cell->data(Qt::UserRole) == "Null_Allowed")
                if (cell->checkState() == Qt::Checked) nullAllowed = cell;
    }
    ASSERT_GT(checkable, 0);  // its foreign key rows, kept under the table they point at
    EXPECT_TRUE(bands.contains("Referenced by") && !bands.contains("FOREIGNKEY")) << bands.join(',').toStdString();
    // A read-only check is drawn as a disabled one, as the Report check is not.
    auto drawn = [&](QStandardItem* item, QPalette::ColorGroup group) {
        QStyleOptionViewItem option;
        option.initFrom(w->ugDetails);
        option.rect = QRect(0, 0, 40, 20);
        option.palette.setCurrentColorGroup(group);
        if (group == QPalette::Disabled) option.state &= ~QStyle::State_Enabled;
        QImage image(40, 20, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        w->ugDetails->itemDelegate()->paint(&painter, option, item->index());
        return image;
    };
    ASSERT_TRUE(nullAllowed);
    EXPECT_EQ(drawn(nullAllowed, QPalette::Active), drawn(nullAllowed, QPalette::Disabled));
    EXPECT_NE(drawn(customers, QPalette::Active), drawn(customers, QPalette::Disabled));

    // While long work runs (it may read the structure beside the window) a tick goes back and
    // changes nothing, in the grid or the structure.
    {
        const std::string before = oReportEngine->oResultXML->xml();
        frmDatabaseExplorer::LongWork work(w.get());
        ASSERT_EQ(customers->checkState(), Qt::Checked);
        customers->setCheckState(Qt::Unchecked);
        EXPECT_EQ(customers->checkState(), Qt::Checked);
        for (int r = 0; r < customers->rowCount(); ++r)
            if (customers->child(r, 0)->isCheckable()) {
                EXPECT_EQ(customers->child(r, 0)->checkState(), Qt::Checked) << r;
            }
        EXPECT_EQ(oReportEngine->oResultXML->xml(), before);
    }
    // Unticking the table clears it and everything under it, in the grid and the structure.
    customers->setCheckState(Qt::Unchecked);
    const xml::Document& s = *oReportEngine->oResultXML;
    EXPECT_EQ(s.selectSingleNode("DATABASE/TABLE[1]/@Report").text(), "0");
    EXPECT_EQ(s.count("DATABASE/TABLE[1]//*[@Report='1']"), 0);
    EXPECT_GT(s.count("DATABASE/TABLE[1]//*[@Report='0']"), 0);
    EXPECT_EQ(s.selectSingleNode("DATABASE/TABLE[2]/@Report").text(), "1");
    for (int r = 0; r < customers->rowCount(); ++r) {
        QStandardItem* child = customers->child(r, 0);
        EXPECT_TRUE(!child->isCheckable() || child->checkState() == Qt::Unchecked) << r;
    }
    // ... and the next report leaves the table out.
    const std::string xmlPath = dir.file("report.xml");
    ASSERT_TRUE(oReportEngine->SaveXML(xmlPath, true, false));
    EXPECT_EQ(testsupport::readFile(xmlPath).find("Name=\"customers\""), std::string::npos);

    // A table node's key selects that table only; its place, not its name, is kept.
    std::string key = "DATABASE/TABLE[2]";
    ASSERT_TRUE(w->FillDetailsGrid(key));
    ASSERT_EQ(m->invisibleRootItem()->rowCount(), 2);
    EXPECT_EQ(m->invisibleRootItem()->child(1, 0)->data(Qt::UserRole + 1).toString(), "DATABASE/TABLE[2]");

    // Printing holds every row and never the Report column; the grid gets it back afterwards.
    key = "DATABASE";
    ASSERT_TRUE(w->FillDetailsGrid(key));
    w->SetGridForPreview(false);
    EXPECT_TRUE(w->ugDetails->isColumnHidden(0));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setOutputFileName(QString::fromStdString(dir.file("grid.pdf")));
    w->PrintDetails(printer);
    w->SetGridForPreview(true);
    EXPECT_FALSE(w->ugDetails->isColumnHidden(0));
    const std::string txt = dir.file("grid.txt");
    ASSERT_EQ(std::system(("pdftotext -layout '" + dir.file("grid.pdf") + "' '" + txt + "'").c_str()), 0);
    const std::string printed = testsupport::readFile(txt);
    for (const char* text : {"customers", "orders", "placed", "ix_orders_date", "Column Name"})
        EXPECT_NE(printed.find(text), std::string::npos) << text << "\n" << printed;
    EXPECT_EQ(printed.find("Report"), std::string::npos);
    // On a portrait page too the rows wrap within the page: the right-hand columns are there.
    printer.setPageOrientation(QPageLayout::Portrait);
    w->PrintDetails(printer);
    ASSERT_EQ(std::system(("pdftotext -layout '" + dir.file("grid.pdf") + "' '" + txt + "'").c_str()), 0);
    const std::string portrait = testsupport::readFile(txt);
    for (const char* text : {"Database Details: Northwind", "PK_orders", "ACTION"})
        EXPECT_NE(portrait.find(text), std::string::npos) << text << "\n" << portrait;

    // The preview: titled, maximised, the Report column hidden while it is open.
    bool hiddenDuringPreview = false;
    QTimer::singleShot(0, [&] {
        auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(preview, nullptr);
        EXPECT_EQ(preview->windowTitle(), "Dalvane 4.5");
        EXPECT_TRUE(preview->windowState() & Qt::WindowMaximized);
        hiddenDuringPreview = w->ugDetails->isColumnHidden(0);
        preview->reject();
    });
    w->tbMain_ToolClick("ID_File_PrintPreview");
    EXPECT_TRUE(hiddenDuringPreview);
    EXPECT_FALSE(w->ugDetails->isColumnHidden(0));
    EXPECT_TRUE(errors.empty()) << errors.front().description;
    closeWindow(*w);
}

TEST_F(ExplorerProject, LayoutAndColourMenusChangeThePreviewAtOnce) {
    files::writeTextFile(files::joinPath(DataFolder, "dvreport.xml"), R"(<REPORT>
  <LAYOUT Type="BuiltIn" Caption="Standard" Default="True" XSLFile="ReportFormat1.xsl">
    <STYLE Type="BuiltIn" Caption="Blue" Default="True" CSSFile="ReportFormat1a.css" ImagePrefix="blu" ColourScheme="Blue"/>
    <STYLE Type="BuiltIn" Caption="Green" CSSFile="ReportFormat1b.css" ColourScheme="Green"/>
  </LAYOUT>
  <LAYOUT Type="BuiltIn" Caption="Printer Friendly" XSLFile="PrinterFriendly.xsl">
    <STYLE Type="BuiltIn" Caption="Printer Friendly" CSSFile="PrinterFriendly.css" ImagePrefix="pf1" ColourScheme="Black"/>
  </LAYOUT>
  <LAYOUT Type="BuiltIn" Caption="Two Words" XSLFile="A.xsl"/>
  <LAYOUT Type="BuiltIn" Caption="Two_Words" XSLFile="B.xsl"/>
  <LAYOUT Type="Custom" Caption="Mine" XSLFile="/tmp/mine.xsl"/>
</REPORT>)");
    auto w = open();
    ui::ToolManager& tb = *w->tbMain;
    const QStringList layouts = tb.bandTools("ID_StylesheetsMenu");
    ASSERT_EQ(layouts.size(), 4) << layouts.join(' ').toStdString();  // the custom layout is not offered
    EXPECT_TRUE(tb.isChecked("ID_STYLESHEETSMENU_STANDARD"));
    EXPECT_EQ(tb.dropDownBand("ID_Colors"), "ID_COLORS_Standard_Colors");
    EXPECT_EQ(tb.bandTools("ID_COLORS_Printer Friendly_Colors").size(), 0);
    EXPECT_EQ(tb.bandTools("ID_COLORS_Standard_Colors"),
              (QStringList{"ID_COLORS_STANDARD_BLUE", "ID_COLORS_STANDARD_GREEN"}));

    // Captions differing only by blank and "_" keep their own items.
    for (const QString& id : {layouts[2], layouts[3]}) {
        w->tbMain_ToolClick(id);
        EXPECT_EQ(files::fileName(oReportEngine->HTML_CurrentXSL()), tb.caption(id) == "Two Words" ? "A.xsl" : "B.xsl");
    }
    EXPECT_EQ(tb.dropDownBand("ID_Colors"), "ID_COLORS_Two_Words_Colors");

    prompts->messageAnswers.push_back(ui::MsgResult::Yes);
    click(*w, "O'Brien Stock|2|1");
    w->tbMain_ToolClick("ID_STYLESHEETSMENU_STANDARD");
    EXPECT_NE(testsupport::readFile(previewFile("temp.html")).find("ReportFormat1a.css"), std::string::npos);
    // A style without an image prefix still sets its colour scheme; the preview follows.
    w->tbMain_ToolClick("ID_COLORS_STANDARD_GREEN");
    EXPECT_EQ(oReportEngine->HTML_ColourScheme(), "Green");
    EXPECT_EQ(oReportEngine->HTML_ImagePrefix(), "blu");
    EXPECT_NE(testsupport::readFile(previewFile("temp.html")).find("ReportFormat1b.css"), std::string::npos);
    // The pane reads the chosen sheet from the page, in the terms it knows.
    const std::string green = testsupport::readFile(previewFile("temp.html"));
    EXPECT_NE(green.find("<style>"), std::string::npos);
    EXPECT_NE(green.find("background: #17452a"), std::string::npos);
    for (const char* unknown : {"var(--", "@import", "gradient(", "<header"}) EXPECT_EQ(green.find(unknown), std::string::npos);
    EXPECT_TRUE(errors.empty()) << errors.front().description;
    closeWindow(*w);
}

TEST_F(ExplorerProject, ReportOptionsChangeTheNextPreview) {
    auto w = open();
    prompts->messageAnswers.push_back(ui::MsgResult::Yes);
    click(*w, "O'Brien Stock|2|1");
    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto* d = dynamic_cast<frmReportSetup*>(QApplication::activeModalWidget());
        if (!d) return;
        shown = true;
        EXPECT_EQ(d->atReportOptions->currentIndex(), 0);
        const int green = d->cboStyleSheet->findText("Green");
        d->cboStyleSheet->setCurrentIndex(green);
        emit d->cboStyleSheet->activated(green);
        d->OKButton->click();
    });
    w->tbMain_ToolClick("ID_Format_ReportOptions");
    ASSERT_TRUE(shown);
    EXPECT_EQ(oReportEngine->HTML_ColourScheme(), "Green");
    EXPECT_NE(testsupport::readFile(previewFile("temp.html")).find("ReportFormat1b.css"), std::string::npos);

    // Tables without any column chosen leave the preview at once.
    files::writeTextFile(files::joinPath(DataFolder, "CustomizeColumns.xml"),
                         testsupport::readFile(DALV_SOURCE_DIR "/data/CustomizeColumns.xml"));
    EXPECT_NE(testsupport::readFile(previewFile("temp.html")).find("id=\"tables\""), std::string::npos);
    QTimer::singleShot(0, [&] {
        if (auto* d = dynamic_cast<frmDisplayColumns*>(QApplication::activeModalWidget())) {
            d->cmdRemoveAll->click();  // "Tables", the first kind
            d->cmdOK->click();
        }
    });
    w->tbMain_ToolClick("ID_Format_ChooseColumns");
    EXPECT_EQ(testsupport::readFile(previewFile("temp.html")).find("id=\"tables\""), std::string::npos);
    EXPECT_NE(testsupport::readFile(previewFile("temp.html")).find("id=\"views\""), std::string::npos);
    EXPECT_TRUE(errors.empty()) << errors.front().description;
    closeWindow(*w);
}

TEST_F(ExplorerProject, GenerateBatchFileWritesForTheLoadedConnection) {
    auto w = open();
    prompts->messageAnswers.push_back(ui::MsgResult::Yes);
    click(*w, "O'Brien Stock|2|1");
    bool shown = false;
    std::string databaseLabel;
    QTimer::singleShot(0, [&] {
        auto* d = dynamic_cast<frmGenerateBatchFile*>(QApplication::activeModalWidget());
        if (!d) return;
        shown = true;
        EXPECT_EQ(d->txtBatchFile->text().toStdString(),
                  files::joinPath(ReportsFolder, "Batch Process", "O'Brien Stock.sh"));
        databaseLabel = d->lblDatabaseNameValue->text().toStdString();
        // The last checked box cannot be cleared; its tab stays enabled.
        d->chkOutputType[1]->click();
        d->chkOutputType[2]->click();
        EXPECT_FALSE(d->chkOutputType[0]->isEnabled());
        EXPECT_EQ(d->DisabledOutputIndex, 0);
        EXPECT_TRUE(d->atOutputSettings->isTabEnabled(0));
        EXPECT_FALSE(d->atOutputSettings->isTabEnabled(2));
        d->chkOutputType[2]->click();
        EXPECT_TRUE(d->chkOutputType[0]->isEnabled());
        EXPECT_TRUE(d->atOutputSettings->isTabEnabled(2));
        d->cmdOK->click();
    });
    w->tbMain_ToolClick("ID_Tools_GenerateBatchFile");
    EXPECT_TRUE(shown);
    const std::string script = files::joinPath(ReportsFolder, "Batch Process", "O'Brien Stock.sh");
    EXPECT_EQ(databaseLabel, "O'Brien Stock");  // an OTHERS connection has no file path
    // The script is named, never handed to the desktop, which could run it.
    EXPECT_TRUE(prompts->opened.empty());
    EXPECT_NE(prompts->lastMessage().find(script), std::string::npos);
    xml::Document doc;
    ASSERT_TRUE(doc.load(files::joinPath(ReportsFolder, "Batch Process", "O'Brien Stock.xml")));
    // The document lists every report whatever boxes were cleared.
    EXPECT_EQ(doc.count("DALVIMPORT/DATABASE[ENGINE='12']/REPORTS/REPORT"), 3);
    EXPECT_EQ(doc.selectSingleNode("DALVIMPORT/DATABASE/CONNECTIONSTRING").text(), "Driver=SQLite3;Database=" + stock);
    closeWindow(*w);
}
