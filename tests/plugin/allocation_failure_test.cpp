// Allocation failure at every allocation, as curl's torture mode does: a
// scenario through the command shims and the client is run once to count its
// allocations, then again failing the first, the second, ... the last. Every
// run must end with nothing thrown out of the library, no request cut and
// followed by another on one connection, and each slot holding the old or the
// new result (or the empty text, the library's answer to exhaustion).
// LeakSanitizer checks the runs for leaks when the process ends.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "connection/connection.h"
#include "fake_code_pages.h"
#include "fake_files.h"
#include "fake_tls.h"
#include "fake_window_system.h"
#include "http/message_parts.h"
#include "plugin/plugin_session.h"

namespace {

// The allocations the replaced operator new sees while armed and not paused:
// the nth of them fails when failAt is n.
struct Injection {
  bool armed = false;
  int paused = 0;
  long count = 0;
  long failAt = 0;
  // Bytes held by live allocations, and the most since the peak was reset.
  std::size_t live = 0;
  std::size_t peak = 0;
};
Injection injection;

void arm(long failAt) {
  injection.armed = true;
  injection.count = 0;
  injection.failAt = failAt;
}

bool shouldFail() {
  if (!injection.armed || injection.paused > 0) return false;
  return ++injection.count == injection.failAt;
}

// A size header in front of each block keeps the count of live bytes.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* allocate(std::size_t size, bool nothrow) {
  if (shouldFail()) {
    if (nothrow) return nullptr;
    throw std::bad_alloc();
  }
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (!block) {
    if (nothrow) return nullptr;
    throw std::bad_alloc();
  }
  *reinterpret_cast<std::size_t*>(block) = size;
  injection.live += size;
  if (injection.live > injection.peak) injection.peak = injection.live;
  return block + kHeader;
}

void release(void* pointer) noexcept {
  if (!pointer) return;
  auto* block = static_cast<unsigned char*>(pointer) - kHeader;
  injection.live -= *reinterpret_cast<std::size_t*>(block);
  std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size, false); }
void* operator new[](std::size_t size) { return allocate(size, false); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size, true); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size, true); }
void operator delete(void* pointer) noexcept { release(pointer); }
void operator delete[](void* pointer) noexcept { release(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { release(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { release(pointer); }
void operator delete(void* pointer, const std::nothrow_t&) noexcept { release(pointer); }
void operator delete[](void* pointer, const std::nothrow_t&) noexcept { release(pointer); }

extern "C" {
void SetFile(const char* text);
void SetData(std::int32_t value);
void setevents();
void kconect();
void sendc();
void makechunkeds();
void savebin();
void utfenk();
void utfdek();
void strip();
void settls();
}

namespace tcp {
namespace {

// The platform's own work, which never throws: nothing in it may fail.
struct Paused {
  Paused() { ++injection.paused; }
  ~Paused() { --injection.paused; }
  Paused(const Paused&) = delete;
  Paused& operator=(const Paused&) = delete;
};

// A peer that records the bytes of each connection and takes at most
// kSendPiece bytes a send, every other send failing with would-block, so
// that a large request waits in the queue; it sends `incoming` and, once
// asked, `response`, kReadPiece bytes a read.
class QuietPeer : public SocketSystem {
 public:
  static constexpr std::size_t kSendPiece = 16 << 10;
  static constexpr std::uint32_t kReadPiece = 4 << 10;

  int startup() override { return 0; }
  int cleanup() override { return 0; }
  SocketResult<SocketHandle> openStream() override {
    const Paused paused;
    streams.emplace_back();
    closed.push_back(false);
    return {static_cast<SocketHandle>(streams.size() - 1), 0};
  }
  SocketResult<SocketHandle> openStream6() override { return {kNoSocket, 10047}; }  // WSAEAFNOSUPPORT
  int selectEvents(SocketHandle, WindowHandle) override { return 0; }
  std::optional<std::uint32_t> parseAddress(const std::string&) override { return 0x0100007F; }
  int connect(SocketHandle, std::uint32_t, std::uint16_t) override { return kWouldBlock; }
  int connect6(SocketHandle, const Ipv6Address&, std::uint16_t) override { return kInvalidArgument; }
  SocketResult<std::int32_t> send(SocketHandle socket, const char* bytes, std::int32_t count) override {
    const Paused paused;
    if (socket >= streams.size() || closed[socket]) return {-1, 10038};
    blockNext_ = !blockNext_;
    if (!blockNext_) return {-1, kWouldBlock};
    const std::size_t taken = std::min<std::size_t>(static_cast<std::size_t>(count), kSendPiece);
    streams[socket].append(bytes, taken);
    return {static_cast<std::int32_t>(taken), 0};
  }
  SocketResult<std::int32_t> receive(SocketHandle, char* bytes, std::int32_t count) override {
    const std::size_t taken = std::min<std::size_t>(static_cast<std::size_t>(count), incoming.size() - read_);
    std::copy_n(incoming.data() + read_, taken, bytes);
    read_ += taken;
    return {static_cast<std::int32_t>(taken), 0};
  }
  SocketResult<std::uint32_t> bytesReadable(SocketHandle) override {
    return {static_cast<std::uint32_t>(std::min<std::size_t>(incoming.size() - read_, kReadPiece)), 0};
  }
  SocketResult<std::uint16_t> localPort(SocketHandle) override { return {50000, 0}; }
  int close(SocketHandle socket) override {
    if (socket < closed.size()) closed[socket] = true;
    return 0;
  }
  SocketResult<std::string> lookUpHost(const std::string&) override { return {{}, kHostNotFound}; }
  int startLookup(const std::string&, std::uint32_t, LookupDone) override { return kHostNotFound; }
  int startLookupAll(const std::string&, std::uint32_t, LookupAllDone) override { return kHostNotFound; }
  WindowHandle createSocketWindow(SocketEventSink& s) override {
    sink = &s;
    return 0x700;
  }
  void destroySocketWindow(WindowHandle) override { sink = nullptr; }
  void dropQueuedEvents(WindowHandle) override {}
  int startTimer(WindowHandle, SocketHandle, std::uint32_t) override { return 0; }
  void stopTimer(WindowHandle, SocketHandle) override {}

  // An event for the newest socket; whatever it throws is recorded.
  void deliver(SocketEvent event) {
    if (!sink || streams.empty()) return;
    try {
      sink->onSocketEvent(streams.size() - 1, event, 0);
    } catch (...) {
      escaped = true;
    }
  }
  bool hasUnread() const { return read_ < incoming.size(); }
  // The response follows what the peer sent at first (the TLS handshake).
  void answer() {
    const Paused paused;
    incoming += response;
  }

  std::vector<std::string> streams;
  std::vector<bool> closed;
  std::string incoming;
  std::string response;
  SocketEventSink* sink = nullptr;
  bool escaped = false;

 private:
  bool blockNext_ = false;
  std::size_t read_ = 0;
};

// A host that hears every click and records nothing.
struct QuietHost : fakes::FakeWindowSystem {
  void postMessage(WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) override {}
  void sendMessage(WindowHandle, std::uint32_t, std::uintptr_t, std::intptr_t) override {}
  void showMessageBox(WindowHandle, const std::string&, const std::string&) override {}
};

// Files on a disk, whose own work never throws.
struct QuietFiles : fakes::FakeFileSystem {
  WriteResult writeFile(const std::string& path, const Pieces& pieces) override {
    const Paused paused;
    return FakeFileSystem::writeFile(path, pieces);
  }
  std::uint32_t replaceFile(const std::string& from, const std::string& to) override {
    const Paused paused;
    return FakeFileSystem::replaceFile(from, to);
  }
  void removeFile(const std::string& path) override {
    const Paused paused;
    FakeFileSystem::removeFile(path);
  }
};

struct ClientOwner : SessionForm {
  std::unique_ptr<TcpClient> owned;
  TcpClient* client() override { return owned.get(); }
};

std::string chunked(std::size_t chunks, std::size_t size) {
  std::string response = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  response.reserve(response.size() + chunks * (size + 16) + 5);
  for (std::size_t i = 0; i < chunks; ++i) {
    char line[32];
    std::snprintf(line, sizeof line, "%zx\r\n", size);
    response += line;
    response.append(size, static_cast<char>('a' + i % 26));
    response += "\r\n";
  }
  response += "0\r\n\r\n";
  return response;
}

const std::string kFirstRequest = "POST /first HTTP/1.1\r\nContent-Length: 200000\r\n\r\n" + std::string(200000, 'x');
const std::string kNextRequest = "GET /-tail-of-next-request- HTTP/1.1\r\n\r\n";
const std::string kResponse = chunked(40, 1000);
const std::string kMarker = "\x01";
const std::string kMarkedRequest = kMarker + kFirstRequest + kMarker;
const std::string kOldFile = "an earlier download";
// Code page 1251: "Привет" and more, which utfenk turns into UTF-8 and back.
const std::string kAnsiText = "\xcf\xf0\xe8\xe2\xe5\xf2, \xec\xe8\xf0! " + std::string(3000, '\xc6');

// What a run left: the slot after each command, the history's newest entry
// after each SetFile, and where the bytes went.
struct Outcome {
  std::vector<std::string> slots;
  // For a result that depends on what arrived in this run: that result.
  std::vector<std::string> fromArrivals;
  std::vector<std::string> newestEntries;
  std::string first;  // the texts sendc was given
  std::string next;
};

class AllocationFailure : public ::testing::Test {
 public:
  // How the first request goes: set and sent (its storage shared with the
  // queue), made by a command (strip) so that the queue holds a copy, or
  // over TLS.
  enum class Mode { Shared, Copied, Secured };

  // The platform of one run.
  struct Rig {
    QuietPeer peer;
    QuietHost host;
    QuietFiles files;
    fakes::FakeCodePages codePages;
    fakes::FakeTlsSystem tls;
  };

 protected:
  AllocationFailure() : session(PluginSession()) {}
  ~AllocationFailure() override { session = Session{}; }


  void setUp(Rig& rig, Mode mode) {
    session = Session{};
    session.platform.sockets = &rig.peer;
    session.platform.windows = &rig.host;
    session.platform.files = &rig.files;
    session.platform.codePages = &rig.codePages;
    session.platform.tls = &rig.tls;
    auto form = std::make_unique<ClientOwner>();
    form->owned = CreateConnectionClient(session);
    session.form = std::move(form);
    rig.files.files["out.bin"] = kOldFile;
    rig.peer.response = kResponse;
    // Queued events leave the slots to the commands.
    SetData(1);
    setevents();
    if (mode != Mode::Secured) return;
    rig.peer.incoming = fakes::fakeRecord('H', "server hello") + fakes::fakeRecord('H', "server finished");
    rig.peer.response.clear();
    for (std::size_t at = 0; at < kResponse.size(); at += 5000)
      rig.peer.response += fakes::fakeRecord('D', kResponse.substr(at, 5000));
    SetData(2);
    SetFile("");
    settls();
  }

  std::string slotNow() {
    const Paused paused;
    return session.exchange.ExchangeText.text();
  }
  void note(Outcome& outcome, std::string fromArrivals = {}) {
    const Paused paused;
    outcome.slots.push_back(session.exchange.ExchangeText.text());
    outcome.fromArrivals.push_back(std::move(fromArrivals));
  }
  void setFile(const std::string& text, Outcome& outcome) {
    SetFile(text.c_str());
    const Paused paused;
    outcome.newestEntries.push_back(session.exchange.FileHistory[0]);
    note(outcome);
  }
  std::string payloadReceived() {
    const Paused paused;
    std::string decoded;
    return std::string(PayloadOf(session.response.ReceiveBuffer, decoded));
  }

  // Read events until everything the peer sent has been read.
  static void readAll(QuietPeer& peer) {
    for (std::size_t i = 0; i < 4 * kResponse.size() / QuietPeer::kReadPiece + 4 && peer.hasUnread(); ++i)
      peer.deliver(SocketEvent::Read);
  }

  // Write events until whatever waits has gone.
  static void drain(QuietPeer& peer) {
    for (std::size_t i = 0; i < 2 * kFirstRequest.size() / QuietPeer::kSendPiece + 4; ++i)
      peer.deliver(SocketEvent::Write);
  }

  // Two requests on one connection, the response, its body decoded, saved
  // and converted both ways.
  Outcome play(QuietPeer& peer, Mode mode) {
    Outcome outcome;
    SetFile("");
    kconect();
    peer.deliver(SocketEvent::Connect);
    readAll(peer);
    if (mode == Mode::Copied) {
      setFile(kMarker, outcome);
      setFile(kMarkedRequest, outcome);
      strip();
      note(outcome);
    } else {
      setFile(kFirstRequest, outcome);
    }
    outcome.first = slotNow();
    sendc();
    note(outcome);
    drain(peer);
    setFile(kNextRequest, outcome);
    outcome.next = slotNow();
    sendc();
    note(outcome);
    drain(peer);
    peer.answer();
    readAll(peer);
    drain(peer);
    makechunkeds();
    note(outcome, payloadReceived());
    setFile("out.bin", outcome);
    savebin();
    note(outcome);
    setFile(kAnsiText, outcome);
    utfenk();
    note(outcome);
    utfdek();
    note(outcome);
    return outcome;
  }

  void failEveryAllocation(Mode mode);

  Session& session;
};

// What a connection carried for the server: with TLS, the data of its
// records, in order.
std::string plaintextOf(const std::string& stream, AllocationFailure::Mode mode) {
  if (mode != AllocationFailure::Mode::Secured) return stream;
  std::string plaintext;
  for (const fakes::FakeRecord& record : fakes::parseFakeRecords(stream))
    if (record.type == 'D') plaintext += record.payload;
  return plaintext;
}

bool startsWith(const std::string& text, const std::string& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

// Each connection carries a prefix of the two requests in order, or of the
// second alone when the first never went; one that carries part of the
// first was closed, with the failure reported.
void checkStreams(const QuietPeer& peer, const Outcome& run, AllocationFailure::Mode mode, std::int32_t lastFailure,
                  long failAt) {
  const std::string both = run.first + run.next;
  for (std::size_t i = 0; i < peer.streams.size(); ++i) {
    const std::string stream = plaintextOf(peer.streams[i], mode);
    EXPECT_TRUE(startsWith(both, stream) || startsWith(run.next, stream))
        << "connection " << i << " got " << stream.size()
        << " bytes that are not the requests in order, failing allocation " << failAt;
    if (stream.size() < run.first.size() && startsWith(run.first, stream) && !stream.empty()) {
      EXPECT_TRUE(peer.closed[i]) << "a cut request left its connection open, failing allocation " << failAt;
      EXPECT_NE(lastFailure, 0) << "a cut request went unreported, failing allocation " << failAt;
    }
  }
}

// A connection still open has carried every record made for it: one made
// and not sent would put the peer's sequence behind ours for good.
void checkSequence(const AllocationFailure::Rig& rig, long failAt) {
  if (rig.peer.streams.empty() || rig.peer.closed.back()) return;
  int sent = 0;
  for (const fakes::FakeRecord& record : fakes::parseFakeRecords(rig.peer.streams.back())) sent += record.type == 'D';
  EXPECT_EQ(sent, rig.tls.recordsMade) << "records made but never sent, failing allocation " << failAt;
}

// Each slot holds what the command gives, what it held before, or the empty
// text; the history's newest entry is the text set or the one before it.
void checkSlots(const Outcome& run, const Outcome& expected, long failAt) {
  ASSERT_EQ(run.slots.size(), expected.slots.size());
  for (std::size_t i = 0; i < run.slots.size(); ++i) {
    const std::string before = i > 0 ? run.slots[i - 1] : std::string();
    const std::string& slot = run.slots[i];
    const bool fits = slot.empty() || slot == before || slot == expected.slots[i] ||
                      (!run.fromArrivals[i].empty() && slot == run.fromArrivals[i]);
    EXPECT_TRUE(fits) << "slot after step " << i << " holds " << slot.size() << " bytes, failing allocation "
                      << failAt;
  }
  for (std::size_t i = 0; i < run.newestEntries.size(); ++i) {
    const std::string before = i > 0 ? expected.newestEntries[i - 1] : std::string();
    const bool fits = run.newestEntries[i] == expected.newestEntries[i] || run.newestEntries[i] == before;
    EXPECT_TRUE(fits) << "history entry 0 after SetFile " << i << ", failing allocation " << failAt;
  }
}

// The file is the earlier one or the whole body received, never a part, and
// nothing is left beside it.
void checkFile(const QuietFiles& files, std::string_view received, long failAt) {
  const Paused paused;
  std::string decoded;
  const std::string payload(PayloadOf(received, decoded));
  const auto found = files.files.find("out.bin");
  ASSERT_NE(found, files.files.end());
  EXPECT_TRUE(found->second == kOldFile || found->second == payload)
      << "out.bin holds " << found->second.size() << " bytes, failing allocation " << failAt;
  EXPECT_EQ(files.files.count("out.bin.part"), 0u) << "failing allocation " << failAt;
}

void AllocationFailure::failEveryAllocation(Mode mode) {
  Outcome expected;
  long allocations = 0;
  {
    Rig rig;
    setUp(rig, mode);
    arm(0);
    expected = play(rig.peer, mode);
    allocations = injection.count;
    injection.armed = false;
    ASSERT_EQ(rig.peer.streams.size(), 1u);
    ASSERT_EQ(plaintextOf(rig.peer.streams[0], mode), kFirstRequest + kNextRequest);
    std::string decoded;
    ASSERT_EQ(rig.files.files["out.bin"], PayloadOf(kResponse, decoded));
    ASSERT_EQ(decoded.size(), 40000u);
    session = Session{};
  }
  std::printf("the exchange makes %ld allocations\n", allocations);
  ASSERT_GT(allocations, 20);
  for (long failAt = 1; failAt <= allocations; ++failAt) {
    Rig rig;
    setUp(rig, mode);
    arm(failAt);
    const Outcome run = play(rig.peer, mode);
    injection.armed = false;
    EXPECT_FALSE(rig.peer.escaped) << "an exception left the client, failing allocation " << failAt;
    checkStreams(rig.peer, run, mode, session.lastFailure, failAt);
    if (mode == Mode::Secured) checkSequence(rig, failAt);
    checkSlots(run, expected, failAt);
    checkFile(rig.files, session.response.ReceiveBuffer, failAt);
    session = Session{};
    if (HasFailure()) break;
  }
}

TEST_F(AllocationFailure, EveryAllocationOfAnExchangeMayFail) { failEveryAllocation(Mode::Shared); }

TEST_F(AllocationFailure, EveryAllocationMayFailWhenTheRequestWaitsAsACopy) { failEveryAllocation(Mode::Copied); }

TEST_F(AllocationFailure, EveryAllocationMayFailOverTls) { failEveryAllocation(Mode::Secured); }

// Files that keep nothing but their size: the disk's part in a save holds
// no memory of the library's.
struct CountingFiles : fakes::FakeFileSystem {
  WriteResult writeFile(const std::string&, const Pieces& pieces) override {
    WriteResult result;
    for (std::string_view piece; !(piece = pieces()).empty();) result.written += piece.size();
    written = result.written;
    return result;
  }
  std::uint32_t replaceFile(const std::string&, const std::string&) override { return 0; }
  void removeFile(const std::string&) override {}
  std::uint64_t written = 0;
};

// The most memory a command holds beyond what was live when it began.
template <typename Command>
std::size_t peakOf(Command command) {
  injection.peak = injection.live;
  const std::size_t before = injection.live;
  command();
  return injection.peak - before;
}

class PeakMemory : public ::testing::Test {
 protected:
  PeakMemory() : session(PluginSession()) {
    session = Session{};
    session.platform.files = &files;
    session.platform.codePages = &codePages;
  }
  ~PeakMemory() override { session = Session{}; }
  Session& session;
  CountingFiles files;
  fakes::FakeCodePages codePages;
};

// savebin of a 200 MiB body in 1 MiB chunks writes it chunk by chunk.
TEST_F(PeakMemory, SavebinOfALargeChunkedBodyHoldsNoCopyOfIt) {
  session.response.ReceiveBuffer = chunked(200, 1 << 20);
  SetFile("out.bin");
  const std::size_t peak = peakOf(savebin);
  std::printf("savebin of a 200 MiB chunked body: %llu bytes written, peak +%zu bytes\n",
              static_cast<unsigned long long>(files.written), peak);
  EXPECT_EQ(files.written, 200u << 20);
  EXPECT_LT(peak, std::size_t{64} << 10);
}

// utfenk of 50 MB with no byte below 0x40: the result and bounded blocks.
TEST_F(PeakMemory, UtfenkOfALargeTextWithoutSmallBytesHoldsBoundedBlocks) {
  const std::size_t size = 50'000'000;
  SetFile(std::string(size, '\xC6').c_str());
  const std::size_t peak = peakOf(utfenk);
  std::printf("utfenk of 50 MB of 0xC6: %zu bytes of UTF-8, peak +%zu bytes\n",
              session.exchange.ExchangeText.size(), peak);
  EXPECT_EQ(session.exchange.ExchangeText.size(), 2 * size);
  EXPECT_LT(peak, 2 * size + (std::size_t{1} << 20)) << "the result's reservation and a block or two";
}

}  // namespace
}  // namespace tcp
