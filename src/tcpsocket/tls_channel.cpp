#include "tcpsocket/tls_channel.h"

#include <algorithm>
#include <new>
#include <utility>

namespace tcp {

TlsChannel::TlsChannel(TlsSystem& system, std::string serverName, bool verify, bool revocation)
    : system_(system), serverName_(std::move(serverName)), verify_(verify), revocation_(revocation) {}

template <typename Work>
void TlsChannel::guarded(Work&& work) {
  try {
    work();
  } catch (const std::bad_alloc&) {
    fail(kTlsOutOfMemory);
  }
}

void TlsChannel::start(LayerOutput& out) {
  if (state_ != State::Idle) return;
  guarded([&] {
    TlsCode code = 0;
    session_ = system_.open(serverName_, code);
    if (!session_) return fail(code ? code : kTlsIllegalMessage);
    state_ = State::Handshaking;
    process(out);
  });
}

void TlsChannel::receive(std::string_view ciphertext, LayerOutput& out) {
  if (state_ == State::Idle || state_ == State::Closed || state_ == State::Failed) return;
  guarded([&] {
    received_.append(ciphertext);
    process(out);
  });
  if (offset_ == received_.size()) {
    received_.clear();
  } else if (offset_ > 0) {
    received_.erase(0, offset_);
  }
  offset_ = 0;
  // A peer that never completes a record must not make us hold its bytes forever.
  if (received_.size() > kMaxPendingBytes) fail(kTlsIllegalMessage);
}

void TlsChannel::endOfStream(LayerOutput&) {
  switch (state_) {
    case State::Idle:
    case State::Handshaking:
    case State::Verifying:
      // A peer that does not speak TLS (plain HTTP answering the ClientHello)
      // ends here: its bytes never made a whole handshake message.
      fail(kTlsIncompleteMessage);
      break;
    case State::Open:
    case State::Renegotiating:
      state_ = State::Closed;
      received_.clear();
      offset_ = 0;
      break;
    case State::Closed:
    case State::Failed:
      break;
  }
}

void TlsChannel::send(std::string_view plaintext, LayerOutput& out) {
  switch (state_) {
    case State::Open:
      // Records made before a failure still go out, so the peer's sequence
      // stays in step with ours up to the end.
      guarded([&] {
        if (const TlsCode code = session_->encrypt(plaintext, out.toSend)) fail(code);
      });
      break;
    case State::Idle:
    case State::Handshaking:
    case State::Verifying:
    case State::Renegotiating:
      guarded([&] { heldPlaintext_.append(plaintext); });
      break;
    case State::Closed:
    case State::Failed:
      break;
  }
}

void TlsChannel::close(LayerOutput& out) {
  if (state_ == State::Open || state_ == State::Renegotiating) out.toSend += session_->closeNotify();
  if (state_ != State::Failed) state_ = State::Closed;
  received_.clear();
  offset_ = 0;
  heldPlaintext_.clear();
}

std::string TlsChannel::connectionInfo() const { return session_ ? session_->connectionInfo() : std::string(); }

// Every step that takes input brings the end of it nearer; the others are
// counted, so that no answer of the layer makes a call run forever.
void TlsChannel::process(LayerOutput& out) {
  int stepsWithoutInput = 0;
  for (;;) {
    const std::size_t before = offset_;
    bool goOn = false;
    if (state_ == State::Handshaking || state_ == State::Renegotiating) {
      goOn = handshakeStep(out);
    } else if (state_ == State::Open) {
      goOn = decryptStep(out);
    }
    if (!goOn) return;
    stepsWithoutInput = offset_ == before ? stepsWithoutInput + 1 : 0;
    if (stepsWithoutInput > kMaxStepsWithoutInput) return fail(kTlsStalled);
  }
}

bool TlsChannel::handshakeStep(LayerOutput& out) {
  const bool firstAnswer = std::exchange(renegotiationAsked_, false);
  const bool withoutInput = pending().empty();
  TlsHandshakeStep step = session_->handshake(pending());
  out.toSend += step.toSend;
  consume(step.consumed);
  switch (step.status) {
    case TlsHandshakeStep::Status::Continue:
      // A step that neither consumed nor answered waits for more bytes.
      return (step.consumed > 0 || !step.toSend.empty()) && !pending().empty();
    case TlsHandshakeStep::Status::Incomplete:
      // Asked for a new handshake with every byte taken, a layer that waits
      // for more would wait for ever: the peer waits for our ClientHello.
      if (firstAnswer && withoutInput && step.toSend.empty()) fail(kRenegotiationUnsupported);
      return false;
    case TlsHandshakeStep::Status::Done:
      finishHandshake(out);
      return true;
    case TlsHandshakeStep::Status::Failed:
      fail(step.error ? step.error : kTlsIllegalMessage);
      return false;
  }
  return false;
}

// The first handshake opens the channel once the check (when asked) says
// so; a renegotiation's simply resumes it.
void TlsChannel::finishHandshake(LayerOutput& out) {
  if (state_ != State::Handshaking) return open(out);
  if (!verify_) {
    out.opened = true;
    return open(out);
  }
  state_ = State::Verifying;
  verify(out);
}

// Addresses asked for again, or beyond kMaxFetches, are answered at once as
// failed fetches; the others go to the caller, and the check waits for them.
void TlsChannel::verify(LayerOutput& out) {
  for (;;) {
    const PeerVerdict verdict = session_->verifyPeer(revocation_, fetched_);
    if (verdict.wanted.empty()) {
      if (verdict.code != 0) return fail(verdict.code);
      out.opened = true;
      return open(out);
    }
    bool answeredHere = false;
    for (const std::string& address : verdict.wanted) {
      if (fetched_.count(address) || awaited_.count(address)) continue;
      if (fetched_.size() + awaited_.size() >= kMaxFetches) {
        fetched_.emplace(address, std::string());
        answeredHere = true;
        continue;
      }
      out.toFetch.push_back(address);
      awaited_.insert(address);
    }
    if (!awaited_.empty()) return;
    // Nothing new was asked for: a check that asks again for what it was
    // given would never end.
    if (!answeredHere) return fail(kTlsIllegalMessage);
  }
}

void TlsChannel::fetched(const std::string& address, std::string bytes, LayerOutput& out) {
  if (state_ != State::Verifying || awaited_.erase(address) == 0) return;
  guarded([&] {
    fetched_.emplace(address, std::move(bytes));
    if (awaited_.empty()) verify(out);
    // Records that came while the check waited are taken apart now.
    if (state_ == State::Open) process(out);
  });
}

void TlsChannel::open(LayerOutput& out) {
  state_ = State::Open;
  fetched_.clear();
  if (!heldPlaintext_.empty()) {
    const std::string held = std::exchange(heldPlaintext_, std::string());
    send(held, out);
  }
}

bool TlsChannel::decryptStep(LayerOutput& out) {
  if (pending().empty()) return false;
  const TlsDecryptStep step = session_->decrypt(pending(), out.delivered);
  consume(step.consumed);
  switch (step.status) {
    case TlsDecryptStep::Status::Data:
      return step.consumed > 0;
    case TlsDecryptStep::Status::Incomplete:
      return false;
    case TlsDecryptStep::Status::Closed:
      state_ = State::Closed;
      offset_ = received_.size();
      return false;
    case TlsDecryptStep::Status::Renegotiate:
      // The rest of the input goes to the handshake, even when it is empty:
      // the session may have something to answer already.
      state_ = State::Renegotiating;
      renegotiationAsked_ = true;
      return true;
    case TlsDecryptStep::Status::Failed:
      fail(step.error ? step.error : kTlsIllegalMessage);
      return false;
  }
  return false;
}

void TlsChannel::consume(std::size_t count) { offset_ += std::min(count, received_.size() - offset_); }

void TlsChannel::fail(TlsCode code) {
  state_ = State::Failed;
  error_ = code;
  received_.clear();
  offset_ = 0;
  heldPlaintext_.clear();
  fetched_.clear();
  awaited_.clear();
}

std::span<char> TlsChannel::pending() { return std::span<char>(received_).subspan(offset_); }

}  // namespace tcp
