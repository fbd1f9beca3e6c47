#include "diagram/DiagramWindow.h"

#include "platform/ui/EventPump.h"
#include "platform/ui/ProgressTarget.h"
#include "platform/ui/WaitCursor.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCollator>
#include <QCursor>
#include <QFileDialog>
#include <QGraphicsSceneContextMenuEvent>
#include <QGraphicsSceneHoverEvent>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsSceneWheelEvent>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <utility>

namespace orbelle {

LibraryState& state() {
    static LibraryState s;
    return s;
}

namespace {

QColor qtColour(const Rgb& c) { return QColor(c.red, c.green, c.blue); }

using ui::WaitCursor;

}  // namespace

// ---------------------------------------------------------------- a table window

TableItem::TableItem(DiagramWindow* owner, const Table& table, const Box& box)
    : owner_(owner), name_(table.name), width_(box.width), height_(box.height) {
    rows_.reserve(static_cast<qsizetype>(table.columns.size()));
    for (const std::string& c : table.columns) rows_.push_back(QString::fromStdString(c));
    setFlags(ItemIsSelectable);
    setAcceptHoverEvents(true);
    setPos(box.x, box.y);
    setData(0, QString::fromStdString(name_));
    setData(1, rows_);
}

Box TableItem::box() const {
    return Box{static_cast<int>(std::lround(pos().x())), static_cast<int>(std::lround(pos().y())), width_, height_};
}

void TableItem::setBox(const Box& b) {
    prepareGeometryChange();
    setPos(b.x, b.y);
    width_ = b.width;
    height_ = b.height;
    scrollTo(first_);
    update();
}

QRect TableItem::client() const { return owner_->look().client(width_, height_); }

int TableItem::visibleRows() const { return owner_->look().visibleRows(height_); }

void TableItem::scrollTo(int row) {
    const int last = std::max(0, static_cast<int>(rows_.size()) - visibleRows());
    row = std::clamp(row, 0, last);
    if (row == first_) return;
    first_ = row;
    update();
    owner_->tableChanged();
}

QRect TableItem::scrollBar() const { return owner_->look().scrollBar(width_, height_); }

QRect TableItem::thumb() const { return owner_->look().thumb(width_, height_, static_cast<int>(rows_.size()), first_); }

int TableItem::attachY(const QString& column) const {
    return static_cast<int>(std::lround(pos().y())) + owner_->look().attachY(height_, static_cast<int>(rows_.indexOf(column)), first_);
}

QRectF TableItem::boundingRect() const { return QRectF(0, 0, width_, height_); }

void TableItem::paint(QPainter* p, const QStyleOptionGraphicsItem*, QWidget*) {
    const TableLook& look = owner_->look();
    look.paint(*p, width_, height_, look.face(width_, height_, data(0).toString(), rows_, first_));
}

int TableItem::edgesAt(QPointF at) const {
    const qreal grip = kFrame + 1;
    int e = None;
    if (at.x() < grip) e |= Left;
    if (at.x() >= width_ - grip) e |= Right;
    if (at.y() < grip) e |= Top;
    if (at.y() >= height_ - grip) e |= Bottom;
    return e;
}

void TableItem::mousePressEvent(QGraphicsSceneMouseEvent* event) {
    if (owner_->busy()) return;  // no drag starts while a save runs
    setZValue(++owner_->topZ_);
    if (!isSelected()) {
        scene()->clearSelection();
        setSelected(true);
    }
    event->accept();
    if (event->button() != Qt::LeftButton) return;
    pressScene_ = event->scenePos();
    pressRect_ = QRectF(pos(), QSizeF(width_, height_));
    pressFirst_ = first_;
    edges_ = edgesAt(event->pos());
    const QPoint at = event->pos().toPoint();
    if (edges_) {
        drag_ = Drag::Size;
    } else if (at.y() < client().top()) {
        drag_ = Drag::Move;
    } else if (hasScrollBar() && scrollBar().contains(at)) {
        const QRect t = thumb();
        if (t.contains(at)) drag_ = Drag::Thumb;
        else scrollTo(first_ + (at.y() < t.top() ? -visibleRows() : visibleRows()));
    }
}

void TableItem::mouseMoveEvent(QGraphicsSceneMouseEvent* event) {
    const QPointF d = event->scenePos() - pressScene_;
    const int dx = static_cast<int>(std::lround(d.x())), dy = static_cast<int>(std::lround(d.y()));
    const QRect r = pressRect_.toRect();
    switch (drag_) {
    case Drag::Move:
        setPos(r.x() + dx, r.y() + dy);
        owner_->tableChanged();
        break;
    case Drag::Size: {
        const int minHeight = 2 * kFrame + owner_->look().titleHeight;
        int left = r.left(), top = r.top(), right = r.x() + r.width(), bottom = r.y() + r.height();
        if (edges_ & Left) left = std::min(left + dx, right - kMinWidth);
        if (edges_ & Right) right = std::max(right + dx, left + kMinWidth);
        if (edges_ & Top) top = std::min(top + dy, bottom - minHeight);
        if (edges_ & Bottom) bottom = std::max(bottom + dy, top + minHeight);
        setBox(Box{left, top, right - left, bottom - top});
        owner_->tableChanged();
        break;
    }
    case Drag::Thumb: {
        const int track = std::max(1, scrollBar().height() - thumb().height());
        scrollTo(pressFirst_ + dy * std::max(0, static_cast<int>(rows_.size()) - visibleRows()) / track);
        break;
    }
    case Drag::Nothing:
        break;
    }
}

void TableItem::mouseReleaseEvent(QGraphicsSceneMouseEvent*) {
    if (drag_ == Drag::Move || drag_ == Drag::Size) owner_->tableSettled();
    drag_ = Drag::Nothing;
}

void TableItem::hoverMoveEvent(QGraphicsSceneHoverEvent* event) {
    const int e = edgesAt(event->pos());
    Qt::CursorShape shape = Qt::ArrowCursor;
    if (e == (Left | Top) || e == (Right | Bottom)) shape = Qt::SizeFDiagCursor;
    else if (e == (Right | Top) || e == (Left | Bottom)) shape = Qt::SizeBDiagCursor;
    else if (e & (Left | Right)) shape = Qt::SizeHorCursor;
    else if (e & (Top | Bottom)) shape = Qt::SizeVerCursor;
    setCursor(shape);
}

void TableItem::wheelEvent(QGraphicsSceneWheelEvent* event) {
    if (!hasScrollBar() || event->orientation() != Qt::Vertical) {
        event->ignore();  // the view scrolls
        return;
    }
    scrollTo(first_ - event->delta() / 40);
    event->accept();
}

void TableItem::contextMenuEvent(QGraphicsSceneContextMenuEvent* event) {
    event->accept();
    if (owner_->busy()) return;
    // The caption and the frame hold the table's menu; the list has none.
    if (!edgesAt(event->pos()) && event->pos().y() >= client().top()) return;
    owner_->showTableMenu(this, event->screenPos() + QPoint(4, 0));
}

// ---------------------------------------------------------------- the scene and its view

DiagramScene::DiagramScene(DiagramWindow* owner) : QGraphicsScene(owner), owner_(owner) {}

void DiagramScene::drawBackground(QPainter* p, const QRectF& rect) {
    const Settings& s = owner_->diagram().settings;
    p->fillRect(rect, qtColour(s.back));
    p->save();
    p->setRenderHint(QPainter::Antialiasing, true);
    p->setPen(QPen(qtColour(s.line), 2));
    const QRect exposed = rect.toAlignedRect().adjusted(-50, -20, 50, 20);
    for (const DiagramWindow::Connector& c : owner_->connectors()) {
        const Relation& r = *c.relation;
        const Box pb = c.primary->box(), fb = c.foreign->box();
        // Cheap test on the two boxes first: most connectors of a large diagram are off screen.
        const QRect span(QPoint(std::min(pb.x, fb.x) - 40, std::min(pb.y, fb.y)),
                         QPoint(std::max(pb.right(), fb.right()) + 40, std::max(pb.bottom(), fb.bottom()) + 12));
        if (!exposed.intersects(span)) continue;
        const ConnectorShape shape =
            connectorShape(pb, c.primary->attachY(QString::fromStdString(r.primaryColumn)), fb,
                           c.foreign->attachY(QString::fromStdString(r.foreignColumn)), c.primary == c.foreign);
        p->drawPolyline(shape.line.data(), 4);
        p->drawPolyline(shape.head.data(), 4);
    }
    p->restore();
}

DiagramArea::DiagramArea(DiagramWindow* owner, QGraphicsScene* scene) : QGraphicsView(scene, owner), owner_(owner) {
    setObjectName("DiagramArea");
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The title stays at the top of the view and the connectors follow every table: the whole
    // visible part is drawn again at each change.
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
}

void DiagramArea::drawBackground(QPainter* p, const QRectF& rect) {
    QGraphicsView::drawBackground(p, rect);
    const Settings& s = owner_->diagram().settings;
    p->save();
    p->resetTransform();
    p->setFont(qtFont(s.titleFont, 2, s.titleFont.underline));
    p->setPen(qtColour(s.heading));
    p->drawText(viewport()->rect(), Qt::AlignHCenter | Qt::AlignTop, QString::fromStdString(owner_->diagram().title));
    p->restore();
}

void DiagramArea::contextMenuEvent(QContextMenuEvent* event) {
    if (owner_->busy()) return;
    if (itemAt(event->pos())) {
        QGraphicsView::contextMenuEvent(event);  // the table's own menu
        return;
    }
    QMenu menu(this);
    for (const char* name : {"actAddTable", "actRemoveAll", "actReArrange"})
        if (QAction* a = owner_->findChild<QAction*>(name)) menu.addAction(a);
    menu.exec(event->globalPos());
}

// ---------------------------------------------------------------- the window

DiagramWindow::DiagramWindow(const std::string& diagramPath) : path_(diagramPath), look_(Settings{}) {
    ui::installEventPump();  // this library's own: the saves let the window's events run
    setObjectName("DiagramWindow");
    setWindowTitle(kCaption);
    scene_ = new DiagramScene(this);
    area_ = new DiagramArea(this, scene_);
    setCentralWidget(area_);

    auto action = [this](const char* name, const char* text, void (DiagramWindow::*slot)()) {
        QAction* a = new QAction(QString::fromUtf8(text), this);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    menuBar()->addAction(action("actExport", "&Export", &DiagramWindow::exportCommand));
    menuBar()->addAction(action("actUpdateExit", "Update and E&xit", &DiagramWindow::UpdateAndExit));
    action("actAddTable", "&Add Table", &DiagramWindow::AddTable);
    action("actRemoveAll", "&Remove All", &DiagramWindow::RemoveAll);
    action("actReArrange", "&ReArrange", &DiagramWindow::ReArrange);
    // Queued: the table's own menu is still open in the table's event when the action fires.
    QAction* remove = new QAction("&Remove Table", this);
    remove->setObjectName("actRemoveTable");
    connect(remove, &QAction::triggered, this, &DiagramWindow::removeCurrent, Qt::QueuedConnection);

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect r = screen->availableGeometry();
        setGeometry(r.x() + 100, r.y() + 100, std::max(400, r.width() - 200), std::max(300, r.height() - 229));
    }

    xml::Document doc;
    loaded_ = doc.load(path_);
    if (!loaded_) {
        loadError_ = doc.parseError();
        return;
    }
    diagram_ = readDiagram(doc);
    look_ = TableLook(diagram_.settings);
    for (const Table& t : diagram_.tables) {
        if (t.placed) anyPlaced_ = true;
        if (t.placed && !t.deleted) openTable(t, boxOf(t));
    }
    fitScene();
}

DiagramWindow::Busy::Busy(DiagramWindow* w) : w_(w) { ++w_->busy_; }

DiagramWindow::Busy::~Busy() {
    if (--w_->busy_ > 0 || !w_->closePending_) return;
    QTimer::singleShot(0, w_, [w = w_] {
        if (w->busy() || !std::exchange(w->closePending_, false)) return;
        if (w->isVisible()) w->close();
    });
}

DiagramWindow::~DiagramWindow() {
    // The items ask the window for their look while the scene goes: they go first.
    scene_->clear();
}

void DiagramWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!firstShow_) return;
    firstShow_ = false;
    // Messages and the first Add Table run after the window is up, never inside a paint.
    QTimer::singleShot(0, this, [this] {
        if (!loaded_) {
            unreadable(loadError_);
            return;
        }
        if (!anyPlaced_ && !state().dialogOpenedByItself) {
            state().dialogOpenedByItself = true;
            AddTable();
        }
    });
}

void DiagramWindow::error(const std::string& text) {
    QMessageBox box(QMessageBox::Critical, "Dalvane Diagram", QString::fromStdString(text), QMessageBox::Ok, this);
    box.setObjectName("DiagramError");
    box.exec();
}

void DiagramWindow::unreadable(const std::string& why) {
    error("The diagram file " + path_ + " could not be read: " + why);
}

bool DiagramWindow::load(xml::Document& doc) {
    if (doc.load(path_)) return true;
    unreadable(doc.parseError());
    return false;
}

TableItem* DiagramWindow::tableWindow(const std::string& name) const {
    auto it = windows_.find(name);
    return it == windows_.end() ? nullptr : it->second;
}

const std::vector<DiagramWindow::Connector>& DiagramWindow::connectors() {
    if (connectorsValid_) return connectors_;
    connectors_.clear();
    for (const Relation& r : diagram_.relations) {
        const TableItem* p = tableWindow(r.primaryTable);
        const TableItem* f = tableWindow(r.foreignTable);
        if (p && f) connectors_.push_back({p, f, &r});
    }
    connectorsValid_ = true;
    return connectors_;
}

void DiagramWindow::tableChanged() { scene_->update(); }

void DiagramWindow::tableSettled() { fitScene(); }

void DiagramWindow::fitScene() {
    QRectF r(0, 0, 1, 1);
    for (const TableItem* t : order_) r |= QRectF(t->pos(), QSizeF(t->box().width, t->box().height));
    scene_->setSceneRect(r.adjusted(0, 0, 100, 100));  // room to drag a table further out
    scene_->update();
}

int DiagramWindow::rowLength(std::size_t tables) const {
    return gridRowLength(tables, area_->viewport()->width(), area_->viewport()->height());
}

TableItem* DiagramWindow::openTable(const Table& table, const Box& box) {
    auto* t = new TableItem(this, table, box);
    t->setZValue(++topZ_);
    scene_->addItem(t);
    windows_.emplace(table.name, t);
    order_.push_back(t);
    connectorsValid_ = false;
    return t;
}

void DiagramWindow::forget(TableItem* t) {
    order_.erase(std::remove(order_.begin(), order_.end(), t), order_.end());
    auto it = windows_.find(t->name());
    if (it != windows_.end() && it->second == t) {
        windows_.erase(it);
        // Another window of the same name takes its place in the look-up.
        for (TableItem* other : order_)
            if (other->name() == t->name()) {
                windows_.emplace(t->name(), other);
                break;
            }
    }
    connectorsValid_ = false;
    scene_->removeItem(t);
    delete t;
    scene_->update();
}

void DiagramWindow::showTableMenu(TableItem* table, const QPoint& screenPos) {
    if (busy()) return;
    scene_->clearSelection();
    table->setSelected(true);
    QMenu menu(this);
    menu.addAction(findChild<QAction*>("actRemoveTable"));
    menu.exec(screenPos);
}

// ---------------------------------------------------------------- commands

void DiagramWindow::AddTable() {
    if (busy()) return;
    AddTableDialog dialog(this, diagram_);
    dialog.exec();
    activateWindow();
}

void DiagramWindow::AddTables(const std::vector<std::string>& names) {
    if (busy()) return;
    WaitCursor wait;
    xml::Document doc;
    if (!load(doc)) return;
    diagram_ = readDiagram(doc);
    connectorsValid_ = false;
    std::unordered_map<std::string, const Table*> byName;
    for (const Table& t : diagram_.tables) byName.emplace(t.name, &t);
    const auto elements = tableElements(doc);
    std::vector<const Table*> fresh;
    int lowestTop = 0, itsHeight = 0;
    for (const std::string& name : names) {
        if (tableWindow(name)) continue;  // already open
        auto found = byName.find(name);
        if (found == byName.end()) continue;
        const Table* t = found->second;
        if (!t->placed) {
            fresh.push_back(t);
            continue;
        }
        setDeleted(elements.at(name), false);
        if (t->top > lowestTop) lowestTop = t->top, itsHeight = t->height;
        openTable(*t, boxOf(*t));
    }
    PlacementCursor& cursor = state().cursor;
    cursor.startAdding(lowestTop, itsHeight);
    cursor.setRowLength(rowLength(order_.size() + fresh.size()));
    for (const Table* t : fresh) openTable(*t, cursor.next());
    if (!doc.save(path_)) error("The diagram file " + path_ + " could not be written.");
    fitScene();
}

void DiagramWindow::removeCurrent() {
    const QList<QGraphicsItem*> selected = scene_->selectedItems();
    if (!selected.isEmpty()) RemoveTable(static_cast<TableItem*>(selected.front()));
}

void DiagramWindow::RemoveTable(TableItem* t) {
    if (!t || busy()) return;
    xml::Document doc;
    if (!load(doc)) return;
    setDeleted(doc, t->name(), true);
    if (!doc.save(path_)) {
        error("The diagram file " + path_ + " could not be written.");
        return;
    }
    forget(t);
}

void DiagramWindow::RemoveAll() {
    if (busy()) return;
    xml::Document doc;
    if (!load(doc)) return;
    const auto elements = tableElements(doc);
    for (const TableItem* t : order_)
        if (auto e = elements.find(t->name()); e != elements.end()) setDeleted(e->second, true);
    if (!doc.save(path_)) {
        error("The diagram file " + path_ + " could not be written.");
        return;
    }
    order_.clear();
    windows_.clear();
    connectorsValid_ = false;
    scene_->clear();
    fitScene();
    state().cursor.beginRemoveAll();
    activateWindow();
}

void DiagramWindow::ReArrange() {
    if (busy()) return;
    Busy hold(this);
    WaitCursor wait;
    PlacementCursor& cursor = state().cursor;
    cursor.beginReArrange(rowLength(order_.size()));
    for (TableItem* t : order_) t->setBox(cursor.next());
    fitScene();
    Save();
}

bool DiagramWindow::Save(const std::string& exportPath) {
    Busy hold(this);
    WaitCursor wait;
    // What the save needs of the table windows is taken here; the file and the pictures are
    // written beside the window, and the failures shown here afterwards.
    std::vector<PictureTable> pictures;
    pictures.reserve(order_.size());
    for (const TableItem* t : order_) {
        PictureTable p;
        p.name = t->name();
        p.box = t->box();
        p.clientWidth = t->client().width();
        p.clientHeight = t->client().height();
        p.rows.reserve(static_cast<std::size_t>(t->rows().size()));
        for (const QString& row : t->rows()) p.rows.push_back(row.toStdString());
        pictures.push_back(std::move(p));
    }
    struct {
        bool read = false, written = false, pictured = false;
        std::string readError;
        Diagram diagram;
        std::vector<std::string> failures;
    } out;
    {
        ui::AllowPendingEvents allow;
        ui::restartPendingEvents();
        ui::runLettingEventsRun([&] {
            xml::Document doc;
            if (!doc.load(path_)) {
                out.readError = doc.parseError();
                return;
            }
            out.read = true;
            const auto elements = tableElements(doc);
            for (const PictureTable& p : pictures)
                if (auto e = elements.find(p.name); e != elements.end()) writePosition(e->second, p.box);
            out.written = doc.save(path_);
            out.diagram = readDiagram(doc);
            std::vector<JpegTarget> targets;
            if (!exportPath.empty()) targets.push_back({exportPath, 100, out.diagram.settings.back});
            targets.push_back({picturePath(path_), out.diagram.settings.quality, Rgb{255, 255, 255}});
            out.pictured = writePictures(out.diagram.settings, out.diagram.title, pictures, out.diagram.relations,
                                         targets, out.failures);
        });
    }
    if (!out.read) {
        unreadable(out.readError);
        return false;
    }
    if (!out.written) error("The diagram file " + path_ + " could not be written.");
    diagram_ = std::move(out.diagram);
    connectorsValid_ = false;
    if (!out.pictured)
        for (const std::string& f : out.failures) error(f);
    return out.written && out.pictured;
}

bool DiagramWindow::Export() {
    if (busy()) return false;
    QFileDialog dialog(this, "Export", QString(), "Jpeg Files(*.jpg)");
    dialog.setObjectName("ExportDialog");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("jpg");
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        activateWindow();
        return false;
    }
    // The dialog leaves the screen before the picture is made.
    dialog.hide();
    Busy hold(this);  // from before the cursor's own turn of events
    WaitCursor wait;
    return Save(dialog.selectedFiles().front().toStdString());
}

void DiagramWindow::exportCommand() { Export(); }

void DiagramWindow::UpdateAndExit() {
    if (busy()) return;
    if (!Save()) return;  // the failure was shown; the diagram stays open
    closeConfirmed_ = true;
    close();
}

void DiagramWindow::closeEvent(QCloseEvent* event) {
    if (closeConfirmed_) {
        event->accept();
        return;
    }
    if (busy()) {  // closes once the save has ended
        closePending_ = true;
        event->ignore();
        return;
    }
    QMessageBox box(QMessageBox::Warning, "Dalvane Diagram", "Do you want to save changes to your diagram",
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, this);
    box.setObjectName("CloseQuestion");
    const int answer = box.exec();
    if (answer == QMessageBox::No || (answer == QMessageBox::Yes && Save())) {
        closeConfirmed_ = true;
        event->accept();
    } else {
        event->ignore();
    }
}

// ---------------------------------------------------------------- Add Table

AddTableDialog::AddTableDialog(DiagramWindow* window, const Diagram& diagram) : QDialog(window), window_(window) {
    setObjectName("AddTableDialog");
    setWindowTitle("Add Table");
    auto* tabs = new QTabWidget(this);
    auto* page = new QWidget;
    lstTables = new QListWidget(page);
    lstTables->setObjectName("lstTables");
    lstTables->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstTables->setUniformItemSizes(true);
    QStringList names;
    names.reserve(static_cast<qsizetype>(diagram.tables.size()));
    for (const Table& t : diagram.tables) names.push_back(QString::fromStdString(t.name));
    // Alphabetical as the user's language orders letters, case aside; a view's own sorting
    // would leave the rows as they were added.
    QCollator order;
    order.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(names.begin(), names.end(), order);
    lstTables->addItems(names);
    auto* cmdAdd = new QPushButton("Add", page);
    cmdAdd->setObjectName("cmdAdd");
    auto* cmdSelectAll = new QPushButton("Select All", page);
    cmdSelectAll->setObjectName("cmdSelectAll");
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->addWidget(lstTables);
    auto* row = new QHBoxLayout;
    row->addWidget(cmdAdd);
    row->addWidget(cmdSelectAll);
    row->addStretch();
    pageLayout->addLayout(row);
    tabs->addTab(page, "Tables");

    auto* cmdOK = new QPushButton("OK", this);
    cmdOK->setObjectName("cmdOK");
    auto* cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addLayout(buttons);

    connect(cmdAdd, &QPushButton::clicked, this, [this] {
        QStringList selected;  // in list order, as the rows are shown
        for (int i = 0; i < lstTables->count(); ++i)
            if (lstTables->item(i)->isSelected()) selected.push_back(lstTables->item(i)->text());
        std::vector<std::string> names;
        names.reserve(static_cast<std::size_t>(selected.size()));
        for (const QString& name : selected) names.push_back(name.toStdString());
        window_->AddTables(names);
    });
    connect(cmdSelectAll, &QPushButton::clicked, lstTables, &QListWidget::selectAll);
    connect(cmdOK, &QPushButton::clicked, this, [this] { done(2); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { done(2); });
}

}  // namespace orbelle
