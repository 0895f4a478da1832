// Controls of dialogs (edit fields, the gauge) and the text of any window.
#pragma once

#include "platform/core/wintypes.h"
#include "platform/ui/window.h"

// The text of a window: what a control shows, else the window's caption.
// Texts are UTF-8; a multi-line edit field takes and gives its line breaks
// as "\r\n". A null text clears the window's text.
BOOL SetWindowText(HWND window, const char* text);
// The length in bytes of the text GetWindowText gives.
int GetWindowTextLength(HWND window);
// Copies at most size - 1 bytes of the text and a terminating NUL into
// buffer; returns the number of bytes copied.
int GetWindowText(HWND window, char* buffer, int size);

// A control of a dialog. Made with a resource id it stands for the control
// of that id in the parent's dialog template; made with a position it makes
// a control window of its own. Either way the parent's set-up makes it.
class TControl : public TWindow {
 public:
  TControl(TWindow* parent, int resourceId, TModule* module = nullptr);
  TControl(TWindow* parent, int id, const char* title, int x, int y, int w, int h,
           TModule* module = nullptr);
  ~TControl() override;

  int GetId() const { return Id; }

 protected:
  QWidget* MakePeer(QWidget* parent) override;
  // The widget of a control of its own; null when the class makes none.
  virtual QWidget* MakeControl(QWidget* /*parent*/) { return nullptr; }

 private:
  int Id;
  bool FromResource;
};

// An edit field of the dialog template, single- or multi-line.
class TEdit : public TControl {
 public:
  // textLimit: the most characters the user can type (0: no limit). Text
  // that the program sets is never cut.
  TEdit(TWindow* parent, int resourceId, UINT textLimit = 0, TModule* module = nullptr);

 protected:
  void SetupWindow() override;

 private:
  UINT TextLimit;
};

// A bar that shows a value within a range, drawn as one bar or as LED
// segments; no text.
class TGauge : public TControl {
 public:
  TGauge(TWindow* parent, const char* title, int id, int x, int y, int w, int h,
         bool isHorizontal = true, int margin = 1, TModule* module = nullptr);

  // The range (0 to 100 at first); the value is kept within it.
  void SetRange(int min, int max);
  void GetRange(int& min, int& max) const;
  // Values outside the range show as its nearest end.
  void SetValue(int value);
  int GetValue() const { return Value; }
  // Segments of spacing units of the range each, of which thickPercent is
  // lit and the rest is the gap to the next one.
  void SetLed(int spacing, int thickPercent = 90);
  void SetColor(COLORREF color);

 protected:
  QWidget* MakeControl(QWidget* parent) override;
  void SetupWindow() override;

 private:
  // Hands the settings to the widget, when there is one.
  void Update();

  bool Horizontal;
  int Margin;
  int Min = 0, Max = 100, Value = 0;
  int LedSpacing = 0, LedThick = 100;
  COLORREF Color = RGB(0, 0, 128);
};
