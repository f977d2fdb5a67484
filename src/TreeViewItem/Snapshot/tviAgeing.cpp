#include "TreeViewItem/Snapshot/tviAgeing.h"

#include "Common/utlLog.h"

namespace {

constexpr std::time_t secondsPerDay = 86400;

int atLeastOneDay(int days, const char* method)
{
    if (days >= 1)
        return days;
    // 日数が1未満のため1日とします
    logError(method, std::to_string(days) +
                         " \x93\xFA\x90\x94\x82\xAA" "1\x96\xA2\x96\x9E\x82\xCC\x82\xBD\x82\xDF" "1\x93\xFA\x82\xC6\x82\xB5\x82\xDC\x82\xB7");
    return 1;
}

} // namespace

tviAgeing::tviAgeing() : clock_([] { return std::time(nullptr); }) {}

void tviAgeing::setClock(Clock clock)
{
    clock_ = clock ? std::move(clock) : Clock([] { return std::time(nullptr); });
}

std::time_t tviAgeing::now() const
{
    return clock_();
}

void tviAgeing::setLimitDays(int days)
{
    limitDays_ = atLeastOneDay(days, "tviAgeing::setLimitDays");
}

void tviAgeing::setColourDays(int days)
{
    colourDays_ = atLeastOneDay(days, "tviAgeing::setColourDays");
}

bool tviAgeing::olderThan(const kivaTime& created, int days) const
{
    std::time_t seconds = 0;
    if (created.wYear == 0 || !created.toCalendarSeconds(seconds))
        return false;
    return now() > seconds + static_cast<std::time_t>(days) * secondsPerDay;
}

bool tviAgeing::isExpired(const kivaTime& created, bool autoDelete) const
{
    return deleteOn_ && autoDelete && olderThan(created, limitDays_);
}

bool tviAgeing::isColoured(const kivaTime& created) const
{
    return colourOn_ && olderThan(created, colourDays_);
}

kivaTime tviAgeing::addDays(const kivaTime& created, int days)
{
    std::time_t seconds = 0;
    kivaTime out;
    if (created.wYear == 0 || !created.toCalendarSeconds(seconds))
        return out;
    out.fromCalendarSeconds(seconds + static_cast<std::time_t>(days) * secondsPerDay);
    return out;
}
