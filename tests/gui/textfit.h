#pragma once
// Finds texts a window shows only in part.

#include <QStringList>

class QWidget;

namespace vebix::testing {

// One line per visible widget under root (root included) that shows less than its text,
// "objectName: text wants WxH, has WxH":
// - a word-wrapped label whose height for its width exceeds its height, or whose longest
//   word is wider than it;
// - any other label with text whose minimum size hint is wider or taller than it;
// - a push button, check box or radio button whose size hint is wider or taller than it;
// - a line edit too low for a line of text, or too narrow for its placeholder text;
// and one line "objectName: lies outside its window at (x,y WxH), window WxH" per visible
// widget that is not wholly inside its window.
// Meaningful only once root is shown and its layouts have done their work.
QStringList clippedTexts(QWidget& root);

}  // namespace vebix::testing
