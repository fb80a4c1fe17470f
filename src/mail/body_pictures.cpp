// Pictures in the rich edit body: decoded with WIC, scaled down to the body's width and
// streamed in as device-independent bitmaps in RTF, which the rich edit keeps as objects.
#include "mail/body_pictures.h"

#include "com/errors.h"
#include "com/handles.h"
#include "common/utf8.h"
#include "html/mime_packer.h"
#include "imaging/image_resample.h"
#include "imaging/wic_codec.h"

#include <richedit.h>
#include <richole.h>

#include <algorithm>
#include <filesystem>

namespace tarn::mail {

namespace {

constexpr int kMaxWidth = 560;

// The first local file the reference can stand for, or empty.
std::wstring PictureFile(const std::wstring& source, const std::wstring& pageFolder) {
    for (const std::string& candidate : LocalFileCandidates(Utf8(source), Utf8(pageFolder))) {
        const std::wstring path = FromUtf8(candidate);
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return path;
    }
    return {};
}

// The picture as RTF: a 24-bit bottom-up DIB in hexadecimal, on white where it is transparent.
std::string PictureRtf(const Image& image) {
    const int width = image.width(), height = image.height();
    const int stride = (width * 3 + 3) & ~3;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(stride * height);
    std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
    bytes.reserve(bytes.size() + header.biSizeImage);
    for (int y = height - 1; y >= 0; --y) {
        for (const Bgra& p : image.row(y)) {
            auto blend = [&](std::uint8_t c) { return static_cast<char>((c * p.a + 255 * (255 - p.a)) / 255); };
            bytes += blend(p.b);
            bytes += blend(p.g);
            bytes += blend(p.r);
        }
        bytes.append(static_cast<size_t>(stride - width * 3), '\0');
    }
    std::string rtf = "{\\rtf1\\ansi{\\pict\\dibitmap0\\picw" + std::to_string(width) + "\\pich" +
                      std::to_string(height) + "\\picwgoal" + std::to_string(width * 15) + "\\pichgoal" +
                      std::to_string(height * 15) + "\r\n";
    static constexpr char kHex[] = "0123456789abcdef";
    rtf.reserve(rtf.size() + bytes.size() * 2 + bytes.size() / 64 * 2 + 8);
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        rtf += kHex[c >> 4];
        rtf += kHex[c & 15];
        if (i % 64 == 63) rtf += "\r\n";
    }
    rtf += "}}";
    return rtf;
}

struct StreamSource {
    const std::string* text;
    size_t offset = 0;
};

DWORD CALLBACK ReadStream(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* given) noexcept {
    auto* source = reinterpret_cast<StreamSource*>(cookie);
    const size_t count = std::min<size_t>(static_cast<size_t>(wanted), source->text->size() - source->offset);
    std::copy_n(source->text->data() + source->offset, count, buffer);
    source->offset += count;
    *given = static_cast<LONG>(count);
    return 0;
}

}  // namespace

void InsertBodyPictures(HWND richEdit, const std::vector<LookSpan>& looks, const std::wstring& pageFolder) noexcept {
    ComPtr<IWICImagingFactory> factory;
    if (!TryStep([&] { factory = CreateWicFactory(); }) || !factory) return;
    // From the last, so the positions of the earlier ones stay where they are.
    for (auto span = looks.rbegin(); span != looks.rend(); ++span) {
        if (span->look != TextLook::Picture || span->source.empty()) continue;
        TryStep([&] {
            const std::wstring file = PictureFile(span->source, pageFolder);
            if (file.empty()) return;
            Image image = DecodeWithWic(factory.Get(), OpenReadStream(factory.Get(), file).Get());
            if (image.width() > kMaxWidth)
                image = Resample(image, kMaxWidth, std::max(1, image.height() * kMaxWidth / image.width()));
            const std::string rtf = PictureRtf(image);
            StreamSource source{&rtf};
            EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&source), 0, &ReadStream};
            const auto end = static_cast<WPARAM>(span->start + span->length);
            SendMessageW(richEdit, EM_SETSEL, end, static_cast<LPARAM>(end));
            SendMessageW(richEdit, EM_STREAMIN, SF_RTF | SFF_SELECTION, reinterpret_cast<LPARAM>(&stream));
        });
    }
}

std::wstring WithoutObjects(HWND richEdit, std::wstring text) {
    IRichEditOle* raw = nullptr;
    if (!SendMessageW(richEdit, EM_GETOLEINTERFACE, 0, reinterpret_cast<LPARAM>(&raw)) || !raw) return text;
    ComPtr<IRichEditOle> ole;
    ole.Attach(raw);
    std::vector<LONG> positions;
    for (LONG i = 0, count = ole->GetObjectCount(); i < count; ++i) {
        REOBJECT object{};
        object.cbStruct = sizeof object;
        if (SUCCEEDED(ole->GetObject(i, &object, REO_GETOBJ_NO_INTERFACES))) positions.push_back(object.cp);
    }
    std::sort(positions.rbegin(), positions.rend());
    for (LONG cp : positions)
        if (cp >= 0 && static_cast<size_t>(cp) < text.size()) text.erase(static_cast<size_t>(cp), 1);
    return text;
}

}  // namespace tarn::mail
