#pragma once

#include "CatalogueWriter.h"
#include "MemoryHostSettings.h"
#include "RecordingDialogs.h"
#include "ZipWriter.h"

#include "model/AppModel.h"

#include <QDir>
#include <QTemporaryDir>

#include <memory>
#include <utility>

// A model as the program builds it, in a temporary folder: the program folder "prog" (one level down, so a file
// that leaves it shows), the host installation "host" named by in-memory host settings; dialogs are recorded.
struct TestApp
{
    TestApp()
    {
        QDir(dir.path()).mkpath(QStringLiteral("prog"));
        QDir(dir.path()).mkpath(QStringLiteral("host"));
        settings->setValue("BuzzPath", path(QStringLiteral("host")).toStdString());
    }

    /** The model, started as the program starts it. */
    AppModel& start(const QString& archiveUrl = QStringLiteral("http://127.0.0.1:1/"))
    {
        AppModel::Setup setup;
        setup.programFolder = path(QStringLiteral("prog"));
        setup.archiveBaseUrl = archiveUrl;
        setup.dialogs = &dialogs;
        setup.hostSettings = settings;
        setup.transferLimits = limits;
        model = std::make_unique<AppModel>(setup);
        QObject::connect(model.get(), &AppModel::statusChanged, [this](const QString& text) { statuses << text; });
        model->start();
        return *model;
    }

    /** A path below the temporary folder, with the platform's separators. */
    QString path(const QString& relative) const { return QDir::toNativeSeparators(dir.filePath(relative)); }
    QByteArray read(const QString& relative) const { return gw::test::contents(dir.filePath(relative)); }
    bool write(const QString& relative, const QByteArray& bytes) const
    {
        return gw::test::writeBytes(dir.filePath(relative), bytes);
    }
    /** The names in a folder, files and folders alike. */
    QStringList list(const QString& relative) const
    {
        return QDir(dir.filePath(relative)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }
    /** The status texts since the last call, in order. */
    QStringList takeStatuses() { return std::exchange(statuses, {}); }

    QTemporaryDir dir;
    std::shared_ptr<gw::MemoryHostSettings> settings = std::make_shared<gw::MemoryHostSettings>();
    RecordingDialogs dialogs;
    TransferLimits limits;
    QStringList statuses; // before the model, which may still report while it goes
    std::unique_ptr<AppModel> model;
};

/** A catalogue list as the program keeps it. */
inline QByteArray catalogueOf(const std::vector<gw::test::CatalogueMachine>& rows)
{
    return QByteArray::fromStdString(gw::test::catalogueText(rows));
}
