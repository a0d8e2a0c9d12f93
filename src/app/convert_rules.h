// The rules of the option dialogs, for the desktop dialogs to show and the
// command line to apply: which forms, outputs and boxes the convert dialog
// offers for a picture and what it hands back, the save dialog it leads to,
// and the colour dialog's depth choices.
#pragma once

#include <optional>
#include <string>

#include "image/choices.h"
#include "image/image_buffer.h"
#include "platform/result.h"

namespace pixmill {

struct ConvertOffer {
  bool bitmap = true;
  bool texture = true;
  bool character = true;
  bool binary = true;
  bool text = true;
  bool lzss = true;
  bool palette = true;
};

// The dialog's fields and which of its controls are enabled.
struct ConvertDialogState {
  ExportChoices fields{kFormNone, kFormNone, 0, 0};
  ConvertOffer enabled;
};

// The dialog as it opens for a picture of this depth and size.
ConvertDialogState StartConvertDialog(int bitCount, int width, int height);

// A click on a form radio (bitmap, texture, character): sets the form and
// the enabling that goes with it. The caller then shows the fields again.
void ClickForm(ConvertDialogState& state, int form);

// Why no form at all is offered, for the refusal of an export.
std::string NoFormReason(int bitCount, int width);

// Choices asked for by name (the command line's settings); what is not
// asked for stays as the dialog sets it up.
struct ExportRequest {
  std::optional<int> form;
  std::optional<int> output;
  std::optional<int> lzss;
  std::optional<int> palette;
};

// The dialog set up for the picture, the form clicked, then output, LZSS
// and palette applied. Refused, naming the rule, for what the dialog would
// not offer.
Result ChooseExport(const ImageBuffer& image, const ExportRequest& request, ExportChoices& out);

// Refused, naming the rule, for character choices the export cannot take:
// any but the plain ones with another form than the character form, and a
// negative budget.
Result CheckCharacterChoices(const ExportChoices& choices, const CharacterChoices& characters);

// The export's save dialog: its file types, the name it proposes after
// `count` exports, and the type it preselects (1-based; 0 for none).
inline constexpr const char* kExportSaveFilter =
    "ﾋﾞｯﾄﾏｯﾌﾟ(*.0)|*.0|ﾋﾞｯﾄﾏｯﾌﾟ(*.1)|*.1|DATA(*.d)|*.d|Veltor(*.bas)|*.bas|ALL(*.*)|*.*||";
std::string SuggestedExportName(int count);
int ExportFilterIndex(int bitCount, const ExportChoices& choices);

// The colour dialog's depth radios: 0 "1bit" .. 4 "24bit"; -1 for a depth
// that has none.
int DepthChoiceOf(int bitCount);
int DepthOfChoice(int choice);

}  // namespace pixmill
