// The small picture an Exif segment carries in a JPEG file: found when a file is read, and the
// segment built around one when a file is written.
#include "platform/imaging/codecs/interne.h"

#include <cstring>

namespace kal::image::interne {

// The Exif segment is a small TIFF structure: IFD0, then IFD1 whose JPEGInterchangeFormat and
// JPEGInterchangeFormatLength give the thumbnail's place. Accepts either a whole JPEG file (the first
// Exif segment carrying a thumbnail is used) or one APP1 segment starting at its marker.
namespace {

QByteArray vignetteDansExif(const uchar* t, qsizetype n)
{
    if (n < 8)
        return {};
    const bool le = t[0] == 'I' && t[1] == 'I';
    if (!le && !(t[0] == 'M' && t[1] == 'M'))
        return {};
    auto u16 = [&](qsizetype o) { return le ? lireU16le(t + o) : lireU16be(t + o); };
    auto u32 = [&](qsizetype o) { return le ? lireU32le(t + o) : lireU32be(t + o); };
    if (u16(2) != 42)
        return {};
    qint64 ifd0 = u32(4);
    if (ifd0 < 8 || ifd0 + 2 > n)
        return {};
    const qint64 nb0 = u16(ifd0);
    const qint64 suivant = ifd0 + 2 + nb0 * 12;
    if (suivant + 4 > n)
        return {};
    const qint64 ifd1 = u32(suivant);
    if (ifd1 < 8 || ifd1 + 2 > n || ifd1 == ifd0)
        return {};
    const qint64 nb1 = u16(ifd1);
    qint64 debut = -1, longueur = -1;
    for (qint64 i = 0; i < nb1; ++i) {
        const qint64 e = ifd1 + 2 + i * 12;
        if (e + 12 > n)
            return {};
        const int etiquette = u16(e), type = u16(e + 2);
        const qint64 valeur = type == 3 ? qint64(u16(e + 8)) : qint64(u32(e + 8));
        if (etiquette == 0x0201)
            debut = valeur;
        else if (etiquette == 0x0202)
            longueur = valeur;
    }
    if (debut <= 0 || longueur < 4 || debut + longueur > n)
        return {};
    if (t[debut] != 0xFF || t[debut + 1] != 0xD8)
        return {};
    return QByteArray(reinterpret_cast<const char*>(t + debut), longueur);
}

}  // namespace

QByteArray vignetteJpeg(const QByteArray& donnees)
{
    const uchar* p = octets(donnees);
    const qsizetype n = donnees.size();
    if (n >= 4 && p[0] == 0xFF && p[1] == 0xE1) {  // one segment
        const qsizetype longueur = lireU16be(p + 2);
        if (longueur < 8 || longueur + 2 > n || std::memcmp(p + 4, "Exif\0\0", 6) != 0)
            return {};
        return vignetteDansExif(p + 10, longueur - 8);
    }
    if (n < 4 || p[0] != 0xFF || p[1] != 0xD8)
        return {};
    qsizetype pos = 2;
    while (pos + 4 <= n) {
        if (p[pos] != 0xFF) {
            ++pos;
            continue;
        }
        const int marqueur = p[pos + 1];
        if (marqueur == 0xFF) {
            ++pos;
            continue;
        }
        if (marqueur == 0xDA || marqueur == 0xD9)
            return {};
        if (marqueur == 0x01 || (marqueur >= 0xD0 && marqueur <= 0xD7)) {
            pos += 2;
            continue;
        }
        const qsizetype longueur = lireU16be(p + pos + 2);
        if (longueur < 2 || pos + 2 + longueur > n)
            return {};
        if (marqueur == 0xE1 && longueur >= 8 && std::memcmp(p + pos + 4, "Exif\0\0", 6) == 0) {
            QByteArray v = vignetteDansExif(p + pos + 10, longueur - 8);
            if (!v.isEmpty())
                return v;
        }
        pos += 2 + longueur;
    }
    return {};
}

QByteArray segmentExif(const QByteArray& jpegVignette)
{
    // "Exif\0\0", then a little-endian TIFF: IFD0 at 8 (one entry), IFD1 at 26 (three entries), the
    // thumbnail at 68.
    QByteArray s("Exif\0\0", 6);
    auto u16 = [&](quint16 v) { s.append(char(v & 0xFF)).append(char(v >> 8)); };
    auto u32 = [&](quint32 v) { u16(quint16(v & 0xFFFF)); u16(quint16(v >> 16)); };
    auto entree = [&](quint16 etiquette, quint16 type, quint32 valeur) {
        u16(etiquette); u16(type); u32(1);
        if (type == 3) { u16(quint16(valeur)); u16(0); } else { u32(valeur); }
    };
    s.append("II*\0", 4);
    u32(8);
    u16(1);
    entree(0x0128, 3, 2);  // resolution unit: inch
    u32(26);
    u16(3);
    entree(0x0103, 3, 6);  // compression: JPEG
    entree(0x0201, 4, 68);
    entree(0x0202, 4, quint32(jpegVignette.size()));
    u32(0);
    s.append(jpegVignette);
    return s;
}

}  // namespace kal::image::interne
