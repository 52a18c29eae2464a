#include "jobs/keys.h"

namespace picaxo {

std::optional<TZoom> ZoomOfNumber(int n) {
  if (n < 0 || n >= kZoomCount) return std::nullopt;
  return static_cast<TZoom>(n);
}

std::optional<TZoom> ZoomInTarget(TZoom zoom) {
  if (zoom == TZoom::Auto) return TZoom::OneToOne;
  if (zoom == TZoom::FourToOne) return std::nullopt;
  return static_cast<TZoom>(NumberOfZoom(zoom) - 1);
}

std::optional<TZoom> ZoomOutTarget(TZoom zoom) {
  if (zoom == TZoom::Auto) return TZoom::OneToOne;
  return ZoomOfNumber(NumberOfZoom(zoom) + 1);
}

TKeyAction HandleHookedKey(const TKeyEvent& event, const TKeyContext& context) {
  TKeyAction action;
  if (!event.WindowActive) return action;
  const bool press = event.Direction == TKeyDirection::Press;
  // Navigation keys that an edit box uses itself are left to it unless Ctrl is held.
  const bool outsideEdit = !event.EditHasFocus || event.Ctrl;
  const auto goTo = [&](int64_t index) {
    action.Taken = true;
    if (press) {
      action.Command = TKeyCommand::GoToImage;
      action.Index = index;
    }
  };
  const auto zoom = [&](std::optional<TZoom> target) {
    action.Taken = true;
    if (press && target) {
      action.Command = TKeyCommand::SelectZoom;
      action.Zoom = *target;
    }
  };
  const int64_t step = event.Ctrl ? 10 : 1;
  switch (event.VirtualKey) {
    case vk::PageUp:
      goTo(int64_t{context.CurrentIndex} - step);
      break;
    case vk::PageDown:
      goTo(int64_t{context.CurrentIndex} + step);
      break;
    case vk::Home:
      if (outsideEdit) goTo(0);
      break;
    case vk::End:
      if (outsideEdit) goTo(int64_t{context.Count} - 1);
      break;
    case vk::Back:
      if (outsideEdit) {
        action.Taken = true;
        if (press && context.PreviousIndex) {
          action.Command = TKeyCommand::GoToImage;
          action.Index = *context.PreviousIndex;
        }
      }
      break;
    case vk::Delete:
      if (outsideEdit) {
        action.Taken = true;
        if (press) action.Command = TKeyCommand::DeleteSource;
      }
      break;
    case vk::Escape:
      // Never taken; acts on press and release alike.
      if (event.EditHasFocus) {
        action.Command = TKeyCommand::RestoreField;
        action.Field = event.Field;
      } else {
        action.Command = TKeyCommand::LeaveFullScreen;
      }
      break;
    case vk::Multiply:
      zoom(TZoom::Auto);
      break;
    case vk::Divide:
      zoom(TZoom::OneToOne);
      break;
    case vk::Add:
      zoom(ZoomInTarget(context.Zoom));
      break;
    case vk::Subtract:
      zoom(ZoomOutTarget(context.Zoom));
      break;
    default:
      break;
  }
  return action;
}

}  // namespace picaxo
