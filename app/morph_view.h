// The OpenGL view of the viewer window: the scene's light and floor, and the
// user's morph once it is loaded.
#pragma once

#include <QOpenGLWidget>

#include <optional>

#include "app/scene.h"
#include "render/single_frame.h"
#include "render/view_state.h"

namespace vorlane {

class MorphView : public QOpenGLWidget {
    Q_OBJECT
public:
    // scene and view must outlive the widget; scene supplies the light, the
    // shadow matrix and the list cache only (its morphs are never built).
    MorphView(Scene& scene, const ViewState& view, QWidget* parent = nullptr);
    // Deletes the morph's buffer objects in the view's context.
    ~MorphView() override;

    // Shows morph from the next paint on; its arrays must outlive the view.
    void SetMorph(const PlacedMorph& morph);
    const std::optional<PlacedMorph>& morph() const { return morph_; }
    MorphDrawCache& drawCache() { return cache_; }

signals:
    // Emitted once the context is current for the first time and set up.
    void contextReady();

protected:
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;

private:
    Scene& scene_;
    const ViewState& view_;
    std::optional<PlacedMorph> morph_;
    MorphDrawCache cache_;
};

}  // namespace vorlane
