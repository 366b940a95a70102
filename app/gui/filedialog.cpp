#include "app/gui/filedialog.h"

#include <QFileDialog>

#include "app/mind/mindfileformat.h"

namespace vebix {
namespace {

std::optional<QString> g_nextName;
std::optional<FileDialog::Request> g_lastAnswered;

// Takes the scripted answer, if any, remembering what the dialog would have offered.
std::optional<QString> takeScripted(const FileDialog::Request& request) {
    if (!g_nextName) return std::nullopt;
    std::optional<QString> answer = std::move(g_nextName);
    g_nextName.reset();
    g_lastAnswered = request;
    return answer;
}

QString run(QWidget* parent, const FileDialog::Request& request, bool save) {
    if (auto scripted = takeScripted(request)) return *scripted;
    QFileDialog dialog(parent, request.caption, request.initialFile, request.filter);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (save && !request.confirmOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    // An initial name without a folder opens in the working folder; one with a folder opens
    // there with the name pre-filled.
    if (!request.initialFile.isEmpty()) dialog.selectFile(request.initialFile);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}

}  // namespace

FileDialog::Request FileDialog::forMind(const QString& caption, const QString& initialFile) {
    Request request;
    request.caption = caption;
    request.initialFile = initialFile;
    request.filter = QString::fromUtf8(mindfile::kFileFilter.data(),
                                       static_cast<qsizetype>(mindfile::kFileFilter.size()));
    request.defaultSuffix = QString::fromUtf8(mindfile::kExtension.substr(1).data(),
                                              static_cast<qsizetype>(mindfile::kExtension.size() - 1));
    return request;
}

QString FileDialog::openFile(QWidget* parent, const Request& request) {
    return run(parent, request, false);
}

QString FileDialog::saveFile(QWidget* parent, const Request& request) {
    return run(parent, request, true);
}

void FileDialog::setNextFileName(const QString& name) { g_nextName = name; }

void FileDialog::clearNextFileName() { g_nextName.reset(); }

std::optional<FileDialog::Request> FileDialog::lastAnsweredRequest() { return g_lastAnswered; }

}  // namespace vebix
