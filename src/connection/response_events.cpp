// What queued mode tells the host of the response itself: its progress as a
// share of the body, its completion (code 7), and the ways it can fail.
#include <algorithm>
#include <string>

#include "connection/connection.h"
#include "session/host_notification.h"

namespace tcp {
namespace {

using Stage = ResponseFraming::Stage;

// The body's share of its declared length in whole percent; empty when no
// length frames the body.
std::string bodyPercent(const ResponseFraming& framing) {
  const std::optional<std::uint64_t> declared = framing.declaredLength();
  if (!declared) return {};
  if (*declared == 0) return "100";
  return std::to_string(std::min<std::uint64_t>(100, framing.bodyBytes() * 100 / *declared));
}

std::int32_t problemCode(ResponseFraming::Problem problem) {
  switch (problem) {
    case ResponseFraming::Problem::BadLength: return kBadContentLength;
    case ResponseFraming::Problem::BadChunk: return kBadChunkSize;
    case ResponseFraming::Problem::BadStatusLine:
    case ResponseFraming::Problem::None: break;
  }
  return kBadStatusLine;
}

// Nothing more is awaited on the connection until the next request.
void reportComplete(Session& session) {
  ReportEvent(session, kEventResponseComplete, std::to_string(session.response.Framing.status()));
  if (TcpClient* client = session.client()) client->StopWaiting();
}

}  // namespace

void ReportArrival(Session& session, ResponseFraming::Stage before) {
  const ResponseFraming& framing = session.response.Framing;
  ReportProgress(session, bodyPercent(framing));
  if (framing.stage() == before) return;
  if (framing.stage() == Stage::Complete) return reportComplete(session);
  if (framing.stage() != Stage::Invalid) return;
  // Past framing that cannot be trusted nothing can be read as a response:
  // the bytes so far stay, the connection goes.
  HandleSocketError(session, problemCode(framing.problem()));
  if (TcpClient* client = session.client()) client->Disconnect();
}

void ReportResponseAtClose(Session& session, ResponseFraming::Stage before) {
  const Stage now = session.response.Framing.stage();
  if (now == before) return;
  if (now == Stage::Complete) return reportComplete(session);
  if (now == Stage::Cut && !session.conversation.failureReported) HandleSocketError(session, kResponseTruncated);
}

}  // namespace tcp
