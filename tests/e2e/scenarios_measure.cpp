// measure_install: how long an installation of the payload takes, as a user
// sees it, from the press of OK to the success report. Not a test: it prints
// figures (bench/measure-install.sh runs it) and fails only when an
// installation does not happen at all.
//
// Every round starts a new QvxSetup.exe, since a dialog that has installed
// only offers Close; from the second round on it asks about the previous
// installation, which is answered Yes. QVX_MEASURE_ROUNDS sets the number of
// rounds (default 5), each into a folder C:\measure\<round> of its own.
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "check.h"
#include "effects.h"
#include "scenario_kit.h"
#include "scenarios.h"
#include "ui_probe.h"

namespace {

constexpr int kDefaultRounds = 5;
constexpr int kMostRounds = 1000;
// How long a round may take: QVX_MEASURE_WAIT_S seconds, for products of a
// gigabyte that take minutes; otherwise a minute, scaled like every wait.
double ReportWaitMs() {
  char value[32] = {};
  DWORD length = GetEnvironmentVariableA("QVX_MEASURE_WAIT_S", value, sizeof(value));
  long seconds = length > 0 && length < sizeof(value) ? strtol(value, nullptr, 10) : 0;
  return seconds >= 1 && seconds <= 3600 ? 1000.0 * seconds : Scaled(60000);
}

// The rounds asked for, or 0 when QVX_MEASURE_ROUNDS is not a number in range.
int RoundsAsked() {
  char value[32] = {};
  DWORD length = GetEnvironmentVariableA("QVX_MEASURE_ROUNDS", value, sizeof(value));
  if (length == 0) return kDefaultRounds;
  if (length >= sizeof(value)) return 0;
  char* end = nullptr;
  long rounds = strtol(value, &end, 10);
  if (end == value || *end != '\0' || rounds < 1 || rounds > kMostRounds) return 0;
  return static_cast<int>(rounds);
}

double MsSince(LARGE_INTEGER start) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

// The control's text as the window manager holds it. For another process's
// window this sends no message, so it sees the report the moment it is set,
// even while the installer is still busy with shortcuts and registry.
std::string HeldText(HWND control) {
  char text[1024] = {};
  int length = GetWindowTextA(control, text, sizeof(text));
  return std::string(text, length > 0 ? static_cast<size_t>(length) : 0);
}

// The setup dialog of a freshly started installer, after answering Yes to
// the question about a previous installation when it comes.
HWND DialogOfNewRun(SetupRun& run) {
  HWND dialog = nullptr;
  HWND box = nullptr;
  WaitUntil([&] {
    dialog = FindTopWindow(run.Proc().Id(), "#32770", texts::kDialogCaption);
    if (dialog && IsWindowVisible(dialog)) return true;
    box = FindTopWindow(run.Proc().Id(), "#32770", Env().boxCaption.c_str());
    return box != nullptr;
  });
  if (box) {
    if (!ExpectText(MessageBoxText(box), texts::kQuestion, "the question at start")) return nullptr;
    if (!AnswerBox(box, IDYES)) return nullptr;
  }
  return run.WaitForDialog();
}

bool SameAsProduct(const std::string& folder) {
  for (const char* name : texts::kProductFiles) {
    std::string installed, original;
    if (!ReadWholeFile(folder + "\\" + name, installed) ||
        !ReadWholeFile(Env().productFolder + "\\" + name, original) || installed != original)
      return false;
  }
  return true;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// One round; false when it produced no figure.
bool MeasureRound(int round, std::vector<double>& toReport, std::vector<double>& toIdle) {
  const std::string folder = "C:\\measure\\" + std::to_string(round);
  if (!Expect(!FolderExists(folder), "round %d: %s does not exist yet", round, folder.c_str()))
    return false;
  SetupRun run;
  if (!Expect(run.Start(), "round %d: QvxSetup.exe starts", round)) return false;
  HWND dialog = DialogOfNewRun(run);
  if (!Expect(dialog != nullptr, "round %d: the setup dialog appears", round)) return false;
  HWND report = GetDlgItem(dialog, 1002);
  HWND ok = GetDlgItem(dialog, IDOK);
  if (!Expect(report && ok, "round %d: the dialog has its report and OK", round)) return false;
  if (!Expect(SetControlText(dialog, 1001, folder), "round %d: typed %s", round, folder.c_str()))
    return false;
  // Whatever the start left queued (painting) is handled before the clock runs.
  DWORD_PTR ignored;
  SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, kMessageWaitMs, &ignored);

  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  PostMessageA(ok, BM_CLICK, 0, 0);
  double reportMs = -1;
  const double waitMs = ReportWaitMs();
  for (;;) {
    double elapsed = MsSince(start);
    if (HeldText(report) == texts::kSuccess) {
      reportMs = elapsed;
      break;
    }
    if (elapsed >= waitMs) break;
    Sleep(1);
  }
  if (reportMs < 0) {
    HWND box = FindTopWindow(run.Proc().Id(), "#32770", Env().boxCaption.c_str());
    if (box) Info("the installer shows \"%s\"", Visible(MessageBoxText(box)).c_str());
    Expect(false, "round %d: the success report appears within %.0f s", round, waitMs / 1000);
    return false;
  }
  // The run goes on with shortcuts and registry behind the report; the
  // dialog answers messages again once it has finished.
  SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, kWaitMs, &ignored);
  double idleMs = MsSince(start);

  bool same = SameAsProduct(folder);
  printf("round %d: %.1f ms to the success report, %.1f ms until the dialog is idle (%s)\n", round,
         reportMs, idleMs, folder.c_str());
  fflush(stdout);
  Expect(same, "round %d: the six files in %s equal the product's", round, folder.c_str());
  PressButton(dialog, IDCANCEL);
  Expect(run.WaitForEnd(), "round %d: Close ends the installer", round);
  if (!same) return false;
  toReport.push_back(reportMs);
  toIdle.push_back(idleMs);
  return true;
}

}  // namespace

void MeasureInstall() {
  int rounds = RoundsAsked();
  if (!Expect(rounds > 0, "QVX_MEASURE_ROUNDS is a whole number from 1 to %d", kMostRounds))
    return;
  std::vector<double> toReport, toIdle;
  for (int round = 1; round <= rounds; ++round)
    if (!MeasureRound(round, toReport, toIdle)) return;
  printf("until idle: median %.1f ms, min %.1f ms over %d rounds\n", Median(toIdle),
         *std::min_element(toIdle.begin(), toIdle.end()), rounds);
  printf("install: median %.1f ms, min %.1f ms over %d rounds\n", Median(toReport),
         *std::min_element(toReport.begin(), toReport.end()), rounds);
  fflush(stdout);
}
