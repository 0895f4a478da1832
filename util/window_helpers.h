// Window helpers: message pumping during long work, the rectangle of a
// dialog control, centring a window on the screen.
#pragma once

#include "platform/core/wintypes.h"
#include "platform/ui/window.h"

// Looks at the event queue once: when the first pending key or mouse event
// is Esc or Enter pressed, sets flag to 1 (it is never cleared here). That
// event is taken off the queue and dropped; paint goes through.
void PeekBreakKey(BOOL& flag);

// Delivers every pending event.
void PumpMessages();

// The rectangle of a static control in the parent's client coordinates;
// the control is destroyed. False (and the control left alone) for no such
// control or one that is not static.
bool GetChildRect(TWindow* parent, int id, RECT& rect);

// The same for any control; destroyed only when asked.
bool GetChildRectEx(TWindow* parent, int id, RECT& rect, bool destroy);

// Moves the window, keeping its size and stacking order, to the middle of
// the screen: ((screen - window) / 2 in each direction, truncated toward 0).
void CenterWindow(TWindow* window);
