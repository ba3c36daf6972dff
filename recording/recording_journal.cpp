#include "recording/recording_journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <string_view>
#include <vector>

#include "base/file_io.h"
#include "library/new_edits.h"

namespace tandrel {

namespace {

constexpr const char* kNoteName = "KD4InsertRecording.txt";
constexpr std::string_view kMagic = "Tandrel insert recording 1\n";
constexpr size_t kMaxNoteBytes = 8192;

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

/** Reads "KEY NUMBER\n" at `at`, moving past it. */
bool ReadNumberLine(std::string_view text, size_t& at, std::string_view key, uint64_t& value)
{
    if (at > text.size() || text.size() - at < key.size() + 1) return false;
    if (text.substr(at, key.size()) != key || text.substr(at + key.size(), 1) != " ") return false;
    at += key.size() + 1;
    const size_t end = text.find('\n', at);
    if (end == std::string_view::npos) return false;
    const auto [stop, error] = std::from_chars(text.data() + at, text.data() + end, value);
    if (error != std::errc() || stop != text.data() + end) return false;
    at = end + 1;
    return true;
}

} // namespace

std::string InsertRecordingNotePath()
{
    const std::string temp = TempEditPath();
    return temp.empty() ? std::string() : FolderOf(temp) + "/" + kNoteName;
}

bool WriteInsertRecordingNote(const InsertRecordingNote& note)
{
    const std::string path = InsertRecordingNotePath();
    if (path.empty()) return false;
    // The path goes in with its length, so any byte a file name may hold reads back whole.
    std::string text(kMagic);
    text += "path " + std::to_string(note.editPath.size()) + "\n" + note.editPath + "\n";
    text += "committed " + std::to_string(note.committedDataLength) + "\n";

    const std::string staging = path + ".new";
    const int fd = ::open(staging.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = WriteFullyAt(fd, reinterpret_cast<const uint8_t*>(text.data()), text.size(), 0) == text.size() && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(staging.c_str(), path.c_str()) == 0 && SyncParentFolder(path);
    if (!ok) {
        ::unlink(staging.c_str());
        ::unlink(path.c_str());
    }
    return ok;
}

std::optional<InsertRecordingNote> ReadInsertRecordingNote()
{
    const std::string path = InsertRecordingNotePath();
    if (path.empty()) return std::nullopt;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::vector<uint8_t> bytes(kMaxNoteBytes);
    bytes.resize(ReadFullyAt(fd, bytes.data(), bytes.size(), 0));
    ::close(fd);

    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    InsertRecordingNote note;
    size_t at = kMagic.size();
    uint64_t pathLength = 0;
    bool ok = text.substr(0, kMagic.size()) == kMagic && ReadNumberLine(text, at, "path", pathLength) &&
              pathLength > 0 && pathLength < text.size() - at && text[at + pathLength] == '\n';
    if (ok) {
        note.editPath.assign(text.substr(at, pathLength));
        at += pathLength + 1;
        ok = ReadNumberLine(text, at, "committed", note.committedDataLength) && at == text.size();
    }
    if (!ok) {
        RemoveInsertRecordingNote();
        return std::nullopt;
    }
    return note;
}

void RemoveInsertRecordingNote()
{
    const std::string path = InsertRecordingNotePath();
    if (!path.empty()) ::unlink(path.c_str());
}

} // namespace tandrel
