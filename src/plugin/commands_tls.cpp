// The commands for TLS, failure reasons, the timeout, trusted certificates,
// the client certificate and the proxy, as the host calls them: inputs from
// the slots, results back into them.
#include "connection/connection.h"
#include "plugin/entry_barrier.h"

using tcp::PluginSession;
using tcp::Shielded;

extern "C" {

void settls() {
  Shielded([&] {
    tcp::Session& session = PluginSession();
    tcp::SetTls(session, session.exchange.ExchangeValue, session.exchange.ExchangeText.text());
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
    session.exchange.ExchangeValue = tcp::TrustCertificateFile(session, session.exchange.ExchangeText.text());
  });
}

// The text names the PKCS#12 file, the text before it its password; both
// stay as they were, and the value says whether the certificate was taken.
void setcert() {
  Shielded([&] {
    tcp::Session& session = PluginSession();
    session.exchange.ExchangeValue =
        tcp::UseClientCertificateFile(session, session.exchange.ExchangeText.text(), session.exchange.FileHistory[1]);
  });
}

// The text stays as it was; the value says whether the setting was taken, as
// addca's does. Without a client nothing changes at all.
void setproxy() {
  Shielded([&] {
    tcp::Session& session = PluginSession();
    if (!session.client()) return;
    const bool taken = tcp::SetProxy(session, session.exchange.ExchangeText.text());
    session.exchange.ExchangeValue = taken ? 0 : tcp::kInvalidProxySetting;
  });
}

}  // extern "C"
