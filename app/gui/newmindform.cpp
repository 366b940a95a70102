#include "app/gui/newmindform.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/base/ascii.h"
#include "app/platform/filewrite.h"
#include "app/mind/mindlock.h"
#include "app/platform/systempaths.h"
#include "app/gui/application.h"
#include "app/gui/dialogplacement.h"
#include "app/gui/dialogsize.h"
#include "app/gui/filedialog.h"
#include "app/gui/prompts.h"

namespace vebix {
namespace {

bool holdsLetterOrDigit(const QString& text) {
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80 && isAsciiAlnum(static_cast<char>(u))) return true;
    }
    return false;
}

// The documents folder joined with name, one separator between them.
QString inDocuments(const QString& name) {
    const QString folder = systempaths::documentsFolder();
    if (folder.isEmpty()) return name;
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

}  // namespace

const char* const NewMindForm::kOpenElsewhereText = QT_TRANSLATE_NOOP(
    "vebix::NewMindForm",
    "The mind file \"%1\" is open in another window of Vebix.\r\n\r\nPlease choose another "
    "file name.");
const char* const NewMindForm::kReplaceQuestion = QT_TRANSLATE_NOOP(
    "vebix::NewMindForm",
    "A file named \"%1\" already exists.\r\n\r\nDo you want to replace it with the new mind?");

NewMindForm::NewMindForm(Prompts& prompts, QWidget* parent, const std::string& currentMindPath)
    : QDialog(parent), prompts_(&prompts), currentMindPath_(currentMindPath) {
    setObjectName(QStringLiteral("NewMindForm"));
    setWindowTitle(tr("New Mind"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    label3_ = new QLabel(tr("New bot's &name:"), this);
    label3_->setObjectName(QStringLiteral("label3"));

    botNameBox_ = new QLineEdit(QStringLiteral("Vebix"), this);
    botNameBox_->setObjectName(QStringLiteral("botNameBox"));
    botNameBox_->setMaxLength(100);
    label3_->setBuddy(botNameBox_);

    startWithDefaultMindCheck_ = new QCheckBox(tr("Start with &default template mind"), this);
    startWithDefaultMindCheck_->setObjectName(QStringLiteral("startWithDefaultMindCheck"));
    startWithDefaultMindCheck_->setChecked(true);

    label4_ = new QLabel(tr("&Save as:"), this);
    label4_->setObjectName(QStringLiteral("label4"));

    saveAsBox_ = new QLineEdit(this);
    saveAsBox_->setObjectName(QStringLiteral("saveAsBox"));
    label4_->setBuddy(saveAsBox_);

    browseBtn_ = new QPushButton(tr("&Browse..."), this);
    browseBtn_->setObjectName(QStringLiteral("browseBtn"));
    browseBtn_->setAutoDefault(false);

    createBtn_ = new QPushButton(tr("Create"), this);
    createBtn_->setObjectName(QStringLiteral("createBtn"));
    createBtn_->setDefault(true);

    cancelBtn_ = new QPushButton(tr("Cancel"), this);
    cancelBtn_->setObjectName(QStringLiteral("cancelBtn"));
    cancelBtn_->setAutoDefault(false);

    // The name box is about as long as the names it takes; the path gets the rest of the row.
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(label3_);
    nameRow->addWidget(botNameBox_, 2);
    nameRow->addStretch(1);
    auto* saveAsRow = new QHBoxLayout;
    saveAsRow->addWidget(label4_);
    saveAsRow->addWidget(saveAsBox_, 1);
    saveAsRow->addWidget(browseBtn_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(createBtn_);
    buttons->addWidget(cancelBtn_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(nameRow);
    layout->addWidget(startWithDefaultMindCheck_);
    layout->addLayout(saveAsRow);
    layout->addStretch(1);
    layout->addLayout(buttons);
    sizeDialog(*this, QSize(386, 142));
    centreOverParentWhenShown(*this);

    // Escape rejects a QDialog already, as the cancel button would.
    connect(createBtn_, &QPushButton::clicked, this, [this] { guarded([this] { create(); }); });
    connect(browseBtn_, &QPushButton::clicked, this, [this] { guarded([this] { browse(); }); });
    connect(cancelBtn_, &QPushButton::clicked, this, &QDialog::reject);
}

QString NewMindForm::botName() const { return botNameBox_->text(); }

bool NewMindForm::useTemplate() const { return startWithDefaultMindCheck_->isChecked(); }

QString NewMindForm::saveAsPath() const { return saveAsBox_->text(); }

QString NewMindForm::trimmedName() const { return botNameBox_->text().trimmed(); }

void NewMindForm::create() {
    const QString name = trimmedName();
    if (!holdsLetterOrDigit(name)) {
        botNameBox_->setFocus();
        prompts_->message(this, QString(), tr("Please enter a new bot name"), QMessageBox::NoIcon);
        return;
    }
    if (saveAsBox_->text().trimmed().isEmpty()) saveAsBox_->setText(inDocuments(name) + ".mdd");

    // Creating the mind writes the whole file, so a mind already there would be lost.
    const QFileInfo target(saveAsBox_->text());
    if (target.exists() && !target.isDir() &&
        mindOpenElsewhere(fromQPath(target.absoluteFilePath()), currentMindPath_)) {
        // Replaced under another window, the file would take that window's lines too.
        prompts_->message(this, windowTitle(), tr(kOpenElsewhereText).arg(saveAsBox_->text()),
                          QMessageBox::Warning);
        saveAsBox_->setFocus();
        return;
    }
    if (target.exists() && !target.isDir()) {
        const auto answer = prompts_->message(
            this, windowTitle(), tr(kReplaceQuestion).arg(saveAsBox_->text()), QMessageBox::Warning,
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes) {
            saveAsBox_->setFocus();
            return;
        }
    }
    accept();
}

void NewMindForm::browse() {
    FileDialog::Request request;
    request.caption = tr("Save As");
    request.initialFile = saveAsBox_->text();
    request.filter = tr("Vebix Mind Files (*.mdd)");
    request.defaultSuffix = QStringLiteral("mdd");
    // Create asks before an existing mind is replaced; asking here as well would ask twice.
    request.confirmOverwrite = false;
    const QString name = trimmedName();
    if (request.initialFile.isEmpty() && !name.isEmpty()) request.initialFile = inDocuments(name);
    const QString chosen = prompts_->saveFile(this, request);
    if (!chosen.isEmpty()) saveAsBox_->setText(chosen);
}

}  // namespace vebix
