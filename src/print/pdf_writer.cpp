#include "print/pdf_writer.h"

#include "imaging/image.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>

namespace tarn::pages {
namespace {

constexpr double kTwipsPerPt = kTwipsPerPoint;
constexpr double kItalicSlant = 0.2126;  // tan 12 degrees

// Numbers as PDF writes them, whatever the locale: at most three decimals, no trailing
// zeros. Appended in place: a table page writes thousands of them.
void AppendNum(std::string& out, double value) {
    if (!std::isfinite(value)) value = 0;
    long long thousandths = std::llround(std::clamp(value, -1e9, 1e9) * 1000);
    if (thousandths < 0) {
        out += '-';
        thousandths = -thousandths;
    }
    char buffer[32];
    char* end = std::to_chars(buffer, buffer + sizeof(buffer), thousandths / 1000).ptr;
    if (int fraction = static_cast<int>(thousandths % 1000); fraction != 0) {
        *end++ = '.';
        for (int digit = 100; fraction != 0; digit /= 10) {
            *end++ = static_cast<char>('0' + fraction / digit);
            fraction %= digit;
        }
    }
    out.append(buffer, end);
}

std::string Num(double value) {
    std::string text;
    AppendNum(text, value);
    return text;
}

// Numbers separated by blanks, each followed by one.
void AppendNums(std::string& out, std::initializer_list<double> values) {
    for (const double value : values) {
        AppendNum(out, value);
        out += ' ';
    }
}

std::string Int(std::uint64_t value) {
    char buffer[24];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof(buffer), value).ptr);
}

void AppendHex4(std::string& out, unsigned value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const char digits[4] = {kDigits[(value >> 12) & 0xF], kDigits[(value >> 8) & 0xF], kDigits[(value >> 4) & 0xF],
                            kDigits[value & 0xF]};
    out.append(digits, 4);
}

std::string Hex4(unsigned value) {
    std::string out;
    AppendHex4(out, value);
    return out;
}

// Every text run and grid line sets its colour: the 256 levels of a component are written once.
void AppendColourOp(std::string& out, Colour c, const char* op) {
    static const std::array<std::string, 256> kLevels = [] {
        std::array<std::string, 256> levels;
        for (int i = 0; i < 256; ++i) levels[i] = Num(i / 255.0) + ' ';
        return levels;
    }();
    out += kLevels[c & 0xFF];
    out += kLevels[(c >> 8) & 0xFF];
    out += kLevels[(c >> 16) & 0xFF];
    out += op;
    out += '\n';
}

std::string ColourOp(Colour c, const char* op) {
    std::string out;
    AppendColourOp(out, c, op);
    return out;
}

// UTF-16BE hex of a character, surrogate pairs beyond the basic plane.
std::string Utf16Hex(char32_t c) {
    if (c < 0x10000) return Hex4(c);
    c -= 0x10000;
    return Hex4(0xD800 + (c >> 10)) + Hex4(0xDC00 + (c & 0x3FF));
}

// zlib compression of data handed over in pieces, so a large picture need not be copied
// whole before it is compressed.
class Deflater {
public:
    explicit Deflater(int level = Z_DEFAULT_COMPRESSION) {
        if (deflateInit(&z_, level) != Z_OK) throw PdfError("The compressor could not start.");
    }
    ~Deflater() { deflateEnd(&z_); }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    void Add(std::string_view data) { Run(data, Z_NO_FLUSH); }
    std::string Finish() {
        Run({}, Z_FINISH);
        return std::move(out_);
    }

private:
    void Run(std::string_view data, int flush) {
        z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        z_.avail_in = static_cast<uInt>(data.size());
        for (;;) {
            char buffer[32768];
            z_.next_out = reinterpret_cast<Bytef*>(buffer);
            z_.avail_out = sizeof(buffer);
            const int status = deflate(&z_, flush);
            if (status == Z_STREAM_ERROR) throw PdfError("The compressor failed.");
            out_.append(buffer, sizeof(buffer) - z_.avail_out);
            if (flush == Z_FINISH ? status == Z_STREAM_END : (z_.avail_in == 0 && z_.avail_out != 0)) break;
        }
    }
    z_stream z_{};
    std::string out_;
};

std::string Deflate(std::string_view data, int level = Z_DEFAULT_COMPRESSION) {
    Deflater deflater(level);
    for (std::size_t at = 0; at < data.size(); at += 1u << 30) deflater.Add(data.substr(at, 1u << 30));
    return deflater.Finish();
}

std::uint64_t Fnv(std::string_view data, std::uint64_t hash = 1469598103934665603ull) {
    for (const char c : data) hash = (hash ^ static_cast<std::uint8_t>(c)) * 1099511628211ull;
    return hash;
}

std::string DateString(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto seconds = floor<std::chrono::seconds>(when);
    const auto day = floor<days>(seconds);
    const year_month_day ymd(day);
    const hh_mm_ss time(seconds - day);
    auto two = [](long v) { return std::string(1, char('0' + v / 10 % 10)) + char('0' + v % 10); };
    return "D:" + Int(static_cast<unsigned>(static_cast<int>(ymd.year()))) + two(unsigned(ymd.month())) +
           two(unsigned(ymd.day())) + two(time.hours().count()) + two(time.minutes().count()) +
           two(time.seconds().count()) + "Z";
}

struct JpegInfo {
    unsigned width = 0, height = 0, components = 0;
    bool adobe = false;
};

JpegInfo ReadJpeg(std::string_view jpeg) {
    auto byte = [&](std::size_t at) { return static_cast<unsigned>(static_cast<std::uint8_t>(jpeg[at])); };
    if (jpeg.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8) throw PdfError("The picture is not a JPEG file.");
    JpegInfo info;
    std::size_t pos = 2;
    while (pos + 4 <= jpeg.size()) {
        if (byte(pos) != 0xFF) throw PdfError("The JPEG picture is damaged.");
        const unsigned marker = byte(pos + 1);
        if (marker == 0xFF) {
            ++pos;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            pos += 2;
            continue;
        }
        const std::size_t length = (byte(pos + 2) << 8) | byte(pos + 3);
        if (length < 2 || pos + 2 + length > jpeg.size()) break;
        if (marker == 0xEE && length >= 7 && jpeg.substr(pos + 4, 5) == "Adobe") info.adobe = true;
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            if (length < 8) break;
            info.height = (byte(pos + 5) << 8) | byte(pos + 6);
            info.width = (byte(pos + 7) << 8) | byte(pos + 8);
            info.components = byte(pos + 9);
            if (info.width == 0 || info.height == 0 ||
                (info.components != 1 && info.components != 3 && info.components != 4))
                throw PdfError("The JPEG picture has an unusable size or colour layout.");
            return info;
        }
        if (marker == 0xDA || marker == 0xD9) break;
        pos += 2 + length;
    }
    throw PdfError("The JPEG picture is damaged: it has no frame header.");
}

void CheckSize(std::uint64_t width, std::uint64_t height) {
    if (width == 0 || height == 0) throw PdfError("The picture is empty.");
    if (width > std::uint64_t(kMaxImageSide) || height > std::uint64_t(kMaxImageSide) ||
        width * height > std::uint64_t(kMaxImagePixels))
        throw PdfError("The picture is too large to print: " + Int(width) + " x " + Int(height) + " pixels.");
}

}  // namespace

// A face in use: the characters drawn with it, each its own character identifier (CID), in
// the order they first appeared.
struct PdfWriter::UsedFont {
    struct Character {
        char32_t c;
        std::uint16_t glyph;
        unsigned advance;  // font units
    };
    std::shared_ptr<const TrueTypeFont> font;
    int object = 0;
    std::string name;  // resource name
    std::unordered_map<char32_t, std::uint16_t> cids;
    std::vector<Character> characters;  // by CID - 1

    std::uint16_t Cid(char32_t c) {
        const auto found = cids.find(c);
        if (found != cids.end()) return found->second;
        if (characters.size() >= 0xFFFE) throw PdfError("The document uses too many different characters.");
        const auto cid = static_cast<std::uint16_t>(characters.size() + 1);
        const std::uint16_t glyph = font->Glyph(c);
        characters.push_back({c, glyph, font->Advance(glyph)});
        cids.emplace(c, cid);
        return cid;
    }
};

// What a page's content stream has set so far, so that colours, line widths and fonts are
// written only when they change: a table page draws hundreds of cells in the same few.
struct PdfWriter::Pen {
    std::optional<Colour> fill, stroke;
    std::optional<double> width;  // points
    int font = -1;                // index in usedFonts_
    double size = 0;

    void Fill(std::string& out, Colour c) {
        if (fill == c) return;
        AppendColourOp(out, c, "rg");
        fill = c;
    }
    void Stroke(std::string& out, Colour c) {
        if (stroke == c) return;
        AppendColourOp(out, c, "RG");
        stroke = c;
    }
    // The width operator followed by `after`.
    void Width(std::string& out, double points, char after) {
        if (width == points) return;
        AppendNum(out, points);
        out += " w";
        out += after;
        width = points;
    }
};

PdfWriter::PdfWriter(ByteSink& sink, FontProvider& fonts, PdfDocumentInfo info)
    : sink_(sink), fonts_(fonts), info_(std::move(info)) {
    sink_.Write(std::string_view("%PDF-1.7\n%\xE2\xE3\xCF\xD3\n"));
    Reserve();  // 1: catalog
    Reserve();  // 2: page tree
    Reserve();  // 3: document information
}

PdfWriter::~PdfWriter() = default;

int PdfWriter::Reserve() {
    offsets_.push_back(0);
    return static_cast<int>(offsets_.size() - 1);
}

void PdfWriter::Begin(int object) {
    offsets_[object] = sink_.Tell();
    sink_.Write(Int(object) + " 0 obj\n");
}

void PdfWriter::WriteStream(int object, const std::string& dictionary, const std::string& data, bool compress) {
    if (compress) return WriteCompressed(object, dictionary, Deflate(data));
    Begin(object);
    sink_.Write("<<" + dictionary + "/Length " + Int(data.size()) + ">>\nstream\n");
    sink_.Write(data);
    sink_.Write(std::string_view("\nendstream\nendobj\n"));
}

void PdfWriter::WriteCompressed(int object, const std::string& dictionary, const std::string& compressed) {
    WriteStream(object, dictionary + "/Filter/FlateDecode", compressed, false);
}

const FontFace& PdfWriter::Face(const FontSpec& spec) {
    auto found = faces_.find({spec.name, spec.bold, spec.italic});
    if (found == faces_.end()) {
        try {
            found = faces_
                        .emplace(std::tuple{spec.name, spec.bold, spec.italic},
                                 fonts_.Find(spec.name, spec.bold, spec.italic))
                        .first;
        } catch (const FontError& e) {
            throw PdfError(e.what());
        }
    }
    return found->second;
}

int PdfWriter::Use(const std::shared_ptr<const TrueTypeFont>& font) {
    for (std::size_t i = 0; i < usedFonts_.size(); ++i) {
        if (usedFonts_[i]->font == font) return static_cast<int>(i);
    }
    auto used = std::make_unique<UsedFont>();
    used->font = font;
    used->object = Reserve();
    used->name = "F" + Int(usedFonts_.size() + 1);
    usedFonts_.push_back(std::move(used));
    return static_cast<int>(usedFonts_.size() - 1);
}

void PdfWriter::WriteText(std::string& content, const TextRun& run, std::vector<int>& fonts, Pen& pen) {
    std::u32string text = CodePoints(run.text);
    if (text.empty()) return;
    const FontFace& face = Face(run.font);
    const double size = run.font.size;
    const double x = run.x / kTwipsPerPt;
    const double y = run.baseline / kTwipsPerPt;  // from the top; flipped by the page's matrix
    // Each piece in the face that has its characters, one after the other; most text is
    // all in the face chosen, and is not cut.
    std::vector<FaceRun> pieces;
    const TrueTypeFont& own = *face.font;
    if (std::all_of(text.begin(), text.end(), [&](char32_t c) { return c < 0x20 || own.Glyph(c) != 0; })) {
        pieces.push_back({face.font, std::move(text)});
    } else {
        try {
            pieces = SplitByFace(fonts_, face.font, text);
        } catch (const FontError& e) {
            throw PdfError(e.what());
        }
    }
    // A bold run imitates bold where its face has none: in the face chosen for it, and in a
    // face that stands in for characters it lacks unless that face is bold itself.
    const auto imitatesBold = [&](const FaceRun& piece) {
        return piece.font == face.font ? face.syntheticBold : run.font.bold && !piece.font->Bold();
    };
    const bool anyBold = std::any_of(pieces.begin(), pieces.end(), imitatesBold);
    // An imitated bold is the outline stroked as well as filled; the graphics state keeps
    // that past the text object, so it is saved and restored around it (and the pen with it).
    const Pen saved = pen;
    if (anyBold) content += "q\n";
    content += "BT\n";
    pen.Fill(content, run.colour);
    if (anyBold) content += ColourOp(run.colour, "RG") + Num(size / 30) + " w\n";
    bool stroking = false;
    double width = 0;  // points
    for (const FaceRun& piece : pieces) {
        const int index = Use(piece.font);
        if (std::find(fonts.begin(), fonts.end(), index) == fonts.end()) fonts.push_back(index);
        UsedFont& used = *usedFonts_[index];
        if (imitatesBold(piece) != stroking) {
            stroking = !stroking;
            content += stroking ? "2 Tr\n" : "0 Tr\n";
        }
        // The page's matrix turns y downwards; the text matrix turns glyphs upright again.
        if (pen.font != index || pen.size != size) {
            content += '/';
            content += used.name;
            content += ' ';
            AppendNum(content, size);
            content += " Tf ";
            pen.font = index;
            pen.size = size;
        }
        content += "1 0 ";
        AppendNums(content, {face.syntheticItalic ? kItalicSlant : 0, -1, x + width, y});
        content += "Tm\n<";
        double advance = 0;
        for (const char32_t c : piece.text) {
            const std::uint16_t cid = used.Cid(c);
            AppendHex4(content, cid);
            advance += used.characters[cid - 1].advance;
        }
        content += "> Tj\n";
        width += advance * size / used.font->UnitsPerEm();
    }
    content += anyBold ? "ET\nQ\n" : "ET\n";
    if (anyBold) pen = saved;
    if (run.font.underline) {
        const TrueTypeFont& font = *face.font;
        const double scale = size / font.UnitsPerEm();  // points per font unit
        const double thickness = std::max(font.UnderlineThickness() * scale, 0.25);
        const double under = y - font.UnderlinePosition() * scale;
        pen.Stroke(content, run.colour);
        pen.Width(content, thickness, ' ');
        content += Num(x) + " " + Num(under) + " m " + Num(x + width) + " " + Num(under) + " l S\n";
    }
}

int PdfWriter::Picture(const std::shared_ptr<const PictureData>& picture) {
    if (!picture) throw PdfError("A picture box has no picture.");
    const auto found = pictures_.find(picture.get());
    if (found != pictures_.end() && found->second.picture.lock() == picture) return found->second.object;

    const PictureData& data = *picture;
    const int object = Reserve();
    if (!data.jpeg.empty()) {
        const JpegInfo jpeg = ReadJpeg(data.jpeg);
        CheckSize(jpeg.width, jpeg.height);
        const char* space = jpeg.components == 1 ? "/DeviceGray" : jpeg.components == 3 ? "/DeviceRGB" : "/DeviceCMYK";
        WriteStream(object,
                    "/Type/XObject/Subtype/Image/Width " + Int(jpeg.width) + "/Height " + Int(jpeg.height) +
                        "/ColorSpace" + space + "/BitsPerComponent 8" +
                        (jpeg.components == 4 && jpeg.adobe ? "/Decode[1 0 1 0 1 0 1 0]" : "") + "/Filter/DCTDecode",
                    data.jpeg, false);
    } else {
        if (data.bgra.empty()) throw PdfError("The picture has no pixels to print.");
        CheckSize(data.width, data.height);
        const std::uint64_t pixels = std::uint64_t(data.width) * data.height;
        if (data.bgra.size() != pixels * 4)
            throw PdfError("The picture's pixels do not match its size of " + Int(data.width) + " x " +
                           Int(data.height) + ".");
        // Rows converted and compressed one at a time: colour, and alpha when any pixel
        // is not opaque.
        Deflater colour, alpha;
        bool seeThrough = false;
        std::string row(std::size_t(data.width) * 3, '\0'), rowAlpha(data.width, '\0');
        for (std::uint64_t y = 0; y < data.height; ++y) {
            const std::uint8_t* p = data.bgra.data() + y * data.width * 4;
            for (std::size_t x = 0; x < data.width; ++x, p += 4) {
                row[3 * x] = static_cast<char>(p[2]);
                row[3 * x + 1] = static_cast<char>(p[1]);
                row[3 * x + 2] = static_cast<char>(p[0]);
                rowAlpha[x] = static_cast<char>(p[3]);
                seeThrough = seeThrough || p[3] != 0xFF;
            }
            colour.Add(row);
            if (data.hasAlpha) alpha.Add(rowAlpha);
        }
        const std::string size = "/Width " + Int(data.width) + "/Height " + Int(data.height);
        std::string mask;
        if (data.hasAlpha && seeThrough) {
            const int smask = Reserve();
            WriteCompressed(smask, "/Type/XObject/Subtype/Image" + size + "/ColorSpace/DeviceGray/BitsPerComponent 8",
                            alpha.Finish());
            mask = "/SMask " + Int(smask) + " 0 R";
        }
        WriteCompressed(object,
                        "/Type/XObject/Subtype/Image" + size + "/ColorSpace/DeviceRGB/BitsPerComponent 8" + mask,
                        colour.Finish());
    }
    std::erase_if(pictures_, [](const auto& entry) { return entry.second.picture.expired(); });
    pictures_[picture.get()] = {picture, object};
    return object;
}

void PdfWriter::AddPage(Page page) {
    if (finished_) throw PdfError("The document is finished; no page can be added.");
    if (page.width <= 0 || page.height <= 0) throw PdfError("The page has no size.");
    const double height = page.height / kTwipsPerPt;
    // Points from the top left corner, y downwards, as the page model measures.
    std::string content;
    content.reserve(contentSize_ + contentSize_ / 8);
    content += "1 0 0 -1 0 " + Num(height) + " cm\n";
    std::vector<int> fonts;
    std::vector<int> images;
    Pen pen;
    for (const DrawOp& op : page.ops) {
        if (const auto* run = std::get_if<TextRun>(&op)) {
            WriteText(content, *run, fonts, pen);
        } else if (const auto* box = std::get_if<Box>(&op)) {
            if (box->fill) pen.Fill(content, *box->fill);
            if (box->outline) {
                pen.Stroke(content, *box->outline);
                pen.Width(content, box->outlineWidth / kTwipsPerPt, '\n');
            }
            if (box->fill || box->outline) {
                AppendNums(content, {box->x / kTwipsPerPt, box->y / kTwipsPerPt, box->width / kTwipsPerPt,
                                     box->height / kTwipsPerPt});
                content += box->fill && box->outline ? "re B\n" : box->fill ? "re f\n" : "re S\n";
            }
        } else if (const auto* line = std::get_if<Line>(&op)) {
            pen.Stroke(content, line->colour);
            pen.Width(content, line->width / kTwipsPerPt, ' ');
            AppendNums(content, {line->x1 / kTwipsPerPt, line->y1 / kTwipsPerPt});
            content += "m ";
            AppendNums(content, {line->x2 / kTwipsPerPt, line->y2 / kTwipsPerPt});
            content += "l S\n";
        } else if (const auto* picture = std::get_if<PictureBox>(&op)) {
            const int image = Picture(picture->picture);
            if (std::find(images.begin(), images.end(), image) == images.end()) images.push_back(image);
            // Images fill the unit square upwards; the page's y runs downwards.
            content += "q " + Num(picture->width / kTwipsPerPt) + " 0 0 " + Num(-picture->height / kTwipsPerPt) + " " +
                       Num(picture->x / kTwipsPerPt) + " " + Num((picture->y + picture->height) / kTwipsPerPt) +
                       " cm /Im" + Int(image) + " Do Q\n";
        }
    }
    contentSize_ = content.size();
    const int contents = Reserve();
    // Page contents are operators and numbers, which zlib's fastest level packs nearly as
    // well as its default in a third of the time.
    WriteCompressed(contents, "", Deflate(content, Z_BEST_SPEED));

    std::string resources = "/Resources<</ProcSet[/PDF/Text/ImageB/ImageC]";
    if (!fonts.empty()) {
        resources += "/Font<<";
        for (const int f : fonts) resources += "/" + usedFonts_[f]->name + " " + Int(usedFonts_[f]->object) + " 0 R";
        resources += ">>";
    }
    if (!images.empty()) {
        resources += "/XObject<<";
        for (const int i : images) resources += "/Im" + Int(i) + " " + Int(i) + " 0 R";
        resources += ">>";
    }
    resources += ">>";
    const int object = Reserve();
    Begin(object);
    sink_.Write("<</Type/Page/Parent 2 0 R/MediaBox[0 0 " + Num(page.width / kTwipsPerPt) + " " + Num(height) + "]" +
                resources + "/Contents " + Int(contents) + " 0 R>>\nendobj\n");
    pages_.push_back(object);
}

void PdfWriter::WriteFont(UsedFont& used) {
    const TrueTypeFont& font = *used.font;
    // The subset's glyphs: 0, then each glyph drawn, in the order first drawn.
    std::vector<std::uint16_t> glyphs;
    std::unordered_map<std::uint16_t, std::uint16_t> subsetGlyph{{0, 0}};
    for (const auto& [c, glyph, advance] : used.characters) {
        if (subsetGlyph.emplace(glyph, static_cast<std::uint16_t>(glyphs.size() + 1)).second) glyphs.push_back(glyph);
    }
    const std::string file = font.Subset(glyphs);

    std::string tag;
    std::uint64_t hash = Fnv(file, Fnv(font.PostScriptName()));
    for (int i = 0; i < 6; ++i, hash /= 26) tag += static_cast<char>('A' + hash % 26);
    const std::string baseFont = tag + "+" + font.PostScriptName();
    const double perMille = 1000.0 / font.UnitsPerEm();

    const int descendant = Reserve(), descriptor = Reserve(), fontFile = Reserve(), cidMap = Reserve(),
              toUnicode = Reserve();
    Begin(used.object);
    sink_.Write("<</Type/Font/Subtype/Type0/BaseFont/" + baseFont + "/Encoding/Identity-H/DescendantFonts[" +
                Int(descendant) + " 0 R]/ToUnicode " + Int(toUnicode) + " 0 R>>\nendobj\n");

    std::string widths = "[1[";
    for (const auto& character : used.characters) widths += Int(std::lround(character.advance * perMille)) + " ";
    widths += "]]";
    Begin(descendant);
    sink_.Write("<</Type/Font/Subtype/CIDFontType2/BaseFont/" + baseFont +
                "/CIDSystemInfo<</Registry(Adobe)/Ordering(Identity)/Supplement 0>>/FontDescriptor " + Int(descriptor) +
                " 0 R/DW " + Int(std::lround(font.Advance(0) * perMille)) + "/W" + widths + "/CIDToGIDMap " +
                Int(cidMap) + " 0 R>>\nendobj\n");

    const auto& box = font.BoundingBox();
    const int flags = 32 | (font.FixedPitch() ? 1 : 0) | (font.Italic() ? 64 : 0);
    Begin(descriptor);
    sink_.Write("<</Type/FontDescriptor/FontName/" + baseFont + "/Flags " + Int(flags) + "/FontBBox[" +
                Num(box[0] * perMille) + " " + Num(box[1] * perMille) + " " + Num(box[2] * perMille) + " " +
                Num(box[3] * perMille) + "]/ItalicAngle " + Num(font.ItalicAngle()) + "/Ascent " +
                Num(font.Ascent() * perMille) + "/Descent " + Num(-font.Descent() * perMille) + "/CapHeight " +
                Num(font.CapHeight() * perMille) + "/StemV 80/FontFile2 " + Int(fontFile) + " 0 R>>\nendobj\n");
    WriteStream(fontFile, "/Length1 " + Int(file.size()), file, true);

    std::string map(2 * (used.characters.size() + 1), '\0');
    for (std::size_t cid = 1; cid <= used.characters.size(); ++cid) {
        const std::uint16_t glyph = subsetGlyph.at(used.characters[cid - 1].glyph);
        map[2 * cid] = static_cast<char>(glyph >> 8);
        map[2 * cid + 1] = static_cast<char>(glyph & 0xFF);
    }
    WriteStream(cidMap, "", map, true);

    std::string cmap =
        "/CIDInit/ProcSet findresource begin\n12 dict begin\nbegincmap\n"
        "/CIDSystemInfo<</Registry(Adobe)/Ordering(UCS)/Supplement 0>>def\n"
        "/CMapName/Adobe-Identity-UCS def\n/CMapType 2 def\n"
        "1 begincodespacerange\n<0000><FFFF>\nendcodespacerange\n";
    for (std::size_t first = 0; first < used.characters.size(); first += 100) {
        const std::size_t count = std::min<std::size_t>(100, used.characters.size() - first);
        cmap += Int(count) + " beginbfchar\n";
        for (std::size_t i = first; i < first + count; ++i) {
            cmap += '<';
            cmap += Hex4(static_cast<unsigned>(i + 1));
            cmap += "><";
            cmap += Utf16Hex(used.characters[i].c);
            cmap += ">\n";
        }
        cmap += "endbfchar\n";
    }
    cmap += "endcmap\nCMapName currentdict/CMap defineresource pop\nend\nend\n";
    WriteStream(toUnicode, "", cmap, true);
}

void PdfWriter::Finish() {
    if (finished_) return;
    if (pages_.empty()) throw PdfError("The document has no pages.");
    finished_ = true;
    try {
        for (const auto& used : usedFonts_) WriteFont(*used);
    } catch (const FontError& e) {
        throw PdfError(e.what());
    }

    Begin(1);
    sink_.Write(std::string_view("<</Type/Catalog/Pages 2 0 R>>\nendobj\n"));
    Begin(2);
    std::string kids;
    for (const int page : pages_) kids += Int(page) + " 0 R ";
    sink_.Write("<</Type/Pages/Count " + Int(pages_.size()) + "/Kids[" + kids + "]>>\nendobj\n");
    // The title as UTF-16 with its byte order mark, so any character survives.
    std::string title;
    if (!info_.title.empty()) {
        title = "/Title<FEFF";
        for (const char32_t c : CodePoints(info_.title)) title += Utf16Hex(c);
        title += ">";
    }
    std::string producer;
    for (const char c : info_.producer) {
        if (c == '(' || c == ')' || c == '\\') producer += '\\';
        producer += c;
    }
    const std::string date = DateString(info_.created);
    Begin(3);
    sink_.Write("<<" + title + "/Producer(" + producer + ")/CreationDate(" + date + ")>>\nendobj\n");

    const std::uint64_t xref = sink_.Tell();
    std::string table = "xref\n0 " + Int(offsets_.size()) + "\n0000000000 65535 f \n";
    for (std::size_t i = 1; i < offsets_.size(); ++i) {
        std::string offset = Int(offsets_[i]);
        table += std::string(10 - std::min<std::size_t>(10, offset.size()), '0') + offset + " 00000 n \n";
    }
    sink_.Write(table);
    std::string id;
    for (std::uint64_t hash = Fnv(title + date, sink_.Tell()), i = 0; i < 4; ++i, hash = Fnv(id, hash))
        id += Hex4(static_cast<unsigned>(hash & 0xFFFF));
    sink_.Write("trailer\n<</Size " + Int(offsets_.size()) + "/Root 1 0 R/Info 3 0 R/ID[<" + id + "><" + id +
                ">]>>\nstartxref\n" + Int(xref) + "\n%%EOF\n");
}

}  // namespace tarn::pages
