// Reading the calls a recording device logs, as in
// "effect#3.setFloat(radius, 0.5)" or "setTransform(World, [1 0 0 ...])".
#pragma once

#include <string>
#include <vector>

namespace velm::testing {

// The floats logged inside the call's first [...]: from its first '[' to
// the next ']' after it. None where either is missing.
std::vector<float> loggedFloats(const std::string& call);
// As loggedFloats, but the list ends at the call's first ']' wherever that
// stands; where it comes before the first '[', the floats run to the end of
// the call.
std::vector<float> loggedFloatsToFirstClose(const std::string& call);

// The calls that contain `part`, in order.
std::vector<std::string> recordedCallsWith(const std::vector<std::string>& calls, const std::string& part);

}  // namespace velm::testing
