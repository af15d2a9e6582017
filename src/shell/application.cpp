#include "shell/application.h"

#include "editor/editeur.h"
#include "help/contact.h"
#include "help/documentation.h"
#include "platform/base/fenetres.h"
#include "platform/base/messages.h"
#include "platform/richtext/police.h"
#include "printing/ajustement.h"
#include "shell/depart.h"
#include "workbench/atelier.h"

#include <QApplication>

namespace kal {

void enregistrerFenetres(ReglagesPartages& partage, const OptionsProgramme& options)
{
    const QString ancien = options.ancienDossier.isEmpty() ? Depart::ancienDossierParDefaut() : options.ancienDossier;
    Fenetres::enregistrer(QStringLiteral("DEPART"), [&partage, ancien] { return new Depart(partage, ancien); });
    Fenetres::enregistrer(QStringLiteral("IMPRIMER"), [&partage] { return new Editeur(partage, TypeEditeur::Page); });
    Fenetres::enregistrer(QStringLiteral("JAQUETTE"), [&partage] { return new Editeur(partage, TypeEditeur::Jaquette); });
    Fenetres::enregistrer(Ajustement::nomFenetre(), [&partage] { return new Ajustement(partage); });
    Fenetres::enregistrer(QStringLiteral("DOC"), [&partage] { return new Documentation(partage); });
    Fenetres::enregistrer(QStringLiteral("CONTACT"), [&partage] { return new Contact(partage); });
    Fenetres::enregistrer(Atelier::nomFenetre(), [&partage] { return new Atelier(partage); });
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
    installerTraductionsFrancaises();
    int code = 0;
    if (demarrerProgramme(partage))
        code = QApplication::exec();
    // The end of the program: windows go without their unload procedures.
    Fenetres::toutDetruire();
    return code;
}

}  // namespace kal
