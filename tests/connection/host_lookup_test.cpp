// sethost in queued mode: the lookup runs in the background, its answer is
// reported when it comes, and a kconect given meanwhile waits for it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "connection_fixture.h"

namespace tcp {
namespace {

using Events = std::vector<std::pair<std::int32_t, std::string>>;

class HostLookupTest : public ConnectionTest {
 protected:
  HostLookupTest() {
    session.conversation.queued = true;
    createClient();
  }
  bool connectStarted() const { return std::count(sockets.calls.begin(), sockets.calls.end(), "connect") > 0; }
};

TEST_F(HostLookupTest, SethostReturnsBeforeItsAnswer) {
  SetHostByName(session, "localhost");
  EXPECT_TRUE(host.seen.empty());
  ASSERT_EQ(sockets.lookups.size(), 1u);
  EXPECT_EQ(std::count(sockets.calls.begin(), sockets.calls.end(), "lookup localhost"), 0)
      << "nothing is looked up on the host's thread";
  EXPECT_EQ(client->host(), "127.0.0.1") << "the host set by default, until the answer";
  sockets.hosts["localhost"] = "127.0.0.9";
  ASSERT_TRUE(sockets.finishLookup());
  EXPECT_EQ(host.seen, (Events{{5, "127.0.0.9"}}));
  EXPECT_EQ(client->host(), "127.0.0.9");
}

// A name with an IPv6 and an IPv4 address: code 5 gives the first, and the
// kconect that waited races both, the IPv6 one first.
TEST_F(HostLookupTest, EveryAddressOfTheNameIsRaced) {
  sockets.hostsAll["dual.test"] = {"::1", "127.0.0.1"};
  SetHostByName(session, "dual.test");
  Connect(session);
  ASSERT_TRUE(sockets.finishLookup());
  EXPECT_EQ(host.seen, (Events{{5, "::1"}}));
  EXPECT_EQ(sockets.calls.back(), "connect6");
  sockets.deliverFor(sockets.current, SocketEvent::Connect, 10061);
  EXPECT_EQ(sockets.calls.back(), "connect");
  sockets.deliverFor(sockets.current, SocketEvent::Connect);
  EXPECT_EQ(host.seen.back().first, 1);
  EXPECT_TRUE(client->Connected());
}

TEST_F(HostLookupTest, WithoutQueuedEventsSethostStaysAsItWas) {
  session.conversation.queued = false;
  SetHostByName(session, "localhost");
  EXPECT_EQ(host.seen, (Events{{5, "127.0.0.1"}}));
  EXPECT_TRUE(sockets.lookups.empty());
}

// A kconect right after sethost: what the host hears once the answer comes.
TEST_F(HostLookupTest, AKconectMeanwhileWaitsForTheAnswer) {
  struct Case {
    const char* name;
    bool proxy;
    Events events;
    bool connects;
    std::int32_t lastFailure;
  };
  const Case cases[] = {
      {"localhost", false, {{5, "127.0.0.1"}}, true, 0},
      {"a..b", false, {{6, "no ip"}, {3, "WSAHOST_NOT_FOUND"}}, false, 11001},
      {"a..b", true, {{6, "no ip"}}, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + (c.proxy ? " through a proxy" : ""));
    sockets.calls.clear();
    host.seen.clear();
    SetProxy(session, c.proxy ? "10.0.0.7:3128" : "");
    SetHostByName(session, c.name);
    Connect(session);
    EXPECT_FALSE(connectStarted()) << "the connect waits";
    ASSERT_TRUE(sockets.finishLookup());
    EXPECT_EQ(host.seen, c.events);
    EXPECT_EQ(connectStarted(), c.connects);
    EXPECT_EQ(session.lastFailure, c.lastFailure);
    Disconnect(session);
  }
}

TEST_F(HostLookupTest, OnlyTheLatestSethostIsAnswered) {
  SetHostByName(session, "a..b");
  SetHostByName(session, "localhost");
  ASSERT_TRUE(sockets.finishLookup());
  EXPECT_TRUE(host.seen.empty()) << "the superseded answer is dropped";
  ASSERT_TRUE(sockets.finishLookup());
  EXPECT_EQ(host.seen, (Events{{5, "127.0.0.1"}}));

  host.seen.clear();
  SetHostByName(session, "localhost");
  SetHostAddress(session, "10.0.0.7");
  Connect(session);
  EXPECT_TRUE(connectStarted()) << "setip leaves nothing to wait for";
  ASSERT_TRUE(sockets.finishLookup());
  EXPECT_TRUE(host.seen.empty());
  EXPECT_EQ(client->host(), "10.0.0.7");
}

TEST_F(HostLookupTest, ALookupThatTakesTooLongOrCannotStartFails) {
  SetTimeout(session, 5000);
  SetHostByName(session, "localhost");
  ASSERT_EQ(sockets.lookups.size(), 1u);
  EXPECT_EQ(sockets.lookups.front().timeoutMs, 5000u) << "settimeout bounds the lookup";
  Connect(session);
  ASSERT_TRUE(sockets.timeOutLookup());
  EXPECT_EQ(host.seen, (Events{{6, "no ip"}, {3, "WSAETIMEDOUT"}}));
  EXPECT_EQ(session.lastFailure, kTimedOut);

  host.seen.clear();
  sockets.startLookupError = 10055;
  SetHostByName(session, "localhost");
  EXPECT_EQ(host.seen, (Events{{6, "no ip"}}));
  EXPECT_EQ(session.lastFailure, 10055);
}

TEST_F(HostLookupTest, AnAnswerAfterTheFormWentReachesNoOne) {
  SetHostByName(session, "localhost");
  Connect(session);
  session.form.reset();
  ASSERT_TRUE(sockets.finishLookup());
  EXPECT_TRUE(host.seen.empty());
}

// IPv6 addresses are connected to in queued mode only; without it a host that
// is not a dotted IPv4 address fails as it always did.
TEST_F(HostLookupTest, IPv6AddressesAreReachedWithQueuedEventsOnly) {
  Ipv6Address loopback{};
  loopback[15] = 1;
  const struct {
    const char* name;
    bool queued;
    bool bySethost;
    std::int32_t lastFailure;
  } cases[] = {
      {"::1", true, true, 0},
      {"[::1]", true, false, 0},
      {"::1", false, false, kInvalidArgument},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + (c.queued ? " queued" : "") + (c.bySethost ? " by sethost" : " by setip"));
    session.conversation.queued = c.queued;
    sockets.calls.clear();
    host.seen.clear();
    sockets.connectedAddress6 = {};
    c.bySethost ? SetHostByName(session, c.name) : SetHostAddress(session, c.name);
    if (c.bySethost) EXPECT_EQ(host.seen, (Events{{5, "::1"}})) << "an address needs no lookup";
    EXPECT_TRUE(sockets.lookups.empty());
    Connect(session);
    EXPECT_EQ(session.lastFailure, c.lastFailure);
    const bool connected6 = std::count(sockets.calls.begin(), sockets.calls.end(), "connect6") > 0;
    EXPECT_EQ(connected6, c.lastFailure == 0);
    if (connected6) EXPECT_EQ(sockets.connectedAddress6, loopback);
    EXPECT_EQ(StatusText(session)->substr(0, 5 + std::string(c.name).size()), "host " + std::string(c.name));
    Disconnect(session);
  }
}

}  // namespace
}  // namespace tcp
