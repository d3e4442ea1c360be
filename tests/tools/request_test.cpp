// What tcphost fetch sends: its command line, the requests it composes, and
// where a redirect leads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fetch_options.h"
#include "request.h"

using tcphost::FetchOptions;
using tcphost::ParseFetchOptions;
using tcphost::Request;

namespace {

Request requestFor(const std::string& url) {
  std::string problem;
  Request request;
  request.url = *tcphost::ParseUrl(url, problem);
  return request;
}

}  // namespace

TEST(TcphostRequest, NamesTheHostAndAddsWhatTheUserGave) {
  Request plain = requestFor("http://h:81/x?y");
  EXPECT_EQ(RequestText(plain), "GET /x?y HTTP/1.1\r\nHost: h:81\r\n\r\n");
  plain.closeAfter = true;
  EXPECT_EQ(RequestText(plain), "GET /x?y HTTP/1.1\r\nHost: h:81\r\nConnection: close\r\n\r\n");

  Request posted = requestFor("https://h/form");
  posted.method = "POST";
  posted.body = "a=1&b=2";
  posted.headers = {"X-Trace: 7"};
  EXPECT_EQ(RequestText(posted),
            "POST /form HTTP/1.1\r\nHost: h\r\nX-Trace: 7\r\nContent-Type: application/x-www-form-urlencoded\r\n"
            "Content-Length: 7\r\n\r\na=1&b=2");
  posted.headers = {"host: elsewhere", "Content-Type: application/json"};
  posted.body = "{}";
  EXPECT_EQ(RequestText(posted),
            "POST /form HTTP/1.1\r\nhost: elsewhere\r\nContent-Type: application/json\r\nContent-Length: 2\r\n\r\n{}");
}

TEST(TcphostRequest, RedirectsChangeTheMethodAsBrowsersDo) {
  struct Case {
    const char* method;
    int status;
    const char* next;
    bool keepsBody;
  };
  const Case cases[] = {
      {"POST", 303, "GET", false}, {"PUT", 303, "GET", false},   {"HEAD", 303, "HEAD", false},
      {"POST", 301, "GET", false}, {"POST", 302, "GET", false},  {"PUT", 302, "PUT", true},
      {"POST", 307, "POST", true}, {"POST", 308, "POST", true},  {"GET", 301, "GET", false},
  };
  for (const Case& c : cases) {
    Request request = requestFor("http://h/a");
    request.method = c.method;
    if (std::string(c.method) != "GET") request.body = "data";
    const Request next = tcphost::Redirected(request, c.status, requestFor("http://g/b").url);
    EXPECT_EQ(next.method, c.next) << c.method << " " << c.status;
    EXPECT_EQ(next.body.has_value(), c.keepsBody) << c.method << " " << c.status;
    EXPECT_EQ(next.url.host, "g");
  }
  for (int status : {301, 302, 303, 307, 308}) EXPECT_TRUE(tcphost::IsRedirect(status)) << status;
  for (int status : {200, 300, 304, 305, 306, 309}) EXPECT_FALSE(tcphost::IsRedirect(status)) << status;
}

TEST(TcphostRequest, ReadsTheStatusCodeOfAHeaderBlock) {
  EXPECT_EQ(tcphost::StatusCodeOf("HTTP/1.1 404 Not Found\r\nA: b"), 404);
  EXPECT_EQ(tcphost::StatusCodeOf("HTTP/1.0 200"), 200);
  EXPECT_EQ(tcphost::StatusCodeOf("HTTP/1.1 2x0 OK"), 0);
  EXPECT_EQ(tcphost::StatusCodeOf("ICY 200 OK"), 0);
  EXPECT_EQ(tcphost::StatusCodeOf(""), 0);
}

TEST(TcphostFetchOptions, TakesEveryOptionAndSeveralUrls) {
  std::string problem;
  const auto options = ParseFetchOptions({"http://a/1", "-L", "-X", "PUT", "-d", "x=1", "-H", "A: 1", "-H", "B: 2",
                                          "--fail", "-s", "-I", "--timeout", "5", "http://a/2"},
                                         problem);
  ASSERT_TRUE(options) << problem;
  EXPECT_EQ(options->urls, (std::vector<std::string>{"http://a/1", "http://a/2"}));
  EXPECT_TRUE(options->follow && options->fail && options->silent && options->head);
  EXPECT_EQ(options->method, "PUT");
  EXPECT_EQ(options->data, "x=1");
  EXPECT_EQ(options->headers, (std::vector<std::string>{"A: 1", "B: 2"}));
  EXPECT_EQ(options->timeoutSeconds, 5);
  EXPECT_EQ(tcphost::MethodOf(*options), "PUT");
  EXPECT_EQ(tcphost::MethodOf(*ParseFetchOptions({"u", "-d", ""}, problem)), "POST");
  EXPECT_EQ(tcphost::MethodOf(*ParseFetchOptions({"u", "-I"}, problem)), "HEAD");
  EXPECT_EQ(tcphost::MethodOf(*ParseFetchOptions({"u"}, problem)), "GET");
}

TEST(TcphostFetchOptions, RejectsWhatItCannotRun) {
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{}, "fetch needs a URL"},
      {{"u", "--bogus"}, "unknown option --bogus"},
      {{"u", "-X"}, "-X needs a value"},
      {{"u", "--timeout", "0"}, "--timeout needs a value above 0"},
      {{"u", "--timeout"}, "--timeout needs a value above 0"},
      {{"u", "v", "-o", "f"}, "-o and --all take one URL"},
      {{"u", "-H", "no colon"}, "-H needs \"Name: value\""},
      {{"u", "-X", "GET /x"}, "-X needs a method without blanks"},
  };
  for (const auto& [arguments, expected] : cases) {
    std::string problem;
    EXPECT_FALSE(ParseFetchOptions(arguments, problem));
    EXPECT_EQ(problem, expected);
  }
}
