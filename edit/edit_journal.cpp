#include "edit/edit_journal.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "base/byte_order.h"
#include "base/file_io.h"

namespace tandrel {

namespace {

// "KDjn", the image's size and its checksum, then the image.
constexpr uint32_t kJournalHeaderSize = 16;

// FNV-1a: a journal cut short or torn by a crash must not pass for a complete one.
uint64_t Checksum(const uint8_t* bytes, size_t count)
{
    uint64_t hash = 0xcbf29ce484222325ull;
    for (size_t i = 0; i < count; ++i) hash = (hash ^ bytes[i]) * 0x100000001b3ull;
    return hash;
}

} // namespace

std::string JournalPath(const std::string& editPath) { return editPath + "-journal"; }

int WriteJournal(const std::string& editPath, const std::vector<uint8_t>& image, uint64_t& written)
{
    written = 0;
    std::vector<uint8_t> bytes(kJournalHeaderSize + image.size());
    std::memcpy(bytes.data(), "KDjn", 4);
    PutU32(bytes.data() + 4, uint32_t(image.size()));
    PutU64(bytes.data() + 8, Checksum(image.data(), image.size()));
    std::memcpy(bytes.data() + kJournalHeaderSize, image.data(), image.size());

    const std::string path = JournalPath(editPath);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    const uint64_t done = WriteFullyAt(fd, bytes.data(), bytes.size(), 0);
    written = done > kJournalHeaderSize ? done - kJournalHeaderSize : 0;
    int error = done == bytes.size() && ::fdatasync(fd) == 0 ? 0 : errno;
    ::close(fd);
    // Without its folder entry on the disk a power loss could lose the journal while the
    // rewrite it guards has begun.
    if (error == 0 && !SyncParentFolder(path)) error = errno;
    if (error != 0) ::unlink(path.c_str());
    return error;
}

std::vector<uint8_t> ReadJournal(const std::string& editPath, uint32_t maxImage)
{
    const int fd = ::open(JournalPath(editPath).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    uint8_t header[kJournalHeaderSize];
    std::vector<uint8_t> image;
    if (ReadFullyAt(fd, header, kJournalHeaderSize, 0) == kJournalHeaderSize &&
        std::memcmp(header, "KDjn", 4) == 0 && GetU32(header + 4) <= maxImage) {
        image.resize(GetU32(header + 4));
        if (ReadFullyAt(fd, image.data(), image.size(), kJournalHeaderSize) != image.size() ||
            Checksum(image.data(), image.size()) != GetU64(header + 8))
            image.clear();
    }
    ::close(fd);
    return image;
}

void RemoveJournal(const std::string& editPath) { ::unlink(JournalPath(editPath).c_str()); }

} // namespace tandrel
