#include <gtest/gtest.h>

#include <string>

#include "progress.h"
#include "url.h"

#include <utility>

using tcphost::ParseUrl;

TEST(TcphostUrl, TakesHostPortAndPath) {
  const struct {
    const char* text;
    bool https;
    const char* host;
    int port;
    const char* path;
  } cases[] = {
      {"http://127.0.0.1:8000/page.html", false, "127.0.0.1", 8000, "/page.html"},
      {"http://localhost", false, "localhost", 80, "/"},
      {"HTTP://Example.ORG/a?b=c#frag", false, "Example.ORG", 80, "/a?b=c"},
      {"http://host?query", false, "host", 80, "/?query"},
      {"https://host/", true, "host", 443, "/"},
      {"https://host:8443", true, "host", 8443, "/"},
      {"http://a..b/", false, "a..b", 80, "/"},
      {"http://[::1]:8080/x", false, "::1", 8080, "/x"},
      {"https://[2001:db8::1]/", true, "2001:db8::1", 443, "/"},
  };
  for (const auto& c : cases) {
    std::string problem;
    const auto url = ParseUrl(c.text, problem);
    ASSERT_TRUE(url) << c.text << ": " << problem;
    EXPECT_EQ(url->https, c.https) << c.text;
    EXPECT_EQ(url->host, c.host) << c.text;
    EXPECT_EQ(url->port, c.port) << c.text;
    EXPECT_EQ(url->path, c.path) << c.text;
  }
}

TEST(TcphostUrl, RejectsWhatItCannotFetch) {
  const struct {
    const char* text;
    const char* problem;
  } cases[] = {
      {"ftp://host/", "not an http:// or https:// URL"},
      {"127.0.0.1:8000", "not an http:// or https:// URL"},
      {"http:/host", "not an http:// or https:// URL"},
      {"http://", "the URL has no host"},
      {"http://:80/", "the URL has no host"},
      {"http://host:0/", "the port must be a number from 1 to 65535"},
      {"http://host:65536/", "the port must be a number from 1 to 65535"},
      {"http://host:/", "the port must be a number from 1 to 65535"},
      {"http://host:8x/", "the port must be a number from 1 to 65535"},
      {"http://ho st/", "a URL cannot hold blanks or control characters"},
      {"http://host/\r\nX: y", "a URL cannot hold blanks or control characters"},
      {"http://user@host/", "user names in URLs are not supported"},
      {"http://[::1/", "an IPv6 address in a URL stands in brackets: http://[::1]:8080/"},
      {"http://[]/", "an IPv6 address in a URL stands in brackets: http://[::1]:8080/"},
      {"http://[::1]x/", "an IPv6 address in a URL stands in brackets: http://[::1]:8080/"},
      {"http://[::1]:0/", "the port must be a number from 1 to 65535"},
  };
  for (const auto& c : cases) {
    std::string problem;
    EXPECT_FALSE(ParseUrl(c.text, problem)) << c.text;
    EXPECT_EQ(problem, c.problem) << c.text;
  }
}

// RFC 3986 section 5.4's examples, against the same base, and the cases a
// redirect brings.
TEST(TcphostUrl, ResolvesReferencesAgainstTheBase) {
  std::string problem;
  const tcphost::Url base = *ParseUrl("http://a/b/c/d;p?q", problem);
  const std::pair<const char*, const char*> cases[] = {
      {"g", "http://a/b/c/g"},          {"./g", "http://a/b/c/g"},      {"g/", "http://a/b/c/g/"},
      {"/g", "http://a/g"},             {"//g", "http://g/"},           {"?y", "http://a/b/c/d;p?y"},
      {"g?y", "http://a/b/c/g?y"},      {"#s", "http://a/b/c/d;p?q"},  {"g#s", "http://a/b/c/g"},
      {"", "http://a/b/c/d;p?q"},       {".", "http://a/b/c/"},         {"./", "http://a/b/c/"},
      {"..", "http://a/b/"},            {"../g", "http://a/b/g"},       {"../..", "http://a/"},
      {"../../g", "http://a/g"},        {"../../../g", "http://a/g"},   {"/./g", "http://a/g"},
      {"g/../h", "http://a/b/c/h"},     {"g;x=1/./y", "http://a/b/c/g;x=1/y"},
      {"https://other:8443/x", "https://other:8443/x"},
      {"HTTP://Up/", "http://Up/"},
      {"http://[::1]:81/v6", "http://[::1]:81/v6"},
  };
  for (const auto& [reference, expected] : cases) {
    const auto target = tcphost::ResolveReference(base, reference, problem);
    ASSERT_TRUE(target) << reference << ": " << problem;
    const std::string shown = (target->https ? "https://" : "http://") + tcphost::Authority(*target) + target->path;
    EXPECT_EQ(shown, expected) << reference;
  }
  EXPECT_FALSE(tcphost::ResolveReference(base, "ftp://x/", problem));
  EXPECT_FALSE(tcphost::ResolveReference(base, "/a b", problem));
}

TEST(TcphostProgress, BarCountsTheBodyAndStopsAtTheDeclaredLength) {
  EXPECT_EQ(tcphost::ProgressLine({0, 200}, 10), "[..........]   0%  0 B of 200 B");
  EXPECT_EQ(tcphost::ProgressLine({90, 200}, 10), "[####......]  45%  90 B of 200 B");
  EXPECT_EQ(tcphost::ProgressLine({250, 200}, 10), "[##########] 100%  200 B of 200 B");
  EXPECT_EQ(tcphost::ProgressLine({3 * 1024 * 1024 / 2, 3 * 1024 * 1024}, 4), "[##..]  50%  1.5 MiB of 3.0 MiB");
  EXPECT_EQ(tcphost::ProgressLine({2048, 0}, 10), "2.0 KiB received");
}

TEST(TcphostProgress, ReadsStatusAndCharset) {
  EXPECT_EQ(tcphost::BufferedBytes("host 127.0.0.1 Port 5000 online bufer 1234"), 1234u);
  EXPECT_EQ(tcphost::BufferedBytes("host h Port 1 ofline bufer 0"), 0u);
  EXPECT_FALSE(tcphost::BufferedBytes("host h Port 1 ofline"));
  EXPECT_FALSE(tcphost::BufferedBytes("host h Port 1 ofline bufer x"));
  EXPECT_TRUE(tcphost::DeclaresUtf8("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=UTF-8"));
  EXPECT_TRUE(tcphost::DeclaresUtf8("HTTP/1.1 200 OK\r\ncontent-type: text/plain;charset=\"utf-8\"\r\nX: y"));
  EXPECT_FALSE(tcphost::DeclaresUtf8("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=windows-1251"));
  EXPECT_FALSE(tcphost::DeclaresUtf8("HTTP/1.1 200 OK\r\nX-Note: charset=utf-8"));
}
