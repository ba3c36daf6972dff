// The mark rules: clamping to the Edit, whole frames, and a mark that would invert the
// selection clearing the other.
#include <gtest/gtest.h>

#include "editing/selection.h"
#include "editing_test_support.h"

namespace tandrel::test {
namespace {

TEST(Selection, MarkRules)
{
    TempDir dir;
    EditorFixture e(dir, "marks.kdw", 1); // 32000 bytes, frames of 4
    // The marks before, which mark is set and where, and the marks after.
    struct Case { const char* name; uint64_t left, right; bool setLeft; uint64_t position, expectLeft, expectRight; };
    const Case cases[] = {
        {"left rounds down", kNoPosition, kNoPosition, true, 1003, 1000, kNoPosition},
        {"left clamps to the length", kNoPosition, kNoPosition, true, 99999, 32000, kNoPosition},
        {"left past right clears right", 0, 400, true, 800, 800, kNoPosition},
        {"left before right keeps it", 0, 400, true, 200, 200, 400},
        {"right rounds and clamps", kNoPosition, kNoPosition, false, 40001, kNoPosition, 32000},
        {"right before left clears left", 800, 1200, false, 402, kNoPosition, 400},
        {"right equal to left keeps both", 800, 1200, false, 800, 800, 800},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        e.view.leftMark = c.left;
        e.view.rightMark = c.right;
        if (c.setLeft)
            SetLeftMark(e.view, c.position);
        else
            SetRightMark(e.view, c.position);
        EXPECT_EQ(e.view.leftMark, c.expectLeft);
        EXPECT_EQ(e.view.rightMark, c.expectRight);
    }
    // Both marks at once follow the same rules; equal marks select nothing.
    SelectAll(e.view);
    EXPECT_TRUE(HasSelection(e.view));
    EXPECT_EQ(e.view.rightMark, 32000u);
    SetMarks(e.view, 7, 33000);
    EXPECT_EQ(e.view.leftMark, 4u);
    EXPECT_EQ(e.view.rightMark, 32000u);
    ClearSelection(e.view);
    EXPECT_FALSE(HasSelection(e.view));
    EXPECT_EQ(e.view.leftMark, kNoPosition);
    SetMarks(e.view, 400, 400);
    EXPECT_FALSE(HasSelection(e.view));
}

} // namespace
} // namespace tandrel::test
