#include "app/convert_rules.h"

namespace pixmill {

namespace {

constexpr int kDepths[5] = {1, 4, 8, 16, 24};

std::string FormRule(int form) {
  switch (form) {
    case kFormBitmap:
      return "the bitmap form is offered only for pictures of 8 bits or more";
    case kFormTexture:
      return "the texture form is offered only for pictures whose width is a multiple of 8";
    default:
      return "the character form is offered only for 8-bit pictures whose width and height are multiples of 8";
  }
}

bool FormOffered(const ConvertOffer& offer, int form) {
  return form == kFormBitmap ? offer.bitmap : form == kFormTexture ? offer.texture : offer.character;
}

}  // namespace

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
  s.enabled.palette = bitCount <= 8;
  s.fields.palette = bitCount <= 8 ? 1 : 0;
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

std::string NoFormReason(int bitCount, int width) {
  return "no form is offered for a " + std::to_string(bitCount) + "-bit picture " + std::to_string(width) +
         " pixels wide (the texture form needs a width that is a multiple of 8)";
}

Result ChooseExport(const ImageBuffer& image, const ExportRequest& request, ExportChoices& out) {
  ConvertDialogState d = StartConvertDialog(image.BitCount(), image.Width(), image.Height());
  if (request.form) {
    if (!FormOffered(d.enabled, *request.form)) return Result::Refused(FormRule(*request.form));
    ClickForm(d, *request.form);
  }
  if (d.fields.form == kFormNone) return Result::Refused(NoFormReason(image.BitCount(), image.Width()));
  // A value equal to what the dialog shows is taken even when its control is
  // greyed; only a change needs the control.
  if (request.output && *request.output != d.fields.output) {
    if (!(*request.output == kOutputText ? d.enabled.text : d.enabled.binary)) {
      return Result::Refused("text output is not offered with the bitmap form");
    }
    d.fields.output = *request.output;
  }
  if (request.lzss && *request.lzss != d.fields.lzss) {
    if (!d.enabled.lzss) return Result::Refused("LZSS compression is not offered with the bitmap form");
    d.fields.lzss = *request.lzss;
  }
  if (request.palette && *request.palette != d.fields.palette) {
    if (!d.enabled.palette) return Result::Refused("a palette is offered only for pictures of 8 bits or fewer");
    d.fields.palette = *request.palette;
  }
  out = d.fields;
  return Result::Done();
}

Result CheckCharacterChoices(const ExportChoices& choices, const CharacterChoices& c) {
  if (c.Plain()) return Result::Done();
  if (choices.form != kFormCharacter) {
    return Result::Refused(
        "distinct characters, mirrored ones, a character budget and a map go with the character form");
  }
  if (c.maxCharacters < 0) return Result::Refused("the character budget must be 1 or more");
  return Result::Done();
}

std::string SuggestedExportName(int count) { return "image" + std::to_string(count); }

int ExportFilterIndex(int bitCount, const ExportChoices& c) {
  int index = 0;
  if (c.form == kFormTexture || c.form == kFormCharacter) index = 3;
  if (c.form == kFormBitmap && bitCount == 8) index = 1;
  if (c.form == kFormBitmap && bitCount >= 16) index = 2;
  if (c.output == kOutputText) index = 4;
  return index;
}

int DepthChoiceOf(int bitCount) {
  for (int i = 0; i < 5; ++i) {
    if (kDepths[i] == bitCount) return i;
  }
  return -1;
}

int DepthOfChoice(int choice) { return choice >= 0 && choice < 5 ? kDepths[choice] : 0; }

}  // namespace pixmill
