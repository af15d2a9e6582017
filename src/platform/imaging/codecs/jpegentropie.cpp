// A large JPEG file without restart markers, decoded on every core: whole, or as a display copy.
//
// Without restart markers the Huffman-coded data is one chain: where a block starts depends on
// every block before it, so libjpeg reads it on one core, and that read is most of the time a
// camera file takes to reach the screen. Huffman codes resynchronise, though: a reader started at
// any bit soon falls in step with the true chain of codes. So the data is cut into as many pieces
// as there are cores times four, and each piece is read from its first bit as if a block of the
// first component started there, noting where each block it reads starts (bit and place in the
// unit of blocks). Then, piece after piece, the true chain arriving from the piece before is
// matched against those notes: from the first block where the two agree, the rest of the piece
// is the true one; only the few blocks before it are read again. Then the DC differences are
// summed along the chain and the blocks turned into samples, the chroma enlarged and the colours
// converted, all on every core:
// - at full size, each run of the chain is read a second time straight into libjpeg's own integer
//   inverse transform, chroma enlargement and colour conversion: its very pixels;
// - reduced to n/8, the low n x n coefficients kept at the first reading give each block at that
//   size (near, not equal, to libjpeg's reduced transforms).
//
// Only the plain case is taken: one interleaved baseline scan of the three YCbCr components,
// 8-bit, the luma at full sampling and the chroma at full or half, no restart interval. For
// anything else, and at the least irregularity in the data (a code no table has, data ending
// early, a marker inside), a null picture is returned and the caller decodes with libjpeg, which
// reports the damage as it does.
#include "platform/imaging/codecs/jpegentropie.h"

#include "platform/base/erreur.h"
#include "platform/imaging/pixels.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <new>
#include <vector>

namespace kal::image::interne {

using namespace entropie;

namespace {

// Bytes from the pixel work's reserve, as the rows of a picture of one byte a pixel.
QImage memoireBrute(size_t octets)
{
    return nouvelleImage(4096, int(std::max<size_t>(1, (octets + 4095) / 4096)), QImage::Format_Grayscale8);
}

// From `debut` to the marker that ends the scan. False when the data is not plain: a restart
// marker, no marker before the file's end, or a marker other than the end of the picture.
bool extraire(const uint8_t* debut, const uint8_t* fin, Bits& b)
{
    b.memoire = memoireBrute(size_t(fin - debut) + Marge);
    b.octets = b.memoire.bits();
    uint8_t* d = b.octets;
    const uint8_t* s = debut;
    for (;;) {
        const auto* ff = static_cast<const uint8_t*>(std::memchr(s, 0xFF, size_t(fin - s)));
        if (!ff)
            return false;
        std::memcpy(d, s, size_t(ff - s));
        d += ff - s;
        s = ff + 1;
        while (s < fin && *s == 0xFF)  // fill bytes before a marker
            ++s;
        if (s == fin)
            return false;
        if (*s == 0x00) {
            *d++ = 0xFF;
            ++s;
            continue;
        }
        if (*s != 0xD9)  // a restart marker, or anything but the end of the picture
            return false;
        break;
    }
    b.nombre = uint64_t(d - b.octets) * 8;
    std::memset(d, 0, Marge);
    return true;
}

void construireCoefficients(TableHuff& h)
{
    for (int i = 0; i < (1 << bitsRapides); ++i) {
        const unsigned e = h.rapide[size_t(i)];
        if (!e)
            continue;
        const int l = int(e >> 8), r = int(e & 0xFF) >> 4, t = int(e & 15);
        uint32_t entree = 0;
        if (!t)
            entree = uint32_t(l) | (r == 15 ? 15u << 8 : 0xFFu << 8);
        else if (l + t <= bitsRapides) {
            const int valeur = etendre(uint32_t(i >> (bitsRapides - l - t)) & ((1u << t) - 1), t);
            entree = uint32_t(l + t) | uint32_t(r) << 8 | uint32_t(uint16_t(int16_t(valeur))) << 16;
        }
        h.coefficient[size_t(i)] = entree;
    }
}

// False for a table the decoder would refuse (it then says so).
bool construire(const JHUFF_TBL* t, TableHuff& h, bool dc)
{
    if (!t)
        return false;
    int total = 0;
    for (int l = 1; l <= 16; ++l)
        total += t->bits[l];
    if (total > 256 || total == 0)
        return false;
    std::copy(t->huffval, t->huffval + 256, h.valeurs.begin());
    if (dc && std::any_of(t->huffval, t->huffval + total, [](UINT8 v) { return v > 15; }))
        return false;
    int code = 0, k = 0;
    for (int l = 1; l <= 16; ++l) {
        const int n = t->bits[l];
        h.maxcode[size_t(l)] = n ? code + n - 1 : -1;
        h.decalage[size_t(l)] = k - code;
        for (int i = 0; i < n; ++i, ++code, ++k) {
            if (l <= bitsRapides) {
                const int premier = code << (bitsRapides - l), nb = 1 << (bitsRapides - l);
                for (int j = 0; j < nb; ++j)
                    h.rapide[size_t(premier + j)] = uint16_t((l << 8) | t->huffval[k]);
            }
        }
        if (n && code >= (1 << l))  // more codes than the length holds, or a code of all ones
            return false;
        code <<= 1;
    }
    h.maxcode[17] = INT32_MAX;
    return true;
}

// jpeg_natural_order, as every JPEG reader has it: zig-zag index -> row-major index.
constexpr std::array<uint8_t, 64> naturel = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

bool preparerPlan(const jpeg_decompress_struct& c, Plan& p)
{
    if (c.progressive_mode || c.arith_code || c.data_precision != 8 || c.restart_interval != 0 || c.num_components != 3
        || c.comps_in_scan != 3 || c.jpeg_color_space != JCS_YCbCr || c.Ss != 0 || c.Se != 63 || c.Ah != 0 || c.Al != 0
        || c.scale_num != 1 || (c.scale_denom != 1 && c.scale_denom != 2 && c.scale_denom != 4 && c.scale_denom != 8))
        return false;
    p.n = 8 / int(c.scale_denom);
    p.exact = p.n == 8;
    p.hMax = c.max_h_samp_factor;
    p.vMax = c.max_v_samp_factor;
    // The luma at full sampling (as every camera writes it), the chroma at full or half.
    if (p.hMax < 1 || p.hMax > 2 || p.vMax < 1 || p.vMax > 2 || c.comp_info[0].h_samp_factor != p.hMax
        || c.comp_info[0].v_samp_factor != p.vMax)
        return false;
    for (int i = 0; i < 3; ++i) {
        const jpeg_component_info& ci = c.comp_info[i];
        if (ci.h_samp_factor < 1 || ci.v_samp_factor < 1 || ci.h_samp_factor > 2 || ci.v_samp_factor > 2)
            return false;
        p.h[size_t(i)] = ci.h_samp_factor;
        p.v[size_t(i)] = ci.v_samp_factor;
        const JQUANT_TBL* q = ci.quant_tbl_no >= 0 && ci.quant_tbl_no < NUM_QUANT_TBLS ? c.quant_tbl_ptrs[ci.quant_tbl_no] : nullptr;
        if (!q)
            return false;
        for (int k = 0; k < 64; ++k) {
            p.quant[size_t(i)][size_t(k)] = float(q->quantval[k]);
            p.quantEntiere[size_t(i)][size_t(k)] = int32_t(q->quantval[k]);
        }
        for (int u = 0; u < 4; ++u)
            for (int v = 0; v < 4; ++v)
                p.quantColonnes[size_t(i)][size_t(u * 4 + v)] = float(q->quantval[v * 8 + u]);
    }
    p.mcusX = int((c.image_width + unsigned(8 * p.hMax) - 1) / unsigned(8 * p.hMax));
    p.mcusY = int((c.image_height + unsigned(8 * p.vMax) - 1) / unsigned(8 * p.vMax));
    std::array<bool, 8> construite{};
    int b = 0;
    for (int s = 0; s < 3; ++s) {
        const jpeg_component_info* ci = c.cur_comp_info[s];
        const int i = int(ci - c.comp_info);
        if (i < 0 || i > 2 || ci->dc_tbl_no < 0 || ci->dc_tbl_no > 3 || ci->ac_tbl_no < 0 || ci->ac_tbl_no > 3)
            return false;
        const size_t td = size_t(ci->dc_tbl_no), ta = size_t(4 + ci->ac_tbl_no);
        if (!construite[td] && !(construite[td] = construire(c.dc_huff_tbl_ptrs[td], p.tables[td], true)))
            return false;
        if (!construite[ta]) {
            if (!(construite[ta] = construire(c.ac_huff_tbl_ptrs[ta - 4], p.tables[ta], false)))
                return false;
            construireCoefficients(p.tables[ta]);
        }
        for (int y = 0; y < ci->v_samp_factor; ++y)
            for (int x = 0; x < ci->h_samp_factor; ++x, ++b) {
                if (b >= 10)
                    return false;
                p.comp[size_t(b)] = i;
                p.dx[size_t(b)] = x;
                p.dy[size_t(b)] = y;
                p.dc[size_t(b)] = &p.tables[td];
                p.ac[size_t(b)] = &p.tables[ta];
            }
    }
    p.blocsParMcu = b;
    for (int k = 0; k < 80; ++k) {
        const int nat = naturel[size_t(std::min(k, 63))];
        const int ligne = nat / 8, col = nat % 8;
        p.garde[size_t(k)] = int8_t(!p.exact && ligne < p.n && col < p.n ? col * p.n + ligne : -1);  // by columns
        p.gardeNaturel[size_t(k)] = int8_t(nat);
    }
    return true;
}

// The blocks one piece read: where each started, (bit << 8) | place in the unit, and their
// coefficients, n x n each.
struct Releve {
    uint64_t* cles = nullptr;
    int16_t* coefs = nullptr;  // not zeroed: each block clears its own
    size_t nombre = 0, capacite = 0;
    uint64_t sortie = 0;  // where the first block past the piece starts, (bit << 8) | place
    std::unique_ptr<uint64_t[]> clesPropres;  // once the room given is full
    std::unique_ptr<int16_t[]> coefsPropres;

    void placer(uint64_t* c, int16_t* k, size_t blocs)
    {
        cles = c;
        coefs = k;
        capacite = blocs;
    }
    int16_t* ajouter(uint64_t cle, int taille)
    {
        if (nombre == capacite) {
            const size_t c = std::max<size_t>(2 * capacite, 1024);
            auto nc = std::make_unique_for_overwrite<uint64_t[]>(c);
            auto nk = std::make_unique_for_overwrite<int16_t[]>(c * size_t(taille));
            std::copy(cles, cles + nombre, nc.get());
            std::copy(coefs, coefs + nombre * size_t(taille), nk.get());
            clesPropres = std::move(nc);
            coefsPropres = std::move(nk);
            placer(clesPropres.get(), coefsPropres.get(), c);
        }
        cles[nombre] = cle;
        return coefs + nombre++ * size_t(taille);
    }
    void vider() { nombre = 0; }
    const uint64_t* debut() const { return cles; }
    const uint64_t* fin() const { return cles + nombre; }
};

// The speculative read of one piece, [debut, fin) in bits, from a block of place 0.
void lirePiece(const Bits& b, const Plan& p, uint64_t debut, uint64_t fin, Releve& r)
{
    const int taille = p.taille();
    uint64_t pos = debut;
    int k = 0;
    const uint64_t limite = std::min(fin, b.nombre);
    while (pos < limite) {
        int16_t* out = r.ajouter((pos << 8) | uint64_t(k), taille);
        if (!lireBloc(b.octets, pos, *p.dc[size_t(k)], *p.ac[size_t(k)], p.garde.data(), out, taille)) {
            // Not in step yet (or damaged data): what was read so far cannot be part of the true
            // chain past this point; start again one bit further on.
            r.vider();
            ++pos;
            k = 0;
            continue;
        }
        k = k + 1 == p.blocsParMcu ? 0 : k + 1;
    }
    r.sortie = (pos << 8) | uint64_t(k);
}

QImage decoder(const QByteArray& donnees, const jpeg_decompress_struct& c, const Plan& p, int coeurs)
{
    const auto* debut = reinterpret_cast<const uint8_t*>(c.src->next_input_byte);
    const auto* fin = reinterpret_cast<const uint8_t*>(donnees.constData()) + donnees.size();
    if (debut < reinterpret_cast<const uint8_t*>(donnees.constData()) || debut >= fin)
        return {};
    Bits b;
    if (!extraire(debut, fin, b) || b.nombre == 0)
        return {};
    // The pieces, read on every core.
    const int pieces = int(std::clamp<uint64_t>(b.nombre / (8 * 16384), 1, uint64_t(4 * coeurs)));
    if (pieces < 2)
        return {};
    std::vector<uint64_t> bornes(size_t(pieces) + 1);
    for (int j = 0; j <= pieces; ++j)
        bornes[size_t(j)] = b.nombre * uint64_t(j) / uint64_t(pieces);
    const int taille = p.taille();
    const uint64_t total = p.blocs();
    std::vector<Releve> releves(static_cast<size_t>(pieces));
    // Each piece's room for its blocks in one stretch of the reserve: its share of the blocks by
    // its share of the bits, and a quarter more (a piece that needs more moves to memory of its own).
    const size_t parBloc = 8 + size_t(taille) * 2;
    std::vector<size_t> places(static_cast<size_t>(pieces)), debuts(static_cast<size_t>(pieces));
    size_t blocsEnTout = 0;
    for (int j = 0; j < pieces; ++j) {
        const uint64_t part = total * (bornes[size_t(j) + 1] - bornes[size_t(j)]) / b.nombre;
        places[size_t(j)] = size_t(part + part / 4 + 64);
        debuts[size_t(j)] = blocsEnTout;
        blocsEnTout += places[size_t(j)];
    }
    if (blocsEnTout * parBloc > (size_t(512) << 20))
        return {};  // the decoder's way needs only rows
    QImage memoireBlocs = memoireBrute(blocsEnTout * parBloc);
    uchar* const zone = memoireBlocs.bits();
    enParallele(pieces, 1, [&](int j0, int j1) {
        for (int j = j0; j < j1; ++j) {
            Releve& r = releves[size_t(j)];
            // Every piece's notes first, then every piece's coefficients: each array aligned.
            r.placer(reinterpret_cast<uint64_t*>(zone) + debuts[size_t(j)],
                     reinterpret_cast<int16_t*>(zone + blocsEnTout * 8) + debuts[size_t(j)] * size_t(taille),
                     places[size_t(j)]);
            lirePiece(b, p, bornes[size_t(j)], bornes[size_t(j) + 1], r);
        }
    });
    // The true chain, piece after piece: from the first block where it meets what the piece read.
    std::vector<Troncon> troncons;
    std::vector<Releve> relus(static_cast<size_t>(pieces));  // blocks read again before the meeting
    uint64_t etat = 0, faits = 0;                              // (bit << 8) | place; blocks so far
    for (int j = 0; j < pieces && faits < total; ++j) {
        const Releve& r = releves[size_t(j)];
        const uint64_t* trouve = std::lower_bound(r.debut(), r.fin(), etat);
        if (trouve == r.fin() || *trouve != etat) {
            // Read the true chain until it meets the piece's notes, or to the piece's end.
            Releve& relu = relus[size_t(j)];
            uint64_t pos = etat >> 8;
            int k = int(etat & 0xFF);
            const uint64_t* note = r.cles;
            const uint64_t finPiece = j + 1 < pieces ? bornes[size_t(j) + 1] : UINT64_MAX;
            bool rencontre = false;
            while (pos < finPiece && faits + relu.nombre < total) {
                if (pos >= b.nombre)
                    return {};  // blocks missing: libjpeg will say so
                const uint64_t cle = (pos << 8) | uint64_t(k);
                note = std::lower_bound(note, r.fin(), cle);
                if (note != r.fin() && *note == cle) {
                    rencontre = true;
                    break;
                }
                int16_t* out = relu.ajouter(cle, taille);
                if (!lireBloc(b.octets, pos, *p.dc[size_t(k)], *p.ac[size_t(k)], p.garde.data(), out, taille)
                    || pos > b.nombre)
                    return {};  // damaged: libjpeg will say so
                k = k + 1 == p.blocsParMcu ? 0 : k + 1;
            }
            if (relu.nombre) {
                troncons.push_back({relu.cles[0], relu.coefs, uint64_t(relu.nombre), faits, {}});
                faits += relu.nombre;
            }
            etat = (pos << 8) | uint64_t(k);
            if (!rencontre)
                continue;
            trouve = note;
        }
        const uint64_t i = uint64_t(trouve - r.cles);
        const uint64_t n = std::min<uint64_t>(r.nombre - i, total - faits);
        troncons.push_back({r.cles[i], r.coefs + i * uint64_t(taille), n, faits, {}});
        faits += n;
        etat = i + n < r.nombre ? r.cles[size_t(i + n)] : r.sortie;
    }
    // Every block, and no block reading past the data.
    if (faits != total || (etat >> 8) > b.nombre)
        return {};
    // The DC values along the chain: each run's sums, then where each run starts.
    std::vector<std::array<int64_t, 3>> sommes(troncons.size());
    enParallele(int(troncons.size()), 1, [&](int t0, int t1) {
        for (int t = t0; t < t1; ++t) {
            const Troncon& tr = troncons[size_t(t)];
            std::array<int64_t, 3> s{};
            int k = int(tr.premier % uint64_t(p.blocsParMcu));
            for (uint64_t i = 0; i < tr.nombre; ++i) {
                s[size_t(p.comp[size_t(k)])] += tr.coefs[i * uint64_t(taille)];
                k = k + 1 == p.blocsParMcu ? 0 : k + 1;
            }
            sommes[size_t(t)] = s;
        }
    });
    std::array<int64_t, 3> dc{};
    for (size_t t = 0; t < troncons.size(); ++t) {
        troncons[t].dcDebut = dc;
        for (size_t ci = 0; ci < 3; ++ci)
            dc[ci] += sommes[t][ci];
    }
    // The blocks into each component's samples.
    Echantillons pl;
    for (size_t ci = 0; ci < 3; ++ci) {
        pl.plans[ci] = nouvelleImage(p.mcusX * p.h[ci] * p.n, p.mcusY * p.v[ci] * p.n, QImage::Format_Grayscale8);
        // The samples that hold data, as the decoder counts them at this scale.
        const uint64_t l = (uint64_t(c.image_width) * uint64_t(p.h[ci]) * uint64_t(p.n) + uint64_t(8 * p.hMax) - 1) / uint64_t(8 * p.hMax);
        const uint64_t h = (uint64_t(c.image_height) * uint64_t(p.v[ci]) * uint64_t(p.n) + uint64_t(8 * p.vMax) - 1) / uint64_t(8 * p.vMax);
        pl.largeurUtile[ci] = int(std::max<uint64_t>(1, l));
        pl.hauteurUtile[ci] = int(std::max<uint64_t>(1, h));
    }
    const int largeur = int((uint64_t(c.image_width) * uint64_t(p.n) + 7) / 8);
    const int hauteur = int((uint64_t(c.image_height) * uint64_t(p.n) + 7) / 8);
    std::atomic<bool> accord{true};
    enParallele(int(troncons.size()), 1, [&](int t0, int t1) {
        for (int k = t0; k < t1; ++k) {
            if (!p.exact)
                versPlans(p, troncons[size_t(k)], pl);
            else if (!versPlansExacte(p, b, troncons[size_t(k)], pl))
                accord = false;
        }
    });
    return accord ? enCouleurs(p, pl, largeur, hauteur) : QImage();
}

}  // namespace

QImage lireSurTousLesCoeurs(const QByteArray& donnees, const jpeg_decompress_struct& c)
{
    // Two megapixels at least: below, the threads would cost more than they save.
    const int coeurs = fils();
    if (coeurs < 2 || qint64(c.image_width) * c.image_height < (qint64(1) << 21))
        return {};
    Plan p;
    if (!preparerPlan(c, p))
        return {};
    try {
        return decoder(donnees, c, p, coeurs);
    } catch (const std::bad_alloc&) {
        return {};  // the caller's way takes less memory, and says so when even that fails
    } catch (const Erreur&) {
        return {};
    }
}

}  // namespace kal::image::interne
