#include "Gui/guiMenus.h"

#include "Common/utlCommandRoot.h"
#include "QtBridge/guiText.h"

#include <QCoreApplication>
#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace {

enum EntryKind { popup, item, separator, end };

struct MenuEntry {
    EntryKind kind;
    int menuId;
    const char* title; // popups, and items whose label differs from the command table's
};

constexpr MenuEntry mainMenu[] = {
    {popup, 0, QT_TRANSLATE_NOOP("guiMenus", "ファイル(&F)")},
    {popup, 0, QT_TRANSLATE_NOOP("guiMenus", "新規作成(&N)")},
    {item, 32769, nullptr},
    {item, 32770, nullptr},
    {item, 32771, nullptr},
    {end, 0, nullptr},
    {popup, 0, QT_TRANSLATE_NOOP("guiMenus", "開く(&O)")},
    {item, 32772, nullptr},
    {item, 32773, nullptr},
    {item, 32834, nullptr},
    {item, 32835, nullptr},
    {end, 0, nullptr},
    {separator, 0, nullptr},
    {item, 32774, nullptr},
    {item, 32883, nullptr},
    {separator, 0, nullptr},
    {item, 32778, nullptr},
    {separator, 0, nullptr},
    {item, 32779, nullptr},
    {end, 0, nullptr},
    {popup, 0, QT_TRANSLATE_NOOP("guiMenus", "編集(&E)")},
    {item, 32781, nullptr},
    {item, 32782, nullptr},
    {item, 32783, nullptr},
    {separator, 0, nullptr},
    {item, 32785, nullptr},
    {item, 32784, nullptr},
    {item, 32872, nullptr},
    {item, 32780, nullptr},
    {separator, 0, nullptr},
    {item, 32839, nullptr},
    {item, 32840, nullptr},
    {separator, 0, nullptr},
    {item, 32787, nullptr},
    {end, 0, nullptr},
    {popup, 0, QT_TRANSLATE_NOOP("guiMenus", "表示(&V)")},
    {item, 32838, nullptr},
    {item, 32788, nullptr},
    {item, 32789, nullptr},
    {item, 32882, nullptr},
    {item, 32790, nullptr},
    {separator, 0, nullptr},
    {item, 32791, nullptr},
    {item, 32792, nullptr},
    {separator, 0, nullptr},
    {item, 32793, nullptr},
    {item, 32794, nullptr},
    {separator, 0, nullptr},
    {popup, 0, QT_TRANSLATE_NOOP("guiMenus", "文字コード(&C)")},
    {item, 32796, nullptr},
    {item, 32797, nullptr},
    {item, 32798, nullptr},
    {item, 32890, nullptr},
    {end, 0, nullptr},
    {end, 0, nullptr},
    {popup, 0, QT_TRANSLATE_NOOP("guiMenus", "ツール(&T)")},
    {item, 32799, nullptr},
    {item, 32801, nullptr},
    {separator, 0, nullptr},
    {item, 32880, nullptr},
    {item, 32841, nullptr},
    {item, 32878, nullptr},
    {item, 32786, nullptr},
    {separator, 0, nullptr},
    {item, 32884, nullptr},
    {end, 0, nullptr},
    {popup, 0, QT_TRANSLATE_NOOP("guiMenus", "ヘルプ(&H)")},
    {item, 32808, nullptr},
    {separator, 0, nullptr},
    {item, 32809, nullptr},
    {end, 0, nullptr},
};

constexpr MenuEntry itemMenu[] = {
    {popup, 0, QT_TRANSLATE_NOOP("guiMenus", "新規作成(&N)")},
    {item, 32769, nullptr},
    {item, 32770, nullptr},
    {item, 32771, nullptr},
    {end, 0, nullptr},
    {popup, 0, QT_TRANSLATE_NOOP("guiMenus", "編集(&E)")},
    {item, 32781, nullptr},
    {item, 32782, nullptr},
    {item, 32783, nullptr},
    {item, 32784, nullptr},
    {item, 32872, nullptr},
    {end, 0, nullptr},
    {separator, 0, nullptr},
    {item, 32838, nullptr},
    {item, 32788, nullptr},
    {item, 32882, nullptr},
    {separator, 0, nullptr},
    {item, 32793, nullptr},
    {item, 32794, nullptr},
    {item, 32891, nullptr},
    {separator, 0, nullptr},
    {item, 32799, QT_TRANSLATE_NOOP("guiMenus", "フットプリントを撮る(&F)")},
    {item, 32801, QT_TRANSLATE_NOOP("guiMenus", "スナップショットを撮る(&S)")},
    {separator, 0, nullptr},
    {item, 32841, nullptr},
    {separator, 0, nullptr},
    {item, 32884, nullptr},
    {separator, 0, nullptr},
    {item, 32827, nullptr},
};

const utlCommandEntry* entryOf(int menuId)
{
    for (const utlCommandEntry& e : utlCommandRoot::table()) {
        if (e.menuId == menuId)
            return &e;
    }
    return nullptr;
}

QAction* makeAction(QObject* owner, int menuId, const char* label, const guiMenus::Runner& run)
{
    const utlCommandEntry* entry = entryOf(menuId);
    QString text = label != nullptr ? QCoreApplication::translate("guiMenus", label)
                   : entry != nullptr && entry->label != nullptr ? gui::toQt(entry->label)
                                                                 : QString();
    auto* action = new QAction(text, owner);
    action->setData(menuId);
    if (entry != nullptr) {
        QList<QKeySequence> keys;
        if (entry->accelerator != nullptr)
            keys << QKeySequence(QString::fromLatin1(entry->accelerator));
        if (entry->secondAccelerator != nullptr)
            keys << QKeySequence(QString::fromLatin1(entry->secondAccelerator));
        action->setShortcuts(keys);
    }
    if (menuId == 32791 || menuId == 32792 || menuId == 32841 || menuId == 32834 ||
        menuId == 32835 || (menuId >= 32796 && menuId <= 32798) || menuId == 32890)
        action->setCheckable(true);
    QObject::connect(action, &QAction::triggered, owner, [run, menuId] { run(menuId); });
    return action;
}

template <size_t N>
void fill(QMenu* top, QMenuBar* bar, const MenuEntry (&entries)[N], const guiMenus::Runner& run)
{
    std::vector<QMenu*> stack;
    if (top != nullptr)
        stack.push_back(top);
    for (const MenuEntry& e : entries) {
        switch (e.kind) {
        case popup: {
            QString title = QCoreApplication::translate("guiMenus", e.title);
            QMenu* menu = !stack.empty()   ? stack.back()->addMenu(title)
                          : bar != nullptr ? bar->addMenu(title)
                                           : nullptr;
            if (menu == nullptr)
                return; // a top-level pop-up needs the menu bar
            stack.push_back(menu);
            break;
        }
        case item: stack.back()->addAction(makeAction(stack.back(), e.menuId, e.title, run)); break;
        case separator: stack.back()->addSeparator(); break;
        case end: stack.pop_back(); break;
        }
    }
}

void setWidgetShortcuts(QMenu* menu)
{
    for (QAction* action : menu->actions()) {
        if (action->menu() != nullptr)
            setWidgetShortcuts(action->menu());
        // The main menu's actions carry the accelerators; the pop-up only shows them.
        action->setShortcutContext(Qt::WidgetShortcut);
    }
}

} // namespace

void guiMenus::fillMainMenu(QMenuBar* bar, const Runner& run)
{
    fill(nullptr, bar, mainMenu, run);
}

void guiMenus::fillItemMenu(QMenu* menu, const Runner& run)
{
    fill(menu, nullptr, itemMenu, run);
    setWidgetShortcuts(menu);
}

void guiMenus::addHiddenAccelerators(QWidget* window, const Runner& run)
{
    for (int menuId : {32836, 32875, 32876, 32877, 32879}) {
        QAction* action = makeAction(window, menuId, nullptr, run);
        window->addAction(action);
    }
}

void guiMenus::updateMenu(QMenu* menu, const Query& available, const Checked& checked)
{
    for (QAction* action : menu->actions()) {
        if (action->menu() != nullptr) {
            updateMenu(action->menu(), available, checked);
            continue;
        }
        int menuId = action->data().toInt();
        if (menuId == 0 || menuId == -1)
            continue;
        action->setEnabled(available(menuId));
        if (action->isCheckable())
            action->setChecked(checked(menuId));
    }
}

void guiMenus::enableAll(QMenu* menu)
{
    for (QAction* action : menu->actions()) {
        if (action->menu() != nullptr)
            enableAll(action->menu());
        else
            action->setEnabled(true);
    }
}

int guiMenus::commandOf(int menuId)
{
    const utlCommandEntry* entry = entryOf(menuId);
    return entry != nullptr ? entry->command : -1;
}
