// The assembly of a scanner's frames into a 24-bit picture, fed with bytes written by hand where
// their meaning must be pinned down (bit polarity, byte order, padding, lines beyond the count).
#include "support/erreurs.h"
#include "platform/base/erreur.h"
#include "platform/scanner/assemblage.h"
#include "platform/scanner/scanner.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>

using kal::scan::AssemblageImage;
using kal::scan::ParametresTrame;
using Genre = ParametresTrame::Genre;

using kaltest::numeroErreur;

namespace {

ParametresTrame parametres(Genre g, int profondeur, int pixels, int lignes, int octets, bool derniere = true)
{
    ParametresTrame p;
    p.genre = g;
    p.profondeur = profondeur;
    p.pixelsParLigne = pixels;
    p.lignes = lignes;
    p.octetsParLigne = octets;
    p.derniere = derniere;
    return p;
}

QImage assembler(const ParametresTrame& p, const unsigned char* d, std::size_t n)
{
    AssemblageImage a;
    a.debutTrame(p);
    a.ajouter(d, n);
    a.finTrame();
    return a.image();
}

QRgb px(const QImage& i, int x, int y) { return i.pixel(x, y) & 0xFFFFFF; }

}  // namespace

TEST(AssemblageImage, UnBitNoirEnGrisPleineIntensiteEnCouleurEtPaddingIgnore)
{
    // 10 grey pixels of one bit need 2 bytes; the device pads each line to 3.
    const unsigned char gris[] = {0b10000000, 0b01000000, 0xFF, 0, 0, 0xFF};
    const QImage g = assembler(parametres(Genre::Gris, 1, 10, 2, 3), gris, sizeof gris);
    ASSERT_EQ(g.format(), QImage::Format_RGB888);
    ASSERT_EQ(g.size(), QSize(10, 2));
    EXPECT_EQ(px(g, 0, 0), 0x000000u);
    EXPECT_EQ(px(g, 1, 0), 0xFFFFFFu);
    EXPECT_EQ(px(g, 9, 0), 0x000000u);
    EXPECT_EQ(px(g, 9, 1), 0xFFFFFFu);

    const unsigned char couleur[] = {0b10001100};   // (1,0,0) then (0,1,1)
    const QImage c = assembler(parametres(Genre::RVB, 1, 2, 1, 1), couleur, 1);
    EXPECT_EQ(px(c, 0, 0), 0xFF0000u);
    EXPECT_EQ(px(c, 1, 0), 0x00FFFFu);
}

TEST(AssemblageImage, SeizeBitsDansLOrdreDeLaMachineArrondisAHuit)
{
    const std::uint16_t v[3] = {0xFFFF, 0x8080, 0x0101};
    unsigned char d[6];
    std::memcpy(d, v, 6);
    EXPECT_EQ(px(assembler(parametres(Genre::RVB, 16, 1, 1, 6), d, 6), 0, 0), 0xFF8001u);
}

TEST(AssemblageImage, LignesEnTropIgnoreesEtLigneIncompleteAbandonnee)
{
    const unsigned char d[] = {1, 2, 3, 4, 5, 6, 7};   // 3 lines and a half
    EXPECT_EQ(assembler(parametres(Genre::Gris, 8, 2, 2, 2), d, sizeof d).size(), QSize(2, 2));
    EXPECT_EQ(assembler(parametres(Genre::Gris, 8, 2, -1, 2), d, sizeof d).size(), QSize(2, 3));
}

TEST(AssemblageImage, ParametresInvalidesOuAucuneDonneeDonnent20002)
{
    const int e = kal::scan::AcquisitionEchouee;
    EXPECT_EQ(numeroErreur([] { AssemblageImage().debutTrame(parametres(Genre::Gris, 4, 8, 1, 4)); }), e);
    EXPECT_EQ(numeroErreur([] { AssemblageImage().debutTrame(parametres(Genre::RVB, 8, 10, 1, 29)); }), e);
    EXPECT_EQ(numeroErreur([] { AssemblageImage().debutTrame(parametres(Genre::Gris, 8, 1 << 30, 1 << 30, 1 << 30)); }), e);
    EXPECT_EQ(numeroErreur([] { assembler(parametres(Genre::Gris, 8, 10, 1, 10), nullptr, 0); }), e);
    EXPECT_EQ(numeroErreur([] {
                  AssemblageImage a;
                  a.debutTrame(parametres(Genre::Rouge, 8, 10, 1, 10, false));
                  a.finTrame();
                  a.debutTrame(parametres(Genre::Vert, 8, 11, 1, 11, false));
              }),
              e);
}
