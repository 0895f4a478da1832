// quorin-cli: the image and contour core from the command line.
//
//   quorin-cli info IMAGE
//   quorin-cli decode IMAGE OUT.bmp
//   quorin-cli trace IMAGE [--key COLOUR | --pick X,Y] [-o TARGET]
//   quorin-cli show CONTOURFILE [--svg OUT.svg]
//
// Exit status: 0 done, 1 input not loaded / refused / not a contour file,
// 2 wrong usage, 3 output not written.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "contour/contour_file.h"
#include "contour/key_colour.h"
#include "contour/tracer.h"
#include "imagelib/bmp.h"
#include "imagelib/loader.h"
#include "platform/core/atomic_file.h"
#include "platform/core/dib.h"

namespace {
enum Exit { kDone = 0, kBadInput = 1, kUsage = 2, kCannotWrite = 3 };

constexpr const char* kUsageText =
    "usage: quorin-cli info IMAGE\n"
    "       quorin-cli decode IMAGE OUT.bmp\n"
    "       quorin-cli trace IMAGE [--key COLOUR | --pick X,Y] [-o TARGET]\n"
    "       quorin-cli show CONTOURFILE [--svg OUT.svg]\n"
    "COLOUR is #rrggbb or r,g,b; the key colour is white unless given.\n";

int Usage(const char* problem) {
  std::fprintf(stderr, "quorin-cli: %s\n%s", problem, kUsageText);
  return kUsage;
}

// The loaded picture, freed at the end.
std::optional<TDib> LoadOrComplain(const std::string& path) {
  HGLOBAL handle = LoadImageFile(path.c_str());
  if (!handle) {
    std::fprintf(stderr, "quorin-cli: %s: cannot load the image (missing, unsupported type, "
                         "or not a valid file)\n", path.c_str());
    return std::nullopt;
  }
  return std::optional<TDib>(std::in_place, handle, AutoDelete);
}

int Info(const std::string& path) {
  auto dib = LoadOrComplain(path);
  if (!dib) return kBadInput;
  const BITMAPINFOHEADER& h = *dib->GetInfoHeader();
  std::printf("width=%d\nheight=%d\nbitcount=%u\ncompression=%u\nclrused=%u\nsizeimage=%u\n"
              "xppm=%d\nyppm=%d\n",
              h.biWidth, h.biHeight, unsigned(h.biBitCount), h.biCompression, h.biClrUsed,
              h.biSizeImage, h.biXPelsPerMeter, h.biYPelsPerMeter);
  return kDone;
}

int CannotWrite(const std::string& path) {
  std::fprintf(stderr, "quorin-cli: %s: cannot write the file: %s\n", path.c_str(),
               std::strerror(errno));
  return kCannotWrite;
}

int Decode(const std::string& path, const std::string& out) {
  auto dib = LoadOrComplain(path);
  if (!dib) return kBadInput;
  TAtomicFile file(out);
  if (!file.IsOpen()) return CannotWrite(out);
  if (_TDIB().WriteDIB(file.Handle(), dib->GetHandle()) != 0) file.MarkFailed();
  return file.Commit() ? kDone : CannotWrite(out);
}

std::optional<COLORREF> ParseColour(const std::string& text) {
  unsigned r, g, b;
  char end;
  if (text.size() == 7 && text[0] == '#' &&
      std::sscanf(text.c_str() + 1, "%2x%2x%2x%c", &r, &g, &b, &end) == 3)
    return RGB(BYTE(r), BYTE(g), BYTE(b));
  if (std::sscanf(text.c_str(), "%u,%u,%u%c", &r, &g, &b, &end) == 3 && r < 256 && g < 256 &&
      b < 256)
    return RGB(BYTE(r), BYTE(g), BYTE(b));
  return std::nullopt;
}

std::optional<POINT> ParsePoint(const std::string& text) {
  int x, y;
  char end;
  if (std::sscanf(text.c_str(), "%d,%d%c", &x, &y, &end) != 2) return std::nullopt;
  return POINT{x, y};
}

struct TraceArgs {
  std::string image;
  std::string target;
  std::optional<COLORREF> key;
  std::optional<POINT> pick;
};

// Empty problem text: the arguments are fine.
std::string ParseTraceArgs(const std::vector<std::string>& args, TraceArgs& out) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool hasValue = i + 1 < args.size();
    if (a == "--key" && hasValue && !out.key && !out.pick) {
      out.key = ParseColour(args[++i]);
      if (!out.key) return "bad colour '" + args[i] + "'";
    } else if (a == "--pick" && hasValue && !out.key && !out.pick) {
      out.pick = ParsePoint(args[++i]);
      if (!out.pick) return "bad point '" + args[i] + "'";
    } else if (a == "-o" && hasValue && out.target.empty()) {
      out.target = args[++i];
    } else if (!a.empty() && a[0] != '-' && out.image.empty()) {
      out.image = a;
    } else {
      return "unexpected argument '" + a + "'";
    }
  }
  return out.image.empty() ? "trace needs an IMAGE" : "";
}

// The key colour for --pick: the pixel's colour, taken as a click in the
// colour dialog takes it.
std::optional<COLORREF> PickedKey(const TDib& dib, POINT at) {
  if (at.x < 0 || at.y < 0 || at.x >= dib.Width() || at.y >= dib.Height()) return std::nullopt;
  return KeyColourForClick(dib, at.x, at.y, PixelColour(dib, at.x, at.y));
}

int Trace(const TraceArgs& args) {
  auto dib = LoadOrComplain(args.image);
  if (!dib) return kBadInput;
  COLORREF key = args.key.value_or(RGB(255, 255, 255));
  if (args.pick) {
    auto picked = PickedKey(*dib, *args.pick);
    if (!picked) {
      std::fprintf(stderr, "quorin-cli: %s: the point %d,%d lies outside the %dx%d image\n",
                   args.image.c_str(), args.pick->x, args.pick->y, dib->Width(), dib->Height());
      return kBadInput;
    }
    key = *picked;
  }
  if (dib->BitsPerPixel() != 24 && dib->BitsPerPixel() != 8) {
    std::fprintf(stderr, "quorin-cli: %s: %s\n", args.image.c_str(),
                 "Es werden nur True Color oder 256-Farben-Bilder unterstützt");
    return kBadInput;
  }
  const std::size_t pixels = std::size_t(dib->Width()) * std::size_t(dib->Height());
  std::vector<BYTE> mask;
  std::vector<POINT> polygon;
  try {
    mask.resize(pixels);
    polygon.resize(pixels);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "quorin-cli: %s: not enough memory to trace the image\n",
                 args.image.c_str());
    return kBadInput;
  }
  BuildContourMask(*dib, key, mask.data());
  int n = TraceContour(dib->Height(), dib->Width(), mask.data(), polygon.data());
  std::string target = FixContourFileName(args.target.empty() ? args.image : args.target);
  if (!WriteContourFile(target.c_str(), dib->Width(), dib->Height(), polygon.data(), n))
    return CannotWrite(target);
  if (n == 0)
    std::fprintf(stderr, "quorin-cli: %s: warning: no contour found; the file holds 0 points\n",
                 args.image.c_str());
  std::printf("points=%d\nfile=%s\n", n, target.c_str());
  return kDone;
}

std::string SvgOf(const ContourFile& contour) {
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                    std::to_string(contour.width) + "\" height=\"" +
                    std::to_string(contour.height) + "\" viewBox=\"0 0 " +
                    std::to_string(contour.width) + " " + std::to_string(contour.height) +
                    "\">\n<path fill=\"black\" fill-rule=\"nonzero\" d=\"";
  for (std::size_t i = 0; i < contour.points.size(); ++i)
    svg += (i ? " L" : "M") + std::to_string(contour.points[i].x) + " " +
           std::to_string(contour.points[i].y);
  svg += contour.points.empty() ? "\"/>\n</svg>\n" : " Z\"/>\n</svg>\n";
  return svg;
}

int Show(const std::string& path, const std::string& svgPath) {
  ContourFile contour;
  switch (ReadContourFile(path.c_str(), contour)) {
    case ContourReadResult::Ok: break;
    case ContourReadResult::CannotOpen:
      std::fprintf(stderr, "quorin-cli: %s: cannot open: %s\n", path.c_str(), std::strerror(errno));
      return kBadInput;
    case ContourReadResult::NoMagic:
      std::fprintf(stderr, "quorin-cli: %s: not a contour file (no \"QUORIN\" magic)\n",
                   path.c_str());
      return kBadInput;
    case ContourReadResult::Truncated:
      std::fprintf(stderr, "quorin-cli: %s: not a valid contour file (shorter than its point "
                           "count says)\n", path.c_str());
      return kBadInput;
  }
  if (!svgPath.empty()) {
    TAtomicFile svg(svgPath);
    std::string text = SvgOf(contour);
    svg.Write(text.data(), text.size());
    if (!svg.Commit()) return CannotWrite(svgPath);
  }
  std::printf("width=%u\nheight=%u\ncount=%zu\n", unsigned(contour.width),
              unsigned(contour.height), contour.points.size());
  for (const POINT& p : contour.points) std::printf("%d %d\n", p.x, p.y);
  return kDone;
}

int Run(const std::vector<std::string>& args) {
  if (args.empty()) return Usage("no command given");
  const std::string& command = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (command == "info" && rest.size() == 1) return Info(rest[0]);
  if (command == "decode" && rest.size() == 2) return Decode(rest[0], rest[1]);
  if (command == "show" && rest.size() == 1) return Show(rest[0], "");
  if (command == "show" && rest.size() == 3 && rest[1] == "--svg") return Show(rest[0], rest[2]);
  if (command == "trace") {
    TraceArgs traceArgs;
    std::string problem = ParseTraceArgs(rest, traceArgs);
    return problem.empty() ? Trace(traceArgs) : Usage(problem.c_str());
  }
  if (command == "--help" || command == "-h") {
    std::fputs(kUsageText, stdout);
    return kDone;
  }
  return Usage(("wrong arguments for '" + command + "'").c_str());
}
}  // namespace

int main(int argc, char** argv) {
  return Run(std::vector<std::string>(argv + 1, argv + argc));
}
