// Menus, toolbars and popup menus as one set of tools. A tool is identified by a string id
// ("ID_File_Open") and is one QAction, so its checked, enabled and visible states hold in
// every menu, toolbar and popup where it stands. Bands (menus, toolbars, popups) keep their
// tools in order. Every click arrives through one signal carrying the tool's id.
#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

class QAction;
class QActionGroup;
class QMainWindow;
class QMenu;
class QMenuBar;
class QToolBar;
class QWidget;

namespace ui {

class ToolManager : public QObject {
    Q_OBJECT
public:
    enum class BandKind { Menu, ToolBar, Popup };

    explicit ToolManager(QWidget* owner);
    ~ToolManager() override;

    // Tools. Adding an id that exists returns the existing tool unchanged.
    QAction* addTool(const QString& id, const QString& caption, const QString& description = {},
                     bool checkable = false);
    QAction* tool(const QString& id) const;  // nullptr for an unknown id
    bool hasTool(const QString& id) const { return tool(id) != nullptr; }
    QStringList toolIds() const { return order_; }
    QString caption(const QString& id) const;
    void setIcon(const QString& id, const QString& imagePath);

    // Bands. A menu band is placed on bar (nullptr: a sub-menu used as a drop-down);
    // a popup band stands alone; a toolbar band is added to the window. The band's header
    // (menus only) is a tool of the band's id.
    QMenu* addMenuBand(const QString& id, const QString& caption, QMenuBar* bar);
    QToolBar* addToolBarBand(const QString& id, const QString& caption, QMainWindow* window);
    QMenu* addPopupBand(const QString& id, const QString& caption);
    // Places a tool at the end of a band; false when either is unknown.
    bool addToBand(const QString& bandId, const QString& toolId);
    void addSeparator(const QString& bandId);
    // Removes every tool and separator from a band (the tools themselves remain).
    void clearBand(const QString& bandId);
    QStringList bands() const { return bandOrder_; }
    QStringList bandTools(const QString& bandId) const;  // in the band's order
    BandKind bandKind(const QString& bandId) const;
    bool hasBand(const QString& bandId) const { return bands_.contains(bandId); }
    QMenu* menuBand(const QString& bandId) const;        // menus and popups
    QToolBar* toolBarBand(const QString& bandId) const;
    void setBandVisible(const QString& bandId, bool visible);
    bool isBandVisible(const QString& bandId) const;

    // Option groups: at most one checked tool per non-empty group name.
    void setOptionGroup(const QString& toolId, const QString& group);
    QString optionGroup(const QString& toolId) const;

    // A free value kept with each tool.
    void setTag(const QString& toolId, const QVariant& tag);
    QVariant tag(const QString& toolId) const;

    // States; the setters return false for an unknown id.
    bool setChecked(const QString& toolId, bool checked);
    bool isChecked(const QString& toolId) const;
    bool setToolEnabled(const QString& toolId, bool enabled);
    bool isToolEnabled(const QString& toolId) const;
    bool setToolVisible(const QString& toolId, bool visible);
    bool isToolVisible(const QString& toolId) const;

    // Drop-down tools: a toolbar tool that opens a menu band. Before the menu opens,
    // toolDropDown(id) is emitted; its handler may point the tool at another band.
    bool setDropDown(const QString& toolId, const QString& menuBandId);
    QString dropDownBand(const QString& toolId) const;
    // Fills the drop-down of a tool as it would be shown (used before popping it up).
    QMenu* prepareDropDown(const QString& toolId);

    // The whole set of menus and toolbars enabled or disabled at once; the tools keep
    // their own states.
    void setEnabled(bool enabled);
    bool isEnabled() const { return enabled_; }

    // Shows a popup band at the cursor (non-blocking).
    void showPopup(const QString& bandId);

    // Emits toolClicked for a tool as a user click would (checkable tools toggle first).
    bool click(const QString& toolId);

signals:
    void toolClicked(const QString& id);
    void toolDropDown(const QString& id);

private:
    struct Band {
        BandKind kind = BandKind::Menu;
        QMenu* menu = nullptr;
        QToolBar* toolBar = nullptr;
        QStringList tools;  // "" stands for a separator
    };
    void place(Band& band, QAction* action);
    void fillDropDown(const QString& toolId, QMenu* menu);

    QWidget* owner_;
    QHash<QString, QAction*> tools_;
    QStringList order_;
    QHash<QString, Band> bands_;
    QStringList bandOrder_;
    QHash<QString, QActionGroup*> groups_;
    QHash<QString, QString> toolGroup_;
    QHash<QString, QVariant> tags_;
    QHash<QString, QString> dropDowns_;
    QHash<QString, QMenu*> dropDownMenus_;
    QMenuBar* menuBar_ = nullptr;
    bool enabled_ = true;
};

}  // namespace ui
