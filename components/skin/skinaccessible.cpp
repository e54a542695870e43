#include "skinaccessible.h"

#include "skinforminstance.h"
#include "skinhittest.h"
#include "skinsurface.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <QWindow>
#include <map>
#include <vector>

namespace {

// One element of the form a surface shows. It stays valid while the surface shows that form;
// the form instance outlives the surface (TSkin keeps every instance).
class ElementAccessible : public QAccessibleInterface,
                          public QAccessibleActionInterface,
                          public QAccessibleValueInterface,
                          public QAccessibleTextInterface {
public:
    ElementAccessible(SkinSurface* surface, SkinFormInstance* form, std::size_t index)
        : surface_(surface), form_(form), index_(index) {}

    bool isValid() const override { return Element() != nullptr; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override {
        return surface_ ? surface_->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override {
        return surface_ ? QAccessible::queryAccessibleInterface(surface_.data()) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

    QString text(QAccessible::Text t) const override {
        const SkinElementModel* e = Element();
        if (!e)
            return {};
        const SkinElementInfo info = surface_->Describe(*e);
        switch (t) {
        case QAccessible::Name:
            return info.name;
        case QAccessible::Description:
            return info.toolTip;
        case QAccessible::Accelerator:
            return info.shortcut;
        case QAccessible::Value:
            if (e->kind == SkinKind::Slider)
                return QString::number(e->position);
            return e->kind == SkinKind::Text ? e->text : QString();
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override {
        const SkinElementModel* e = Element();
        if (!e)
            return {};
        const SkinRect& r = e->rect;
        return QRect(surface_->mapToGlobal(QPoint(r.left, r.top)),
                     QSize(r.right - r.left, r.bottom - r.top));
    }

    QAccessible::Role role() const override {
        const SkinElementModel* e = Element();
        return e ? surface_->Describe(*e).role : QAccessible::NoRole;
    }

    QAccessible::State state() const override {
        QAccessible::State s;
        const SkinElementModel* e = Element();
        if (!e) {
            s.invalid = true;
            return s;
        }
        s.invisible = !e->visible || !surface_->isVisible();
        s.readOnly = e->kind == SkinKind::Text;
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        const SkinElementModel* e = Element();
        if (!e)
            return nullptr;
        if (type == QAccessible::ActionInterface && e->kind == SkinKind::Button)
            return static_cast<QAccessibleActionInterface*>(this);
        if (type == QAccessible::ValueInterface && e->kind == SkinKind::Slider)
            return static_cast<QAccessibleValueInterface*>(this);
        if (type == QAccessible::TextInterface && e->kind == SkinKind::Text)
            return static_cast<QAccessibleTextInterface*>(this);
        return nullptr;
    }

    // Buttons: the press action.
    QStringList actionNames() const override {
        const SkinElementModel* e = Element();
        return e && e->kind == SkinKind::Button ? QStringList{pressAction()} : QStringList{};
    }
    void doAction(const QString& action) override {
        if (action == pressAction())
            Later([](SkinSurface* surface, SkinElementModel* e) { surface->Press(e); });
    }
    QStringList keyBindingsForAction(const QString& action) const override {
        const SkinElementModel* e = Element();
        if (!e || action != pressAction())
            return {};
        const QString key = surface_->Describe(*e).shortcut;
        return key.isEmpty() ? QStringList{} : QStringList{key};
    }

    // Sliders: the position.
    QVariant currentValue() const override {
        const SkinElementModel* e = Element();
        return e ? QVariant(e->position) : QVariant();
    }
    void setCurrentValue(const QVariant& value) override {
        Later([position = value.toInt()](SkinSurface* surface, SkinElementModel* e) {
            surface->Slide(e, position);
        });
    }
    QVariant maximumValue() const override {
        const SkinElementModel* e = Element();
        return e ? QVariant(e->maximum) : QVariant();
    }
    QVariant minimumValue() const override {
        const SkinElementModel* e = Element();
        return e ? QVariant(e->minimum) : QVariant();
    }
    QVariant minimumStepSize() const override { return 1; }

    // Texts: what the element shows, read-only and without a caret. Screen readers read a
    // label's text through this; the name says what the text is.
    QString text(int startOffset, int endOffset) const override {
        const QString shown = Shown();
        return shown.mid(startOffset, endOffset < 0 ? -1 : endOffset - startOffset);
    }
    int characterCount() const override { return int(Shown().size()); }
    void selection(int, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return rect(); }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* startOffset, int* endOffset) const override {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

private:
    QString Shown() const {
        const SkinElementModel* e = Element();
        return e && e->kind == SkinKind::Text ? e->text : QString();
    }

    // Runs `act` on the element from the event loop, as Qt's own buttons click: the assistive
    // technology gets its answer before whatever the click opens (a modal box) runs. Nothing
    // happens when the surface has gone or shows another form by then.
    template <typename Act> void Later(Act act) {
        if (!Element())
            return;
        QMetaObject::invokeMethod(
            surface_.data(),
            [surface = surface_, form = form_, index = index_, act] {
                if (surface && surface->Form() == form && index < form->Form().elements.size())
                    act(surface.data(), &form->Form().elements[index]);
            },
            Qt::QueuedConnection);
    }

    SkinElementModel* Element() const {
        if (!surface_ || surface_->Form() != form_ || index_ >= form_->Form().elements.size())
            return nullptr;
        return &form_->Form().elements[index_];
    }

    QPointer<SkinSurface> surface_;
    SkinFormInstance* form_;
    std::size_t index_;
};

// The surface: its children are the announced elements. The element interfaces belong to
// Qt's accessibility cache; the surface's interface removes them when it goes or the form
// changes.
class SurfaceAccessible : public QAccessibleWidget {
public:
    explicit SurfaceAccessible(SkinSurface* surface)
        : QAccessibleWidget(surface, QAccessible::Client) {}
    ~SurfaceAccessible() override { Forget(); }

    int childCount() const override { return static_cast<int>(Announced().size()); }

    QAccessibleInterface* child(int index) const override {
        const std::vector<std::size_t> shown = Announced();
        if (index < 0 || std::size_t(index) >= shown.size())
            return nullptr;
        return ElementInterface(shown[std::size_t(index)]);
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        const std::vector<std::size_t> shown = Announced();
        for (std::size_t i = 0; i < shown.size(); ++i)
            if (ElementInterface(shown[i]) == child)
                return static_cast<int>(i);
        return -1;
    }

    QAccessibleInterface* childAt(int x, int y) const override {
        SkinSurface* s = Surface();
        if (!s || !s->Form())
            return nullptr;
        const SkinElementModel* hit = HitTest(s->Form()->Form(), s->mapFromGlobal(QPoint(x, y)));
        if (!hit)
            return nullptr;
        const std::size_t index = std::size_t(hit - s->Form()->Form().elements.data());
        for (std::size_t shown : Announced())
            if (shown == index)
                return ElementInterface(index);
        return nullptr;
    }

private:
    SkinSurface* Surface() const { return static_cast<SkinSurface*>(widget()); }

    // The indices of the visible elements with a role, in painting order.
    std::vector<std::size_t> Announced() const {
        std::vector<std::size_t> shown;
        SkinSurface* s = Surface();
        if (!s || !s->Form())
            return shown;
        const auto& elements = s->Form()->Form().elements;
        for (std::size_t i = 0; i < elements.size(); ++i)
            if (elements[i].visible && s->Describe(elements[i]).role != QAccessible::NoRole)
                shown.push_back(i);
        return shown;
    }

    QAccessibleInterface* ElementInterface(std::size_t index) const {
        SkinSurface* s = Surface();
        if (s->Form() != form_) {
            Forget();
            form_ = s->Form();
        }
        const auto it = ids_.find(index);
        if (it != ids_.end())
            if (QAccessibleInterface* known = QAccessible::accessibleInterface(it->second))
                return known;
        auto* created = new ElementAccessible(s, form_, index);
        ids_[index] = QAccessible::registerAccessibleInterface(created);
        return created;
    }

    void Forget() const {
        for (const auto& [index, id] : ids_)
            QAccessible::deleteAccessibleInterface(id);
        ids_.clear();
    }

    mutable SkinFormInstance* form_ = nullptr;
    mutable std::map<std::size_t, QAccessible::Id> ids_;
};

QAccessibleInterface* SkinAccessibleFactory(const QString& className, QObject* object) {
    if (auto* surface = qobject_cast<SkinSurface*>(object))
        return new SurfaceAccessible(surface);
    // A skinned window has no frame of its own, but it is a window all the same: announced as
    // one (a frame), not as a pane inside something else. Dialogs and main windows keep the
    // interfaces Qt gives them.
    auto* window = qobject_cast<QWidget*>(object);
    if (window && window->isWindow() && window->property("tarno_skinned").toBool() &&
        className == QLatin1String(object->metaObject()->className()) &&
        !window->inherits("QDialog") && !window->inherits("QMainWindow"))
        return new QAccessibleWidget(window, QAccessible::Window);
    return nullptr;
}

} // namespace

void InstallSkinAccessibility() {
    QAccessible::installFactory(&SkinAccessibleFactory);
}
