// The query window on a real SQLite database through the ODBC driver.
#include "platform/db/Connection.h"
#include "platform/fs/Paths.h"
#include "platform/ui/Prompter.h"
#include "platform/ui/KeyState.h"
#include "platform/text/Text.h"
#include "platform/xml/Xml.h"
#include "querytool/RecordsetModel.h"
#include "querytool/frmBrenik.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

class QueryWindow : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    testsupport::ScopedPrompter prompts;
    std::string dbPath = dir.file("q.db");

    // A window on dbPath through a hand-off document.
    std::unique_ptr<frmBrenik> open(const std::string& query = "", bool executeNow = false,
                                    const std::string& connection = "") {
        const std::string cs = connection.empty() ? "Driver=SQLite3;Database=" + dbPath : connection;
        const std::string doc = "<?xml version=\"1.0\"?><BRENIK ExecuteNow=\"" +
                                std::string(executeNow ? "True" : "False") + "\"><CONNECTIONSTRING><![CDATA[" + cs +
                                "]]></CONNECTIONSTRING><DATABASENAME>q</DATABASENAME><QUERY><![CDATA[" + query +
                                "]]></QUERY></BRENIK>";
        files::writeTextFile(dir.file("h_Query.xml"), doc, true);
        auto w = std::make_unique<frmBrenik>("  " + dir.file("h_Query.xml") + " ", DALV_BIN_DIR);
        w->show();
        return w;
    }
    static bool finish(frmBrenik& w, int ms = 20000) {
        QElapsedTimer t;
        t.start();
        while (w.isRunning() && t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
        return !w.isRunning();
    }
    static void pump(int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    static std::string messages(frmBrenik& w) { return w.txtMessages->toPlainText().toStdString(); }
    static void run(frmBrenik& w, const std::string& sql) {
        w.txtQuery->setPlainText(QString::fromStdString(sql));
        w.txtQuery->moveCursor(QTextCursor::Start);
        w.Brenik();
    }
};

// The same run on SQLite, PostgreSQL and MariaDB.
class QueryRun : public QueryWindow, public ::testing::WithParamInterface<const char*> {};

TEST_P(QueryRun, StatementsRunOneAfterAnotherWithTheDriversCounts) {
    std::string connection;
    if (std::string(GetParam()) != "sqlite") {
        const char* cs = std::getenv(GetParam());
        if (!cs || !*cs) GTEST_SKIP() << GetParam() << " not set: run scripts/dbservers.sh start";
        connection = cs;
    }
    auto w = open("", false, connection);
    ASSERT_TRUE(w->isConnected()) << messages(*w);
    // Test processes share the servers: a table of this process.
    const std::string t = "brenik_run_" + std::to_string(::getpid());
    run(*w, "drop table if exists " + t);
    ASSERT_TRUE(finish(*w));
    // Blank lines are not run; a failing statement does not stop the ones after it; a column
    // named created_on does not make a query a definition.
    run(*w,
        "create table " + t + " (id integer, created_on varchar(10))\n\n   \n"
        "insert into " + t + " values (1, 'a'), (2, 'b'), (3, 'c')\n"
        "select nonsense from nowhere_at_all\n"
        "update " + t + " set created_on = 'x' where id = 1\n"
        "select created_on from " + t + " where id = 99\n"
        "delete from " + t + " where id > 1\n"
        "select id, created_on from " + t + "\n");
    ASSERT_TRUE(finish(*w));
    const QStringList lines = w->txtMessages->toPlainText().split('\n');
    ASSERT_GE(lines.size(), 7) << messages(*w);
    EXPECT_EQ(lines[0], "Query executed successfully.");
    EXPECT_EQ(lines[1], "3 record(s) affected by the query");
    EXPECT_NE(lines[2].indexOf("nowhere_at_all"), -1) << messages(*w);
    const QStringList tail = lines.mid(lines.size() - 4);
    EXPECT_EQ(tail, (QStringList{"1 record(s) affected by the query", "No rows affected by the query.",
                                 "2 record(s) affected by the query", "1 record(s) affected by the query"}))
        << messages(*w);
    EXPECT_TRUE(prompts->messages.empty());
    // The grid holds the last rows.
    EXPECT_EQ(w->dgResult->model()->rowCount(), 1);
    EXPECT_EQ(w->dgResult->model()->index(0, 1).data().toString(), "x");
    EXPECT_EQ(w->sspStatus->text(), "Total rows fetched: 1");
    // Floating-point numbers as the engine's own client shows them, in the grid and the HTML.
    const std::string e = GetParam();
    run(*w, e == "sqlite" ? "select 300000.0, 0.1, 1e300, 1.5e-7"
            : e == "DALV_TEST_PG"
                ? "select 300000::float8, 0.1::float8, 1e300::float8, '-0'::float8, 'NaN'::float8, "
                  "'-Infinity'::float8, 0.1::float4, 1e6::float4, 1e-5::float8"
                : "select 300000e0, 0.1e0, 1e300, -0e0, 1e15, 1e-15, 1.5e-16, cast(1e6 as float)");
    ASSERT_TRUE(finish(*w));
    const QStringList shown = e == "sqlite" ? QStringList{"300000.0", "0.1", "1.0e+300", "1.5e-07"}
                              : e == "DALV_TEST_PG"
                                  ? QStringList{"300000", "0.1", "1e+300", "-0", "NaN", "-Infinity", "0.1", "1e+06", "1e-05"}
                                  : QStringList{"300000", "0.1", "1e300", "0", "1e15", "0.000000000000001", "1.5e-16",
                                                "1000000"};
    QStringList got;
    for (int c = 0; c < w->dgResult->model()->columnCount(); ++c) got << w->dgResult->model()->index(0, c).data().toString();
    EXPECT_EQ(got, shown) << messages(*w);
    const std::string html = w->resultHtml();
    for (const QString& v : shown) EXPECT_NE(html.find("<td>" + v.toStdString() + "&nbsp;"), std::string::npos) << html;
    // A statement without rows leaves no earlier rows or total behind.
    run(*w, "drop table " + t);
    ASSERT_TRUE(finish(*w));
    EXPECT_EQ(w->dgResult->model()->rowCount(), 0);
    EXPECT_EQ(w->sspStatus->text(), "Query executed successfully.");
}

INSTANTIATE_TEST_SUITE_P(Engines, QueryRun, ::testing::Values("sqlite", "DALV_TEST_PG", "DALV_TEST_MARIADB"),
                         [](const auto& info) {
                             return std::string(info.param) == "sqlite" ? std::string("SQLite")
                                                                        : std::string(info.param).substr(10);
                         });

// A new run, and closing the window, cancel the running statement in the driver: one slow
// before its first row, one slow after its first 1,000 rows.
struct SlowStatements {
    const char* engine;
    const char* slowStart;
    const char* slowAfterRows;
    const char* running;  // counts this process's statements still running (or, on PostgreSQL, sessions left)
};

class QueryCancel : public QueryWindow, public ::testing::WithParamInterface<SlowStatements> {};

TEST_P(QueryCancel, ANewRunAndClosingCancelTheStatementInTheDriver) {
    const SlowStatements& p = GetParam();
    std::string connection;
    if (std::string(p.engine) != "sqlite") {
        const char* cs = std::getenv(p.engine);
        if (!cs || !*cs) GTEST_SKIP() << p.engine << " not set: run scripts/dbservers.sh start";
        connection = cs;
    }
    // Marks this process's statements for the server's list.
    const std::string name = "brenik_cancel_" + std::to_string(::getpid());
    const std::string marker = " /* " + name + " */";
    db::Connection watcher;
    if (*p.running) watcher.open(connection);
    auto stillRunning = [&] {
        if (!*p.running) return false;
        db::Recordset rs = watcher.execute(text::replaceAll(p.running, "MARKER", name));
        return rs.field(0).toInt() > 0;
    };
    auto w = open("", false, connection);
    ASSERT_TRUE(w->isConnected()) << messages(*w);

    // The MariaDB driver reads the whole result before the first row: there the new run meets
    // the slow start.
    run(*w, std::string(*p.slowAfterRows ? p.slowAfterRows : p.slowStart) + marker);
    QElapsedTimer t;
    t.start();
    if (*p.slowAfterRows) {
        while (w->dgResult->model()->rowCount() < 1000 && t.elapsed() < 20000) QApplication::processEvents();
        ASSERT_EQ(w->dgResult->model()->rowCount(), 1000);
    }
    pump(200);
    ASSERT_TRUE(w->isRunning());
    t.restart();
    run(*w, "select 'after'");
    ASSERT_TRUE(finish(*w, 20000));
    EXPECT_LT(t.elapsed(), 10000);
    EXPECT_EQ(w->dgResult->model()->index(0, 0).data().toString(), "after");
    EXPECT_EQ(messages(*w), "1 record(s) affected by the query");

    run(*w, p.slowStart + marker);
    pump(200);
    ASSERT_TRUE(w->isRunning());
    t.restart();
    EXPECT_TRUE(w->close());
    EXPECT_LT(t.elapsed(), 10000);
    EXPECT_FALSE(w->isVisible());
    w.reset();
    // The server no longer runs either statement; the PostgreSQL session has ended.
    for (t.restart(); stillRunning() && t.elapsed() < 10000;) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(stillRunning());
}

INSTANTIATE_TEST_SUITE_P(
    Engines, QueryCancel,
    ::testing::Values(
        SlowStatements{"sqlite",
                       "with recursive n(i) as (select 1 union all select i + 1 from n where i < 4000000000) "
                       "select count(*) from n",
                       "with recursive n(i) as (select 1 union all select i + 1 from n where i < 4000000000) "
                       "select i from n where i <= 1000 or i > 3999999999",
                       ""},
        SlowStatements{"DALV_TEST_PG", "select pg_sleep(40)",
                       "select i, case when i > 1000 then pg_sleep(40) end from generate_series(1, 2000) i",
                       "select count(*) from pg_stat_activity where pid <> pg_backend_pid() and query like '%MARKER%'"},
        SlowStatements{"DALV_TEST_MARIADB", "select sleep(40)", "",
                       "select count(*) from information_schema.processlist where command = 'Query' "
                       "and id <> connection_id() and info like '%MARKER%'"}),
    [](const auto& info) {
        const std::string e = info.param.engine;
        return e == "sqlite" ? std::string("SQLite") : e.substr(10);
    });

TEST_F(QueryWindow, KeysAndTheCaretChooseWhatRuns) {
    auto w = open();
    // Every menu and every item of a menu has an access key of its own.
    QSet<QKeySequence> menuKeys;
    for (QAction* menu : w->menuBar()->actions()) {
        EXPECT_FALSE(QKeySequence::mnemonic(menu->text()).isEmpty()) << menu->text().toStdString();
        EXPECT_FALSE(menuKeys.contains(QKeySequence::mnemonic(menu->text()))) << menu->text().toStdString();
        menuKeys.insert(QKeySequence::mnemonic(menu->text()));
        QSet<QKeySequence> itemKeys;
        for (QAction* item : menu->menu()->actions()) {
            if (item->isSeparator()) continue;
            const QKeySequence key = QKeySequence::mnemonic(item->text());
            EXPECT_FALSE(key.isEmpty() || itemKeys.contains(key)) << item->text().toStdString();
            itemKeys.insert(key);
        }
    }
    EXPECT_EQ(menuKeys.size(), 2);
    w->txtQuery->setPlainText("select 5");
    w->txtQuery->setFocus();
    auto press = [&](int key, Qt::KeyboardModifiers mods) {
        QKeyEvent e(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(w->txtQuery, &e);
    };
    press(Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(w->isRunning());
    EXPECT_EQ(w->txtQuery->toPlainText(), "select 5");
    press(Qt::Key_F5, Qt::NoModifier);
    EXPECT_TRUE(w->isRunning());
    ASSERT_TRUE(finish(*w));
    EXPECT_EQ(w->dgResult->model()->index(0, 0).data().toString(), "5");
    // Insert flips its panel once, though the key travels on from the editor.
    const bool ins = w->sspIns->isOn();
    press(Qt::Key_Insert, Qt::NoModifier);
    EXPECT_NE(w->sspIns->isOn(), ins);

    // The caret's line and the lines after it run; a selection runs its whole lines.
    w->txtQuery->setPlainText("select 1\nselect 2\nselect 3 as three\nselect 4");
    QTextCursor c = w->txtQuery->textCursor();
    c.setPosition(11);
    w->txtQuery->setTextCursor(c);
    EXPECT_EQ(w->statementsToRun(), (std::vector<std::string>{"select 2", "select 3 as three", "select 4"}));
    c.setPosition(12, QTextCursor::KeepAnchor);
    c.setPosition(20, QTextCursor::KeepAnchor);
    w->txtQuery->setTextCursor(c);
    EXPECT_EQ(w->statementsToRun(), (std::vector<std::string>{"select 2", "select 3 as three"}));
    // A line break inside a literal, a name or parentheses stays in its statement; a quote in a
    // comment opens nothing.
    w->txtQuery->setPlainText("select 'a\n\nb' as \"x\ny\" -- it's\nselect (1\n+ 2), [it's]\nselect 3");
    w->txtQuery->moveCursor(QTextCursor::Start);
    EXPECT_EQ(w->statementsToRun(),
              (std::vector<std::string>{"select 'a\n\nb' as \"x\ny\" -- it's", "select (1\n+ 2), [it's]", "select 3"}));
}

TEST_F(QueryWindow, LargeResultsArriveInStepsAndANewRunCancelsTheFetch) {
    auto w = open();
    const std::string big = "with recursive n(i) as (select 1 union all select i + 1 from n where i < 100000) "
                            "select i, i * 2, 'row ' || i from n";
    int turns = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++turns; });
    ticker.start(0);
    run(*w, big);
    // The event loop keeps turning while the rows come in.
    int partial = 0;
    while (w->isRunning()) {
        QApplication::processEvents();
        const int rows = w->dgResult->model()->rowCount();
        if (rows > 0 && rows < 100000) partial = rows;
    }
    EXPECT_GT(partial, 0);
    EXPECT_GT(turns, 2);
    EXPECT_EQ(w->dgResult->model()->rowCount(), 100000);
    EXPECT_EQ(w->dgResult->model()->index(99999, 2).data().toString(), "row 100000");
    EXPECT_EQ(w->sspStatus->text(), "Total rows fetched: 100000");
    EXPECT_EQ(messages(*w), "100000 record(s) affected by the query");

    // Cancel: a new run while a fetch is going ends it. While it runs, the earlier rows and
    // total are gone. The rows never end, so only the cancel lets the run finish.
    run(*w, "with recursive n(i) as (select 1 union all select i + 1 from n) select i, 'row ' || i from n");
    EXPECT_EQ(w->dgResult->model()->rowCount(), 0);
    EXPECT_EQ(w->sspStatus->text(), "Executing query...");
    QElapsedTimer waited;
    waited.start();
    while (w->dgResult->model()->rowCount() < 2000 && waited.elapsed() < 20000) QApplication::processEvents();
    ASSERT_GE(w->dgResult->model()->rowCount(), 2000);
    ASSERT_TRUE(w->isRunning());
    run(*w, "select 'after'");
    EXPECT_EQ(w->dgResult->model()->rowCount(), 0);
    EXPECT_EQ(w->sspStatus->text(), "Executing query...");
    ASSERT_TRUE(finish(*w));
    EXPECT_EQ(w->dgResult->model()->rowCount(), 1);
    EXPECT_EQ(messages(*w), "1 record(s) affected by the query");
}

TEST_F(QueryWindow, HtmlOutputIsAWholePageAndOnlyTheGridCutsLongValues) {
    auto w = open();
    w->SaveQueryOutputAsHTML();
    EXPECT_EQ(prompts->lastMessage(), "No results found to save");
    run(*w, "select '<b>&\"' as \"a,b\", null as c union all select 'Größe', 2");
    ASSERT_TRUE(finish(*w));
    EXPECT_EQ(w->resultHtml(),
              "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<meta charset=\"utf-8\">\r\n<title>Query result - q</title>\r\n"
              "</head>\r\n<body>\r\n<table border=\"1\" cellspacing=\"1\" cellpadding=\"1\">\r\n"
              "<tr><th>a,b</th><th>c</th></tr>\r\n<tr><td>&lt;b&gt;&amp;&quot;&nbsp;</td><td>&nbsp;</td></tr>\r\n"
              "<tr><td>Größe&nbsp;</td><td>2&nbsp;</td></tr>\r\n</table>\r\n</body>\r\n</html>\r\n");
    prompts->fileAnswers.push_back(dir.file("out.html"));
    w->SaveQueryOutputAsHTML();
    EXPECT_EQ(testsupport::readFile(dir.file("out.html")), "\xEF\xBB\xBF" + w->resultHtml());

    // A long value: the cell shows its first 64 KiB, cut before a character that would not fit
    // whole, and says so; copy and the page keep all of it. A NUL shows as the replacement mark.
    run(*w, "create table nul_blob (b blob)\ninsert into nul_blob values (x'6162006364')");
    ASSERT_TRUE(finish(*w));
    run(*w, "select replace(hex(zeroblob(70000)), '00', 'éa') as big, (select b from nul_blob) as nul");
    ASSERT_TRUE(finish(*w));
    const QModelIndex big = w->dgResult->model()->index(0, 0);
    const QString whole = QString(70000, QChar(0xE9)).replace(QChar(0xE9), QStringLiteral("éa"));
    EXPECT_EQ(big.data(RecordsetModel::WholeValueRole).toString(), whole);
    const QString shown = big.data().toString();
    const qsizetype mark = shown.indexOf(QStringLiteral(" \u2026 [cut: "));
    ASSERT_GT(mark, 0) << shown.right(80).toStdString();
    EXPECT_EQ(shown.left(mark), whole.left(mark));
    EXPECT_EQ(shown.left(mark).toUtf8().size(), 65535);  // 65536 would split an 'é'
    EXPECT_EQ(big.data(Qt::ToolTipRole).toString(), shown);
    EXPECT_EQ(w->dgResult->model()->index(0, 1).data().toString(), QStringLiteral("ab\uFFFDcd"));
    w->activateWindow();
    w->dgResult->setFocus();
    w->dgResult->selectionModel()->select(big, QItemSelectionModel::Select);
    w->CutCopyText(false);
    EXPECT_EQ(QApplication::clipboard()->text(), whole);
    const std::string page = w->resultHtml();
    EXPECT_NE(page.find("<td>" + whole.toStdString() + "&nbsp;</td><td>ab\xEF\xBF\xBD" "cd&nbsp;</td>"),
              std::string::npos);
}

TEST_F(QueryWindow, QueryFilesKeepTheirTextAndNewRunsOnlyWhatIsAsked) {
    auto w = open();
    EXPECT_EQ(w->windowTitle(), "Dalvane - Execute Query");
    const QString text = QString::fromUtf8("select 'Größe — ü' as x;\nselect 2\n");
    w->txtQuery->setPlainText(text);
    prompts->fileAnswers.push_back(dir.file("q.sql"));
    w->SaveQueryFile(true);
    EXPECT_EQ(testsupport::readFile(dir.file("q.sql")), text.toStdString());
    EXPECT_EQ(w->queryFile(), dir.file("q.sql"));
    EXPECT_EQ(w->windowTitle(), "Dalvane - Execute Query - q.sql");
    // The first dialog opens in the documents folder, the next where the last one ended.
    EXPECT_EQ(prompts->files.at(0).initialPath,
              QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString());
    // Save with a current file asks nothing.
    w->txtQuery->setPlainText(text + "select 3");
    w->SaveQueryFile(false);
    EXPECT_EQ(prompts->files.size(), 1u);
    w->NewQueryFile();
    EXPECT_TRUE(w->txtQuery->toPlainText().isEmpty());
    EXPECT_EQ(w->windowTitle(), "Dalvane - Execute Query");
    prompts->fileAnswers.push_back(dir.file("q.sql"));
    w->OpenQueryFile();
    EXPECT_EQ(w->txtQuery->toPlainText(), text + "select 3");
    EXPECT_EQ(prompts->files.back().initialPath, dir.path());
    EXPECT_EQ(w->windowTitle(), "Dalvane - Execute Query - q.sql");
    prompts->fileAnswers.push_back(dir.file("missing.sql"));
    w->OpenQueryFile();
    EXPECT_EQ(prompts->lastMessage(), "Query file does not exist");
}

TEST_F(QueryWindow, HandOffQueryIsPlacedOrRunAndAFailedConnectionIsShown) {
    {
        auto w = open("select 7 as seven\nunion all select 8", false);
        EXPECT_EQ(w->txtQuery->toPlainText().toStdString(), "select 7 as seven\nunion all select 8");
        EXPECT_FALSE(w->isRunning());
        EXPECT_EQ(w->databaseName(), "q");
    }
    {
        // Run at once as one statement, line breaks included.
        auto w = open("select 7 as seven\nunion all select 8", true);
        ASSERT_TRUE(finish(*w));
        EXPECT_EQ(w->dgResult->model()->rowCount(), 2);
        EXPECT_EQ(w->txtQuery->textCursor().selectedText().size(), 36);
    }
    {
        auto w = open("select 1", true, "Driver=NoSuchDriverHere;Database=x");
        EXPECT_FALSE(w->isConnected());
        EXPECT_NE(messages(*w).find("The connection could not be opened."), std::string::npos);
        EXPECT_EQ(w->atOutput->currentIndex(), 1);
        EXPECT_TRUE(w->txtQuery->toPlainText().isEmpty());
    }
    {
        // An Access database through the MDB Tools driver.
        auto w = open("SELECT CompanyName FROM Customers WHERE Country = 'Germany'", true,
                      "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + testsupport::accessCopy(dir, "nwind.mdb"));
        ASSERT_TRUE(finish(*w));
        EXPECT_EQ(w->dgResult->model()->rowCount(), 11) << messages(*w);
        EXPECT_EQ(w->dgResult->model()->index(0, 0).data().toString(), "Alfreds Futterkiste");
    }
    {
        // No document: an empty window without a word.
        frmBrenik w(dir.file("nothing_here.xml"), DALV_BIN_DIR);
        EXPECT_FALSE(w.isConnected());
        EXPECT_TRUE(w.txtMessages->toPlainText().isEmpty());
        EXPECT_TRUE(prompts->messages.empty());
    }
    {
        // A query past the parser's limit on one text (10 MB) arrives whole, on an open connection.
        std::string query = "select 1 as x";
        const std::string line = "\nunion all select " + std::string(1000, '9') + " -- \xC3\xBC";
        while (query.size() < 10'500'000) query += line;
        xml::Document doc;
        xml::Node root = doc.createRoot("BRENIK");
        root.setAttribute("ExecuteNow", "False");
        root.appendElement("CONNECTIONSTRING").appendCData("Driver=SQLite3;Database=" + dbPath);
        root.appendElement("DATABASENAME").setText("q");
        root.appendElement("QUERY").appendCData(query);
        ASSERT_TRUE(files::writeTextFile(dir.file("big_Query.xml"), doc.xml(), true));
        frmBrenik w(dir.file("big_Query.xml"), DALV_BIN_DIR);
        EXPECT_TRUE(w.isConnected());
        EXPECT_TRUE(w.txtQuery->toPlainText().toStdString() == query);
        EXPECT_TRUE(prompts->messages.empty());

        // A document that cannot be read is said so.
        ASSERT_TRUE(files::writeTextFile(dir.file("bad_Query.xml"), "<BRENIK><QUERY><![CDATA[x", true));
        frmBrenik bad(dir.file("bad_Query.xml"), DALV_BIN_DIR);
        EXPECT_FALSE(bad.isConnected());
        EXPECT_NE(prompts->lastMessage().find("The query could not be read from"), std::string::npos);
    }
}

}  // namespace
