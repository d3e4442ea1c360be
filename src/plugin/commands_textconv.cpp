// The text conversion commands as the host calls them: each re-encodes the
// text slot in place.
#include "plugin/entry_barrier.h"
#include "textconv/text_conversions.h"

using tcp::PluginSession;
using tcp::Shielded;

namespace {

// Replaces the text slot with convert(text slot).
template <typename Conversion>
void convertTextSlot(Conversion convert) {
  tcp::Session& session = PluginSession();
  session.exchange.ExchangeText = convert(session.exchange.ExchangeText, *session.platform.codePages);
}

}  // namespace

extern "C" {

void utfenk() {
  Shielded([&] { convertTextSlot(tcp::Utf8FromAnsi); });
}

void utfdek() {
  Shielded([&] { convertTextSlot(tcp::AnsiFromUtf8); });
}

void oem2ansi() {
  Shielded([&] { convertTextSlot(tcp::AnsiFromOem); });
}

void ansi2oem() {
  Shielded([&] { convertTextSlot(tcp::OemFromAnsi); });
}

}  // extern "C"
