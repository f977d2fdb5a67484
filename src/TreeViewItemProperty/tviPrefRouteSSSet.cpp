#include "TreeViewItemProperty/tviPrefRouteSSSet.h"

#include "Common/kivaTime.h"
#include "Common/utlTexts.h"
#include "QtBridge/guiText.h"
#include "TreeViewItem/Footprint/tviRSSItemSet.h"
#include "TreeViewItem/Footprint/tviRouteSnapshot.h"

tviPrefRouteSSSet::tviPrefRouteSSSet(QWidget* parent)
    : tviPrefPage(gui::fromQt(tr("フットプリントセット")),
                  utlTexts::sjis(utlText::helpFootprintProperties), parent)
{
}

tviPrefRouteSSSet::~tviPrefRouteSSSet() = default;

void tviPrefRouteSSSet::initvalue(const tviTreeViewItem& item)
{
    const auto& set = static_cast<const tviRSSItemSet&>(item);
    editable_ = !item.isReadOnly();
    addNameNoteMark(item, editable_, 1024);
    addAutoDelete(set.getAutoDelete(), editable_);
    const tviRouteSnapshot* route = tviRouteSnapshot::of(&item);
    kivaTime created;
    if (route == nullptr || set.getCreated() <= 0 || !created.fromCalendarSeconds(set.getCreated()))
        return;
    auto after = [&set](int days) {
        kivaTime date;
        date.fromCalendarSeconds(set.getCreated() +
                                 static_cast<std::time_t>(days) * tviRSSItemSet::secondsPerDay);
        return date;
    };
    addDates(created, after(route->getColorDay()), after(route->getDeleteDay()));
}
