// Set-up shared by the hand-off and script tests: the build's program folder, a private data
// folder with the engine catalogue, and the options object.
#pragma once

#include "core/bGlobal.h"
#include "platform/fs/Paths.h"
#include "startup/bStartup.h"
#include "support/ProgramFolders.h"
#include "support/TestSupport.h"

#include <filesystem>

namespace querytooltest {

inline bool startReportEngine(const testsupport::TempDir& dir, const std::string& programFolder = DALV_BIN_DIR) {
    testsupport::useProgramFolders(dir, programFolder);
    return InitReportEngine();
}

}  // namespace querytooltest
