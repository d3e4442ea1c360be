#include "http/received_response.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "guard_page.h"

namespace tcp {
namespace {

TEST(ReceivedResponse, ReadsTheDeclaredLengthWhereverThePiecesAreCut) {
  struct Case {
    const char* name;
    std::string response;
    double length;
  };
  const Case cases[] = {
      {"one blank", "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nbody", 1000},
      {"no blank", "HTTP/1.1 200 OK\r\nContent-Length:1234\r\n\r\n", 1234},
      {"two blanks and a tab", "HTTP/1.1 200 OK\r\nContent-Length:  \t1234\r\n\r\n", 1234},
      {"other letter case", "HTTP/1.1 200 OK\r\ncontent-LENGTH: 77\r\n\r\n", 77},
      {"not inside another name", "HTTP/1.1 200 OK\r\nX-Content-Length: 5\r\nContent-Length: 7\r\n\r\n", 7},
      {"first of two", "HTTP/1.1 200 OK\r\nContent-Length: 8\r\nContent-Length: 9\r\n\r\n", 8},
      {"no wrap above 2 GiB", "HTTP/1.1 200 OK\r\nContent-Length: 3000000000\r\n\r\n", 3000000000.0},
      {"a petabyte is still a length", "HTTP/1.1 200 OK\r\nContent-Length: 1000000000000000\r\n\r\n", 1e15},
      {"beyond a petabyte is no usable length", "HTTP/1.1 200 OK\r\nContent-Length: 1000000000000001\r\n\r\n", 0},
      {"400 digits are no usable length",
       "HTTP/1.1 200 OK\r\nContent-Length: " + std::string(400, '9') + "\r\n\r\n", 0},
      {"leading zeros count for nothing",
       "HTTP/1.1 200 OK\r\nContent-Length: " + std::string(400, '0') + "12\r\n\r\n", 12},
      {"sign", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n", 0},
      {"no header", "HTTP/1.1 200 OK\r\nServer: x\r\n\r\nContent-Length: 5\r\n", 0},
      {"not a header line", "HTTP/1.1 200 OK Content-Length: 5\r\n\r\n", 0},
  };
  // The reader sees the bytes received so far: a prefix, then all of them.
  for (const Case& c : cases) {
    const std::string_view whole = c.response;
    fakes::GuardPage guard(whole.size());
    for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
      LengthScan scan;
      std::optional<double> length = ReadDeclaredLength(guard.place(whole.substr(0, cut)), scan);
      if (!length) length = ReadDeclaredLength(whole, scan);
      EXPECT_EQ(length, c.length) << c.name << ", cut at " << cut;
    }
    LengthScan scan;
    std::optional<double> length;
    for (std::size_t end = 0; !length && end <= whole.size(); ++end) length = ReadDeclaredLength(whole.substr(0, end), scan);
    EXPECT_EQ(length, c.length) << c.name << ", byte by byte";
    ReceivedResponse response;
    response.startNew();
    response.append(whole);
    EXPECT_EQ(response.ResponseLength, c.length) << c.name << ", in one arrival";
    EXPECT_FALSE(response.LengthPending);
  }
}

TEST(ReceivedResponse, KeepsTheLengthPendingUntilItsLineOrTheBlockEnds) {
  ReceivedResponse response;
  response.startNew();
  response.append("HTTP/1.1 200 OK\r\nContent-Length: 12");
  EXPECT_TRUE(response.LengthPending);
  response.append("34\r\n");
  EXPECT_EQ(response.ResponseLength, 1234);
  response.append("Content-Length: 5\r\n");
  EXPECT_EQ(response.ResponseLength, 1234) << "later pieces leave the length alone";
}

TEST(ReceivedResponse, ANewResponseEmptiesAllButTheHeaderLines) {
  ReceivedResponse response;
  response.append("before any request\r\nContent-Length: 5\r\n\r\n");
  EXPECT_EQ(response.ResponseLength, 0) << "data before the first request is never searched";
  response.HeaderText = "h";
  response.DecodedBody = "d";
  response.HeaderLines = {"kept"};
  response.startNew();
  EXPECT_EQ(response.ReceiveBuffer.view(), "");
  EXPECT_TRUE(response.LengthPending);
  EXPECT_EQ(response.HeaderText, "");
  EXPECT_EQ(response.DecodedBody, "");
  EXPECT_EQ(response.HeaderLines, std::vector<std::string>{"kept"});
}

TEST(ReceivedResponse, AnArrivalInPlaceKeepsWhatTheReadBrought) {
  ReceivedResponse response;
  response.startNew();
  response.append("HTTP/1.1 200 OK\r\n");
  struct Case {
    std::size_t room, brought;
  };
  for (const Case& c : {Case{100, 40}, Case{10, 0}, Case{5, 5}}) {
    const std::string before(response.ReceiveBuffer.view());
    char* room = response.prepareArrival(c.room);
    EXPECT_EQ(response.preparedRoom(), room);
    std::memset(room, 'x', c.brought);
    response.completeArrival(c.brought);
    EXPECT_EQ(response.preparedRoom(), nullptr);
    EXPECT_EQ(response.ReceiveBuffer.view(), before + std::string(c.brought, 'x'));
  }
  response.prepareArrival(7);
  response.append("\r\nContent-Length: 3\r\n");
  EXPECT_EQ(response.ReceiveBuffer.view().substr(response.ReceiveBuffer.size() - 21), "\r\nContent-Length: 3\r\n")
      << "an arrival copied in drops a room that was not used";
  EXPECT_EQ(response.ResponseLength, 3);
}

TEST(ReceivedResponse, ANewResponseGivesBackTheStorageOfALargeOne) {
  ReceivedResponse response;
  response.append(std::string(64 << 20, 'x'));
  response.DecodedBody.assign(8 << 20, 'y');
  response.HeaderText.assign(100, 'h');
  const std::size_t smallCapacity = response.HeaderText.capacity();
  response.startNew();
  EXPECT_LE(response.ReceiveBuffer.capacity(), std::size_t{1} << 20);
  EXPECT_LE(response.DecodedBody.capacity(), std::size_t{1} << 20);
  EXPECT_EQ(response.HeaderText.capacity(), smallCapacity) << "small storage is kept for the next response";
}

}  // namespace
}  // namespace tcp
