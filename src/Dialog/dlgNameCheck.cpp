#include "Dialog/dlgNameCheck.h"

#include "Dialog/dlgPropertyPage.h"
#include "Platform/platformText.h"
#include "QtBridge/guiText.h"

#include <QCoreApplication>

namespace {

constexpr const char* badCharacter =
    QT_TRANSLATE_NOOP("dlgNameCheck", "名前に使えない文字（/ や制御文字）が含まれています。");
constexpr const char* dotName =
    QT_TRANSLATE_NOOP("dlgNameCheck", "「.」と「..」は名前に使えません。");
constexpr const char* tooLong = QT_TRANSLATE_NOOP("dlgNameCheck", "名前が長すぎます。");
constexpr const char* caution = QT_TRANSLATE_NOOP("dlgNameCheck", "注意");

std::string text(const char* source)
{
    return gui::fromQt(QCoreApplication::translate("dlgNameCheck", source));
}

bool isControl(unsigned char c)
{
    return c < 0x20 || c == 0x7F;
}

} // namespace

std::string dlgNameCheck::problem(const std::string& name, std::size_t fileBytes)
{
    // Trail bytes of Shift_JIS start at 0x40, so '/' and control bytes are always characters.
    for (unsigned char c : name)
        if (c == '/' || isControl(c))
            return text(badCharacter);
    if (name == "." || name == "..")
        return text(dotName);
    if (fileBytes > nameMax)
        return text(tooLong);
    return {};
}

std::size_t dlgNameCheck::fileNameBytes(const std::string& name, std::string_view suffix)
{
    std::string mapped;
    for (std::size_t i = 0; i < name.size(); ++i) {
        unsigned char c = name[i];
        if (platform::isLeadByte(c) && i + 1 < name.size()) {
            mapped.append(name, i++, 2);
            continue;
        }
        bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        mapped += alnum ? static_cast<char>(c) : '_';
    }
    return platform::sjisToUtf8(mapped).size() + suffix.size();
}

bool dlgNameCheck::accept(const std::string& name, std::size_t fileBytes)
{
    std::string message = problem(name, fileBytes);
    if (message.empty())
        return true;
    dlgPropertyPage::notify(message, text(caution));
    return false;
}
