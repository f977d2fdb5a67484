#include "Engine/Url/utlUrlParts.h"

#include <cctype>
#include <cstddef>
#include <string_view>

namespace {

bool isSchemeChar(unsigned char c, bool first)
{
    // A-Z and a-z are letters in every locale; any other byte asks the locale.
    if (static_cast<unsigned>((c | 0x20) - 'a') < 26u || std::isalpha(c))
        return true;
    return !first && (std::isdigit(c) || c == '+' || c == '-' || c == '.');
}

// Bytes that end an authority ('/', '?', '#') or a path ('?', '#'); one table lookup a byte
// instead of a search for each delimiter.
constexpr unsigned char endsPath = 1;
constexpr unsigned char endsAuthority = 2;

struct DelimiterTable {
    unsigned char flags[256] = {};
    constexpr DelimiterTable()
    {
        flags[static_cast<unsigned char>('/')] = endsAuthority;
        flags[static_cast<unsigned char>('?')] = endsAuthority | endsPath;
        flags[static_cast<unsigned char>('#')] = endsAuthority | endsPath;
    }
};

constexpr DelimiterTable delimiters;

std::size_t findDelimiter(std::string_view text, std::size_t from, unsigned char mask)
{
    for (std::size_t i = from; i < text.size(); ++i)
        if (delimiters.flags[static_cast<unsigned char>(text[i])] & mask)
            return i;
    return text.size();
}

void assignLower(std::string& out, std::string_view text)
{
    out.assign(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
}

bool equalsLower(std::string_view text, std::string_view lower)
{
    if (text.size() != lower.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != lower[i])
            return false;
    }
    return true;
}

// defaultPortOf for a scheme in any case.
int defaultPortOfView(std::string_view scheme)
{
    if (equalsLower(scheme, "http"))
        return 80;
    if (equalsLower(scheme, "https"))
        return 443;
    if (equalsLower(scheme, "ftp"))
        return 21;
    if (equalsLower(scheme, "gopher"))
        return 70;
    return 0;
}

// The port after the last ':' of an authority's host part, outside IPv6 brackets (colon and
// bracket: the last of each in hostPort, npos when there is none).
bool splitHostPort(std::string_view hostPort, std::size_t colon, std::size_t bracket,
                   utlUrlViews& views)
{
    if (colon == std::string_view::npos || (bracket != std::string_view::npos && colon < bracket)) {
        views.host = hostPort;
        views.port = defaultPortOfView(views.scheme);
        return true;
    }
    views.host = hostPort.substr(0, colon);
    std::string_view digits = hostPort.substr(colon + 1);
    if (digits.empty()) {
        views.port = defaultPortOfView(views.scheme);
        return true;
    }
    if (digits.size() > 5)
        return false;
    int port = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        port = port * 10 + (c - '0');
    }
    if (port > 65535)
        return false;
    views.port = port;
    return true;
}

bool crackAuthority(std::string_view authority, utlUrlViews& views)
{
    std::size_t at = authority.size();
    while (at > 0 && authority[at - 1] != '@')
        --at;
    std::string_view hostPort = authority;
    if (at > 0) {
        std::string_view userInfo = authority.substr(0, at - 1);
        hostPort = authority.substr(at);
        std::size_t colon = userInfo.find(':');
        views.userName = userInfo.substr(0, colon);
        if (colon != std::string_view::npos)
            views.password = userInfo.substr(colon + 1);
    }
    // A host is sent as written; one with blanks, control or non-ASCII bytes (a NUL would cut
    // the name short and reach another host) is not an address we can send.
    std::size_t colon = std::string_view::npos;
    std::size_t bracket = std::string_view::npos;
    for (std::size_t i = 0; i < hostPort.size(); ++i) {
        unsigned char byte = static_cast<unsigned char>(hostPort[i]);
        if (byte <= 0x20 || byte >= 0x7F)
            return false;
        if (byte == ':')
            colon = i;
        else if (byte == ']')
            bracket = i;
    }
    return splitHostPort(hostPort, colon, bracket, views);
}

bool needsEscape(unsigned char c)
{
    return c <= 0x20 || c >= 0x7F;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

int defaultPortOf(const std::string& scheme)
{
    if (scheme == "http")
        return 80;
    if (scheme == "https")
        return 443;
    if (scheme == "ftp")
        return 21;
    if (scheme == "gopher")
        return 70;
    return 0;
}

static_assert(sizeof(utlUrlParts) == 6 * sizeof(std::string) + 2 * alignof(std::string),
              "crackUrl clears every field of utlUrlParts by name");

bool crackUrlViews(std::string_view address, utlUrlViews& views)
{
    views = utlUrlViews();
    std::size_t i = 0;
    while (i < address.size() && isSchemeChar(static_cast<unsigned char>(address[i]), i == 0))
        ++i;
    if (i == 0 || i >= address.size() || address[i] != ':')
        return false;
    views.scheme = address.substr(0, i);
    std::size_t rest = i + 1;
    if (address.substr(rest, 2) == "//") {
        views.hasAuthority = true;
        std::size_t start = rest + 2;
        std::size_t end = findDelimiter(address, start, endsAuthority);
        if (!crackAuthority(address.substr(start, end - start), views))
            return false;
        rest = end;
    }
    std::size_t extra = findDelimiter(address, rest, endsPath);
    views.urlPath = address.substr(rest, extra - rest);
    views.extraInfo = address.substr(extra);
    return true;
}

bool crackUrl(const std::string& text, utlUrlParts& parts)
{
    utlUrlViews views;
    bool cracked = crackUrlViews(text, views);
    // Field by field: the strings keep their buffers when the caller reuses parts.
    assignLower(parts.scheme, views.scheme);
    parts.host.assign(views.host);
    parts.port = views.port;
    parts.userName.assign(views.userName);
    parts.password.assign(views.password);
    parts.urlPath.assign(views.urlPath);
    parts.extraInfo.assign(views.extraInfo);
    parts.hasAuthority = views.hasAuthority;
    return cracked;
}

namespace {

// Runs of bytes that need no escape are appended whole.
void appendEscaped(std::string& url, std::string_view text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        if (!needsEscape(byte))
            continue;
        url.append(text.substr(run, i - run));
        const char escaped[3] = {'%', hex[byte >> 4], hex[byte & 0x0F]};
        url.append(escaped, 3);
        run = i + 1;
    }
    url.append(text.substr(run));
}

} // namespace

std::string makeRequestUrl(const utlUrlParts& parts)
{
    std::string_view query(parts.extraInfo);
    query = query.substr(0, query.find('#'));
    std::string url;
    url.reserve(parts.scheme.size() + parts.userName.size() + parts.password.size() +
                parts.host.size() + parts.urlPath.size() + query.size() + 16);
    url.append(parts.scheme);
    url.append("://");
    if (!parts.userName.empty() || !parts.password.empty()) {
        appendEscaped(url, parts.userName);
        if (!parts.password.empty()) {
            url += ":";
            appendEscaped(url, parts.password);
        }
        url += "@";
    }
    appendEscaped(url, parts.host);
    if (parts.port != 0 && parts.port != defaultPortOf(parts.scheme)) {
        url += ':';
        url += std::to_string(parts.port);
    }
    if (parts.urlPath.empty())
        url += '/';
    else
        appendEscaped(url, parts.urlPath);
    appendEscaped(url, query);
    return url;
}

std::string percentDecode(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            int high = hexValue(text[i + 1]);
            int low = hexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}
