#include "app/key_mapping.h"

#include "app/animation_clock.h"

namespace vorlane {

std::optional<int32_t> VirtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers)
{
    if (qtKey == Qt::Key_Alt || modifiers.testFlag(Qt::AltModifier)) return std::nullopt;
    switch (qtKey) {
    case Qt::Key_Left: return VirtualKey::Left;
    case Qt::Key_Up: return VirtualKey::Up;
    case Qt::Key_Right: return VirtualKey::Right;
    case Qt::Key_Down: return VirtualKey::Down;
    case Qt::Key_PageUp: return VirtualKey::PageUp;
    case Qt::Key_PageDown: return VirtualKey::PageDown;
    default: break;
    }
    // Qt already reports letters by their upper-case code.
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return qtKey;
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9 && !modifiers.testFlag(Qt::KeypadModifier)) return qtKey;
    return OtherVirtualKey;
}

}  // namespace vorlane
