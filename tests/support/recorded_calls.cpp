#include "tests/support/recorded_calls.h"

#include <sstream>

namespace velm::testing {

namespace {

std::vector<float> floatsBetween(const std::string& call, size_t open, size_t close) {
  std::vector<float> values;
  if (open == std::string::npos || close == std::string::npos) return values;
  std::istringstream in(call.substr(open + 1, close - open - 1));
  for (float v = 0; in >> v;) values.push_back(v);
  return values;
}

}  // namespace

std::vector<float> loggedFloats(const std::string& call) {
  const size_t open = call.find('['), close = call.find(']', open == std::string::npos ? 0 : open);
  return floatsBetween(call, open, close);
}

std::vector<float> loggedFloatsToFirstClose(const std::string& call) {
  return floatsBetween(call, call.find('['), call.find(']'));
}

std::vector<std::string> recordedCallsWith(const std::vector<std::string>& calls, const std::string& part) {
  std::vector<std::string> out;
  for (const std::string& c : calls)
    if (c.find(part) != std::string::npos) out.push_back(c);
  return out;
}

}  // namespace velm::testing
