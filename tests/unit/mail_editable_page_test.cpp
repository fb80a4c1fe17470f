// The body editor's page model: what the user is shown of a page, and the page written
// back after edits, compared with literal markup.
#include "mail/editable_page.h"

#include <gtest/gtest.h>

namespace tarn::mail {
namespace {

constexpr wchar_t kPage[] =
    L"<HTML>\r\n<HEAD><TITLE>Stock</TITLE><style>p{color:red}</style></HEAD>\r\n<BODY>\r\n"
    L"<h1>Stock &amp; prices</h1>\r\n<p>Apples   are\r\n <b>fresh</b> today.</p>\r\n"
    L"<table border=\"1\">\r\n<tr>\r\n<th>Name</th>\r\n<th>Qty</th>\r\n</tr>\r\n"
    L"<tr>\r\n<td>Pears</td>\r\n<td></td>\r\n</tr>\r\n</table>\r\n"
    L"<img src=\"stock_files/chart.gif\" width=\"9\">\r\n</BODY>\r\n</HTML>\r\n";

TEST(EditablePage, ShowsParagraphsCellsAndPicturesAsTheReaderSeesThem) {
    EditablePage page(kPage);
    EXPECT_EQ(page.ShownText(), L"Stock & prices\nApples are fresh today.\nName\tQty\nPears\t\n[chart.gif]\n");
    std::vector<std::pair<TextLook, std::wstring>> looks;
    for (const LookSpan& span : page.Looks())
        looks.emplace_back(span.look, page.ShownText().substr(span.start, span.length));
    EXPECT_EQ(looks, (std::vector<std::pair<TextLook, std::wstring>>{{TextLook::Heading, L"Stock & prices"},
                                                                     {TextLook::Bold, L"fresh"},
                                                                     {TextLook::Bold, L"Name"},
                                                                     {TextLook::Bold, L"Qty"},
                                                                     {TextLook::Picture, L"[chart.gif]"}}));
    EXPECT_EQ(page.Looks().back().source, L"stock_files/chart.gif");
    // Unchanged text gives the page back byte for byte.
    EXPECT_EQ(page.WithShownText(page.ShownText()), kPage);
}

TEST(EditablePage, EditsGoIntoTheTextTheyWereMadeInAndKeepEveryTag) {
    EditablePage page(kPage);
    // Two places at once: a word in the paragraph and the empty cell; a line break typed
    // after "today."; the tab between the header cells deleted (the cells stay).
    const std::wstring edited =
        L"Stock & prices\nApples are ripe today.\nwith <care> & \u20ac\nNameQty\nPears\t12\n[chart.gif]\n";
    EXPECT_EQ(page.WithShownText(edited),
              L"<HTML>\r\n<HEAD><TITLE>Stock</TITLE><style>p{color:red}</style></HEAD>\r\n<BODY>\r\n"
              L"<h1>Stock &amp; prices</h1>\r\n<p>Apples   are\r\n <b>ripe</b> today.<br>\r\nwith &lt;care&gt; &amp; "
              L"&#8364;</p>\r\n<table border=\"1\">\r\n<tr>\r\n<th>Name</th>\r\n<th>Qty</th>\r\n</tr>\r\n"
              L"<tr>\r\n<td>Pears</td>\r\n<td>12</td>\r\n</tr>\r\n</table>\r\n"
              L"<img src=\"stock_files/chart.gif\" width=\"9\">\r\n</BODY>\r\n</HTML>\r\n");
    // Deleting a picture's label deletes no picture.
    EXPECT_EQ(page.WithShownText(L"Stock & prices\nApples are fresh today.\nName\tQty\nPears\t\n\n"), kPage);
}

TEST(EditablePage, TextFilesArePreformattedUnescapedAndEditedAsWritten) {
    const std::wstring html = PreformattedPage(L"notes", L"a < b\r\n  indented");
    EXPECT_EQ(html,
              L"<HTML>\r\n<HEAD><TITLE>notes</TITLE></HEAD>\r\n<BODY>\r\n<PRE>\r\na < b\r\n  indented\r\n</PRE>\r\n"
              L"</BODY>\r\n</HTML>");
    EditablePage page(html);
    EXPECT_EQ(page.ShownText(), L"a < b\n  indented\n");
    ASSERT_EQ(page.Looks().size(), 1u);
    EXPECT_EQ(page.Looks()[0].look, TextLook::Preformatted);
    EXPECT_EQ(page.Looks()[0].length, page.ShownText().size());
    EXPECT_EQ(page.WithShownText(L"a < b\n  indented twice\n"),
              L"<HTML>\r\n<HEAD><TITLE>notes</TITLE></HEAD>\r\n<BODY>\r\n<PRE>\r\na &lt; b\r\n  indented twice\r\n"
              L"</PRE>\r\n</BODY>\r\n</HTML>");
}

TEST(EditablePage, ChangesAreFoundPerLine) {
    const auto changes = TextChanges(L"one\ntwo\nthree\nfour\n", L"One\ntwo\nthree\nfour!\n");
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].oldStart, 0u);
    EXPECT_EQ(changes[0].oldLength, 1u);
    EXPECT_EQ(changes[1].oldStart, 18u);
    EXPECT_EQ(changes[1].oldLength, 0u);
    EXPECT_EQ(changes[1].newLength, 1u);
    EXPECT_TRUE(TextChanges(L"same", L"same").empty());
}

}  // namespace
}  // namespace tarn::mail
