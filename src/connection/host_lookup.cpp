#include "connection/connection.h"
#include "session/host_notification.h"
#include "tcpsocket/ipv6_literal.h"

namespace tcp {

SocketResult<std::string> ResolveHost(SocketSystem& sockets, const std::string& name) {
  if (const int error = sockets.startup()) return {{}, error};
  SocketResult<std::string> found = sockets.lookUpHost(name);
  sockets.cleanup();
  if (found.value.empty() && found.error == 0) found.error = kHostNotFound;
  return found;
}

namespace {

// Code 5 with the address, which becomes the client's host, or code 6 with
// the lookup's error as the last failure. A name that does not resolve here
// is still the one a proxy is asked for.
void ReportLookup(Session& session, TcpClient& client, const std::string& name, const SocketResult<std::string>& found) {
  if (found.error != 0) {
    client.setUnresolvedName(name);
    session.lastFailure = found.error;
    ReportEvent(session, kEventHostNotFound, "no ip");
    return;
  }
  client.setHost(found.value, name);
  ReportEvent(session, kEventHostResolved, found.value);
}

// The answer of the latest lookup: reported as a lookup on the host's thread
// would have been (the first address), then the kconect that waited for it
// goes ahead, racing every address the name has. Without an address it fails
// as a connect would, unless a proxy will look the name up itself.
void FinishLookup(Session& session, std::uint32_t generation, const std::string& name,
                  SocketResult<std::vector<std::string>> all) {
  HostLookup& lookup = session.lookup;
  if (!lookup.running || lookup.generation != generation) return;
  lookup.running = false;
  const bool connect = lookup.connectWhenDone;
  lookup.connectWhenDone = false;
  TcpClient* client = session.client();
  if (!client) return;
  SocketResult<std::string> found{all.value.empty() ? std::string() : all.value.front(), all.error};
  if (found.value.empty() && found.error == 0) found.error = kHostNotFound;
  ReportLookup(session, *client, name, found);
  if (found.error == 0) client->setHostAddresses(std::move(all.value));
  if (!connect || session.client() != client) return;
  if (found.error != 0 && !client->proxied()) return HandleSocketError(session, found.error);
  Connect(session);
}

// Queued mode: the lookup runs away from the host's thread and sethost
// returns at once. An IPv6 address needs no lookup, and a lookup that cannot
// even start is answered at once.
void StartLookup(Session& session, TcpClient& client, const std::string& name) {
  HostLookup& lookup = session.lookup;
  const std::uint32_t generation = ++lookup.generation;
  lookup.running = true;
  lookup.connectWhenDone = false;
  if (ParseIpv6(name)) return FinishLookup(session, generation, name, {{std::string(WithoutBrackets(name))}, 0});
  const int error = session.platform.sockets->startLookupAll(
      name, client.timeout(), [&session, generation, name](SocketResult<std::vector<std::string>> found) {
        FinishLookup(session, generation, name, std::move(found));
      });
  if (error != 0) FinishLookup(session, generation, name, {{}, error});
}

// A host set by address, or a newer lookup, leaves an older lookup's answer
// unused.
void ForgetLookup(Session& session) {
  session.lookup.running = false;
  session.lookup.connectWhenDone = false;
  ++session.lookup.generation;
}

}  // namespace

// Without a client there is no host to set and no window to click: like the
// other connection commands, it then does nothing at all. Like a connect, a
// lookup starts with no failure on record.
void SetHostByName(Session& session, const std::string& name) {
  TcpClient* client = session.client();
  if (!client) return;
  session.lastFailure = 0;
  if (session.conversation.queued) return StartLookup(session, *client, name);
  ForgetLookup(session);
  ReportLookup(session, *client, name, ResolveHost(*session.platform.sockets, name));
}

void SetHostAddress(Session& session, const std::string& address) {
  TcpClient* client = session.client();
  if (!client) return;
  ForgetLookup(session);
  client->setHost(address);
}

bool ConnectWaitsForLookup(Session& session) {
  if (!session.lookup.running) return false;
  session.lookup.connectWhenDone = true;
  return true;
}

}  // namespace tcp
