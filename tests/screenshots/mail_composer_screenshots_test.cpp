// Pictures of the e-mail composer, with a page and with a text, for docs/screenshots
// (`make screenshots` runs this with TARN_SCREENSHOTS naming the folder). Not part of the
// test run.
#include "composer_window.h"

namespace tarn::test {
namespace {

using namespace composer;

TEST_F(ComposerTest, DISABLED_ComposerScreenshots) {
    wchar_t folder[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"TARN_SCREENSHOTS", folder, MAX_PATH)) GTEST_SKIP() << "TARN_SCREENSHOTS is not set";
    WriteBytes(page_,
               Ansi(L"<HTML><HEAD><TITLE>Stock</TITLE></HEAD><BODY>\r\n<h1>Stock on hand</h1>\r\n"
                    L"<p>The counts of <b>Monday</b> morning, by shelf.</p>\r\n<table border=\"1\">\r\n"
                    L"<tr><th>Name</th><th>Qty</th><th>Price</th></tr>\r\n"
                    L"<tr><td>Apples</td><td>3</td><td>1.25</td></tr>\r\n"
                    L"<tr><td>Pears</td><td>12</td><td>0.90</td></tr>\r\n</table>\r\n"
                    L"<p><img src=\"stock_files/chart.bmp\" alt=\"Quarterly totals\"></p>\r\n</BODY></HTML>\r\n"));
    WriteBytes(text_, "Name     Qty   Price\r\nApples     3    1.25\r\nPears     12    0.90\r\n");
    // A bar chart as a 24-bit BMP: four bars on white.
    const int width = 240, height = 120, stride = width * 3;
    std::string bmp(54, '\0');
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<char>(v >> (8 * i));
    };
    bmp[0] = 'B', bmp[1] = 'M';
    put32(2, 54 + stride * height), put32(10, 54), put32(14, 40), put32(18, width), put32(22, height);
    bmp[26] = 1, bmp[28] = 24;
    const uint32_t bars[] = {0x2040C0, 0x30A040, 0xC05020, 0x10A0F0};  // BGR
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int bar = (x - 20) / 50, within = (x - 20) % 50;
            const bool filled = x >= 20 && bar < 4 && within < 36 && y >= 10 && y < 10 + 25 * (bar + 1);
            const uint32_t c = filled ? bars[bar] : 0xFFFFFF;
            bmp += static_cast<char>(c >> 16), bmp += static_cast<char>(c >> 8), bmp += static_cast<char>(c);
        }
    CreateDirectoryW((scratch_ / L"stock_files").c_str(), nullptr);
    WriteBytes(scratch_ / L"stock_files\\chart.bmp", bmp);
    for (const auto& [file, shot] :
         {std::pair{page_, L"\\composer-html.png"}, std::pair{text_, L"\\composer-text.png"}}) {
        HWND window = HtmlEmailForm::SendMessageFor(file, L"", L"");
        ASSERT_TRUE(window);
        const ui::Window form(window);
        form.Control(HtmlEmailForm::kTxtTo).SetText(L"orders@example.com");
        form.Control(HtmlEmailForm::kTxtFrom).SetText(L"stock@example.com");
        PumpUntil([] { return false; }, 300);
        form.SavePng(std::wstring(folder) + shot);
        CloseComposer(window);
    }
}

}  // namespace
}  // namespace tarn::test
