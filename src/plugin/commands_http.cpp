// The HTTP commands as the host calls them: each takes the response and the
// slots it names, and leaves its result in the text slot.
#include "http/header_lines.h"
#include "http/message_parts.h"
#include "plugin/plugin_session.h"
#include "textops/textops.h"

using tcp::PluginSession;

namespace {

tcp::ExchangeArea& slots() { return PluginSession().exchange; }
tcp::ReceivedResponse& response() { return PluginSession().response; }

// Start marker: the text before the last SetFile; end marker: the last one.
std::string_view startMarker() { return slots().FileHistory[1]; }
std::string_view endMarker() { return slots().FileHistory[0]; }

}  // namespace

extern "C" {

void getheader() { tcp::HeaderBlockText(response().ReceiveBuffer, slots().ExchangeText); }

void gethtml0() { slots().ExchangeText = tcp::MessageBody(response().ReceiveBuffer); }

void gethtml() { slots().ExchangeText = tcp::BodyAfterFirstLine(response().ReceiveBuffer); }

void getotvetlen() { slots().ExchangeText = tcp::NumberText(response().ResponseLength); }

void parserez() { slots().ExchangeText = tcp::TextBetween(response().DecodedBody, startMarker(), endMarker()); }

void parseotvet() { slots().ExchangeText = tcp::TextBetween(response().ReceiveBuffer, startMarker(), endMarker()); }

void makeheader() {
  if (PluginSession().headerLinesKept) response().HeaderLines = tcp::SplitLines(response().HeaderText);
}

void getheadername() {
  slots().ExchangeText =
      tcp::HeaderLinesNamed(response().HeaderLines, slots().ExchangeText, *PluginSession().platform.codePages);
}

void makechunkeds() {
  tcp::SplitResponse(response().ReceiveBuffer, response().HeaderText, response().DecodedBody);
  makeheader();
  slots().ExchangeText = response().DecodedBody;
}

void savebin() {
  std::string payload;
  tcp::MessagePayload(response().ReceiveBuffer, payload);
  PluginSession().platform.files->writeFile(slots().ExchangeText, payload);
}

void savebinall() { PluginSession().platform.files->writeFile(slots().ExchangeText, response().ReceiveBuffer); }

void strip() { tcp::StripMarker(slots().ExchangeText, startMarker()); }

}  // extern "C"
