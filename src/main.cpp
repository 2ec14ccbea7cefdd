#include "gui/MainWindow.h"
#include "base/HostSettings.h"
#include "base/Platform.h"
#include "host/ProgramFolder.h"
#include "gui/UserDialogs.h"
#include "cli/CommandLine.h"

#include <QApplication>
#include <QCoreApplication>

#include <iostream>

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    QCoreApplication::setOrganizationName(QStringLiteral("Gearwarden"));
    if (gw::cli::wantsCommandLine(arguments)) {
        gw::platform::attachParentConsole();
        QCoreApplication::setApplicationName(QStringLiteral("Gearwarden"));
        QCoreApplication app(argc, argv);
        return gw::cli::run(arguments, std::cout, std::cerr);
    }

    gw::cli::CommonOptions options;
    QString error;
    if (!gw::cli::parseWindowOptions(arguments, options, error)) {
        std::cerr << "gearwarden: " << error.toStdString() << "\nTry 'gearwarden --help'.\n";
        return 2;
    }
    QApplication::setApplicationName(QStringLiteral("Gearwarden"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    QApplication app(argc, argv);

    QtUserDialogs dialogs;
    MainWindow::Setup setup;
    setup.programFolder = gw::resolveProgramFolder(options.programFolder);
    setup.archiveBaseUrl = gw::archiveBaseUrl(options.archiveUrl);
    setup.dialogs = &dialogs;
    setup.hostSettings = gw::makePlatformHostSettings();
    MainWindow window(setup);
    window.show();
    return app.exec();
}
