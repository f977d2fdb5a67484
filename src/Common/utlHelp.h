#pragma once

#include <functional>
#include <string>
#include <vector>

// Opens the help page that belongs to a window, chosen by the window's title (Shift_JIS).
// The pages live in "Help/" in the program directory and open in the desktop's browser.
class utlHelp {
public:
    // Shows a file; true when the viewer was started.
    using Opener = std::function<bool(const std::string& path)>;
    // Tells the user that a page cannot be shown (text and caption, Shift_JIS).
    using ErrorReporter = std::function<void(const std::string& text, const std::string& caption)>;

    utlHelp();
    virtual ~utlHelp();

    // Builds the help path from the program directory.
    virtual bool init();
    virtual bool term();
    // Opens the page of title, or the index for a title the table does not know.
    virtual bool showTopic(const std::string& title);

    // The help directory in the program directory, ending with '/'.
    const std::string& helpPath() const { return helpPath_; }
    // The page of a title relative to the help directory, empty when the title is unknown.
    static std::string pageForTitle(const std::string& title);
    // Every title of the table, in its order.
    static std::vector<std::string> topicTitles();

    void setOpener(Opener opener) { opener_ = std::move(opener); }
    void setFallbackPaths(std::vector<std::string> paths) { otherPaths_ = std::move(paths); }
    void setErrorReporter(ErrorReporter reporter) { reporter_ = std::move(reporter); }

    // Starts xdg-open on path without waiting for the viewer.
    static bool openWithDesktop(const std::string& path);

private:
    std::string helpPath_;
    // Where the pages are looked for when the program directory has none: beside the
    // executable, and where an installed program keeps them.
    std::vector<std::string> otherPaths_;
    Opener opener_;
    ErrorReporter reporter_;
};

bool InitUtlHelp();
utlHelp* GetUtlHelp();
bool TermUtlHelp();
