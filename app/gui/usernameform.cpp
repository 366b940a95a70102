#include "app/gui/usernameform.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/platform/settings.h"
#include "app/gui/application.h"
#include "app/gui/dialogplacement.h"
#include "app/gui/dialogsize.h"
#include "app/gui/prompts.h"

namespace vebix {
namespace {

constexpr const char* kEmptyName =
    QT_TRANSLATE_NOOP("vebix::UserNameForm", "Please enter or select your name.");
constexpr const char* kShortName = QT_TRANSLATE_NOOP(
    "vebix::UserNameForm",
    "It is recommended that you enter a longer name.\r\n\r\nWould you like to fix your name?");
constexpr const char* kBlankInName =
    QT_TRANSLATE_NOOP("vebix::UserNameForm",
                      "It is recommended that you enter just your first name without any "
                      "spaces.\r\n\r\nWould you like to fix your name?");

// ASCII case-insensitive order, as the sorted list box keeps it.
int compareNames(const QString& a, const QString& b) {
    const QByteArray x = a.toUtf8().toLower();
    const QByteArray y = b.toUtf8().toLower();
    return x < y ? -1 : (y < x ? 1 : 0);
}

}  // namespace

UserNameForm::UserNameForm(const QString& currentName, std::optional<QString> loginName,
                           Prompts& prompts, QWidget* parent)
    : QDialog(parent), loginName_(std::move(loginName)), prompts_(&prompts) {
    setObjectName(QStringLiteral("UserNameForm"));
    setWindowTitle(tr("User Name"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    // Made in tab order: the name box, OK, the list.
    nameBox_ = new QLineEdit(this);
    nameBox_->setObjectName(QStringLiteral("nameBox"));

    okBtn_ = new QPushButton(tr("OK"), this);
    okBtn_->setObjectName(QStringLiteral("okBtn"));

    knownNamesList_ = new QListWidget(this);
    knownNamesList_->setObjectName(QStringLiteral("knownNamesList"));

    label1_ = new QLabel(tr("Please enter or select your name or nickname."), this);
    label1_->setObjectName(QStringLiteral("label1"));
    label1_->setWordWrap(true);

    label2_ = new QLabel(tr("User &name:"), this);
    label2_->setObjectName(QStringLiteral("label2"));
    label2_->setBuddy(nameBox_);

    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(label2_);
    nameRow->addWidget(nameBox_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okBtn_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label1_);
    layout->addWidget(knownNamesList_, 1);
    layout->addLayout(nameRow);
    layout->addLayout(buttons);

    okBtn_->setDefault(true);
    connect(okBtn_, &QPushButton::clicked, this, [this] { guarded([this] { acceptName(); }); });
    connect(knownNamesList_, &QListWidget::itemSelectionChanged, this,
            [this] { guarded([this] { onSelectionChanged(); }); });
    connect(knownNamesList_, &QListWidget::itemDoubleClicked, this,
            [this] { guarded([this] { onDoubleClick(); }); });

    nameBox_->setText(currentName);
    sizeDialog(*this, QSize(314, 200));
    centreOverParentWhenShown(*this);
}

QString UserNameForm::enteredName() const { return nameBox_->text(); }

void UserNameForm::addKnownName(const QString& name) {
    int row = 0;
    while (row < knownNamesList_->count() &&
           compareNames(knownNamesList_->item(row)->text(), name) <= 0)
        ++row;
    knownNamesList_->insertItem(row, name);
}

void UserNameForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (loaded_) return;
    loaded_ = true;
    guarded([this] { fillKnownNames(); });
}

void UserNameForm::keyPressEvent(QKeyEvent* event) {
    // Escape would reject the dialog like a Cancel button it does not have; at the first prompt
    // that ends the program, with a name typed or not.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool UserNameForm::isListed(const QString& name) const {
    for (int row = 0; row < knownNamesList_->count(); ++row) {
        if (knownNamesList_->item(row)->text().compare(name, Qt::CaseInsensitive) == 0) return true;
    }
    return false;
}

void UserNameForm::fillKnownNames() {
    {
        Settings settings;
        for (const std::string& name : settings.valueNames(Settings::kUserNamesGroup)) {
            // The unnamed value and names of one byte are not offered. Settings written before
            // names were kept case-insensitively may hold several spellings of one name.
            const QString text = QString::fromStdString(name);
            if (name.size() > 1 && !isListed(text)) addKnownName(text);
        }
    }
    // The login name is offered too, unless it is the administrator's account or already
    // listed (in any letter case).
    const std::optional<QString>& login = loginName_;
    if (!login) return;
    const bool administrator =
        login->compare(QStringLiteral("Administrator"), Qt::CaseInsensitive) == 0 ||
        login->compare(QStringLiteral("root"), Qt::CaseInsensitive) == 0;
    if (administrator || isListed(*login)) return;
    addKnownName(*login);
}

void UserNameForm::acceptName() {
    const QString name = nameBox_->text().trimmed();
    const QString caption = windowTitle();
    if (name.isEmpty()) {
        prompts_->message(this, caption, tr(kEmptyName), QMessageBox::Warning);
        nameBox_->setFocus();
        return;
    }
    const auto bytes = name.toUtf8().size();
    if (bytes <= 2 && prompts_->message(this, caption, tr(kShortName), QMessageBox::Question,
                                        QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes) {
        nameBox_->setFocus();
        return;
    }
    if (name.contains(QLatin1Char(' ')) &&
        prompts_->message(this, caption, tr(kBlankInName), QMessageBox::Question,
                          QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes) {
        nameBox_->setFocus();
        return;
    }
    {
        Settings settings;
        // One name in any letter case: the other spellings give way to this one.
        for (const std::string& known : settings.valueNames(Settings::kUserNamesGroup)) {
            if (QString::fromStdString(known).compare(name, Qt::CaseInsensitive) == 0)
                settings.removeValue(Settings::kUserNamesGroup, known);
        }
        settings.writeString(Settings::kUserNamesGroup, name.toStdString(), "");
        settings.sync();
    }
    accept();
}

void UserNameForm::onSelectionChanged() {
    QListWidgetItem* item = knownNamesList_->currentItem();
    if (!item || !item->isSelected()) return;
    nameBox_->setText(item->text());
    nameBox_->setFocus();
}

void UserNameForm::onDoubleClick() {
    QListWidgetItem* item = knownNamesList_->currentItem();
    if (!item || !item->isSelected()) return;
    nameBox_->setText(item->text());
    okBtn_->click();
}

}  // namespace vebix
