#pragma once

#include <QString>
#include <QStringList>

// The modal questions the program asks. The program's windows use the Qt dialogs; tests answer
// them. Filters are in the "Text|*.ext|Text|*.ext" form of the format catalogue.
class Prompts {
public:
    virtual ~Prompts() = default;
    // An information box with a single OK button.
    virtual void Information(const QString& text) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool YesNo(const QString& text) = 0;
    // The save dialog; an empty string when cancelled.
    virtual QString SaveFileName(const QString& filter) = 0;
    // The open dialog with multiple selection; empty when cancelled.
    virtual QStringList OpenFileNames(const QString& filter) = 0;
};
