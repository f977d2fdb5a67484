#include "GuiTestServer.h"

#include <httplib.h>

#include <chrono>
#include <stdexcept>

GuiTestServer::GuiTestServer(int lifetimeSeconds) : server_(std::make_unique<httplib::Server>())
{
    server_->Get(
        R"(/(page|slow)/(\d+))", [this](const httplib::Request& req, httplib::Response& res) {
            ++requests_;
            if (req.matches[1] == "slow")
                std::this_thread::sleep_for(std::chrono::milliseconds(600));
            std::string n = req.matches[2];
            // Shift_JIS: 日本語のページ
            std::string body =
                "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
                "charset=Shift_JIS\">"
                "<title>Page " +
                n +
                "</title><link rel=\"stylesheet\" href=\"/style.css\"></head><body>"
                "<p>\x93\xFA\x96{\x8C\xEA\x82\xCC\x83y\x81[\x83W " +
                n +
                "</p>"
                "<img src=\"/img/Logo.png\" alt=\"logo\"><img src=\"/IMG/logo.PNG\" alt=\"again\">"
                "<img src=\"/img/photo.jpg\" alt=\"photo\"><a href=\"/page/" +
                n +
                "0\">next</a>"
                "</body></html>";
            res.set_content(body, "text/html; charset=Shift_JIS");
        });
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0)
        throw std::runtime_error("GuiTestServer: cannot bind 127.0.0.1");
    listener_ = std::thread([this] { server_->listen_after_bind(); });
    watchdog_ = std::thread([this, lifetimeSeconds] {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(lifetimeSeconds);
        while (!stopped_ && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        server_->stop();
    });
}

GuiTestServer::~GuiTestServer()
{
    stopped_ = true;
    watchdog_.join();
    listener_.join();
}

std::string GuiTestServer::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}
