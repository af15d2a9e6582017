// The adjustment set of an editor: the edit flags of the five sliders, the reset key shown on
// the narrow reset button, the sliders' return to neutral and the zeroing of an object's row.
#include "imaging/imagerie.h"

namespace kal {

void Imagerie::changeflag(bool contraste, bool couleur, bool intensite, bool nettete, bool saturation, bool sixieme)
{
    // The argument order is not the slot order: colour goes to slot 2, intensity to slot 1.
    auto& f = x_.etat.flagreglage;
    f[0] = contraste;
    f[2] = couleur;
    f[1] = intensite;
    f[3] = nettete;
    f[4] = saturation;
    f[5] = sixieme;
}

void Imagerie::changeinit(bool annulangle, const QString& code)
{
    ControlesEditeur& c = x_.c;
    c.B_initreglage.definirVisible(false);
    c.B_annulangle.definirActif(annulangle);
    c.B_initreglage.definirActif(true);
    x_.etat.codereglage = code;
    const QString legende = legendeRemiseReglages(code);
    if (!legende.isEmpty())
        c.B_initreglage.definirLegende(legende);
    if (code.isEmpty())
        c.B_initreglage.definirActif(false);
    c.B_initreglage.definirVisible(true);
}

void Imagerie::initzero()
{
    ControlesEditeur& c = x_.c;
    EtatEditeur& e = x_.etat;
    const bool jaq = x_.jaquette();
    // The page shows its captions as designed, the jacket the short ones.
    for (Reglage r : OrdreReglages)
        etiquetteDe(r).definirLegende(jaq ? QString::fromLatin1(curseurReglage(r).neutre) : ControlesEditeur::legendeConcue(r));
    if (jaq)
        c.E_angle.definirLegende(QStringLiteral("Angle=0"));
    // The slider handlers see razreglages and do no picture work while the sliders go back.
    e.razreglages = true;
    for (Curseur* a : {&c.A_contraste, &c.A_couleur, &c.A_intensite, &c.A_saturation, &c.A_nettete})
        a->definirValeur(0);
    if (jaq)
        c.A_angle.definirValeur(0);
    e.razreglages = false;
}

void Imagerie::inittabreg()
{
    EtatEditeur& e = x_.etat;
    if (e.objetcourant < 0 || e.objetcourant >= e.nbEmplacements())
        return;
    auto& ligne = e.tabobjets[static_cast<size_t>(e.objetcourant)];
    for (int k = col::Intensite; k <= col::Angle; ++k)
        ligne[static_cast<size_t>(k)] = 0;
}

void Imagerie::zeroReglagesObjets()
{
    EtatEditeur& e = x_.etat;
    for (int n = 0; n < e.nbEmplacements(); ++n)
        for (int k = col::Intensite; k <= col::Angle; ++k)
            e.tabobjets[static_cast<size_t>(n)][static_cast<size_t>(k)] = 0;
}

}  // namespace kal
