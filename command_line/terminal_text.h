// Text from the command line, made safe to show on a terminal.
#pragma once

#include <string>

namespace vorlane {

// text with every control character (C0, DEL and, as UTF-8 or as a stray
// byte, C1) and every byte of a malformed UTF-8 sequence written as \xHH,
// so a file name can never move the cursor or change the terminal. Printable
// text, including valid UTF-8, is kept as it is.
std::string EscapeControls(const std::string& text);

}  // namespace vorlane
