#include "edit/edit_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/audio_format.h"
#include "base/byte_order.h"
#include "base/file_io.h"
#include "base/interaction.h"
#include "edit/edit_layout.h"

namespace tandrel {

namespace {

// Writes all of `count` bytes at `offset`; returns the bytes written before an error (errno
// set) or `count`.
uint64_t WriteFully(int fd, const uint8_t* bytes, uint64_t count, uint64_t offset)
{
    uint64_t done = 0;
    while (done < count) {
        ssize_t n = ::pwrite(fd, bytes + done, count - done, off_t(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            break;
        }
        done += uint64_t(n);
    }
    return done;
}

bool IsPlainAudio(const EditRecord& record, uint32_t channels)
{
    return record.segment.channel[0].source == kSourceData ||
           (channels == 2 && record.segment.channel[1].source == kSourceData);
}

// True when the record places audio from the data chunk that the chunk does not hold.
bool RefersPastData(const EditRecord& record, uint32_t channels, uint64_t dataLength)
{
    bool usesData = (record.type == kStepInsert && IsPlainAudio(record, channels)) ||
                    record.type == kStepReplace;
    return usesData && (record.segment.dataEnd > dataLength || record.segment.dataStart > dataLength);
}

} // namespace

bool HistoryRefersPast(const EditFile& edit, uint64_t dataLength)
{
    for (const std::vector<EditRecord>* list : {&edit.undo, &edit.redo})
        for (const EditRecord& record : *list)
            if (RefersPastData(record, edit.channels, dataLength)) return true;
    return false;
}

std::string TitleFromEditPath(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

EditFile::~EditFile() { EditClose(); }

bool EditFile::EditOpen(const std::string& filePath, bool create, bool openReadOnly)
{
    if (fd_ >= 0) {
        lastError_ = EBUSY;
        return false;
    }
    lastError_ = 0;
    path = filePath;
    title = TitleFromEditPath(filePath);
    if (create) return !openReadOnly && CreateFile(filePath);
    return OpenExisting(filePath, openReadOnly);
}

bool EditFile::CreateFile(const std::string& filePath)
{
    if (sampleRate == 0 || bitsPerSample == 0 || channels == 0) return false;
    // Only the formats the rest of the program can play and render are stored.
    if (channels > 2 || (bitsPerSample != 8 && bitsPerSample != 16) || sampleRate > kMaxSampleRate)
        return false;

    AudioFormat format;
    format.channels = uint16_t(channels);
    format.sampleRate = sampleRate;
    format.blockAlign = uint16_t(bitsPerSample / 8 * channels);
    format.avgBytesPerSec = format.blockAlign * sampleRate;
    format.bitsPerSample = uint16_t(bitsPerSample);

    int fd = ::open(filePath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        lastError_ = errno;
        return false;
    }
    header.undoCount = 0;
    header.redoCount = 0;
    std::vector<uint8_t> prefix = EncodeFilePrefix(format, header);
    uint8_t dataChunk[8];
    std::memcpy(dataChunk, "data", 4);
    PutU32(dataChunk + 4, 0);
    // The rest of the program chunk is left as a hole: it reads as zeros.
    bool ok = ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
              WriteFully(fd, prefix.data(), prefix.size(), 0) == prefix.size() &&
              WriteFully(fd, dataChunk, 8, kDataChunkOffset) == 8 && ::fdatasync(fd) == 0;
    if (!ok) {
        // A half-made file would block the next attempt under the same name.
        lastError_ = errno;
        ::close(fd);
        ::unlink(filePath.c_str());
        return false;
    }
    SyncParentFolder(filePath);
    fd_ = fd;
    readOnly = false;
    riffSizeOffset = kRiffSizeOffset;
    programOffset = kProgramOffset;
    dataSizeOffset = kDataSizeOffset;
    dataOffset = kDataOffset;
    appendStart = committedEnd = kDataOffset;
    return true;
}

bool EditFile::OpenExisting(const std::string& filePath, bool openReadOnly)
{
    int fd = ::open(filePath.c_str(), (openReadOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC);
    if (fd < 0) {
        lastError_ = errno;
        return false;
    }
    // The Library's files are not shared: a second opener fails until this one closes.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        lastError_ = errno;
        ::close(fd);
        return false;
    }
    fd_ = fd;
    readOnly = openReadOnly;
    return ReadLayout();
}

bool EditFile::ReadLayout()
{
    auto parseError = [this] {
        ReportError("EditOpen (5): Error parsing header in file %s.", title.c_str());
        return false;
    };

    uint8_t prefix[kProgramOffset];
    AudioFormat format;
    if (ReadFullyAt(fd_, prefix, sizeof prefix, 0) != sizeof prefix || !CheckFilePrefix(prefix, format))
        return parseError();
    channels = format.channels;
    sampleRate = format.sampleRate;
    bitsPerSample = format.bitsPerSample;

    // The history lives wholly inside the program chunk: read the chunk once and parse it.
    std::vector<uint8_t> chunk(kProgramChunkSize);
    chunk.resize(ReadFullyAt(fd_, chunk.data(), kProgramChunkSize, kProgramOffset));
    uint32_t recordsStart = 0;
    if (!DecodeStoredHeader(chunk.data(), chunk.size(), header, recordsStart)) return parseError();
    if (!ReadHistory(chunk, recordsStart)) return false;

    uint8_t dataChunk[8];
    if (ReadFullyAt(fd_, dataChunk, 8, kDataChunkOffset) != 8 || !IsChunkId(dataChunk, "data"))
        return parseError();

    riffSizeOffset = kRiffSizeOffset;
    programOffset = kProgramOffset;
    dataSizeOffset = kDataSizeOffset;
    dataOffset = kDataOffset;
    appendStart = committedEnd = FileSize();
    DropRecordsPastData();
    return true;
}

bool EditFile::ReadHistory(const std::vector<uint8_t>& chunk, uint32_t recordsStart)
{
    undo.clear();
    redo.clear();
    size_t at = recordsStart;
    const uint32_t counts[2] = {header.undoCount, header.redoCount};
    std::vector<EditRecord>* lists[2] = {&undo, &redo};
    for (int list = 0; list < 2; ++list) {
        for (uint32_t i = 0; i < counts[list]; ++i) {
            if (chunk.size() - at < kRecordSize) return false;
            EditRecord record = DecodeRecordFixed(chunk.data() + at);
            at += kRecordSize;
            if (record.HasNameText()) {
                // The name length is checked against what the chunk still holds before
                // anything is allocated for it.
                uint32_t nameLength = record.segment.NameLength();
                if (chunk.size() - at < nameLength) return false;
                record.SetName(std::string(reinterpret_cast<const char*>(chunk.data() + at), nameLength));
                record.segment.channel[0].treatParam = 0;
                at += nameLength;
            }
            if (record.type >= 1) lists[list]->push_back(std::move(record));
        }
    }
    return true;
}

void EditFile::DropRecordsPastData()
{
    // A history that names audio the data chunk does not hold (a crash between appending and
    // recording a step, or a damaged file) is cut back to the last step that is whole.
    uint64_t dataLength = EditDataLength();
    size_t groupStart = 0;
    while (groupStart < undo.size()) {
        uint32_t groupSize = std::max<uint32_t>(undo[groupStart].groupSize, 1);
        size_t end = groupStart + 1;
        while (end < undo.size() && end - groupStart < groupSize &&
               undo[end].groupSize == undo[groupStart].groupSize)
            ++end;
        bool broken = false;
        for (size_t i = groupStart; i < end; ++i)
            broken = broken || RefersPastData(undo[i], channels, dataLength);
        if (broken) {
            undo.resize(groupStart);
            break;
        }
        groupStart = end;
    }
    for (const EditRecord& record : redo) {
        if (RefersPastData(record, channels, dataLength)) {
            redo.clear();
            break;
        }
    }
}

int EditFile::EditSave()
{
    if (fd_ < 0 || readOnly) return -1;
    if (HistoryBytes() > kProgramChunkSize) {
        ReportError("EditSave: The undo/redo stack has exceeded its size limit.");
        return -1;
    }
    header.undoCount = uint16_t(undo.size());
    header.redoCount = uint16_t(redo.size());

    std::vector<uint8_t> records;
    records.reserve(HistoryBytes());
    std::vector<std::pair<size_t, bool>> pieces; // end offset of each record or name text
    for (const std::vector<EditRecord>* list : {&undo, &redo}) {
        for (const EditRecord& record : *list) {
            EncodeRecord(record, records);
            size_t recordEnd = records.size() - (record.HasNameText() ? record.name.size() : 0);
            pieces.push_back({recordEnd, false});
            if (recordEnd != records.size()) pieces.push_back({records.size(), true});
        }
    }

    // The records go first and the header last: a save cut short by a crash leaves the
    // previous counts in force rather than counts over records never written.
    uint64_t written = WriteFully(fd_, records.data(), records.size(), programOffset + kHeaderSize);
    if (written != records.size() || (!records.empty() && ::fdatasync(fd_) != 0)) {
        lastError_ = errno;
        bool inText = false;
        for (const auto& [end, isText] : pieces) {
            if (written < end) {
                inText = isText;
                break;
            }
        }
        ReportError(inText ? "EditSave (2): Error (%d) saving file %s."
                           : "EditSave (1): Error (%d) saving file %s.",
                    lastError_, title.c_str());
        return -1;
    }
    uint8_t headerBytes[kHeaderSize];
    EncodeHeader(header, headerBytes);
    if (WriteFully(fd_, headerBytes, kHeaderSize, programOffset) != kHeaderSize ||
        ::fdatasync(fd_) != 0) {
        lastError_ = errno;
        ReportError("EditSave (3): Error (%d) saving file %s.", lastError_, title.c_str());
        return -1;
    }
    return 0;
}

void EditFile::EditClose()
{
    if (fd_ >= 0) {
        if (!readOnly) EditSave();
        ::close(fd_); // releases the lock
        fd_ = -1;
    }
    undo.clear();
    redo.clear();
    path.clear();
    title.clear();
    header = EditHeader{};
    readOnly = false;
    masterMode = false;
    appendStart = committedEnd = 0;
}

uint64_t EditFile::FileSize() const
{
    struct stat info;
    if (fd_ < 0 || ::fstat(fd_, &info) != 0) return 0;
    return uint64_t(info.st_size);
}

int EditFile::EditSeek(uint64_t offset)
{
    if (fd_ < 0) return -1;
    if (offset > kMaxEditFileSize || ::lseek(fd_, off_t(offset), SEEK_SET) < 0) {
        lastError_ = offset > kMaxEditFileSize ? EINVAL : errno;
        ReportError("EditSeek: Error (%d) setting file position.", lastError_);
        return -1;
    }
    return 0;
}

uint64_t EditFile::EditDataLength() const
{
    uint64_t size = FileSize();
    return size > dataOffset ? size - dataOffset : 0;
}

int EditFile::EditRead(void* buffer, uint64_t count, uint64_t& done)
{
    done = 0;
    if (fd_ < 0) return -1;
    auto* bytes = static_cast<uint8_t*>(buffer);
    while (done < count) {
        ssize_t n = ::read(fd_, bytes + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            lastError_ = errno;
            ReportError("EditRead: Error (%d) reading file %s.", lastError_, title.c_str());
            return -1;
        }
        if (n == 0) break;
        done += uint64_t(n);
    }
    return 0;
}

int EditFile::EditWrite(const void* buffer, uint64_t count, uint64_t& done)
{
    done = 0;
    if (fd_ < 0) return -1;
    off_t position = ::lseek(fd_, 0, SEEK_CUR);
    if (position < 0 || uint64_t(position) + count > kMaxEditFileSize) {
        // Offsets and sizes in the file are 32-bit: a larger file could not be read back.
        lastError_ = position < 0 ? errno : EFBIG;
        ReportError("EditWrite: Error (%d) writing file %s.", lastError_, title.c_str());
        return -1;
    }
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    while (done < count) {
        ssize_t n = ::write(fd_, bytes + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            lastError_ = n == 0 ? EIO : errno;
            ReportError("EditWrite: Error (%d) writing file %s.", lastError_, title.c_str());
            return -1;
        }
        done += uint64_t(n);
    }
    return 0;
}

int EditFile::EditBeginData()
{
    if (fd_ < 0) return -1;
    appendStart = committedEnd = FileSize();
    if (::lseek(fd_, 0, SEEK_END) < 0) {
        lastError_ = errno;
        ReportError("EditSeek: Error (%d) setting file position.", lastError_);
        return -1;
    }
    return 0;
}

int EditFile::WriteSizeFields(uint64_t fileSize)
{
    uint8_t riffSize[4], dataSize[4];
    PutU32(riffSize, uint32_t(fileSize - 8));
    PutU32(dataSize, uint32_t(fileSize - dataOffset));
    if (WriteFully(fd_, riffSize, 4, riffSizeOffset) != 4 ||
        WriteFully(fd_, dataSize, 4, dataSizeOffset) != 4) {
        lastError_ = errno;
        ReportError("EditWrite: Error (%d) writing file %s.", lastError_, title.c_str());
        return -1;
    }
    return 0;
}

int EditFile::EditEndData(uint64_t& start, uint64_t& end)
{
    if (fd_ < 0) return -1;
    committedEnd = FileSize();
    if (WriteSizeFields(committedEnd) != 0) return -1;
    // The appended audio must be on the disk before a history step can point at it.
    if (::fdatasync(fd_) != 0) {
        lastError_ = errno;
        ReportError("EditWrite: Error (%d) writing file %s.", lastError_, title.c_str());
        return -1;
    }
    start = appendStart - dataOffset;
    end = committedEnd - dataOffset;
    return 0;
}

int EditFile::EditFlush()
{
    if (fd_ < 0) return -1;
    if (::fdatasync(fd_) != 0) {
        lastError_ = errno;
        ReportError("EditWrite: Error (%d) writing file %s.", lastError_, title.c_str());
        return -1;
    }
    return 0;
}

int EditFile::EditEndData()
{
    if (fd_ < 0) return -1;
    if (::lseek(fd_, off_t(committedEnd), SEEK_SET) < 0 ||
        ::ftruncate(fd_, off_t(committedEnd)) != 0) {
        lastError_ = errno;
        ReportError("EditEndData: Error (%d) setting end of file.", lastError_);
        return -1;
    }
    return 0;
}

bool EditFile::EditTruncateData(uint64_t length)
{
    if (fd_ < 0) return false;
    if (uint64_t(dataOffset) + length > kMaxEditFileSize ||
        ::ftruncate(fd_, off_t(dataOffset + length)) != 0) {
        lastError_ = uint64_t(dataOffset) + length > kMaxEditFileSize ? EFBIG : errno;
        ReportError("EditEndData: Error (%d) setting end of file.", lastError_);
        return false;
    }
    uint64_t start = 0, end = 0;
    return EditBeginData() == 0 && EditEndData(start, end) == 0;
}

void EditFile::EditGetFormat(uint32_t& rate, uint32_t& bits, uint32_t& chans) const
{
    rate = sampleRate;
    bits = bitsPerSample;
    chans = channels;
}

uint32_t EditFile::EditGetLength(int i) const { return header.length[(i >= 0 && i < 3) ? i : 0]; }

void EditFile::EditSetLength(uint32_t value, int i)
{
    if (masterMode) return;
    header.length[(i >= 0 && i < 3) ? i : 0] = value;
}

uint64_t EditFile::HistoryBytes() const
{
    uint64_t bytes = kHeaderSize;
    for (const EditRecord& record : undo) bytes += record.StoredSize();
    for (const EditRecord& record : redo) bytes += record.StoredSize();
    return bytes;
}

} // namespace tandrel
