#include "dialogrig.h"
#include "setcontrols.h"
#include "testinput.h"
#include "textroom.h"
#include "tfm_set_updown.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTreeWidget>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

const char kOggRefusal[] = "This OGG format is not supported. \r"
                           "You have set too high frequency and too low bitrate or otherwise. \r"
                           "Please adjust the frequency or bitrate.";
const char kMp3Refusal[] = "This MP3 format is not supported. \r"
                           "You have set too high frequency and too low bitrate or otherwise. \r"
                           "Please adjust the frequency or bitrate.";

// The user picks an entry of a list box.
void Choose(QComboBox* box, int index) {
    box->setCurrentIndex(index);
    emit box->activated(index);
}

int Visible(const SetControls& sc) {
    const QWidget* pages[] = {sc.pl_out,   sc.pl_mp3,   sc.pl_ogg, sc.pl_wav,  sc.pl_raw,
                              sc.pl_mixer, sc.pl_sched, sc.pl_ht,  sc.pl_about};
    int shown = -1;
    for (int i = 0; i < 9; ++i) {
        if (!pages[i]->isHidden()) {
            if (shown != -1)
                return -2; // more than one page showing
            shown = i;
        }
    }
    return shown;
}

} // namespace

TEST(SettingsDialog, WithoutSettingsFileShowsTheDefaults) {
    DialogRig rig;
    Tfm_set& s = *rig.fm_set;
    const SetControls sc(s);
    s.show();

    EXPECT_TRUE(rig.state.settings_shown);
    EXPECT_EQ(Visible(sc), 0);
    EXPECT_EQ(sc.lb_name->text(), "Output Format");
    EXPECT_EQ(sc.tv->currentItem()->text(0), "Output Format");
    EXPECT_TRUE(sc.tv->topLevelItem(0)->isExpanded());

    EXPECT_EQ(sc.cb_format->currentText(), "MP3 File (*.mp3)");
    EXPECT_TRUE(sc.rb_time->isChecked());
    EXPECT_FALSE(sc.rb_cust->isChecked());
    EXPECT_EQ(sc.ed_dir->text(), rig.home + "/My Recorder");
    EXPECT_TRUE(sc.ed_dir->isReadOnly());

    EXPECT_EQ(sc.cb_mp3_bitrate->currentText(), "128 Kbps");
    EXPECT_EQ(sc.cb_mp3_frequency->currentText(), "44100 Hz");
    EXPECT_EQ(sc.cb_mp3_channel->currentText(), "Stereo");
    EXPECT_EQ(sc.ud_mp3_quality->Position(), 9);
    EXPECT_EQ(sc.edt_mp3_quality->text(), "9");
    EXPECT_FALSE(sc.cb_vbr->isChecked());
    EXPECT_FALSE(sc.cb_mp3_vbr->isEnabled());
    EXPECT_FALSE(sc.ud_mp3_vbr->isEnabled());
    EXPECT_TRUE(sc.edt_mp3_vbr->isEnabled());
    EXPECT_EQ(sc.ud_mp3_vbr->Position(), 9);

    EXPECT_TRUE(sc.rb_cdquality->isChecked());
    EXPECT_FALSE(sc.cb_wav_frequency->isEnabled());
    EXPECT_FALSE(sc.cb_wav_bit->isEnabled());
    EXPECT_FALSE(sc.cb_wav_channel->isEnabled());
    EXPECT_EQ(sc.cb_wav_bit->currentText(), "3 bps");

    EXPECT_EQ(sc.cb_wma->currentIndex(), 9);
    EXPECT_EQ(s.WmaEntryText(), " 44KHz, 128Kbps, Stereo, CBR");
    EXPECT_EQ(sc.cb_rawformat->currentText(), "PCM ");
    EXPECT_EQ(sc.cb_rawb->currentText(), "16 BPS");

    EXPECT_TRUE(sc.cb_ogg_quality->isChecked());
    EXPECT_FALSE(sc.cb_ogg_minbit->isEnabled());
    EXPECT_FALSE(sc.cb_ogg_maxbit->isEnabled());
    EXPECT_TRUE(sc.ud_ogg_quality->isEnabled());
    EXPECT_TRUE(sc.edt_ogg_quality->isEnabled());
    EXPECT_EQ(sc.ud_ogg_quality->Position(), 300);

    EXPECT_TRUE(sc.RadioButton1->isChecked());
    EXPECT_EQ(rig.state.schedule_mode, 0);
    EXPECT_FALSE(s.date_time->isEnabled());
    EXPECT_FALSE(s.Begintime->isEnabled());
    EXPECT_FALSE(s.endtime->isEnabled());

    EXPECT_EQ(sc.ComboBox1->currentText(), "F7");
    EXPECT_EQ(sc.ComboBox2->currentText(), "F8");
    EXPECT_EQ(sc.ComboBox3->currentText(), "F9");
    EXPECT_EQ(sc.ComboBox4->currentText(), "F10");

    EXPECT_FALSE(rig.IniExists()) << "showing the dialog must not write the store";
    s.close();
    EXPECT_FALSE(rig.state.settings_shown);
    EXPECT_FALSE(rig.IniExists());
}

TEST(SettingsDialog, TreeNodesTurnThePages) {
    DialogRig rig;
    Tfm_set& s = *rig.fm_set;
    const SetControls sc(s);
    s.show();
    const char* nodes[] = {"Output Format",    "MP3",      "OGG",     "WAV",  "WMA/RAW",
                           "Recording Source", "Schedule", "Hot Key", "About"};
    const char* titles[] = {"Output Format",     "MP3 Settings",       "OGG Settings",
                            "WAV Settings",      "RAW and WMA Format", "Recording Source",
                            "Schedule Settings", "Hot Key Settings",   "About"};
    QList<QTreeWidgetItem*> order;
    for (int top = 0; top < sc.tv->topLevelItemCount(); ++top) {
        order << sc.tv->topLevelItem(top);
        for (int child = 0; child < sc.tv->topLevelItem(top)->childCount(); ++child)
            order << sc.tv->topLevelItem(top)->child(child);
    }
    ASSERT_EQ(order.size(), 9);
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(order[i]->text(0), nodes[i]);
        sc.tv->setCurrentItem(order[i]);
        s.tvClick();
        EXPECT_EQ(Visible(sc), i);
        EXPECT_EQ(sc.lb_name->text(), titles[i]);
    }
    // No selected node, or an index outside the tree: the page stays.
    s.ShowPage(-1);
    s.ShowPage(9);
    EXPECT_EQ(Visible(sc), 8);
    // Every show opens the output page again.
    s.close();
    s.show();
    EXPECT_EQ(Visible(sc), 0);
}

// A tree row and the folder field show accented capitals and descenders whole.
TEST(SettingsDialog, TreeRowsAndTheFolderFieldKeepAccentsWhole) {
    DialogRig rig;
    Tfm_set& s = *rig.fm_set;
    const SetControls sc(s);
    s.show();
    QTreeWidgetItem* node = sc.tv->topLevelItem(sc.tv->topLevelItemCount() - 1);
    const QString before = node->text(0);
    node->setText(0, QStringLiteral("Über Åçg"));
    const textroom::Cut row = textroom::CellCut(*sc.tv, sc.tv->indexFromItem(node));
    EXPECT_GT(row.whole, 0);
    EXPECT_EQ(row.lost, 0) << "at " << row.height << " px";
    node->setText(0, before);

    sc.ed_dir->setText(QStringLiteral("/home/Ünïcode/Ålbum çg"));
    const textroom::Cut field = textroom::FieldCut(*sc.ed_dir);
    EXPECT_GT(field.whole, 0);
    EXPECT_EQ(field.lost, 0) << "at " << field.height << " px";
}

TEST(SettingsDialog, EveryPageRoundTripsThroughSaveAndTheNextShow) {
    DialogRig rig;
    Tfm_set& s = *rig.fm_set;
    const SetControls sc(s);
    s.show();

    sc.cb_mp3_bitrate->setCurrentIndex(13);  // 192 kbit/s
    sc.cb_mp3_channel->setCurrentIndex(0);   // mono
    sc.cb_mp3_frequency->setCurrentIndex(9); // 48000 Hz
    sc.ud_mp3_quality->SetPosition(3);
    sc.cb_vbr->setChecked(true);
    sc.cb_mp3_vbr->setCurrentIndex(15);
    sc.edt_mp3_vbr->setText("2"); // typed: the up-down follows the field
    emit sc.edt_mp3_vbr->textEdited("2");
    sc.rb_custom->setChecked(true);
    sc.cb_wav_bit->setCurrentIndex(6);
    sc.cb_wav_channel->setCurrentIndex(0);
    sc.cb_wav_frequency->setCurrentIndex(3);
    sc.cb_wma->setCurrentIndex(40);
    sc.cb_rawformat->setCurrentIndex(3);
    sc.cb_rawf->setCurrentIndex(1);
    sc.cb_rawb->setCurrentIndex(7);
    sc.cb_rawc->setCurrentIndex(0);
    sc.cb_ogg_quality->setChecked(false);
    sc.cb_ogg_channel->setCurrentIndex(1);
    sc.cb_ogg_fre->setCurrentIndex(8);
    sc.cb_ogg_minbit->setCurrentIndex(11); // 128
    sc.cb_ogg_maxbit->setCurrentIndex(12); // 160
    sc.ud_ogg_quality->SetPosition(777);
    sc.rb_cust->setChecked(true);
    sc.cb_format->setCurrentIndex(3);
    rig.state.chosen_dir.clear();
    sc.ed_dir->setText("/srv/recordings");
    sc.RadioButton3->setChecked(true);
    s.date_time->setDate(QDate(2026, 5, 4));
    s.Begintime->setTime(QTime(8, 0, 0));
    s.endtime->setTime(QTime(8, 30, 15));

    s.SaveSettings();
    EXPECT_TRUE(rig.prompts.infos.isEmpty()) << rig.prompts.infos.join("|").toStdString();
    EXPECT_FALSE(s.isVisible());
    EXPECT_FALSE(rig.state.settings_shown);

    // The file holds every key, written in the fixed order (a fresh file keeps write order).
    const QString expected = "[mp3]\n"
                             "bitrate=13\nchannel=0\nfrequency=9\nquality=3\nenable vbr=1\n"
                             "vbr bitrate=15\nvbr quality=2\n"
                             "[wav]\nmode=2\nbit=6\nchannel=0\nfrequency=3\n"
                             "[wma]\nformat=40\n"
                             "[raw]\nformat=3\nf=1\nb=7\nc=0\n"
                             "[ogg]\nchannel=1\nfrequency=8\nmax bitrate=12\nmin bitrate=11\n"
                             "enable quality=0\nquality=777\n"
                             "[output]\nname=1\nformat=3\ndir=/srv/recordings\n"
                             "[autorec]\nformat=2\ndate=04/05/2026\nbegintime=08:00:00\n"
                             "endtime=08:30:15\n";
    QString text = QString::fromUtf8(rig.IniBytes());
    text.remove('\r');
    text.replace("\n\n", "\n");
    EXPECT_EQ(text.trimmed().toStdString(), expected.trimmed().toStdString());

    // A new dialog (as after a restart) shows them all again.
    rig.fm_set =
        std::make_unique<Tfm_set>(rig.ini, rig.state, rig.prompts, rig.skin, rig.file, rig.record,
                                  *rig.fm_dir, rig.home + "/My Recorder", nullptr);
    rig.state.schedule_mode = 0;
    Tfm_set& t = *rig.fm_set;
    const SetControls tc(t);
    t.show();
    EXPECT_EQ(tc.cb_mp3_bitrate->currentIndex(), 13);
    EXPECT_EQ(tc.cb_mp3_channel->currentIndex(), 0);
    EXPECT_EQ(tc.cb_mp3_frequency->currentIndex(), 9);
    EXPECT_EQ(tc.ud_mp3_quality->Position(), 3);
    EXPECT_TRUE(tc.cb_vbr->isChecked());
    EXPECT_TRUE(tc.cb_mp3_vbr->isEnabled());
    EXPECT_EQ(tc.cb_mp3_vbr->currentIndex(), 15);
    EXPECT_EQ(tc.ud_mp3_vbr->Position(), 2);
    EXPECT_TRUE(tc.rb_custom->isChecked());
    EXPECT_TRUE(tc.cb_wav_bit->isEnabled());
    EXPECT_EQ(tc.cb_wav_bit->currentText(), "32 bps");
    EXPECT_EQ(tc.cb_wav_channel->currentIndex(), 0);
    EXPECT_EQ(tc.cb_wav_frequency->currentIndex(), 3);
    EXPECT_EQ(tc.cb_wma->currentIndex(), 40);
    EXPECT_EQ(tc.cb_rawformat->currentIndex(), 3);
    EXPECT_EQ(tc.cb_rawf->currentIndex(), 1);
    EXPECT_EQ(tc.cb_rawb->currentText(), "32 BPS");
    EXPECT_EQ(tc.cb_rawc->currentIndex(), 0);
    EXPECT_FALSE(tc.cb_ogg_quality->isChecked());
    EXPECT_TRUE(tc.cb_ogg_minbit->isEnabled());
    EXPECT_FALSE(tc.edt_ogg_quality->isEnabled());
    EXPECT_EQ(tc.cb_ogg_minbit->currentIndex(), 11);
    EXPECT_EQ(tc.cb_ogg_maxbit->currentIndex(), 12);
    EXPECT_EQ(tc.ud_ogg_quality->Position(), 777);
    EXPECT_TRUE(tc.rb_cust->isChecked());
    EXPECT_EQ(tc.cb_format->currentIndex(), 3);
    EXPECT_EQ(tc.ed_dir->text(), "/srv/recordings");
    EXPECT_TRUE(tc.RadioButton3->isChecked());
    EXPECT_EQ(rig.state.schedule_mode, 2);
    EXPECT_TRUE(t.date_time->isEnabled());
    EXPECT_EQ(t.date_time->date(), QDate(2026, 5, 4));
    EXPECT_EQ(t.Begintime->time(), QTime(8, 0, 0));
    EXPECT_EQ(t.endtime->time(), QTime(8, 30, 15));
}

TEST(SettingsDialog, LoadFromStoreFillsTheControlsWithoutShowing) {
    DialogRig rig;
    rig.ini.WriteInteger("autorec", "format", 1);
    rig.ini.WriteInteger("mp3", "bitrate", 4);
    rig.ini.WriteBool("ogg", "enable quality", false);
    const QByteArray before = rig.IniBytes();
    Tfm_set& s = *rig.fm_set;
    const SetControls sc(s);

    s.LoadFromStore();
    EXPECT_FALSE(s.isVisible());
    EXPECT_FALSE(rig.state.settings_shown);
    EXPECT_EQ(rig.state.schedule_mode, 1);
    EXPECT_TRUE(s.Begintime->isEnabled());
    EXPECT_EQ(sc.cb_mp3_bitrate->currentIndex(), 4);
    EXPECT_TRUE(sc.cb_ogg_minbit->isEnabled());

    // The save at a recording start then writes the stored values back, not design values.
    s.SaveSettings();
    EXPECT_EQ(rig.ini.ReadInteger("mp3", "bitrate", -5), 4);
    EXPECT_EQ(rig.ini.ReadInteger("mp3", "quality", -5), 9);
    EXPECT_EQ(rig.ini.ReadInteger("wav", "mode", -5), 0);
    EXPECT_FALSE(rig.ini.ReadBool("output", "name", true));
    EXPECT_EQ(rig.ini.ReadInteger("autorec", "format", -5), 1);
    EXPECT_NE(before, rig.IniBytes());
}

TEST(SettingsDialog, DefaultThenCancelStoresNothing) {
    DialogRig rig;
    rig.ini.WriteInteger("mp3", "bitrate", 3);
    rig.ini.WriteBool("mp3", "enable vbr", true);
    rig.ini.WriteInteger("wav", "mode", 2);
    rig.ini.WriteInteger("ogg", "quality", 55);
    rig.ini.WriteBool("ogg", "enable quality", false);
    rig.ini.WriteInteger("output", "format", 4);
    rig.ini.WriteBool("output", "name", true);
    rig.ini.WriteString("output", "dir", "/data/rec");
    rig.ini.WriteInteger("autorec", "format", 1);
    rig.ini.WriteInteger("hot", "rec", 0);
    const QByteArray before = rig.IniBytes();

    Tfm_set& s = *rig.fm_set;
    const SetControls sc(s);
    s.show();
    ASSERT_EQ(sc.cb_mp3_bitrate->currentIndex(), 3);
    s.RestoreDefaults();
    EXPECT_EQ(sc.cb_mp3_bitrate->currentIndex(), 11);
    EXPECT_FALSE(sc.cb_vbr->isChecked());
    EXPECT_FALSE(sc.cb_mp3_vbr->isEnabled());
    EXPECT_TRUE(sc.rb_cdquality->isChecked());
    EXPECT_FALSE(sc.cb_wav_bit->isEnabled());
    EXPECT_TRUE(sc.cb_ogg_quality->isChecked());
    EXPECT_FALSE(sc.cb_ogg_maxbit->isEnabled());
    EXPECT_EQ(sc.ud_ogg_quality->Position(), 300);
    EXPECT_EQ(sc.cb_format->currentIndex(), 0);
    EXPECT_TRUE(sc.rb_time->isChecked());
    // Folder, schedule and hot keys stay.
    EXPECT_EQ(sc.ed_dir->text(), "/data/rec");
    EXPECT_TRUE(sc.RadioButton2->isChecked());
    EXPECT_EQ(sc.ComboBox1->currentIndex(), 0);

    s.close(); // "cancel"
    EXPECT_EQ(rig.IniBytes(), before);
    s.show();
    EXPECT_EQ(sc.cb_mp3_bitrate->currentIndex(), 3);
    EXPECT_TRUE(sc.rb_custom->isChecked());
    EXPECT_EQ(sc.cb_format->currentIndex(), 4);
}

TEST(SettingsDialog, HotKeyBoxesStoreAtOnceAndRefuseDuplicates) {
    DialogRig rig;
    Tfm_set& s = *rig.fm_set;
    const SetControls sc(s);
    s.show();

    Choose(sc.ComboBox1, 7); // F8, already "Play"
    EXPECT_EQ(sc.ComboBox1->currentText(), "F7");
    EXPECT_EQ(rig.ini.ReadInteger("hot", "rec", -1), 6);

    Choose(sc.ComboBox1, 11); // F12 is free
    EXPECT_EQ(rig.ini.ReadInteger("hot", "rec", -1), 11);
    Choose(sc.ComboBox4, 11); // F12 is now "Recorder": stop goes back to its stored F10
    EXPECT_EQ(sc.ComboBox4->currentText(), "F10");
    EXPECT_EQ(rig.ini.ReadInteger("hot", "stop", -1), 9);
    EXPECT_TRUE(rig.prompts.infos.isEmpty());

    // Cancelling keeps the hot keys; the save does not write them.
    s.close();
    EXPECT_EQ(rig.ini.ReadInteger("hot", "rec", -1), 11);

    // A stored key outside F1..F12 shows no selection, is never compared and never put back.
    rig.ini.WriteInteger("hot", "pause", 40);
    s.show();
    EXPECT_EQ(sc.ComboBox3->currentIndex(), -1);
    Choose(sc.ComboBox3, 7); // duplicate of "Play": back to the default F9, not to 40
    EXPECT_EQ(sc.ComboBox3->currentText(), "F9");
    EXPECT_EQ(rig.ini.ReadInteger("hot", "pause", -1), 8);
    Choose(sc.ComboBox2, 4);
    EXPECT_EQ(rig.ini.ReadInteger("hot", "play", -1), 4);
}

TEST(SettingsDialog, OggRefusalBlocksTheSaveOnlyWithoutEnableQuality) {
    DialogRig rig;
    Tfm_set& s = *rig.fm_set;
    const SetControls sc(s);
    s.show();
    sc.cb_ogg_fre->setCurrentIndex(9);     // 48000 Hz
    sc.cb_ogg_channel->setCurrentIndex(1); // stereo
    sc.cb_ogg_minbit->setCurrentIndex(0);  // 8 kbit/s
    sc.cb_ogg_maxbit->setCurrentIndex(0);
    ASSERT_FALSE(rig.file.IsOggFormatSupported(48000, 2, 8, 8, 8));

    sc.cb_ogg_quality->setChecked(false);
    s.SaveSettings();
    ASSERT_EQ(rig.prompts.infos.size(), 1);
    EXPECT_EQ(rig.prompts.infos[0].toStdString(), kOggRefusal);
    EXPECT_FALSE(rig.IniExists());
    EXPECT_TRUE(s.isVisible());
    EXPECT_EQ(sc.cb_ogg_minbit->currentIndex(), 0) << "the user's choices stay";

    sc.cb_ogg_quality->setChecked(true);
    s.SaveSettings();
    EXPECT_EQ(rig.prompts.infos.size(), 1);
    EXPECT_FALSE(s.isVisible());
    EXPECT_EQ(rig.ini.ReadInteger("ogg", "min bitrate", -1), 0);
    EXPECT_TRUE(rig.ini.ReadBool("ogg", "enable quality", false));
}

TEST(SettingsDialog, Mp3RefusalBlocksTheSaveWhateverTheOutputFormat) {
    DialogRig rig;
    Tfm_set& s = *rig.fm_set;
    const SetControls sc(s);
    s.show();
    sc.cb_format->setCurrentIndex(1);        // WAV
    sc.cb_mp3_frequency->setCurrentIndex(9); // 48000 Hz
    sc.cb_mp3_bitrate->setCurrentIndex(0);   // 8 kbit/s
    s.SaveSettings();
    ASSERT_EQ(rig.prompts.infos.size(), 1);
    EXPECT_EQ(rig.prompts.infos[0].toStdString(), kMp3Refusal);
    EXPECT_FALSE(rig.IniExists());
    EXPECT_TRUE(s.isVisible());

    // The VBR bit rate is not checked.
    sc.cb_mp3_bitrate->setCurrentIndex(11);
    sc.cb_vbr->setChecked(true);
    sc.cb_mp3_vbr->setCurrentIndex(0);
    s.SaveSettings();
    EXPECT_EQ(rig.prompts.infos.size(), 1);
    EXPECT_EQ(rig.ini.ReadInteger("output", "format", -1), 1);
}

TEST(SettingsDialog, OutOfRangeStoredIndicesShowNoSelectionAndNeverReachTheChecks) {
    DialogRig rig;
    rig.ini.WriteInteger("mp3", "channel", 7);
    rig.ini.WriteInteger("ogg", "channel", -1);
    rig.ini.WriteInteger("wma", "format", 99);
    rig.ini.WriteInteger("wav", "mode", 5);
    rig.ini.WriteInteger("autorec", "format", 9);
    Tfm_set& s = *rig.fm_set;
    const SetControls sc(s);
    s.show();
    EXPECT_EQ(sc.cb_mp3_channel->currentIndex(), -1);
    EXPECT_EQ(sc.cb_wma->currentIndex(), -1);
    EXPECT_EQ(s.WmaEntryText(), "");
    EXPECT_FALSE(sc.rb_cdquality->isChecked() || sc.rb_bestsuited->isChecked() ||
                 sc.rb_custom->isChecked());
    EXPECT_FALSE(sc.RadioButton1->isChecked() || sc.RadioButton2->isChecked() ||
                 sc.RadioButton3->isChecked());
    EXPECT_EQ(rig.state.schedule_mode, 0);

    sc.cb_ogg_quality->setChecked(false);
    s.SaveSettings();
    EXPECT_TRUE(rig.prompts.infos.isEmpty()) << rig.prompts.infos.join("|").toStdString();
    // The channel boxes fell back to stereo before the checks; a pure list box stores -1; the
    // WAV mode is not written when no mode button is checked.
    EXPECT_EQ(rig.ini.ReadInteger("mp3", "channel", -5), 1);
    EXPECT_EQ(rig.ini.ReadInteger("ogg", "channel", -5), 1);
    EXPECT_EQ(rig.ini.ReadInteger("wma", "format", -5), -1);
    EXPECT_EQ(rig.ini.ReadInteger("wav", "mode", -5), 5);
}

TEST(SettingsDialog, HandlersFollowChangesMadeFromCode) {
    DialogRig rig;
    Tfm_set& s = *rig.fm_set;
    const SetControls sc(s);
    s.show();

    sc.cb_vbr->setChecked(true);
    EXPECT_TRUE(sc.cb_mp3_vbr->isEnabled());
    EXPECT_TRUE(sc.ud_mp3_vbr->isEnabled());
    sc.cb_vbr->setChecked(false);
    EXPECT_FALSE(sc.cb_mp3_vbr->isEnabled());
    EXPECT_FALSE(sc.ud_mp3_vbr->isEnabled());
    EXPECT_TRUE(sc.edt_mp3_vbr->isEnabled());
    EXPECT_TRUE(sc.cb_mp3_bitrate->isEnabled());

    sc.cb_ogg_quality->setChecked(false);
    EXPECT_TRUE(sc.cb_ogg_minbit->isEnabled());
    EXPECT_TRUE(sc.cb_ogg_maxbit->isEnabled());
    EXPECT_FALSE(sc.ud_ogg_quality->isEnabled());
    EXPECT_FALSE(sc.edt_ogg_quality->isEnabled());
    EXPECT_TRUE(sc.cb_ogg_fre->isEnabled());

    sc.rb_custom->setChecked(true);
    EXPECT_TRUE(sc.cb_wav_bit->isEnabled());
    sc.rb_bestsuited->setChecked(true);
    EXPECT_FALSE(sc.cb_wav_bit->isEnabled());
    EXPECT_FALSE(sc.cb_wav_frequency->isEnabled());

    sc.RadioButton3->setChecked(true);
    EXPECT_EQ(rig.state.schedule_mode, 2);
    EXPECT_TRUE(s.date_time->isEnabled() && s.Begintime->isEnabled() && s.endtime->isEnabled());
    sc.RadioButton2->setChecked(true);
    EXPECT_EQ(rig.state.schedule_mode, 1);
    EXPECT_FALSE(s.date_time->isEnabled());
    EXPECT_TRUE(s.Begintime->isEnabled() && s.endtime->isEnabled());
    // Closing without saving keeps the mode in force; the next show reloads the stored one.
    s.close();
    EXPECT_EQ(rig.state.schedule_mode, 1);
    EXPECT_EQ(rig.ini.ReadInteger("autorec", "format", -1), -1);
    s.show();
    EXPECT_EQ(rig.state.schedule_mode, 0);
    EXPECT_FALSE(s.Begintime->isEnabled());

    // The up-down and its field follow each other and keep to the range.
    sc.ud_ogg_quality->SetPosition(5000);
    EXPECT_EQ(sc.ud_ogg_quality->Position(), 1000);
    EXPECT_EQ(sc.edt_ogg_quality->text(), "1000");
    sc.ud_mp3_quality->StepUp();
    EXPECT_EQ(sc.ud_mp3_quality->Position(), 9);
    sc.ud_mp3_quality->StepDown();
    EXPECT_EQ(sc.edt_mp3_quality->text(), "8");
}

TEST(SettingsDialog, CloseKeepsARunningRecordingsFileOpen) {
    DialogRig rig;
    Tfm_set& s = *rig.fm_set;
    const SetControls sc(s);
    const QString path = rig.dir.path() + "/take.wav";
    rig.file.SetPcmFormat(44100, 2, 16);

    rig.file.CreateForWrite(path, 0);
    rig.state.recording = true;
    s.show();
    s.close();
    EXPECT_TRUE(rig.file.IsOpen());

    rig.state.recording = false;
    s.show();
    s.close();
    EXPECT_FALSE(rig.file.IsOpen());
}

TEST(SettingsDialog, RecordingSourceActsOnTheCaptureComponentAtOnce) {
    DialogRig rig;
    Tfm_set& s = *rig.fm_set;
    const SetControls sc(s);
    rig.FillDevicesLikeStartup();
    ASSERT_EQ(s.cb_rd->count(), 2); // the simulated input and "Default input"
    ASSERT_EQ(s.cb_rdson->count(), 2);
    EXPECT_EQ(s.cb_rdson->currentText(), "Microphone");
    EXPECT_EQ(s.tb_rd->maximum(), 66535);
    EXPECT_EQ(s.tb_rd->tickPosition(), QSlider::NoTicks);

    // The user picks the simulated input itself: selected, lines refilled, stored.
    Choose(s.cb_rd, 0);
    EXPECT_EQ(rig.ini.ReadInteger("rd", "rd", -1), 0);
    EXPECT_EQ(s.cb_rdson->count(), 2);
    EXPECT_EQ(s.tb_rd->value(), 65536);

    Choose(s.cb_rdson, 1); // "Line In"
    const auto source = rig.backend->Source("sim_input");
    ASSERT_TRUE(source.has_value());
    EXPECT_EQ(source->activePort, 1);

    s.tb_rd->setValue(30000);
    EXPECT_EQ(rig.backend->Source("sim_input")->volume, 30000);
    // Nothing on this page is written by the save.
    s.SaveSettings();
    EXPECT_EQ(rig.ini.ReadInteger("rd", "rd", -1), 0);
}

TEST(SettingsDialog, TheInputListFollowsDevicesPluggedInAndOut) {
    DialogRig rig;
    Tfm_set& s = *rig.fm_set;
    const SetControls sc(s);
    rig.FillDevicesLikeStartup();
    Choose(s.cb_rd, 0); // "Simulated input"
    ASSERT_EQ(rig.ini.ReadInteger("rd", "rd", -1), 0);

    // A USB microphone appears, listed by the server before the chosen input: the list shows it
    // at once, the chosen input stays chosen, and its new place is stored.
    AudioSource usb;
    usb.name = "usb_mic";
    usb.description = "USB Microphone";
    AudioSource input = *rig.backend->Source("sim_input");
    rig.backend->ClearSources();
    rig.backend->AddSource(usb);
    rig.backend->AddSource(input);
    ASSERT_EQ(s.cb_rd->count(), 3);
    EXPECT_EQ(s.cb_rd->itemText(0), "USB Microphone");
    EXPECT_EQ(s.cb_rd->itemText(2), "Default input");
    EXPECT_EQ(s.cb_rd->currentText(), "Simulated input");
    EXPECT_EQ(rig.ini.ReadInteger("rd", "rd", -1), 1);
    EXPECT_EQ(s.cb_rdson->count(), 2) << "the chosen input's lines stay listed";

    // The chosen input is pulled out: gone from the list, "Default input" shown in its place.
    rig.backend->RemoveSource("sim_input");
    ASSERT_EQ(s.cb_rd->count(), 2);
    EXPECT_EQ(s.cb_rd->currentText(), "Default input");
    EXPECT_EQ(s.cb_rdson->count(), 0);
}

// Receives what the about page hands to the desktop.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

TEST(SettingsDialog, AboutPageLinksAndPictures) {
    DialogRig rig;
    Tfm_set& s = *rig.fm_set;
    const SetControls sc(s);
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("mailto", &catcher, "open");
    QDesktopServices::setUrlHandler("https", &catcher, "open");
    s.show();
    s.ShowPage(8);
    testinput::MouseClick(sc.lbl_buy);
    testinput::MouseClick(sc.lbl_web);
    QDesktopServices::unsetUrlHandler("mailto");
    QDesktopServices::unsetUrlHandler("https");
    ASSERT_EQ(catcher.urls.size(), 2);
    EXPECT_EQ(catcher.urls[0].scheme(), "mailto");
    EXPECT_EQ(catcher.urls[1].scheme(), "https");

    EXPECT_EQ(sc.lbl_product->text(), "Tarno MP3 Recorder");
    EXPECT_TRUE(sc.lbl_product->font().bold());
    EXPECT_EQ(sc.lbl_version->text() + sc.lbl_versionno->text(), "Version: 1.00");
    EXPECT_EQ(sc.lbl_line->text(), "Recorder to mp3, wav, wma, raw and ogg ");
    ASSERT_FALSE(sc.img_title->pixmap().isNull());
    EXPECT_EQ(sc.img_title->pixmap().size(), QSize(223, 38));
    EXPECT_FALSE(sc.img_icon->pixmap().isNull());
}

#include "settingsdialog_test.moc"
