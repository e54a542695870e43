#pragma once

// Fakes of the main window's ports for the player and list tests: they record what the logic
// shows and answer the dialogs from a script.

#include "ports.h"
#include "prompts.h"

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <deque>

class FakeDisplay : public MainDisplay {
public:
    void SetText(const QString& element, const QString& text) override { texts[element] = text; }
    QString GetText(const QString& element) const override { return texts.value(element); }
    void SetVisible(const QString& element, bool visible, bool) override {
        if (visible)
            visibleElements.insert(element);
        else
            visibleElements.remove(element);
    }
    int GetPosition(const QString& element) const override { return positions.value(element); }
    void SetPosition(const QString& element, int position) override {
        positions[element] = position;
    }
    void ShowDisplay(bool visible) override {
        displayShown = visible;
        ++showDisplayCalls;
    }
    void SetProgressWidth(int position) override { progress = position; }
    int PlayBarPixels() const override { return barPixels; }
    int barPixels = 320;
    void SetMeters(int, int) override {}
    void StopMeters() override {}

    bool Visible(const QString& element) const { return visibleElements.contains(element); }

    QMap<QString, QString> texts;
    QMap<QString, int> positions;
    QSet<QString> visibleElements;
    bool displayShown = false;
    int showDisplayCalls = 0;
    int progress = -1;
};

class FakePrompts : public Prompts {
public:
    void Information(const QString& text) override { messages << text; }
    bool YesNo(const QString& text) override {
        messages << text;
        return true;
    }
    QString SaveFileName(const QString&) override { return {}; }
    QStringList OpenFileNames(const QString& filter) override {
        filters << filter;
        if (openAnswers.empty())
            return {};
        QStringList answer = openAnswers.front();
        openAnswers.pop_front();
        return answer;
    }

    QStringList messages;
    QStringList filters;
    std::deque<QStringList> openAnswers;
};

// A plain list of paths with a selection, standing in for the list window.
class FakeList : public RecordingsList {
public:
    void AddToList() override {}
    int Count() const override { return paths.size(); }
    int FirstSelected() const override {
        for (int i = 0; i < paths.size(); ++i)
            if (selected.contains(i))
                return i;
        return -1;
    }
    void DeselectAll() override { selected.clear(); }
    void Select(int index) override {
        if (index >= 0 && index < paths.size())
            selected.insert(index);
    }
    QString Path(int index) const override { return paths.value(index); }

    QStringList paths;
    QSet<int> selected;
};
