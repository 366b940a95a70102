// The transcript: the conversation display saved as text.
#include <QTextDocument>

#include "app/platform/filewrite.h"
#include "app/gui/chatdisplay.h"
#include "app/gui/prompts.h"
#include "app/gui/vebixform.h"

namespace vebix {

QByteArray VebixForm::transcriptBytes() const {
    QString text = disp_->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text.toUtf8();
}

void VebixForm::saveTranscript() {
    FileDialog::Request request;
    request.caption = tr("Save Transcript");
    const auto& bot = keeper().bot();
    request.initialFile = bot && !bot->botName().empty() ? botName() : tr("Transcript");
    request.filter = tr("Text Files (*.txt)");
    request.defaultSuffix = QStringLiteral("txt");
    const QString file = prompts_->saveFile(this, request);
    if (file.isEmpty()) return;
    const QByteArray bytes = transcriptBytes();
    writeWholeFile(file,
                   std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                   tr("Unable to write the transcript file '%1'").arg(file).toStdString());
}

}  // namespace vebix
