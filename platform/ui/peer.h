// The Qt widgets behind window objects (inside the platform layer only).
#pragma once

#include <QCloseEvent>
#include <QDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QTimerEvent>

#include "platform/ui/window.h"

// Hands paint, mouse and close events to the owning window object.
template <class Base>
class TPeer : public Base {
 public:
  TPeer(TWindow* owner, QWidget* parent) : Base(parent), Owner(owner) {}
  // Null once the window object is gone.
  TWindow* Owner;

 protected:
  void paintEvent(QPaintEvent* event) override {
    if (Owner) Owner->EvPaint();
    else Base::paintEvent(event);
  }
  void mousePressEvent(QMouseEvent* event) override {
    if (!Owner || event->button() != Qt::LeftButton) return Base::mousePressEvent(event);
    UINT keys = MK_LBUTTON;
    if (event->modifiers() & Qt::ShiftModifier) keys |= MK_SHIFT;
    if (event->modifiers() & Qt::ControlModifier) keys |= MK_CONTROL;
    QPoint p = event->position().toPoint();
    Owner->EvLButtonDown(keys, POINT{p.x(), p.y()});
  }
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    if (Owner) Owner->EvClose();
  }
  void timerEvent(QTimerEvent* event) override {
    if (!Owner || !Owner->TimerFired(event->timerId())) Base::timerEvent(event);
  }
};

using TWidgetPeer = TPeer<QWidget>;

// A dialog's peer also gives Enter and Esc their dialog commands, whether or
// not the buttons that carry them are visible.
class TDialogPeer : public TPeer<QDialog> {
 public:
  using TPeer<QDialog>::TPeer;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

// The window object of a peer, or null.
TWindow* OwnerOf(QWidget* widget);

// Properties by which a dialog knows its controls.
inline constexpr const char* kControlId = "controlId";
inline constexpr const char* kControlClass = "controlClass";
inline constexpr const char* kDefaultButton = "defaultButton";

// The widget of a control of a dialog template, or null for a class the
// layer does not know.
QWidget* MakeDialogControl(const TControlTemplate& control, QWidget* parent);
