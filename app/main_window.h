// The one top-level window: it owns the view, animation and scene state,
// runs the animation timer and carries out the key commands.
#pragma once

#include <QBasicTimer>
#include <QMainWindow>

#include "app/animation_clock.h"
#include "app/scene.h"

class QAction;

namespace vorlane {

class FrameView;

inline constexpr char WindowTitle[] = "Vorlane";
inline constexpr int WindowLeft = 50;
inline constexpr int WindowTop = 50;
inline constexpr int WindowWidth = 800;  // outer size, frame included
inline constexpr int WindowHeight = 800;
// The command identifier of File > Exit, kept as the action's data.
inline constexpr int ExitCommandId = 40001;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow();
    ~MainWindow() override;

    const AnimationState& animation() const { return state_; }
    const Scene& scene() const { return scene_; }
    FrameView* view() const { return view_; }
    QAction* exitAction() const { return exitAction_; }
    bool animationRunning() const { return timer_.isActive(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Apply(ClockCommand command);

    AnimationState state_;
    Scene scene_;
    // Stands for animation timer 116: a restart restarts its period, and
    // only its ticks move the clock.
    QBasicTimer timer_;
    FrameView* view_ = nullptr;
    QAction* exitAction_ = nullptr;
};

}  // namespace vorlane
