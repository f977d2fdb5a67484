// The response header reader and the address parser take any bytes. A header value never
// runs past its line or 1023 bytes, and a request line built from any address never carries
// the fragment, a blank or a byte outside printable ASCII; where libcurl takes it, libcurl finds
// the host and port that our parser found, so no address sends its request to another host. A
// Retry-After value asks for no wait below zero.
#include "Engine/Http/clsCommunicationHttp.h"
#include "Engine/Http/clsUrlInformation.h"
#include "Engine/Url/utlUrlParts.h"

#include <arpa/inet.h>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <curl/curl.h>
#include <string>
#include <strings.h>

namespace {

bool isPlainAscii(const std::string& text)
{
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || c == '%')
            return false;
    }
    return true;
}

// libcurl writes an address in its own form: IPv4 in any of its old forms (0x7f.1) as
// 127.0.0.1, IPv6 shortened ([::0] as [::]).
bool sameHost(const std::string& curlHost, const std::string& ours)
{
    in_addr four{};
    if (inet_aton(ours.c_str(), &four) != 0)
        return curlHost == inet_ntoa(four);
    in6_addr six{};
    in6_addr curlSix{};
    if (ours.size() > 2 && ours.front() == '[' && ours.back() == ']' &&
        inet_pton(AF_INET6, ours.substr(1, ours.size() - 2).c_str(), &six) == 1 &&
        curlHost.size() > 2 &&
        inet_pton(AF_INET6, curlHost.substr(1, curlHost.size() - 2).c_str(), &curlSix) == 1)
        return std::memcmp(&six, &curlSix, sizeof six) == 0;
    return strcasecmp(curlHost.c_str(), ours.c_str()) == 0;
}

// A host sent escaped or as raw bytes is refused by libcurl or sent as it stands; only a plain
// one can be compared.
void checkSameHost(const utlUrlParts& parts, const std::string& url)
{
    std::string expected = requestHost(parts.host);
    if (!isPlainAscii(expected))
        return;
    CURLU* handle = curl_url();
    char* host = nullptr;
    char* port = nullptr;
    if (curl_url_set(handle, CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK &&
        curl_url_get(handle, CURLUPART_HOST, &host, 0) == CURLUE_OK) {
        if (!sameHost(host, expected))
            std::abort();
        bool explicitPort = parts.port != 0 && parts.port != defaultPortOf(parts.scheme);
        if (explicitPort && (curl_url_get(handle, CURLUPART_PORT, &port, 0) != CURLUE_OK ||
                             std::atoi(port) != parts.port))
            std::abort();
    }
    curl_free(host);
    curl_free(port);
    curl_url_cleanup(handle);
}

void checkRequestUrl(const std::string& address)
{
    utlUrlParts parts;
    if (!crackUrl(address, parts))
        return;
    std::string url = makeRequestUrl(parts);
    for (char c : url) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (c == '#' || byte <= 0x20 || byte >= 0x7F)
            std::abort();
    }
    if (parts.hasAuthority)
        checkSameHost(parts, url);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t split = input.find('\n');
    std::string address = input.substr(0, split);
    std::string header = split == std::string::npos ? std::string() : input.substr(split + 1);

    clsUrlInformation info;
    info.set(1, 0, address);
    checkRequestUrl(info.getAddress());
    info.setHeaders(header);
    if (info.getStatusCode().size() > 255)
        std::abort();
    for (const char* name :
         {"Content-Type:", "Location:", "Content-Length:", "Last-Modified:", "X:"}) {
        std::string value;
        if (!info.getHeader(name, value))
            continue;
        if (value.size() > 1023 || value.find('\n') != std::string::npos)
            std::abort();
    }
    std::string retryAfter;
    if (info.getHeader("Retry-After:", retryAfter) &&
        clsCommunicationHttp::retryAfterSeconds(retryAfter, 1796119200) < -1)
        std::abort();
    info.getProtocol();
    info.getLastModifiedText();
    return 0;
}
