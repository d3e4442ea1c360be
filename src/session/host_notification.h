#pragma once

#include <cstdint>
#include <string>

#include "session/session.h"

namespace tcp {

// The codes an event leaves in ExchangeValue before the host is clicked.
enum EventCode : std::int32_t {
  kEventConnected = 1,
  kEventDisconnected = 2,
  kEventSocketError = 3,
  kEventDataArrived = 4,
  kEventHostResolved = 5,
  kEventHostNotFound = 6,
};

// The click's lParam: y * 65536 + x in 32-bit wrap-around arithmetic. It is an
// addition, not an or: a negative x borrows from the upper half.
std::intptr_t NotificationPoint(std::int32_t x, std::int32_t y);

// Posts a left-button click at PluginPosition to HostWindow: button-down with
// MK_LBUTTON, then button-up. Carries no data: the host reads the slots.
void HostNotification(Session& session);

// Writes an event's code and text to the exchange slots, then clicks the host.
void ReportEvent(Session& session, EventCode code, std::string text);

}  // namespace tcp
