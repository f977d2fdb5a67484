#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

// Spaces the sending of HTTP requests: one per interval in the whole program, or, per host,
// one per interval to each host. Shared by the four transports of an engine.
class clsSendPacer {
public:
    clsSendPacer(int intervalMs, bool perHost);

    // Waits for the caller's turn to send to host. Returns false, without a turn, as soon as
    // cancelled is set.
    bool waitTurn(const std::string& host, const std::atomic<bool>& cancelled);

private:
    std::uint64_t reserve(const std::string& host);

    int intervalMs;
    bool perHost;
    std::mutex lock;
    bool anySent = false;
    std::uint64_t lastSendTick = 0;
    std::map<std::string, std::uint64_t> lastSendByHost;
};
