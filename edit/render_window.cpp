#include <algorithm>
#include <cstring>
#include <new>

#include "base/interaction.h"
#include "edit/edit_view.h"
#include "edit/process_hooks.h"

namespace tandrel {

void EditView::ResetStepSize()
{
    if (fineStep) {
        blockBytes = 4 * blockAlign;
        blockBytesAligned = blockBytes;
    } else {
        blockBytes = bytesPerSecond / 100;
        blockBytesAligned = blockAlign ? blockBytes / blockAlign * blockAlign : blockBytes;
    }
}

void EditView::SetFineStep(bool on)
{
    fineStep = on;
    stepCarry = 0;
    ResetStepSize();
}

int EditView::MakeBuffer()
{
    leftBuffer.clear();
    rightBuffer.clear();
    mixBuffer.clear();
    bufferBytes = bufferSeconds * bytesPerSecond;
    ResetStepSize();
    renderedStart = kNoPosition;
    if (!ring.SetLength(bufferBytes, SilenceByte())) {
        ReportError("MakeBuffer: error from SetLength %d", int(bufferBytes));
        return -1;
    }
    try {
        // A segment that needs rendering can cover the whole window, and a window of 8-bit
        // mono is an odd number of bytes at an odd rate: the work buffers hold all of it.
        mixBuffer.assign(bufferBytes, 0);
        if (channels == 2) {
            leftBuffer.assign(bufferBytes / 2, 0);
            rightBuffer.assign(bufferBytes / 2, 0);
        }
    } catch (const std::bad_alloc&) {
        ReportError("MakeBuffer: memory allocation error");
        return -1;
    }
    return 0;
}

int EditView::SetCursor(uint64_t position, bool refill)
{
    if (!fineStep) stepCarry = 0;
    if (refill) ring.Clear();
    if (position == cursor && !refill) return 0;

    // An Edit no longer than the window always shows from its start, also when an edit has
    // just shortened it below the window.
    uint64_t start = 0;
    if (length > bufferBytes) {
        uint64_t half = bufferBytes / 2;
        start = position > half ? position - half : 0;
        start = std::min(start, length - bufferBytes);
    }
    if (blockAlign) start = start / blockAlign * blockAlign;

    bool rendered = false;
    if (start != windowStart) {
        windowStart = start;
        rendered = true;
        if (int error = Render(refill)) {
            cursor = blockAlign ? position / blockAlign * blockAlign : position;
            return error;
        }
    }
    cursor = blockAlign ? position / blockAlign * blockAlign : position;
    if (refill && !rendered) return Render(true);
    return 0;
}

int EditView::Render(bool refill)
{
    if (!edit.IsOpen()) return kNoEdit;
    if (ring.Size() == 0 || mixBuffer.size() < bufferBytes) return -1;
    if (refill) renderedStart = kNoPosition;
    if (windowStart == renderedStart) return 0;

    // Only what the slide exposed is rendered; a jump renders the whole window.
    uint64_t from = windowStart;
    uint32_t count = bufferBytes;
    int64_t ringOffset = 0;
    if (renderedStart != kNoPosition && windowStart > renderedStart &&
        windowStart - renderedStart < bufferBytes) {
        count = uint32_t(windowStart - renderedStart);
        from = renderedStart + bufferBytes;
    } else if (renderedStart != kNoPosition && windowStart < renderedStart &&
               renderedStart - windowStart < bufferBytes) {
        count = uint32_t(renderedStart - windowStart);
        ringOffset = -int64_t(count);
    }
    WritablePieces out = ring.PrepareWrite(ringOffset, count);
    int error = RenderRange(from, count, out);
    renderedStart = windowStart;
    return error;
}

namespace {

constexpr uint32_t kTreatments = kTreatGainGroup | kTreatNormaliseGroup;

// True when every channel of the segment is the data chunk's audio as it lies: its frames
// can be read straight into the window.
bool IsPlainData(const EditSegment& segment, uint32_t channels)
{
    for (uint32_t c = 0; c < channels; ++c) {
        const ChannelSource& source = segment.channel[c];
        if (source.source == kSourceGenerated || source.source == kSourceSilence ||
            (source.treatFlags & kTreatments))
            return false;
    }
    return true;
}

} // namespace

// Renders the interleaved range [from, from + count) into `out`. What lies past the end of
// the Edit is silence.
int EditView::RenderRange(uint64_t from, uint32_t count, WritablePieces& out)
{
    const uint64_t end = from + count;
    const uint64_t audioEnd = segments.Length();
    if (end > audioEnd) {
        uint64_t silentFrom = std::max(from, audioEnd);
        out.Fill(uint32_t(silentFrom - from), SilenceByte(), uint32_t(end - silentFrom));
    }

    int error = 0;
    uint64_t reached = 0;
    for (const EditSegment& segment : segments.Segments()) {
        uint64_t first = reached;
        uint64_t last = reached + segment.Length();
        reached = last;
        if (last <= from || last == first) continue;
        if (first >= end) break;
        uint64_t a = std::max(from, first) - first; // interleaved offsets inside the segment
        uint64_t b = std::min(end, last) - first;
        uint32_t at = uint32_t(first + a - from);
        uint32_t n = uint32_t(b - a);
        int segmentError = 0;
        if (IsPlainData(segment, channels)) {
            // The common case: frames go from the file to the window in one read per piece.
            uint64_t dataAt = segment.dataStart + a;
            for (int i = 0; i < 2 && n > 0; ++i) {
                if (at >= out.size[i]) {
                    at -= out.size[i];
                    continue;
                }
                uint32_t part = std::min(n, out.size[i] - at);
                if (ReadData(dataAt, out.data[i] + at, part) != 0) segmentError = -1;
                dataAt += part;
                n -= part;
                at = 0;
            }
        } else {
            segmentError = RenderMixed(segment, a, n);
            out.CopyIn(at, mixBuffer.data(), n);
        }
        if (segmentError && !error) error = segmentError;
    }
    return error;
}

// Renders `count` interleaved bytes of a segment whose channels need generating, silence or
// treatment, starting `offset` bytes into it, into mixBuffer. Each channel is rendered on its
// own so that one can differ from the other.
int EditView::RenderMixed(const EditSegment& segment, uint64_t offset, uint32_t count)
{
    if (channels == 1) {
        bool dataRead = false;
        return RenderChannel(segment, 0, offset, count, mixBuffer.data(), dataRead);
    }
    const uint32_t sampleBytes = bitsPerSample / 8;
    const uint32_t perChannel = count / 2;
    bool dataRead = false;
    int error = RenderChannel(segment, 0, offset, perChannel, leftBuffer.data(), dataRead);
    int rightError = RenderChannel(segment, 1, offset, perChannel, rightBuffer.data(), dataRead);
    uint8_t* out = mixBuffer.data();
    for (uint32_t i = 0; i + sampleBytes <= perChannel; i += sampleBytes) {
        std::memcpy(out + 2 * i, leftBuffer.data() + i, sampleBytes);
        std::memcpy(out + 2 * i + sampleBytes, rightBuffer.data() + i, sampleBytes);
    }
    return error ? error : rightError;
}

// Renders `count` bytes of one channel of `segment`, starting `offset` interleaved bytes into
// it. A stereo segment's frames are read into mixBuffer once, by whichever channel needs them
// first, and each channel takes its samples from there.
int EditView::RenderChannel(const EditSegment& segment, int channel, uint64_t offset,
                            uint32_t count, uint8_t* out, bool& dataRead)
{
    const ChannelSource& source = segment.channel[channel];
    ProcessHooks* hooks = InstalledProcessHooks();
    int error = 0;
    if (source.source == kSourceGenerated) {
        if (!hooks || !hooks->GenerateAudio(source.process, out, count, source.treatFlags,
                                            source.treatParam, channels, sampleRate, bitsPerSample))
            std::memset(out, SilenceByte(), count);
    } else if (source.source == kSourceSilence) {
        std::memset(out, SilenceByte(), count);
    } else if (channels == 1) {
        error = ReadData(segment.dataStart + offset, out, count);
    } else {
        if (!dataRead) error = ReadData(segment.dataStart + offset, mixBuffer.data(), count * 2);
        dataRead = true;
        const uint32_t sampleBytes = bitsPerSample / 8;
        const uint8_t* from = mixBuffer.data() + channel * sampleBytes;
        for (uint32_t i = 0; i + sampleBytes <= count; i += sampleBytes)
            std::memcpy(out + i, from + 2 * i, sampleBytes);
    }
    if ((source.treatFlags & kTreatments) && source.source != kSourceSilence && hooks)
        hooks->TreatAudio(out, count, source.treatFlags, source.treatParam, channels, sampleRate,
                          bitsPerSample);
    return error;
}

// Reads `count` bytes of sample data at `position`. Bytes the file lacks become silence.
// 0, or -1 after a read error or missing audio (reported once per view).
int EditView::ReadData(uint64_t position, uint8_t* into, uint32_t count)
{
    uint64_t done = 0;
    bool failed = false; // a seek or read error, reported where it happened
    if (position < edit.EditDataLength())
        failed = edit.EditDataSeek(position) != 0 || edit.EditRead(into, count, done) != 0;
    if (failed) done = 0;
    bytesRead = done;
    if (done == count) return 0;
    // Audio the history names but the file lacks plays as silence.
    std::memset(into + done, SilenceByte(), count - done);
    if (!failed && !reportedMissingData_) {
        reportedMissingData_ = true;
        ReportError("Render: Audio data missing from file %s.", edit.title.c_str());
    }
    return -1;
}

} // namespace tandrel
