#include "app/frame_view.h"

#include <cmath>

namespace vorlane {

QSurfaceFormat RequestedSurfaceFormat()
{
    // Every display Qt drives here is true colour: no palette to build.
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setDepthBufferSize(32);
    format.setStencilBufferSize(0);
    return format;
}

FrameView::FrameView(Scene& scene, const ViewState& view, QWidget* parent)
    : QOpenGLWidget(parent), scene_(scene), view_(view)
{
    setFormat(RequestedSurfaceFormat());
    // Keys belong to the main window, which owns the state they change.
    setFocusPolicy(Qt::NoFocus);
}

void FrameView::initializeGL()
{
    SetupScene(scene_);
    emit sceneReady();
}

void FrameView::resizeGL(int width, int height)
{
    // Qt passes device-independent pixels; the scene wants real ones.
    const double ratio = devicePixelRatioF();
    Reshape(scene_, static_cast<int32_t>(std::lround(width * ratio)), static_cast<int32_t>(std::lround(height * ratio)));
}

void FrameView::paintGL()
{
    PaintScene(scene_, view_);
}

}  // namespace vorlane
