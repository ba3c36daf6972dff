#include "editing_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tandrel::test {

Bytes RenderAll(EditView& view)
{
    Bytes out;
    const uint64_t keep = view.cursor;
    const uint64_t half = view.bufferBytes / 2;
    for (uint64_t at = 0; at < view.length;) {
        view.SetCursor(at + half, false);
        RingPieces pieces = view.ReadWindow(uint32_t(at - view.windowStart));
        uint64_t take = std::min<uint64_t>(pieces.Total(), view.length - at);
        uint64_t first = std::min<uint64_t>(take, pieces.size[0]);
        out.insert(out.end(), pieces.data[0], pieces.data[0] + first);
        out.insert(out.end(), pieces.data[1], pieces.data[1] + (take - first));
        at += take;
    }
    view.SetCursor(keep, true);
    return out;
}

Bytes Take(Bytes& audio, uint64_t from, uint64_t to)
{
    Bytes taken(audio.begin() + std::ptrdiff_t(from), audio.begin() + std::ptrdiff_t(to));
    audio.erase(audio.begin() + std::ptrdiff_t(from), audio.begin() + std::ptrdiff_t(to));
    return taken;
}

std::vector<EditRecord> History(const EditFile& edit)
{
    std::vector<EditRecord> all = edit.undo;
    all.insert(all.end(), edit.redo.begin(), edit.redo.end());
    return all;
}

bool SameRecords(const std::vector<EditRecord>& a, const std::vector<EditRecord>& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].groupSize != b[i].groupSize || a[i].type != b[i].type ||
            a[i].position != b[i].position || a[i].flags != b[i].flags ||
            !(a[i].segment == b[i].segment) || a[i].name != b[i].name)
            return false;
    return true;
}

EditorFixture::EditorFixture(const TempDir& dir, const std::string& name, uint64_t seconds)
    : path(dir.File(name))
{
    const uint64_t bytes = seconds * kStereo16.BytesPerSecond();
    EXPECT_TRUE(MakeEdit(path, kStereo16, bytes, bytes));
    EXPECT_TRUE(view.OpenView(path, false));
    editor.view = &view;
    audio = Pattern(0, bytes);
}

} // namespace tandrel::test
