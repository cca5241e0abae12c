// Text-to-number conversion that does not depend on the application's locale.
#pragma once

namespace tessok::platform {

// strtod in the classic ("C") locale, whatever locale the application set:
// leading white space skipped, decimal and hexadecimal forms, exponents,
// infinities and NaN. *end (when end is not null) receives the first character
// after the number, or text itself when no number was found.
double ParseDouble(const char* text, char** end);

}  // namespace tessok::platform
