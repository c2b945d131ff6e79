#pragma once

#include <QStringList>
#include <QTreeView>

#include <string>

#include "album/AlbumState.h"

class QMimeData;

namespace vyr::app {

class TrackListModel;

// ListView1: a report-style list with a check box per row, over a TrackListModel that shows the
// state's list. Only the first column (the file name) is ever edited in place; the edited text
// goes to the window, which decides whether the name is taken, instead of straight into the
// list. Files dropped on it are handed on as paths, a click on a check box as a tick request.
class TrackListView : public QTreeView {
    Q_OBJECT
public:
    TrackListView(const album::AlbumState& state, std::string groupSeparator, QWidget* parent = nullptr);

    TrackListModel& Model() const { return *m_model; }
    bool IsEditing() const { return state() == QAbstractItemView::EditingState; }
    void SetDropsAccepted(bool accepted) { m_dropsAccepted = accepted; }

    // The state's columns or items were replaced or emptied: shows them anew, each column as
    // wide as its twips come to at `dpi`, scrolled to the last item.
    void ShowList(double dpi);
    // Items first to last changed their text or their tick.
    void ShowItems(int first, int last);

    // The selected row, or -1.
    int SelectedItem() const;
    // In-place editing of the row's file name, unless an editor is open already.
    void StartEditing(int item);

signals:
    // In-place editing of `row` ended with `text` (UTF-16 as typed).
    void renameRequested(int row, const QString& text);
    // Local files dropped, in the order the drag offered them.
    void filesDropped(const QStringList& paths);
    // The user clicked the check box of `item`.
    void tickRequested(int item, bool ticked);

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Drop feedback: a list of files may be dropped, as a copy; anything else may not.
    void AcceptFiles(QDragMoveEvent* event) const;

    const album::AlbumState& m_state;
    TrackListModel* m_model = nullptr;
    bool m_dropsAccepted = true;
};

// The local files of a drag, or none when it carries no file list.
QStringList DroppedFiles(const QMimeData* data);

}  // namespace vyr::app
