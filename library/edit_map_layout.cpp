#include "library/edit_map_layout.h"

#include <cstring>

#include "base/byte_order.h"

namespace tandrel {

uint32_t EditMapBucket(std::string_view title)
{
    uint32_t sum = 0;
    for (size_t i = 0; i < title.size(); ++i) {
        const int32_t value = static_cast<signed char>(title[i]);
        sum += uint32_t(value) << (i % 32);
    }
    return sum % kEditMapBucketCount;
}

EditMapEntry* EditMapTable::FindEntry(std::string_view title)
{
    for (EditMapEntry& entry : buckets_[EditMapBucket(title)])
        if (entry.title == title) return &entry;
    return nullptr;
}

const EditInfo* EditMapTable::Find(std::string_view title) const
{
    for (const EditMapEntry& entry : buckets_[EditMapBucket(title)])
        if (entry.title == title) return &entry.info;
    return nullptr;
}

bool EditMapTable::Insert(std::string title, const EditInfo& info)
{
    if (FindEntry(title)) return false;
    const uint32_t bucket = EditMapBucket(title);
    buckets_[bucket].push_back({std::move(title), info});
    ++size_;
    return true;
}

void EditMapTable::Set(std::string title, const EditInfo& info)
{
    if (EditMapEntry* entry = FindEntry(title))
        entry->info = info;
    else
        Insert(std::move(title), info);
}

bool EditMapTable::Update(std::string_view title, const EditInfo& info)
{
    EditMapEntry* entry = FindEntry(title);
    if (!entry) return false;
    entry->info = info;
    return true;
}

bool EditMapTable::Erase(std::string_view title)
{
    std::vector<EditMapEntry>& bucket = buckets_[EditMapBucket(title)];
    for (auto it = bucket.begin(); it != bucket.end(); ++it) {
        if (it->title == title) {
            bucket.erase(it); // keeps the order of the rest of the bucket
            --size_;
            return true;
        }
    }
    return false;
}

void EditMapTable::Clear()
{
    for (auto& bucket : buckets_)
        bucket.clear();
    size_ = 0;
}

void EncodeEditInfo(const EditInfo& info, uint8_t* out)
{
    PutU32(out, info.created);
    PutU32(out + 4, info.modified);
    PutU32(out + 8, info.length0);
    PutU32(out + 12, info.length1);
    PutU32(out + 16, info.length2);
    PutU32(out + 20, info.fileSize);
    PutU32(out + 24, info.sampleRate);
    PutU16(out + 28, info.bitsPerSample);
    PutU16(out + 30, info.channels);
}

EditInfo DecodeEditInfo(const uint8_t* in)
{
    EditInfo info;
    info.created = GetU32(in);
    info.modified = GetU32(in + 4);
    info.length0 = GetU32(in + 8);
    info.length1 = GetU32(in + 12);
    info.length2 = GetU32(in + 16);
    info.fileSize = GetU32(in + 20);
    info.sampleRate = GetU32(in + 24);
    info.bitsPerSample = GetU16(in + 28);
    info.channels = GetU16(in + 30);
    return info;
}

std::vector<uint8_t> EncodeEditMap(const EditMapTable& table)
{
    size_t size = kEditMapHeaderSize;
    for (size_t b = 0; b < kEditMapBucketCount; ++b)
        for (const EditMapEntry& entry : table.Bucket(b))
            size += kEditMapRecordSize + entry.title.size();

    std::vector<uint8_t> bytes(size, 0);
    std::memcpy(bytes.data(), kEditMapVersion, 9); // then a zero byte, u16 0, u32 0
    size_t at = kEditMapHeaderSize;
    for (size_t b = 0; b < kEditMapBucketCount; ++b) {
        for (const EditMapEntry& entry : table.Bucket(b)) {
            uint8_t* record = bytes.data() + at;
            EncodeEditInfo(entry.info, record);
            PutU16(record + 32, uint16_t(entry.title.size()));
            PutU16(record + 34, 0);
            std::memcpy(record + kEditMapRecordSize, entry.title.data(), entry.title.size());
            at += kEditMapRecordSize + entry.title.size();
        }
    }
    return bytes;
}

EditMapReadResult DecodeEditMap(const uint8_t* bytes, size_t size, EditMapTable& table)
{
    table.Clear();
    if (size == 0) return EditMapReadResult::Empty;
    if (size < kEditMapHeaderSize || std::memcmp(bytes, kEditMapVersion, 9) != 0)
        return EditMapReadResult::WrongVersion;
    size_t at = kEditMapHeaderSize;
    while (at < size) {
        if (size - at < kEditMapRecordSize) return EditMapReadResult::Truncated;
        const uint8_t* record = bytes + at;
        const size_t titleLength = GetU16(record + 32);
        at += kEditMapRecordSize;
        if (size - at < titleLength) return EditMapReadResult::Truncated;
        table.Insert(std::string(reinterpret_cast<const char*>(bytes + at), titleLength),
                     DecodeEditInfo(record));
        at += titleLength;
    }
    return EditMapReadResult::Ok;
}

} // namespace tandrel
