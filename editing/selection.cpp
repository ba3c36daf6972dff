#include "editing/selection.h"

#include <algorithm>

namespace tandrel {

namespace {

uint64_t Clamped(const EditView& view, uint64_t position)
{
    position = std::min(position, view.length);
    return view.blockAlign ? position / view.blockAlign * view.blockAlign : position;
}

} // namespace

bool HasSelection(const EditView& view) { return view.HasSelection(); }

void SetLeftMark(EditView& view, uint64_t position)
{
    view.leftMark = Clamped(view, position);
    if (view.rightMark != kNoPosition && view.rightMark < view.leftMark) view.rightMark = kNoPosition;
}

void SetRightMark(EditView& view, uint64_t position)
{
    view.rightMark = Clamped(view, position);
    if (view.leftMark != kNoPosition && view.leftMark > view.rightMark) view.leftMark = kNoPosition;
}

void SetMarks(EditView& view, uint64_t left, uint64_t right)
{
    view.leftMark = left == kNoPosition ? kNoPosition : Clamped(view, left);
    view.rightMark = right == kNoPosition ? kNoPosition : Clamped(view, right);
}

void ClearSelection(EditView& view) { view.leftMark = view.rightMark = kNoPosition; }

void SelectAll(EditView& view) { SetMarks(view, 0, view.length); }

int PlaceCueLine(EditView& view, uint64_t position)
{
    return view.SetCursor(Clamped(view, position), true);
}

} // namespace tandrel
