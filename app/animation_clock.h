// The animation clock and the key commands: every change a timer tick or a
// key press makes to the view, the step and the light. No Qt, no GL.
#pragma once

#include <cstdint>
#include <vector>

#include "app/scene.h"
#include "render/view_state.h"

namespace vorlane {

// The one animation timer. The window maps it onto its toolkit's timer, whose
// own identifiers differ; only ticks of this timer move the clock.
inline constexpr uint32_t AnimationTimerId = 116;
inline constexpr int32_t AnimationPeriodMs = 100;
// Ticks an end picture is held in undisturbed running.
inline constexpr int32_t EndHoldPeriod = 10;

// Virtual-key codes the key commands are written in.
namespace VirtualKey {
inline constexpr int32_t PageUp = 33;
inline constexpr int32_t PageDown = 34;
inline constexpr int32_t Left = 37;
inline constexpr int32_t Up = 38;
inline constexpr int32_t Right = 39;
inline constexpr int32_t Down = 40;
inline constexpr int32_t Digit1 = '1';
inline constexpr int32_t Digit2 = '2';
inline constexpr int32_t Digit3 = '3';
inline constexpr int32_t A = 'A';
inline constexpr int32_t F = 'F';
inline constexpr int32_t L = 'L';
inline constexpr int32_t O = 'O';
inline constexpr int32_t R = 'R';
inline constexpr int32_t S = 'S';
inline constexpr int32_t V = 'V';
}  // namespace VirtualKey

// The view the drawing reads, plus what only the clock needs.
struct AnimationState {
    ViewState view;
    bool stepForward = true;   // the timer raises the step inside the range
    int32_t endHoldTicks = 0;  // ticks spent at the ends over the whole run
    bool resumeOnKey = true;   // every key press restarts the timer
};

// What the window must do with the animation timer, in order.
enum class ClockCommand { Start, Stop };

// One tick of the animation timer: walks the step (holding at the ends) and
// turns the view by 3, 4 and 5 degrees. The caller then repaints.
void OnTimerTick(AnimationState& state);

// One key press, given as a virtual-key code; any code outside the key table
// still counts as a key press. Page Up and Page Down move the light and
// recompute scene.shadowMatrix. Returns the timer commands to carry out, in
// order; a start restarts a running timer's period. The caller then repaints.
std::vector<ClockCommand> OnKeyPress(AnimationState& state, Scene& scene, int32_t virtualKey);

}  // namespace vorlane
