// Text as one line of the hosts' output.
#pragma once

#include <string>

namespace host {

// Text (from the library, a page, a file name) as one line of output:
// control characters become \n, \r, \t or \xHH, a backslash \\, and each
// byte that is not part of well-formed UTF-8 \xHH; the C1 controls (U+0085
// among them), the line and paragraph separators U+2028 and U+2029 and the
// bidirectional controls (U+061C, U+200E, U+200F, U+202A to U+202E, U+2066
// to U+2069) become \uHHHH. So no text can end a line, forge another for a
// reader that splits on Unicode line breaks, or turn the rest of the line
// around on a terminal.
std::string printable(const std::string& text);

}  // namespace host
