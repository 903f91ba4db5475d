#pragma once

#include "Placement.h"

#include <QFont>
#include <QIcon>
#include <QRect>

class QString;
class QWidget;

// Results a modal form ends with, as the program has always used them.
enum ModalResult
{
    mrOk = 1,
    mrCancel = 2
};

// False where the compositor alone decides where windows go and never tells (Wayland): a
// window's place there can be neither read nor set, and a menu without a parent window
// cannot be put at the mouse.
bool platformPlacesWindows();

// Moves the dialog over the parent by the placement rule, using both windows' outer frames
// and the parent's screen. Does nothing when either is missing, or where the platform does
// not place windows (there the compositor puts a dialog over its parent itself).
void PlaceDialog(QWidget* parent, QWidget* dialog);

// Every form's text face: MS Sans Serif 8 pt where it exists, the desktop's sans serif at
// the same size elsewhere.
QFont formFont();

PlacementRect toPlacement(const QRect& rect);

// Dialog for a form over a parent; an ordinary window for one without (see Formutil.cpp).
Qt::WindowType formWindowType(const QWidget* parent);

// A message box with only an OK button and no picture, as the program's messages have
// always looked.
void ShowMessage(QWidget* parent, const QString& text, const QString& caption);

// The program's own picture in every size it comes in.
QIcon programIcon();
