#pragma once

#include "fetch_options.h"
#include "session.h"

namespace tcphost {

// tcphost fetch: each URL's exchange through the plug-in. Returns one of the
// FetchStatus values, after one line saying what failed.
int Fetch(Session& session, const FetchOptions& options);

}  // namespace tcphost
