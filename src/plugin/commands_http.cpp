// The HTTP commands as the host calls them: each takes the response and the
// slots it names, and leaves its result in the text slot.
#include <algorithm>
#include <cstdint>

#include "http/header_lines.h"
#include "http/message_parts.h"
#include "plugin/entry_barrier.h"
#include "textops/textops.h"

using tcp::PluginSession;
using tcp::Shielded;

namespace {

tcp::ExchangeArea& slots() { return PluginSession().exchange; }
tcp::ReceivedResponse& response() { return PluginSession().response; }

// Start marker: the text before the last SetFile; end marker: the last one.
std::string_view startMarker() { return slots().FileHistory[1]; }
std::string_view endMarker() { return slots().FileHistory[0]; }

void splitHeaderText() {
  if (PluginSession().headerLinesKept) response().HeaderLines = tcp::SplitLines(response().HeaderText);
}

void splitResponse() {
  tcp::SplitResponse(response().ReceiveBuffer, response().HeaderText, response().DecodedBody);
  splitHeaderText();
  slots().ExchangeText = response().DecodedBody;
}

void findHeaderLines() {
  slots().ExchangeText =
      tcp::HeaderLinesNamed(response().HeaderLines, slots().ExchangeText, *PluginSession().platform.codePages);
}

// In queued mode a save says how it went: the bytes written, or -1 and the
// reason for lasterror.
void save(std::string_view bytes) {
  tcp::Session& session = PluginSession();
  const tcp::FileSystem::WriteResult result = session.platform.files->writeFile(slots().ExchangeText, bytes);
  if (!session.conversation.queued) return;
  if (result.error != 0) {
    session.lastFailure = static_cast<std::int32_t>(result.error);
    slots().ExchangeValue = -1;
  } else {
    slots().ExchangeValue = static_cast<std::int32_t>(std::min<std::uint64_t>(result.written, INT32_MAX));
  }
}

void saveBody() {
  std::string decoded;
  save(tcp::PayloadOf(response().ReceiveBuffer, decoded));
}

}  // namespace

extern "C" {

void getheader() {
  Shielded([] { tcp::HeaderBlockText(response().ReceiveBuffer, slots().ExchangeText); });
}

void gethtml0() {
  Shielded([] { slots().ExchangeText = tcp::MessageBody(response().ReceiveBuffer); });
}

void gethtml() {
  Shielded([] { slots().ExchangeText = tcp::BodyAfterFirstLine(response().ReceiveBuffer); });
}

void getotvetlen() {
  Shielded([] { slots().ExchangeText = tcp::NumberText(response().ResponseLength); });
}

void parserez() {
  Shielded([] { slots().ExchangeText = tcp::TextBetween(response().DecodedBody, startMarker(), endMarker()); });
}

void parseotvet() {
  Shielded([] { slots().ExchangeText = tcp::TextBetween(response().ReceiveBuffer, startMarker(), endMarker()); });
}

void makeheader() { Shielded(splitHeaderText); }

void getheadername() { Shielded(findHeaderLines); }

void makechunkeds() { Shielded(splitResponse); }

void savebin() { Shielded(saveBody); }

void savebinall() {
  Shielded([] { save(response().ReceiveBuffer); });
}

void strip() {
  Shielded([] { tcp::StripMarker(slots().ExchangeText, startMarker()); });
}

}  // extern "C"
