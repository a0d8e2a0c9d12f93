#include "export/convert_choices.h"

namespace pixmill {

void ClickForm(ConvertDialogState& s, int form) {
  if (form == kFormBitmap) {
    s.fields.form = kFormBitmap;
    s.fields.output = kOutputBinary;
    s.fields.lzss = 0;
    s.enabled.binary = true;
    s.enabled.text = false;
    s.enabled.lzss = false;
  } else if (form == kFormTexture || form == kFormCharacter) {
    s.fields.form = form;
    s.enabled.binary = true;
    s.enabled.text = true;
    s.enabled.lzss = true;
  }
}

ConvertDialogState StartConvertDialog(int bitCount, int width, int height) {
  ConvertDialogState s;  // no radio selected, both boxes clear, all enabled
  s.fields.output = kOutputBinary;
  if (bitCount <= 8) {
    s.enabled.palette = true;
    s.fields.palette = 1;
  } else {
    s.enabled.palette = false;
    s.fields.palette = 0;
  }
  if (bitCount < 8) {
    s.enabled.bitmap = false;
    s.fields.form = kFormTexture;
  } else {
    ClickForm(s, kFormBitmap);
  }
  if (width % 8 != 0) {
    s.enabled.texture = false;
    if (s.fields.form == kFormTexture) s.fields.form = kFormNone;
  }
  s.enabled.character = bitCount == 8 && width % 8 == 0 && height % 8 == 0;
  return s;
}

bool FormOffered(const ConvertDialogState& s, int form) {
  switch (form) {
    case kFormBitmap:
      return s.enabled.bitmap;
    case kFormTexture:
      return s.enabled.texture;
    case kFormCharacter:
      return s.enabled.character;
    default:
      return false;
  }
}

std::string FormRule(int form) {
  switch (form) {
    case kFormBitmap:
      return "the bitmap form is offered only for pictures of 8 bits or more";
    case kFormTexture:
      return "the texture form is offered only for pictures whose width is a multiple of 8";
    case kFormCharacter:
      return "the character form is offered only for 8-bit pictures whose width and height are multiples of 8";
    default:
      return "no such form";
  }
}

std::string NoFormReason(int bitCount, int width) {
  return "no form is offered for a " + std::to_string(bitCount) + "-bit picture " + std::to_string(width) +
         " pixels wide (the texture form needs a width that is a multiple of 8)";
}

}  // namespace pixmill
