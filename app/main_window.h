// The one top-level window: it owns the view, animation and scene state,
// and runs the demo's keys and clock over them.
#pragma once

#include <QMainWindow>

#include "app/animation_clock.h"
#include "app/scene.h"

class QAction;

namespace vorlane {

class FrameView;
class WindowControls;

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
    bool animationRunning() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    AnimationState state_;
    Scene scene_;
    FrameView* view_ = nullptr;
    WindowControls* controls_ = nullptr;
    QAction* exitAction_ = nullptr;
};

}  // namespace vorlane
