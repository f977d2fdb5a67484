#include "Engine/Http/clsRedirectChain.h"

#include <gtest/gtest.h>

namespace {

// Relative and absolute Locations are resolved; a chain stops after the limit, at an
// address already requested (the fragment aside), and at a non-http target.
TEST(clsRedirectChain, FollowsUpToTheLimitAndStopsLoops)
{
    clsRedirectChain chain(2);
    chain.start("http://h/a");
    std::string target;
    EXPECT_EQ(chain.next("http://h/a", 200, true, "/x", target), clsRedirectChain::finalResponse);
    EXPECT_EQ(chain.next("http://h/a", 302, false, "", target), clsRedirectChain::finalResponse);
    EXPECT_EQ(chain.next("http://h/a", 301, true, "b", target), clsRedirectChain::follow);
    EXPECT_EQ(target, "http://h/b");
    EXPECT_EQ(chain.next("http://h/b", 302, true, "/a#top", target), clsRedirectChain::loop);
    EXPECT_EQ(chain.next("http://h/b", 302, true, "http://other/c", target),
              clsRedirectChain::follow);
    EXPECT_EQ(chain.next("http://other/c", 307, true, "/d", target), clsRedirectChain::tooMany);
    EXPECT_EQ(chain.getCount(), 2);

    clsRedirectChain self(10);
    self.start("http://h/s");
    EXPECT_EQ(self.next("http://h/s", 301, true, "http://h/s", target), clsRedirectChain::loop);
    EXPECT_EQ(self.next("http://h/s", 302, true, "ftp://h/f", target),
              clsRedirectChain::unsupported);
    EXPECT_EQ(self.next("http://h/s", 302, true, "javascript:x()", target),
              clsRedirectChain::unsupported);
}

} // namespace
