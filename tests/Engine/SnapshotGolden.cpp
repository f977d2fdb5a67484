#include "SnapshotGolden.h"

#include "TestHttpServer.h"
#include "TestSupport.h"

#include <filesystem>
#include <regex>

namespace testsupport {

namespace {

std::string dataFile(const std::string& name)
{
    return readFile(std::filesystem::path(QUILLARA_SNAPSHOT_DATA) / name);
}

} // namespace

std::string serveGoldenSite(TestHttpServer& server, const std::string& file)
{
    std::string port = std::to_string(server.port());
    std::string page = std::regex_replace(dataFile(file), std::regex("PORT"), port);
    server.setFile("golden.html", "text/html", page);
    server.setFile("frame.html", "text/html; charset=utf-8", dataFile("frame.html"));
    server.setFile("css/main.css", "text/css",
                   "@import 'more.css';\nbody{background:url(../img/css-bg.png)}\n"
                   ".x{background:url(http://127.0.0.1:" +
                       port + "/site/img/missing.png)}");
    server.setFile("css/more.css", "text/css", "h1{color:#c03000}");
    server.setFile("css/imported.css", "text/css", "p{background:image-set('../img/set.png' 1x)}");
    for (const char* name :
         {"img/a.png",      "img/a2.png",      "img/hero.png",    "img/body.png",
          "img/wide.png",   "img/button.png",  "img/poster.png",  "img/table.png",
          "img/cell.png",   "img/inline.png",  "img/svg.png",     "img/css-bg.png",
          "img/set.png",    "favicon.ico",     "font/q.woff",     "media/clip.webm",
          "media/clip.mp4", "media/sub.vtt",   "media/sound.ogg", "media/plugin.swf",
          "js/app.js",      "media/movie.swf", "preload.css",     "next.html",
          "beacon.gif",     "click.gif",       "js-link.gif"})
        server.setFile(name, "application/octet-stream", std::string("bytes of ") + name);
    return page;
}

} // namespace testsupport
