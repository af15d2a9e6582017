#include "imaging/chainereglages.h"

#include "platform/base/conversions.h"

#include <cmath>

namespace kal {

namespace {
// How a caption shows the slider's value.
enum class Forme {
    DixiemesBas,   // value / 10 rounded down, signed-blank form
    Valeur,        // the value, signed-blank form
    ValeurSimple,  // the value, plain form
    Dixiemes,      // value / 10, signed-blank form
};
struct Legende {
    const char* prefixeChange;
    Forme formeChange;
    const char* prefixeScroll;
    Forme formeScroll;
};
// In the order of Reglage.
constexpr Legende Legendes[] = {
    {"Cont:", Forme::DixiemesBas, "Cont=", Forme::DixiemesBas},
    {"Coul=", Forme::Valeur, "Coul=", Forme::ValeurSimple},
    {"Int=", Forme::DixiemesBas, "Int=", Forme::DixiemesBas},
    {"Net=", Forme::DixiemesBas, "Net=", Forme::DixiemesBas},
    {"Sat=", Forme::Dixiemes, "Sat=", Forme::Dixiemes},
};
QString texte(int v, Forme f)
{
    switch (f) {
    case Forme::DixiemesBas: return Str(std::floor(v / 10.0));
    case Forme::Valeur: return Str(v);
    case Forme::ValeurSimple: return QString::number(v);
    case Forme::Dixiemes: return Str(v / 10.0);
    }
    return {};
}
}  // namespace

QString legendeReglage(Reglage r, int valeurCurseur, bool enDefilement)
{
    const Legende& l = Legendes[static_cast<int>(r)];
    return enDefilement ? QLatin1String(l.prefixeScroll) + texte(valeurCurseur, l.formeScroll)
                        : QLatin1String(l.prefixeChange) + texte(valeurCurseur, l.formeChange);
}

QString legendeRemiseReglages(const QString& cle)
{
    static const char* const cles[] = {"INT", "CONT", "COUL", "SAT", "NET"};
    QStringList lignes;
    bool connue = false;
    for (const char* c : cles) {
        const bool lui = cle == QLatin1String(c);
        connue = connue || lui;
        lignes << (cle.isEmpty() || lui ? QStringLiteral("X") : QStringLiteral(" "));
    }
    return cle.isEmpty() || connue ? lignes.join(QLatin1Char('\r')) : QString();
}

int valeurDe(const ValeursReglages& v, Reglage r)
{
    switch (r) {
    case Reglage::Contraste: return v.contraste;
    case Reglage::Couleur: return v.couleur;
    case Reglage::Intensite: return v.intensite;
    case Reglage::Nettete: return v.nettete;
    case Reglage::Saturation: return v.saturation;
    }
    return 0;
}

void appliquerReglage(ControleImage& c, Reglage r, int v)
{
    switch (r) {
    case Reglage::Contraste: c.contraste(v); break;
    case Reglage::Couleur: c.teinte(v); break;
    case Reglage::Intensite: c.intensite(v); break;
    case Reglage::Nettete: c.nettete(v); break;
    case Reglage::Saturation: c.saturation(v * 10); break;
    }
}

void appliquerReglages(ControleImage& c, const ValeursReglages& v)
{
    for (Reglage r : OrdreReglages)
        appliquerReglage(c, r, valeurDe(v, r));
}

void appliquerChaine(ControleImage& c, const ValeursReglages& v, const Finition& f)
{
    appliquerReglages(c, v);
    appliquerFinition(c, f);
}

void appliquerFinition(ControleImage& c, const Finition& f)
{
    if (f.photo)
        c.traitementphoto();
    if (f.cadre)
        c.tracercadre(f.cadre->x(), f.cadre->y(), f.cadre->width(), f.cadre->height());
    if (f.angle)
        c.rotation(*f.angle * 100, 1, 0xFFFFFF);
}

}  // namespace kal
