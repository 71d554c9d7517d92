// The window and GL tests share one QApplication, made only when tests run so
// that listing them needs no display.
#include <QApplication>
#include <QSurfaceFormat>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/frame_view.h"

namespace {

class QtApplication : public testing::Environment {
public:
    QtApplication(int argc, char** argv) : argc_(argc), argv_(argv) {}

    void SetUp() override
    {
        if (!std::getenv("DISPLAY")) {
            std::fprintf(stderr, "These tests need an X display: run them with scripts/test.sh, "
                                 "which starts Xvfb when there is none.\n");
            std::exit(1);
        }
        // The offscreen platform has no GL contexts to give.
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        QSurfaceFormat::setDefaultFormat(vorlane::RequestedSurfaceFormat());
        application_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { application_.reset(); }

private:
    int argc_;  // QApplication keeps a reference to it
    char** argv_;
    std::unique_ptr<QApplication> application_;
};

}  // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new QtApplication(argc, argv));
    return RUN_ALL_TESTS();
}
