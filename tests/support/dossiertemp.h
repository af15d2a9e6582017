#pragma once
// A temporary work folder made current for the length of a test, put back and removed after.
#include <QString>
#include <QTemporaryDir>

namespace kaltest {

class DossierTravail {
public:
    DossierTravail();
    ~DossierTravail();
    QString chemin() const { return dir_.path(); }
    QString fichier(const QString& nom) const { return dir_.path() + QLatin1Char('/') + nom; }

private:
    QTemporaryDir dir_;
    QString ancien_;
};

// Path of a fixture file under tests/data.
QString donnee(const QString& nom);

}  // namespace kaltest
