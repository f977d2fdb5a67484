#include "TreeViewItem/Cabinet/tviCabinetExport.h"

#include "Platform/AtomicFile.h"
#include "TreeViewItem/Cabinet/tviCabinetSource.h"
#include "TreeViewItem/Formats/tviBookmarkFile.h"
#include "TreeViewItem/Formats/tviCabinetFile.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// A target that exists may be replaced only when it is an empty file or a bookmark file: a
// cabinet, the source or any other file of the user stays as it is.
bool targetAllowed(const std::string& source, const std::string& target, std::string& error)
{
    if (target.empty()) {
        error = "no file to export to";
        return false;
    }
    std::error_code code;
    fs::file_status status = fs::status(target, code);
    if (code || !fs::exists(status)) {
        return true;
    }
    if (!source.empty() && fs::equivalent(source, target, code)) {
        error = target + ": is the source itself; export writes a new file";
        return false;
    }
    if (!fs::is_regular_file(status)) {
        error = target + ": not a regular file";
        return false;
    }
    // A cabinet without our marker reads like a bookmark file, but it is still a cabinet.
    if (fs::path(target).extension() == ".scb") {
        error = target + ": is a cabinet file; not replaced";
        return false;
    }
    if (fs::file_size(target, code) == 0 && !code) {
        return true;
    }
    if (tviCabinetSource::kindOf(target) != tviSourceKind::bookmarks) {
        error = target + ": exists and is no bookmark file; not replaced";
        return false;
    }
    return true;
}

} // namespace

bool tviCabinetExport::exportFile(const std::string& source, const std::string& target,
                                  Result& result, std::string& error)
{
    result = Result{};
    tviCabinetDocument doc;
    std::string warning;
    if (!tviCabinetSource::read(source, doc, error, warning)) {
        error = source + ": " + error;
        return false;
    }
    if (!exportDocument(doc, source, target, result, error)) {
        return false;
    }
    result.warning = warning;
    return true;
}

bool tviCabinetExport::exportDocument(const tviCabinetDocument& doc, const std::string& source,
                                      const std::string& target, Result& result, std::string& error)
{
    result = Result{};
    if (!targetAllowed(source, target, error)) {
        return false;
    }
    std::string why;
    if (!platform::atomicWriteFile(target, tviBookmarkFile::write(doc), &why)) {
        error = target + ": not written (" + why + ")";
        return false;
    }
    result.path = target;
    for (const tviCabinetEntry& e : doc.entries) {
        (e.type == 3 ? result.folders : result.items) += 1;
    }
    return true;
}
