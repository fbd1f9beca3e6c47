// Shared helpers of the main program that touch windows.
#pragma once

#include <string>

// Closes every top-level window whose object name (the form's name) differs from exceptName,
// compared in lower case.
void UnloadAllForms(const std::string& exceptName);

// Routes HandleError to the error dialog (interactive runs only).
void InstallErrorDialog();

class QWidget;

// The help page of a control: its own "helpTopic" property, else that of the nearest parent
// that has one, else the window's page by its form name, else the help file's start page.
std::string HelpTopicFor(const QWidget* control);
// Opens the help topic of the control (F1).
void KeyHelp(const QWidget* control);
// F1 in any window of the program opens the help topic of the focused control.
void InstallContextHelp();
