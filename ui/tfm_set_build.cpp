// The settings dialog's window and pages: the controls, their texts and lists, and where they sit.
#include "formatcatalogue.h"
#include "jpegimage.h"
#include "textrowdelegate.h"
#include "tfm_set.h"
#include "tfm_set_updown.h"
#include "tinifile.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// Client area 428 x 377: the skin form's title bar on top (32 px), the tree on the left, the page
// area on the right (title strip above the page), and a band at the bottom (from y 337) for the
// skin form's "ok", "cancel" and "default" elements.
constexpr int kClientWidth = 428;
constexpr int kClientHeight = 377;
constexpr int kTitleBarHeight = 32;
constexpr int kBandTop = 337;
constexpr int kTop = kTitleBarHeight + 4;
constexpr QRect kTreeRect{4, kTop, 134, kBandTop - 4 - kTop};
constexpr int kPageLeft = 142;
constexpr int kPageWidth = kClientWidth - 4 - kPageLeft;
constexpr int kStripTop = kTop;
constexpr int kStripHeight = 32; // the picture is 223 x 38, stretched across the page width
constexpr int kPageTop = kStripTop + kStripHeight + 2;
constexpr QRect kPageRect{kPageLeft, kPageTop, kPageWidth, kBandTop - 2 - kPageTop};

// Light text on the skin's dark panel (#22262d); fields, lists and buttons dark to match the
// skin's own buttons. Every text keeps at least 4.5:1 contrast to what it is drawn on, disabled
// ones included.
QPalette PanelPalette(QPalette pal) {
    const QColor text(0xdf, 0xe6, 0xee);
    const QColor dimmed(0x98, 0xa2, 0xb1);
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool off = g == QPalette::Disabled;
        pal.setColor(g, QPalette::Window, QColor(0x22, 0x26, 0x2d));
        pal.setColor(g, QPalette::WindowText, off ? dimmed : text);
        pal.setColor(g, QPalette::Text, off ? dimmed : text);
        pal.setColor(g, QPalette::ButtonText, off ? dimmed : text);
        pal.setColor(g, QPalette::PlaceholderText, dimmed);
        pal.setColor(g, QPalette::Base, QColor(0x1b, 0x1f, 0x26));
        pal.setColor(g, QPalette::AlternateBase, QColor(0x26, 0x2a, 0x32));
        pal.setColor(g, QPalette::Button,
                     off ? QColor(0x2a, 0x2e, 0x36) : QColor(0x2e, 0x33, 0x3d));
        pal.setColor(g, QPalette::Light, QColor(0x4a, 0x52, 0x60));
        pal.setColor(g, QPalette::Midlight, QColor(0x3a, 0x40, 0x4c));
        pal.setColor(g, QPalette::Mid, QColor(0x34, 0x3a, 0x46));
        pal.setColor(g, QPalette::Dark, QColor(0x15, 0x18, 0x1d));
        pal.setColor(g, QPalette::Shadow, QColor(0x0d, 0x0f, 0x12));
        pal.setColor(g, QPalette::Highlight, QColor(0x24, 0x66, 0xc7));
        pal.setColor(g, QPalette::HighlightedText, Qt::white);
        pal.setColor(g, QPalette::Link, QColor(0x6f, 0xa8, 0xff));
        pal.setColor(g, QPalette::ToolTipBase, QColor(0x2e, 0x33, 0x3d));
        pal.setColor(g, QPalette::ToolTipText, text);
    }
    return pal;
}

// Check boxes and radio buttons with a light outline: the platform style draws their boxes in
// shades of the dark panel, where an empty one is next to invisible. The outline keeps at least
// 3:1 against the panel, as any control a user must find should.
class OutlinedIndicators : public QProxyStyle {
public:
    static constexpr QColor kOutline{0x8a, 0x97, 0xad};

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        if (element != PE_IndicatorCheckBox && element != PE_IndicatorRadioButton)
            return;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->setBrush(Qt::NoBrush);
        QColor outline = kOutline;
        if (!(option->state & State_Enabled))
            outline = outline.darker(150);
        painter->setPen(QPen(outline, 1));
        const QRectF box = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
        if (element == PE_IndicatorRadioButton)
            painter->drawEllipse(box.adjusted(0.5, 0.5, -0.5, -0.5));
        else
            painter->drawRoundedRect(box, 2, 2);
        painter->restore();
    }
};

// One for the process, owned by the application: it must outlive every dialog that uses it.
QStyle* IndicatorStyle() {
    static QPointer<QStyle> style;
    if (!style) {
        style = new OutlinedIndicators;
        style->setParent(qApp);
    }
    return style;
}

// Stands in for a skin button on the keyboard: takes its place in the tab order, shows the focus
// with a ring and presses on Space or Enter. The mouse goes through to the skin element below.
class KeyButton : public QAbstractButton {
public:
    KeyButton(const QString& text, const char* name, QWidget* parent) : QAbstractButton(parent) {
        setObjectName(QString::fromLatin1(name));
        setText(text);
        setFocusPolicy(Qt::TabFocus);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (!hasFocus())
            return;
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(0x6e, 0xe7, 0xff), 2));
        p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 5, 5);
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            click();
            return;
        }
        QAbstractButton::keyPressEvent(event);
    }
};

QComboBox* List(QWidget* parent, const char* name, const QStringList& items) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->addItems(items);
    return box;
}

QGroupBox* Group(QWidget* page, const QString& title) {
    auto* group = new QGroupBox(title, page);
    page->layout()->addWidget(group);
    return group;
}

QWidget* Page(QWidget* parent, const char* name) {
    auto* page = new QWidget(parent);
    page->setObjectName(QString::fromLatin1(name));
    page->setGeometry(kPageRect);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    return page;
}

QFormLayout* Form(QWidget* group) {
    auto* form = new QFormLayout(group);
    form->setContentsMargins(6, 4, 6, 4);
    form->setVerticalSpacing(3);
    form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return form;
}

QLabel* Hint(QWidget* parent, const QString& text) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    label->setFont(font);
    return label;
}

// A number field with its up-down beside it, as one row of a form.
QWidget* NumberRow(QWidget* parent, QLineEdit*& edit, UpDown*& updown, const char* editName,
                   const char* updownName, int minimum, int maximum) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    edit = new QLineEdit(row);
    edit->setObjectName(QString::fromLatin1(editName));
    edit->setFixedWidth(48);
    updown = new UpDown(minimum, maximum, row);
    updown->setObjectName(QString::fromLatin1(updownName));
    updown->SetAssociate(edit);
    layout->addWidget(edit);
    layout->addWidget(updown);
    layout->addStretch();
    return row;
}

QDateTimeEdit* Picker(QWidget* parent, const char* name, const QString& displayFormat) {
    auto* picker = new QDateTimeEdit(parent);
    picker->setObjectName(QString::fromLatin1(name));
    picker->setDisplayFormat(displayFormat);
    // Design value until the store is loaded.
    picker->setDateTime(QDateTime(QDate(2000, 1, 1), QTime(0, 0, 0)));
    return picker;
}

} // namespace

void Tfm_set::BuildWindow() {
    setObjectName(QStringLiteral("fm_set"));
    setWindowTitle(QStringLiteral("Settings"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::WindowStaysOnTopHint);
    setFixedSize(kClientWidth, kClientHeight);
    setPalette(PanelPalette(palette()));

    tv = new QTreeWidget(this);
    tv->setObjectName(QStringLiteral("tv"));
    tv->setGeometry(kTreeRect);
    tv->setHeaderHidden(true);
    tv->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tv->setSelectionMode(QAbstractItemView::SingleSelection);
    tv->setItemDelegate(new TextRowDelegate(tv));
    auto* output = new QTreeWidgetItem(tv, {QStringLiteral("Output Format")});
    nodes_[0] = output;
    nodes_[1] = new QTreeWidgetItem(output, {QStringLiteral("MP3")});
    nodes_[2] = new QTreeWidgetItem(output, {QStringLiteral("OGG")});
    nodes_[3] = new QTreeWidgetItem(output, {QStringLiteral("WAV")});
    nodes_[4] = new QTreeWidgetItem(output, {QStringLiteral("WMA/RAW")});
    nodes_[5] = new QTreeWidgetItem(tv, {QStringLiteral("Recording Source")});
    nodes_[6] = new QTreeWidgetItem(tv, {QStringLiteral("Schedule")});
    nodes_[7] = new QTreeWidgetItem(tv, {QStringLiteral("Hot Key")});
    nodes_[8] = new QTreeWidgetItem(tv, {QStringLiteral("About")});

    img_title = new QLabel(this);
    img_title->setObjectName(QStringLiteral("img_title"));
    img_title->setGeometry(kPageLeft, kStripTop, kPageWidth, kStripHeight);
    img_title->setScaledContents(true);
    const QImage strip = jpeg::LoadJpeg(QStringLiteral(":/images/titlestrip.jpg"));
    if (!strip.isNull()) {
        // Toned down a quarter so the white page title reads on its lightest blue.
        QImage toned = strip.convertToFormat(QImage::Format_RGB32);
        QPainter tone(&toned);
        tone.fillRect(toned.rect(), QColor(0, 0, 0, 64));
        tone.end();
        img_title->setPixmap(QPixmap::fromImage(toned));
    }

    // The page title, drawn over the strip with a transparent background.
    lb_name = new QLabel(this);
    lb_name->setObjectName(QStringLiteral("lb_name"));
    lb_name->setGeometry(kPageLeft + 8, kStripTop, kPageWidth - 16, kStripHeight);
    lb_name->setAttribute(Qt::WA_TranslucentBackground);
    lb_name->setAutoFillBackground(false);
    QFont titleFont(QStringLiteral("Arial"));
    titleFont.setPixelSize(12);
    titleFont.setBold(true);
    lb_name->setFont(titleFont);
    QPalette onStrip = lb_name->palette();
    onStrip.setColor(QPalette::WindowText, Qt::white);
    lb_name->setPalette(onStrip);

    BuildOutputPage();
    BuildMp3Page();
    BuildOggPage();
    BuildWavPage();
    BuildRawPage();
    BuildMixerPage();
    BuildSchedulePage();
    BuildHotKeyPage();
    BuildAboutPage();
    pages_ = {pl_out, pl_mp3, pl_ogg, pl_wav, pl_raw, pl_mixer, pl_sched, pl_ht, pl_about};
    for (QWidget* page : pages_)
        page->hide();
    pl_out->show();
    lb_name->setText(PageTitle(0));
    lb_name->raise();

    for (QAbstractButton* box : findChildren<QAbstractButton*>())
        if (qobject_cast<QCheckBox*>(box) || qobject_cast<QRadioButton*>(box))
            box->setStyle(IndicatorStyle());

    // Last in the tab order, left to right as the skin draws them.
    keyDefault_ = new KeyButton(QStringLiteral("Defaults"), "key_default", this);
    keyOk_ = new KeyButton(QStringLiteral("OK"), "key_ok", this);
    keyCancel_ = new KeyButton(QStringLiteral("Cancel"), "key_cancel", this);
}

void Tfm_set::BuildOutputPage() {
    pl_out = Page(this, "pl_out");

    QGroupBox* name = Group(pl_out, QStringLiteral("Output Name:"));
    auto* nameLayout = new QHBoxLayout(name);
    rb_time = new QRadioButton(QStringLiteral("Date + Time"), name);
    rb_time->setObjectName(QStringLiteral("rb_time"));
    rb_cust = new QRadioButton(QStringLiteral("Custom Name"), name);
    rb_cust->setObjectName(QStringLiteral("rb_cust"));
    nameLayout->addWidget(rb_time);
    nameLayout->addWidget(rb_cust);
    nameGroup_ = new QButtonGroup(this);
    nameGroup_->addButton(rb_time);
    nameGroup_->addButton(rb_cust);

    QGroupBox* format = Group(pl_out, QStringLiteral("Output Format:"));
    auto* formatLayout = new QHBoxLayout(format);
    cb_format = List(format, "cb_format", catalogue::OutputFormatEntries());
    formatLayout->addWidget(cb_format);

    QGroupBox* dir = Group(pl_out, QStringLiteral("Output Directory:"));
    auto* dirLayout = new QHBoxLayout(dir);
    ed_dir = new QLineEdit(dir);
    ed_dir->setObjectName(QStringLiteral("ed_dir"));
    ed_dir->setReadOnly(true);
    Button2 = new QPushButton(QStringLiteral("..."), dir);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setFixedWidth(28);
    dirLayout->addWidget(ed_dir);
    dirLayout->addWidget(Button2);
    static_cast<QVBoxLayout*>(pl_out->layout())->addStretch();
}

void Tfm_set::BuildMp3Page() {
    pl_mp3 = Page(this, "pl_mp3");

    QGroupBox* general = Group(pl_mp3, QStringLiteral("General Options"));
    QFormLayout* form = Form(general);
    cb_mp3_frequency = List(general, "cb_mp3_frequency", catalogue::SampleRateEntries());
    cb_mp3_bitrate = List(general, "cb_mp3_bitrate", catalogue::BitRateEntries());
    cb_mp3_channel = List(general, "cb_mp3_channel", catalogue::ChannelEntries());
    form->addRow(QStringLiteral("Frequency:  "), cb_mp3_frequency);
    form->addRow(QStringLiteral("Bitrate:  "), cb_mp3_bitrate);
    form->addRow(QStringLiteral("Channet:  "), cb_mp3_channel);
    form->addRow(QStringLiteral("Quality:  "),
                 NumberRow(general, edt_mp3_quality, ud_mp3_quality, "edt_mp3_quality",
                           "ud_mp3_quality", 0, 9));
    form->addRow(Hint(general, QStringLiteral("8Kbps - poor quality, small file, ")));
    form->addRow(Hint(general, QStringLiteral("320Kbps  - good quality, big file")));

    // The caption leaves room for the check box that sits on the group's frame line.
    gb_vbr = Group(pl_mp3, QStringLiteral("      Enable VBR(Variable Bit Rate)"));
    QFormLayout* vbr = Form(gb_vbr);
    cb_vbr = new QCheckBox(gb_vbr);
    cb_vbr->setObjectName(QStringLiteral("cb_vbr"));
    cb_vbr->setGeometry(8, 0, 18, 16);
    cb_mp3_vbr = List(gb_vbr, "cb_mp3_vbr", catalogue::BitRateEntries());
    vbr->addRow(QStringLiteral("VBR Bitrate:  "), cb_mp3_vbr);
    vbr->addRow(QStringLiteral("VBR Quality:  "),
                NumberRow(gb_vbr, edt_mp3_vbr, ud_mp3_vbr, "edt_mp3_vbr", "ud_mp3_vbr", 0, 9));
    cb_vbr->raise();
}

void Tfm_set::BuildOggPage() {
    pl_ogg = Page(this, "pl_ogg");

    QGroupBox* general = Group(pl_ogg, QStringLiteral("General Options  "));
    QFormLayout* form = Form(general);
    cb_ogg_fre = List(general, "cb_ogg_fre", catalogue::SampleRateEntries());
    cb_ogg_channel = List(general, "cb_ogg_channel", catalogue::ChannelEntries());
    cb_ogg_minbit = List(general, "cb_ogg_minbit", catalogue::BitRateEntries());
    cb_ogg_maxbit = List(general, "cb_ogg_maxbit", catalogue::BitRateEntries());
    form->addRow(QStringLiteral("Frequency:  "), cb_ogg_fre);
    form->addRow(QStringLiteral("Channet:  "), cb_ogg_channel);
    form->addRow(QStringLiteral("Min Bitrate:  "), cb_ogg_minbit);
    form->addRow(QStringLiteral("Max Bitrate:  "), cb_ogg_maxbit);
    form->addRow(Hint(general, QStringLiteral("8Kbps - poor quality, small file, ")));
    form->addRow(Hint(general, QStringLiteral("350Kbps  - good quality, big file")));

    QGroupBox* vbr = Group(pl_ogg, QStringLiteral("VBR (Variable Bit Rate) "));
    QFormLayout* vbrForm = Form(vbr);
    cb_ogg_quality = new QCheckBox(QStringLiteral("Enable Quality"), vbr);
    cb_ogg_quality->setObjectName(QStringLiteral("cb_ogg_quality"));
    vbrForm->addRow(cb_ogg_quality);
    vbrForm->addRow(QStringLiteral("VBR Quality:  "),
                    NumberRow(vbr, edt_ogg_quality, ud_ogg_quality, "edt_ogg_quality",
                              "ud_ogg_quality", 0, 1000));
}

void Tfm_set::BuildWavPage() {
    pl_wav = Page(this, "pl_wav");

    QGroupBox* mode = Group(pl_wav, QStringLiteral("Mode"));
    auto* modeLayout = new QVBoxLayout(mode);
    const QStringList modes = catalogue::WavModeEntries();
    rb_cdquality = new QRadioButton(modes.value(0), mode);
    rb_cdquality->setObjectName(QStringLiteral("rb_cdquality"));
    rb_bestsuited = new QRadioButton(modes.value(1), mode);
    rb_bestsuited->setObjectName(QStringLiteral("rb_bestsuited"));
    rb_custom = new QRadioButton(modes.value(2), mode);
    rb_custom->setObjectName(QStringLiteral("rb_custom"));
    wavModeGroup_ = new QButtonGroup(this);
    for (QRadioButton* b : {rb_cdquality, rb_bestsuited, rb_custom}) {
        modeLayout->addWidget(b);
        wavModeGroup_->addButton(b);
    }

    QGroupBox* general = Group(pl_wav, QStringLiteral("General Options"));
    QFormLayout* form = Form(general);
    cb_wav_frequency = List(general, "cb_wav_frequency", catalogue::SampleRateEntries(true));
    cb_wav_bit = List(general, "cb_wav_bit", catalogue::WavBitsEntries());
    cb_wav_channel = List(general, "cb_wav_channel", catalogue::ChannelEntries());
    form->addRow(QStringLiteral("Frequency:"), cb_wav_frequency);
    form->addRow(QStringLiteral("Bit Per Sample:"), cb_wav_bit);
    form->addRow(QStringLiteral("Channel:"), cb_wav_channel);
    static_cast<QVBoxLayout*>(pl_wav->layout())->addStretch();
}

void Tfm_set::BuildRawPage() {
    pl_raw = Page(this, "pl_raw");

    QGroupBox* wma = Group(pl_raw, QStringLiteral("WMA Settings"));
    auto* wmaLayout = new QHBoxLayout(wma);
    cb_wma = List(wma, "cb_wma", catalogue::WmaEntries());
    wmaLayout->addWidget(cb_wma);

    QGroupBox* raw = Group(pl_raw, QStringLiteral("RAW Settings"));
    QFormLayout* form = Form(raw);
    cb_rawformat = List(raw, "cb_rawformat", catalogue::RawCodecEntries());
    cb_rawf = List(raw, "cb_rawf", catalogue::SampleRateEntries());
    cb_rawc = List(raw, "cb_rawc", catalogue::ChannelEntries());
    cb_rawb = List(raw, "cb_rawb", catalogue::RawBitsEntries());
    form->addRow(QStringLiteral("Format:   "), cb_rawformat);
    form->addRow(QStringLiteral("Frequency:   "), cb_rawf);
    form->addRow(QStringLiteral("Channel:   "), cb_rawc);
    form->addRow(QStringLiteral("Bit Per Sample:   "), cb_rawb);
    static_cast<QVBoxLayout*>(pl_raw->layout())->addStretch();
}

void Tfm_set::BuildMixerPage() {
    pl_mixer = Page(this, "pl_mixer");

    QGroupBox* device = Group(pl_mixer, QStringLiteral("Recording Device "));
    auto* deviceLayout = new QVBoxLayout(device);
    cb_rd = List(device, "cb_rd", {});
    cb_rdson = List(device, "cb_rdson", {});
    deviceLayout->addWidget(cb_rd);
    deviceLayout->addWidget(cb_rdson);

    QGroupBox* volume = Group(pl_mixer, QStringLiteral("Recording Volume"));
    auto* volumeLayout = new QVBoxLayout(volume);
    tb_rd = new QSlider(Qt::Horizontal, volume);
    tb_rd->setObjectName(QStringLiteral("tb_rd"));
    tb_rd->setRange(0, kVolumeMax);
    tb_rd->setTickPosition(QSlider::NoTicks);
    tb_rd->setPageStep(kVolumeMax / 10);
    volumeLayout->addWidget(tb_rd);
    volumeLayout->addWidget(Hint(volume, QStringLiteral("Please low the volume as possible. The")));
    volumeLayout->addWidget(
        Hint(volume, QStringLiteral("lower the volume, the better the quality. ")));
    static_cast<QVBoxLayout*>(pl_mixer->layout())->addStretch();
}

void Tfm_set::BuildSchedulePage() {
    pl_sched = Page(this, "pl_sched");
    const QLocale& locale = ini_.Locale();

    QGroupBox* date = Group(pl_sched, QStringLiteral("Schedule Date"));
    auto* dateLayout = new QVBoxLayout(date);
    RadioButton1 = new QRadioButton(QStringLiteral("Disabled schedule"), date);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton2 = new QRadioButton(QStringLiteral("Every Day"), date);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    RadioButton3 = new QRadioButton(QStringLiteral("Special Day"), date);
    RadioButton3->setObjectName(QStringLiteral("RadioButton3"));
    scheduleGroup_ = new QButtonGroup(this);
    for (QRadioButton* b : {RadioButton1, RadioButton2, RadioButton3}) {
        dateLayout->addWidget(b);
        scheduleGroup_->addButton(b);
    }
    date_time = Picker(date, "date_time", locale.dateFormat(QLocale::ShortFormat));
    date_time->setCalendarPopup(true);
    dateLayout->addWidget(date_time);

    QGroupBox* time = Group(pl_sched, QStringLiteral("Schedule Time"));
    QFormLayout* form = Form(time);
    const QString timeFormat = TIniFile::LongTimeFormat(locale);
    Begintime = Picker(time, "Begintime", timeFormat);
    endtime = Picker(time, "endtime", timeFormat);
    form->addRow(QStringLiteral("Begin time:"), Begintime);
    form->addRow(QStringLiteral("End time:"), endtime);
    lbl_sched_unread = Hint(pl_sched, QString());
    lbl_sched_unread->setObjectName(QStringLiteral("lbl_sched_unread"));
    lbl_sched_unread->setWordWrap(true);
    lbl_sched_unread->setVisible(false);
    pl_sched->layout()->addWidget(lbl_sched_unread);
    static_cast<QVBoxLayout*>(pl_sched->layout())->addStretch();

    // Design state: no schedule button checked, pickers as if disabled.
    for (QDateTimeEdit* picker : {date_time, Begintime, endtime})
        picker->setEnabled(false);
}

void Tfm_set::BuildHotKeyPage() {
    pl_ht = Page(this, "pl_ht");
    auto* holder = new QWidget(pl_ht);
    QFormLayout* form = Form(holder);
    const QStringList keys = catalogue::HotKeyEntries();
    ComboBox1 = List(holder, "ComboBox1", keys);
    ComboBox2 = List(holder, "ComboBox2", keys);
    ComboBox3 = List(holder, "ComboBox3", keys);
    ComboBox4 = List(holder, "ComboBox4", keys);
    form->addRow(QStringLiteral("Recorder"), ComboBox1);
    form->addRow(QStringLiteral("Play"), ComboBox2);
    form->addRow(QStringLiteral("Pause"), ComboBox3);
    form->addRow(QStringLiteral("Stop"), ComboBox4);
    pl_ht->layout()->addWidget(holder);
    static_cast<QVBoxLayout*>(pl_ht->layout())->addStretch();
}

void Tfm_set::BuildAboutPage() {
    pl_about = Page(this, "pl_about");
    auto* layout = static_cast<QVBoxLayout*>(pl_about->layout());
    layout->setContentsMargins(12, 12, 12, 12);

    img_icon = new QLabel(pl_about);
    img_icon->setObjectName(QStringLiteral("img_icon"));
    img_icon->setPixmap(QPixmap(QStringLiteral(":/images/icon.png")));
    lbl_product = new QLabel(QStringLiteral("Tarno MP3 Recorder"), pl_about);
    lbl_product->setObjectName(QStringLiteral("lbl_product"));
    QFont bold = lbl_product->font();
    bold.setBold(true);
    lbl_product->setFont(bold);
    auto* head = new QHBoxLayout;
    head->addWidget(img_icon);
    head->addWidget(lbl_product, 1);
    layout->addLayout(head);

    lbl_version = new QLabel(QStringLiteral("Version: "), pl_about);
    lbl_version->setObjectName(QStringLiteral("lbl_version"));
    lbl_versionno = new QLabel(QStringLiteral("1.00"), pl_about);
    lbl_versionno->setObjectName(QStringLiteral("lbl_versionno"));
    auto* version = new QHBoxLayout;
    version->setSpacing(0);
    version->addWidget(lbl_version);
    version->addWidget(lbl_versionno);
    version->addStretch();
    layout->addLayout(version);

    lbl_line = new QLabel(QStringLiteral("Recorder to mp3, wav, wma, raw and ogg "), pl_about);
    lbl_line->setObjectName(QStringLiteral("lbl_line"));
    layout->addWidget(lbl_line);

    lbl_buy = new QLabel(QStringLiteral("Connect us"), pl_about);
    lbl_buy->setObjectName(QStringLiteral("lbl_buy"));
    lbl_web = new QLabel(QStringLiteral("Visit our web"), pl_about);
    lbl_web->setObjectName(QStringLiteral("lbl_web"));
    for (QLabel* link : {lbl_buy, lbl_web}) {
        QPalette pal = link->palette();
        pal.setColor(QPalette::WindowText, pal.color(QPalette::Link));
        link->setPalette(pal);
        link->setCursor(Qt::PointingHandCursor);
        link->installEventFilter(this);
        layout->addWidget(link);
    }
    layout->addStretch();
}
