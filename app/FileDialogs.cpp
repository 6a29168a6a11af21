#include "FileDialogs.h"

#include <QFileDialog>

namespace zarn::app {

namespace {

QString runSessionDialog(QFileDialog& dialog) {
    dialog.setNameFilter(QString::fromLatin1(kSessionFilter));
    dialog.setDefaultSuffix(QString::fromLatin1(kSessionSuffix));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

} // namespace

QString askSessionToOpen(QWidget* parent, const QString& folder) {
    QFileDialog dialog(parent, QFileDialog::tr("Open"), folder);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return runSessionDialog(dialog);
}

QString askSessionToSave(QWidget* parent, const QString& initial) {
    QFileDialog dialog(parent, QFileDialog::tr("Save Session As"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.selectFile(initial);
    return runSessionDialog(dialog);
}

QString askImageToSave(QWidget* parent, const QString& filter, const QString& suffix,
                       const QString& initial) {
    QFileDialog dialog(parent, QFileDialog::tr("Save As"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(suffix);
    dialog.selectFile(initial);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

} // namespace zarn::app
