// The snapshot rewriter takes any bytes as a page or a style sheet without crashing or
// over-reading, and what it writes loads nothing but the files it named: rewriting the output
// once more must ask for no address but those local names. A sheet without '(' or '@' comes
// out unchanged.
#include "Engine/Snapshot/clsSnapshotRewriter.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using R = clsSnapshotRewriter;

const std::string pageUrl = "http://h.example/d/p.html";
const std::string sheetUrl = "http://h.example/d/s.css";

// Some addresses are saved (under names only this namer gives), the others are not.
std::string firstName(const std::string& address, R::RefKind)
{
    return address.size() % 3 == 0 ? std::string() : "f" + std::to_string(address.size()) + ".x";
}

bool isLocalName(const std::string& address)
{
    std::string_view rest(address);
    if (!rest.starts_with("http://h.example/d/f") || !rest.ends_with(".x"))
        return false;
    rest = rest.substr(20, rest.size() - 22);
    return !rest.empty() && rest.find_first_not_of("0123456789") == std::string_view::npos;
}

std::string secondName(const std::string& address, R::RefKind)
{
    if (!isLocalName(address))
        std::abort();
    return address.substr(19);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    R::ScriptPolicy scripts = size > 0 && data[0] % 2 == 1 ? R::scriptsKept : R::scriptsRemoved;
    const char* charset = size > 1 && data[1] % 2 == 1 ? "shift_jis" : "utf-8";
    std::string page = R::rewritePage(bytes, pageUrl, charset, firstName, scripts);
    (void)R::rewritePage(page, pageUrl, charset, secondName, scripts);
    std::string sheet = R::rewriteStyleSheet(bytes, sheetUrl, firstName, charset[0] == 's');
    if (bytes.find('(') == std::string_view::npos && bytes.find('@') == std::string_view::npos &&
        sheet != bytes)
        std::abort();
    (void)R::rewriteStyleSheet(sheet, sheetUrl, secondName, charset[0] == 's');
    return 0;
}
