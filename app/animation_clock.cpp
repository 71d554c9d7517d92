#include "app/animation_clock.h"

#include <cmath>

namespace vorlane {

namespace {

// Whole part (towards zero), then the remainder whose sign follows it.
// note: std::fmod has no undefined range, unlike a cast to an integer.
float WholeRemainder360(float angle)
{
    return std::fmod(std::trunc(angle), 360.0f) + 0.0f;  // + 0 turns -0 into 0
}

// The hold rule only asks whether the count is a multiple of the hold period,
// so wrapping at a multiple of it changes nothing and never overflows.
int32_t NextEndHoldTick(int32_t ticks)
{
    constexpr int32_t wrap = EndHoldPeriod * 100000000;
    return ticks + 1 >= wrap ? 0 : ticks + 1;
}

}  // namespace

void OnTimerTick(AnimationState& state)
{
    ViewState& view = state.view;
    if (view.morphStep >= MorphSteps) {
        if (state.endHoldTicks % EndHoldPeriod == 0) {
            view.morphStep -= 1;
            state.stepForward = false;
        }
        state.endHoldTicks = NextEndHoldTick(state.endHoldTicks);
    } else if (view.morphStep <= 0) {
        if (state.endHoldTicks % EndHoldPeriod == 0) {
            view.morphStep += 1;
            state.stepForward = true;
        }
        state.endHoldTicks = NextEndHoldTick(state.endHoldTicks);
    } else {
        view.morphStep += state.stepForward ? 1 : -1;
    }
    view.angleX = WholeRemainder360(view.angleX + 3.0f);
    view.angleY = WholeRemainder360(view.angleY + 4.0f);
    view.angleZ = WholeRemainder360(view.angleZ + 5.0f);
}

std::vector<ClockCommand> OnKeyPress(AnimationState& state, Scene& scene, int32_t key)
{
    std::vector<ClockCommand> commands;
    ViewState& view = state.view;

    // Each command is tested on its own, in this fixed order: later ones see
    // what earlier ones changed (F or R against the restart's step 1).
    if (key == VirtualKey::Up) view.angleX -= 5.0f;
    if (key == VirtualKey::Down) view.angleX += 5.0f;
    if (key == VirtualKey::Left) view.angleY -= 5.0f;
    if (key == VirtualKey::Right) view.angleY += 5.0f;
    if (key == VirtualKey::PageUp) {
        scene.lightPosition[2] += 5.0f;
        ComputeShadowMatrix(scene.floorPoints, scene.lightPosition, scene.shadowMatrix);
    }
    if (key == VirtualKey::PageDown) {
        scene.lightPosition[2] -= 5.0f;
        ComputeShadowMatrix(scene.floorPoints, scene.lightPosition, scene.shadowMatrix);
    }
    if (key == VirtualKey::F && view.morphStep < MorphSteps) view.morphStep += 1;
    if (key == VirtualKey::A || state.resumeOnKey) {
        commands.push_back(ClockCommand::Start);
        if (view.morphStep == 0) view.morphStep = 1;
    }
    if (key == VirtualKey::S) {
        state.resumeOnKey = !state.resumeOnKey;
        commands.push_back(ClockCommand::Stop);
    }
    if (key == VirtualKey::R && view.morphStep > 0) view.morphStep -= 1;
    if (key == VirtualKey::L) {
        view.showMorphEdges = !view.showMorphEdges;
        view.showModelEdges = false;
    }
    if (key == VirtualKey::V) {
        view.showMorphVertices = !view.showMorphVertices;
        view.showModelVertices = false;
    }
    if (key == VirtualKey::O) view.showMorphFaces = !view.showMorphFaces;
    if (key == VirtualKey::Digit1) view.showModelEdges = !view.showModelEdges;
    if (key == VirtualKey::Digit2) view.showModelVertices = !view.showModelVertices;
    if (key == VirtualKey::Digit3) view.showProjectionRays = !view.showProjectionRays;

    view.angleX = WholeRemainder360(view.angleX);
    view.angleY = WholeRemainder360(view.angleY);
    return commands;
}

}  // namespace vorlane
