#include "cli/run.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/convert_rules.h"
#include "app/document.h"
#include "cli/options.h"
#include "cli/plan.h"
#include "cli/progress.h"
#include "platform/threads.h"

namespace pixmill::cli {

namespace {

void Say(const std::string& text) { std::fprintf(stderr, "%s: %s\n", kName, text.c_str()); }

// A save dialog that answers with the path the command line gave.
class FixedPath : public SavePathPrompt {
 public:
  explicit FixedPath(std::string path) : m_path(std::move(path)) {}
  std::optional<std::string> AskSavePath(const SaveRequest&) override { return m_path; }

 private:
  std::string m_path;
};

// The settings met so far.
struct Settings {
  ColourSettings colour;  // dither 1, optimised, precision 8
  ExportRequest exportRequest;
  CharacterChoices characters;  // its map path expanded for the picture
  bool sharedCharacters = false;
  bool measure = false;  // --report
  CellGrid grid;
  bool skipEmpty = false;
  bool riffPalette = false;
};

// What a gathered export needs of each picture: a copy of it, and the
// choices and paths it was reached with.
struct Gathered {
  std::shared_ptr<ImageBuffer> picture;
  ExportChoices choices;
  CharacterChoices characters;
  std::string path;
};

// What one picture's run leaves to report and to carry on with.
struct Outcome {
  bool failed = false;
  std::string step;  // the step that failed, as given, or "load"
  std::string reason;
  std::string notes;                                 // lines for standard error
  std::string info;                                  // lines for standard output
  std::map<size_t, std::vector<uint32_t>> palettes;  // the shared palette saves reached
  std::map<size_t, bool> riff;                       // which of them are RIFF palettes
  std::map<size_t, Gathered> gathered;               // the gathered exports reached
  // At the cut into cells: the cells, and the settings they go on with.
  std::vector<SheetCell> cells;
  Settings settings;
};

// What a run says along the way: printed at once when `label` is null;
// otherwise kept, each line under the label, for the picture's turn.
class Reporter : public MessageSink {
 public:
  Reporter(const std::string* label, Outcome& outcome) : m_label(label), m_outcome(outcome) {}
  void ShowMessage(const std::string& text) override { Error(text); }
  void Note(const std::string& text) { Error(m_label ? text : std::string(kName) + ": " + text); }
  void Info(const std::string& text) {
    if (m_label != nullptr) {
      m_outcome.info += *m_label + ": " + text + "\n";
      return;
    }
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
  }

 private:
  void Error(const std::string& text) {
    if (m_label != nullptr) {
      m_outcome.notes += *m_label + ": " + text + "\n";
    } else {
      std::fprintf(stderr, "%s\n", text.c_str());
    }
  }
  const std::string* m_label;
  Outcome& m_outcome;
};

// How a run of the steps goes: to the end, or, to fit a shared palette,
// only as far as that depth step, with no output written.
struct Pass {
  std::optional<size_t> sampleAt;
  PaletteSamples* samples = nullptr;
  const std::map<size_t, std::vector<uint32_t>>* fitted = nullptr;  // shared palettes, by step
};

// One picture the steps run on: an input, or a cell of one.
struct Item {
  size_t input;
  std::optional<CellName> cell;
};

// The steps of one picture, one handler a kind of step. Each handler sees
// the settings met so far, the step's index and its output path.
class Steps {
 public:
  Steps(const Plan& plan, const Pass& pass, Document& doc, Settings& settings, Outcome& out, Reporter& report,
        TerminalProgress& progress)
      : m_plan(plan),
        m_pass(pass),
        m_doc(doc),
        m_settings(settings),
        m_out(out),
        m_report(report),
        m_progress(progress) {}

  // Runs step k, whose output path (if any) is `path`.
  Result Run(const Step& step, size_t k, const std::string& path) {
    m_k = k;
    m_path = &path;
    return std::visit(*this, step);
  }

  Result operator()(const Dither& s) { return Set(m_settings.colour.dither, s.mode); }
  Result operator()(const PaletteKindSetting& s) { return Set(m_settings.colour.paletteKind, s.kind); }
  Result operator()(const PaletteFile& s) {
    Result r = ReadPalette(s.file, m_settings.colour.palette);
    if (r.ok()) m_settings.colour.paletteKind = kPaletteGiven;
    return r;
  }
  Result operator()(const Precision& s) { return Set(m_settings.colour.precision, s.value); }
  Result operator()(const Report&) { return Set(m_settings.measure, true); }
  Result operator()(const SharedPalette&) { return Result::Done(); }  // the plan's
  Result operator()(const Form& s) { return Set(m_settings.exportRequest.form, s.form); }
  Result operator()(const Output& s) { return Set(m_settings.exportRequest.output, s.output); }
  Result operator()(const Lzss& s) { return Set(m_settings.exportRequest.lzss, s.on); }
  Result operator()(const PaletteBox& s) { return Set(m_settings.exportRequest.palette, s.on); }
  Result operator()(const CellMargin& s) { return Set(m_settings.grid.margin, s.pixels); }
  Result operator()(const CellSpacing& s) { return Set(m_settings.grid.spacing, s.pixels); }
  Result operator()(const SkipEmpty&) { return Set(m_settings.skipEmpty, true); }
  Result operator()(const RiffPalette&) { return Set(m_settings.riffPalette, true); }
  Result operator()(const Unique&) { return Set(m_settings.characters.unique, true); }
  Result operator()(const Flips&) { return Set(m_settings.characters.flips, true); }
  Result operator()(const MaxCharacters& s) {
    if (s.count < 1) return Result::Refused("the character budget must be 1 or more");
    return Set(m_settings.characters.maxCharacters, s.count);
  }
  Result operator()(const SharedCharacters&) { return Set(m_settings.sharedCharacters, true); }
  Result operator()(const MapFile&) { return Set(m_settings.characters.mapPath, *m_path); }
  Result operator()(const Cells&) { return Result::Done(); }  // the run's: it cuts the picture
  Result operator()(const Resize& s) { return ScaleCommand(m_doc, s.width, s.height); }
  Result operator()(const Depth& s) {
    ColourSettings settings = m_settings.colour;
    if (const auto shared = m_pass.fitted->find(m_k); shared != m_pass.fitted->end()) settings.fitted = shared->second;
    ChangeReport measured{};
    Result r = ColourCommand(m_doc, settings, s.bits, m_settings.measure ? &measured : nullptr);
    if (m_settings.measure && r.ok()) m_report.Info(ReportLine(s.bits, measured));
    return r;
  }
  Result operator()(const Pick& s) {
    PickCommand(m_doc, s.x, s.y);
    return Result::Done();
  }
  Result operator()(const PickColour& s) { return Set(m_doc.pickedColor, s.colour); }
  Result operator()(const Transparent&) { return TransparentCommand(m_doc); }
  Result operator()(const SaveBmp&) {
    FixedPath prompt(*m_path);
    return SaveCommand(m_doc, prompt);
  }
  Result operator()(const SavePng&) { return SavePngCommand(m_doc, *m_path); }
  Result operator()(const SavePalette&) {
    if (m_plan.sharedSaves.count(m_k) != 0) {  // written once, after all
      m_out.riff[m_k] = m_settings.riffPalette;
      return PaletteOf(m_doc, m_out.palettes[m_k]);
    }
    return SavePaletteCommand(m_doc, *m_path, m_settings.riffPalette);
  }
  Result operator()(const Export&) {
    ExportChoices choices;
    if (Result r = ChooseExport(m_doc.image, m_settings.exportRequest, choices); !r.ok()) return r;
    CharacterChoices characters = m_settings.characters;
    m_settings.characters.mapPath.clear();  // a map goes with one export
    if (Result r = CheckCharacterChoices(choices, characters); !r.ok()) return r;
    if (m_plan.frames.count(m_k) != 0 || m_plan.sharedCharacters.count(m_k) != 0) {
      auto copy = std::make_shared<ImageBuffer>();
      if (Result r = copy->CopyPictureFrom(m_doc.image); !r.ok()) return r;
      m_out.gathered[m_k] = Gathered{copy, choices, characters, *m_path};
      return Result::Done();
    }
    FixedPath prompt(*m_path);
    m_progress.End();
    ExportSummary summary;
    Result r = ConvertCommand(m_doc, choices, prompt, &m_report, characters, &summary);
    if (r.ok() && !summary.budgetNote.empty()) m_report.Note(summary.budgetNote);
    if (r.ok() && m_settings.measure) m_report.Info("export " + *m_path + ": " + ExportSizeLine(choices, summary));
    return r;
  }
  Result operator()(const Info&) {
    const ImageBuffer& image = m_doc.image;
    m_report.Info(std::to_string(image.Width()) + "x" + std::to_string(image.Height()) + "x" +
                  std::to_string(image.BitCount()));
    return Result::Done();
  }

 private:
  template <typename T, typename V>
  static Result Set(T& field, V value) {
    field = static_cast<T>(value);
    return Result::Done();
  }

  const Plan& m_plan;
  const Pass& m_pass;
  Document& m_doc;
  Settings& m_settings;
  Outcome& m_out;
  Reporter& m_report;
  TerminalProgress& m_progress;
  size_t m_k = 0;
  const std::string* m_path = nullptr;
};

// A run's fixed parts, shared by every picture of it.
struct RunContext {
  const CommandLine& cl;
  const Plan& plan;
  bool batch;  // several inputs, or cells: each picture's lines are kept for its turn
};

std::string LabelOf(const RunContext& run, const Item& item) {
  const std::string& input = run.cl.inputs[item.input];
  return item.cell ? input + " cell " + std::to_string(item.cell->index) : input;
}

// Runs steps from..to - 1 of one picture; at the cut into cells, keeps the
// cells and the settings in `out` and ends.
void RunSteps(const RunContext& run, const Item& item, Document& doc, Settings settings, size_t from, size_t to,
              const Pass& pass, Outcome& out) {
  const std::string label = LabelOf(run, item);
  Reporter report(run.batch || pass.sampleAt ? &label : nullptr, out);
  TerminalProgress progress;
  if (!run.batch && !pass.sampleAt && ::isatty(STDERR_FILENO) != 0) doc.image.SetProgressBar(&progress);
  Steps steps(run.plan, pass, doc, settings, out, report, progress);
  const std::string cellNote = item.cell ? " (cell " + std::to_string(item.cell->index) + ")" : "";
  for (size_t k = from; k < to; ++k) {
    const Action& a = run.cl.actions[k];
    const std::string* pattern = OutputPath(a.step);
    if (pass.sampleAt == k) {
      CountColourSamples(doc, settings.colour, std::get<Depth>(a.step).bits, *pass.samples);
      break;
    }
    if (pass.sampleAt && (pattern != nullptr || std::holds_alternative<Info>(a.step))) continue;
    out.step = a.given + cellNote;
    if (run.plan.cellsAt == k) {
      const auto& cells = std::get<Cells>(a.step);
      settings.grid.width = cells.width;
      settings.grid.height = cells.height;
      size_t cutOff = 0, skipped = 0;
      const Result r = CutCommand(doc, settings.grid, settings.skipEmpty, out.cells, cutOff, skipped);
      if (!r.ok()) {
        out.failed = true;
        out.reason = r.reason();
        return;
      }
      auto cellsText = [](size_t n) { return std::to_string(n) + (n == 1 ? " cell" : " cells"); };
      if (cutOff > 0) report.Note(a.given + ": " + cellsText(cutOff) + " the edge cuts through left out");
      if (skipped > 0)
        report.Note(a.given + ": " + cellsText(skipped) + " with no pixel but transparent ones left out");
      out.settings = settings;
      return;
    }
    progress.Begin(out.step);
    const std::string path =
        pattern != nullptr ? Expand(*pattern, run.cl.inputs[item.input], item.input, item.cell) : std::string();
    const Result r = steps.Run(a.step, k, path);
    progress.End();
    if (r.kind() == Result::Kind::kNothingToDo) {
      report.Note(out.step + ": nothing to do: " + r.reason());
    } else if (!r.ok()) {
      out.failed = true;
      out.reason = r.reason();
      out.palettes.erase(k);
      return;
    }
  }
  out.step.clear();
}

// Loads an input and runs its steps up to `to`, or to the cut into cells.
Outcome RunInput(const RunContext& run, size_t n, size_t to, const Pass& pass) {
  Outcome out;
  out.step = "load";
  try {
    Document doc(run.cl.keyColour);
    LoadNotes notes;
    const Result loaded = run.cl.charMap.empty()
                              ? LoadCommand(doc, run.cl.inputs[n], LoadOptions{run.cl.readAs}, &notes)
                              : LoadCharacterCommand(doc, run.cl.inputs[n], run.cl.charMap);
    if (!loaded.ok()) {
      out.failed = true;
      out.reason = loaded.reason();
      return out;
    }
    if (const std::string note = ReadingNote(notes); !note.empty() && !pass.sampleAt) {
      if (run.batch) {
        out.notes += run.cl.inputs[n] + ": " + note + "\n";
      } else {
        Say(run.cl.inputs[n] + ": " + note);
      }
    }
    RunSteps(run, Item{n, std::nullopt}, doc, Settings{}, 0,
             std::min(to, run.plan.cellsAt ? *run.plan.cellsAt + 1 : to), pass, out);
  } catch (const std::bad_alloc&) {
    out.failed = true;
    out.reason = "not enough memory";
  }
  return out;
}

// A cell runs on from the cut, with the settings met before it.
Outcome RunCell(const RunContext& run, const Item& item, const Document& cell, const Settings& settings, size_t to,
                const Pass& pass) {
  Outcome out;
  try {
    Document doc(cell.KeyColour());
    doc.fileName = cell.fileName;
    doc.pickedColor = cell.pickedColor;
    if (Result r = doc.image.CopyPictureFrom(cell.image); !r.ok()) throw std::bad_alloc();
    RunSteps(run, item, doc, settings, *run.plan.cellsAt + 1, to, pass, out);
  } catch (const std::bad_alloc&) {
    out.failed = true;
    out.step = "cell " + std::to_string(item.cell->index);
    out.reason = "not enough memory";
  }
  return out;
}

// Runs work(i) for i in 0 .. count - 1, `jobs` at a time, and hands each
// outcome to ended(i, outcome) in order, as soon as every one before it has
// ended; `progress` shows how many have ended. This thread is one of the
// `jobs`: between its own pictures it hands on the outcomes that are
// ready, so a batch of small pictures does not wake it for every one.
template <typename Work, typename Ended>
void RunInOrder(size_t count, unsigned jobs, TerminalProgress* progress, Work work, Ended ended) {
  std::vector<std::optional<Outcome>> outcomes(count);
  std::mutex mutex;
  std::condition_variable changed;
  std::atomic<size_t> next{0};
  size_t finished = 0;
  bool waiting = false;  // this thread waits for a helper's outcome
  auto store = [&](size_t n, Outcome outcome) {
    const std::lock_guard<std::mutex> lock(mutex);
    outcomes[n] = std::move(outcome);
    ++finished;
    if (waiting) changed.notify_one();
  };
  auto helper = [&] {
    for (size_t n; (n = next++) < count;) store(n, work(n));
  };
  size_t shown = 0;  // the outcomes before this one are handed on
  auto handOn = [&](std::unique_lock<std::mutex>& lock) {
    if (progress) progress->Count(finished, count);
    for (; shown < count && outcomes[shown]; ++shown) {
      Outcome outcome = std::move(*outcomes[shown]);
      outcomes[shown].reset();
      lock.unlock();
      if (progress) progress->End();
      ended(shown, std::move(outcome));
      lock.lock();
      if (progress) progress->Count(finished, count);
    }
  };
  // Pictures worked on side by side share the cores between them.
  const auto workers = static_cast<unsigned>(std::max<size_t>(1, std::min<size_t>(jobs, count)));
  SetPictureThreads(static_cast<int>(std::max(1u, std::thread::hardware_concurrency() / workers)));
  std::vector<std::jthread> threads;
  for (unsigned t = 1; t < workers; ++t) threads.emplace_back(helper);
  for (size_t n; (n = next++) < count;) {
    Outcome outcome = work(n);
    std::unique_lock<std::mutex> lock(mutex);
    outcomes[n] = std::move(outcome);
    ++finished;
    handOn(lock);
  }
  std::unique_lock<std::mutex> lock(mutex);
  while (shown < count) {
    waiting = true;
    changed.wait(lock, [&] { return outcomes[shown].has_value(); });
    waiting = false;
    handOn(lock);
  }
  lock.unlock();
  if (progress) progress->End();
}

// The pictures the steps after the cut run on: every cell of every input.
struct CellItem {
  Item item;
  const SheetCell* cell;
  const Settings* settings;
};

// What each input came to, for its line in a batch.
struct InputEnd {
  bool failed = false;
  std::string step;
  std::string reason;
  void Fail(const std::string& at, const std::string& why) {
    if (!failed) *this = {true, at, why};
  }
};

// Prints what a picture's run said, and keeps its failure for its input.
void Record(InputEnd& end, const Outcome& out) {
  std::fputs(out.info.c_str(), stdout);
  std::fflush(stdout);
  std::fputs(out.notes.c_str(), stderr);
  if (out.failed) end.Fail(out.step, out.reason);
}

// Messages of what is written once for several pictures: under the input's
// name, or the run's.
class Lines : public MessageSink {
 public:
  explicit Lines(std::string label) : m_label(std::move(label)) {}
  void ShowMessage(const std::string& text) override {
    std::fprintf(stderr, "%s: %s\n", m_label.c_str(), text.c_str());
  }

 private:
  std::string m_label;
};

}  // namespace

int Run(const CommandLine& cl) {
  const Plan plan = PlanRun(cl);
  for (const std::string& note : plan.notes) std::fprintf(stderr, "%s: %s\n", kName, note.c_str());
  const size_t count = cl.inputs.size();
  const size_t all = cl.actions.size();
  const unsigned jobs = cl.jobs != 0 ? cl.jobs : std::max(1u, std::thread::hardware_concurrency());
  const bool cells = plan.cellsAt.has_value();
  const RunContext run{cl, plan, count > 1 || cells};
  TerminalProgress bar;
  TerminalProgress* progress = run.batch && ::isatty(STDERR_FILENO) != 0 ? &bar : nullptr;
  std::map<size_t, std::vector<uint32_t>> fitted;

  // A shared palette is fitted to the samples of every input (or cell) as
  // it stands at that step, then used by every one of them.
  auto share = [&](size_t k, size_t pictures, auto runTo) {
    PaletteSamples samples;
    std::mutex adding;
    bar.Begin("fitting the shared palette");
    RunInOrder(
        pictures, jobs, progress,
        [&](size_t i) {
          PaletteSamples mine;
          (void)runTo(i, Pass{k, &mine, &fitted});
          const std::lock_guard<std::mutex> lock(adding);
          samples.Add(mine);
          return Outcome{};
        },
        [](size_t, Outcome) {});
    fitted[k] = samples.Fit(std::get<Depth>(cl.actions[k].step).bits);
  };
  for (const size_t k : plan.sharedDepths) {
    if (cells && k > *plan.cellsAt) continue;
    share(k, count, [&](size_t n, const Pass& pass) { return RunInput(run, n, k + 1, pass); });
  }

  std::vector<InputEnd> ends(count);
  std::vector<std::pair<size_t, Outcome>> reached;  // by input, the gathered exports and palettes
  auto keep = [&](size_t n, Outcome& out) {
    if (!out.gathered.empty() || !out.palettes.empty()) reached.emplace_back(n, std::move(out));
  };
  auto line = [&](size_t n) {
    std::fprintf(stderr, "%s: %s\n", cl.inputs[n].c_str(),
                 ends[n].failed ? ("failed at " + ends[n].step + ": " + ends[n].reason).c_str() : "done");
  };

  // The inputs: to the end, or to the cut.
  std::vector<Outcome> sheets(cells ? count : 0);
  if (!run.batch) {
    Outcome out = RunInput(run, 0, all, Pass{{}, nullptr, &fitted});
    if (out.failed) ends[0].Fail(out.step, out.reason);
    keep(0, out);
  } else {
    bar.Begin(cells ? "pictures cut" : "pictures done");
    RunInOrder(
        count, jobs, progress,
        [&](size_t n) {
          return RunInput(run, n, all, Pass{{}, nullptr, &fitted});
        },
        [&](size_t n, Outcome out) {
          Record(ends[n], out);
          if (cells) {
            sheets[n] = std::move(out);
            return;
          }
          keep(n, out);
          line(n);
        });
  }

  // The cells: from the cut to the end.
  if (cells) {
    std::vector<CellItem> items;
    for (size_t n = 0; n < count; ++n) {
      if (ends[n].failed) continue;
      for (size_t c = 0; c < sheets[n].cells.size(); ++c) {
        items.push_back({Item{n, CellName{c, sheets[n].cells[c].place}}, &sheets[n].cells[c], &sheets[n].settings});
      }
    }
    for (const size_t k : plan.sharedDepths) {
      if (k < *plan.cellsAt) continue;
      share(k, items.size(), [&](size_t i, const Pass& pass) {
        return RunCell(run, items[i].item, items[i].cell->doc, *items[i].settings, k + 1, pass);
      });
    }
    bar.Begin("cells done");
    RunInOrder(
        items.size(), jobs, progress,
        [&](size_t i) {
          return RunCell(run, items[i].item, items[i].cell->doc, *items[i].settings, all, Pass{{}, nullptr, &fitted});
        },
        [&](size_t i, Outcome out) {
          Record(ends[items[i].item.input], out);
          keep(items[i].item.input, out);
        });
  }

  // What is written once for several pictures: a shared palette, an input's
  // cells in one file, one character set for all.
  int status = 0;
  std::map<size_t, std::pair<size_t, std::vector<uint32_t>>> sharedPalettes;   // by step: first input, palette
  std::map<size_t, std::vector<std::pair<size_t, const Gathered*>>> gathered;  // by step: input, export
  for (auto& [n, out] : reached) {
    for (auto& [k, palette] : out.palettes) sharedPalettes.try_emplace(k, n, std::move(palette));
    for (const auto& [k, g] : out.gathered) gathered[k].push_back({n, &g});
  }
  for (const auto& [k, first] : sharedPalettes) {
    const std::string& pattern = *OutputPath(cl.actions[k].step);
    const bool riff = std::any_of(reached.begin(), reached.end(),
                                  [k = k](const auto& o) { return o.second.riff.count(k) && o.second.riff.at(k); });
    if (Result r = SavePaletteCommand(first.second, Expand(pattern, cl.inputs[first.first], first.first), riff);
        !r.ok()) {
      Say("--save-palette " + pattern + ": " + r.reason());
      status = 1;
    }
  }
  for (const auto& [k, exports] : gathered) {
    const Gathered& first = *exports.front().second;
    if (plan.sharedCharacters.count(k) != 0) {
      std::vector<const ImageBuffer*> pictures;
      std::vector<std::string> maps;
      bool anyMap = false;
      for (const auto& [n, g] : exports) {
        pictures.push_back(g->picture.get());
        maps.push_back(g->characters.mapPath);
        anyMap = anyMap || !g->characters.mapPath.empty();
      }
      ExportSummary summary;
      Lines messages(kName);
      Result r = ExportCharacterSetCommand(pictures, first.choices, first.characters, first.path,
                                           anyMap ? maps : std::vector<std::string>(), &messages, &summary);
      if (r.ok() && !summary.budgetNote.empty()) messages.ShowMessage(summary.budgetNote);
      if (!r.ok()) {
        Say(cl.actions[k].given + ": " + r.reason());
        status = 1;
      }
      continue;
    }
    // An input's cells, one file for each input.
    for (size_t at = 0; at < exports.size();) {
      const size_t n = exports[at].first;
      std::vector<const ImageBuffer*> pictures;
      for (; at < exports.size() && exports[at].first == n; ++at) pictures.push_back(exports[at].second->picture.get());
      Lines messages(count > 1 || cells ? cl.inputs[n] : std::string(kName));
      const Gathered& mine = *exports[at - 1].second;
      if (Result r = ExportFramesCommand(pictures, mine.choices, mine.path, &messages); !r.ok()) {
        ends[n].Fail(cl.actions[k].given, r.reason());
      }
    }
  }

  for (size_t n = 0; n < count; ++n) {
    if (ends[n].failed) status = 1;
    if (count > 1 && cells) line(n);
  }
  if (count == 1 && ends[0].failed) {
    Say(ends[0].step == "load" ? ends[0].reason : ends[0].step + ": " + ends[0].reason);
  }
  return status;
}

}  // namespace pixmill::cli
