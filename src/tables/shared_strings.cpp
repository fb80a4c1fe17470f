// SST layout: the counts, then each text as length, option byte and characters. A record
// holds at most 8224 bytes; a text's length and option byte never split from its first
// character, and characters that go on in a CONTINUE record are preceded there by the
// option byte again. The counts are known only at the end: they are patched into the
// first record when the table is written.
#include "tables/shared_strings.h"

#include "tables/biff_records.h"

#include <algorithm>
#include <stdexcept>

namespace tarn::xls {
namespace {

constexpr std::size_t kRecentSlots = 1u << 14;
constexpr std::size_t kRecentBytes = 4u << 20;  // characters the recent texts may hold
constexpr std::size_t kMaxBuckets = 128;

std::uint64_t Hash(std::string_view bytes, bool wide) {
    std::uint64_t h = wide ? 0x9E3779B97F4A7C15ull : 0xCBF29CE484222325ull;
    for (const char c : bytes) h = (h ^ static_cast<std::uint8_t>(c)) * 0x100000001B3ull;
    return h ^ (h >> 29);
}

}  // namespace

SharedStrings::SharedStrings() : type_(biff::kSst), recent_(kRecentSlots) {
    body_.reserve(biff::kMaxRecordBody);
    biff::Le32(body_, 0);  // uses and entries, patched on Write
    biff::Le32(body_, 0);
}

void SharedStrings::Flush() {
    std::string record;
    record.reserve(4 + body_.size());
    biff::Record(record, type_, body_);
    scratch_.Append(record);
    body_.clear();
    type_ = biff::kContinue;
}

void SharedStrings::Remember(Recent& slot, std::uint64_t hash, bool wide, std::string_view bytes) {
    if (slot.used) recentBytes_ -= slot.bytes.size();
    slot.used = false;
    if (recentBytes_ + bytes.size() > kRecentBytes) {
        slot.bytes = {};
        return;
    }
    recentBytes_ += bytes.size();
    if (slot.bytes.capacity() > 2 * bytes.size() + 64) slot.bytes = {};  // what the budget counts is what it holds
    slot.hash = hash;
    slot.index = entries_;
    slot.used = true;
    slot.wide = wide;
    slot.bytes.assign(bytes);  // in the slot's own buffer when it is large enough
}

std::uint32_t SharedStrings::Add(std::u16string_view text) {
    if (written_) throw std::logic_error("the string table has been written");
    biff::EncodedText& e = encoded_;
    biff::Encode(text, e);
    const std::uint64_t hash = Hash(e.bytes, e.wide);
    Recent& slot = recent_[hash & (kRecentSlots - 1)];
    if (slot.used && slot.hash == hash && slot.wide == e.wide && slot.bytes == e.bytes) {
        ++uses_;
        return slot.index;
    }
    if (entries_ == 0xFFFFFFFFu || scratch_.size() + body_.size() + e.bytes.size() * 2 > 0xF0000000u)
        throw std::length_error("too much text for a workbook");

    constexpr std::size_t kMax = biff::kMaxRecordBody;
    const std::size_t unit = e.wide ? 2 : 1;
    if (kMax - body_.size() < 3 + unit) Flush();
    if (entries_ % perBucket_ == 0) {
        if (buckets_.size() == kMaxBuckets) {
            // Twice the entries a bucket: every other bucket start stays one.
            for (std::size_t i = 0; i < kMaxBuckets / 2; ++i) buckets_[i] = buckets_[2 * i];
            buckets_.resize(kMaxBuckets / 2);
            perBucket_ *= 2;
        }
        if (entries_ % perBucket_ == 0) {
            buckets_.emplace_back(static_cast<std::uint32_t>(scratch_.size() + 4 + body_.size()),
                                  static_cast<std::uint16_t>(4 + body_.size()));
        }
    }
    biff::Le16(body_, static_cast<unsigned>(e.bytes.size() / unit));
    body_ += static_cast<char>(e.wide ? 1 : 0);
    std::string_view chars = e.bytes;
    for (;;) {
        const std::size_t fits = std::min(chars.size(), (kMax - body_.size()) / unit * unit);
        body_.append(chars.substr(0, fits));
        chars.remove_prefix(fits);
        if (chars.empty()) break;
        Flush();
        body_ += static_cast<char>(e.wide ? 1 : 0);
    }
    Remember(slot, hash, e.wide, e.bytes);
    ++uses_;
    return entries_++;
}

std::uint64_t SharedStrings::Size() const {
    const std::uint64_t open = body_.empty() ? 0 : 4 + body_.size();
    return scratch_.size() + open + 4 + 2 + 8 * buckets_.size();
}

void SharedStrings::Write(ByteSink& out, std::uint64_t streamOffset) {
    if (written_) throw std::logic_error("the string table has been written");
    written_ = true;
    if (!body_.empty()) Flush();
    std::string counts;
    biff::Le32(counts, uses_);
    biff::Le32(counts, entries_);
    scratch_.Patch(4, counts);
    scratch_.CopyTo(out, 0, scratch_.size());

    std::string extSst;
    biff::Le16(extSst, perBucket_);
    for (const auto& [offset, inRecord] : buckets_) {
        biff::Le32(extSst, static_cast<std::uint32_t>(streamOffset + offset));
        biff::Le16(extSst, inRecord);
        biff::Le16(extSst, 0);
    }
    std::string record;
    biff::Record(record, biff::kExtSst, extSst);
    out.Write(record);
    recent_ = {};
}

}  // namespace tarn::xls
