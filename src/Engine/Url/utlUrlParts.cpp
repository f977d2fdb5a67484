#include "Engine/Url/utlUrlParts.h"

#include "Engine/Text/utlUnicodeText.h"
#include "Platform/platformText.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <idn2.h>
#include <string_view>

namespace {

bool isSchemeChar(unsigned char c, bool first)
{
    // A-Z and a-z are letters in every locale; any other byte asks the locale.
    if (static_cast<unsigned>((c | 0x20) - 'a') < 26u || std::isalpha(c))
        return true;
    return !first && (std::isdigit(c) || c == '+' || c == '-' || c == '.');
}

// Bytes that end an authority ('/', '?', '#'), and those an authority's
// host part reads apart ('@', ':', ']', and blanks, control and non-ASCII bytes, which no
// host may hold); one table lookup a byte, and most bytes are none of them.
constexpr unsigned char endsAuthority = 2;
constexpr unsigned char userInfoEnd = 4;
constexpr unsigned char hostColon = 8;
constexpr unsigned char hostBracket = 16;
constexpr unsigned char notInHost = 32;

struct DelimiterTable {
    unsigned char flags[256] = {};
    constexpr DelimiterTable()
    {
        for (int byte = 0; byte < 256; ++byte)
            if (byte <= 0x20 || byte >= 0x7F)
                flags[byte] = notInHost;
        flags[static_cast<unsigned char>('/')] = endsAuthority;
        flags[static_cast<unsigned char>('?')] = endsAuthority;
        flags[static_cast<unsigned char>('#')] = endsAuthority;
        flags[static_cast<unsigned char>('@')] = userInfoEnd;
        flags[static_cast<unsigned char>(':')] = hostColon;
        flags[static_cast<unsigned char>(']')] = hostBracket;
    }
};

constexpr DelimiterTable delimiters;

// The first '?' or '#' at or after from, else the end: two searches at memchr speed.
std::size_t findPathEnd(std::string_view text, std::size_t from)
{
    if (from >= text.size())
        return text.size();
    const char* begin = text.data() + from;
    std::size_t length = text.size() - from;
    const void* query = std::memchr(begin, '?', length);
    if (query != nullptr)
        length = static_cast<std::size_t>(static_cast<const char*>(query) - begin);
    const void* fragment = std::memchr(begin, '#', length);
    if (fragment != nullptr)
        length = static_cast<std::size_t>(static_cast<const char*>(fragment) - begin);
    return from + length;
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

// A ':' in a host belongs inside IPv6 brackets: z: of http://z::/ is no name, and libcurl
// would send it to z.
bool isHostShape(std::string_view host)
{
    if (host.find(':') == std::string_view::npos)
        return true;
    return host.size() >= 2 && host.front() == '[' && host.back() == ']';
}

// The port after the last ':' of an authority's host part, outside IPv6 brackets (colon and
// bracket: the last of each in hostPort, npos when there is none).
bool splitHostPort(std::string_view hostPort, std::size_t colon, std::size_t bracket,
                   utlUrlViews& views)
{
    if (colon == std::string_view::npos || (bracket != std::string_view::npos && colon < bracket)) {
        views.host = hostPort;
        views.port = defaultPortOfView(views.scheme);
        return isHostShape(views.host);
    }
    views.host = hostPort.substr(0, colon);
    if (!isHostShape(views.host))
        return false;
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

// Reads the authority that starts at start, up to its end ('/', '?', '#' or the end of the
// address), in one pass: the host part is what follows the last '@', and its port follows
// its last ':' outside IPv6 brackets. Returns the end, or npos when the host part holds a
// byte no host may hold or the port is malformed.
std::size_t crackAuthority(std::string_view address, std::size_t start, utlUrlViews& views)
{
    constexpr std::size_t none = std::string_view::npos;
    std::size_t lastAt = none, colon = none, bracket = none, bad = none;
    std::size_t end = start;
    for (; end < address.size(); ++end) {
        auto byte = static_cast<unsigned char>(address[end]);
        unsigned char flags = delimiters.flags[byte];
        if (flags == 0)
            continue;
        // A Shift_JIS character is part of a name (a Japanese host name is sent in its ASCII
        // form, see requestHost). Its second byte may be '@' or ']': never a delimiter, so a
        // Japanese name cannot hand the request to the host written after it.
        if (platform::isLeadByte(byte) && end + 1 < address.size() &&
            platform::isTrailByte(static_cast<unsigned char>(address[end + 1]))) {
            ++end;
            continue;
        }
        if (flags & endsAuthority)
            break;
        if (flags & userInfoEnd)
            lastAt = end;
        else if (flags & hostColon)
            colon = end;
        else if (flags & hostBracket)
            bracket = end;
        else
            bad = end;
    }
    std::size_t hostStart = start;
    if (lastAt != none) {
        std::string_view userInfo = address.substr(start, lastAt - start);
        hostStart = lastAt + 1;
        std::size_t userColon = userInfo.find(':');
        views.userName = userInfo.substr(0, userColon);
        if (userColon != none)
            views.password = userInfo.substr(userColon + 1);
    }
    // A host is sent as written (or in its IDNA form, see requestHost); one with blanks,
    // control bytes or bytes that make no Shift_JIS character (a NUL would cut the name short
    // and reach another host) is not an address we can send.
    if (bad != none && bad >= hostStart)
        return none;
    auto inHost = [&](std::size_t at) {
        return at != none && at >= hostStart ? at - hostStart : none;
    };
    std::string_view hostPort = address.substr(hostStart, end - hostStart);
    return splitHostPort(hostPort, inHost(colon), inHost(bracket), views) ? end : none;
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
        std::size_t end = crackAuthority(address, rest + 2, views);
        if (end == std::string_view::npos)
            return false;
        rest = end;
    }
    std::size_t extra = findPathEnd(address, rest);
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

constexpr std::string_view userInfoDelimiters = "@/?#[]";

// Runs of bytes that need no escape are appended whole; also: bytes escaped besides blanks,
// control bytes and bytes above 0x7E.
void appendEscaped(std::string& url, std::string_view text, std::string_view also = {})
{
    static const char hex[] = "0123456789ABCDEF";
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        if (!needsEscape(byte) && also.find(text[i]) == std::string_view::npos)
            continue;
        url.append(text.substr(run, i - run));
        const char escaped[3] = {'%', hex[byte >> 4], hex[byte & 0x0F]};
        url.append(escaped, 3);
        run = i + 1;
    }
    url.append(text.substr(run));
}

bool isPlainHostChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.';
}

// Letters, digits, '-', '.' and at least one character outside ASCII: a name to convert. An
// escaped '/', '#' or '@' (which IDNA would drop) leaves the host as it was written.
bool isInternationalName(std::string_view utf8)
{
    bool international = false;
    for (char c : utf8) {
        if (static_cast<unsigned char>(c) >= 0x80)
            international = true;
        else if (!isPlainHostChar(c))
            return false;
    }
    return international;
}

} // namespace

// libcurl would convert a UTF-8 name itself, but only under a UTF-8 locale; libidn2 is told
// the input is UTF-8 whatever the locale. Raw bytes in a host are the program's Shift_JIS (an
// address from a cabinet or a page); escapes are UTF-8 (an address typed in the window or on
// the command line, which escapes every byte outside ASCII). A host that is not converted is
// sent as written, and libcurl fails it with its reason.
std::string requestHost(std::string_view host)
{
    bool raw = !isAscii(host);
    if (!raw && host.find('%') == std::string_view::npos)
        return std::string(host);
    std::string utf8 = percentDecode(raw ? platform::sjisToUtf8(host) : std::string(host));
    // Not IDN2_USE_STD3_ASCII_RULES: under it libidn2 drops what the rules forbid rather than
    // refuse it, so that ？x.jp became x.jp, another host. Without it ？ maps to '?', and the
    // check below keeps the host as written.
    char* converted = nullptr;
    if (!isInternationalName(utf8) ||
        idn2_to_ascii_8z(utf8.c_str(), &converted, IDN2_NFC_INPUT | IDN2_NONTRANSITIONAL) !=
            IDN2_OK)
        return std::string(host);
    std::string form(converted);
    idn2_free(converted);
    return std::all_of(form.begin(), form.end(), isPlainHostChar) ? form : std::string(host);
}

std::string hostKey(std::string_view host)
{
    std::string form = requestHost(host);
    if (!isAscii(form))
        return form;
    std::string key;
    assignLower(key, form);
    return key;
}

std::string makeRequestUrl(const utlUrlParts& parts)
{
    // No server named (http:///x): libcurl would take the path's first step for one.
    if (parts.host.empty())
        return {};
    std::string_view query(parts.extraInfo);
    query = query.substr(0, query.find('#'));
    std::string url;
    url.reserve(parts.scheme.size() + parts.userName.size() + parts.password.size() +
                parts.host.size() + parts.urlPath.size() + query.size() + 16);
    url.append(parts.scheme);
    url.append("://");
    // A user name or password may hold what ends or splits an authority ('@' up to the last
    // one, '[' or '/'); escaped, libcurl finds the same host and still sends them as written.
    if (!parts.userName.empty() || !parts.password.empty()) {
        appendEscaped(url, parts.userName, userInfoDelimiters);
        if (!parts.password.empty()) {
            url += ":";
            appendEscaped(url, parts.password, userInfoDelimiters);
        }
        url += "@";
    }
    appendEscaped(url, requestHost(parts.host));
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
