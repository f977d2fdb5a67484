// The INI reader takes any bytes. Written out and read again, a profile stays the same, and a
// value written into it (whatever its bytes) adds no section.
#include "Platform/ProfileFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    platform::ProfileFile file;
    file.parse(bytes);
    for (const std::string& name : file.sectionNames()) {
        for (const auto& [key, value] : file.section(name)) {
            (void)file.getInt(name, key, 0);
            (void)value;
        }
    }

    std::string once = file.serialize();
    platform::ProfileFile again;
    again.parse(once);
    if (again.serialize() != once)
        std::abort();

    size_t sections = again.sectionNames().size();
    again.setString("Fuzz Section", "Value", bytes.substr(0, 256));
    platform::ProfileFile reread;
    reread.parse(again.serialize());
    if (reread.sectionNames().size() > sections + 1 ||
        !reread.getString("Fuzz Section", "Value").has_value())
        std::abort();
    return 0;
}
