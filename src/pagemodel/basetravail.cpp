#include "pagemodel/basetravail.h"

#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"

#include <QColor>
#include <QFile>
#include <QFileInfo>

namespace kal {

using bd::DefinitionChamp;
using bd::TypeChamp;

const QList<DefinitionChamp>& champsTableObjets()
{
    static const QList<DefinitionChamp> champs = {
        // object record
        {QStringLiteral("numero"), TypeChamp::Long, 0},
        {QStringLiteral("occup"), TypeChamp::Booleen, false},
        {QStringLiteral("topimp"), TypeChamp::Long, 0},
        {QStringLiteral("leftimp"), TypeChamp::Long, 0},
        {QStringLiteral("widthimp"), TypeChamp::Double, 0},
        {QStringLiteral("heightimp"), TypeChamp::Double, 0},
        {QStringLiteral("rot"), TypeChamp::Entier, 0},
        {QStringLiteral("cadre"), TypeChamp::Entier, 0},
        {QStringLiteral("textimage"), TypeChamp::Booleen, false},
        {QStringLiteral("texte"), TypeChamp::Booleen, false},
        {QStringLiteral("backcolor"), TypeChamp::Long, 0xFFFFFF},
        {QStringLiteral("fontname"), TypeChamp::Texte, QStringLiteral("Arial")},
        {QStringLiteral("fontsize"), TypeChamp::Simple, 12},
        {QStringLiteral("fontcolor"), TypeChamp::Long, 0},
        {QStringLiteral("fontbold"), TypeChamp::Booleen, false},
        {QStringLiteral("fontitalic"), TypeChamp::Booleen, false},
        {QStringLiteral("fontunderline"), TypeChamp::Booleen, false},
        {QStringLiteral("fontstrikethru"), TypeChamp::Booleen, false},
        {QStringLiteral("coulminiat"), TypeChamp::Long, 0xC0C0C0},
        {QStringLiteral("topminiat"), TypeChamp::Long, 0},
        {QStringLiteral("leftminiat"), TypeChamp::Double, 0},
        // page-settings record (numero 16 of a page)
        {QStringLiteral("orientation"), TypeChamp::Entier, 0},
        {QStringLiteral("papersize"), TypeChamp::Entier, 0},
        {QStringLiteral("largeurpage"), TypeChamp::Long, 0},
        {QStringLiteral("hauteurpage"), TypeChamp::Long, 0},
        {QStringLiteral("scaleheight"), TypeChamp::Long, 0},
        {QStringLiteral("scalewidth"), TypeChamp::Long, 0},
    };
    return champs;
}

int couleurMiniature(int numero)
{
    // Sixteen hues around the wheel; the back face (16..31) takes them a little deeper.
    const int n = ((numero % 32) + 32) % 32;
    const QColor c = QColor::fromHsv((n % 16) * 360 / 16, n < 16 ? 70 : 130, 235);
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

namespace {
// Record n as the installed database holds it.
void ajouterFiche(bd::JeuEnregistrements& jeu, int n)
{
    jeu.ajouterNouveau();
    jeu.mettre(QStringLiteral("numero"), n);
    jeu.mettre(QStringLiteral("coulminiat"), couleurMiniature(n));
    if (n == 16) {
        // The settings of an A4 portrait sheet printed to its edges.
        jeu.mettre(QStringLiteral("orientation"), 1);
        jeu.mettre(QStringLiteral("papersize"), 9);
        jeu.mettre(QStringLiteral("largeurpage"), 11906);
        jeu.mettre(QStringLiteral("hauteurpage"), 16838);
        jeu.mettre(QStringLiteral("scaleheight"), 16838 - 30);
        jeu.mettre(QStringLiteral("scalewidth"), 11906 - 30);
    }
    jeu.miseAJour();
}
}  // namespace

void creerBaseTravail(const QString& chemin)
{
    if (QFileInfo::exists(chemin))
        throw Erreur(bd::err::BaseExistante, QStringLiteral("la base de données existe déjà : %1").arg(chemin));
    // Made under a temporary name beside it, then renamed: an interrupted creation leaves no
    // half-made work database behind.
    const QString provisoire = chemin + QStringLiteral(".creation");
    QFile::remove(provisoire);
    try {
        bd::Base base = bd::Base::creer(provisoire);
        base.creerTable(nomTableObjets(), champsTableObjets());
        bd::JeuEnregistrements jeu = base.ouvrirJeu(nomTableObjets());
        for (int n = 0; n <= 31; ++n)
            ajouterFiche(jeu, n);
        base.fermer();
    } catch (const Erreur& e) {
        QFile::remove(provisoire);
        // The temporary name is the program's own: the person reads of the work database.
        QString d = e.description();
        QString cause = e.cause();
        d.replace(provisoire, chemin);
        cause.replace(provisoire, chemin);
        throw Erreur(e.numero(), d, cause);
    } catch (...) {
        QFile::remove(provisoire);
        throw;
    }
    if (!QFile::rename(provisoire, chemin)) {
        QFile::remove(provisoire);
        throw Erreur(err::AccesChemin, QStringLiteral("impossible de créer %1").arg(chemin));
    }
}

bool creerBaseSiAbsente(const QString& dossier)
{
    const QString chemin = fs::joindre(dossier, nomBaseTravail());
    if (QFileInfo::exists(chemin))
        return false;
    creerBaseTravail(chemin);
    return true;
}

int completerBaseTravail(const QString& chemin)
{
    bd::Base base = bd::Base::ouvrir(chemin);
    bd::JeuEnregistrements jeu = base.ouvrirJeu(nomTableObjets());
    // A table that lacks a field is another program's, or older: it is left as it is.
    for (const bd::DefinitionChamp& c : champsTableObjets())
        if (!jeu.aChamp(c.nom))
            return 0;
    QList<bool> presente(32, false);
    for (jeu.premier(); !jeu.fin(); jeu.suivant()) {
        const QVariant v = jeu.valeur(QStringLiteral("numero"));
        bool ok = false;
        const int n = v.toInt(&ok);
        if (ok && n >= 0 && n <= 31)
            presente[n] = true;
    }
    int ajoutees = 0;
    for (int n = 0; n <= 31; ++n) {
        if (!presente[n]) {
            ajouterFiche(jeu, n);
            ++ajoutees;
        }
    }
    base.fermer();
    return ajoutees;
}

}  // namespace kal
