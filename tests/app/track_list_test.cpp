#include <QAbstractItemModelTester>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <vector>

#include "app/TrackListModel.h"
#include "app/TrackListView.h"

using vyr::app::TrackListModel;
using vyr::app::TrackListView;

class TrackListTest : public QObject {
    Q_OBJECT

private slots:
    // The model tester checks every signal and answer against the model's contract as the rows
    // arrive, wait, show, change and go.
    void model_keeps_the_item_model_contract_through_fills_and_clears()
    {
        TrackListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

        model.AddColumn("hFileName", QStringLiteral("File Name"));
        model.AddColumn("hSize", QStringLiteral("Size"));
        for (int i = 0; i < 5; ++i) {
            QVERIFY(model.AddItem("row" + std::to_string(i)));
            model.SetText(i, 0, QStringLiteral("Track %1.mp3").arg(i));
            model.SetText(i, 1, QStringLiteral("%1Kb").arg(i));
            model.SetTicked(i, i % 2 == 0);
        }
        QCOMPARE(model.ItemCount(), 5);
        QCOMPARE(model.rowCount(), 0);  // waiting to be shown
        model.ShowPending();
        QCOMPARE(model.rowCount(), 5);
        QCOMPARE(inserted.count(), 1);  // one insertion for the whole batch

        const QModelIndex second = model.index(1, 0);
        QCOMPARE(model.data(second), QVariant(QStringLiteral("Track 1.mp3")));
        QCOMPARE(model.data(model.index(1, 1)), QVariant(QStringLiteral("1Kb")));
        QCOMPARE(model.data(second, Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QVERIFY(!model.data(model.index(1, 1), Qt::CheckStateRole).isValid());  // the tick is column 0's
        QVERIFY(model.flags(second).testFlag(Qt::ItemIsUserCheckable));
        QVERIFY(model.flags(second).testFlag(Qt::ItemIsEditable));
        QVERIFY(!model.flags(model.index(1, 1)).testFlag(Qt::ItemIsEditable));

        // A click on the check box ticks; an edit never writes a name into the model.
        QVERIFY(model.setData(second, Qt::Checked, Qt::CheckStateRole));
        QVERIFY(model.IsTicked(1));
        QVERIFY(!model.setData(second, QStringLiteral("other.mp3"), Qt::EditRole));
        QCOMPARE(model.Text(1, 0), QStringLiteral("Track 1.mp3"));

        QVERIFY(model.AddItem("row5"));  // pending rows and shown rows go together
        model.RemoveAllItems();
        QCOMPARE(model.ItemCount(), 0);
        QCOMPARE(model.rowCount(), 0);
        QVERIFY(model.AddItem("row0"));  // the keys went with the rows
        model.ShowPending();
        model.RemoveAllColumns();
        QCOMPARE(model.columnCount(), 0);
        model.AddColumn("hFileName", QStringLiteral("File Name"));
        QCOMPARE(model.headerData(0, Qt::Horizontal), QVariant(QStringLiteral("File Name")));
    }

    void keys_stand_once_and_no_key_is_no_key()
    {
        TrackListModel model;
        QVERIFY(model.AddItem("01keyA.mp3"));
        QVERIFY(!model.AddItem("01keyA.mp3"));
        QVERIFY(model.AddItem("02keyA.mp3"));
        QVERIFY(model.AddItem(""));
        QVERIFY(model.AddItem(""));
        QCOMPARE(model.ItemCount(), 4);
    }

    void cells_of_a_column_added_later_or_removed_keep_their_text()
    {
        TrackListModel model;
        QVERIFY(model.AddItem("a"));
        model.SetText(0, 2, QStringLiteral("later"));  // no such column yet: kept for when it comes
        model.ShowPending();
        QCOMPARE(model.columnCount(), 0);
        for (const char* key : {"k0", "k1", "k2"}) model.AddColumn(key, QString::fromLatin1(key));
        QCOMPARE(model.data(model.index(0, 2)), QVariant(QStringLiteral("later")));
        QCOMPARE(model.ColumnOfKey("k1"), 1);
        QCOMPARE(model.ColumnOfKey("hSize"), -1);
        model.SetText(5, 0, QStringLiteral("x"));  // no such row: nothing
        QCOMPARE(model.ItemCount(), 1);
    }

    void every_batch_shows_all_rows_added_before_it()
    {
        TrackListView view;
        view.AddColumn("hFileName", "File Name", 200);
        view.SetBatchInterval(0);  // each row is a batch of its own
        std::vector<int> shownAtBatch;
        connect(&view, &TrackListView::batchShown, &view, [&] { shownAtBatch.push_back(view.model()->rowCount()); });
        for (int i = 0; i < 3; ++i) QVERIFY(view.AddItem("row" + std::to_string(i)));
        QCOMPARE(shownAtBatch, (std::vector<int>{1, 2, 3}));

        view.SetBatchInterval(60'000);  // no batch comes due: the rows wait for the event loop
        for (int i = 3; i < 6; ++i) QVERIFY(view.AddItem("row" + std::to_string(i)));
        QCOMPARE(view.model()->rowCount(), 3);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(view.model()->rowCount(), 6);
        QCOMPARE(shownAtBatch.size(), 3u);
    }

    // A fill asks for every row to be scrolled into view; the list ends on the last one asked for.
    void a_fill_ends_scrolled_to_the_last_row_asked_for()
    {
        TrackListView view;
        view.resize(300, 120);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.AddColumn("hFileName", "File Name", 200);

        for (int i = 0; i < 200; ++i) {
            QVERIFY(view.AddItem("row" + std::to_string(i)));
            view.SetItemText(i, "Track " + std::to_string(i));
            view.EnsureVisible(i);
        }
        QCOMPARE(view.ItemCount(), 200);
        QCoreApplication::processEvents();  // the event loop shows what is still pending
        QCOMPARE(view.model()->rowCount(), 200);
        const QRect last = view.visualRect(view.model()->index(199, 0));
        QVERIFY(view.viewport()->rect().contains(last));
        QCOMPARE(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());

        view.RemoveAllItems();
        QCOMPARE(view.model()->rowCount(), 0);
        QCOMPARE(view.SelectedItem(), -1);
    }
};

QTEST_MAIN(TrackListTest)
#include "track_list_test.moc"
