// The compression slider (JPEG quality of saiphot.jpg) and the resize slider (a share of the
// photo's smaller side). A release renders the photo again from the base with the whole chain,
// so that every edit stays in it once: the crops, the red-eye corrections, the turn, each
// adjustment.
#include "workbench/atelier.h"

#include "platform/base/conversions.h"
#include "platform/base/ecran.h"

namespace kal {

void Atelier::A_compression_Scroll()
{
    E_compression.definirLegende(QStringLiteral("Compress=") + QString::number(A_compression.valeur()));
}

void Atelier::A_compression_Change()
{
    definirPointeur(pointeur::Sablier);
    etat.qualitecompression = A_compression.valeur();
    if (etat.photochargee)
        refaireAuFormat();
    definirPointeur(pointeur::Fleche);
}

void Atelier::refaireAuFormat()
{
    L_photo.definirVisible(false);
    reconstruire();
    taillephoto();
    L_photo.definirVisible(true);
    changeflag(false, false, false, false, false, false);
    changeinit(false, QString());
}

void Atelier::A_resize_Scroll()
{
    etat.rapportredim = double(A_resize.valeur()) / A_resize.max();
    // The size the photo will take: its size before any resize, times the share.
    const QSize t = tailleAvantRedim();
    etat.largeurredim = arrondi(t.width() * etat.rapportredim);
    etat.hauteurredim = arrondi(t.height() * etat.rapportredim);
    E_resize.definirLegende(QStringLiteral("Redim:") + QString::number(arrondi(etat.rapportredim * 100)) + QStringLiteral(" %  ") +
                            QString::number(etat.largeurredim) + QLatin1Char('x') + QString::number(etat.hauteurredim));
}

void Atelier::A_resize_Change()
{
    if (etat.redimencours || !etat.photochargee)
        return;
    definirPointeur(pointeur::Sablier);
    refaireAuFormat();
    definirPointeur(pointeur::Fleche);
}

}  // namespace kal
