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
  session.exchange.ExchangeText = convert(session.exchange.ExchangeText.text(), *session.platform.codePages);
}

// Converts the text slot where it lies, keeping its storage.
void convertTextSlotInPlace(void (*convert)(std::string&, tcp::CodePages&)) {
  tcp::Session& session = PluginSession();
  convert(session.exchange.ExchangeText.edit(), *session.platform.codePages);
}

}  // namespace

extern "C" {

void utfenk() {
  Shielded([&] { convertTextSlotInPlace(tcp::ConvertToUtf8); });
}

void utfdek() {
  Shielded([&] { convertTextSlotInPlace(tcp::ConvertFromUtf8); });
}

void oem2ansi() {
  Shielded([&] { convertTextSlot(tcp::AnsiFromOem); });
}

void ansi2oem() {
  Shielded([&] { convertTextSlot(tcp::OemFromAnsi); });
}

}  // extern "C"
