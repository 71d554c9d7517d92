// The demo's keys and animation clock as a window runs them: the one place
// that turns Qt key presses and timer ticks into the key commands and clock
// steps of animation_clock.h. A window says only when the clock may run and
// which keys it takes first.
#pragma once

#include <QBasicTimer>
#include <QObject>

#include <functional>

#include "app/animation_clock.h"
#include "app/scene.h"

class QKeyEvent;

namespace vorlane {

class WindowControls : public QObject {
public:
    // state and scene must outlive the controls; changed runs after every
    // change a key or a tick makes (the window repaints).
    WindowControls(AnimationState& state, Scene& scene, std::function<void()> changed, QObject* parent = nullptr);

    // Carries out the key command of event and returns true, or returns
    // false for a press that belongs to someone else (Alt and its
    // combinations: the menu bar's). Auto-repeated presses count as presses.
    bool KeyPress(const QKeyEvent& event);

    // Starts the clock, restarting its period if it runs.
    void Start();
    void Stop();
    bool running() const { return timer_.isActive(); }

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void Apply(ClockCommand command);

    AnimationState& state_;
    Scene& scene_;
    std::function<void()> changed_;
    // Stands for animation timer 116: a restart restarts its period, and
    // only its ticks move the clock.
    QBasicTimer timer_;
};

}  // namespace vorlane
