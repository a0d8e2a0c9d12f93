#include "color/commands.h"

#include "color/transparent.h"
#include "image/resize.h"

namespace pixmill {

Result TransparentCommand(ImageBuffer& image, uint32_t pickedColor) { return ApplyPickedColor(image, pickedColor); }

Result ScaleCommand(ImageBuffer& image, uint32_t& pickedColor, int32_t width, int32_t height) {
  if (!image.IsValid()) return Result::Refused("there is no picture");
  pickedColor = kKeyColor;
  (void)TransparentCommand(image, pickedColor);
  return Resize(image, width, height);
}

Result ColourCommand(ImageBuffer& image, uint32_t& pickedColor, const ColorSettings& settings, int bits) {
  if (!image.IsValid()) return Result::Refused("there is no picture");
  ApplyColorSettings(image, settings);
  pickedColor = kKeyColor;
  (void)TransparentCommand(image, pickedColor);
  return ChangeColorDepth(image, bits);
}

}  // namespace pixmill
