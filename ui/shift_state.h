#pragma once
// The modifier keys held down, as the view's wheel routine and the keyboard hook report them.
#include <cstdint>

namespace picaxo {

enum TShiftFlag : uint8_t { ssShift = 1, ssAlt = 2, ssCtrl = 4 };
using TShiftState = uint8_t;  // an OR of TShiftFlag values

}  // namespace picaxo
