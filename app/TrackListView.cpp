#include "app/TrackListView.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QStyledItemDelegate>
#include <QUrl>

#include "app/QtText.h"

namespace vyr::app {

namespace {

// Hands the edited text to the list's renameRequested instead of writing it into the model:
// the window may refuse a name, and then the row keeps showing the old one.
class RenameDelegate : public QStyledItemDelegate {
public:
    explicit RenameDelegate(TrackListView* view) : QStyledItemDelegate(view), m_view(view) {}

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

TrackListView::TrackListView(QWidget* parent) : QTreeWidget(parent)
{
    setColumnCount(0);
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
    return QTreeWidget::edit(name, trigger, event);
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

}  // namespace vyr::app

namespace vyr::app {

QTreeWidgetItem* TrackListView::Item(int item) const
{
    return item >= 0 && item < topLevelItemCount() ? topLevelItem(item) : nullptr;
}

void TrackListView::RemoveAllItems()
{
    clear();
    m_itemKeys.clear();
}

bool TrackListView::AddItem(std::string_view key)
{
    std::string k(key);
    if (!k.empty() && !m_itemKeys.insert(k).second) return false;
    auto* item = new QTreeWidgetItem();
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsEditable |
                   Qt::ItemNeverHasChildren);
    item->setCheckState(0, Qt::Unchecked);
    item->setData(0, Qt::UserRole, ToQString(k));
    addTopLevelItem(item);
    return true;
}

void TrackListView::SetItemText(int item, std::string_view text)
{
    if (QTreeWidgetItem* i = Item(item)) i->setText(0, ToQString(text));
}

void TrackListView::SetItemCell(int item, std::string_view columnKey, std::string_view text)
{
    QTreeWidgetItem* i = Item(item);
    for (std::size_t c = 0; i && c < m_columnKeys.size(); ++c)
        if (m_columnKeys[c] == columnKey) i->setText(static_cast<int>(c), ToQString(text));
}

void TrackListView::EnsureVisible(int item)
{
    if (QTreeWidgetItem* i = Item(item)) scrollToItem(i);
}

void TrackListView::SetTicked(int item, bool ticked)
{
    if (QTreeWidgetItem* i = Item(item)) i->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
}

bool TrackListView::IsTicked(int item) const
{
    const QTreeWidgetItem* i = Item(item);
    return i && i->checkState(0) == Qt::Checked;
}

void TrackListView::RemoveAllColumns()
{
    setColumnCount(0);
    m_columnKeys.clear();
}

void TrackListView::AddColumn(std::string_view key, std::string_view caption, int widthPixels)
{
    const int column = static_cast<int>(m_columnKeys.size());
    m_columnKeys.emplace_back(key);
    setColumnCount(column + 1);
    headerItem()->setText(column, ToQString(caption));
    setColumnWidth(column, widthPixels);
}

}  // namespace vyr::app
