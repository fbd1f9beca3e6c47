// Times a diagram of N tables through the library's exports: opening with every table added,
// ReArrange (which saves) and Export.   dalv_bench_diagram LIBRARY [N]
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

QWidget* modal(const char* name) {
    QWidget* w = QApplication::activeModalWidget();
    return w && w->objectName() == name ? w : nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s LIBRARY [TABLES]\n", argv[0]);
        return 2;
    }
    const int n = argc > 2 ? std::atoi(argv[2]) : 500;
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("dalvdiagrambench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "bench.xml").string();
    {
        std::ofstream f(path);
        f << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATABASE DatabaseName=\"bench\">\n";
        for (int i = 0; i < n; ++i) {
            f << "<TABLE Name=\"table_" << i << "\">";
            for (int c = 0; c < 8; ++c) f << "<COLUMN Name=\"column_" << c << "\"/>";
            if (i > 0)
                f << "<FOREIGNKEY Foreign_Key_Table=\"table_" << i << "\" Foreign_Key_Column=\"column_1\" Primary_Key_Table=\"table_"
                  << (i - 1) / 2 << "\" Primary_Key_Column=\"column_0\"/>";
            f << "</TABLE>\n";
        }
        f << "<DIAGRAM QUALITY=\"75\"><BACKCOLOR Red=\"255\" Blue=\"255\" Green=\"255\"/>"
             "<TITLEFONT FontName=\"Arial\" FontSize=\"10\" Bold=\"1\" Underline=\"0\"/>"
             "<TABLEFONT FontName=\"Arial\" FontSize=\"8\" Bold=\"0\"/><TABLETITLEFONT FontName=\"Arial\" FontSize=\"8\" Bold=\"1\"/>"
             "</DIAGRAM></DATABASE>\n";
    }
    void* lib = ::dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        std::fprintf(stderr, "%s\n", ::dlerror());
        return 1;
    }
    auto init = reinterpret_cast<int (*)()>(::dlsym(lib, "InitializeVariable"));
    auto create = reinterpret_cast<int (*)(const char*, const char*)>(::dlsym(lib, "CreateWindowFunction"));
    if (!init || !create) return 1;

    QElapsedTimer clock;
    qint64 opened = 0, arranged = 0, exported = 0;
    int step = 0;
    int failures = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        // A failed save is counted and answered; the session goes on.
        if (auto* box = qobject_cast<QMessageBox*>(modal("DiagramError"))) {
            ++failures;
            std::fprintf(stderr, "error: %s\n", box->text().toUtf8().constData());
            box->done(QMessageBox::Ok);
            return;
        }
        if (auto* box = qobject_cast<QMessageBox*>(modal("CloseQuestion"))) {
            box->done(QMessageBox::No);
            return;
        }
        if (step == 0) {
            if (QWidget* d = modal("AddTableDialog")) {
                step = 1;
                QTimer::singleShot(0, d, [d] {
                    d->findChild<QPushButton*>("cmdSelectAll")->click();
                    d->findChild<QPushButton*>("cmdAdd")->click();
                    d->findChild<QPushButton*>("cmdOK")->click();
                });
            }
        } else if (step == 1) {
            if (QWidget* w = modal("DiagramWindow")) {
                step = 2;
                QTimer::singleShot(0, w, [&, w] {
                    QApplication::processEvents();  // the first paint with every table
                    opened = clock.restart();
                    // Each figure as soon as it is known, for a session that never ends.
                    std::fprintf(stderr, "progress: open %lld ms\n", static_cast<long long>(opened));
                    w->findChild<QAction*>("actReArrange")->trigger();
                    arranged = clock.restart();
                    std::fprintf(stderr, "progress: rearrange+save %lld ms\n", static_cast<long long>(arranged));
                    w->findChild<QAction*>("actExport")->trigger();
                });
            }
        } else if (step == 2) {
            if (auto* f = qobject_cast<QFileDialog*>(modal("ExportDialog"))) {
                step = 3;
                clock.restart();
                f->setDirectory(QString::fromStdString(dir.string()));
                f->findChild<QLineEdit*>("fileNameEdit")->setText("export.jpg");
                QMetaObject::invokeMethod(f, "accept");
            }
        } else if (step == 3) {
            // The export has ended when the wait cursor is gone (the window takes events meanwhile).
            if (QWidget* w = modal("DiagramWindow"); w && !QApplication::overrideCursor()) {
                step = 4;
                exported = clock.elapsed();
                std::fprintf(stderr, "progress: export %lld ms\n", static_cast<long long>(exported));
                w->findChild<QAction*>("actUpdateExit")->trigger();
            }
        } else if (step == 4) {
            if (QWidget* w = modal("DiagramWindow")) w->close();  // still open: Update and Exit failed
        }
    });
    poll.start(5);
    QElapsedTimer total;
    total.start();
    clock.start();
    init();
    const int result = create("0", path.c_str());
    const qint64 all = total.elapsed();
    std::printf("tables %d: open %lld ms, rearrange+save %lld ms, export %lld ms, whole session %lld ms, %d failed save(s) (result %d)\n",
                n, static_cast<long long>(opened), static_cast<long long>(arranged), static_cast<long long>(exported),
                static_cast<long long>(all), failures, result);
    std::filesystem::remove_all(dir);
    return result == 1 && step == 4 && failures == 0 ? 0 : 1;
}
