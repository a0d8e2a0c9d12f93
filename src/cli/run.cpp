#include "cli/run.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/convert_rules.h"
#include "app/document.h"
#include "cli/options.h"
#include "cli/plan.h"

namespace pixmill::cli {

namespace {

void Say(const std::string& text) { std::fprintf(stderr, "%s: %s\n", kName, text.c_str()); }

// Progress on standard error while it is a terminal: the step of a single
// picture, or how many pictures of a batch have ended.
class TerminalProgress : public ProgressSink {
 public:
  void Begin(const std::string& step) {
    m_step = step;
    m_shown = false;
  }
  void End() {
    if (m_shown) std::fprintf(stderr, "\r%*s\r", 60, "");
    m_shown = false;
  }
  void SetRange(int lo, int hi) override {
    m_lo = lo;
    m_hi = hi;
  }
  void SetPosition(int pos) override {
    if (m_hi <= m_lo) return;
    const int percent = static_cast<int>(100LL * (pos - m_lo) / (m_hi - m_lo));
    if (percent == m_last && m_shown) return;
    m_last = percent;
    std::fprintf(stderr, "\r%s: %s %3d%%", kName, m_step.c_str(), percent);
    std::fflush(stderr);
    m_shown = true;
  }
  void Count(size_t done, size_t total) {
    std::fprintf(stderr, "\r%s: %s %zu/%zu", kName, m_step.c_str(), done, total);
    std::fflush(stderr);
    m_shown = true;
  }

 private:
  std::string m_step;
  int m_lo = 0;
  int m_hi = 0;
  int m_last = -1;
  bool m_shown = false;
};

// A save dialog that answers with the path the command line gave.
class FixedPath : public SavePathPrompt {
 public:
  explicit FixedPath(std::string path) : m_path(std::move(path)) {}
  std::optional<std::string> AskSavePath(const SaveRequest&) override { return m_path; }

 private:
  std::string m_path;
};

// What one input's run leaves to report.
struct Outcome {
  bool failed = false;
  std::string step;  // the step that failed, as given, or "load"
  std::string reason;
  std::string notes;                                 // lines for standard error
  std::string info;                                  // lines for standard output
  std::map<size_t, std::vector<uint32_t>> palettes;  // the shared palette saves reached
};

// What a run says along the way: printed at once for a single input; kept,
// each line under the input's name, for its turn in a batch.
class Reporter : public MessageSink {
 public:
  Reporter(const std::string* name, Outcome& outcome) : m_name(name), m_outcome(outcome) {}
  void ShowMessage(const std::string& text) override { Error(text); }
  void Note(const std::string& text) { Error(m_name ? text : std::string(kName) + ": " + text); }
  void Info(const std::string& text) {
    if (m_name != nullptr) {
      m_outcome.info += *m_name + ": " + text + "\n";
      return;
    }
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
  }

 private:
  void Error(const std::string& text) {
    if (m_name != nullptr) {
      m_outcome.notes += *m_name + ": " + text + "\n";
    } else {
      std::fprintf(stderr, "%s\n", text.c_str());
    }
  }
  const std::string* m_name;
  Outcome& m_outcome;
};

// How a run of the steps goes: to the end, or, to fit a shared palette,
// only as far as that depth step, with no output written.
struct Pass {
  std::optional<size_t> sampleAt;
  PaletteSamples* samples = nullptr;
  const std::map<size_t, std::vector<uint32_t>>* fitted = nullptr;  // shared palettes, by step
};

// The steps of one input, one handler a kind of step. Each handler sees
// the settings met so far, the step's index and its output path.
class Steps {
 public:
  Steps(const Plan& plan, const Pass& pass, Document& doc, Outcome& out, Reporter& report, TerminalProgress& progress)
      : m_plan(plan), m_pass(pass), m_doc(doc), m_out(out), m_report(report), m_progress(progress) {}

  // Runs step k, whose output path (if any) is `path`.
  Result Run(const Step& step, size_t k, const std::string& path) {
    m_k = k;
    m_path = &path;
    return std::visit(*this, step);
  }

  Result operator()(const Dither& s) { return Set(m_colour.dither, s.mode); }
  Result operator()(const PaletteKindSetting& s) { return Set(m_colour.paletteKind, s.kind); }
  Result operator()(const PaletteFile& s) {
    Result r = ReadPalette(s.file, m_colour.palette);
    if (r.ok()) m_colour.paletteKind = kPaletteGiven;
    return r;
  }
  Result operator()(const Precision& s) { return Set(m_colour.precision, s.value); }
  Result operator()(const Report&) { return Set(m_measure, true); }
  Result operator()(const SharedPalette&) { return Result::Done(); }  // the plan's
  Result operator()(const Form& s) { return Set(m_export.form, s.form); }
  Result operator()(const Output& s) { return Set(m_export.output, s.output); }
  Result operator()(const Lzss& s) { return Set(m_export.lzss, s.on); }
  Result operator()(const PaletteBox& s) { return Set(m_export.palette, s.on); }
  Result operator()(const Resize& s) { return ScaleCommand(m_doc, s.width, s.height); }
  Result operator()(const Depth& s) {
    ColourSettings settings = m_colour;
    if (const auto shared = m_pass.fitted->find(m_k); shared != m_pass.fitted->end()) settings.fitted = shared->second;
    ChangeReport measured{};
    Result r = ColourCommand(m_doc, settings, s.bits, m_measure ? &measured : nullptr);
    if (m_measure && r.ok()) m_report.Info(ReportLine(s.bits, measured));
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
  Result operator()(const SavePalette&) {
    if (m_plan.sharedSaves.count(m_k) != 0)
      return PaletteOf(m_doc, m_out.palettes[m_k]);  // written once, after the batch
    return SavePaletteCommand(m_doc, *m_path);
  }
  Result operator()(const Export&) {
    ExportChoices choices;
    if (Result r = ChooseExport(m_doc.image, m_export, choices); !r.ok()) return r;
    FixedPath prompt(*m_path);
    m_progress.End();
    return ConvertCommand(m_doc, choices, prompt, &m_report);
  }
  Result operator()(const Info&) {
    const ImageBuffer& image = m_doc.image;
    m_report.Info(std::to_string(image.Width()) + "x" + std::to_string(image.Height()) + "x" +
                  std::to_string(image.BitCount()));
    return Result::Done();
  }

  // The colour settings met so far, for the samples of a shared palette.
  const ColourSettings& Colour() const { return m_colour; }

 private:
  template <typename T, typename V>
  static Result Set(T& field, V value) {
    field = static_cast<T>(value);
    return Result::Done();
  }

  const Plan& m_plan;
  const Pass& m_pass;
  Document& m_doc;
  Outcome& m_out;
  Reporter& m_report;
  TerminalProgress& m_progress;
  ColourSettings m_colour;  // dither 1, optimised, precision 8
  ExportRequest m_export;
  bool m_measure = false;  // --report
  size_t m_k = 0;
  const std::string* m_path = nullptr;
};

// Loads the input and runs the steps; `step` follows the step running.
Outcome RunSteps(const CommandLine& cl, const Plan& plan, size_t n, const Pass& pass, std::string& step) {
  Outcome out;
  const bool quiet = cl.inputs.size() > 1 || pass.sampleAt;
  Reporter report(quiet ? &cl.inputs[n] : nullptr, out);
  auto fail = [&](const Result& r) {
    out.failed = true;
    out.step = step;
    out.reason = r.reason();
    return out;
  };
  Document doc(cl.keyColour);
  TerminalProgress progress;
  if (!quiet && ::isatty(STDERR_FILENO) != 0) doc.image.SetProgressBar(&progress);
  if (Result r = LoadCommand(doc, cl.inputs[n]); !r.ok()) return fail(r);

  Steps steps(plan, pass, doc, out, report, progress);
  for (size_t k = 0; k < cl.actions.size(); ++k) {
    const Action& a = cl.actions[k];
    const std::string* pattern = OutputPath(a.step);
    if (pass.sampleAt == k) {
      CountColourSamples(doc, steps.Colour(), std::get<Depth>(a.step).bits, *pass.samples);
      return out;
    }
    if (pass.sampleAt && (pattern != nullptr || std::holds_alternative<Info>(a.step))) continue;
    step = a.given;
    progress.Begin(step);
    const Result r = steps.Run(a.step, k, pattern != nullptr ? Expand(*pattern, cl.inputs[n], n) : std::string());
    progress.End();
    if (r.kind() == Result::Kind::kNothingToDo) {
      report.Note(step + ": nothing to do: " + r.reason());
    } else if (!r.ok()) {
      out.palettes.erase(k);
      return fail(r);
    }
  }
  return out;
}

Outcome RunInput(const CommandLine& cl, const Plan& plan, size_t n, const Pass& pass) {
  std::string step = "load";
  try {
    return RunSteps(cl, plan, n, pass, step);
  } catch (const std::bad_alloc&) {
    Outcome out;
    out.failed = true;
    out.step = step;
    out.reason = "not enough memory";
    return out;
  }
}

// Runs work(n) for every input, `jobs` at a time, and hands each outcome to
// ended(n, outcome) in input order, as soon as every input before it has
// ended; `progress` shows how many have ended.
template <typename Work, typename Ended>
void RunInOrder(size_t count, unsigned jobs, TerminalProgress* progress, Work work, Ended ended) {
  std::vector<std::optional<Outcome>> outcomes(count);
  std::mutex mutex;
  std::condition_variable changed;
  std::atomic<size_t> next{0};
  size_t finished = 0;
  auto worker = [&] {
    for (size_t n; (n = next++) < count;) {
      Outcome outcome = work(n);
      const std::lock_guard<std::mutex> lock(mutex);
      outcomes[n] = std::move(outcome);
      ++finished;
      changed.notify_one();
    }
  };
  std::vector<std::jthread> threads;
  for (unsigned t = 0; t < std::min<size_t>(jobs, count); ++t) threads.emplace_back(worker);
  std::unique_lock<std::mutex> lock(mutex);
  size_t shown = 0;
  for (size_t n = 0; n < count;) {
    changed.wait(lock, [&] { return outcomes[n].has_value() || finished != shown; });
    shown = finished;
    if (progress) progress->Count(finished, count);
    for (; n < count && outcomes[n]; ++n) {
      Outcome outcome = std::move(*outcomes[n]);
      outcomes[n].reset();
      lock.unlock();
      if (progress) progress->End();
      ended(n, std::move(outcome));
      lock.lock();
      if (progress) progress->Count(finished, count);
    }
  }
  if (progress) progress->End();
}

}  // namespace

int Run(const CommandLine& cl) {
  const Plan plan = PlanRun(cl);
  const size_t count = cl.inputs.size();
  const unsigned jobs = cl.jobs != 0 ? cl.jobs : std::max(1u, std::thread::hardware_concurrency());
  TerminalProgress bar;
  TerminalProgress* progress = count > 1 && ::isatty(STDERR_FILENO) != 0 ? &bar : nullptr;

  // A shared palette is fitted to the samples of every input as it stands
  // at that step, then used by every input.
  std::map<size_t, std::vector<uint32_t>> fitted;
  for (const size_t k : plan.sharedDepths) {
    PaletteSamples all;
    std::mutex adding;
    bar.Begin("fitting the shared palette");
    RunInOrder(
        count, jobs, progress,
        [&](size_t n) {
          PaletteSamples mine;
          (void)RunInput(cl, plan, n, Pass{k, &mine, &fitted});
          const std::lock_guard<std::mutex> lock(adding);
          all.Add(mine);
          return Outcome{};
        },
        [](size_t, Outcome) {});
    fitted[k] = all.Fit(std::get<Depth>(cl.actions[k].step).bits);
  }

  if (count == 1) {
    const Outcome out = RunInput(cl, plan, 0, Pass{{}, nullptr, &fitted});
    if (!out.failed) return 0;
    Say(out.step == "load" ? out.reason : out.step + ": " + out.reason);
    return 1;
  }

  int status = 0;
  std::map<size_t, std::pair<size_t, std::vector<uint32_t>>> sharedPalettes;  // by step: first input, palette
  bar.Begin("pictures done");
  RunInOrder(
      count, jobs, progress,
      [&](size_t n) {
        return RunInput(cl, plan, n, Pass{{}, nullptr, &fitted});
      },
      [&](size_t n, Outcome out) {
        std::fputs(out.info.c_str(), stdout);
        std::fflush(stdout);
        const std::string& name = cl.inputs[n];
        std::fprintf(stderr, "%s%s: %s\n", out.notes.c_str(), name.c_str(),
                     out.failed ? ("failed at " + out.step + ": " + out.reason).c_str() : "done");
        if (out.failed) status = 1;
        for (auto& [k, palette] : out.palettes) sharedPalettes.try_emplace(k, n, std::move(palette));
      });
  for (const auto& [k, first] : sharedPalettes) {
    const std::string& pattern = *OutputPath(cl.actions[k].step);
    if (Result r = SavePaletteCommand(first.second, Expand(pattern, cl.inputs[first.first], first.first)); !r.ok()) {
      Say("--save-palette " + pattern + ": " + r.reason());
      status = 1;
    }
  }
  return status;
}

}  // namespace pixmill::cli
