// The five adjustments of the workbench: one Change and one Scroll procedure for the family of
// sliders with a table of their parameters, the editing flags and the memorised values behind
// the reset buttons, the return to the photo as opened, and the display gamma.
#include "workbench/atelier.h"

#include "imaging/chainereglages.h"
#include "platform/base/conversions.h"
#include "platform/base/ecran.h"


namespace kal {

namespace {
// The window's slider and label of each adjustment, in the order of Reglage, which is also
// the order of the slots of valreglage; key, range, steps, flag and captions are the editors'
// (chainereglages.h).
struct Membre {
    Reglage reglage;
    Curseur Atelier::*curseur;
    Etiquette Atelier::*etiquette;
};

const Membre Membres[] = {
    {Reglage::Contraste, &Atelier::A_contraste, &Atelier::E_contraste},
    {Reglage::Couleur, &Atelier::A_couleur, &Atelier::E_couleur},
    {Reglage::Intensite, &Atelier::A_intensite, &Atelier::E_intensite},
    {Reglage::Nettete, &Atelier::A_nettete, &Atelier::E_nettete},
    {Reglage::Saturation, &Atelier::A_saturation, &Atelier::E_saturation},
};
constexpr size_t FlagRotation = 5;
constexpr size_t SlotRotation = 5;

}  // namespace

void Atelier::changeflag(bool contraste, bool couleur, bool intensite, bool nettete, bool saturation, bool rotation)
{
    // The argument order is not the slot order: colour goes to slot 2, intensity to slot 1.
    auto& f = etat.flagreglage;
    f[0] = contraste;
    f[2] = couleur;
    f[1] = intensite;
    f[3] = nettete;
    f[4] = saturation;
    f[FlagRotation] = rotation;
}

void Atelier::changeinit(bool b, const QString& code)
{
    B_initreglage.definirVisible(false);
    B_initangle.definirActif(b);
    B_initreglage.definirActif(true);
    etat.codereglage = code;
    const QString legende = legendeRemiseReglages(code);
    if (!legende.isEmpty())
        B_initreglage.definirLegende(legende);
    if (code.isEmpty())
        B_initreglage.definirActif(false);
    B_initreglage.definirVisible(true);
}

void Atelier::autorcorrect(bool b)
{
    // The base pictures are set by the callers (fixerBase); here only the controls.
    for (Controle* c : std::initializer_list<Controle*>{
             &B_annulreglagetot, &B_redeye, &A_zoom, &E_zoom, &A_angle, &E_angle, &B_initangle, &B_initzoom, &C_decoupe,
             &A_contraste, &E_contraste, &A_couleur, &E_couleur, &A_intensite, &E_intensite, &A_saturation, &E_saturation,
             &A_nettete, &E_nettete, &A_compression, &E_compression})
        c->definirActif(b);
}

void Atelier::initcorrect()
{
    etat.razreglages = true;
    for (const Membre& mb : Membres)
        (this->*mb.etiquette).definirLegende(QLatin1String(curseurReglage(mb.reglage).neutre));
    E_zoom.definirLegende(QStringLiteral("Zoom=1"));
    for (Curseur* a : {&A_contraste, &A_couleur, &A_intensite, &A_saturation, &A_nettete, &A_zoom})
        a->definirValeur(0);
    etat.valreglage.fill(0);
    changeflag(false, false, false, false, false, false);
    changeinit(false, QString());
    initialangle();
    etat.razreglages = false;
}

void Atelier::A_reglage_Scroll(int m)
{
    const Membre& mb = Membres[m];
    (this->*mb.etiquette).definirLegende(legendeReglage(mb.reglage, (this->*mb.curseur).valeur(), true));
}

void Atelier::A_reglage_Change(int m)
{
    if (etat.razreglages)
        return;
    const Membre& mb = Membres[m];
    definirPointeur(pointeur::Sablier);
    L_photo.definirVisible(false);
    if (!etat.flagreglage[static_cast<size_t>(curseurReglage(mb.reglage).flag)]) {
        // This slider takes over: the values of the others and of the angle are memorised.
        changeflag(mb.reglage == Reglage::Contraste, mb.reglage == Reglage::Couleur, mb.reglage == Reglage::Intensite,
                   mb.reglage == Reglage::Nettete, mb.reglage == Reglage::Saturation, false);
        const ValeursReglages v = valeursCurseurs();
        for (const Membre& autre : Membres)
            if (autre.reglage != mb.reglage)
                etat.valreglage[static_cast<size_t>(autre.reglage)] = valeurDe(v, autre.reglage);
        etat.valreglage[SlotRotation] = A_angle.valeur();
    }
    // Rendered from the base with every adjustment once, whichever slider moved.
    reconstruire();
    const int valeur = (this->*mb.curseur).valeur();
    (this->*mb.etiquette).definirLegende(legendeReglage(mb.reglage, valeur, false));
    taillephoto();
    changeinit(false, QLatin1String(curseurReglage(mb.reglage).cle));
    L_photo.definirVisible(true);
    definirPointeur(pointeur::Fleche);
}

void Atelier::B_initreglage_Click()
{
    if (const std::optional<Reglage> r = reglageDeCle(etat.codereglage))
        (this->*Membres[static_cast<int>(*r)].curseur).definirValeur(etat.valreglage[static_cast<size_t>(*r)]);
    changeinit(false, QString());
}

void Atelier::B_annulreglagetot_Click()
{
    regvisible(false);
    changeinit(false, QString());
    initcorrect();
    for (Controle* c : std::initializer_list<Controle*>{&B_annulreglagetot, &A_zoom, &E_zoom, &A_angle, &E_angle, &B_initangle,
                                                        &B_initzoom, &C_decoupe, &A_contraste, &E_contraste, &A_couleur,
                                                        &E_couleur, &A_intensite, &E_intensite, &A_saturation, &E_saturation,
                                                        &A_nettete, &E_nettete})
        c->definirActif(true);
    L_photo.definirBitmap(L_initial.bitmap());
    L_sauvder.definirBitmap(L_initial.bitmap());
    fixerBase(L_initial.bitmap());
    taillephoto();
    initredim();
    regvisible(true);
}

void Atelier::changegamma()
{
    partage_.gamma = A_gamma.valeur();
    E_gamma.definirLegende(QStringLiteral("Gamma =") + CStr(partage_.gamma / 100));
    L_photo.definirGammaaffichage(partage_.gamma);
    // The control shows the new gamma at once, as its property change did.
    L_photo.repeindre();
}

}  // namespace kal
