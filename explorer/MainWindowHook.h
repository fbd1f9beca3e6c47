// Hands the start-up over to the main window: the splash window's timer calls the hook.
#pragma once

void InstallMainWindowHook();
