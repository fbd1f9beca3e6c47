// The one program-wide error routine.
#pragma once

#include "platform/fs/FileErrors.h"
#include "platform/ui/Prompter.h"

#include <functional>
#include <string>
#include <vector>

// Set by HandleError; reset by StartApplication.
extern bool ErrorShown;

// Reports an unexpected failure: number, description and the failing procedure's source
// name ("cReport.GenerateSummary"). Interactive runs show the error dialog (installed with
// setErrorDialogHook); headless runs write to stderr and "errors.log" and never block.
void HandleError(long errNumber, const std::string& description, const std::string& source);

// Shows the message of a known file error, permissionText naming what could not be saved (with
// permissionIcon); any other goes to HandleError under source.
void ReportFileError(const files::FileError& e, const std::string& permissionText, const std::string& source,
                     ui::MsgIcon permissionIcon = ui::MsgIcon::Information);

// Reports a fact an import could not read and left out, or kept in part: "Warning in <source>:
// <description>" on stderr. Kept until TakeWarnings, which a batch run calls for each entry.
void ReportWarning(const std::string& description, const std::string& source);
// The warnings reported since the last call, in order; they are then forgotten.
std::vector<std::string> TakeWarnings();

using ErrorDialogHook = std::function<void(long, const std::string&, const std::string&)>;
// Returns the hook it replaces.
ErrorDialogHook setErrorDialogHook(ErrorDialogHook hook);

// Address that receives error reports by mail.
inline constexpr const char* ErrorReportAddress = "errors@torvik.example";

// The report shown by View Error: caption, date, number, description, source, build,
// "System Information" and the dependency report; lines joined by CR LF.
std::string BuildErrorReportText(long errNumber, const std::string& description, const std::string& source);
// The mail form of the report: the same facts, "%0D" where a line break goes.
std::string BuildErrorMailForm(long errNumber, const std::string& description, const std::string& source);
// "mailto:" link to ErrorReportAddress with subject "Dalvane Error Report" and the mail form
// (plus "Comments: " and comments when not empty) as its percent-encoded body.
std::string BuildErrorMailLink(const std::string& mailForm, const std::string& comments);
// Replaces DataFolder/errors.log with the mail link and CR LF.
bool WriteErrorMailLog(const std::string& mailLink);
