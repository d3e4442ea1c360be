#include "fake_tls.h"

#include <algorithm>
#include <optional>

namespace tcp::fakes {
namespace {

constexpr TlsCode kIllegalMessage = 0x80090326;    // SEC_E_ILLEGAL_MESSAGE
constexpr TlsCode kDecryptFailure = 0x80090330;    // SEC_E_DECRYPT_FAILURE
constexpr TlsCode kOutOfSequence = 0x80090310;     // SEC_E_OUT_OF_SEQUENCE
constexpr TlsCode kBadCertificate = 0x8009310B;    // CRYPT_E_ASN1_BADTAG
constexpr TlsCode kWrongPassword = 0x80070056;     // HRESULT of ERROR_INVALID_PASSWORD

struct Framed {
  char type;
  std::span<char> payload;
  std::size_t size;
};

// The first record of input, decoded in place; nothing while incomplete.
std::optional<Framed> takeRecord(std::span<char> input) {
  if (input.size() < kFakeHeaderSize) return std::nullopt;
  const std::size_t length = (std::size_t(std::uint8_t(input[1])) << 16) |
                             (std::size_t(std::uint8_t(input[2])) << 8) | std::uint8_t(input[3]);
  if (input.size() - kFakeHeaderSize < length) return std::nullopt;
  std::span<char> payload = input.subspan(kFakeHeaderSize, length);
  for (char& c : payload) c ^= kFakeKey;
  return Framed{input[0], payload, kFakeHeaderSize + length};
}

std::string_view text(std::span<char> bytes) { return {bytes.data(), bytes.size()}; }

class FakeTlsSession : public TlsSession {
 public:
  FakeTlsSession(FakeTlsSystem& system, std::string serverName)
      : system_(system), serverName_(std::move(serverName)) {}

  TlsHandshakeStep handshake(std::span<char> input) override {
    switch (stage_) {
      case Stage::Renegotiating:
        if (!system_.answersRenegotiation) return {TlsHandshakeStep::Status::Incomplete, "", 0, 0};
        stage_ = Stage::AwaitHello;
        return {TlsHandshakeStep::Status::Continue, fakeRecord('H', "hello " + serverName_), 0, 0};
      case Stage::Start:
        stage_ = Stage::AwaitHello;
        return {TlsHandshakeStep::Status::Continue, fakeRecord('H', "hello " + serverName_), 0, 0};
      case Stage::AwaitHello:
        return expect(input, "server hello", Stage::AwaitFinished);
      case Stage::AwaitFinished:
        return expect(input, "server finished", Stage::Open);
      case Stage::TicketArrived:
        stage_ = Stage::Open;
        return {TlsHandshakeStep::Status::Done, "", 0, 0};
      case Stage::Open:
        break;
    }
    return {TlsHandshakeStep::Status::Failed, "", 0, kOutOfSequence};
  }

  TlsDecryptStep decrypt(std::span<char> input, std::string& plaintext) override {
    if (stage_ != Stage::Open) return {TlsDecryptStep::Status::Failed, 0, kOutOfSequence};
    const auto record = takeRecord(input);
    if (!record) return {TlsDecryptStep::Status::Incomplete, 0, 0};
    switch (record->type) {
      case 'D':
        plaintext.append(text(record->payload));
        return {TlsDecryptStep::Status::Data, record->size, 0};
      case 'A':
        return {TlsDecryptStep::Status::Closed, record->size, 0};
      case 'R':
        stage_ = text(record->payload) == "ticket" ? Stage::TicketArrived : Stage::Renegotiating;
        return {TlsDecryptStep::Status::Renegotiate, record->size, 0};
      default:
        return {TlsDecryptStep::Status::Failed, 0, kDecryptFailure};
    }
  }

  TlsCode encrypt(std::string_view plaintext, std::string& records) override {
    if (stage_ != Stage::Open) return kOutOfSequence;
    for (std::size_t at = 0; at < plaintext.size(); at += system_.maxRecordPayload) {
      const std::string record = fakeRecord('D', plaintext.substr(at, system_.maxRecordPayload));
      ++system_.recordsMade;
      records += record;
    }
    return 0;
  }

  std::string closeNotify() override { return fakeRecord('A', "close_notify"); }

  PeerVerdict verifyPeer(bool checkRevocation, const FetchedObjects& fetched) override {
    ++system_.verifyCalls;
    system_.revocationAsked.push_back(checkRevocation);
    system_.fetchedSeen = fetched;
    PeerVerdict verdict;
    for (const std::string& address : system_.peerWants)
      if (!fetched.count(address)) verdict.wanted.push_back(address);
    if (verdict.wanted.empty()) verdict.code = system_.peerVerdict;
    return verdict;
  }

  std::string connectionInfo() override { return "FAKE"; }

 private:
  enum class Stage { Start, AwaitHello, AwaitFinished, Open, TicketArrived, Renegotiating };

  // The server's next handshake record must carry `wanted`.
  TlsHandshakeStep expect(std::span<char> input, std::string_view wanted, Stage next) {
    const auto record = takeRecord(input);
    if (!record) return {TlsHandshakeStep::Status::Incomplete, "", 0, 0};
    if (record->type != 'H' || text(record->payload) != wanted)
      return {TlsHandshakeStep::Status::Failed, fakeRecord('A', "unexpected_message"), 0, kIllegalMessage};
    stage_ = next;
    if (next == Stage::Open) return {TlsHandshakeStep::Status::Done, "", record->size, 0};
    return {TlsHandshakeStep::Status::Continue, fakeRecord('H', "finished"), record->size, 0};
  }

  FakeTlsSystem& system_;
  std::string serverName_;
  Stage stage_ = Stage::Start;
};

}  // namespace

std::string fakeRecord(char type, std::string_view payload) {
  std::string record{type, char(payload.size() >> 16), char(payload.size() >> 8), char(payload.size())};
  for (char c : payload) record += char(c ^ kFakeKey);
  return record;
}

std::vector<FakeRecord> parseFakeRecords(std::string_view bytes) {
  std::string copy(bytes);
  std::span<char> rest(copy);
  std::vector<FakeRecord> records;
  while (const auto record = takeRecord(rest)) {
    records.push_back({record->type, std::string(text(record->payload))});
    rest = rest.subspan(record->size);
  }
  return records;
}

std::unique_ptr<TlsSession> FakeTlsSystem::open(const std::string& serverName, TlsCode& error) {
  error = openError;
  if (openError) return nullptr;
  serverNames.push_back(serverName);
  return std::make_unique<FakeTlsSession>(*this, serverName);
}

TlsCode FakeTlsSystem::addTrustedRoot(std::string_view certificate) {
  if (certificate.empty()) return kBadCertificate;
  trustedRoots.emplace_back(certificate);
  return 0;
}

TlsCode FakeTlsSystem::useClientCertificate(std::string_view pkcs12, std::string_view password) {
  if (!pkcs12.empty() && pkcs12 != "pkcs12:" + std::string(password)) return kWrongPassword;
  clientCertificate = pkcs12;
  clientPassword = password;
  return 0;
}

}  // namespace tcp::fakes
