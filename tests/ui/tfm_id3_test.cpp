// The tag editor window: its controls, what it loads, and that only OK stores.

#include "appstate.h"
#include "contrast.h"
#include "genres.h"
#include "textroom.h"
#include "tfm_id3.h"
#include "tinifile.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>

namespace {
struct EditorRig {
    EditorRig() : ini(QDir::homePath() + "/config/tags.ini", QLocale::system()) {
        QDir().mkpath(QDir::homePath() + "/config");
        QFile::remove(ini.FileName());
        main.setGeometry(300, 200, 400, 150);
        main.show();
        editor = std::make_unique<Tfm_id3>(ini, state, &main);
    }
    ~EditorRig() { QFile::remove(ini.FileName()); }
    QString Stored() const {
        QFile f(ini.FileName());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    TIniFile ini;
    AppState state;
    QWidget main;
    std::unique_ptr<Tfm_id3> editor;
};
} // namespace

TEST(Tfm_id3, WindowControlsAndOrder) {
    EditorRig r;
    Tfm_id3& e = *r.editor;
    EXPECT_EQ(e.windowTitle(), "ID3 EDIT");
    EXPECT_EQ(e.size(), QSize(222, 191));
    EXPECT_TRUE(e.windowFlags() & Qt::Tool);
    EXPECT_TRUE(e.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(e.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(e.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(e.edt_title->width(), 139);
    EXPECT_EQ(e.edt_arist->width(), 139);
    EXPECT_EQ(e.edt_album->width(), 139);
    EXPECT_EQ(e.edt_com->size(), QSize(141, 42));
    EXPECT_EQ(e.cb_g->width(), 140);
    EXPECT_FALSE(e.cb_g->isEditable());
    EXPECT_EQ(e.Button1->text(), "OK");
    EXPECT_EQ(e.Button2->text(), "Cancel");

    // Labels top to bottom, each on the row of its control; the genre box above the memo.
    QList<QLabel*> labels = e.findChildren<QLabel*>();
    std::sort(labels.begin(), labels.end(), [](QLabel* a, QLabel* b) { return a->y() < b->y(); });
    QStringList texts;
    for (QLabel* l : labels)
        texts << l->text();
    EXPECT_EQ(texts, QStringList({"Title:", "Artist:", "Album:", "Genre:", "Comments:"}));
    EXPECT_LT(e.edt_album->y(), e.cb_g->y());
    EXPECT_LT(e.cb_g->y(), e.edt_com->y());
    for (QWidget* w : std::initializer_list<QWidget*>{e.edt_title, e.edt_arist, e.edt_album, e.cb_g,
                                                      e.edt_com, e.Button1, e.Button2})
        EXPECT_TRUE(QRect(QPoint(0, 0), e.size()).contains(w->geometry()))
            << w->objectName().toStdString();

    // Tab order: title, artist, album, memo, genre, OK, Cancel.
    const std::vector<QWidget*> order = {e.edt_title, e.edt_arist, e.edt_album, e.edt_com,
                                         e.cb_g,      e.Button1,   e.Button2};
    for (std::size_t i = 0; i + 1 < order.size(); ++i) {
        QWidget* next = order[i]->nextInFocusChain();
        while (std::find(order.begin(), order.end(), next) == order.end())
            next = next->nextInFocusChain();
        EXPECT_EQ(next, order[i + 1]) << i;
    }
}

TEST(Tfm_id3, ShowLoadsOkStoresCancelAndCloseBoxDoNot) {
    EditorRig r;
    Tfm_id3& e = *r.editor;

    e.show();
    EXPECT_TRUE(r.state.tags_shown);
    EXPECT_EQ(e.edt_title->text(), "unknown title");
    EXPECT_EQ(e.edt_arist->text(), "unknown artist");
    EXPECT_EQ(e.edt_album->text(), "unknown album");
    EXPECT_EQ(e.edt_com->toPlainText(), "");
    EXPECT_EQ(e.cb_g->count(), 148);
    EXPECT_EQ(e.cb_g->currentText(), "Other");
    // Centred on the main window.
    EXPECT_LE((e.frameGeometry().center() - r.main.frameGeometry().center()).manhattanLength(), 2);

    // Cancel after editing stores nothing.
    e.edt_title->setText("changed");
    e.Button2->click();
    EXPECT_FALSE(e.isVisible());
    EXPECT_FALSE(r.state.tags_shown);
    EXPECT_FALSE(r.Stored().contains("[info]", Qt::CaseInsensitive));

    // Shown again: the stored values again, still exactly 148 genres.
    e.show();
    EXPECT_EQ(e.edt_title->text(), "unknown title");
    EXPECT_EQ(e.cb_g->count(), 148);

    // The close box writes nothing either.
    e.edt_arist->setText("changed");
    e.close();
    EXPECT_FALSE(r.state.tags_shown);
    EXPECT_FALSE(r.Stored().contains("[info]", Qt::CaseInsensitive));

    // OK stores all five, the genre as its index, the memo with its line break.
    e.show();
    e.edt_title->setText("Take one");
    e.edt_arist->setText("Tarno");
    e.edt_album->setText("Sessions");
    e.edt_com->setPlainText("line one\nline two");
    e.cb_g->setCurrentIndex(8);
    e.Button1->click();
    EXPECT_FALSE(e.isVisible());
    EXPECT_FALSE(r.state.tags_shown);
    EXPECT_EQ(r.ini.ReadString("info", "title", ""), "Take one");
    EXPECT_EQ(r.ini.ReadString("info", "arist", ""), "Tarno");
    EXPECT_EQ(r.ini.ReadString("info", "album", ""), "Sessions");
    EXPECT_EQ(r.ini.ReadInteger("info", "genre", -5), 8);
    EXPECT_EQ(r.ini.ReadString("info", "comment", ""), "line one\nline two");

    e.show();
    EXPECT_EQ(e.cb_g->currentText(), "Jazz");
    EXPECT_EQ(e.edt_com->toPlainText(), "line one\nline two");
    e.close();

    // A stored genre outside the list selects nothing, and OK stores -1.
    r.ini.WriteInteger("info", "genre", 400);
    e.show();
    EXPECT_EQ(e.cb_g->currentIndex(), -1);
    e.Button1->click();
    EXPECT_EQ(r.ini.ReadInteger("info", "genre", 0), -1);
}

TEST(Tfm_id3, ReadableOnItsBackground) {
    EditorRig r;
    r.editor->show();
    const contrast::Report report = contrast::Walker(r.editor.get(), std::nullopt).Walk();
    EXPECT_TRUE(report.failures.isEmpty()) << report.failures.join(QLatin1Char('\n')).toStdString();
    EXPECT_GE(report.texts, 5 + 4 + 2);
    // TARNO_SCREENSHOT_DIR=docs/screenshots keeps a picture for the docs.
    const QString shots = qEnvironmentVariable("TARNO_SCREENSHOT_DIR");
    if (!shots.isEmpty())
        r.editor->grab().save(shots + QStringLiteral("/tags.png"));
    r.editor->close();
}

// Titles, artists and albums keep the marks above their capitals and below their line.
TEST(Tfm_id3, FieldsShowAccentedCapitalsWhole) {
    EditorRig rig;
    rig.editor->show();
    for (QLineEdit* field : rig.editor->findChildren<QLineEdit*>()) {
        if (!field->isVisible())
            continue;
        field->setText(QStringLiteral("Ünïcode Åçg ÉÎ"));
        const textroom::Cut cut = textroom::FieldCut(*field);
        EXPECT_GT(cut.whole, 0) << field->objectName().toStdString();
        EXPECT_EQ(cut.lost, 0) << field->objectName().toStdString() << " at " << cut.height
                               << " px";
    }
    rig.editor->close();
}

TEST(Tfm_id3, TheKeyboardOpensEditsAndClosesTheEditor) {
    EditorRig r;
    Tfm_id3& e = *r.editor;
    ASSERT_TRUE(QTest::qWaitForWindowActive(&r.main));

    // Shown: the editor has the keyboard, at the title.
    e.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&e));
    EXPECT_EQ(QApplication::focusWidget(), e.edt_title);

    // Escape cancels; the main window has the keyboard again.
    QTest::keyClicks(e.edt_title, "ignored");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(e.isVisible());
    EXPECT_FALSE(r.Stored().contains("[info]", Qt::CaseInsensitive));
    EXPECT_TRUE(QTest::qWaitForWindowActive(&r.main));

    // Tab goes round every field and both buttons.
    e.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&e));
    QList<QWidget*> order;
    for (int i = 0; i < 7; ++i) {
        order << QApplication::focusWidget();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    const QList<QWidget*> expected{e.edt_title, e.edt_arist, e.edt_album, e.edt_com,
                                   e.cb_g,      e.Button1,   e.Button2};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(QApplication::focusWidget(), e.edt_title) << "round to the start";

    // Enter on Cancel cancels.
    e.Button2->setFocus();
    QTest::keyClick(e.Button2, Qt::Key_Return);
    EXPECT_FALSE(e.isVisible());
    EXPECT_FALSE(r.Stored().contains("[info]", Qt::CaseInsensitive));

    // Enter in a field is OK: stored and closed; a new line in the comments stays a new line.
    e.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&e));
    e.edt_com->setFocus();
    QTest::keyClicks(e.edt_com, "one");
    QTest::keyClick(e.edt_com, Qt::Key_Return);
    QTest::keyClicks(e.edt_com, "two");
    EXPECT_TRUE(e.isVisible());
    e.edt_title->setFocus();
    e.edt_title->setText("Keyed");
    QTest::keyClick(e.edt_title, Qt::Key_Enter);
    EXPECT_FALSE(e.isVisible());
    EXPECT_EQ(r.ini.ReadString("info", "title", ""), "Keyed");
    EXPECT_EQ(r.ini.ReadString("info", "comment", ""), "one\ntwo");
    EXPECT_TRUE(QTest::qWaitForWindowActive(&r.main));
}
