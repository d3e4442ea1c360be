#pragma once

#include "session/session.h"

namespace tcp {

// The one session of this loaded copy of the library, which every entry point
// works on. Created at first use (library load) and released at unload.
Session& PluginSession();

}  // namespace tcp
