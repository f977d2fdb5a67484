#include "Common/utlHelp.h"

#include "Common/utlLog.h"
#include "Common/utlTexts.h"
#include "Platform/ProgramPaths.h"

#include <array>
#include <cassert>
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct HelpTopic {
    std::string_view title;
    std::string_view page;
};

// Titles compared byte for byte, in this order.
const HelpTopic helpTopics[] = {
    {utlTexts::sjis(utlText::helpIndex), "index.html"},
    {utlTexts::sjis(utlText::helpPrefEasy), "panel/set_kantan.html"},
    {utlTexts::sjis(utlText::helpPrefView), "panel/set_v.html"},
    {utlTexts::sjis(utlText::helpPrefTreeView), "panel/set_treev.html"},
    {utlTexts::sjis(utlText::helpPrefListView), "panel/set_listv.html"},
    {utlTexts::sjis(utlText::helpPrefFile), "panel/set_cab.html"},
    {utlTexts::sjis(utlText::helpPrefSync), "panel/set_renkei.html"},
    {utlTexts::sjis(utlText::helpCreateItem), "panel/p_newi.html"},
    {utlTexts::sjis(utlText::helpCreateFolder), "panel/p_newh.html"},
    {utlTexts::sjis(utlText::helpCreateCabinet), "panel/p_newcab.html"},
    {utlTexts::sjis(utlText::helpOpenCabinet), "panel/p_opcab.html"},
    {utlTexts::sjis(utlText::helpFolderChoice), "panel/p_selch.html"},
    {utlTexts::sjis(utlText::helpOpenFile), "panel/p_opf.html"},
    {utlTexts::sjis(utlText::helpCopyCabinet), "panel/p_cpcab.html"},
    {utlTexts::sjis(utlText::helpDownload), "panel/p_dl.html"},
    {utlTexts::sjis(utlText::helpTakeFootprint), "panel/p_foot.html"},
    {utlTexts::sjis(utlText::helpTakeSnapshot), "panel/p_snap.html"},
    {utlTexts::sjis(utlText::helpLinkCheck), "panel/p_link.html"},
    {utlTexts::sjis(utlText::helpSearch), "panel/p_search.html"},
    {utlTexts::sjis(utlText::helpCabinetProperties), "panel/pro_cab.html"},
    {utlTexts::sjis(utlText::helpFolderProperties), "panel/pro_hol.html"},
    {utlTexts::sjis(utlText::helpItemProperties), "panel/pro_item.html"},
    {utlTexts::sjis(utlText::helpSubItemProperties), "panel/pro_sub.html"},
    {utlTexts::sjis(utlText::helpFootprintCabinetProperties), "panel/pro_fcab.html"},
    {utlTexts::sjis(utlText::helpFootprintProperties), "panel/pro_foot.html"},
    {utlTexts::sjis(utlText::helpSnapshotCabinetProperties), "panel/pro_scab.html"},
    {utlTexts::sjis(utlText::helpSnapshotProperties), "panel/pro_snap.html"},
};

constexpr std::string_view indexPage = "index.html";

utlHelp* LutlHelp = nullptr;

const char* const messageCreate = utlTexts::sjis(utlText::helpCreateFailed);
const char* const messageInit = utlTexts::sjis(utlText::helpInitFailed);
const char* const messageTerm = utlTexts::sjis(utlText::helpTermFailed);
const char* const messageNotShown = utlTexts::sjis(utlText::helpNotCreated);
const char* const captionError = utlTexts::sjis(utlText::errorMessageTitle);

bool isRegularFile(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

utlHelp::utlHelp() : opener_(&utlHelp::openWithDesktop) {}

utlHelp::~utlHelp() = default;

bool utlHelp::init()
{
    std::string programDirectory = platform::resolveProgramPaths().programDirectory;
    if (programDirectory.empty())
        return false;
    // The pages lie beside the program; QUILLARA_HOME may point elsewhere, and an installed
    // program finds them under share/.
    std::string executable = platform::executableDirectory();
    helpPath_ = platform::withTrailingSlash(programDirectory) + "Help/";
    otherPaths_ = {executable + "Help/", executable + "../share/quillara/Help/"};
    return true;
}

bool utlHelp::term()
{
    helpPath_.clear();
    otherPaths_.clear();
    return true;
}

std::vector<std::string> utlHelp::topicTitles()
{
    std::vector<std::string> titles;
    for (const HelpTopic& topic : helpTopics)
        titles.emplace_back(topic.title);
    return titles;
}

std::string utlHelp::pageForTitle(const std::string& title)
{
    for (const HelpTopic& topic : helpTopics)
        if (topic.title == title)
            return std::string(topic.page);
    return {};
}

bool utlHelp::showTopic(const std::string& title)
{
    std::string page = pageForTitle(title);
    std::string relative = page.empty() ? std::string(indexPage) : page;
    std::string path = helpPath_ + relative;
    for (const std::string& other : otherPaths_) {
        if (isRegularFile(path))
            break;
        if (isRegularFile(other + relative))
            path = other + relative;
    }
    if (isRegularFile(path) && opener_ && opener_(path))
        return true;
    std::string text = path + messageNotShown;
    logError(text);
    if (reporter_)
        reporter_(text, captionError);
    return false;
}

bool utlHelp::openWithDesktop(const std::string& path)
{
    // The viewer is started from a grandchild so that nobody has to wait for it; a pipe that
    // closes on exec tells whether xdg-open could be started at all.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return false;
    pid_t child = ::fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (child == 0) {
        ::close(report[0]);
        pid_t viewer = ::fork();
        if (viewer == 0) {
            const char* argv[] = {"xdg-open", path.c_str(), nullptr};
            ::execvp(argv[0], const_cast<char* const*>(argv));
        }
        if (viewer <= 0) {
            int error = errno;
            (void)!::write(report[1], &error, sizeof error);
        }
        ::_exit(0);
    }
    ::close(report[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    int error = 0;
    ssize_t n;
    do {
        n = ::read(report[0], &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    ::close(report[0]);
    return n == 0;
}

bool InitUtlHelp()
{
    TermUtlHelp();
    LutlHelp = new (std::nothrow) utlHelp;
    if (LutlHelp == nullptr) {
        logError(messageCreate);
        return false;
    }
    if (!LutlHelp->init()) {
        logError(messageInit);
        delete LutlHelp;
        LutlHelp = nullptr;
        return false;
    }
    return true;
}

utlHelp* GetUtlHelp()
{
    assert(LutlHelp != nullptr);
    return LutlHelp;
}

bool TermUtlHelp()
{
    if (LutlHelp == nullptr)
        return true;
    bool ok = LutlHelp->term();
    if (!ok)
        logError(messageTerm);
    delete LutlHelp;
    LutlHelp = nullptr;
    return ok;
}
