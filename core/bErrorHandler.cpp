#include "core/bErrorHandler.h"

#include "core/bGlobal.h"
#include "core/bVersion.h"
#include "core/cSystemInfo.h"
#include "platform/fs/Paths.h"
#include "platform/text/Text.h"
#include "platform/ui/ProgressTarget.h"

#include <iostream>
#include <mutex>
#include <utility>

bool ErrorShown = false;

namespace {
struct Warnings {
    std::mutex m;
    std::vector<std::string> texts;
};
Warnings& warnings() {
    static Warnings w;
    return w;
}

ErrorDialogHook& dialogHook() {
    static ErrorDialogHook h;
    return h;
}

std::string dependencyReport() {
    if (oSystemInfo) return oSystemInfo->DependencyReport();
    return cSystemInfo().DependencyReport();
}
}  // namespace

ErrorDialogHook setErrorDialogHook(ErrorDialogHook hook) { return std::exchange(dialogHook(), std::move(hook)); }

void ReportFileError(const files::FileError& e, const std::string& permissionText, const std::string& source,
                     ui::MsgIcon permissionIcon) {
    const std::string text = files::fileErrorText(e.number, permissionText, e.what());
    if (text.empty())
        HandleError(e.number, e.what(), source);
    else
        ui::MsgBox(text, ui::MsgButtons::OK,
                   e.number == files::kPermissionDenied ? permissionIcon : ui::MsgIcon::Information);
}

void ReportWarning(const std::string& description, const std::string& source) {
    std::cerr << "Warning in " << source << ": " << description << std::endl;
    Warnings& w = warnings();
    std::lock_guard lock(w.m);
    w.texts.push_back(description);
}

std::vector<std::string> TakeWarnings() {
    Warnings& w = warnings();
    std::lock_guard lock(w.m);
    return std::exchange(w.texts, {});
}

void HandleError(long errNumber, const std::string& description, const std::string& source) {
    // From work running beside the window, the window's thread reports it.
    if (ui::runOnEventsThread([&] { HandleError(errNumber, description, source); })) return;
    ErrorShown = true;
    if (dialogHook()) {
        dialogHook()(errNumber, description, source);
        return;
    }
    std::string line = MainCaption() + " error " + std::to_string(errNumber) + " in " + source + ": " + description;
    std::cerr << line << std::endl;
    if (!DataFolder.empty()) files::appendToFile(files::joinPath(DataFolder, "errors.log"), line + "\r\n");
}

std::string BuildErrorReportText(long errNumber, const std::string& description, const std::string& source) {
    const std::string crlf = "\r\n";
    return MainCaption() + crlf + "Error Date: " + FormatShortDate() + crlf +
           "Error Number: " + std::to_string(errNumber) + crlf + "Error Description: " + description + crlf +
           "Error Source: " + source + crlf + "Build Number: " + std::to_string(AppRevision) + crlf +
           "System Information" + crlf + dependencyReport();
}

std::string BuildErrorMailForm(long errNumber, const std::string& description, const std::string& source) {
    return MainCaption() + "%0D" + "Error Date: " + FormatShortDate() + "%0D" +
           "Error Number: " + std::to_string(errNumber) + " %0D" + "Error Description: " + description + " %0D" +
           "Error Source: " + source + "%0D" + "Build Number: " + std::to_string(AppRevision) + "%0D" +
           "System Information " + text::replaceAll(dependencyReport(), "\r\n", "%0D");
}

std::string BuildErrorMailLink(const std::string& mailForm, const std::string& comments) {
    std::string form = mailForm;
    if (!comments.empty()) form += "%0DComments: " + comments;
    // The "%0D" markers become real line breaks; the whole body is then encoded once.
    std::string body = text::replaceAll(form, "%0D", "\r\n");
    return std::string("mailto:") + ErrorReportAddress + "?subject=" + text::percentEncode("Dalvane Error Report") +
           "&Body=" + text::percentEncode(body);
}

bool WriteErrorMailLog(const std::string& mailLink) {
    if (DataFolder.empty()) return false;
    return files::writeTextFile(files::joinPath(DataFolder, "errors.log"), mailLink + "\r\n", true);
}
