#include <algorithm>
#include <new>

#include "tcpsocket/tcp_client.h"

namespace tcp {
namespace {

// How long one step of a fetch (the lookup, the connect, a silence while
// reading) may take when no timeout is set; with one, the connect timer
// bounds the whole check as well.
constexpr std::uint32_t kFetchStepMs = 10000;

}  // namespace

std::uint32_t TcpClient::fetchTimeout() const {
  return timeoutMs_ != 0 ? std::min(timeoutMs_, kFetchStepMs) : kFetchStepMs;
}

void TcpClient::startFetches(const std::vector<std::string>& addresses) {
  for (const std::string& address : addresses) {
    const auto fetch = std::make_shared<UrlFetch>(sockets_, window_, address, fetchTimeout());
    fetches_.push_back(fetch);
    const std::string name = fetch->start();
    if (!name.empty()) lookUpForFetch(fetch, name);
  }
  collectFetches();
}

// The lookup's answer comes from the message loop, maybe after the fetch
// (or the whole connection) is gone: it then reaches no one.
void TcpClient::lookUpForFetch(const std::shared_ptr<UrlFetch>& fetch, const std::string& name) {
  const std::weak_ptr<UrlFetch> weak = fetch;
  const int error = sockets_.startLookup(name, fetch->timeoutMs(), [this, weak](SocketResult<std::string> found) {
    const std::shared_ptr<UrlFetch> held = weak.lock();
    if (!held || destroying_) return;
    const Generation generation = generation_;
    try {
      held->lookedUp(found);
      collectFetches();
    } catch (const std::bad_alloc&) {
      failForMemory(generation);
    }
  });
  if (error != 0) fetch->lookedUp({{}, error});
}

void TcpClient::onFetchEvent(SocketHandle socket, SocketEvent event, int error) {
  const auto fetch = std::find_if(fetches_.begin(), fetches_.end(),
                                  [socket](const std::shared_ptr<UrlFetch>& f) { return f->owns(socket); });
  if (fetch == fetches_.end()) return;
  (*fetch)->onSocketEvent(event, error);
  collectFetches();
}

void TcpClient::collectFetches() {
  const Generation generation = generation_;
  for (;;) {
    const auto ended = std::find_if(fetches_.begin(), fetches_.end(),
                                    [](const std::shared_ptr<UrlFetch>& f) { return f->done(); });
    if (ended == fetches_.end() || !machine_.layered()) return;
    const std::shared_ptr<UrlFetch> fetch = *ended;
    fetches_.erase(ended);
    run(machine_.fetched(fetch->address(), fetch->takeBody()));
    if (!isCurrent(generation)) return;
  }
}

}  // namespace tcp
