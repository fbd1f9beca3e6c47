// Entry procedure of the main program and the splash's hand-over to the main window.
#pragma once

#include "core/bGlobal.h"
#include "startup/bStartup.h"

#include <functional>
#include <string>

// The whole start (objects, version record, folders, options object, command line). Returns
// the process exit status: in a batch run 0 only when the run succeeded; in an interactive
// run the event loop's result.
int Main(const std::string& commandLine);

// The hand-over from the splash to the main window, installed by the main window's code.
// The hook shows the main window and returns true, or returns false when it cannot.
using MainWindowHook = std::function<bool()>;
void SetMainWindowHook(MainWindowHook hook);
const MainWindowHook& GetMainWindowHook();
