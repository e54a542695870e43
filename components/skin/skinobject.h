#pragma once

#include "skinmodel.h"

#include <QRect>
#include <QString>

// What an element object needs of the applied form that draws it.
class SkinRepaintTarget {
public:
    // An area the element covered before a change; it is repainted with the next Repaint.
    virtual void Remember(const SkinRect& oldArea) = 0;
    // Repaints `area`, with a margin for what reaches a little past an element's box, and every
    // area remembered since the last repaint.
    virtual void Repaint(const SkinRect& area) = 0;
    // As Repaint, without the margin: nothing drawn reaches outside `area`.
    virtual void RepaintExactly(const QRect& area) = 0;

protected:
    ~SkinRepaintTarget() = default;
};

// One element of an applied skin form. Text, rectangle and position changes take effect on screen
// at the next Redraw; a visibility change shows at once (callers hide whole groups without a
// Redraw). When a slider's position is all that changed, Redraw repaints only the stretch its
// thumb travelled. The object lives as long as the TSkin that made it, even after RemoveSkin.
class SkinObject {
public:
    QString GetName() const;
    SkinRect GetRect() const;
    void SetRect(const SkinRect& rect);
    bool IsVisible() const;
    void SetVisible(bool visible);
    void Redraw();
    QString GetText() const;
    // True when the text differs from the one shown, i.e. a Redraw would change the screen.
    bool SetText(const QString& text);
    int GetPosition() const; // sliders: within the element's range
    // True when the slider's thumb moves by a pixel or more on screen.
    bool SetPosition(int position);

    // For the engine: the element's model and the applied form that draws it.
    SkinObject(SkinRepaintTarget* form, SkinElementModel* element) : form_(form), e_(element) {}
    SkinElementModel* Model() const { return e_; }

private:
    SkinRepaintTarget* form_;
    SkinElementModel* e_;
    QRect moved_;        // where the slider's thumb travelled since the last Redraw
    bool whole_ = false; // something besides the position changed since the last Redraw
};

// A skin form applied to one window.
class SkinForm {
public:
    virtual ~SkinForm() = default;
    // Nothing (nullptr) when the form has no element of that exact name.
    virtual SkinObject* FindObject(const QString& name) = 0;
};
