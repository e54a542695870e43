#include "tfm_list.h"

#include "appstate.h"
#include "formatcatalogue.h"
#include "playbackfile.h"
#include "prompts.h"
#include "textrowdelegate.h"
#include "tskin.h"

#include <QDate>
#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QPainter>
#include <QTreeWidget>
#include <exception>
#include <utility>

namespace {

// The list view's grid: a line along the right and bottom edge of every cell.
class GridDelegate : public TextRowDelegate {
public:
    using TextRowDelegate::TextRowDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        TextRowDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid));
        const QRect r = option.rect;
        painter->drawLine(r.topRight(), r.bottomRight());
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->restore();
    }
};

enum Column { NameColumn = 0, TimeColumn = 1, DateColumn = 2, PathColumn = 3 };

} // namespace

Tfm_list::Tfm_list(AppState& state, TIniFile& settings, Prompts& prompts, MainDisplay& display,
                   TAudioFile2& AudioFilepaly, TSkin& skin, RecorderActions& actions,
                   QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Dialog | Qt::WindowStaysOnTopHint), state_(state),
      settings_(settings), prompts_(prompts), display_(display), file_(AudioFilepaly), skin_(skin),
      actions_(actions), main_(mainWindow) {
    setObjectName("fm_list");
    resize(515, 194);

    lv = new QTreeWidget(this);
    lv->setObjectName("lv");
    lv->setGeometry(25, 43, 469, 138);
    lv->setColumnCount(4);
    lv->setHeaderLabels({"Name:", "Time", "Date", "path"});
    lv->setRootIsDecorated(false);
    lv->setItemsExpandable(false);
    lv->setUniformRowHeights(true);
    lv->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lv->setSelectionBehavior(QAbstractItemView::SelectRows);
    lv->setAllColumnsShowFocus(true);
    lv->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lv->setSortingEnabled(false);
    lv->setItemDelegate(new GridDelegate(lv));
    QHeaderView* header = lv->header();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    const int widths[] = {140, 78, 78, 150};
    for (int c = 0; c < 4; ++c)
        lv->setColumnWidth(c, widths[c]);
    QPalette pal = lv->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Light));
    // A selection blue deep enough for white text (the style's default is too pale).
    pal.setColor(QPalette::Highlight, QColor(0x24, 0x66, 0xc7));
    pal.setColor(QPalette::HighlightedText, Qt::white);
    lv->setPalette(pal);

    connect(lv, &QTreeWidget::itemDoubleClicked, this, [this] { lvDblClick(); });
}

Tfm_list::~Tfm_list() = default;

void Tfm_list::Append(const ListEntry& entry) {
    auto* item = new QTreeWidgetItem(QStringList{entry.name, entry.time, entry.date, entry.path});
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren);
    lv->addTopLevelItem(item);
}

void Tfm_list::AddToList() {
    if (!state_.stopping && (state_.recording || state_.playing))
        return;

    if (state_.stopping) {
        // The stop sequence resets "s_time" only after this, so it still shows the final time.
        ListEntry entry;
        entry.name = QFileInfo(state_.out_file_name).fileName();
        entry.time = display_.GetText("s_time");
        entry.date = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
        entry.path = state_.out_file_name;
        Append(entry);
        DeselectAll();
        Select(Count() - 1);
        return;
    }

    const QStringList files = prompts_.OpenFileNames(catalogue::OpenFilter());
    if (files.isEmpty())
        return;
    const int before = Count();
    for (const QString& path : files) {
        try {
            Append(ProbeForList(file_, settings_, path));
        } catch (const std::exception&) {
            prompts_.Information("Read " + path + " error!!");
        }
    }
    DeselectAll();
    if (Count() > before)
        Select(before);
}

void Tfm_list::DeleteSelected() {
    if (state_.recording || state_.playing)
        return;
    const int entries = Count();
    int index = 0;
    for (int step = 0; step < entries && index < Count(); ++step) {
        if (lv->topLevelItem(index)->isSelected())
            delete lv->takeTopLevelItem(index);
        else
            ++index;
    }
}

void Tfm_list::Clear() {
    lv->clear();
}

void Tfm_list::SetFailureHandler(FailureHandler handler) {
    failureHandler_ = std::move(handler);
}

void Tfm_list::lvDblClick() {
    HandleFailures(failureHandler_, [this] {
        if (state_.playing)
            actions_.StopPlaying();
        actions_.PlaySelected();
    });
}

void Tfm_list::PlaceBelow(const QWidget& main) {
    move(main.x() + kLeftInset, main.y() + main.height() - kBottomOverlap);
}

int Tfm_list::Count() const {
    return lv->topLevelItemCount();
}

int Tfm_list::FirstSelected() const {
    for (int i = 0; i < Count(); ++i)
        if (lv->topLevelItem(i)->isSelected())
            return i;
    return -1;
}

void Tfm_list::DeselectAll() {
    lv->clearSelection();
}

void Tfm_list::Select(int index) {
    if (index < 0 || index >= Count())
        return;
    QTreeWidgetItem* item = lv->topLevelItem(index);
    item->setSelected(true);
    lv->scrollToItem(item);
}

QString Tfm_list::Path(int index) const {
    if (index < 0 || index >= Count())
        return {};
    return lv->topLevelItem(index)->text(PathColumn);
}

void Tfm_list::setVisible(bool visible) {
    if (visible && !isVisible() && !showing_) {
        // Skinning may re-create the native window, which hides it on the way; that transient
        // hide must not read as a close.
        showing_ = true;
        skin_.ApplySkin(this);
        skin_.ApplySkinForm(this, "recorderlist");
        if (!windowFlags().testFlag(Qt::WindowStaysOnTopHint))
            setWindowFlag(Qt::WindowStaysOnTopHint, true);
        lv->raise();
        if (main_ != nullptr)
            PlaceBelow(*main_);
        QWidget::setVisible(true);
        showing_ = false;
        state_.list_shown = true;
        return;
    }
    QWidget::setVisible(visible);
    if (!visible && !showing_)
        state_.list_shown = false;
}
