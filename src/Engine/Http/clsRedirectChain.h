#pragma once

#include <set>
#include <string>

// Decides, response by response, whether a transfer follows a redirect: at most a given
// number of hops, never to an address already requested in the chain (the fragment does
// not count: it is never sent), and only to http or https.
class clsRedirectChain {
public:
    enum Decision {
        finalResponse, // not a redirect (or one without Location): this is the page
        follow,        // go on with target
        tooMany,       // the limit was reached
        loop,          // target was already requested in this chain
        unsupported,   // target is not an http or https address
    };

    explicit clsRedirectChain(int maxRedirects);

    void start(const std::string& address);
    // address is the request's current address; location the raw Location value (hasLocation
    // false when the header is absent). On follow, target is the resolved absolute address.
    Decision next(const std::string& address, int statusCode, bool hasLocation,
                  const std::string& location, std::string& target);
    int getCount() const;

private:
    static std::string withoutFragment(const std::string& address);

    int maxRedirects;
    int count = 0;
    std::set<std::string> visited;
};
