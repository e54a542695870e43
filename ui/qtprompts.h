#pragma once

#include "prompts.h"

class QWidget;

// The program's message boxes and file dialogs, parented to one window.
class QtPrompts : public Prompts {
public:
    explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }

    void Information(const QString& text) override;
    bool YesNo(const QString& text) override;
    QString SaveFileName(const QString& filter) override;
    QStringList OpenFileNames(const QString& filter) override;

private:
    QWidget* Owner() const;
    QWidget* parent_;
};
