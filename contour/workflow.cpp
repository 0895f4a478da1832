#include "contour/workflow.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "contour/contour_file.h"
#include "contour/tracer.h"
#include "imagelib/loader.h"
#include "platform/core/locked_block.h"
#include "platform/ui/application.h"
#include "quorin_app/file_dialogs.h"
#include "quorin_app/touch_window.h"
#include "util/window_helpers.h"

TDib* PreviewDib = nullptr;

namespace {
const char* const kCaption = "Quorinerkennung";
const char* const kImageFilter =
    "Bitmap-Dateien|*.bmp;*.gif;*.jpg;*.pcd;*.pcx;*.tga;*.tif;*.wmf|Alle Dateien (*.*)|*.*|";
const char* const kContourFilter = "Quorin-Dateien(*.QuorinDaten)|*.QuorinDaten|";
const char* const kDepthMessage = "Es werden nur True Color oder 256-Farben-Bilder unterstützt";
const char* const kMemoryMessage = "Für die Konturerkennung ist nicht genügend Speicher frei.";
const char* const kWriteMessage = "Die Konturdatei konnte nicht geschrieben werden:\n";

void Tell(TWindow* mainWindow, const std::string& text) {
  mainWindow->GetApplication()->MessageBox(mainWindow->GetHandle(), text.c_str(), kCaption,
                                           MB_OK | MB_ICONINFORMATION);
}

// Runs the colour dialog; false when the user did not confirm it.
bool PickKeyColour(TWindow* mainWindow, TDib& image, COLORREF& key) {
  TTouchWindow dialog(mainWindow, &image);
  if (dialog.Execute() != IDOK) return false;
  if (ColourPicked) key = PickedColour;
  return true;
}

std::string AskForTarget(TWindow* mainWindow) {
  char target[MAX_PATH] = "";
  if (!AskForFileName(mainWindow, target, false, kContourFilter, nullptr,
                      OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_CREATEPROMPT))
    return {};
  return FixContourFileName(target);
}

// The image's size, or 2 pixels more each way when the window came out
// smaller; then the middle of the screen.
void SizeAndCentre(TWindow* mainWindow, LONG width, LONG height) {
  mainWindow->SetWindowPos(nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
  RECT r = mainWindow->GetWindowRect();
  if (r.right - r.left < width || r.bottom - r.top < height)
    mainWindow->SetWindowPos(nullptr, 0, 0, width + 2, height + 2, SWP_NOMOVE | SWP_NOZORDER);
  CenterWindow(mainWindow);
}

// Steps from the mask to the window's shape; the wait cursor starts once the
// mask is built. False when the workflow ends early.
bool TraceAndShape(TWindow* mainWindow, const TDib& image, COLORREF key,
                   std::optional<TWaitCursor>& wait) {
  const LONG width = image.Width(), height = image.Height();
  const std::uint64_t pixels = std::uint64_t(width) * std::uint64_t(height);
  // Zero-filled lazily by the system, so the unused tail costs nothing.
  TLockedBlock mask(pixels);
  TLockedBlock polygon(pixels <= SIZE_MAX / sizeof(POINT) ? pixels * sizeof(POINT) : SIZE_MAX);
  if (!mask.As<BYTE>() || !polygon.As<POINT>()) {
    Tell(mainWindow, kMemoryMessage);
    return false;
  }
  BuildContourMask(image, key, mask.As<BYTE>());
  wait.emplace(mainWindow);
  int n = TraceContour(height, width, mask.As<BYTE>(), polygon.As<POINT>());
  std::string target = AskForTarget(mainWindow);
  if (target.empty()) return false;
  bool written = WriteContourFile(target.c_str(), width, height, polygon.As<POINT>(), n);
  SizeAndCentre(mainWindow, width, height);
  // No region can be made of an empty polygon: the platform raises its error.
  TRegion region(polygon.As<POINT>(), n, WINDING);
  mainWindow->SetWindowRgn(region, true);
  if (!written) Tell(mainWindow, kWriteMessage + target);
  return true;
}

// From the mask to the preview copy of the image.
void TraceAndShow(TWindow* mainWindow, const TDib& image, COLORREF key) {
  // Declared first, so the cursor and the capture come back last, on every
  // path out.
  std::optional<TWaitCursor> wait;
  if (!TraceAndShape(mainWindow, image, key, wait)) return;
  auto preview = std::make_unique<TDib>(image);
  if (!preview->IsOK()) {
    Tell(mainWindow, kMemoryMessage);
    return;
  }
  PreviewDib = preview.release();
}
}  // namespace

TWaitCursor::TWaitCursor(TWindow* window) {
  if (window && window->GetHandle()) {
    CapturedWindow = window->GetHandle();
    SetCapture(CapturedWindow);
  }
  PreviousCursor = SetCursor(LoadCursor(nullptr, IDC_WAIT));
}

TWaitCursor::~TWaitCursor() {
  SetCursor(PreviousCursor);
  if (CapturedWindow) ReleaseCapture();
}

void RunContourWorkflow(TWindow* mainWindow) {
  if (!mainWindow) return;
  char imagePath[MAX_PATH] = "";
  if (!AskForFileName(mainWindow, imagePath, true, kImageFilter, nullptr,
                      OFN_FILEMUSTEXIST | OFN_HIDEREADONLY))
    return;
  HGLOBAL handle = LoadImageFile(imagePath);
  if (!handle) return;
  COLORREF key = TColor::White;
  TDib image(handle, AutoDelete);
  if (!image.IsOK()) return;
  if (!PickKeyColour(mainWindow, image, key)) return;
  if (image.BitsPerPixel() != 24 && image.BitsPerPixel() != 8) {
    Tell(mainWindow, kDepthMessage);
    return;
  }
  TraceAndShow(mainWindow, image, key);
}
