// The Internet Shortcut reader takes any bytes; an address it gives is one line of text.
#include "TreeViewItem/Formats/tviInternetShortcut.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string url;
    std::string error;
    bool ok = tviInternetShortcut::read(bytes, url, error);
    if (ok == url.empty() || ok != error.empty() ||
        url.find_first_of("\r\n") != std::string::npos) {
        std::abort();
    }
    return 0;
}
