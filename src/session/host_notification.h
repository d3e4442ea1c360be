#pragma once

#include <cstdint>
#include <string>

#include "session/session.h"

namespace tcp {

// The codes of the events the host is told of, with a click.
enum EventCode : std::int32_t {
  kEventConnected = 1,
  kEventDisconnected = 2,
  kEventSocketError = 3,
  kEventDataArrived = 4,
  kEventHostResolved = 5,
  kEventHostNotFound = 6,
  // Queued mode only: the response's framing says its last byte has arrived.
  kEventResponseComplete = 7,
};

// The click's lParam: y * 65536 + x in 32-bit wrap-around arithmetic. It is an
// addition, not an or: a negative x borrows from the upper half.
std::intptr_t NotificationPoint(std::int32_t x, std::int32_t y);

// Posts a left-button click at PluginPosition to HostWindow: button-down with
// MK_LBUTTON, then button-up. Carries no data: the host reads the slots.
void HostNotification(Session& session);

// Tells the host of an event and clicks it: in queued mode the event joins
// the queue, else its code and text are written to the exchange slots.
void ReportEvent(Session& session, EventCode code, std::string text);

// Queued mode: a progress event, which an unread progress event at the
// queue's tail absorbs without a click of its own.
void ReportProgress(Session& session, std::string text);

}  // namespace tcp
