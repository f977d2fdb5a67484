#pragma once

#include "Common/kivaTime.h"

#include <ctime>
#include <functional>

// How snapshots and footprints age: in whole days of 86,400 seconds from their creation
// (UTC, so the local time zone never matters), changing colour after one limit and being
// deleted after the other. The clock is injected so that tests fix "now".
class tviAgeing {
public:
    using Clock = std::function<std::time_t()>;

    tviAgeing();

    void setClock(Clock clock);
    std::time_t now() const;

    // Days below 1 would expire everything at the next save: they are taken as 1 (and logged).
    void setLimitDays(int days);
    int getLimitDays() const { return limitDays_; }
    void setColourDays(int days);
    int getColourDays() const { return colourDays_; }
    // The switches of the settings (CPLimitColor/CPLimitDay, CRLimitColor/CRLimitDay).
    void setColourOn(bool on) { colourOn_ = on; }
    void setDeleteOn(bool on) { deleteOn_ = on; }
    bool isColourOn() const { return colourOn_; }
    bool isDeleteOn() const { return deleteOn_; }

    // True when deletion is on, autoDelete is set and now is later than created + limit
    // days. An unknown creation time (year 0) never expires: nothing is deleted on a guess.
    bool isExpired(const kivaTime& created, bool autoDelete) const;
    // True when colouring is on and now is later than created + colour days.
    bool isColoured(const kivaTime& created) const;
    // created + days, for the property page; year 0 when created is unknown.
    static kivaTime addDays(const kivaTime& created, int days);

private:
    bool olderThan(const kivaTime& created, int days) const;

    Clock clock_;
    int limitDays_ = 35;
    int colourDays_ = 25;
    bool colourOn_ = true;
    bool deleteOn_ = true;
};
