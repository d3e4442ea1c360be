#include "tcpsocket/tcp_client.h"

namespace tcp {

// Returns 0, or the error the platform's timer failed with.
int TcpClient::restartTimer() {
  if (timeoutMs_ == 0 || socket_ == kNoSocket || !window_) return 0;
  const int error = sockets_.startTimer(window_, socket_, timeoutMs_);
  timerRunning_ = error == 0;
  return error;
}

void TcpClient::stopTimer() {
  if (!timerRunning_) return;
  timerRunning_ = false;
  sockets_.stopTimer(window_, socket_);
}

void TcpClient::noteActivity() {
  if (Connected()) CheckResult(restartTimer());
}

}  // namespace tcp
