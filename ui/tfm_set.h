#pragma once

#include "failurehandler.h"
#include "ports.h"

#include <QDate>
#include <QString>
#include <QTime>
#include <QWidget>
#include <array>
#include <optional>
#include <utility>

struct AppState;
class Prompts;
class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTreeWidget;
class QTreeWidgetItem;
class TAudioFile2;
class TAudioRecord2;
class TIniFile;
class TSkin;
class Tfm_dir;
class UpDown;
namespace settings {
struct Key;
}

// The settings dialog: output format and options, output folder and naming, recording source and
// volume, schedule and hot keys, on nine pages chosen in a tree.
//
// Created once at start-up and never destroyed; shown and hidden. Every show loads the controls
// from the store, skins the window with the skin form "options" and opens the output page. The
// main window dispatches the skin's "ok", "cancel" and "default" clicks to SaveSettings(), close()
// and RestoreDefaults().
//
// The dialog is more than a view of the store: the schedule check reads its pickers `Begintime`,
// `endtime`, `date_time` (the schedule in force) and AppState::schedule_mode, which its schedule
// buttons set; every recording start runs SaveSettings(). At start-up call LoadRecordingSource()
// and then LoadFromStore() once, so the controls hold the recording source and the stored
// settings (and the stored schedule is in force) before anything reads or saves them.
//
// A stored begin time, end time or date that does not read back (hand-edited, or written under
// another locale) is not in force: its picker shows the load's fallback (the current time), the
// Scheduled*() functions give nothing for it, the schedule page shows the stored text, and no save
// writes over it until that picker is changed.
//
// Some changes act at once rather than on "ok": the hot-key boxes are stored the moment they
// change, the input line and volume go straight to AudioRecord1, the schedule buttons set the
// schedule mode. Check boxes, radio buttons and the volume bar run their handlers on every change
// of state, from the user or from code; list boxes run theirs only on the user's choice.
class Tfm_set : public QWidget, public SettingsDialogPort {
    Q_OBJECT
public:
    // Every reference must outlive the dialog. `defaultOutputDir` is the output folder shown when
    // none is stored ("<home>/My Recorder"); `mainWindow` (may be null) is the window the dialog
    // is centred on when shown. The dialog makes itself the chooser's anchor.
    Tfm_set(TIniFile& ini, AppState& state, Prompts& prompts, TSkin& skin,
            TAudioFile2& AudioFileWrite, TAudioRecord2& AudioRecord1, Tfm_dir& fm_dir,
            QString defaultOutputDir, QWidget* mainWindow);
    ~Tfm_set() override;

    // Receives what the device choices and the device watch fail with (a refused settings
    // write, a sound server gone); without one it propagates.
    void SetFailureHandler(FailureHandler handler) { failureHandler_ = std::move(handler); }

    // --- SettingsDialogPort --------------------------------------------------------------------
    // Checks the OGG (only without "Enable Quality") and MP3 choices on AudioFileWrite, whatever
    // the output format; a refusal shows its message and stores nothing. Then writes every
    // setting of the pages in a fixed order and closes the dialog. A store failure propagates
    // (SettingsWriteError) with the earlier writes kept and the dialog left open.
    void SaveSettings() override;
    QString WmaEntryText() const override;

    // Loads every control from the store with the dialog's defaults, running the check box and
    // radio button handlers as the values change (so the stored schedule mode takes effect).
    // Neither shows nor skins the dialog.
    void LoadFromStore();
    // Puts the built-in format defaults into the controls; stores nothing. The output folder,
    // schedule, hot keys and recording source stay as they are.
    void RestoreDefaults();
    // Shows the page of a tree node index 0..8 and its title; other indices do nothing.
    void ShowPage(int index);
    // The node index (0..8, in fully expanded order) of a tree item; -1 for none.
    int NodeIndex(const QTreeWidgetItem* item) const;
    static QString PageTitle(int index);
    static constexpr int kPageCount = 9;

    // The three-line refusals of SaveSettings, lines joined by a single carriage return.
    static QString OggRefusalText();
    static QString Mp3RefusalText();

    // --- handlers ------------------------------------------------------------------------------
    void tvClick();
    void cb_vbrClick();
    void cb_ogg_qualityClick();
    void rb_customClick();
    void RadioButton1Click();
    void RadioButton2Click();
    void RadioButton3Click();
    void ComboBox1Change();
    void ComboBox2Change();
    void ComboBox3Change();
    void ComboBox4Change();
    // A device chosen in `cb_rd`: selects it on AudioRecord1, refills `cb_rdson` from its lines
    // (the active one selected), sets `tb_rd` to that line's volume and stores "rd" "rd".
    void cb_rdChange();
    void cb_rdsonChange();
    void tb_rdChange();
    void Button2Click();
    void lbl_buyClick();
    void lbl_webClick();

    // Start-up: lists every capture device in `cb_rd` (selecting each in turn), shows the stored
    // "rd" "rd" device (none when the stored index is out of range) and records from it (the last
    // device otherwise), lists its lines and sets `tb_rd` to the volume of the active one. The
    // lists' handlers do not run; the track bar's does, as its position changes.
    void LoadRecordingSource();
    // Sources came or went on the server: lists `cb_rd` anew with the selected device still
    // selected (stored again as "rd" "rd" when its index moved); a selected device that is gone
    // shows as "Default input", which the next recording falls back to.
    void RefreshDevices();

    // --- controls other windows use ------------------------------------------------------------
    // The recording source (filled at start-up, see LoadRecordingSource) and the schedule's
    // pickers, which the schedule check reads. Every other control is the dialog's own.
    QComboBox* cb_rd;
    QComboBox* cb_rdson;
    QSlider* tb_rd;
    QDateTimeEdit* date_time;
    QDateTimeEdit* Begintime;
    QDateTimeEdit* endtime;

    // The recording volume track bar's top: 66535, not 65535, and not the player's 65534. The
    // bar deliberately reaches a little past the capture line's 100 % (65536); keep the value.
    static constexpr int kVolumeMax = 66535;

    // The schedule in force: a picker's value, or nothing while it holds the fallback for a stored
    // text that did not read back (see above).
    std::optional<QTime> ScheduledBegin() const;
    std::optional<QTime> ScheduledEnd() const;
    std::optional<QDate> ScheduledDate() const;

    // Becoming visible runs the show handler first (skin, load, output page).
    void setVisible(bool visible) override;

signals:
    // The schedule in force changed: a picker changed, or the store was loaded.
    void scheduleChanged();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Enter is "ok" (or presses the focused stand-in button), Escape is "cancel".
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // --- controls ----------------------------------------------------------------------------
    QTreeWidget* tv;
    QLabel* img_title;
    QLabel* lb_name;
    QWidget* pl_out;
    QWidget* pl_mp3;
    QWidget* pl_ogg;
    QWidget* pl_wav;
    QWidget* pl_raw;
    QWidget* pl_mixer;
    QWidget* pl_sched;
    QWidget* pl_ht;
    QWidget* pl_about;
    QLabel* lbl_sched_unread; // names the stored schedule texts that did not read back

    QRadioButton* rb_time;
    QRadioButton* rb_cust;
    QComboBox* cb_format;
    QLineEdit* ed_dir;
    QPushButton* Button2;

    QComboBox* cb_mp3_frequency;
    QComboBox* cb_mp3_bitrate;
    QComboBox* cb_mp3_channel;
    QLineEdit* edt_mp3_quality;
    UpDown* ud_mp3_quality;
    QGroupBox* gb_vbr;
    QCheckBox* cb_vbr;
    QComboBox* cb_mp3_vbr;
    QLineEdit* edt_mp3_vbr;
    UpDown* ud_mp3_vbr;

    QComboBox* cb_ogg_fre;
    QComboBox* cb_ogg_channel;
    QComboBox* cb_ogg_minbit;
    QComboBox* cb_ogg_maxbit;
    QCheckBox* cb_ogg_quality;
    QLineEdit* edt_ogg_quality;
    UpDown* ud_ogg_quality;

    QRadioButton* rb_cdquality;
    QRadioButton* rb_bestsuited;
    QRadioButton* rb_custom;
    QComboBox* cb_wav_frequency;
    QComboBox* cb_wav_bit;
    QComboBox* cb_wav_channel;

    QComboBox* cb_wma;
    QComboBox* cb_rawformat;
    QComboBox* cb_rawf;
    QComboBox* cb_rawc;
    QComboBox* cb_rawb;

    QRadioButton* RadioButton1;
    QRadioButton* RadioButton2;
    QRadioButton* RadioButton3;

    QComboBox* ComboBox1;
    QComboBox* ComboBox2;
    QComboBox* ComboBox3;
    QComboBox* ComboBox4;

    QLabel* img_icon;
    QLabel* lbl_product;
    QLabel* lbl_version;
    QLabel* lbl_versionno;
    QLabel* lbl_line;
    QLabel* lbl_buy;
    QLabel* lbl_web;

    // A schedule picker's key; `unread` is the stored text while it did not read back and the
    // picker has not been changed since the load.
    struct SchedulePick {
        const settings::Key* key;
        QString label;
        QString unread;
    };
    enum { kBegin, kEnd, kDate }; // Begintime, endtime, date_time

    struct HotKeyBox {
        QComboBox* box;
        const settings::Key* key;
    };

    void BuildWindow();
    void BuildOutputPage();
    void BuildMp3Page();
    void BuildOggPage();
    void BuildWavPage();
    void BuildRawPage();
    void BuildMixerPage();
    void BuildSchedulePage();
    void BuildHotKeyPage();
    void BuildAboutPage();
    void Connect();

    void LoadSchedule();
    void ShowUnreadSchedule();
    void FormShow();
    void FormCloseQuery();
    void HotKeyChange(int box);
    // Puts a channel box that holds no list position back to its stored value (or the default,
    // when the stored one is outside the list too), so no -1 reaches the checks or the store.
    void RepairChannelBox(QComboBox* box, const settings::Key& key);
    // A stored integer with the dialog's default.
    int Read(const settings::Key& key) const;
    void SetVolumePosition(int volume);
    // Refills `cb_rdson` with the lines of the capture component's selected device; the line
    // that reports itself active is selected (the last one, if several do).
    void FillInputLines();

    TIniFile& ini_;
    AppState& state_;
    Prompts& prompts_;
    TSkin& skin_;
    TAudioFile2& AudioFileWrite_;
    TAudioRecord2& AudioRecord1_;
    Tfm_dir& fm_dir_;
    QString defaultOutputDir_;
    QWidget* mainWindow_;
    FailureHandler failureHandler_;

    std::array<QTreeWidgetItem*, kPageCount> nodes_{};
    std::array<QWidget*, kPageCount> pages_{};
    std::array<HotKeyBox, 4> hotKeys_{};
    std::array<SchedulePick, 3> schedule_{};
    bool loadingSchedule_ = false;
    QButtonGroup* nameGroup_;
    QButtonGroup* wavModeGroup_;
    QButtonGroup* scheduleGroup_;
    bool skinned_ = false;
    // Keyboard stand-ins over the skin form's "default", "ok" and "cancel" elements, last in the
    // tab order; the mouse goes through them to the skin.
    QAbstractButton* keyDefault_ = nullptr;
    QAbstractButton* keyOk_ = nullptr;
    QAbstractButton* keyCancel_ = nullptr;
    // Puts the stand-ins over their skin elements (hidden where the form has none).
    void PlaceKeyButtons();
    bool inShow_ = false;
};
