#include "TreeViewItem/Cabinet/tviCabinetImport.h"

#include "Common/utlLog.h"
#include "Platform/AtomicFile.h"
#include "Platform/FileLock.h"
#include "Platform/SafePath.h"
#include "Platform/platformText.h"
#include "TreeViewItem/Formats/tviCabinetFile.h"
#include "TreeViewItem/Cabinet/tviCabinetSource.h"

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

bool exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Deepest folder nesting of the entries (1 for a folder at the top).
int depthOf(const tviCabinetDocument& doc)
{
    std::vector<int> depth(doc.entries.size(), 0);
    int deepest = 0;
    for (size_t i = 0; i < doc.entries.size(); ++i) {
        int parent = doc.entries[i].parent;
        int base = parent >= 0 && static_cast<size_t>(parent) < i ? depth[parent] : 0;
        depth[i] = base + (doc.entries[i].type == 3 ? 1 : 0);
        deepest = std::max(deepest, depth[i]);
    }
    return deepest;
}

void count(const tviCabinetDocument& doc, tviCabinetImport::Result& result)
{
    for (const tviCabinetEntry& e : doc.entries) {
        (e.type == 3 ? result.folders : result.items) += 1;
    }
}

// Reads target as a cabinet that may be written: whole, ours, not of a newer format.
bool readTarget(const std::string& target, tviCabinetDocument& doc, std::string& error)
{
    std::string bytes;
    if (!platform::readSavedFile(target, bytes, &error)) {
        return false;
    }
    if (!tviCabinetFile::read(bytes, doc, error)) {
        error = "the cabinet cannot be read whole (" + error + "); it is left as it is";
        return false;
    }
    if (!doc.productMark || doc.newerVersion) {
        error = doc.productMark ? "the cabinet is of a newer format" : "not a Quillara cabinet";
        return false;
    }
    if (::access(target.c_str(), W_OK) != 0) {
        error = "the cabinet is not writable";
        return false;
    }
    return true;
}

} // namespace

bool tviCabinetImport::importInto(const std::string& source, const std::string& target,
                                  const std::string& folder, Result& result, std::string& error)
{
    result = Result{};
    result.path = target;
    // Importing a cabinet into itself would double every entry.
    if (platform::realPathOf(source) == platform::realPathOf(target)) {
        error = "the source is the target cabinet itself; nothing was imported";
        return logError(target + ": " + error);
    }
    tviCabinetDocument from;
    if (!tviCabinetSource::read(source, from, error, result.warning)) {
        return logError(source + ": " + error);
    }
    // The target's read-modify-write is one step for every other writer of the file.
    platform::FileLock lock;
    if (!lock.lock(target, platform::FileLock::defaultWaitMs, &error)) {
        return logError(target + ": " + error);
    }
    tviCabinetDocument into;
    result.created = !exists(target);
    if (result.created) {
        into.name = from.name;
    } else if (!readTarget(target, into, error)) {
        return logError(target + ": " + error);
    }
    int base = -1;
    if (!folder.empty()) {
        tviCabinetEntry top;
        top.type = 3;
        top.name = folder;
        into.entries.push_back(std::move(top));
        base = static_cast<int>(into.entries.size()) - 1;
    }
    int offset = static_cast<int>(into.entries.size());
    count(from, result);
    result.folders += folder.empty() ? 0 : 1;
    into.entries.reserve(into.entries.size() + from.entries.size());
    for (tviCabinetEntry& e : from.entries) {
        e.parent = e.parent < 0 ? base : e.parent + offset;
        into.entries.push_back(std::move(e));
    }
    if (depthOf(into) > tviCabinetFile::maxDepth) {
        error =
            "folders nested deeper than " + std::to_string(tviCabinetFile::maxDepth) + " levels";
        return logError(target + ": " + error);
    }
    std::string bytes = tviCabinetFile::write(into);
    bool existed = false;
    bool ok = result.created
                  ? platform::atomicCreateFile(target, bytes, &error, &existed)
                  : platform::atomicWriteFile(target, bytes, &error, platform::Durability::Synced,
                                              platform::Links::Follow);
    if (!ok) {
        return logError(target + ": " + error);
    }
    return true;
}

std::string tviCabinetImport::fileNameOf(const std::string& name)
{
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char c = name[i];
        if (platform::isLeadByte(c) && i + 1 < name.size()) {
            out.append(name, i++, 2);
            continue;
        }
        // A character kept as a reference stays one (sjisToUtf8 makes it the character);
        // "&#38;" is an '&' like any other.
        std::uint32_t code = 0;
        if (std::size_t reference = platform::referenceAt(name, i, code);
            reference != 0 && code >= 0x80) {
            out.append(name, i, reference);
            i += reference - 1;
            continue;
        }
        bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        out += alnum ? static_cast<char>(c) : '_';
    }
    if (out.empty()) {
        out = "_";
    }
    // A name stays well inside the 255 bytes a file name may have, with "(NNNN).scb" behind it.
    out.resize(platform::sjisBoundary(out, 160));
    return platform::sjisToUtf8(out);
}

bool tviCabinetImport::createCabinet(const std::string& folder, const tviCabinetDocument& doc,
                                     std::string& path, std::string& error)
{
    std::string dir = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    std::string stem = dir + fileNameOf(doc.name);
    std::string bytes = tviCabinetFile::write(doc);
    for (int n = 0; n < 10000; ++n) {
        path = n == 0 ? stem + ".scb" : stem + "(" + std::to_string(n) + ").scb";
        if (exists(path)) {
            continue;
        }
        bool existed = false;
        if (platform::atomicCreateFile(path, bytes, &error, &existed)) {
            return true;
        }
        if (!existed) {
            return logError(path + ": " + error);
        }
    }
    error = "no free file name for " + stem;
    return logError(error);
}

bool tviCabinetImport::copyCabinet(const std::string& source, const std::string& target,
                                   const std::string& name, Result& result, std::string& error)
{
    result = Result{};
    result.path = target;
    tviCabinetDocument doc;
    if (tviCabinetSource::kindOf(source) == tviSourceKind::cabinet) {
        std::string bytes;
        if (!platform::readWholeFile(source, bytes, &error)) {
            return logError(error);
        }
        if (!tviCabinetFile::read(bytes, doc, error)) {
            error = source + ": the cabinet cannot be read whole (" + error + ")";
            return logError(error);
        }
    } else if (!tviCabinetSource::read(source, doc, error, result.warning)) {
        return logError(source + ": " + error);
    }
    if (!name.empty()) {
        doc.name = name;
    }
    count(doc, result);
    bool existed = false;
    if (!platform::atomicCreateFile(target, tviCabinetFile::write(doc), &error, &existed)) {
        if (existed) {
            error = target + " exists already; nothing was written";
        }
        return logError(error);
    }
    result.created = true;
    return true;
}
