#include <QAbstractItemModelTester>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <string>

#include "album/AlbumState.h"
#include "album/TrackList.h"
#include "app/TrackListModel.h"
#include "app/TrackListView.h"
#include "tests/RecordingWindow.h"

using vyr::app::TrackListModel;
using vyr::app::TrackListView;

namespace {

// `count` rows of 2,000,000 bytes, listed.
void FillRows(vyr::album::AlbumState& state, int count)
{
    state.tracks.Reset();
    for (int i = 0; i < count; ++i) {
        vyr::album::TrackEntry& row = state.tracks.NextRow(i == 0);
        row.fileName = "Track " + std::to_string(i) + ".mp3";
        row.byteCount = 2'000'000;
        row.hasByteCount = true;
    }
    vyr::test::RecordingWindow window;
    vyr::album::FillList(state, window);
}

}  // namespace

class TrackListTest : public QObject {
    Q_OBJECT

private slots:
    // The model tester checks every signal and answer against the model's contract as the state
    // it shows is filled, ticked, emptied and filled again.
    void model_keeps_the_item_model_contract_over_the_state()
    {
        vyr::album::AlbumState state;
        TrackListModel model(state, ".");
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 0);

        FillRows(state, 5);
        model.ListChanged();
        QCOMPARE(model.rowCount(), 5);
        QCOMPARE(model.columnCount(), 2);
        QCOMPARE(model.headerData(1, Qt::Horizontal), QVariant(QStringLiteral("Size")));
        const QModelIndex second = model.index(1, 0);
        QCOMPARE(model.data(second), QVariant(QStringLiteral("Track 1.mp3")));
        QCOMPARE(model.data(model.index(1, 1)), QVariant(QStringLiteral("1.954Kb")));  // the model's separator
        QCOMPARE(model.data(second, Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QVERIFY(!model.data(model.index(1, 1), Qt::CheckStateRole).isValid());  // the tick is column 0's
        QVERIFY(model.flags(second).testFlag(Qt::ItemIsUserCheckable));
        QVERIFY(model.flags(second).testFlag(Qt::ItemIsEditable));
        QVERIFY(!model.flags(model.index(1, 1)).testFlag(Qt::ItemIsEditable));

        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        state.tracks[3].ticked = false;
        model.ItemsChanged(3, 3);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(model.data(model.index(3, 0), Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        model.ItemsChanged(4, 9);  // past the last item: nothing to announce
        QCOMPARE(changed.count(), 1);

        state.list.items = 0;  // emptied, the columns kept
        model.ListChanged();
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 2);
        FillRows(state, 2);
        model.ListChanged();
        QCOMPARE(model.rowCount(), 2);
    }

    // A click on a check box asks for the tick; the model itself changes nothing, and an edit
    // never writes a name into it.
    void clicks_and_edits_are_requests_not_changes()
    {
        vyr::album::AlbumState state;
        FillRows(state, 3);
        TrackListModel model(state, ",");
        QSignalSpy ticks(&model, &TrackListModel::tickRequested);
        QVERIFY(model.setData(model.index(2, 0), Qt::Unchecked, Qt::CheckStateRole));
        QCOMPARE(ticks.count(), 1);
        QCOMPARE(ticks.at(0).at(0).toInt(), 2);
        QCOMPARE(ticks.at(0).at(1).toBool(), false);
        QVERIFY(state.tracks[2].ticked);
        QVERIFY(!model.setData(model.index(1, 0), QStringLiteral("other.mp3"), Qt::EditRole));
        QVERIFY(!model.setData(model.index(1, 1), Qt::Unchecked, Qt::CheckStateRole));
        QCOMPARE(state.tracks[1].fileName, std::string("Track 1.mp3"));
    }

    // A fill leaves the list scrolled to its last item, as one that scrolled each new item into
    // view would; emptied, it has nothing selected.
    void a_fill_ends_scrolled_to_the_last_item()
    {
        vyr::album::AlbumState state;
        TrackListView view(state, ",");
        view.resize(300, 120);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        FillRows(state, 200);
        view.ShowList(96);
        QCOMPARE(view.columnWidth(0), 269);  // 8055 / 2 twips at 96 dpi
        QCoreApplication::processEvents();
        QCOMPARE(view.model()->rowCount(), 200);
        const QRect last = view.visualRect(view.model()->index(199, 0));
        QVERIFY(view.viewport()->rect().contains(last));
        QCOMPARE(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());

        state.list.items = 0;
        view.ShowList(96);
        QCOMPARE(view.model()->rowCount(), 0);
        QCOMPARE(view.SelectedItem(), -1);
    }
};

QTEST_MAIN(TrackListTest)
#include "track_list_test.moc"
