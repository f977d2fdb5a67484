#include "Engine/Text/utlDisplayText.h"

#include "Engine/Analysis/utlHtmlText.h"
#include "Platform/platformText.h"

#include <string_view>

namespace {

using Byte = unsigned char;

bool isWhite(Byte b)
{
    return b == ' ' || b == '\t' || b == '\r' || b == '\n';
}

Byte upper(Byte b)
{
    return b >= 'a' && b <= 'z' ? static_cast<Byte>(b - 'a' + 'A') : b;
}

bool startsNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (upper(static_cast<Byte>(text[i])) != upper(static_cast<Byte>(prefix[i])))
            return false;
    }
    return true;
}

std::size_t findNoCase(std::string_view text, std::string_view what, std::size_t from)
{
    for (std::size_t i = from; i + what.size() <= text.size(); ++i) {
        if (startsNoCase(text.substr(i), what))
            return i;
    }
    return std::string_view::npos;
}

class Renderer {
public:
    explicit Renderer(std::string_view page) : in(page) {}

    std::string run()
    {
        while (at < in.size()) {
            Byte b = static_cast<Byte>(in[at]);
            if (b == '<') {
                tag();
                continue;
            }
            if (isWhite(b)) {
                while (at < in.size() && isWhite(static_cast<Byte>(in[at])))
                    ++at;
                if (!out.empty() && breaks == 0 && !afterTab)
                    out += ' ';
                continue;
            }
            std::size_t n = platform::isLeadByte(b) && at + 1 < in.size() ? 2 : 1;
            out.append(in.substr(at, n));
            at += n;
            breaks = 0;
            afterTab = false;
            textSinceBreak = true;
        }
        decodeHtmlText(out);
        return out;
    }

private:
    void lineBreak()
    {
        if (out.empty() || breaks >= 2)
            return;
        out += "\r\n";
        ++breaks;
        textSinceBreak = false;
        afterTab = false;
    }

    void skipTo(std::string_view end, bool anyCase)
    {
        std::size_t found = anyCase ? findNoCase(in, end, at) : in.find(end, at);
        at = found == std::string_view::npos ? in.size() : found + end.size();
    }

    static bool headingDigit(std::string_view t, std::size_t index)
    {
        return t.size() > index && t[index] >= '1' && t[index] <= '6';
    }

    void tag()
    {
        std::string_view rest = in.substr(at);
        if (rest.starts_with("<!--")) {
            at += 4;
            skipTo("-->", false);
            return;
        }
        std::size_t close = rest.find('>');
        std::string_view t =
            rest.substr(0, close == std::string_view::npos ? rest.size() : close + 1);
        at += t.size();
        if (startsNoCase(t, "<STYLE")) {
            skipTo("</STYLE>", true);
        } else if (startsNoCase(t, "<SCRIPT")) {
            skipTo("</SCRIPT>", true);
        } else if (startsNoCase(t, "<TITLE")) {
            out += '[';
            breaks = 0;
        } else if (startsNoCase(t, "</TITLE>")) {
            out += "]";
            breaks = 0;
            lineBreak();
        } else if (startsNoCase(t, "<BR>") || startsNoCase(t, "</P>") || startsNoCase(t, "</TR>") ||
                   (startsNoCase(t, "<P") && t.size() > 2 &&
                    (isWhite(static_cast<Byte>(t[2])) || t[2] == '>')) ||
                   (startsNoCase(t, "<H") && headingDigit(t, 2)) ||
                   (startsNoCase(t, "</H") && headingDigit(t, 3))) {
            lineBreak();
        } else if (startsNoCase(t, "</TD")) {
            if (textSinceBreak) {
                out += '\t';
                afterTab = true;
                textSinceBreak = false;
            }
        }
    }

    std::string_view in;
    std::size_t at = 0;
    std::string out;
    int breaks = 0;
    bool afterTab = false;
    bool textSinceBreak = false;
};

} // namespace

std::string renderDisplayText(const std::string& sjis)
{
    return Renderer(sjis).run();
}
