// Parsing and running uidriver.exe scripts.
#include "driver_script.h"

namespace tarn::ui {

namespace {

std::string Quoted(std::wstring_view text) {
    std::string quoted(1, '"');
    quoted += Escaped(text);
    quoted += '"';
    return quoted;
}

// "name=value" words of a step, after its command.
struct Options {
    std::vector<std::pair<std::wstring, std::wstring>> items;
    const std::wstring* Find(std::wstring_view name) const {
        for (const auto& [key, value] : items)
            if (key == name) return &value;
        return nullptr;
    }
};

Options OptionsOf(const ScriptStep& step, size_t first) {
    Options options;
    for (size_t i = first; i < step.words.size(); ++i) {
        const std::wstring& word = step.words[i];
        const size_t equals = word.find(L'=');
        if (equals == std::wstring::npos || equals == 0)
            throw DriverError(L"expected name=value, found \"" + word + L"\"");
        options.items.emplace_back(word.substr(0, equals), word.substr(equals + 1));
    }
    return options;
}

// caption=TEXT (whole caption) or caption^=TEXT (its beginning).
void ApplyCaption(const Options& options, WindowQuery& query) {
    if (const std::wstring* caption = options.Find(L"caption")) query.caption = *caption;
    if (const std::wstring* prefix = options.Find(L"caption^")) {
        query.caption = *prefix;
        query.captionPrefix = true;
    }
}

const std::wstring& Word(const ScriptStep& step, size_t index, const wchar_t* what) {
    if (index >= step.words.size()) throw DriverError(L"\"" + step.words[0] + L"\" needs " + what);
    return step.words[index];
}

}  // namespace

std::vector<ScriptStep> ParseScript(std::wstring_view text) {
    std::vector<ScriptStep> steps;
    int line = 0;
    while (!text.empty()) {
        ++line;
        size_t end = text.find(L'\n');
        std::wstring_view current = text.substr(0, end);
        text.remove_prefix(end == std::wstring_view::npos ? text.size() : end + 1);
        ScriptStep step{line, {}};
        size_t i = 0;
        while (i < current.size()) {
            const wchar_t c = current[i];
            if (c == L' ' || c == L'\t' || c == L'\r') {
                ++i;
                continue;
            }
            if (c == L'#' && step.words.empty()) break;
            std::wstring word;
            bool quoted = false;
            while (i < current.size()) {
                const wchar_t d = current[i];
                if (!quoted && (d == L' ' || d == L'\t' || d == L'\r')) break;
                ++i;
                if (d == L'"') {
                    quoted = !quoted;
                } else if (quoted && d == L'\\' && i < current.size()) {
                    const wchar_t e = current[i++];
                    word += e == L'r' ? L'\r' : e == L'n' ? L'\n' : e == L't' ? L'\t' : e;
                } else {
                    word += d;
                }
            }
            if (quoted) throw DriverError(L"line " + std::to_wstring(line) + L": a quote is not closed");
            step.words.push_back(std::move(word));
        }
        if (!step.words.empty()) steps.push_back(std::move(step));
    }
    return steps;
}

std::vector<ScriptStep> StepsFromWords(const std::vector<std::wstring>& words) {
    std::vector<ScriptStep> steps(1);
    for (const std::wstring& word : words) {
        if (word == L";") {
            steps.emplace_back();
            continue;
        }
        steps.back().words.push_back(word);
    }
    std::erase_if(steps, [](const ScriptStep& s) { return s.words.empty(); });
    for (size_t i = 0; i < steps.size(); ++i) steps[i].line = static_cast<int>(i + 1);
    return steps;
}

ScriptRunner::ScriptRunner(Log log, DWORD processId, std::wstring shots, std::chrono::steady_clock::time_point deadline)
    : log_(std::move(log)), processId_(processId), shots_(std::move(shots)), deadline_(deadline) {}

WindowQuery ScriptRunner::Query() const {
    WindowQuery query;
    query.processId = processId_;
    return query;
}

void ScriptRunner::Run(const std::vector<ScriptStep>& steps) {
    for (const ScriptStep& step : steps) {
        try {
            RunStep(step);
        } catch (const DriverError& e) {
            throw DriverError(L"step " + std::to_wstring(step.line) + L" (" + step.words[0] + L"): " + e.message());
        }
    }
}

Milliseconds ScriptRunner::Left() const {
    const auto left = std::chrono::duration_cast<Milliseconds>(deadline_ - std::chrono::steady_clock::now());
    return left.count() > 0 ? left : Milliseconds(0);
}

Window ScriptRunner::Current() const {
    if (!current_.Exists()) throw DriverError(L"no window to act on: find one first");
    return current_;
}

// "#123" is a control id; anything else is the text a control shows (a button's caption).
Window ScriptRunner::ControlOf(const std::wstring& reference) const {
    if (reference.size() > 1 && reference[0] == L'#') return Current().Control(std::stoi(reference.substr(1)));
    return Current().ControlByText(reference);
}

void ScriptRunner::Found(const Window& window, const wchar_t* kind) {
    current_ = window;
    if (shots_.empty()) return;
    wchar_t name[64];
    wsprintfW(name, L"\\%02d-%ls.png", ++shotCount_, kind);
    const std::wstring path = shots_ + name;
    window.SavePng(path);
    log_("shot " + Quoted(path));
}

void ScriptRunner::RunStep(const ScriptStep& step) {
    const std::wstring& command = step.words[0];
    if (command == L"window") {
        const Options options = OptionsOf(step, 1);
        WindowQuery query = Query();
        if (const std::wstring* cls = options.Find(L"class")) query.className = *cls;
        ApplyCaption(options, query);
        const Window w = WaitForWindow(query, Left());
        log_("window class=" + Quoted(w.ClassName()) + " caption=" + Quoted(w.Text()));
        Found(w, L"window");
    } else if (command == L"messagebox") {
        WindowQuery query = Query();
        ApplyCaption(OptionsOf(step, 1), query);
        const MessageBoxView box = WaitForMessageBox(query, Left());
        std::wstring buttons;
        for (const std::wstring& b : box.buttons) buttons += (buttons.empty() ? L"" : L"|") + b;
        log_("messagebox caption=" + Quoted(box.caption) + " icon=" + Utf8(IconName(box.icon)) +
             " text=" + Quoted(box.text) + " buttons=" + Quoted(buttons));
        Found(box.window, L"messagebox");
    } else if (command == L"savedialog") {
        WindowQuery query = Query();
        ApplyCaption(OptionsOf(step, 1), query);
        const SaveDialogView dialog = WaitForSaveDialog(query, Left());
        std::wstring filters;
        for (const std::wstring& f : dialog.filters) filters += (filters.empty() ? L"" : L"|") + f;
        log_("savedialog caption=" + Quoted(dialog.caption) + " filename=" + Quoted(dialog.fileName) +
             " filter=" + Quoted(dialog.selectedFilter) + " filters=" + Quoted(filters));
        Found(dialog.window, L"savedialog");
    } else if (command == L"progress") {
        const Options options = OptionsOf(step, 1);
        WindowQuery query = Query();
        query.className = kProgressClass;
        ApplyCaption(options, query);
        const std::wstring* text = options.Find(L"text");
        ProgressView seen;
        if (!WaitUntil(
                [&] {
                    std::vector<Window> all = FindWindows(query);
                    if (all.empty()) return false;
                    seen = ReadProgress(all.front());
                    return !text || seen.text == *text;
                },
                Left()))
            throw DriverError(seen.window ? L"the progress window shows \"" + seen.text + L"\""
                                          : L"no progress window appeared");
        log_("progress caption=" + Quoted(seen.caption) + " text=" + Quoted(seen.text));
        Found(seen.window, L"progress");
    } else if (command == L"read") {
        const Window w = Current();
        log_("window class=" + Quoted(w.ClassName()) + " caption=" + Quoted(w.Text()));
        for (const Window& c : w.Controls()) {
            if (!c.IsVisible()) continue;
            std::string line = "control id=" + std::to_string(c.Id()) + " class=" + Quoted(c.ClassName()) +
                               " text=" + Quoted(c.Text());
            if (!c.IsEnabled()) line += " disabled";
            log_(line);
        }
    } else if (command == L"type") {
        const std::wstring& text = Word(step, 1, L"the text to type");
        SaveAs(Current(), text);
        log_("typed " + Quoted(text) + " and pressed Save");
    } else if (command == L"settext") {
        const std::wstring& text = Word(step, 2, L"a control and a text");
        ControlOf(Word(step, 1, L"a control")).SetText(text);
        log_("set " + Quoted(step.words[1]) + " to " + Quoted(text));
    } else if (command == L"press") {
        ControlOf(Word(step, 1, L"a button")).Press();
        log_("pressed " + Quoted(step.words[1]));
    } else if (command == L"tick") {
        const std::wstring& state = Word(step, 2, L"a control and on or off");
        if (state != L"on" && state != L"off") throw DriverError(L"tick takes on or off");
        ControlOf(step.words[1]).SetChecked(state == L"on");
        log_("ticked " + Quoted(step.words[1]) + " " + Utf8(state));
    } else if (command == L"select" || command == L"unselect") {
        const std::wstring& entry = Word(step, 2, L"a list and an entry");
        ControlOf(step.words[1]).Select(entry, command == L"select");
        log_(Utf8(command) + "ed " + Quoted(entry) + " in " + Quoted(step.words[1]));
    } else if (command == L"shot") {
        const std::wstring& path = Word(step, 1, L"a file name");
        Current().SavePng(path);
        log_("shot " + Quoted(path));
    } else if (command == L"gone") {
        if (!current_) throw DriverError(L"no window to wait for: find one first");
        if (!current_.WaitUntilGone(Left())) throw DriverError(L"the window is still open");
        log_("gone");
    } else if (command == L"close") {
        Current().Close();
        log_("closed");
    } else {
        throw DriverError(L"unknown step \"" + command + L"\"");
    }
}

}  // namespace tarn::ui
