// The message body as the composer edits it: an HTML page taken apart into its markup and
// the text between tags, shown as plain paragraphs (tables as rows of tab-separated cells,
// pictures as "[name]"), and put back together after the user edited the shown text, with
// every tag kept where it was. Portable.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarn::mail {

// How a stretch of the shown text looks.
enum class TextLook { Plain, Bold, Heading, Preformatted, Picture };

struct LookSpan {
    size_t start = 0;  // in the shown text
    size_t length = 0;
    TextLook look = TextLook::Plain;
    std::wstring source;  // a picture's src value, decoded
};

class EditablePage {
public:
    // Takes `html` apart; never fails (what is not markup is text).
    explicit EditablePage(std::wstring_view html);

    // What the user reads and edits: paragraphs end in "\n", table cells are separated by
    // "\t", white space outside preformatted text is collapsed as a browser does.
    const std::wstring& ShownText() const noexcept { return shown_; }
    // Where the shown text is not plain (bold, headings, preformatted text, pictures), in order.
    const std::vector<LookSpan>& Looks() const noexcept { return looks_; }

    // The page with `edited` (a changed ShownText()) put back: each text between tags that
    // the user changed is rewritten (escaped; line breaks become <br> outside preformatted
    // text; characters past ASCII as character references), everything else is kept
    // byte for byte. Deleting a paragraph or cell break deletes no markup.
    std::wstring WithShownText(std::wstring_view edited) const;

private:
    struct Piece {
        std::wstring raw;     // as it stands in the page
        bool isText = false;  // text between tags (possibly empty), else markup
        bool preformatted = false;
        std::wstring shown;  // what the text shows (text pieces only)
    };
    // Who a character of the shown text belongs to: a text piece, or a break whose
    // insertions go to the text piece `anchor`.
    struct Owner {
        int piece = -1;
        int anchor = -1;
    };

    void Parse(std::wstring_view html);
    void BuildShownText();
    int AnchorAfter(size_t markupPiece) const;

    std::vector<Piece> pieces_;
    std::wstring shown_;
    std::vector<Owner> owners_;
    std::vector<LookSpan> looks_;
};

// One changed stretch between two texts: old [oldStart, oldStart + oldLength) became new
// [newStart, newStart + newLength).
struct TextChange {
    size_t oldStart = 0, oldLength = 0, newStart = 0, newLength = 0;
};
// The changes that turn `before` into `after`: lines are matched first (so edits in two
// places stay two changes), then each changed stretch is trimmed to the characters that differ.
std::vector<TextChange> TextChanges(std::wstring_view before, std::wstring_view after);

// A text file as the body shows it: a page with the name as title and the text
// preformatted, unescaped, as "<HTML>\r\n<HEAD><TITLE>name</TITLE></HEAD>\r\n<BODY>\r\n<PRE>\r\n
// text\r\n</PRE>\r\n</BODY>\r\n</HTML>".
std::wstring PreformattedPage(std::wstring_view name, std::wstring_view text);

}  // namespace tarn::mail
