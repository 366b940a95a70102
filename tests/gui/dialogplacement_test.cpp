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
QRect boxShownOver(QWidget& window, bool choose) {
    QRect seen;
    QTimer::singleShot(0, [&seen] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box) return;
        seen = box->geometry();
        box->close();
    });
    DesktopPrompts prompts;
    if (choose)
        prompts.choose(&window, "Vebix", "A question with\nseveral lines of text",
                       QMessageBox::Warning, {"&One", "&Two", "Cancel"}, 0, 2);
    else
        prompts.message(&window, "Vebix", "A question", QMessageBox::Question,
                        QMessageBox::Yes | QMessageBox::No);
    return seen;
}

TEST(DialogPlacement, MessageBoxesOpenCentredOverTheirWindow) {
    for (const bool choose : {false, true}) {
        QMainWindow window;
        window.resize(450, 370);
        window.show();
        // Moved after being shown, as the main window centres itself on the screen.
        window.move(37, 61);
        const QRect box = boxShownOver(window, choose);
        ASSERT_TRUE(box.isValid()) << "no box was shown";
        EXPECT_EQ(box.center(), window.geometry().center()) << "choose: " << choose;
    }
}

}  // namespace
