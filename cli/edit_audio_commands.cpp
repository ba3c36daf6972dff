#include <algorithm>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "audio/format_converter.h"
#include "cli/command_support.h"
#include "cli/edit_commands.h"
#include "convert/wav_writer.h"
#include "edit/edit_view.h"

namespace tandrel::cli {

namespace {

struct ByteRange
{
    uint64_t from = 0;
    uint64_t to = 0;
};

/** The --from/--to range of `view` in whole frames, or nullopt after saying what is wrong. */
std::optional<ByteRange> RangeOf(const std::string& command, const ParsedArguments& parsed,
                                 const EditView& view, bool required)
{
    for (const char* option : {"--from", "--to"})
        if (required && !parsed.values.contains(option)) {
            std::cerr << command << ": " << option << " is required\n";
            return std::nullopt;
        }
    std::optional<uint64_t> from = OptionalPosition(command, parsed, "--from", 0);
    std::optional<uint64_t> to = OptionalPosition(command, parsed, "--to", view.length);
    if (!from || !to) return std::nullopt;
    if (*from > *to || *to > view.length) {
        std::cerr << command << ": the range " << *from << " to " << *to
                  << " does not lie within the Edit (0 to " << view.length << " bytes)\n";
        return std::nullopt;
    }
    const uint64_t align = view.blockAlign ? view.blockAlign : 1;
    return ByteRange{*from / align * align, *to / align * align};
}

} // namespace

int EditRenderCommand(const std::vector<std::string>& words)
{
    const std::string command = "edit render";
    const ParsedArguments parsed = ParseArguments(words, {"--from", "--to"}, {"--master"});
    if (!parsed.error.empty()) return UsageError(command, parsed.error);
    if (parsed.positional.size() != 2) return UsageError(command, "name the Edit and the WAV file");
    const std::string& source = parsed.positional[0];
    const std::string& output = parsed.positional[1];

    EditView view;
    if (!OpenViewOrExplain(command, view, source, parsed.switches.contains("--master")))
        return kExitFailed;
    std::optional<ByteRange> range = RangeOf(command, parsed, view, false);
    if (!range) return kExitFailed;

    AudioFormat format;
    MakeFormat(format, view.sampleRate, view.bitsPerSample, view.channels);
    WavWriter wav;
    if (!wav.Open(output, format)) {
        std::cerr << command << ": cannot create " << output << ": " << std::strerror(errno) << "\n";
        return kExitFailed;
    }
    // Walk the Edit through its render window exactly as playback does: each cursor move
    // slides the window so that it starts at the next byte wanted.
    bool renderFailed = false;
    const uint64_t half = view.bufferBytes / 2;
    for (uint64_t at = range->from; at < range->to;) {
        if (view.SetCursor(at + half, false) != 0) renderFailed = true;
        RingPieces pieces = view.ReadWindow(uint32_t(at - view.windowStart));
        uint64_t take = std::min<uint64_t>(pieces.Total(), range->to - at);
        uint64_t first = std::min<uint64_t>(take, pieces.size[0]);
        if (take == 0 || !wav.Write(pieces.data[0], first) ||
            (take > first && !wav.Write(pieces.data[1], take - first))) {
            std::cerr << command << ": cannot write " << output << ": " << std::strerror(errno) << "\n";
            return kExitFailed;
        }
        at += take;
    }
    if (!wav.Close()) {
        std::cerr << command << ": cannot write " << output << ": " << std::strerror(errno) << "\n";
        return kExitFailed;
    }
    // Audio missing from the file was rendered as silence and reported; the WAV is complete.
    return renderFailed ? kExitFailed : kExitOk;
}

int EditExtractCommand(const std::vector<std::string>& words)
{
    const std::string command = "edit extract";
    const ParsedArguments parsed =
        ParseArguments(words, {"--from", "--to", "--rate", "--bits", "--channels"}, {});
    if (!parsed.error.empty()) return UsageError(command, parsed.error);
    if (parsed.positional.size() != 2) return UsageError(command, "name the source and the new Edit");
    const std::string& source = parsed.positional[0];
    const std::string& destination = parsed.positional[1];

    EditView view;
    if (!OpenViewOrExplain(command, view, source, false)) return kExitFailed;
    std::optional<ByteRange> range = RangeOf(command, parsed, view, true);
    if (!range) return kExitFailed;
    if (range->from == range->to) {
        std::cerr << command << ": the range is empty\n";
        return kExitFailed;
    }

    EditFile target;
    target.sampleRate = view.sampleRate;
    target.bitsPerSample = view.bitsPerSample;
    target.channels = view.channels;
    if (parsed.values.contains("--rate")) {
        std::optional<uint32_t> rate = RequiredNumber(command, parsed, "--rate", 1, kMaxSampleRate);
        if (!rate) return kExitFailed;
        target.sampleRate = *rate;
    }
    if (parsed.values.contains("--bits")) {
        std::optional<uint32_t> bits = RequiredNumber(command, parsed, "--bits", 8, 16, {8, 16});
        if (!bits) return kExitFailed;
        target.bitsPerSample = *bits;
    }
    if (parsed.values.contains("--channels")) {
        std::optional<uint32_t> channels = RequiredNumber(command, parsed, "--channels", 1, 2, {1, 2});
        if (!channels) return kExitFailed;
        target.channels = *channels;
    }
    if (!target.EditOpen(destination, true, false)) {
        int error = target.LastSystemError();
        std::cerr << command << ": cannot create " << destination << ": "
                  << (error ? std::strerror(error) : "write failed") << "\n";
        return kExitFailed;
    }

    view.leftMark = range->from;
    view.rightMark = range->to;
    uint64_t start = 0, end = 0;
    bool ok = view.WriteSelectionToEdit(target, start, end) == 0 && end > start;
    if (ok) ok = PushBaseStep(target, start, end);
    target.EditClose();
    if (!ok) {
        // The new Edit is ours and holds nothing usable: take it away again.
        std::error_code ignored;
        std::filesystem::remove(destination, ignored);
        std::cerr << command << ": the selection could not be copied into " << destination << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace tandrel::cli
