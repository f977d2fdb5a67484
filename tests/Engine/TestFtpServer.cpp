#include "TestFtpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <stdexcept>

namespace testsupport {

namespace {

constexpr int pollStepMs = 50;

std::int64_t nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// A listening socket on 127.0.0.1 and a free port.
int listenLoopback(int& port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

bool sendAll(int fd, const std::string& bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

int refusedPort()
{
    int port = 0;
    int fd = listenLoopback(port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

TestFtpServer::TestFtpServer(int lifetimeSeconds) : deadlineMs_(nowMs() + lifetimeSeconds * 1000LL)
{
    listener_ = listenLoopback(port_);
    if (listener_ < 0)
        throw std::runtime_error("TestFtpServer: cannot listen on 127.0.0.1");
    acceptor_ = std::thread([this] { acceptLoop(); });
}

TestFtpServer::~TestFtpServer()
{
    stop();
}

std::string TestFtpServer::url(const std::string& path) const
{
    return "ftp://127.0.0.1:" + std::to_string(port_) + path;
}

void TestFtpServer::setFile(const std::string& path, const std::string& body, bool hang)
{
    std::lock_guard<std::mutex> guard(mutex_);
    files_[path] = File{body, hang};
}

std::vector<std::string> TestFtpServer::retrieved() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return retrieved_;
}

bool TestFtpServer::findFile(const std::string& path, File& out) const
{
    std::lock_guard<std::mutex> guard(mutex_);
    auto found = files_.find(path);
    if (found == files_.end())
        return false;
    out = found->second;
    return true;
}

bool TestFtpServer::stopped() const
{
    return stopped_ || nowMs() > deadlineMs_;
}

void TestFtpServer::stop()
{
    stopped_ = true;
    if (acceptor_.joinable())
        acceptor_.join();
    std::vector<std::thread> sessions;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        sessions.swap(sessions_);
    }
    for (std::thread& session : sessions)
        session.join();
    if (listener_ >= 0)
        ::close(listener_);
    listener_ = -1;
}

void TestFtpServer::acceptLoop()
{
    while (!stopped()) {
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, pollStepMs) <= 0)
            continue;
        int control = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (control < 0)
            continue;
        std::lock_guard<std::mutex> guard(mutex_);
        sessions_.emplace_back([this, control] {
            serve(control);
            ::close(control);
        });
    }
}

// One control connection: a command a line, each answered at once; RETR answers on a data
// connection that the client opened after EPSV or PASV.
void TestFtpServer::serve(int control)
{
    std::string cwd = "/";
    std::string buffer;
    int passive = -1;
    auto reply = [control](const std::string& line) { return sendAll(control, line + "\r\n"); };
    auto absolute = [&cwd](const std::string& name) {
        if (!name.empty() && name[0] == '/')
            return name;
        return cwd + (cwd.back() == '/' ? "" : "/") + name;
    };
    bool open = reply("220 Quillara test FTP");
    while (open && !stopped()) {
        std::size_t end = buffer.find("\r\n");
        if (end == std::string::npos) {
            pollfd p{control, POLLIN, 0};
            if (::poll(&p, 1, pollStepMs) <= 0)
                continue;
            char chunk[1024];
            ssize_t n = ::recv(control, chunk, sizeof chunk, 0);
            if (n <= 0)
                break;
            buffer.append(chunk, static_cast<std::size_t>(n));
            continue;
        }
        std::string line = buffer.substr(0, end);
        buffer.erase(0, end + 2);
        std::string verb = line.substr(0, line.find(' '));
        std::string argument =
            verb.size() < line.size() ? line.substr(verb.size() + 1) : std::string();
        for (char& c : verb)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        File file;
        if (verb == "USER") {
            open = reply("331 Any password");
        } else if (verb == "PASS") {
            open = reply("230 Logged in");
        } else if (verb == "PWD") {
            open = reply("257 \"" + cwd + "\"");
        } else if (verb == "CWD") {
            cwd = absolute(argument);
            open = reply("250 OK");
        } else if (verb == "TYPE") {
            open = reply("200 OK");
        } else if (verb == "EPSV" || verb == "PASV") {
            if (passive >= 0)
                ::close(passive);
            int port = 0;
            passive = listenLoopback(port);
            if (verb == "EPSV")
                open =
                    reply("229 Entering Extended Passive Mode (|||" + std::to_string(port) + "|)");
            else
                open = reply("227 Entering Passive Mode (127,0,0,1," + std::to_string(port / 256) +
                             "," + std::to_string(port % 256) + ")");
        } else if (verb == "SIZE") {
            open = findFile(absolute(argument), file)
                       ? reply("213 " + std::to_string(file.body.size()))
                       : reply("550 No such file");
        } else if (verb == "MDTM") {
            open = findFile(absolute(argument), file) ? reply("213 20260102030405")
                                                      : reply("550 No such file");
        } else if (verb == "RETR") {
            std::string path = absolute(argument);
            {
                std::lock_guard<std::mutex> guard(mutex_);
                retrieved_.push_back(path);
            }
            if (!findFile(path, file) || passive < 0) {
                open = reply("550 No such file");
                continue;
            }
            pollfd p{passive, POLLIN, 0};
            int data = -1;
            for (std::int64_t until = nowMs() + 5000; data < 0 && nowMs() < until && !stopped();)
                if (::poll(&p, 1, pollStepMs) > 0)
                    data = ::accept4(passive, nullptr, nullptr, SOCK_CLOEXEC);
            ::close(passive);
            passive = -1;
            if (data < 0) {
                open = reply("425 No data connection");
                continue;
            }
            open = reply("150 Opening BINARY mode data connection");
            while (file.hang && !stopped())
                std::this_thread::sleep_for(std::chrono::milliseconds(pollStepMs));
            bool sent = sendAll(data, file.body);
            ::close(data);
            open = open && reply(sent ? "226 Transfer complete" : "426 Transfer aborted");
        } else if (verb == "QUIT") {
            reply("221 Bye");
            open = false;
        } else {
            open = reply("502 Not implemented");
        }
    }
    if (passive >= 0)
        ::close(passive);
}

} // namespace testsupport
