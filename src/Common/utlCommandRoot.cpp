#include "Common/utlCommandRoot.h"

#include "Common/utlLog.h"

#include <cassert>
#include <new>

namespace {

// Searched from the top; the paste choices answer their own pop-up menu and map to -1.
constexpr utlCommandEntry commandTable[] = {
    {32769, 1031, "\x83""A\x83""C\x83""e\x83\x80(&I)", "Ctrl+N", nullptr}, // アイテム(&I)
    {32770, 1033, "\x83t\x83H\x83\x8B\x83_(&F)", nullptr, nullptr}, // フォルダ(&F)
    {32771, 1027, "\x83L\x83\x83\x83r\x83l\x83""b\x83g(&C)", nullptr, nullptr}, // キャビネット(&C)
    {32772, 1100, "\x83L\x83\x83\x83r\x83l\x83""b\x83g(&C)", "Ctrl+O", nullptr}, // キャビネット(&C)
    {32773, 11003, "\x83t\x83@\x83""C\x83\x8B(&F)", nullptr, nullptr}, // ファイル(&F)
    {32834, 11004, "IE\x82\xCC\x82\xA8\x8B""C\x82\xC9\x93\xFC\x82\xE8(&O)", nullptr, nullptr}, // IEのお気に入り(&O)
    {32835, 11005, "NN\x82\xCC\x83u\x83""b\x83N\x83}\x81[\x83N(&B)", nullptr, nullptr}, // NNのブックマーク(&B)
    {32774, 1029, "\x83L\x83\x83\x83r\x83l\x83""b\x83g\x82\xCC\x83R\x83s\x81[\x82\xF0\x8D\xEC\x90\xAC(&S)", nullptr, nullptr}, // キャビネットのコピーを作成(&S)
    {32836, 11007, nullptr, "Ctrl+S", nullptr},
    {32883, 11042, "\x83G\x83N\x83X\x83|\x81[\x83g(&E)", nullptr, nullptr}, // エクスポート(&E)
    {32778, 11026, "\x83v\x83\x8D\x83p\x83""e\x83""B(&I)", nullptr, nullptr}, // プロパティ(&I)
    {32779, 1000, "\x8FI\x97\xB9(&X)", nullptr, nullptr}, // 終了(&X)
    {32781, 11008, "\x90\xD8\x82\xE8\x8E\xE6\x82\xE8(&T)", "Ctrl+X", nullptr}, // 切り取り(&T)
    {32782, 11009, "\x83R\x83s\x81[(&C)", "Ctrl+C", nullptr}, // コピー(&C)
    {32783, 11010, "\x93\x5C\x82\xE8\x95t\x82\xAF(&P)", "Ctrl+V", nullptr}, // 貼り付け(&P)
    {32785, 11011, "\x91S\x82\xC4\x91I\x91\xF0(&A)", "Ctrl+A", nullptr}, // 全て選択(&A)
    {32784, 1040, "\x8D\xED\x8F\x9C(&D)", "Delete", nullptr}, // 削除(&D)
    {32780, 11012, "\x8D\xED\x8F\x9C\x82\xCC\x8E\xE6\x82\xE8\x8F\xC1\x82\xB5(&U)", "Ctrl+Z", nullptr}, // 削除の取り消し(&U)
    {32786, 1023, "\x8C\x9F\x8D\xF5(&S)", "Ctrl+F", nullptr}, // 検索(&S)
    {32839, 11013, "\x8D\x80\x96\xDA\x82\xF0\x8F\xE3\x82\xD6(&N)", "Ctrl+Up", nullptr}, // 項目を上へ(&N)
    {32840, 11014, "\x8D\x80\x96\xDA\x82\xF0\x89\xBA\x82\xD6(&M)", "Ctrl+Down", nullptr}, // 項目を下へ(&M)
    {32841, 11015, "\x83}\x81[\x83N(&M)", nullptr, nullptr}, // マーク(&M)
    {32842, 11016, nullptr, nullptr, nullptr},
    {32787, 1018, "\x90\xDD\x92\xE8(&E)", "Ctrl+E", nullptr}, // 設定(&E)
    {32838, 11017, "\x93W\x8AJ(&O)", "Ctrl+L", nullptr}, // 展開(&O)
    {32788, 11018, "\x8D\xC4\x93W\x8AJ(&R)", "Ctrl+R", nullptr}, // 再展開(&R)
    {32789, 11019, "\x88\xEA\x8A\x87\x93W\x8AJ(&A)", nullptr, nullptr}, // 一括展開(&A)
    {32790, 11020, "\x92\x86\x8E~(&S)", "Ctrl+Q", nullptr}, // 中止(&S)
    {32791, 1008, "\x83\x8A\x83X\x83g\x83r\x83\x85\x81[\x82\xF0\x95\x5C\x8E\xA6(&L)", nullptr, nullptr}, // リストビューを表示(&L)
    {32792, 1011, "HTML \x83r\x83\x85\x81[\x82\xF0\x95\x5C\x8E\xA6(&H)", nullptr, nullptr}, // HTML ビューを表示(&H)
    {32793, 5002, "\x83u\x83\x89\x83""E\x83U\x82\xC9\x95\x5C\x8E\xA6(&B)", "Ctrl+B", nullptr}, // ブラウザに表示(&B)
    {32794, 5003, "\x90V\x82\xB5\x82\xA2\x83u\x83\x89\x83""E\x83U\x82\xC9\x95\x5C\x8E\xA6(&N)", nullptr, nullptr}, // 新しいブラウザに表示(&N)
    {32796, 11021, "\x8E\xA9\x93\xAE\x91I\x91\xF0(&A)", nullptr, nullptr}, // 自動選択(&A)
    {32797, 11022, "\x83V\x83t\x83g\x82i\x82h\x82r(&S)", nullptr, nullptr}, // シフトＪＩＳ(&S)
    {32798, 11023, "\x82""d\x82t\x82""b(&E)", nullptr, nullptr}, // ＥＵＣ(&E)
    {32890, 11050, "UTF-8(&U)", nullptr, nullptr},
    {32799, 1021, "\x83t\x83""b\x83g\x83v\x83\x8A\x83\x93\x83g\x82\xF0\x8E""B\x82\xE9(&R)", "Ctrl+1", nullptr}, // フットプリントを撮る(&R)
    {32801, 1019, "\x83X\x83i\x83""b\x83v\x83V\x83\x87\x83""b\x83g\x82\xF0\x8E""B\x82\xE9(&P)", "Ctrl+2", nullptr}, // スナップショットを撮る(&P)
    {32808, 11024, "\x96\xDA\x8E\x9F(&H)", "Ctrl+H", "F1"}, // 目次(&H)
    {32809, 1001, "\x83N\x83""C\x83\x89\x81[\x83\x89\x82\xC9\x82\xC2\x82\xA2\x82\xC4(&A)", nullptr, nullptr}, // クイラーラについて(&A)
    {32872, 11025, "\x96\xBC\x91O\x82\xCC\x95\xCF\x8dX(&R)", "F2", nullptr}, // 名前の変更(&R)
    {32827, 11026, "\x83v\x83\x8D\x83p\x83""e\x83""B(&I)", nullptr, nullptr}, // プロパティ(&I)
    {32882, 11041, "\x83""c\x83\x8A\x81[\x82\xF0\x8AJ\x82\xAD(&T)", "F8", nullptr}, // ツリーを開く(&T)
    {32884, 11043, "\x83X\x83i\x83" "b\x83v\x83V\x83\x87\x83" "b\x83g\x82\xCC\x82\xB2\x82\xDD\x94\xA0\x82\xF0\x8B\xF3\x82\xC9\x82\xB7\x82\xE9(&G)", nullptr, nullptr}, // スナップショットのごみ箱を空にする(&G)
    {32848, 11026, nullptr, nullptr, nullptr},
    {32849, -1, "\x92\x86\x82\xC9\x93\x5C\x82\xE8\x95t\x82\xAF(&M)", nullptr, nullptr}, // 中に貼り付け(&M)
    {32850, -1, "\x89\xBA\x82\xC9\x93\x5C\x82\xE8\x95t\x82\xAF(&B)", nullptr, nullptr}, // 下に貼り付け(&B)
    {32851, -1, "\x83L\x83\x83\x83\x93\x83Z\x83\x8B(&C)", nullptr, nullptr}, // キャンセル(&C)
    {32875, 11030, nullptr, "F3", nullptr},
    {32876, 11031, nullptr, "Shift+F3", nullptr},
    {32878, 11029, "\x83}\x81[\x83N\x8C\x9F\x8D\xF5(&E)", "F4", nullptr}, // マーク検索(&E)
    {32877, 11028, nullptr, "Shift+F4", nullptr},
    {32880, 11033, "\x83""f\x83""b\x83h\x83\x8A\x83\x93\x83N\x8C\x9F\x8D\xF5(&D)", "F5", nullptr}, // デッドリンク検索(&D)
    {32879, 11034, nullptr, "Shift+F5", nullptr},
};

utlCommandRoot* LutlCommandRoot = nullptr;

// "Class utlCommandRootの生成に失敗しました"
constexpr const char* messageCreate = "Class utlCommandRoot\x82\xCC\x90\xB6\x90\xAC\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
// "Class utlCommandRootの初期化に失敗しました"
constexpr const char* messageInit = "Class utlCommandRoot\x82\xCC\x8F\x89\x8A\xFA\x89\xBB\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
// "Class utlCommandRootの終期化に失敗しました"
constexpr const char* messageTerm = "Class utlCommandRoot\x82\xCC\x8FI\x8A\xFA\x89\xBB\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
// "コマンドの実行に失敗しました。"
constexpr const char* messageExecute = "\x83R\x83}\x83\x93\x83h\x82\xCC\x8E\xC0\x8Ds\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81""B";

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
        logError("utlCommandRoot::executeCommand", messageExecute);
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
        logError("InitUtlCommand", messageCreate);
        return false;
    }
    if (!LutlCommandRoot->init(target)) {
        logError("InitUtlCommand", messageInit);
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
        logError("TermUtlCommand", messageTerm);
    delete LutlCommandRoot;
    LutlCommandRoot = nullptr;
    return ok;
}
