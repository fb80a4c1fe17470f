// What the page composer tests share: font metrics with round numbers (every character
// advances size x 10 twips; ascent size x 16, descent size x 4, so a line is size x 20), a
// sink that keeps the pages, and lookups of the text drawn on a page.
#pragma once

#include "print/page_model.h"

#include <optional>
#include <string>
#include <vector>

namespace tarn::pages::testing {

class FakeMetrics : public FontMetrics {
public:
    double TextWidth(const FontSpec& font, std::wstring_view text) override { return font.size * 10 * text.size(); }
    double Ascent(const FontSpec& font) override { return font.size * 16; }
    double Descent(const FontSpec& font) override { return font.size * 4; }
};

class PageCollector : public PageSink {
public:
    void AddPage(Page page) override { pages.push_back(std::move(page)); }
    std::vector<Page> pages;
};

// Text drawn on a page, in drawing order: "text@x,baseline".
inline std::vector<std::wstring> Placed(const Page& page) {
    std::vector<std::wstring> placed;
    for (const DrawOp& op : page.ops) {
        if (const auto* run = std::get_if<TextRun>(&op)) {
            placed.push_back(run->text + L"@" + std::to_wstring(run->x) + L"," + std::to_wstring(run->baseline));
        }
    }
    return placed;
}

inline std::optional<TextRun> FindRun(const Page& page, std::wstring_view text) {
    for (const DrawOp& op : page.ops) {
        if (const auto* run = std::get_if<TextRun>(&op); run && run->text == text) return *run;
    }
    return std::nullopt;
}

inline std::vector<PictureBox> Pictures(const Page& page) {
    std::vector<PictureBox> pictures;
    for (const DrawOp& op : page.ops) {
        if (const auto* picture = std::get_if<PictureBox>(&op)) pictures.push_back(*picture);
    }
    return pictures;
}

}  // namespace tarn::pages::testing
