#pragma once

#include <QHash>
#include <QKeySequence>
#include <QList>
#include <QString>

#include <functional>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

// The main menu's items with their OnClick handlers and parent links. An item with a submenu runs its OnClick
// when the submenu opens. Shortcuts do not fire the items directly: they walk the item's ancestors from the top,
// so each menu refreshes its enabled states first, and stop at the first disabled item. While the window is
// busy its top menus are disabled, so no shortcut acts.
//
// Each key has exactly one live shortcut, the window's. The items only show their key (after a tab in their
// text, where menus draw a shortcut): a QAction shortcut of their own would compete with the window's whenever
// the menu bar has the focus, as it keeps it after a menu is closed with Escape, and Qt then runs neither.
class TMenuTree {
public:
    using OnClick = std::function<void()>;

    // window receives the shortcuts and parents the menu bar.
    TMenuTree(QWidget* window, QMenuBar* bar);
    TMenuTree(const TMenuTree&) = delete;
    TMenuTree& operator=(const TMenuTree&) = delete;

    // A top-level menu (parent null) or a submenu of parent. onClick may be empty.
    QAction* AddSubmenu(QAction* parent, const QString& name, const QString& caption, OnClick onClick = {});
    QAction* AddItem(QAction* parent, const QString& name, const QString& caption, OnClick onClick,
                     const QList<QKeySequence>& shortcuts = {});
    QAction* AddSeparator(QAction* parent, const QString& name);
    // Makes the items checkable and mutually exclusive.
    void MakeRadioGroup(const QList<QAction*>& items);
    // Makes the item checkable (the handler decides what the check means).
    static void MakeCheckItem(QAction* item);

    // The item's caption without the key it shows, and setting it (the key stays).
    QString Caption(const QAction* item) const;
    void SetCaption(QAction* item, const QString& caption) const;
    // The keys that run the item; the first one is shown in the menu.
    QList<QKeySequence> Shortcuts(const QAction* item) const { return FKeys.value(item); }

    // Runs the item's OnClick, whatever its state: what a click on it does.
    void Click(QAction* item) const;
    // What a shortcut does: click each ancestor from the top, then the item, stopping at a disabled one.
    void ClickWithAncestors(QAction* item) const;

    QAction* Parent(QAction* item) const { return FParents.value(item); }
    // The item of that object name; null for none.
    QAction* Item(const QString& name) const { return FItems.value(name); }
    QMenu* MenuOf(QAction* submenu) const;
    QMenuBar* Bar() const { return FBar; }

private:
    void AddShortcuts(QAction* item, const QList<QKeySequence>& shortcuts);

    QWidget* FWindow;
    QMenuBar* FBar;
    QHash<QAction*, QAction*> FParents;
    QHash<QString, QAction*> FItems;
    QHash<QAction*, OnClick> FHandlers;
    QHash<const QAction*, QList<QKeySequence>> FKeys;
};

// Replaces the item's caption by its translation (separators excepted), then does the same for every item of its
// submenu in menu order, parent before children. A null item is ignored; never throws.
void TranslateMenu(QAction* item);
