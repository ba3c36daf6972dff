#include <algorithm>
#include <cstring>

#include "audio/format_converter.h"
#include "base/audio_samples.h"
#include "base/interaction.h"
#include "base/progress.h"
#include "edit/edit_view.h"

namespace tandrel {

// Puts the window's start at `start` (whole frames, never past the last full window) and
// renders only what the move exposed.
void EditView::SlideWindowTo(uint64_t start)
{
    uint64_t last = length > bufferBytes ? length - bufferBytes : 0;
    start = std::min(start, last);
    if (blockAlign) start = start / blockAlign * blockAlign;
    if (start == windowStart && renderedStart == windowStart) return;
    windowStart = start;
    if (Render(false) != 0) copyFailed_ = true;
}

bool EditView::CopySelectionChunk(int& progress, uint64_t& done, EditFile& target,
                                  FormatConverter* converter)
{
    if (leftMark == kNoPosition || rightMark == kNoPosition || rightMark <= leftMark ||
        bufferBytes == 0) {
        progress = 100;
        return true;
    }
    const uint64_t selection = rightMark - leftMark;
    if (done >= selection) {
        progress = 100;
        return true;
    }
    uint64_t chunkStart;
    uint32_t chunk;
    if (!reverseMode) {
        chunkStart = leftMark + done;
        chunk = uint32_t(std::min<uint64_t>(bufferBytes, selection - done));
    } else {
        uint64_t chunkEnd = rightMark - done;
        chunk = uint32_t(std::min<uint64_t>(bufferBytes, selection - done));
        chunkStart = chunkEnd - chunk;
    }
    SlideWindowTo(chunkStart);
    if (chunkStart < windowStart || chunkStart - windowStart + chunk > bufferBytes) {
        copyFailed_ = true; // the selection reaches past the Edit's end
        progress = 100;
        return true;
    }

    if (chunkBuffer_.size() != bufferBytes) chunkBuffer_.assign(bufferBytes, 0);
    RingPieces pieces = ReadWindow(uint32_t(chunkStart - windowStart));
    uint32_t first = std::min(chunk, pieces.size[0]);
    std::memcpy(chunkBuffer_.data(), pieces.data[0], first);
    if (chunk > first) std::memcpy(chunkBuffer_.data() + first, pieces.data[1], chunk - first);

    if (chunkEffect) chunkEffect(chunkBuffer_.data(), chunk);
    if (reverseMode) ReverseFrames(chunkBuffer_.data(), chunk, blockAlign);
    if (chunkFade) chunkFade(chunkBuffer_.data(), chunk, done);

    const bool last = done + chunk >= selection;
    uint64_t written = 0;
    bool ok = target.EditDataSeek(target.EditDataLength()) == 0;
    if (ok && !converter) {
        ok = target.EditWrite(chunkBuffer_.data(), chunk, written) == 0;
    } else if (ok) {
        uint32_t converted = 0;
        std::memcpy(converter->InputBuffer(), chunkBuffer_.data(), chunk);
        ok = ConvertBlock(*converter, chunk, converted, last) == 0 &&
             target.EditWrite(converter->OutputBuffer(), converted, written) == 0;
    }
    if (!ok) copyFailed_ = true;

    cursor = reverseMode ? chunkStart : std::min(chunkStart + chunk, length);
    done += chunk;
    progress = int(done * 100 / selection);
    return last || !ok || copyFailed_;
}

int EditView::WriteSelectionToEdit(EditFile& target, uint64_t& start, uint64_t& end)
{
    return WriteSelectionToEdit(target, start, end, kPasteTexts);
}

int EditView::WriteSelectionToEdit(EditFile& target, uint64_t& start, uint64_t& end,
                                   const CopyTexts& texts)
{
    start = end = 0;
    if (!edit.IsOpen() || leftMark == kNoPosition || rightMark == kNoPosition ||
        rightMark <= leftMark)
        return 0;

    FormatConverter converter;
    bool convert = target.sampleRate != sampleRate || target.bitsPerSample != bitsPerSample ||
                   target.channels != channels;
    if (convert) {
        MakeFormat(converter.source, sampleRate, bitsPerSample, channels);
        MakeFormat(converter.destination, target.sampleRate, target.bitsPerSample, target.channels);
        if (InitFormatConverter(bufferBytes, converter, false) != 0) {
            ReleaseFormatConverter(converter);
            ReportError("%s", texts.conversionError);
            return -1;
        }
    }
    if (target.EditBeginData() != 0) return -1;

    ProgressWindow* progressWindow = nullptr;
    if (rightMark - leftMark > 2 * uint64_t(bufferBytes)) {
        progressWindow = AcquireProgress(kProgressForeground);
        OpenProgress(progressWindow, 1, true);
        if (texts.progressCaption) ProgressText(progressWindow, texts.progressCaption);
    }

    const uint64_t keptCursor = cursor;
    copyFailed_ = false;
    copyCancelled = false;
    uint64_t done = 0;
    int progress = 0;
    while (!CopySelectionChunk(progress, done, target, convert ? &converter : nullptr)) {
        if (progressWindow && !ProgressPercent(progressWindow, progress)) {
            copyCancelled = true;
            break;
        }
    }
    // Whatever was copied is committed, also after a cancel, so the range returned is valid.
    int result = target.EditEndData(start, end);
    if (progressWindow) ReleaseProgress(kProgressForeground);
    SetCursor(keptCursor, true);
    if (copyFailed_) return -1;
    return result;
}

} // namespace tandrel
