// The little language of uidriver.exe: one step per line (or per ";"-separated group of
// command-line words), each waiting for a window or acting on the current one, with what
// it saw written to a log. Documented in tests/README.md.
#pragma once

#include "ui_driver.h"

#include <functional>
#include <string>
#include <vector>

namespace tarn::ui {

struct ScriptStep {
    int line = 0;  // where it came from, for messages
    std::vector<std::wstring> words;
};

// Lines of a script file: words separated by blanks, "double quoted" when they hold blanks
// (\" \\ \r \n \t inside quotes), "#" starting a comment line. Throws DriverError.
std::vector<ScriptStep> ParseScript(std::wstring_view text);
// Command-line words, a lone ";" between steps.
std::vector<ScriptStep> StepsFromWords(const std::vector<std::wstring>& words);

class ScriptRunner {
public:
    using Log = std::function<void(const std::string& line)>;
    // `processId`: whose windows the steps look for (0: any process). `shots`: a folder
    // that receives a PNG of every window a step finds (none when empty).
    ScriptRunner(Log log, DWORD processId, std::wstring shots, std::chrono::steady_clock::time_point deadline);
    // Runs the steps in order; throws DriverError (with the step's line) at the first that fails.
    void Run(const std::vector<ScriptStep>& steps);

private:
    void RunStep(const ScriptStep& step);
    void Found(const Window& window, const wchar_t* kind);
    Window Current() const;
    Window ControlOf(const std::wstring& reference) const;
    Milliseconds Left() const;
    WindowQuery Query() const;

    Log log_;
    DWORD processId_;
    std::wstring shots_;
    std::chrono::steady_clock::time_point deadline_;
    Window current_;
    int shotCount_ = 0;
};

}  // namespace tarn::ui
