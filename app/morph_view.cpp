#include "app/morph_view.h"

#include <cmath>

#include "app/frame_view.h"

namespace vorlane {

MorphView::MorphView(Scene& scene, const ViewState& view, QWidget* parent)
    : QOpenGLWidget(parent), scene_(scene), view_(view)
{
    setFormat(RequestedSurfaceFormat());
    // Keys belong to the main window, which owns the state they change.
    setFocusPolicy(Qt::NoFocus);
}

void MorphView::SetMorph(const PlacedMorph& morph)
{
    morph_ = morph;
    frame_ = MorphFrame{};
    update();
}

void MorphView::initializeGL()
{
    SetupLighting(scene_);
    emit contextReady();
}

void MorphView::resizeGL(int width, int height)
{
    const double ratio = devicePixelRatioF();
    Reshape(scene_, static_cast<int32_t>(std::lround(width * ratio)), static_cast<int32_t>(std::lround(height * ratio)));
}

void MorphView::paintGL()
{
    const PlacedMorph nothing;
    DrawSingleMorphFrame(morph_ ? *morph_ : nothing, frame_, scene_.lightPosition, scene_.shadowMatrix, view_,
                         scene_.shapeLists);
}

}  // namespace vorlane
