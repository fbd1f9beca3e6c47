// The folders a test run of the program works in: the build's program folder (styles, images)
// and a private data and reports folder holding a copy of the engine catalogue.
#pragma once

#include "core/bGlobal.h"
#include "platform/fs/Paths.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <string>

namespace testsupport {

inline void useProgramFolders(const TempDir& dir, const std::string& programFolder = DALV_BIN_DIR) {
    AppFolder = programFolder;
    StylesFolder = files::joinPath(DALV_BIN_DIR, "styles");
    ImagesFolder = files::joinPath(DALV_BIN_DIR, "images");
    DataFolder = dir.file("data");
    ReportsFolder = dir.file("reports");
    files::createFolder(DataFolder);
    files::createFolder(ReportsFolder);
    std::filesystem::copy_file(files::joinPath(DALV_SOURCE_DIR, "data/DBEngines.xml"),
                               files::joinPath(DataFolder, "DBEngines.xml"),
                               std::filesystem::copy_options::overwrite_existing);
}

}  // namespace testsupport
