#include "Engine/Http/clsRedirectChain.h"

#include "Engine/Url/utlUrl.h"
#include "Engine/Url/utlUrlParts.h"

clsRedirectChain::clsRedirectChain(int maxRedirects) : maxRedirects(maxRedirects) {}

std::string clsRedirectChain::withoutFragment(const std::string& address)
{
    return address.substr(0, address.find('#'));
}

void clsRedirectChain::start(const std::string& address)
{
    count = 0;
    visited.clear();
    visited.insert(withoutFragment(address));
}

clsRedirectChain::Decision clsRedirectChain::next(const std::string& address, int statusCode,
                                                  bool hasLocation, const std::string& location,
                                                  std::string& target)
{
    if (statusCode < 300 || statusCode > 399 || !hasLocation || location.empty())
        return finalResponse;
    resolveUrl(3, address, location, target);
    utlUrlParts parts;
    if (!crackUrl(target, parts) || (parts.scheme != "http" && parts.scheme != "https") ||
        parts.host.empty())
        return unsupported;
    if (!visited.insert(withoutFragment(target)).second)
        return loop;
    if (count >= maxRedirects)
        return tooMany;
    ++count;
    return follow;
}

int clsRedirectChain::getCount() const
{
    return count;
}
