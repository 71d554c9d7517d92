// The OpenGL view that fills the main window: it hands context set-up,
// resizing and painting to the scene.
#pragma once

#include <QOpenGLWidget>
#include <QSurfaceFormat>

#include "app/scene.h"
#include "render/view_state.h"

namespace vorlane {

// Double-buffered RGBA with 8 bits a colour channel and a 32-bit depth
// buffer, or the closest the platform gives; a compatibility profile so that
// fixed-function OpenGL works.
QSurfaceFormat RequestedSurfaceFormat();

class FrameView : public QOpenGLWidget {
    Q_OBJECT
public:
    // scene and view must outlive the widget.
    FrameView(Scene& scene, const ViewState& view, QWidget* parent = nullptr);

signals:
    // Emitted once the context is current for the first time and the scene
    // is set up in it.
    void sceneReady();

protected:
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;

private:
    Scene& scene_;
    const ViewState& view_;
};

}  // namespace vorlane
