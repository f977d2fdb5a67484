#include "Platform/Tick.h"

#include <chrono>

namespace platform {

std::uint64_t tickCount()
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace platform
