#include "CliCheckReport.h"

#include "CliJson.h"
#include "Platform/platformText.h"
#include "TreeViewItem/Cabinet/tviCabinetCheck.h"

#include <libxml/xmlwriter.h>

#include <cstdio>
#include <ctime>
#include <memory>

namespace {

std::string utf8(const std::string& sjis)
{
    return platform::sjisToUtf8(sjis);
}

std::string where(const tviCheckResult& r)
{
    return utf8(r.path.empty() ? r.name : r.path + "/" + r.name);
}

// Control characters other than tab and line breaks cannot stand in XML 1.0 at all.
std::string xmlSafe(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text)
        if (c >= 0x20 || c == '\t' || c == '\n' || c == '\r')
            out += static_cast<char>(c);
    return out;
}

// One table cell: a pipe would end it and a line break would end the row.
std::string cell(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '|')
            out += "\\|";
        else if (c == '\n' || c == '\r')
            out += ' ';
        else
            out += c;
    }
    return out;
}

// An address as inline code; a backtick inside would end the span.
std::string codeSpan(const std::string& text)
{
    std::string out = "`";
    for (char c : text)
        out += c == '`' ? std::string("%60") : std::string(1, c);
    return cell(out + "`");
}

std::string seconds(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

std::string notes(const tviCheckResult& r)
{
    std::string text;
    if (r.attempts > 1)
        text += "attempts " + std::to_string(r.attempts);
    if (r.retryAfter > 0)
        text += (text.empty() ? "" : ", ") + std::string("Retry-After ") +
                std::to_string(r.retryAfter) + " s";
    if (r.notModified)
        text += (text.empty() ? "" : ", ") + std::string("not modified");
    return text;
}

// An archived copy's date as ISO 8601 in UTC, empty when the archive gave none.
std::string isoDate(long long seconds)
{
    if (seconds <= 0)
        return {};
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm utc{};
    if (gmtime_r(&t, &utc) == nullptr)
        return {};
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string archivedText(const tviCheckResult& r)
{
    std::string date = isoDate(r.archivedDate);
    return "archived copy " + utf8(r.archived) + (date.empty() ? "" : " (" + date + ")");
}

// Failed, moved (loaded at a new address) and not checked (nothing fetches the scheme).
bool needsAttention(const tviCheckResult& r)
{
    return r.failed() || r.moved() || r.unchecked();
}

struct XmlWriter {
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlTextWriterPtr writer = buffer != nullptr ? xmlNewTextWriterMemory(buffer, 0) : nullptr;

    ~XmlWriter()
    {
        if (writer != nullptr)
            xmlFreeTextWriter(writer);
        if (buffer != nullptr)
            xmlBufferFree(buffer);
    }
    void start(const char* name) { xmlTextWriterStartElement(writer, BAD_CAST name); }
    void end() { xmlTextWriterEndElement(writer); }
    void attribute(const char* name, const std::string& value)
    {
        xmlTextWriterWriteAttribute(writer, BAD_CAST name, BAD_CAST xmlSafe(value).c_str());
    }
    void text(const std::string& value)
    {
        xmlTextWriterWriteString(writer, BAD_CAST xmlSafe(value).c_str());
    }
};

} // namespace

CliCheckReport::CliCheckReport(const tviCabinetCheck& check, std::string cabinetName,
                               double seconds)
    : check_(check), cabinetName_(std::move(cabinetName)), seconds_(seconds)
{
}

bool CliCheckReport::parseFormat(const std::string& name, Format& format)
{
    static const std::pair<const char*, Format> names[] = {{"text", Format::text},
                                                           {"json", Format::json},
                                                           {"junit", Format::junit},
                                                           {"markdown", Format::markdown}};
    for (const auto& [text, value] : names) {
        if (name == text) {
            format = value;
            return true;
        }
    }
    return false;
}

std::string CliCheckReport::render(Format format) const
{
    switch (format) {
    case Format::json: return json() + "\n";
    case Format::junit: return junit();
    case Format::markdown: return markdown();
    case Format::text: break;
    }
    return text();
}

std::string CliCheckReport::summaryLine() const
{
    size_t total = check_.results().size();
    size_t failed = check_.failedCount();
    size_t gone = 0;
    for (const tviCheckResult& r : check_.results())
        gone += r.failed() && (r.result == 404 || r.result == 410) ? 1 : 0;
    char line[256];
    std::snprintf(line, sizeof line,
                  "%zu items checked: %zu loaded, %zu failed (%zu gone: 404 or 410), %zu not "
                  "checked, %zu moved, "
                  "%zu retried, %.1f s",
                  total, check_.loadedCount(), failed, gone, check_.uncheckedCount(),
                  check_.movedCount(), check_.retriedCount(), seconds_);
    return line;
}

std::string CliCheckReport::text() const
{
    std::string out;
    for (const tviCheckResult& r : check_.results()) {
        std::string note = notes(r);
        note = note.empty() ? "" : "  (" + note + ")";
        if (r.failed()) {
            out += where(r) + "  <" + utf8(r.url) + ">  status " +
                   std::to_string(static_cast<int>(r.status)) + " result " +
                   std::to_string(r.result) + "  " + utf8(r.statusText) + note + "\n";
            if (!r.archived.empty())
                out += "  " + archivedText(r) + "\n";
        } else if (r.moved())
            out += where(r) + "  <" + utf8(r.url) + ">  moved to <" + utf8(r.movedTo) + ">" + note +
                   "\n";
        else if (r.unchecked())
            out += where(r) + "  <" + utf8(r.url) + ">  not checked  " + utf8(r.statusText) + "\n";
    }
    return out + summaryLine() + "\n";
}

// The items that need attention: failed, moved (loaded at a new address), not checked.
std::string CliCheckReport::json() const
{
    CliJson json;
    json.beginArray();
    for (const tviCheckResult& r : check_.results()) {
        if (!needsAttention(r))
            continue;
        json.beginObject().key("path").sjis(r.path).key("name").sjis(r.name).key("url").sjis(r.url);
        json.key("status").number(static_cast<int>(r.status)).key("result").number(r.result);
        json.key("status_text").sjis(r.statusText).key("attempts").number(r.attempts);
        if (r.retryAfter > 0)
            json.key("retry_after").number(r.retryAfter);
        if (r.moved())
            json.key("moved_to").sjis(r.movedTo);
        if (!r.archived.empty()) {
            json.key("archived").sjis(r.archived);
            if (r.archivedDate > 0)
                json.key("archived_date").utf8(isoDate(r.archivedDate));
        }
        json.endObject();
    }
    json.endArray();
    return json.text();
}

// One test case per item; a failed item carries a failure with its status text, result
// and status; an item that was not checked is skipped.
std::string CliCheckReport::junit() const
{
    XmlWriter xml;
    if (xml.writer == nullptr)
        return {};
    xmlTextWriterSetIndent(xml.writer, 1);
    xmlTextWriterStartDocument(xml.writer, nullptr, "UTF-8", nullptr);
    std::string tests = std::to_string(check_.results().size());
    std::string failures = std::to_string(check_.failedCount());
    std::string skipped = std::to_string(check_.uncheckedCount());
    xml.start("testsuites");
    xml.attribute("name", "quillara check");
    xml.attribute("tests", tests);
    xml.attribute("failures", failures);
    xml.attribute("errors", "0");
    xml.attribute("time", seconds(seconds_));
    xml.start("testsuite");
    xml.attribute("name", cabinetName_);
    xml.attribute("tests", tests);
    xml.attribute("failures", failures);
    xml.attribute("errors", "0");
    xml.attribute("skipped", skipped);
    xml.attribute("time", seconds(seconds_));
    for (const tviCheckResult& r : check_.results()) {
        xml.start("testcase");
        xml.attribute("name", where(r) + " <" + utf8(r.url) + ">");
        xml.attribute("classname", cabinetName_);
        xml.attribute("time", "0");
        if (r.failed()) {
            xml.start("failure");
            xml.attribute("message", utf8(r.statusText));
            xml.attribute("type", "result " + std::to_string(r.result));
            xml.text(utf8(r.url) + "\nstatus " + std::to_string(static_cast<int>(r.status)) +
                     ", result " + std::to_string(r.result) + ": " + utf8(r.statusText));
            xml.end();
        } else if (r.unchecked()) {
            xml.start("skipped");
            xml.attribute("message", utf8(r.statusText));
            xml.end();
        }
        std::string out = notes(r);
        if (r.moved())
            out = "moved to " + utf8(r.movedTo) + (out.empty() ? "" : "; " + out);
        if (!r.archived.empty())
            out = archivedText(r) + (out.empty() ? "" : "; " + out);
        if (!out.empty()) {
            xml.start("system-out");
            xml.text(out);
            xml.end();
        }
        xml.end();
    }
    xml.start("system-out");
    xml.text(summaryLine());
    xml.end();
    xml.end();
    xml.end();
    xmlTextWriterEndDocument(xml.writer);
    xmlTextWriterFlush(xml.writer);
    return std::string(reinterpret_cast<const char*>(xmlBufferContent(xml.buffer)),
                       static_cast<size_t>(xmlBufferLength(xml.buffer)));
}

std::string CliCheckReport::markdown() const
{
    std::string out = "### Link check: " + cell(cabinetName_) + "\n\n" + summaryLine() + "\n\n";
    bool any = false;
    // The column of archived copies is there when the check found any.
    bool archived = check_.archivedCount() > 0;
    for (const tviCheckResult& r : check_.results()) {
        if (!needsAttention(r))
            continue;
        if (!any)
            out += archived ? "| Result | Item | Address | Status | Archived copy "
                              "|\n|---|---|---|---|---|\n"
                            : "| Result | Item | Address | Status |\n|---|---|---|---|\n";
        any = true;
        std::string result = r.failed() ? "failed " + std::to_string(r.result)
                                        : std::string(r.unchecked() ? "not checked" : "moved");
        std::string address = codeSpan(utf8(r.url));
        if (r.moved())
            address += " → " + codeSpan(utf8(r.movedTo));
        std::string status = utf8(r.statusText);
        if (std::string note = notes(r); !note.empty())
            status += " (" + note + ")";
        out +=
            "| " + result + " | " + cell(where(r)) + " | " + address + " | " + cell(status) + " |";
        if (archived) {
            std::string date = isoDate(r.archivedDate);
            out += " " +
                   (r.archived.empty()
                        ? std::string()
                        : codeSpan(utf8(r.archived)) + (date.empty() ? "" : " " + date)) +
                   " |";
        }
        out += "\n";
    }
    if (!any)
        out += "Every address loaded at its own place.\n";
    return out;
}
