#include "tfm_id3.h"

#include "appstate.h"
#include "genres.h"
#include "onscreen.h"
#include "settingstable.h"
#include "tinifile.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>

namespace {
constexpr int kLabelLeft = 4;
constexpr int kFieldLeft = 76;
constexpr int kRowHeight = 21;
constexpr settings::Reader kReader = settings::Reader::TagEditor;

QLabel* MakeLabel(QWidget* parent, const QString& text, int top) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(kLabelLeft, top + 3, kFieldLeft - kLabelLeft - 4, 15);
    return label;
}
} // namespace

Tfm_id3::Tfm_id3(TIniFile& ini, AppState& state, QWidget* centreOn, QWidget* parent)
    : QWidget(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      ini_(ini), state_(state), centreOn_(centreOn) {
    setObjectName("fm_id3");
    setWindowTitle("ID3 EDIT");
    setFixedSize(222, 191);

    // Labels top to bottom: Title, Artist, Album, Genre, Comments. The genre box stands above
    // the memo but comes last of the fields in tab order.
    MakeLabel(this, "Title:", 8);
    MakeLabel(this, "Artist:", 34);
    MakeLabel(this, "Album:", 60);
    MakeLabel(this, "Genre:", 86);
    MakeLabel(this, "Comments:", 112);

    edt_title = new QLineEdit(this);
    edt_title->setObjectName("edt_title");
    edt_title->setGeometry(kFieldLeft, 8, 139, kRowHeight);
    edt_arist = new QLineEdit(this);
    edt_arist->setObjectName("edt_arist");
    edt_arist->setGeometry(kFieldLeft, 34, 139, kRowHeight);
    edt_album = new QLineEdit(this);
    edt_album->setObjectName("edt_album");
    edt_album->setGeometry(kFieldLeft, 60, 139, kRowHeight);
    cb_g = new QComboBox(this);
    cb_g->setObjectName("cb_g");
    cb_g->setEditable(false);
    cb_g->setGeometry(kFieldLeft, 86, 140, kRowHeight);
    edt_com = new QPlainTextEdit(this);
    edt_com->setObjectName("edt_com");
    edt_com->setGeometry(kFieldLeft, 112, 141, 42);
    edt_com->setTabChangesFocus(true);
    Button1 = new QPushButton("OK", this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(40, 161, 75, 23);
    Button1->setDefault(true);
    Button2 = new QPushButton("Cancel", this);
    Button2->setObjectName("Button2");
    Button2->setGeometry(124, 161, 75, 23);

    setTabOrder(edt_title, edt_arist);
    setTabOrder(edt_arist, edt_album);
    setTabOrder(edt_album, edt_com);
    setTabOrder(edt_com, cb_g);
    setTabOrder(cb_g, Button1);
    setTabOrder(Button1, Button2);

    connect(Button1, &QPushButton::clicked, this,
            [this] { HandleFailures(failureHandler_, [this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
}

void Tfm_id3::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    if (centreOn_ != nullptr) {
        const QRect outer = centreOn_->frameGeometry();
        QRect mine = frameGeometry();
        mine.moveCenter(outer.center());
        move(screen() != nullptr
                 ? KeepOnScreen(mine.topLeft(), mine.size(), screen()->availableGeometry())
                 : mine.topLeft());
    }
    FormShow();
    // The editor takes the keyboard as it opens, at the title.
    activateWindow();
    edt_title->setFocus(Qt::OtherFocusReason);
}

void Tfm_id3::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() & ~(Qt::KeypadModifier)) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        (focusWidget() == Button2 ? Button2 : Button1)->click();
        return;
    case Qt::Key_Escape:
        Button2->click();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void Tfm_id3::FormShow() {
    cb_g->clear();
    cb_g->addItems(genres::Names());
    edt_album->setText(settings::ReadString(ini_, settings::kInfoAlbum, kReader));
    edt_arist->setText(settings::ReadString(ini_, settings::kInfoArtist, kReader));
    edt_com->setPlainText(settings::ReadString(ini_, settings::kInfoComment, kReader));
    edt_title->setText(settings::ReadString(ini_, settings::kInfoTitle, kReader));
    const int genre = settings::ReadInteger(ini_, settings::kInfoGenre, kReader);
    cb_g->setCurrentIndex(genre >= 0 && genre < cb_g->count() ? genre : -1);
    state_.tags_shown = true;
}

void Tfm_id3::Button1Click() {
    settings::WriteString(ini_, settings::kInfoTitle, edt_title->text());
    settings::WriteString(ini_, settings::kInfoArtist, edt_arist->text());
    settings::WriteString(ini_, settings::kInfoAlbum, edt_album->text());
    settings::WriteInteger(ini_, settings::kInfoGenre, cb_g->currentIndex());
    settings::WriteString(ini_, settings::kInfoComment, edt_com->toPlainText());
    close();
}

void Tfm_id3::Button2Click() {
    close();
}

void Tfm_id3::closeEvent(QCloseEvent* event) {
    state_.tags_shown = false;
    event->accept();
    // The keyboard goes back to the main window.
    if (centreOn_ != nullptr && centreOn_->isVisible())
        centreOn_->activateWindow();
}
