#pragma once

#include <string>

// Resolves a link found in a page against the address of that page.
// kind: 1 local path, 2 network path ("//host/..."), 3 web address; any other value is taken
// from base. Always succeeds; out receives the absolute address.
bool resolveUrl(int kind, const std::string& base, const std::string& relative, std::string& out);

// Collapses "/./" and "/../" in the path of address (the part from the first '/' behind
// "://"); a trailing "/." or "/.." is kept, query and fragment are not treated apart.
void removeDotSegments(std::string& address);

// The registrable part of a host name ("www.example.co.jp" -> "example.co.jp"); the whole host
// when no known suffix matches.
std::string siteOfHost(const std::string& host);
