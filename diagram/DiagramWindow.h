// The diagram window: table windows as light items of one scene, drawn by one scrolled view
// that paints the title and the connectors under them; the Add Table dialog; saving and export.
#pragma once

#include "diagram/DiagramLayout.h"
#include "diagram/DiagramPicture.h"

#include <QDialog>
#include <QFont>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QMainWindow>
#include <QStringList>

#include <string>
#include <unordered_map>
#include <vector>

class QListWidget;

namespace orbelle {

// State that lasts from InitializeVariable to the next one.
struct LibraryState {
    PlacementCursor cursor;
    bool dialogOpenedByItself = false;
};
LibraryState& state();

class DiagramWindow;

// A table window: caption bar, frame and the scrollable list of its columns. Moved by its
// caption, sized by its frame; the caption's context menu holds Remove Table.
// Item data: 0 the table's name, 1 its column rows (for callers that see only Qt's types).
class TableItem : public QGraphicsItem {
public:
    static constexpr int kFrame = TableLook::kFrame, kMinWidth = 40;

    TableItem(DiagramWindow* owner, const Table& table, const Box& box);

    const std::string& name() const { return name_; }
    const QStringList& rows() const { return rows_; }
    Box box() const;
    void setBox(const Box& box);
    // The column list's area, in item coordinates.
    QRect client() const;
    int firstRow() const { return first_; }
    void scrollTo(int row);
    // Height in scene coordinates where a connector meets the column: its row, the top edge when
    // the column is missing or scrolled out above, the bottom edge when scrolled out below.
    int attachY(const QString& column) const;

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;
    void hoverMoveEvent(QGraphicsSceneHoverEvent* event) override;
    void wheelEvent(QGraphicsSceneWheelEvent* event) override;
    void contextMenuEvent(QGraphicsSceneContextMenuEvent* event) override;

private:
    enum Edge { None = 0, Left = 1, Right = 2, Top = 4, Bottom = 8 };
    int edgesAt(QPointF p) const;
    int visibleRows() const;
    bool hasScrollBar() const { return static_cast<int>(rows_.size()) > visibleRows(); }
    QRect scrollBar() const;
    QRect thumb() const;

    DiagramWindow* owner_;
    std::string name_;
    QStringList rows_;
    int width_, height_;
    int first_ = 0;
    // The drag in progress: moving (edges 0 on the caption), sizing (edges) or the thumb.
    enum class Drag { Nothing, Move, Size, Thumb } drag_ = Drag::Nothing;
    int edges_ = 0;
    QPointF pressScene_;
    QRectF pressRect_;
    int pressFirst_ = 0;
};

// Fills the background and draws the connectors that meet the exposed part.
class DiagramScene : public QGraphicsScene {
    Q_OBJECT
public:
    explicit DiagramScene(DiagramWindow* owner);

protected:
    void drawBackground(QPainter* painter, const QRectF& rect) override;

private:
    DiagramWindow* owner_;
};

class DiagramArea : public QGraphicsView {
    Q_OBJECT
public:
    DiagramArea(DiagramWindow* owner, QGraphicsScene* scene);

protected:
    void drawBackground(QPainter* painter, const QRectF& rect) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    DiagramWindow* owner_;
};

class DiagramWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Dalvane 4.5 Enterprise - Relationship Diagram";

    explicit DiagramWindow(const std::string& diagramPath);
    ~DiagramWindow() override;

    // Commands.
    void AddTable();  // the Add Table dialog, modal
    void RemoveAll();
    void ReArrange();
    void RemoveTable(TableItem* table);
    // Opens the tables of the list that have no window; removed ones come back where they were.
    void AddTables(const std::vector<std::string>& names);
    // Writes positions into the diagram file and the picture beside it (and, with a path, the
    // exported picture); every failure is shown. True when everything was written. The writing
    // runs beside the window, which keeps its events but starts no command and defers a close
    // until the save has ended.
    bool Save(const std::string& exportPath = {});
    // Asks for a file and saves with it; false when cancelled or failed.
    bool Export();
    void UpdateAndExit();

    // Table windows in creation order.
    const std::vector<TableItem*>& tableWindows() const { return order_; }
    TableItem* tableWindow(const std::string& name) const;
    const Diagram& diagram() const { return diagram_; }
    const TableLook& look() const { return look_; }
    DiagramArea* area() const { return area_; }

    // From the table windows: one moved, was sized or scrolled (connectors follow); a drag ended.
    void tableChanged();
    void tableSettled();
    void showTableMenu(TableItem* table, const QPoint& screenPos);
    // Connectors between two open tables, resolved once per change of the open tables.
    struct Connector {
        const TableItem* primary;
        const TableItem* foreign;
        const Relation* relation;
    };
    const std::vector<Connector>& connectors();
    // A save runs: commands are dropped, a close waits for it.
    bool busy() const { return busy_ > 0; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Marks the window busy for its lifetime; the last one out performs a deferred close.
    class Busy {
    public:
        explicit Busy(DiagramWindow* w);
        ~Busy();
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;

    private:
        DiagramWindow* w_;
    };

    bool load(xml::Document& doc);
    TableItem* openTable(const Table& table, const Box& box);
    void forget(TableItem* table);
    void fitScene();
    void error(const std::string& text);
    void unreadable(const std::string& why);  // the diagram file could not be read, for why
    void exportCommand();
    void removeCurrent();
    // Tables a grid row holds for this many tables in the view's proportions.
    int rowLength(std::size_t tables) const;

    std::string path_;
    Diagram diagram_;  // as last read: title, settings, relations
    TableLook look_;
    DiagramScene* scene_ = nullptr;
    DiagramArea* area_ = nullptr;
    std::unordered_map<std::string, TableItem*> windows_;
    std::vector<TableItem*> order_;
    std::vector<Connector> connectors_;
    bool connectorsValid_ = false;
    TableItem* menuTable_ = nullptr;
    qreal topZ_ = 0;
    bool closeConfirmed_ = false;
    int busy_ = 0;              // Busy objects alive
    bool closePending_ = false;  // a close came while busy
    bool firstShow_ = true;
    bool loaded_ = false;
    bool anyPlaced_ = false;
    std::string loadError_;
    friend class DiagramArea;
    friend class TableItem;
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
