#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace tandrel {

// An insert recording appends to an Edit whose history only takes the audio in at the stop.
// Should the program die in between, the note written here before the capture starts tells
// the next start which Edit holds uncommitted audio and where its committed data ends.

struct InsertRecordingNote
{
    std::string editPath;
    uint64_t committedDataLength = 0; // bytes of sample data before the recording began
};

/** The note's file, beside the temporary Edit in the Library folder; empty without one. */
std::string InsertRecordingNotePath();

/** Writes the note and puts it on the disk (the file and its folder entry). False when it
    could not be written; nothing is left behind then. */
bool WriteInsertRecordingNote(const InsertRecordingNote& note);

/** The note left by an insert recording that never finished; none when there is no note.
    A damaged note reads as none and is removed. */
std::optional<InsertRecordingNote> ReadInsertRecordingNote();

/** Removes the note (the recording was committed or abandoned). */
void RemoveInsertRecordingNote();

} // namespace tandrel
