#include "Common/utlHelp.h"

#include "Common/utlLog.h"
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
constexpr HelpTopic helpTopics[] = {
    {"\x83""C\x83\x93\x83""f\x83""b\x83N\x83X", "index.html"}, // インデックス
    {"\x82\xA9\x82\xF1\x82\xBD\x82\xF1\x90\xDD\x92\xE8\x89\xE6\x96\xCA", "panel/set_kantan.html"}, // かんたん設定画面
    {"\x83r\x83\x85\x81[\x90\xDD\x92\xE8\x89\xE6\x96\xCA", "panel/set_v.html"}, // ビュー設定画面
    {"\x83""c\x83\x8A\x81[\x83r\x83\x85\x81[\x90\xDD\x92\xE8\x89\xE6\x96\xCA", "panel/set_treev.html"}, // ツリービュー設定画面
    {"\x83\x8A\x83X\x83g\x83r\x83\x85\x81[\x90\xDD\x92\xE8\x89\xE6\x96\xCA", "panel/set_listv.html"}, // リストビュー設定画面
    {"\x83L\x83\x83\x83r\x83l\x83""b\x83g\x90\xDD\x92\xE8\x89\xE6\x96\xCA", "panel/set_cab.html"}, // キャビネット設定画面
    {"\x98""A\x8Cg\x90\xDD\x92\xE8\x89\xE6\x96\xCA", "panel/set_renkei.html"}, // 連携設定画面
    {"\x83""A\x83""C\x83""e\x83\x80\x82\xCC\x90V\x8BK\x8D\xEC\x90\xAC", "panel/p_newi.html"}, // アイテムの新規作成
    {"\x83t\x83H\x83\x8B\x83_\x82\xCC\x90V\x8BK\x8D\xEC\x90\xAC", "panel/p_newh.html"}, // フォルダの新規作成
    {"\x83L\x83\x83\x83r\x83l\x83""b\x83g\x82\xCC\x90V\x8BK\x8D\xEC\x90\xAC", "panel/p_newcab.html"}, // キャビネットの新規作成
    {"\x83L\x83\x83\x83r\x83l\x83""b\x83g\x82\xF0\x8AJ\x82\xAD", "panel/p_opcab.html"}, // キャビネットを開く
    {"\x83L\x83\x83\x83r\x83l\x83""b\x83g\x83t\x83H\x83\x8B\x83_\x82\xCC\x91I\x91\xF0", "panel/p_selch.html"}, // キャビネットフォルダの選択
    {"\x83t\x83@\x83""C\x83\x8B\x82\xF0\x8AJ\x82\xAD", "panel/p_opf.html"}, // ファイルを開く
    {"\x83L\x83\x83\x83r\x83l\x83""b\x83g\x82\xCC\x83R\x83s\x81[\x82\xF0\x8D\xEC\x90\xAC", "panel/p_cpcab.html"}, // キャビネットのコピーを作成
    {"\x83_\x83""E\x83\x93\x83\x8D\x81[\x83h", "panel/p_dl.html"}, // ダウンロード
    {"\x83t\x83""b\x83g\x83v\x83\x8A\x83\x93\x83g\x82\xF0\x8E""B\x82\xE9", "panel/p_foot.html"}, // フットプリントを撮る
    {"\x83X\x83i\x83""b\x83v\x83V\x83\x87\x83""b\x83g\x82\xF0\x8E""B\x82\xE9", "panel/p_snap.html"}, // スナップショットを撮る
    {"\x83\x8A\x83\x93\x83N\x83`\x83""F\x83""b\x83N\x92\x86", "panel/p_link.html"}, // リンクチェック中
    {"\x8C\x9F\x8D\xF5", "panel/p_search.html"}, // 検索
    {"\x83L\x83\x83\x83r\x83l\x83""b\x83g\x83v\x83\x8D\x83p\x83""e\x83""B", "panel/pro_cab.html"}, // キャビネットプロパティ
    {"\x83t\x83H\x83\x8B\x83_\x83v\x83\x8D\x83p\x83""e\x83""B", "panel/pro_hol.html"}, // フォルダプロパティ
    {"\x83""A\x83""C\x83""e\x83\x80\x83v\x83\x8D\x83p\x83""e\x83""B", "panel/pro_item.html"}, // アイテムプロパティ
    {"\x83T\x83u\x83""A\x83""C\x83""e\x83\x80\x83v\x83\x8D\x83p\x83""e\x83""B", "panel/pro_sub.html"}, // サブアイテムプロパティ
    {"\x83t\x83""b\x83g\x83v\x83\x8A\x83\x93\x83g\x83L\x83\x83\x83r\x83l\x83""b\x83g\x83v\x83\x8D\x83p\x83""e\x83""B", "panel/pro_fcab.html"}, // フットプリントキャビネットプロパティ
    {"\x83t\x83""b\x83g\x83v\x83\x8A\x83\x93\x83g\x83v\x83\x8D\x83p\x83""e\x83""B", "panel/pro_foot.html"}, // フットプリントプロパティ
    {"\x83X\x83i\x83""b\x83v\x83V\x83\x87\x83""b\x83g\x83L\x83\x83\x83r\x83l\x83""b\x83g\x83v\x83\x8D\x83p\x83""e\x83""B", "panel/pro_scab.html"}, // スナップショットキャビネットプロパティ
    {"\x83X\x83i\x83""b\x83v\x83V\x83\x87\x83""b\x83g\x83v\x83\x8D\x83p\x83""e\x83""B", "panel/pro_snap.html"}, // スナップショットプロパティ
};

constexpr std::string_view indexPage = "index.html";

utlHelp* LutlHelp = nullptr;

// "Class utlHelpの生成に失敗しました"
constexpr const char* messageCreate = "Class utlHelp\x82\xCC\x90\xB6\x90\xAC\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
// "Class utlHelpの初期化に失敗しました"
constexpr const char* messageInit = "Class utlHelp\x82\xCC\x8F\x89\x8A\xFA\x89\xBB\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
// "Class utlHelpの終期化に失敗しました"
constexpr const char* messageTerm = "Class utlHelp\x82\xCC\x8FI\x8A\xFA\x89\xBB\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
// "\nは作成出来ませんでした。"
constexpr const char* messageNotShown = "\n\x82\xCD\x8D\xEC\x90\xAC\x8Fo\x97\x88\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x81""B";
// "エラーメッセージ"
constexpr const char* captionError = "\x83G\x83\x89\x81[\x83\x81\x83""b\x83Z\x81[\x83W";

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
    logError("utlHelp::showTopic", text);
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
        logError("InitUtlHelp", messageCreate);
        return false;
    }
    if (!LutlHelp->init()) {
        logError("InitUtlHelp", messageInit);
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
        logError("TermUtlHelp", messageTerm);
    delete LutlHelp;
    LutlHelp = nullptr;
    return ok;
}
