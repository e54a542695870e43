#include "componenterror.h"
#include "mainrig.h"
#include "tampbar2.h"

#include <QComboBox>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <sys/resource.h>

namespace {

AudioSource MakeSource(const std::string& name, const std::string& description,
                       std::vector<std::string> ports, int active, int volume = 32768) {
    AudioSource s;
    s.name = name;
    s.description = description;
    for (const auto& p : ports)
        s.ports.push_back({p, p + " port"});
    s.activePort = active;
    s.volume = volume;
    return s;
}

// Files written while it lives cannot grow beyond `bytes`: a full disk for one file.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit r = saved_;
        r.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &r);
    }
    ~FileSizeLimit() { Lift(); }
    void Lift() { setrlimit(RLIMIT_FSIZE, &saved_); }

private:
    rlimit saved_{};
};

} // namespace

TEST(MainStartup, ListsEveryDeviceAndSelectsTheLastWithoutAStoredChoice) {
    MainRig rig;
    rig.backend->ClearSources();
    rig.backend->AddSource(MakeSource("mic", "Built-in Microphone", {"front", "rear"}, 1));
    rig.backend->AddSource(MakeSource("usb", "USB Headset", {}, -1));
    rig.Start();
    QComboBox* cb_rd = rig.fm_set->cb_rd;
    ASSERT_EQ(cb_rd->count(), 3) << "two sources and Default input: GetMaxDeviceIndex 2";
    EXPECT_EQ(cb_rd->itemText(0), "Built-in Microphone");
    EXPECT_EQ(cb_rd->itemText(2), "Default input");
    EXPECT_EQ(cb_rd->currentIndex(), 2);
}

TEST(MainStartup, OnlyTheDefaultInputGivesOneDevice) {
    MainRig rig;
    rig.backend->ClearSources();
    rig.Start();
    EXPECT_EQ(rig.fm_set->cb_rd->count(), 1) << "GetMaxDeviceIndex 0 lists exactly one";
    EXPECT_EQ(rig.fm_set->cb_rdson->count(), 0);
    EXPECT_EQ(rig.fm_set->cb_rdson->currentIndex(), -1);
}

TEST(MainStartup, TheStoredDeviceIsTheOneRecordedFromAndItsLinesAreListed) {
    MainRig rig;
    rig.backend->ClearSources();
    rig.backend->AddSource(MakeSource("mic", "Built-in Microphone", {"front", "rear"}, 1, 16384));
    rig.backend->AddSource(MakeSource("usb", "USB Headset", {}, -1));
    rig.store->WriteInteger("rd", "rd", 0);
    rig.Start();
    EXPECT_EQ(rig.fm_set->cb_rd->currentIndex(), 0);
    ASSERT_EQ(rig.fm_set->cb_rdson->count(), 2) << "the lines of the stored device";
    EXPECT_EQ(rig.fm_set->cb_rdson->itemText(0), "front port");
    EXPECT_EQ(rig.fm_set->cb_rdson->currentIndex(), 1) << "the active line is preselected";
    EXPECT_EQ(rig.fm_set->tb_rd->value(), 16384) << "the volume of the preselected line";

    rig.fm_main->AudioRecord1.SetFormat(44100, PcmFormat{44100, 2, SampleType::S16}.Param());
    rig.fm_main->AudioRecord1.StartCapture();
    EXPECT_EQ(rig.backend->LastCaptureSource(), "mic");
    rig.fm_main->AudioRecord1.StopCapture();
}

TEST(MainStartup, AStoredDeviceOutOfRangeFallsBackToTheLast) {
    MainRig rig;
    rig.store->WriteInteger("rd", "rd", 7);
    rig.Start();
    const int n = rig.fm_set->cb_rd->count() - 1;
    EXPECT_EQ(rig.fm_set->cb_rd->currentIndex(), -1) << "the box shows no entry";
    rig.fm_main->AudioRecord1.SelectDevice(n); // what start-up left selected
    EXPECT_EQ(rig.fm_main->AudioRecord1.GetDeviceName(), "Default input");
}

TEST(MainStartup, IdleDisplayAfterStartup) {
    MainRig rig;
    rig.Start();
    Tfm_main& m = *rig.fm_main;
    EXPECT_TRUE(rig.prompts.shown.isEmpty()) << rig.prompts.shown.join("|").toStdString();
    SkinForm* form = m.Skin1.GetSkinForm(&m);
    ASSERT_NE(form, nullptr);
    for (const char* name :
         {"s_time", "s_sizeson", "s_filename", "s_mono", "pb1", "pb2", "play_bar"}) {
        ASSERT_NE(form->FindObject(name), nullptr) << name;
        EXPECT_FALSE(form->FindObject(name)->IsVisible()) << name;
    }
    EXPECT_FALSE(m.AmpBar1->isVisible());
    EXPECT_FALSE(m.AmpBar22->isVisible());
    EXPECT_TRUE(form->FindObject("spb2")->IsVisible()) << "not muted: the unmuted speaker";
    EXPECT_FALSE(form->FindObject("spb1")->IsVisible());
    EXPECT_EQ(form->FindObject("spb")->GetPosition(), m.AudioPlayer21.GetVolume());
    EXPECT_EQ(m.ProgressRect().right, m.ProgressRect().left) << "SetProgressWidth(0)";
    EXPECT_TRUE(rig.state().bar_follows);
}

TEST(MainDisplay, ProgressWidthAndShowDisplayPerState) {
    MainRig rig;
    rig.Start();
    Tfm_main& m = *rig.fm_main;
    SkinForm* form = m.Skin1.GetSkinForm(&m);
    const SkinRect full = m.ProgressRect();
    m.SetProgressWidth(9820);
    EXPECT_EQ(form->FindObject("pb2")->GetRect().right, full.left + 320);
    EXPECT_EQ(form->FindObject("pb2")->GetRect().top, full.top);
    m.SetProgressWidth(0);
    EXPECT_EQ(form->FindObject("pb2")->GetRect().right, full.left);

    rig.state().recording = true;
    m.ShowDisplay(true);
    EXPECT_TRUE(form->FindObject("s_time")->IsVisible());
    EXPECT_FALSE(form->FindObject("pb1")->IsVisible()) << "pb1 and pb2 only while playing";
    EXPECT_TRUE(m.AmpBar1->isVisible());
    EXPECT_TRUE(m.AmpBar22->isVisible());
    m.ShowDisplay(false);
    rig.state().recording = false;
    rig.state().playing = true;
    m.ShowDisplay(true);
    EXPECT_TRUE(form->FindObject("pb1")->IsVisible());
    EXPECT_TRUE(form->FindObject("pb2")->IsVisible());
    EXPECT_FALSE(m.AmpBar1->isVisible()) << "meters only while recording";
    m.ShowDisplay(false);
    for (const char* name : {"s_time", "s_sizeson", "s_filename", "s_mono", "pb1", "pb2"})
        EXPECT_FALSE(form->FindObject(name)->IsVisible()) << name;
    rig.state().playing = false;
}

TEST(MainEvents, VolumeSliderReleaseIsCappedAndMuteButtonsSwap) {
    MainRig rig;
    rig.Start();
    Tfm_main& m = *rig.fm_main;
    SkinForm* form = m.Skin1.GetSkinForm(&m);
    SkinObject* spb = form->FindObject("spb");
    spb->SetPosition(70000);
    m.Skin1MouseUp(spb, 1, 0, 0);
    EXPECT_EQ(m.AudioPlayer21.GetVolume(), 65534);
    spb->SetPosition(1000);
    m.Skin1MouseUp(spb, 1, 0, 0);
    EXPECT_EQ(m.AudioPlayer21.GetVolume(), 1000);

    m.Skin1Click(form->FindObject("spb2"));
    EXPECT_TRUE(m.AudioPlayer21.GetMute());
    EXPECT_TRUE(form->FindObject("spb1")->IsVisible());
    EXPECT_FALSE(form->FindObject("spb2")->IsVisible());
    m.Skin1Click(form->FindObject("spb1"));
    EXPECT_FALSE(m.AudioPlayer21.GetMute());
    EXPECT_TRUE(form->FindObject("spb2")->IsVisible());
    EXPECT_FALSE(form->FindObject("spb1")->IsVisible());
}

TEST(MainEvents, PlayBarReleaseAlwaysLetsTheBarFollowAgain) {
    MainRig rig;
    rig.Start();
    Tfm_main& m = *rig.fm_main;
    SkinObject* bar = m.Skin1.GetSkinForm(&m)->FindObject("play_bar");
    m.Skin1MouseDown(bar, 1, 0, 0);
    EXPECT_FALSE(rig.state().bar_follows);
    // The playback ended while the bar was held: the release finds nothing playing.
    m.Skin1MouseUp(bar, 1, 0, 0);
    EXPECT_TRUE(rig.state().bar_follows);
    EXPECT_FALSE(rig.state().playing);
}

TEST(MainExceptions, HandlerShowsTheMessageAndStopsOnlyWhatRuns) {
    MainRig rig;
    rig.Start();
    Tfm_main& m = *rig.fm_main;
    const AppState before = rig.state();
    m.ApplicationEvents1Exception(ComponentError("Cannot open '/x.mp3': gone"));
    EXPECT_EQ(rig.prompts.shown, QStringList{"Cannot open '/x.mp3': gone"});
    EXPECT_EQ(rig.state().recording, before.recording);
    EXPECT_EQ(rig.state().playing, before.playing);

    // While recording: the recording is stopped, listed and the display idle.
    rig.prompts.shown.clear();
    m.StartRecording();
    ASSERT_TRUE(rig.state().recording) << rig.prompts.shown.join("|").toStdString();
    rig.backend->Advance(600);
    m.ApplicationEvents1Exception(std::runtime_error("disk on fire"));
    EXPECT_EQ(rig.prompts.shown.value(0), "disk on fire");
    EXPECT_FALSE(rig.state().recording);
    EXPECT_EQ(rig.fm_list->Count(), 1);
    EXPECT_EQ(m.GetText("s_time"), "00:00:00");

    // While playing: playback stops, the bar is hidden and the time reset.
    rig.prompts.shown.clear();
    rig.fm_list->Select(0);
    m.PlaySelected();
    ASSERT_TRUE(rig.state().playing) << rig.prompts.shown.join("|").toStdString();
    rig.backend->Advance(300);
    m.ApplicationEvents1Exception(std::runtime_error("sound server gone"));
    EXPECT_FALSE(rig.state().playing);
    EXPECT_FALSE(m.Skin1.GetSkinForm(&m)->FindObject("play_bar")->IsVisible());
    EXPECT_EQ(m.GetText("s_time"), "00:00:00");
}

TEST(MainExceptions, FailuresInEventsReachTheHandlerOnceAndNothingEscapes) {
    {
        SCOPED_TRACE("the capture stream fails while recording");
        MainRig rig;
        rig.Start();
        rig.backend->FailStreamsAfter(500);
        rig.fm_main->StartRecording();
        ASSERT_TRUE(rig.state().recording);
        EXPECT_NO_THROW(rig.backend->Advance(1500));
        ASSERT_EQ(rig.prompts.shown.size(), 1) << rig.prompts.shown.join("|").toStdString();
        EXPECT_TRUE(rig.prompts.shown[0].contains("failed")) << rig.prompts.shown[0].toStdString();
        EXPECT_FALSE(rig.state().recording) << "the handler stopped the recording";
        EXPECT_EQ(rig.fm_list->Count(), 1) << "and listed it";
    }
    {
        SCOPED_TRACE("the disk fills while recording");
        MainRig rig;
        rig.store->WriteInteger("output", "format", 1); // WAV, 176400 bytes a second
        rig.Start();
        rig.fm_main->StartRecording();
        ASSERT_TRUE(rig.state().recording);
        {
            FileSizeLimit limit(300000);
            // The user frees space while reading the message, so the stop can tag the file.
            rig.prompts.onInformation = [&](const QString&) { limit.Lift(); };
            EXPECT_NO_THROW(rig.backend->Advance(3000));
        }
        ASSERT_EQ(rig.prompts.shown.size(), 1) << rig.prompts.shown.join("|").toStdString();
        EXPECT_TRUE(rig.prompts.shown[0].contains(rig.state().out_file_name))
            << rig.prompts.shown[0].toStdString();
        EXPECT_FALSE(rig.state().recording);
        EXPECT_EQ(rig.fm_list->Count(), 1);
    }
    {
        SCOPED_TRACE("the playback stream fails while playing");
        MainRig rig;
        rig.Start();
        rig.fm_main->StartRecording();
        rig.backend->Advance(2000);
        rig.fm_main->StopRecording();
        ASSERT_EQ(rig.fm_list->Count(), 1);
        rig.backend->FailStreamsAfter(300);
        rig.fm_main->PlaySelected();
        ASSERT_TRUE(rig.state().playing) << rig.prompts.shown.join("|").toStdString();
        EXPECT_NO_THROW(rig.backend->Advance(1000));
        ASSERT_EQ(rig.prompts.shown.size(), 1) << rig.prompts.shown.join("|").toStdString();
        EXPECT_TRUE(rig.prompts.shown[0].contains("failed")) << rig.prompts.shown[0].toStdString();
        EXPECT_FALSE(rig.state().playing) << "the handler stopped the playback";
        EXPECT_EQ(rig.fm_main->GetText("s_time"), "00:00:00");
    }
}

TEST(MainSkin, ABrokenSkinFileIsReportedAndTheWindowStaysUsable) {
    MainRig rig("{ \"forms\": [ this is not json");
    rig.Start();
    QCoreApplication::processEvents();
    ASSERT_EQ(rig.prompts.shown.size(), 1);
    EXPECT_TRUE(rig.prompts.shown[0].contains("mp3enc.skn")) << rig.prompts.shown[0].toStdString();
    Tfm_main& m = *rig.fm_main;
    SkinForm* form = m.Skin1.GetSkinForm(&m);
    ASSERT_NE(form, nullptr);
    for (const char* name : {"recorder", "stop", "play", "s_time", "play_bar", "spb"})
        EXPECT_NE(form->FindObject(name), nullptr) << name;
    m.Skin1Click(form->FindObject("recorder"));
    EXPECT_TRUE(rig.state().recording);
    m.StopRecording();
}

TEST(MainSkin, TheIdleWindowRendersItsFaceAndTheTimeAppearsWhileRecording) {
    MainRig rig;
    rig.Start();
    Tfm_main& m = *rig.fm_main;
    const QImage idle = m.grab().toImage();
    ASSERT_EQ(idle.size(), QSize(453, 260));
    std::set<QRgb> colours;
    for (int y = 0; y < idle.height(); y += 4)
        for (int x = 0; x < idle.width(); x += 4)
            colours.insert(idle.pixel(x, y));
    EXPECT_GT(colours.size(), 20u) << "the face is drawn, not a blank window";

    m.StartRecording();
    rig.backend->Advance(1200);
    ASSERT_TRUE(rig.state().recording);
    EXPECT_EQ(m.GetText("s_time"), "00:00:01");
    const QImage recording = m.grab().toImage();
    // The time field's area changes once the time is shown.
    const SkinRect r = m.Skin1.GetSkinForm(&m)->FindObject("s_time")->GetRect();
    int changed = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            changed += idle.pixel(x, y) != recording.pixel(x, y);
    EXPECT_GT(changed, 50);
    m.StopRecording();
}

// Lets the window repaint what changed: the updates wait for the platform's next frame.
void Settle() {
    QEventLoop loop;
    QTimer::singleShot(30, &loop, &QEventLoop::quit);
    loop.exec();
}

// Where the two pictures differ inside the window's shape (where the full repaint is opaque: the
// offscreen platform shows the see-through corners over grey): "x,y" of the first difference
// and the count, or empty when they agree.
std::string Difference(const QImage& shown, const QImage& full) {
    const QImage a = shown.convertToFormat(QImage::Format_ARGB32);
    const QImage b = full.convertToFormat(QImage::Format_ARGB32);
    if (a.size() != b.size())
        return "sizes differ";
    int count = 0;
    QPoint first;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (qAlpha(b.pixel(x, y)) == 255 && a.pixel(x, y) != b.pixel(x, y))
                if (count++ == 0)
                    first = QPoint(x, y);
    return count == 0 ? std::string()
                      : std::to_string(count) + " pixels, the first at " +
                            std::to_string(first.x()) + "," + std::to_string(first.y());
}

TEST(MainSkin, TheDisplayRepaintedPieceByPieceShowsWhatAFullRepaintShows) {
    // While recording and playing the window repaints only what changed: the meters' columns,
    // the time, the size, the play bar's steps. After each change, what the window shows (its
    // backing store, built up by those repaints) must equal a full repaint of the same state.
    MainRig rig;
    rig.Start();
    Tfm_main& m = *rig.fm_main;
    Settle();
    m.StartRecording();
    ASSERT_TRUE(rig.state().recording);
    const QString longName =
        QStringLiteral("2026-12-09 03-40-00 Ärger über Jåglöffel — a recording with a name "
                       "far too long for its field, Ωμέγα ЖЩ ÀÉÎÕÜ gjpqy.mp3");
    struct Change {
        const char* what;
        std::function<void()> apply;
    };
    const std::vector<Change> changes = {
        {"a long file name", [&] { m.SetText("s_filename", longName); }},
        {"the time", [&] { m.SetText("s_time", "00:00:01"); }},
        {"the size", [&] { m.SetText("s_sizeson", "48 KB"); }},
        {"meters up", [&] { m.SetMeters(20000, 18000); }},
        {"meters down a little", [&] { m.SetMeters(19000, 18500); }},
        {"the time again", [&] { m.SetText("s_time", "00:00:02"); }},
        {"a longer size", [&] { m.SetText("s_sizeson", "123456789 KB"); }},
        {"meters to the top", [&] { m.SetMeters(32767, 32767); }},
        {"meters to nothing", [&] { m.SetMeters(0, 0); }},
        {"a shorter size", [&] { m.SetText("s_sizeson", "7 KB"); }},
        {"a wider time", [&] { m.SetText("s_time", "88:88:88"); }},
        {"a short file name", [&] { m.SetText("s_filename", "a.mp3"); }},
        {"the time with the name",
         [&] {
             m.SetText("s_time", "10:11:12");
             m.SetText("s_filename", longName + longName);
         }},
        {"the play bar shown",
         [&] {
             m.SetVisible("pb1", true, true);
             m.SetVisible("pb2", true, true);
             m.SetVisible("play_bar", true, true);
         }},
        {"the play bar moves",
         [&] {
             m.SetPosition("play_bar", 3000);
             m.SetProgressWidth(3000);
         }},
        {"the play bar steps",
         [&] {
             m.SetPosition("play_bar", 3030);
             m.SetProgressWidth(3030);
             m.SetText("s_time", "10:11:13");
         }},
        {"the play bar to the end",
         [&] {
             m.SetPosition("play_bar", 9820);
             m.SetProgressWidth(10000);
         }},
    };
    for (const Change& change : changes) {
        change.apply();
        Settle();
        const QImage shown = QGuiApplication::primaryScreen()->grabWindow(m.winId()).toImage();
        EXPECT_EQ(Difference(shown, m.grab().toImage()), "") << change.what;
    }
    m.StopRecording();
}

TEST(MainSkin, TheSizeWhileRecordingIsDrawnWithTheTimeOrASecondLater) {
    // The size changes with every block, three times a second; it is drawn with the time so
    // that it costs no repaint of its own, and never much later than a second.
    MainRig rig;
    rig.Start();
    Tfm_main& m = *rig.fm_main;
    SkinObject* size = m.Skin1.GetSkinForm(&m)->FindObject("s_sizeson");
    ASSERT_NE(size, nullptr);
    const auto shows = [size] { return size->GetText().toStdString(); };
    const auto shownMatchesFull = [&] {
        Settle();
        const QImage shown = QGuiApplication::primaryScreen()->grabWindow(m.winId()).toImage();
        return Difference(shown, m.grab().toImage());
    };
    m.StartRecording();
    const std::string before = shows();
    rig.backend->Advance(400); // the first block is written, the time is still 00:00:00
    const std::string written = m.GetText("s_sizeson").toStdString();
    EXPECT_TRUE(written.ends_with(" KB")) << written;
    EXPECT_NE(written, before);
    EXPECT_EQ(shows(), before) << "drawn before the time changed";
    rig.backend->Advance(700);
    ASSERT_EQ(m.GetText("s_time").toStdString(), "00:00:01");
    EXPECT_EQ(shows(), m.GetText("s_sizeson").toStdString());
    EXPECT_EQ(shownMatchesFull(), "");

    // Nothing else redraws (a pause): the size comes a little over a second later.
    m.SetTextWithNextRedraw("s_sizeson", "99 KB");
    QEventLoop loop;
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_NE(shows(), "99 KB");
    QTimer::singleShot(500, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(shows(), "99 KB");
    EXPECT_EQ(shownMatchesFull(), "");

    // A text set at once replaces the one held; a held text equal to what shows holds nothing.
    m.SetTextWithNextRedraw("s_sizeson", "5 KB");
    m.SetText("s_sizeson", "7 KB");
    m.SetText("s_time", "00:00:09");
    EXPECT_EQ(shows(), "7 KB");
    EXPECT_EQ(m.GetText("s_sizeson").toStdString(), "7 KB");
    m.SetTextWithNextRedraw("s_sizeson", "7 KB");
    m.SetText("s_time", "00:00:10");
    EXPECT_EQ(shows(), "7 KB");
    m.StopRecording();
}

TEST(MainWindow, ClosingWhileRecordingFinishesTheFileAsAStopWould) {
    MainRig rig;
    rig.Start();
    Tfm_main& m = *rig.fm_main;
    m.StartRecording();
    ASSERT_TRUE(rig.state().recording);
    rig.backend->Advance(700);
    const QString path = rig.state().out_file_name;
    m.close();
    EXPECT_FALSE(rig.state().recording);
    EXPECT_EQ(rig.fm_list->Count(), 1) << "stopped, listed and tagged like any stop";
    TAudioFile2 reader;
    reader.OpenForRead(path, 0, 1);
    EXPECT_GE(reader.GetDurationMs(), 600) << "the audio captured before the close is in the file";
}
