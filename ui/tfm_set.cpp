#include "tfm_set.h"

#include "appstate.h"
#include "formatcatalogue.h"
#include "onscreen.h"
#include "prompts.h"
#include "publisher.h"
#include "settingstable.h"
#include "taudiofile2.h"
#include "taudiorecord2.h"
#include "tfm_dir.h"
#include "tfm_set_updown.h"
#include "tinifile.h"
#include "tskin.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <cstdint>

// The pictures live in the ui library's resources; a static library needs them pulled in by name.
static void InitUiResources() {
    Q_INIT_RESOURCE(tarno_ui);
}

namespace {

constexpr int kHotKeyCount = 12; // F1..F12
constexpr settings::Reader kDialog = settings::Reader::SettingsDialog;

QString RefusalText(const char* format) {
    return QStringLiteral("This %1 format is not supported. \r"
                          "You have set too high frequency and too low bitrate or otherwise. \r"
                          "Please adjust the frequency or bitrate.")
        .arg(QString::fromLatin1(format));
}

// Checks exactly one button of an exclusive group, or none for nullptr. Buttons run their
// toggled handlers as their state changes, and only then.
void CheckOnly(QButtonGroup* group, QAbstractButton* which) {
    if (which != nullptr) {
        which->setChecked(true);
        return;
    }
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons())
        b->setChecked(false);
    group->setExclusive(true);
}

// The button standing for a stored choice 0, 1, 2; nullptr for any other value.
QAbstractButton* ButtonOf(std::initializer_list<QAbstractButton*> buttons, int choice) {
    return choice >= 0 && choice < static_cast<int>(buttons.size()) ? buttons.begin()[choice]
                                                                    : nullptr;
}

} // namespace

Tfm_set::Tfm_set(TIniFile& ini, AppState& state, Prompts& prompts, TSkin& skin,
                 TAudioFile2& AudioFileWrite, TAudioRecord2& AudioRecord1, Tfm_dir& fm_dir,
                 QString defaultOutputDir, QWidget* mainWindow)
    : ini_(ini), state_(state), prompts_(prompts), skin_(skin), AudioFileWrite_(AudioFileWrite),
      AudioRecord1_(AudioRecord1), fm_dir_(fm_dir), defaultOutputDir_(std::move(defaultOutputDir)),
      mainWindow_(mainWindow) {
    InitUiResources();
    BuildWindow();
    hotKeys_ = {{{ComboBox1, &settings::kHotRec},
                 {ComboBox2, &settings::kHotPlay},
                 {ComboBox3, &settings::kHotPause},
                 {ComboBox4, &settings::kHotStop}}};
    schedule_ = {{{&settings::kAutorecBegin, QStringLiteral("begin time"), {}},
                  {&settings::kAutorecEnd, QStringLiteral("end time"), {}},
                  {&settings::kAutorecDate, QStringLiteral("date"), {}}}};
    Connect();
    fm_dir_.SetAnchor(this);
}

Tfm_set::~Tfm_set() = default;

void Tfm_set::Connect() {
    connect(&AudioRecord1_, &TAudioRecord2::OnDevicesChanged, this,
            [this] { HandleFailures(failureHandler_, [this] { RefreshDevices(); }); });
    connect(tv, &QTreeWidget::itemClicked, this, [this] { tvClick(); });
    // Moving through the tree with the keyboard turns the pages as well.
    connect(tv, &QTreeWidget::itemSelectionChanged, this, [this] { tvClick(); });

    connect(cb_vbr, &QCheckBox::toggled, this, [this] { cb_vbrClick(); });
    connect(cb_ogg_quality, &QCheckBox::toggled, this, [this] { cb_ogg_qualityClick(); });
    for (QRadioButton* b : {rb_cdquality, rb_bestsuited, rb_custom})
        connect(b, &QRadioButton::toggled, this, [this] { rb_customClick(); });
    connect(RadioButton1, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            RadioButton1Click();
    });
    connect(RadioButton2, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            RadioButton2Click();
    });
    connect(RadioButton3, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            RadioButton3Click();
    });

    // List boxes act on the user's choice only; a selection made from code runs nothing.
    connect(ComboBox1, &QComboBox::activated, this, [this] { ComboBox1Change(); });
    connect(ComboBox2, &QComboBox::activated, this, [this] { ComboBox2Change(); });
    connect(ComboBox3, &QComboBox::activated, this, [this] { ComboBox3Change(); });
    connect(ComboBox4, &QComboBox::activated, this, [this] { ComboBox4Change(); });
    connect(cb_rd, &QComboBox::activated, this,
            [this] { HandleFailures(failureHandler_, [this] { cb_rdChange(); }); });
    connect(cb_rdson, &QComboBox::activated, this,
            [this] { HandleFailures(failureHandler_, [this] { cb_rdsonChange(); }); });
    connect(tb_rd, &QSlider::valueChanged, this,
            [this] { HandleFailures(failureHandler_, [this] { tb_rdChange(); }); });

    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });

    // A changed picker is the user's schedule from then on, even where the store held text that
    // did not read back.
    const auto changed = [this](int which) {
        if (loadingSchedule_)
            return;
        if (!schedule_[which].unread.isEmpty()) {
            schedule_[which].unread.clear();
            ShowUnreadSchedule();
        }
        emit scheduleChanged();
    };
    connect(Begintime, &QDateTimeEdit::timeChanged, this, [changed] { changed(kBegin); });
    connect(endtime, &QDateTimeEdit::timeChanged, this, [changed] { changed(kEnd); });
    connect(date_time, &QDateTimeEdit::dateChanged, this, [changed] { changed(kDate); });

    // The keyboard's way to the skin form's buttons does what their clicks do.
    connect(keyOk_, &QAbstractButton::clicked, this,
            [this] { HandleFailures(failureHandler_, [this] { SaveSettings(); }); });
    connect(keyCancel_, &QAbstractButton::clicked, this, [this] { close(); });
    connect(keyDefault_, &QAbstractButton::clicked, this, [this] { RestoreDefaults(); });
}

// --- pages -------------------------------------------------------------------------------------

QString Tfm_set::PageTitle(int index) {
    static const char* const titles[kPageCount] = {
        "Output Format",     "MP3 Settings",       "OGG Settings",
        "WAV Settings",      "RAW and WMA Format", "Recording Source",
        "Schedule Settings", "Hot Key Settings",   "About"};
    if (index < 0 || index >= kPageCount)
        return {};
    return QString::fromLatin1(titles[index]);
}

void Tfm_set::ShowPage(int index) {
    if (index < 0 || index >= kPageCount)
        return;
    for (int i = 0; i < kPageCount; ++i)
        pages_[i]->setVisible(i == index);
    lb_name->setText(PageTitle(index));
}

int Tfm_set::NodeIndex(const QTreeWidgetItem* item) const {
    const auto it = std::find(nodes_.begin(), nodes_.end(), item);
    return it == nodes_.end() || item == nullptr ? -1 : static_cast<int>(it - nodes_.begin());
}

void Tfm_set::tvClick() {
    const QList<QTreeWidgetItem*> selected = tv->selectedItems();
    ShowPage(selected.isEmpty() ? -1 : NodeIndex(selected.first()));
}

// --- show and close ----------------------------------------------------------------------------

void Tfm_set::setVisible(bool visible) {
    if (visible && !isVisible() && !inShow_) {
        inShow_ = true;
        FormShow();
        inShow_ = false;
        QWidget::setVisible(visible);
        // The dialog takes the keyboard as it opens, starting at the tree.
        activateWindow();
        tv->setFocus(Qt::OtherFocusReason);
        return;
    }
    QWidget::setVisible(visible);
}

void Tfm_set::PlaceKeyButtons() {
    SkinForm* form = skin_.GetSkinForm(this);
    const std::pair<QAbstractButton*, const char*> keys[] = {
        {keyDefault_, "default"}, {keyOk_, "ok"}, {keyCancel_, "cancel"}};
    for (const auto& [key, name] : keys) {
        SkinObject* element =
            form != nullptr ? form->FindObject(QString::fromLatin1(name)) : nullptr;
        if (element == nullptr) {
            key->hide();
            continue;
        }
        const SkinRect r = element->GetRect();
        key->setGeometry(QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)));
        key->show();
        key->raise();
    }
}

void Tfm_set::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() & ~(Qt::KeypadModifier)) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        keyOk_->click();
        return;
    case Qt::Key_Escape:
        keyCancel_->click();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void Tfm_set::FormShow() {
    skin_.ApplySkin(this);
    skin_.ApplySkinForm(this, QStringLiteral("options"));
    skinned_ = true;
    PlaceKeyButtons();

    // Centred on the main window (or the screen), once the skin form has given the size.
    const QRect around = mainWindow_ != nullptr ? mainWindow_->frameGeometry()
                         : screen() != nullptr  ? screen()->availableGeometry()
                                                : QRect();
    if (around.isValid()) {
        const QPoint centred = around.center() - QPoint(width() / 2, height() / 2);
        move(screen() != nullptr ? KeepOnScreen(centred, size(), screen()->availableGeometry())
                                 : centred);
    }

    nodes_[0]->setExpanded(true);
    LoadFromStore();
    ShowPage(0);
    state_.settings_shown = true;
    tv->setCurrentItem(nodes_[0]);
}

void Tfm_set::closeEvent(QCloseEvent* event) {
    FormCloseQuery();
    event->accept();
}

void Tfm_set::FormCloseQuery() {
    state_.settings_shown = false;
    // The dialog may be closed while a recording runs (after a refused save at its start); that
    // recording's output file stays open.
    if (!state_.recording && AudioFileWrite_.IsOpen())
        AudioFileWrite_.CloseFile();
    if (skinned_) {
        skinned_ = false;
        skin_.RemoveSkin(this);
    }
    // The keyboard goes back to the main window.
    if (mainWindow_ != nullptr && mainWindow_->isVisible())
        mainWindow_->activateWindow();
}

// --- loading, defaults, saving -----------------------------------------------------------------

int Tfm_set::Read(const settings::Key& key) const {
    return settings::ReadInteger(ini_, key, kDialog);
}

void Tfm_set::LoadFromStore() {
    TIniFile& s = ini_;
    cb_mp3_bitrate->setCurrentIndex(Read(settings::kMp3Bitrate));
    cb_mp3_channel->setCurrentIndex(Read(settings::kMp3Channel));
    cb_mp3_frequency->setCurrentIndex(Read(settings::kMp3Frequency));
    ud_mp3_quality->SetPosition(Read(settings::kMp3Quality));
    cb_vbr->setChecked(settings::ReadBool(s, settings::kMp3EnableVbr, kDialog));
    cb_mp3_vbr->setCurrentIndex(Read(settings::kMp3VbrBitrate));
    ud_mp3_vbr->SetPosition(Read(settings::kMp3VbrQuality));
    cb_vbrClick();

    CheckOnly(wavModeGroup_,
              ButtonOf({rb_cdquality, rb_bestsuited, rb_custom}, Read(settings::kWavMode)));
    cb_wav_bit->setCurrentIndex(Read(settings::kWavBit));
    cb_wav_channel->setCurrentIndex(Read(settings::kWavChannel));
    cb_wav_frequency->setCurrentIndex(Read(settings::kWavFrequency));
    rb_customClick();

    cb_wma->setCurrentIndex(Read(settings::kWmaFormat));
    cb_rawformat->setCurrentIndex(Read(settings::kRawFormat));
    cb_rawf->setCurrentIndex(Read(settings::kRawFrequency));
    cb_rawb->setCurrentIndex(Read(settings::kRawBits));
    cb_rawc->setCurrentIndex(Read(settings::kRawChannel));
    cb_ogg_channel->setCurrentIndex(Read(settings::kOggChannel));
    cb_ogg_fre->setCurrentIndex(Read(settings::kOggFrequency));
    cb_ogg_maxbit->setCurrentIndex(Read(settings::kOggMaxBitrate));
    cb_ogg_minbit->setCurrentIndex(Read(settings::kOggMinBitrate));
    cb_ogg_quality->setChecked(settings::ReadBool(s, settings::kOggEnableQuality, kDialog));
    ud_ogg_quality->SetPosition(Read(settings::kOggQuality));
    cb_ogg_qualityClick();

    CheckOnly(nameGroup_,
              settings::ReadBool(s, settings::kOutputName, kDialog) ? rb_cust : rb_time);
    cb_format->setCurrentIndex(Read(settings::kOutputFormat));
    ed_dir->setText(settings::ReadString(s, settings::kOutputDir, kDialog, defaultOutputDir_));

    CheckOnly(scheduleGroup_,
              ButtonOf({RadioButton1, RadioButton2, RadioButton3}, Read(settings::kAutorecFormat)));
    LoadSchedule();

    for (const HotKeyBox& h : hotKeys_)
        h.box->setCurrentIndex(Read(*h.key));
}

void Tfm_set::LoadSchedule() {
    TIniFile& s = ini_;
    const QDateTime now = QDateTime::currentDateTime();
    loadingSchedule_ = true;
    Begintime->setDateTime(settings::ReadTime(s, settings::kAutorecBegin, kDialog, now));
    endtime->setDateTime(settings::ReadTime(s, settings::kAutorecEnd, kDialog, now));
    date_time->setDateTime(settings::ReadDate(s, settings::kAutorecDate, kDialog, now));
    loadingSchedule_ = false;
    for (SchedulePick& pick : schedule_)
        pick.unread = settings::UnreadableText(s, *pick.key);
    ShowUnreadSchedule();
    emit scheduleChanged();
}

void Tfm_set::ShowUnreadSchedule() {
    QStringList parts;
    for (const SchedulePick& pick : schedule_) {
        if (!pick.unread.isEmpty())
            parts << pick.label + QStringLiteral(" \"") + pick.unread + QLatin1Char('"');
    }
    lbl_sched_unread->setVisible(!parts.isEmpty());
    lbl_sched_unread->setText(
        parts.isEmpty() ? QString()
                        : QStringLiteral("The stored schedule could not be read: ") +
                              parts.join(QStringLiteral(", ")) +
                              QStringLiteral(". It starts and stops nothing, and stays stored "
                                             "until you set it here and press OK."));
}

std::optional<QTime> Tfm_set::ScheduledBegin() const {
    if (!schedule_[kBegin].unread.isEmpty())
        return std::nullopt;
    return Begintime->time();
}

std::optional<QTime> Tfm_set::ScheduledEnd() const {
    if (!schedule_[kEnd].unread.isEmpty())
        return std::nullopt;
    return endtime->time();
}

std::optional<QDate> Tfm_set::ScheduledDate() const {
    if (!schedule_[kDate].unread.isEmpty())
        return std::nullopt;
    return date_time->date();
}

void Tfm_set::RestoreDefaults() {
    cb_mp3_bitrate->setCurrentIndex(11);
    cb_mp3_channel->setCurrentIndex(1);
    cb_mp3_frequency->setCurrentIndex(8);
    ud_mp3_quality->SetPosition(9);
    cb_vbr->setChecked(false);
    cb_mp3_vbr->setCurrentIndex(11);
    ud_mp3_vbr->SetPosition(9);
    cb_vbrClick();

    CheckOnly(wavModeGroup_, rb_cdquality);
    cb_wav_bit->setCurrentIndex(1);
    cb_wav_channel->setCurrentIndex(1);
    cb_wav_frequency->setCurrentIndex(8);
    for (QComboBox* box : {cb_wav_frequency, cb_wav_bit, cb_wav_channel})
        box->setEnabled(false);

    cb_wma->setCurrentIndex(9);
    cb_rawformat->setCurrentIndex(0);
    cb_rawf->setCurrentIndex(8);
    cb_rawc->setCurrentIndex(1);
    cb_rawb->setCurrentIndex(5);

    cb_ogg_channel->setCurrentIndex(1);
    cb_ogg_fre->setCurrentIndex(8);
    cb_ogg_maxbit->setCurrentIndex(11);
    cb_ogg_minbit->setCurrentIndex(11);
    cb_ogg_maxbit->setEnabled(false);
    cb_ogg_minbit->setEnabled(false);
    cb_ogg_quality->setChecked(true);
    ud_ogg_quality->SetPosition(300);
    ud_ogg_quality->setEnabled(true);
    edt_ogg_quality->setEnabled(true);

    CheckOnly(nameGroup_, rb_time);
    cb_format->setCurrentIndex(catalogue::Mp3);
}

QString Tfm_set::OggRefusalText() {
    return RefusalText("OGG");
}

QString Tfm_set::Mp3RefusalText() {
    return RefusalText("MP3");
}

void Tfm_set::RepairChannelBox(QComboBox* box, const settings::Key& key) {
    if (box->currentIndex() >= 0 && box->currentIndex() < box->count())
        return;
    int index = Read(key);
    if (index < 0 || index >= box->count())
        index = settings::DefaultFor(key, kDialog).number;
    box->setCurrentIndex(index);
}

void Tfm_set::SaveSettings() {
    RepairChannelBox(cb_mp3_channel, settings::kMp3Channel);
    RepairChannelBox(cb_ogg_channel, settings::kOggChannel);

    if (!cb_ogg_quality->isChecked()) {
        const int minimum = catalogue::BitRate(cb_ogg_minbit->currentIndex());
        if (!AudioFileWrite_.IsOggFormatSupported(
                catalogue::SampleRate(cb_ogg_fre->currentIndex()),
                catalogue::Channels(cb_ogg_channel->currentIndex()), minimum, minimum,
                catalogue::BitRate(cb_ogg_maxbit->currentIndex()))) {
            prompts_.Information(OggRefusalText());
            return;
        }
    }
    if (!AudioFileWrite_.IsMp3FormatSupported(
            catalogue::SampleRate(cb_mp3_frequency->currentIndex()),
            catalogue::BitRate(cb_mp3_bitrate->currentIndex()),
            catalogue::Channels(cb_mp3_channel->currentIndex()))) {
        prompts_.Information(Mp3RefusalText());
        return;
    }

    TIniFile& s = ini_;
    const auto position = [](const UpDown* u) {
        return int{static_cast<std::int16_t>(u->Position())};
    };
    settings::WriteInteger(s, settings::kMp3Bitrate, cb_mp3_bitrate->currentIndex());
    settings::WriteInteger(s, settings::kMp3Channel, cb_mp3_channel->currentIndex());
    settings::WriteInteger(s, settings::kMp3Frequency, cb_mp3_frequency->currentIndex());
    settings::WriteInteger(s, settings::kMp3Quality, position(ud_mp3_quality));
    settings::WriteBool(s, settings::kMp3EnableVbr, cb_vbr->isChecked());
    settings::WriteInteger(s, settings::kMp3VbrBitrate, cb_mp3_vbr->currentIndex());
    settings::WriteInteger(s, settings::kMp3VbrQuality, position(ud_mp3_vbr));

    if (rb_cdquality->isChecked())
        settings::WriteInteger(s, settings::kWavMode, 0);
    else if (rb_bestsuited->isChecked())
        settings::WriteInteger(s, settings::kWavMode, 1);
    else if (rb_custom->isChecked())
        settings::WriteInteger(s, settings::kWavMode, 2);
    settings::WriteInteger(s, settings::kWavBit, cb_wav_bit->currentIndex());
    settings::WriteInteger(s, settings::kWavChannel, cb_wav_channel->currentIndex());
    settings::WriteInteger(s, settings::kWavFrequency, cb_wav_frequency->currentIndex());

    settings::WriteInteger(s, settings::kWmaFormat, cb_wma->currentIndex());

    settings::WriteInteger(s, settings::kRawFormat, cb_rawformat->currentIndex());
    settings::WriteInteger(s, settings::kRawFrequency, cb_rawf->currentIndex());
    settings::WriteInteger(s, settings::kRawBits, cb_rawb->currentIndex());
    settings::WriteInteger(s, settings::kRawChannel, cb_rawc->currentIndex());

    settings::WriteInteger(s, settings::kOggChannel, cb_ogg_channel->currentIndex());
    settings::WriteInteger(s, settings::kOggFrequency, cb_ogg_fre->currentIndex());
    settings::WriteInteger(s, settings::kOggMaxBitrate, cb_ogg_maxbit->currentIndex());
    settings::WriteInteger(s, settings::kOggMinBitrate, cb_ogg_minbit->currentIndex());
    settings::WriteBool(s, settings::kOggEnableQuality, cb_ogg_quality->isChecked());
    settings::WriteInteger(s, settings::kOggQuality, position(ud_ogg_quality));

    settings::WriteBool(s, settings::kOutputName, rb_cust->isChecked());
    settings::WriteInteger(s, settings::kOutputFormat, cb_format->currentIndex());
    settings::WriteString(s, settings::kOutputDir, ed_dir->text());

    settings::WriteInteger(s, settings::kAutorecFormat, state_.schedule_mode);
    // A stored text that did not read back is kept until the user sets that picker.
    if (schedule_[kDate].unread.isEmpty())
        settings::WriteDate(s, settings::kAutorecDate, date_time->dateTime());
    if (schedule_[kBegin].unread.isEmpty())
        settings::WriteTime(s, settings::kAutorecBegin, Begintime->dateTime());
    if (schedule_[kEnd].unread.isEmpty())
        settings::WriteTime(s, settings::kAutorecEnd, endtime->dateTime());

    close();
}

QString Tfm_set::WmaEntryText() const {
    return cb_wma->currentIndex() < 0 ? QString() : cb_wma->currentText();
}

// --- check box and radio button handlers -------------------------------------------------------

void Tfm_set::cb_vbrClick() {
    const bool on = cb_vbr->isChecked();
    cb_mp3_vbr->setEnabled(on);
    ud_mp3_vbr->setEnabled(on);
}

void Tfm_set::cb_ogg_qualityClick() {
    const bool on = cb_ogg_quality->isChecked();
    ud_ogg_quality->setEnabled(on);
    edt_ogg_quality->setEnabled(on);
    cb_ogg_maxbit->setEnabled(!on);
    cb_ogg_minbit->setEnabled(!on);
}

void Tfm_set::rb_customClick() {
    const bool on = rb_custom->isChecked();
    for (QComboBox* box : {cb_wav_frequency, cb_wav_bit, cb_wav_channel})
        box->setEnabled(on);
}

void Tfm_set::RadioButton1Click() {
    state_.schedule_mode = 0;
    date_time->setEnabled(false);
    Begintime->setEnabled(false);
    endtime->setEnabled(false);
}

void Tfm_set::RadioButton2Click() {
    state_.schedule_mode = 1;
    date_time->setEnabled(false);
    Begintime->setEnabled(true);
    endtime->setEnabled(true);
}

void Tfm_set::RadioButton3Click() {
    state_.schedule_mode = 2;
    date_time->setEnabled(true);
    Begintime->setEnabled(true);
    endtime->setEnabled(true);
}

// --- hot keys ----------------------------------------------------------------------------------

void Tfm_set::ComboBox1Change() {
    HotKeyChange(0);
}
void Tfm_set::ComboBox2Change() {
    HotKeyChange(1);
}
void Tfm_set::ComboBox3Change() {
    HotKeyChange(2);
}
void Tfm_set::ComboBox4Change() {
    HotKeyChange(3);
}

void Tfm_set::HotKeyChange(int changed) {
    const HotKeyBox& h = hotKeys_[changed];
    const int picked = h.box->currentIndex();
    bool restore = picked < 0 || picked >= kHotKeyCount;
    for (int other = 0; other < static_cast<int>(hotKeys_.size()) && !restore; ++other)
        restore = other != changed && hotKeys_[other].box->currentIndex() == picked;
    if (restore) {
        int stored = settings::ReadInteger(ini_, *h.key, settings::Reader::HotKeyPage);
        // A stored value outside F1..F12 (edited by hand) is not put back; the default is.
        if (stored < 0 || stored >= kHotKeyCount)
            stored = settings::DefaultFor(*h.key, settings::Reader::HotKeyPage).number;
        h.box->setCurrentIndex(stored);
    }
    settings::WriteInteger(ini_, *h.key, h.box->currentIndex());
}

// --- recording source --------------------------------------------------------------------------

void Tfm_set::SetVolumePosition(int volume) {
    tb_rd->setValue(std::clamp(volume, 0, kVolumeMax));
}

void Tfm_set::LoadRecordingSource() {
    // The lists' own change handlers must not run while they are being filled.
    QSignalBlocker blockDevices(cb_rd);
    QSignalBlocker blockLines(cb_rdson);
    cb_rd->clear();
    const int n = AudioRecord1_.GetMaxDeviceIndex();
    for (int i = 0; i <= n; ++i) {
        AudioRecord1_.SelectDevice(i);
        cb_rd->addItem(AudioRecord1_.GetDeviceName());
    }
    // The stored device is the one the capture component records from (and whose lines are
    // listed), not merely the one the list shows.
    const int rd =
        settings::ReadInteger(ini_, settings::kRecordingDevice, settings::Reader::StartUp, n);
    const bool stored = rd >= 0 && rd <= n;
    if (n >= 0 && stored && rd != n)
        AudioRecord1_.SelectDevice(rd);
    FillInputLines();
    cb_rd->setCurrentIndex(stored ? rd : -1);
    blockDevices.unblock();
    blockLines.unblock();

    AudioRecord1_.SelectLine(cb_rdson->currentIndex() + 1);
    tb_rd->setValue(AudioRecord1_.GetLineVolume());
}

void Tfm_set::FillInputLines() {
    cb_rdson->clear();
    const int lines = AudioRecord1_.GetLineCount();
    int active = -1;
    for (int line = 1; line <= lines; ++line) {
        AudioRecord1_.SelectLine(line);
        cb_rdson->addItem(AudioRecord1_.GetLineName());
        if (AudioRecord1_.GetLineActive())
            active = line - 1;
    }
    cb_rdson->setCurrentIndex(active);
}

void Tfm_set::RefreshDevices() {
    const int before = AudioRecord1_.GetSelectedDevice();
    const int n = AudioRecord1_.GetMaxDeviceIndex();
    const int selected = AudioRecord1_.GetSelectedDevice();
    QSignalBlocker blockDevices(cb_rd);
    QSignalBlocker blockLines(cb_rdson);
    cb_rd->clear();
    for (int i = 0; i <= n; ++i)
        cb_rd->addItem(AudioRecord1_.DeviceName(i));
    cb_rd->setCurrentIndex(selected >= 0 ? selected : n);
    if (selected >= 0 && selected != before)
        settings::WriteInteger(ini_, settings::kRecordingDevice, selected);
    FillInputLines();
    AudioRecord1_.SelectLine(cb_rdson->currentIndex() + 1);
}

void Tfm_set::cb_rdChange() {
    const int device = cb_rd->currentIndex();
    if (device < 0)
        return;
    AudioRecord1_.SelectDevice(device);
    FillInputLines();
    AudioRecord1_.SelectLine(cb_rdson->currentIndex() + 1);
    SetVolumePosition(AudioRecord1_.GetLineVolume());
    settings::WriteInteger(ini_, settings::kRecordingDevice, device);
}

void Tfm_set::cb_rdsonChange() {
    const int index = cb_rdson->currentIndex();
    if (index < 0)
        return;
    AudioRecord1_.SelectLine(index + 1);
    AudioRecord1_.SetLineActive(true);
    SetVolumePosition(AudioRecord1_.GetLineVolume());
}

void Tfm_set::tb_rdChange() {
    AudioRecord1_.SetLineVolume(tb_rd->value());
}

// --- output folder and links -------------------------------------------------------------------

void Tfm_set::Button2Click() {
    fm_dir_.SetStartFolder(ed_dir->text());
    fm_dir_.exec();
    if (!state_.chosen_dir.isEmpty())
        ed_dir->setText(state_.chosen_dir);
}

void Tfm_set::lbl_buyClick() {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(publisher::kSupportMailUrl)));
}

void Tfm_set::lbl_webClick() {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(publisher::kHomePageUrl)));
}

bool Tfm_set::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == lbl_buy) {
            lbl_buyClick();
            return true;
        }
        if (watched == lbl_web) {
            lbl_webClick();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
