#include "base/HostSettings.h"
#include "base/PathText.h"
#include "base/Platform.h"
#include "base/Version.h"
#include "cli/CommandLine.h"
#include "gui/MainWindow.h"
#include "gui/QtUserDialogs.h"
#include "host/ProgramFolder.h"
#include "model/AppModel.h"

#include <QApplication>
#include <QCoreApplication>

#include <iostream>

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (const std::string& argument : gw::platform::commandLineArguments(argc, argv)) {
        arguments << gw::textFromPathBytes(argument);
    }
    // Names the per-user settings: the registry key HKEY_CURRENT_USER\Software\Gearwarden\Gearwarden on Windows,
    // ~/.config/Gearwarden/Gearwarden.conf elsewhere.
    QCoreApplication::setOrganizationName(QStringLiteral("Gearwarden"));
    QCoreApplication::setApplicationName(QStringLiteral("Gearwarden"));
    if (gw::cli::wantsCommandLine(arguments)) {
        gw::platform::attachParentConsole();
        QCoreApplication app(argc, argv);
        return gw::cli::run(arguments, std::cout, std::cerr);
    }

    gw::cli::CommonOptions options;
    QString error;
    if (!gw::cli::parseWindowOptions(arguments, options, error)) {
        std::cerr << "gearwarden: " << error.toStdString() << "\nTry 'gearwarden --help'.\n";
        return 2;
    }
    QApplication::setApplicationVersion(QLatin1String(gw::kVersion));
    QApplication app(argc, argv);

    QtUserDialogs dialogs;
    AppModel::Setup setup;
    setup.programFolder = gw::resolveProgramFolder(options.programFolder);
    setup.archiveBaseUrl = gw::archiveBaseUrl(options.archiveUrl);
    setup.dialogs = &dialogs;
    setup.hostSettings = gw::makePlatformHostSettings();
    setup.chosenHostFolder = gw::rememberedHostFolder();
    AppModel model(setup);
    QObject::connect(&model, &AppModel::archiveUrlChanged, &gw::rememberArchiveBaseUrl);
    QObject::connect(&model, &AppModel::hostFolderChosen, &gw::rememberHostFolder);
    MainWindow window(model);
    dialogs.setParentWindow(&window);
    // Start-up may show messages (a host that cannot be found), so it runs once the window is there to own them.
    model.start();
    window.showModelNow();
    window.show();
    return app.exec();
}
