// Checks inside fuzz targets: report the failed condition's line, then abort so the fuzzer keeps
// the input that broke it. And the splitting of one input into newline-separated parts.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>

// The part of rest before its first newline; rest keeps what follows the newline.
inline std::string_view NextPart(std::string_view& rest) {
  const size_t p = rest.find('\n');
  std::string_view part = rest.substr(0, p);
  rest = p == std::string_view::npos ? std::string_view() : rest.substr(p + 1);
  return part;
}

#define FUZZ_CHECK(condition)                                                      \
  do {                                                                             \
    if (!(condition)) {                                                            \
      std::fprintf(stderr, "check failed at line %d: %s\n", __LINE__, #condition); \
      std::abort();                                                                \
    }                                                                              \
  } while (false)
