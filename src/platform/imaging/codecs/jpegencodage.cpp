// JPEG encoding through libjpeg-turbo: in one, or for large pictures in bands on every core with
// the very bytes of one encode. The Exif segment carrying the stamp is built in vignetteexif.cpp.
// Functions that call setjmp hold only plain data (see jpeginterne.h).
#include "platform/imaging/codecs/jpeginterne.h"

#include "platform/imaging/pixels.h"

#include <algorithm>
#include <cstdlib>
#include <thread>
#include <vector>

namespace kal::image::interne {

namespace {

struct Encodeur {
    jpeg_compress_struct cinfo;
    GestionErreurs g;
    unsigned char* sortie = nullptr;
    unsigned long taille = 0;
    bool cree = false;
    ~Encodeur()
    {
        if (cree)
            jpeg_destroy_compress(&cinfo);
        std::free(sortie);
    }
};

bool encoder(Encodeur* e, const QImage* image, bool gris, int qualite, const QByteArray* app1, bool reprises)
{
    if (setjmp(e->g.saut))
        return false;
    jpeg_create_compress(&e->cinfo);
    e->cree = true;
    jpeg_mem_dest(&e->cinfo, &e->sortie, &e->taille);
    e->cinfo.image_width = JDIMENSION(image->width());
    e->cinfo.image_height = JDIMENSION(image->height());
    if (gris) {
        e->cinfo.input_components = 1;
        e->cinfo.in_color_space = JCS_GRAYSCALE;
    } else {
        e->cinfo.input_components = 4;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
        e->cinfo.in_color_space = JCS_EXT_BGRX;
#else
        e->cinfo.in_color_space = JCS_EXT_XRGB;
#endif
    }
    jpeg_set_defaults(&e->cinfo);
    jpeg_set_quality(&e->cinfo, qualite, TRUE);
    // A restart marker after every row of blocks in large pictures: the file can then be
    // decoded on every core (jpegparallele.cpp); the pixels are the same.
    if (reprises)
        e->cinfo.restart_in_rows = 1;
    if (!gris && qualite >= 90) {  // fine qualities keep full colour resolution (4:4:4)
        e->cinfo.comp_info[0].h_samp_factor = 1;
        e->cinfo.comp_info[0].v_samp_factor = 1;
    }
    if (!app1->isEmpty())
        e->cinfo.write_JFIF_header = FALSE;  // an Exif file starts with its APP1 segment
    jpeg_start_compress(&e->cinfo, TRUE);
    if (!app1->isEmpty())
        jpeg_write_marker(&e->cinfo, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(app1->constData()), unsigned(app1->size()));
    while (e->cinfo.next_scanline < e->cinfo.image_height) {
        JSAMPROW ligne = const_cast<JSAMPROW>(image->constScanLine(int(e->cinfo.next_scanline)));
        jpeg_write_scanlines(&e->cinfo, &ligne, 1);
    }
    jpeg_finish_compress(&e->cinfo);
    return true;
}

// Where the coded data of an encoder's output starts (after the scan header), and the frame
// header's height field.
bool analyserSortie(const QByteArray& f, qsizetype& debutDonnees, qsizetype& posHauteur)
{
    const auto* p = reinterpret_cast<const uchar*>(f.constData());
    const qsizetype n = f.size();
    posHauteur = -1;
    for (qsizetype pos = 2; pos + 4 <= n;) {
        if (p[pos] != 0xFF)
            return false;
        const int marqueur = p[pos + 1];
        const qsizetype longueur = (p[pos + 2] << 8) | p[pos + 3];
        if (marqueur == 0xC0 || marqueur == 0xC1)
            posHauteur = pos + 5;
        if (marqueur == 0xDA) {
            debutDonnees = pos + 2 + longueur;
            return posHauteur > 0 && debutDonnees + 2 <= n && p[n - 2] == 0xFF && p[n - 1] == 0xD9;
        }
        pos += 2 + longueur;
    }
    return false;
}

// Encoding in bands: with a restart marker after every row of blocks, each interval is coded on
// its own (the DC predictions start again, the bits end on a byte), so bands of rows of blocks
// encoded on separate cores, their coded data joined with the restart markers renumbered in
// sequence, make the very bytes of one encode. Empty when it cannot be done (the caller then
// encodes in one).
QByteArray encoderEnBandes(const QImage& image, bool gris, int qualite, const QByteArray& app1, int hauteurMcu)
{
    const int h = image.height();
    const int lignesMcu = (h + hauteurMcu - 1) / hauteurMcu;
    // More bands than threads, taken by whichever thread is free (a band is at least 4 rows of
    // blocks, so that the headers and tables of each stay a small part of its work).
    const int nb = std::min(4 * fils(), lignesMcu / 4);
    if (nb < 2)
        return {};
    std::vector<int> debuts(size_t(nb) + 1);
    for (int k = 0; k <= nb; ++k)
        debuts[size_t(k)] = int(qint64(lignesMcu) * k / nb);
    std::vector<QByteArray> sorties(static_cast<size_t>(nb));
    const QByteArray vide;
    enParallele(nb, 1, [&](int k0, int k1) {
        for (int k = k0; k < k1; ++k) {
            const int y0 = debuts[size_t(k)] * hauteurMcu, y1 = std::min(debuts[size_t(k) + 1] * hauteurMcu, h);
            const QImage bande(image.constBits() + qsizetype(y0) * image.bytesPerLine(), image.width(), y1 - y0,
                               image.bytesPerLine(), image.format());  // the rows themselves, not a copy
            Encodeur e;
            preparer(e.g);
            e.cinfo.err = &e.g.pub;
            if (encoder(&e, &bande, gris, qualite, k == 0 ? &app1 : &vide, true))
                sorties[size_t(k)] = QByteArray(reinterpret_cast<const char*>(e.sortie), qsizetype(e.taille));
        }
    });
    qsizetype total = 0;
    for (const QByteArray& s : sorties) {
        if (s.isEmpty())
            return {};
        total += s.size();
    }
    QByteArray f;
    f.reserve(total);
    for (int k = 0; k < nb; ++k) {
        const QByteArray& s = sorties[size_t(k)];
        qsizetype debut = 0, posHauteur = 0;
        if (!analyserSortie(s, debut, posHauteur))
            return {};
        if (k == 0) {
            f.append(s.constData(), debut);
            f[posHauteur] = char(h >> 8);
            f[posHauteur + 1] = char(h & 0xFF);
        }
        const qsizetype ici = f.size();
        f.append(s.constData() + debut, s.size() - 2 - debut);
        // The band's own markers follow its intervals: renumbered from its first row of blocks.
        auto* p = reinterpret_cast<uchar*>(f.data());
        int j = 0;
        for (qsizetype i = ici; i + 1 < f.size(); ++i)
            if (p[i] == 0xFF && p[i + 1] >= 0xD0 && p[i + 1] <= 0xD7)
                p[i + 1] = uchar(0xD0 + ((debuts[size_t(k)] + j++) & 7));
        if (j != debuts[size_t(k) + 1] - debuts[size_t(k)] - 1)
            return {};
        if (k + 1 < nb) {
            f.append(char(0xFF));
            f.append(char(0xD0 + ((debuts[size_t(k) + 1] - 1) & 7)));
        }
    }
    f.append("\xFF\xD9", 2);
    return f;
}

}  // namespace

QByteArray ecrireJpeg(const QImage& source, bool gris, int qualite, const QByteArray& app1, bool enBandes)
{
    const QImage image = gris ? enGris(source) : formeOpaque(source);
    if (image.isNull())
        echec(err::EcritureImpossible, QStringLiteral("mémoire insuffisante"));
    if (image.width() > 65500 || image.height() > 65500)
        echec(err::EcritureImpossible, QStringLiteral("image trop grande pour JPEG"));
    if (app1.size() > 65533)
        echec(err::EcritureImpossible, QStringLiteral("vignette trop grande (%1 octets)").arg(app1.size()));
    const int q = qBound(1, qualite, 100);
    const bool reprises = qint64(image.width()) * image.height() >= (qint64(1) << 20);
    if (reprises && enBandes) {
        // Rows of blocks: 16 rows in colour at 4:2:0 (qualities below 90), else 8.
        const QByteArray f = encoderEnBandes(image, gris, q, app1, !gris && q < 90 ? 16 : 8);
        if (!f.isEmpty())
            return f;
    }
    Encodeur e;
    preparer(e.g);
    e.cinfo.err = &e.g.pub;
    if (!encoder(&e, &image, gris, q, &app1, reprises))
        echec(err::EcritureImpossible, QStringLiteral("JPEG: ") + QString::fromLocal8Bit(e.g.message));
    return QByteArray(reinterpret_cast<const char*>(e.sortie), qsizetype(e.taille));
}

}  // namespace kal::image::interne
