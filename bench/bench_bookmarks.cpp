// Import of a generated 100,000-entry bookmark file (Firefox's export format, UTF-8, with
// Japanese names, nested folders, icons and descriptions) against libxml2's HTML parser
// reading the same bytes. Prints the times and the ratios (goal <= 1, moonshot <= 0.5).
#include "TreeViewItem/Formats/tviBookmarkFile.h"
#include "TreeViewItem/Formats/tviCabinetFile.h"
#include "TreeViewItem/Cabinet/tviCabinetImport.h"

#include <libxml/HTMLparser.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>

namespace {

double bestMs(int repeats, const std::function<void()>& run)
{
    double best = 1e300;
    for (int i = 0; i < repeats; ++i) {
        auto start = std::chrono::steady_clock::now();
        run();
        std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

// Folders of 50 entries, every tenth folder one level deeper; names in Japanese and English.
std::string generate(size_t entries)
{
    std::string out =
        "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<!-- This is an automatically generated file.\n"
        "     It will be read and overwritten.\n     DO NOT EDIT! -->\n"
        "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
        "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks Menu</H1>\n\n<DL><p>\n";
    int open = 0;
    for (size_t i = 0; i < entries; ++i) {
        if (i % 50 == 0) {
            if (i % 500 != 0 && open > 0) {
                out += "</DL><p>\n";
                --open;
            }
            out +=
                "<DT><H3 ADD_DATE=\"1700000000\" "
                "LAST_MODIFIED=\"1700000001\">\xe3\x83\x95\xe3\x82\xa9\xe3\x83\xab\xe3\x83\x80 " +
                std::to_string(i / 50) + "</H3>\n<DL><p>\n";
            ++open;
        }
        std::string n = std::to_string(i);
        out += "<DT><A HREF=\"https://www.example" + std::to_string(i % 97) + ".co.jp/path/" + n +
               "?q=a&amp;b=" + n + "\" ADD_DATE=\"" + std::to_string(1600000000 + i) +
               "\" LAST_MODIFIED=\"" + std::to_string(1600000500 + i) +
               "\" ICON=\"data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAABAAAAAQCAYAAAAf8/9hAAAA\" "
               "TAGS=\"news,jp\">"
               "\xe6\x97\xa5\xe6\x9c\xac\xe3\x81\xae\xe3\x83\x8b\xe3\x83\xa5\xe3\x83\xbc\xe3\x82"
               "\xb9 " +
               n + " &amp; more</A>\n";
        if (i % 7 == 0) {
            out += "<DD>\xe8\xaa\xac\xe6\x98\x8e " + n + "\n";
        }
    }
    while (open-- > 0) {
        out += "</DL><p>\n";
    }
    out += "</DL>\n";
    return out;
}

} // namespace

int main()
{
    xmlInitParser();
    const size_t entries = 100000;
    std::string bytes = generate(entries);
    std::string dir = std::filesystem::temp_directory_path().string() +
                      "/quillara-bench-bookmarks-" + std::to_string(::getpid()) + "/";
    std::filesystem::create_directories(dir);
    std::string source = dir + "bookmarks.html";
    std::ofstream(source, std::ios::binary) << bytes;
    const int repeats = 5;
    size_t read = 0;
    double parse = bestMs(repeats, [&] {
        tviCabinetDocument doc;
        std::string error;
        // A failed read shows as no entries in the line printed below.
        (void)tviBookmarkFile::read(bytes, doc, error);
        read = doc.entries.size();
    });
    double libxml = bestMs(repeats, [&] {
        htmlDocPtr doc =
            htmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), source.c_str(), "UTF-8",
                           HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
        xmlFreeDoc(doc);
    });
    int run = 0;
    double import = bestMs(repeats, [&] {
        tviCabinetImport::Result result;
        std::string error;
        if (!tviCabinetImport::importInto(source, dir + "mine" + std::to_string(run++) + ".scb", "",
                                          result, error))
            std::fprintf(stderr, "import failed: %s\n", error.c_str());
    });
    std::filesystem::remove_all(dir);
    std::printf("%zu entries, %zu bytes, %zu read\n", entries, bytes.size(), read);
    std::printf("read %8.2f ms  import (read + write .scb) %8.2f ms  libxml2 %8.2f ms\n", parse,
                import, libxml);
    std::printf("read/libxml2 %.2f  import/libxml2 %.2f\n", parse / libxml, import / libxml);
    xmlCleanupParser();
    return 0;
}
