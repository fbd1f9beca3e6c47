// Times Generate SQL Script on one database: reads its structure, then renders the script of
// its engine and prints the time of that (and of the script sheet alone), optionally writing
// the script to a file.
//   dalv_bench_script "<connection string>" [script file]
// The program folder (styles) is the tool's own folder or $DALVANE_APP_DIR, as for dalvane.
#include "core/bGlobal.h"
#include "options/cReport.h"
#include "platform/fs/Paths.h"
#include "platform/ui/Prompter.h"
#include "startup/bStartup.h"

#include <chrono>
#include <cstdio>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <memory>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <connection string> [script file]\n", argv[0]);
        return 2;
    }
#ifdef __GLIBC__
    mallopt(M_MXFAST, 0);  // as dalvane does
#endif
    ui::setPrompter(std::make_unique<ui::HeadlessPrompter>());
    SetProgramFolders();
    std::string failed;
    if (!CreateUserFolders(nullptr, &failed, nullptr, true)) {
        std::fprintf(stderr, "cannot create %s\n", failed.c_str());
        return 1;
    }
    if (!InitReportEngine()) return 1;
    cReport& r = *oReportEngine;
    if (!oStructures.loadXML("<DATABASESTRUCTURES><DATABASEGROUP Name=\"g\"/></DATABASESTRUCTURES>")) return 1;
    r.CurrentDatabaseEngineId(12);
    if (!r.ResetConnectionString()) return 1;
    r.CurrentDatabaseGroup(1);
    r.ConnectionString(argv[1]);
    r.DatabaseName("bench");
    if (!r.OpenDalvDatabase() || !r.ImportDatabase(true)) {
        std::fprintf(stderr, "cannot read the structure\n");
        return 1;
    }
    // Rendered twice over one first stage (ReportXML.xsl): the second time is the script sheet's.
    cReport::FirstStageReuse reuse(r);
    std::string script;
    double seconds[2] = {0, 0};
    bool ok = true;
    for (double& s : seconds) {
        const auto start = std::chrono::steady_clock::now();
        ok = ok && r.ApplyXSL(r.ScriptXSL(), false, &script, nullptr, r.ScriptParameters());
        s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    std::printf("script: %s, %zu bytes in %.3f s (%.3f s of it the script sheet)\n", ok ? "ok" : "FAILED",
                script.size(), seconds[0], seconds[1]);
    if (ok && argc > 2 && !files::writeTextFile(argv[2], script)) return 1;
    return ok ? 0 : 1;
}
