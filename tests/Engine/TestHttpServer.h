#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace testsupport {

// A loopback HTTP server for tests, on 127.0.0.1 and a free port. It stops when destroyed
// and, at the latest, when its lifetime runs out; handlers that wait (hang, drip) give up
// as soon as it stops.
//
// Routes:
//   /page                 text/html page with a title and two links
//   /text?size=N          text/plain, N bytes (default 1000)
//   /notype               an empty page without Content-Type
//   /binary               application/octet-stream, 4096 bytes
//   /big?mb=N             text/plain, N MB (default 20)
//   /redirect?n=N         N absolute 302 redirects, then /page
//   /relative/start       301 to the relative "target", which serves /page
//   /loop/a, /loop/b      302 to each other
//   /self                 301 to itself
//   /status/CODE          that status (404, 410, 500, 503, ...) with a small html body
//   /hang                 accepts the request and never answers
//   /drip?n=N&ms=M        text/plain, N bytes, one every M ms (default 5 bytes, 1000 ms)
//   /reset                announces 100000 bytes, sends 4096, then drops the connection
//   /echo                 text/plain: the request line and the request headers
class TestHttpServer {
public:
    struct Arrival {
        std::string path;
        std::string target;
        std::string agent;
        std::string host; // the Host header as sent
        std::uint64_t tick = 0; // platform::tickCount() when the request arrived
    };

    explicit TestHttpServer(int lifetimeSeconds = 120);
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:PORT" + path.
    std::string url(const std::string& path) const;
    std::vector<Arrival> arrivals() const;
    std::size_t arrivalCount(const std::string& path) const;
    void clearArrivals();
    void stop();

private:
    void addRoutes();
    void record(const std::string& path, const std::string& target, const std::string& agent,
                const std::string& host);
    bool sleepUnlessStopped(int ms) const;

    std::unique_ptr<httplib::Server> server_;
    int port_ = 0;
    std::thread listener_;
    std::thread watchdog_;
    std::atomic<bool> stopped_{false};
    int lifetimeSeconds_;
    mutable std::mutex mutex_;
    std::vector<Arrival> arrivals_;
};

} // namespace testsupport
