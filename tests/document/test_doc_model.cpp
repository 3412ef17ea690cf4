#include <gtest/gtest.h>

#include "base/app_state.h"
#include "support/null_fixture.h"

namespace {

class Doc_Model : public ::testing::Test {
protected:
    void SetUp() override { Fresh_Main_Window(); }
};

TEST_F(Doc_Model, Duplicate_Takes_The_Lowest_Free_Slot_And_Copies_Deeply) {
    Make_Document(0, 8, 6, 42.5f);
    Make_Document(1, 4, 4);
    Make_Document(3, 4, 4);
    Make_Current_Job(0);
    Jobs[0].Doc.Processing.Mode = 2;
    Jobs[0].Doc.Processing.Threshold_Magenta = 77;
    Jobs[0].Doc.Measure.Hits = 12.5f;
    Jobs[0].Doc.Tools.push_back(Tool());
    Jobs[0].Doc.Image_Buffer[0] = 9;
    Stage_Position = 130;
    Stage_Zero = 30;

    EXPECT_EQ(Duplicate_Job(0), 0);
    ASSERT_EQ(Current_Job, 2);
    const Job_Slot& copy = Jobs[2];
    EXPECT_EQ(copy.In_Use, 1);
    EXPECT_EQ(copy.Image_Changed, 1);
    EXPECT_TRUE(copy.File_Name.empty());
    EXPECT_FLOAT_EQ(copy.Doc.PPMM, 42.5f);
    EXPECT_EQ(copy.Doc.Processing.Mode, 2);
    EXPECT_EQ(copy.Doc.Processing.Threshold_Magenta, 77);
    EXPECT_FLOAT_EQ(copy.Doc.Measure.Hits, 12.5f);
    EXPECT_FLOAT_EQ(copy.Doc.ScaleValue, 100.0f);
    EXPECT_GT(copy.Doc.TimeStamp, 0);
    EXPECT_EQ(copy.Doc.Resolution.x, 8);
    EXPECT_EQ(copy.Doc.Image_Buffer[0], 9);

    // The copy owns its tools and pixels.
    Jobs[2].Doc.Tools.push_back(Tool());
    Jobs[2].Doc.Image_Buffer[0] = 1;
    EXPECT_EQ(Jobs[0].Doc.Tools.size(), 1u);
    EXPECT_EQ(Jobs[0].Doc.Image_Buffer[0], 9);
}

TEST_F(Doc_Model, Duplicate_Refusals) {
    // Every document is 4 x 4 pixels (64 bytes); budget 0 is the 2 GiB one.
    struct Case {
        int64_t source;
        int open;
        uint64_t budget;
        int64_t result;
    };
    const Case cases[] = {
        {-1, 0, 0, 1}, {9, 0, 0, 1}, {0, 8, 0, 8},
        {0, 0, 127, 2},   // the live picture alone, one byte short of its copy
        {0, 2, 255, 2},
        {2, 2, 255, 2},   // a copy of a frozen document counts the same
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        Fresh_Main_Window();
        Make_Document(0, 4, 4);
        for (int i = 1; i <= c.open; i++) Make_Document(i, 4, 4);
        Make_Current_Job(0);
        if (c.budget > 0) Pixel_Budget_Bytes = c.budget;
        const uint64_t used = Document_Pixel_Bytes();
        EXPECT_EQ(Duplicate_Job(c.source), c.result);
        const std::string refusal = "Error / " + Snapshot_Budget_Message();
        Pixel_Budget_Bytes = (uint64_t)2 << 30;
        EXPECT_EQ(Current_Job, 0);
        EXPECT_EQ(Count_Open_Jobs(), c.open);
        EXPECT_EQ(Document_Pixel_Bytes(), used);
        int64_t free_slot = First_Free_Job();
        if (free_slot > 0) {
            EXPECT_TRUE(Jobs[free_slot].Doc.Image_Buffer.empty()) << "no half-made slot";
        }
        EXPECT_EQ(Last_Prompt_Text(), c.result == 2 ? refusal : "");
    }
    // A source slot not in use makes nothing (result 0).
    Fresh_Main_Window();
    EXPECT_EQ(Duplicate_Job(4), 0);
    EXPECT_EQ(Count_Open_Jobs(), 0);

    // A copy that takes the last byte of the budget is made.
    Make_Document(0, 4, 4);
    Make_Document(1, 4, 4);
    Pixel_Budget_Bytes = 3 * 64;
    EXPECT_EQ(Duplicate_Job(1), 0);
    EXPECT_EQ(Current_Job, 2);
    Pixel_Budget_Bytes = 3 << 20;
    EXPECT_EQ(Snapshot_Budget_Message(),
              "Unable to take a snapshot: the pictures of all open documents would take more than 3 MB. Close some "
              "documents to continue.");
    Pixel_Budget_Bytes = (uint64_t)2 << 30;
    EXPECT_TRUE(Prompt_History().empty());
}

// The largest camera's pictures: the live one and eight frozen from it.
TEST_F(Doc_Model, Eight_Twenty_Megapixel_Snapshots_Fit_The_Budget) {
    Make_Document(0, 5472, 3648);
    for (int64_t i = 1; i <= MAX_FROZEN_JOBS; i++) ASSERT_EQ(Duplicate_Job(0), 0) << i;
    EXPECT_EQ(Document_Pixel_Bytes(), (uint64_t)9 * 5472 * 3648 * 4);
    EXPECT_TRUE(Prompt_History().empty());
}

TEST_F(Doc_Model, Counting_And_Free_Slots) {
    EXPECT_EQ(Count_Open_Jobs(), 0);
    EXPECT_EQ(First_Free_Job(), 1);
    EXPECT_EQ(First_Used_Job(), -1);
    Make_Document(0, 2, 2);  // the live document is never counted
    Make_Document(1, 2, 2);
    Make_Document(2, 2, 2);
    Make_Document(4, 2, 2);
    EXPECT_EQ(Count_Open_Jobs(), 3);
    EXPECT_EQ(First_Free_Job(), 3);
    EXPECT_EQ(First_Used_Job(), 1);
    for (int i = 1; i <= 8; i++) Make_Document(i, 2, 2);
    EXPECT_EQ(First_Free_Job(), -1);
}

TEST_F(Doc_Model, Close_Steps_Down_To_A_Slot_In_Use) {
    struct Case {
        bool live;
        std::vector<int> open;
        int close;
        int64_t current_after;
    };
    const Case cases[] = {
        {true, {1, 2, 3}, 3, 2},   // the slot below is in use
        {true, {1, 3}, 3, 1},      // slot 2 is free: the nearest lower one in use
        {true, {3}, 3, 0},         // only the live document is left
        {false, {3}, 3, -1},       // nothing is left
        {false, {2, 5}, 2, -1},
    };
    for (const Case& c : cases) {
        Fresh_Main_Window();
        if (c.live) Make_Document(0, 2, 2);
        for (int i : c.open) {
            Make_Document(i, 2, 2);
            Jobs[i].Doc.Tools.push_back(Tool());
        }
        Make_Current_Job(c.close);
        Take_Window_Changes();
        Close_Job(c.close);
        EXPECT_EQ(Current_Job, c.current_after) << "closing " << c.close;
        Window_Changes marks = Take_Window_Changes();
        EXPECT_EQ(marks.Job_Panels, c.current_after >= 0) << "closing " << c.close;
        EXPECT_TRUE(marks.Job_List && marks.Measurement_List) << "closing " << c.close;
        EXPECT_FALSE(Take_Window_Changes().Job_List) << "taken once";
        EXPECT_EQ(Jobs[c.close].In_Use, 0);
        EXPECT_TRUE(Jobs[c.close].Doc.Tools.empty());
        EXPECT_EQ(Jobs[c.close].Doc.Image_Buffer.capacity(), 0u) << "its pixels are given back";
        EXPECT_EQ(Jobs[c.close].Doc.Resolution.x, 0);
        for (int i : c.open)
            if (i != c.close) {
                EXPECT_EQ(Jobs[i].Doc.Tools.size(), 1u) << i;
            }
    }
}

TEST_F(Doc_Model, Close_All_Asks_Only_When_Documents_Are_Open) {
    Make_Document(0, 2, 2);
    Make_Current_Job(0);
    Close_All_Jobs();
    EXPECT_TRUE(Prompt_History().empty());

    Make_Document(1, 2, 2);
    Make_Document(2, 2, 2);
    Make_Current_Job(2);
    Script_Prompt(0);
    Close_All_Jobs();
    ASSERT_EQ(Prompt_History().size(), 1u);
    EXPECT_EQ(Prompt_History()[0].Title, "Message");
    EXPECT_EQ(Prompt_History()[0].Text, "Close all document windows, are you sure?");
    EXPECT_EQ(Prompt_History()[0].Flags & MSG_YES_NO, MSG_YES_NO);
    EXPECT_EQ(Count_Open_Jobs(), 2);
    EXPECT_EQ(Current_Job, 2);

    Script_Prompt(1);
    Close_All_Jobs();
    EXPECT_EQ(Count_Open_Jobs(), 0);
    EXPECT_EQ(Current_Job, 0);
    for (int64_t i = 1; i < JOB_SLOTS; i++) EXPECT_EQ(Jobs[i].Doc.Image_Buffer.capacity(), 0u) << i;
    EXPECT_EQ(Jobs[0].Doc.Image_Buffer.size(), 2u * 2 * 4) << "the live picture stays";
}

}  // namespace
