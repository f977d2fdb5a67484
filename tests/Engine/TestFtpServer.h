#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// A small loopback FTP server for tests, on 127.0.0.1 and a free port: anonymous login,
// passive data connections (EPSV and PASV), CWD, PWD, TYPE, SIZE, MDTM, RETR and QUIT; every
// other command gets 502. It serves the files given to setFile; a file set to hang accepts
// RETR but never sends it. Every session stops when the server is destroyed and, at the
// latest, when its lifetime runs out.
class TestFtpServer {
public:
    explicit TestFtpServer(int lifetimeSeconds = 60);
    ~TestFtpServer();
    TestFtpServer(const TestFtpServer&) = delete;
    TestFtpServer& operator=(const TestFtpServer&) = delete;

    int port() const { return port_; }
    // "ftp://127.0.0.1:PORT" + path.
    std::string url(const std::string& path) const;
    // path is absolute ("/dir/page.html").
    void setFile(const std::string& path, const std::string& body, bool hang = false);
    // The RETR commands received, in order (absolute paths).
    std::vector<std::string> retrieved() const;
    void stop();

private:
    struct File {
        std::string body;
        bool hang = false;
    };

    void acceptLoop();
    void serve(int control);
    bool findFile(const std::string& path, File& out) const;
    bool stopped() const;

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopped_{false};
    std::int64_t deadlineMs_ = 0;
    std::thread acceptor_;
    mutable std::mutex mutex_;
    std::vector<std::thread> sessions_;
    std::map<std::string, File> files_;
    std::vector<std::string> retrieved_;
};

// A loopback port that nothing listens on: bound once and closed again.
int refusedPort();

} // namespace testsupport
