// PDF 1.7 files from pages: each page is written out as it is added (its content stream
// compressed, its pictures as image objects), so memory does not grow with the number of
// pages; Finish writes the fonts (TrueType subsets of the characters drawn, with the text
// extractable as Unicode), the page tree, the document information and the cross-reference
// table. Portable; zlib compresses.
#pragma once

#include "common/byte_sink.h"
#include "print/font_provider.h"
#include "print/page_model.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace tarn::pages {

// Pages the writer cannot draw: a damaged or oversized picture, a font that cannot be
// embedded.
class PdfError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct PdfDocumentInfo {
    std::wstring title;
    std::string producer = "Tarnwick Exports";
    std::chrono::system_clock::time_point created = std::chrono::system_clock::now();
};

class PdfWriter final : public PageSink {
public:
    PdfWriter(ByteSink& sink, FontProvider& fonts, PdfDocumentInfo info);
    ~PdfWriter() override;
    PdfWriter(const PdfWriter&) = delete;
    PdfWriter& operator=(const PdfWriter&) = delete;

    // Throws PdfError for what cannot be drawn; the document is then unusable.
    void AddPage(Page page) override;
    // Ends the document; the sink is left open. At least one page must have been added.
    void Finish();

private:
    struct UsedFont;
    struct Pen;
    struct PictureEntry {
        std::weak_ptr<const PictureData> picture;
        int object = 0;
    };

    int Reserve();
    void Begin(int object);
    void WriteStream(int object, const std::string& dictionary, const std::string& data, bool compress);
    void WriteCompressed(int object, const std::string& dictionary, const std::string& compressed);
    const FontFace& Face(const FontSpec& spec);
    int Use(const std::shared_ptr<const TrueTypeFont>& font);  // index in usedFonts_
    int Picture(const std::shared_ptr<const PictureData>& picture);
    void WriteText(std::string& content, const TextRun& run, std::vector<int>& fonts, Pen& pen);
    void WriteFont(UsedFont& font);

    ByteSink& sink_;
    FontProvider& fonts_;
    PdfDocumentInfo info_;
    bool finished_ = false;
    std::vector<std::uint64_t> offsets_{0};  // by object number; 0 is the free list's head
    std::vector<int> pages_;
    std::size_t contentSize_ = 0;  // of the last page, to size the next one's buffer
    std::vector<std::unique_ptr<UsedFont>> usedFonts_;
    std::map<std::tuple<std::wstring, bool, bool>, FontFace> faces_;
    std::unordered_map<const PictureData*, PictureEntry> pictures_;
};

}  // namespace tarn::pages
