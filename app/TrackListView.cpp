#include "app/TrackListView.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QUrl>

#include <utility>

#include "app/AppIcons.h"
#include "app/QtText.h"
#include "app/TrackListModel.h"
#include "commands/Layout.h"

namespace vyr::app {

namespace {

// Hands the edited text to the list's renameRequested instead of writing it into the model:
// the window may refuse a name, and then the row keeps showing the old one.
class RenameDelegate : public QStyledItemDelegate {
public:
    explicit RenameDelegate(TrackListView* view) : QStyledItemDelegate(view), m_view(view) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        if (index.column() != 0 || !index.data(Qt::CheckStateRole).isValid()) return;
        QStyleOptionViewItem item(option);
        initStyleOption(&item, index);
        const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
        const QRect box = style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &item, option.widget);
        OutlineCheckBox(*painter, box, option.palette);
    }

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override
    {
        const auto* line = qobject_cast<QLineEdit*>(editor);
        if (!line) return;
        // Queued: the window may show a message box, which must not open inside the editor's
        // own focus handling.
        QMetaObject::invokeMethod(m_view, "renameRequested", Qt::QueuedConnection, Q_ARG(int, index.row()),
                                  Q_ARG(QString, line->text()));
    }

private:
    TrackListView* m_view;
};

}  // namespace

QStringList DroppedFiles(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    return paths;
}

TrackListView::TrackListView(const album::AlbumState& state, std::string groupSeparator, QWidget* parent)
    : QTreeView(parent), m_state(state), m_model(new TrackListModel(state, std::move(groupSeparator), this))
{
    setModel(m_model);
    connect(m_model, &TrackListModel::tickRequested, this, &TrackListView::tickRequested);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::SelectedClicked);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setItemDelegate(new RenameDelegate(this));
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setDropIndicatorShown(false);
}

bool TrackListView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    // A second click on a selected row edits its file name whichever cell was clicked.
    const QModelIndex name = index.isValid() ? index.sibling(index.row(), 0) : index;
    return QTreeView::edit(name, trigger, event);
}

void TrackListView::AcceptFiles(QDragMoveEvent* event) const
{
    if (m_dropsAccepted && !DroppedFiles(event->mimeData()).isEmpty()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TrackListView::dragEnterEvent(QDragEnterEvent* event) { AcceptFiles(event); }

void TrackListView::dragMoveEvent(QDragMoveEvent* event) { AcceptFiles(event); }

void TrackListView::dropEvent(QDropEvent* event)
{
    const QStringList paths = m_dropsAccepted ? DroppedFiles(event->mimeData()) : QStringList();
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit filesDropped(paths);
}

void TrackListView::ShowList(double dpi)
{
    m_model->ListChanged();
    for (std::size_t c = 0; c < m_state.list.columns.size(); ++c)
        setColumnWidth(static_cast<int>(c), commands::layout::ToPixels(m_state.list.columns[c].width, dpi));
    // From the event loop: by then the header the new columns brought has taken its height
    // from the viewport, and the last item lands inside what is left.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_state.list.items > 0) scrollTo(m_model->index(m_state.list.items - 1, 0));
        },
        Qt::QueuedConnection);
}

void TrackListView::ShowItems(int first, int last) { m_model->ItemsChanged(first, last); }

int TrackListView::SelectedItem() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void TrackListView::StartEditing(int item)
{
    // Opening an editor over an open one fails, and Qt says so on stderr for every key typed.
    if (IsEditing() || item < 0 || item >= m_model->rowCount() || m_model->columnCount() < 1) return;
    edit(m_model->index(item, 0), QAbstractItemView::AllEditTriggers, nullptr);
}

}  // namespace vyr::app
