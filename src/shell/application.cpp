#include "shell/application.h"

#include "editor/editeur.h"
#include "platform/base/fenetres.h"
#include "platform/richtext/police.h"
#include "shell/depart.h"
#include "shell/fenetrevide.h"

#include <QApplication>

namespace kal {

void enregistrerFenetres(ReglagesPartages& partage, const OptionsProgramme& options)
{
    const QString ancien = options.ancienDossier.isEmpty() ? Depart::ancienDossierParDefaut() : options.ancienDossier;
    Fenetres::enregistrer(QStringLiteral("DEPART"), [&partage, ancien] { return new Depart(partage, ancien); });
    Fenetres::enregistrer(QStringLiteral("IMPRIMER"), [&partage] { return new Editeur(partage, TypeEditeur::Page); });
    Fenetres::enregistrer(QStringLiteral("JAQUETTE"), [&partage] { return new Editeur(partage, TypeEditeur::Jaquette); });
    for (const QString& nom : {QStringLiteral("UTIL"), QStringLiteral("AJUST"), QStringLiteral("DOC"), QStringLiteral("CONTACT")})
        Fenetres::enregistrer(nom, [nom] { return new FenetreVide(nom, nom); });
}

bool demarrerProgramme(ReglagesPartages& partage, const OptionsProgramme& options)
{
    enregistrerFenetres(partage, options);
    Fenetre* depart = Fenetres::instance(QStringLiteral("DEPART"));
    if (!depart || Programme::termine())
        return false;
    depart->show();
    return true;
}

int executerProgramme()
{
    static ReglagesPartages partage;
    // "MS Sans Serif" and the other fonts the windows name resolve to the installed ones.
    installerSubstitutionsPolices();
    int code = 0;
    if (demarrerProgramme(partage))
        code = QApplication::exec();
    // The end of the program: windows go without their unload procedures.
    Fenetres::toutDetruire();
    return code;
}

}  // namespace kal
