#pragma once
// The main window's memory of its place: the size, position and state it was left in, kept in
// the user's settings, so that a window kept open all day opens where the person put it.

class QWidget;

namespace vebix {

// Gives window the size, position and state saved last, moved onto a screen that is there now
// when the saved one is gone. False when nothing usable was saved (a first start, or settings
// written by hand); the window is then left as it is.
bool restoreWindowPlace(QWidget& window);

// Saves window's size, position and state for the next start.
void saveWindowPlace(const QWidget& window);

}  // namespace vebix
