// Times the query window on a large result: dalv_bench_query <connection string> <query> [value]
// Prints the time to the first 1,000 rows in the grid, the time to the last row, the row count
// and the peak resident memory. With "value" the result is one long value: the time until it
// is fetched and its cell painted.
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
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <connection string> <query> [value]\n", argv[0]);
        return 2;
    }
    const bool oneValue = argc > 3 && std::strcmp(argv[3], "value") == 0;
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
    if (oneValue) {
        // The cell as the user sees it: selected, painted.
        w.dgResult->setCurrentIndex(w.dgResult->model()->index(0, 0));
        w.dgResult->grab();
    }
    const qint64 total = t.elapsed();
    if (first < 0) first = total;
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    if (oneValue)
        std::printf("value shown in %.3f s, peak memory %.0f MiB\n", total / 1000.0, ru.ru_maxrss / 1024.0);
    else
        std::printf("rows %d: first 1000 rows %.3f s, all rows %.3f s, peak memory %.0f MiB\n",
                    w.dgResult->model()->rowCount(), first / 1000.0, total / 1000.0, ru.ru_maxrss / 1024.0);
    return 0;
}
