// The snapshot rewriter takes any bytes as a page or a style sheet without crashing or
// over-reading; every local name it writes is one the namer gave, and a page without any
// '<' comes out unchanged.
#include "Engine/Snapshot/clsSnapshotRewriter.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::size_t asked = 0;
    auto nameFor = [&asked](const std::string& address, clsSnapshotRewriter::RefKind) {
        ++asked;
        return address.size() % 3 == 0 ? std::string() : "f" + std::to_string(address.size()) + ".x";
    };
    std::string page = clsSnapshotRewriter::rewritePage(bytes, "http://h.example/d/p.html", "shift_jis", nameFor);
    if (bytes.find('<') == std::string_view::npos && page != bytes)
        std::abort();
    std::string sheet = clsSnapshotRewriter::rewriteStyleSheet(bytes, "http://h.example/d/s.css", nameFor);
    if (bytes.find('(') == std::string_view::npos && bytes.find('@') == std::string_view::npos && sheet != bytes)
        std::abort();
    (void)clsSnapshotRewriter::rewriteSrcset(std::string(bytes), "http://h.example/d/", nameFor);
    return 0;
}
