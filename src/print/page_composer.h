// Composes documents into pages: the header and footer every page carries, the logo mark,
// text and styled text flowed over pages, and pictures fitted into the page. Tables are laid
// out by table_layout.h on the same composer. Pages go to a PageSink as they are finished, so a
// document of any length is never held whole. Portable.
#pragma once

#include "print/page_model.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {
struct RtfDocument;
}

namespace tarn::pages {

// Page margins in twips. `header` is the distance from the top edge to the page header; the
// body starts below the header and ends above the footer, which ends at the bottom margin.
struct PageMargins {
    int left = 1080;
    int right = 1080;
    int bottom = 1080;
    int header = 1440;
};

struct DocumentSetup {
    Orientation orientation = Orientation::Portrait;
    int paperWidth = 12240;   // twips, the short side
    int paperHeight = 15840;  // twips, the long side
    PageMargins margins;
};

// Sets the header margin from the text callers pass with an image file (".5 inches"); empty
// text keeps the present margin, other text that is not a length raises MeasurementError.
void ApplyHeaderMargin(DocumentSetup& setup, std::wstring_view headerMargin);

// What every page carries besides its content. `date` and `time` are taken once, when the
// document is composed, so every page shows the same moment. "%d" in any of the texts is
// replaced by the page number.
struct PageDecoration {
    std::wstring title;
    std::wstring subTitle;
    std::wstring programName;
    std::wstring programVersion;
    std::wstring date;                        // the system's short date format
    std::wstring time;                        // MediumTime
    std::shared_ptr<const PictureData> logo;  // drawn on every page when set
};

// Hours and minutes on the 12-hour clock with the AM/PM designator: "05:34 PM", "12:00 AM".
std::wstring MediumTime(int hour, int minute);

// The fonts documents are printed in.
FontSpec BodyFont();             // Courier New 8 pt: plain text, the paragraph above a table
FontSpec TitleFont();            // Arial 10 pt bold
FontSpec SubTitleFont();         // Arial 9 pt
FontSpec FooterFont(bool bold);  // Arial 9 pt

enum class ParagraphAlignment { Left, Centre, Right };

struct StyledRun {
    std::wstring text;  // may hold '\t' and '\n' (a line break inside the paragraph)
    FontSpec font;
    Colour colour = 0;
};

struct StyledParagraph {
    std::vector<StyledRun> runs;
    ParagraphAlignment alignment = ParagraphAlignment::Left;
};

// The paragraphs of an RTF document; runs without a font name are printed in Courier New.
std::vector<StyledParagraph> StyledParagraphsFrom(const RtfDocument& document);

// One document being composed. A page is opened, with its header, footer and logo, when
// content first needs one; Finish sends the last page (an empty document still has one).
class PageComposer {
public:
    PageComposer(const DocumentSetup& setup, PageDecoration decoration, FontMetrics& metrics, PageSink& sink);

    int PageWidth() const noexcept { return width_; }
    int PageHeight() const noexcept { return height_; }
    int BodyLeft() const noexcept { return setup_.margins.left; }
    int BodyRight() const noexcept { return width_ - setup_.margins.right; }
    int BodyTop() const noexcept { return bodyTop_; }
    int BodyBottom() const noexcept { return bodyBottom_; }
    FontMetrics& Metrics() noexcept { return metrics_; }

    // Where the next content goes on the open page (the body top on a new page).
    int CursorY() const noexcept { return cursorY_; }
    void SetCursorY(int y) noexcept { cursorY_ = y; }

    // The open page, opened when there is none.
    Page& CurrentPage();
    // Sends the open page (opening one first when there is none) and opens the next.
    void NewPage();

    void FlowText(std::wstring_view text);  // in BodyFont; lines end at CR LF, LF or CR
    void FlowParagraph(const StyledParagraph& paragraph);
    void FlowRtf(std::wstring_view rtf);  // an RTF document, or plain text when it is not one
    // The picture as large as the body allows, keeping its proportions, centred.
    void DrawPictureInBody(std::shared_ptr<const PictureData> picture);

    // Sends the last page; returns the number of pages.
    int Finish();

private:
    void OpenPage();
    void DrawDecoration(Page& page, int number);

    DocumentSetup setup_;
    PageDecoration decoration_;
    FontMetrics& metrics_;
    PageSink& sink_;
    int width_ = 0, height_ = 0;
    int bodyTop_ = 0, bodyBottom_ = 0;
    int footerTop_ = 0;
    int cursorY_ = 0;
    int pageCount_ = 0;
    std::size_t lastOps_ = 0;  // drawn on the last page, to size the next one's list
    std::unique_ptr<Page> page_;
};

}  // namespace tarn::pages
