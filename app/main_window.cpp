#include "app/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QTimerEvent>

#include "app/frame_view.h"
#include "app/key_mapping.h"

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
    // The clock runs once the scene exists, as it needs a context to be built.
    connect(view_, &FrameView::sceneReady, this, [this] { Apply(ClockCommand::Start); });
}

// The view, and with it the OpenGL context, goes with the window.
MainWindow::~MainWindow() = default;

void MainWindow::Apply(ClockCommand command)
{
    if (command == ClockCommand::Start) {
        timer_.start(AnimationPeriodMs, Qt::PreciseTimer, this);
    } else {
        timer_.stop();
    }
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    // Auto-repeated presses count as presses: a held key keeps restarting
    // the timer, as it should.
    const std::optional<int32_t> key = VirtualKeyFromQt(event->key(), event->modifiers());
    if (!key) {
        QMainWindow::keyPressEvent(event);
        return;
    }
    for (ClockCommand command : OnKeyPress(state_, scene_, *key)) Apply(command);
    view_->update();
}

void MainWindow::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != timer_.timerId()) {
        QMainWindow::timerEvent(event);
        return;
    }
    OnTimerTick(state_);
    view_->update();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    timer_.stop();
    event->accept();
    QCoreApplication::exit(0);
}

}  // namespace vorlane
