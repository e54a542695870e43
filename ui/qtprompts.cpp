#include "qtprompts.h"

#include "formatcatalogue.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace {

constexpr const char* kTitle = "Tarno MP3 Recorder";

// Qt breaks lines only at line feeds; the program's longer messages are joined by a lone
// carriage return.
QString ForDisplay(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

} // namespace

QWidget* QtPrompts::Owner() const {
    // The window the user is working in, so a box never opens behind an always-on-top dialog.
    QWidget* active = QApplication::activeWindow();
    return active != nullptr ? active : parent_;
}

void QtPrompts::Information(const QString& text) {
    QMessageBox box(QMessageBox::Information, kTitle, ForDisplay(text), QMessageBox::Ok, Owner());
    box.exec();
}

bool QtPrompts::YesNo(const QString& text) {
    QMessageBox box(QMessageBox::Information, kTitle, ForDisplay(text),
                    QMessageBox::Yes | QMessageBox::No, Owner());
    return box.exec() == QMessageBox::Yes;
}

QString QtPrompts::StartFolder() const {
    QString folder = startFolder_ ? startFolder_() : QString();
    if (folder.isEmpty())
        return {};
    folder = QFileInfo(folder).absoluteFilePath();
    while (!folder.isEmpty() && !QFileInfo(folder).isDir()) {
        const QString up = QFileInfo(folder).path();
        folder = up == folder ? QString() : up;
    }
    return folder;
}

QString QtPrompts::SaveFileName(const QString& filter) {
    // No default extension: the caller appends the format's extension.
    QFileDialog dialog(Owner(), QString(), StartFolder());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(catalogue::ToQtFilters(filter));
    dialog.setOption(QFileDialog::DontConfirmOverwrite); // the recorder asks itself
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

QStringList QtPrompts::OpenFileNames(const QString& filter) {
    QFileDialog dialog(Owner(), QString(), StartFolder());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(catalogue::ToQtFilters(filter));
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}
