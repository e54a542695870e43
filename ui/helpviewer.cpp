#include "helpviewer.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <memory>

namespace help {

QUrl Choose(const QString& dataDir, bool chmViewer) {
    const QString chm = dataDir + QLatin1Char('/') + QLatin1String(kChmFile);
    const QString html = dataDir + QLatin1Char('/') + QLatin1String(kHtmlIndex);
    if (chmViewer && QFileInfo::exists(chm))
        return QUrl::fromLocalFile(chm);
    if (QFileInfo::exists(html))
        return QUrl::fromLocalFile(html);
    return QUrl::fromLocalFile(chm);
}

void Open(const QString& dataDir, QObject* context, int timeoutMs) {
    auto* query = new QProcess(context);
    query->setProgram(QStringLiteral("xdg-mime"));
    query->setArguments(
        {QStringLiteral("query"), QStringLiteral("default"), QLatin1String(kChmMimeType)});
    query->setStandardInputFile(QProcess::nullDevice());

    // Exactly one of: the answer, a failure to start, the time running out.
    auto decided = std::make_shared<bool>(false);
    auto decide = [query, dataDir, decided](bool chmViewer) {
        if (*decided)
            return;
        *decided = true;
        if (query->state() != QProcess::NotRunning) {
            query->kill();
            query->waitForFinished(1000);
        }
        query->deleteLater();
        QDesktopServices::openUrl(Choose(dataDir, chmViewer));
    };
    QObject::connect(
        query, &QProcess::finished, query, [query, decide](int code, QProcess::ExitStatus status) {
            const QByteArray answer = query->readAllStandardOutput().trimmed();
            decide(status == QProcess::NormalExit && code == 0 && answer.endsWith(".desktop"));
        });
    QObject::connect(query, &QProcess::errorOccurred, query, [decide](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            decide(false);
    });
    QTimer::singleShot(timeoutMs, query, [decide] { decide(false); });
    query->start();
}

} // namespace help
