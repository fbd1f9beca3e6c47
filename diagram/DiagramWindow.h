// The diagram window: table windows over a scrolled area that paints the title and the
// connectors; the Add Table dialog; saving and export.
#pragma once

#include "diagram/DiagramLayout.h"
#include "diagram/DiagramPicture.h"

#include <QDialog>
#include <QMainWindow>
#include <QMdiArea>

#include <string>
#include <unordered_map>
#include <vector>

class QListWidget;
class QMdiSubWindow;

namespace orbelle {

// State that lasts from InitializeVariable to the next one.
struct LibraryState {
    PlacementCursor cursor;
    bool dialogOpenedByItself = false;
};
LibraryState& state();

class DiagramWindow;

class DiagramArea : public QMdiArea {
    Q_OBJECT
public:
    explicit DiagramArea(DiagramWindow* owner);

protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    DiagramWindow* owner_;
};

class DiagramWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Dalvane 4.5 Enterprise - Relationship Diagram";

    explicit DiagramWindow(const std::string& diagramPath);

    // Commands.
    void AddTable();  // the Add Table dialog, modal
    void RemoveAll();
    void ReArrange();
    void RemoveTable(QMdiSubWindow* window);
    // Opens the tables of the list that have no window; removed ones come back where they were.
    void AddTables(const std::vector<std::string>& names);
    // Writes positions into the diagram file and the picture beside it (and, with a path, the
    // exported picture); every failure is shown. True when everything was written.
    bool Save(const std::string& exportPath = {});
    // Asks for a file and saves with it; false when cancelled or failed.
    bool Export();
    void UpdateAndExit();

    // Table windows in creation order, and their outer rectangles in content coordinates.
    std::vector<QMdiSubWindow*> tableWindows() const;
    QMdiSubWindow* tableWindow(const std::string& name) const;
    Box contentBox(QMdiSubWindow* w) const;
    const Diagram& diagram() const { return diagram_; }
    DiagramArea* area() const { return area_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool load(xml::Document& doc);
    QMdiSubWindow* openTable(const Table& table, const Box& box);
    void forget(QMdiSubWindow* w);
    void error(const std::string& text);
    void exportCommand();

    std::string path_;
    Diagram diagram_;  // as last read: title, settings, relations
    DiagramArea* area_ = nullptr;
    std::unordered_map<std::string, QMdiSubWindow*> windows_;
    std::vector<QMdiSubWindow*> order_;
    bool closeConfirmed_ = false;
    bool firstShow_ = true;
    bool loaded_ = false;
    bool anyPlaced_ = false;
    std::string loadError_;
    friend class DiagramArea;
};

class AddTableDialog : public QDialog {
    Q_OBJECT
public:
    AddTableDialog(DiagramWindow* window, const Diagram& diagram);
    QListWidget* lstTables = nullptr;

private:
    DiagramWindow* window_;
};

}  // namespace orbelle
