#include "TreeViewItem/Snapshot/tviAgeing.h"

#include "Common/utlLog.h"
#include "Common/utlTexts.h"

namespace {

constexpr std::time_t secondsPerDay = 86400;

// Logged under the setter calling this.
int atLeastOneDay(int days, std::source_location caller = std::source_location::current())
{
    if (days >= 1)
        return days;
    logError(std::to_string(days) + utlTexts::sjis(utlText::daysBelowOne), caller);
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
    limitDays_ = atLeastOneDay(days);
}

void tviAgeing::setColourDays(int days)
{
    colourDays_ = atLeastOneDay(days);
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
