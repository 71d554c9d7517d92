// Helpers shared by the window tests: waiting with the event loop running,
// and, for tests that start the programs, shell commands and waits.
#pragma once

#include <QElapsedTimer>
#include <QTest>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

namespace vorlane::test {

// Waits, running this process's event loop, until done() holds or the time
// is up (generous: a first frame under the sanitizers is slow).
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 120000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        QTest::qWait(10);
    }
    return true;
}

// Waits for another process's doing, polling, until done() holds or the
// time is up.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// What a shell command prints on its standard output.
inline std::string Capture(const std::string& command)
{
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
        pclose(pipe);
    }
    return output;
}

}  // namespace vorlane::test
