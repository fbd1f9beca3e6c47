// Batch run end to end: the dalvane program is run on batch documents against the SQLite sample
// database (and PostgreSQL / MariaDB when their test servers are up), and the reports, the
// printed entry lines and the exit status are checked. The connection-string builders are
// checked in process.
#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "options/cReport.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/docx/Zip.h"
#include "platform/fs/Paths.h"
#include "reports/bBatchFile.h"
#include "reports/bHandleCMD_Batch.h"
#include "startup/bStartup.h"
#include "support/TestSupport.h"
#include "test_html_support.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

namespace {

namespace sfs = std::filesystem;
using testsupport::readFile;

struct Outcome {
    bool finished = false;
    int exitCode = -1;
    std::string out, err;
    std::vector<std::string> lines;  // the "DATABASE n: code message" lines
    qint64 millis = 0;

    // The codes of the entry lines, in order.
    std::vector<int> codes() const {
        std::vector<int> c;
        static const std::regex re(R"(^DATABASE \d+: (\d+) )");
        for (const auto& l : lines) {
            std::smatch m;
            if (std::regex_search(l, m, re)) c.push_back(std::stoi(m[1]));
        }
        return c;
    }
};

std::string dalvanePath() {
    if (const char* p = std::getenv("DALV_DALVANE"); p && *p) return p;
    return files::joinPath(DALV_BIN_DIR, "dalvane");
}

// Replaces every occurrence of from in text.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t p = 0; (p = text.find(from, p)) != std::string::npos; p += to.size()) text.replace(p, from.size(), to);
    return text;
}

std::string xmlEscaped(const std::string& s) {
    return replaced(replaced(replaced(s, "&", "&amp;"), "<", "&lt;"), "\"", "&quot;");
}

// A port on 127.0.0.1 where nothing listens.
int closedPort() {
    for (int port = 1; port < 1024; ++port) {
        std::string probe = "exec 3<>/dev/tcp/127.0.0.1/" + std::to_string(port);
        QProcess p;
        p.start("bash", {"-c", QString::fromStdString(probe)});
        p.waitForFinished(3000);
        if (p.exitCode() != 0) return port;
    }
    return 9;
}

class BatchRun : public ::testing::Test {
protected:
    static inline std::unique_ptr<testsupport::TempDir> shared;
    static inline std::string sampleDb;

    testsupport::TempDir dir;

    static void SetUpTestSuite() {
        shared = std::make_unique<testsupport::TempDir>();
        sampleDb = shared->file("sample.db");
        QProcess sqlite;
        sqlite.setStandardInputFile(QString::fromStdString(files::joinPath(DALV_SOURCE_DIR, "examples", "sample.sql")));
        sqlite.start("sqlite3", {QString::fromStdString(sampleDb)});
        ASSERT_TRUE(sqlite.waitForFinished(60000));
        ASSERT_EQ(sqlite.exitCode(), 0) << sqlite.readAllStandardError().toStdString();
    }
    static void TearDownTestSuite() { shared.reset(); }

    std::string homeName = "home";
    std::map<QString, QString> environment;  // added to the run's environment
    std::string home() const { return dir.file(homeName); }
    std::string reportsRoot() const { return files::joinPath(home(), "Documents", "Dalvane Reports"); }
    std::string sampleConnection() const { return "Driver=SQLite3;Database=" + sampleDb; }

    // A batch document of the given DATABASE entries.
    std::string writeBatch(const std::string& name, const std::string& entries) {
        const std::string path = dir.file(name);
        files::writeTextFile(path, "<?xml version=\"1.0\"?>\n<DALVIMPORT>\n" + entries + "</DALVIMPORT>\n");
        return path;
    }
    // A batch document from one of examples/ with its placeholders filled in.
    std::string fromExample(const std::string& example, const std::string& reportDir) {
        std::string text = readFile(files::joinPath(DALV_SOURCE_DIR, "examples", example));
        text = replaced(text, "@SAMPLE_DB@", xmlEscaped(sampleDb));
        text = replaced(text, "@REPORT_DIR@", xmlEscaped(reportDir));
        const std::string path = dir.file(example);
        files::writeTextFile(path, text);
        return path;
    }
    std::string sqliteEntry(const std::string& reports, const std::string& name = "sample") const {
        return "<DATABASE><ENGINE>12</ENGINE><DATABASENAME>" + name + "</DATABASENAME><CONNECTIONSTRING>" +
               xmlEscaped(sampleConnection()) + "</CONNECTIONSTRING><REPORTS>" + reports + "</REPORTS></DATABASE>\n";
    }

    // Runs dalvane on path with a private home and no display; fails the test on a hang.
    // With program given, that program is started without arguments instead (path unused).
    Outcome run(const std::string& path, int timeoutMs = 120000, const std::string& program = {}) {
        Outcome o;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* k : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_DOCUMENTS_DIR"}) env.remove(k);
        files::createFolders(home());
        env.insert("HOME", QString::fromStdString(home()));
        env.insert("XDG_DATA_HOME", QString::fromStdString(files::joinPath(home(), ".local/share")));
        env.insert("XDG_CONFIG_HOME", QString::fromStdString(files::joinPath(home(), ".config")));
        env.insert("XDG_CACHE_HOME", QString::fromStdString(files::joinPath(home(), ".cache")));
        for (const auto& [k, v] : environment) env.insert(k, v);
        QProcess p;
        p.setProcessEnvironment(env);
        QElapsedTimer timer;
        timer.start();
        const std::string started = program.empty() ? dalvanePath() : program;
        p.start(QString::fromStdString(started), program.empty() ? QStringList{QString::fromStdString(path)} : QStringList{});
        if (!p.waitForStarted(10000)) {
            ADD_FAILURE() << "cannot start " << started;
            return o;
        }
        o.finished = p.waitForFinished(timeoutMs);
        if (!o.finished) {
            p.kill();
            p.waitForFinished(5000);
            ADD_FAILURE() << "the batch run did not end within " << timeoutMs << " ms";
        }
        o.millis = timer.elapsed();
        o.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        o.out = p.readAllStandardOutput().toStdString();
        o.err = p.readAllStandardError().toStdString();
        std::istringstream lines(o.out);
        for (std::string l; std::getline(lines, l);)
            if (l.rfind("DATABASE ", 0) == 0 || l.rfind("DALVIMPORT:", 0) == 0) o.lines.push_back(l);
        return o;
    }
};

std::string describe(const Outcome& o) { return "stdout:\n" + o.out + "stderr:\n" + o.err; }

// The table names of a structure document.
std::vector<std::string> tableNames(const std::string& path) {
    xml::Document doc;
    std::vector<std::string> names;
    if (!doc.load(path)) return names;
    for (const xml::Node& t : doc.selectNodes("DATABASE/TABLE")) names.push_back(t.attribute("Name"));
    return names;
}

// A .docx is a zip archive holding word/document.xml.
void expectDocx(const std::string& path) {
    const std::string bytes = readFile(path);
    ASSERT_GT(bytes.size(), 4u) << path;
    EXPECT_EQ(bytes.substr(0, 4), std::string("PK\x03\x04", 4)) << path;
    EXPECT_NE(bytes.find("word/document.xml"), std::string::npos) << path;
}

void expectHtmlReport(const std::string& folder, const std::string& stem, const std::vector<std::string>& tables) {
    ASSERT_TRUE(files::fileExists(files::joinPath(folder, stem + "Index1.html"))) << folder;
    EXPECT_TRUE(files::fileExists(files::joinPath(folder, stem + "Tables1.html")));
    const auto broken = htmltest::brokenLinks(folder);
    EXPECT_TRUE(broken.empty()) << broken.size() << " broken links, first: " << broken.front();
    const std::string text = htmltest::allText(folder);
    for (const auto& t : tables) EXPECT_NE(text.find(t), std::string::npos) << "table " << t << " not reported";
}

// ---- the example documents against the SQLite sample ------------------------------------

TEST_F(BatchRun, ExamplesReportTheSampleAsHtmlXmlAndWord) {
    const std::string out = dir.file("reports");
    Outcome x = run(fromExample("sample-xml.xml", out));
    ASSERT_EQ(x.exitCode, 0) << describe(x);
    ASSERT_EQ(x.lines, std::vector<std::string>{"DATABASE 1: 0 Database imported successfully"}) << describe(x);
    const std::vector<std::string> tables = tableNames(files::joinPath(out, "sample.xml"));
    EXPECT_GE(tables.size(), 12u);
    xml::Document structure;
    ASSERT_TRUE(structure.load(files::joinPath(out, "sample.xml")));
    EXPECT_EQ(structure.documentElement().attribute("DatabaseName"), "sample");

    Outcome h = run(fromExample("sample-html.xml", out));
    ASSERT_EQ(h.exitCode, 0) << describe(h);
    EXPECT_EQ(h.codes(), std::vector<int>{0});
    expectHtmlReport(files::joinPath(out, "html"), "sample", tables);

    Outcome w = run(fromExample("sample-word.xml", out));
    ASSERT_EQ(w.exitCode, 0) << describe(w);
    EXPECT_EQ(w.codes(), std::vector<int>{0});
    expectDocx(files::joinPath(out, "sample.docx"));
    // Nothing was ever meant for a window: no prompt reached stderr.
    EXPECT_EQ(h.err.find("[input]"), std::string::npos);
}

TEST_F(BatchRun, StructureDocumentIsReportedAgainAsEngine13) {
    const std::string out = dir.file("reports");
    Outcome x = run(fromExample("sample-xml.xml", out));
    ASSERT_EQ(x.exitCode, 0) << describe(x);
    const std::string structure = files::joinPath(out, "sample.xml");
    const std::string html = dir.file("from13");
    const std::string batch = writeBatch(
        "engine13.xml", "<DATABASE><ENGINE>13</ENGINE><DBNAME>" + xmlEscaped(structure) +
                            "</DBNAME><REPORTS><REPORT Format=\"HTML\" Path=\"" + xmlEscaped(html) +
                            "\"/><REPORT Format=\"XML\" FileName=\"again.xml\"/></REPORTS></DATABASE>"
                            // DATABASENAME is accepted in place of DBNAME
                            "<DATABASE><ENGINE>13</ENGINE><DATABASENAME>" + xmlEscaped(structure) +
                            "</DATABASENAME><REPORTS><REPORT Format=\"XML\" Path=\"" + xmlEscaped(dir.path()) +
                            "\"/></REPORTS></DATABASE>");
    Outcome o = run(batch);
    ASSERT_EQ(o.exitCode, 0) << describe(o);
    EXPECT_EQ(o.codes(), (std::vector<int>{0, 0}));
    const auto tables = tableNames(structure);
    expectHtmlReport(html, "sample", tables);
    EXPECT_EQ(tableNames(files::joinPath(html, "again.xml")), tables);
    EXPECT_EQ(tableNames(dir.file("sample.xml")), tables);
}

// Engines 8-10 read Access files named by DBNAME; a database password comes from the entry and a
// wrong one fails the entry instead of importing.
TEST_F(BatchRun, AccessFilesOfEnginesEightToTen) {
    const std::string jet3 = testsupport::accessCopy(dir, "nwind.mdb");
    const std::string jet4 = testsupport::accessCopy(dir, "DateTestDatabase.mdb");
    const std::string ace = testsupport::accessCopy(dir, "ASampleDatabase.accdb");
    testsupport::setAccessPassword(jet4, "Sesam", true);
    // A file cut after its tables imports with what it lost named; a FIFO fails its own entry and
    // the later entries run.
    const std::string damaged = testsupport::accessCopy(dir, "damaged/truncated.mdb", "truncated.mdb");
    const std::string fifo = dir.file("pipe.mdb");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Cut where a page of MSysACEs that its usage map names is gone: the ADOX-style reader leaves
    // out the privileges.
    const std::string cut = testsupport::accessCopy(dir, "nwind.mdb", "cut.mdb");
    sfs::resize_file(cut, 1112 * 2048);
    const std::string system = testsupport::accessCopy(dir, "System.mdw");
    const auto workgroup = [&](const std::string& password) {
        return "<ACCESSDB><DATABASEPASSWORD>Sesam</DATABASEPASSWORD><SYSTEMDATABASE Name=\"" + xmlEscaped(system) +
               "\"><USERNAME>admin</USERNAME>" + password + "</SYSTEMDATABASE></ACCESSDB>";
    };
    const std::string out = dir.file("access");
    auto entry = [&](int engine, const std::string& file, const std::string& extra, const std::string& reports) {
        return "<DATABASE><ENGINE>" + std::to_string(engine) + "</ENGINE><DBNAME>" + xmlEscaped(file) + "</DBNAME>" +
               extra + "<REPORTS>" + reports + "</REPORTS></DATABASE>";
    };
    const std::string xmlReport = "<REPORT Format=\"XML\" Path=\"" + xmlEscaped(out) + "\"/>";
    const std::string batch = writeBatch(
        "access.xml",
        entry(10, jet3, "", xmlReport + "<REPORT Format=\"HTML\" Path=\"" + xmlEscaped(dir.file("html")) + "\"/>") +
            entry(9, jet4, "<ACCESSDB><DATABASEPASSWORD>Sesam</DATABASEPASSWORD></ACCESSDB>",
                  xmlReport + "<REPORT Format=\"HTML\" Path=\"" + xmlEscaped(out) + "\"/><REPORT Format=\"WORD\"/>") +
            entry(9, jet4, "<ACCESSDB><DATABASEPASSWORD>sesam</DATABASEPASSWORD></ACCESSDB>", xmlReport) +
            entry(9, damaged, "", xmlReport) + entry(9, fifo, "", xmlReport) +
            entry(8, ace, "", xmlReport + "<REPORT Format=\"WORD\" Path=\"" + xmlEscaped(out) + "\"/>") +
            entry(10, cut, "<ACCESSDB><SYSTEMDATABASE><SORTCOLUMNSALPHABETICALLY>1</SORTCOLUMNSALPHABETICALLY>"
                           "</SYSTEMDATABASE></ACCESSDB>", xmlReport) +
            entry(9, jet4, workgroup(""), xmlReport) +
            entry(9, jet4, workgroup("<PASSWORD>Sesam</PASSWORD>"), xmlReport));
    Outcome o = run(batch);
    EXPECT_EQ(o.codes(), (std::vector<int>{0, 0, 10, 0, 10, 0, 0, 0, 10})) << describe(o);
    EXPECT_NE(o.err.find("Warning in cADODB.GetAccessObjectPrivileges: the privileges are left out: \"" + cut +
                         "\" is damaged and cannot be read: rows of MSysACEs are missing"),
              std::string::npos) << o.err;
    EXPECT_EQ(o.lines[3], "DATABASE 4: 0 Database imported successfully, with 2 warnings: the properties of the table "
                          "\"DateTest\" are missing: the defaults, validation rules, descriptions and Required settings "
                          "of its columns are left out; 1 more on the error output");
    EXPECT_NE(o.err.find("is not a regular file"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("Incorrect database login name and password, try again!"), std::string::npos) << o.err;
    const auto tables = tableNames(files::joinPath(out, "nwind.xml"));
    EXPECT_EQ(tables.size(), 9u);
    EXPECT_NE(std::find(tables.begin(), tables.end(), "Umsätze"), tables.end());
    expectHtmlReport(dir.file("html"), "nwind", tables);
    EXPECT_EQ(tableNames(files::joinPath(out, "DateTestDatabase.xml")), std::vector<std::string>{"DateTest"});
    EXPECT_EQ(tableNames(files::joinPath(out, "ASampleDatabase.xml")), std::vector<std::string>{"Asset Items"});
    EXPECT_TRUE(files::fileExists(files::joinPath(out, "ASampleDatabase.docx")));
    for (const auto& f : sfs::recursive_directory_iterator(dir.path())) {  // no file the run left holds the password
        std::string text, path = f.path().string();
        if (!f.is_regular_file() || path == batch) continue;
        if (!docx::readZipEntry(path, "word/document.xml", text)) text = readFile(path);
        EXPECT_EQ(text.find("esam"), std::string::npos) << path;  // "Sesam" and "sesam"
    }
    // A run whose entries all imported, some with warnings, ends well and says so.
    Outcome w = run(writeBatch("warned.xml", entry(9, damaged, "", xmlReport) + entry(8, ace, "", xmlReport)));
    EXPECT_EQ(w.exitCode, 0) << describe(w);
    EXPECT_NE(w.err.find("1 of 2 database entries imported with warnings; the first: Database imported successfully, "
                         "with 2 warnings: the properties"), std::string::npos) << w.err;
}

// ---- where reports go --------------------------------------------------------------------

TEST_F(BatchRun, DefaultFoldersFileNamesAndCarriedPaths) {
    const std::string out = dir.file("out");
    const std::string batch = writeBatch(
        "defaults.xml",
        sqliteEntry("<REPORT Format=\"XML\"/>"                      // no Path: the report root
                    "<REPORT Format=\"WORD\"/>"                      // carried folder, own default name
                    "<REPORT Format=\"HTML\" Path=\"\"/>") +          // empty Path: the report root
            sqliteEntry("<REPORT Format=\"xml\" Path=\"" + xmlEscaped(out) + "\" FileName=\"first.xml\"/>"
                        "<REPORT Format=\"Word\" FileName=\"second.docx\"/>"  // folder of the previous report
                        "<REPORT Format=\"WORD\"/>"                           // default name with .docx
                        "<REPORT/>",                                          // no Format: skipped
                        "shop"));
    Outcome o = run(batch);
    ASSERT_EQ(o.exitCode, 0) << describe(o);
    EXPECT_EQ(o.codes(), (std::vector<int>{0, 0}));
    const std::string root = files::joinPath(reportsRoot(), "samplereport");
    EXPECT_FALSE(tableNames(files::joinPath(root, "sample.xml")).empty());
    expectDocx(files::joinPath(root, "sample.docx"));
    expectHtmlReport(root, "sample", {});
    EXPECT_FALSE(tableNames(files::joinPath(out, "first.xml")).empty());
    expectDocx(files::joinPath(out, "second.docx"));
    expectDocx(files::joinPath(out, "shop.docx"));
    EXPECT_FALSE(sfs::exists(files::joinPath(out, "first.xml/second.docx")));
}

// ---- failures ----------------------------------------------------------------------------

TEST_F(BatchRun, MissingOrMalformedDocumentsAreNotLoaded) {
    const std::string missing = dir.file("missing.xml");
    const std::string malformed = dir.file("malformed.xml");
    files::writeTextFile(malformed, "<DALVIMPORT><DATABASE><ENGINE>12</ENGINE></DALVIMPORT>");
    const std::string other = dir.file("other.xml");
    files::writeTextFile(other, "<DATABASE><TABLE Name=\"t\"/></DATABASE>");
    for (const std::string& path : {missing, malformed, other}) {
        Outcome o = run(path, 60000);
        EXPECT_NE(o.exitCode, 0) << path;
        EXPECT_EQ(o.lines, std::vector<std::string>{"DALVIMPORT: 1 " + path + " could not be loaded"}) << describe(o);
    }
    // A document without entries fails and says so; so does a structure file the connection
    // wizard would refuse.
    Outcome empty = run(writeBatch("empty.xml", ""));
    EXPECT_NE(empty.exitCode, 0) << describe(empty);
    EXPECT_EQ(empty.lines, std::vector<std::string>{"DALVIMPORT: 1 " + dir.file("empty.xml") + " lists no DATABASE entry"});
    Outcome x = run(writeBatch("other13.xml", "<DATABASE><ENGINE>13</ENGINE><DBNAME>" + xmlEscaped(other) + "</DBNAME></DATABASE>"));
    EXPECT_EQ(x.lines, std::vector<std::string>{"DATABASE 1: 11 Failed to create XML for database: other "
                                                "(Invalid dalvane structure file: " + other + ")"}) << describe(x);
    // A structure whose table or column has no name is refused too.
    const std::string head = "<DATABASE DatabaseEngine=\"e\" ServerType=\"s\" DatabaseType=\"12\" DatabaseName=\"d\" "
                             "ServerName=\"n\">";
    std::string entries;
    for (const char* body : {"<TABLE Name=\"t\"><COLUMN Name=\"a\"/><COLUMN Datatype=\"Integer\"/></TABLE>",
                             "<TABLE Name=\"t\"/><TABLE Name=\" \"><COLUMN Name=\"a\"/></TABLE>"}) {
        const std::string file = dir.file("unnamed" + std::to_string(entries.size()) + ".xml");
        files::writeTextFile(file, head + body + "</DATABASE>");
        entries += "<DATABASE><ENGINE>13</ENGINE><DBNAME>" + xmlEscaped(file) + "</DBNAME></DATABASE>";
    }
    Outcome u = run(writeBatch("unnamed.xml", entries));
    EXPECT_NE(u.exitCode, 0);
    ASSERT_EQ(u.codes(), (std::vector<int>{11, 11})) << describe(u);
    EXPECT_NE(u.lines[0].find(": column 2 of table t has no name)"), std::string::npos) << u.lines[0];
    EXPECT_NE(u.lines[1].find(": table 2 has no name)"), std::string::npos) << u.lines[1];
}

// A home that cannot be written: reports with folders of their own are still written, and one
// without fails on its own.
TEST_F(BatchRun, ReadOnlyHomeStopsOnlyReportsWithoutAFolder) {
    files::writeTextFile(dir.file("a-file"), "");
    homeName = "a-file/home";  // no one, root included, makes a folder there
    const std::string out = dir.file("out");
    Outcome o = run(writeBatch("readonly.xml", sqliteEntry("<REPORT Format=\"XML\" Path=\"" + xmlEscaped(out) + "\"/>") +
                                                   sqliteEntry("<REPORT Format=\"XML\"/>")));
    EXPECT_EQ(o.codes(), (std::vector<int>{0, 12})) << describe(o);
    EXPECT_FALSE(tableNames(files::joinPath(out, "sample.xml")).empty());
    EXPECT_NE(o.lines.back().find("Cannot create the default report folder (the report names no Path) " +
                              files::joinPath(reportsRoot(), "samplereport")), std::string::npos) << describe(o);
}

TEST_F(BatchRun, FailingEntriesAreReportedAndTheOthersStillRun) {
    const int port = closedPort();
    const std::string blocker = dir.file("a-file");
    files::writeTextFile(blocker, "not a folder");
    const std::string good = dir.file("good");
    const std::string entries =
        "<DATABASE><ENGINE>99</ENGINE></DATABASE>"
        "<DATABASE><ENGINE>twelve</ENGINE></DATABASE>"
        // SQL Server on a closed port
        "<DATABASE><ENGINE>1</ENGINE><SERVERNAME>127.0.0.1," + std::to_string(port) +
        "</SERVERNAME><DATABASENAME>master</DATABASENAME><AUTHENTICATION Mode=\"sql\"><USERNAME>sa</USERNAME>"
        "<PASSWORD>x;Server=elsewhere</PASSWORD></AUTHENTICATION></DATABASE>"
        // the next SQL Server entry has no server: it must not reuse the one above
        "<DATABASE><ENGINE>1</ENGINE><DATABASENAME>master</DATABASENAME><AUTHENTICATION Mode=\"WINDOWS\"/></DATABASE>"
        "<DATABASE><ENGINE>2</ENGINE><SERVERNAME>   </SERVERNAME><DATABASENAME>master</DATABASENAME>"
        "<AUTHENTICATION Mode=\"WINDOWS\"/></DATABASE>"
        "<DATABASE><ENGINE>1</ENGINE><SERVERNAME>s</SERVERNAME><DATABASENAME>m</DATABASENAME>"
        "<AUTHENTICATION Mode=\"SQL\"><USERNAME>sa</USERNAME></AUTHENTICATION></DATABASE>"
        // PostgreSQL driver on a closed port
        "<DATABASE><ENGINE>12</ENGINE><CONNECTIONSTRING>Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" +
        std::to_string(port) + ";Database=nowhere;UID=u;PWD=p</CONNECTIONSTRING></DATABASE>" +
        // a report folder that cannot be made
        sqliteEntry("<REPORT Format=\"XML\" Path=\"" + xmlEscaped(files::joinPath(blocker, "sub")) + "\"/>"
                    "<REPORT Format=\"HTML\" Path=\"" + xmlEscaped(files::joinPath(blocker, "html")) + "\"/>") +
        sqliteEntry("<REPORT Format=\"PDF\" Path=\"" + xmlEscaped(good) + "\"/>") +
        sqliteEntry("<REPORT Format=\"XML\" Path=\"" + xmlEscaped(good) + "\"/>");
    Outcome o = run(writeBatch("failing.xml", entries));
    ASSERT_TRUE(o.finished);
    EXPECT_NE(o.exitCode, 0);
    EXPECT_EQ(o.codes(), (std::vector<int>{2, 2, 10, 6, 6, 10, 10, 12, 12, 0})) << describe(o);
    ASSERT_EQ(o.lines.size(), 10u) << describe(o);
    EXPECT_NE(o.lines[0].find("\"99\" is not known"), std::string::npos) << o.lines[0];
    EXPECT_NE(o.lines[3].find("Server name is not given"), std::string::npos) << o.lines[3];
    EXPECT_NE(o.lines[5].find("Password not provided"), std::string::npos) << o.lines[5];
    EXPECT_EQ(o.lines[6], "DATABASE 7: 10 Unable to connect to database: nowhere");
    EXPECT_NE(o.lines[7].find("Unable to save the XML report"), std::string::npos) << o.lines[7];
    EXPECT_NE(o.err.find("Please give a valid file name and try again."), std::string::npos) << o.err;
    EXPECT_FALSE(tableNames(files::joinPath(good, "sample.xml")).empty());
    EXPECT_LT(o.millis, 90000);
}

TEST_F(BatchRun, BadInputFailsOnlyItsOwnEntryOrReport) {
    const std::string missingDb = dir.file("none.db");
    const std::string out = dir.file("out");
    files::createFolders(files::joinPath(out, "taken.xml"));
    // Links planted at report names lead outside the folders; none is written through.
    const std::string victim = dir.file("victim.txt"), pages = dir.file("pages");
    files::writeTextFile(victim, "precious");
    files::createFolders(files::joinPath(pages, "styles"));
    for (const std::string& link : {files::joinPath(out, "linked.xml"), files::joinPath(out, "linked.docx"),
                                   files::joinPath(pages, "styles", "ReportFormat1a.css")})
        sfs::create_symlink(victim, link);
    const std::string textDb = dir.file("notes.txt");
    files::writeTextFile(textDb, "plain text, no database\n");
    const std::string entries =
        "<DATABASE><ENGINE>12</ENGINE><CONNECTIONSTRING>Driver=SQLite3;Database=" + xmlEscaped(missingDb) +
        "</CONNECTIONSTRING></DATABASE>"
        "<DATABASE><ENGINE>12</ENGINE><CONNECTIONSTRING>hello world</CONNECTIONSTRING></DATABASE>"
        "<DATABASE><ENGINE>12</ENGINE><CONNECTIONSTRING>Driver=SQLite3;Database=" + xmlEscaped(textDb) +
        "</CONNECTIONSTRING></DATABASE>" +
        // one entry, five reports: the failing ones do not stop the others
        sqliteEntry("<REPORT Format=\"XML\" Path=\"" + xmlEscaped(out) + "\" FileName=\"taken.xml\"/>"
                    "<REPORT Format=\"XML\" FileName=\"../escaped.xml\"/>"
                    "<REPORT Format=\"WORD\" FileName=\"sample.docx\"/>"
                    "<REPORT Format=\"XML\" FileName=\"sub/x.xml\"/>"
                    "<REPORT Format=\"XML\" FileName=\"kept.xml\"/>"
                    "<REPORT Format=\"XML\" FileName=\"linked.xml\"/><REPORT Format=\"WORD\" FileName=\"linked.docx\"/>"
                    "<REPORT Format=\"HTML\" Path=\"" + xmlEscaped(pages) + "\"/>");
    Outcome o = run(writeBatch("bad.xml", entries));
    ASSERT_TRUE(o.finished);
    EXPECT_EQ(o.codes(), (std::vector<int>{10, 10, 10, 12})) << describe(o);
    // Opening never creates the file, nor reads another as an empty database; typed text never
    // reaches the error routine.
    EXPECT_FALSE(sfs::exists(missingDb));
    EXPECT_NE(o.err.find("The database file " + missingDb + " does not exist."), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("The file " + textDb + " is not a SQLite database."), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("\"hello world\" has no value"), std::string::npos) << o.err;
    EXPECT_EQ(o.err.find(" error "), std::string::npos) << o.err;
    // The folder's own name is no file; the reason is the system's.
    ASSERT_EQ(o.lines.size(), 4u) << describe(o);
    EXPECT_NE(o.lines[3].find("taken.xml: Cannot write"), std::string::npos) << o.lines[3];
    EXPECT_NE(o.lines[3].find("Is a directory"), std::string::npos) << o.lines[3];
    EXPECT_FALSE(sfs::exists(dir.file("escaped.xml")));
    EXPECT_FALSE(sfs::exists(files::joinPath(out, "sub")));
    expectDocx(files::joinPath(out, "sample.docx"));
    EXPECT_FALSE(tableNames(files::joinPath(out, "kept.xml")).empty());
    EXPECT_EQ(readFile(victim), "precious");
    for (const char* name : {"linked.xml", "linked.docx"}) {
        EXPECT_TRUE(sfs::is_symlink(files::joinPath(out, name)));
        EXPECT_NE(o.err.find(files::joinPath(out, name) + ", which is a link"), std::string::npos) << name << o.err;
    }
    EXPECT_NE(o.err.find(files::joinPath(pages, "styles/ReportFormat1a.css") + ", which is a link"), std::string::npos)
        << o.err;
    EXPECT_TRUE(htmltest::htmlFiles(pages).empty());
    // The closing line quotes the first failure.
    EXPECT_NE(o.err.find("4 of 4 database entries failed; the first: Unable to connect to database: none"),
              std::string::npos)
        << o.err;
}

// Reports on a full disk fail with the system's reason, never blaming permissions or the name.
TEST_F(BatchRun, FullDiskNamesTheSystemsReason) {
    const std::string full = dir.file("full");
    files::createFolders(full);
    // A tiny file system where one can be mounted, else a file-size limit on the run.
    const bool mounted = ::geteuid() == 0 && QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=4k", "tmpfs",
                                                                         QString::fromStdString(full)}) == 0;
    std::string program;
    const std::string entries = sqliteEntry("<REPORT Format=\"HTML\" Path=\"" + xmlEscaped(full + "/html") + "\"/>") +
                                sqliteEntry("<REPORT Format=\"XML\" Path=\"" + xmlEscaped(full) + "\"/>") +
                                sqliteEntry("<REPORT Format=\"WORD\" Path=\"" + xmlEscaped(full) + "\"/>");
    const std::string batch = writeBatch("full.xml", entries);
    if (!mounted) {
        run(writeBatch("warm.xml", ""));  // the per-user files exist before the limit
        program = dir.file("limited.sh");
        files::writeTextFile(program, "#!/bin/bash\ntrap '' XFSZ\nulimit -f 4\nexec '" + dalvanePath() + "' '" + batch + "'\n");
        ::chmod(program.c_str(), 0755);
    }
    Outcome o = run(batch, 120000, program);
    if (mounted) QProcess::execute("umount", {QString::fromStdString(full)});
    const std::string reason = mounted ? "No space left on device" : "File too large";
    ASSERT_EQ(o.codes(), (std::vector<int>{12, 12, 12})) << describe(o);
    for (const std::string& line : o.lines) EXPECT_NE(line.find(reason), std::string::npos) << line;
    EXPECT_EQ(o.err.find("permission"), std::string::npos) << o.err;
    EXPECT_EQ(o.err.find("invalid file name"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("Word document generated, but unable to save it."), std::string::npos) << o.err;
}

TEST_F(BatchRun, HostileNamesGiveWellFormedReportsInEveryFormat) {
    const std::string path = dir.file("hostile.db");
    {
        db::Connection c;
        c.open("Driver=SQLite3;Database=" + path);
        c.execute("CREATE TABLE \"a b\" (id INTEGER PRIMARY KEY)");
        c.execute("CREATE TABLE \"a_b\" (id INTEGER PRIMARY KEY, ref INTEGER REFERENCES \"a b\"(id))");
        c.execute(std::string("CREATE TABLE \"ctl\x01tab\" (\"c\x02ol\" INTEGER, \"\x1f\" TEXT)"));
        c.execute("CREATE TABLE \"%pct\" (id INTEGER PRIMARY KEY, a_b INTEGER REFERENCES \"a_b\"(id))");
        c.close();
    }
    const std::string out = dir.file("out");
    Outcome o = run(writeBatch(
        "hostile.xml", "<DATABASE><ENGINE>12</ENGINE><CONNECTIONSTRING>Driver=SQLite3;Database=" + xmlEscaped(path) +
                           "</CONNECTIONSTRING><REPORTS><REPORT Format=\"XML\" Path=\"" + xmlEscaped(out) +
                           "\"/><REPORT Format=\"WORD\"/><REPORT Format=\"HTML\" Path=\"" +
                           xmlEscaped(files::joinPath(out, "html")) + "\"/></REPORTS></DATABASE>"));
    ASSERT_EQ(o.codes(), std::vector<int>{0}) << describe(o);

    // The structure keeps every table, the control characters written visibly.
    const std::vector<std::string> tables = tableNames(files::joinPath(out, "hostile.xml"));
    EXPECT_EQ(std::set<std::string>(tables.begin(), tables.end()),
              (std::set<std::string>{"a b", "a_b", "ctl\\x01tab", "%pct"}));
    std::string document;
    ASSERT_TRUE(docx::readZipEntry(files::joinPath(out, "hostile.docx"), "word/document.xml", document));
    xml::Document word;
    EXPECT_TRUE(word.loadXML(document)) << word.parseError();
    EXPECT_NE(document.find("ctl\\x01tab"), std::string::npos);

    const std::string html = files::joinPath(out, "html");
    expectHtmlReport(html, "hostile", {"a b", "a_b", "ctl\\x01tab", "c\\x02ol", "\\x1F", "%pct"});
    for (const std::string& page : htmltest::htmlFiles(html)) {
        const std::string bytes = readFile(page);
        EXPECT_EQ(bytes.find('\x01'), std::string::npos) << page;
        // One element per id: "a b" and "a_b" have anchors of their own.
        std::map<std::string, int> ids;
        static const std::regex idAttr(R"re(\sid="([^"]*)")re");
        for (std::sregex_iterator it(bytes.begin(), bytes.end(), idAttr), end; it != end; ++it) ++ids[(*it)[1]];
        for (const auto& [id, n] : ids) EXPECT_EQ(n, 1) << page << " id " << id;
    }
}

TEST_F(BatchRun, ServerThatDoesNotAnswerTimesOut) {
    const std::string out = dir.file("out");
    // 10.255.255.1 is a non-routed address: the connection attempt gets no answer at all.
    Outcome o = run(writeBatch(
                        "silent.xml",
                        "<DATABASE><ENGINE>12</ENGINE><CONNECTIONSTRING>Driver={PostgreSQL Unicode};Server=10.255.255.1;"
                        "Port=5432;Database=silent;UID=u;PWD=p</CONNECTIONSTRING></DATABASE>" +
                            sqliteEntry("<REPORT Format=\"XML\" Path=\"" + xmlEscaped(out) + "\"/>")),
                    90000);
    ASSERT_TRUE(o.finished);
    EXPECT_EQ(o.codes(), (std::vector<int>{10, 0})) << describe(o);
    EXPECT_FALSE(tableNames(files::joinPath(out, "sample.xml")).empty());
    EXPECT_LT(o.millis, 60000);
}

TEST_F(BatchRun, EntriesWithoutEngineOrFileEndTheRun) {
    const std::string out = dir.file("out");
    const std::string after = sqliteEntry("<REPORT Format=\"XML\" Path=\"" + xmlEscaped(out) + "\"/>");
    // Access entries: DBNAME or DATABASENAME; the name shown is the file's base name.
    Outcome a = run(writeBatch(
        "access.xml", "<DATABASE><ENGINE>9</ENGINE><DATABASENAME>/nowhere/Sales.mdb</DATABASENAME></DATABASE>"
                      "<DATABASE><ENGINE>8</ENGINE><DBNAME>/nowhere/Orders</DBNAME></DATABASE>"
                      "<DATABASE><ENGINE>10</ENGINE></DATABASE>" + after));
    ASSERT_EQ(a.lines.size(), 3u) << describe(a);
    EXPECT_EQ(a.lines[0], "DATABASE 1: 10 Unable to connect to database: Sales");
    EXPECT_EQ(a.lines[1], "DATABASE 2: 10 Unable to connect to database: Orders");
    EXPECT_EQ(a.codes()[2], 4);
    EXPECT_NE(a.exitCode, 0);
    EXPECT_FALSE(sfs::exists(out));

    Outcome e = run(writeBatch("noengine.xml", after + "<DATABASE><SERVERNAME>x</SERVERNAME></DATABASE>" + after));
    EXPECT_EQ(e.codes(), (std::vector<int>{0, 2})) << describe(e);
    EXPECT_NE(e.exitCode, 0);
    EXPECT_FALSE(tableNames(files::joinPath(out, "sample.xml")).empty());

    Outcome c = run(writeBatch("nostring.xml", "<DATABASE><ENGINE>12</ENGINE><CONNECTIONSTRING> </CONNECTIONSTRING></DATABASE>"
                                               "<DATABASE><ENGINE>13</ENGINE></DATABASE>" + after));
    ASSERT_EQ(c.lines.size(), 1u) << describe(c);
    EXPECT_EQ(c.lines[0], "DATABASE 1: 5 Connectstring should be specified if the database engine is other than the "
                          "one support by  Dalvane 4.5 Enterprise");
    Outcome x = run(writeBatch("noxml.xml", "<DATABASE><ENGINE>13</ENGINE></DATABASE>" + after));
    EXPECT_EQ(x.codes(), std::vector<int>{4}) << describe(x);
    EXPECT_NE(x.lines[0].find("XML file to imported is not specified in"), std::string::npos);

    // REPORT elements outside REPORTS fail their entry, which writes nothing; the next still runs.
    const std::string stray = dir.file("stray");
    const std::string misplaced = "<DATABASE><ENGINE>12</ENGINE><CONNECTIONSTRING>" + xmlEscaped(sampleConnection()) +
                                  "</CONNECTIONSTRING><REPORT Format=\"XML\" Path=\"" + xmlEscaped(stray) +
                                  "\"/><REPORT Format=\"HTML\" Path=\"" + xmlEscaped(stray) + "\"/></DATABASE>";
    Outcome m = run(writeBatch("misplaced.xml", misplaced + after));
    EXPECT_NE(m.exitCode, 0);
    ASSERT_EQ(m.codes(), (std::vector<int>{12, 0})) << describe(m);
    EXPECT_NE(m.lines[0].find("2 REPORT elements are not inside REPORTS in "), std::string::npos) << m.lines[0];
    EXPECT_FALSE(sfs::exists(stray));
}

// ---- server databases ---------------------------------------------------------------------

// The ODBC string of params with the given keywords replaced.
std::string odbcWith(db::ConnectionParameters params, const std::map<std::string, std::string>& replace) {
    std::string odbc;
    for (auto& [k, v] : params) {
        for (const auto& [rk, rv] : replace)
            if (QString::fromStdString(k).compare(QString::fromStdString(rk), Qt::CaseInsensitive) == 0) v = rv;
        odbc += k + "=" + db::odbcQuote(v) + ";";
    }
    return odbc;
}

// Creates a fresh database named name on the server of an ODBC string, with two tables, an
// index and a view; returns the parameters of the new database.
db::ConnectionParameters createServerDatabase(const std::string& serverOdbc, const std::string& name, bool mariadb) {
    {
        db::Connection admin;
        admin.setConnectionString(serverOdbc);
        admin.open();
        admin.execute("DROP DATABASE IF EXISTS " + name + (mariadb ? "" : " WITH (FORCE)"));  // no session left of a run before
        admin.execute("CREATE DATABASE " + name);
    }
    const db::ConnectionParameters params = db::parseConnectionString(serverOdbc);
    db::Connection c;
    c.setConnectionString(odbcWith(params, {{"Database", name}}));
    c.open();
    const std::string serial = mariadb ? "INT AUTO_INCREMENT" : "SERIAL";
    c.execute("CREATE TABLE customers (customer_id " + serial + " PRIMARY KEY, name VARCHAR(60) NOT NULL)");
    c.execute("CREATE TABLE orders (order_id " + serial + " PRIMARY KEY, customer_id INT NOT NULL, "
              "placed_on DATE, CONSTRAINT fk_orders_customer FOREIGN KEY (customer_id) "
              "REFERENCES customers (customer_id) ON DELETE CASCADE)");
    c.execute("CREATE INDEX ix_orders_placed ON orders (placed_on)");
    c.execute("CREATE VIEW customer_orders AS SELECT c.name, o.order_id FROM customers c JOIN orders o "
              "ON o.customer_id = c.customer_id");
    return params;
}

TEST_F(BatchRun, PostgreSQLDatabase) {
    const char* pg = std::getenv("DALV_TEST_PG");
    if (!pg || !*pg) GTEST_SKIP() << "DALV_TEST_PG not set (scripts/dbservers.sh start)";
    const auto params = createServerDatabase(pg, "dalv_batch_pg", false);
    const std::string odbc = odbcWith(params, {{"Database", "dalv_batch_pg"}});
    const std::string wrong = odbcWith(params, {{"Database", "dalv_batch_pg"}, {"PWD", "wrong"}});
    const std::string out = dir.file("pg");
    const std::string reports = "<REPORTS><REPORT Format=\"HTML\" Path=\"" + xmlEscaped(files::joinPath(out, "html")) +
                                "\"/><REPORT Format=\"XML\" Path=\"" + xmlEscaped(out) +
                                "\"/><REPORT Format=\"WORD\"/></REPORTS>";
    Outcome o = run(writeBatch(
        "pg.xml", "<DATABASE><ENGINE>12</ENGINE><CONNECTIONSTRING>" + xmlEscaped(wrong) +
                      "</CONNECTIONSTRING></DATABASE><DATABASE><ENGINE>12</ENGINE><CONNECTIONSTRING>" +
                      xmlEscaped(odbc) + "</CONNECTIONSTRING>" + reports + "</DATABASE>"));
    EXPECT_EQ(o.codes(), (std::vector<int>{10, 0})) << describe(o);
    EXPECT_NE(o.exitCode, 0);
    EXPECT_EQ(tableNames(files::joinPath(out, "dalv_batch_pg.xml")).size(), 2u);
    expectHtmlReport(files::joinPath(out, "html"), "dalv_batch_pg", {"customers", "orders"});
    expectDocx(files::joinPath(out, "dalv_batch_pg.docx"));
}

TEST_F(BatchRun, MariaDBDatabase) {
    const char* maria = std::getenv("DALV_TEST_MARIADB");
    if (!maria || !*maria) GTEST_SKIP() << "DALV_TEST_MARIADB not set (scripts/dbservers.sh start)";
    const auto params = createServerDatabase(maria, "dalv_batch_maria", true);
    const std::string odbc = odbcWith(params, {{"Database", "dalv_batch_maria"}});
    const std::string out = dir.file("maria");
    Outcome o = run(writeBatch(
        "maria.xml", "<DATABASE><ENGINE>12</ENGINE><DATABASENAME>shop</DATABASENAME><CONNECTIONSTRING>" +
                         xmlEscaped(odbc) + "</CONNECTIONSTRING><REPORTS><REPORT Format=\"HTML\" Path=\"" +
                         xmlEscaped(files::joinPath(out, "html")) + "\"/><REPORT Format=\"XML\" Path=\"" +
                         xmlEscaped(out) + "\"/><REPORT Format=\"WORD\"/></REPORTS></DATABASE>"));
    ASSERT_EQ(o.exitCode, 0) << describe(o);
    EXPECT_EQ(o.codes(), std::vector<int>{0});
    EXPECT_EQ(tableNames(files::joinPath(out, "shop.xml")).size(), 2u);
    expectHtmlReport(files::joinPath(out, "html"), "shop", {"customers", "orders"});
    expectDocx(files::joinPath(out, "shop.docx"));
}

// A relay on a loopback port to a database server, for one connection: it passes the bytes on
// both ways until an answer of the server holds marker, then passes nothing, as a server that
// stopped.
struct StallingRelay {
    int listener = socket(AF_INET, SOCK_STREAM, 0), port = 0;
    std::atomic<bool> done{false}, stalled{false};
    std::chrono::steady_clock::time_point stalledAt;  // set before stalled
    std::thread thread;

    StallingRelay(int serverPort, const std::string& marker) {
        sockaddr_in a{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t len = sizeof a;
        if (bind(listener, reinterpret_cast<sockaddr*>(&a), len) != 0 || listen(listener, 1) != 0 ||
            getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            return;
        port = ntohs(a.sin_port);
        a.sin_port = htons(static_cast<uint16_t>(serverPort));
        thread = std::thread([this, a, marker] {
            pollfd fds[2] = {{listener, POLLIN, 0}, {socket(AF_INET, SOCK_STREAM, 0), POLLIN, 0}};
            while (!done && poll(fds, 1, 20) <= 0) {}
            if (done || (fds[0].fd = accept(listener, nullptr, nullptr)) < 0 ||
                connect(fds[1].fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0)
                return;
            std::string answered;  // the server's bytes, for a marker cut in two
            char buf[65536];
            while (!done && !stalled) {
                if (poll(fds, 2, 20) <= 0) continue;
                const int from = (fds[0].revents & (POLLIN | POLLHUP)) ? 0 : 1;
                const ssize_t n = read(fds[from].fd, buf, sizeof buf);
                if (n <= 0) break;
                if (from == 1 && (answered += std::string(buf, static_cast<std::size_t>(n))).find(marker) != std::string::npos) {
                    stalledAt = std::chrono::steady_clock::now();
                    stalled = true;
                } else if (write(fds[1 - from].fd, buf, static_cast<std::size_t>(n)) != n) break;
            }
            while (!done) usleep(20000);  // the connection stays open, unanswered
            close(fds[0].fd), close(fds[1].fd);
        });
    }
    ~StallingRelay() {
        done = true;
        if (thread.joinable()) thread.join();
        close(listener);
    }
};

// A server that stops answering in the middle of the catalogue read (its answer naming the
// first table never comes) gives the run up within the stated time: the entry's line says why,
// the process ends with a failure, and the report of the entry before stays whole.
class UnansweredServer : public BatchRun {
protected:
    void expectGivenUp(const char* serverVariable, bool mariadb) {
        const char* server = std::getenv(serverVariable);
        if (!server || !*server) GTEST_SKIP() << serverVariable << " not set (scripts/dbservers.sh start)";
        const std::string name = mariadb ? "dalv_stall_maria" : "dalv_stall_pg";
        const auto params = createServerDatabase(server, name, mariadb);
        StallingRelay relay(std::stoi(db::parameterValue(params, "Port")), "customers");
        ASSERT_GT(relay.port, 0);
        const std::string relayed =
            odbcWith(params, {{"Database", name}, {"Server", "127.0.0.1"}, {"Port", std::to_string(relay.port)}});
        const std::string out = dir.file("out");
        environment["DALVANE_UNANSWERED_SECONDS"] = "0.5";
        Outcome o = run(writeBatch("stall.xml", sqliteEntry("<REPORT Format=\"XML\" Path=\"" + xmlEscaped(out) + "\"/>") +
                                                    "<DATABASE><ENGINE>12</ENGINE><CONNECTIONSTRING>" + xmlEscaped(relayed) +
                                                    "</CONNECTIONSTRING><REPORTS><REPORT Format=\"XML\" Path=\"" +
                                                    xmlEscaped(out) + "\" FileName=\"stalled.xml\"/></REPORTS></DATABASE>" +
                                                    sqliteEntry("<REPORT Format=\"XML\" Path=\"" + xmlEscaped(out) +
                                                                "\" FileName=\"after.xml\"/>")),
                        60000);
        const auto ended = std::chrono::steady_clock::now();
        ASSERT_TRUE(o.finished);
        ASSERT_TRUE(relay.stalled) << describe(o);
        EXPECT_LT(ended - relay.stalledAt, std::chrono::seconds(8));
        EXPECT_EQ(o.exitCode, 1);
        EXPECT_EQ(o.lines, (std::vector<std::string>{"DATABASE 1: 0 Database imported successfully",
                                                     "DATABASE 2: 11 Failed to create XML for database: " + name +
                                                         " (the database did not answer within 0.5 seconds)"}))
            << describe(o);
        EXPECT_NE(o.err.find("the batch run is given up at DATABASE 2"), std::string::npos) << o.err;
        EXPECT_FALSE(tableNames(files::joinPath(out, "sample.xml")).empty());
        std::vector<std::string> left;
        for (const auto& f : sfs::directory_iterator(out)) left.push_back(f.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>{"sample.xml"});
    }
};

TEST_F(UnansweredServer, PostgreSQLIsGivenUp) { expectGivenUp("DALV_TEST_PG", false); }
TEST_F(UnansweredServer, MariaDBIsGivenUp) { expectGivenUp("DALV_TEST_MARIADB", true); }

// ---- the batch-file generator ------------------------------------------------------------

TEST_F(BatchRun, GeneratedDocumentAndScriptReportTheSample) {
    testsupport::ScopedPrompter prompts;
    DataFolder = files::joinPath(DALV_SOURCE_DIR, "data");
    AppFolder = files::parentFolder(dalvanePath());
    ASSERT_TRUE(InitReportEngine());
    cReport& r = *oReportEngine;
    r.CurrentDatabaseEngineId(12);
    ASSERT_TRUE(r.ResetConnectionString());
    r.ConnectionString(sampleConnection());
    r.DatabaseName("sample");
    // Blanks, quotes and $ in every path and in the connection's name.
    const std::string hostile = "it's $HOME `x` 'y";
    ReportsFolder = dir.file("Reports " + hostile);
    files::createFolders(ReportsFolder);
    oStructures.loadXML("<DATABASESTRUCTURES><DATABASEGROUP Name='g'><DATABASECONNECTION Name=\"" +
                        xmlEscaped("O'Brien $1") + "\"/></DATABASEGROUP></DATABASESTRUCTURES>");
    r.CurrentDatabaseGroup(1);
    r.CurrentDatabaseNumber(1);
    const std::string out = dir.file("out " + hostile);
    const batchfile::Outputs outputs{out + "/html/", out + "/s.xml", out + "/w.docx"};

    // A script named like a batch document would overwrite it: refused, nothing written.
    std::string clash = dir.file("run.xml");
    EXPECT_FALSE(batchfile::BatchProcessFile(clash, outputs));
    EXPECT_FALSE(files::fileExists(clash));
    EXPECT_EQ(batchfile::documentPathFor("/a.b/NAME.BAT"), "/a.b/NAME.xml");
    EXPECT_EQ(batchfile::documentPathFor("/a.b/run"), "/a.b/run.xml");

    std::string script;
    ASSERT_TRUE(batchfile::BatchProcessFile(script, outputs)) << prompts->lastMessage();
    ReleaseReportEngine();
    EXPECT_EQ(script, files::joinPath(ReportsFolder, "Batch Process", "O'Brien $1.sh"));
    const std::string document = files::joinPath(ReportsFolder, "Batch Process", "O'Brien $1.xml");
    EXPECT_EQ(sfs::status(script).permissions() & sfs::perms::all, sfs::perms::owner_all);
    EXPECT_EQ(sfs::status(document).permissions() & sfs::perms::all, sfs::perms::owner_read | sfs::perms::owner_write);
    xml::Document doc;
    ASSERT_TRUE(doc.load(document));
    EXPECT_EQ(doc.selectSingleNode("DALVIMPORT/DATABASE/CONNECTIONSTRING").text(), sampleConnection());
    EXPECT_EQ(doc.count("DALVIMPORT/DATABASE/REPORTS/REPORT"), 3);

    Outcome direct = run(document);
    ASSERT_EQ(direct.exitCode, 0) << describe(direct);
    expectHtmlReport(out + "/html", "sample", {"regions", "staff"});
    EXPECT_GE(tableNames(out + "/s.xml").size(), 12u);
    expectDocx(out + "/w.docx");

    sfs::remove_all(out);
    Outcome viaScript = run({}, 120000, script);
    ASSERT_EQ(viaScript.exitCode, 0) << describe(viaScript);
    EXPECT_EQ(viaScript.codes(), std::vector<int>{0});
    EXPECT_TRUE(files::fileExists(out + "/s.xml"));
    expectDocx(out + "/w.docx");
}

// ---- connection strings (in process) -----------------------------------------------------

class BatchConnectionStrings : public ::testing::Test {
protected:
    testsupport::ScopedPrompter prompts;
    void SetUp() override {
        DataFolder = files::joinPath(DALV_SOURCE_DIR, "data");
        ASSERT_TRUE(InitReportEngine());
    }
    void TearDown() override { ReleaseReportEngine(); }
    void useEngine(int id) {
        oReportEngine->CurrentDatabaseEngineId(id);
        ASSERT_TRUE(oReportEngine->ResetConnectionString());
    }
};

TEST_F(BatchConnectionStrings, ValuesCannotAddKeywords) {
    cReport& r = *oReportEngine;
    useEngine(1);
    r.AuthenticationMode("SQL");
    r.UserName("sa");
    r.Password("p;Data Source=evil");
    r.DatabaseName("Sales \"2024\"");
    r.DBServerName("host,1433");
    ASSERT_TRUE(bHandleCMD::GetConnectionString());
    auto p = db::parseConnectionString(r.ConnectionString());
    EXPECT_EQ(db::parameterValue(p, "password"), "p;Data Source=evil");
    EXPECT_EQ(db::parameterValue(p, "Data Source"), "host,1433");
    EXPECT_EQ(db::parameterValue(p, "Initial Catalog"), "Sales \"2024\"");
    EXPECT_EQ(p.size(), 5u);

    useEngine(9);
    r.DatabasePath("/data/a;b.mdb");
    r.AccessDatabasePassword("x=y");
    r.WorkgroupDatabase("/data/system.mdw");
    r.UserName("admin");
    r.Password("");
    p = db::parseConnectionString(bHandleCMD::GetAccessConnStr());
    EXPECT_EQ(db::parameterValue(p, "Data Source"), "/data/a;b.mdb");
    EXPECT_EQ(db::parameterValue(p, "Jet OLEDB:Database Password"), "x=y");
    EXPECT_EQ(db::parameterValue(p, "Jet OLEDB:System Database"), "/data/system.mdw");
    EXPECT_EQ(db::parameterValue(p, "User ID"), "admin");
}

TEST_F(BatchConnectionStrings, OracleProviderAndServer) {
    cReport& r = *oReportEngine;
    useEngine(7);
    r.AuthenticationMode("ORACLE");
    r.UserName("scott");
    r.Password("tiger");
    auto p = db::parseConnectionString(bHandleCMD::GetOracleConnStr());
    EXPECT_EQ(db::parameterValue(p, "Provider"), "MSDAORA.1");
    EXPECT_EQ(db::parameterValue(p, "Data Source"), "");
    EXPECT_EQ(db::parameterValue(p, "ChunkSize"), "150000");
    useEngine(4);
    r.AuthenticationMode("WINDOWS");
    r.DBServerName("orcl");
    p = db::parseConnectionString(bHandleCMD::GetOracleConnStr());
    EXPECT_EQ(db::parameterValue(p, "Provider"), "OraOLEDB.Oracle");
    EXPECT_EQ(db::parameterValue(p, "Integrated Security"), "SSPI");
    EXPECT_EQ(db::parameterValue(p, "Data Source"), "orcl");
    EXPECT_EQ(db::parameterValue(p, "User Id"), "");
    // DB2 names its data source by the database, not the server.
    useEngine(11);
    r.DatabaseName("SAMPLE");
    r.DBServerName("db2host");
    p = db::parseConnectionString(bHandleCMD::GetIBMDB2connStr());
    EXPECT_EQ(db::parameterValue(p, "Data Source"), "SAMPLE");
}

}  // namespace
