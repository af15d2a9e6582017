#include "editor/contexteediteur.h"

namespace kal {

namespace {
// Designed geometry (left, top, width, height in twips). The window layout replaces the tops
// of the band and of the indicator line; every value it does not set stays as designed here.
void concu(Controle& c, int l, int t, int w, int h) { c.placer(l, t, w, h); }
}  // namespace

ControlesEditeur::ControlesEditeur(QWidget* f, TypeEditeur type)
    : fenetre(f),
      B_finimprim(f, QStringLiteral("QUITTER")),
      L_fonction(f),
      E_margeH(f), E_margeV(f), E_format(f), E_gamma(f),
      A_margeH(f), A_margeV(f), A_format(f), A_gamma(f),
      C_decoupe(f, QStringLiteral("Découpe")),
      B_annuldecoupe(f, QStringLiteral("ANNULER")), B_centre(f, QStringLiteral("CENTRER")),
      C_cadre(f, QStringLiteral("Cadre")),
      E_angle(f), A_angle(f),
      B_annulangle(f, QStringLiteral("ANNUL")), B_initimage(f, QStringLiteral("INIT")),
      E_intensite(f), E_contraste(f), E_couleur(f), E_saturation(f), E_nettete(f),
      A_intensite(f), A_contraste(f), A_couleur(f), A_saturation(f), A_nettete(f),
      B_initreglage(f),
      E_surface(f), E_nominal(f), E_maximum(f),
      C_image(f, QStringLiteral("Image totale")),
      F_page(f),
      F_redim(f, QStringLiteral("Redimensionnement")), E_redim(F_redim.widget()), A_redim(F_redim.widget()),
      B_finredim(F_redim.widget(), QStringLiteral("APPLIQUER")), L_redim(f),
      F_compos(f), T_compos(F_compos.widget()),
      B_couleur(F_compos.widget(), QStringLiteral("COULEUR FOND")), B_police(F_compos.widget(), QStringLiteral("POLICE")),
      P_page(f), R_imprim(P_page.widget()), R_apercu(P_page.widget()),
      F_fonction(f), O_compos(F_fonction.widget(), QStringLiteral("Composer")),
      O_imprim(F_fonction.widget(), QStringLiteral("Imprimer")),
      F_jaq(f), O_avant(F_jaq.widget(), QStringLiteral("Avant")), O_arriere(F_jaq.widget(), QStringLiteral("Arriere")),
      O_tout(F_jaq.widget(), QStringLiteral("Les deux")),
      L_sauvder(f), L_sauvtot(f),
      L_kalmorin(F_page.widget()), O_ouvrir(F_page.widget(), QStringLiteral("Ouvrir")),
      O_ajout(F_page.widget(), QStringLiteral("Ajouter")), O_supp(F_page.widget(), QStringLiteral("Supp")),
      B_okouvrir(F_page.widget(), QStringLiteral("OK")), B_annulsauv(F_page.widget(), QStringLiteral("QUITTER"))
{
    const bool jaq = type == TypeEditeur::Jaquette;
    QFont police(QStringLiteral("MS Sans Serif"));
    police.setPointSizeF(8.25);
    f->setFont(police);

    concu(B_finimprim, 10500, 0, jaq ? 4425 : 4430, 1035);
    concu(F_page, jaq ? 12720 : 12840, 0, 2430, 2235);
    concu(L_fonction, 0, 0, 2800, 1010);
    for (Etiquette* e : {&E_margeH, &E_margeV, &E_format, &E_gamma})
        concu(*e, 2800, 0, 1800, 240);
    // The format captions are the longest of the band: they narrow their font to be read whole.
    E_format.definirAjustement(true);
    concu(A_margeH, 4600, 0, 1200, 240);
    concu(A_margeV, 4600, 0, 1200, 230);
    concu(A_format, 4600, 0, 1200, 240);
    concu(A_gamma, 4600, 0, 1200, 240);
    concu(C_decoupe, 5800, 0, 975, 195);
    concu(B_annuldecoupe, 5800, 0, jaq ? 1000 : 990, 315);
    concu(B_centre, jaq ? 6840 : 5800, 0, jaq ? 990 : 1000, 315);
    concu(C_cadre, jaq ? 3840 : 5800, 0, 990, 195);
    concu(E_angle, jaq ? 3840 : 6795, 0, 990, 195);
    concu(A_angle, jaq ? 3840 : 6800, 0, 990, 195);
    concu(B_annulangle, jaq ? 3840 : 6800, 0, 990, 315);
    concu(B_initimage, 6800, 0, 990, 330);
    concu(E_intensite, 7800, 0, 1200, 200);
    concu(E_contraste, 7800, 0, 1200, 200);
    concu(E_couleur, 7800, 0, 1200, jaq ? 200 : 195);
    concu(E_saturation, 7800, 0, 1200, 200);
    concu(E_nettete, 7800, 0, 1200, jaq ? 200 : 195);
    for (Curseur* a : {&A_intensite, &A_contraste, &A_couleur, &A_saturation, &A_nettete})
        concu(*a, 9000, 0, 1200, 195);
    concu(B_initreglage, 10200, 0, 300, 1035);
    concu(E_surface, jaq ? 480 : 0, 0, jaq ? 3645 : 3640, 240);
    concu(E_nominal, jaq ? 3640 : 3645, 0, 5640, 240);
    concu(E_maximum, jaq ? 9285 : 10480, 0, jaq ? 6045 : 4540, 240);
    concu(C_image, jaq ? 1800 : 9240, 0, 1200, 240);

    // Resize panel, shown by its entry of the function list
    concu(F_redim, 0, 0, 3000, 1035);
    concu(E_redim, 15, 240, 2970, 255);
    E_redim.definirCouleurFond(0xC0FFFF);
    E_redim.definirLegende(QStringLiteral("100%: "));
    concu(A_redim, 15, 465, 2970, 240);
    concu(B_finredim, 15, 705, 2970, 315);
    F_redim.definirVisible(false);
    L_redim.definirVisible(false);

    // Composer panel: the box at the frame's top left, the two buttons side by side under it.
    concu(F_compos, 6840, 0, 3000, 1575);
    concu(T_compos, 0, 0, 3000, 1335);
    concu(jaq ? B_police : B_couleur, 0, 1335, 1500, 240);
    concu(jaq ? B_couleur : B_police, 1500, 1335, 1500, 240);

    // Preview page (the page editor sizes it from the printer, the jacket from the screen)
    concu(P_page, jaq ? 5520 : 0, 0, jaq ? 4695 : 9000, jaq ? 4575 : 9000);
    P_page.definirCouleurFond(0xFFFFFF);
    for (BoiteImage* r : {&R_imprim, &R_apercu}) {
        r->surface()->setFrameStyle(QFrame::Box | QFrame::Plain);
        r->surface()->setAttribute(Qt::WA_TransparentForMouseEvents);
        r->surface()->setAutoFillBackground(false);
        concu(*r, 0, 0, 0, 0);
    }

    // The option frames are 150 twips wider than designed, so that "Composer" and "Les deux"
    // fit beside their indicator with the fonts installed here.
    concu(F_fonction, 0, 0, 1200, 750);
    concu(O_compos, 45, 200, 1110, 240);
    concu(O_imprim, 45, 460, 1110, 240);
    concu(F_jaq, 0, 0, 1200, 1000);
    concu(O_avant, 45, 200, 1110, 240);
    concu(O_arriere, 45, 460, 1110, 240);
    // "Les deux" (both faces) is offered with the print mode only.
    concu(O_tout, 45, 700, 1110, 240);

    const int nb = jaq ? 32 : 16;
    if (jaq) {
        for (int n : {0, 16}) {
            L_jaq[n] = std::make_unique<ControleImage>(f);
            concu(*L_jaq[n], 2040, 0, 2715, 2235);
            L_jaq[n]->definirCouleurFond(0xFFFFFF);
            L_jaq[n]->definirBordure(1);
            P_apjaq[n] = std::make_unique<BoiteImage>(P_page.widget());
            P_apjaq[n]->surface()->setFrameStyle(QFrame::Box | QFrame::Plain);
            P_apjaq[n]->surface()->setAttribute(Qt::WA_TransparentForMouseEvents);
            P_apjaq[n]->surface()->setAutoFillBackground(false);
        }
        for (int n = 0; n < 32; ++n) {
            // Each face's reduced images stand in that face's preview box.
            L_apjaq.push_back(std::make_unique<ControleImage>(P_apjaq[n < 16 ? 0 : 16]->widget()));
            L_apjaq.back()->definirVisible(false);
            // A jacket object stands on its face's outline, in the outline's twips.
            L_photo.push_back(std::make_unique<ControleImage>(L_jaq[n < 16 ? 0 : 16]->widget()));
            L_photo.back()->definirVisible(false);
        }
    } else {
        // Element 16 of the page's object controls is permanent and never an object.
        L_photo.resize(17);
        // Page objects stand on the preview page, in its twips.
        L_photo[16] = std::make_unique<ControleImage>(P_page.widget());
        L_photo[16]->definirVisible(false);
    }
    L_miniat.resize(static_cast<size_t>(nb));
    L_miniat[0] = std::make_unique<ControleImage>(f);
    concu(*L_miniat[0], 0, 0, jaq ? 1063 : 1500, 900);
    L_miniat[0]->definirVisible(false);
    L_sauvder.definirVisible(false);
    L_sauvtot.definirVisible(false);

    // Controls of the other editor stay hidden.
    if (jaq) {
        R_imprim.definirVisible(false);
    } else {
        R_apercu.definirVisible(false);
        F_fonction.definirVisible(false);
        F_jaq.definirVisible(false);
    }

    // Captions and states as designed
    for (auto [etiquette, r] : {std::pair{&E_intensite, Reglage::Intensite}, std::pair{&E_contraste, Reglage::Contraste},
                                std::pair{&E_couleur, Reglage::Couleur}, std::pair{&E_saturation, Reglage::Saturation},
                                std::pair{&E_nettete, Reglage::Nettete}})
        etiquette->definirLegende(legendeConcue(r));
    E_angle.definirLegende(QStringLiteral("Angle"));
    F_page.definirVisible(false);   // shown by the pages list and the close's save offer
    B_annuldecoupe.definirActif(false);
    B_annulangle.definirActif(false);
    B_initreglage.definirActif(false);

    // Pages panel: its controls, inside the frame (2430 x 2235): the name box, the three
    // options under it, OK and QUITTER side by side at the bottom.
    concu(L_kalmorin, 60, 240, 2310, 315);
    concu(O_ouvrir, 90, 660, 2250, 255);
    concu(O_ajout, 90, 945, 2250, 255);
    concu(O_supp, 90, 1230, 2250, 255);
    concu(B_okouvrir, 60, 1620, 1125, 495);
    concu(B_annulsauv, 1245, 1620, 1125, 495);
    O_ouvrir.definirValeur(true);

    // Slider ranges as designed
    A_gamma.definirMin(1);
    A_gamma.definirMax(300);
    A_angle.definirMin(-180);
    A_angle.definirMax(180);
    A_angle.definirPetitPas(1);
    A_angle.definirGrandPas(90);
    for (auto [curseur, r] : {std::pair{&A_contraste, Reglage::Contraste}, std::pair{&A_couleur, Reglage::Couleur},
                              std::pair{&A_intensite, Reglage::Intensite}, std::pair{&A_nettete, Reglage::Nettete},
                              std::pair{&A_saturation, Reglage::Saturation}})
        bornerCurseur(*curseur, r);
}

QString ControlesEditeur::legendeConcue(Reglage r)
{
    switch (r) {
    case Reglage::Contraste: return QStringLiteral("Contraste=0");
    case Reglage::Couleur: return QStringLiteral("Couleur=0");
    case Reglage::Intensite: return QStringLiteral("Intensité=0");
    case Reglage::Nettete: return QStringLiteral("Netteté=0");
    case Reglage::Saturation: return QStringLiteral("Saturation=0");
    }
    return {};
}

}  // namespace kal
