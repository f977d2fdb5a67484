#include "Common/kivaTime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

// Runs the test body in a time zone and puts the old one back.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone)
    {
        if (const char* old = std::getenv("TZ")) {
            hadOld_ = true;
            old_ = old;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneScope()
    {
        if (hadOld_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool hadOld_ = false;
    std::string old_;
};

constexpr const char* zones[] = {"UTC", "Asia/Tokyo", "America/New_York", "Europe/Berlin"};

kivaTime utc(int year, int month, int day, int hour, int minute, int second)
{
    kivaTime t;
    t.wYear = static_cast<uint16_t>(year);
    t.wMonth = static_cast<uint16_t>(month);
    t.wDay = static_cast<uint16_t>(day);
    t.wHour = static_cast<uint16_t>(hour);
    t.wMinute = static_cast<uint16_t>(minute);
    t.wSecond = static_cast<uint16_t>(second);
    return t;
}

// HTTP dates are GMT whatever the local zone; the three formats of RFC 9110 all parse.
TEST(KivaTime, HttpDatesAreGmtInEveryZone)
{
    const char* forms[] = {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
                           "Sun Nov  6 08:49:37 1994", "Mon, 06 Nov 1994 08:49:37 GMT"};
    for (const char* zone : zones) {
        ZoneScope scope(zone);
        for (const char* form : forms) {
            kivaTime t;
            ASSERT_TRUE(t.fromHttpDate(form)) << form;
            EXPECT_EQ(t.wYear, 1994);
            EXPECT_EQ(t.wMonth, 11);
            EXPECT_EQ(t.wDay, 6);
            EXPECT_EQ(t.wHour, 8) << zone << " " << form;
            EXPECT_EQ(t.wDayOfWeek, 0); // computed, not taken from the text
            std::string text;
            ASSERT_TRUE(t.toHttpDate(text));
            EXPECT_EQ(text, "Sun, 06 Nov 1994 08:49:37 GMT");
            std::time_t seconds = 0;
            ASSERT_TRUE(t.toCalendarSeconds(seconds));
            EXPECT_EQ(seconds, 784111777) << zone;
        }
    }
}

TEST(KivaTime, RejectsBadDatesAndKeepsTheValue)
{
    const std::string good = "Sun, 06 Nov 1994 08:49:37 GMT";
    const char* bad[] = {"",
                         "garbage",
                         "Sun, 32 Nov 1994 08:49:37 GMT",
                         "Sun, 06 Foo 1994 08:49:37 GMT",
                         "Wed, 29 Feb 1995 08:49:37 GMT",
                         "Sun, 06 Nov 1994 24:00:00 GMT",
                         "Sun, 06 Nov 1994 08:49:37 PST",
                         "Sun, 06 Nov 1994 08:49:37 GMT trailing"};
    kivaTime before = utc(2001, 2, 3, 4, 5, 6);
    for (const char* text : bad) {
        kivaTime t = before;
        EXPECT_FALSE(t.fromHttpDate(text)) << text;
        EXPECT_EQ(t, before);
    }
    // Every cut of a good date is refused, without reading past the cut.
    for (size_t n = 0; n + 4 < good.size(); ++n) {
        kivaTime t = before;
        EXPECT_FALSE(t.fromHttpDate(good.substr(0, n))) << n;
    }
    EXPECT_TRUE(kivaTime().toDisplayText().empty());
}

// Calendar seconds count from 1970 UTC; the local zone must not shift them.
TEST(KivaTime, CalendarSecondsIgnoreTheLocalZone)
{
    for (const char* zone : zones) {
        ZoneScope scope(zone);
        kivaTime t;
        ASSERT_TRUE(t.fromCalendarSeconds(1720000000)); // 2024-07-03 09:46:40 UTC
        kivaTime expected = utc(2024, 7, 3, 9, 46, 40);
        expected.wDayOfWeek = 3;
        EXPECT_EQ(t, expected) << zone;
        std::time_t back = 0;
        ASSERT_TRUE(t.toCalendarSeconds(back));
        EXPECT_EQ(back, 1720000000) << zone;
    }
}

// The display text is the local time of that date, with the daylight-saving offset in force
// then, not today's.
TEST(KivaTime, DisplayTextUsesTheOffsetOfThatDate)
{
    struct Case {
        const char* zone;
        kivaTime time;
        const char* expected;
    };
    const Case cases[] = {
        {"Asia/Tokyo", utc(2024, 1, 15, 12, 0, 0), "2024/01/15 21:00:00"},
        {"Asia/Tokyo", utc(2024, 3, 31, 23, 30, 5), "2024/04/01 8:30:05"},
        {"America/New_York", utc(2024, 1, 15, 12, 0, 0), "2024/01/15 7:00:00"},
        {"America/New_York", utc(2024, 7, 15, 12, 0, 0), "2024/07/15 8:00:00"},
        {"America/New_York", utc(2024, 7, 1, 2, 0, 0), "2024/06/30 22:00:00"},
        {"Europe/Berlin", utc(2024, 1, 15, 12, 0, 0), "2024/01/15 13:00:00"},
        {"Europe/Berlin", utc(2024, 7, 15, 12, 0, 0), "2024/07/15 14:00:00"},
    };
    for (const Case& c : cases) {
        ZoneScope scope(c.zone);
        EXPECT_EQ(c.time.toDisplayText(), c.expected) << c.zone;
    }
}

} // namespace
