// The commands for TLS, failure reasons, the timeout and trusted
// certificates, as the host calls them: inputs from the slots, results back
// into them.
#include "connection/connection.h"
#include "plugin/entry_barrier.h"

using tcp::PluginSession;
using tcp::Shielded;

extern "C" {

void settls() {
  Shielded([&] {
    tcp::Session& session = PluginSession();
    tcp::SetTls(session, session.exchange.ExchangeValue, session.exchange.ExchangeText);
  });
}

void lasterror() {
  Shielded([&] {
    tcp::Session& session = PluginSession();
    session.exchange.ExchangeText = tcp::FailureName(session.lastFailure);
    session.exchange.ExchangeValue = session.lastFailure;
  });
}

void settimeout() {
  Shielded([&] { tcp::SetTimeout(PluginSession(), PluginSession().exchange.ExchangeValue); });
}

// The text stays as it was: it still names the file.
void addca() {
  Shielded([&] {
    tcp::Session& session = PluginSession();
    session.exchange.ExchangeValue = tcp::TrustCertificateFile(session, session.exchange.ExchangeText);
  });
}

}  // extern "C"
