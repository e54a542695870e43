#include "tfm_dir.h"

#include "appstate.h"
#include "textrowdelegate.h"

#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QWindow>

namespace {
constexpr int kClientWidth = 227;
constexpr int kClientHeight = 212;
constexpr int kMinimumWidth = 150;
constexpr int kPlacementOffset = 300;
} // namespace

Tfm_dir::Tfm_dir(AppState& state, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      state_(state) {
    setObjectName(QStringLiteral("fm_dir"));
    setWindowTitle(QStringLiteral("Output Directory"));
    resize(kClientWidth, kClientHeight);
    setMinimumWidth(kMinimumWidth);

    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    // The tree is a snapshot: folders appear as they are read, not as they change later.
    model_->setOption(QFileSystemModel::DontWatchForChanges, true);
    model_->setReadOnly(true);
    model_->setRootPath(QStringLiteral("/"));

    ShellTreeView1 = new QTreeView(this);
    ShellTreeView1->setObjectName(QStringLiteral("ShellTreeView1"));
    ShellTreeView1->setModel(model_);
    for (int column = 1; column < model_->columnCount(); ++column)
        ShellTreeView1->hideColumn(column);
    ShellTreeView1->setHeaderHidden(true);
    ShellTreeView1->setRootIsDecorated(false);
    ShellTreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ShellTreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ShellTreeView1->setItemDelegate(new TextRowDelegate(ShellTreeView1));
    ShellTreeView1->setGeometry(4, 4, 217, 165);
    // A selection blue deep enough for white text (the style's default is too pale).
    QPalette pal = ShellTreeView1->palette();
    pal.setColor(QPalette::Highlight, QColor(0x24, 0x66, 0xc7));
    pal.setColor(QPalette::HighlightedText, Qt::white);
    ShellTreeView1->setPalette(pal);

    btn_ok = new QPushButton(QStringLiteral("Ok"), this);
    btn_ok->setObjectName(QStringLiteral("btn_ok"));
    btn_ok->setGeometry(17, 178, 75, 25);
    btn_ok->setAutoDefault(false);
    btn_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    btn_cancel->setObjectName(QStringLiteral("btn_cancel"));
    btn_cancel->setGeometry(129, 178, 75, 25);
    btn_cancel->setAutoDefault(false);
    // In the gap between "Ok" and "Cancel".
    btn_home = new QToolButton(this);
    btn_home->setObjectName(QStringLiteral("btn_home"));
    btn_home->setIcon(style()->standardIcon(QStyle::SP_DirHomeIcon));
    btn_home->setToolTip(QStringLiteral("Home folder"));
    btn_home->setAccessibleName(QStringLiteral("Home folder"));
    btn_home->setGeometry(97, 178, 27, 25);
    connect(btn_home, &QToolButton::clicked, this, [this] { GoTo(QDir::homePath()); });
    // Rows load in the background and are sorted a moment after they arrive; either may push
    // the folder out of view again. Once the user scrolls or clicks, the tree is theirs.
    const auto rescroll = [this] {
        if (scrollPending_.isEmpty())
            return;
        const QModelIndex index = model_->index(scrollPending_);
        if (index.isValid())
            ShellTreeView1->scrollTo(index, QAbstractItemView::PositionAtCenter);
    };
    connect(model_, &QFileSystemModel::directoryLoaded, this, rescroll);
    connect(model_, &QFileSystemModel::layoutChanged, this, rescroll);
    connect(model_, &QFileSystemModel::rowsInserted, this, rescroll);
    connect(ShellTreeView1->verticalScrollBar(), &QScrollBar::actionTriggered, this,
            [this] { scrollPending_.clear(); });
    connect(ShellTreeView1, &QTreeView::pressed, this, [this] { scrollPending_.clear(); });
    connect(btn_ok, &QPushButton::clicked, this, &Tfm_dir::btn_okClick);
    connect(btn_cancel, &QPushButton::clicked, this, &Tfm_dir::btn_cancelClick);
}

QPoint Tfm_dir::Placement(const QRect& anchorFrame) {
    return {anchorFrame.left() + anchorFrame.width() - kPlacementOffset,
            anchorFrame.top() + anchorFrame.height() - kPlacementOffset};
}

QString Tfm_dir::SelectedFolder() const {
    const QModelIndexList rows = ShellTreeView1->selectionModel()->selectedRows(0);
    if (rows.isEmpty())
        return {};
    return model_->filePath(rows.first());
}

void Tfm_dir::btn_okClick() {
    state_.chosen_dir = SelectedFolder();
    accept();
}

void Tfm_dir::btn_cancelClick() {
    state_.chosen_dir.clear();
    reject();
}

bool Tfm_dir::GoTo(const QString& path) {
    return Open(path, true);
}

bool Tfm_dir::Open(const QString& path, bool select) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isDir())
        return false;
    const QString folder = info.absoluteFilePath();
    const QModelIndex index = model_->index(folder);
    if (!index.isValid())
        return false;
    for (QModelIndex above = index.parent(); above.isValid(); above = above.parent())
        ShellTreeView1->expand(above);
    if (select)
        ShellTreeView1->selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ShellTreeView1->scrollTo(index, QAbstractItemView::PositionAtCenter);
    scrollPending_ = folder;
    return true;
}

void Tfm_dir::FormShow() {
    if (!opened_once_) {
        opened_once_ = true;
        ShellTreeView1->expand(model_->index(QStringLiteral("/")));
    }
    scrollPending_.clear();
    if (!GoTo(startFolder_) && SelectedFolder().isEmpty()) {
        // Not made yet (the default folder before the first recording): the tree opens at the
        // nearest folder above it, but selects nothing, so "Ok" does not change the field.
        QString above =
            startFolder_.isEmpty() ? QString() : QFileInfo(startFolder_).absoluteFilePath();
        while (!above.isEmpty() && !QFileInfo(above).isDir()) {
            const QString up = QFileInfo(above).path();
            above = up == above ? QString() : up;
        }
        Open(above, false);
    }
    if (anchor_) {
        move(Placement(anchor_->frameGeometry()));
        // The settings dialog stays on top of other windows; the chooser must come out above it
        // without being owned by it (both live until exit, owned by start-up).
        if (windowHandle() != nullptr && anchor_->windowHandle() != nullptr)
            windowHandle()->setTransientParent(anchor_->windowHandle());
    }
}

void Tfm_dir::showEvent(QShowEvent* event) {
    // Sent before the window is mapped, so the move lands before the first paint.
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void Tfm_dir::resizeEvent(QResizeEvent* event) {
    // The tree takes what the window gains; the buttons keep their row under it.
    const int treeHeight = std::max(20, height() - (kClientHeight - 165));
    ShellTreeView1->setGeometry(4, 4, std::max(20, width() - 10), treeHeight);
    btn_ok->move(17, treeHeight + 13);
    btn_cancel->move(129, treeHeight + 13);
    btn_home->move(97, treeHeight + 13);
    QDialog::resizeEvent(event);
}
