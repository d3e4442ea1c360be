// The TLS channel over a security layer that takes every answer from the
// fuzz input: how much it consumes, what it sends, what it decrypts, when it
// fails or runs out of memory. Every call of the channel ends within its
// step bound; the layer always sees exactly the unconsumed rest of the
// stream; no more than the bound waits undecoded; the plaintext handed up is
// exactly what was decrypted; the host's text reaches encrypt in order and
// once.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <set>
#include <string>

#include "tcpsocket/tls_channel.h"

namespace {

using tcp::TlsChannel;

// What the channel should hold, as the layer's answers say.
struct Model {
  std::string stream;     // every byte received while the channel took them
  std::size_t consumed = 0;
  std::string decrypted;  // what the layer appended as plaintext
  std::string encrypted;  // what the layer was given to encrypt
  long steps = 0;         // layer calls in the current channel call
};

void check(bool ok) {
  if (!ok) std::abort();
}

class ScriptedSession : public tcp::TlsSession {
 public:
  ScriptedSession(FuzzedDataProvider& script, Model& model) : script_(script), model_(model) {}

  // Once the script is spent the layer is at its worst: it answers
  // "continue" with output for ever, taking nothing.
  tcp::TlsHandshakeStep handshake(std::span<char> input) override {
    seeRest(input);
    tcp::TlsHandshakeStep step;
    if (script_.remaining_bytes() == 0) {
      step.status = tcp::TlsHandshakeStep::Status::Continue;
      step.toSend = "again";
      return step;
    }
    step.status = static_cast<tcp::TlsHandshakeStep::Status>(script_.ConsumeIntegralInRange(0, 3));
    step.consumed = take(input.size());
    step.toSend = script_.ConsumeRandomLengthString(64);
    step.error = script_.ConsumeIntegral<std::uint8_t>();
    return step;
  }

  tcp::TlsDecryptStep decrypt(std::span<char> input, std::string& plaintext) override {
    seeRest(input);
    if (script_.ConsumeIntegralInRange(0, 15) == 0) throw std::bad_alloc();
    tcp::TlsDecryptStep step;
    step.status = static_cast<tcp::TlsDecryptStep::Status>(script_.ConsumeIntegralInRange(0, 4));
    step.error = script_.ConsumeIntegral<std::uint8_t>();
    if (step.status == tcp::TlsDecryptStep::Status::Closed) {
      step.consumed = input.size();
      model_.consumed = model_.stream.size();
      return step;
    }
    step.consumed = take(input.size());
    if (step.status == tcp::TlsDecryptStep::Status::Data) {
      const std::string data = script_.ConsumeRandomLengthString(64);
      plaintext += data;
      model_.decrypted += data;
    }
    return step;
  }

  // Records made before a failure stay in records, as the platform's do.
  tcp::TlsCode encrypt(std::string_view plaintext, std::string& records) override {
    ++model_.steps;
    records += script_.ConsumeRandomLengthString(16);
    switch (script_.ConsumeIntegralInRange(0, 7)) {
      case 0: throw std::bad_alloc();
      case 1: return 0x80090321;
      default: break;
    }
    model_.encrypted += plaintext;
    return 0;
  }

  std::string closeNotify() override { return script_.ConsumeRandomLengthString(8); }
  // It may ask for addresses, some of them again, some it was given.
  tcp::PeerVerdict verifyPeer(bool, const tcp::FetchedObjects&) override {
    ++model_.steps;
    tcp::PeerVerdict verdict;
    for (int wanted = script_.ConsumeIntegralInRange(0, 3); wanted > 0; --wanted)
      verdict.wanted.push_back("http://issuer.test/" + std::to_string(script_.ConsumeIntegralInRange(0, 11)));
    if (verdict.wanted.empty()) verdict.code = script_.ConsumeBool() ? 0 : 0x800B0109;
    return verdict;
  }
  std::string connectionInfo() override { return "scripted"; }

 private:
  void seeRest(std::span<char> input) {
    ++model_.steps;
    check(std::string_view(input.data(), input.size()) == std::string_view(model_.stream).substr(model_.consumed));
  }
  // The layer may claim more than it was given; the channel takes no more.
  std::size_t take(std::size_t available) {
    const std::size_t claimed = script_.ConsumeIntegralInRange<std::size_t>(0, available + 2);
    model_.consumed += std::min(claimed, available);
    return claimed;
  }

  FuzzedDataProvider& script_;
  Model& model_;
};

class ScriptedSystem : public tcp::TlsSystem {
 public:
  ScriptedSystem(FuzzedDataProvider& script, Model& model) : script_(script), model_(model) {}
  std::unique_ptr<tcp::TlsSession> open(const std::string&, tcp::TlsCode& error) override {
    if (script_.ConsumeIntegralInRange(0, 31) == 0) {
      error = 0x80090305;
      return nullptr;
    }
    return std::make_unique<ScriptedSession>(script_, model_);
  }
  tcp::TlsCode addTrustedRoot(std::string_view) override { return 0; }
  tcp::TlsCode useClientCertificate(std::string_view, std::string_view) override { return 0; }

 private:
  FuzzedDataProvider& script_;
  Model& model_;
};

bool taking(TlsChannel::State state) {
  return state == TlsChannel::State::Handshaking || state == TlsChannel::State::Verifying ||
         state == TlsChannel::State::Open || state == TlsChannel::State::Renegotiating;
}

// Between two steps that consume a byte the channel takes at most
// kMaxStepsWithoutInput others, and a finished handshake may encrypt once.
void checkSteps(const Model& model, std::size_t pendingBefore) {
  const long bound = 2 * static_cast<long>((pendingBefore + 1) * (TlsChannel::kMaxStepsWithoutInput + 2)) + 2;
  check(model.steps <= bound);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider script(data, size);
  Model model;
  ScriptedSystem system(script, model);
  TlsChannel channel(system, "server", script.ConsumeBool());
  tcp::LayerOutput out;
  std::string hostText;
  std::size_t answered = 0;  // out.toFetch's first addresses have their answer
  channel.start(out);
  while (script.remaining_bytes() > 0) {
    model.steps = 0;
    const std::size_t pendingBefore = model.stream.size() - model.consumed;
    switch (script.ConsumeIntegralInRange(0, 6)) {
      case 0:
      case 1: {
        const std::string bytes = script.ConsumeBool() ? script.ConsumeRandomLengthString(512)
                                                       : std::string(script.ConsumeIntegral<std::uint16_t>() * 8u, 'c');
        const bool took = taking(channel.state());
        if (took) model.stream += bytes;
        channel.receive(bytes, out);
        checkSteps(model, pendingBefore + bytes.size());
        if (took && taking(channel.state())) {
          // The consumed front goes after each receive.
          model.stream.erase(0, model.consumed);
          model.consumed = 0;
          check(model.stream.size() <= TlsChannel::kMaxPendingBytes);
        }
        break;
      }
      case 2: {
        const std::string text = script.ConsumeRandomLengthString(128);
        if (channel.state() != TlsChannel::State::Closed && channel.state() != TlsChannel::State::Failed)
          hostText += text;
        channel.send(text, out);
        checkSteps(model, 0);
        break;
      }
      case 3: channel.endOfStream(out); break;
      case 4: channel.close(out); break;
      case 5:
        // The answer to one address the check asked for, in any order.
        if (answered < out.toFetch.size()) {
          const std::size_t at = answered + script.ConsumeIntegralInRange<std::size_t>(0, out.toFetch.size() - answered - 1);
          std::swap(out.toFetch[answered], out.toFetch[at]);
          channel.fetched(out.toFetch[answered++], script.ConsumeRandomLengthString(32), out);
          checkSteps(model, pendingBefore + 16);
        }
        break;
      default: break;
    }
    // The check asks for each address once, and for no more than it may.
    check(out.toFetch.size() <= TlsChannel::kMaxFetches);
    check(std::set<std::string>(out.toFetch.begin(), out.toFetch.end()).size() == out.toFetch.size());
    if (!taking(channel.state())) {
      model.stream.clear();
      model.consumed = 0;
    }
    check(out.delivered == model.decrypted);
    check(std::string_view(hostText).substr(0, model.encrypted.size()) == model.encrypted);
    if (channel.state() == TlsChannel::State::Open) check(model.encrypted == hostText);
    check((channel.state() == TlsChannel::State::Failed) == (channel.error() != 0));
  }
  return 0;
}
