#include "app/mdlStart.h"

#include <QApplication>
#include <QPixmap>
#include <QStringList>

#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/QtText.h"
#include "app/Shell.h"
#include "app/SingleInstance.h"
#include "app/frmAlbum.h"

namespace vyr::app {

int Main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vyr-extract"));
    QApplication::setDesktopFileName(QStringLiteral("vyr-extract"));

    // Qt has taken its own options (-platform, -style ...) out of the arguments by now.
    QStringList arguments = QApplication::arguments().mid(1);
    QString screenshot;
    if (arguments.size() >= 2 && arguments.front() == QStringLiteral("--screenshot")) {
        screenshot = arguments.at(1);
        arguments = arguments.mid(2);
    }

    // A second copy ends without a trace; its command line is not passed on.
    const SingleInstance instance;
    if (screenshot.isEmpty() && !instance.IsFirst()) return 0;

    std::vector<std::string> words;
    for (const QString& a : arguments) words.push_back(ToUtf8(a));

    DesktopShell shell;
    frmAlbum window(shell);
    window.LoadStep(JoinArguments(words));

    if (!screenshot.isEmpty()) {
        QApplication::processEvents();
        return window.grab().save(screenshot) ? 0 : 1;
    }
    return QApplication::exec();
}

}  // namespace vyr::app
