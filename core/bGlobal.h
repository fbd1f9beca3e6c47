// Process-wide values fixed at start-up and the shared helpers of the main program.
#pragma once

#include "platform/xml/Xml.h"

#include <array>
#include <string>
#include <vector>

// Folders (no trailing '/').
extern std::string AppFolder;
extern std::string StylesFolder;
extern std::string ImagesFolder;
extern std::string HelpFolder;
extern std::string PreviewFolder;
extern std::string ReportsFolder;
extern std::string DataFolder;
extern std::string DiagramFolder;
extern std::string TempFolder;

extern std::string OSName;
extern std::vector<std::string> EngineNames;   // index = engine id 1..13, [0] empty
extern std::array<int, 14> EnginePanelMap;
extern std::string PassPhrase1, PassPhrase2, PassPhrase3, PassPhrase4;
extern std::string ShortDateFormat;            // Qt date pattern of the user's locale
extern std::string CurrentUser;
extern std::string DecimalSymbol, DigitGroupingSymbol;

// Today's date in ShortDateFormat.
std::string FormatShortDate();

// The project document (root DATABASESTRUCTURES) and its image as last saved.
extern xml::Document oStructures;
extern xml::Document oHistory;
