// Value-to-text conversion for file names and network text: the value as a
// string stream with default formatting writes it.
#pragma once

#include <locale>
#include <sstream>
#include <string>

template <typename T>
std::string ToString(const T& value) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out << value;
  return out.str();
}
