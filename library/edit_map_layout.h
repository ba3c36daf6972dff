#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "library/edit_info.h"

namespace tandrel {

// KD_EMap.kdd: a 16-byte header ("version4 ", a zero byte, a reserved u16 and a u32 0), then
// records back to back to the end of the file: the 32-byte EditInfo, u16 title length, a
// reserved u16, and the title bytes without a terminator. Little-endian, field by field.
// Nothing here touches a file.

inline constexpr const char* kEditMapFileName = "KD_EMap.kdd";
inline constexpr char kEditMapVersion[] = "version4 "; // the first nine bytes of the file
inline constexpr size_t kEditMapHeaderSize = 16;
inline constexpr size_t kEditMapRecordSize = 36; // before the title
inline constexpr size_t kEditMapBucketCount = 100;
/** Titles longer than this cannot be stored: their length is a u16 in the record. */
inline constexpr size_t kEditMapMaxTitle = 0xFFFF;
/** A database larger than this is taken for damage and rebuilt: 16 MiB lists over 200000
    Edits, and reading it whole stays cheap. */
inline constexpr uint64_t kEditMapMaxFileSize = 16ull << 20;

/** The bucket of a title: the sum over its characters of the character value taken as
    signed, shifted left by its index modulo 32, modulo the bucket count. The sum wraps at
    32 bits and is taken as unsigned, so every title has a bucket from 0 to 99. */
uint32_t EditMapBucket(std::string_view title);

struct EditMapEntry
{
    std::string title;
    EditInfo info;
};

/** The hash table of one database: title → EditInfo in 100 buckets. Within a bucket entries
    keep the order they were added in; enumeration (and so the file) runs bucket by bucket.
    Not thread-safe: the EditMap that owns it guards it. */
class EditMapTable
{
  public:
    const EditInfo* Find(std::string_view title) const;
    /** Adds the entry unless the title is present; false (table unchanged) when it is. */
    bool Insert(std::string title, const EditInfo& info);
    /** Adds the entry, or overwrites the facts of the title present. */
    void Set(std::string title, const EditInfo& info);
    /** Overwrites the facts of a present title; false when absent. */
    bool Update(std::string_view title, const EditInfo& info);
    bool Erase(std::string_view title);
    void Clear();
    size_t Size() const { return size_; }
    const std::vector<EditMapEntry>& Bucket(size_t bucket) const { return buckets_[bucket]; }

  private:
    EditMapEntry* FindEntry(std::string_view title);

    std::array<std::vector<EditMapEntry>, kEditMapBucketCount> buckets_;
    size_t size_ = 0;
};

void EncodeEditInfo(const EditInfo& info, uint8_t* out); // 32 bytes
EditInfo DecodeEditInfo(const uint8_t* in);              // 32 bytes

/** The whole file for `table`, records in enumeration order. Titles longer than
    kEditMapMaxTitle never reach a table (MapAdd refuses them). */
std::vector<uint8_t> EncodeEditMap(const EditMapTable& table);

enum class EditMapReadResult
{
    Ok,
    Empty,        // a file of size 0
    WrongVersion, // shorter than the header, or not "version4 "
    Truncated,    // a record or its title cut short
};

/** Reads a whole database image into `table` (emptied first). A title that appears twice
    keeps its first facts. Anything but Ok leaves a table that must not be used. */
EditMapReadResult DecodeEditMap(const uint8_t* bytes, size_t size, EditMapTable& table);

} // namespace tandrel
