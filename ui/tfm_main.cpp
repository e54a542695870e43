#include "tfm_main.h"

#include "helpviewer.h"
#include "player.h"
#include "prompts.h"
#include "publisher.h"
#include "recorderskin.h"
#include "recordingcontrol.h"
#include "tampbar2.h"
#include "tfm_id3.h"
#include "tfm_list.h"
#include "tfm_set.h"
#include "tinifile.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <utility>

namespace {

// The elements start-up looks up, in this order. "s_left", "s_right", "showp" and "s_size" are
// looked up too but nothing uses them.
const char* const kLookedUp[] = {"s_time", "play_bar",  "s_left",     "s_right", "showp",
                                 "s_size", "s_sizeson", "s_filename", "s_mono",  "pb1",
                                 "pb2",    "spb1",      "spb2",       "spb"};

const char* const kTextFields[] = {"s_time", "s_sizeson", "s_filename", "s_mono"};

} // namespace

Tfm_main::Tfm_main(MainEnvironment env, MainPeers& peers, QWidget* parent)
    : QWidget(parent), AudioRecord1(env.backend), AudioPlayer21(env.backend),
      Skin1(recorderskin::FallbackSkin()), AmpBar1(new TAmpBar2(this)),
      AmpBar22(new TAmpBar2(this)), env_(std::move(env)), peers_(peers) {
    setObjectName("fm_main");
    setWindowTitle("Tarno MP3 Recorder");
    setFixedSize(453, 260);
    AmpBar1->setObjectName("AmpBar1");
    AmpBar22->setObjectName("AmpBar22");
    AmpBar1->setAccessibleName("Left level");
    AmpBar22->setAccessibleName("Right level");
    AmpBar1->setGeometry(84, 164, 305, 3);
    AmpBar22->setGeometry(84, 174, 304, 3);

    if (env_.store)
        Skin1.SetDescriber(recorderskin::ElementDescriber(*env_.store));
    connect(&Skin1, &TSkin::OnClick, this, &Tfm_main::Skin1Click);
    connect(&Skin1, &TSkin::OnMouseDown, this, &Tfm_main::Skin1MouseDown);
    connect(&Skin1, &TSkin::OnMouseUp, this, &Tfm_main::Skin1MouseUp);
    connect(&Skin1, &TSkin::OnMouseMove, this, &Tfm_main::Skin1MouseMove);
    heldTextsDue_.setSingleShot(true);
    // Longer than the time's second, which may come up to a meter step late.
    heldTextsDue_.setInterval(1250);
    connect(&heldTextsDue_, &QTimer::timeout, this, &Tfm_main::ShowHeldTexts);
}

Tfm_main::~Tfm_main() = default;

void Tfm_main::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        FormShow();
    }
}

void Tfm_main::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // The window manager moves a skinned window itself, without mouse moves reaching the skin,
    // so the list window follows here as well.
    peers_.List().PlaceBelow(*this);
}

void Tfm_main::closeEvent(QCloseEvent* event) {
    // Closing the main window ends the program. An open recording is finished as a stop would
    // finish it, so the audio still on its way is written and the file closed and tagged;
    // nothing is asked, as closing is the user's choice.
    try {
        if (state_.recording)
            StopRecording();
        if (state_.playing)
            StopPlaying();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarno-recorder: %s\n", e.what());
    }
    QWidget::closeEvent(event);
    QCoreApplication::quit();
}

void Tfm_main::FormShow() {
    Tfm_set* fm_set = &peers_.Settings();
    state_.stopping = false;
    state_.sample_base = 0;
    state_.record_paused = false;
    state_.play_paused = false;

    AudioFileWrite.SetStartupFlag(true);
    AudioFilepaly.SetStartupFlag(true);

    fm_set->LoadRecordingSource();

    // The dialog's controls hold the stored settings from now on, so the save at every
    // recording start stores only what the user chose, and the stored schedule is in force.
    fm_set->LoadFromStore();

    const bool skinLoaded =
        Skin1.LoadSkin(env_.dataDir + "/mp3enc.skn", recorderskin::CheckRecorderSkin);
    Skin1.ApplySkin(this);
    Skin1.ApplySkinForm(this, "mp3recorder");
    AmpBar1->raise();
    AmpBar22->raise();
    if (!skinLoaded) {
        const QString message = Skin1.LastError();
        std::fprintf(stderr, "tarno-recorder: %s\n", qPrintable(message));
        QTimer::singleShot(0, this, [this, message] { env_.prompts->Information(message); });
    }

    FetchSkinObjects();
    ShowDisplay(false);

    if (AudioPlayer21.GetMute()) {
        SetVisible("spb1", true, true);
        SetVisible("spb2", false, true);
    } else {
        SetVisible("spb1", false, true);
        SetVisible("spb2", true, true);
    }
    SetPosition("spb", AudioPlayer21.GetVolume());
    if (SkinObject* pb2 = Element("pb2"))
        progress_rect = pb2->GetRect();
    SetPosition("play_bar", 0);
    SetProgressWidth(0);
    SetVisible("play_bar", false, false);
    state_.bar_follows = true;
}

void Tfm_main::FetchSkinObjects() {
    elements_.clear();
    SkinForm* form = Skin1.GetSkinForm(this);
    for (const char* name : kLookedUp) {
        SkinObject* object = form != nullptr ? form->FindObject(name) : nullptr;
        if (object != nullptr)
            elements_[name] = object;
    }
}

SkinObject* Tfm_main::Element(const QString& name) const {
    const auto it = elements_.find(name);
    if (it != elements_.end())
        return it->second;
    return nullptr;
}

FailureHandler Tfm_main::ToHandler() {
    return [this](const std::exception& e) { ApplicationEvents1Exception(e); };
}

void Tfm_main::ApplicationEvents1Exception(const std::exception& e) {
    env_.prompts->Information(QString::fromStdString(e.what()));
    // Stopping can fail in turn (a full disk refuses the tags too); that is shown as well, and
    // the playback is still stopped.
    if (state_.recording) {
        try {
            StopRecording();
        } catch (const std::exception& again) {
            env_.prompts->Information(QString::fromStdString(again.what()));
        }
    }
    if (state_.playing) {
        try {
            StopPlaying();
        } catch (const std::exception& again) {
            env_.prompts->Information(QString::fromStdString(again.what()));
        }
    }
}

// --- Display ------------------------------------------------------------------------------

void Tfm_main::SetText(const QString& element, const QString& text) {
    heldTexts_.erase(element);
    // An element is drawn again only when what it shows changes: the time is set about 20
    // times a second and changes once.
    if (SkinObject* e = Element(element); e != nullptr && e->SetText(text)) {
        ShowHeldTexts();
        e->Redraw();
    }
}

void Tfm_main::SetTextWithNextRedraw(const QString& element, const QString& text) {
    // Each repaint of the window costs about as much as a tenth of a second of MP3 encoding;
    // the size, which changes with every block, is drawn together with the time.
    SkinObject* e = Element(element);
    if (e == nullptr)
        return;
    if (!heldTexts_.contains(element) && e->GetText() == text)
        return;
    heldTexts_[element] = text;
    if (!heldTextsDue_.isActive())
        heldTextsDue_.start();
}

void Tfm_main::ShowHeldTexts() {
    heldTextsDue_.stop();
    for (const auto& [element, text] : std::exchange(heldTexts_, {}))
        if (SkinObject* e = Element(element); e != nullptr && e->SetText(text))
            e->Redraw();
}

QString Tfm_main::GetText(const QString& element) const {
    if (const auto held = heldTexts_.find(element); held != heldTexts_.end())
        return held->second;
    SkinObject* e = Element(element);
    return e != nullptr ? e->GetText() : QString();
}

void Tfm_main::SetVisible(const QString& element, bool visible, bool redraw) {
    if (SkinObject* e = Element(element)) {
        e->SetVisible(visible);
        if (redraw) {
            ShowHeldTexts();
            e->Redraw();
        }
    }
}

int Tfm_main::GetPosition(const QString& element) const {
    SkinObject* e = Element(element);
    return e != nullptr ? e->GetPosition() : 0;
}

void Tfm_main::SetPosition(const QString& element, int position) {
    if (SkinObject* e = Element(element); e != nullptr && e->SetPosition(position)) {
        ShowHeldTexts();
        e->Redraw();
    }
}

void Tfm_main::ShowDisplay(bool visible) {
    if (visible) {
        for (const char* name : kTextFields)
            SetVisible(name, true, false);
        if (state_.playing) {
            SetVisible("pb1", true, false);
            SetVisible("pb2", true, false);
        }
        if (state_.recording) {
            AmpBar1->setVisible(true);
            AmpBar22->setVisible(true);
        }
    } else {
        for (const char* name : kTextFields)
            SetVisible(name, false, false);
        SetVisible("pb1", false, false);
        SetVisible("pb2", false, false);
        AmpBar1->setVisible(false);
        AmpBar22->setVisible(false);
    }
}

void Tfm_main::SetProgressWidth(int position) {
    const int right = progress_rect.left + static_cast<int>(MulDiv(position, 326, 10000));
    if (right == progress_rect.right)
        return;
    progress_rect.right = right;
    if (SkinObject* pb2 = Element("pb2")) {
        ShowHeldTexts();
        pb2->SetRect(progress_rect);
        pb2->Redraw();
    }
}

int Tfm_main::PlayBarPixels() const {
    SkinObject* bar = Element("play_bar");
    if (bar == nullptr)
        return 0;
    const SkinElementModel& m = *bar->Model();
    const int length = m.vertical ? m.rect.bottom - m.rect.top : m.rect.right - m.rect.left;
    return std::max(0, length - m.thumbSize);
}

void Tfm_main::SetMeters(int left, int right) {
    AmpBar1->SetValue(left);
    AmpBar22->SetValue(right);
}

void Tfm_main::StopMeters() {
    AmpBar1->ValuesStopped();
    AmpBar22->ValuesStopped();
}

// --- actions ------------------------------------------------------------------------------

void Tfm_main::StartRecording() {
    peers_.Recorder().StartRecording();
}
void Tfm_main::StopRecording() {
    peers_.Recorder().StopRecording();
}
void Tfm_main::ToggleRecordPause() {
    peers_.Recorder().ToggleRecordPause();
}
void Tfm_main::PlaySelected() {
    peers_.Playback().PlaySelected();
}
void Tfm_main::TogglePlayPause() {
    peers_.Playback().TogglePlayPause();
}
void Tfm_main::StopPlaying() {
    peers_.Playback().StopPlaying();
}

// --- what the skin's clicks ask for ---------------------------------------------------------

void Tfm_main::PlayPrevious() {
    peers_.Playback().PlayPrevious();
}
void Tfm_main::PlayNext() {
    peers_.Playback().PlayNext();
}
void Tfm_main::AddToList() {
    peers_.List().AddToList();
}
void Tfm_main::DeleteSelected() {
    peers_.List().DeleteSelected();
}
void Tfm_main::ClearList() {
    peers_.List().Clear();
}
void Tfm_main::ShowList(bool show) {
    show ? peers_.List().show() : static_cast<void>(peers_.List().close());
}
void Tfm_main::ShowSettings(bool show) {
    show ? peers_.Settings().show() : static_cast<void>(peers_.Settings().close());
}
void Tfm_main::ShowTags(bool show) {
    show ? peers_.Tags().show() : static_cast<void>(peers_.Tags().close());
}
void Tfm_main::RestoreDefaults() {
    peers_.Settings().RestoreDefaults();
}
void Tfm_main::SaveSettings() {
    peers_.Settings().SaveSettings();
}
void Tfm_main::CloseSettings() {
    peers_.Settings().close();
}

void Tfm_main::OpenHelp() {
    // The desktop's viewer; the program does not wait for it and a failure is not reported.
    help::Open(env_.dataDir, this);
}

void Tfm_main::OpenWeb() {
    QDesktopServices::openUrl(QUrl(publisher::kHomePageUrl));
}

void Tfm_main::SetMuted(bool muted) {
    SetVisible("spb1", muted, true);
    SetVisible("spb2", !muted, true);
    AudioPlayer21.SetMute(muted);
}

void Tfm_main::Information(const QString& text) {
    env_.prompts->Information(text);
}

// --- skin events --------------------------------------------------------------------------

void Tfm_main::Skin1Click(SkinObject* Source) {
    if (Source == nullptr)
        return;
    HandleFailures(ToHandler(), [&] { DispatchClick(Source->GetName(), state_, *this); });
}

void Tfm_main::Skin1MouseDown(SkinObject* Source, int, int, int) {
    if (Source != nullptr && Source->GetName() == "play_bar")
        state_.bar_follows = false;
}

void Tfm_main::Skin1MouseUp(SkinObject* Source, int, int, int) {
    if (Source == nullptr)
        return;
    HandleFailures(ToHandler(), [&] {
        const QString name = Source->GetName();
        if (name == "play_bar") {
            // Released after the playback ended: the bar must follow the next playback again.
            state_.bar_follows = true;
            if (state_.playing || state_.play_paused)
                peers_.Playback().SeekFromBar();
        }
        if (name == "spb") {
            int v = Source->GetPosition();
            if (v > TAudioPlayer2::kMaxVolume)
                v = TAudioPlayer2::kMaxVolume;
            AudioPlayer21.SetVolume(v);
        }
    });
}

void Tfm_main::Skin1MouseMove(SkinObject*, int, int) {
    if (QGuiApplication::mouseButtons() & Qt::LeftButton)
        peers_.List().PlaceBelow(*this);
}
