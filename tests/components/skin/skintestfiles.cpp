#include "skintestfiles.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

QString DefaultSkinPath() {
    return QStringLiteral(TARNO_SOURCE_DIR "/resources/mp3enc.skn");
}

QByteArray DefaultSkinText() {
    QFile f(DefaultSkinPath());
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

QByteArray WithRoot(const std::function<void(QJsonObject&)>& change) {
    QJsonObject root = QJsonDocument::fromJson(DefaultSkinText()).object();
    change(root);
    return QJsonDocument(root).toJson();
}

QByteArray WithElement(const QString& form, const QString& element,
                       const std::function<void(QJsonObject&)>& change) {
    return WithRoot([&](QJsonObject& root) {
        QJsonArray forms = root.value("forms").toArray();
        for (qsizetype f = 0; f < forms.size(); ++f) {
            QJsonObject fo = forms[f].toObject();
            if (fo.value("name").toString() != form)
                continue;
            QJsonArray elements = fo.value("elements").toArray();
            for (qsizetype e = 0; e < elements.size(); ++e) {
                QJsonObject eo = elements[e].toObject();
                if (eo.value("name").toString() == element) {
                    change(eo);
                    elements[e] = eo;
                }
            }
            fo["elements"] = elements;
            forms[f] = fo;
        }
        root["forms"] = forms;
    });
}

QString WriteSkin(const QTemporaryDir& dir, const QByteArray& content) {
    const QString path = dir.filePath(QStringLiteral("mp3enc.skn"));
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(content);
    return path;
}
