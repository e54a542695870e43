// The settings dialog and the output folder chooser as a user reads them and works them from the
// keyboard: every text stands out from what it is drawn on, Enter is OK, Escape is Cancel, Tab
// reaches every control, and the keyboard goes back to the main window on closing.

#include "contrast.h"
#include "dialogrig.h"
#include "settingstable.h"
#include "skintestfiles.h"

#include <QApplication>
#include <QDateTimeEdit>
#include <QLabel>
#include <QStyleOptionButton>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <set>

namespace {

// What the default skin's "options" form paints behind the dialog's controls.
const QColor kPanel(0x22, 0x26, 0x2d);

// The settings dialog centred on a shown main window.
struct KeyRig : DialogRig {
    KeyRig() {
        main.setGeometry(200, 200, 300, 120);
        main.show();
        withMain = std::make_unique<Tfm_set>(ini, state, prompts, skin, file, record, *fm_dir,
                                             home + QStringLiteral("/My Recorder"), &main);
    }
    ~KeyRig() { withMain.reset(); }
    QWidget main;
    std::unique_ptr<Tfm_set> withMain;

    QWidget* Named(const char* name) const {
        return withMain->findChild<QWidget*>(QString::fromLatin1(name));
    }
    void Press(int key) { QTest::keyClick(QApplication::focusWidget(), Qt::Key(key)); }
};

QList<QColor> Pixels(const QImage& image) {
    QList<QColor> colours;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            colours << image.pixelColor(x, y);
    return colours;
}

// The settings dialog as the program shows it: the default skin, the devices read as at start-up.
void ShowSkinned(DialogRig& r) {
    ASSERT_TRUE(r.skin.LoadSkin(DefaultSkinPath())) << r.skin.LastError().toStdString();
    r.FillDevicesLikeStartup();
    r.fm_set->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(r.fm_set.get()));
}

int StoredFormat(const DialogRig& r) {
    return settings::ReadInteger(r.ini, settings::kOutputFormat, settings::Reader::SettingsDialog);
}

} // namespace

TEST(DialogReading, EveryTextOfEverySettingsPageStandsOutFromThePanel) {
    DialogRig r;
    ASSERT_NO_FATAL_FAILURE(ShowSkinned(r));
    Tfm_set& set = *r.fm_set;

    contrast::Walker walker(&set, kPanel);
    auto* strip = set.findChild<QLabel*>(QStringLiteral("img_title"));
    auto* title = set.findChild<QLabel*>(QStringLiteral("lb_name"));
    ASSERT_NE(strip, nullptr);
    ASSERT_NE(title, nullptr);
    const QImage picture = strip->grab().toImage();

    int texts = 0;
    for (int page = 0; page < Tfm_set::kPageCount; ++page) {
        set.ShowPage(page);
        // The page title is drawn over the title strip's picture: what lies under its text.
        const int left = title->x() - strip->x();
        const int width = title->fontMetrics().horizontalAdvance(title->text());
        walker.DrawnOver(QStringLiteral("lb_name"),
                         Pixels(picture.copy(left, 0, width, picture.height())));
        const contrast::Report report = walker.Walk();
        EXPECT_TRUE(report.failures.isEmpty())
            << "page " << page << ":\n"
            << report.failures.join(QLatin1Char('\n')).toStdString();
        EXPECT_GE(report.lowest, 4.5) << "page " << page;
        texts += report.texts;
        // TARNO_SCREENSHOT_DIR=docs/screenshots keeps a picture of every page for the docs.
        const QString shots = qEnvironmentVariable("TARNO_SCREENSHOT_DIR");
        if (!shots.isEmpty())
            set.grab().save(shots + QStringLiteral("/settings-%1.png").arg(page + 1));
    }
    // Every page has texts to read (labels, groups, the tree); the walk did not miss them.
    EXPECT_GT(texts, 9 * 10);

    // The disabled pickers and boxes (no schedule, WAV presets) stay readable as well.
    set.ShowPage(6);
    EXPECT_FALSE(set.findChild<QWidget*>(QStringLiteral("Begintime"))->isEnabled());
    EXPECT_TRUE(walker.Walk().failures.isEmpty());
    set.close();
}

TEST(DialogReading, EveryEmptyCheckBoxAndRadioButtonCanBeSeenOnThePanel) {
    DialogRig r;
    ASSERT_NO_FATAL_FAILURE(ShowSkinned(r));
    Tfm_set& set = *r.fm_set;
    int seen = 0;
    for (int page = 0; page < Tfm_set::kPageCount; ++page) {
        set.ShowPage(page);
        for (QAbstractButton* box : set.findChildren<QAbstractButton*>()) {
            const bool radio = qobject_cast<QRadioButton*>(box) != nullptr;
            if ((!radio && !qobject_cast<QCheckBox*>(box)) || !box->isVisible() ||
                !box->isEnabled() || box->isChecked())
                continue;
            // The box or circle of an empty control: its most visible pixel against the panel
            // (3:1, what a control's outline needs).
            QStyleOptionButton option;
            option.initFrom(box);
            const QRect indicator = box->style()->subElementRect(
                radio ? QStyle::SE_RadioButtonIndicator : QStyle::SE_CheckBoxIndicator, &option,
                box);
            const QImage image = box->grab(indicator).toImage();
            double best = 1.0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    best = std::max(best, contrast::Ratio(image.pixelColor(x, y), kPanel));
            EXPECT_GE(best, 3.0) << box->objectName().toStdString() << " \""
                                 << box->text().toStdString() << "\" on page " << page;
            ++seen;
        }
    }
    EXPECT_GE(seen, 4) << "the walk found the empty boxes";
    set.close();
}

TEST(DialogReading, TheOutputFolderChooserIsReadable) {
    DialogRig r;
    r.fm_dir->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(r.fm_dir.get()));
    const contrast::Report report = contrast::Walker(r.fm_dir.get(), std::nullopt).Walk();
    EXPECT_TRUE(report.failures.isEmpty()) << report.failures.join(QLatin1Char('\n')).toStdString();
    EXPECT_GT(report.texts, 2);
    r.fm_dir->close();
}

TEST(DialogKeys, TabReachesEveryControlAndTheSkinButtons) {
    KeyRig r;
    Tfm_set& set = *r.withMain;
    set.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&set));
    // The dialog takes the keyboard at its tree.
    EXPECT_EQ(QApplication::focusWidget(), r.Named("tv"));

    for (int page = 0; page < Tfm_set::kPageCount; ++page) {
        set.ShowPage(page);
        std::set<QWidget*> reached;
        for (int i = 0; i < 200 && QApplication::focusWidget() != nullptr; ++i) {
            reached.insert(QApplication::focusWidget());
            r.Press(Qt::Key_Tab);
        }
        for (QWidget* w : set.findChildren<QWidget*>()) {
            if (!w->isVisible() || !w->isEnabled() || !(w->focusPolicy() & Qt::TabFocus) ||
                w->focusProxy() != nullptr)
                continue;
            EXPECT_TRUE(reached.count(w))
                << "page " << page << ": Tab never reaches " << w->objectName().toStdString();
        }
        for (const char* name : {"key_default", "key_ok", "key_cancel"})
            EXPECT_TRUE(reached.count(r.Named(name))) << name;
    }
    // The stand-ins sit over the skin's buttons.
    for (const char* name : {"default", "ok", "cancel"}) {
        const SkinRect e =
            r.skin.GetSkinForm(&set)->FindObject(QString::fromLatin1(name))->GetRect();
        EXPECT_EQ(r.Named((std::string("key_") + name).c_str())->geometry(),
                  QRect(e.left, e.top, e.right - e.left, e.bottom - e.top))
            << name;
    }
    set.close();
}

TEST(DialogKeys, EscapeCancelsEnterSavesSpaceOnDefaultsRestoresAndTheMainWindowGetsTheKeyboard) {
    KeyRig r;
    Tfm_set& set = *r.withMain;
    auto* format = set.findChild<QComboBox*>(QStringLiteral("cb_format"));

    // Escape: closed, nothing stored, the main window active again.
    set.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&set));
    format->setCurrentIndex(2);
    r.Press(Qt::Key_Escape);
    EXPECT_FALSE(set.isVisible());
    EXPECT_FALSE(r.state.settings_shown);
    EXPECT_EQ(StoredFormat(r), 0);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&r.main));

    // Enter from a list box: saved and closed.
    set.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&set));
    format->setCurrentIndex(2);
    format->setFocus();
    QTest::keyClick(format, Qt::Key_Return);
    EXPECT_FALSE(set.isVisible());
    EXPECT_EQ(StoredFormat(r), 2);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&r.main));

    // Space or Enter on the Defaults stand-in restores the format defaults; the dialog stays.
    set.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&set));
    QWidget* defaults = r.Named("key_default");
    defaults->setFocus();
    QTest::keyClick(defaults, Qt::Key_Space);
    EXPECT_EQ(format->currentIndex(), 0);
    EXPECT_TRUE(set.isVisible());

    // Enter on the Cancel stand-in cancels rather than saves.
    format->setCurrentIndex(3);
    QWidget* cancel = r.Named("key_cancel");
    cancel->setFocus();
    QTest::keyClick(cancel, Qt::Key_Enter);
    EXPECT_FALSE(set.isVisible());
    EXPECT_EQ(StoredFormat(r), 2);
    EXPECT_TRUE(r.prompts.infos.isEmpty());
}

TEST(DialogLayout, TheSkinsTitleBarAndButtonBandStayUncovered) {
    DialogRig r;
    ASSERT_TRUE(r.skin.LoadSkin(DefaultSkinPath())) << r.skin.LastError().toStdString();
    Tfm_set& set = *r.fm_set;
    set.show();
    SkinForm* form = r.skin.GetSkinForm(&set);
    ASSERT_NE(form, nullptr);
    const SkinRect bar = form->FindObject(QStringLiteral("titlebar"))->GetRect();
    const SkinRect band = form->FindObject(QStringLiteral("strip"))->GetRect();
    for (QWidget* w : set.findChildren<QWidget*>()) {
        if (w->parentWidget() != &set || w->isHidden() || w->objectName().startsWith("key_") ||
            w->objectName() == QStringLiteral("skin_surface"))
            continue;
        EXPECT_GE(w->geometry().top(), bar.bottom) << w->objectName().toStdString();
        EXPECT_LE(w->geometry().bottom(), band.top - 1) << w->objectName().toStdString();
    }
    set.close();
}
