// The body editor's page model: markup kept verbatim, texts between tags shown and edited,
// and the edits mapped back onto the texts they were made in.
#include "mail/editable_page.h"

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <optional>

namespace tarn::mail {

namespace {

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f'; }
bool IsLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

std::wstring Lower(std::wstring_view text) {
    std::wstring lower(text);
    for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(c));
    return lower;
}

bool IsTagStart(std::wstring_view html, size_t at) {
    if (at + 1 >= html.size()) return false;
    const wchar_t next = html[at + 1];
    if (IsLetter(next) || next == L'!' || next == L'?') return true;
    return next == L'/' && at + 2 < html.size() && IsLetter(html[at + 2]);
}

// Just past the tag that starts at `at` ('>' outside quotes, the end of a comment).
size_t TagEnd(std::wstring_view html, size_t at) {
    if (html.substr(at, 4) == L"<!--") {
        const size_t close = html.find(L"-->", at + 4);
        return close == std::wstring_view::npos ? html.size() : close + 3;
    }
    wchar_t quote = 0;
    for (size_t i = at + 1; i < html.size(); ++i) {
        const wchar_t c = html[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if ((c == L'"' || c == L'\'') && html[i - 1] == L'=') {
            // An attribute's value: a ">" inside it does not end the tag.
            quote = c;
        } else if (c == L'>') {
            return i + 1;
        }
    }
    return html.size();
}

struct TagInfo {
    std::wstring name;  // lower case; empty for comments and declarations
    bool closing = false;
};

TagInfo ReadTag(std::wstring_view tag) {
    TagInfo info;
    size_t i = 1;
    if (i < tag.size() && tag[i] == L'/') {
        info.closing = true;
        ++i;
    }
    if (i >= tag.size() || !IsLetter(tag[i])) return info;
    const size_t start = i;
    while (i < tag.size() && (IsLetter(tag[i]) || (tag[i] >= L'0' && tag[i] <= L'9'))) ++i;
    info.name = Lower(tag.substr(start, i - start));
    return info;
}

bool IsOneOf(const std::wstring& name, std::initializer_list<const wchar_t*> names) {
    return std::any_of(names.begin(), names.end(), [&](const wchar_t* n) { return name == n; });
}

bool IsBlock(const std::wstring& name) {
    return IsOneOf(name, {L"p",  L"div",    L"h1",      L"h2",      L"h3",         L"h4",   L"h5",  L"h6",     L"li",
                          L"tr", L"table",  L"ul",      L"ol",      L"blockquote", L"pre",  L"hr",  L"dl",     L"dt",
                          L"dd", L"center", L"address", L"caption", L"form",       L"body", L"xmp", L"listing"});
}
bool IsHeading(const std::wstring& name) {
    return name.size() == 2 && name[0] == L'h' && name[1] >= L'1' && name[1] <= L'6';
}
bool IsVoid(const std::wstring& name) {
    return IsOneOf(name, {L"br", L"img", L"hr", L"input", L"meta", L"link", L"area", L"base", L"col", L"wbr"});
}
std::wstring DecodeEntities(std::wstring_view text);

// The decoded value of attribute `name` (lower case) of a tag, empty when it has none.
std::wstring AttributeValue(std::wstring_view tag, std::wstring_view name) {
    const std::wstring lower = Lower(tag);
    for (size_t at = lower.find(name); at != std::wstring::npos; at = lower.find(name, at + 1)) {
        if (at == 0 || !IsSpace(lower[at - 1])) continue;
        size_t i = at + name.size();
        while (i < lower.size() && IsSpace(lower[i])) ++i;
        if (i >= lower.size() || lower[i] != L'=') continue;
        ++i;
        while (i < lower.size() && IsSpace(lower[i])) ++i;
        const wchar_t quote = i < lower.size() && (lower[i] == L'"' || lower[i] == L'\'') ? lower[i] : 0;
        if (quote) ++i;
        size_t end = i;
        while (end < lower.size() && (quote ? lower[end] != quote : !IsSpace(lower[end]) && lower[end] != L'>')) ++end;
        return DecodeEntities(tag.substr(i, end - i));
    }
    return {};
}

// Tags around which blanks in the source show nothing (lines, cells, the page itself).
bool IsStructural(std::wstring_view markup) {
    const std::wstring name = ReadTag(markup).name;
    return IsBlock(name) ||
           IsOneOf(name, {L"br", L"td", L"th", L"tbody", L"thead", L"tfoot", L"html", L"head", L"img"});
}
// Elements whose content is not text to show (kept as one piece of markup).
bool HasRawContent(const std::wstring& name) { return IsOneOf(name, {L"script", L"style", L"title", L"textarea"}); }

struct NamedEntity {
    const wchar_t* name;
    wchar_t value;
};
constexpr NamedEntity kEntities[] = {
    {L"amp", L'&'},     {L"lt", L'<'},       {L"gt", L'>'},      {L"quot", L'"'},     {L"apos", L'\''},
    {L"nbsp", 0x00A0},  {L"copy", 0x00A9},   {L"reg", 0x00AE},   {L"trade", 0x2122},  {L"mdash", 0x2014},
    {L"ndash", 0x2013}, {L"hellip", 0x2026}, {L"laquo", 0x00AB}, {L"raquo", 0x00BB},  {L"euro", 0x20AC},
    {L"deg", 0x00B0},   {L"middot", 0x00B7}, {L"bull", 0x2022},  {L"eacute", 0x00E9}, {L"uuml", 0x00FC},
};

void AppendCodePoint(std::wstring& out, uint32_t code) {
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
    if (code < 0x10000) {
        out += static_cast<wchar_t>(code);
    } else if constexpr (sizeof(wchar_t) == 2) {
        code -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (code >> 10));
        out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
    } else {
        out += static_cast<wchar_t>(code);
    }
}

std::wstring DecodeEntities(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'&') {
            out += text[i];
            continue;
        }
        const size_t semicolon = text.find(L';', i);
        if (semicolon == std::wstring_view::npos || semicolon - i > 10) {
            out += text[i];
            continue;
        }
        const std::wstring_view body = text.substr(i + 1, semicolon - i - 1);
        bool decoded = false;
        if (body.size() > 1 && body[0] == L'#') {
            const bool hex = body[1] == L'x' || body[1] == L'X';
            uint32_t code = 0;
            bool valid = body.size() > (hex ? 2u : 1u);
            for (size_t k = hex ? 2 : 1; k < body.size() && valid; ++k) {
                const wchar_t c = body[k];
                uint32_t digit = 0;
                if (c >= L'0' && c <= L'9')
                    digit = c - L'0';
                else if (hex && c >= L'a' && c <= L'f')
                    digit = c - L'a' + 10;
                else if (hex && c >= L'A' && c <= L'F')
                    digit = c - L'A' + 10;
                else
                    valid = false;
                code = std::min<uint32_t>(code * (hex ? 16 : 10) + digit, 0x110000);
            }
            if (valid) {
                AppendCodePoint(out, code);
                decoded = true;
            }
        } else {
            for (const NamedEntity& e : kEntities) {
                if (body == e.name) {
                    out += e.value;
                    decoded = true;
                    break;
                }
            }
        }
        if (decoded)
            i = semicolon;
        else
            out += text[i];
    }
    return out;
}

// Text typed by the user as page text: markup characters escaped, everything past ASCII as
// a character reference (right in any charset the page declares).
std::wstring EncodeText(std::wstring_view text, bool preformatted) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        switch (c) {
            case L'&': out += L"&amp;"; break;
            case L'<': out += L"&lt;"; break;
            case L'>': out += L"&gt;"; break;
            case L'\n': out += preformatted ? L"\r\n" : L"<br>\r\n"; break;
            case L' ':
                // Spaces after a space would collapse outside preformatted text.
                out += (!preformatted && i > 0 && text[i - 1] == L' ') ? L"&nbsp;" : L" ";
                break;
            default:
                if (c < 0x80) {
                    out += c;
                } else {
                    uint32_t code = c;
                    if (sizeof(wchar_t) == 2 && c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() &&
                        text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
                        code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
                        ++i;
                    }
                    out += L"&#" + std::to_wstring(code) + L";";
                }
        }
    }
    return out;
}

}  // namespace

EditablePage::EditablePage(std::wstring_view html) {
    Parse(html);
    BuildShownText();
}

// Pieces alternate text, markup, text, ..., text, so every tag has a text piece after it
// (empty where tags touch) that insertions at that tag can go into.
void EditablePage::Parse(std::wstring_view html) {
    std::wstring text;
    auto flushText = [&] {
        pieces_.push_back(Piece{text, true, false, {}});
        text.clear();
    };
    size_t i = 0;
    while (i < html.size()) {
        if (html[i] != L'<' || !IsTagStart(html, i)) {
            text += html[i++];
            continue;
        }
        const size_t end = TagEnd(html, i);
        flushText();
        pieces_.push_back(Piece{std::wstring(html.substr(i, end - i)), false, false, {}});
        const TagInfo tag = ReadTag(pieces_.back().raw);
        i = end;
        if (!tag.closing && HasRawContent(tag.name)) {
            const std::wstring lower = Lower(html.substr(i));
            size_t close = lower.find(L"</" + tag.name);
            if (close == std::wstring::npos) close = lower.size();
            flushText();
            pieces_.push_back(Piece{std::wstring(html.substr(i, close)), false, false, {}});
            i += close;
        }
    }
    flushText();
}

int EditablePage::AnchorAfter(size_t markupPiece) const {
    size_t j = markupPiece + 1;
    auto blank = [](const std::wstring& raw) { return std::all_of(raw.begin(), raw.end(), IsSpace); };
    while (j + 2 < pieces_.size() && blank(pieces_[j].raw)) {
        const TagInfo next = ReadTag(pieces_[j + 1].raw);
        if (next.name.empty() || next.closing || IsVoid(next.name) || HasRawContent(next.name)) break;
        j += 2;
    }
    return static_cast<int>(j);
}

void EditablePage::BuildShownText() {
    int bold = 0, heading = 0, pre = 0, head = 0, cellsInRow = 0;
    auto addLook = [&](size_t start, size_t length, TextLook look) {
        if (length == 0 || look == TextLook::Plain) return;
        if (!looks_.empty() && looks_.back().look == look && looks_.back().start + looks_.back().length == start)
            looks_.back().length += length;
        else
            looks_.push_back({start, length, look, {}});
    };
    auto addBreak = [&](wchar_t c, int anchor, bool always) {
        if (!always && (shown_.empty() || shown_.back() == L'\n')) return;
        shown_ += c;
        owners_.push_back({-1, anchor});
    };
    for (size_t k = 0; k < pieces_.size(); ++k) {
        Piece& piece = pieces_[k];
        if (piece.isText) {
            if (head > 0) continue;
            std::wstring decoded = DecodeEntities(piece.raw);
            piece.preformatted = pre > 0;
            if (piece.preformatted) {
                // A line end right after <pre> is not shown, and is written back.
                for (size_t p = 0; (p = decoded.find(L"\r\n", p)) != std::wstring::npos;) decoded.erase(p, 1);
                std::replace(decoded.begin(), decoded.end(), L'\r', L'\n');
                if (k > 0 && ReadTag(pieces_[k - 1].raw).name == L"pre" && !decoded.empty() && decoded[0] == L'\n')
                    decoded.erase(0, 1);
                piece.shown = decoded;
            } else if (!std::all_of(decoded.begin(), decoded.end(), IsSpace) ||
                       (!IsStructural(k > 0 ? pieces_[k - 1].raw : L"") &&
                        !IsStructural(k + 1 < pieces_.size() ? pieces_[k + 1].raw : L""))) {
                // Blanks between structural tags are layout of the source, not text.
                for (wchar_t c : decoded) {
                    if (IsSpace(c)) {
                        const wchar_t last = !piece.shown.empty() ? piece.shown.back()
                                             : !shown_.empty()    ? shown_.back()
                                                                  : L'\n';
                        if (last == L' ' || last == L'\n' || last == L'\t') continue;
                        piece.shown += L' ';
                    } else {
                        piece.shown += c;
                    }
                }
            }
            addLook(shown_.size(), piece.shown.size(),
                    heading > 0          ? TextLook::Heading
                    : bold > 0           ? TextLook::Bold
                    : piece.preformatted ? TextLook::Preformatted
                                         : TextLook::Plain);
            shown_ += piece.shown;
            owners_.insert(owners_.end(), piece.shown.size(), Owner{static_cast<int>(k), -1});
            continue;
        }
        const TagInfo tag = ReadTag(piece.raw);
        if (tag.name.empty()) continue;
        const int step = tag.closing ? -1 : 1;
        const int anchor = AnchorAfter(k);
        if (tag.name == L"head") head = std::max(0, head + step);
        if (tag.name == L"b" || tag.name == L"strong" || tag.name == L"th") bold = std::max(0, bold + step);
        if (IsHeading(tag.name)) heading = std::max(0, heading + step);
        if (tag.name == L"pre" || tag.name == L"xmp" || tag.name == L"listing") pre = std::max(0, pre + step);
        if (head > 0) continue;
        if (tag.name == L"br") {
            addBreak(L'\n', anchor, true);
        } else if (tag.name == L"img") {
            // The picture's own description, else its file name.
            const std::wstring source = AttributeValue(piece.raw, L"src");
            std::wstring label = AttributeValue(piece.raw, L"alt");
            if (label.empty()) label = source.substr(source.find_last_of(L"/\\") + 1);
            const std::wstring shownLabel = L"[" + (label.empty() ? std::wstring(L"picture") : label) + L"]";
            looks_.push_back({shown_.size(), shownLabel.size(), TextLook::Picture, source});
            for (wchar_t c : shownLabel) {
                shown_ += c;
                owners_.push_back({-1, anchor});
            }
        } else if ((tag.name == L"td" || tag.name == L"th") && !tag.closing) {
            if (cellsInRow++ > 0) addBreak(L'\t', anchor, true);
        } else if (IsBlock(tag.name)) {
            if (tag.name == L"tr") cellsInRow = 0;
            addBreak(L'\n', anchor, false);
        }
    }
}

std::wstring EditablePage::WithShownText(std::wstring_view edited) const {
    std::vector<std::wstring> texts(pieces_.size());
    size_t position = 0;
    auto keep = [&](size_t end) {
        for (; position < end; ++position)
            if (owners_[position].piece >= 0) texts[static_cast<size_t>(owners_[position].piece)] += shown_[position];
    };
    for (const TextChange& change : TextChanges(shown_, edited)) {
        keep(change.oldStart);
        const size_t oldEnd = change.oldStart + change.oldLength;
        int target = -1;
        for (size_t i = change.oldStart; i < oldEnd && target < 0; ++i) target = owners_[i].piece;
        if (target < 0 && change.oldStart > 0) target = owners_[change.oldStart - 1].piece;
        if (target < 0 && oldEnd < owners_.size()) target = owners_[oldEnd].piece;
        if (target < 0 && change.oldStart > 0) target = owners_[change.oldStart - 1].anchor;
        if (target < 0 && oldEnd < owners_.size()) target = owners_[oldEnd].anchor;
        if (target < 0) {
            // Nothing shown at all: the text goes after <body>, else at the end.
            target = static_cast<int>(pieces_.size() - 1);
            for (size_t k = 1; k < pieces_.size(); k += 2)
                if (ReadTag(pieces_[k].raw).name == L"body") target = AnchorAfter(k);
        }
        texts[static_cast<size_t>(target)] += edited.substr(change.newStart, change.newLength);
        position = oldEnd;
    }
    keep(shown_.size());

    std::wstring page;
    for (size_t k = 0; k < pieces_.size(); ++k) {
        const Piece& piece = pieces_[k];
        if (!piece.isText || texts[k] == piece.shown) {
            page += piece.raw;
            continue;
        }
        // A preformatted text keeps the line end it started with after <pre>.
        const bool leadingLineEnd = piece.preformatted && !piece.raw.empty() &&
                                    (piece.raw[0] == L'\n' || piece.raw[0] == L'\r') && k > 0 &&
                                    ReadTag(pieces_[k - 1].raw).name == L"pre";
        if (leadingLineEnd)
            page += piece.raw[0] == L'\r' && piece.raw.size() > 1 && piece.raw[1] == L'\n' ? L"\r\n" : L"\n";
        page += EncodeText(texts[k], piece.preformatted);
    }
    return page;
}

namespace {

// The stretches of [0, n) and [0, m) left unmatched by a longest common subsequence of
// units (`same(i, j)`), as pairs of half-open ranges; nullopt when the table would be too big.
template <class Same>
std::optional<std::vector<TextChange>> UnmatchedRuns(size_t n, size_t m, size_t limit, Same&& same) {
    if (n * m > limit) return std::nullopt;
    std::vector<uint32_t> common((n + 1) * (m + 1), 0);
    auto at = [&](size_t i, size_t j) -> uint32_t& { return common[i * (m + 1) + j]; };
    for (size_t i = n; i-- > 0;)
        for (size_t j = m; j-- > 0;)
            at(i, j) = same(i, j) ? at(i + 1, j + 1) + 1 : std::max(at(i + 1, j), at(i, j + 1));
    std::vector<TextChange> runs;
    size_t i = 0, j = 0, oldFrom = 0, newFrom = 0;
    auto close = [&] {
        if (i > oldFrom || j > newFrom) runs.push_back({oldFrom, i - oldFrom, newFrom, j - newFrom});
    };
    while (i < n && j < m) {
        if (same(i, j) && at(i, j) == at(i + 1, j + 1) + 1) {
            close();
            oldFrom = ++i;
            newFrom = ++j;
        } else if (at(i + 1, j) >= at(i, j + 1)) {
            ++i;
        } else {
            ++j;
        }
    }
    i = n;
    j = m;
    close();
    return runs;
}

}  // namespace

std::vector<TextChange> TextChanges(std::wstring_view before, std::wstring_view after) {
    std::vector<TextChange> changes;
    // A changed stretch: trimmed to the characters that differ, then matched character by
    // character where that is cheap, so a word replaced and a line added stay apart.
    auto add = [&](size_t oldStart, size_t oldEnd, size_t newStart, size_t newEnd) {
        while (oldStart < oldEnd && newStart < newEnd && before[oldStart] == after[newStart]) ++oldStart, ++newStart;
        while (oldEnd > oldStart && newEnd > newStart && before[oldEnd - 1] == after[newEnd - 1]) --oldEnd, --newEnd;
        if (oldStart == oldEnd && newStart == newEnd) return;
        const auto runs = UnmatchedRuns(oldEnd - oldStart, newEnd - newStart, 1'000'000, [&](size_t i, size_t j) {
            return before[oldStart + i] == after[newStart + j];
        });
        if (!runs) {
            changes.push_back({oldStart, oldEnd - oldStart, newStart, newEnd - newStart});
            return;
        }
        for (const TextChange& run : *runs) {
            TextChange change{oldStart + run.oldStart, run.oldLength, newStart + run.newStart, run.newLength};
            // An insertion goes as far left as it equally can: a line typed at the end of
            // a paragraph belongs to that paragraph, not to the start of the next one.
            while (change.oldLength == 0 && change.newLength > 0 && change.oldStart > 0 &&
                   (changes.empty() || changes.back().oldStart + changes.back().oldLength < change.oldStart) &&
                   before[change.oldStart - 1] == after[change.newStart + change.newLength - 1])
                --change.oldStart, --change.newStart;
            changes.push_back(change);
        }
    };
    size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) ++prefix;
    size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    // Back to a line start, so whole lines are compared.
    while (prefix > 0 && before[prefix - 1] != L'\n') --prefix;

    auto lines = [](std::wstring_view text, size_t from, size_t to) {
        std::vector<size_t> starts;
        for (size_t i = from; i < to;) {
            starts.push_back(i);
            const size_t end = text.find(L'\n', i);
            i = end == std::wstring_view::npos || end >= to ? to : end + 1;
        }
        starts.push_back(to);
        return starts;
    };
    const std::vector<size_t> a = lines(before, prefix, before.size() - suffix);
    const std::vector<size_t> b = lines(after, prefix, after.size() - suffix);
    auto line = [](std::wstring_view text, const std::vector<size_t>& starts, size_t i) {
        return text.substr(starts[i], starts[i + 1] - starts[i]);
    };
    const auto runs = UnmatchedRuns(a.size() - 1, b.size() - 1, 4'000'000,
                                    [&](size_t i, size_t j) { return line(before, a, i) == line(after, b, j); });
    if (!runs) {
        add(prefix, before.size() - suffix, prefix, after.size() - suffix);
        return changes;
    }
    for (const TextChange& run : *runs)
        add(a[run.oldStart], a[run.oldStart + run.oldLength], b[run.newStart], b[run.newStart + run.newLength]);
    return changes;
}

std::wstring PreformattedPage(std::wstring_view name, std::wstring_view text) {
    std::wstring page = L"<HTML>\r\n<HEAD><TITLE>";
    page += name;
    page += L"</TITLE></HEAD>\r\n<BODY>\r\n<PRE>\r\n";
    page += text;
    page += L"\r\n</PRE>\r\n</BODY>\r\n</HTML>";
    return page;
}

}  // namespace tarn::mail
