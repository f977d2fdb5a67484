#pragma once

// Where a request stands. Cabinets and footprint files keep the number of failed (5) or 0.
enum class clsRequestStatus : int {
    registered = 0,
    headRequested = 1,
    headRead = 2,
    reading = 3,
    complete = 4, // loaded
    failed = 5,
    // Ended without a transfer: nothing fetches the address's scheme (mailto:, news:,
    // javascript:), so it is neither loaded nor failed.
    unchecked = 6,
};

// The number a cabinet or footprint file keeps for a status: 5 for failed, else 0.
constexpr int storedStatus(clsRequestStatus status)
{
    return status == clsRequestStatus::failed ? static_cast<int>(clsRequestStatus::failed) : 0;
}

// The status a kept number stands for; any number but 5 reads as not yet read.
constexpr clsRequestStatus statusFromStored(int number)
{
    return number == static_cast<int>(clsRequestStatus::failed) ? clsRequestStatus::failed
                                                                : clsRequestStatus::registered;
}
