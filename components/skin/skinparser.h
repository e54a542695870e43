#pragma once

#include "skinmodel.h"

#include <QByteArray>
#include <QString>

// The outcome of reading a skin: a model, or an error that names the file, the form, the
// element and the problem, e.g.
//   mp3enc.skn: form "mp3recorder", element "play_bar": unknown kind "slidr"
struct SkinParseResult {
    std::shared_ptr<SkinModel> model; // null on error
    QString error;
    bool ok() const { return model != nullptr; }
};

// Parses the text of a skin file. `fileName` only labels the messages. Never throws; any input,
// however broken, yields either a complete model or an error.
SkinParseResult ParseSkin(const QByteArray& data, const QString& fileName);

// Reads and parses a skin file; a missing or unreadable file is an error like any other.
SkinParseResult LoadSkinFile(const QString& path);
