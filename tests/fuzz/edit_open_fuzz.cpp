// Opens arbitrary bytes as an Edit, read-only, and replays whatever history it holds. No input
// may crash, hang or exhaust memory, and a replayed edit list must stay consistent.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "edit/edit_view.h"
#include "silent_sink.h"

namespace {

tandrel::SilentSink silentSink;
std::string inputPath; // the file of the input being run; libFuzzer keeps the bytes that fail

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "edit_open_fuzz: %s\n", what);
    if (!inputPath.empty()) unlink(inputPath.c_str());
    std::abort();
}

bool WriteAll(int fd, const uint8_t* data, size_t size)
{
    while (size > 0) {
        ssize_t written = write(fd, data, size);
        if (written <= 0) return false;
        data += written;
        size -= size_t(written);
    }
    return true;
}

// What an edit list promises whatever history built it: its length is the sum of its pieces,
// a copy of a range has exactly the range's length and holds no marker, and every marker
// entry points at a live marker segment, in order.
void CheckView(const tandrel::EditView& view)
{
    const tandrel::EditList& list = view.segments;
    uint64_t sum = 0;
    for (const tandrel::EditSegment& segment : list.Segments())
        sum += segment.Length();
    if (sum != list.Length()) Fail("edit list length differs from the sum of its pieces");
    if (view.length > list.Length()) Fail("view length beyond the edit list");

    uint64_t copied = 0;
    for (const tandrel::EditSegment& piece : list.CopyRange(0, view.length)) {
        if (piece.IsMarker()) Fail("a copied range holds a marker");
        copied += piece.Length();
    }
    if (copied != view.length) Fail("copying the whole view lost or added audio");

    uint64_t previous = 0;
    for (const tandrel::MarkerEntry& marker : view.markers) {
        if (marker.segment >= list.Segments().size()) Fail("marker entry past the list");
        if (!list.Segments()[marker.segment].IsLiveMarker()) Fail("marker entry not a marker");
        if (marker.position < previous || marker.position > list.Length())
            Fail("marker positions out of order");
        previous = marker.position;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    tandrel::InstallInteractionSink(&silentSink);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* folder = std::getenv("TMPDIR");
    std::string path = std::string(folder && *folder ? folder : "/tmp") + "/tandrel-fuzz-XXXXXX";
    int fd = mkstemp(path.data());
    if (fd < 0) Fail("cannot create a temporary file");
    inputPath = path;
    bool written = WriteAll(fd, data, size);
    close(fd);
    if (!written) Fail("cannot write the temporary file");

    {
        // An odd number of seconds, as the main window's can be: 8-bit mono at an odd rate
        // then makes the window an odd number of bytes.
        tandrel::EditView view(3);
        if (view.OpenView(path, /*readOnly=*/true)) {
            CheckView(view);
            // Replaying is a pure function of the history: a second replay, and a trip
            // through Master view and back, must give the list the first replay built.
            const std::vector<tandrel::EditSegment> first = view.segments.Segments();
            const uint64_t firstLength = view.length;
            view.SyncEdit();
            if (view.segments.Segments() != first || view.length != firstLength)
                Fail("a second replay built a different list");
            view.SetMasterView(true, false);
            CheckView(view);
            view.SetMasterView(false, false);
            CheckView(view);
            if (view.segments.Segments() != first || view.length != firstLength)
                Fail("leaving Master view did not restore the list");
            // Render the window at a few places: the start, jumps, short slides both ways
            // and the end, so every segment kind and a missing data chunk are read.
            const uint64_t places[] = {0, view.length / 3, view.length / 3 + 4096, view.length / 2,
                                       view.length / 3, view.length, view.length + 1};
            for (uint64_t place : places) {
                view.SetCursor(place, false);
                tandrel::RingPieces window = view.ReadWindow(0);
                if (window.Total() != view.bufferBytes) Fail("the window lost its size");
            }
            view.CloseView();
        }
    }
    unlink(path.c_str());
    inputPath.clear();
    return 0;
}
