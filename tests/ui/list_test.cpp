// The recordings list window: adding from disk and from a stopped recording, deleting, clearing,
// the clicks that reach it in each state, the double click, and how it shows.

#include "appstate.h"
#include "contrast.h"
#include "fakeports.h"
#include "formatcatalogue.h"
#include "recorderskin.h"
#include "skindispatch.h"
#include "taudiofile2.h"
#include "testaudio.h"
#include "textroom.h"
#include "tfm_list.h"
#include "tinifile.h"
#include "tskin.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QHeaderView>
#include <QLocale>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <ctime>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class FakeActions : public RecorderActions {
public:
    void StartRecording() override { calls << "StartRecording"; }
    void StopRecording() override { calls << "StopRecording"; }
    void ToggleRecordPause() override { calls << "ToggleRecordPause"; }
    void PlaySelected() override { calls << "PlaySelected"; }
    void TogglePlayPause() override { calls << "TogglePlayPause"; }
    void StopPlaying() override { calls << "StopPlaying"; }
    QStringList calls;
};

// The main window's part in a click on the list's buttons: the list's own calls and the message.
class ListClicks : public MainActions {
public:
    ListClicks(Tfm_list& list, Prompts& prompts) : list_(list), prompts_(prompts) {}
    void StartRecording() override {}
    void StopRecording() override {}
    void ToggleRecordPause() override {}
    void PlaySelected() override {}
    void TogglePlayPause() override {}
    void StopPlaying() override {}
    void PlayPrevious() override {}
    void PlayNext() override {}
    void AddToList() override { list_.AddToList(); }
    void DeleteSelected() override { list_.DeleteSelected(); }
    void ClearList() override { list_.Clear(); }
    void ShowList(bool) override {}
    void ShowSettings(bool) override {}
    void ShowTags(bool) override {}
    void RestoreDefaults() override {}
    void SaveSettings() override {}
    void CloseSettings() override {}
    void OpenHelp() override {}
    void OpenWeb() override {}
    void SetMuted(bool) override {}
    void Information(const QString& text) override { prompts_.Information(text); }

private:
    Tfm_list& list_;
    Prompts& prompts_;
};

// A PCM WAV header for `dataBytes` of 8-bit mono at `rate`, the data left as a hole in the file
// (silence that takes no disk space).
void WriteSparseWav(const QString& path, int rate, std::uint32_t dataBytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    const auto u32 = [&](std::uint32_t v) {
        char b[4] = {char(v & 0xff), char((v >> 8) & 0xff), char((v >> 16) & 0xff),
                     char((v >> 24) & 0xff)};
        f.write(b, 4);
    };
    const auto u16 = [&](std::uint16_t v) {
        char b[2] = {char(v & 0xff), char((v >> 8) & 0xff)};
        f.write(b, 2);
    };
    f.write("RIFF", 4);
    u32(36 + dataBytes);
    f.write("WAVEfmt ", 8);
    u32(16);
    u16(1); // PCM
    u16(1);
    u32(rate);
    u32(rate);
    u16(1);
    u16(8);
    f.write("data", 4);
    u32(dataBytes);
    f.close();
    ASSERT_EQ(::truncate(path.toLocal8Bit().constData(), 44 + static_cast<off_t>(dataBytes)), 0);
}

class ListTest : public ::testing::Test {
protected:
    ListTest()
        : ini(dir.filePath("tarnoRecord.ini")),
          fm_list(state, ini, prompts, display, AudioFilepaly, skin, actions, &main) {
        skin.LoadSkin(QString(TARNO_SOURCE_DIR) + "/resources/mp3enc.skn",
                      recorderskin::CheckRecorderSkin);
    }

    QString Make(const QString& name, TestFormat format, double seconds) {
        const QString path = dir.filePath(name);
        WriteToneFile(path, format, seconds, 1000);
        return path;
    }
    QString Corrupt(const QString& name) {
        const QString path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray(3000, '\x5a'));
        return path;
    }
    QString Column(int row, int column) const {
        return fm_list.lv->topLevelItem(row)->text(column);
    }
    QList<int> Selected() const {
        QList<int> rows;
        for (int i = 0; i < fm_list.Count(); ++i)
            if (fm_list.lv->topLevelItem(i)->isSelected())
                rows << i;
        return rows;
    }
    // Entries added through the dialog, no message expected.
    void Add(const QStringList& paths) {
        prompts.openAnswers.push_back(paths);
        fm_list.AddToList();
    }

    QTemporaryDir dir;
    AppState state;
    TIniFile ini;
    FakePrompts prompts;
    FakeDisplay display;
    TAudioFile2 AudioFilepaly;
    TSkin skin{recorderskin::FallbackSkin()};
    FakeActions actions;
    QWidget main;
    Tfm_list fm_list;
};

TEST_F(ListTest, AddingFromDiskProbesEachFileReportsTheUnreadableOneAndSelectsTheFirstAdded) {
    const QString a = Make("a.wav", TestFormat::Wav, 1.2);
    const QString bad = Corrupt("b.mp3");
    const QString c = Make("c.ogg", TestFormat::Ogg, 2.5);
    Add({a, bad, c});

    EXPECT_EQ(prompts.filters, QStringList{catalogue::OpenFilter()});
    EXPECT_EQ(prompts.messages, QStringList{"Read " + bad + " error!!"});
    ASSERT_EQ(fm_list.Count(), 2);
    EXPECT_EQ(Column(0, 0), "a.wav");
    EXPECT_EQ(Column(0, 1), "00:00:01");
    EXPECT_EQ(Column(0, 3), a);
    EXPECT_EQ(Column(1, 0), "c.ogg");
    EXPECT_EQ(Column(1, 1), "00:00:02");
    EXPECT_EQ(Column(1, 3), c);
    EXPECT_EQ(Selected(), QList<int>{0});
    // The creation date as the file system keeps it (UTC), day first.
    const QString today = QDateTime::currentDateTimeUtc().date().toString("dd-MM-yyyy");
    EXPECT_EQ(Column(0, 2), today);
    EXPECT_TRUE(QRegularExpression("^\\d\\d-\\d\\d-\\d{4}$").match(Column(1, 2)).hasMatch());
    EXPECT_FALSE(AudioFilepaly.IsOpen()) << "the probe closes the file again";

    // A second call selects the first entry it added, whatever was selected before.
    fm_list.Select(1);
    Add({Make("d.mp3", TestFormat::Mp3, 1.0), Make("e.wma", TestFormat::Wma, 1.0)});
    EXPECT_EQ(fm_list.Count(), 4);
    EXPECT_EQ(Column(2, 0), "d.mp3");
    EXPECT_EQ(Column(3, 0), "e.wma");
    EXPECT_EQ(Selected(), QList<int>{2});

    // Cancelling the dialog changes nothing.
    fm_list.DeselectAll();
    fm_list.Select(1);
    fm_list.Select(3);
    fm_list.AddToList();
    EXPECT_EQ(fm_list.Count(), 4);
    EXPECT_EQ(Selected(), (QList<int>{1, 3}));
    EXPECT_EQ(prompts.messages.size(), 1);

    // Nothing readable at all: messages only, the selection is cleared as after every add.
    Add({Corrupt("x.wav"), dir.filePath("missing.ogg")});
    EXPECT_EQ(fm_list.Count(), 4);
    EXPECT_EQ(prompts.messages.size(), 3);
    EXPECT_TRUE(Selected().isEmpty());
}

TEST_F(ListTest, DateIsTheFileSystemsOwnUtcDateInAnyTimeZone) {
    // At any moment one of these two zones (UTC+14 and UTC-12) has another date than UTC, so a
    // conversion to local time shows in one of them.
    const QString path = Make("a.wav", TestFormat::Wav, 0.2);
    const QByteArray oldTz = qgetenv("TZ");
    for (const char* zone : {"Etc/GMT-14", "Etc/GMT+12"}) {
        SCOPED_TRACE(zone);
        qputenv("TZ", zone);
        tzset();
        fm_list.Clear();
        Add({path});
        ASSERT_EQ(fm_list.Count(), 1);
        EXPECT_EQ(Column(0, 2), QDateTime::currentDateTimeUtc().date().toString("dd-MM-yyyy"));
    }
    if (oldTz.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", oldTz);
    tzset();
}

TEST_F(ListTest, LengthsOfAHundredHoursAndRawFilesWithTheStoredSettings) {
    // 100 hours of 8-bit mono at 8000 Hz.
    const QString longFile = dir.filePath("long.wav");
    WriteSparseWav(longFile, 8000, 8000u * 3600u * 100u);
    // Two seconds of 22050 Hz mono 16-bit RAW; read with the default RAW settings (44100 Hz
    // stereo) it would last half a second.
    const QString raw = dir.filePath("take.raw");
    WriteToneFile(raw, TestFormat::Raw, 2.0, 1000, 22050, 1);
    ini.WriteInteger("raw", "f", 5);
    ini.WriteInteger("raw", "c", 0);
    ini.WriteInteger("raw", "b", 5);

    Add({longFile, raw});
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("; ").toStdString();
    ASSERT_EQ(fm_list.Count(), 2);
    EXPECT_EQ(Column(0, 1), "100:00:00");
    EXPECT_EQ(Column(1, 1), "00:00:02");
}

TEST_F(ListTest, StoppedRecordingIsListedWithTheShownTimeAndTodaysDateAndSelectedAlone) {
    Add({Make("a.wav", TestFormat::Wav, 1.0), Make("b.wav", TestFormat::Wav, 1.0)});
    fm_list.Select(1);

    state.recording = true;
    state.stopping = true;
    state.out_file_name = dir.filePath("08-12--10;20;30.mp3");
    display.texts["s_time"] = "00:01:05";
    fm_list.AddToList();

    ASSERT_EQ(fm_list.Count(), 3);
    EXPECT_EQ(Column(2, 0), "08-12--10;20;30.mp3");
    EXPECT_EQ(Column(2, 1), "00:01:05");
    EXPECT_EQ(Column(2, 2), QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat));
    EXPECT_EQ(Column(2, 3), state.out_file_name);
    EXPECT_EQ(Selected(), QList<int>{2});
    EXPECT_EQ(prompts.filters.size(), 1) << "no dialog for a recording";
    EXPECT_EQ(fm_list.Path(fm_list.FirstSelected()), state.out_file_name);
}

TEST_F(ListTest, DeleteRemovesExactlyTheSelectedEntries) {
    QStringList files;
    for (const char* n : {"0.wav", "1.wav", "2.wav", "3.wav", "4.wav", "5.wav"})
        files << Make(n, TestFormat::Wav, 0.2);
    Add(files);
    fm_list.DeselectAll();
    for (int i : {0, 1, 3, 5})
        fm_list.Select(i);
    fm_list.DeleteSelected();
    ASSERT_EQ(fm_list.Count(), 2);
    EXPECT_EQ(Column(0, 0), "2.wav");
    EXPECT_EQ(Column(1, 0), "4.wav");

    // Nothing selected: nothing removed.
    fm_list.DeselectAll();
    fm_list.DeleteSelected();
    EXPECT_EQ(fm_list.Count(), 2);

    // All selected: empty.
    fm_list.Select(0);
    fm_list.Select(1);
    fm_list.DeleteSelected();
    EXPECT_EQ(fm_list.Count(), 0);
}

TEST_F(ListTest, ClicksWhilePlayingAndWhileRecording) {
    const QString extra = Make("extra.wav", TestFormat::Wav, 0.5);
    const auto fill = [&] {
        fm_list.Clear();
        prompts.openAnswers.clear();
        Add({Make("a.wav", TestFormat::Wav, 0.3), Make("b.wav", TestFormat::Wav, 0.3)});
        fm_list.DeselectAll();
        fm_list.Select(1);
        prompts.messages.clear();
        prompts.filters.clear();
        prompts.openAnswers = {{extra}}; // would add if a dialog were opened
    };
    struct Row {
        const char* click;
        bool playing;
        bool recording;
        bool messageShown;
        int countAfter;
    };
    const Row rows[] = {
        {"add", true, false, true, 2},   {"list_add", true, false, false, 2},
        {"del", true, false, true, 2},   {"clear", true, false, true, 2},
        {"add", false, true, false, 2},  {"list_add", false, true, false, 2},
        {"del", false, true, false, 2},  {"clear", false, true, false, 0},
        {"add", false, false, false, 3}, {"list_add", false, false, false, 3},
        {"del", false, false, false, 1}, {"clear", false, false, false, 0},
        {"add", true, true, true, 2}, // both flags: playing's message, nothing added
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.click) + (row.playing ? " playing" : "") +
                     (row.recording ? " recording" : ""));
        state.playing = state.recording = false;
        fill();
        state.playing = row.playing;
        state.recording = row.recording;
        ListClicks clicks(fm_list, prompts);
        ASSERT_TRUE(DispatchClick(row.click, state, clicks));
        EXPECT_EQ(prompts.messages,
                  row.messageShown ? QStringList{"Please stop playing first."} : QStringList{});
        EXPECT_EQ(fm_list.Count(), row.countAfter);
        if (row.playing || row.recording) {
            EXPECT_TRUE(prompts.filters.isEmpty()) << "no open dialog";
        }
    }
}

TEST_F(ListTest, DoubleClickStopsAPlaybackFirstThenPlays) {
    Add({Make("a.wav", TestFormat::Wav, 0.3), Make("b.wav", TestFormat::Wav, 0.3)});
    fm_list.show();
    // The mouse events a double click delivers: press, release, double click, release.
    const auto dblClickRow = [&](int row) {
        QWidget* viewport = fm_list.lv->viewport();
        const QPointF at = fm_list.lv->visualItemRect(fm_list.lv->topLevelItem(row)).center();
        const QPointF global = viewport->mapToGlobal(at);
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                  QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
            const bool down = type != QEvent::MouseButtonRelease;
            QMouseEvent event(type, at, global, Qt::LeftButton,
                              down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(viewport, &event);
        }
    };

    dblClickRow(1);
    EXPECT_EQ(actions.calls, QStringList{"PlaySelected"});
    EXPECT_EQ(fm_list.FirstSelected(), 1) << "the entry clicked is the one played";

    actions.calls.clear();
    state.playing = true;
    dblClickRow(0);
    EXPECT_EQ(actions.calls, (QStringList{"StopPlaying", "PlaySelected"}));
    EXPECT_EQ(fm_list.FirstSelected(), 0);
}

TEST_F(ListTest, ShowSkinsAndPlacesBelowTheMainWindowAndCloseOnlyHides) {
    // The list view as the user meets it.
    QTreeWidget* lv = fm_list.lv;
    EXPECT_EQ(lv->geometry(), QRect(25, 43, 469, 138));
    ASSERT_EQ(lv->columnCount(), 4);
    const QStringList captions{"Name:", "Time", "Date", "path"};
    const int widths[] = {140, 78, 78, 150};
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(lv->headerItem()->text(c), captions[c]);
        EXPECT_EQ(lv->columnWidth(c), widths[c]);
    }
    EXPECT_EQ(lv->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(lv->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(lv->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(lv->header()->sectionsClickable());

    main.setGeometry(100, 200, 453, 260);
    Add({Make("a.wav", TestFormat::Wav, 0.3)});
    fm_list.show();
    EXPECT_TRUE(state.list_shown);
    EXPECT_TRUE(fm_list.isVisible());
    EXPECT_TRUE(fm_list.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_NE(skin.GetSkinForm(&fm_list), nullptr) << "skinned on show";
    ASSERT_NE(skin.GetSkinForm(&fm_list)->FindObject("list_add"), nullptr);
    EXPECT_EQ(fm_list.pos(), QPoint(107, 200 + 260 - 20));
    EXPECT_EQ(fm_list.size(), QSize(515, 194));
    EXPECT_TRUE(fm_list.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(lv->isVisible());

    // Dragging the main window: the list follows when the main window asks.
    main.move(300, 50);
    fm_list.PlaceBelow(main);
    EXPECT_EQ(fm_list.pos(), QPoint(307, 50 + 260 - 20));

    fm_list.close();
    EXPECT_FALSE(state.list_shown);
    EXPECT_EQ(fm_list.Count(), 1) << "closing keeps the entries";

    // Shown again: skinned and placed again.
    main.move(10, 20);
    fm_list.show();
    EXPECT_TRUE(state.list_shown);
    EXPECT_TRUE(fm_list.isVisible());
    EXPECT_EQ(fm_list.pos(), QPoint(17, 20 + 260 - 20));
    EXPECT_EQ(fm_list.Count(), 1);
}

} // namespace

TEST_F(ListTest, EveryEntryAndHeadingIsReadable) {
    Add({Make("a.wav", TestFormat::Wav, 0.3), Make("b.wav", TestFormat::Wav, 0.2)});
    fm_list.show();
    const contrast::Report report = contrast::Walker(&fm_list, QColor(0x2a, 0x2f, 0x38)).Walk();
    EXPECT_TRUE(report.failures.isEmpty()) << report.failures.join(QLatin1Char('\n')).toStdString();
    EXPECT_GE(report.texts, 2 * 4);
    fm_list.close();
}

// Marks above capitals ("Ü") and below the line ("ç", "g") are drawn whole in every column, in
// the default font and a larger one.
TEST_F(ListTest, AccentedCapitalsAndDescendersFitTheirRows) {
    Add({Make(QStringLiteral("Ünïcode lied.wav"), TestFormat::Wav, 0.2),
         Make(QStringLiteral("Ça gèle ÅÉÎ.wav"), TestFormat::Wav, 0.2)});
    fm_list.show();
    for (const double scale : {1.0, 1.5}) {
        QFont font = QApplication::font();
        font.setPointSizeF(font.pointSizeF() * scale);
        fm_list.lv->setFont(font);
        fm_list.lv->doItemsLayout();
        for (int row = 0; row < fm_list.Count(); ++row) {
            for (int column = 0; column < 4; ++column) {
                const QModelIndex cell = fm_list.lv->model()->index(row, column);
                const textroom::Cut cut = textroom::CellCut(*fm_list.lv, cell);
                EXPECT_GT(cut.whole, 0) << row << "," << column;
                EXPECT_EQ(cut.lost, 0) << "row " << row << " column " << column << " at "
                                       << cut.height << " px, scale " << scale;
            }
        }
    }
    fm_list.close();
}
