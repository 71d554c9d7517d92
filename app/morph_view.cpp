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

MorphView::~MorphView()
{
    if (cache_.buffers.arrays == nullptr && cache_.coarseBuffers.arrays == nullptr) return;
    makeCurrent();
    ReleaseMorphBuffers(cache_.buffers);
    ReleaseMorphBuffers(cache_.coarseBuffers);
    doneCurrent();
}

void MorphView::SetMorph(const PlacedMorph& morph)
{
    morph_ = morph;
    // The buffers are refilled, not remade, at the next paint.
    cache_.frame = MorphFrame{};
    cache_.buffers.arrays = nullptr;
    cache_.coarseFrame = MorphFrame{};
    cache_.coarseBuffers.arrays = nullptr;
    update();
}

void MorphView::initializeGL()
{
    SetupLighting(scene_);
    // A new context has none of the buffers an earlier one made.
    cache_.buffers = MorphBuffers{};
    cache_.coarseBuffers = MorphBuffers{};
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
    DrawSingleMorphFrame(morph_ ? *morph_ : nothing, cache_, scene_.lightPosition, scene_.shadowMatrix, view_,
                         scene_.shapeLists);
}

}  // namespace vorlane
