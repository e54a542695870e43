#include "tskin.h"

#include "skinforminstance.h"
#include "skinpainter.h"
#include "skinparser.h"
#include "skinsurface.h"

#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>
#include <QtDebug>
#include <map>
#include <tuple>
#include <vector>

namespace {

struct Skinned {
    QPointer<QWidget> window;
    QPointer<SkinSurface> surface;
    SkinFormInstance* form = nullptr;
    bool addedFrameless = false;
    // The window's background was made see-through for a shape that no mask could cut.
    bool addedTranslucent = false;
    bool hadNoSystemBackground = false;
    QSize minimumSize, maximumSize;
};

void MakeTranslucent(QWidget* window, Skinned& entry) {
    if (window->testAttribute(Qt::WA_TranslucentBackground))
        return;
    entry.hadNoSystemBackground = window->testAttribute(Qt::WA_NoSystemBackground);
    entry.addedTranslucent = true;
    window->setAttribute(Qt::WA_TranslucentBackground, true);
}

void RestoreBackground(QWidget* window, Skinned& entry) {
    window->setAttribute(Qt::WA_TranslucentBackground, false);
    window->setAttribute(Qt::WA_NoSystemBackground, entry.hadNoSystemBackground);
    entry.addedTranslucent = false;
}

// Puts a window's frame back the next time it is hidden, unless it is skinned again first.
class FrameRestorer : public QObject {
public:
    FrameRestorer(QWidget* window) : QObject(window), window_(window) {
        window->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Hide && !window_->isVisible()) {
            window_->removeEventFilter(this);
            QWidget* w = window_;
            // Changing flags inside the hide event itself confuses some window systems.
            QMetaObject::invokeMethod(
                w,
                [w] {
                    if (!w->isVisible() && !w->property("tarno_skinned").toBool()) {
                        w->setWindowFlag(Qt::FramelessWindowHint, false);
                        w->setProperty("tarno_frame_removed", false);
                    }
                },
                Qt::QueuedConnection);
            deleteLater();
        }
        return false;
    }

private:
    QWidget* window_;
};

} // namespace

struct TSkin::Impl {
    SkinModelPtr skin;
    QString error;
    std::map<QWidget*, Skinned> windows;
    SkinDescriber describer;
    // Every form ever applied, by window and form; reused when the same form is applied again
    // so the objects a caller holds stay the ones on screen.
    std::vector<std::tuple<QWidget*, const SkinModel*, QString, std::unique_ptr<SkinFormInstance>>>
        instances;
};

TSkin::TSkin(SkinModelPtr builtIn, QObject* parent)
    : QObject(parent), d_(std::make_unique<Impl>()) {
    d_->skin = builtIn ? std::move(builtIn) : std::make_shared<const SkinModel>();
    InstallSkinAccessibility();
}

TSkin::~TSkin() {
    // The surfaces report to us; windows that outlive the skin keep their children, not ours.
    for (auto& [window, entry] : d_->windows)
        delete entry.surface.data();
}

bool TSkin::LoadSkin(const QString& path, const SkinValidator& validator) {
    SkinParseResult result = LoadSkinFile(path);
    QString error = result.error;
    if (result.ok() && validator)
        error = validator(*result.model, QFileInfo(path).fileName());
    if (!error.isEmpty()) {
        d_->error = error;
        qWarning().noquote() << "skin:" << error << "- keeping the previous skin";
        return false;
    }
    d_->skin = std::move(result.model);
    d_->error.clear();
    return true;
}

QString TSkin::LastError() const {
    return d_->error;
}

void TSkin::ApplySkin(QWidget* window) {
    if (!window)
        return;
    if (d_->windows.count(window) && d_->windows[window].surface)
        return;
    Skinned& entry = d_->windows[window];
    entry.window = window;
    entry.minimumSize = window->minimumSize();
    entry.maximumSize = window->maximumSize();
    window->setProperty("tarno_skinned", true);
    connect(window, &QObject::destroyed, this, [this, window] {
        d_->windows.erase(window);
        // Another window may be born at this address; it must not inherit these forms.
        for (auto& instance : d_->instances)
            if (std::get<0>(instance) == window)
                std::get<0>(instance) = nullptr;
    });
    // Without masks the corners outside a shaped form must be see-through, and a window's
    // surface takes its alpha channel only when it is made: ask for it before the frame goes,
    // as that makes the surface anew. ApplySkinForm paints the background again for a
    // rectangular form.
    if (!PlatformHasWindowMasks(QGuiApplication::platformName()))
        MakeTranslucent(window, entry);
    entry.addedFrameless = window->property("tarno_frame_removed").toBool();
    if (!(window->windowFlags() & Qt::FramelessWindowHint)) {
        const bool wasVisible = window->isVisible();
        window->setWindowFlag(Qt::FramelessWindowHint, true);
        entry.addedFrameless = true;
        if (wasVisible)
            window->show();
    }
    window->setProperty("tarno_frame_removed", entry.addedFrameless);
    entry.surface = new SkinSurface(window);
    entry.surface->SetDescriber(d_->describer);
    connect(entry.surface, &SkinSurface::OnClick, this, &TSkin::OnClick);
    connect(entry.surface, &SkinSurface::OnMouseDown, this, &TSkin::OnMouseDown);
    connect(entry.surface, &SkinSurface::OnMouseUp, this, &TSkin::OnMouseUp);
    connect(entry.surface, &SkinSurface::OnMouseMove, this, &TSkin::OnMouseMove);
}

void TSkin::ApplySkinForm(QWidget* window, const QString& formName) {
    if (!window)
        return;
    ApplySkin(window);
    Skinned& entry = d_->windows[window];
    const SkinFormModel* model = d_->skin->Form(formName);
    if (!model) {
        d_->error = QStringLiteral("the skin has no form \"%1\"").arg(formName);
        qWarning().noquote() << "skin:" << d_->error;
        return;
    }
    SkinFormInstance* instance = nullptr;
    for (auto& [w, skin, name, form] : d_->instances)
        if (w == window && skin == d_->skin.get() && name == formName)
            instance = form.get();
    if (!instance) {
        auto created = std::make_unique<SkinFormInstance>(d_->skin, *model);
        instance = created.get();
        d_->instances.emplace_back(window, d_->skin.get(), formName, std::move(created));
    }
    entry.form = instance;
    instance->ShowOn([surface = entry.surface](const QRegion& region) {
        if (surface) {
            surface->ResetMouse();
            surface->update(region);
        }
    });
    entry.surface->SetForm(instance);
    window->setFixedSize(model->width, model->height);
    const QRegion shape = SkinFormMask(*model);
    if (PlatformHasWindowMasks(QGuiApplication::platformName())) {
        if (shape.isEmpty())
            window->clearMask();
        else
            window->setMask(shape);
        return;
    }
    // No masks here: leave the corners outside the shape unpainted on a translucent window.
    window->clearMask();
    if (!shape.isEmpty())
        MakeTranslucent(window, entry);
    else if (entry.addedTranslucent)
        RestoreBackground(window, entry);
}

bool TSkin::PlatformHasWindowMasks(const QString& platformName) {
    return platformName != QLatin1String("offscreen") &&
           !platformName.startsWith(QLatin1String("wayland"));
}

void TSkin::RemoveSkin(QWidget* window) {
    const auto it = d_->windows.find(window);
    if (it == d_->windows.end())
        return;
    Skinned entry = it->second;
    d_->windows.erase(it);
    if (entry.form)
        entry.form->ShowOn(nullptr);
    if (entry.surface) {
        entry.surface->SetForm(nullptr);
        entry.surface->hide();
        window->removeEventFilter(entry.surface);
        // Not deleted at once: we may be inside one of its own mouse handlers.
        entry.surface->deleteLater();
    }
    window->setProperty("tarno_skinned", false);
    window->clearMask();
    if (entry.addedTranslucent)
        RestoreBackground(window, entry);
    window->setMinimumSize(entry.minimumSize);
    window->setMaximumSize(entry.maximumSize);
    if (entry.addedFrameless) {
        if (!window->isVisible()) {
            window->setWindowFlag(Qt::FramelessWindowHint, false);
            window->setProperty("tarno_frame_removed", false);
        } else
            new FrameRestorer(window);
    }
}

SkinForm* TSkin::GetSkinForm(QWidget* window) {
    const auto it = d_->windows.find(window);
    return it == d_->windows.end() ? nullptr : it->second.form;
}

void TSkin::SetDescriber(SkinDescriber describer) {
    d_->describer = std::move(describer);
    for (auto& [window, entry] : d_->windows)
        if (entry.surface)
            entry.surface->SetDescriber(d_->describer);
}
