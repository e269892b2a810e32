#include <algorithm>
#include <locale>

#include "serial/enum_com_ports.h"

namespace hexloader {
namespace {

std::locale UserLocale() {
  try {
    return std::locale("");
  } catch (const std::runtime_error&) {
    return std::locale::classic();  // an unknown LANG must not cost the menu
  }
}

}  // namespace

void SortPortNames(std::vector<std::string>& Names) {
  const std::locale loc = UserLocale();
  const auto& ctype = std::use_facet<std::ctype<char>>(loc);
  const auto& collate = std::use_facet<std::collate<char>>(loc);
  auto folded = [&](std::string s) {
    ctype.tolower(s.data(), s.data() + s.size());
    return s;
  };
  std::stable_sort(Names.begin(), Names.end(), [&](const std::string& a, const std::string& b) {
    const std::string fa = folded(a), fb = folded(b);
    const int order = collate.compare(fa.data(), fa.data() + fa.size(), fb.data(), fb.data() + fb.size());
    if (order != 0) return order < 0;
    return a < b;
  });
}

}  // namespace hexloader
