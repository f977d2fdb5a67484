#include "TreeViewItem/Formats/tviSnapshotFiles.h"

#include "Platform/platformText.h"

#include <algorithm>
#include <cstdlib>

namespace {

// A lead byte followed by a valid trail byte: one double-byte character.
bool isDoubleByteAt(std::string_view text, std::size_t i)
{
    if (i + 1 >= text.size() || !platform::isLeadByte(static_cast<unsigned char>(text[i])))
        return false;
    auto trail = static_cast<unsigned char>(text[i + 1]);
    return trail >= 0x40 && trail != 0x7F;
}

constexpr std::size_t directoryNameLimit = 100;
constexpr std::size_t componentLimit = 255;

std::string withoutSeparator(std::string_view dirName)
{
    std::string name(dirName);
    if (!name.empty() && (name.back() == '/' || name.back() == '\\')) {
        // A '\' may be the trail byte of a Shift_JIS character; it is a separator only when
        // it ends the name outside one.
        bool trail = false;
        for (std::size_t i = 0; i + 1 < name.size(); ++i) {
            if (isDoubleByteAt(name, i)) {
                trail = i + 1 == name.size() - 1;
                ++i;
            }
        }
        if (!trail)
            name.pop_back();
    }
    return name;
}

void putEntry(std::string& out, const char* key, const std::string& value)
{
    out += key;
    for (char c : value)
        if (c != '\0')
            out += c;
    out += '\0';
}

} // namespace

std::vector<tviSnapshotListEntry> tviSnapshotFiles::readList(std::string_view bytes,
                                                             std::size_t* refused)
{
    std::vector<tviSnapshotListEntry> entries;
    if (refused != nullptr)
        *refused = 0;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t cr = bytes.find('\r', pos);
        std::size_t lf = bytes.find('\n', pos);
        std::size_t end = std::min(cr, lf);
        std::string_view line =
            bytes.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        char kind = line.empty() ? 0 : line[0];
        bool known = kind == 'F' || kind == 'f' || kind == 'I' || kind == 'i';
        if (known) {
            std::size_t colon = line.size() > 2 ? line.find(':', 2) : std::string_view::npos;
            if (colon == std::string_view::npos || end == std::string_view::npos)
                break;
            std::string_view dirName = line.substr(2, colon - 2);
            if (line.size() >= 2 && line[1] == ':' && isSafeDirectoryName(dirName)) {
                tviSnapshotListEntry entry;
                entry.folder = kind == 'F' || kind == 'f';
                entry.dirName = withoutSeparator(dirName) + "/";
                entry.name = std::string(line.substr(colon + 1));
                entries.push_back(std::move(entry));
            } else if (refused != nullptr) {
                ++*refused;
            }
        }
        if (end == std::string_view::npos)
            break;
        pos = end + 1;
        if (end == cr && pos < bytes.size() && bytes[pos] == '\n')
            ++pos;
    }
    return entries;
}

std::string tviSnapshotFiles::writeList(const std::vector<tviSnapshotListEntry>& entries)
{
    std::string out;
    for (const tviSnapshotListEntry& entry : entries) {
        out += entry.folder ? "F:" : "I:";
        out += entry.dirName;
        out += ':';
        for (char c : entry.name)
            out += (c == '\r' || c == '\n' || c == '\0') ? ' ' : c;
        out += "\r\n";
    }
    return out;
}

tviSnapshotRecord tviSnapshotFiles::readRecord(std::string_view bytes, bool folder)
{
    tviSnapshotRecord record;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t nul = bytes.find('\0', pos);
        if (nul == std::string_view::npos)
            break;
        std::string_view entry = bytes.substr(pos, nul - pos);
        pos = nul + 1;
        auto value = [&](std::string_view key, std::string& out) {
            if (!entry.starts_with(key))
                return false;
            out = std::string(entry.substr(key.size()));
            return true;
        };
        std::string text;
        if (value("Description=", text)) {
            record.description = text;
        } else if (value("Mark=", text)) {
            record.mark = !text.empty() && text[0] == '1';
        } else if (folder) {
            continue;
        } else if (value("Source=", text)) {
            record.source = text;
        } else if (value("Top=", text)) {
            record.top = text;
        } else if (value("Created=", text)) {
            kivaTime created;
            if (created.fromHttpDate(text))
                record.created = created;
        } else if (value("Delete=", text)) {
            record.autoDelete = !text.empty() && text[0] == '1';
        }
    }
    return record;
}

std::string tviSnapshotFiles::writeRecord(const tviSnapshotRecord& record, bool folder)
{
    std::string out;
    putEntry(out, "Description=", record.description);
    putEntry(out, "Mark=", record.mark ? "1" : "0");
    if (folder)
        return out;
    putEntry(out, "Source=", record.source);
    putEntry(out, "Top=", record.top);
    std::string created;
    if (record.created.isValid())
        record.created.toHttpDate(created);
    putEntry(out, "Created=", created);
    putEntry(out, "Delete=", record.autoDelete ? "1" : "0");
    return out;
}

std::string tviSnapshotFiles::writeOrigin(const tviTrashOrigin& origin)
{
    std::string out;
    putEntry(out, "Kind=", origin.folder ? "F" : "I");
    putEntry(out, "Name=", origin.name);
    putEntry(out, "Dir=", origin.dirName);
    putEntry(out, "Parent=", origin.parent);
    putEntry(out, "After=", origin.after);
    putEntry(out, "Deleted=", std::to_string(origin.deleted));
    return out;
}

bool tviSnapshotFiles::readOrigin(std::string_view bytes, tviTrashOrigin& origin)
{
    origin = tviTrashOrigin{};
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t nul = bytes.find('\0', pos);
        if (nul == std::string_view::npos)
            break;
        std::string_view entry = bytes.substr(pos, nul - pos);
        pos = nul + 1;
        std::size_t equals = entry.find('=');
        if (equals == std::string_view::npos)
            continue;
        std::string_view key = entry.substr(0, equals);
        std::string value(entry.substr(equals + 1));
        if (key == "Kind")
            origin.folder = value == "F";
        else if (key == "Name")
            origin.name = value;
        else if (key == "Dir")
            origin.dirName = value;
        else if (key == "Parent")
            origin.parent = value;
        else if (key == "After")
            origin.after = value;
        else if (key == "Deleted")
            origin.deleted = std::strtoll(value.c_str(), nullptr, 10);
    }
    if (!isSafeDirectoryName(origin.dirName) ||
        (!origin.after.empty() && !isSafeDirectoryName(origin.after)))
        return false;
    // Every component of the parent's path must be a plain directory name.
    std::string_view rest = origin.parent;
    while (!rest.empty()) {
        std::size_t slash = rest.find('/');
        if (slash == std::string_view::npos || !isSafeDirectoryName(rest.substr(0, slash)))
            return false;
        rest.remove_prefix(slash + 1);
    }
    return true;
}

std::string tviSnapshotFiles::directoryNameOf(const std::string& name)
{
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        auto c = static_cast<unsigned char>(name[i]);
        std::string piece;
        std::uint32_t code = 0;
        if (std::size_t reference = platform::referenceAt(name, i, code);
            reference != 0 && code >= 0x80) {
            // A character kept as a reference names the directory as itself.
            platform::appendUtf8(piece, code);
            i += reference - 1;
        } else if (isDoubleByteAt(name, i)) {
            piece = platform::sjisToUtf8(name.substr(i, 2));
            ++i;
        } else {
            bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
            piece = alnum ? std::string(1, static_cast<char>(c)) : std::string("_");
        }
        // Whole characters only, within the limit.
        if (out.size() + piece.size() > directoryNameLimit)
            break;
        out += piece;
    }
    if (out.empty())
        out = "_";
    return out;
}

bool tviSnapshotFiles::isSafeDirectoryName(std::string_view dirName)
{
    std::string name = withoutSeparator(dirName);
    if (name.empty() || name == "." || name == ".." || name.size() > componentLimit ||
        name == trashName)
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        auto c = static_cast<unsigned char>(name[i]);
        if (isDoubleByteAt(name, i)) {
            ++i; // its trail byte (which may be 0x5C) belongs to the character
            continue;
        }
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':')
            return false;
    }
    return true;
}

namespace {

// Shift_JIS bytes of a proposed name at most: even all double-byte, its directory name and
// a "(9999)" counter stay within a file name.
constexpr std::size_t proposedNameLimit = 160;

bool isControlByte(unsigned char c)
{
    return c < 0x20 || c == 0x7F;
}

bool isUsableName(const std::string& name)
{
    if (name.empty() || name == "." || name == ".." || name.size() > proposedNameLimit)
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        auto c = static_cast<unsigned char>(name[i]);
        if (isDoubleByteAt(name, i)) {
            ++i;
            continue;
        }
        if (c == '/' || isControlByte(c))
            return false;
    }
    return true;
}

// '/' becomes '_', control characters blanks; blanks at either end go; cut to the limit.
std::string usableFrom(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (isDoubleByteAt(text, i)) {
            out.append(text, i++, 2);
            continue;
        }
        out += c == '/' ? '_' : (isControlByte(c) ? ' ' : static_cast<char>(c));
    }
    std::size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    out = out.substr(first, out.find_last_not_of(' ') - first + 1);
    out.resize(platform::sjisBoundary(out, proposedNameLimit));
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return isUsableName(out) ? out : std::string();
}

} // namespace

std::string tviSnapshotFiles::proposeName(const std::string& text, const std::string& title,
                                          const std::string& address)
{
    if (isUsableName(text))
        return text;
    std::string fromTitle = usableFrom(title);
    if (!fromTitle.empty())
        return fromTitle;
    std::string rest = address;
    std::size_t scheme = rest.find("://");
    if (scheme != std::string::npos)
        rest = rest.substr(scheme + 3);
    rest = rest.substr(0, rest.find('#'));
    while (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    while (!rest.empty() && rest.front() == '/')
        rest.erase(0, 1);
    std::string fromAddress = usableFrom(rest);
    return fromAddress.empty() ? std::string("snapshot") : fromAddress;
}
