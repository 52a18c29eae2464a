#include "base/error.h"

#include <new>
#include <system_error>

namespace picaxo {

namespace {
enum class TErrorKind { Own, Memory, System, Other };

TErrorKind Classify(std::exception_ptr error, std::string& text) {
  try {
    if (error) std::rethrow_exception(error);
  } catch (const EPicaxoError& e) {
    text = e.what();
    return TErrorKind::Own;
  } catch (const std::bad_alloc&) {
    return TErrorKind::Memory;
  } catch (const std::system_error& e) {
    // code().message() is the system's sentence alone; what() would add the call's name.
    text = e.code().message();
    return TErrorKind::System;
  } catch (...) {
  }
  return TErrorKind::Other;
}
}  // namespace

std::string ErrorReason(std::exception_ptr error) {
  std::string text;
  switch (Classify(error, text)) {
    case TErrorKind::Own:
    case TErrorKind::System:
      return text;
    case TErrorKind::Memory:
      return "Not enough memory";
    case TErrorKind::Other:
      break;
  }
  return "An internal error occurred";
}

std::string UserErrorMessage(std::exception_ptr error, const std::string& doing) {
  std::string text;
  switch (Classify(error, text)) {
    case TErrorKind::Own:
      return text;
    case TErrorKind::Memory:
      return "Not enough memory to " + doing;
    case TErrorKind::System:
      return "Could not " + doing + ": " + text;
    case TErrorKind::Other:
      break;
  }
  return "Could not " + doing + ": an internal error occurred";
}

}  // namespace picaxo
