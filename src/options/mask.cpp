// Mask compilation and matching.
#include "options/mask.h"

#include <algorithm>

#include "foundation/ansi.h"

namespace tq {
namespace {

[[noreturn]] void Invalid(std::string_view mask, size_t index) {
  throw EMaskException("'" + std::string(mask) + "' is an invalid mask at (" +
                       std::to_string(index + 1) + ")");
}

unsigned char Upper(char c) {
  return AnsiUpperChar(static_cast<unsigned char>(c));
}

}  // namespace

TMask::TMask(std::string_view mask) {
  int sinceStar = -1;  // elements since the last "*"; -1 before the first one
  for (size_t i = 0; i < mask.size(); ++i) {
    TElement element;
    const size_t start = i;
    switch (mask[i]) {
      case '*':
        sinceStar = 0;
        // "**" is one "*".
        if (m_elements.empty() || m_elements.back().Kind != TElement::ekStar) {
          m_elements.emplace_back().Kind = TElement::ekStar;
        }
        continue;
      case '?':
        element.Kind = TElement::ekAny;
        break;
      case '[': {
        element.Kind = TElement::ekSet;
        ++i;
        if (i < mask.size() && mask[i] == '!') {
          element.Negated = true;
          ++i;
        }
        if (i < mask.size() && mask[i] == '-') Invalid(mask, i);
        while (i < mask.size() && mask[i] != ']') {
          const auto first = static_cast<unsigned char>(mask[i]);
          if (i + 2 < mask.size() && mask[i + 1] == '-' && mask[i + 2] != ']') {
            const auto last = static_cast<unsigned char>(mask[i + 2]);
            for (unsigned c = first; c <= last; ++c) element.Set.set(Upper(static_cast<char>(c)));
            i += 3;
          } else {
            element.Set.set(Upper(static_cast<char>(first)));
            ++i;
          }
        }
        if (i >= mask.size()) Invalid(mask, mask.size());
        break;
      }
      default:
        element.Char = Upper(mask[i]);
    }
    if (sinceStar >= 0 && ++sinceStar > kMaxElementsAfterStar) Invalid(mask, start);
    m_elements.push_back(element);
  }
}

bool TMask::MatchesOne(const TElement& element, unsigned char c) {
  switch (element.Kind) {
    case TElement::ekChar:
      return element.Char == AnsiUpperChar(c);
    case TElement::ekAny:
      return true;
    case TElement::ekSet:
      return element.Set.test(AnsiUpperChar(c)) != element.Negated;
    case TElement::ekStar:
      break;
  }
  return false;
}

bool TMask::Matches(std::string_view name) const {
  // Every element but "*" takes one character, so on a mismatch it is enough to let the latest
  // "*" take one character more: O(mask x name) at worst, no recursion.
  size_t e = 0, n = 0;
  size_t starElement = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    if (e < m_elements.size() && m_elements[e].Kind == TElement::ekStar) {
      starElement = e++;
      starName = n;
    } else if (e < m_elements.size() &&
               MatchesOne(m_elements[e], static_cast<unsigned char>(name[n]))) {
      ++e;
      ++n;
    } else if (starElement != std::string_view::npos) {
      e = starElement + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (e < m_elements.size() && m_elements[e].Kind == TElement::ekStar) ++e;
  return e == m_elements.size();
}

TMultiMask::TMultiMask(std::string_view masks) {
  size_t pos = 0;
  while (pos <= masks.size()) {
    const size_t end = std::min(masks.find(';', pos), masks.size());
    std::string_view mask = masks.substr(pos, end - pos);
    while (!mask.empty() && mask.front() == ' ') mask.remove_prefix(1);
    while (!mask.empty() && mask.back() == ' ') mask.remove_suffix(1);
    if (!mask.empty()) m_masks.emplace_back(mask);
    pos = end + 1;
  }
}

bool TMultiMask::Matches(std::string_view name) const {
  for (const auto& mask : m_masks) {
    if (mask.Matches(name)) return true;
  }
  return false;
}

}  // namespace tq
