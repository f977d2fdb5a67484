// A saved page refers to nothing outside its directory. The golden page holds every element
// and attribute that makes a browser load something by itself (and scripts of every kind), in
// UTF-8 and in Shift_JIS; it is saved through the engine from the loopback server with some of
// its files missing, and an HTML5 parser (gumbo, not the rewriter's own scanner) walks every
// attribute, every style and every url() of what was saved.
#include "EngineHarness.h"
#include "SnapshotGolden.h"
#include "TestHttpServer.h"
#include "TestSupport.h"

#include "Common/utlIniInfo.h"
#include "Common/utlLog.h"
#include "Engine/Snapshot/clsSnapshotReport.h"
#include "Platform/platformText.h"

#include <gtest/gtest.h>
#include <gumbo.h>

#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using testsupport::readFile;

namespace {

class SnapshotHarness : public testsupport::EngineHarness {
public:
    void onSnapshotNotify(int id, const clsSnapshotReport& report, clsSnapshotPhase phase) override
    {
        if (phase == clsSnapshotPhase::ended)
            finals[id] = report;
    }
    std::map<int, clsSnapshotReport> finals;
};

bool isFollowedLink(const std::string& element, const std::string& name)
{
    return ((element == "a" || element == "area") && name == "href") ||
           (element == "form" && name == "action") || name == "formaction";
}

bool loadsByItself(const std::string& element, const std::string& name)
{
    static const std::vector<std::string> names = {
        "src",      "srcset",      "poster",     "data",   "background", "codebase",
        "manifest", "imagesrcset", "xlink:href", "lowsrc", "dynsrc",     "srcdoc"};
    if (std::find(names.begin(), names.end(), name) != names.end())
        return true;
    return name == "href" && !isFollowedLink(element, name) && element != "base";
}

std::string addressForm(std::string value)
{
    std::erase_if(value, [](char c) { return c == '\t' || c == '\n' || c == '\r'; });
    std::size_t from = value.find_first_not_of(" \f");
    std::size_t to = value.find_last_not_of(" \f");
    return from == std::string::npos ? std::string() : value.substr(from, to - from + 1);
}

// Walks the saved files and collects every reference that leaves the directory.
class OfflineWalk {
public:
    explicit OfflineWalk(const fs::path& folder) : folder(fs::weakly_canonical(folder)) {}

    void page(const std::string& name, bool shiftJis)
    {
        file = name;
        std::string text = readFile(folder / name);
        if (shiftJis)
            text = platform::sjisToUtf8(text);
        GumboOutput* output =
            gumbo_parse_with_options(&kGumboDefaultOptions, text.data(), text.size());
        policy = false;
        walk(output->root);
        gumbo_destroy_output(&kGumboDefaultOptions, output);
        if (!policy)
            faults.push_back(name + ": no Content-Security-Policy meta");
    }

    void sheet(const std::string& name)
    {
        file = name;
        css(readFile(folder / name));
    }

    std::vector<std::string> faults;
    std::vector<std::string> texts;

private:
    void fault(const std::string& what) { faults.push_back(file + ": " + what); }

    void address(const std::string& where, const std::string& raw)
    {
        std::string value = addressForm(raw);
        if (value.empty() || value[0] == '#' || value.starts_with("data:"))
            return;
        std::string path = value.substr(0, value.find_first_of("#?"));
        fs::path target = fs::weakly_canonical(folder / path);
        bool inside = target.string().starts_with(folder.string() + "/");
        if (value.find(':') != std::string::npos || value[0] == '/' || value[0] == '\\' ||
            !inside || !fs::is_regular_file(target))
            fault(where + " -> " + value);
    }

    void srcset(const std::string& where, const std::string& value)
    {
        static const std::regex candidate(R"(\s*([^\s,]+)[^,]*,?)");
        for (std::sregex_iterator it(value.begin(), value.end(), candidate), end; it != end; ++it)
            address(where, (*it)[1].str());
    }

    void css(std::string text)
    {
        text = std::regex_replace(text, std::regex(R"(/\*[\s\S]*?\*/)"), "");
        static const std::regex url(R"(url\(\s*(["']?)([^"')]*)\1\s*\))", std::regex::icase);
        static const std::regex import(R"(@import\s*(["'])([^"']*)\1)", std::regex::icase);
        static const std::regex set(R"(image-set\(\s*(["'])([^"']*)\1)", std::regex::icase);
        for (const std::regex* r : {&url, &import, &set})
            for (std::sregex_iterator it(text.begin(), text.end(), *r), end; it != end; ++it)
                address("css", (*it)[2].str());
    }

    void attribute(const std::string& element, const std::string& name, const std::string& value)
    {
        std::string where = "<" + element + " " + name + ">";
        if (name.starts_with("data-quillara-"))
            return;
        if (name.starts_with("on"))
            fault(where + " event attribute kept");
        std::string lowered = addressForm(value);
        std::transform(lowered.begin(), lowered.end(), lowered.begin(), ::tolower);
        if (lowered.starts_with("javascript:"))
            fault(where + " javascript: kept");
        if (name == "style")
            css(value);
        else if (name == "srcset" || name == "imagesrcset")
            srcset(where, value);
        else if (loadsByItself(element, name))
            address(where, value);
    }

    void walk(const GumboNode* node)
    {
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE) {
            if (node->type == GUMBO_NODE_TEXT)
                texts.emplace_back(node->v.text.text);
            return;
        }
        const GumboElement& e = node->v.element;
        std::string element = gumbo_normalized_tagname(e.tag);
        if (element.empty()) {
            GumboStringPiece original = e.original_tag;
            gumbo_tag_from_original_text(&original);
            element.assign(original.data, original.length);
            std::transform(element.begin(), element.end(), element.begin(), ::tolower);
        }
        std::map<std::string, std::string> attributes;
        for (unsigned i = 0; i < e.attributes.length; ++i) {
            const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
            attributes[a->name] = a->value;
            attribute(element, a->name, a->value);
        }
        if (element == "script")
            fault("script element kept");
        if (element == "meta") {
            std::string equiv = attributes["http-equiv"];
            std::transform(equiv.begin(), equiv.end(), equiv.begin(), ::tolower);
            if (equiv == "refresh" && attributes.count("content") != 0)
                fault("meta refresh kept");
            policy =
                policy ||
                (equiv == "content-security-policy" &&
                 attributes["content"].find("default-src 'self' data:; script-src 'none'") == 0);
        }
        for (unsigned i = 0; i < e.children.length; ++i) {
            const auto* child = static_cast<const GumboNode*>(e.children.data[i]);
            if (element == "style" && child->type == GUMBO_NODE_TEXT)
                css(child->v.text.text);
            walk(child);
        }
    }

    fs::path folder;
    std::string file;
    bool policy = false;
};

struct Golden {
    const char* file;
    bool shiftJis;
};

TEST(SnapshotOffline, TheGoldenPageIsSavedWithNoReferenceOutsideItsDirectory)
{
    for (Golden golden : {Golden{"golden-utf8.html", false}, Golden{"golden-sjis.html", true}}) {
        SCOPED_TRACE(golden.file);
        testsupport::TempHome home;
        testsupport::TestHttpServer server;
        std::string page = testsupport::serveGoldenSite(server, golden.file);
        // The page holds every kind of reference the walk must see handled.
        for (const char* kind : {"<script src=",    "<script>",
                                 "onload=",         "javascript:",
                                 "rel=\"preload\"", "srcset=",
                                 "poster=",         "<object data=",
                                 "<embed src=",     "<input type=\"image\"",
                                 "<track src=",     "<source src",
                                 "<audio src=",     "<video src=",
                                 "background=",     "url(",
                                 "@import",         "http-equiv=\"refresh\"",
                                 "<iframe src=",    "<area href=",
                                 "<form action="})
            ASSERT_NE(page.find(kind), std::string::npos) << kind;
        SnapshotHarness harness;
        fs::path folder = home.path() / "snap";
        int id = -1;
        ASSERT_TRUE(
            harness.engine.startSnapshot(1, server.url("/site/golden.html"), folder.string(), id));
        ASSERT_TRUE(harness.waitUntil([&] { return harness.finals.count(id) != 0; }, 60000));
        const clsSnapshotReport& report = harness.finals[id];
        ASSERT_TRUE(report.topSaved);
        // Scripts, objects, preloads and refreshes are never fetched.
        for (const char* path :
             {"/site/js/app.js", "/site/beacon.gif", "/site/media/movie.swf",
              "/site/media/plugin.swf", "/site/preload.css", "/site/next.html",
              "/site/elsewhere.html", "/site/other.html", "/site/click.gif", "/site/js-link.gif"})
            EXPECT_EQ(server.arrivalCount(path), 0u) << path;

        OfflineWalk walk(folder);
        for (const auto& entry : fs::directory_iterator(folder)) {
            std::string name = entry.path().filename().string();
            if (name.ends_with(".html"))
                walk.page(name, golden.shiftJis && name == report.topName);
            else if (name.ends_with(".css"))
                walk.sheet(name);
        }
        for (const std::string& fault : walk.faults)
            ADD_FAILURE() << fault;
        // The control: the page as served fails the walk in many places.
        fs::path control = home.path() / "control";
        fs::create_directories(control);
        testsupport::writeFile(control / "golden.html", page);
        OfflineWalk raw(control);
        raw.page("golden.html", golden.shiftJis);
        EXPECT_GE(raw.faults.size(), 20u);
        std::string all;
        for (const std::string& text : walk.texts)
            all += text;
        EXPECT_NE(all.find("オフラインでも読める本文"), std::string::npos);
        EXPECT_NE(all.find("フレームの本文"), std::string::npos);

        // Links stay links; what was removed is kept for the reader.
        std::string saved = readFile(folder / report.topName);
        std::string site = "http://127.0.0.1:" + std::to_string(server.port()) + "/site/";
        for (const std::string& kept :
             {"<a href=\"" + site + "other.html\"", "<area href=\"" + site + "area.html\"",
              "<form action=\"" + site + "search.cgi\"",
              "data-quillara-src=\"" + site + "img/missing.png\"",
              "data-quillara-data=\"" + site + "media/movie.swf\""})
            EXPECT_NE(saved.find(kept), std::string::npos) << kept;
    }
}

// PrefFile/SnapshotScripts keeps the scripts: the external one is saved like an image and
// nothing else changes; still no reference leaves the directory.
TEST(SnapshotOffline, KeptScriptsAreSavedLocally)
{
    testsupport::TempHome home;
    InitUtlLog("QuillaG");
    ASSERT_TRUE(InitUtlIniInfo());
    ASSERT_TRUE(GetUtlIniInfo()->load());
    GetUtlIniInfo()->setInt(IniKey::SnapshotScripts, 1);
    testsupport::TestHttpServer server;
    testsupport::serveGoldenSite(server, "golden-utf8.html");
    {
        SnapshotHarness harness;
        fs::path folder = home.path() / "snap";
        int id = -1;
        ASSERT_TRUE(
            harness.engine.startSnapshot(1, server.url("/site/golden.html"), folder.string(), id));
        ASSERT_TRUE(harness.waitUntil([&] { return harness.finals.count(id) != 0; }, 60000));
        std::string saved = readFile(folder / harness.finals[id].topName);
        EXPECT_EQ(server.arrivalCount("/site/js/app.js"), 1u);
        EXPECT_NE(saved.find("<script src=\"app.js\"></script>"), std::string::npos);
        EXPECT_NE(saved.find("document.write("), std::string::npos);
        EXPECT_NE(saved.find("onload=\"document.title='loaded'\""), std::string::npos);
        EXPECT_NE(saved.find("script-src 'self' 'unsafe-inline'"), std::string::npos);
        EXPECT_EQ(saved.find(" src=\"http:"), std::string::npos);
    }
    TermUtlIniInfo();
    TermUtlLog();
}

} // namespace
