#pragma once

// The settings dialog's own controls, found by their object names: the dialog keeps them to
// itself, and the tests drive them as a user would.

#include "tfm_set.h"
#include "tfm_set_updown.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTreeWidget>
#include <QWidget>
#include <stdexcept>
#include <string>

struct SetControls {
    explicit SetControls(Tfm_set& dialog) : dialog_(dialog) {}

private:
    Tfm_set& dialog_;

    template <typename T> T* Find(const char* name) const {
        T* found = dialog_.findChild<T*>(QString::fromLatin1(name));
        if (found == nullptr)
            throw std::logic_error(std::string("the settings dialog has no control ") + name);
        return found;
    }

public:
    QTreeWidget* tv = Find<QTreeWidget>("tv");
    QLabel* img_title = Find<QLabel>("img_title");
    QLabel* lb_name = Find<QLabel>("lb_name");
    QWidget* pl_out = Find<QWidget>("pl_out");
    QWidget* pl_mp3 = Find<QWidget>("pl_mp3");
    QWidget* pl_ogg = Find<QWidget>("pl_ogg");
    QWidget* pl_wav = Find<QWidget>("pl_wav");
    QWidget* pl_raw = Find<QWidget>("pl_raw");
    QWidget* pl_mixer = Find<QWidget>("pl_mixer");
    QWidget* pl_sched = Find<QWidget>("pl_sched");
    QWidget* pl_ht = Find<QWidget>("pl_ht");
    QWidget* pl_about = Find<QWidget>("pl_about");
    QRadioButton* rb_time = Find<QRadioButton>("rb_time");
    QRadioButton* rb_cust = Find<QRadioButton>("rb_cust");
    QComboBox* cb_format = Find<QComboBox>("cb_format");
    QLineEdit* ed_dir = Find<QLineEdit>("ed_dir");
    QComboBox* cb_mp3_frequency = Find<QComboBox>("cb_mp3_frequency");
    QComboBox* cb_mp3_bitrate = Find<QComboBox>("cb_mp3_bitrate");
    QComboBox* cb_mp3_channel = Find<QComboBox>("cb_mp3_channel");
    QLineEdit* edt_mp3_quality = Find<QLineEdit>("edt_mp3_quality");
    UpDown* ud_mp3_quality = Find<UpDown>("ud_mp3_quality");
    QCheckBox* cb_vbr = Find<QCheckBox>("cb_vbr");
    QComboBox* cb_mp3_vbr = Find<QComboBox>("cb_mp3_vbr");
    QLineEdit* edt_mp3_vbr = Find<QLineEdit>("edt_mp3_vbr");
    UpDown* ud_mp3_vbr = Find<UpDown>("ud_mp3_vbr");
    QComboBox* cb_ogg_fre = Find<QComboBox>("cb_ogg_fre");
    QComboBox* cb_ogg_channel = Find<QComboBox>("cb_ogg_channel");
    QComboBox* cb_ogg_minbit = Find<QComboBox>("cb_ogg_minbit");
    QComboBox* cb_ogg_maxbit = Find<QComboBox>("cb_ogg_maxbit");
    QCheckBox* cb_ogg_quality = Find<QCheckBox>("cb_ogg_quality");
    QLineEdit* edt_ogg_quality = Find<QLineEdit>("edt_ogg_quality");
    UpDown* ud_ogg_quality = Find<UpDown>("ud_ogg_quality");
    QRadioButton* rb_cdquality = Find<QRadioButton>("rb_cdquality");
    QRadioButton* rb_bestsuited = Find<QRadioButton>("rb_bestsuited");
    QRadioButton* rb_custom = Find<QRadioButton>("rb_custom");
    QComboBox* cb_wav_frequency = Find<QComboBox>("cb_wav_frequency");
    QComboBox* cb_wav_bit = Find<QComboBox>("cb_wav_bit");
    QComboBox* cb_wav_channel = Find<QComboBox>("cb_wav_channel");
    QComboBox* cb_wma = Find<QComboBox>("cb_wma");
    QComboBox* cb_rawformat = Find<QComboBox>("cb_rawformat");
    QComboBox* cb_rawf = Find<QComboBox>("cb_rawf");
    QComboBox* cb_rawc = Find<QComboBox>("cb_rawc");
    QComboBox* cb_rawb = Find<QComboBox>("cb_rawb");
    QRadioButton* RadioButton1 = Find<QRadioButton>("RadioButton1");
    QRadioButton* RadioButton2 = Find<QRadioButton>("RadioButton2");
    QRadioButton* RadioButton3 = Find<QRadioButton>("RadioButton3");
    QComboBox* ComboBox1 = Find<QComboBox>("ComboBox1");
    QComboBox* ComboBox2 = Find<QComboBox>("ComboBox2");
    QComboBox* ComboBox3 = Find<QComboBox>("ComboBox3");
    QComboBox* ComboBox4 = Find<QComboBox>("ComboBox4");
    QLabel* img_icon = Find<QLabel>("img_icon");
    QLabel* lbl_product = Find<QLabel>("lbl_product");
    QLabel* lbl_version = Find<QLabel>("lbl_version");
    QLabel* lbl_versionno = Find<QLabel>("lbl_versionno");
    QLabel* lbl_line = Find<QLabel>("lbl_line");
    QLabel* lbl_buy = Find<QLabel>("lbl_buy");
    QLabel* lbl_web = Find<QLabel>("lbl_web");
};
