#include "scan/textcase.h"

#include <algorithm>

namespace ostrel {
namespace {

unsigned char Upper(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

}  // namespace

int CompareNoCase(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const int d = Upper(a[i]) - Upper(b[i]);
    if (d != 0) return d;
  }
  return (a.size() < b.size()) ? -1 : (a.size() > b.size() ? 1 : 0);
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
  const auto same = [](char a, char b) { return Upper(a) == Upper(b); };
  return std::search(text.begin(), text.end(), part.begin(), part.end(), same) != text.end() || part.empty();
}

}  // namespace ostrel
