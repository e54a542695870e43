#include "qtprompts.h"

#include "formatcatalogue.h"

#include <QFileDialog>
#include <QMessageBox>

namespace {
constexpr const char* kTitle = "Tarno MP3 Recorder";
}

void QtPrompts::Information(const QString& text) {
    QMessageBox box(QMessageBox::Information, kTitle, text, QMessageBox::Ok, parent_);
    box.exec();
}

bool QtPrompts::YesNo(const QString& text) {
    QMessageBox box(QMessageBox::Information, kTitle, text, QMessageBox::Yes | QMessageBox::No,
                    parent_);
    return box.exec() == QMessageBox::Yes;
}

QString QtPrompts::SaveFileName(const QString& filter) {
    // No default extension and no initial folder: the caller appends the format's extension.
    QFileDialog dialog(parent_);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(catalogue::ToQtFilters(filter));
    dialog.setOption(QFileDialog::DontConfirmOverwrite); // the recorder asks itself
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

QStringList QtPrompts::OpenFileNames(const QString& filter) {
    QFileDialog dialog(parent_);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(catalogue::ToQtFilters(filter));
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}
