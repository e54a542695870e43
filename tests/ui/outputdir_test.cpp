#include "dialogrig.h"
#include "formatcatalogue.h"
#include "qtprompts.h"
#include "setcontrols.h"
#include "textroom.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QWindow>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Runs the "..." button; `inside` acts on the chooser while its modal loop runs. A watchdog
// closes the chooser if the test forgot to, so a failure cannot hang the suite.
void RunChooser(DialogRig& rig, std::function<void(Tfm_dir&)> inside) {
    Tfm_dir& chooser = *rig.fm_dir;
    QTimer::singleShot(0, &chooser, [&chooser, inside] { inside(chooser); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &chooser, [&chooser] {
        ADD_FAILURE() << "the chooser stayed open";
        chooser.done(QDialog::Rejected);
    });
    watchdog.start(5000);
    rig.fm_set->Button2Click();
}

void SelectFolder(Tfm_dir& chooser, const QString& path) {
    const QModelIndex index = chooser.model()->index(path);
    ASSERT_TRUE(index.isValid()) << path.toStdString();
    chooser.ShellTreeView1->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect |
                                                                QItemSelectionModel::Rows);
}

} // namespace

TEST(OutputDirectoryChooser, ButtonsAndTheCloseBoxDecideTheFolderField) {
    DialogRig rig;
    Tfm_set& s = *rig.fm_set;
    const SetControls sc(s);
    s.show();
    const QString start = sc.ed_dir->text();
    const QString folderA = rig.dir.path() + "/A";
    ASSERT_TRUE(QDir().mkpath(folderA + "/inner"));

    EXPECT_EQ(rig.fm_dir->windowTitle(), "Output Directory");
    EXPECT_EQ(rig.fm_dir->btn_ok->text(), "Ok");
    EXPECT_EQ(rig.fm_dir->btn_ok->geometry(), QRect(17, 178, 75, 25));
    EXPECT_EQ(rig.fm_dir->btn_cancel->geometry(), QRect(129, 178, 75, 25));

    // "Ok" with nothing selected.
    RunChooser(rig, [](Tfm_dir& c) {
        EXPECT_TRUE(c.isVisible());
        EXPECT_TRUE(c.isModal());
        c.btn_ok->click();
    });
    EXPECT_EQ(sc.ed_dir->text(), start);
    EXPECT_EQ(rig.state.chosen_dir, "");

    // "Ok" on a folder: the field takes it, the store does not.
    RunChooser(rig, [&](Tfm_dir& c) {
        SelectFolder(c, folderA);
        c.btn_ok->click();
    });
    EXPECT_EQ(sc.ed_dir->text(), folderA);
    EXPECT_FALSE(rig.IniExists());

    // "Cancel" leaves the field as it is, even with another folder selected.
    sc.ed_dir->setText("/elsewhere");
    RunChooser(rig, [&](Tfm_dir& c) {
        EXPECT_EQ(c.SelectedFolder(), folderA) << "the selection is kept between uses";
        SelectFolder(c, folderA + "/inner");
        c.btn_cancel->click();
    });
    EXPECT_EQ(sc.ed_dir->text(), "/elsewhere");
    EXPECT_EQ(rig.state.chosen_dir, "");

    // An earlier "Ok" on A, then the close box: A comes back into the field.
    RunChooser(rig, [&](Tfm_dir& c) {
        SelectFolder(c, folderA);
        c.btn_ok->click();
    });
    sc.ed_dir->setText("/elsewhere");
    RunChooser(rig, [&](Tfm_dir& c) {
        SelectFolder(c, folderA + "/inner");
        c.close();
    });
    EXPECT_EQ(sc.ed_dir->text(), folderA);

    // The saved folder is what the field shows.
    s.SaveSettings();
    EXPECT_EQ(rig.ini.ReadString("output", "dir", ""), folderA);
}

TEST(OutputDirectoryChooser, OpensUpAndLeftOfTheDialogsBottomRightCorner) {
    EXPECT_EQ(Tfm_dir::Placement(QRect(100, 50, 428, 377)), QPoint(228, 127));
    EXPECT_EQ(Tfm_dir::Placement(QRect(0, 0, 200, 100)), QPoint(-100, -200));

    DialogRig rig;
    Tfm_set& s = *rig.fm_set;
    const SetControls sc(s);
    s.show();
    for (const QPoint at : {QPoint(300, 200), QPoint(40, 500)}) {
        s.move(at);
        const QRect frame = s.frameGeometry();
        QPoint seen;
        RunChooser(rig, [&](Tfm_dir& c) {
            seen = c.frameGeometry().topLeft();
            // Above the always-on-top dialog, yet not owned by it.
            EXPECT_EQ(c.windowHandle()->transientParent(), s.windowHandle());
            EXPECT_EQ(c.parent(), nullptr);
            c.btn_cancel->click();
        });
        EXPECT_EQ(seen, QPoint(frame.right() + 1 - 300, frame.bottom() + 1 - 300));
    }
    EXPECT_EQ(rig.fm_dir->minimumWidth(), 150);
}

namespace {

bool WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 200 && !done(); ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    return done();
}

// The folder's row is shown inside the tree's viewport.
bool InView(const Tfm_dir& c, const QString& path) {
    const QRect row = c.ShellTreeView1->visualRect(c.model()->index(path));
    return row.isValid() && c.ShellTreeView1->viewport()->rect().contains(row.center());
}

} // namespace

// The chooser opens down at the folder the dialog shows, selected and in view, whatever the
// earlier use left; a folder not made yet selects nothing; home is one click away.
TEST(OutputDirectoryChooser, OpensAtTheCurrentFolderWithHomeOneClickAway) {
    DialogRig rig;
    Tfm_set& s = *rig.fm_set;
    const SetControls sc(s);
    s.show();
    const QString deep = rig.dir.path() + "/a/b/c/d/e/f";
    ASSERT_TRUE(QDir().mkpath(deep));
    // Siblings enough to push the folder below the tree's first screen.
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(QDir().mkpath(rig.dir.path() + "/a/b/c/d/e/" + QString::number(i)));
    ASSERT_TRUE(QDir().mkpath(rig.home));

    sc.ed_dir->setText(deep);
    bool seen = false;
    RunChooser(rig, [&](Tfm_dir& c) {
        EXPECT_EQ(c.SelectedFolder(), deep);
        for (QModelIndex i = c.model()->index(deep).parent(); i.isValid(); i = i.parent())
            EXPECT_TRUE(c.ShellTreeView1->isExpanded(i)) << c.model()->filePath(i).toStdString();
        seen = WaitFor([&] { return InView(c, deep); });
        c.btn_cancel->click();
    });
    EXPECT_TRUE(seen) << "scrolled into view";

    // Home: one click, then "Ok".
    RunChooser(rig, [&](Tfm_dir& c) {
        EXPECT_FALSE(c.btn_home->toolTip().isEmpty());
        c.btn_home->click();
        EXPECT_EQ(c.SelectedFolder(), QDir::homePath());
        c.btn_ok->click();
    });
    EXPECT_EQ(sc.ed_dir->text(), QDir::homePath());

    // A folder not made yet: the earlier selection stays, so "Ok" gives what it gave.
    sc.ed_dir->setText(deep + "/not yet");
    RunChooser(rig, [&](Tfm_dir& c) {
        EXPECT_EQ(c.SelectedFolder(), QDir::homePath());
        c.btn_cancel->click();
    });
}

TEST(OutputDirectoryChooser, AFolderNotMadeYetOnTheFirstUseSelectsNothing) {
    DialogRig rig;
    Tfm_set& s = *rig.fm_set;
    const SetControls sc(s);
    s.show();
    sc.ed_dir->setText(rig.dir.path() + "/My Recorder/later");
    RunChooser(rig, [&](Tfm_dir& c) {
        EXPECT_EQ(c.SelectedFolder(), "");
        EXPECT_TRUE(c.ShellTreeView1->isExpanded(c.model()->index(rig.dir.path()).parent()));
        c.btn_ok->click();
    });
    EXPECT_EQ(sc.ed_dir->text(), rig.dir.path() + "/My Recorder/later");
}

// The open and save dialogs start in the output folder (or the nearest one above it that exists)
// and name each pattern once.
TEST(FileDialogs, StartInTheOutputFolderAndNameEachPatternOnce) {
    QTemporaryDir dir;
    QString folder = dir.path() + "/rec";
    ASSERT_TRUE(QDir().mkpath(folder));
    QtPrompts prompts;
    prompts.SetStartFolder([&folder] { return folder; });

    struct Seen {
        QString directory;
        QStringList filters;
    };
    const auto run = [](const std::function<void()>& open) {
        Seen seen;
        QTimer poll;
        poll.setInterval(20);
        int ticks = 0;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                if (++ticks > 250)
                    ADD_FAILURE() << "no file dialog";
                return;
            }
            seen = {dialog->directory().absolutePath(), dialog->nameFilters()};
            dialog->reject();
        });
        poll.start();
        open();
        return seen;
    };

    Seen save = run([&] { prompts.SaveFileName(catalogue::SaveFilter(catalogue::Mp3)); });
    EXPECT_EQ(save.directory, folder);
    EXPECT_EQ(save.filters, QStringList{"MP3 files (*.mp3)"});

    Seen open = run([&] { prompts.OpenFileNames(catalogue::OpenFilter()); });
    EXPECT_EQ(open.directory, folder);
    ASSERT_FALSE(open.filters.isEmpty());
    EXPECT_EQ(open.filters[1], "MP3 Files (*.mp3)");

    folder += "/not yet/made";
    EXPECT_EQ(run([&] { prompts.OpenFileNames(catalogue::OpenFilter()); }).directory,
              dir.path() + "/rec");
}

// Folder names with marks above capitals and below the line are drawn whole in their rows.
TEST(OutputDirectoryChooser, AccentedFolderNamesFitTheirRows) {
    DialogRig rig;
    Tfm_set& s = *rig.fm_set;
    const SetControls sc(s);
    s.show();
    const QString folder = rig.dir.path() + QStringLiteral("/Ärger/Über Åçg");
    ASSERT_TRUE(QDir().mkpath(folder));
    sc.ed_dir->setText(folder);
    RunChooser(rig, [&](Tfm_dir& c) {
        for (const QString& path : {folder, rig.dir.path() + QStringLiteral("/Ärger")}) {
            const QModelIndex index = c.model()->index(path);
            ASSERT_TRUE(index.isValid()) << path.toStdString();
            const textroom::Cut cut = textroom::CellCut(*c.ShellTreeView1, index);
            EXPECT_GT(cut.whole, 0) << path.toStdString();
            EXPECT_EQ(cut.lost, 0) << path.toStdString() << " at " << cut.height << " px";
        }
        c.btn_cancel->click();
    });
}

// Folders above the output folder load and sort in the background after the chooser opens;
// when the tree has settled, the folder is still selected and in view.
TEST(OutputDirectoryChooser, TheFolderStaysInViewWhileTheTreeAroundItLoads) {
    DialogRig rig;
    Tfm_set& s = *rig.fm_set;
    const SetControls sc(s);
    s.show();
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(
            QDir().mkpath(rig.dir.path() + QStringLiteral("/crowd/%1").arg(i, 3, 10, QChar('0'))));
    const QString folder = rig.dir.path() + "/crowd/150/rec";
    ASSERT_TRUE(QDir().mkpath(folder));
    sc.ed_dir->setText(folder);
    RunChooser(rig, [&](Tfm_dir& c) {
        WaitFor([] { return false; }); // two seconds of loading and sorting
        EXPECT_EQ(c.SelectedFolder(), folder);
        EXPECT_TRUE(InView(c, folder));
        c.btn_cancel->click();
    });
}
