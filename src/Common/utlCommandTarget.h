#pragma once

// Base of every window and tree item that carries out commands.
class utlCommandTarget {
public:
    virtual ~utlCommandTarget() = default;

    // Carries out command code, or with query set only tells whether it is available. handled
    // is set when the command was carried out (or is available); false is returned only on
    // failure. A target that does not know the code leaves handled false and returns true.
    virtual bool executeCommand(int code, bool query, bool& handled)
    {
        (void)code;
        (void)query;
        handled = false;
        return true;
    }
};
