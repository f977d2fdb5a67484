#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

// A loopback HTTP server for benchmarks that answers on many hosts at once: 127.0.0.1 to
// 127.0.0.N (all loopback on Linux), one port for all, one thread with poll(). HTTP/1.1 with
// keep-alive, GET and HEAD. Routes: /dead/... and /robots.txt answer 404, /slow/... a page
// after a delay (setSlowMs, 2 s), /redirect/REST a 301 to /page/REST on the same host,
// anything else a small text/html page, unless setPage gave the path a page of its own. A
// silent host (setSilentHosts) takes connections and requests and never answers. Every
// request is recorded with its host and arrival tick. It stops when destroyed or when its
// lifetime runs out.
class MultiHostServer {
public:
    struct Arrival {
        int host = 0; // N of 127.0.0.N
        std::string method;
        std::string path;
        std::uint64_t tick = 0; // platform::tickCount()
    };

    MultiHostServer(int hosts, int lifetimeSeconds);
    ~MultiHostServer();
    MultiHostServer(const MultiHostServer&) = delete;
    MultiHostServer& operator=(const MultiHostServer&) = delete;

    bool ok() const { return port_ > 0; }
    int port() const { return port_; }
    std::string url(int host, const std::string& path) const;
    std::vector<Arrival> takeArrivals();
    // Serves body (text/html) for exactly this path on every host.
    void setPage(const std::string& path, const std::string& body);
    // Call before the first request.
    void setSilentHosts(const std::set<int>& hosts);
    void setSlowMs(int ms);

private:
    struct Connection {
        int fd = -1;
        int host = 0;
        std::string in;
        std::string out;
        bool closeAfterWrite = false;
        bool silent = false;
        std::uint64_t sendAt = 0; // a slow answer waits until this tick
        std::uint64_t lastActivity = 0;
    };

    bool bindAll(int hosts);
    void run();
    void acceptFrom(int listener);
    bool readFrom(Connection& connection);
    void answer(Connection& connection);
    bool writeTo(Connection& connection);

    std::vector<int> listeners_;
    std::vector<Connection> connections_;
    int port_ = 0;
    int lifetimeSeconds_;
    std::atomic<bool> stopped_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::vector<Arrival> arrivals_;
    std::map<std::string, std::string> pages_;
    std::set<int> silentHosts_;
    std::uint64_t slowMs_ = 2000;
};
