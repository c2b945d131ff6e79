#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

#include "app/Shell.h"
#include "app/TrackListView.h"
#include "app/frmAlbum.h"
#include "tests/app/AlbumFiles.h"

using vyr::album::Message;
using vyr::album::MessageButtons;
using vyr::album::MessageIcon;
using vyr::app::frmAlbum;
using vyr::app::TrackListView;

// The window with the desktop's own dialogs and message boxes, answered by keys and clicks as a
// user gives them.
class WindowDialogsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<vyr::app::DesktopShell> m_shell;
    std::unique_ptr<frmAlbum> m_window;
    std::unique_ptr<QTimer> m_poll;
    QTemporaryDir m_albums;

    TrackListView* List() const { return m_window->findChild<TrackListView*>(QStringLiteral("ListView1")); }

    // Runs `handle` on the first modal dialog that opens from now on, inside its own event loop.
    void WhenModalOpens(std::function<void(QWidget*)> handle)
    {
        m_poll = std::make_unique<QTimer>();
        QTimer* poll = m_poll.get();
        QObject::connect(poll, &QTimer::timeout, poll, [poll, handle = std::move(handle)] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible()) return;
            poll->stop();
            handle(modal);
        });
        poll->start(5);
    }

    void ShowWithRows()
    {
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        const std::string album = vyr::test::WriteFile(
            m_albums, "three.vyr",
            vyr::test::AlbumBytes("Three", "Band",
                                  {{"Track 0.mp3", 1000}, {"Track 1.mp3", 1000}, {"Track 2.mp3", 1000}}));
        m_window->Commands().Drop({album});
        List()->setFocus();
        List()->setCurrentIndex(List()->model()->index(1, 0));
    }

private slots:
    void init()
    {
        m_shell = std::make_unique<vyr::app::DesktopShell>();
        m_window = std::make_unique<frmAlbum>(*m_shell);
    }
    void cleanup()
    {
        m_poll.reset();
        m_window.reset();
        m_shell.reset();
    }

    // The key that closes a dialog is pressed in the dialog; its release then reaches the window,
    // whose focus is back on the list. Only a key pressed in the window starts renaming.
    void release_of_a_key_pressed_in_a_dialog_starts_no_rename_data()
    {
        QTest::addColumn<int>("opens");  // 0: nothing, 1: the open dialog, 2: a message box, 3: a question
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("editing");
        QTest::newRow("pressed in the window") << 0 << int(Qt::Key_Escape) << true;
        QTest::newRow("Esc cancels the open dialog") << 1 << int(Qt::Key_Escape) << false;
        QTest::newRow("Enter closes a message box") << 2 << int(Qt::Key_Return) << false;
        QTest::newRow("Enter answers a question") << 3 << int(Qt::Key_Enter) << false;
        QTest::newRow("Esc answers a question") << 3 << int(Qt::Key_Escape) << false;
    }

    void release_of_a_key_pressed_in_a_dialog_starts_no_rename()
    {
        QFETCH(int, opens);
        QFETCH(int, key);
        QFETCH(bool, editing);
        ShowWithRows();
        const auto k = Qt::Key(key);
        bool closed = false;
        WhenModalOpens([&](QWidget* modal) {
            QTest::keyPress(modal, k);
            closed = !modal->isVisible();
        });
        switch (opens) {
        case 0: QTest::keyPress(QApplication::focusWidget(), k); break;
        case 1: m_window->Commands().Open(); break;
        case 2: m_window->ShowMessage({"Notice", MessageIcon::Information, MessageButtons::Ok, {}}); break;
        case 3: m_window->ShowMessage({"Question?", MessageIcon::Exclamation, MessageButtons::YesNo, {}}); break;
        }
        QCOMPARE(closed, opens != 0);
        // The desktop gives the window its activation back once the dialog is gone.
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QCOMPARE(QApplication::focusWidget(), List());
        QTest::keyRelease(QApplication::focusWidget(), k);
        QCOMPARE(List()->IsEditing(), editing);
    }

    // A box sits on the middle of the window, at start-up as later on, wherever the window is.
    void message_boxes_are_centred_on_the_window_data()
    {
        QTest::addColumn<bool>("atStartUp");
        QTest::newRow("command line error at start-up") << true;
        QTest::newRow("refused rename later") << false;
    }

    void message_boxes_are_centred_on_the_window()
    {
        QFETCH(bool, atStartUp);
        m_window->move(40, 30);
        QWidget* parent = nullptr;
        QRect box;
        WhenModalOpens([&](QWidget* modal) {
            parent = modal->parentWidget();
            box = modal->frameGeometry();
            static_cast<QMessageBox*>(modal)->done(0);
        });
        if (atStartUp) {
            m_window->Commands().LoadStep("/nowhere/at all.vyr");
        } else {
            m_window->Commands().LoadStep("");
            QVERIFY(!parent);
            ShowWithRows();
            m_window->Commands().Rename(0, "a/b.mp3");
        }
        QCOMPARE(parent, m_window.get());
        const QPoint offset = box.center() - m_window->frameGeometry().center();
        QVERIFY2(offset.manhattanLength() <= 2, qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
    }
};

QTEST_MAIN(WindowDialogsTest)
#include "window_dialogs_test.moc"
