// The transcript: the conversation display saved as text.
#include <QDir>
#include <QTextDocument>

#include "app/platform/filewrite.h"
#include "app/gui/chatdisplay.h"
#include "app/gui/prompts.h"
#include "app/gui/vebixform.h"
#include "app/platform/qtext.h"

namespace vebix {

QByteArray VebixForm::transcriptBytes() const {
    QString text = disp_->toPlainText();
    // The name tag that waits for the person's next line is not part of what was said.
    const QString waiting = QStringLiteral("<%1> ").arg(userName());
    if (!userName().isEmpty() && text.endsWith(waiting)) {
        text.chop(waiting.size());
        while (text.endsWith(QLatin1Char('\n')) && text.endsWith(QStringLiteral("\n\n")))
            text.chop(1);
    }
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text.toUtf8();
}

void VebixForm::saveTranscript() {
    FileDialog::Request request;
    request.caption = tr("Save Transcript");
    const auto& bot = keeper().bot();
    const QString name = bot && !bot->botName().empty() ? botName() : tr("Transcript");
    // In the documents folder, beside the minds, rather than wherever the program started.
    request.initialFile =
        documentsFolder_.empty() ? name : QDir(toQPath(documentsFolder_)).filePath(name);
    request.filter = tr("Text Files (*.txt)");
    request.defaultSuffix = QStringLiteral("txt");
    const QString file = prompts_->saveFile(this, request);
    if (file.isEmpty()) return;
    const QByteArray bytes = transcriptBytes();
    writeWholeFile(file,
                   std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                   tr("Unable to write the transcript file '%1'").arg(file).toStdString());
    setStatusText(tr("Transcript saved to %1").arg(QDir::toNativeSeparators(file)));
}

}  // namespace vebix
