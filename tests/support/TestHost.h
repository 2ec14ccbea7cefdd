#pragma once

#include "MemoryHostSettings.h"

#include <QDir>
#include <QString>

#include <memory>

/** Host settings naming hostFolder, which is created, as the host installation; null when it cannot be made. */
inline std::shared_ptr<gw::MemoryHostSettings> hostSettingsAt(const QString& hostFolder)
{
    if (!QDir().mkpath(hostFolder)) {
        return nullptr;
    }
    auto settings = std::make_shared<gw::MemoryHostSettings>();
    settings->setValue("BuzzPath", hostFolder.toStdString());
    return settings;
}
