// The commands of queued events and of the response's own values, as the
// host calls them: inputs from the slots, results back into them.
#include <string>

#include "http/header_fields.h"
#include "plugin/entry_barrier.h"

using tcp::PluginSession;
using tcp::Shielded;

namespace {

tcp::ExchangeArea& slots() { return PluginSession().exchange; }
const tcp::ReceivedResponse& response() { return PluginSession().response; }

// The final response's header block; empty until it is complete.
std::string_view finalHeaderBlock() {
  const tcp::ResponseFraming& framing = response().Framing;
  return std::string_view(response().ReceiveBuffer).substr(framing.headerStart(), framing.headerLength());
}

std::int32_t stageValue(tcp::ResponseFraming::Stage stage) {
  switch (stage) {
    case tcp::ResponseFraming::Stage::Header: return 0;
    case tcp::ResponseFraming::Stage::Body: return 1;
    case tcp::ResponseFraming::Stage::Complete: return 2;
    case tcp::ResponseFraming::Stage::Cut:
    case tcp::ResponseFraming::Stage::Invalid: break;
  }
  return 3;
}

void setEvents(std::int32_t mode) {
  tcp::Conversation& conversation = PluginSession().conversation;
  if (mode != 0 && mode != 1) return;
  conversation.queued = mode == 1;
  if (!conversation.queued) conversation.events.clear();
}

void takeNextEvent() {
  std::optional<tcp::QueuedEvent> event = PluginSession().conversation.events.pop();
  slots().ExchangeValue = event ? event->code : 0;
  slots().ExchangeText = event ? std::move(event->text) : std::string();
}

void readStatus() {
  const std::optional<tcp::StatusLine> status = tcp::ParseStatusLine(tcp::FirstLine(finalHeaderBlock()));
  slots().ExchangeValue = response().Framing.status();
  slots().ExchangeText = status ? std::string(status->reason) : std::string();
}

void readFieldValue() {
  const tcp::CombinedField field = tcp::CombineFieldValues(finalHeaderBlock(), slots().ExchangeText.text());
  slots().ExchangeValue = field.count;
  slots().ExchangeText.assign(field.value);
}

void readSize() {
  slots().ExchangeValue = stageValue(response().Framing.stage());
  slots().ExchangeText = std::to_string(response().Framing.bodyBytes());
}

}  // namespace

extern "C" {

void setevents() {
  Shielded([] { setEvents(slots().ExchangeValue); });
}

void nextevent() { Shielded(takeNextEvent); }

void getstatus() { Shielded(readStatus); }

void getvalue() { Shielded(readFieldValue); }

void getsize() { Shielded(readSize); }

}  // extern "C"
