// The job list's selection rules without a list.
#include "jobs/job_selection.h"

#include <gtest/gtest.h>

namespace picaxo {
namespace {

TEST(JobSelection, OneRowLeftSelectedByTheUserBecomesCurrent) {
  const auto one = JobSelectionChanged(1, 7, TSelectionSource::User);
  EXPECT_EQ(one.MakeCurrent, 7);
  EXPECT_TRUE(one.UpdateCaptions);
  // A second row only changes the captions; the current image stays.
  const auto two = JobSelectionChanged(2, 3, TSelectionSource::User);
  EXPECT_FALSE(two.MakeCurrent);
  EXPECT_TRUE(two.UpdateCaptions);
  // The window moving the selection to the current image asks for no move back.
  const auto follow = JobSelectionChanged(1, 7, TSelectionSource::FollowingCurrentImage);
  EXPECT_FALSE(follow.MakeCurrent);
  EXPECT_TRUE(follow.UpdateCaptions);
}

TEST(JobSelection, AnEmptySelectionChangesNothing) {
  const auto none = JobSelectionChanged(0, -1, TSelectionSource::User);
  EXPECT_FALSE(none.MakeCurrent);
  EXPECT_FALSE(none.UpdateCaptions);
}

TEST(JobSelection, TheListFollowsByItsSelectionOnlyOutsideARun) {
  EXPECT_EQ(FollowCurrentImage(false), TJobRowFollow::SelectOnly);
  EXPECT_EQ(FollowCurrentImage(true), TJobRowFollow::ScrollOnly);
}

}  // namespace
}  // namespace picaxo
