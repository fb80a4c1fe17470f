// uidriver.exe: drives the component's windows in another process (a script host running
// an export) as a user would, and logs what it saw. It always ends by itself: at the end
// of its steps, at the first failing step, or at its deadline.
#include "driver_script.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace {

using namespace tarn::ui;

constexpr wchar_t kUsage[] =
    L"usage: uidriver.exe [--log FILE] [--unicode-log] [--deadline SECONDS] [--shots FOLDER]\n"
    L"                    [--pid PID | --any-process] (--script FILE | STEP [; STEP ...])\n"
    L"Steps and log lines are described in tests/README.md.\n";

struct Arguments {
    std::wstring log;
    bool unicodeLog = false;
    int deadlineSeconds = 60;
    std::wstring shots;
    std::optional<DWORD> processId;  // default: the process that started the driver
    std::wstring script;
    std::vector<std::wstring> steps;
};

Arguments Parse(int argc, wchar_t** argv) {
    Arguments a;
    int i = 1;
    auto value = [&](const wchar_t* option) -> std::wstring {
        if (i + 1 >= argc) throw DriverError(std::wstring(option) + L" needs a value");
        return argv[++i];
    };
    for (; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--log")
            a.log = value(L"--log");
        else if (arg == L"--unicode-log")
            a.unicodeLog = true;
        else if (arg == L"--deadline")
            a.deadlineSeconds = std::stoi(value(L"--deadline"));
        else if (arg == L"--shots")
            a.shots = value(L"--shots");
        else if (arg == L"--pid")
            a.processId = static_cast<DWORD>(std::stoul(value(L"--pid")));
        else if (arg == L"--any-process")
            a.processId = 0;
        else if (arg == L"--script")
            a.script = value(L"--script");
        else if (arg == L"--help" || arg == L"/?")
            throw DriverError(kUsage);
        else
            a.steps.push_back(arg);
    }
    if (a.script.empty() == a.steps.empty())
        throw DriverError(std::wstring(L"give either --script or steps\n") + kUsage);
    return a;
}

// The process that started this one: the script host whose export shows the windows.
DWORD ParentProcessId() {
    struct SnapshotDeleter {
        using pointer = HANDLE;
        void operator()(HANDLE h) const noexcept { CloseHandle(h); }
    };
    std::unique_ptr<HANDLE, SnapshotDeleter> snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot.get() == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry))
        if (entry.th32ProcessID == GetCurrentProcessId()) return entry.th32ParentProcessID;
    return 0;
}

// A script file in UTF-16 (with its byte-order mark), UTF-8, or the ANSI code page.
std::wstring ReadScript(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    if (!file) throw DriverError(L"cannot read " + path);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE)
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    std::string_view text(bytes);
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.remove_prefix(3);
    for (UINT codePage : {static_cast<UINT>(CP_UTF8), static_cast<UINT>(CP_ACP)}) {
        const DWORD flags = codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
        const int n = MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
        if (n <= 0 && !text.empty()) continue;
        std::wstring wide(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), wide.data(), n);
        return wide;
    }
    return {};
}

// Lines go out as they happen, so a reader sees how far the driver got.
class LogFile {
public:
    LogFile(const std::wstring& path, bool unicode) : unicode_(unicode) {
        if (path.empty()) return;
        file_.open(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
        if (!file_) throw DriverError(L"cannot write " + path);
        if (unicode_) file_.write("\xFF\xFE", 2);
    }
    void Line(const std::string& utf8) {
        std::lock_guard guard(lock_);
        if (!file_.is_open()) {
            std::printf("%s\n", utf8.c_str());
            std::fflush(stdout);
            return;
        }
        const std::string line = utf8 + "\r\n";
        if (unicode_) {
            const int n = MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
            std::wstring wide(static_cast<size_t>(n), L'\0');
            MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), wide.data(), n);
            file_.write(reinterpret_cast<const char*>(wide.data()), static_cast<std::streamsize>(wide.size() * 2));
        } else {
            file_.write(line.data(), static_cast<std::streamsize>(line.size()));
        }
        file_.flush();
    }

private:
    bool unicode_;
    std::mutex lock_;
    std::ofstream file_;
};

int Run(int argc, wchar_t** argv) {
    Arguments args;
    try {
        args = Parse(argc, argv);
    } catch (const DriverError& e) {
        std::fwprintf(stderr, L"%ls\n", e.message().c_str());
        return 3;
    }
    LogFile log(args.log, args.unicodeLog);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(args.deadlineSeconds);

    // The deadline holds even when a step is stuck in a window that stopped answering.
    std::promise<void> finished;
    std::thread watchdog([&, ended = finished.get_future()] {
        if (ended.wait_for(std::chrono::seconds(args.deadlineSeconds + 2)) == std::future_status::timeout) {
            log.Line("deadline: gave up after " + std::to_string(args.deadlineSeconds) + " s");
            ExitProcess(2);
        }
    });

    int code = 0;
    try {
        const std::vector<ScriptStep> steps =
            args.script.empty() ? StepsFromWords(args.steps) : ParseScript(ReadScript(args.script));
        const DWORD processId = args.processId ? *args.processId : ParentProcessId();
        ScriptRunner runner([&](const std::string& line) { log.Line(line); }, processId, args.shots, deadline);
        runner.Run(steps);
        log.Line("done");
    } catch (const DriverError& e) {
        log.Line("error: " + Escaped(e.message()));
        code = 1;
    } catch (const std::exception& e) {
        log.Line(std::string("error: ") + e.what());
        code = 1;
    }
    finished.set_value();
    watchdog.join();
    return code;
}

}  // namespace

int main() {
    int argc = 0;
    struct ArgvDeleter {
        void operator()(wchar_t** argv) const noexcept { LocalFree(argv); }
    };
    std::unique_ptr<wchar_t*, ArgvDeleter> argv(CommandLineToArgvW(GetCommandLineW(), &argc));
    if (!argv) return 3;
    return Run(argc, argv.get());
}
