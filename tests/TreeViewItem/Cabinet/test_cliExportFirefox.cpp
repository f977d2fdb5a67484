// A cabinet exported by `quillara-cli export`, read by a real Firefox ESR into its places
// database, exported again by Firefox and imported by `quillara-cli import`: the browser and
// the way back keep every folder, name, address, order, date and tag.
#include "Platform/platformText.h"
#include "TestSupport.h"
#include "TreeViewItem/Formats/tviCabinetFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Runs a shell command line; its exit status and what it wrote on standard output.
int run(const std::string& command, std::string* out = nullptr)
{
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        if (out != nullptr) {
            out->append(buffer, n);
        }
    }
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string shellQuoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

// The Firefox ESR install, or an empty path when the browser is not there.
fs::path firefoxInstall()
{
    std::error_code error;
    fs::path binary = fs::canonical("/usr/bin/firefox-esr", error);
    return error ? fs::path() : binary.parent_path();
}

// A private copy of the launcher with the rest of the install linked, plus an autoconfig
// script that exports the bookmarks to the file named by the pref "quillara.exportFile" once
// start-up (and with it the import of browser.bookmarks.file) has finished, and then quits.
// The system install stays as it is.
fs::path makePrivateFirefox(const fs::path& install, const fs::path& dir)
{
    fs::path copy = dir / "firefox";
    fs::create_directories(copy / "defaults" / "pref");
    for (const fs::directory_entry& entry : fs::directory_iterator(install)) {
        std::string name = entry.path().filename().string();
        if (name == "firefox-esr") {
            fs::copy_file(entry.path(), copy / name);
        } else if (name == "defaults") {
            for (const fs::directory_entry& pref : fs::directory_iterator(entry.path() / "pref")) {
                fs::create_symlink(pref.path(),
                                   copy / "defaults" / "pref" / pref.path().filename());
            }
        } else {
            fs::create_symlink(entry.path(), copy / name);
        }
    }
    testsupport::writeFile((copy / "defaults" / "pref" / "autoconfig.js").string(),
                           "pref(\"general.config.filename\", \"quillara-roundtrip.cfg\");\n"
                           "pref(\"general.config.obscure_value\", 0);\n"
                           "pref(\"general.config.sandbox_enabled\", false);\n");
    testsupport::writeFile((copy / "quillara-roundtrip.cfg").string(),
                           "// Exports the bookmarks once start-up has imported them, then quits.\n"
                           "Services.obs.addObserver(function exportAndQuit() {\n"
                           "  const { BookmarkHTMLUtils } = ChromeUtils.importESModule(\n"
                           "    \"resource://gre/modules/BookmarkHTMLUtils.sys.mjs\");\n"
                           "  const target = Services.prefs.getCharPref(\"quillara.exportFile\");\n"
                           "  BookmarkHTMLUtils.exportToFile(target).finally(\n"
                           "    () => Services.startup.quit(Ci.nsIAppStartup.eForceQuit));\n"
                           "}, \"places-browser-init-complete\");\n");
    return copy / "firefox-esr";
}

// A fresh profile that imports bookmarks at start-up and reaches nothing beyond loopback.
void writeProfile(const fs::path& profile, const std::string& bookmarks,
                  const std::string& exportFile)
{
    fs::create_directories(profile);
    std::string prefs;
    auto pref = [&prefs](const std::string& name, const std::string& value) {
        prefs += "user_pref(\"" + name + "\", " + value + ");\n";
    };
    pref("browser.places.importBookmarksHTML", "true");
    pref("browser.bookmarks.file", "\"" + bookmarks + "\"");
    pref("quillara.exportFile", "\"" + exportFile + "\"");
    // Every connection goes to a closed loopback port; no name is ever looked up.
    pref("network.proxy.type", "1");
    for (const char* scheme : {"http", "ssl", "socks"}) {
        pref(std::string("network.proxy.") + scheme, "\"127.0.0.1\"");
        pref(std::string("network.proxy.") + scheme + "_port", "9");
    }
    pref("network.proxy.socks_remote_dns", "true");
    pref("network.dns.disabled", "true");
    pref("network.trr.mode", "5");
    pref("network.captive-portal-service.enabled", "false");
    pref("network.connectivity-service.enabled", "false");
    pref("app.update.enabled", "false");
    pref("app.normandy.enabled", "false");
    pref("browser.safebrowsing.update.enabled", "false");
    pref("datareporting.policy.dataSubmissionEnabled", "false");
    pref("toolkit.telemetry.enabled", "false");
    pref("dom.push.connection.enabled", "false");
    pref("extensions.update.enabled", "false");
    pref("browser.shell.checkDefaultBrowser", "false");
    pref("browser.startup.page", "0");
    pref("browser.startup.homepage_override.mstone", "\"ignore\"");
    testsupport::writeFile((profile / "user.js").string(), prefs);
}

tviCabinetEntry entry(int type, int parent, const char* utf8Name, const char* url = "")
{
    tviCabinetEntry e;
    e.type = type;
    e.parent = parent;
    e.name = platform::utf8ToSjis(utf8Name);
    e.url = url;
    return e;
}

// Folders and items with what a browser keeps: nesting, order, Japanese and markup characters
// in names, dates, tags; descriptions and marks, which Firefox drops.
tviCabinetDocument sampleCabinet()
{
    tviCabinetDocument doc;
    doc.name = platform::utf8ToSjis("ブックマーク");
    doc.productMark = true;
    doc.entries.push_back(entry(3, -1, "資料 & 本")); // 0
    doc.entries.back().addDate = 1600000000;
    doc.entries.back().lastModified = 1600000100;
    doc.entries.push_back(entry(4, 0, "コーヒー <豆>", "http://example.com/a?x=1&y=2")); // 1
    doc.entries.back().addDate = 1500000000;
    doc.entries.back().lastModified = 1500000500;
    doc.entries.back().keyword = platform::utf8ToSjis("tea,日本");
    doc.entries.back().description = "first line\r\nsecond";
    doc.entries.back().marked = true;
    doc.entries.push_back(entry(3, 0, "深い \"フォルダ\"")); // 2
    doc.entries.back().addDate = 1300000000;
    doc.entries.back().lastModified = 1300000001;
    doc.entries.push_back(entry(4, 2, "深い項目", "https://example.org/deep/page.html")); // 3
    doc.entries.back().addDate = 1200000000;
    doc.entries.back().lastModified = 1200000000;
    doc.entries.push_back(entry(3, 0, "空")); // 4
    doc.entries.back().addDate = 1100000000;
    doc.entries.back().lastModified = 1100000000;
    doc.entries.push_back(entry(4, -1, "Top", "https://example.org/")); // 5
    doc.entries.back().addDate = 1400000000;
    doc.entries.back().lastModified = 1400000002;
    doc.entries.back().keyword = "b,c";
    return doc;
}

// One line per folder and item in document order: depth, type, name, address, dates, tags
// (UTF-8), the shape the places query below gives too.
std::vector<std::string> lines(const tviCabinetDocument& doc, bool withTags = true)
{
    std::vector<int> depth(doc.entries.size(), 0);
    std::vector<std::string> out;
    for (size_t i = 0; i < doc.entries.size(); ++i) {
        const tviCabinetEntry& e = doc.entries[i];
        depth[i] = e.parent < 0 ? 1 : depth[e.parent] + 1;
        out.push_back(std::to_string(depth[i]) + "|" + (e.type == 3 ? "2" : "1") + "|" +
                      platform::sjisToUtf8(e.name) + "|" + platform::sjisToUtf8(e.url) + "|" +
                      std::to_string(e.addDate) + "|" + std::to_string(e.lastModified) +
                      (withTags ? "|" + platform::sjisToUtf8(e.keyword) : std::string()));
    }
    return out;
}

std::vector<std::string> split(const std::string& text)
{
    std::vector<std::string> out;
    size_t from = 0;
    for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', from)) {
        out.push_back(text.substr(from, end - from));
        from = end + 1;
    }
    return out;
}

// The bookmarks menu as Firefox stored it, in the shape of lines(): the tags of an address
// are the titles of the tag folders holding a bookmark of it, sorted.
constexpr const char* placesQuery = R"(
WITH RECURSIVE tree(id, depth, path) AS (
  SELECT id, 0, '' FROM moz_bookmarks WHERE guid = 'menu________'
  UNION ALL
  SELECT b.id, tree.depth + 1, tree.path || printf('%04d', b.position)
  FROM moz_bookmarks b JOIN tree ON b.parent = tree.id)
SELECT tree.depth, b.type, b.title, ifnull(p.url, ''), b.dateAdded / 1000000, b.lastModified / 1000000,
  ifnull((SELECT group_concat(title, ',') FROM (
     SELECT t.title FROM moz_bookmarks r JOIN moz_bookmarks t ON t.id = r.parent
     WHERE r.fk = b.fk AND b.fk IS NOT NULL
       AND t.parent = (SELECT id FROM moz_bookmarks WHERE guid = 'tags________')
     ORDER BY t.title)), '')
FROM tree JOIN moz_bookmarks b ON b.id = tree.id LEFT JOIN moz_places p ON p.id = b.fk
WHERE tree.depth > 0 ORDER BY tree.path;
)";

} // namespace

TEST(cliExportFirefox, FirefoxReadsTheExportAndItsOwnExportImportsBackUnchanged)
{
    fs::path install = firefoxInstall();
    if (install.empty() || run("command -v sqlite3 >/dev/null 2>&1") != 0) {
        GTEST_SKIP()
            << "firefox-esr or sqlite3 is not installed (scripts/install-deps installs both): "
               "the round trip through a real browser was not run";
    }
    testsupport::TempHome home;
    fs::path dir = home.path();
    tviCabinetDocument original = sampleCabinet();
    std::string cabinet = (dir / "box.scb").string();
    testsupport::writeFile(cabinet, tviCabinetFile::write(original));
    std::string exported = (dir / "export.html").string();
    ASSERT_EQ(0, run(std::string(QUILLARA_CLI) + " export " + shellQuoted(cabinet) + " --to " +
                     shellQuoted(exported) + " >/dev/null 2>&1"));

    fs::path firefox = makePrivateFirefox(install, dir);
    fs::path profile = dir / "profile";
    std::string firefoxExport = (dir / "firefox.html").string();
    writeProfile(profile, exported, firefoxExport);
    // A network namespace of its own keeps the browser on loopback where the system allows one.
    std::string isolate = run("unshare -rn true >/dev/null 2>&1") == 0 ? "unshare -rn " : "";
    std::string command = "cd " + shellQuoted(dir.string()) +
                          " && env HOME=" + shellQuoted((dir / "home").string()) +
                          " XDG_CONFIG_HOME=" + shellQuoted((dir / "home" / ".config").string()) +
                          " XDG_CACHE_HOME=" + shellQuoted((dir / "home" / ".cache").string()) +
                          " MOZ_CRASHREPORTER_DISABLE=1 " + isolate + "timeout -k 10 240 " +
                          shellQuoted(firefox.string()) + " --headless --no-remote --profile " +
                          shellQuoted(profile.string()) + " about:blank >firefox.log 2>&1";
    ASSERT_EQ(0, run(command)) << testsupport::readFile((dir / "firefox.log").string());
    ASSERT_TRUE(fs::exists(firefoxExport)) << testsupport::readFile((dir / "firefox.log").string());

    std::string places;
    ASSERT_EQ(0, run("sqlite3 -batch -separator '|' " +
                         shellQuoted((profile / "places.sqlite").string()) + " " +
                         shellQuoted(placesQuery),
                     &places));
    EXPECT_EQ(lines(original), split(places));

    std::string back = (dir / "back.scb").string();
    ASSERT_EQ(0, run(std::string(QUILLARA_CLI) + " import " + shellQuoted(firefoxExport) +
                     " --to " + shellQuoted(back) + " >/dev/null 2>&1"));
    tviCabinetDocument returned;
    std::string error;
    ASSERT_TRUE(tviCabinetFile::read(testsupport::readFile(back), returned, error)) << error;
    EXPECT_EQ(lines(original), lines(returned));
    // Firefox keeps neither descriptions nor our marks: they do not come back.
    for (const tviCabinetEntry& e : returned.entries) {
        EXPECT_EQ("", e.description) << e.name;
        EXPECT_FALSE(e.marked) << e.name;
    }
}
