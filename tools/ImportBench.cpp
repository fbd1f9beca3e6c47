// Times one full structure import through cADODB and prints tables per second.
//   dalv_bench_import "<connection string>" [label [structure file]]
// With a structure file, the structure document is saved there (after the timing).
#include "import/cADODB.h"
#include "platform/ui/Prompter.h"

#include <chrono>
#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <connection string> [label]\n", argv[0]);
        return 2;
    }
    ui::setPrompter(std::make_unique<ui::HeadlessPrompter>());
    const std::string label = argc > 2 ? argv[2] : "import";

    const auto start = std::chrono::steady_clock::now();
    cADODB reader;
    long events = 0;
    reader.ImportingDB = [&events](std::int32_t&, std::string&, std::int16_t&, bool&) { ++events; };
    reader.ConnectionString = argv[1];
    if (!reader.OpenDalvDatabase()) return 1;
    const bool ok = reader.GenerateXML();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    const int tables = reader.oResultXML.count("/DATABASE/TABLE");
    std::printf("%s: %s, %d tables, %d columns, %d indexes, %d foreign keys, %d views, %ld events in %.2f s"
                " = %.0f tables/s\n",
                label.c_str(), ok ? "ok" : "FAILED", tables, reader.oResultXML.count("/DATABASE/TABLE/COLUMN"),
                reader.oResultXML.count("/DATABASE/TABLE/INDEX"),
                reader.oResultXML.count("/DATABASE/TABLE/FOREIGNKEY"), reader.oResultXML.count("/DATABASE/VIEW"),
                events, seconds, seconds > 0 ? tables / seconds : 0.0);
    if (argc > 3 && !reader.oResultXML.save(argv[3])) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[3]);
        return 1;
    }
    return ok ? 0 : 1;
}
