#include <gtest/gtest.h>

#include "platform/system/sub_copy.h"

using namespace platform;

namespace {

CopyBox box(int x, int y, int w, int h) { return CopyBox{x, y, x + w, y + h}; }

bool inside(const CopyBox& in, const CopyBox& out)
{
    return in.x0 >= out.x0 && in.y0 >= out.y0 && in.x1 <= out.x1 && in.y1 <= out.y1;
}

// Every box lies in some copy.
void expectCovered(const std::vector<CopyBox>& boxes, const std::vector<CopyBox>& copies)
{
    for (const CopyBox& b : boxes) {
        bool found = false;
        for (const CopyBox& c : copies)
            found = found || inside(b, c);
        EXPECT_TRUE(found) << "box at " << b.x0 << "," << b.y0 << " not copied";
    }
}

TEST(MergeCopiesTest, NearbyChangesGoInOneCopyFarOnesApart)
{
    // A button lit as the pointer leaves it, beside the pointer's old and new
    // places.
    const std::vector<CopyBox> menu = {box(128, 468, 304, 60), box(277, 431, 28, 36), box(277, 380, 28, 36)};
    const std::vector<CopyBox> one = mergeCopies(menu);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].x0, 128);
    EXPECT_EQ(one[0].y0, 380);
    EXPECT_EQ(one[0].x1, 432);
    EXPECT_EQ(one[0].y1, 528);

    // The pointer jumped across the window: a box around both would copy a
    // good part of the window for two small areas.
    const std::vector<CopyBox> far = {box(20, 20, 28, 36), box(900, 700, 28, 36)};
    const std::vector<CopyBox> two = mergeCopies(far);
    ASSERT_EQ(two.size(), 2u);
    expectCovered(far, two);
}

TEST(MergeCopiesTest, CheapestMergesFirstAndMergedBoxesMergeOn)
{
    // Two rows of four small boxes, 200 pixels apart in each direction but
    // with a wide gap in the middle of each row. Each row's neighbours merge
    // first, then the two halves of a row (a thin strip costs less than a
    // square around two neighbours); the rows stay apart.
    std::vector<CopyBox> boxes;
    for (int y : {0, 200})
        for (int x : {0, 200, 900, 1100})
            boxes.push_back(box(x, y, 10, 10));
    const std::vector<CopyBox> copies = mergeCopies(boxes);
    ASSERT_EQ(copies.size(), 2u);
    expectCovered(boxes, copies);
    for (const CopyBox& c : copies) {
        EXPECT_EQ(c.x1 - c.x0, 1110);
        EXPECT_EQ(c.y1 - c.y0, 10);
    }
}

TEST(MergeCopiesTest, LimitAndEmptyBoxes)
{
    // Extra area exactly at the limit merges; one pixel more does not.
    const int side = 256;
    const std::vector<CopyBox> atLimit = {box(0, 0, side, 1), box(0, side + 1, side, 1)};
    EXPECT_EQ(mergeCopies(atLimit).size(), 1u);
    const std::vector<CopyBox> beyond = {box(0, 0, side + 1, 1), box(0, side + 1, side + 1, 1)};
    EXPECT_EQ(mergeCopies(beyond).size(), 2u);

    // Boxes that hold no pixel are no copies, also not as part of a merge.
    EXPECT_TRUE(mergeCopies({}).empty());
    const std::vector<CopyBox> copies = mergeCopies({box(5, 5, 0, 4), box(40, 40, 3, 3), CopyBox{9, 9, 2, 2}});
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0].x0, 40);
    EXPECT_EQ(copies[0].y1, 43);
}

} // namespace
