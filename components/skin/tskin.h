#pragma once

#include "skinaccessible.h"
#include "skinmodel.h"
#include "skinobject.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QWidget;

// What a program asks of a skin beyond being well formed: the forms and elements it looks up by
// name, their kinds and ranges. It returns "" for a skin it can use, otherwise a message naming
// the file (`fileName`), the form, the element and the problem.
using SkinValidator = std::function<QString(const SkinModel& model, const QString& fileName)>;

// The skin control. One instance serves every skinned window; the mouse events of all of them
// arrive at its signals with the element as Source. All on the UI thread.
//
// LoadSkin never throws: a missing, broken or refused file keeps the skin in use (the built-in
// one until a file loads) and LastError() names the element and the problem.
class TSkin : public QObject {
    Q_OBJECT
public:
    // `builtIn` is the skin in use until a LoadSkin succeeds; null stands for a skin without forms.
    explicit TSkin(SkinModelPtr builtIn, QObject* parent = nullptr);
    ~TSkin() override;

    // A file that parses is used only when `validator` (if any) accepts it.
    bool LoadSkin(const QString& path, const SkinValidator& validator = {});
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
    // The words for the elements of every skinned window: tooltips, and names and roles for
    // assistive technology (see InstallSkinAccessibility). Without one elements have neither.
    void SetDescriber(SkinDescriber describer);

    // Whether windows on the named Qt platform can be cut to a shape. Where they can (X11), a
    // shaped form masks its window; where they cannot (Wayland, offscreen), the window gets a
    // translucent background instead and only the form's shape is painted.
    static bool PlatformHasWindowMasks(const QString& platformName);

signals:
    void OnClick(SkinObject* Source);
    void OnMouseDown(SkinObject* Source, int Button, int x, int y);
    void OnMouseUp(SkinObject* Source, int Button, int x, int y);
    void OnMouseMove(SkinObject* Source, int x, int y);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};
