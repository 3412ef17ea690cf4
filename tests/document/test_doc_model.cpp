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
    struct Case {
        int64_t source;
        int open;
        int64_t result;
    };
    const Case cases[] = {{-1, 0, 1}, {9, 0, 1}, {0, 8, 8}};
    for (const Case& c : cases) {
        Fresh_Main_Window();
        Make_Document(0, 4, 4);
        for (int i = 1; i <= c.open; i++) Make_Document(i, 4, 4);
        Make_Current_Job(0);
        EXPECT_EQ(Duplicate_Job(c.source), c.result) << c.source;
        EXPECT_EQ(Current_Job, 0);
        EXPECT_EQ(Count_Open_Jobs(), c.open);
    }
    // A source slot not in use makes nothing (result 0).
    Fresh_Main_Window();
    EXPECT_EQ(Duplicate_Job(4), 0);
    EXPECT_EQ(Count_Open_Jobs(), 0);
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
}

}  // namespace
