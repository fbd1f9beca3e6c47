// Values shared by the source files of the main window.
#pragma once

#include <QIcon>
#include <QString>
#include <Qt>

#include <string>

namespace explorer {

// Data roles of tree nodes and objects-bar items.
constexpr int kKeyRole = Qt::UserRole;
constexpr int kTagRole = Qt::UserRole + 1;
constexpr int kImageRole = Qt::UserRole + 2;
constexpr int kMenuRole = Qt::UserRole + 3;       // ContextMenu of the node's element
constexpr int kHasObjectRole = Qt::UserRole + 4;  // the element has RHXPath

QIcon imageIcon(const QString& file);
QIcon treeIcon(const QString& imageKey);
// A structure document with content is loaded in the options object.
bool structureLoaded();
// "DATABASESTRUCTURES/DATABASEGROUP[g]/DATABASECONNECTION[n]".
std::string connectionPath(int group, int number);
// Makes the options of connection (g, n) the options object's: its DBOPTIONS and its
// connection string. False when the entry is missing or its options do not load.
bool loadEntryOptions(int group, int number);
// The application title, for the boxes that name it.
std::string appTitle();

// A preview page as the pane can show it from the private temporary folder: its style sheet
// (css, as the report options name it) and the program's images linked where they are, an image
// of the preview's own images folder (a diagram picture) kept there.
std::string previewReferences(std::string html, const std::string& css);

}  // namespace explorer
