#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "session/session.h"

// The plug-in's side of the connection: the commands that drive its one
// TcpClient and the handlers of the client's events, which gather the response
// and tell the host of every event with a click. Commands that need the
// client do nothing while there is none (before the first SetParentWindow and
// after the form is gone).
namespace tcp {

// The form's client: host 127.0.0.1, port 1234, its four events wired to the
// handlers below.
std::unique_ptr<TcpClient> CreateConnectionClient(Session& session);

// The handlers: each writes its code and text to the slots and clicks the host.
void HandleConnected(Session& session);
void HandleDisconnected(Session& session);
void HandleSocketError(Session& session);
// Appends the bytes (none for a count of 0 or less), reads the declared length
// while it is pending, and reports code 4 with the progress in percent of the
// declared length, counting every byte since the request.
void HandleDataRead(Session& session, const char* bytes, std::int32_t count);

// The first address of a host name as dotted text; empty when it has none or
// the socket layer cannot be started for the lookup.
std::string ResolveHost(SocketSystem& sockets, const std::string& name);

// Resolves name and reports code 5 with the address, which becomes the
// client's host, or code 6 "no ip".
void SetHostByName(Session& session, const std::string& name);
// The client's host becomes address, unchecked.
void SetHostAddress(Session& session, const std::string& address);
// The client's port becomes the value's low 16 bits.
void SetPort(Session& session, std::int32_t value);
void Connect(Session& session);
void Disconnect(Session& session);
// Opens a new response and sends request, whatever the connection's state.
void SendRequest(Session& session, std::string_view request);
// "host H Port P online|ofline bufer N"; nothing without a client.
std::optional<std::string> StatusText(Session& session);

}  // namespace tcp
