#include "tfm_dir.h"

#include "appstate.h"

#include <QFileSystemModel>
#include <QHeaderView>
#include <QPushButton>
#include <QShowEvent>
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

void Tfm_dir::FormShow() {
    if (!opened_once_) {
        opened_once_ = true;
        ShellTreeView1->expand(model_->index(QStringLiteral("/")));
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
    QDialog::resizeEvent(event);
}
