#include "app/mdlStart.h"

#include <QApplication>
#include <QPalette>
#include <QPixmap>
#include <QStringList>

#include <string>
#include <utility>
#include <vector>

#include "app/QtText.h"
#include "app/Shell.h"
#include "app/SingleInstance.h"
#include "app/frmAlbum.h"
#include "commands/CommandLine.h"

namespace vyr::app {

namespace {

// A dark desktop theme's colours, for pictures of how the window looks under one.
QPalette DarkPalette()
{
    QPalette dark;
    const std::pair<QPalette::ColorRole, QColor> colours[] = {
        {QPalette::Window, QColor(0x2b, 0x2b, 0x2b)},
        {QPalette::WindowText, QColor(0xe0, 0xe0, 0xe0)},
        {QPalette::Base, QColor(0x1e, 0x1e, 0x1e)},
        {QPalette::AlternateBase, QColor(0x26, 0x26, 0x26)},
        {QPalette::Text, QColor(0xe0, 0xe0, 0xe0)},
        {QPalette::Button, QColor(0x35, 0x35, 0x35)},
        {QPalette::ButtonText, QColor(0xe8, 0xe8, 0xe8)},
        {QPalette::Highlight, QColor(0x3d, 0x7a, 0xd6)},
        {QPalette::HighlightedText, Qt::white},
        {QPalette::ToolTipBase, QColor(0x35, 0x35, 0x35)},
        {QPalette::ToolTipText, QColor(0xe8, 0xe8, 0xe8)},
        {QPalette::Light, QColor(0x4a, 0x4a, 0x4a)},
        {QPalette::Midlight, QColor(0x40, 0x40, 0x40)},
        {QPalette::Mid, QColor(0x25, 0x25, 0x25)},
        {QPalette::Dark, QColor(0x1a, 0x1a, 0x1a)},
        {QPalette::Shadow, QColor(0x10, 0x10, 0x10)},
    };
    for (const auto& [role, colour] : colours) dark.setColor(role, colour);
    dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0x80, 0x80));
    dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    dark.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x80));
    return dark;
}

}  // namespace

int Main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vyr-extract"));
    QApplication::setDesktopFileName(QStringLiteral("vyr-extract"));

    // Qt has taken its own options (-platform, -style ...) out of the arguments by now.
    QStringList arguments = QApplication::arguments().mid(1);
    QString screenshot;
    const bool dark = !arguments.isEmpty() && arguments.front() == QStringLiteral("--screenshot-dark");
    if (arguments.size() >= 2 && (dark || arguments.front() == QStringLiteral("--screenshot"))) {
        screenshot = arguments.at(1);
        arguments = arguments.mid(2);
        if (dark) QApplication::setPalette(DarkPalette());
    }

    // A second copy ends without a trace; its command line is not passed on.
    const SingleInstance instance;
    if (screenshot.isEmpty() && !instance.IsFirst()) return 0;

    std::vector<std::string> words;
    for (const QString& a : arguments) words.push_back(ToUtf8(a));

    DesktopShell shell;
    frmAlbum window(shell);
    window.Commands().LoadStep(commands::JoinArguments(words));

    if (!screenshot.isEmpty()) {
        QApplication::processEvents();
        return window.grab().save(screenshot) ? 0 : 1;
    }
    return QApplication::exec();
}

}  // namespace vyr::app
