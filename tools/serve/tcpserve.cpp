// tcpserve DIR PORT (or --version): serves the files of DIR on 127.0.0.1:PORT, for the
// demonstration. Connections are kept for further requests until the client
// closes or asks for Connection: close. A file goes out with Content-Length,
// or in chunks of 1000 bytes when the path ends in "?chunked"; "?paced" sends
// it in 64 KiB pieces 40 ms apart, so that a progress bar has time to move;
// "?moved" answers 301 with the path without it as the Location. ".html" and
// ".txt" files are declared UTF-8. Each request is logged with the number of
// its connection. GET /stop ends the server, and so does an hour without a
// request.
#include <winsock2.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "loopback_listener.h"
#include "release_version.h"

namespace {

constexpr int kIdleMs = 3600 * 1000;
constexpr std::size_t kChunkSize = 1000;
constexpr std::size_t kPacedPiece = 64 * 1024;
constexpr DWORD kPacedPauseMs = 40;

bool endsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool sendAll(SOCKET socket, const std::string& bytes) {
  for (std::size_t sent = 0; sent < bytes.size();) {
    const int result = send(socket, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
    if (result <= 0) return false;
    sent += static_cast<std::size_t>(result);
  }
  return true;
}

std::string contentType(const std::string& name) {
  if (endsWith(name, ".html")) return "text/html; charset=utf-8";
  if (endsWith(name, ".txt")) return "text/plain; charset=utf-8";
  return "application/octet-stream";
}

std::string chunked(const std::string& body) {
  std::string framed;
  char size[16];
  for (std::size_t at = 0; at < body.size(); at += kChunkSize) {
    const std::string piece = body.substr(at, kChunkSize);
    std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
    framed += size + piece + "\r\n";
  }
  return framed + "0\r\n\r\n";
}

// The response to "GET PATH": the file, a redirect, or 404.
std::string respond(const std::string& folder, std::string path, const std::string& connection) {
  const bool chunks = endsWith(path, "?chunked");
  if (endsWith(path, "?moved"))
    return "HTTP/1.1 301 Moved Permanently\r\nLocation: " + path.substr(0, path.find('?')) + "\r\n" + connection +
           "Content-Length: 0\r\n\r\n";
  path = path.substr(0, path.find('?'));
  const std::string name = path.substr(path.find_last_of('/') + 1);
  std::ifstream file(folder + "\\" + name, std::ios::binary);
  if (name.empty() || name.find("..") != std::string::npos || !file)
    return "HTTP/1.1 404 Not Found\r\nContent-Length: 10\r\n" + connection + "\r\nNot found\n";
  const std::string body(std::istreambuf_iterator<char>(file), {});
  const std::string head =
      "HTTP/1.1 200 OK\r\nServer: tcpserve\r\nContent-Type: " + contentType(name) + "\r\n" + connection;
  if (chunks) return head + "Transfer-Encoding: chunked\r\n\r\n" + chunked(body);
  return head + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

bool asksToClose(std::string header) {
  for (char& c : header) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return header.find("\r\nconnection: close\r\n") != std::string::npos;
}

bool sendResponse(SOCKET connection, const std::string& response, bool paced) {
  if (!paced) return sendAll(connection, response);
  for (std::size_t at = 0; at < response.size(); at += kPacedPiece) {
    if (!sendAll(connection, response.substr(at, kPacedPiece))) return false;
    Sleep(kPacedPauseMs);
  }
  return true;
}

// Serves the requests of one connection; false when one asked the server to stop.
bool serve(SOCKET connection, const std::string& folder, int number) {
  std::string received;
  char buffer[4096];
  for (bool open = true; open;) {
    std::size_t end;
    while ((end = received.find("\r\n\r\n")) == std::string::npos && received.size() < 65536) {
      const int count = recv(connection, buffer, sizeof buffer, 0);
      if (count <= 0) return true;
      received.append(buffer, static_cast<std::size_t>(count));
    }
    if (end == std::string::npos) return true;
    const std::string request = received.substr(0, end + 2);
    received.erase(0, end + 4);
    const std::size_t pathStart = request.find(' ') + 1;
    const std::string path = request.substr(pathStart, request.find(' ', pathStart) - pathStart);
    std::printf("tcpserve: connection %d: %s %s\n", number, request.substr(0, pathStart - 1).c_str(), path.c_str());
    std::fflush(stdout);
    if (path == "/stop") {
      sendAll(connection, "HTTP/1.1 200 OK\r\nContent-Length: 8\r\nConnection: close\r\n\r\nstopped\n");
      return false;
    }
    open = !asksToClose(request);
    open = sendResponse(connection, respond(folder, path, open ? "" : "Connection: close\r\n"),
                        endsWith(path, "?paced")) && open;
  }
  shutdown(connection, SD_SEND);
  while (recv(connection, buffer, sizeof buffer, 0) > 0) {
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::printf("tcpserve %s\n", TCP_RELEASE_VERSION);
    return 0;
  }
  if (argc != 3) {
    std::fprintf(stderr, "usage: tcpserve DIR PORT\n       tcpserve --version\n");
    return 2;
  }
  tcphost::LoopbackListener listener(static_cast<std::uint16_t>(std::atoi(argv[2])));
  if (!listener.listening()) {
    std::fprintf(stderr, "tcpserve: cannot listen on 127.0.0.1:%s (error %d)\n", argv[2], listener.error());
    return 1;
  }
  std::printf("tcpserve: serving %s at http://127.0.0.1:%s/\n", argv[1], argv[2]);
  std::fflush(stdout);
  for (int number = 1, running = 1; running; ++number) {
    const std::uintptr_t connection = listener.accept(kIdleMs);
    if (connection == tcphost::LoopbackListener::kNoConnection) break;
    running = serve(static_cast<SOCKET>(connection), argv[1], number);
    closesocket(static_cast<SOCKET>(connection));
  }
  return 0;
}
