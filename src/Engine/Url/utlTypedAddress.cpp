#include "Engine/Url/utlTypedAddress.h"

#include <string_view>

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
        if (c != prefix[i])
            return false;
    }
    return true;
}

bool isHostByte(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c >= 0x80;
}

// "host" or "host:port" with a host that names a machine: "localhost", or labels with a dot
// between them, none empty.
bool isHostAndPort(std::string_view authority)
{
    std::size_t colon = authority.find(':');
    std::string_view host = authority.substr(0, colon);
    if (colon != std::string_view::npos) {
        std::string_view port = authority.substr(colon + 1);
        if (port.empty() || port.size() > 5)
            return false;
        for (char c : port)
            if (c < '0' || c > '9')
                return false;
    }
    if (host.empty() || host.front() == '.' || host.back() == '.' || host.front() == '-')
        return false;
    for (char c : host)
        if (!isHostByte(static_cast<unsigned char>(c)))
            return false;
    if (host.find("..") != std::string_view::npos)
        return false;
    return host.find('.') != std::string_view::npos ||
           (host.size() == 9 && startsWithNoCase(host, "localhost"));
}

} // namespace

bool addressFromTyped(const std::string& typed, std::string& address)
{
    std::size_t first = typed.find_first_not_of(' ');
    std::size_t last = typed.find_last_not_of(' ');
    if (first == std::string::npos)
        return false;
    std::string_view text(typed.data() + first, last - first + 1);
    for (unsigned char c : text)
        if (c <= 0x20 || c == 0x7F)
            return false;
    if (text.front() == '/' || startsWithNoCase(text, "file:")) {
        address.assign(text);
        return true;
    }
    for (std::string_view scheme : {"http://", "https://", "ftp://"}) {
        if (!startsWithNoCase(text, scheme))
            continue;
        std::string_view rest = text.substr(scheme.size());
        std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
        // With the scheme written out any host counts, a name of the local network too.
        if (authority.empty() || authority.front() == '@' || authority.front() == ':')
            return false;
        address.assign(text);
        return true;
    }
    if (text.find("://") != std::string_view::npos)
        return false;
    std::string_view authority = text.substr(0, text.find_first_of("/?#"));
    if (!isHostAndPort(authority))
        return false;
    address = "http://" + std::string(text);
    return true;
}
