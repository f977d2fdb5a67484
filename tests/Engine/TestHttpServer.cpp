#include "TestHttpServer.h"

#include "Platform/Tick.h"

#include <httplib.h>

#include <chrono>
#include <ctime>
#include <stdexcept>

#if defined(__SANITIZE_THREAD__)
// The server library comes prebuilt, without ThreadSanitizer's instrumentation, so the
// hand-overs between its own threads look like races; they are not the program's.
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libcpp-httplib.so\nrace:libcpp-httplib.so\n";
}
#endif

namespace testsupport {

namespace {

constexpr int threadCount = 24;

std::string pageBody()
{
    return "<html><head><title>Test page</title></head><body>"
           "<a href=\"/text\">text</a> <a href=\"/binary\">binary</a></body></html>";
}

std::string textOfSize(std::size_t size)
{
    std::string body(size, 'a');
    for (std::size_t i = 0; i < size; ++i)
        body[i] = static_cast<char>('a' + i % 26);
    return body;
}

std::size_t numberParam(const httplib::Request& req, const char* name, std::size_t fallback)
{
    if (!req.has_param(name))
        return fallback;
    return static_cast<std::size_t>(std::stoul(req.get_param_value(name)));
}

} // namespace

TestHttpServer::TestHttpServer(int lifetimeSeconds)
    : server_(std::make_unique<httplib::Server>()), lifetimeSeconds_(lifetimeSeconds)
{
    server_->new_task_queue = [] { return new httplib::ThreadPool(threadCount); };
    server_->set_keep_alive_max_count(100000);
    server_->set_keep_alive_timeout(1);
    server_->set_tcp_nodelay(true);
    addRoutes();
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0)
        throw std::runtime_error("TestHttpServer: cannot bind 127.0.0.1");
    listener_ = std::thread([this] { server_->listen_after_bind(); });
    watchdog_ = std::thread([this] {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(lifetimeSeconds_);
        while (!stopped_ && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        stopped_ = true;
        server_->stop();
    });
}

TestHttpServer::~TestHttpServer()
{
    stop();
}

void TestHttpServer::stop()
{
    stopped_ = true;
    if (watchdog_.joinable())
        watchdog_.join();
    if (listener_.joinable())
        listener_.join();
}

std::string TestHttpServer::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<TestHttpServer::Arrival> TestHttpServer::arrivals() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return arrivals_;
}

std::size_t TestHttpServer::arrivalCount(const std::string& path) const
{
    std::lock_guard<std::mutex> guard(mutex_);
    std::size_t count = 0;
    for (const Arrival& arrival : arrivals_)
        count += arrival.path == path ? 1 : 0;
    return count;
}

void TestHttpServer::clearArrivals()
{
    std::lock_guard<std::mutex> guard(mutex_);
    arrivals_.clear();
}

void TestHttpServer::setFile(const std::string& path, const std::string& type,
                             const std::string& body, int status)
{
    std::lock_guard<std::mutex> guard(mutex_);
    files_[path] = File{type, body, status};
}

void TestHttpServer::record(const std::string& path, const std::string& target,
                            const std::string& agent, const std::string& host,
                            const std::string& ifNoneMatch, const std::string& ifModifiedSince)
{
    std::lock_guard<std::mutex> guard(mutex_);
    arrivals_.push_back(
        Arrival{path, target, agent, host, platform::tickCount(), ifNoneMatch, ifModifiedSince});
}

int TestHttpServer::countKey(const std::string& route, const std::string& key)
{
    std::lock_guard<std::mutex> guard(mutex_);
    return keyCounts_[route + "?" + key]++;
}

bool TestHttpServer::sleepUnlessStopped(int ms) const
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        if (stopped_)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return !stopped_;
}

void TestHttpServer::addRoutes()
{
    httplib::Server& s = *server_;
    s.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
        record(req.path, req.target, req.get_header_value("User-Agent"),
               req.get_header_value("Host"), req.get_header_value("If-None-Match"),
               req.get_header_value("If-Modified-Since"));
        return httplib::Server::HandlerResponse::Unhandled;
    });
    s.Get(R"(/site/(.*))", [this](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard<std::mutex> guard(mutex_);
        auto found = files_.find(req.matches[1].str());
        if (found == files_.end()) {
            res.status = 404;
            res.set_content("<html><body>not here</body></html>", "text/html");
            return;
        }
        res.status = found->second.status;
        res.set_content(found->second.body, found->second.type);
    });
    s.Get("/page", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(pageBody(), "text/html");
    });
    s.Get("/text", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(textOfSize(numberParam(req, "size", 1000)), "text/plain");
    });
    // The server library labels any response with a body, so the page without a type is empty.
    s.Get("/notype", [](const httplib::Request&, httplib::Response& res) { res.status = 200; });
    s.Get("/binary", [](const httplib::Request&, httplib::Response& res) {
        std::string body(4096, '\0');
        for (std::size_t i = 0; i < body.size(); ++i)
            body[i] = static_cast<char>(i * 7);
        res.set_content(body, "application/octet-stream");
    });
    s.Get("/big", [](const httplib::Request& req, httplib::Response& res) {
        std::size_t size = numberParam(req, "mb", 20) << 20;
        res.set_content_provider(
            size, "text/plain",
            [](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                static const std::string chunk = textOfSize(64 * 1024);
                std::size_t from = offset % chunk.size();
                sink.write(chunk.data() + from, std::min(length, chunk.size() - from));
                return true;
            });
    });
    s.Get("/redirect", [this](const httplib::Request& req, httplib::Response& res) {
        std::size_t n = numberParam(req, "n", 1);
        if (n == 0) {
            res.set_content(pageBody(), "text/html");
            return;
        }
        res.set_redirect(url("/redirect?n=" + std::to_string(n - 1)), 302);
    });
    s.Get("/relative/start", [](const httplib::Request&, httplib::Response& res) {
        res.status = 301;
        res.set_header("Location", "target");
    });
    s.Get("/relative/target", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(pageBody(), "text/html");
    });
    s.Get("/loop/a", [](const httplib::Request&, httplib::Response& res) {
        res.set_redirect("/loop/b", 302);
    });
    s.Get("/loop/b", [](const httplib::Request&, httplib::Response& res) {
        res.set_redirect("/loop/a", 302);
    });
    s.Get("/self",
          [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/self", 301); });
    s.Get(R"(/status/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
        res.status = std::stoi(req.matches[1]);
        if (req.has_param("after"))
            res.set_header("Retry-After", req.get_param_value("after"));
        res.set_content("<html><body>status</body></html>", "text/html");
    });
    s.Get("/flaky", [this](const httplib::Request& req, httplib::Response& res) {
        if (countKey("flaky", req.get_param_value("key")) == 0) {
            res.status = 500;
            res.set_content("<html><body>try again</body></html>", "text/html");
            return;
        }
        res.set_content(pageBody(), "text/html");
    });
    s.Get("/slow-once", [this](const httplib::Request& req, httplib::Response& res) {
        if (countKey("slow-once", req.get_param_value("key")) == 0 &&
            !sleepUnlessStopped(static_cast<int>(numberParam(req, "ms", 3000))))
            return;
        res.set_content(pageBody(), "text/html");
    });
    s.Get("/retry-after", [this](const httplib::Request& req, httplib::Response& res) {
        if (countKey("retry-after", req.get_param_value("key")) != 0) {
            res.set_content(pageBody(), "text/html");
            return;
        }
        std::string after = req.get_param_value("after");
        if (after.starts_with("date+")) {
            std::time_t when = std::time(nullptr) + std::stol(after.substr(5));
            std::tm utc{};
            gmtime_r(&when, &utc);
            char text[64];
            std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
            after = text;
        }
        res.status = req.has_param("code") ? std::stoi(req.get_param_value("code")) : 503;
        res.set_header("Retry-After", after);
        res.set_content("<html><body>later</body></html>", "text/html");
    });
    s.Get("/etag", [](const httplib::Request& req, httplib::Response& res) {
        const std::string etag = "\"v1-" + req.get_param_value("key") + "\"";
        const std::string modified = "Tue, 01 Dec 2026 10:00:00 GMT";
        res.set_header("ETag", etag);
        res.set_header("Last-Modified", modified);
        bool same = req.has_header("If-None-Match")
                        ? req.get_header_value("If-None-Match") == etag
                        : req.get_header_value("If-Modified-Since") == modified;
        if (same) {
            res.status = 304;
            return;
        }
        std::string body =
            "<html><head><title>Cached page</title></head><body>"
            "<a href=\"/text\">text</a> <a href=\"/page\">page</a> <img src=\"/binary\">";
        std::size_t size = numberParam(req, "size", 0);
        if (body.size() < size)
            body += textOfSize(size - body.size());
        res.set_content(body + "</body></html>", "text/html");
    });
    // A redirect to any address, one that a request could not name itself included.
    s.Get("/redirect-to", [](const httplib::Request& req, httplib::Response& res) {
        res.set_redirect(req.get_param_value("to"), 302);
    });
    s.Get("/moved", [this](const httplib::Request& req, httplib::Response& res) {
        std::size_t n = numberParam(req, "n", 1);
        int code = static_cast<int>(numberParam(req, "code", 301));
        if (n == 0) {
            res.set_content(pageBody(), "text/html");
            return;
        }
        res.set_redirect(url("/moved?n=" + std::to_string(n - 1) + "&code=" + std::to_string(code)),
                         code);
    });
    s.Get("/hang", [this](const httplib::Request&, httplib::Response& res) {
        while (sleepUnlessStopped(50)) {
        }
        res.status = 503;
    });
    s.Get("/drip", [this](const httplib::Request& req, httplib::Response& res) {
        std::size_t count = numberParam(req, "n", 5);
        int ms = static_cast<int>(numberParam(req, "ms", 1000));
        res.set_content_provider(count, "text/plain",
                                 [this, ms](std::size_t, std::size_t, httplib::DataSink& sink) {
                                     if (!sleepUnlessStopped(ms))
                                         return false;
                                     sink.write("d", 1);
                                     return true;
                                 });
    });
    s.Get("/reset", [](const httplib::Request& req, httplib::Response& res) {
        std::string head;
        if (req.has_param("title")) {
            std::string title = req.get_param_value("title");
            head = "<html><head><title>" + title + "</title><meta name=\"keywords\" content=\"" +
                   title + "\"></head>";
        }
        res.set_content_provider(100000, "text/html",
                                 [head](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                     if (offset >= 4096)
                                         return false;
                                     std::string part = head + std::string(4096 - head.size(), 'r');
                                     sink.write(part.data(), part.size());
                                     return true;
                                 });
    });
    s.Get("/echo", [](const httplib::Request& req, httplib::Response& res) {
        std::string text = req.method + " " + req.target + " " + req.version + "\r\n";
        for (const auto& [name, value] : req.headers)
            text += name + ": " + value + "\r\n";
        res.set_content(text, "text/plain");
    });
}

} // namespace testsupport
