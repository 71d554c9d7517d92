// Qt key events as the virtual-key codes the key commands are written in.
#pragma once

#include <QtCore/qnamespace.h>

#include <cstdint>
#include <optional>

namespace vorlane {

// The code not named by any key command; such a press still counts as a key.
inline constexpr int32_t OtherVirtualKey = 0;

// Arrows 37 to 40, Page Up 33, Page Down 34, letters by their upper-case code
// whatever Shift says, main-keyboard digits 48 to 57 (keypad digits are other
// keys), everything else OtherVirtualKey. Presses with Alt, and Alt itself,
// belong to the menu bar and give nothing.
std::optional<int32_t> VirtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers);

}  // namespace vorlane
