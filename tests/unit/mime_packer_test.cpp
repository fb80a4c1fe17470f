// The MIME packer read back by independent readers: Python's email package (structure,
// parts, every <img> resolved, bytes equal to the files) and headless Chromium (the archive
// shows its pictures once the files are gone); the encodings against literal text.
#include "html/html_references.h"
#include "html/mime_encoding.h"
#include "html/mime_packer.h"
#include "html/temporary_page.h"

#include "image_magick.h"
#include "memory_files.h"
#include "xls_reader.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <filesystem>

namespace tarn {
namespace {

namespace fs = std::filesystem;
using test::RunCommand;

const fs::path kImages = fs::path(TARN_SOURCE_DIR) / "tests" / "data" / "images";

// Python's email package on the archive: one line per fact (tests/support/mhtml_check.py).
std::string PythonReading(const std::string& archive, const std::string& expectations) {
    bool ok = false;
    std::string out = RunCommand(
        "python3 '" TARN_SOURCE_DIR "/tests/support/mhtml_check.py' '" + archive + "' " + expectations + " 2>&1", ok);
    EXPECT_TRUE(ok) << out;
    return out;
}

TEST(MimePacker, EveryLocalPictureIsOnePartThatItsRewrittenReferencesFindInPythonsEmail) {
    const test::ScratchFolder dir("mime folder");  // a name that needs escaping in a URL
    const std::string root = dir.path().string();
    fs::create_directories(dir.path() / "pics dir");
    fs::copy_file(kImages / "sample-40x30.png", dir / "pics dir/sample.png");
    fs::create_directories(fs::path(dir / "\u00fcn\u00efcode"));
    fs::copy_file(kImages / "sample-40x30.gif", dir / "\u00fcn\u00efcode/bild \u00e4.gif");
    fs::copy_file(kImages / "sample-40x30.jpg", dir / "pics dir/photo.dat");
    fs::create_directories(dir.path() / "empty folder");
    std::string escapedRoot;
    for (char c : root) escapedRoot += c == ' ' ? std::string("%20") : std::string(1, c);
    std::string backslashed = root;
    for (char& c : backslashed) c = c == '/' ? '\\' : c;
    // windows-1252 bytes: a title with an e acute, and a path written in the page's charset.
    dir.Write("page.htm",
              "<HTML><HEAD><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html;charset=windows-1252\">\r\n"
              "<TITLE>Caf\xE9 report</TITLE></HEAD><BODY>\r\n"
              "<img src=\"pics dir/sample.png\">\r\n"
              "<IMG SRC=\"file://" +
                  escapedRoot +
                  "/%C3%BCn%C3%AFcode/bild%20%C3%A4.gif\">\r\n"
                  "<img alt=x src='file:///" +
                  backslashed +
                  "\\pics dir\\photo.dat'>\r\n"
                  "<img src=\"file://" +
                  escapedRoot +
                  "/pics%20dir/sample.png\">\r\n"
                  "<img src=\"" +
                  root +
                  "/\xFCn\xEF"
                  "code/bild&#32;\xE4.gif\">\r\n"
                  "<img src=missing.png>\r\n"
                  "<img src=\"empty folder\">\r\n"
                  "<img src=\"http://example.com/x.gif\">\r\n"
                  "<!-- <img src=\"pics dir/sample.png\"> -->\r\n"
                  "</BODY></HTML>\r\n");

    StandardFileAccess files;
    MemorySink sink;
    EXPECT_EQ(PackHtml(dir / "page.htm", files, sink).files.size(), 3u);
    dir.Write("page.mhtml", sink.bytes());

    const std::string png = (kImages / "sample-40x30.png").string(), gif = (kImages / "sample-40x30.gif").string(),
                      jpg = (kImages / "sample-40x30.jpg").string();
    EXPECT_EQ(PythonReading(dir / "page.mhtml", "--expect 0=" + png + " --expect 1=" + gif + " --expect 2=" + jpg +
                                                    " --expect 3=" + png + " --expect 4=" + gif),
              "type multipart/related; root text/html; charset windows-1252; parts 3\n"
              "subject Caf\u00e9 report\n"
              "img 0 cid:1.sample.png@TOKEN -> image/png, 429 bytes, same as sample-40x30.png\n"
              "img 1 cid:2.bild___.gif@TOKEN -> image/gif, 423 bytes, same as sample-40x30.gif\n"
              "img 2 cid:3.photo.dat@TOKEN -> image/jpeg, 419 bytes, same as sample-40x30.jpg\n"
              "img 3 cid:1.sample.png@TOKEN -> image/png, 429 bytes, same as sample-40x30.png\n"
              "img 4 cid:2.bild___.gif@TOKEN -> image/gif, 423 bytes, same as sample-40x30.gif\n"
              "img 5 missing.png -> no part\n"
              "img 6 empty folder -> no part\n"
              "img 7 http://example.com/x.gif -> no part\n"
              "unreferenced parts: none\n"
              "defects: none\n");
    const std::string& archive = sink.bytes();
    EXPECT_EQ(archive.find("Subject: =?utf-8?B?Q2Fmw6kgcmVwb3J0?=\r\n"), archive.find("Subject:"));
    EXPECT_NE(archive.find("<img src=3Dmissing.png>"), std::string::npos) << "references left alone stay as written";
}

TEST(MimePacker, ChromiumShowsThePicturesOfAnArchiveWhoseFilesAreGone) {
    if (!test::HaveImageMagick() || !fs::exists("/usr/bin/chromium")) GTEST_SKIP() << "needs ImageMagick and Chromium";
    const test::ScratchFolder dir("mime folder");
    bool ok = false;
    fs::create_directories(dir.path() / "pictures");
    const std::string made =
        RunCommand("convert -size 100x100 xc:'#FF0000' '" + (dir / "pictures/red.png") +
                       "' && convert -size 100x100 xc:'#0000FF' '" + (dir / "pictures/blue.gif") + "' 2>&1",
                   ok);
    ASSERT_TRUE(ok) << made;
    dir.Write("page.htm",
              "<html><head><meta charset=\"utf-8\"><title>Shot</title></head><body style=\"margin:0;background:#fff\">"
              "<img style=\"position:absolute;left:0;top:0\" src=\"pictures/red.png\">"
              "<img style=\"position:absolute;left:200px;top:0\" src=\"file://" +
                  dir.path().string() + "/pictures/blue.gif\"></body></html>");
    StandardFileAccess files;
    MemorySink sink;
    (void)PackHtml(dir / "page.htm", files, sink);
    dir.Write("page.mhtml", sink.bytes());
    fs::remove_all(dir.path() / "pictures");
    fs::remove(dir / "page.htm");

    test::MagickFolder shots;
    const std::string profile = shots / "profile";
    const std::string shot = shots / "shot.png";
    const std::string log = RunCommand(
        "chromium --headless --no-sandbox --disable-gpu --no-first-run "
        "--disable-background-networking --disable-component-update --hide-scrollbars "
        "--user-data-dir='" +
            profile + "' --window-size=400,200 --screenshot='" + shot + "' 'file://" + (dir / "page.mhtml") + "' 2>&1",
        ok);
    ASSERT_TRUE(fs::exists(shot)) << log;
    const auto pixels = test::DecodeAll(shots, {shot})[0];
    auto at = [&](int x, int y) {
        const std::size_t i = (static_cast<std::size_t>(y) * 400 + x) * 4;
        return std::to_string(pixels[i]) + "," + std::to_string(pixels[i + 1]) + "," + std::to_string(pixels[i + 2]);
    };
    EXPECT_EQ(at(50, 50), "255,0,0") << "the PNG from the archive";
    EXPECT_EQ(at(250, 50), "0,0,255") << "the GIF from the archive";
    EXPECT_EQ(at(150, 50), "255,255,255");
}

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST(MimePacker, A200MegabytePictureStreamsThroughInFlatMemoryAndAFailedReadStopsThePacking) {
    test::MemoryFiles files;
    files.files["/page.htm"] = "<img src=big.gif><img src=\"/big.gif\">\xC3\xA9";
    files.generated["/big.gif"] = 200ull << 20;
    test::CountingSink sink;
    const long before = PeakKilobytes();
    PackResult result = PackHtml("/page.htm", files, sink);
    EXPECT_LT(PeakKilobytes() - before, 48 * 1024) << "kilobytes more at the peak";
    ASSERT_EQ(result.files.size(), 1u) << "two spellings of one file";
    EXPECT_EQ(result.charset, "utf-8") << "an undeclared charset is UTF-8 when every byte reads as UTF-8";
    EXPECT_EQ(result.files[0].bytes, 200ull << 20);
    // 200 MiB in base64: 4 characters per 3 bytes, 76 to a line, lines joined by CR LF.
    const std::uint64_t chars = ((200ull << 20) + 2) / 3 * 4;
    EXPECT_GT(sink.Tell(), chars + (chars / 76 - 1) * 2);

    files.failHalfway = true;
    EXPECT_THROW((void)PackHtml("/page.htm", files, sink), std::runtime_error);
    EXPECT_THROW((void)PackHtml("/missing.htm", files, sink), std::runtime_error);
}

TEST(MimeEncoding, QuotedPrintableBase64HeadersAndDatesAreExact) {
    auto qp = [](std::string_view in) {
        MemorySink sink;
        QuotedPrintableWriter w(sink);
        w.Put(in.substr(0, in.size() / 2));  // in two pieces: nothing may depend on where they meet
        w.Put(in.substr(in.size() / 2));
        w.Finish();
        return sink.bytes();
    };
    EXPECT_EQ(qp("a=b \r\nc\t\nd\re \xE9"), "a=3Db=20\r\nc=09\r\nd=0De =E9");
    EXPECT_EQ(qp("trailing "), "trailing=20");
    EXPECT_EQ(qp(std::string(80, 'x')), std::string(75, 'x') + "=\r\n" + std::string(5, 'x'));
    EXPECT_EQ(qp(std::string(74, 'x') + "\xFF"), std::string(74, 'x') + "=\r\n=FF") << "an escape is never split";

    auto base64 = [](std::string_view in) {
        MemorySink sink;
        Base64Writer w(sink);
        for (char c : in) w.Put(std::string_view(&c, 1));
        w.Finish();
        return sink.bytes();
    };
    EXPECT_EQ(base64("Man"), "TWFu");
    EXPECT_EQ(base64("Ma"), "TWE=");
    EXPECT_EQ(base64("M"), "TQ==");
    EXPECT_EQ(base64(std::string(57, '\0')), std::string(76, 'A'));
    EXPECT_EQ(base64(std::string(58, '\0')), std::string(76, 'A') + "\r\nAA==");

    EXPECT_EQ(HeaderField("Subject", "Quarterly report"), "Subject: Quarterly report\r\n");
    EXPECT_EQ(HeaderField("Subject", std::string(40, 'a') + " " + std::string(40, 'b')),
              "Subject: " + std::string(40, 'a') + "\r\n " + std::string(40, 'b') + "\r\n");
    EXPECT_EQ(HeaderField("Subject", "Gr\u00fc\u00dfe"), "Subject: =?utf-8?B?R3LDvMOfZQ==?=\r\n");
    // 40 two-byte characters: lines of at most 76 characters, words of whole characters.
    std::string umlauts;
    for (int i = 0; i < 40; ++i) umlauts += "\u00e4";
    EXPECT_EQ(HeaderField("Subject", umlauts),
              "Subject: =?utf-8?B?w6TDpMOkw6TDpMOkw6TDpMOkw6TDpMOkw6TDpMOkw6TDpMOkw6Q=?=\r\n"
              " =?utf-8?B?w6TDpMOkw6TDpMOkw6TDpMOkw6TDpMOkw6TDpMOkw6TDpMOkw6TDpMOk?=\r\n");

    EXPECT_EQ(MailDate(std::chrono::sys_days{std::chrono::December / 6 / 2026} + std::chrono::hours{19} +
                       std::chrono::minutes{54} + std::chrono::seconds{5}),
              "Sun, 06 Dec 2026 19:54:05 +0000");

    using namespace std::literals;
    EXPECT_EQ(ContentTypeOf("GIF89a", "x.png"), "image/gif") << "bytes before names";
    EXPECT_EQ(ContentTypeOf("II*\0"sv, "a") + " " + ContentTypeOf("BM6", "a") + " " + ContentTypeOf("", "Style.CSS") +
                  " " + ContentTypeOf("????", "data.bin"),
              "image/tiff image/bmp text/css application/octet-stream");
}

// Every src value a scan finds, as "begin-end raw".
std::vector<std::string> Scan(std::string_view page, std::size_t piece) {
    HtmlReferenceScanner scanner;
    std::vector<std::string> found;
    auto add = [&](const SourceAttribute& a) {
        found.push_back(std::to_string(a.begin) + "-" + std::to_string(a.end) + " " + a.raw);
    };
    for (std::size_t i = 0; i < page.size(); i += piece) scanner.Feed(page.substr(i, piece), add);
    scanner.Finish(add);
    found.push_back("charset " + scanner.declaredCharset() + ", title " + scanner.title());
    return found;
}

TEST(HtmlReferences, SrcValuesAreFoundOnlyInTagsWhereverTheBytesArriveSplit) {
    const std::string page =
        "<!DOCTYPE html><meta http-equiv='Content-Type' content='text/html; charset=UTF-8'>"
        "<title>A <b> title</title ><img SRC = a.gif alt=\"src=no.gif\"><!-- <img src=\"c.gif\"> -->"
        "<script>x='<img src=d.gif>'</script><img data-src=e.gif src='f &amp; g.gif'/>"
        "<style></stylex><img src=h.gif></style><iframe src=\"\">< img src=i.gif><img src=j.gif";
    const std::vector<std::string> expected = {"120-125 a.gif", "229-244 f &amp; g.gif", "297-299 ", "325-330 j.gif",
                                               "charset utf-8, title A <b> title"};
    for (std::size_t piece : {page.size(), std::size_t{1}, std::size_t{7}})
        EXPECT_EQ(Scan(page, piece), expected) << "pieces of " << piece;
    EXPECT_EQ(Scan("<meta charset=\" Windows-1252 \"><title>x", 3).back(), "charset windows-1252, title x");

    EXPECT_EQ(DecodeAttributeValue(" f &amp; g&#x20;\xE9&#233;\t.gif ", PageCharset::Windows1252),
              "f & g \u00e9\u00e9.gif");
    EXPECT_EQ(DecodeAttributeValue("\xC3\xA9\xFF", PageCharset::Utf8), "\u00e9\ufffd");
}

TEST(HtmlReferences, LocalFilesAreFoundFromEveryWayOfWritingThem) {
    using V = std::vector<std::string>;
    EXPECT_EQ(LocalFileCandidates("a b/c.gif", "/p"), V{"/p/a b/c.gif"});
    EXPECT_EQ(LocalFileCandidates("a%20b.gif?v=1#top", "/p"), (V{"/p/a b.gif", "/p/a%20b.gif?v=1#top"}));
    EXPECT_EQ(LocalFileCandidates("file:///C:\\OUT\\REPORT~1/Header.jpg", "C:\\Out"), V{"C:/OUT/REPORT~1/Header.jpg"});
    EXPECT_EQ(LocalFileCandidates("file:///C|/x%C3%A4.gif", ""), (V{"C:/x\u00e4.gif", "C:/x%C3%A4.gif"}));
    EXPECT_EQ(LocalFileCandidates("file:///C:/x%E4.gif", ""), (V{"C:/x\u00e4.gif", "C:/x%E4.gif"}))
        << "escapes of ANSI bytes";
    EXPECT_EQ(LocalFileCandidates("FILE://localhost/tmp/a.gif", ""), V{"/tmp/a.gif"});
    EXPECT_EQ(LocalFileCandidates("file://server/share/a.gif", ""), V{"//server/share/a.gif"});
    EXPECT_EQ(LocalFileCandidates("\\\\server\\share\\a.gif", "C:\\Out"), V{"//server/share/a.gif"});
    EXPECT_EQ(LocalFileCandidates("C:\\pics\\a.gif", "/p"), V{"C:/pics/a.gif"});
    EXPECT_EQ(LocalFileCandidates("/pics/a.gif", "C:\\Out"), V{"C:/pics/a.gif"});
    for (const char* other :
         {"http://x/a.gif", "data:image/gif;base64,R0lG", "cid:a@b", "//host/a.gif", "#top", "", "javascript:void(0)"})
        EXPECT_EQ(LocalFileCandidates(other, "/p"), V{}) << other;
}

TEST(TemporaryPage, NamesFollowTheClassicBasicGeneratorsSequence) {
    // The generator's first values, as BASIC's Rnd gives them without Randomize, times 100.
    const wchar_t* expected[] = {L"70.55475", L"53.3424",  L"57.95186", L"28.95625", L"30.1948",
                                 L"77.47401", L"1.401764", L"76.07236", L"81.44901", L"70.90379"};
    std::uint32_t state = kClassicRandomSeed;
    for (const wchar_t* number : expected) {
        state = NextClassicRandom(state);
        EXPECT_EQ(TemporaryPagePath(L"C:\\Out\\report.mhtml", state, '.'),
                  L"C:\\Out\\\\SendToHTML" + std::wstring(number) + L".htm");
    }
    EXPECT_EQ(GeneralNumberText(0.0000123f, ','), L"1,23E-05");
    EXPECT_EQ(GeneralNumberText(12.5f, ','), L"12,5");
}

}  // namespace
}  // namespace tarn
