// Runs xls_dump.py under Linux's Python from inside Wine and reads its description back.
#include "xls_wine_reader.h"

#include "win_support.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace tarn::test {

namespace {

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

}  // namespace

std::vector<std::string> DescribeWorkbook(const std::wstring& path) {
    ScratchFolder folder;
    const std::wstring output = folder / L"facts.txt";
    const std::string script = UnixPath((SourceRoot() / L"tests" / L"support" / L"xls_dump.py").wstring());
    const std::string out = UnixPath(output);
    // The output appears whole, once Python has ended.
    const std::string shell = "/usr/bin/python3 '" + script + "' '" + UnixPath(path) + "' > '" + out +
                              ".part' 2>&1; mv '" + out + ".part' '" + out + "'";
    std::wstring command = L"start.exe /wait /unix /bin/sh -c \"" + Wide(shell) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process))
        return {"error cannot start the reader: " + Narrow(SystemText(GetLastError()))};
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // The Linux program may outlive "start".
    for (const DWORD deadline = GetTickCount() + 60000;
         GetFileAttributesW(output.c_str()) == INVALID_FILE_ATTRIBUTES;) {
        if (static_cast<LONG>(GetTickCount() - deadline) > 0) return {"error the reader wrote nothing"};
        Sleep(20);
    }
    std::ifstream in{std::filesystem::path(output)};
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string Fact(const std::vector<std::string>& lines, std::string_view prefix) {
    for (const std::string& line : lines)
        if (line.starts_with(prefix)) return line;
    return "<no line starting with " + std::string(prefix) + ">";
}

std::size_t CountFacts(const std::vector<std::string>& lines, std::string_view prefix) {
    std::size_t n = 0;
    for (const std::string& line : lines) n += line.starts_with(prefix) ? 1 : 0;
    return n;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines) all += line + "\n";
    return all;
}

void ExpectFacts(const std::vector<std::string>& facts, std::initializer_list<const char*> expected) {
    for (const char* fact : expected) EXPECT_EQ(CountFacts(facts, fact), 1u) << fact << " in\n" << Joined(facts);
}

}  // namespace tarn::test
