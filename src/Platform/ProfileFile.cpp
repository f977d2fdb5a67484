#include "Platform/ProfileFile.h"

#include "Platform/AtomicFile.h"

#include <cerrno>
#include <climits>
#include <sys/stat.h>

namespace platform {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\0';
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    return true;
}

std::string unquote(std::string_view value)
{
    value = trim(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

// A line break inside a name or value would start new lines in the file (a forged section or
// key on the next load), so it is stored as a blank.
std::string oneLine(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c == '\r' || c == '\n')
            c = ' ';
    return out;
}

} // namespace

bool ProfileFile::load(const std::string& path, std::string* error)
{
    preamble_.clear();
    sections_.clear();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 && errno == ENOENT)
        return true;
    std::string bytes;
    if (!readSavedFile(path, bytes, error))
        return false;
    parse(bytes);
    return true;
}

void ProfileFile::parse(std::string_view bytes)
{
    preamble_.clear();
    sections_.clear();
    std::vector<Line>* target = &preamble_;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find('\n', pos);
        if (end == std::string_view::npos)
            end = bytes.size();
        std::string_view raw = bytes.substr(pos, end - pos);
        pos = end + 1;
        if (!raw.empty() && raw.back() == '\r')
            raw.remove_suffix(1);
        std::string_view text = trim(raw);
        if (!text.empty() && text.front() == '[') {
            std::size_t close = text.find(']');
            std::string_view name =
                close == std::string_view::npos ? text.substr(1) : text.substr(1, close - 1);
            sections_.push_back(Section{std::string(trim(name)), {}});
            target = &sections_.back().lines;
            continue;
        }
        Line line;
        std::size_t eq = text.find('=');
        if (!text.empty() && text.front() != ';' && eq != std::string_view::npos && eq > 0) {
            line.key = std::string(trim(text.substr(0, eq)));
            line.value = std::string(text.substr(eq + 1));
        } else {
            line.raw = std::string(raw);
        }
        if (line.key.empty() && line.raw.empty() && text.empty())
            continue; // blank lines carry nothing
        target->push_back(std::move(line));
    }
}

std::string ProfileFile::serialize() const
{
    std::string out;
    auto writeLines = [&out](const std::vector<Line>& lines) {
        for (const Line& line : lines) {
            if (line.key.empty())
                out += line.raw;
            else
                out += line.key + "=" + line.value;
            out += "\r\n";
        }
    };
    writeLines(preamble_);
    for (const Section& section : sections_) {
        out += "[" + section.name + "]\r\n";
        writeLines(section.lines);
    }
    return out;
}

bool ProfileFile::save(const std::string& path, std::string* error) const
{
    return atomicWriteFile(path, serialize(), error, Durability::Synced, Links::Follow);
}

ProfileFile::Section* ProfileFile::findSection(std::string_view name)
{
    for (Section& section : sections_)
        if (sameName(section.name, name))
            return &section;
    return nullptr;
}

const ProfileFile::Section* ProfileFile::findSection(std::string_view name) const
{
    return const_cast<ProfileFile*>(this)->findSection(name);
}

ProfileFile::Section& ProfileFile::sectionForWrite(std::string_view name)
{
    if (Section* found = findSection(name))
        return *found;
    sections_.push_back(Section{oneLine(name), {}});
    return sections_.back();
}

std::optional<std::string> ProfileFile::getString(std::string_view section,
                                                  std::string_view key) const
{
    const Section* found = findSection(section);
    if (!found)
        return std::nullopt;
    for (const Line& line : found->lines)
        if (!line.key.empty() && sameName(line.key, key))
            return unquote(line.value);
    return std::nullopt;
}

std::string ProfileFile::getString(std::string_view section, std::string_view key,
                                   std::string_view fallback) const
{
    auto value = getString(section, key);
    return value ? *value : std::string(fallback);
}

int ProfileFile::getInt(std::string_view section, std::string_view key, int fallback) const
{
    auto value = getString(section, key);
    if (!value)
        return fallback;
    std::string_view text = trim(*value);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return fallback;
    long long number = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        number = number * 10 + (c - '0');
        if (number > static_cast<long long>(INT_MAX) + 1)
            return fallback;
    }
    if (negative)
        number = -number;
    if (number > INT_MAX || number < INT_MIN)
        return fallback;
    return static_cast<int>(number);
}

void ProfileFile::setString(std::string_view section, std::string_view key, std::string_view value)
{
    Section& target = sectionForWrite(section);
    for (Line& line : target.lines) {
        if (!line.key.empty() && sameName(line.key, key)) {
            line.value = oneLine(value);
            return;
        }
    }
    target.lines.push_back(Line{oneLine(key), oneLine(value), {}});
}

void ProfileFile::setInt(std::string_view section, std::string_view key, int value)
{
    setString(section, key, std::to_string(value));
}

void ProfileFile::removeKey(std::string_view section, std::string_view key)
{
    Section* target = findSection(section);
    if (!target)
        return;
    std::erase_if(target->lines,
                  [key](const Line& line) { return !line.key.empty() && sameName(line.key, key); });
}

void ProfileFile::removeSection(std::string_view section)
{
    std::erase_if(sections_, [section](const Section& s) { return sameName(s.name, section); });
}

std::vector<std::string> ProfileFile::sectionNames() const
{
    std::vector<std::string> names;
    for (const Section& section : sections_) {
        bool seen = false;
        for (const std::string& name : names)
            seen = seen || sameName(name, section.name);
        if (!seen)
            names.push_back(section.name);
    }
    return names;
}

std::vector<ProfileFile::Entry> ProfileFile::section(std::string_view name) const
{
    std::vector<Entry> entries;
    const Section* found = findSection(name);
    if (!found)
        return entries;
    for (const Line& line : found->lines)
        if (!line.key.empty())
            entries.emplace_back(line.key, unquote(line.value));
    return entries;
}

void ProfileFile::replaceSection(std::string_view name, const std::vector<Entry>& entries)
{
    Section& target = sectionForWrite(name);
    target.lines.clear();
    for (const Entry& entry : entries)
        target.lines.push_back(Line{oneLine(entry.first), oneLine(entry.second), {}});
}

} // namespace platform
