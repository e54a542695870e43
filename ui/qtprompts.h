#pragma once

#include "prompts.h"

#include <QString>
#include <functional>
#include <utility>

class QFileDialog;
class QWidget;

// The program's message boxes and file dialogs, parented to one window.
class QtPrompts : public Prompts {
public:
    explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }
    // Where the open and save dialogs start, asked at each opening (the output folder). Without
    // one, or when the folder does not exist, the nearest existing folder above it; then Qt's
    // choice.
    void SetStartFolder(std::function<QString()> folder) { startFolder_ = std::move(folder); }
    // The folder the next file dialog starts in; empty for Qt's choice.
    QString StartFolder() const;

    void Information(const QString& text) override;
    bool YesNo(const QString& text) override;
    QString SaveFileName(const QString& filter) override;
    QStringList OpenFileNames(const QString& filter) override;

private:
    QWidget* Owner() const;
    QWidget* parent_;
    std::function<QString()> startFolder_;
};
