#include "plugin/plugin_session.h"

namespace tcp {

Session& PluginSession() {
  static Session session;
  return session;
}

}  // namespace tcp
