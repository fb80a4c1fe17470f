// xlrd (through tests/support/xls_dump.py) as the independent reader of the workbook
// writer's output in the native tests: a workbook becomes lines of facts, looked up by
// their first words.
#pragma once

#include "scratch_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>

namespace tarn::test {

inline std::filesystem::path XlsDumpScript() {
    return std::filesystem::path(TARN_SOURCE_DIR) / "tests" / "support" / "xls_dump.py";
}

inline bool HaveXlrd() { return std::system("/usr/bin/python3 -c 'import xlrd' 2>/dev/null") == 0; }

// Runs a shell command; returns its standard output and error, and whether it exited with 0.
inline std::string Run(const std::string& command, bool& ok) { return RunCommand(command + " 2>&1", ok); }

// xlrd's compound file reader on the Workbook stream of `file`, compared with the bytes of
// `raw`: "same N" or where they differ.
inline std::string CompareWorkbookStream(const std::string& file, const std::string& raw) {
    bool ok = false;
    const std::string answer =
        Run("/usr/bin/python3 '" + XlsDumpScript().string() + "' --stream '" + file + "' '" + raw + "'", ok);
    EXPECT_TRUE(ok) << answer;
    return answer;
}

// Each sheet's INDEX and DBCELL records followed to the records they point at (see
// xls_dump.py --index): "index 0 ok 3\n..." or what is wrong.
inline std::string CheckIndexes(const std::string& file) {
    bool ok = false;
    const std::string answer = Run("/usr/bin/python3 '" + XlsDumpScript().string() + "' --index '" + file + "'", ok);
    EXPECT_TRUE(ok) << answer;
    return answer;
}

// What xlrd read: each line under its key (the words before the first " | " or the value).
class XlsFacts {
public:
    // `brief`: only the first 40 and the last 5 rows of each sheet, and no row heights.
    explicit XlsFacts(const std::string& file, bool brief = false) {
        bool ok = false;
        text_ =
            Run("/usr/bin/python3 '" + XlsDumpScript().string() + "' " + (brief ? "--brief '" : "'") + file + "'", ok);
        EXPECT_TRUE(ok) << text_;
        std::istringstream lines(text_);
        for (std::string line; std::getline(lines, line);) lines_.push_back(line);
    }
    // The first line that starts with `prefix`, or "(none)".
    std::string Line(const std::string& prefix) const {
        for (const std::string& line : lines_) {
            if (line.rfind(prefix, 0) == 0) return line;
        }
        return "(none)";
    }
    // What xlrd read of a cell: its type and value ("number 42.0", "text 'abc'", "blank "),
    // and how it looks ("font Arial 200 0 0 0 #000000 | fill none | ...").
    std::string Cell(int sheet, int row, int column) const { return Part(sheet, row, column, true); }
    std::string CellFormat(int sheet, int row, int column) const { return Part(sheet, row, column, false); }
    std::size_t Count(const std::string& prefix) const {
        std::size_t n = 0;
        for (const std::string& line : lines_) n += line.rfind(prefix, 0) == 0;
        return n;
    }
    const std::string& text() const { return text_; }
    // The lines that start with one of `prefixes`, in the order read, each ended by "\n".
    std::string Lines(std::initializer_list<std::string_view> prefixes) const {
        std::string out;
        for (const std::string& line : lines_) {
            for (std::string_view prefix : prefixes) {
                if (line.rfind(prefix, 0) == 0) {
                    out += line + "\n";
                    break;
                }
            }
        }
        return out;
    }
    // The values of a sheet's cells, a line "ROW COL VALUE" each.
    std::string Values(int sheet) const {
        const std::string prefix = "cell " + std::to_string(sheet) + " ";
        std::string out;
        for (const std::string& line : lines_) {
            if (line.rfind(prefix, 0) == 0) out += line.substr(prefix.size(), line.find(" | ") - prefix.size()) + "\n";
        }
        return out;
    }

private:
    std::string Part(int sheet, int row, int column, bool value) const {
        const std::string prefix =
            "cell " + std::to_string(sheet) + " " + std::to_string(row) + " " + std::to_string(column) + " ";
        const std::string line = Line(prefix);
        if (line == "(none)") return line;
        const std::size_t bar = line.find(" | ");
        return value ? line.substr(prefix.size(), bar - prefix.size()) : line.substr(bar + 3);
    }

    std::string text_;
    std::vector<std::string> lines_;
};

}  // namespace tarn::test
