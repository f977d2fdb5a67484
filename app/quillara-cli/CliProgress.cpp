#include "CliProgress.h"

#include <cstdio>
#include <unistd.h>

CliProgress::CliProgress(std::size_t total) : total_(total), active_(::isatty(STDERR_FILENO) != 0)
{
}

CliProgress::~CliProgress()
{
    finish();
}

void CliProgress::update(std::size_t done, const std::string& label)
{
    if (!active_ || total_ == 0)
        return;
    constexpr int kWidth = 30;
    int filled = static_cast<int>(done * kWidth / total_);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(kWidth, '.');
    std::string shown = label.size() > 40 ? label.substr(0, 37) + "..." : label;
    std::fprintf(stderr, "\r[%s] %zu/%zu %-40s", bar.c_str(), done, total_, shown.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void CliProgress::finish()
{
    if (!drawn_)
        return;
    std::fprintf(stderr, "\r%*s\r", 90, "");
    std::fflush(stderr);
    drawn_ = false;
}
