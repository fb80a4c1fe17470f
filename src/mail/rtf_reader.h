// A reader for Rich Text Format documents. It yields the document's visible text, as a
// rich-text control reports it, and styled runs for rendering. Portable, and safe on hostile
// input: groups are tracked without recursion, numbers saturate, and every table index that
// comes from the document is checked.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

enum class RtfAlignment { Left, Center, Right, Justify };

struct RtfCharFormat {
    std::wstring fontName;  // from the font table; empty when the document names none
    int halfPoints = 24;    // font size in half points (\fs)
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool hasColor = false;
    std::uint32_t color = 0;  // 0x00BBGGRR when hasColor

    bool operator==(const RtfCharFormat&) const = default;
};

// A run of text in one format. The text may hold '\t' (tab) and '\n' (a line break inside
// the paragraph).
struct RtfRun {
    std::wstring text;
    RtfCharFormat format;
};

struct RtfParagraph {
    std::vector<RtfRun> runs;
    RtfAlignment alignment = RtfAlignment::Left;
};

struct RtfDocument {
    // Never empty: a document has at least its last (possibly empty) paragraph.
    std::vector<RtfParagraph> paragraphs;

    // The visible text: paragraphs separated by CR LF, tabs as '\t', line breaks as CR LF.
    std::wstring PlainText() const;
};

// Turns bytes of a code page into text. The portable default knows windows-1252 and reads
// other single-byte code pages as Latin-1; the Windows build passes the platform's converter.
using CodePageDecoder = std::function<std::wstring(unsigned codePage, std::string_view bytes)>;
std::wstring DecodeWindows1252(unsigned codePage, std::string_view bytes);

// Reads a document. Input that does not start with "{\rtf" is taken as plain text, the way a
// rich-text control loads it. Characters above 0x7F in the input are taken as themselves.
RtfDocument ReadRtf(std::wstring_view input, const CodePageDecoder& decoder = DecodeWindows1252);

inline std::wstring RtfToPlainText(std::wstring_view input, const CodePageDecoder& decoder = DecodeWindows1252) {
    return ReadRtf(input, decoder).PlainText();
}

}  // namespace tarn
