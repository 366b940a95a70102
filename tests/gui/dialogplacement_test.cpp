// Boxes open centred over the window that asked, wherever that window was put.

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/gui/desktopprompts.h"

using namespace vebix;

namespace {

// Shows a box as the program does while the window is still where the program put it,
// and notes where the box appeared; the box is then closed as by Escape.
QRect boxShownOver(QWidget& window, bool choose, const QString& text) {
    QRect seen;
    QTimer::singleShot(0, [&seen] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box) return;
        seen = box->geometry();
        box->close();
    });
    DesktopPrompts prompts;
    if (choose)
        prompts.choose(&window, "Vebix", text, QMessageBox::Warning, {"&One", "&Two", "Cancel"}, 0,
                       2);
    else
        prompts.message(&window, "Vebix", text, QMessageBox::Question,
                        QMessageBox::Yes | QMessageBox::No);
    return seen;
}

// A text long enough to wrap makes the box size itself only while it is being shown: it must
// still open centred, not shifted by the width it gained.
TEST(DialogPlacement, MessageBoxesOpenCentredOverTheirWindow) {
    const QString wrapping =
        QString("The mind could not be saved because the disk is full. ").repeated(6);
    struct Case {
        bool choose;
        QString text;
    };
    const Case cases[] = {{false, "A question"},
                          {true, "A question with\nseveral lines of text"},
                          {false, wrapping},
                          {true, wrapping}};
    for (const Case& c : cases) {
        QMainWindow window;
        window.resize(450, 370);
        window.show();
        // Moved after being shown, as the main window centres itself on the screen.
        window.move(37, 61);
        const QRect box = boxShownOver(window, c.choose, c.text);
        ASSERT_TRUE(box.isValid()) << "no box was shown";
        EXPECT_LE((box.center() - window.geometry().center()).manhattanLength(), 1)
            << "choose: " << c.choose << ", text: " << c.text.size() << " characters, box "
            << box.width() << "x" << box.height();
    }
}

}  // namespace
