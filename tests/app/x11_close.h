// Asks a top-level X window to close, as a window manager's close button does.
#pragma once

namespace vorlane::test {

// Sends WM_DELETE_WINDOW to window on the display named by DISPLAY.
// False when the display cannot be opened.
bool RequestWindowClose(unsigned long window);

}  // namespace vorlane::test
