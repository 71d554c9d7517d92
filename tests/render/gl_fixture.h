// A fresh compatibility-profile context per test, drawing into an 800 x 800
// framebuffer object with a depth buffer, read back as an image.
#pragma once

#include <GL/gl.h>
#include <QGuiApplication>
#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QSurfaceFormat>
#include <gtest/gtest.h>

#include <memory>

namespace vorlane::test {

inline constexpr int FrameSize = 800;

class GlTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(QGuiApplication::instance(), nullptr);
        QSurfaceFormat format;
        format.setRenderableType(QSurfaceFormat::OpenGL);
        format.setProfile(QSurfaceFormat::CompatibilityProfile);
        format.setDepthBufferSize(24);
        surface_ = std::make_unique<QOffscreenSurface>();
        surface_->setFormat(format);
        surface_->create();
        context_ = std::make_unique<QOpenGLContext>();
        context_->setFormat(format);
        ASSERT_TRUE(context_->create()) << "no OpenGL context";
        ASSERT_TRUE(context_->makeCurrent(surface_.get())) << "the context cannot be made current";
        ASSERT_NE(context_->format().profile(), QSurfaceFormat::CoreProfile) << "fixed-function GL is missing";
        QOpenGLFramebufferObjectFormat target;
        target.setAttachment(QOpenGLFramebufferObject::Depth);
        fbo_ = std::make_unique<QOpenGLFramebufferObject>(FrameSize, FrameSize, target);
        ASSERT_TRUE(fbo_->isValid());
        ASSERT_TRUE(fbo_->bind());
        glViewport(0, 0, FrameSize, FrameSize);
    }

    void TearDown() override
    {
        if (context_ && surface_) context_->makeCurrent(surface_.get());
        fbo_.reset();
        if (context_) context_->doneCurrent();
        context_.reset();
        surface_.reset();
    }

    // An orthographic camera on x from low to high, y likewise, and z from
    // -depth to depth, with the model-view matrix the identity.
    static void LookOrthographically(double low, double high, double depth)
    {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(low, high, low, high, -depth, depth);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }

    // The frame as drawn so far, top row first.
    QImage Grab()
    {
        glFinish();
        return fbo_->toImage(true).convertToFormat(QImage::Format_RGB32);
    }

private:
    std::unique_ptr<QOffscreenSurface> surface_;
    std::unique_ptr<QOpenGLContext> context_;
    std::unique_ptr<QOpenGLFramebufferObject> fbo_;
};

}  // namespace vorlane::test
