// Value-to-text conversion for file names and network text, in the classic
// locale whatever locale the application set.
#pragma once

#include <locale>
#include <sstream>
#include <string>

// The value as a default-formatted string stream writes it (precision 6).
template <typename T>
std::string ToString(const T& value) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out << value;
  return out.str();
}

// The same with `precision` significant digits, still in the general format
// (neither fixed nor scientific): trailing zeros dropped, an exponent only for
// very large or small values. With 10 digits 25.78125 stays 25.78125 and 28.0
// is written 28.
template <typename T>
std::string ToString(const T& value, int precision) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out.precision(precision);
  out << value;
  return out.str();
}
