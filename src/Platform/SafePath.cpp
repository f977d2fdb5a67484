#include "Platform/SafePath.h"

#include "Platform/platformText.h"

#include <filesystem>

namespace platform {

std::string safeFileComponent(std::string_view name, std::size_t maxBytes)
{
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (isLeadByte(c) && i + 1 < name.size()) {
            // A trail byte may be '\\' or '/'-like in value; it belongs to its character.
            unsigned char trail = static_cast<unsigned char>(name[i + 1]);
            if (trail >= 0x40 && trail != 0x7F) {
                out += name[i];
                out += name[i + 1];
                ++i;
                continue;
            }
        }
        bool bad = c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':' || c == '*' ||
                   c == '?' || c == '"' || c == '<' || c == '>' || c == '|';
        out += bad ? '_' : static_cast<char>(c);
    }
    while (!out.empty() && (out.front() == '.' || out.front() == ' '))
        out.front() = '_';
    out.resize(sjisBoundary(out, maxBytes == 0 ? 1 : maxBytes));
    while (!out.empty() && (out.back() == ' ' || out.back() == '.'))
        out.back() = '_';
    if (out.empty())
        out.push_back('_');
    return out;
}

bool isPathInside(const std::string& directory, const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path dir = fs::weakly_canonical(fs::absolute(directory, ec), ec);
    if (ec)
        return false;
    fs::path target = fs::weakly_canonical(fs::absolute(path, ec), ec);
    if (ec)
        return false;
    auto d = dir.lexically_normal();
    auto t = target.lexically_normal();
    if (!d.empty() && d.filename().empty())
        d = d.parent_path();
    if (!t.empty() && t.filename().empty())
        t = t.parent_path();
    auto mismatch = std::mismatch(d.begin(), d.end(), t.begin(), t.end());
    return mismatch.first == d.end() && mismatch.second != t.end();
}

std::string realPathOf(const std::string& path)
{
    namespace fs = std::filesystem;
    if (path.empty())
        return path;
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    if (ec)
        return path;
    fs::path real = fs::weakly_canonical(absolute, ec);
    return ec ? absolute.lexically_normal().string() : real.string();
}

} // namespace platform
