#pragma once

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>

#include "fetch_options.h"
#include "session.h"
#include "url.h"

namespace tcphost {

// The plug-in's one connection as tcphost fetch drives it: each step's
// event awaited with a limit on silence, and a live connection kept for the
// next request to the same server.
class FetchLink {
 public:
  FetchLink(Session& session, const FetchOptions& options);

  // Connected to url's server: a live connection to it is kept, any other is
  // closed first. reused tells which. False after one line saying why not.
  bool reach(const Url& url, bool& reused);
  void close();

  // Pumps messages until an event with one of the codes arrives; nothing
  // when no event at all came for the timeout. idle runs between events.
  std::optional<Notification> await(std::initializer_list<std::int32_t> codes, const std::function<void()>& idle);

  // Runs a command after setting the text slot; gives the text it leaves.
  std::string slotAfter(const char* command, const std::string& text = {});
  // ": REASON" when the library can name the last failure (lasterror).
  std::string reason();
  // Queued events: code 7 ends each response and the connection is kept.
  bool queued() const { return session_.host().readsQueuedEvents(); }
  PluginLibrary& plugin() { return plugin_; }
  std::string where() const;
  // Prints one line on standard error (after wiping the progress bar).
  std::function<void(const std::string&)> sayLine;

 private:
  bool chooseProxy(const Url& url);
  bool startTls(const Url& url);
  bool offerCertificate();
  bool resolve(const Url& url);
  bool connect(const Url& url);
  bool live(const Url& url);
  bool proxied_ = false;
  // The next notification not acted on yet, noted (a close or a failure ends
  // the kept connection) and shown with -v.
  const Notification& take();

  Session& session_;
  PluginLibrary& plugin_;
  const FetchOptions& options_;
  std::optional<Url> endpoint_;  // where the connection goes while it is up
  std::size_t seen_ = 0;         // notifications already acted on
};

}  // namespace tcphost
