// Which of Qt's platform plugins are installed, read from their metadata
// without loading them.
#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QPluginLoader>

#include "platform/qt/qt_backend.h"

namespace saver::qt {

bool PlatformPluginInstalled(const std::string& name) {
  QStringList folders;
  if (const QString own = qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH"); !own.isEmpty())
    folders << own;
  for (const QString& path : QCoreApplication::libraryPaths()) folders << path + "/platforms";
  const QString key = QString::fromStdString(name);
  for (const QString& folder : folders)
    for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files)) {
      const QJsonObject meta = QPluginLoader(file.absoluteFilePath()).metaData();
      if (!meta.value(QLatin1String("IID")).toString().startsWith(
              QLatin1String("org.qt-project.Qt.QPA.QPlatformIntegrationFactoryInterface")))
        continue;
      const QJsonArray keys =
          meta.value(QLatin1String("MetaData")).toObject().value(QLatin1String("Keys")).toArray();
      for (const QJsonValue& k : keys)
        if (k.toString().compare(key, Qt::CaseInsensitive) == 0) return true;
    }
  return false;
}

}  // namespace saver::qt
