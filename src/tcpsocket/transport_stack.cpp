#include "tcpsocket/transport_stack.h"

#include <utility>

namespace tcp {
namespace {

void Append(std::string& to, std::string&& bytes) {
  if (to.empty())
    to = std::move(bytes);
  else
    to.append(bytes);
}

}  // namespace

void TransportStack::start(LayerOutput& out) {
  if (started_ == 0 && !layers_.empty()) startLayer(0, out);
  dropTransparent();
}

void TransportStack::receive(std::string_view bytes, LayerOutput& out) {
  if (started_ == 0) return;
  LayerOutput step;
  layers_.front()->receive(bytes, step);
  carry(0, step, out);
  dropTransparent();
}

void TransportStack::send(std::string_view bytes, LayerOutput& out) {
  if (layers_.empty()) return;
  LayerOutput step;
  layers_.back()->send(bytes, step);
  carry(layers_.size() - 1, step, out);
}

void TransportStack::endOfStream(LayerOutput& out) {
  for (std::size_t at = 0; at < started_; ++at) {
    LayerOutput step;
    layers_[at]->endOfStream(step);
    carry(at, step, out);
  }
}

// From the top down: a layer's last words go out through those below it.
void TransportStack::close(LayerOutput& out) {
  for (std::size_t at = layers_.size(); at-- > 0;) {
    LayerOutput step;
    layers_[at]->close(step);
    sendDown(at, std::move(step.toSend), out);
  }
}

void TransportStack::fetched(const std::string& address, std::string bytes, LayerOutput& out) {
  for (std::size_t at = 0; at < started_; ++at) {
    LayerOutput step;
    layers_[at]->fetched(address, at + 1 == started_ ? std::move(bytes) : bytes, step);
    carry(at, step, out);
  }
}

std::optional<TransportLayer::Kind> TransportStack::opening() const {
  if (started_ == 0 || opened_ == layers_.size()) return std::nullopt;
  return layers_[opened_]->kind();
}

std::int32_t TransportStack::failure() const {
  for (const auto& layer : layers_)
    if (const std::int32_t code = layer->failure()) return code;
  return 0;
}

bool TransportStack::ended() const {
  for (const auto& layer : layers_)
    if (layer->ended()) return true;
  return false;
}

void TransportStack::carry(std::size_t at, LayerOutput& step, LayerOutput& out) {
  sendDown(at, std::move(step.toSend), out);
  for (std::string& address : step.toFetch) out.toFetch.push_back(std::move(address));
  const bool top = at + 1 == layers_.size();
  if (step.opened) {
    opened_ = at + 1;
    if (top)
      out.opened = true;
    else
      startLayer(at + 1, out);
  }
  if (step.delivered.empty()) return;
  if (top) return Append(out.delivered, std::move(step.delivered));
  if (at + 1 >= started_) return;
  LayerOutput above;
  layers_[at + 1]->receive(step.delivered, above);
  carry(at + 1, above, out);
}

void TransportStack::sendDown(std::size_t at, std::string&& bytes, LayerOutput& out) {
  for (std::size_t below = at; below-- > 0 && !bytes.empty();) {
    LayerOutput step;
    layers_[below]->send(bytes, step);
    bytes = std::move(step.toSend);
  }
  if (!bytes.empty()) Append(out.toSend, std::move(bytes));
}

void TransportStack::startLayer(std::size_t at, LayerOutput& out) {
  started_ = at + 1;
  LayerOutput step;
  layers_[at]->start(step);
  carry(at, step, out);
}

void TransportStack::dropTransparent() {
  for (std::size_t at = 0; at < opened_;) {
    if (!layers_[at]->transparentWhenOpen()) {
      ++at;
      continue;
    }
    layers_.erase(layers_.begin() + static_cast<std::ptrdiff_t>(at));
    --opened_;
    --started_;
  }
}

}  // namespace tcp
