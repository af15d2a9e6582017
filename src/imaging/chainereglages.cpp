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
// The five sliders with their captions, in the order of Reglage.
struct Membre {
    CurseurReglage curseur;
    Legende legende;
};
constexpr Membre Membres[] = {
    {{"CONT", -1000, 1000, 10, 100, 0, "Cont=0"}, {"Cont:", Forme::DixiemesBas, "Cont=", Forme::DixiemesBas}},
    {{"COUL", -180, 180, 1, 10, 2, "Coul=0"}, {"Coul=", Forme::Valeur, "Coul=", Forme::ValeurSimple}},
    {{"INT", -1000, 1000, 10, 100, 1, "Int=0"}, {"Int=", Forme::DixiemesBas, "Int=", Forme::DixiemesBas}},
    {{"NET", -1000, 1000, 10, 100, 3, "Net=0"}, {"Net=", Forme::DixiemesBas, "Net=", Forme::DixiemesBas}},
    {{"SAT", -99, 99, 1, 10, 4, "Sat=0"}, {"Sat=", Forme::Dixiemes, "Sat=", Forme::Dixiemes}},
};
const Membre& membre(Reglage r) { return Membres[static_cast<int>(r)]; }
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
    const Legende& l = membre(r).legende;
    return enDefilement ? QLatin1String(l.prefixeScroll) + texte(valeurCurseur, l.formeScroll)
                        : QLatin1String(l.prefixeChange) + texte(valeurCurseur, l.formeChange);
}

QString legendeRemiseReglages(const QString& cle)
{
    QStringList lignes;
    bool connue = false;
    for (Reglage r : {Reglage::Intensite, Reglage::Contraste, Reglage::Couleur, Reglage::Saturation, Reglage::Nettete}) {
        const bool lui = cle == QLatin1String(curseurReglage(r).cle);
        connue = connue || lui;
        lignes << (cle.isEmpty() || lui ? QStringLiteral("X") : QStringLiteral(" "));
    }
    return cle.isEmpty() || connue ? lignes.join(QLatin1Char('\r')) : QString();
}

const CurseurReglage& curseurReglage(Reglage r) { return membre(r).curseur; }

std::optional<Reglage> reglageDeCle(const QString& cle)
{
    for (Reglage r : OrdreReglages)
        if (cle == QLatin1String(curseurReglage(r).cle))
            return r;
    return std::nullopt;
}

void bornerCurseur(Curseur& a, Reglage r)
{
    const CurseurReglage& m = curseurReglage(r);
    a.definirMin(m.min);
    a.definirMax(m.max);
    a.definirPetitPas(m.petitPas);
    a.definirGrandPas(m.grandPas);
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
