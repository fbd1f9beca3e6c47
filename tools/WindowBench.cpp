// Times Refresh of a connection from the main window and how alive the window stays meanwhile.
//   dalv_bench_window <SQLite database file> [frozen]
// The database is filed in a new project, the main window opens on it (offscreen) and runs its
// Refresh command. Prints the time of the command, the event-loop turns it let run (and their
// rate), the longest stretch without one, and how often the progress bar and the status text
// were painted, with the processor time of the command beside its time (the machine's load
// changes the one far more than the other). "frozen" lets no event run during the command (the
// window as it was without an event pump), for the time it costs.
#include "core/bGlobal.h"
#include "explorer/ProjectDocument.h"
#include "explorer/frmDatabaseExplorer.h"
#include "options/cReport.h"
#include "platform/fs/Paths.h"
#include "platform/ui/ProgressTarget.h"
#include "platform/ui/Prompter.h"
#include "startup/bStartup.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Processor time of the process so far (all its threads).
double cpuSeconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// The window's pump, timed.
Clock::duration pumping{};
void timedPump() {
    const Clock::time_point begin = Clock::now();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    pumping += Clock::now() - begin;
}

// Counts the paint events of the widgets it watches.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <SQLite database file> [frozen]\n", argv[0]);
        return 2;
    }
#ifdef __GLIBC__
    mallopt(M_MXFAST, 0);  // as the program
#endif
    const std::string database = std::filesystem::absolute(argv[1]).string();
    const bool frozen = argc > 2 && std::strcmp(argv[2], "frozen") == 0;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    auto answers = std::make_unique<ui::ScriptedPrompter>();
    ui::ScriptedPrompter* prompts = answers.get();
    ui::setPrompter(std::move(answers));

    const std::string bin = files::executableFolder();
    const std::string work = files::uniqueTempFile("bench_window", "");
    files::removeFile(work);
    AppFolder = bin;
    StylesFolder = files::joinPath(bin, "styles");
    ImagesFolder = files::joinPath(bin, "images");
    DataFolder = files::joinPath(work, "data");
    ReportsFolder = files::joinPath(work, "reports");
    std::filesystem::create_directories(DataFolder);
    std::filesystem::create_directories(ReportsFolder);
    for (const char* f : {"DBEngines.xml", "dvreport.xml"})
        std::filesystem::copy_file(files::joinPath(files::joinPath(bin, "data"), f), files::joinPath(DataFolder, f));
    if (PassPhrase4.empty()) PassPhrase4 = "a pass phrase of the window bench, forty-nine chars";

    // The project: one folder holding the database, written as the program keeps it.
    if (!InitReportEngine()) return 1;
    history::NewHistoryDocument(oStructures);
    oReportEngine->CurrentDatabaseEngineId(12);
    oReportEngine->ResetConnectionString();
    oReportEngine->CurrentDatabaseGroup(1);
    oReportEngine->ConnectionString("Driver=SQLite3;Database=" + database);
    oReportEngine->DatabaseName("bench");
    if (!oReportEngine->OpenDalvDatabase() || !oReportEngine->ImportDatabase(true)) {
        std::fprintf(stderr, "the database could not be imported\n");
        return 1;
    }
    const int tables = oReportEngine->oResultXML->count("/DATABASE/TABLE");
    std::string error;
    if (!history::GenerateHistory(oStructures, oHistory, history::UILayout{}, error) ||
        !history::WriteHistoryFile(files::joinPath(DataFolder, history::kHistoryFileName), oHistory, PassPhrase4,
                                   error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    oStructures.clear();
    oHistory.clear();
    ReleaseReportEngine();
    InitReportEngine();

    auto* w = new frmDatabaseExplorer();
    w->Form_Load();
    w->show();
    QApplication::processEvents();
    ui::setPendingEventsHook(frozen ? nullptr : &timedPump);
    QTreeWidgetItem* node = w->treeNode("bench|1|1");
    if (!node) {
        std::fprintf(stderr, "no connection node\n");
        return 1;
    }
    w->stMain->setCurrentItem(node);
    w->ParseNodeKey("bench|1|1");

    PaintCounter bar, status;
    w->shpProgress->installEventFilter(&bar);
    w->lblStatus->installEventFilter(&status);
    int turns = 0;
    Clock::time_point last{}, start{};
    Clock::duration longest{};
    bool running = false;
    QTimer tick;
    tick.setInterval(0);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (!running) return;
        const Clock::time_point now = Clock::now();
        ++turns;
        longest = std::max(longest, now - last);
        last = now;
    });
    tick.start();

    const double cpuStart = cpuSeconds();
    start = last = Clock::now();
    running = true;
    w->tbMain_ToolClick("ID_DatabaseNode_Refresh");
    running = false;
    const Clock::time_point end = Clock::now();
    const double cpu = cpuSeconds() - cpuStart;
    longest = std::max(longest, end - last);
    tick.stop();

    const double total = seconds(end - start);
    const bool ok = prompts->messages.empty() && oReportEngine && oReportEngine->oResultXML &&
                    oReportEngine->oResultXML->count("/DATABASE/TABLE") == tables;
    std::printf("%s %d tables: %s in %.3f s (processor %.3f s), %d event turns (%.1f/s), longest without one %.3f s, "
                "%.3f s in them, progress painted %d, status painted %d\n",
                frozen ? "frozen" : "alive", tables, ok ? "refreshed" : "FAILED", total, cpu, turns,
                total > 0 ? turns / total : 0.0, seconds(longest), seconds(pumping), bar.paints, status.paints);
    if (!prompts->messages.empty()) std::fprintf(stderr, "message: %s\n", prompts->lastMessage().c_str());
    w->close();
    delete w;
    std::filesystem::remove_all(work);
    return ok ? 0 : 1;
}
