// The window that shows one morph of the user's own: it loads the morph on a
// worker thread, shows the load's progress, then animates the morph with the
// demo's clock and keys. Ctrl+S saves the frame.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>

#include <memory>
#include <string>

#include "app/animation_clock.h"
#include "app/morph_loader.h"
#include "app/scene.h"
#include "command_line/viewer_arguments.h"

class QLabel;

namespace vorlane {

class MorphView;
class WindowControls;

// The two ends' colours: the demo's red and cyan.
inline constexpr ByteColour ViewerSourceColour{255, 0, 0};
inline constexpr ByteColour ViewerTargetColour{0, 255, 255};
// Morphs with more triangles than this start with their edges hidden (L
// shows them): at that density the lines would cover the faces.
inline constexpr int32_t DenseMorphTriangles = 20000;

class ViewerWindow : public QMainWindow {
    Q_OBJECT
public:
    // Titled after input, placed as the demo's window; loads nothing yet.
    explicit ViewerWindow(ViewerInput input);
    ~ViewerWindow() override;

    // Starts loading input on the worker thread; the morph shows when done.
    void StartLoading();
    // Shows loaded at once (what a successful load ends with).
    void ShowMorph(LoadedMorph loaded);

    bool loading() const { return loader_ != nullptr; }
    bool morphShown() const { return shown_.arrays.vertexCount > 0; }
    const LoadedMorph& shown() const { return shown_; }
    AnimationState& animation() { return state_; }
    Scene& scene() { return scene_; }
    MorphView* view() const { return view_; }
    QLabel* statusLabel() const { return status_; }
    bool animationRunning() const;
    // Saves the frame as SnapshotFileName in the working folder; returns an
    // empty string or why not.
    std::string SaveFrame();

signals:
    // The program is done: 0 when the window closed, 1 once the message of a
    // failed load was dismissed.
    void finished(int status);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Poll();
    void Fail(const std::string& reason);
    void ShowStatus(const QString& text);
    void StartClockWhenReady();

    ViewerInput input_;
    AnimationState state_;
    Scene scene_;  // light, shadow matrix and lists only
    LoadedMorph shown_;
    std::unique_ptr<MorphLoader> loader_;
    QElapsedTimer loadClock_;
    QTimer poll_;
    bool contextReady_ = false;
    bool failed_ = false;
    MorphView* view_ = nullptr;
    WindowControls* controls_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace vorlane
