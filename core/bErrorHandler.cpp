#include "core/bErrorHandler.h"

#include "core/bGlobal.h"
#include "platform/fs/Paths.h"

#include <iostream>

bool ErrorShown = false;

namespace {
ErrorDialogHook& dialogHook() {
    static ErrorDialogHook h;
    return h;
}
}  // namespace

void setErrorDialogHook(ErrorDialogHook hook) { dialogHook() = std::move(hook); }

void HandleError(long errNumber, const std::string& description, const std::string& source) {
    ErrorShown = true;
    if (dialogHook()) {
        dialogHook()(errNumber, description, source);
        return;
    }
    std::string line = "Dalvane 4.5 Enterprise error " + std::to_string(errNumber) + " in " + source +
                       ": " + description;
    std::cerr << line << std::endl;
    if (!DataFolder.empty()) {
        std::string log;
        std::string path = files::joinPath(DataFolder, "errors.log");
        files::readTextFile(path, log);
        files::writeTextFile(path, log + line + "\r\n", true);
    }
}
