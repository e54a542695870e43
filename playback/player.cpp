#include "player.h"

#include "appstate.h"
#include "componenterror.h"
#include "formatcatalogue.h"
#include "playbackfile.h"
#include "ports.h"
#include "prompts.h"
#include "taudiofile2.h"
#include "taudioplayer2.h"
#include "tinifile.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <utility>

Player::Player(AppState& state, MainDisplay& display, RecordingsList& list, Prompts& prompts,
               TAudioFile2& AudioFilepaly, TAudioPlayer2& AudioPlayer21, TIniFile& settings,
               QObject* parent)
    : QObject(parent), state_(state), display_(display), list_(list), prompts_(prompts),
      file_(AudioFilepaly), player_(AudioPlayer21), settings_(settings) {}

void Player::SetFailureHandler(FailureHandler handler) {
    failureHandler_ = std::move(handler);
}

void Player::PlaySelected() {
    if (state_.play_paused) {
        player_.StartPlayback();
        LookAgainAtTheNextChange();
        state_.play_paused = false;
        return;
    }
    if (state_.playing)
        return;
    if (state_.recording) {
        prompts_.Information("Please stop recording first.");
        return;
    }
    const int count = list_.Count();
    if (count <= 0)
        return;
    if (list_.FirstSelected() < 0)
        list_.Select(count - 1);
    const int index = list_.FirstSelected();
    const QString path = list_.Path(index);

    // The bar starts at the start, not where the previous file stopped: the first look may be
    // a second away.
    if (state_.bar_follows) {
        display_.SetPosition("play_bar", 0);
        display_.SetProgressWidth(0);
    }
    display_.SetVisible("play_bar", true, true);
    state_.sample_pos = 0;
    state_.playing = true;
    state_.play_paused = false;

    {
        QFile plain(path);
        if (!plain.open(QIODevice::ReadOnly))
            throw ComponentError(QString("%1: %2").arg(path, plain.errorString()).toStdString());
        display_.SetText("s_sizeson", QString::number(plain.size() / 1024) + " KB");
    }

    if (file_.IsOpen())
        file_.CloseFile();
    OpenForPlayback(file_, settings_, path);
    state_.play_index = index;

    display_.SetText("s_mono", catalogue::ChannelName(file_.GetChannels()) + " " +
                                   QString::number(file_.GetBitRate() / 1000) + "K" + " " +
                                   QString::number(file_.GetSampleRate()) + "HZ");
    state_.block_size = kBlockFrames;
    file_.Seek(0, 3);
    player_.SetFormat(file_.GetFormatHandle(), file_.GetFormatParam());
    display_.ShowDisplay(true);
    player_.StartPlayback();
    LookAgainAtTheNextChange();
    display_.SetText("s_filename", QFileInfo(path).fileName());
    FeedBlock();
    FeedBlock();
}

void Player::FeedBlock() {
    // The block lives only for this call; the player copies what it keeps.
    const Block block = file_.ReadBlock(state_.block_size);
    player_.QueueBlock(block);
    ++blocksFed_;
}

void Player::StopPlaying() {
    state_.sample_base = 0;
    state_.playing = false;
    state_.play_paused = false;
    player_.StopPlayback();
    file_.CloseFile();
    display_.SetText("s_time", "00:00:00");
    display_.ShowDisplay(false);
    display_.SetVisible("play_bar", false, true);
}

void Player::TogglePlayPause() {
    if (!state_.play_paused) {
        // The last look may be a second old; the pause keeps the position of this moment.
        ShowPosition(player_.CurrentSamples());
        state_.sample_base = state_.sample_pos;
        player_.StopPlayback();
    } else {
        player_.StartPlayback();
        LookAgainAtTheNextChange();
    }
    state_.play_paused = !state_.play_paused;
}

void Player::SeekFromBar() {
    state_.bar_follows = true;
    player_.StopPlayback();
    // What is still queued belongs to the old position; the player asks for blocks from the new
    // position once it runs again.
    player_.FlushQueue();
    const int p = display_.GetPosition("play_bar");
    if (p > kBarStopAbove) {
        StopPlaying();
        return;
    }
    const std::int64_t target =
        std::max<std::int64_t>(0, MulDiv(std::max(p, 0), file_.GetLengthSamples(), kBarRange));
    file_.Seek(target, 3);
    state_.sample_base = target;
    // Until the next timer event the position is the target, so a pause right after the seek
    // keeps it.
    state_.sample_pos = target;
    player_.StartPlayback();
    LookAgainAtTheNextChange();
    // The sound runs again, so the state says so: a later pause request then pauses.
    state_.play_paused = false;
}

void Player::PlayPrevious() {
    if (state_.play_index <= 0)
        return;
    list_.DeselectAll();
    list_.Select(state_.play_index - 1);
    StopPlaying();
    PlaySelected();
}

void Player::PlayNext() {
    if (state_.play_index >= list_.Count() - 1)
        return;
    list_.DeselectAll();
    list_.Select(state_.play_index + 1);
    StopPlaying();
    PlaySelected();
}

void Player::AudioPlayer21RequestOnLoadArray() {
    HandleFailures(failureHandler_, [this] {
        if (state_.playing && file_.IsOpen())
            FeedBlock();
    });
}

void Player::AudioPlayer21EndArrayPlay() {
    HandleFailures(failureHandler_, [this] {
        if (state_.playing && file_.IsOpen())
            FeedBlock();
    });
}

void Player::AudioPlayer21EndPlay() {
    HandleFailures(failureHandler_, [this] {
        if (state_.playing)
            StopPlaying();
    });
}

void Player::AudioPlayer21Timer(qint64 CurrentSamples, int /*LevelLeft*/, int /*LevelRight*/) {
    HandleFailures(failureHandler_, [&] { ShowPosition(CurrentSamples); });
}

void Player::ShowPosition(qint64 CurrentSamples) {
    // While paused sample_base already holds the position; a late event must not add to it.
    if (!state_.playing || state_.play_paused)
        return;
    state_.sample_pos = state_.sample_base + CurrentSamples;
    display_.SetText("s_time", FormatElapsed(player_.SamplesToMs(state_.sample_pos)));
    if (state_.bar_follows) {
        std::int64_t d = MulDiv(state_.sample_pos, kBarRange, file_.GetLengthSamples());
        d = std::clamp<std::int64_t>(d, 0, kBarRange);
        display_.SetPosition("play_bar", static_cast<int>(d));
        display_.SetProgressWidth(static_cast<int>(d));
    }
    LookAgainAtTheNextChange();
}

void Player::LookAgainAtTheNextChange() {
    // The display changes when the time shown reaches its next second and when the play bar's
    // thumb reaches its next pixel; the player need not wake before. Looks fall on whole steps
    // of the position, so a step that brings both changes brings them in one repaint.
    const std::int64_t pos = std::max<std::int64_t>(0, state_.sample_pos);
    const std::int64_t ms = player_.SamplesToMs(pos);
    std::int64_t next = 1000 - ms % 1000;
    const int pixels = display_.PlayBarPixels();
    const std::int64_t length = file_.GetLengthSamples();
    if (state_.bar_follows && pixels > 0 && length > 0) {
        const std::int64_t pixel = MulDiv(pos, pixels, length);
        const std::int64_t nextPixelAt = MulDiv(pixel + 1, length, pixels);
        const std::int64_t pixelMs =
            ms + player_.SamplesToMs(std::max<std::int64_t>(0, nextPixelAt - pos));
        std::int64_t step = (pixelMs + kLookStepMs - 1) / kLookStepMs * kLookStepMs;
        if (step <= ms)
            step += kLookStepMs;
        next = std::min(next, step - ms);
    }
    // A few milliseconds late rather than early, so that the change has happened.
    player_.SetTimerInterval(static_cast<int>(std::clamp<std::int64_t>(
        next + kLookLateMs, TAudioPlayer2::kMinTimerMs, TAudioPlayer2::kMaxTimerMs)));
}
