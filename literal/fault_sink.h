// The core's only way to tell its user about a fault: a caption and a text.
// The app shows them in a message box, the tools print them, tests capture them.
#pragma once

#include <functional>
#include <string>

namespace vorlane {

using FaultSink = std::function<void(const std::string& caption, const std::string& text)>;

// Installs sink and returns the one it replaces. An empty sink restores the
// default, which prints "caption: text" to standard error.
FaultSink SetFaultSink(FaultSink sink);

// Hands one fault to the installed sink; processing goes on afterwards.
void ReportFault(const std::string& caption, const std::string& text);

}  // namespace vorlane
