// The frame every exported HTML page shares (head, banner, footer, end), references to
// files in the page's side folder, and the small text operations of HTML output. Portable.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

// The maker's home page, linked from the banner and the footer.
inline constexpr std::wstring_view kMakerWebAddress = L"https://www.quillonsoft.com/";

struct PageInfo {
    std::wstring programName;
    std::wstring programVersion;
    std::wstring title;
};

std::wstring PageHead(const PageInfo& info);
// `header` and `spacer` are ResourceSource references (quotes included).
std::wstring PageBanner(std::wstring_view header, std::wstring_view spacer);
// `dateTime`: the current local date and time in the system's general date format.
std::wstring PageFooter(const PageInfo& info, std::wstring_view dateTime);
std::wstring PageEnd();

// Where a page's pictures live: the target without its extension, plus "_files".
std::wstring ResourceFolderOf(std::wstring_view target);
// How a page refers to that folder: its file name without extension, plus "_files/".
std::wstring ResourcePrefixOf(std::wstring_view target);

// A quoted reference to `name` in the side folder: relative for an ordinary page, an
// absolute file URL of the folder for a page that will be packed into one archive.
std::wstring ResourceSource(std::wstring_view name, bool mhtmlMode, std::wstring_view resourcePrefix,
                            std::wstring_view resourceFolder);

// The content of a page that shows one object: its image centred, or a text preformatted
// as it is (not escaped, so markup in it acts as markup). Each ends in CR LF; written with
// one WriteLine, it is followed by an empty line.
std::wstring ImageParagraph(std::wstring_view source);
std::wstring PreformattedBlock(std::wstring_view text);

// A whole page in the order its pieces are written, each with one WriteLine: head, banner,
// `content`, footer, end.
struct PageParts {
    PageInfo info;
    std::wstring header;  // ResourceSource of the banner images
    std::wstring spacer;
    std::wstring content;
    std::wstring dateTime;
};
std::vector<std::wstring> PagePieces(const PageParts& parts);

// "&", "<" and ">" escaped in that order; the empty text becomes "&nbsp;".
std::wstring HtmlEscape(std::wstring_view text);

// "#RRGGBB" of a host colour (0x00BBGGRR, or a system colour reference whose index the
// resolver turns into 0x00BBGGRR).
using SystemColorResolver = std::function<std::uint32_t(int index)>;
std::wstring HtmlColor(std::int32_t color, const SystemColorResolver& systemColor);

// Digits, commas and at most one period, with an optional leading minus, after trimming
// blanks; the empty text counts as a number.
bool IsNumberText(std::wstring_view text);

}  // namespace tarn
