// xlrd as the independent reader of the workbooks the component writes, from the tests
// that run under Wine: xls_dump.py runs as a Linux program (through Wine's "start /unix")
// and describes the file one fact a line (see the script for the lines).
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::test {

// The lines xls_dump.py wrote for the workbook at `path` (a Windows path); what Python
// said instead when xlrd could not read it.
std::vector<std::string> DescribeWorkbook(const std::wstring& path);

// The first line that starts with `prefix` ("cell 0 2 1 "), or "<no line starting with PREFIX>".
std::string Fact(const std::vector<std::string>& lines, std::string_view prefix);

// How many lines start with `prefix`.
std::size_t CountFacts(const std::vector<std::string>& lines, std::string_view prefix);

// The lines as one text, for a failure message.
std::string Joined(const std::vector<std::string>& lines);

// Expects each of `expected` to start exactly one line of the description.
void ExpectFacts(const std::vector<std::string>& facts, std::initializer_list<const char*> expected);

}  // namespace tarn::test
