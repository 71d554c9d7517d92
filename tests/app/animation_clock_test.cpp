#include "app/animation_clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

using vorlane::AnimationState;
using vorlane::ClockCommand;
using vorlane::OnKeyPress;
using vorlane::OnTimerTick;
using vorlane::Scene;
namespace Key = vorlane::VirtualKey;

using Commands = std::vector<ClockCommand>;
const Commands Start{ClockCommand::Start};
const Commands None{};

// The step after each tick, written out as the runs a viewer sees.
std::vector<int> Runs(std::initializer_list<std::vector<int>> runs)
{
    std::vector<int> steps;
    for (const std::vector<int>& run : runs) steps.insert(steps.end(), run.begin(), run.end());
    return steps;
}
std::vector<int> Count(int from, int to)
{
    std::vector<int> run;
    for (int s = from; from <= to ? s <= to : s >= to; s += from <= to ? 1 : -1) run.push_back(s);
    return run;
}
std::vector<int> Hold(int step, int ticks) { return std::vector<int>(static_cast<size_t>(ticks), step); }

TEST(AnimationClock, StartUpWalkLeavesAtOnceThenHoldsEachEndForASecond)
{
    const std::vector<int> expected = Runs({Count(1, 20), Hold(20, 9), Count(19, 0), Hold(0, 9), Count(1, 20),
                                            Hold(20, 9), Count(19, 0), Hold(0, 9), {1}});
    AnimationState state;
    for (size_t tick = 0; tick < expected.size(); ++tick) {
        OnTimerTick(state);
        ASSERT_EQ(state.view.morphStep, expected[tick]) << "tick " << tick + 1;
        if (tick + 1 == 29) {
            EXPECT_TRUE(state.stepForward) << "still holding 20";
        }
        if (tick + 1 == 30) {
            EXPECT_FALSE(state.stepForward) << "turned on leaving 20";
        }
    }
    // Ticks spent at the ends: the first, then 10 at each of four arrivals.
    EXPECT_EQ(state.endHoldTicks, 41);
    EXPECT_TRUE(state.stepForward);
}

// F, R or A moved the step by hand: the end is held only until the shared
// count next reaches a multiple of ten.
TEST(AnimationClock, HoldAfterAHandMoveEndsAtTheNextMultipleOfTen)
{
    AnimationState state;
    state.view.morphStep = 20;
    state.endHoldTicks = 7;
    state.stepForward = true;
    const std::vector<int> expected{20, 20, 20, 19, 18};
    for (size_t tick = 0; tick < expected.size(); ++tick) {
        OnTimerTick(state);
        EXPECT_EQ(state.view.morphStep, expected[tick]) << "tick " << tick + 1;
    }
}

struct AngleCase {
    std::string name;
    float x, y, z;         // before the ticks
    int ticks;
    float ex, ey, ez;      // after them
};

TEST(AnimationClock, TicksTurnTheViewByWholeDegreesWithinAFullTurn)
{
    const std::vector<AngleCase> cases{
        {"first tick", 0, 0, 0, 1, 3, 4, 5},
        {"past a full turn", 358, 359, 357, 1, 1, 3, 2},
        {"negative angles climb through zero", -5, -4, -6, 3, 4, 8, 9},
        {"remainder keeps the dividend's sign", -365, -400, -370, 1, -2, -36, -5},
        {"whole part truncates towards zero", 10.75f, -7.5f, -0.5f, 1, 13, -3, 4},
    };
    for (const AngleCase& c : cases) {
        SCOPED_TRACE(c.name);
        AnimationState state;
        state.view.angleX = c.x;
        state.view.angleY = c.y;
        state.view.angleZ = c.z;
        for (int t = 0; t < c.ticks; ++t) OnTimerTick(state);
        EXPECT_EQ(state.view.angleX, c.ex);
        EXPECT_EQ(state.view.angleY, c.ey);
        EXPECT_EQ(state.view.angleZ, c.ez);
    }
}

TEST(AnimationClock, UpFromZeroThenTicks)
{
    AnimationState state;
    Scene scene;
    OnKeyPress(state, scene, Key::Up);
    EXPECT_EQ(state.view.angleX, -5.0f);
    for (float expected : {-2.0f, 1.0f, 4.0f, 7.0f}) {
        OnTimerTick(state);
        EXPECT_EQ(state.view.angleX, expected);
    }
}

// One key press from a prepared state: what it changes and the timer
// commands it gives, in order.
struct KeyCase {
    std::string name;
    std::vector<int32_t> keys;  // pressed in turn; the last one's commands are checked
    int32_t step = 0;
    bool resumeOnKey = true;
    int32_t expectedStep = 0;
    Commands expectedCommands;
    bool expectedResume = true;
};

TEST(KeyCommands, StepTimerAndResumeFollowTheFixedOrder)
{
    const Commands startStop{ClockCommand::Start, ClockCommand::Stop};
    const Commands stop{ClockCommand::Stop};
    const std::vector<KeyCase> cases{
        {"F steps forward", {Key::F}, 5, true, 6, Start, true},
        {"F at the top stays", {Key::F}, 20, true, 20, Start, true},
        {"F at 0 gives 1, not 2", {Key::F}, 0, true, 1, Start, true},
        {"F at 0 without resume", {Key::F}, 0, false, 1, None, false},
        {"R steps back", {Key::R}, 5, true, 4, Start, true},
        {"R at 0 is raised by the restart and lowered again", {Key::R}, 0, true, 0, Start, true},
        {"R at 0 without resume stays", {Key::R}, 0, false, 0, None, false},
        {"R at 1 without resume reaches 0", {Key::R}, 1, false, 0, None, false},
        {"A at 0 restarts and leaves 0", {Key::A}, 0, true, 1, Start, true},
        {"A elsewhere only restarts", {Key::A}, 7, true, 7, Start, true},
        {"A restarts even without resume", {Key::A}, 0, false, 1, Start, false},
        {"S first restarts, then clears resume and stops", {Key::S}, 5, true, 5, startStop, false},
        {"S again sets resume and stops the stopped timer", {Key::S, Key::S}, 5, true, 5, stop, true},
        {"after S twice any key restarts", {Key::S, Key::S, 'Z'}, 5, true, 5, Start, true},
        {"after S once another key does nothing", {Key::S, 'Z'}, 5, true, 5, None, false},
        {"any key at 0 leaves 0 while resume is set", {'Z'}, 0, true, 1, Start, true},
        {"a code outside the table restarts too", {0}, 3, true, 3, Start, true},
        {"keypad digit codes are other keys", {97}, 3, true, 3, Start, true},
        {"any key without resume does nothing", {'Z'}, 0, false, 0, None, false},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        AnimationState state;
        Scene scene;
        state.view.morphStep = c.step;
        state.resumeOnKey = c.resumeOnKey;
        Commands commands;
        for (int32_t key : c.keys) commands = OnKeyPress(state, scene, key);
        EXPECT_EQ(state.view.morphStep, c.expectedStep);
        EXPECT_EQ(commands, c.expectedCommands);
        EXPECT_EQ(state.resumeOnKey, c.expectedResume);
        EXPECT_TRUE(state.stepForward) << "F and R keep the timer's direction";
    }
}

TEST(KeyCommands, ArrowsTurnTheViewAndNormaliseXAndYOnly)
{
    struct Case {
        std::string name;
        std::vector<int32_t> keys;
        float x, y, z;
        float ex, ey, ez;
    };
    const std::vector<Case> cases{
        {"up", {Key::Up}, 0, 0, 0, -5, 0, 0},
        {"down", {Key::Down}, 0, 0, 0, 5, 0, 0},
        {"left", {Key::Left}, 0, 0, 0, 0, -5, 0},
        {"right", {Key::Right}, 0, 0, 0, 0, 5, 0},
        {"up then down returns", {Key::Up, Key::Down}, 12, 0, 0, 12, 0, 0},
        {"a full turn down wraps to 0", {Key::Up}, -355, 0, 0, 0, 0, 0},
        {"past a full turn up", {Key::Down, Key::Right}, 358, 357, 0, 3, 2, 0},
        {"other keys truncate x and y, never z", {Key::O}, 10.5f, -3.25f, 7.5f, 10, -3, 7.5f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AnimationState state;
        Scene scene;
        state.view.angleX = c.x;
        state.view.angleY = c.y;
        state.view.angleZ = c.z;
        for (int32_t key : c.keys) OnKeyPress(state, scene, key);
        EXPECT_EQ(state.view.angleX, c.ex);
        EXPECT_EQ(state.view.angleY, c.ey);
        EXPECT_EQ(state.view.angleZ, c.ez);
        if (c.ex == 0.0f) {
            EXPECT_FALSE(std::signbit(state.view.angleX)) << "no negative zero";
        }
    }
}

TEST(KeyCommands, SwitchesToggleAndMorphKeysClearTheModelSwitches)
{
    using vorlane::ViewState;
    using Switch = bool ViewState::*;
    const std::vector<Switch> all{&ViewState::showMorphFaces,    &ViewState::showMorphEdges,
                                  &ViewState::showMorphVertices, &ViewState::showModelEdges,
                                  &ViewState::showModelVertices, &ViewState::showProjectionRays};
    struct Case {
        std::string name;
        int32_t key;
        std::vector<Switch> setBefore;  // on top of the start-up switches
        std::vector<Switch> flipped;
    };
    const std::vector<Case> cases{
        {"L", Key::L, {}, {&ViewState::showMorphEdges}},
        {"L clears model edges", Key::L, {&ViewState::showModelEdges}, {&ViewState::showMorphEdges, &ViewState::showModelEdges}},
        {"V", Key::V, {}, {&ViewState::showMorphVertices}},
        {"V clears model vertices", Key::V, {&ViewState::showMorphVertices, &ViewState::showModelVertices},
         {&ViewState::showMorphVertices, &ViewState::showModelVertices}},
        {"O", Key::O, {}, {&ViewState::showMorphFaces}},
        {"1", Key::Digit1, {}, {&ViewState::showModelEdges}},
        {"2", Key::Digit2, {}, {&ViewState::showModelVertices}},
        {"3", Key::Digit3, {&ViewState::showProjectionRays}, {&ViewState::showProjectionRays}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AnimationState state;
        Scene scene;
        for (Switch s : c.setBefore) state.view.*s = true;
        const ViewState before = state.view;
        OnKeyPress(state, scene, c.key);
        for (size_t i = 0; i < all.size(); ++i) {
            const bool flipped = std::find(c.flipped.begin(), c.flipped.end(), all[i]) != c.flipped.end();
            EXPECT_EQ(state.view.*all[i], flipped != before.*all[i]) << "switch " << i;
        }
    }
}

void ExpectShadowMatrixFor(const Scene& scene)
{
    float expected[16];
    vorlane::ComputeShadowMatrix(scene.floorPoints, scene.lightPosition, expected);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(scene.shadowMatrix[i], expected[i]) << "element " << i;
}

TEST(KeyCommands, PageKeysMoveTheLightAndRecomputeTheShadowMatrix)
{
    AnimationState state;
    Scene scene;
    for (int press = 1; press <= 5; ++press) {
        OnKeyPress(state, scene, Key::PageUp);
        EXPECT_EQ(scene.lightPosition[2], 300.0f + 5.0f * static_cast<float>(press));
        ExpectShadowMatrixFor(scene);
    }
    EXPECT_EQ(scene.lightPosition[2], 325.0f);
    OnKeyPress(state, scene, Key::PageDown);
    EXPECT_EQ(scene.lightPosition[2], 320.0f);
    ExpectShadowMatrixFor(scene);
    EXPECT_EQ(scene.lightPosition[0], -200.0f);
    EXPECT_EQ(scene.lightPosition[1], 200.0f);
    EXPECT_EQ(scene.lightPosition[3], 1.0f);

    // Other keys leave the light and its matrix alone.
    const float before = scene.shadowMatrix[5];
    OnKeyPress(state, scene, Key::F);
    EXPECT_EQ(scene.lightPosition[2], 320.0f);
    EXPECT_EQ(scene.shadowMatrix[5], before);
}

// Whatever the keys and ticks, the step stays in range and the angles stay
// whole numbers inside a full turn.
TEST(AnimationClock, RandomKeysAndTicksKeepTheStateInRange)
{
    const std::vector<int32_t> keys{Key::Up,  Key::Down, Key::Left, Key::Right, Key::F, Key::A, Key::S,
                                    Key::R,   Key::L,    Key::V,    Key::O,     Key::Digit1, 'Q', 0};
    std::mt19937 random(116);
    AnimationState state;
    Scene scene;
    for (int event = 0; event < 20000; ++event) {
        if (random() % 3 == 0) {
            OnKeyPress(state, scene, keys[random() % keys.size()]);
        } else {
            OnTimerTick(state);
        }
        ASSERT_GE(state.view.morphStep, 0);
        ASSERT_LE(state.view.morphStep, vorlane::MorphSteps);
        for (float angle : {state.view.angleX, state.view.angleY, state.view.angleZ}) {
            ASSERT_EQ(angle, std::trunc(angle));
            ASSERT_GT(angle, -360.0f);
            ASSERT_LT(angle, 360.0f);
        }
    }
}

}  // namespace
