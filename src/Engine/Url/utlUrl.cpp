#include "Engine/Url/utlUrl.h"

#include <array>
#include <string_view>
#include <vector>

namespace {

constexpr int kindLocalPath = 1;
constexpr int kindNetworkPath = 2;
constexpr int kindWebAddress = 3;

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isSchemeChar(char c, bool first)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
        return true;
    return !first && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.');
}

// The lower-case scheme of text, or empty when text does not begin with "scheme:".
std::string schemeOf(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && isSchemeChar(text[i], i == 0))
        ++i;
    if (i == 0 || i >= text.size() || text[i] != ':')
        return {};
    std::string scheme;
    for (size_t k = 0; k < i; ++k)
        scheme += lowerAscii(text[k]);
    return scheme;
}

// Addresses the URL parser takes as complete. Hierarchical schemes need their "//", so that
// "http:page.html" stays relative as it does in the parser we follow.
bool isAbsoluteAddress(std::string_view text)
{
    static constexpr std::array<std::string_view, 5> hierarchical = {"http", "https", "ftp",
                                                                     "gopher", "wais"};
    static constexpr std::array<std::string_view, 9> opaque = {
        "file", "mailto", "news", "javascript", "vbscript", "res", "about", "telnet", "data"};
    std::string scheme = schemeOf(text);
    if (scheme.empty())
        return false;
    for (std::string_view s : opaque)
        if (scheme == s)
            return true;
    for (std::string_view s : hierarchical)
        if (scheme == s)
            return text.substr(scheme.size() + 1).starts_with("//");
    return false;
}

// Start of the path: the first '/' behind "://", or the first '/' at all without "://".
size_t pathStart(const std::string& address)
{
    size_t scheme = address.find("://");
    size_t from = scheme == std::string::npos ? 0 : scheme + 3;
    return address.find('/', from);
}

// A link that begins with '/' keeps the origin of base, its scheme and authority ("http://h",
// "file://", "//server"; none for a local path); "//host/x" keeps only its scheme.
// Both combiners write into out, which is neither base nor relative, keeping its buffer.
void combineRooted(const std::string& base, const std::string& relative, std::string& out)
{
    if (relative.starts_with("//")) {
        std::string scheme = schemeOf(base);
        out = scheme.empty() ? relative : scheme + ":" + relative;
        return;
    }
    size_t scheme = base.find("://");
    size_t end = std::string::npos;
    if (scheme != std::string::npos)
        end = base.find('/', scheme + 3);
    else if (base.starts_with("//"))
        end = base.find('/', 2);
    else {
        out = relative;
        return;
    }
    std::string_view origin = std::string_view(base).substr(0, end);
    out.clear();
    out.reserve(origin.size() + relative.size());
    out.append(origin).append(relative);
}

int kindFromBase(const std::string& base)
{
    if (base.starts_with("//"))
        return kindNetworkPath;
    if (base.starts_with("/") || (base.size() >= 2 && base[1] == ':'))
        return kindLocalPath;
    return kindWebAddress;
}

size_t hostStart(const std::string& base)
{
    size_t scheme = base.find("://");
    return scheme == std::string::npos ? 0 : scheme + 3;
}

// The first '?' or '#' at or after from, or npos. One pass over the bytes: find_first_of
// searches its set once for every byte.
size_t queryOrFragment(std::string_view text, size_t from)
{
    for (size_t i = from; i < text.size(); ++i) {
        if (text[i] == '?' || text[i] == '#')
            return i;
    }
    return std::string_view::npos;
}

// A '/' inside "?..." or "#..." names no directory, so the directory of base is taken from
// its part before them. A base that is a bare host gets its '/'.
void combineWeb(const std::string& base, const std::string& relative, std::string& out)
{
    std::string_view whole(base);
    size_t host = hostStart(base);
    std::string_view plain = whole.substr(0, queryOrFragment(whole, host));
    bool bareHost = plain.find('/', host) == std::string_view::npos;
    std::string_view kept; // what follows plain (and its added '/') before relative
    if (relative.empty() || relative[0] == '#') {
        kept = whole.substr(0, whole.find('#', host)).substr(plain.size());
    } else if (relative[0] != '?' && !bareHost) {
        plain = plain.substr(0, plain.rfind('/') + 1);
    }
    out.clear();
    out.reserve(plain.size() + 1 + kept.size() + relative.size());
    out.append(plain);
    if (bareHost)
        out += '/';
    out.append(kept).append(relative);
}

std::string combineLocal(const std::string& base, const std::string& relative)
{
    size_t slash = base.rfind('/');
    if (slash == std::string::npos)
        return relative;
    return base.substr(0, slash + 1) + relative;
}

} // namespace

// Collapses "/./" and "/../" in the path of address. Equal to replacing them over and over
// until none is left, in one pass: a segment that is last (no '/' behind it) is kept as it is,
// so a trailing "/.." or "/." stays.
void removeDotSegments(std::string& address)
{
    size_t start = pathStart(address);
    if (start == std::string::npos)
        return;
    // Only a "." or ".." with a '/' behind it is removed, and either shows as "./".
    if (address.find("./", start) == std::string::npos)
        return;
    std::vector<std::string_view> kept;
    std::string_view path(address);
    path.remove_prefix(start + 1);
    while (true) {
        size_t slash = path.find('/');
        if (slash == std::string_view::npos) {
            kept.push_back(path);
            break;
        }
        std::string_view segment = path.substr(0, slash);
        path.remove_prefix(slash + 1);
        if (segment == ".")
            continue;
        if (segment == "..") {
            if (!kept.empty())
                kept.pop_back();
            continue;
        }
        kept.push_back(segment);
    }
    std::string result = address.substr(0, start + 1);
    for (size_t i = 0; i < kept.size(); ++i) {
        if (i > 0)
            result += '/';
        result += kept[i];
    }
    address = std::move(result);
}

bool resolveUrl(int kind, const std::string& base, const std::string& relative, std::string& out)
{
    if (&out == &base || &out == &relative) {
        std::string result;
        resolveUrl(kind, base, relative, result);
        out = std::move(result);
        return true;
    }
    if (isAbsoluteAddress(relative)) {
        out = relative;
        return true;
    }
    if (relative.starts_with("/")) {
        combineRooted(base, relative, out);
    } else {
        if (kind != kindLocalPath && kind != kindNetworkPath && kind != kindWebAddress)
            kind = kindFromBase(base);
        if (kind == kindWebAddress)
            combineWeb(base, relative, out);
        else
            out = combineLocal(base, relative);
    }
    removeDotSegments(out);
    return true;
}

std::string siteOfHost(const std::string& host)
{
    static constexpr std::array<std::string_view, 54> suffixes = {
        "ac.jp", "ad.jp", "co.jp", "ed.jp", "go.jp", "gr.jp", "ne.jp", "or.jp", "jp", "com", "edu",
        "gov",   "int",   "mil",   "net",   "org",   "ac",    "ad",    "ag",    "am", "be",  "bf",
        "bg",    "bi",    "bt",    "ca",    "cc",    "cd",    "cg",    "ch",    "cl", "cn",  "cr",
        "cu",    "cx",    "cz",    "de",    "dk",    "do",    "ec",    "ee",    "es", "fi",  "fm",
        "fo",    "fr",    "gf",    "gh",    "gi",    "gl",    "gq",    "gr",    "hm", "hr"};
    for (std::string_view suffix : suffixes) {
        // The host must end with ".suffix" and keep at least one label before it.
        if (host.size() < suffix.size() + 2 || !std::string_view(host).ends_with(suffix))
            continue;
        size_t dot = host.size() - suffix.size() - 1;
        if (host[dot] != '.')
            continue;
        size_t labelStart = host.rfind('.', dot - 1);
        labelStart = labelStart == std::string::npos ? 0 : labelStart + 1;
        return host.substr(labelStart);
    }
    return host;
}
