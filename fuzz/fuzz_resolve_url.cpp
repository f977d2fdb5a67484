// Relative-address resolution takes any bytes. The input is a kind byte, then base and relative
// separated by the first '\n'. The one-pass dot-segment removal is checked against the plain
// rewrite loop ("/./" -> "/", then the leftmost "/../" with the segment before it).
#include "Engine/Url/utlUrl.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

std::string rewriteDotSegments(std::string s)
{
    size_t scheme = s.find("://");
    size_t p = s.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    if (p == std::string::npos)
        return s;
    while (true) {
        size_t dot = s.find("/./", p);
        if (dot != std::string::npos) {
            s.replace(dot, 3, "/");
            continue;
        }
        size_t up = s.find("/../", p);
        if (up == std::string::npos)
            return s;
        if (up == p) {
            s.replace(p, 4, "/");
            continue;
        }
        size_t segment = s.rfind('/', up - 1);
        s.erase(segment, up + 3 - segment);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    int kind = data[0] % 5;
    std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    size_t cut = rest.find('\n');
    std::string base = rest.substr(0, cut);
    std::string relative = cut == std::string::npos ? std::string() : rest.substr(cut + 1);

    std::string out;
    if (!resolveUrl(kind, base, relative, out))
        std::abort();

    // The rewrite loop is quadratic; short inputs are enough to compare the two.
    if (rest.size() <= 512) {
        std::string once = rest;
        removeDotSegments(once);
        if (once != rewriteDotSegments(rest))
            std::abort();
    }
    (void)siteOfHost(base);
    return 0;
}
