#include "MultiHostServer.h"

#include "Platform/Tick.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Idle keep-alive connections are closed after this long (nginx's default): a client that
// reuses a connection as it is closed sees a reset, which must not happen within a run.
constexpr std::uint64_t idleCloseMs = 75000;
constexpr std::size_t requestLimit = 64 * 1024;

std::string hostAddress(int host)
{
    return "127.0.0." + std::to_string(host);
}

int listenOn(int host, int port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, hostAddress(host).c_str(), &address.sin_addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 256) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int boundPort(int fd)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

std::string headerValue(const std::string& head, const char* name)
{
    std::size_t length = std::strlen(name);
    for (std::size_t at = head.find("\r\n"); at != std::string::npos;
         at = head.find("\r\n", at + 2)) {
        std::size_t begin = at + 2;
        if (head.size() - begin < length || strncasecmp(head.c_str() + begin, name, length) != 0)
            continue;
        std::size_t end = head.find("\r\n", begin);
        std::size_t value = head.find_first_not_of(' ', begin + length);
        return head.substr(value, end == std::string::npos ? std::string::npos : end - value);
    }
    return {};
}

} // namespace

MultiHostServer::MultiHostServer(int hosts, int lifetimeSeconds) : lifetimeSeconds_(lifetimeSeconds)
{
    // Clients keep a connection per host and thread: thousands of descriptors.
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
    // The first listener picks a free port; the others take the same one on their address.
    for (int attempt = 0; attempt < 5 && port_ == 0; ++attempt)
        if (!bindAll(hosts))
            port_ = 0;
    if (port_ > 0)
        thread_ = std::thread(&MultiHostServer::run, this);
}

MultiHostServer::~MultiHostServer()
{
    stopped_ = true;
    if (thread_.joinable())
        thread_.join();
    for (int fd : listeners_)
        ::close(fd);
    for (Connection& connection : connections_)
        ::close(connection.fd);
}

bool MultiHostServer::bindAll(int hosts)
{
    for (int fd : listeners_)
        ::close(fd);
    listeners_.clear();
    int first = listenOn(1, 0);
    if (first < 0)
        return false;
    listeners_.push_back(first);
    port_ = boundPort(first);
    for (int host = 2; host <= hosts; ++host) {
        int fd = listenOn(host, port_);
        if (fd < 0)
            return false;
        listeners_.push_back(fd);
    }
    return port_ > 0;
}

std::string MultiHostServer::url(int host, const std::string& path) const
{
    return "http://" + hostAddress(host) + ":" + std::to_string(port_) + path;
}

void MultiHostServer::setPage(const std::string& path, const std::string& body)
{
    std::lock_guard<std::mutex> guard(mutex_);
    pages_[path] = body;
}

void MultiHostServer::setSilentHosts(const std::set<int>& hosts)
{
    std::lock_guard<std::mutex> guard(mutex_);
    silentHosts_ = hosts;
}

void MultiHostServer::setSlowMs(int ms)
{
    std::lock_guard<std::mutex> guard(mutex_);
    slowMs_ = static_cast<std::uint64_t>(ms);
}

std::vector<MultiHostServer::Arrival> MultiHostServer::takeArrivals()
{
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<Arrival> taken;
    taken.swap(arrivals_);
    return taken;
}

void MultiHostServer::run()
{
    std::uint64_t until =
        platform::tickCount() + static_cast<std::uint64_t>(lifetimeSeconds_) * 1000;
    std::vector<pollfd> fds;
    while (!stopped_ && platform::tickCount() < until) {
        fds.clear();
        for (int fd : listeners_)
            fds.push_back(pollfd{fd, POLLIN, 0});
        for (const Connection& connection : connections_)
            fds.push_back(pollfd{
                connection.fd,
                static_cast<short>(
                    connection.out.empty() || connection.sendAt > platform::tickCount() ? POLLIN
                                                                                        : POLLOUT),
                0});
        if (::poll(fds.data(), fds.size(), 50) < 0 && errno != EINTR)
            break;
        for (std::size_t i = 0; i < listeners_.size(); ++i)
            if (fds[i].revents & POLLIN)
                acceptFrom(listeners_[i]);
        std::uint64_t now = platform::tickCount();
        std::vector<Connection> kept;
        for (std::size_t i = 0; i < connections_.size(); ++i) {
            Connection& connection = connections_[i];
            std::size_t slot = listeners_.size() + i;
            short events = slot < fds.size() ? fds[slot].revents : 0;
            bool alive = true;
            if (events & (POLLIN | POLLHUP | POLLERR))
                alive = readFrom(connection);
            if (alive && !connection.out.empty() && connection.sendAt <= now)
                alive = writeTo(connection);
            if (alive && !connection.silent && connection.out.empty() &&
                now - connection.lastActivity > idleCloseMs)
                alive = false;
            if (alive)
                kept.push_back(std::move(connection));
            else
                ::close(connection.fd);
        }
        connections_ = std::move(kept);
    }
}

void MultiHostServer::acceptFrom(int listener)
{
    for (;;) {
        sockaddr_in local{};
        int fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        socklen_t length = sizeof local;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
        Connection connection;
        connection.fd = fd;
        connection.host = static_cast<int>(ntohl(local.sin_addr.s_addr) & 0xFF);
        connection.lastActivity = platform::tickCount();
        connections_.push_back(std::move(connection));
    }
}

bool MultiHostServer::readFrom(Connection& connection)
{
    char buffer[8192];
    for (;;) {
        ssize_t got = ::recv(connection.fd, buffer, sizeof buffer, 0);
        if (got == 0)
            return false;
        if (got < 0)
            break;
        connection.in.append(buffer, static_cast<std::size_t>(got));
        connection.lastActivity = platform::tickCount();
    }
    if (errno != EAGAIN && errno != EWOULDBLOCK)
        return false;
    if (connection.in.size() > requestLimit)
        return false;
    answer(connection);
    return true;
}

// Answers every complete request in the buffer (pipelined ones too); bodies are not expected.
void MultiHostServer::answer(Connection& connection)
{
    for (std::size_t end = connection.in.find("\r\n\r\n"); end != std::string::npos;
         end = connection.in.find("\r\n\r\n")) {
        std::string head = connection.in.substr(0, end + 2);
        connection.in.erase(0, end + 4);
        std::size_t space = head.find(' ');
        std::size_t space2 = head.find(' ', space + 1);
        if (space == std::string::npos || space2 == std::string::npos) {
            connection.closeAfterWrite = true;
            return;
        }
        Arrival arrival{connection.host, head.substr(0, space),
                        head.substr(space + 1, space2 - space - 1), platform::tickCount()};
        bool http10 = head.compare(space2 + 1, 8, "HTTP/1.0") == 0;
        std::string wants = headerValue(head, "Connection:");
        if (strcasecmp(wants.c_str(), "close") == 0 ||
            (http10 && strcasecmp(wants.c_str(), "keep-alive") != 0))
            connection.closeAfterWrite = true;
        bool dead = arrival.path.starts_with("/dead/") || arrival.path == "/robots.txt";
        std::string body =
            dead ? "<html><head><title>Not Found</title></head><body>gone</body></html>"
                 : "<html><head><title>Page " + arrival.path +
                       "</title></head><body>ok</body></html>";
        std::string status = dead ? "HTTP/1.1 404 Not Found\r\n" : "HTTP/1.1 200 OK\r\n";
        bool silent = false;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            auto page = pages_.find(arrival.path);
            if (page != pages_.end())
                body = page->second;
            silent = silentHosts_.count(connection.host) != 0;
            if (arrival.path.starts_with("/slow/"))
                connection.sendAt = platform::tickCount() + slowMs_;
        }
        if (silent) {
            connection.silent = true;
            std::lock_guard<std::mutex> guard(mutex_);
            arrivals_.push_back(std::move(arrival));
            continue;
        }
        if (arrival.path.starts_with("/redirect/")) {
            status = "HTTP/1.1 301 Moved Permanently\r\nLocation: " +
                     url(connection.host, "/page/" + arrival.path.substr(10)) + "\r\n";
            body = "<html><body>moved</body></html>";
        }
        connection.out +=
            status + "Content-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
            "\r\n" + (connection.closeAfterWrite ? "Connection: close\r\n" : "") + "\r\n";
        if (arrival.method != "HEAD")
            connection.out += body;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            arrivals_.push_back(std::move(arrival));
        }
        if (connection.closeAfterWrite)
            return;
    }
}

bool MultiHostServer::writeTo(Connection& connection)
{
    while (!connection.out.empty()) {
        ssize_t sent =
            ::send(connection.fd, connection.out.data(), connection.out.size(), MSG_NOSIGNAL);
        if (sent < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK;
        connection.out.erase(0, static_cast<std::size_t>(sent));
        connection.lastActivity = platform::tickCount();
    }
    return !connection.closeAfterWrite;
}
