#pragma once

#include <cstdint>
#include <ctime>
#include <string>

// A date and time in UTC, field by field like a Windows SYSTEMTIME. Snapshots, footprints and
// HTTP dates all carry UTC; only the display text is in local time.
class kivaTime {
public:
    uint16_t wYear = 0;
    uint16_t wMonth = 0;     // 1-12
    uint16_t wDayOfWeek = 0; // 0 = Sunday
    uint16_t wDay = 0;
    uint16_t wHour = 0;
    uint16_t wMinute = 0;
    uint16_t wSecond = 0;
    uint16_t wMilliseconds = 0;

    // The current time.
    static kivaTime now();

    // Seconds since 1970-01-01 00:00 UTC; false for fields that name no date.
    bool toCalendarSeconds(std::time_t& seconds) const;
    bool fromCalendarSeconds(std::time_t seconds);

    // "Sun, 06 Nov 1994 08:49:37 GMT" (RFC 1123).
    bool toHttpDate(std::string& text) const;
    // Takes RFC 1123, RFC 850 ("Sunday, 06-Nov-94 08:49:37 GMT") and asctime
    // ("Sun Nov  6 08:49:37 1994") dates; false, leaving the value as it was, for anything else.
    bool fromHttpDate(const std::string& text);

    // The local time of this moment as "2024/07/01 9:30:05"; empty for no date.
    std::string toDisplayText() const;

    bool isValid() const;
    bool operator==(const kivaTime&) const = default;
};
