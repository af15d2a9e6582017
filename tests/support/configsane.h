#pragma once
// A SANE configuration folder holding SANE's test device (or no device at all), its settings
// taken from the installed ones with the given changes, and SANE_CONFIG_DIR pointing at it.
// Make it before the first SANE use of the process: the library reads the variable once and
// keeps the folder's path for the whole process, so every ConfigSane of a process writes its
// configuration in the same folder ($TMPDIR/kal-sane-<pid>). It is in force for the scanners
// brought up while it lives.
#include <QDir>
#include <QMap>
#include <QString>

namespace kaltest {

class ConfigSane {
public:
    explicit ConfigSane(const QMap<QString, QString>& reglages = {}, bool appareil = true);
    ~ConfigSane();
    ConfigSane(const ConfigSane&) = delete;
    ConfigSane& operator=(const ConfigSane&) = delete;

private:
    void ecrire(const QString& nom, const QByteArray& contenu);
    QDir dir_;
};

}  // namespace kaltest
