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
#include "base/file_names.h"
#include "base/interaction.h"
#include "edit/edit_journal.h"
#include "edit/edit_layout.h"
#include "edit/kept_history.h"

namespace tandrel {

namespace {

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

// One past the last record of the step that starts at `start`: the records that follow it
// with the same group size, as many as that size says.
size_t GroupEnd(const std::vector<EditRecord>& list, size_t start)
{
    const uint32_t groupSize = std::max<uint32_t>(list[start].groupSize, 1);
    size_t end = start + 1;
    while (end < list.size() && end - start < groupSize && list[end].groupSize == list[start].groupSize)
        ++end;
    return end;
}

size_t StepCount(const std::vector<EditRecord>& list, size_t from)
{
    size_t steps = 0;
    for (size_t at = from; at < list.size(); at = GroupEnd(list, at)) ++steps;
    return steps;
}

std::string StepsText(size_t steps) { return std::to_string(steps) + (steps == 1 ? " step" : " steps"); }

} // namespace

bool HistoryRefersPast(const EditFile& edit, uint64_t dataLength)
{
    for (const std::vector<EditRecord>* list : {&edit.undo, &edit.redo})
        for (const EditRecord& record : *list)
            if (RefersPastData(record, edit.channels, dataLength)) return true;
    return false;
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
    title = FileNameOf(filePath);
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
              WriteFullyAt(fd, prefix.data(), prefix.size(), 0) == prefix.size() &&
              WriteFullyAt(fd, dataChunk, 8, kDataChunkOffset) == 8 && ::fdatasync(fd) == 0;
    if (!ok) {
        // A half-made file would block the next attempt under the same name.
        lastError_ = errno;
        ::close(fd);
        ::unlink(filePath.c_str());
        return false;
    }
    // A journal left by an earlier Edit of this name (deleted after a crash) is not this one's.
    RemoveJournal(filePath);
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
        lastError_ = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return false;
    }
    fd_ = fd;
    readOnly = openReadOnly;
    if (ReadLayout()) return true;
    // The file is let go of at once, so that no save (of a close, a destructor or a caller)
    // can write a header over a file that was never understood.
    ::close(fd_);
    fd_ = -1;
    undo.clear();
    redo.clear();
    header = EditHeader{};
    return false;
}

bool EditFile::ReadLayout()
{
    auto parseError = [this] {
        lastError_ = EBADMSG;
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
    // A save cut short left the history it was writing in the journal, complete.
    std::vector<uint8_t> chunk(kProgramChunkSize);
    chunk.resize(ReadFullyAt(fd_, chunk.data(), kProgramChunkSize, kProgramOffset));
    const std::vector<uint8_t> journalled = ReadJournal(path, kProgramChunkSize);
    if (!journalled.empty() && chunk.size() == kProgramChunkSize)
        std::copy(journalled.begin(), journalled.end(), chunk.begin());
    uint32_t recordsStart = 0;
    if (!DecodeStoredHeader(chunk.data(), chunk.size(), header, recordsStart)) return parseError();
    if (!ReadHistory(chunk, recordsStart)) {
        lastError_ = EBADMSG;
        return false;
    }

    uint8_t dataChunk[8];
    if (ReadFullyAt(fd_, dataChunk, 8, kDataChunkOffset) != 8 || !IsChunkId(dataChunk, "data"))
        return parseError();

    riffSizeOffset = kRiffSizeOffset;
    programOffset = kProgramOffset;
    dataSizeOffset = kDataSizeOffset;
    dataOffset = kDataOffset;
    appendStart = committedEnd = FileSize();
    const HistoryCut cut = DropRecordsPastData();
    if (readOnly) return true;
    // The rewrite the journal guards may have been cut short: it is finished before a save
    // can put another history in the journal.
    if (!journalled.empty()) {
        uint64_t written = 0;
        lastError_ = WriteHistoryInPlace(journalled, written);
        if (lastError_ != 0) {
            ReportError("EditSave (3): Error (%d) saving file %s.", lastError_, title.c_str());
            return false;
        }
        RemoveJournal(path);
    }
    return cut.Empty() || KeepCutHistory(chunk, cut);
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

EditFile::HistoryCut EditFile::DropRecordsPastData()
{
    // A history that names audio the data chunk does not hold (a crash between appending and
    // recording a step, or a damaged file) is cut back to the last step that is whole.
    HistoryCut cut;
    const uint64_t dataLength = EditDataLength();
    for (size_t groupStart = 0; groupStart < undo.size();) {
        const size_t end = GroupEnd(undo, groupStart);
        bool broken = false;
        for (size_t i = groupStart; i < end; ++i)
            broken = broken || RefersPastData(undo[i], channels, dataLength);
        if (broken) {
            cut.undoSteps = StepCount(undo, groupStart);
            undo.resize(groupStart);
            break;
        }
        groupStart = end;
    }
    for (const EditRecord& record : redo) {
        if (RefersPastData(record, channels, dataLength)) {
            cut.redoSteps = StepCount(redo, 0);
            redo.clear();
            break;
        }
    }
    return cut;
}

bool EditFile::KeepCutHistory(const std::vector<uint8_t>& chunk, const HistoryCut& cut)
{
    // The cut becomes lasting at the next save: the history as it was is kept first, and the
    // user is told what went.
    const std::string keptPath = KeepOriginalHistory(path, chunk);
    if (keptPath.empty()) {
        lastError_ = errno;
        ReportError("EditOpen: Error (%d) keeping the history of %s.", lastError_, title.c_str());
        return false;
    }
    std::string dropped;
    if (cut.undoSteps) dropped = "the last " + StepsText(cut.undoSteps) + " to undo";
    if (cut.redoSteps) dropped += (dropped.empty() ? "" : ", ") + StepsText(cut.redoSteps) + " to redo";
    MessageDialog("History Shortened",
                  "The history of \"" + title + "\" uses audio the file does not hold.  Dropped: " +
                      dropped + ".  The history as it was is kept in \"" +
                      FileNameOf(keptPath) + "\".");
    return true;
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

    // The header and both lists as they will stand at the start of the program chunk, and
    // where each record and each name text ends there: a failed write is named by the piece
    // it stopped in.
    std::vector<uint8_t> image(kHeaderSize);
    image.reserve(HistoryBytes());
    EncodeHeader(header, image.data());
    std::vector<std::pair<size_t, bool>> pieces;
    for (const std::vector<EditRecord>* list : {&undo, &redo}) {
        for (const EditRecord& record : *list) {
            EncodeRecord(record, image);
            size_t recordEnd = image.size() - (record.HasNameText() ? record.name.size() : 0);
            pieces.push_back({recordEnd, false});
            if (recordEnd != image.size()) pieces.push_back({image.size(), true});
        }
    }

    // The journal is on the disk before the history is rewritten in place: a save cut short
    // by a crash leaves either the old history or, in the journal, the whole new one.
    uint64_t written = 0;
    int error = WriteJournal(path, image, written);
    if (error == 0) error = WriteHistoryInPlace(image, written);
    if (error != 0) {
        lastError_ = error;
        int piece = 3; // the header, or the flush that makes the save count
        for (const auto& [end, isText] : pieces) {
            if (written >= kHeaderSize && written < end) {
                piece = isText ? 2 : 1;
                break;
            }
        }
        ReportError(piece == 1   ? "EditSave (1): Error (%d) saving file %s."
                    : piece == 2 ? "EditSave (2): Error (%d) saving file %s."
                                 : "EditSave (3): Error (%d) saving file %s.",
                    lastError_, title.c_str());
        return -1;
    }
    RemoveJournal(path);
    return 0;
}

int EditFile::WriteHistoryInPlace(const std::vector<uint8_t>& image, uint64_t& written)
{
    written = WriteFullyAt(fd_, image.data(), image.size(), programOffset);
    return written == image.size() && ::fdatasync(fd_) == 0 ? 0 : errno;
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
    if (WriteFullyAt(fd_, riffSize, 4, riffSizeOffset) != 4 ||
        WriteFullyAt(fd_, dataSize, 4, dataSizeOffset) != 4) {
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
