#pragma once

#include <string>
#include <string_view>

// The parts of an address as the Windows URL cracker splits them; our own parser, which gives
// the same results for the addresses the program meets.
struct utlUrlParts {
    std::string scheme; // lower case, without ':'
    std::string host;   // as written; an IPv6 literal keeps its brackets
    int port = 0;       // the explicit port, else the scheme's default (0 when none)
    std::string userName;
    std::string password;
    std::string urlPath;   // from the first '/' after the host up to '?' or '#'
    std::string extraInfo; // query and fragment, beginning with '?' or '#'
    bool hasAuthority = false;
};

// The same parts as views into the address, without copies; the scheme as written.
struct utlUrlViews {
    std::string_view scheme;
    std::string_view host;
    int port = 0;
    std::string_view userName;
    std::string_view password;
    std::string_view urlPath;
    std::string_view extraInfo;
    bool hasAuthority = false;
};

// Splits address into parts; false when it has no scheme or a malformed port.
[[nodiscard]] bool crackUrl(const std::string& address, utlUrlParts& parts);
// The same split; on failure the views hold what crackUrl's parts would hold.
[[nodiscard]] bool crackUrlViews(std::string_view address, utlUrlViews& views);

// The address of a request line: scheme, authority, path and query, never the fragment.
// Blanks, control bytes and bytes above 0x7E are percent-encoded, so that a page address that
// carries them is still sent; a Japanese host name goes in its ASCII form (requestHost). Empty
// when the address names no server, so that the request fails.
std::string makeRequestUrl(const utlUrlParts& parts);
// The host as a request names it: ASCII as it stands, else a Japanese name (in Shift_JIS, or
// escaped UTF-8) in its ASCII form (IDNA: 日本語.jp is xn--wgv71a119e.jp), or as written when
// IDNA refuses it.
std::string requestHost(std::string_view host);
// The key a host is paced and counted under, one for every way it is written (Shift_JIS,
// escaped UTF-8, IDNA, any case): requestHost in lower case. A name left as written when it
// is not ASCII keeps its bytes, since a Shift_JIS second byte may be a capital letter.
std::string hostKey(std::string_view host);

// The default port of a scheme, 0 when it has none.
int defaultPortOf(const std::string& scheme);

// Decodes %XX escapes (invalid escapes are kept as written).
std::string percentDecode(const std::string& text);
