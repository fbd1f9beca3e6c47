// Shared helpers of the main program that touch windows.
#pragma once

#include <string>

// Closes every top-level window whose object name (the form's name) differs from exceptName,
// compared in lower case.
void UnloadAllForms(const std::string& exceptName);

// Routes HandleError to the error dialog (interactive runs only).
void InstallErrorDialog();
