// Writes the seed corpus of the Edit fuzzers into a folder: Edits made through the real API
// with every kind of history step, plus damaged, cut, newer- and older-format variants of
// them and a plain WAV.
// Each Edit is opened and replayed again before it is kept, so a seed is known to be good.
//
//   make_edit_seeds FOLDER

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "edit/edit_view.h"

namespace {

using namespace tandrel;
namespace fs = std::filesystem;

bool failed = false;

void Check(bool ok, const std::string& seed, const char* what)
{
    if (ok) return;
    std::fprintf(stderr, "make_edit_seeds: %s: %s failed\n", seed.c_str(), what);
    failed = true;
}

// Appends `bytes` of a staircase (every block one step higher) and returns its data range.
bool AppendAudio(EditFile& edit, uint64_t bytes, uint64_t& start, uint64_t& end)
{
    std::vector<uint8_t> audio(bytes);
    for (size_t i = 0; i < audio.size(); ++i)
        audio[i] = uint8_t(i / 64 * 7);
    uint64_t done = 0;
    return edit.EditBeginData() == 0 && edit.EditWrite(audio.data(), audio.size(), done) == 0 &&
           done == audio.size() && edit.EditEndData(start, end) == 0;
}

EditRecord Record(uint32_t groupSize, uint32_t type, uint64_t position, const EditSegment& segment)
{
    EditRecord record;
    record.groupSize = groupSize;
    record.type = type;
    record.position = position;
    record.segment = segment;
    return record;
}

struct Seed
{
    const char* name;
    uint32_t channels, sampleRate, bitsPerSample;
    std::function<void(EditFile&, const std::string&)> history;
};

// The base step every recording, import and processing result starts with.
void BaseStep(EditFile& edit, const std::string& seed, uint64_t bytes)
{
    uint64_t start = 0, end = 0;
    Check(AppendAudio(edit, bytes, start, end), seed, "first append");
    Check(edit.EditPushStep(kStepInsert, 0, EditSegment::Audio(start, end), kRecordBaseStep), seed, "base step");
    uint32_t rate = 0, bits = 0, chans = 0;
    edit.EditGetFormat(rate, bits, chans);
    uint32_t hundredths = uint32_t((end - start) * 100 / (uint64_t(rate) * bits / 8 * chans));
    for (int i = 0; i < 3; ++i)
        edit.EditSetLength(hundredths, i);
}

void MonoHistory(EditFile& edit, const std::string& seed)
{
    BaseStep(edit, seed, 8000);
    Check(edit.EditPushStep(kStepInsertMarker, 2500, EditSegment::LiveMarker(1), 0, "Intro"), seed, "marker");
    // The marker is after the deleted range and moves back with the audio.
    Check(edit.EditPushStep(kStepDelete, 500, EditSegment::Audio(500, 1500)), seed, "delete");
    Check(edit.EditPushStep(kStepSilence, 200, EditSegment::Audio(0, 800)), seed, "silence");
    EditSegment generated = EditSegment::Audio(2000, 3000);
    generated.channel[0] = {kSourceGenerated, FourCC("Tone"), kTreatMono, 440};
    Check(edit.EditPushStep(kStepGenerate, 2000, generated), seed, "generate");
    EditSegment gain = EditSegment::Audio(0, 4000);
    gain.channel[0] = {0, FourCC("Gain"), kTreatMono | 0x100, 6};
    Check(edit.EditPushStep(kStepTreat, 0, gain), seed, "treat");
    edit.EditSetMarks({1200, 400, 2400});
}

void StereoHistory(EditFile& edit, const std::string& seed)
{
    BaseStep(edit, seed, 44100 * 4);
    uint64_t start = 0, end = 0;
    Check(AppendAudio(edit, 8820, start, end), seed, "second append");
    Check(edit.EditPushStep(kStepInsert, 88200, EditSegment::Audio(start, end)), seed, "insert");

    // A paste arrives as one step of several pieces.
    std::vector<EditRecord> paste = {Record(2, kStepInsert, 4000, EditSegment::Audio(0, 4000)),
                                     Record(2, kStepInsert, 4000, EditSegment::Audio(start, start + 400))};
    Check(edit.EditPushStep(paste), seed, "two-piece insert");

    EditSegment normalise = EditSegment::Audio(10000, 50000);
    normalise.channel[0] = {0, FourCC("Norm"), kTreatBoth | 0x10000 | (3u << 18), 0};
    normalise.channel[1] = normalise.channel[0];
    Check(edit.EditPushStep(kStepTreat, 10000, normalise), seed, "normalise");

    EditSegment leftTone = EditSegment::Audio(20000, 24000);
    leftTone.channel[0] = {kSourceGenerated, FourCC("Tone"), kTreatLeft, 1000};
    Check(edit.EditPushStep(kStepGenerate, 20000, leftTone), seed, "generate left");

    EditSegment bothTone = EditSegment::Audio(30000, 34000);
    bothTone.channel[0] = {kSourceGenerated, FourCC("Nois"), kTreatBoth, 0};
    bothTone.channel[1] = {kSourceGenerated, FourCC("Nois"), kTreatBoth, 0};
    Check(edit.EditPushStep(kStepGenerate, 30000, bothTone), seed, "generate both");

    Check(AppendAudio(edit, 4000, start, end), seed, "replacement append");
    EditSegment replacement = EditSegment::Audio(start, end);
    replacement.SetReplacedEnd(64000);
    Check(edit.EditPushStep(kStepReplace, 60000, replacement), seed, "replace");

    // One channel delayed against the other: the range plays twice.
    EditRecord a = Record(2, kStepSilence, 40000, EditSegment::Audio(40000, 44000));
    a.segment.channel[0] = {kSourceSilence, 0, kTreatLeft, 0};
    EditRecord b = Record(2, kStepSilence, 44000, EditSegment::Audio(44000, 48000));
    b.segment.channel[1] = {kSourceSilence, 0, kTreatRight, 0};
    Check(edit.EditPushStep({a, b}), seed, "channel offset");

    const uint32_t id = edit.EditNewMarkerId();
    Check(edit.EditPushStep(kStepInsertMarker, 12000, EditSegment::LiveMarker(id), 0, "Chapter 2: guests"), seed,
          "marker");
    Check(edit.EditPushStep(kStepInsertMarker, 0, EditSegment::LiveMarker(id + 1), 0, ""), seed, "unnamed marker");
    EditRecord gone = Record(1, kStepDeleteMarker, 12000, EditSegment::LiveMarker(id));
    gone.SetName("Chapter 2: guests");
    Check(edit.EditPushStep({gone}), seed, "delete marker");

    // Two steps undone, so the redo list is not empty either.
    Check(edit.EditUndo() == 0, seed, "undo");
    Check(edit.EditUndo() == 0, seed, "second undo");
    edit.EditSetMarks({8000, kNoPosition, kNoPosition});
    edit.EditSetMasterMode(true);
    edit.EditSetMarks({4, 0, 4000});
    edit.EditSetMasterMode(false);
}

void ManyMarkers(EditFile& edit, const std::string& seed)
{
    BaseStep(edit, seed, 22050 * 2);
    for (uint32_t i = 0; i < 40; ++i) {
        std::string name(size_t(i * 7), char('a' + i % 26));
        Check(edit.EditPushStep(kStepInsertMarker, uint64_t(i) * 1000, EditSegment::LiveMarker(100 + i), 0, name),
              seed, "marker");
    }
}

// 8-bit mono at 11025 Hz gives an odd-sized window; generated and treated audio covering
// all of it is rendered in one piece.
void OddWindowHistory(EditFile& edit, const std::string& seed)
{
    const uint64_t bytes = 11025 * 4;
    BaseStep(edit, seed, bytes);
    EditSegment generated = EditSegment::Audio(0, bytes);
    generated.channel[0] = {kSourceGenerated, FourCC("Tone"), kTreatMono, 440};
    Check(edit.EditPushStep(kStepGenerate, 0, generated), seed, "generate");
    EditSegment gain = EditSegment::Audio(0, bytes);
    gain.channel[0] = {0, FourCC("Gain"), kTreatMono | 0x100, 6};
    Check(edit.EditPushStep(kStepTreat, 0, gain), seed, "treat");
    Check(edit.EditUndo() == 0, seed, "undo");
}

const Seed kSeeds[] = {
    {"empty-mono-8bit.kdw", 1, 8000, 8, [](EditFile&, const std::string&) {}},
    {"base-only-stereo.kdw", 2, 44100, 16,
     [](EditFile& edit, const std::string& seed) { BaseStep(edit, seed, 17640); }},
    {"mono-steps.kdw", 1, 8000, 8, MonoHistory},
    {"stereo-steps.kdw", 2, 44100, 16, StereoHistory},
    {"many-markers.kdw", 1, 22050, 16, ManyMarkers},
    {"odd-window-mono-8bit.kdw", 1, 11025, 8, OddWindowHistory},
};

std::vector<uint8_t> ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const uint8_t* bytes, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes), std::streamsize(size));
    Check(bool(out), path.filename().string(), "writing");
}

// The same Edit with its header in the older 56-byte layout, which open converts.
std::vector<uint8_t> AsVersion4(std::vector<uint8_t> file)
{
    uint8_t* header = file.data() + kProgramOffset;
    const uint16_t undoCount = GetU16(header + 72), redoCount = GetU16(header + 74);
    std::vector<uint8_t> records(header + kHeaderSize, file.data() + kDataChunkOffset);
    PutU32(header, 4);
    PutU16(header + 48, undoCount);
    PutU16(header + 50, redoCount);
    PutU32(header + 52, 0);
    std::copy(records.begin(), records.end() - (kHeaderSize - kHeaderSizeV4),
              header + kHeaderSizeV4);
    return file;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_edit_seeds FOLDER\n");
        return 2;
    }
    const fs::path folder = argv[1];
    std::error_code error;
    fs::create_directories(folder, error);

    for (const Seed& seed : kSeeds) {
        const fs::path path = folder / seed.name;
        fs::remove(path, error); // creating an Edit fails on an existing file
        {
            EditFile edit;
            edit.channels = seed.channels;
            edit.sampleRate = seed.sampleRate;
            edit.bitsPerSample = seed.bitsPerSample;
            Check(edit.EditOpen(path.string(), /*create=*/true, /*openReadOnly=*/false), seed.name,
                  "create");
            if (edit.IsOpen()) seed.history(edit, seed.name);
            edit.EditClose();
        }
        EditView view;
        Check(view.OpenView(path.string(), /*readOnly=*/true), seed.name, "reopen");
        Check(view.SyncEdit(), seed.name, "replay");
        std::printf("%-24s %8llu bytes of audio, %zu segments, %zu markers, %zu undo, %zu redo\n",
                    seed.name, (unsigned long long)view.length, view.segments.Segments().size(),
                    view.markers.size(), view.edit.undo.size(), view.edit.redo.size());
        view.CloseView();
    }

    // Variants that take the reader down its other paths.
    const std::vector<uint8_t> stereo = ReadFile(folder / "stereo-steps.kdw");
    Check(stereo.size() > kDataOffset, "stereo-steps.kdw", "reading back");
    if (stereo.size() > kDataOffset) {
        const std::vector<uint8_t> v4 = AsVersion4(stereo);
        WriteFile(folder / "stereo-steps-v4.kdw", v4.data(), v4.size());
        EditView view;
        Check(view.OpenView((folder / "stereo-steps-v4.kdw").string(), true) && view.SyncEdit(),
              "stereo-steps-v4.kdw", "open and replay");
        view.CloseView();
        // Written by a newer version, and with more records counted than the chunk holds.
        std::vector<uint8_t> variant = stereo;
        PutU32(variant.data() + kProgramOffset, kEditVersion + 1);
        WriteFile(folder / "stereo-steps-future.kdw", variant.data(), variant.size());
        variant = stereo;
        PutU16(variant.data() + kProgramOffset + 72, 0xFFFF);
        WriteFile(folder / "stereo-steps-damaged.kdw", variant.data(), variant.size());
        // A plain WAV: the same audio behind a 44-byte header.
        variant.assign(stereo.begin() + kDataChunkOffset - 36, stereo.end());
        std::copy(stereo.begin(), stereo.begin() + 36, variant.begin());
        PutU32(variant.data() + 4, uint32_t(variant.size() - 8));
        PutU32(variant.data() + 16, 16);
        WriteFile(folder / "plain.wav", variant.data(), variant.size());
        // Cut inside the format chunk, inside the history, and just before the data chunk.
        for (size_t cut :
             {size_t(30), size_t(kProgramOffset + kHeaderSize + 100), size_t(kDataChunkOffset + 2)})
            WriteFile(folder / ("stereo-steps-cut-" + std::to_string(cut) + ".kdw"), stereo.data(),
                      cut);
    }
    return failed ? 1 : 0;
}
