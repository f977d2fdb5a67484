#include "Common/utlCommandRoot.h"

#include "Common/utlLog.h"
#include "Common/utlTexts.h"

#include <cassert>
#include <new>

namespace {

// Searched from the top; the paste choices answer their own pop-up menu and map to -1.
const utlCommandEntry commandTable[] = {
    {32769, 1031, utlTexts::sjis(utlText::commandNewItem), "Ctrl+N", nullptr},
    {32770, 1033, utlTexts::sjis(utlText::commandNewFolder), nullptr, nullptr},
    {32771, 1027, utlTexts::sjis(utlText::commandCabinet), nullptr, nullptr},
    {32772, 1100, utlTexts::sjis(utlText::commandCabinet), "Ctrl+O", nullptr},
    {32773, 11003, utlTexts::sjis(utlText::commandOpenFile), nullptr, nullptr},
    {32834, 11004, utlTexts::sjis(utlText::commandOpenFavorites), nullptr, nullptr},
    {32835, 11005, utlTexts::sjis(utlText::commandOpenBookmarks), nullptr, nullptr},
    {32774, 1029, utlTexts::sjis(utlText::commandCopyCabinet), nullptr, nullptr},
    {32836, 11007, nullptr, "Ctrl+S", nullptr},
    {32883, 11042, utlTexts::sjis(utlText::commandExport), nullptr, nullptr},
    {32891, 11051, utlTexts::sjis(utlText::commandShowArchive), nullptr, nullptr},
    {32778, 11026, utlTexts::sjis(utlText::commandProperties), nullptr, nullptr},
    {32779, 1000, utlTexts::sjis(utlText::commandExit), nullptr, nullptr},
    {32781, 11008, utlTexts::sjis(utlText::commandCut), "Ctrl+X", nullptr},
    {32782, 11009, utlTexts::sjis(utlText::commandCopy), "Ctrl+C", nullptr},
    {32783, 11010, utlTexts::sjis(utlText::commandPaste), "Ctrl+V", nullptr},
    {32785, 11011, utlTexts::sjis(utlText::commandSelectAll), "Ctrl+A", nullptr},
    {32784, 1040, utlTexts::sjis(utlText::commandDelete), "Delete", nullptr},
    {32780, 11012, utlTexts::sjis(utlText::commandUndoDelete), "Ctrl+Z", nullptr},
    {32786, 1023, utlTexts::sjis(utlText::commandSearch), "Ctrl+F", nullptr},
    {32839, 11013, utlTexts::sjis(utlText::commandMoveUp), "Ctrl+Up", nullptr},
    {32840, 11014, utlTexts::sjis(utlText::commandMoveDown), "Ctrl+Down", nullptr},
    {32841, 11015, utlTexts::sjis(utlText::commandMark), nullptr, nullptr},
    {32842, 11016, nullptr, nullptr, nullptr},
    {32787, 1018, utlTexts::sjis(utlText::commandSettings), "Ctrl+E", nullptr},
    {32838, 11017, utlTexts::sjis(utlText::commandExpand), "Ctrl+L", nullptr},
    {32788, 11018, utlTexts::sjis(utlText::commandReexpand), "Ctrl+R", nullptr},
    {32789, 11019, utlTexts::sjis(utlText::commandExpandAll), nullptr, nullptr},
    {32790, 11020, utlTexts::sjis(utlText::commandStop), "Ctrl+Q", nullptr},
    {32791, 1008, utlTexts::sjis(utlText::commandShowListView), nullptr, nullptr},
    {32792, 1011, utlTexts::sjis(utlText::commandShowHtmlView), nullptr, nullptr},
    {32793, 5002, utlTexts::sjis(utlText::commandShowInBrowser), "Ctrl+B", nullptr},
    {32794, 5003, utlTexts::sjis(utlText::commandShowInNewBrowser), nullptr, nullptr},
    {32796, 11021, utlTexts::sjis(utlText::commandCodeAuto), nullptr, nullptr},
    {32797, 11022, utlTexts::sjis(utlText::commandCodeSjis), nullptr, nullptr},
    {32798, 11023, utlTexts::sjis(utlText::commandCodeEuc), nullptr, nullptr},
    {32890, 11050, "UTF-8(&U)", nullptr, nullptr},
    {32799, 1021, utlTexts::sjis(utlText::commandTakeFootprint), "Ctrl+1", nullptr},
    {32801, 1019, utlTexts::sjis(utlText::commandTakeSnapshot), "Ctrl+2", nullptr},
    {32808, 11024, utlTexts::sjis(utlText::commandHelpContents), "Ctrl+H", "F1"},
    {32809, 1001, utlTexts::sjis(utlText::commandAbout), nullptr, nullptr},
    {32872, 11025, utlTexts::sjis(utlText::commandRename), "F2", nullptr},
    {32827, 11026, utlTexts::sjis(utlText::commandProperties), nullptr, nullptr},
    {32882, 11041, utlTexts::sjis(utlText::commandOpenTree), "F8", nullptr},
    {32884, 11043, utlTexts::sjis(utlText::commandEmptySnapshotBin), nullptr, nullptr},
    {32848, 11026, nullptr, nullptr, nullptr},
    {32849, -1, utlTexts::sjis(utlText::commandPasteInside), nullptr, nullptr},
    {32850, -1, utlTexts::sjis(utlText::commandPasteBelow), nullptr, nullptr},
    {32851, -1, utlTexts::sjis(utlText::commandCancel), nullptr, nullptr},
    {32875, 11030, nullptr, "F3", nullptr},
    {32876, 11031, nullptr, "Shift+F3", nullptr},
    {32878, 11029, utlTexts::sjis(utlText::commandSearchMark), "F4", nullptr},
    {32877, 11028, nullptr, "Shift+F4", nullptr},
    {32880, 11033, utlTexts::sjis(utlText::commandSearchDeadLink), "F5", nullptr},
    {32879, 11034, nullptr, "Shift+F5", nullptr},
};

utlCommandRoot* LutlCommandRoot = nullptr;

const char* const messageCreate = utlTexts::sjis(utlText::commandRootCreateFailed);
const char* const messageInit = utlTexts::sjis(utlText::commandRootInitFailed);
const char* const messageTerm = utlTexts::sjis(utlText::commandRootTermFailed);
const char* const messageExecute = utlTexts::sjis(utlText::commandExecuteFailed);

} // namespace

utlCommandRoot::~utlCommandRoot() = default;

bool utlCommandRoot::init(utlCommandTarget* target)
{
    target_ = target;
    return true;
}

bool utlCommandRoot::term()
{
    target_ = nullptr;
    return true;
}

bool utlCommandRoot::executeCommand(int code, bool query, bool& handled)
{
    handled = false;
    if (target_ == nullptr)
        return true;
    if (!target_->executeCommand(code, query, handled)) {
        logError(messageExecute);
        return false;
    }
    return true;
}

int utlCommandRoot::getCommand(int menuId) const
{
    for (const utlCommandEntry& entry : commandTable)
        if (entry.menuId == menuId)
            return entry.command;
    return -1;
}

std::span<const utlCommandEntry> utlCommandRoot::table()
{
    return commandTable;
}

bool InitUtlCommand(utlCommandTarget* target)
{
    TermUtlCommand();
    LutlCommandRoot = new (std::nothrow) utlCommandRoot;
    if (LutlCommandRoot == nullptr) {
        logError(messageCreate);
        return false;
    }
    if (!LutlCommandRoot->init(target)) {
        logError(messageInit);
        delete LutlCommandRoot;
        LutlCommandRoot = nullptr;
        return false;
    }
    return true;
}

utlCommandRoot* GetUtlCommandRoot()
{
    assert(LutlCommandRoot != nullptr);
    return LutlCommandRoot;
}

bool TermUtlCommand()
{
    if (LutlCommandRoot == nullptr)
        return true;
    bool ok = LutlCommandRoot->term();
    if (!ok)
        logError(messageTerm);
    delete LutlCommandRoot;
    LutlCommandRoot = nullptr;
    return ok;
}
