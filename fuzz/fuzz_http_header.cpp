// The response header reader and the address parser take any bytes. A header value never
// runs past its line or 1023 bytes, and a request line built from any address never carries
// the fragment, a blank or a byte outside printable ASCII. A Retry-After value asks for no
// wait below zero.
#include "Engine/Http/clsCommunicationHttp.h"
#include "Engine/Http/clsUrlInformation.h"
#include "Engine/Url/utlUrlParts.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

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
