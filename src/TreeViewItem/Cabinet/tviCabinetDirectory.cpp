#include "TreeViewItem/Cabinet/tviCabinetDirectory.h"

#include "Engine/Analysis/utlHtmlText.h"
#include "Platform/AtomicFile.h"

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace {

size_t findNoCase(const std::string& text, std::string_view needle, size_t from)
{
    auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
    for (size_t i = from; i + needle.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && up(text[i + k]) == up(needle[k])) {
            ++k;
        }
        if (k == needle.size()) {
            return i;
        }
    }
    return std::string::npos;
}

} // namespace

bool tviCabinetDirectory::titleOf(const std::string& path, std::string& title)
{
    std::string bytes;
    if (!platform::readWholeFile(path, bytes)) {
        return false;
    }
    size_t open = findNoCase(bytes, "<TITLE", 0);
    size_t gt = open == std::string::npos ? open : bytes.find('>', open);
    size_t close = gt == std::string::npos ? gt : findNoCase(bytes, "</TITLE>", gt + 1);
    if (close == std::string::npos) {
        return false;
    }
    title = bytes.substr(gt + 1, close - gt - 1);
    std::erase(title, '\0');
    decodeHtmlText(title);
    return true;
}

std::vector<tviCabinetDirectory::Entry> tviCabinetDirectory::list(const std::string& folder)
{
    std::vector<Entry> out;
    std::string dir = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) {
        return out;
    }
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(d)) {
        std::string name = entry->d_name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".scb") == 0) {
            names.push_back(name);
        }
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        struct stat st {};
        Entry e{dir + name, {}};
        if (::stat(e.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !titleOf(e.path, e.title)) {
            continue;
        }
        out.push_back(std::move(e));
    }
    return out;
}
