#pragma once

#include <string>

namespace testsupport {

class TestHttpServer;

// The golden page of offline snapshots (tests/data/snapshot/): file is "golden-utf8.html" or
// "golden-sjis.html". Serves it under /site/golden.html with the files it needs; three are
// missing on purpose (css/missing.css, css/frame-missing.css, img/missing.png: 404).
// Returns the page as served.
std::string serveGoldenSite(TestHttpServer& server, const std::string& file);

} // namespace testsupport
