// The rules of the convert dialog: which forms, outputs and boxes it offers
// for a picture, and what it hands back. The desktop dialog shows them; the
// command line applies its settings through them.
#pragma once

#include <string>

#include "export/export_writer.h"
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

// Whether a form radio is enabled, and the rule that says why not.
bool FormOffered(const ConvertDialogState& state, int form);
std::string FormRule(int form);

// Why no form at all is offered, for the refusal of an export.
std::string NoFormReason(int bitCount, int width);

}  // namespace pixmill
