// The HTTP commands as the host calls them: each takes the response and the
// slots it names, and leaves its result in the text slot.
#include <algorithm>
#include <cstdint>
#include <utility>

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
  slots().ExchangeText.assign(response().DecodedBody);
}

void findHeaderLines() {
  slots().ExchangeText =
      tcp::HeaderLinesNamed(response().HeaderLines, slots().ExchangeText.text(), *PluginSession().platform.codePages);
}

// Written beside the file and moved over it at the end: a save that fails
// midway leaves the earlier file as it was, never one that looks complete.
tcp::FileSystem::WriteResult writeBeside(const std::string& path, const tcp::FileSystem::Pieces& pieces) {
  tcp::FileSystem& files = *PluginSession().platform.files;
  const std::string part = path + ".part";
  tcp::FileSystem::WriteResult result = files.writeFile(part, pieces);
  if (result.error == 0) result.error = files.replaceFile(part, path);
  if (result.error != 0) files.removeFile(part);
  return result;
}

// In queued mode a save says how it went: the bytes written, or -1 and the
// reason for lasterror.
void save(const tcp::FileSystem::Pieces& pieces) {
  tcp::Session& session = PluginSession();
  const tcp::FileSystem::WriteResult result = writeBeside(slots().ExchangeText.text(), pieces);
  if (!session.conversation.queued) return;
  if (result.error != 0) {
    session.lastFailure = static_cast<std::int32_t>(result.error);
    slots().ExchangeValue = -1;
  } else {
    slots().ExchangeValue = static_cast<std::int32_t>(std::min<std::uint64_t>(result.written, INT32_MAX));
  }
}

// A chunked body goes to the file chunk by chunk, never whole in memory;
// small chunks gathered, so that each write takes a block of some KiB.
void saveBody() {
  tcp::PayloadBlocks payload(response().ReceiveBuffer);
  save([&payload] { return payload.next(); });
}

void saveEveryByte() {
  std::string_view bytes = response().ReceiveBuffer;
  save([&bytes] { return std::exchange(bytes, std::string_view()); });
}

}  // namespace

extern "C" {

void getheader() {
  Shielded([] { tcp::HeaderBlockText(response().ReceiveBuffer, slots().ExchangeText.edit()); });
}

void gethtml0() {
  Shielded([] { slots().ExchangeText.assign(tcp::MessageBody(response().ReceiveBuffer)); });
}

void gethtml() {
  Shielded([] { slots().ExchangeText.assign(tcp::BodyAfterFirstLine(response().ReceiveBuffer)); });
}

void getotvetlen() {
  Shielded([] { slots().ExchangeText = tcp::NumberText(response().ResponseLength); });
}

void parserez() {
  Shielded([] { slots().ExchangeText.assign(tcp::TextBetween(response().DecodedBody, startMarker(), endMarker())); });
}

void parseotvet() {
  Shielded([] { slots().ExchangeText.assign(tcp::TextBetween(response().ReceiveBuffer, startMarker(), endMarker())); });
}

void makeheader() { Shielded(splitHeaderText); }

void getheadername() { Shielded(findHeaderLines); }

void makechunkeds() { Shielded(splitResponse); }

void savebin() { Shielded(saveBody); }

void savebinall() { Shielded(saveEveryByte); }

void strip() {
  Shielded([] { tcp::StripMarker(slots().ExchangeText.edit(), startMarker()); });
}

}  // extern "C"
