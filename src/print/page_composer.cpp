// Page decoration, text flow and pictures in the body.
#include "print/page_composer.h"

#include "html/page_frame.h"
#include "mail/rtf_reader.h"
#include "print/measurement.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tarn::pages {
namespace {

constexpr int kHeaderGap = 180;     // between the header and the body, and the body and the footer
constexpr int kTabStop = 720;       // default tab stops, every half inch from the left margin
constexpr int kLogoOverhang = 150;  // the logo reaches this far into the left margin
constexpr int kLogoWidth = 220;
constexpr int kLogoHeight = 200;

int Round(double value) { return static_cast<int>(std::lround(value)); }

int LineHeight(FontMetrics& metrics, const FontSpec& font) {
    return Round(metrics.Ascent(font) + metrics.Descent(font));
}

std::wstring WithPageNumber(std::wstring text, int number) {
    std::wstring digits = std::to_wstring(number);
    for (std::size_t at = text.find(L"%d"); at != std::wstring::npos; at = text.find(L"%d", at + digits.size())) {
        text.replace(at, 2, digits);
    }
    return text;
}

bool SameStyle(const StyledRun& a, const FontSpec& font, Colour colour) { return a.font == font && a.colour == colour; }

// A piece of a line in one style: a word part, a run of spaces, a tab or a line break.
struct Piece {
    enum Kind { Word, Space, Tab, Break } kind = Word;
    std::wstring text;
    const StyledRun* run = nullptr;
    double width = 0;
};

std::vector<Piece> SplitIntoPieces(const StyledParagraph& paragraph, FontMetrics& metrics) {
    std::vector<Piece> pieces;
    for (const StyledRun& run : paragraph.runs) {
        for (wchar_t c : run.text) {
            Piece::Kind kind = c == L' '    ? Piece::Space
                               : c == L'\t' ? Piece::Tab
                               : c == L'\n' ? Piece::Break
                                            : Piece::Word;
            if (c == L'\r') continue;
            bool joins = kind != Piece::Tab && kind != Piece::Break && !pieces.empty() && pieces.back().kind == kind &&
                         pieces.back().run == &run;
            if (!joins) pieces.push_back({kind, {}, &run, 0});
            if (kind == Piece::Word || kind == Piece::Space) pieces.back().text += c;
        }
    }
    for (Piece& piece : pieces) {
        if (!piece.text.empty()) piece.width = metrics.TextWidth(piece.run->font, piece.text);
    }
    return pieces;
}

// Lays one paragraph out in lines and hands each line to the composer.
class LineBuilder {
public:
    LineBuilder(PageComposer& composer, const StyledParagraph& paragraph)
        : composer_(composer), paragraph_(paragraph), width_(composer.BodyRight() - composer.BodyLeft()) {}

    void Flow() {
        std::vector<Piece> pieces = SplitIntoPieces(paragraph_, composer_.Metrics());
        for (std::size_t i = 0; i < pieces.size();) {
            Piece& piece = pieces[i];
            if (piece.kind == Piece::Break) {
                EndLine();
                wrapped_ = false;
                ++i;
                continue;
            }
            if (piece.kind == Piece::Space) {
                if (!wrapped_ || !line_.empty()) Place(piece, x_);
                ++i;
                continue;
            }
            if (piece.kind == Piece::Tab) {
                x_ = (std::floor(x_ / kTabStop) + 1) * kTabStop;
                ++i;
                continue;
            }
            // A word, perhaps in several styles: it stays on one line unless it is longer than one.
            std::size_t end = i;
            double wordWidth = 0;
            while (end < pieces.size() && pieces[end].kind == Piece::Word) wordWidth += pieces[end++].width;
            if (x_ + wordWidth > width_ && HasWord()) {
                EndLine();
                wrapped_ = true;
            }
            if (x_ + wordWidth > width_) {
                BreakLongWord(pieces, i, end);
            } else {
                for (; i < end; ++i) Place(pieces[i], x_);
            }
            i = end;
        }
        EndLine();
    }

private:
    struct Placed {
        Piece piece;
        double x;
    };

    bool HasWord() const {
        return std::any_of(line_.begin(), line_.end(), [](const Placed& p) { return p.piece.kind == Piece::Word; });
    }

    void Place(const Piece& piece, double x) {
        line_.push_back({piece, x});
        x_ = x + piece.width;
    }

    // Puts the characters of a word that is wider than the line on as many lines as it needs.
    void BreakLongWord(const std::vector<Piece>& pieces, std::size_t begin, std::size_t end) {
        FontMetrics& metrics = composer_.Metrics();
        for (std::size_t i = begin; i < end; ++i) {
            Piece part{Piece::Word, {}, pieces[i].run, 0};
            for (wchar_t c : pieces[i].text) {
                std::wstring longer = part.text + c;
                double longerWidth = metrics.TextWidth(part.run->font, longer);
                if (x_ + longerWidth > width_ && (HasWord() || !part.text.empty())) {
                    if (!part.text.empty()) Place(part, x_);
                    EndLine();
                    wrapped_ = true;
                    part.text = c;
                    part.width = metrics.TextWidth(part.run->font, part.text);
                } else {
                    part.text = std::move(longer);
                    part.width = longerWidth;
                }
            }
            if (!part.text.empty()) Place(part, x_);
        }
    }

    void EndLine() {
        while (!line_.empty() && line_.back().piece.kind == Piece::Space) line_.pop_back();
        FontMetrics& metrics = composer_.Metrics();
        double ascent = 0, descent = 0;
        if (line_.empty()) {
            FontSpec font = paragraph_.runs.empty() ? BodyFont() : paragraph_.runs.front().font;
            ascent = metrics.Ascent(font);
            descent = metrics.Descent(font);
        }
        for (const Placed& placed : line_) {
            ascent = std::max(ascent, metrics.Ascent(placed.piece.run->font));
            descent = std::max(descent, metrics.Descent(placed.piece.run->font));
        }
        int height = Round(ascent + descent);
        if (composer_.CursorY() + height > composer_.BodyBottom() && composer_.CursorY() > composer_.BodyTop()) {
            composer_.NewPage();
        }
        Page& page = composer_.CurrentPage();
        int baseline = composer_.CursorY() + Round(ascent);
        double used = line_.empty() ? 0 : line_.back().x + line_.back().piece.width;
        double offset = paragraph_.alignment == ParagraphAlignment::Centre  ? (width_ - used) / 2
                        : paragraph_.alignment == ParagraphAlignment::Right ? width_ - used
                                                                            : 0;
        offset = std::max(0.0, offset);
        TextRun* open = nullptr;
        for (const Placed& placed : line_) {
            const StyledRun& style = *placed.piece.run;
            if (open && open->font == style.font && open->colour == style.colour && end_ == placed.x) {
                open->text += placed.piece.text;
            } else {
                page.ops.push_back(TextRun{composer_.BodyLeft() + Round(offset + placed.x), baseline, style.font,
                                           style.colour, placed.piece.text});
                open = &std::get<TextRun>(page.ops.back());
            }
            end_ = placed.x + placed.piece.width;
        }
        composer_.SetCursorY(composer_.CursorY() + height);
        line_.clear();
        x_ = 0;
        end_ = -1;
    }

    PageComposer& composer_;
    const StyledParagraph& paragraph_;
    double width_;
    double x_ = 0;
    double end_ = -1;
    bool wrapped_ = false;
    std::vector<Placed> line_;
};

}  // namespace

void ApplyHeaderMargin(DocumentSetup& setup, std::wstring_view headerMargin) {
    setup.margins.header = MarginFromText(headerMargin, setup.margins.header);
}

std::wstring MediumTime(int hour, int minute) {
    int twelve = hour % 12 == 0 ? 12 : hour % 12;
    wchar_t text[16];
    std::swprintf(text, 16, L"%02d:%02d %ls", twelve, minute, hour < 12 ? L"AM" : L"PM");
    return text;
}

FontSpec BodyFont() { return {L"Courier New", 8}; }
FontSpec TitleFont() { return {L"Arial", 10, true}; }
FontSpec SubTitleFont() { return {L"Arial", 9}; }
FontSpec FooterFont(bool bold) { return {L"Arial", 9, bold}; }

std::vector<StyledParagraph> StyledParagraphsFrom(const RtfDocument& document) {
    std::vector<StyledParagraph> paragraphs;
    for (const RtfParagraph& source : document.paragraphs) {
        StyledParagraph& paragraph = paragraphs.emplace_back();
        paragraph.alignment = source.alignment == RtfAlignment::Center  ? ParagraphAlignment::Centre
                              : source.alignment == RtfAlignment::Right ? ParagraphAlignment::Right
                                                                        : ParagraphAlignment::Left;
        for (const RtfRun& run : source.runs) {
            const RtfCharFormat& format = run.format;
            FontSpec font{format.fontName.empty() ? BodyFont().name : format.fontName, format.halfPoints / 2.0,
                          format.bold, format.italic, format.underline};
            Colour colour = format.hasColor ? format.color : 0;
            if (!paragraph.runs.empty() && SameStyle(paragraph.runs.back(), font, colour)) {
                paragraph.runs.back().text += run.text;
            } else {
                paragraph.runs.push_back({run.text, font, colour});
            }
        }
    }
    return paragraphs;
}

PageComposer::PageComposer(const DocumentSetup& setup, PageDecoration decoration, FontMetrics& metrics, PageSink& sink)
    : setup_(setup), decoration_(std::move(decoration)), metrics_(metrics), sink_(sink) {
    bool landscape = setup.orientation == Orientation::Landscape;
    width_ = landscape ? setup.paperHeight : setup.paperWidth;
    height_ = landscape ? setup.paperWidth : setup.paperHeight;
    bodyTop_ =
        setup.margins.header + LineHeight(metrics, TitleFont()) + LineHeight(metrics, SubTitleFont()) + kHeaderGap;
    int footerLine = std::max(LineHeight(metrics, FooterFont(true)), LineHeight(metrics, FooterFont(false)));
    footerTop_ = height_ - setup.margins.bottom - 2 * footerLine;
    bodyBottom_ = footerTop_ - kHeaderGap;
    cursorY_ = bodyTop_;
}

Page& PageComposer::CurrentPage() {
    if (!page_) OpenPage();
    return *page_;
}

void PageComposer::NewPage() {
    CurrentPage();
    lastOps_ = page_->ops.size();
    sink_.AddPage(std::move(*page_));
    page_.reset();
    OpenPage();
}

void PageComposer::OpenPage() {
    page_ = std::make_unique<Page>();
    page_->width = width_;
    page_->height = height_;
    page_->ops.reserve(lastOps_);
    DrawDecoration(*page_, ++pageCount_);
    cursorY_ = bodyTop_;
}

int PageComposer::Finish() {
    CurrentPage();
    sink_.AddPage(std::move(*page_));
    page_.reset();
    return pageCount_;
}

void PageComposer::DrawDecoration(Page& page, int number) {
    const PageMargins& margins = setup_.margins;
    auto numbered = [number](const std::wstring& text) { return WithPageNumber(text, number); };
    FontSpec title = TitleFont(), subTitle = SubTitleFont();
    int titleBaseline = margins.header + Round(metrics_.Ascent(title));
    page.ops.push_back(TextRun{margins.left, titleBaseline, title, 0, numbered(decoration_.title)});
    int subTitleBaseline = margins.header + LineHeight(metrics_, title) + Round(metrics_.Ascent(subTitle));
    page.ops.push_back(TextRun{margins.left, subTitleBaseline, subTitle, 0, numbered(decoration_.subTitle)});

    FontSpec bold = FooterFont(true), plain = FooterFont(false);
    int footerLine = std::max(LineHeight(metrics_, bold), LineHeight(metrics_, plain));
    int ascent = Round(std::max(metrics_.Ascent(bold), metrics_.Ascent(plain)));
    int first = footerTop_ + ascent, second = first + footerLine;
    std::wstring brand = numbered(L"  Quillon " + decoration_.programName + L" ");
    page.ops.push_back(TextRun{margins.left, first, bold, 0, brand});
    page.ops.push_back(TextRun{margins.left + Round(metrics_.TextWidth(bold, brand)), first, plain, 0,
                               numbered(decoration_.programVersion)});
    page.ops.push_back(TextRun{margins.left, second, plain, 0, L"  " + std::wstring(kMakerWebAddress)});
    int right = width_ - margins.right;
    std::wstring stamp = numbered(decoration_.date + L" " + decoration_.time);
    std::wstring pageNumber = L"Page " + std::to_wstring(number);
    page.ops.push_back(TextRun{right - Round(metrics_.TextWidth(plain, stamp)), first, plain, 0, stamp});
    page.ops.push_back(TextRun{right - Round(metrics_.TextWidth(plain, pageNumber)), second, plain, 0, pageNumber});

    if (decoration_.logo) {
        page.ops.push_back(
            PictureBox{margins.left - kLogoOverhang, footerTop_, kLogoWidth, kLogoHeight, decoration_.logo});
    }
}

void PageComposer::FlowText(std::wstring_view text) {
    StyledParagraph paragraph;
    StyledRun& run = paragraph.runs.emplace_back(StyledRun{{}, BodyFont(), 0});
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == L'\r' || text[i] == L'\n') {
            FlowParagraph(paragraph);
            run.text.clear();
            if (i + 1 < text.size() && text[i] == L'\r' && text[i + 1] == L'\n') ++i;
        } else {
            run.text += text[i];
        }
    }
}

void PageComposer::FlowParagraph(const StyledParagraph& paragraph) { LineBuilder(*this, paragraph).Flow(); }

void PageComposer::FlowRtf(std::wstring_view rtf) {
    // Text that is not RTF loads as it is, in the body font.
    if (!rtf.starts_with(L"{\\rtf")) return FlowText(rtf);
    for (const StyledParagraph& paragraph : StyledParagraphsFrom(ReadRtf(rtf))) FlowParagraph(paragraph);
}

void PageComposer::DrawPictureInBody(std::shared_ptr<const PictureData> picture) {
    Page& page = CurrentPage();
    if (!picture || picture->width == 0 || picture->height == 0) return;
    double boxWidth = BodyRight() - BodyLeft(), boxHeight = BodyBottom() - BodyTop();
    double scale = std::min(boxWidth / picture->width, boxHeight / picture->height);
    int width = Round(picture->width * scale), height = Round(picture->height * scale);
    int x = BodyLeft() + Round((boxWidth - width) / 2), y = BodyTop() + Round((boxHeight - height) / 2);
    page.ops.push_back(PictureBox{x, y, width, height, std::move(picture)});
}

}  // namespace tarn::pages
