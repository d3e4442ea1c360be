#include "plugin/host_notification.h"

#include <utility>

namespace tcp {

std::intptr_t NotificationPoint(std::int32_t x, std::int32_t y) {
  const std::uint32_t sum = static_cast<std::uint32_t>(y) * 65536u + static_cast<std::uint32_t>(x);
  return static_cast<std::int32_t>(sum);
}

void HostNotification(LibraryState& state) {
  const ExchangeArea& area = state.exchange;
  const std::intptr_t point = NotificationPoint(area.PluginPosition.x, area.PluginPosition.y);
  constexpr std::uintptr_t kLeftButtonHeld = 1;
  state.platform.windows->postMessage(area.HostWindow, kLeftButtonDown, kLeftButtonHeld, point);
  state.platform.windows->postMessage(area.HostWindow, kLeftButtonUp, 0, point);
}

void ReportEvent(LibraryState& state, EventCode code, std::string text) {
  state.exchange.ExchangeValue = code;
  state.exchange.ExchangeText = std::move(text);
  HostNotification(state);
}

}  // namespace tcp
