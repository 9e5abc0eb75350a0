// The candidate addresses of a srcset attribute ("small.png 480w, large.png 2x"), found the way
// browsers split the attribute, each with its byte range in the value so that a caller can put
// another address in its place and keep the descriptors as written.
//
// A pure function, safe on any thread.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace tq {

struct TSrcsetCandidate {
  std::size_t Begin = 0;  // the address's bytes in the value; never empty
  std::size_t End = 0;
};

// Every candidate's address in source order. Descriptors are skipped, not judged: a candidate
// with descriptors a browser would refuse still names an address.
std::vector<TSrcsetCandidate> ParseSrcset(std::string_view value);

}  // namespace tq
