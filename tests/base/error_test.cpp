// What the user reads when an error is caught: never a type name or a raw library text.
#include "base/error.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <new>
#include <stdexcept>
#include <system_error>

namespace picaxo {
namespace {

std::exception_ptr Caught(const std::function<void()>& fail) {
  try {
    fail();
  } catch (...) {
    return std::current_exception();
  }
  return nullptr;
}

TEST(ErrorMessages, OwnTextsStandAndOthersBecomePlainEnglish) {
  const auto own = Caught([] { throw EPicaxoError("Cannot open file a.jpg"); });
  EXPECT_EQ(ErrorReason(own), "Cannot open file a.jpg");
  EXPECT_EQ(UserErrorMessage(own, "load a.jpg"), "Cannot open file a.jpg");

  const auto memory = Caught([] { throw std::bad_alloc(); });
  EXPECT_EQ(ErrorReason(memory), "Not enough memory");
  EXPECT_EQ(UserErrorMessage(memory, "load a.jpg"), "Not enough memory to load a.jpg");
  // A vector asked for an absurd length fails as an allocation too.
  const auto length = Caught([] { throw std::bad_array_new_length(); });
  EXPECT_EQ(UserErrorMessage(length, "load a.jpg"), "Not enough memory to load a.jpg");

  // The system's sentence without the call's name and path that what() would add.
  const auto system = Caught([] {
    throw std::filesystem::filesystem_error("directory_iterator::directory_iterator", "/x",
                                            std::make_error_code(std::errc::permission_denied));
  });
  EXPECT_EQ(ErrorReason(system), "Permission denied");
  EXPECT_EQ(UserErrorMessage(system, "list /x"), "Could not list /x: Permission denied");

  for (const auto& other : {Caught([] { throw std::out_of_range("vector::_M_range_check"); }),
                            Caught([] { throw 7; }), std::exception_ptr()}) {
    EXPECT_EQ(ErrorReason(other), "An internal error occurred");
    EXPECT_EQ(UserErrorMessage(other, "save b.jpg"),
              "Could not save b.jpg: an internal error occurred");
  }
}

}  // namespace
}  // namespace picaxo
