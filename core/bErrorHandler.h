// The one program-wide error routine.
#pragma once

#include <functional>
#include <string>

// Set by HandleError; reset by StartApplication.
extern bool ErrorShown;

// Reports an unexpected failure: number, description and the failing procedure's source
// name ("cReport.GenerateSummary"). Interactive runs show the error dialog (installed with
// setErrorDialogHook); headless runs write to stderr and "errors.log" and never block.
void HandleError(long errNumber, const std::string& description, const std::string& source);

using ErrorDialogHook = std::function<void(long, const std::string&, const std::string&)>;
void setErrorDialogHook(ErrorDialogHook hook);
