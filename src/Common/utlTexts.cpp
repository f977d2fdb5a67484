#include "Common/utlTexts.h"

#include "Platform/platformText.h"

#include <cstddef>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr const char* utf8Texts[] = {
#define QUILLARA_TEXT(name, utf8) utf8,
#include "Common/utlTexts.inc"
#undef QUILLARA_TEXT
};
static_assert(std::size(utf8Texts) == static_cast<std::size_t>(utlText::count));

std::vector<std::string> convertAll()
{
    std::vector<std::string> texts;
    texts.reserve(std::size(utf8Texts));
    // An '&' here is a menu mnemonic, never the start of a reference, so it stays as written.
    for (const char* text : utf8Texts)
        texts.push_back(platform::utf8ToSjis(text, platform::Ampersand::markup));
    return texts;
}

} // namespace

const char* utlTexts::sjis(utlText text)
{
    // Never destroyed: namespace-scope constants elsewhere keep pointers into it until exit.
    static const std::vector<std::string>* const texts = new std::vector<std::string>(convertAll());
    return (*texts)[static_cast<std::size_t>(text)].c_str();
}

const char* utlTexts::utf8(utlText text)
{
    return utf8Texts[static_cast<std::size_t>(text)];
}
