// File-name masks for the file scanner: "*" matches any run of characters (also none), "?" exactly
// one, "[set]" one character of the set and "[!set]" one outside it, where a set lists single
// characters and ranges ("a-z"). A mask matches a whole name; letters compare without regard to
// case (Windows-1252 table). Immutable once made: safe to share between threads.
#pragma once

#include <bitset>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/errors.h"

namespace tq {

// "'<mask>' is an invalid mask at (<position>)", the position counted from 1.
class EMaskException : public EVornError {
 public:
  using EVornError::EVornError;
};

class TMask {
 public:
  // At most this many elements may follow a "*" before the next one.
  static constexpr int kMaxElementsAfterStar = 30;

  // Raises EMaskException for a set without its closing "]", a "-" at the start of a set, or
  // more than kMaxElementsAfterStar elements after a "*"; the position is where the error was
  // found (one past the end for a set still open at the end).
  explicit TMask(std::string_view mask);

  bool Matches(std::string_view name) const;

 private:
  struct TElement {
    enum TKind { ekChar, ekAny, ekStar, ekSet } Kind = ekChar;
    unsigned char Char = 0;  // ekChar, upper-cased
    std::bitset<256> Set;    // ekSet: the upper-cased members
    bool Negated = false;    // ekSet: "[!...]"
  };
  static bool MatchesOne(const TElement& element, unsigned char c);

  std::vector<TElement> m_elements;
};

// A list of masks separated by ";" (blanks before a mask are skipped, blanks inside kept, blanks
// at its end removed; empty masks dropped). A name matches when any mask matches it. Raises
// EMaskException as TMask does.
class TMultiMask {
 public:
  explicit TMultiMask(std::string_view masks);

  bool Matches(std::string_view name) const;
  size_t Count() const { return m_masks.size(); }

 private:
  std::vector<TMask> m_masks;
};

}  // namespace tq
