#include "app/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenuBar>

#include "app/frame_view.h"
#include "app/window_controls.h"

namespace vorlane {

MainWindow::MainWindow()
{
    setWindowTitle(QString::fromLatin1(WindowTitle));
    // Without a window manager this is exactly the outer size; with one, the
    // frame may be added around it.
    setGeometry(WindowLeft, WindowTop, WindowWidth, WindowHeight);
    setFocusPolicy(Qt::StrongFocus);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    exitAction_ = file->addAction(QStringLiteral("E&xit"));
    exitAction_->setData(ExitCommandId);
    connect(exitAction_, &QAction::triggered, this, &QWidget::close);

    view_ = new FrameView(scene_, state_.view, this);
    setCentralWidget(view_);
    controls_ = new WindowControls(state_, scene_, [this] { view_->update(); }, this);
    // The clock runs once the scene exists, as it needs a context to be built.
    connect(view_, &FrameView::sceneReady, controls_, &WindowControls::Start);
}

// The view, and with it the OpenGL context, goes with the window.
MainWindow::~MainWindow() = default;

bool MainWindow::animationRunning() const { return controls_->running(); }

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    if (!controls_->KeyPress(*event)) QMainWindow::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    controls_->Stop();
    event->accept();
    QCoreApplication::exit(0);
}

}  // namespace vorlane
