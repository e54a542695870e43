#pragma once

#include <QDialog>
#include <QPointer>

struct AppState;
class QFileSystemModel;
class QPushButton;
class QToolButton;
class QTreeView;

// The output directory chooser: a small modal window with a tree of the file system's folders.
//
// Created once at start-up and never destroyed, so the tree keeps its expanded and selected
// folders from one use to the next. The tree has one top node, the file system's root "/",
// opened at the first show; there is no "desktop" above it on Linux. Every show opens the tree
// down to the start folder (SetStartFolder: the folder the settings dialog shows), selects it
// and scrolls it into view; a start folder that does not exist keeps the earlier selection, or
// with none opens the tree at the nearest existing folder above it, selecting nothing. The "home"
// button beside "Ok" selects the home folder.
//
// Protocol: the settings dialog calls exec(); when it returns, AppState::chosen_dir holds the
// result: the selected folder's full path after "Ok" (empty when none was selected), empty after
// "Cancel", and unchanged after the close box or Escape. The chooser reads and writes no settings.
class Tfm_dir : public QDialog {
    Q_OBJECT
public:
    // `state` must outlive the chooser.
    explicit Tfm_dir(AppState& state, QWidget* parent = nullptr);

    // The window the chooser is placed against at every show (the settings dialog).
    void SetAnchor(QWidget* anchor) { anchor_ = anchor; }
    // The folder the next show opens at; an empty path opens where the last use left off.
    void SetStartFolder(const QString& path) { startFolder_ = path; }

    // Where the chooser goes for an anchor with this frame: its top-left corner 300 pixels up and
    // left of the anchor's bottom-right corner.
    static QPoint Placement(const QRect& anchorFrame);

    void btn_okClick();
    void btn_cancelClick();
    // Opens the tree down to `path`, selects it and scrolls it into view; false (and nothing
    // changed) when `path` is not a folder.
    bool GoTo(const QString& path);
    // The selected folder's path, or "" when nothing is selected.
    QString SelectedFolder() const;

    QTreeView* ShellTreeView1;
    QPushButton* btn_ok;
    QPushButton* btn_cancel;
    QToolButton* btn_home;
    QFileSystemModel* model() const { return model_; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormShow();
    bool Open(const QString& path, bool select);

    AppState& state_;
    QFileSystemModel* model_;
    QPointer<QWidget> anchor_;
    bool opened_once_ = false;
    QString startFolder_;
    QString scrollPending_; // scrolled to again as folders above it finish loading
};
