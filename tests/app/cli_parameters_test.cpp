// The command line is driven by the table of destination parameters: every option of the table is
// in the help with the table's range, and its parser refuses values outside that range.
#include <gtest/gtest.h>

#include <string>

#include "imaging/destination_parameters.h"
#include "support/test_support.h"

namespace picaxo {
namespace {

TEST(CliParameters, TheTableGivesTheHelpAndTheRangesOfEveryOption) {
  const testing::TCliRun help = testing::RunCli("convert --help");
  ASSERT_EQ(help.exitCode, 0);
  int integers = 0;
  for (const TDestinationParameter& p : kDestinationParameters) {
    if (p.Option.empty()) continue;
    const std::string option(p.Option);
    EXPECT_NE(help.out.find("\n  " + option + " "), std::string::npos) << option;
    if (p.Syntax != TParameterSyntax::Integer) continue;
    ++integers;
    const std::string range = ParameterRangeText(p);
    EXPECT_NE(help.out.find(range), std::string::npos) << option;
    // One above the range is refused with the range named; the highest value is taken (the run
    // then fails only on the missing source file, not on the option).
    const std::string tooHigh = std::to_string(static_cast<int64_t>(p.Max) + 1);
    const testing::TCliRun refused =
        testing::RunCli("convert " + option + "=" + tooHigh + " missing.jpg out.jpg");
    EXPECT_EQ(refused.exitCode, 2) << option;
    EXPECT_NE(refused.out.find(option + ": '" + tooHigh + "' is not a whole number from " +
                               std::to_string(p.Min) + " to " + std::to_string(p.Max)),
              std::string::npos)
        << refused.out;
    const testing::TCliRun taken =
        testing::RunCli("convert " + option + " " + std::to_string(p.Max) + " missing.jpg out.jpg");
    EXPECT_NE(taken.exitCode, 2) << option << ": " << taken.out;
  }
  EXPECT_EQ(integers, 4);  // longer side, area, percent, quality
}

}  // namespace
}  // namespace picaxo
