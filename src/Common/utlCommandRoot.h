#pragma once

#include "Common/utlCommandTarget.h"

#include <span>

// One row of the menu table: a menu, accelerator or tool-bar identifier, its command code,
// the main-menu label (Shift_JIS, nullptr when no menu item carries it) and up to two
// accelerators in the "Ctrl+N" form (nullptr when none).
struct utlCommandEntry {
    int menuId;
    int command;
    const char* label;
    const char* accelerator;
    const char* secondAccelerator;
};

// Turns menu identifiers into command codes and hands commands to the application window.
class utlCommandRoot : public utlCommandTarget {
public:
    ~utlCommandRoot() override;

    virtual bool init(utlCommandTarget* target);
    virtual bool term();
    // Hands the command to the target. Without a target the command is not handled (true).
    bool executeCommand(int code, bool query, bool& handled) override;
    // The command code of a menu identifier, -1 when the table has none.
    virtual int getCommand(int menuId) const;

    // The whole table, in its search order.
    static std::span<const utlCommandEntry> table();

private:
    utlCommandTarget* target_ = nullptr;
};

bool InitUtlCommand(utlCommandTarget* target);
utlCommandRoot* GetUtlCommandRoot();
bool TermUtlCommand();
