#include "platform/ui/ToolManager.h"

#include <QAction>
#include <QActionGroup>
#include <QCursor>
#include <QIcon>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

namespace ui {

ToolManager::ToolManager(QWidget* owner) : QObject(owner), owner_(owner) {}

ToolManager::~ToolManager() = default;

QAction* ToolManager::addTool(const QString& id, const QString& caption,
                              const QString& description, bool checkable) {
    if (QAction* existing = tool(id)) return existing;
    auto* a = new QAction(caption, owner_);
    a->setObjectName(id);
    a->setCheckable(checkable);
    if (!description.isEmpty()) {
        a->setToolTip(description);
        a->setStatusTip(description);
    }
    connect(a, &QAction::triggered, this, [this, id] { emit toolClicked(id); });
    tools_.insert(id, a);
    order_.append(id);
    return a;
}

QAction* ToolManager::tool(const QString& id) const { return tools_.value(id, nullptr); }

QString ToolManager::caption(const QString& id) const {
    QAction* a = tool(id);
    return a ? a->text() : QString();
}

void ToolManager::setIcon(const QString& id, const QString& imagePath) {
    if (QAction* a = tool(id)) a->setIcon(QIcon(imagePath));
}

QMenu* ToolManager::addMenuBand(const QString& id, const QString& caption, QMenuBar* bar) {
    if (bands_.contains(id)) return bands_[id].menu;
    auto* menu = new QMenu(caption, owner_);
    menu->setObjectName(id);
    Band b;
    b.kind = BandKind::Menu;
    b.menu = menu;
    bands_.insert(id, b);
    bandOrder_.append(id);
    // The header is a tool of its own (it carries no command).
    QAction* header = menu->menuAction();
    header->setObjectName(id);
    if (!tools_.contains(id)) {
        tools_.insert(id, header);
        order_.append(id);
    }
    if (bar) {
        menuBar_ = bar;
        bar->addMenu(menu);
    }
    return menu;
}

QToolBar* ToolManager::addToolBarBand(const QString& id, const QString& caption,
                                      QMainWindow* window) {
    if (bands_.contains(id)) return bands_[id].toolBar;
    auto* tb = new QToolBar(caption, window ? static_cast<QWidget*>(window) : owner_);
    tb->setObjectName(id);
    if (window) window->addToolBar(tb);
    Band b;
    b.kind = BandKind::ToolBar;
    b.toolBar = tb;
    bands_.insert(id, b);
    bandOrder_.append(id);
    return tb;
}

QMenu* ToolManager::addPopupBand(const QString& id, const QString& caption) {
    if (bands_.contains(id)) return bands_[id].menu;
    auto* menu = new QMenu(caption, owner_);
    menu->setObjectName(id);
    Band b;
    b.kind = BandKind::Popup;
    b.menu = menu;
    bands_.insert(id, b);
    bandOrder_.append(id);
    return menu;
}

void ToolManager::place(Band& band, QAction* action) {
    if (band.menu) {
        band.menu->addAction(action);
        return;
    }
    band.toolBar->addAction(action);
    if (dropDownMenus_.contains(action->objectName())) {
        if (auto* button = qobject_cast<QToolButton*>(band.toolBar->widgetForAction(action)))
            button->setPopupMode(QToolButton::MenuButtonPopup);
    }
}

bool ToolManager::addToBand(const QString& bandId, const QString& toolId) {
    auto it = bands_.find(bandId);
    QAction* a = tool(toolId);
    if (it == bands_.end() || !a) return false;
    place(*it, a);
    it->tools.append(toolId);
    return true;
}

void ToolManager::addSeparator(const QString& bandId) {
    auto it = bands_.find(bandId);
    if (it == bands_.end()) return;
    if (it->menu)
        it->menu->addSeparator();
    else
        it->toolBar->addSeparator();
    it->tools.append(QString());
}

void ToolManager::clearBand(const QString& bandId) {
    auto it = bands_.find(bandId);
    if (it == bands_.end()) return;
    if (it->menu)
        it->menu->clear();
    else
        it->toolBar->clear();
    it->tools.clear();
}

QStringList ToolManager::bandTools(const QString& bandId) const {
    QStringList out;
    auto it = bands_.find(bandId);
    if (it == bands_.end()) return out;
    for (const QString& t : it->tools)
        if (!t.isEmpty()) out.append(t);
    return out;
}

ToolManager::BandKind ToolManager::bandKind(const QString& bandId) const {
    return bands_.value(bandId).kind;
}

QMenu* ToolManager::menuBand(const QString& bandId) const { return bands_.value(bandId).menu; }

QToolBar* ToolManager::toolBarBand(const QString& bandId) const {
    return bands_.value(bandId).toolBar;
}

void ToolManager::setBandVisible(const QString& bandId, bool visible) {
    auto it = bands_.find(bandId);
    if (it == bands_.end()) return;
    if (it->toolBar)
        it->toolBar->setVisible(visible);
    else if (it->kind == BandKind::Menu)
        it->menu->menuAction()->setVisible(visible);
}

bool ToolManager::isBandVisible(const QString& bandId) const {
    auto it = bands_.find(bandId);
    if (it == bands_.end()) return false;
    if (it->toolBar) return !it->toolBar->isHidden();
    if (it->kind == BandKind::Menu) return it->menu->menuAction()->isVisible();
    return it->menu->isVisible();
}

void ToolManager::setOptionGroup(const QString& toolId, const QString& group) {
    QAction* a = tool(toolId);
    if (!a) return;
    if (QActionGroup* old = a->actionGroup()) old->removeAction(a);
    toolGroup_.remove(toolId);
    if (group.isEmpty()) return;
    QActionGroup*& g = groups_[group];
    if (!g) {
        g = new QActionGroup(this);
        g->setExclusive(true);
        g->setObjectName(group);
    }
    a->setCheckable(true);
    g->addAction(a);
    toolGroup_.insert(toolId, group);
}

QString ToolManager::optionGroup(const QString& toolId) const { return toolGroup_.value(toolId); }

void ToolManager::setTag(const QString& toolId, const QVariant& tag) {
    if (tools_.contains(toolId)) tags_.insert(toolId, tag);
}

QVariant ToolManager::tag(const QString& toolId) const { return tags_.value(toolId); }

bool ToolManager::setChecked(const QString& toolId, bool checked) {
    QAction* a = tool(toolId);
    if (!a) return false;
    if (checked && !a->isCheckable()) a->setCheckable(true);
    // An exclusive group never lets its last checked tool be cleared through setChecked.
    if (!checked && a->actionGroup() && a->isChecked()) {
        QActionGroup* g = a->actionGroup();
        g->setExclusive(false);
        a->setChecked(false);
        g->setExclusive(true);
        return true;
    }
    a->setChecked(checked);
    return true;
}

bool ToolManager::isChecked(const QString& toolId) const {
    QAction* a = tool(toolId);
    return a && a->isChecked();
}

bool ToolManager::setToolEnabled(const QString& toolId, bool enabled) {
    QAction* a = tool(toolId);
    if (!a) return false;
    a->setEnabled(enabled);
    return true;
}

bool ToolManager::isToolEnabled(const QString& toolId) const {
    QAction* a = tool(toolId);
    return a && a->isEnabled();
}

bool ToolManager::setToolVisible(const QString& toolId, bool visible) {
    QAction* a = tool(toolId);
    if (!a) return false;
    a->setVisible(visible);
    return true;
}

bool ToolManager::isToolVisible(const QString& toolId) const {
    QAction* a = tool(toolId);
    return a && a->isVisible();
}

bool ToolManager::setDropDown(const QString& toolId, const QString& menuBandId) {
    QAction* a = tool(toolId);
    if (!a) return false;
    dropDowns_.insert(toolId, menuBandId);
    if (!dropDownMenus_.contains(toolId)) {
        auto* proxy = new QMenu(owner_);
        proxy->setObjectName(toolId + QStringLiteral("_DropDown"));
        connect(proxy, &QMenu::aboutToShow, this, [this, toolId, proxy] {
            emit toolDropDown(toolId);
            fillDropDown(toolId, proxy);
        });
        dropDownMenus_.insert(toolId, proxy);
        a->setMenu(proxy);
        for (Band& b : bands_) {
            if (!b.toolBar || !b.tools.contains(toolId)) continue;
            if (auto* button = qobject_cast<QToolButton*>(b.toolBar->widgetForAction(a)))
                button->setPopupMode(QToolButton::MenuButtonPopup);
        }
    }
    return true;
}

QString ToolManager::dropDownBand(const QString& toolId) const { return dropDowns_.value(toolId); }

void ToolManager::fillDropDown(const QString& toolId, QMenu* menu) {
    menu->clear();
    auto it = bands_.find(dropDowns_.value(toolId));
    if (it == bands_.end()) return;
    for (const QString& t : it->tools) {
        if (t.isEmpty())
            menu->addSeparator();
        else if (QAction* a = tool(t))
            menu->addAction(a);
    }
}

QMenu* ToolManager::prepareDropDown(const QString& toolId) {
    QMenu* menu = dropDownMenus_.value(toolId, nullptr);
    if (!menu) return nullptr;
    emit toolDropDown(toolId);
    fillDropDown(toolId, menu);
    return menu;
}

void ToolManager::setEnabled(bool enabled) {
    enabled_ = enabled;
    if (menuBar_) menuBar_->setEnabled(enabled);
    for (Band& b : bands_) {
        if (b.toolBar) b.toolBar->setEnabled(enabled);
        if (b.kind == BandKind::Popup) b.menu->setEnabled(enabled);
    }
}

void ToolManager::showPopup(const QString& bandId) {
    QMenu* menu = menuBand(bandId);
    if (menu && enabled_) menu->popup(QCursor::pos());
}

bool ToolManager::click(const QString& toolId) {
    QAction* a = tool(toolId);
    if (!a || !a->isEnabled() || !enabled_) return false;
    a->trigger();
    return true;
}

}  // namespace ui
