// JPEG decoding on more than one core: a file with restart markers cut into bands decoded on every
// core, and the display copy of a file without them: a large one read on every core
// (jpegentropie.cpp), the others resampled on a second core as they are decoded.
// Functions that call setjmp hold only plain data (see jpeginterne.h).
#include "platform/imaging/codecs/jpeginterne.h"

#include "platform/imaging/pixels.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace kal::image::interne {

// ---- decoding in bands ------------------------------------------------------------------------------
// A file with restart markers (cameras write them; so do we) is cut at the markers into bands of
// whole rows of blocks, each decoded on its own core as a small JPEG file of its own: the header
// with the band's height, the band's entropy-coded intervals (restart markers renumbered from 0)
// and an end marker. The pixels are those of a decode of the whole file.

// The file's layout when it can be decoded in bands: one interleaved sequential Huffman scan with
// a restart interval, every restart marker in place, ended by the end marker.
bool decouper(const QByteArray& donnees, Bandes& b)
{
    const auto* p = reinterpret_cast<const uchar*>(donnees.constData());
    const qsizetype n = donnees.size();
    qsizetype pos = 2;
    int composantes = 0, hmax = 1, vmax = 1, largeur = 0;
    while (true) {
        while (pos < n && p[pos] != 0xFF)
            ++pos;
        while (pos < n && p[pos] == 0xFF)
            ++pos;
        if (pos + 3 > n)
            return false;
        const int marqueur = p[pos++];
        if (marqueur == 0xD8 || marqueur == 0xD9 || marqueur == 0x01 || (marqueur >= 0xD0 && marqueur <= 0xD7))
            return false;
        const int longueur = (p[pos] << 8) | p[pos + 1];
        if (longueur < 2 || pos + longueur > n)
            return false;
        const uchar* s = p + pos + 2;
        if (marqueur == 0xC0 || marqueur == 0xC1) {
            if (composantes || longueur < 8)
                return false;
            composantes = s[5];
            if (composantes < 1 || longueur < 8 + 3 * composantes)
                return false;
            b.hauteur = (s[1] << 8) | s[2];
            largeur = (s[3] << 8) | s[4];
            for (int c = 0; c < composantes; ++c) {
                hmax = std::max(hmax, s[7 + 3 * c] >> 4);
                vmax = std::max(vmax, s[7 + 3 * c] & 15);
            }
            b.posHauteur = pos + 3;
        } else if ((marqueur >= 0xC2 && marqueur <= 0xCF && marqueur != 0xC4 && marqueur != 0xCC) || marqueur == 0xDC) {
            return false;  // progressive, lossless, hierarchical, arithmetic coding, DNL
        } else if (marqueur == 0xDD && longueur == 4) {
            b.intervalle = (s[0] << 8) | s[1];
        } else if (marqueur == 0xDA) {
            if (!composantes || s[0] != composantes)
                return false;
            b.debutDonnees = pos + longueur;
            break;
        }
        pos += longueur;
    }
    if (b.intervalle <= 0 || b.hauteur <= 0 || largeur <= 0)
        return false;
    // A scan of one component has blocks for MCUs, whatever its sampling factors.
    const int mcuL = composantes == 1 ? 8 : 8 * hmax;
    b.hauteurMcu = composantes == 1 ? 8 : 8 * vmax;
    b.mcusParLigne = (largeur + mcuL - 1) / mcuL;
    b.lignesMcu = (b.hauteur + b.hauteurMcu - 1) / b.hauteurMcu;

    // The markers, looked for on every core: in entropy-coded data 0xFF is always followed by 0x00
    // (a data byte), 0xFF (fill) or a marker.
    const qsizetype debut = b.debutDonnees;
    const int morceaux = std::max(1, std::min<int>(int((n - debut) >> 16), fils()));
    std::vector<std::vector<qsizetype>> trouvees(morceaux);
    std::vector<qsizetype> fins(morceaux, -1);
    enParallele(morceaux, 1, [&](int m0, int m1) {
        for (int m = m0; m < m1; ++m) {
            const qsizetype a = debut + (n - debut) * m / morceaux, z = debut + (n - debut) * (m + 1) / morceaux;
            for (qsizetype i = a; i < z;) {
                const void* f = std::memchr(p + i, 0xFF, size_t(z - i));
                if (!f)
                    break;
                i = static_cast<const uchar*>(f) - p;
                if (i + 1 >= n)
                    break;
                const uchar suivant = p[i + 1];
                if (suivant >= 0xD0 && suivant <= 0xD7) {
                    trouvees[m].push_back(i);
                    i += 2;
                } else if (suivant == 0x00 || suivant == 0xFF) {
                    i += 1;
                } else {
                    fins[m] = i;
                    break;
                }
            }
        }
    });
    b.finDonnees = -1;
    for (int m = 0; m < morceaux && b.finDonnees < 0; ++m) {
        b.reprises.insert(b.reprises.end(), trouvees[m].begin(), trouvees[m].end());
        b.finDonnees = fins[m];
    }
    if (b.finDonnees < 0 || b.finDonnees + 1 >= n || p[b.finDonnees + 1] != 0xD9)
        return false;
    const qint64 mcus = qint64(b.mcusParLigne) * b.lignesMcu;
    if (qint64(b.reprises.size()) != (mcus + b.intervalle - 1) / b.intervalle - 1)
        return false;
    for (size_t k = 0; k < b.reprises.size(); ++k)
        if (p[b.reprises[k] + 1] != 0xD0 + (k & 7))
            return false;
    return true;
}

namespace {

// One band: rows of blocks [debut, fin) of the file as a small JPEG of their own.
QByteArray fichierBande(const QByteArray& donnees, const Bandes& b, int debut, int fin)
{
    const qint64 i0 = qint64(debut) * b.mcusParLigne / b.intervalle;
    const qint64 i1 = qint64(fin) * b.mcusParLigne / b.intervalle;
    const qsizetype a = i0 == 0 ? b.debutDonnees : b.reprises[size_t(i0 - 1)] + 2;
    const qsizetype z = fin == b.lignesMcu ? b.finDonnees : b.reprises[size_t(i1 - 1)];
    QByteArray f;
    f.reserve(b.debutDonnees + (z - a) + 2);
    f.append(donnees.constData(), b.debutDonnees);
    const int hauteur = std::min(fin * b.hauteurMcu, b.hauteur) - debut * b.hauteurMcu;
    f[b.posHauteur] = char(hauteur >> 8);
    f[b.posHauteur + 1] = char(hauteur & 0xFF);
    f.append(donnees.constData() + a, z - a);
    for (qint64 k = i0; k + 1 < i1; ++k)
        f[b.reprises[size_t(k)] + 1 - a + b.debutDonnees] = char(0xD0 + ((k - i0) & 7));
    f.append("\xFF\xD9", 2);
    return f;
}

}  // namespace

// Decodes the bands into `lignes` (the output rows of the whole picture). False when a band
// fails: the caller then decodes the whole file in one, which reports the damage as it is.
bool decoderEnBandes(const QByteArray& donnees, const Bandes& b, int denominateur, bool contexte, J_COLOR_SPACE espace,
                     JDIMENSION largeur, uchar** lignes, int hauteurSortie)
{
    // The cuts: rows of blocks that start a restart interval.
    std::vector<int> coupes;
    for (int r = 0; r <= b.lignesMcu; ++r)
        if (r == b.lignesMcu || (qint64(r) * b.mcusParLigne) % b.intervalle == 0)
            coupes.push_back(r);
    // More bands than threads, taken by whichever thread is free; fewer when each band also
    // decodes an interval on either side for the chroma's context.
    const int nb = std::min<int>((contexte ? 2 : 4) * fils(), int(coupes.size()) - 1);
    if (nb < 2)
        return false;
    // Bands of about equal work: half the entropy-coded bytes, half the rows.
    auto octetsAvant = [&](int r) -> double {
        if (r == b.lignesMcu)
            return double(b.finDonnees - b.debutDonnees);
        const qint64 i = qint64(r) * b.mcusParLigne / b.intervalle;
        return i == 0 ? 0.0 : double(b.reprises[size_t(i - 1)] - b.debutDonnees);
    };
    const double parLigne = octetsAvant(b.lignesMcu) / b.lignesMcu;
    auto cout = [&](int r) { return octetsAvant(r) + r * parLigne; };
    const double total = cout(b.lignesMcu);
    std::vector<size_t> bornes{0};
    for (int k = 1; k < nb; ++k) {
        size_t j = bornes.back() + 1;
        while (j + 1 < coupes.size() && cout(coupes[j]) < total * k / nb)
            ++j;
        if (j + 1 >= coupes.size())
            break;
        bornes.push_back(j);
    }
    bornes.push_back(coupes.size() - 1);
    const int bandes = int(bornes.size()) - 1;
    if (bandes < 2)
        return false;
    const int lignesParMcu = b.hauteurMcu / denominateur;
    std::vector<char> reussie(size_t(bandes), 0);
    enParallele(bandes, 1, [&](int k0, int k1) {
        std::vector<uchar> jetable(size_t(largeur) * 4), tampon(espace == JCS_CMYK ? size_t(largeur) * 4 : 0);
        std::vector<uchar*> locales;
        for (int k = k0; k < k1; ++k) {
            const size_t ja = bornes[size_t(k)], jz = bornes[size_t(k) + 1];
            const int debut = coupes[ja], fin = coupes[jz];
            // With vertical chroma context, one more interval on either side, decoded and left.
            const int avant = contexte && ja > 0 ? coupes[ja - 1] : debut;
            const int apres = contexte && jz + 1 < coupes.size() ? coupes[jz + 1] : fin;
            const QByteArray f = fichierBande(donnees, b, avant, apres);
            Decodeur d;
            if (!lireEntete(&d, reinterpret_cast<const uchar*>(f.constData()), (unsigned long)f.size(), denominateur)
                || d.cinfo.output_width != largeur || d.cinfo.out_color_space != espace)
                return;
            const int premiere = avant * lignesParMcu;  // the band's first output row in the picture
            const int n = int(d.cinfo.output_height);
            if (premiere + n > hauteurSortie)
                return;
            locales.assign(size_t(n), jetable.data());
            for (int j = 0; j < n; ++j) {
                const int y = premiere + j;
                if (y >= debut * lignesParMcu && y < std::min(fin * lignesParMcu, hauteurSortie))
                    locales[size_t(j)] = lignes[y];
            }
            if (!lirePixels(&d, locales.data(), tampon.data()) || d.g.donneesAbimees)
                return;
            reussie[size_t(k)] = 1;
        }
    });
    return std::all_of(reussie.begin(), reussie.end(), [](char c) { return c != 0; });
}

// ---- the display copy, decoded and resampled row by row ----------------------------------------------
// A file without restart markers that the reader of jpegentropie.cpp does not take (small,
// progressive, unusual sampling, irregular data) is decoded by libjpeg on one core: its rows go
// through a ring of a few dozen rows to a second core that resamples them as they come. No picture
// at the decoding's scale is ever held whole, and the resampling is done by the time the last row is.

namespace {

// The decoding's start and one call of jpeg_read_scanlines, behind their own setjmp (plain data
// only, see jpeginterne.h). False on a fatal error or lost data (message in d->g).
bool commencer(Decodeur* d)
{
    if (setjmp(d->g.saut))
        return false;
    jpeg_start_decompress(&d->cinfo);
    return true;
}

bool lireLignes(Decodeur* d, JSAMPARRAY lignes, JDIMENSION n, JDIMENSION* lues)
{
    if (setjmp(d->g.saut))
        return false;
    *lues = jpeg_read_scanlines(&d->cinfo, lignes, n);
    return true;
}

bool terminer(Decodeur* d)
{
    if (setjmp(d->g.saut))
        return false;
    jpeg_finish_decompress(&d->cinfo);
    return true;
}

// What the decoding thread and the resampling thread share.
struct Anneau {
    std::mutex m;
    std::condition_variable cv;
    int decodees = 0;   // source rows decoded
    int utile = 0;      // first source row the resampling still needs
    bool arret = false;
    std::exception_ptr erreur;
};

}  // namespace

QImage lireJpegReduite(const QByteArray& donnees, QSize cible)
{
    // The whole decode, then the resampling: pictures already the size asked, grey and CMYK
    // pictures, and large ones with restart markers (decoded in bands on every core).
    const auto entiere = [&] {
        const QImage r = lireJpeg(donnees, cible);
        return r.size() == cible ? enRgb32(r) : reechantillonner(r, cible.width(), cible.height());
    };
    InfoFichier info;
    if (!cible.isValid() || cible.isEmpty() || !enteteJpeg(donnees, info, donnees.size()))
        return entiere();
    Decodeur d;
    ouvrirDecodeur(d, donnees, info, cible);
    const int l = int(d.cinfo.output_width), h = int(d.cinfo.output_height);
    Bandes bandes;
    if (d.cinfo.out_color_space == JCS_GRAYSCALE || d.cinfo.out_color_space == JCS_CMYK || QSize(l, h) == cible
        || (qint64(l) * h >= (qint64(1) << 20) && decouper(donnees, bandes)))
        return entiere();
    // A large file without restart markers: its coded data read on every core.
    if (const QImage r = lireSurTousLesCoeurs(donnees, d.cinfo); !r.isNull())
        return r.size() == cible ? r : reechantillonner(r, cible.width(), cible.height());

    ReechantillonnageFlux flux(QSize(l, h), cible);
    // The ring: the rows one target row needs, and room for the decoder to run ahead.
    const int pasLecture = std::max(1, int(d.cinfo.rec_outbuf_height) * 8);
    const int rang = flux.fenetre() + 2 * pasLecture + 16;
    const size_t pas = size_t(l) * 4;
    std::vector<uchar> anneau(pas * size_t(rang));
    const auto ligne = [&](int i) -> uchar* { return anneau.data() + pas * size_t(i % rang); };

    Anneau a;
    std::thread reechantillonnage([&] {
        try {
            int vues = 0;   // rows already offered to the resampling
            std::unique_lock<std::mutex> verrou(a.m);
            while (!flux.fini()) {
                a.cv.wait(verrou, [&] { return a.arret || a.decodees > vues; });
                if (a.arret)
                    return;
                vues = a.decodees;
                verrou.unlock();
                flux.avancer(vues, [&](int i) -> const uint8_t* { return ligne(i); });
                verrou.lock();
                a.utile = flux.premiereUtile();
                a.cv.notify_all();
            }
        } catch (...) {
            std::lock_guard<std::mutex> g(a.m);
            a.erreur = std::current_exception();
            a.arret = true;
            a.cv.notify_all();
        }
    });
    const auto arreter = [&] {
        {
            std::lock_guard<std::mutex> g(a.m);
            a.arret = true;
        }
        a.cv.notify_all();
        reechantillonnage.join();
    };

    bool ok = commencer(&d);
    std::vector<uchar*> lignes(static_cast<size_t>(pasLecture));
    while (ok && int(d.cinfo.output_scanline) < h) {
        const int y = int(d.cinfo.output_scanline);
        const int n = std::min(pasLecture, h - y);
        {
            std::unique_lock<std::mutex> verrou(a.m);
            a.cv.wait(verrou, [&] { return a.arret || y + n - a.utile <= rang; });
            if (a.arret)
                break;
        }
        for (int k = 0; k < n; ++k)
            lignes[size_t(k)] = ligne(y + k);
        JDIMENSION lues = 0;
        ok = lireLignes(&d, lignes.data(), JDIMENSION(n), &lues) && lues > 0;
        {
            std::lock_guard<std::mutex> g(a.m);
            a.decodees = y + int(lues);
        }
        a.cv.notify_all();
    }
    ok = ok && int(d.cinfo.output_scanline) == h && terminer(&d) && !d.g.donneesAbimees;
    if (!ok) {
        arreter();
        if (a.erreur)
            std::rethrow_exception(a.erreur);
        echecJpeg(d.g);
    }
    reechantillonnage.join();
    if (a.erreur)
        std::rethrow_exception(a.erreur);
    return flux.resultat();
}

}  // namespace kal::image::interne
