// Which proxy tcphost fetch goes through: --proxy, then the environment as
// curl reads it.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "proxy_choice.h"

namespace {

using Variables = std::map<std::string, std::string>;

std::string proxyFor(const std::string& url, const std::string& option, const Variables& variables) {
  std::string problem;
  const auto parsed = tcphost::ParseUrl(url, problem);
  const auto proxy = tcphost::ProxyFor(*parsed, option,
                                       [&](const char* name) -> std::optional<std::string> {
                                         const auto found = variables.find(name);
                                         if (found == variables.end()) return std::nullopt;
                                         return found->second;
                                       },
                                       problem);
  return proxy ? *proxy : "problem: " + problem;
}

TEST(TcphostProxy, OptionThenTheEnvironmentAsCurlReadsIt) {
  struct Case {
    const char* url;
    const char* option;
    Variables variables;
    const char* proxy;
  };
  const Case cases[] = {
      {"http://h/", "", {}, ""},
      {"http://h/", "p:3128", {{"http_proxy", "other:1"}}, "p:3128"},
      {"http://h/", "", {{"http_proxy", "http://p:3128/"}}, "p:3128"},
      {"http://h/", "", {{"HTTP_PROXY", "p:3128"}}, ""},
      {"https://h/", "", {{"HTTPS_PROXY", "p:3128"}}, "p:3128"},
      {"https://h/", "", {{"http_proxy", "p:3128"}}, ""},
      {"http://h/", "", {{"ALL_PROXY", "p:3128"}}, "p:3128"},
      {"http://h/", "", {{"http_proxy", "user:pw@p"}}, "user:pw@p:1080"},
      {"http://h/", "", {{"http_proxy", "http://[::1]:8080"}}, "[::1]:8080"},
      {"http://h/", "", {{"http_proxy", "p:3128"}, {"no_proxy", "*"}}, ""},
      {"http://www.example.org/", "", {{"http_proxy", "p:1"}, {"no_proxy", "example.org"}}, ""},
      {"http://example.org/", "", {{"http_proxy", "p:1"}, {"NO_PROXY", " other, .example.org"}}, ""},
      {"http://badexample.org/", "", {{"http_proxy", "p:1"}, {"no_proxy", "example.org"}}, "p:1"},
      {"http://[::1]/", "", {{"http_proxy", "p:1"}, {"no_proxy", "[::1]"}}, ""},
      {"http://h/", "", {{"http_proxy", "socks5://p:1"}}, "problem: only http:// proxies are supported: socks5://p:1"},
      {"http://h/", ":80", {}, "problem: the proxy has no host: :80"},
  };
  for (const Case& c : cases) EXPECT_EQ(proxyFor(c.url, c.option, c.variables), c.proxy) << c.url << " " << c.option;
}

}  // namespace
