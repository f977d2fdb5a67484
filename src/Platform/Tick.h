#pragma once

#include <cstdint>

namespace platform {

// Milliseconds of a monotonic clock; only differences mean anything.
std::uint64_t tickCount();

} // namespace platform
