// The TLS channel over the fake security layer: each scenario is the server's
// byte stream, fed whole, cut once at every position, cut twice at every pair
// of positions, and byte by byte.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "fake_tls.h"
#include "tcpsocket/tls_channel.h"

namespace {

using tcp::TlsChannel;
using tcp::TlsCode;
using tcp::LayerOutput;
using tcp::fakes::fakeRecord;
using tcp::fakes::FakeRecord;
using tcp::fakes::FakeTlsSystem;
using tcp::fakes::parseFakeRecords;
using State = TlsChannel::State;

constexpr TlsCode kUntrustedRoot = 0x800B0109;
constexpr TlsCode kIncompleteMessage = 0x80090318;
constexpr TlsCode kIllegalMessage = 0x80090326;
constexpr TlsCode kDecryptFailure = 0x80090330;

const std::string kServerHello = fakeRecord('H', "server hello");
const std::string kServerFinished = fakeRecord('H', "server finished");
const std::string kHandshake = kServerHello + kServerFinished;
const FakeRecord kClientHello{'H', "hello localhost"};
const FakeRecord kClientFinished{'H', "finished"};

std::string dataRecord(std::string_view text) { return fakeRecord('D', text); }

// What the client did, all calls together.
struct Outcome {
  State state;
  TlsCode error;
  std::string plaintext;
  std::vector<FakeRecord> sent;
  int opened;
  int verifyCalls;
  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  out << "state " << int(o.state) << ", error " << tcp::TlsErrorName(o.error) << ", plaintext \"" << o.plaintext
      << "\", opened " << o.opened << ", verified " << o.verifyCalls << ", sent";
  for (const FakeRecord& record : o.sent) out << " " << record.type << "\"" << record.payload << "\"";
  return out;
}

struct Scenario {
  const char* name;
  std::string server;  // everything the server sends, in order
  bool fin;            // the stream ends after it
  bool verify;
  TlsCode verdict;     // what the certificate check says
  Outcome expected;
};

const std::vector<Scenario> kScenarios = {
    {"several records in one read, an empty one among them",
     kHandshake + dataRecord("hello, ") + dataRecord("") + dataRecord("world"), false, true, 0,
     {State::Open, 0, "hello, world", {kClientHello, kClientFinished}, 1, 1}},
    {"close_notify ends the data; records after it are ignored",
     kHandshake + dataRecord("page") + fakeRecord('A', "close_notify") + dataRecord("late"), false, true, 0,
     {State::Closed, 0, "page", {kClientHello, kClientFinished}, 1, 1}},
    {"FIN after the data closes the channel", kHandshake + dataRecord("page"), true, true, 0,
     {State::Closed, 0, "page", {kClientHello, kClientFinished}, 1, 1}},
    {"a post-handshake ticket between records", kHandshake + dataRecord("one") + fakeRecord('R', "ticket") + dataRecord("two"),
     false, true, 0, {State::Open, 0, "onetwo", {kClientHello, kClientFinished}, 1, 1}},
    {"renegotiation runs a second handshake without a second check",
     kHandshake + dataRecord("one") + fakeRecord('R', "renegotiate") + kHandshake + dataRecord("two"), false, true, 0,
     {State::Open, 0, "onetwo", {kClientHello, kClientFinished, kClientHello, kClientFinished}, 1, 1}},
    {"an untrusted peer fails with its reason and nothing decrypted", kHandshake + dataRecord("secret"), false, true,
     kUntrustedRoot, {State::Failed, kUntrustedRoot, "", {kClientHello, kClientFinished}, 0, 1}},
    {"without verification the peer is not checked", kHandshake + dataRecord("secret"), false, false, kUntrustedRoot,
     {State::Open, 0, "secret", {kClientHello, kClientFinished}, 1, 0}},
    {"an alert instead of the server hello", fakeRecord('A', "handshake_failure"), false, true, 0,
     {State::Failed, kIllegalMessage, "", {kClientHello, {'A', "unexpected_message"}}, 0, 0}},
    {"a plain HTTP answer and FIN", "HTTP/1.1 400 Bad Request\r\nConnection: close\r\n\r\n", true, true, 0,
     {State::Failed, kIncompleteMessage, "", {kClientHello}, 0, 0}},
    {"FIN in the middle of the handshake", kServerHello, true, true, 0,
     {State::Failed, kIncompleteMessage, "", {kClientHello, kClientFinished}, 0, 0}},
    {"a broken record after the handshake", kHandshake + dataRecord("ok") + std::string("X\0\0\1?", 5) + dataRecord("no"),
     false, true, 0, {State::Failed, kDecryptFailure, "ok", {kClientHello, kClientFinished}, 1, 1}},
};

// Feeds the server's bytes in pieces ending at each cut, then the rest.
Outcome run(const Scenario& scenario, const std::vector<std::size_t>& cuts) {
  FakeTlsSystem system;
  system.peerVerdict = scenario.verdict;
  TlsChannel channel(system, "localhost", scenario.verify);
  std::string sent;
  Outcome outcome{};
  const auto take = [&](const LayerOutput& out) {
    sent += out.toSend;
    outcome.plaintext += out.delivered;
    outcome.opened += out.opened;
  };
  LayerOutput first;
  channel.start(first);
  take(first);
  const std::string_view server = scenario.server;
  std::size_t at = 0;
  std::vector<std::size_t> ends = cuts;
  ends.push_back(server.size());
  for (std::size_t end : ends) {
    LayerOutput out;
    channel.receive(server.substr(at, end - at), out);
    take(out);
    at = end;
  }
  if (scenario.fin) {
    LayerOutput out;
    channel.endOfStream(out);
    take(out);
  }
  outcome.state = channel.state();
  outcome.error = channel.error();
  outcome.sent = parseFakeRecords(sent);
  outcome.verifyCalls = system.verifyCalls;
  return outcome;
}

// Reports the first set of cuts that goes wrong, if any.
void expectEveryWay(const Scenario& scenario, const std::vector<std::vector<std::size_t>>& cutSets) {
  for (const auto& cuts : cutSets) {
    const Outcome got = run(scenario, cuts);
    if (!(got == scenario.expected)) {
      std::string where;
      for (std::size_t cut : cuts) where += " " + std::to_string(cut);
      ADD_FAILURE() << scenario.name << ", cut at" << where << "\n  got:      " << got
                    << "\n  expected: " << scenario.expected;
      return;
    }
  }
}

TEST(TlsChannel, EveryScenarioWholeAndCutOnceAtEveryPosition) {
  for (const Scenario& scenario : kScenarios) {
    std::vector<std::vector<std::size_t>> cutSets{{}};
    for (std::size_t cut = 0; cut <= scenario.server.size(); ++cut) cutSets.push_back({cut});
    expectEveryWay(scenario, cutSets);
  }
}

TEST(TlsChannel, EveryScenarioCutTwiceAtEveryPairOfPositions) {
  for (const Scenario& scenario : kScenarios) {
    std::vector<std::vector<std::size_t>> cutSets;
    for (std::size_t first = 1; first < scenario.server.size(); ++first)
      for (std::size_t second = first + 1; second < scenario.server.size(); ++second)
        cutSets.push_back({first, second});
    expectEveryWay(scenario, cutSets);
  }
}

TEST(TlsChannel, EveryScenarioByteByByte) {
  for (const Scenario& scenario : kScenarios) {
    std::vector<std::size_t> cuts;
    for (std::size_t cut = 1; cut < scenario.server.size(); ++cut) cuts.push_back(cut);
    expectEveryWay(scenario, {cuts});
  }
}

// A channel through the handshake, with the test playing the server.
struct OpenChannel {
  FakeTlsSystem system;
  TlsChannel channel{system, "localhost", true};
  LayerOutput out;

  void handshake() {
    channel.start(out);
    channel.receive(kHandshake, out);
  }
  std::vector<FakeRecord> sent() const { return parseFakeRecords(out.toSend); }
};

TEST(TlsChannel, PlaintextSentBeforeTheHandshakeEndsGoesOutRightAfterIt) {
  OpenChannel c;
  c.channel.start(c.out);
  c.channel.send("GET / HTTP/1.1\r\n\r\n", c.out);
  EXPECT_EQ(c.sent(), std::vector<FakeRecord>{kClientHello});
  c.channel.receive(kHandshake, c.out);
  EXPECT_EQ(c.sent(), (std::vector<FakeRecord>{kClientHello, kClientFinished, {'D', "GET / HTTP/1.1\r\n\r\n"}}));
}

// The check asks for two addresses: the channel waits in Verifying, holding
// the records that come and the text to send, until both have their answer.
TEST(TlsChannel, TheCheckWaitsForEveryAddressItAskedFor) {
  OpenChannel c;
  c.system.peerWants = {"http://ca.test/a.cer", "http://ca.test/b.crl", "http://ca.test/a.cer"};
  c.channel.start(c.out);
  c.channel.receive(kHandshake + dataRecord("early"), c.out);
  EXPECT_EQ(c.channel.state(), State::Verifying);
  EXPECT_EQ(c.out.toFetch, (std::vector<std::string>{"http://ca.test/a.cer", "http://ca.test/b.crl"}));
  c.channel.send("request", c.out);
  c.channel.fetched("http://ca.test/never-asked", "", c.out);
  c.channel.fetched("http://ca.test/b.crl", "list", c.out);
  EXPECT_EQ(c.channel.state(), State::Verifying);
  EXPECT_EQ(c.system.verifyCalls, 1);
  EXPECT_FALSE(c.out.opened);
  EXPECT_EQ(c.out.delivered, "");
  c.channel.fetched("http://ca.test/a.cer", "", c.out);
  EXPECT_EQ(c.channel.state(), State::Open);
  EXPECT_TRUE(c.out.opened);
  EXPECT_EQ(c.system.fetchedSeen,
            (tcp::FetchedObjects{{"http://ca.test/a.cer", ""}, {"http://ca.test/b.crl", "list"}}));
  EXPECT_EQ(c.out.delivered, "early");
  EXPECT_EQ(c.sent().back(), (FakeRecord{'D', "request"}));
  c.channel.fetched("http://ca.test/a.cer", "late", c.out);
  EXPECT_EQ(c.system.verifyCalls, 2);
}

TEST(TlsChannel, ACheckThatAsksBeyondTheBoundGetsFailedFetchesAndEnds) {
  OpenChannel c;
  for (std::size_t i = 0; i < TlsChannel::kMaxFetches + 3; ++i)
    c.system.peerWants.push_back("http://ca.test/" + std::to_string(i));
  c.system.peerVerdict = kUntrustedRoot;
  c.handshake();
  ASSERT_EQ(c.out.toFetch.size(), TlsChannel::kMaxFetches);
  for (const std::string& address : std::vector<std::string>(c.out.toFetch))
    c.channel.fetched(address, "bytes", c.out);
  EXPECT_EQ(c.channel.state(), State::Failed);
  EXPECT_EQ(c.channel.error(), kUntrustedRoot);
  EXPECT_EQ(c.system.fetchedSeen.size(), TlsChannel::kMaxFetches + 3);
  EXPECT_EQ(c.system.fetchedSeen.at("http://ca.test/10"), "");
}

TEST(TlsChannel, TheEndOfTheStreamWhileTheCheckWaitsFailsTheChannel) {
  OpenChannel c;
  c.system.peerWants = {"http://ca.test/a.cer"};
  c.handshake();
  c.channel.endOfStream(c.out);
  EXPECT_EQ(c.channel.state(), State::Failed);
  c.channel.fetched("http://ca.test/a.cer", "", c.out);
  EXPECT_EQ(c.system.verifyCalls, 1);
  EXPECT_FALSE(c.out.opened);
}

TEST(TlsChannel, PlaintextSentDuringRenegotiationWaitsForItsEnd) {
  OpenChannel c;
  c.handshake();
  c.channel.receive(fakeRecord('R', "renegotiate"), c.out);
  ASSERT_EQ(c.channel.state(), State::Renegotiating);
  c.channel.send("more", c.out);
  c.channel.receive(kServerHello, c.out);
  EXPECT_EQ(parseFakeRecords(c.out.toSend).back(), kClientFinished);
  c.channel.receive(kServerFinished, c.out);
  EXPECT_EQ(c.channel.state(), State::Open);
  EXPECT_EQ(c.sent().back(), (FakeRecord{'D', "more"}));
}

// A layer with no answer to the peer's request would leave both sides
// waiting, the host's text held for ever: the channel ends with its reason,
// keeping what was decrypted before it.
TEST(TlsChannel, ARenegotiationTheLayerCannotAnswerEndsTheChannel) {
  for (const bool splitBefore : {false, true}) {
    SCOPED_TRACE(splitBefore ? "the request in a read of its own" : "the request behind data");
    OpenChannel c;
    c.system.answersRenegotiation = false;
    c.handshake();
    c.channel.send("sent while open", c.out);
    if (splitBefore) c.channel.receive(dataRecord("one"), c.out);
    c.channel.receive((splitBefore ? "" : dataRecord("one")) + fakeRecord('R', "renegotiate"), c.out);
    EXPECT_EQ(c.channel.state(), State::Failed);
    EXPECT_EQ(c.channel.error(), tcp::kRenegotiationUnsupported);
    EXPECT_EQ(c.out.delivered, "one");
    c.channel.send("after", c.out);
    EXPECT_EQ(c.sent().back(), (FakeRecord{'D', "sent while open"})) << "nothing more goes out";
  }
}

TEST(TlsChannel, LongPlaintextIsSplitIntoRecordsOfTheSessionsSize) {
  OpenChannel c;
  c.system.maxRecordPayload = 4;
  c.handshake();
  c.out.toSend.clear();
  c.channel.send("abcdefghij", c.out);
  EXPECT_EQ(c.sent(), (std::vector<FakeRecord>{{'D', "abcd"}, {'D', "efgh"}, {'D', "ij"}}));
}

TEST(TlsChannel, CloseSendsCloseNotifyOnceAndIgnoresLaterBytes) {
  OpenChannel c;
  c.handshake();
  c.out.toSend.clear();
  c.channel.close(c.out);
  c.channel.close(c.out);
  c.channel.receive(dataRecord("late"), c.out);
  c.channel.send("late", c.out);
  EXPECT_EQ(c.channel.state(), State::Closed);
  EXPECT_EQ(c.sent(), (std::vector<FakeRecord>{{'A', "close_notify"}}));
  EXPECT_EQ(c.out.delivered, "");
}

TEST(TlsChannel, AnEngineThatCannotOpenASessionFailsAtStart) {
  FakeTlsSystem system;
  system.openError = 0x80090305;
  TlsChannel channel(system, "localhost", true);
  LayerOutput out;
  channel.start(out);
  EXPECT_EQ(channel.state(), State::Failed);
  EXPECT_EQ(tcp::TlsErrorName(channel.error()), "SEC_E_SECPKG_NOT_FOUND");
  EXPECT_EQ(out.toSend, "");
}

TEST(TlsChannel, ARecordThatNeverCompletesIsNotBufferedBeyondTheBound) {
  OpenChannel c;
  c.handshake();
  const std::string header = {'D', char(0xFF), char(0xFF), char(0xFF)};
  c.channel.receive(header, c.out);
  const std::string chunk(4096, 'x');
  std::size_t fed = header.size();
  while (c.channel.state() == State::Open && fed <= TlsChannel::kMaxPendingBytes) {
    c.channel.receive(chunk, c.out);
    fed += chunk.size();
  }
  EXPECT_EQ(c.channel.state(), State::Failed);
  EXPECT_EQ(c.channel.error(), kIllegalMessage);
  EXPECT_GT(fed, TlsChannel::kMaxPendingBytes);
}

TEST(TlsChannel, FourMebibytesInFullRecordsThroughOddSizedReads) {
  OpenChannel c;
  c.handshake();
  std::string expected;
  std::string stream;
  for (int record = 0; record < 256; ++record) {
    std::string payload(16384, char('a' + record % 26));
    payload[record % 16384] = '#';
    expected += payload;
    stream += dataRecord(payload);
  }
  for (std::size_t at = 0; at < stream.size(); at += 1000) c.channel.receive(std::string_view(stream).substr(at, 1000), c.out);
  EXPECT_EQ(c.channel.state(), State::Open) << tcp::TlsErrorName(c.channel.error());
  EXPECT_TRUE(c.out.delivered == expected) << "plaintext of " << c.out.delivered.size() << " bytes differs";
}

TEST(TlsErrorName, NamesListedCodesAndShowsOthersInHex) {
  const std::pair<TlsCode, const char*> cases[] = {
      {0x00090312, "SEC_I_CONTINUE_NEEDED"},  {0x80090304, "SEC_E_INTERNAL_ERROR"},
      {0x80090318, "SEC_E_INCOMPLETE_MESSAGE"}, {0x800B0101, "CERT_E_EXPIRED"},
      {0x800B0109, "CERT_E_UNTRUSTEDROOT"},   {0x800B010A, "CERT_E_CHAINING"},
      {0x800B010F, "CERT_E_CN_NO_MATCH"},     {0x800B0114, "CERT_E_INVALID_NAME"},
      {0x12345678, "0x12345678"},             {0, "0x00000000"},
  };
  for (const auto& [code, name] : cases) EXPECT_EQ(tcp::TlsErrorName(code), name);
}

}  // namespace
