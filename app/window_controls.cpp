#include "app/window_controls.h"

#include <QKeyEvent>
#include <QTimerEvent>

#include <optional>
#include <utility>

#include "app/key_mapping.h"

namespace vorlane {

WindowControls::WindowControls(AnimationState& state, Scene& scene, std::function<void()> changed, QObject* parent)
    : QObject(parent), state_(state), scene_(scene), changed_(std::move(changed))
{
}

bool WindowControls::KeyPress(const QKeyEvent& event)
{
    const std::optional<int32_t> key = VirtualKeyFromQt(event.key(), event.modifiers());
    if (!key) return false;
    for (ClockCommand command : OnKeyPress(state_, scene_, *key)) Apply(command);
    changed_();
    return true;
}

void WindowControls::Start() { Apply(ClockCommand::Start); }

void WindowControls::Stop() { Apply(ClockCommand::Stop); }

void WindowControls::Apply(ClockCommand command)
{
    if (command == ClockCommand::Start) {
        timer_.start(AnimationPeriodMs, Qt::PreciseTimer, this);
    } else {
        timer_.stop();
    }
}

void WindowControls::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != timer_.timerId()) {
        QObject::timerEvent(event);
        return;
    }
    OnTimerTick(state_);
    changed_();
}

}  // namespace vorlane
