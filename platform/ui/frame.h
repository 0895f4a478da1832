// Frame windows: a top-level window around one client window that fills it.
#pragma once

#include <memory>

#include "platform/ui/window.h"

// The frame takes the size of its client window when it is created.
constexpr UINT wfShrinkToClient = 0x0008;

class TFrameWindow : public TWindow {
 public:
  // The frame owns the client window. Its style starts as
  // WS_OVERLAPPEDWINDOW.
  TFrameWindow(TWindow* parent, const char* title, TWindow* clientWnd, bool shrinkToClient = false,
               TModule* module = nullptr);

  TWindow* GetClientWindow() const { return ClientWnd.get(); }
  void SetFlag(UINT flag) { Flags |= flag; }
  // The frame closes when its client window agrees.
  bool CanClose() override { return !ClientWnd || ClientWnd->CanClose(); }
  // The large and the small image of an icon group of the module (the
  // window's own when null).
  bool SetIcon(TModule* module, TResId id);
  bool SetIconSm(TModule* module, TResId id);

 protected:
  QWidget* MakePeer(QWidget* parent) override;
  // Creates the client window, shrinks the frame to it when asked, and then
  // runs the client's set-up.
  void SetupWindow() override;
  // The frame closes when its client window is destroyed.
  void EvChildDestroyed(TWindow& child) override;

 private:
  const TIconTemplate* FindIcon(TModule* module, TResId id) const;
  void ApplyIcon();

  std::unique_ptr<TWindow> ClientWnd;
  UINT Flags = 0;
  const char* const* IconLarge = nullptr;
  const char* const* IconSmall = nullptr;
};

// A frame with room for decorations (none are offered).
class TDecoratedFrame : public TFrameWindow {
 public:
  TDecoratedFrame(TWindow* parent, const char* title, TWindow* clientWnd,
                  bool trackMenuSelection = false, TModule* module = nullptr)
      : TFrameWindow(parent, title, clientWnd, false, module) {
    (void)trackMenuSelection;
  }
};
