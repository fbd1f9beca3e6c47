// Times the query window fetching a large result: dalv_bench_query <connection string> <query>
// Prints the time to the first 1,000 rows in the grid, the time to the last row, the row
// count and the peak resident memory.
#include "platform/fs/Paths.h"
#include "querytool/frmBrenik.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTableView>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <connection string> <query>\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string handOff = files::uniqueTempFile("bench_Query", ".xml");
    std::string doc = "<BRENIK ExecuteNow=\"False\"><CONNECTIONSTRING><![CDATA[" + std::string(argv[1]) +
                      "]]></CONNECTIONSTRING><DATABASENAME>bench</DATABASENAME><QUERY/></BRENIK>";
    files::writeTextFile(handOff, doc, true);
    frmBrenik w(handOff, files::executableFolder());
    files::removeFile(handOff);
    if (!w.isConnected()) {
        std::fprintf(stderr, "no connection\n");
        return 1;
    }
    w.show();
    w.txtQuery->setPlainText(QString::fromUtf8(argv[2]));
    QElapsedTimer t;
    t.start();
    w.Brenik();
    qint64 first = -1;
    while (w.isRunning()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (first < 0 && w.dgResult->model()->rowCount() >= 1000) first = t.elapsed();
    }
    const qint64 total = t.elapsed();
    if (first < 0) first = total;
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("rows %d: first 1000 rows %.3f s, all rows %.3f s, peak memory %.0f MiB\n",
                w.dgResult->model()->rowCount(), first / 1000.0, total / 1000.0, ru.ru_maxrss / 1024.0);
    return 0;
}
