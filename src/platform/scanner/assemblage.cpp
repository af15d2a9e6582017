#include "platform/scanner/assemblage.h"

#include "platform/base/erreur.h"
#include "platform/scanner/scanner.h"

#include <algorithm>
#include <cstring>

namespace kal::scan {

namespace {

[[noreturn]] void echec(const QString& pourquoi) { throw Erreur(AcquisitionEchouee, pourquoi); }

bool uneCouleur(ParametresTrame::Genre g)
{
    return g == ParametresTrame::Genre::Rouge || g == ParametresTrame::Genre::Vert || g == ParametresTrame::Genre::Bleu;
}

// Bytes a line needs at least: samples per pixel x pixels x bits per sample, rounded up.
std::size_t octetsNecessaires(const ParametresTrame& p)
{
    const std::size_t echantillons = std::size_t(p.pixelsParLigne) * (p.genre == ParametresTrame::Genre::RVB ? 3 : 1);
    return (echantillons * std::size_t(p.profondeur) + 7) / 8;
}

// A 16-bit sample (in this machine's byte order) brought to 8 bits with rounding.
inline unsigned char huitBits(const unsigned char* o)
{
    std::uint16_t v;
    std::memcpy(&v, o, 2);
    return static_cast<unsigned char>((unsigned(v) * 255u + 32767u) / 65535u);
}

// Sample i of a line. In a one-bit line the bit set is full intensity, except in a grey frame
// where it is black (line-art).
inline unsigned char echantillon(const unsigned char* ligne, std::size_t i, int profondeur, bool grisUnBit)
{
    switch (profondeur) {
    case 1: {
        const bool bit = (ligne[i / 8] >> (7 - i % 8)) & 1;
        return (bit != grisUnBit) ? 255 : 0;
    }
    case 16:
        return huitBits(ligne + 2 * i);
    default:
        return ligne[i];
    }
}

}  // namespace

void AssemblageImage::debutTrame(const ParametresTrame& p)
{
    if (p.profondeur != 1 && p.profondeur != 8 && p.profondeur != 16)
        echec(QStringLiteral("profondeur de %1 bits non prise en charge").arg(p.profondeur));
    if (p.pixelsParLigne <= 0 || p.lignes == 0 || p.lignes < -1)
        echec(QStringLiteral("dimensions annoncées invalides (%1 x %2)").arg(p.pixelsParLigne).arg(p.lignes));
    if (p.octetsParLigne <= 0 || std::size_t(p.octetsParLigne) < octetsNecessaires(p))
        echec(QStringLiteral("longueur de ligne annoncée invalide (%1 octets)").arg(p.octetsParLigne));
    if (std::size_t(p.pixelsParLigne) * 3 > TailleMax)
        echec(QStringLiteral("image trop grande"));

    const bool premiere = largeur_ == 0;
    if (!premiere) {
        // Only the three one-colour frames of a three-pass device follow each other.
        if (!uneCouleur(p.genre) || !uneCouleur(p_.genre))
            echec(QStringLiteral("suite de trames inattendue"));
        if (p.pixelsParLigne != largeur_)
            echec(QStringLiteral("largeur différente d'une trame à l'autre"));
    }
    p_ = p;
    largeur_ = p.pixelsParLigne;
    ligneTrame_ = 0;
    if (p.lignes > 0) {
        if (std::size_t(p.lignes) * std::size_t(largeur_) * 3 > TailleMax)
            echec(QStringLiteral("image trop grande"));
        if (premiere)
            rvb_.reserve(std::size_t(p.lignes) * std::size_t(largeur_) * 3);
    }
    ligne_.assign(std::size_t(p.octetsParLigne), 0);
    remplie_ = 0;
    enTrame_ = true;
}

void AssemblageImage::ajouter(const unsigned char* donnees, std::size_t n)
{
    if (!enTrame_)
        echec(QStringLiteral("données hors d'une trame"));
    while (n > 0) {
        const std::size_t k = std::min(n, ligne_.size() - remplie_);
        std::memcpy(ligne_.data() + remplie_, donnees, k);
        remplie_ += k;
        donnees += k;
        n -= k;
        if (remplie_ == ligne_.size()) {
            ligneComplete();
            remplie_ = 0;
        }
    }
}

void AssemblageImage::ligneComplete()
{
    // Lines beyond the number announced are not part of the picture.
    if (p_.lignes > 0 && ligneTrame_ >= p_.lignes)
        return;
    const int y = ligneTrame_++;
    if (y >= lignes_) {
        if (std::size_t(y + 1) * std::size_t(largeur_) * 3 > TailleMax)
            echec(QStringLiteral("image trop grande"));
        rvb_.resize(std::size_t(y + 1) * std::size_t(largeur_) * 3, 0);
        lignes_ = y + 1;
    }
    ecrireLigne(y);
}

void AssemblageImage::ecrireLigne(int y)
{
    unsigned char* sortie = rvb_.data() + std::size_t(y) * std::size_t(largeur_) * 3;
    const unsigned char* l = ligne_.data();
    const int prof = p_.profondeur;
    switch (p_.genre) {
    case ParametresTrame::Genre::Gris:
        for (int x = 0; x < largeur_; ++x) {
            const unsigned char v = echantillon(l, std::size_t(x), prof, true);
            sortie[3 * x] = sortie[3 * x + 1] = sortie[3 * x + 2] = v;
        }
        break;
    case ParametresTrame::Genre::RVB:
        if (prof == 8) {
            std::memcpy(sortie, l, std::size_t(largeur_) * 3);
        } else {
            for (std::size_t i = 0; i < std::size_t(largeur_) * 3; ++i)
                sortie[i] = echantillon(l, i, prof, false);
        }
        break;
    default: {
        const int c = p_.genre == ParametresTrame::Genre::Rouge ? 0 : p_.genre == ParametresTrame::Genre::Vert ? 1 : 2;
        for (int x = 0; x < largeur_; ++x)
            sortie[3 * x + c] = echantillon(l, std::size_t(x), prof, false);
        break;
    }
    }
}

void AssemblageImage::finTrame()
{
    remplie_ = 0;
    enTrame_ = false;
}

QImage AssemblageImage::image() const
{
    if (lignes_ == 0 || largeur_ == 0)
        echec(QStringLiteral("aucune ligne reçue"));
    QImage img(largeur_, lignes_, QImage::Format_RGB888);
    if (img.isNull())
        echec(QStringLiteral("mémoire insuffisante pour l'image"));
    const std::size_t octets = std::size_t(largeur_) * 3;
    for (int y = 0; y < lignes_; ++y)
        std::memcpy(img.scanLine(y), rvb_.data() + std::size_t(y) * octets, octets);
    return img;
}

}  // namespace kal::scan
