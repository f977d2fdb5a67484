#include "Engine/Core/clsLink.h"

#include "Common/utlInstanceCounter.h"
#include "Engine/Http/clsUrlInformation.h"

namespace {

// Made by the thousand: the instance counter's slot is found once.
InstanceSlot* instances()
{
    static InstanceSlot* const slot = instanceSlot("clsLink");
    return slot;
}

} // namespace

clsLink::clsLink()
{
    countCreated(instances());
}

clsLink::~clsLink()
{
    countDestroyed(instances());
}

bool clsLink::setUrlInformation(std::unique_ptr<clsUrlInformation> info)
{
    url = std::move(info);
    return true;
}

int clsLink::getLinkKind() const
{
    return url ? url->getLinkKind() : -1;
}

int clsLink::getAddressKind() const
{
    return url ? url->getAddressKind() : addressNotParsed;
}

std::string clsLink::getAddress() const
{
    return url ? url->getAddress() : std::string();
}

std::string clsLink::getFileName() const
{
    return url ? url->getFileName() : std::string();
}

std::string clsLink::getExtension() const
{
    return url ? url->getExtension() : std::string();
}

std::string clsLink::getHost() const
{
    return url ? url->getHost() : std::string();
}

std::string clsLink::getProtocol() const
{
    return url ? url->getProtocol() : std::string();
}

std::string clsLink::getPath() const
{
    return url ? url->getPath() : std::string();
}

bool clsLink::setName(const std::string& text)
{
    name = text;
    return true;
}

bool clsLink::setHref(const std::string& text)
{
    href = text;
    return true;
}

const std::string& clsLink::getName() const
{
    return name;
}

const std::string& clsLink::getHref() const
{
    return href;
}
