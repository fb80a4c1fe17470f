// SST layout: the counts, then each text as length, option byte and characters. A record
// holds at most 8224 bytes; a text's length and option byte never split from its first
// character, and characters that go on in a CONTINUE record are preceded there by the
// option byte again.
#include "tables/shared_strings.h"

#include "tables/biff_records.h"

#include <algorithm>
#include <stdexcept>

namespace tarn::xls {
namespace {

std::uint64_t Hash(std::string_view bytes, bool wide) {
    std::uint64_t h = wide ? 0x9E3779B97F4A7C15ull : 0xCBF29CE484222325ull;
    for (const char c : bytes) h = (h ^ static_cast<std::uint8_t>(c)) * 0x100000001B3ull;
    return h;
}

}  // namespace

std::string_view SharedStrings::Bytes(std::uint32_t index) const {
    return std::string_view(pool_).substr(starts_[index], starts_[index + 1] - starts_[index]);
}

std::uint32_t* SharedStrings::Slot(std::string_view bytes, bool wide, std::uint64_t hash) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        std::uint32_t& slot = slots_[i];
        if (slot == 0) return &slot;
        const std::uint32_t index = slot - 1;
        if (hashes_[index] == hash && wide_[index] == wide && Bytes(index) == bytes) return &slot;
    }
}

void SharedStrings::Grow() {
    slots_.assign(std::max<std::size_t>(1024, slots_.size() * 2), 0);
    const std::size_t mask = slots_.size() - 1;
    for (std::uint32_t index = 0; index < unique(); ++index) {
        std::size_t i = hashes_[index] & mask;
        while (slots_[i] != 0) i = (i + 1) & mask;
        slots_[i] = index + 1;
    }
}

std::uint32_t SharedStrings::Add(std::u16string_view text) {
    ++uses_;
    const biff::EncodedText e = biff::Encode(text);
    if ((unique() + 1) * 2 > slots_.size()) Grow();
    const std::uint64_t hash = Hash(e.bytes, e.wide);
    std::uint32_t* slot = Slot(e.bytes, e.wide, hash);
    if (*slot != 0) return *slot - 1;
    const std::uint32_t index = unique();
    if (pool_.size() + e.bytes.size() > 0xFFFFFFFFu) throw std::length_error("too much text for a workbook");
    pool_ += e.bytes;
    starts_.push_back(static_cast<std::uint32_t>(pool_.size()));
    wide_.push_back(e.wide);
    hashes_.push_back(hash);
    *slot = index + 1;
    return index;
}

// Hands each finished record (header and body) to `emit`.
template <class Emit>
void SharedStrings::Lay(std::uint64_t streamOffset, Emit&& emit) const {
    constexpr std::size_t kMax = biff::kMaxRecordBody;
    const std::uint32_t count = unique();
    const std::uint32_t perBucket = std::max<std::uint32_t>(8, count / 128 + 1);
    std::string extSst;
    biff::Le16(extSst, perBucket);

    std::uint64_t emitted = 0;
    std::uint16_t type = biff::kSst;
    std::string body;
    body.reserve(kMax);
    biff::Le32(body, uses_);
    biff::Le32(body, count);
    const auto flush = [&] {
        std::string record;
        biff::Record(record, type, body);
        emitted += record.size();
        emit(record);
        body.clear();
        type = biff::kContinue;
    };
    for (std::uint32_t i = 0; i < count; ++i) {
        const bool wide = wide_[i];
        const std::size_t unit = wide ? 2 : 1;
        std::string_view chars = Bytes(i);
        if (kMax - body.size() < 3 + unit) flush();
        if (i % perBucket == 0) {
            biff::Le32(extSst, static_cast<std::uint32_t>(streamOffset + emitted + 4 + body.size()));
            biff::Le16(extSst, static_cast<unsigned>(4 + body.size()));
            biff::Le16(extSst, 0);
        }
        biff::Le16(body, static_cast<unsigned>(chars.size() / unit));
        body += static_cast<char>(wide ? 1 : 0);
        for (;;) {
            const std::size_t fits = std::min(chars.size(), (kMax - body.size()) / unit * unit);
            body.append(chars.substr(0, fits));
            chars.remove_prefix(fits);
            if (chars.empty()) break;
            flush();
            body += static_cast<char>(wide ? 1 : 0);
        }
    }
    flush();
    std::string record;
    biff::Record(record, biff::kExtSst, extSst);
    emit(record);
}

std::uint64_t SharedStrings::Size() const {
    std::uint64_t size = 0;
    Lay(0, [&](const std::string& record) { size += record.size(); });
    return size;
}

void SharedStrings::Write(ByteSink& out, std::uint64_t streamOffset) const {
    Lay(streamOffset, [&](const std::string& record) { out.Write(record); });
}

}  // namespace tarn::xls
