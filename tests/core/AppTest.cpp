// Runs the built program.
#include "CoreTestEnv.h"

#include <gtest/gtest.h>

#include <QDirIterator>
#include <QProcess>
#include <QProcessEnvironment>

#include <set>

using coretest::ScopedHome;

namespace {
struct ProgramRun {
    int exitCode = -1;
    std::string err;
};

ProgramRun runDalvane(const ScopedHome& home, const QStringList& args, const QString& platform, int timeoutMs = 20000) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", QString::fromStdString(home.home()));
    env.insert("XDG_DATA_HOME", QString::fromStdString(home.home() + "/.local/share"));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(home.home() + "/.config"));
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(home.path("run")));
    env.insert("QT_QPA_PLATFORM", platform);
    env.insert("TMPDIR", QString::fromStdString(home.path("")));
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("DALVANE_APP_DIR");
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(QString::fromStdString(home.home()));
    p.start(QString(DALV_BIN_DIR) + "/dalvane", args);
    ProgramRun r;
    if (!p.waitForStarted()) return r;
    if (!p.waitForFinished(timeoutMs)) {
        p.terminate();
        if (!p.waitForFinished(3000)) p.kill();
        p.waitForFinished();
        r.err = p.readAllStandardError().toStdString();
        return r;  // still running when stopped: exitCode -1
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.err = p.readAllStandardError().toStdString();
    return r;
}

std::set<QString> tree(const std::string& folder) {
    std::set<QString> all;
    QDirIterator it(QString::fromStdString(folder), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) all.insert(it.next());
    return all;
}
}  // namespace

// No display at all: a batch run still works because it never needs a window.
TEST(Program, MissingBatchDocumentFailsWithoutAWindow) {
    ScopedHome home;
    ProgramRun r = runDalvane(home, {"missing.xml"}, "xcb");
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("missing.xml could not be loaded"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("display"), std::string::npos) << r.err;
}

TEST(Program, QuotedBatchPathWithCapitalExtensionRunsTheBatch) {
    ScopedHome home;
    std::string doc = home.path("My Batch.XML");
    files::writeTextFile(doc, "<DALVIMPORT><DATABASE/></DALVIMPORT>");
    ProgramRun r = runDalvane(home, {QString::fromStdString("\"" + doc + "\"")}, "xcb");
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("Database engine type not specified in " + doc), std::string::npos) << r.err;
}

TEST(Program, InteractiveStartReachesTheHandOverAndCreatesFoldersOnce) {
    ScopedHome home;
#ifdef DALV_HAVE_MAIN_WINDOW
    // The main window keeps the program running: it must still run after the splash's 5 s.
    ProgramRun first = runDalvane(home, {}, "offscreen", 8000);
    EXPECT_EQ(first.exitCode, -1) << "ended early: " << first.err;
#else
    ProgramRun first = runDalvane(home, {}, "offscreen");
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_NE(first.err.find("main window not available"), std::string::npos) << first.err;
#endif
    EXPECT_EQ(first.err.find(" error "), std::string::npos) << first.err;
    const std::string data = home.home() + "/.local/share/Torvik/Dalvane/4.5";
    EXPECT_TRUE(files::fileExists(data + "/DBEngines.xml"));
    EXPECT_TRUE(files::fileExists(data + "/CustomizeColumns.xml"));
    EXPECT_TRUE(files::folderExists(home.home() + "/Documents/Dalvane Reports/Batch Process"));
    EXPECT_TRUE(files::folderExists(home.home() + "/Documents/Dalvane Reports/Relationship Diagram"));

    std::set<QString> before = tree(home.home() + "/.local/share");
    std::set<QString> reportsBefore = tree(home.home() + "/Documents");
    ProgramRun second = runDalvane(home, {"missing.xml"}, "offscreen");
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_EQ(tree(home.home() + "/.local/share"), before);
    EXPECT_EQ(tree(home.home() + "/Documents"), reportsBefore);
}
