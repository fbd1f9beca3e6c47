#include "diagram/DiagramWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace orbelle {

LibraryState& state() {
    static LibraryState s;
    return s;
}

namespace {

QColor qtColour(const Rgb& c) { return QColor(c.red, c.green, c.blue); }

QListWidget* columnList(QMdiSubWindow* w) { return w ? qobject_cast<QListWidget*>(w->widget()) : nullptr; }

std::string nameOf(QMdiSubWindow* w) { return w->windowTitle().toStdString(); }

const Table* findTable(const Diagram& d, const std::string& name) {
    for (const Table& t : d.tables)
        if (t.name == name) return &t;
    return nullptr;
}

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

}  // namespace

// ---------------------------------------------------------------- the area

DiagramArea::DiagramArea(DiagramWindow* owner) : QMdiArea(owner), owner_(owner) {
    setObjectName("DiagramArea");
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void DiagramArea::paintEvent(QPaintEvent*) {
    const Settings& s = owner_->diagram_.settings;
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), qtColour(s.back));

    // Height at which a connector meets a table: the column's row, the table's top edge when the
    // column is not in the table or scrolled out above, its bottom edge when scrolled out below.
    auto attach = [this](QMdiSubWindow* w, const std::string& column) {
        const QRect g = w->geometry();
        QListWidget* list = columnList(w);
        if (!list) return g.top();
        const QString wanted = QString::fromStdString(column);
        for (int i = 0; i < list->count(); ++i) {
            if (list->item(i)->text() != wanted) continue;
            const QRect r = list->visualItemRect(list->item(i));
            if (r.bottom() < 0) return g.top();
            if (r.top() > list->viewport()->height()) return g.bottom();
            return list->viewport()->mapTo(viewport(), r.center()).y();
        }
        return g.top();
    };
    auto arrowHead = [&p](int tipX, int y, int dir) {
        const QPoint head[] = {{tipX, y}, {tipX + dir * 10, y - 5}, {tipX + dir * 10, y + 5}, {tipX, y}};
        p.drawPolyline(head, 4);
    };

    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(qtColour(s.line), 2));
    for (const Relation& r : owner_->diagram_.relations) {
        QMdiSubWindow* P = owner_->tableWindow(r.primaryTable);
        QMdiSubWindow* F = owner_->tableWindow(r.foreignTable);
        if (!P || !F) continue;
        if (P == F) {  // a loop on the table's left side, from the key column back into the table
            const int x = P->geometry().left();
            const int y1 = attach(P, r.foreignColumn);
            int y2 = attach(P, r.primaryColumn);
            if (y2 == y1) y2 = y1 + 12;
            const QPoint loop[] = {{x, y1}, {x - 20, y1}, {x - 20, y2}, {x, y2}};
            p.drawPolyline(loop, 4);
            arrowHead(x - 7, y2, -1);
            continue;
        }
        const QRect pg = P->geometry(), fg = F->geometry();
        const int py = attach(P, r.primaryColumn), fy = attach(F, r.foreignColumn);
        const bool primaryRight = pg.right() < fg.right();
        const int px = primaryRight ? pg.right() + 1 : pg.left();
        const int fx = primaryRight ? fg.left() : fg.right() + 1;
        const int dir = primaryRight ? 1 : -1;  // outwards from the primary table
        const QPoint line[] = {{px, py}, {px + dir * 40, py}, {fx - dir * 40, fy}, {fx, fy}};
        p.drawPolyline(line, 4);
        arrowHead(px + dir * 7, py, dir);
    }
    p.setRenderHint(QPainter::Antialiasing, false);

    p.setFont(qtFont(s.titleFont, 2, s.titleFont.underline));
    p.setPen(qtColour(s.heading));
    p.drawText(viewport()->rect(), Qt::AlignHCenter | Qt::AlignTop, QString::fromStdString(owner_->diagram_.title));
}

void DiagramArea::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    for (const char* name : {"actAddTable", "actRemoveAll", "actReArrange"})
        if (QAction* a = owner_->findChild<QAction*>(name)) menu.addAction(a);
    menu.exec(event->globalPos());
}

// ---------------------------------------------------------------- the window

DiagramWindow::DiagramWindow(const std::string& diagramPath) : path_(diagramPath) {
    setObjectName("DiagramWindow");
    setWindowTitle(kCaption);
    area_ = new DiagramArea(this);
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
    for (const Table& t : diagram_.tables) {
        if (t.placed) anyPlaced_ = true;
        if (t.placed && !t.deleted) openTable(t, boxOf(t));
    }
}

void DiagramWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!firstShow_) return;
    firstShow_ = false;
    // Messages and the first Add Table run after the window is up, never inside a paint.
    QTimer::singleShot(0, this, [this] {
        if (!loaded_) {
            error("The diagram file " + path_ + " could not be read: " + loadError_);
            return;
        }
        if (!anyPlaced_ && !state().dialogOpenedByItself) {
            state().dialogOpenedByItself = true;
            AddTable();
        }
    });
}

bool DiagramWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize) area_->viewport()->update();
    return QMainWindow::eventFilter(watched, event);
}

void DiagramWindow::error(const std::string& text) {
    QMessageBox box(QMessageBox::Critical, "Dalvane Diagram", QString::fromStdString(text), QMessageBox::Ok, this);
    box.setObjectName("DiagramError");
    box.exec();
}

bool DiagramWindow::load(xml::Document& doc) {
    if (doc.load(path_)) return true;
    error("The diagram file " + path_ + " could not be read: " + doc.parseError());
    return false;
}

std::vector<QMdiSubWindow*> DiagramWindow::tableWindows() const { return order_; }

QMdiSubWindow* DiagramWindow::tableWindow(const std::string& name) const {
    auto it = windows_.find(name);
    return it == windows_.end() ? nullptr : it->second;
}

Box DiagramWindow::contentBox(QMdiSubWindow* w) const {
    const QRect g = w->geometry();
    return Box{g.x() + area_->horizontalScrollBar()->value(), g.y() + area_->verticalScrollBar()->value(), g.width(),
               g.height()};
}

QMdiSubWindow* DiagramWindow::openTable(const Table& table, const Box& box) {
    auto* list = new QListWidget;
    list->setObjectName("list2");
    list->setFont(qtFont(diagram_.settings.tableFont, 2, false));
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->setUniformItemSizes(true);
    for (const std::string& c : table.columns) list->addItem(QString::fromStdString(c));

    auto* w = new QMdiSubWindow(nullptr, Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    w->setObjectName("TableWindow");
    w->setWidget(list);
    w->setWindowTitle(QString::fromStdString(table.name));
    auto* menu = new QMenu(w);
    QAction* remove = menu->addAction("&Remove Table");
    remove->setObjectName("actRemoveTable");
    connect(remove, &QAction::triggered, this, [this, w] { RemoveTable(w); });
    w->setSystemMenu(menu);
    area_->addSubWindow(w);
    w->setGeometry(box.x - area_->horizontalScrollBar()->value(), box.y - area_->verticalScrollBar()->value(),
                   box.width, box.height);
    w->installEventFilter(this);
    connect(list->verticalScrollBar(), &QScrollBar::valueChanged, area_->viewport(), qOverload<>(&QWidget::update));
    w->show();
    windows_.emplace(table.name, w);
    order_.push_back(w);
    return w;
}

void DiagramWindow::forget(QMdiSubWindow* w) {
    order_.erase(std::remove(order_.begin(), order_.end(), w), order_.end());
    for (auto it = windows_.begin(); it != windows_.end(); ++it)
        if (it->second == w) {
            windows_.erase(it);
            break;
        }
    // Another window of the same name takes its place in the look-up.
    for (QMdiSubWindow* other : order_)
        if (nameOf(other) == nameOf(w) && !windows_.count(nameOf(w))) windows_.emplace(nameOf(w), other);
    w->removeEventFilter(this);
    w->hide();
    area_->removeSubWindow(w);
    w->deleteLater();
    area_->viewport()->update();
}

// ---------------------------------------------------------------- commands

void DiagramWindow::AddTable() {
    AddTableDialog dialog(this, diagram_);
    dialog.exec();
    activateWindow();
}

void DiagramWindow::AddTables(const std::vector<std::string>& names) {
    xml::Document doc;
    if (!load(doc)) return;
    diagram_ = readDiagram(doc);
    std::vector<std::string> fresh;
    int lowestTop = 0, itsHeight = 0;
    for (const std::string& name : names) {
        if (tableWindow(name)) continue;  // already open
        const Table* t = findTable(diagram_, name);
        if (!t) continue;
        if (!t->placed) {
            fresh.push_back(name);
            continue;
        }
        setDeleted(doc, name, false);
        if (t->top > lowestTop) lowestTop = t->top, itsHeight = t->height;
        openTable(*t, boxOf(*t));
    }
    PlacementCursor& cursor = state().cursor;
    cursor.startAdding(lowestTop, itsHeight);
    for (const std::string& name : fresh) openTable(*findTable(diagram_, name), cursor.next());
    if (!doc.save(path_)) error("The diagram file " + path_ + " could not be written.");
    area_->viewport()->update();
}

void DiagramWindow::RemoveTable(QMdiSubWindow* w) {
    if (!w) return;
    xml::Document doc;
    if (!load(doc)) return;
    setDeleted(doc, nameOf(w), true);
    if (!doc.save(path_)) {
        error("The diagram file " + path_ + " could not be written.");
        return;
    }
    forget(w);
}

void DiagramWindow::RemoveAll() {
    xml::Document doc;
    if (!load(doc)) return;
    for (QMdiSubWindow* w : order_) setDeleted(doc, nameOf(w), true);
    if (!doc.save(path_)) {
        error("The diagram file " + path_ + " could not be written.");
        return;
    }
    for (QMdiSubWindow* w : tableWindows()) forget(w);
    state().cursor.beginRemoveAll();
    activateWindow();
}

void DiagramWindow::ReArrange() {
    PlacementCursor& cursor = state().cursor;
    cursor.beginReArrange();
    const int h = area_->horizontalScrollBar()->value(), v = area_->verticalScrollBar()->value();
    for (QMdiSubWindow* w : order_) {
        const Box b = cursor.next();
        w->setGeometry(b.x - h, b.y - v, b.width, b.height);
    }
    Save();
}

bool DiagramWindow::Save(const std::string& exportPath) {
    WaitCursor wait;
    xml::Document doc;
    if (!load(doc)) return false;
    std::vector<PictureTable> pictures;
    pictures.reserve(order_.size());
    for (QMdiSubWindow* w : order_) {
        PictureTable t;
        t.name = nameOf(w);
        t.box = contentBox(w);
        if (QListWidget* list = columnList(w)) {
            t.clientWidth = list->width();
            t.clientHeight = list->height();
            for (int i = 0; i < list->count(); ++i) t.rows.push_back(list->item(i)->text().toStdString());
        }
        if (xml::Node e = tableElement(doc, t.name)) writePosition(e, t.box);
        pictures.push_back(std::move(t));
    }
    bool ok = true;
    if (!doc.save(path_)) {
        error("The diagram file " + path_ + " could not be written.");
        ok = false;
    }
    diagram_ = readDiagram(doc);
    std::vector<JpegTarget> targets;
    if (!exportPath.empty()) targets.push_back({exportPath, 100, diagram_.settings.back});
    targets.push_back({picturePath(path_), diagram_.settings.quality, Rgb{255, 255, 255}});
    std::vector<std::string> failures;
    if (!writePictures(diagram_.settings, diagram_.title, pictures, diagram_.relations, targets, failures)) {
        for (const std::string& f : failures) error(f);
        ok = false;
    }
    return ok;
}

bool DiagramWindow::Export() {
    QFileDialog dialog(this, "Export", QString(), "Jpeg Files(*.jpg)");
    dialog.setObjectName("ExportDialog");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("jpg");
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        activateWindow();
        return false;
    }
    return Save(dialog.selectedFiles().front().toStdString());
}

void DiagramWindow::exportCommand() { Export(); }

void DiagramWindow::UpdateAndExit() {
    if (!Save()) return;  // the failure was shown; the diagram stays open
    closeConfirmed_ = true;
    close();
}

void DiagramWindow::closeEvent(QCloseEvent* event) {
    if (closeConfirmed_) {
        event->accept();
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
    lstTables->setSortingEnabled(true);
    for (const Table& t : diagram.tables) lstTables->addItem(QString::fromStdString(t.name));
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
        std::vector<std::string> names;
        for (int i = 0; i < lstTables->count(); ++i)
            if (lstTables->item(i)->isSelected()) names.push_back(lstTables->item(i)->text().toStdString());
        window_->AddTables(names);
    });
    connect(cmdSelectAll, &QPushButton::clicked, lstTables, &QListWidget::selectAll);
    connect(cmdOK, &QPushButton::clicked, this, [this] { done(2); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { done(2); });
}

}  // namespace orbelle
