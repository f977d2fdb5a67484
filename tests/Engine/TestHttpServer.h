#pragma once

#include <atomic>
#include <cstdint>
#include <map>
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
//   /reset?title=T        announces 100000 bytes, sends 4096, then drops the connection;
//                         with title, they begin with a head of that title and keywords
//   /echo                 text/plain: the request line and the request headers
//   /flaky?key=K          500 to the first request for K, then /page
//   /slow-once?key=K&ms=M the first request for K waits M ms before it answers; then /page
//   /retry-after?key=K&after=V&code=C
//                         C (503) with "Retry-After: V" to the first request for K, then
//                         /page; V "date+N" sends the HTTP-date N seconds ahead
//   /status/CODE?after=V  as /status/CODE, with "Retry-After: V"
//   /etag?key=K&size=N    text/html with links, an ETag and a Last-Modified; 304 to a
//                         request whose If-None-Match or If-Modified-Since matches
//   /moved?n=N&code=C     N redirects with status C (301, 302, 307, 308), then /page
//   /site/...             what setFile put there (404 for anything else)
class TestHttpServer {
public:
    struct Arrival {
        std::string path;
        std::string target;
        std::string agent;
        std::string host;       // the Host header as sent
        std::uint64_t tick = 0; // platform::tickCount() when the request arrived
        std::string ifNoneMatch;
        std::string ifModifiedSince;
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
    // Serves body with type and status under "/site/" + path (path without the leading '/').
    void setFile(const std::string& path, const std::string& type, const std::string& body,
                 int status = 200);

private:
    void addRoutes();
    void record(const std::string& path, const std::string& target, const std::string& agent,
                const std::string& host, const std::string& ifNoneMatch,
                const std::string& ifModifiedSince);
    // How many requests for key came before this one (0 for the first).
    int countKey(const std::string& route, const std::string& key);
    bool sleepUnlessStopped(int ms) const;

    std::unique_ptr<httplib::Server> server_;
    int port_ = 0;
    std::thread listener_;
    std::thread watchdog_;
    std::atomic<bool> stopped_{false};
    int lifetimeSeconds_;
    mutable std::mutex mutex_;
    std::vector<Arrival> arrivals_;
    std::map<std::string, int> keyCounts_;
    struct File {
        std::string type;
        std::string body;
        int status = 200;
    };
    std::map<std::string, File> files_;
};

} // namespace testsupport
