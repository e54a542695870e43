#pragma once

#include <QObject>
#include <QString>

#include <map>
#include <memory>

class QWidget;
class SkinSurface;
class SkinFormInstance;
struct SkinModel;
struct SkinElementModel;
struct SkinFormModel;

// A rectangle as the skin speaks of it: left, top, right, bottom in the form's pixels, right and
// bottom exclusive (so width = right - left).
struct SkinRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const SkinRect&) const = default;
};

// One element of an applied skin form. Text, rectangle and position changes take effect on screen
// at the next Redraw; a visibility change shows at once (callers hide whole groups without a
// Redraw). The object lives as long as the TSkin that made it, even after RemoveSkin.
class SkinObject {
public:
    QString GetName() const;
    SkinRect GetRect() const;
    void SetRect(const SkinRect& rect);
    bool IsVisible() const;
    void SetVisible(bool visible);
    void Redraw();
    QString GetText() const;
    void SetText(const QString& text);
    int GetPosition() const; // sliders: within the element's range
    void SetPosition(int position);

    // For the engine: the element's model and the applied form that draws it.
    SkinObject(SkinFormInstance* form, SkinElementModel* element) : form_(form), e_(element) {}
    SkinElementModel* Model() const { return e_; }

private:
    SkinFormInstance* form_;
    SkinElementModel* e_;
};

// A skin form applied to one window.
class SkinForm {
public:
    virtual ~SkinForm() = default;
    // Nothing (nullptr) when the form has no element of that exact name.
    virtual SkinObject* FindObject(const QString& name) = 0;
};

// The skin control. One instance serves every skinned window; the mouse events of all of them
// arrive at its signals with the element as Source. All on the UI thread.
//
// LoadSkin never throws: a missing or broken file keeps the built-in fallback skin (plain but
// usable) and LastError() names the element and the problem.
class TSkin : public QObject {
    Q_OBJECT
public:
    explicit TSkin(QObject* parent = nullptr);
    ~TSkin() override;

    bool LoadSkin(const QString& path);
    QString LastError() const;

    // The window becomes skinned (frameless, dragged by its background). A visible window is
    // shown again after the frame goes, so skin a window before showing it where possible.
    // Its existing and later child widgets stay on top of the skin and usable.
    void ApplySkin(QWidget* window);
    // The window takes the size, look and elements of the named form. An unknown name leaves
    // the window unskinned-looking but usable and records an error.
    void ApplySkinForm(QWidget* window, const QString& formName);
    // The skin's surface, mask and fixed size go; the frame comes back once the window is hidden
    // (at once if it is hidden already), so removing the skin while a window closes is safe.
    void RemoveSkin(QWidget* window);
    // The applied form of a window, or nullptr.
    SkinForm* GetSkinForm(QWidget* window);

signals:
    void OnClick(SkinObject* Source);
    void OnMouseDown(SkinObject* Source, int Button, int x, int y);
    void OnMouseUp(SkinObject* Source, int Button, int x, int y);
    void OnMouseMove(SkinObject* Source, int x, int y);

private:
    friend class SkinSurface;
    struct Impl;
    std::unique_ptr<Impl> d_;
};
