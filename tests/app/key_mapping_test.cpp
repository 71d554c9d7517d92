#include "app/key_mapping.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

using vorlane::OtherVirtualKey;
using vorlane::VirtualKeyFromQt;

TEST(KeyMapping, QtKeysGiveTheVirtualKeyCodesOfTheKeyCommands)
{
    struct Case {
        int key;
        Qt::KeyboardModifiers modifiers;
        std::optional<int32_t> expected;
    };
    const Qt::KeyboardModifiers none = Qt::NoModifier;
    const std::vector<Case> cases{
        {Qt::Key_Left, none, 37},
        {Qt::Key_Up, none, 38},
        {Qt::Key_Right, none, 39},
        {Qt::Key_Down, none, 40},
        {Qt::Key_Up, Qt::KeypadModifier, 38},  // keypad arrows with Num Lock off
        {Qt::Key_PageUp, none, 33},
        {Qt::Key_PageDown, none, 34},
        {Qt::Key_F, none, 70},
        {Qt::Key_F, Qt::ShiftModifier, 70},
        {Qt::Key_R, Qt::ControlModifier, 82},
        {Qt::Key_Z, none, 90},
        {Qt::Key_0, none, 48},
        {Qt::Key_1, none, 49},
        {Qt::Key_9, none, 57},
        {Qt::Key_1, Qt::KeypadModifier, OtherVirtualKey},
        {Qt::Key_3, Qt::KeypadModifier, OtherVirtualKey},
        {Qt::Key_Space, none, OtherVirtualKey},
        {Qt::Key_Shift, Qt::ShiftModifier, OtherVirtualKey},
        {Qt::Key_Alt, Qt::AltModifier, std::nullopt},
        {Qt::Key_F, Qt::AltModifier, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "Qt key 0x" << std::hex << c.key << " modifiers 0x" << c.modifiers.toInt());
        EXPECT_EQ(VirtualKeyFromQt(c.key, c.modifiers), c.expected);
    }
}

}  // namespace
