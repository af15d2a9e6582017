#include "support/dossiertemp.h"

#include <QDir>

namespace kaltest {

DossierTravail::DossierTravail() : ancien_(QDir::currentPath()) { QDir::setCurrent(dir_.path()); }

DossierTravail::~DossierTravail() { QDir::setCurrent(ancien_); }

QString donnee(const QString& nom) { return QStringLiteral(KAL_TEST_DATA "/") + nom; }

}  // namespace kaltest
