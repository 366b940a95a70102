#pragma once
// Checks of the main window's layout that hold at any font size: every shown control inside
// the client area, none over another, the display above the save notice above the bottom row,
// Say to the right of the input line, and every caption wide and tall enough for its text.

#include <QAbstractButton>
#include <QApplication>
#include <QFont>
#include <QLineEdit>
#include <QMainWindow>
#include <QStatusBar>

#include <vector>

#include <gtest/gtest.h>

namespace vebix::testing {

// Sets the application's font to its size times factor for the scope.
class ScopedAppFontScale {
public:
    explicit ScopedAppFontScale(double factor) : old_(QApplication::font()) {
        QFont scaled = old_;
        scaled.setPointSizeF(old_.pointSizeF() * factor);
        QApplication::setFont(scaled);
    }
    ~ScopedAppFontScale() { QApplication::setFont(old_); }
    ScopedAppFontScale(const ScopedAppFontScale&) = delete;
    ScopedAppFontScale& operator=(const ScopedAppFontScale&) = delete;

private:
    QFont old_;
};

// Whether button is wide and tall enough to show its caption whole.
inline void expectCaptionFits(const QAbstractButton* button) {
    QString caption = button->text();
    caption.remove(QLatin1Char('&'));
    const QFontMetrics metrics = button->fontMetrics();
    EXPECT_GE(button->width(), metrics.horizontalAdvance(caption)) << caption.toStdString();
    EXPECT_GE(button->height(), metrics.height()) << caption.toStdString();
}

inline void expectLaidOut(QMainWindow& form) {
    QWidget* client = form.centralWidget();
    ASSERT_NE(client, nullptr);
    auto* disp = client->findChild<QWidget*>(QStringLiteral("disp"));
    auto* notice = client->findChild<QWidget*>(QStringLiteral("saveNotice"));
    auto* input = client->findChild<QLineEdit*>(QStringLiteral("input"));
    auto* say = client->findChild<QAbstractButton*>(QStringLiteral("sayBtn"));
    ASSERT_TRUE(disp && notice && input && say);

    // Inside the client area, one over none.
    std::vector<QWidget*> shown;
    for (QWidget* w : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (w->isVisible()) shown.push_back(w);
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const QRect r = shown[i]->geometry();
        EXPECT_TRUE(client->rect().contains(r))
            << shown[i]->objectName().toStdString() << " leaves the client area";
        EXPECT_GT(r.width(), 0) << shown[i]->objectName().toStdString();
        EXPECT_GT(r.height(), 0) << shown[i]->objectName().toStdString();
        for (std::size_t j = i + 1; j < shown.size(); ++j)
            EXPECT_FALSE(r.intersects(shown[j]->geometry()))
                << shown[i]->objectName().toStdString() << " overlaps "
                << shown[j]->objectName().toStdString();
    }
    // The client area between menu bar and status bar, all of it in the window.
    const QRect window = form.rect();
    EXPECT_TRUE(window.contains(client->geometry()));
    EXPECT_TRUE(window.contains(form.statusBar()->geometry()));
    EXPECT_LE(client->geometry().bottom(), form.statusBar()->geometry().top());

    // Top to bottom: display, notice when shown, the row of input line and Say.
    const int rowTop = input->isVisible() ? input->geometry().top() : say->geometry().top();
    if (notice->isVisible()) {
        EXPECT_LT(disp->geometry().bottom(), notice->geometry().top());
        EXPECT_LT(notice->geometry().bottom(), rowTop);
        for (auto* button : notice->findChildren<QAbstractButton*>()) expectCaptionFits(button);
    } else {
        EXPECT_LT(disp->geometry().bottom(), rowTop);
    }
    if (input->isVisible()) {
        EXPECT_LT(input->geometry().right(), say->geometry().left());
        // One row: each reaches into the other's height.
        EXPECT_LE(input->geometry().top(), say->geometry().bottom());
        EXPECT_LE(say->geometry().top(), input->geometry().bottom());
        EXPECT_GE(input->height(), input->fontMetrics().height());
    }
    expectCaptionFits(say);
}

}  // namespace vebix::testing
