#include "fetch_options.h"

#include <cstdlib>

namespace tcphost {

namespace {

// Options that take a value, and where each one goes.
bool takesValue(FetchOptions& options, const std::string& flag, std::string*& target) {
  if (flag == "-o") target = &options.output;
  else if (flag == "--all") target = &options.all;
  else if (flag == "--header") target = &options.header;
  else if (flag == "--cacert") target = &options.cacert;
  else if (flag == "--cert") target = &options.cert;
  else if (flag == "--pass") target = &options.pass;
  else if (flag == "--proxy" || flag == "-x") target = &options.proxy;
  else if (flag == "-X") target = &options.method;
  else return false;
  return true;
}

bool isSwitch(FetchOptions& options, const std::string& flag) {
  bool* target = nullptr;
  if (flag == "--utf8") target = &options.utf8;
  else if (flag == "--insecure") target = &options.insecure;
  else if (flag == "-v") target = &options.verbose;
  else if (flag == "-L") target = &options.follow;
  else if (flag == "-I") target = &options.head;
  else if (flag == "--fail") target = &options.fail;
  else if (flag == "-s") target = &options.silent;
  if (target) *target = true;
  return target != nullptr;
}

std::string checked(const FetchOptions& options) {
  if (options.urls.empty()) return "fetch needs a URL";
  if (options.urls.size() > 1 && (!options.output.empty() || !options.all.empty()))
    return "-o and --all take one URL";
  for (const std::string& line : options.headers)
    if (line.find(':') == std::string::npos || line.find_first_of("\r\n") != std::string::npos)
      return "-H needs \"Name: value\"";
  if (options.method.find_first_of(" \t\r\n") != std::string::npos) return "-X needs a method without blanks";
  return {};
}

}  // namespace

std::optional<FetchOptions> ParseFetchOptions(const std::vector<std::string>& arguments, std::string& problem) {
  FetchOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& flag = arguments[i];
    std::string* target = nullptr;
    const bool valued = takesValue(options, flag, target) || flag == "--timeout" || flag == "-d" || flag == "-H";
    if (valued && i + 1 == arguments.size()) {
      problem = flag + " needs a value" + (flag == "--timeout" ? " above 0" : "");
      return std::nullopt;
    }
    if (target) {
      *target = arguments[++i];
    } else if (flag == "--timeout") {
      if ((options.timeoutSeconds = std::atoi(arguments[++i].c_str())) <= 0) {
        problem = "--timeout needs a value above 0";
        return std::nullopt;
      }
    } else if (flag == "-d") {
      options.data = arguments[++i];
    } else if (flag == "-H") {
      options.headers.push_back(arguments[++i]);
    } else if (!isSwitch(options, flag)) {
      if (flag.size() > 1 && flag[0] == '-') {
        problem = "unknown option " + flag;
        return std::nullopt;
      }
      options.urls.push_back(flag);
    }
  }
  problem = checked(options);
  if (!problem.empty()) return std::nullopt;
  return options;
}

std::string MethodOf(const FetchOptions& options) {
  if (!options.method.empty()) return options.method;
  if (options.head) return "HEAD";
  return options.data ? "POST" : "GET";
}

}  // namespace tcphost
