#pragma once

#include <QString>
#include <QUrl>

class QObject;

// The help exists in two forms made from the same pages: compiled, "help/Tarnomp3recorder.chm",
// and as plain HTML, "help/html/index.html", both under the program's data folder. The CHM opens
// where the desktop has a viewer for it; everywhere else the HTML opens in the browser. Either
// way the desktop's URL opener starts it (never a shell); the program does not wait for the
// viewer and does not report its failure.
namespace help {
inline constexpr const char* kChmFile = "help/Tarnomp3recorder.chm";
inline constexpr const char* kHtmlIndex = "help/html/index.html";
inline constexpr const char* kChmMimeType = "application/vnd.ms-htmlhelp";

// The file to open: the CHM when a viewer is known, else the HTML; when the chosen form is
// missing the other one, and the CHM when neither exists.
QUrl Choose(const QString& dataDir, bool chmViewer);

// Asks the desktop which program opens CHM files ("xdg-mime query default", run directly), then
// opens what Choose picks. Returns at once; the rest happens in the event loop of `context`'s
// thread, and nothing happens once `context` is gone. An xdg-mime that is missing, fails, names
// no program or takes longer than `timeoutMs` means no viewer.
void Open(const QString& dataDir, QObject* context, int timeoutMs = 3000);
} // namespace help
