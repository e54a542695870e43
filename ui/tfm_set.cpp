#include "tfm_set.h"

#include "appstate.h"
#include "formatcatalogue.h"
#include "onscreen.h"
#include "prompts.h"
#include "publisher.h"
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
    hotKeys_ = {{{ComboBox1, "rec", 6},
                 {ComboBox2, "play", 7},
                 {ComboBox3, "pause", 8},
                 {ComboBox4, "stop", 9}}};
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
    }
    QWidget::setVisible(visible);
}

void Tfm_set::FormShow() {
    skin_.ApplySkin(this);
    skin_.ApplySkinForm(this, QStringLiteral("options"));
    skinned_ = true;

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
}

// --- loading, defaults, saving -----------------------------------------------------------------

void Tfm_set::LoadFromStore() {
    TIniFile& s = ini_;
    cb_mp3_bitrate->setCurrentIndex(s.ReadInteger("mp3", "bitrate", 11));
    cb_mp3_channel->setCurrentIndex(s.ReadInteger("mp3", "channel", 1));
    cb_mp3_frequency->setCurrentIndex(s.ReadInteger("mp3", "frequency", 8));
    ud_mp3_quality->SetPosition(s.ReadInteger("mp3", "quality", 9));
    cb_vbr->setChecked(s.ReadBool("mp3", "enable vbr", false));
    cb_mp3_vbr->setCurrentIndex(s.ReadInteger("mp3", "vbr bitrate", 11));
    ud_mp3_vbr->SetPosition(s.ReadInteger("mp3", "vbr quality", 9));
    cb_vbrClick();

    CheckOnly(wavModeGroup_,
              ButtonOf({rb_cdquality, rb_bestsuited, rb_custom}, s.ReadInteger("wav", "mode", 0)));
    cb_wav_bit->setCurrentIndex(s.ReadInteger("wav", "bit", 1));
    cb_wav_channel->setCurrentIndex(s.ReadInteger("wav", "channel", 1));
    cb_wav_frequency->setCurrentIndex(s.ReadInteger("wav", "frequency", 8));
    rb_customClick();

    cb_wma->setCurrentIndex(s.ReadInteger("wma", "format", 9));
    cb_rawformat->setCurrentIndex(s.ReadInteger("raw", "format", 0));
    cb_rawf->setCurrentIndex(s.ReadInteger("raw", "f", 8));
    cb_rawb->setCurrentIndex(s.ReadInteger("raw", "b", 5));
    cb_rawc->setCurrentIndex(s.ReadInteger("raw", "c", 1));
    cb_ogg_channel->setCurrentIndex(s.ReadInteger("ogg", "channel", 1));
    cb_ogg_fre->setCurrentIndex(s.ReadInteger("ogg", "frequency", 8));
    cb_ogg_maxbit->setCurrentIndex(s.ReadInteger("ogg", "max bitrate", 11));
    cb_ogg_minbit->setCurrentIndex(s.ReadInteger("ogg", "min bitrate", 11));
    cb_ogg_quality->setChecked(s.ReadBool("ogg", "enable quality", true));
    ud_ogg_quality->SetPosition(s.ReadInteger("ogg", "quality", 300));
    cb_ogg_qualityClick();

    CheckOnly(nameGroup_, s.ReadBool("output", "name", false) ? rb_cust : rb_time);
    cb_format->setCurrentIndex(s.ReadInteger("output", "format", 0));
    ed_dir->setText(s.ReadString("output", "dir", defaultOutputDir_));

    CheckOnly(scheduleGroup_, ButtonOf({RadioButton1, RadioButton2, RadioButton3},
                                       s.ReadInteger("autorec", "format", 0)));
    const QDateTime now = QDateTime::currentDateTime();
    Begintime->setDateTime(s.ReadTime("autorec", "begintime", now));
    endtime->setDateTime(s.ReadTime("autorec", "endtime", now));
    date_time->setDateTime(s.ReadDate("autorec", "date", now));

    for (const HotKeyBox& h : hotKeys_)
        h.box->setCurrentIndex(s.ReadInteger("hot", h.key, h.fallback));
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

void Tfm_set::RepairChannelBox(QComboBox* box, const char* section, const char* key) {
    if (box->currentIndex() >= 0 && box->currentIndex() < box->count())
        return;
    int index = ini_.ReadInteger(section, key, catalogue::kDefaultChannelIndex);
    if (index < 0 || index >= box->count())
        index = catalogue::kDefaultChannelIndex;
    box->setCurrentIndex(index);
}

void Tfm_set::SaveSettings() {
    RepairChannelBox(cb_mp3_channel, "mp3", "channel");
    RepairChannelBox(cb_ogg_channel, "ogg", "channel");

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
    s.WriteInteger("mp3", "bitrate", cb_mp3_bitrate->currentIndex());
    s.WriteInteger("mp3", "channel", cb_mp3_channel->currentIndex());
    s.WriteInteger("mp3", "frequency", cb_mp3_frequency->currentIndex());
    s.WriteInteger("mp3", "quality", position(ud_mp3_quality));
    s.WriteBool("mp3", "enable vbr", cb_vbr->isChecked());
    s.WriteInteger("mp3", "vbr bitrate", cb_mp3_vbr->currentIndex());
    s.WriteInteger("mp3", "vbr quality", position(ud_mp3_vbr));

    if (rb_cdquality->isChecked())
        s.WriteInteger("wav", "mode", 0);
    else if (rb_bestsuited->isChecked())
        s.WriteInteger("wav", "mode", 1);
    else if (rb_custom->isChecked())
        s.WriteInteger("wav", "mode", 2);
    s.WriteInteger("wav", "bit", cb_wav_bit->currentIndex());
    s.WriteInteger("wav", "channel", cb_wav_channel->currentIndex());
    s.WriteInteger("wav", "frequency", cb_wav_frequency->currentIndex());

    s.WriteInteger("wma", "format", cb_wma->currentIndex());

    s.WriteInteger("raw", "format", cb_rawformat->currentIndex());
    s.WriteInteger("raw", "f", cb_rawf->currentIndex());
    s.WriteInteger("raw", "b", cb_rawb->currentIndex());
    s.WriteInteger("raw", "c", cb_rawc->currentIndex());

    s.WriteInteger("ogg", "channel", cb_ogg_channel->currentIndex());
    s.WriteInteger("ogg", "frequency", cb_ogg_fre->currentIndex());
    s.WriteInteger("ogg", "max bitrate", cb_ogg_maxbit->currentIndex());
    s.WriteInteger("ogg", "min bitrate", cb_ogg_minbit->currentIndex());
    s.WriteBool("ogg", "enable quality", cb_ogg_quality->isChecked());
    s.WriteInteger("ogg", "quality", position(ud_ogg_quality));

    s.WriteBool("output", "name", rb_cust->isChecked());
    s.WriteInteger("output", "format", cb_format->currentIndex());
    s.WriteString("output", "dir", ed_dir->text());

    s.WriteInteger("autorec", "format", state_.schedule_mode);
    s.WriteDate("autorec", "date", date_time->dateTime());
    s.WriteTime("autorec", "begintime", Begintime->dateTime());
    s.WriteTime("autorec", "endtime", endtime->dateTime());

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
        int stored = ini_.ReadInteger("hot", h.key, h.fallback);
        // A stored value outside F1..F12 (edited by hand) is not put back; the default is.
        if (stored < 0 || stored >= kHotKeyCount)
            stored = h.fallback;
        h.box->setCurrentIndex(stored);
    }
    ini_.WriteInteger("hot", h.key, h.box->currentIndex());
}

// --- recording source --------------------------------------------------------------------------

void Tfm_set::SetVolumePosition(int volume) {
    tb_rd->setValue(std::clamp(volume, 0, kVolumeMax));
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
        ini_.WriteInteger("rd", "rd", selected);
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
    ini_.WriteInteger("rd", "rd", device);
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
