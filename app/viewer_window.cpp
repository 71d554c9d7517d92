#include "app/viewer_window.h"

#include <QBuffer>
#include <QByteArray>
#include <QCloseEvent>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <utility>

#include "app/main_window.h"
#include "app/morph_view.h"
#include "app/window_controls.h"
#include "command_line/terminal_text.h"
#include "files/output_file.h"

namespace vorlane {

namespace {

constexpr int PollPeriodMs = 30;
// Loads shorter than this show no progress, so quick ones do not flicker.
constexpr qint64 QuietLoadMs = 330;
constexpr int StatusShownMs = 3000;

}  // namespace

ViewerWindow::ViewerWindow(ViewerInput input) : input_(std::move(input))
{
    setWindowTitle(QString::fromStdString(ViewerTitle(input_)));
    setGeometry(WindowLeft, WindowTop, WindowWidth, WindowHeight);
    setFocusPolicy(Qt::StrongFocus);
    view_ = new MorphView(scene_, state_.view, this);
    setCentralWidget(view_);
    controls_ = new WindowControls(state_, scene_, [this] { view_->update(); }, this);
    connect(view_, &MorphView::contextReady, this, [this] {
        contextReady_ = true;
        StartClockWhenReady();
    });
    status_ = new QLabel(view_);
    // Phases and errors name files, which may look like markup.
    status_->setTextFormat(Qt::PlainText);
    status_->setStyleSheet(QStringLiteral("QLabel { color: white; background: rgba(0, 0, 0, 128); padding: 6px; }"));
    status_->move(10, 10);
    status_->hide();
    connect(&poll_, &QTimer::timeout, this, &ViewerWindow::Poll);
}

// The loader's destructor stops and waits for its thread.
ViewerWindow::~ViewerWindow() = default;

void ViewerWindow::StartLoading()
{
    loader_ = std::make_unique<MorphLoader>(input_);
    loadClock_.start();
    poll_.start(PollPeriodMs);
}

void ViewerWindow::ShowMorph(LoadedMorph loaded)
{
    shown_ = std::move(loaded);
    if (shown_.arrays.triangleCount > DenseMorphTriangles) state_.view.showMorphEdges = false;
    const MorphArrays* coarse = shown_.coarse.vertexCount > 0 ? &shown_.coarse : nullptr;
    view_->SetMorph(PlacedMorph{&shown_.arrays, coarse, shown_.placement, ViewerSourceColour, ViewerTargetColour,
                                shown_.sourceModel.get()});
    StartClockWhenReady();
}

void ViewerWindow::StartClockWhenReady()
{
    if (contextReady_ && morphShown() && !controls_->running()) controls_->Start();
}

bool ViewerWindow::animationRunning() const { return controls_->running(); }

void ViewerWindow::Poll()
{
    if (!loader_) return;
    if (!loader_->Done()) {
        double fraction = 0.0;
        const std::string phase = loader_->Phase(fraction);
        if (loadClock_.elapsed() >= QuietLoadMs && !phase.empty()) {
            status_->setText(QStringLiteral("%1  %2 %").arg(QString::fromStdString(EscapeControls(phase))).arg(std::lround(fraction * 100)));
            status_->adjustSize();
            status_->show();
        }
        return;
    }
    poll_.stop();
    LoadedMorph loaded = loader_->Take();
    loader_.reset();
    status_->hide();
    if (!loaded.error.empty()) {
        Fail(loaded.error);
        return;
    }
    ShowMorph(std::move(loaded));
}

void ViewerWindow::Fail(const std::string& reason)
{
    failed_ = true;
    // The line vorlane-merge prints, file names and all, escaped as it does.
    const std::string line = EscapeControls(reason);
    std::fprintf(stderr, "vorlane: %s\n", line.c_str());
    auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Vorlane"), QString::fromStdString(line),
                                QMessageBox::Ok, this);
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this] { emit finished(1); });
    box->open();
}

void ViewerWindow::ShowStatus(const QString& text)
{
    status_->setText(text);
    status_->adjustSize();
    status_->show();
    QTimer::singleShot(StatusShownMs, status_, [label = status_, text] {
        if (label->text() == text) label->hide();
    });
}

std::string ViewerWindow::SaveFrame()
{
    const std::string name = SnapshotFileName(input_, state_.view.morphStep);
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !view_->grabFramebuffer().save(&buffer, "PNG"))
        return name + ": cannot encode the frame";
    return WriteStreamAtomically(name, [&](std::ostream& out) -> std::string {
        out.write(png.constData(), png.size());
        return {};
    });
}

void ViewerWindow::keyPressEvent(QKeyEvent* event)
{
    // Until the morph shows there is nothing for a key to change.
    if (!morphShown()) {
        QMainWindow::keyPressEvent(event);
        return;
    }
    if (event->key() == Qt::Key_S && event->modifiers().testFlag(Qt::ControlModifier)) {
        const std::string problem = EscapeControls(SaveFrame());
        if (!problem.empty()) std::fprintf(stderr, "vorlane: %s\n", problem.c_str());
        ShowStatus(QString::fromStdString(problem.empty() ? "saved " + SnapshotFileName(input_, state_.view.morphStep)
                                                          : problem));
        return;
    }
    if (!controls_->KeyPress(*event)) QMainWindow::keyPressEvent(event);
}

void ViewerWindow::closeEvent(QCloseEvent* event)
{
    controls_->Stop();
    poll_.stop();
    // Waits only until the load's next progress report.
    if (loader_) loader_->Cancel();
    loader_.reset();
    event->accept();
    emit finished(failed_ ? 1 : 0);
}

}  // namespace vorlane
