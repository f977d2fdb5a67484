#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

// A loopback server for the window's tests and benchmark, on 127.0.0.1 and a free port:
//   /page/N   an HTML page titled "Page N" with a Japanese text, two images (one address
//             given twice in different case) and a style sheet
//   /slow/N   the same page, sent 0.6 s late
// It stops when destroyed or when its lifetime runs out.
class GuiTestServer {
public:
    explicit GuiTestServer(int lifetimeSeconds = 120);
    ~GuiTestServer();
    GuiTestServer(const GuiTestServer&) = delete;
    GuiTestServer& operator=(const GuiTestServer&) = delete;

    std::string url(const std::string& path) const;
    int requestCount() const { return requests_; }

private:
    std::unique_ptr<httplib::Server> server_;
    int port_ = 0;
    std::thread listener_;
    std::thread watchdog_;
    std::atomic<bool> stopped_{false};
    std::atomic<int> requests_{0};
};
