#include "Common/kivaTime.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <string_view>

namespace {

constexpr std::array<std::string_view, 7> dayNames = {"Sun", "Mon", "Tue", "Wed",
                                                      "Thu", "Fri", "Sat"};
constexpr std::array<std::string_view, 7> longDayNames = {
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
constexpr std::array<std::string_view, 12> monthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static constexpr std::array<int, 12> days = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// The day of the week, computed rather than trusted from the text.
int dayOfWeek(int year, int month, int day)
{
    std::chrono::sys_days date = std::chrono::year_month_day{
        std::chrono::year(year), std::chrono::month(month), std::chrono::day(day)};
    return static_cast<int>(std::chrono::weekday(date).c_encoding());
}

// A small cursor over the date text; every read checks the end first.
class DateScanner {
public:
    explicit DateScanner(std::string_view text) : text_(text) {}

    void skipSpaces()
    {
        while (pos_ < text_.size() && text_[pos_] == ' ')
            ++pos_;
    }

    bool literal(char c)
    {
        if (pos_ >= text_.size() || text_[pos_] != c)
            return false;
        ++pos_;
        return true;
    }

    // 1 to maxDigits decimal digits.
    bool number(int maxDigits, int& value, int* digits = nullptr)
    {
        int count = 0;
        value = 0;
        while (pos_ < text_.size() && count < maxDigits && text_[pos_] >= '0' &&
               text_[pos_] <= '9') {
            value = value * 10 + (text_[pos_] - '0');
            ++pos_;
            ++count;
        }
        if (digits)
            *digits = count;
        return count > 0;
    }

    bool word(std::string_view expected)
    {
        if (text_.size() - pos_ < expected.size())
            return false;
        for (size_t i = 0; i < expected.size(); ++i) {
            char c = text_[pos_ + i];
            char e = expected[i];
            if ((c | 0x20) != (e | 0x20))
                return false;
        }
        pos_ += expected.size();
        return true;
    }

    bool month(int& value)
    {
        for (size_t i = 0; i < monthNames.size(); ++i) {
            if (word(monthNames[i])) {
                value = static_cast<int>(i) + 1;
                return true;
            }
        }
        return false;
    }

    // A day name, long form first so that "Sunday" is not taken as "Sun" + "day".
    bool dayName(bool& isLong)
    {
        for (std::string_view name : longDayNames)
            if (word(name))
                return isLong = true;
        isLong = false;
        for (std::string_view name : dayNames)
            if (word(name))
                return true;
        return false;
    }

    bool time(int& hour, int& minute, int& second)
    {
        return number(2, hour) && literal(':') && number(2, minute) && literal(':') &&
               number(2, second);
    }

    bool gmt()
    {
        skipSpaces();
        return word("GMT") || word("UTC") || word("+0000");
    }

    bool atEnd()
    {
        skipSpaces();
        return pos_ == text_.size();
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

// Two-digit years (RFC 850, old RFC 822 dates): 70-99 are 19xx, the rest 20xx.
int fullYear(int year, int digits)
{
    if (digits != 2)
        return year;
    return year + (year < 70 ? 2000 : 1900);
}

struct DateFields {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// "Sun, 06 Nov 1994 08:49:37 GMT"
bool parseRfc1123(DateScanner s, DateFields& f)
{
    s.skipSpaces();
    bool isLong = false;
    if (!s.dayName(isLong) || !s.literal(','))
        return false;
    s.skipSpaces();
    if (!s.number(2, f.day))
        return false;
    s.skipSpaces();
    if (!s.month(f.month))
        return false;
    s.skipSpaces();
    int digits = 0;
    if (!s.number(4, f.year, &digits))
        return false;
    f.year = fullYear(f.year, digits);
    s.skipSpaces();
    return s.time(f.hour, f.minute, f.second) && s.gmt() && s.atEnd();
}

// "Sunday, 06-Nov-94 08:49:37 GMT"
bool parseRfc850(DateScanner s, DateFields& f)
{
    s.skipSpaces();
    bool isLong = false;
    if (!s.dayName(isLong) || !s.literal(','))
        return false;
    s.skipSpaces();
    int digits = 0;
    if (!s.number(2, f.day) || !s.literal('-') || !s.month(f.month) || !s.literal('-') ||
        !s.number(4, f.year, &digits))
        return false;
    f.year = fullYear(f.year, digits);
    s.skipSpaces();
    return s.time(f.hour, f.minute, f.second) && s.gmt() && s.atEnd();
}

// "Sun Nov  6 08:49:37 1994"
bool parseAsctime(DateScanner s, DateFields& f)
{
    s.skipSpaces();
    bool isLong = false;
    if (!s.dayName(isLong) || isLong)
        return false;
    s.skipSpaces();
    if (!s.month(f.month))
        return false;
    s.skipSpaces();
    if (!s.number(2, f.day))
        return false;
    s.skipSpaces();
    if (!s.time(f.hour, f.minute, f.second))
        return false;
    s.skipSpaces();
    return s.number(4, f.year) && s.atEnd();
}

bool fieldsValid(int year, int month, int day, int hour, int minute, int second)
{
    if (year < 1601 || year > 30827 || month < 1 || month > 12)
        return false;
    if (day < 1 || day > daysInMonth(year, month))
        return false;
    // A leap second is taken as the last second of its minute.
    return hour <= 23 && minute <= 59 && second <= 60;
}

} // namespace

kivaTime kivaTime::now()
{
    using namespace std::chrono;
    auto current = system_clock::now();
    kivaTime t;
    t.fromCalendarSeconds(system_clock::to_time_t(current));
    t.wMilliseconds = static_cast<uint16_t>(
        duration_cast<milliseconds>(current.time_since_epoch()).count() % 1000);
    return t;
}

bool kivaTime::isValid() const
{
    return fieldsValid(wYear, wMonth, wDay, wHour, wMinute, wSecond) && wMilliseconds <= 999;
}

bool kivaTime::toCalendarSeconds(std::time_t& seconds) const
{
    if (!isValid())
        return false;
    std::tm tm{};
    tm.tm_year = wYear - 1900;
    tm.tm_mon = wMonth - 1;
    tm.tm_mday = wDay;
    tm.tm_hour = wHour;
    tm.tm_min = wMinute;
    tm.tm_sec = wSecond > 59 ? 59 : wSecond;
    // The fields are UTC: timegm, not mktime, or every value would shift by the zone offset.
    seconds = ::timegm(&tm);
    return true;
}

bool kivaTime::fromCalendarSeconds(std::time_t seconds)
{
    std::tm tm{};
    if (::gmtime_r(&seconds, &tm) == nullptr)
        return false;
    if (!fieldsValid(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                     tm.tm_sec))
        return false;
    wYear = static_cast<uint16_t>(tm.tm_year + 1900);
    wMonth = static_cast<uint16_t>(tm.tm_mon + 1);
    wDayOfWeek = static_cast<uint16_t>(tm.tm_wday);
    wDay = static_cast<uint16_t>(tm.tm_mday);
    wHour = static_cast<uint16_t>(tm.tm_hour);
    wMinute = static_cast<uint16_t>(tm.tm_min);
    wSecond = static_cast<uint16_t>(tm.tm_sec);
    wMilliseconds = 0;
    return true;
}

bool kivaTime::toHttpDate(std::string& text) const
{
    if (!isValid())
        return false;
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%s, %02d %s %04d %02d:%02d:%02d GMT",
                  dayNames[dayOfWeek(wYear, wMonth, wDay)].data(), wDay,
                  monthNames[wMonth - 1].data(), wYear, wHour, wMinute,
                  wSecond > 59 ? 59 : wSecond);
    text = buffer;
    return true;
}

bool kivaTime::fromHttpDate(const std::string& text)
{
    DateFields f;
    DateScanner scanner(text);
    if (!parseRfc1123(scanner, f) && !parseRfc850(scanner, f) && !parseAsctime(scanner, f))
        return false;
    if (!fieldsValid(f.year, f.month, f.day, f.hour, f.minute, f.second))
        return false;
    wYear = static_cast<uint16_t>(f.year);
    wMonth = static_cast<uint16_t>(f.month);
    wDay = static_cast<uint16_t>(f.day);
    wDayOfWeek = static_cast<uint16_t>(dayOfWeek(f.year, f.month, f.day));
    wHour = static_cast<uint16_t>(f.hour);
    wMinute = static_cast<uint16_t>(f.minute);
    wSecond = static_cast<uint16_t>(f.second > 59 ? 59 : f.second);
    wMilliseconds = 0;
    return true;
}

std::string kivaTime::toDisplayText() const
{
    std::time_t seconds = 0;
    if (!toCalendarSeconds(seconds))
        return {};
    // localtime_r applies the offset in force on that date (daylight saving included), not
    // today's offset.
    std::tm local{};
    if (::localtime_r(&seconds, &local) == nullptr)
        return {};
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d %d:%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return buffer;
}
