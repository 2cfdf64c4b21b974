#include "shell/menu_tree.h"

#include "common/guarded.h"
#include "common/translate.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QWidget>

#include <algorithm>

TMenuTree::TMenuTree(QWidget* window, QMenuBar* bar)
    : FWindow(window), FBar(bar)
{
}

QAction* TMenuTree::AddSubmenu(QAction* parent, const QString& name, const QString& caption, OnClick onClick)
{
    QMenu* menu = parent ? MenuOf(parent)->addMenu(caption) : FBar->addMenu(caption);
    menu->setObjectName(name);
    QAction* item = menu->menuAction();
    item->setObjectName(name);
    FParents.insert(item, parent);
    FItems.insert(name, item);
    if (onClick) {
        FHandlers.insert(item, onClick);
        QObject::connect(menu, &QMenu::aboutToShow, menu, [this, item] { Click(item); });
    }
    return item;
}

QAction* TMenuTree::AddItem(QAction* parent, const QString& name, const QString& caption, OnClick onClick,
                            const QList<QKeySequence>& shortcuts)
{
    QAction* item = MenuOf(parent)->addAction(caption);
    item->setObjectName(name);
    FParents.insert(item, parent);
    FItems.insert(name, item);
    FHandlers.insert(item, onClick);
    QObject::connect(item, &QAction::triggered, item, [this, item] { Click(item); });
    AddShortcuts(item, shortcuts);
    return item;
}

QAction* TMenuTree::AddSeparator(QAction* parent, const QString& name)
{
    QAction* item = MenuOf(parent)->addSeparator();
    item->setObjectName(name);
    FParents.insert(item, parent);
    FItems.insert(name, item);
    return item;
}

void TMenuTree::MakeRadioGroup(const QList<QAction*>& items)
{
    if (items.isEmpty())
        return;
    auto* group = new QActionGroup(items.first()->parent());
    group->setExclusive(true);
    for (QAction* item : items) {
        item->setCheckable(true);
        group->addAction(item);
    }
}

void TMenuTree::MakeCheckItem(QAction* item)
{
    item->setCheckable(true);
}

void TMenuTree::Click(QAction* item) const
{
    const OnClick handler = FHandlers.value(item);
    if (handler)
        handler();
}

void TMenuTree::ClickWithAncestors(QAction* item) const
{
    QList<QAction*> chain;
    for (QAction* a = item; a; a = Parent(a))
        chain.append(a);
    std::reverse(chain.begin(), chain.end());
    for (QAction* a : chain) {
        if (!a->isEnabled())
            return;
        Click(a);
    }
}

QMenu* TMenuTree::MenuOf(QAction* submenu) const
{
    return submenu->menu<QMenu*>();
}

namespace {

constexpr QChar kKeySeparator = u'\t';

}  // namespace

QString TMenuTree::Caption(const QAction* item) const
{
    const QString text = item->text();
    const qsizetype tab = text.indexOf(kKeySeparator);
    return tab < 0 ? text : text.left(tab);
}

void TMenuTree::SetCaption(QAction* item, const QString& caption) const
{
    const QList<QKeySequence> keys = Shortcuts(item);
    item->setText(keys.isEmpty() ? caption : caption + kKeySeparator + keys.first().toString(QKeySequence::NativeText));
}

// Only a window-wide QShortcut acts on a key, so the ancestor rule always holds; the item just shows it.
void TMenuTree::AddShortcuts(QAction* item, const QList<QKeySequence>& shortcuts)
{
    if (shortcuts.isEmpty())
        return;
    FKeys.insert(item, shortcuts);
    SetCaption(item, item->text());
    for (const QKeySequence& key : shortcuts) {
        auto* shortcut = new QShortcut(key, FWindow);
        shortcut->setObjectName("Shortcut_" + item->objectName());
        QObject::connect(shortcut, &QShortcut::activated, FWindow, [this, item] { ClickWithAncestors(item); });
    }
}

void TranslateMenu(QAction* item)
{
    if (!item)
        return;
    Guarded([&] {
        // The key shown after the caption is no part of the text to translate.
        const QString text = item->text();
        const qsizetype tab = text.indexOf(u'\t');
        if (!item->isSeparator() && text != QLatin1String("-"))
            item->setText(Translate(tab < 0 ? text : text.left(tab)) + (tab < 0 ? QString() : text.mid(tab)));
        if (const QMenu* menu = item->menu<QMenu*>()) {
            for (QAction* child : menu->actions())
                TranslateMenu(child);
        }
    });
}
