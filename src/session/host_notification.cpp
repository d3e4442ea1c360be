#include "session/host_notification.h"

#include <utility>

namespace tcp {

std::intptr_t NotificationPoint(std::int32_t x, std::int32_t y) {
  const std::uint32_t sum = static_cast<std::uint32_t>(y) * 65536u + static_cast<std::uint32_t>(x);
  return static_cast<std::int32_t>(sum);
}

void HostNotification(Session& session) {
  const ExchangeArea& area = session.exchange;
  const std::intptr_t point = NotificationPoint(area.PluginPosition.x, area.PluginPosition.y);
  constexpr std::uintptr_t kLeftButtonHeld = 1;
  session.platform.windows->postMessage(area.HostWindow, kLeftButtonDown, kLeftButtonHeld, point);
  session.platform.windows->postMessage(area.HostWindow, kLeftButtonUp, 0, point);
}

void ReportEvent(Session& session, EventCode code, std::string text) {
  if (session.conversation.queued) {
    session.conversation.events.push(code, std::move(text), false);
  } else {
    session.exchange.ExchangeValue = code;
    session.exchange.ExchangeText = std::move(text);
  }
  HostNotification(session);
}

void ReportProgress(Session& session, std::string text) {
  if (session.conversation.events.push(kEventDataArrived, std::move(text), true)) HostNotification(session);
}

}  // namespace tcp
