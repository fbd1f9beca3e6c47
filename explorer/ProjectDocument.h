// The project document (root DATABASESTRUCTURES): creating a new one, building the copy that
// is stored, the window-layout element DALVANEUI, and the encrypted file "history.dvh".
// Widget-free: the main window supplies its layout as a UILayout.
#pragma once

#include "platform/xml/Xml.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace history {

inline constexpr const char* kHistoryFileName = "history.dvh";

// Layout of the main window as stored in DALVANEUI. Sizes and positions are in twips.
struct UILayout {
    std::vector<std::pair<std::string, bool>> menus;  // View tools of an option group
    int lastEngineId = -1;
    std::string lastEngineName = "-1";
    int windowState = 0;  // 0 normal, 1 minimised, 2 maximised
    double width = 0, height = 0, top = 0, left = 0;
    double rhTabsWidth = 0;
    bool detailsVisible = true, htmlVisible = false, xmlVisible = false;
    double folderViewWidth = 0;
};

// What a stored DALVANEUI holds; a value absent or empty in the document stays unset.
struct SavedLayout {
    std::vector<std::string> checkedMenus;  // MENU[@Selected='1']/@Id, in order
    std::optional<int> lastEngineId;
    std::optional<std::string> lastEngineName;
    bool hasMainWindow = false;
    std::optional<int> windowState;
    std::optional<double> left, top, width, height;
    std::optional<double> rhTabsWidth;
    std::optional<bool> detailsVisible, htmlVisible, xmlVisible;
    std::optional<double> folderViewWidth;
};

// Builds a new project document with one folder "Dalvane Folder" into doc.
bool NewHistoryDocument(xml::Document& doc);

// Builds into out the copy of live that is stored: folders and connections with their
// attributes (run-only values cleared, folder paths renumbered), each connection's DBOPTIONS
// and REPORTOPTIONS, and DALVANEUI from layout. False (with error) when live has no root.
bool GenerateHistory(const xml::Document& live, xml::Document& out, const UILayout& layout,
                     std::string& error);

// Creates the DALVANEUI element in doc (not attached) from layout.
xml::Node SaveUISettings(xml::Document& doc, const UILayout& layout);

// Reads "DATABASESTRUCTURES/DALVANEUI" of doc; false when there is none.
bool ReadSavedLayout(const xml::Document& doc, SavedLayout& out);

// Boolean text as written into DALVANEUI and read back ("True"/"False"; "1", "-1" and
// "true" in any case read as true).
std::string booleanText(bool value);
bool parseBoolean(const std::string& text, bool& value);
// Single-precision number text (as short as the value allows).
std::string numberText(double value);

// True when doc is a project document: its root has RHXPath and it is not "1".
bool isProjectDocument(const xml::Document& doc);

enum class ReadResult {
    Missing,     // no file
    Loaded,      // xmlText holds a project document
    Unusable,    // the file exists but does not decrypt or is no project document
    ReadFailed,  // the file exists but cannot be read
};
ReadResult ReadHistoryFile(const std::string& path, const std::string& passPhrase,
                           std::string& xmlText, std::string& error);

// Moves an unusable file aside (beside it, with ".unreadable" and a number when needed) and
// returns the new path, or "" when it could not be moved.
std::string MoveAside(const std::string& path);

// Encrypts the document's text and replaces the file atomically, readable by the user only.
// Nothing is written (false, error set) for an empty text or a failed encryption.
bool WriteHistoryFile(const std::string& path, const xml::Document& doc,
                      const std::string& passPhrase, std::string& error);

// The tree's check of a project document: a project root, and every keyed element named, with
// a key whose parts after the name are numbers, no key twice. False with the reason in error.
bool CheckProjectDocument(const xml::Document& doc, std::string& error);

inline constexpr const char* kNoticeFileName = "history.notice";

// Saving when the program ends through the error routine. The file at path is kept beside it
// (".previous") as the last good project; doc replaces it when it passes the check, or is
// written beside it (".failed") when it does not. Returns what was done, in words for the
// user; the text is also left in the notice file beside path for the next start.
std::string SaveAfterError(const std::string& path, const xml::Document& doc, const std::string& passPhrase);

// The notice left by SaveAfterError beside path, removed once read; "" when there is none.
std::string TakeNotice(const std::string& path);

}  // namespace history
