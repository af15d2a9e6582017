#include "printing/reglages.h"

#include "platform/base/conversions.h"
#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"

#include <cmath>
#include <optional>

namespace kal {

QString cheminReglages() { return fs::joindre(fs::dossierCourant(), QStringLiteral("quelvard.ini")); }

namespace {
// The seven lines hold short numbers: nothing longer is read, however large the file.
constexpr int LignesLues = 7;
constexpr int OctetsParLigne = 64;
// A settings file holds some forty bytes: a file of megabytes is none, and reading it through to
// its seventh line could take long.
constexpr qint64 OctetsFichierMax = 4 << 20;

QString septLignes(const QString& ligne0, double deltaH, double deltaV)
{
    const QString& s = fs::sautLigne();
    return ligne0 + s + s + QStringLiteral("[DeltaH]") + s + texteCorrection(deltaH) + s + s +
           QStringLiteral("[DeltaV]") + s + texteCorrection(deltaV);
}

// The gamma of line 0, in the user's number format; none when it is no number, or one far out
// of any gamma's range (the gamma slider holds a 16-bit value).
std::optional<double> gammaDeLigne(const QString& l)
{
    try {
        const double g = CDbl(l);
        if (std::isfinite(g) && std::abs(g) <= 32767)
            return g;
    } catch (const Erreur&) {
        // No number: the caller takes the line as a damaged setting, as the comment above says.
    }
    return std::nullopt;
}
}  // namespace

QString texteCorrection(double delta)
{
    // One notation whatever the locale: "." as decimal point, no blank ("-15", "0.5").
    return QString::number(delta, 'g', 15);
}

double lireCorrection(const QString& ligne)
{
    // Files written in a locale with a decimal comma hold "0,5": read as "0.5".
    QString l = ligne;
    l.replace(QLatin1Char(','), QLatin1Char('.'));
    return Val(l);
}

QString texteReglages(double gamma, double deltaH, double deltaV) { return septLignes(Str(gamma), deltaH, deltaV); }

QString texteReglagesDefaut(double deltaH, double deltaV) { return septLignes(QStringLiteral("180"), deltaH, deltaV); }

EtatReglages lirereglages(ReglagesPartages& p)
{
    const QString chemin = cheminReglages();
    // A device, a pipe or a huge file in its place is a damaged settings file: reading it might
    // never end, and it holds no settings.
    if (fs::existe(chemin) && !fs::estDossier(chemin) &&
        (!fs::estFichier(chemin) || fs::longueurFichier(chemin) > OctetsFichierMax)) {
        p.gamma = 180;
        return EtatReglages::Illisible;
    }
    EtatReglages etat = EtatReglages::Lu;
    QStringList lignes;
    try {
        lignes = fs::lireLignes(chemin, LignesLues, OctetsParLigne);
    } catch (const Erreur& e) {
        if (e.numero() != err::FichierIntrouvable)
            throw;
        fs::ecrireTexte(chemin, texteReglagesDefaut(p.DeltaH, p.DeltaV));
        lignes = fs::lireLignes(chemin, LignesLues, OctetsParLigne);
        etat = EtatReglages::Cree;
    }

    bool illisible = false;
    for (int i = 0; i < lignes.size() && i < LignesLues; ++i) {
        const QString& l = lignes[i];
        p.ligneini = l;
        if (i == 0) {
            const std::optional<double> g = gammaDeLigne(l);
            illisible = illisible || !g;
            p.gamma = g.value_or(180);
        } else if (i == 3 || i == 6) {
            try {
                (i == 3 ? p.DeltaH : p.DeltaV) = lireCorrection(l);
            } catch (const Erreur&) {
                // A number too large for any correction: the value stays as it was.
                illisible = true;
            }
        }
    }
    if (illisible)
        return EtatReglages::Illisible;
    if (lignes.size() < LignesLues)
        return etat == EtatReglages::Cree ? etat : EtatReglages::Incomplet;
    return etat;
}

double lireGammaReglages(double actuel)
{
    QStringList lignes;
    try {
        lignes = fs::lireLignes(cheminReglages(), 1, OctetsParLigne);
    } catch (const Erreur&) {
        return actuel;
    }
    if (lignes.isEmpty())
        return actuel;
    return gammaDeLigne(lignes.front()).value_or(180);
}

void ecrirereglages(const ReglagesPartages& p) { fs::ecrireTexte(cheminReglages(), texteReglages(p.gamma, p.DeltaH, p.DeltaV)); }

}  // namespace kal
