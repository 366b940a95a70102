#include "app/gui/savenotice.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace vebix {

SaveNotice::SaveNotice(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("saveNotice"));
    setFrameShape(QFrame::StyledPanel);
    // The tool tip colours of the person's palette: set apart from the conversation, readable
    // in light and dark themes alike.
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::ToolTipBase));
    colours.setColor(QPalette::WindowText, colours.color(QPalette::ToolTipText));
    setPalette(colours);

    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("saveNoticeText"));
    message_->setTextFormat(Qt::PlainText);
    message_->setWordWrap(true);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // The buttons are reached by mouse or Tab; they never take the typing away from the input.
    tryAgainBtn_ = new QPushButton(tr("Try Again"), this);
    tryAgainBtn_->setObjectName(QStringLiteral("saveNoticeTryAgainBtn"));
    tryAgainBtn_->setAutoDefault(false);
    tryAgainBtn_->setFocusPolicy(Qt::TabFocus);
    saveAsBtn_ = new QPushButton(tr("Save As..."), this);
    saveAsBtn_->setObjectName(QStringLiteral("saveNoticeSaveAsBtn"));
    saveAsBtn_->setAutoDefault(false);
    saveAsBtn_->setFocusPolicy(Qt::TabFocus);
    connect(tryAgainBtn_, &QPushButton::clicked, this, &SaveNotice::tryAgainClicked);
    connect(saveAsBtn_, &QPushButton::clicked, this, &SaveNotice::saveAsClicked);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 3, 6, 3);
    layout->addWidget(message_, 1);
    layout->addWidget(tryAgainBtn_);
    layout->addWidget(saveAsBtn_);
    hide();
}

void SaveNotice::showFailure(const QString& reason) {
    message_->setText(tr("This mind is not being saved. %1").arg(reason));
    message_->setToolTip(reason);
    show();
}

QString SaveNotice::text() const { return message_->text(); }

}  // namespace vebix
