#include "app/gui/savenotice.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace vebix {

SaveNotice::SaveNotice(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("saveNotice"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    applyColours();

    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("saveNoticeText"));
    message_->setTextFormat(Qt::PlainText);
    message_->setWordWrap(true);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    message_->setAccessibleName(tr("Save problem"));

    // The buttons are reached by mouse or Tab; they never take the typing away from the input.
    tryAgainBtn_ = new QPushButton(tr("Try Again"), this);
    tryAgainBtn_->setObjectName(QStringLiteral("saveNoticeTryAgainBtn"));
    tryAgainBtn_->setAutoDefault(false);
    tryAgainBtn_->setFocusPolicy(Qt::TabFocus);
    saveAsBtn_ = new QPushButton(tr("Save As..."), this);
    saveAsBtn_->setObjectName(QStringLiteral("saveNoticeSaveAsBtn"));
    saveAsBtn_->setAutoDefault(false);
    saveAsBtn_->setFocusPolicy(Qt::TabFocus);
    tryAgainBtn_->setAccessibleDescription(tr("Tries again to save the mind to its file"));
    saveAsBtn_->setAccessibleDescription(tr("Saves the whole mind to another file"));
    connect(tryAgainBtn_, &QPushButton::clicked, this, &SaveNotice::tryAgainClicked);
    connect(saveAsBtn_, &QPushButton::clicked, this, &SaveNotice::saveAsClicked);

    // The text above, the buttons below at the right: the text keeps the notice's whole width,
    // so that it fits in few lines even at the window's least size.
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(tryAgainBtn_);
    buttons->addWidget(saveAsBtn_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 3, 6, 3);
    layout->addWidget(message_);
    layout->addLayout(buttons);
    hide();
}

void SaveNotice::showFailure(const QString& reason) {
    message_->setText(tr("This mind is not being saved. %1").arg(reason));
    message_->setToolTip(reason);
    show();
}

QString SaveNotice::text() const { return message_->text(); }

void SaveNotice::applyColours() {
    // Set apart from the conversation by a tint of the palette's highlight over its window
    // colour, with the window's own text colour: readable in light and dark themes alike.
    const QPalette desktop = QApplication::palette(this);
    const QColor ground = desktop.color(QPalette::Window);
    const QColor tint = desktop.color(QPalette::Highlight);
    auto mix = [](int a, int b) { return (a * 3 + b) / 4; };
    QPalette colours = palette();
    colours.setColor(QPalette::Window,
                     QColor(mix(ground.red(), tint.red()), mix(ground.green(), tint.green()),
                            mix(ground.blue(), tint.blue())));
    colours.setColor(QPalette::WindowText, desktop.color(QPalette::WindowText));
    setPalette(colours);
}

void SaveNotice::changeEvent(QEvent* event) {
    QFrame::changeEvent(event);
    if (event->type() == QEvent::ApplicationPaletteChange) applyColours();
}

}  // namespace vebix
