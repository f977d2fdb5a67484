#include "Dialog/dlgNameCheck.h"

#include "Dialog/dlgPropertyPage.h"
#include "Platform/platformText.h"

namespace {

// 名前に使えない文字（/ や制御文字）が含まれています。
constexpr const char* badCharacter = "\x96\xBC\x91O\x82\xC9\x8Eg\x82\xA6\x82\xC8\x82\xA2\x95\xB6\x8E\x9A\x81i/ "
                                     "\x82\xE2\x90\xA7\x8C\xE4\x95\xB6\x8E\x9A\x81j\x82\xAA\x8A\xDC\x82\xDC\x82\xEA"
                                     "\x82\xC4\x82\xA2\x82\xDC\x82\xB7\x81" "B";
// 「.」と「..」は名前に使えません。
constexpr const char* dotName = "\x81u.\x81v\x82\xC6\x81u..\x81v\x82\xCD\x96\xBC\x91O\x82\xC9\x8Eg\x82\xA6\x82\xDC"
                                "\x82\xB9\x82\xF1\x81" "B";
// 名前が長すぎます。
constexpr const char* tooLong = "\x96\xBC\x91O\x82\xAA\x92\xB7\x82\xB7\x82\xAC\x82\xDC\x82\xB7\x81" "B";
constexpr const char* caution = "\x92\x8D\x88\xD3"; // 注意

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
            return badCharacter;
    if (name == "." || name == "..")
        return dotName;
    if (fileBytes > nameMax)
        return tooLong;
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
    dlgPropertyPage::notify(message, caution);
    return false;
}
