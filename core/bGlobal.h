// Process-wide values fixed at start-up and the shared helpers of the main program.
#pragma once

#include "core/PassPhrases.h"
#include "platform/xml/Xml.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QProcess;
class cRegistry;
class cSystemInfo;
class cGUID;
class cDVUpdates;

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
// A work file of the previews (temp.html, default.html, images/...): in the private
// temporary folder, never in the user's reports folder.
std::string PreviewFilePath(const std::string& name);

// The project document (root DATABASESTRUCTURES) and its image as last saved.
extern xml::Document oStructures;
extern xml::Document oHistory;
// Column settings (CustomizeColumns.xml), loaded by LoadCustomizedObjects.
extern xml::Document oCustomizeColumns;

// Process-wide objects created by Main (the report engine: options/cReport.h).
extern std::unique_ptr<cRegistry> oRegistry;
extern std::unique_ptr<cSystemInfo> oSystemInfo;
extern std::unique_ptr<cGUID> oGUID;
extern std::unique_ptr<cDVUpdates> oWebService;

// Started query-tool processes, terminated by ClearAllTemporaryFiles.
extern std::vector<std::unique_ptr<QProcess>> ProcessHandles;

// ---- start-up ------------------------------------------------------------------------
// The program folder: $DALVANE_APP_DIR when set, else the executable's folder.
std::string ProgramFolder();
// Sets AppFolder and its resource subfolders (styles, images, help, preview).
void SetProgramFolders();
// Creates, when missing, the report root with "Relationship Diagram" and "Batch Process",
// and the per-user data folder, kept current from the program's data/ (InstallDataFiles).
// Every folder or file created is appended to created, what the user should know to notes.
// False when a folder cannot be made (its path in failed). A batch run makes no report folder
// here, and reads the program's own data files when the per-user folder cannot be written.
bool CreateUserFolders(std::vector<std::string>* created = nullptr, std::string* failed = nullptr,
                       std::vector<std::string>* notes = nullptr, bool batchRun = false);
// Installs every file of source (recursively) into target: a missing file is copied, and a
// different one is replaced by the program's copy, except a file the user edits
// (CustomizeColumns.xml, dvreport.xml) that was changed there and still reads. A replaced copy
// that was changed there is kept aside as "<name>.<date-time>.bak", named in notes.
bool InstallDataFiles(const std::string& source, const std::string& target,
                      std::vector<std::string>* created = nullptr, std::vector<std::string>* notes = nullptr);
// Full path of the help file: registry HelpLocation, else help/index.html of the program.
std::string GetHelpFileLocation();

// Ends the process at once (temporary folder removed); replaceable for tests.
void EndProcess(int exitCode);
void setEndProcessHook(void (*hook)(int));

// ---- shared helpers ------------------------------------------------------------------
void ClearAllTemporaryFiles();
// The query-tool hand-off document of a connection: its temporary structure file with the
// final ".xml" replaced by "_Query.xml"; "" when the name does not end in ".xml".
std::string HandOffFileName(const std::string& tempXmlFileName);
// The query tool's program file.
std::string BrenikProgram();
// An undimensioned array (nullopt) is empty; a dimensioned one is not, even without elements.
template <typename T>
bool IsEmptyArray(const std::optional<std::vector<T>>& value) {
    return !value.has_value();
}
// XPath of an object kind in the structure document (3 database, 4 tables, 5 indexes,
// 6 triggers, 7 foreign keys, 8 views, 9 stored procedures); tableIndex > 0 narrows 5-7 to
// that table. "" for other codes.
std::string GetXPath(int objectType, int tableIndex = 0);
std::string GetCurrentUser();
// Checks a structure file: the extension, then the trimmed text (xmlText is trimmed in place)
// for the six markers and a DATABASE root. When parsed is given, a valid text's document is
// moved into it.
bool ValidateXML(const std::string& fileName, std::string& xmlText, bool showMessages,
                 const std::string& extension, xml::Document* parsed = nullptr);
// Number of case-insensitive occurrences of the literal pattern in text; -1 for an empty
// text. With start != 0 text first becomes its part from position start (1-based).
int Occurs(std::string& text, const std::string& pattern, int start = 0);
bool LoadCustomizedObjects();
// Special folder with a trailing '/': 5 documents, 26 per-user data, 2 temporary; "" when
// unknown or unresolved.
std::string GetSpecialFolderPath(int folder);

// ---- text encryption -----------------------------------------------------------------
// Result codes: "-1" nothing (empty input or result), "-2" bad data (wrong pass phrase or
// damaged text), "-3" the cipher library failed.
std::string EncryptText(const std::string& text, const std::string& passPhrase);
std::string DecryptText(const std::string& encryptedText, const std::string& passPhrase);
