// The text conversion commands as the host calls them: each re-encodes the
// text slot in place.
#include "plugin/plugin_session.h"
#include "textconv/text_conversions.h"

using tcp::PluginSession;

namespace {

// Replaces the text slot with convert(text slot).
template <typename Conversion>
void convertTextSlot(Conversion convert) {
  tcp::Session& session = PluginSession();
  session.exchange.ExchangeText = convert(session.exchange.ExchangeText, *session.platform.codePages);
}

}  // namespace

extern "C" {

void utfenk() { convertTextSlot(tcp::Utf8FromAnsi); }

void utfdek() { convertTextSlot(tcp::AnsiFromUtf8); }

void oem2ansi() { convertTextSlot(tcp::AnsiFromOem); }

void ansi2oem() { convertTextSlot(tcp::OemFromAnsi); }

}  // extern "C"
