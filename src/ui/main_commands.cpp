// The main window's commands: Open, Save, Convert, Scale, Colour,
// Transparent, undo and redo, the palette file; each says why it failed.
#include <QApplication>
#include <QColorDialog>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include "app/convert_rules.h"
#include "platform/file_io.h"
#include "platform/version.h"
#include "ui/app_icon.h"
#include "ui/dialog_units.h"
#include "ui/main_dialog.h"

namespace pixmill::ui {

namespace {

constexpr const char* kOpenFilter =
    "ﾋﾞｯﾄﾏｯﾌﾟ(*.BMP)|*.BMP|ﾋﾞｯﾄﾏｯﾌﾟ(*.0)|*.0|ﾋﾞｯﾄﾏｯﾌﾟ(*.1)|*.1|ﾃｸｽﾁｬ(*.d)|*.d|ALL(*.*)|*.*||";

// What lies behind a failure, in the program's words; empty when unknown.
QString CauseText(Result::Cause cause, bool writing) {
  using C = Result::Cause;
  switch (cause) {
    case C::kNotFound:
      return writing ? QCoreApplication::translate("pixmill::ui::MainDialog", "書き込む先のフォルダがありません。")
                     : QCoreApplication::translate("pixmill::ui::MainDialog", "ファイルが見つかりません。");
    case C::kNoPermission:
      return writing
                 ? QCoreApplication::translate("pixmill::ui::MainDialog", "このフォルダに書き込む権限がありません。")
                 : QCoreApplication::translate("pixmill::ui::MainDialog", "ファイルを読む権限がありません。");
    case C::kIsFolder:
      return writing ? QCoreApplication::translate("pixmill::ui::MainDialog", "同じ名前のフォルダがあります。")
                     : QCoreApplication::translate("pixmill::ui::MainDialog", "フォルダは読み込めません。");
    case C::kNoSpace:
      return QCoreApplication::translate("pixmill::ui::MainDialog", "ディスクがいっぱいです。");
    case C::kNotAPicture:
      return QCoreApplication::translate("pixmill::ui::MainDialog",
                                         "このプログラムが読める画像ではありません（BMP、PNG、書き出したデータ）。");
    case C::kDamaged:
      return QCoreApplication::translate("pixmill::ui::MainDialog", "ファイルが壊れています。");
    case C::kTooLarge:
      return writing ? QCoreApplication::translate("pixmill::ui::MainDialog", "書き出せる大きさを超えています。")
                     : QCoreApplication::translate("pixmill::ui::MainDialog", "画像が大きすぎます。");
    case C::kNoMemory:
      return QCoreApplication::translate("pixmill::ui::MainDialog", "メモリが足りません。");
    case C::kCharacters:
      return QCoreApplication::translate("pixmill::ui::MainDialog",
                                         "キャラクタ形式のデータはマップと一緒に読み込みます。");
    case C::kUnknown:
      break;
  }
  return {};
}

// Passes the save prompt on, keeping the path chosen for a message, and
// lets the window settle once the dialog has gone.
class AnsweredPrompt : public SavePathPrompt {
 public:
  AnsweredPrompt(SavePathPrompt& inner, std::function<void()> settle) : m_inner(inner), m_settle(std::move(settle)) {}
  std::optional<std::string> AskSavePath(const SaveRequest& request) override {
    const std::optional<std::string> answer = m_inner.AskSavePath(request);
    if (answer) path = *answer;
    m_settle();
    return answer;
  }
  std::string path;

 private:
  SavePathPrompt& m_inner;
  std::function<void()> m_settle;
};

}  // namespace

QString MainDialog::AskOpenPath() {
  QFileDialog dialog(this);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  std::vector<FileFilter> filters = ParseFilterString(kOpenFilter);
  // PNG, which people keep their pixel art in, after the classic entries.
  filters.push_back({"PNG(*.png)", "*.png"});
  filters.push_back({"Veltor(*.bas)", "*.bas"});
  const QStringList names = QtNameFilters(filters);
  dialog.setNameFilters(names);
  dialog.selectNameFilter(names.front());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front();
}

QString MainDialog::AskPalettePath(bool save) {
  QFileDialog dialog(this);
  QStringList filters = {tr("パレット (*.gpl *.pal *.act *.hex *.txt)")};
  if (save) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("gpl"));
    dialog.selectFile(FromUtf8(TitleOf(m_doc.fileName)) + QStringLiteral(".gpl"));
    filters << tr("RIFF パレット (*.pal)");
  } else {
    dialog.setFileMode(QFileDialog::ExistingFile);
    filters << tr("パレットのある画像 (*.bmp *.BMP *.png *.0 *.1 *.d)");
  }
  dialog.setNameFilters(filters << QCoreApplication::translate("Filters", "ALL(*.*)") + QStringLiteral(" (*)"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  m_riffChosen = save && dialog.selectedNameFilter() == filters[1];
  return dialog.selectedFiles().front();
}

void MainDialog::OnSavePalette() {
  if (m_doc.image.GetBits() == nullptr) return;
  if (m_doc.image.BitCount() > 8) {
    Report(tr("パレットを保存できません。"), SavePaletteCommand(m_doc, {}), true);
    return;
  }
  m_riffChosen = false;
  const QString path = AskPalettePath(true);
  if (path.isEmpty()) return;
  Report(tr("%1 に保存できませんでした。").arg(QFileInfo(path).fileName()),
         SavePaletteCommand(m_doc, ToPath(path), m_riffChosen), true);
}

void MainDialog::OnOpen() {
  const QString path = AskOpenPath();
  if (path.isEmpty()) return;
  Settle();
  LoadPath(path);
}

Result MainDialog::Change(const std::function<Result()>& command, bool* recorded) {
  const bool kept = m_history.Record(m_doc).ok();
  if (recorded) *recorded = kept;
  Result r;
  {
    WaitCursor wait;
    r = command();
  }
  if (!r.ok() && kept) m_history.ForgetIfUnchanged(m_doc);
  return r;
}

bool MainDialog::LoadPath(const QString& path, const QString& mapPath) {
  LoadNotes notes;
  Result r = Change([&] {
    return mapPath.isEmpty() ? LoadCommand(m_doc, ToPath(path), {}, &notes)
                             : LoadCharacterCommand(m_doc, ToPath(path), ToPath(mapPath));
  });
  if (r.ok() && notes.Ambiguous()) {
    // Data whose size fits two layouts: the user says which was meant. The
    // other reading replaces the first within the same undo step.
    ReadingDialog dialog(FromUtf8(BaseName(ToPath(path))), notes.readings, this);
    if (RunModal(dialog) == QDialog::Accepted && dialog.Chosen() > 0) {
      Result again;
      {
        WaitCursor wait;
        again = LoadCommand(m_doc, ToPath(path), LoadOptions{notes.readings[static_cast<size_t>(dialog.Chosen())]});
      }
      Report(tr("%1 を読み込めませんでした。").arg(FromUtf8(BaseName(ToPath(path)))), again, false);
    }
  }
  if (r.cause() == Result::Cause::kCharacters && mapPath.isEmpty()) {
    // A character export: its map makes the picture.
    const QString map = AskMapPath(false);
    if (map.isEmpty()) return false;
    return LoadPath(path, map);
  }
  if (!r.ok()) {
    Report(tr("%1 を読み込めませんでした。").arg(FromUtf8(BaseName(ToPath(path)))), r, false);
    return false;
  }
  PictureChanged();
  return true;
}

void MainDialog::Report(const QString& what, const Result& r, bool writing) {
  if (r.ok() || r.kind() == Result::Kind::kCancelled || r.kind() == Result::Kind::kNothingToDo) return;
  QString text = what;
  const QString cause = CauseText(r.cause(), writing);
  if (!cause.isEmpty()) text += QStringLiteral("\n") + cause;
  text += QStringLiteral("\n(") + FromUtf8(r.reason()) + QStringLiteral(")");
  m_messages->ShowFailure(text.toStdString());
}

void MainDialog::OnSave() {
  if (m_doc.image.GetBits() == nullptr) return;
  AnsweredPrompt prompt(*m_savePrompt, [this] { Settle(); });
  const Result r = SaveCommand(m_doc, prompt);
  Report(tr("%1 に保存できませんでした。").arg(FromUtf8(BaseName(prompt.path))), r, true);
  if (r.ok()) {
    Notice(tr("%1 に %L2 バイトを保存しました")
               .arg(FromUtf8(BaseName(prompt.path)))
               .arg(static_cast<qulonglong>(QFileInfo(FromUtf8(prompt.path)).size())));
  }
}

QString MainDialog::AskMapPath(bool save) {
  QFileDialog dialog(this);
  dialog.setWindowTitle(save ? tr("マップの保存先") : tr("キャラクタのマップを選んでください"));
  dialog.setNameFilters(
      {tr("マップ (*.map *.bas)"), QCoreApplication::translate("Filters", "ALL(*.*)") + QStringLiteral(" (*)")});
  if (save) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("map"));
    dialog.selectFile(FromUtf8(TitleOf(m_doc.fileName)) + QStringLiteral(".map"));
  } else {
    dialog.setFileMode(QFileDialog::ExistingFile);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front();
}

void MainDialog::OnTransparent() {
  if (m_doc.image.GetBits() == nullptr || m_doc.image.BitCount() == 1) return;
  (void)Change([this] { return TransparentCommand(m_doc); });
  PictureChanged();
}

void MainDialog::OnConvert() {
  if (m_doc.image.GetBits() == nullptr) return;
  // Built once and shown again for every export: it opens as new each time.
  if (m_convertDialog == nullptr) m_convertDialog = new ConvertDialog(this);
  ConvertDialog& dialog = *m_convertDialog;
  dialog.m_width = m_doc.image.Width();
  dialog.m_height = m_doc.image.Height();
  dialog.m_bitCount = m_doc.image.BitCount();
  auto picture = std::make_shared<ImageBuffer>();
  if (picture->CopyPictureFrom(m_doc.image).ok()) dialog.m_picture = picture;
  dialog.askMapPath = [this] { return AskMapPath(true); };
  if (RunModal(dialog) == QDialog::Accepted) {
    dialog.m_picture.reset();
    const ExportChoices choices = dialog.Choices();
    const CharacterChoices characters = dialog.Characters();
    if (choices.form < 0) {
      Report(tr("この画像に使えるコンバート形式がありません。幅が8の倍数でない1bit・4bitの画像は書き出せません。"),
             Result::Refused(NoFormReason(m_doc.image.BitCount(), m_doc.image.Width())), true);
    } else {
      AnsweredPrompt prompt(*m_savePrompt, [this] { Settle(); });
      Result r;
      ExportSummary summary;
      {
        WaitCursor wait;
        r = ConvertCommand(m_doc, choices, prompt, nullptr, characters, &summary);
      }
      Report(tr("%1 にコンバートできませんでした。").arg(FromUtf8(BaseName(prompt.path))), r, true);
      if (r.ok() && choices.lzss) {
        // The compression message, as the program's own words have it.
        const QString percent = QString::asprintf("% lld", CompressionPercentOf(summary));
        const QString bytes = QString::asprintf("% lld", static_cast<long long>(summary.stream));
        m_messages->ShowMessage(tr("圧縮率 %1%%2byte ").arg(percent, bytes).toStdString());
      }
      if (r.ok()) {
        Notice(tr("%1 に %L2 バイトを書き出しました")
                   .arg(FromUtf8(BaseName(prompt.path)))
                   .arg(static_cast<qulonglong>(summary.bytes)));
        if (!characters.Plain()) {
          QString text = tr("キャラクタを %L1 個書き出しました。").arg(static_cast<qulonglong>(summary.characters));
          if (!summary.budgetNote.empty()) text += QStringLiteral("\n") + FromUtf8(summary.budgetNote);
          m_messages->ShowMessage(text.toStdString());
        }
      }
    }
  }
  update();
}

void MainDialog::OnScale() {
  if (m_doc.image.GetBits() == nullptr) return;
  ScaleDialog dialog(this, m_messages);
  dialog.m_widthText = QString::number(m_doc.image.Width());
  dialog.m_heightText = QString::number(m_doc.image.Height());
  dialog.m_keepAspectBox = m_keepAspect;
  if (RunModal(dialog) != QDialog::Accepted) return;
  Settle();
  m_keepAspect = dialog.m_keepAspectBox;
  const auto whole = [](double v) {
    return static_cast<int32_t>(std::clamp(std::trunc(v), -2147483648.0, 2147483647.0));
  };
  const Result r = Change([&] { return ScaleCommand(m_doc, whole(dialog.m_newWidth), whole(dialog.m_newHeight)); });
  PictureChanged();
  Report(tr("拡大縮小できませんでした。"), r, false);
}

void MainDialog::OnColor() {
  if (m_doc.image.GetBits() == nullptr) return;
  ColorDialog dialog(this, m_messages);
  dialog.m_depthChoice = DepthChoiceOf(m_doc.image.BitCount());
  dialog.m_dither = m_ditherChoice;
  dialog.m_paletteType = m_paletteChoice;
  dialog.m_paletteFile = m_paletteFile;
  dialog.askPaletteFile = [this] { return AskPalettePath(false); };
  if (RunModal(dialog) != QDialog::Accepted) return;
  Settle();
  m_ditherChoice = dialog.m_dither;
  m_paletteChoice = dialog.m_paletteType;
  m_paletteFile = dialog.m_paletteFile;
  ColourSettings settings{m_ditherChoice, m_paletteChoice, dialog.m_precisionValue, {}};
  if (m_paletteChoice == kPaletteGiven) {
    // Read afresh each time: the file may have changed since it was chosen.
    if (Result r = ReadPalette(ToPath(m_paletteFile), settings.palette); !r.ok()) {
      Report(tr("パレット %1 を読み込めませんでした。").arg(QFileInfo(m_paletteFile).fileName()), r, false);
      return;
    }
  }
  const int depth = DepthOfChoice(dialog.m_depthChoice);
  if (depth == 0) return;
  bool recorded = false;
  const Result r = Change([&] { return ColourCommand(m_doc, settings, depth); }, &recorded);
  PictureChanged();
  Report(tr("色数を変更できませんでした。"), r, false);
  if (!r.ok() || !recorded) return;
  // How far the change moved the picture: measured on copies beside the
  // window, which stays free meanwhile.
  auto before = std::make_shared<ImageBuffer>();
  auto after = std::make_shared<ImageBuffer>();
  const ImageBuffer* previous = m_history.Previous();
  if (previous == nullptr || !before->CopyPictureFrom(*previous).ok() || !after->CopyPictureFrom(m_doc.image).ok()) {
    return;
  }
  m_measuredSerial = m_pictureSerial;
  m_measuredDepth = depth;
  m_measuring.setFuture(
      QtConcurrent::run([before, after] { return MeasureChange(*before, *after, after->TransparentMask()); }));
}

void MainDialog::ShowMeasuredChange() {
  if (m_measuredSerial != m_pictureSerial) return;  // the picture has changed since
  const ChangeReport change = m_measuring.result();
  m_changeReport =
      tr("%1bit: PSNR %2 dB, ΔE %3").arg(m_measuredDepth).arg(change.psnr, 0, 'f', 2).arg(change.meanDeltaE, 0, 'f', 2);
  if (!preview->underMouse()) pixelStatus->setText(m_changeReport);
}

void MainDialog::OnEntryClicked(int entry, bool partner) {
  PaletteSwatches* swatches = palettePanel->swatches;
  if (partner) {
    swatches->SetPartner(entry);
  } else {
    swatches->SetChosen(entry);
    // Its colour is the picked one, and the pixels that use it show.
    m_doc.pickedColor = SwapRedBlue(m_doc.image.GetPaletteColor(static_cast<uint32_t>(entry)) & 0xFFFFFF);
    PaintSwatch();
    preview->Highlight(entry);
  }
  palettePanel->Describe(m_doc.image);
}

QColor MainDialog::AskColour(const QColor& initial) {
  return QColorDialog::getColor(initial, this, tr("パレットの色"));
}

void MainDialog::EditPalette(const std::function<Result()>& edit, std::optional<int> chosen,
                             std::optional<int> partner) {
  const Result r = Change(edit);
  Report(tr("パレットを変更できませんでした。"), r, false);
  if (!r.ok()) return;
  palettePanel->swatches->SetChosen(chosen);
  palettePanel->swatches->SetPartner(partner);
  PictureChanged();
}

void MainDialog::OnEditEntry() {
  const std::optional<int> chosen = palettePanel->swatches->Chosen();
  if (!chosen || m_doc.image.BitCount() > 8) return;
  const uint32_t rgb = m_doc.image.GetPaletteColor(static_cast<uint32_t>(*chosen)) & 0xFFFFFF;
  const QColor colour = AskColour(QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
  if (!colour.isValid()) return;
  const uint32_t now = static_cast<uint32_t>(colour.red()) << 16 | static_cast<uint32_t>(colour.green()) << 8 |
                       static_cast<uint32_t>(colour.blue());
  EditPalette([&] { return SetPaletteEntryCommand(m_doc, *chosen, now); }, chosen, palettePanel->swatches->Partner());
}

void MainDialog::OnSwapEntries() {
  const std::optional<int> a = palettePanel->swatches->Chosen(), b = palettePanel->swatches->Partner();
  if (!a || !b) return;
  EditPalette([&] { return SwapPaletteEntriesCommand(m_doc, *a, *b); }, b, a);  // the choice goes with its colour
}

void MainDialog::OnMoveEntry(int by) {
  const std::optional<int> from = palettePanel->swatches->Chosen();
  if (!from) return;
  const int to = *from + by;
  EditPalette([&] { return MovePaletteEntryCommand(m_doc, *from, to); }, to, std::nullopt);
}

void MainDialog::OnLoadPalette() {
  if (m_doc.image.GetBits() == nullptr) return;
  const QString path = AskPalettePath(false);
  if (path.isEmpty()) return;
  ColourSettings settings;
  settings.dither = m_ditherChoice;
  if (Result r = ReadPalette(ToPath(path), settings.palette); !r.ok()) {
    Report(tr("パレット %1 を読み込めませんでした。").arg(QFileInfo(path).fileName()), r, false);
    return;
  }
  EditPalette([&] { return ApplyPaletteCommand(m_doc, settings); }, std::nullopt, std::nullopt);
}

void MainDialog::OnUndo() {
  if (m_history.Undo(m_doc)) PictureChanged();
}

void MainDialog::OnRedo() {
  if (m_history.Redo(m_doc)) PictureChanged();
}

void MainDialog::OnAbout() {
  AboutDialog about(this);
  RunAbout(about);
}

}  // namespace pixmill::ui
