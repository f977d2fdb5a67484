#pragma once

#include <cstddef>
#include <string>

// A one-line progress bar on stderr, drawn only when stderr is a terminal.
class CliProgress {
public:
    explicit CliProgress(std::size_t total);
    ~CliProgress();
    void update(std::size_t done, const std::string& label = {});
    void finish();

private:
    std::size_t total_;
    bool active_;
    bool drawn_ = false;
};
