#pragma once
// Helpers for the editing tests: the whole rendered audio of a view, and an editor over an
// Edit made with the pattern of edit_test_support.
#include <memory>
#include <string>

#include "edit_test_support.h"
#include "editing/editor.h"

namespace tandrel::test {

/** The view's whole rendered audio, read through its render window as playback does. */
Bytes RenderAll(EditView& view);

/** Cuts `bytes` out of `audio` at [from, to) and returns them. */
Bytes Take(Bytes& audio, uint64_t from, uint64_t to);

/** The undo and redo records of an Edit, for checking that a history did not change. */
std::vector<EditRecord> History(const EditFile& edit);
bool SameRecords(const std::vector<EditRecord>& a, const std::vector<EditRecord>& b);

/** An Edit of `seconds` of 16-bit stereo at 8 kHz (32000 bytes a second) holding the pattern,
    opened in a view with a one-second window, and an editor on it. */
struct EditorFixture
{
    EditorFixture(const TempDir& dir, const std::string& name, uint64_t seconds = 10);
    std::string path;
    EditView view{1};
    Editor editor;
    Bytes audio; // what the Edit should sound like
};

} // namespace tandrel::test
