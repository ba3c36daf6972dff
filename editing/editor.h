#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "edit/edit_view.h"

namespace tandrel {

/** What the editing commands need to know of, and ask of, the rest of the program: the
    transport, the recorder, the players and the displays. The program implements it; the
    command-line tool and the tests use the plain defaults (stopped, idle, nothing held). */
class EditorHost
{
public:
    virtual ~EditorHost() = default;
    /** The active Edit's player is stopped. */
    virtual bool PlayerStopped() const { return true; }
    /** A recording is under way. */
    virtual bool Recording() const { return false; }
    /** Bytes recorded so far by the recording under way. */
    virtual uint64_t RecordedBytes() const { return 0; }
    /** Where the person is listening in `view`: while it plays, the audio leaving the
        speaker, which lags the cue by the output's latency; otherwise the cue. */
    virtual uint64_t HeardPosition(const EditView& view) const { return view.cursor; }
    /** A transport action (play, scrub, roll back) is under way. */
    virtual bool TransportBusy() const { return false; }
    /** The transport state, besides stopped, in which Paste is allowed. */
    virtual bool PasteAllowedWhilePlaying() const { return false; }
    /** A cart or deck that holds `path` lets go of it (files are not shared)... */
    virtual void ReleaseFileFromPlayers(const std::string&) {}
    /** ...and takes it back afterwards. */
    virtual void ReturnFileToPlayers(const std::string&) {}
    /** The displays show the active Edit afresh (waveform, lengths, Markers window). */
    virtual void RefreshDisplays() {}
};

/** The program's own audio clipboard: pieces of an Edit and where they came from, never
    audio. It outlives the Edits it was filled from. */
struct AudioClipboard
{
    std::vector<EditSegment> clipSegments;
    std::string clipPath;
    bool clipMaster = false;
};

/** The one clipboard of the program. UI thread. */
AudioClipboard& TheClipboard();

/** The active Edit (null when none) and the host the commands consult. */
struct Editor
{
    EditView* view = nullptr;
    EditorHost* host = nullptr;

    EditorHost& Host() const;
    bool HasEdit() const { return view && view->edit.IsOpen(); }
};

} // namespace tandrel
