#include "dialogrig.h"
#include "setcontrols.h"

#include <QFileSystemModel>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
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
