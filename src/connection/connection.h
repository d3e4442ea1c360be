#pragma once

#include <memory>
#include <string>

#include "plugin/library_state.h"
#include "tcpsocket/tcp_client.h"

// The plug-in's side of the connection: the commands that drive its one
// TcpClient and the handlers of the client's events, which gather the response
// and tell the host of every event with a click.
namespace tcp {

// The form's client: host 127.0.0.1, port 1234, its four events wired to the
// handlers below.
std::unique_ptr<TcpClient> CreateConnectionClient(LibraryState& state);

// The handlers: each writes its code and text to the slots and clicks the host.
void HandleConnected(LibraryState& state);
void HandleDisconnected(LibraryState& state);
void HandleSocketError(LibraryState& state);
// Appends the bytes (none for a count of 0 or less), reads the declared length
// while it is pending, and reports code 4 with the progress in percent of the
// declared length, counting every byte since sendc.
void HandleDataRead(LibraryState& state, const char* bytes, std::int32_t count);

// The first address of a host name as dotted text; empty when it has none or
// the socket layer cannot be started for the lookup.
std::string ResolveHost(SocketSystem& sockets, const std::string& name);

// The commands. Those that need the client do nothing while there is none
// (before the first SetParentWindow and after the form is gone); sethost
// still resolves and reports.
void sethost(LibraryState& state);
void setip(LibraryState& state);
void setport(LibraryState& state);
void kconect(LibraryState& state);
void disconect(LibraryState& state);
void sendc(LibraryState& state);
void recev(LibraryState& state);
void status(LibraryState& state);

}  // namespace tcp
