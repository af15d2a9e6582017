// The layer's own compressed format (code 5, extension CMP): a JPEG 2000 file (JP2 boxes around
// the codestream) written and read with openjpeg. Quality: see docs/image-files.md.
#include "platform/imaging/codecs/interne.h"

#include <QThread>

#include <algorithm>
#include <cstring>
#include <memory>

#include <openjpeg.h>

namespace kal::image::interne {

namespace {

// ---- memory streams ---------------------------------------------------------------------------------

struct Lecture {
    const uchar* donnees;
    OPJ_SIZE_T taille;
    OPJ_SIZE_T pos;
};

OPJ_SIZE_T lireFlux(void* tampon, OPJ_SIZE_T n, void* u)
{
    auto* l = static_cast<Lecture*>(u);
    if (l->pos >= l->taille)
        return OPJ_SIZE_T(-1);
    const OPJ_SIZE_T k = std::min(n, l->taille - l->pos);
    std::memcpy(tampon, l->donnees + l->pos, k);
    l->pos += k;
    return k;
}

OPJ_OFF_T sauterLecture(OPJ_OFF_T n, void* u)
{
    auto* l = static_cast<Lecture*>(u);
    if (n < 0) {
        const OPJ_SIZE_T recul = std::min(OPJ_SIZE_T(-n), l->pos);
        l->pos -= recul;
        return -OPJ_OFF_T(recul);
    }
    const OPJ_SIZE_T avance = std::min(OPJ_SIZE_T(n), l->taille - std::min(l->pos, l->taille));
    l->pos += avance;
    return OPJ_OFF_T(avance);
}

OPJ_BOOL placerLecture(OPJ_OFF_T n, void* u)
{
    auto* l = static_cast<Lecture*>(u);
    if (n < 0 || OPJ_SIZE_T(n) > l->taille)
        return OPJ_FALSE;
    l->pos = OPJ_SIZE_T(n);
    return OPJ_TRUE;
}

struct Ecriture {
    QByteArray donnees;
    qsizetype pos = 0;
};

OPJ_SIZE_T ecrireFlux(void* tampon, OPJ_SIZE_T n, void* u)
{
    auto* e = static_cast<Ecriture*>(u);
    const qsizetype fin = e->pos + qsizetype(n);
    if (fin > e->donnees.size())
        e->donnees.resize(fin);
    std::memcpy(e->donnees.data() + e->pos, tampon, n);
    e->pos = fin;
    return n;
}

OPJ_OFF_T sauterEcriture(OPJ_OFF_T n, void* u)
{
    auto* e = static_cast<Ecriture*>(u);
    const qsizetype fin = e->pos + qsizetype(n);
    if (fin < 0)
        return -1;
    if (fin > e->donnees.size())
        e->donnees.resize(fin);
    e->pos = fin;
    return n;
}

OPJ_BOOL placerEcriture(OPJ_OFF_T n, void* u)
{
    auto* e = static_cast<Ecriture*>(u);
    if (n < 0)
        return OPJ_FALSE;
    if (qsizetype(n) > e->donnees.size())
        e->donnees.resize(qsizetype(n));
    e->pos = qsizetype(n);
    return OPJ_TRUE;
}

// ---- messages -----------------------------------------------------------------------------------------

struct Messages {
    QString erreur;
};

void messageErreur(const char* m, void* u)
{
    auto* s = static_cast<Messages*>(u);
    if (s->erreur.isEmpty())
        s->erreur = QString::fromLocal8Bit(m).trimmed();
}

void messageIgnore(const char*, void*) {}

// opj_codec_t and opj_stream_t are both void: each needs its own deleter type.
struct LiberationCodec {
    void operator()(opj_codec_t* c) const { opj_destroy_codec(c); }
};
struct LiberationFlux {
    void operator()(opj_stream_t* s) const { opj_stream_destroy(s); }
};
struct LiberationImage {
    void operator()(opj_image_t* i) const { opj_image_destroy(i); }
};
using Codec = std::unique_ptr<opj_codec_t, LiberationCodec>;
using Flux = std::unique_ptr<opj_stream_t, LiberationFlux>;
using ImageJ2k = std::unique_ptr<opj_image_t, LiberationImage>;

int filsDisponibles() { return std::max(1, QThread::idealThreadCount()); }

}  // namespace

QImage lireJp2(const QByteArray& donnees)
{
    const bool boites = donnees.size() >= 12 && std::memcmp(donnees.constData(), "\0\0\0\x0CjP  ", 8) == 0;
    Codec codec(opj_create_decompress(boites ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
    Messages messages;
    opj_set_error_handler(codec.get(), messageErreur, &messages);
    opj_set_warning_handler(codec.get(), messageIgnore, nullptr);
    opj_set_info_handler(codec.get(), messageIgnore, nullptr);
    opj_dparameters_t parametres;
    opj_set_default_decoder_parameters(&parametres);
    if (!opj_setup_decoder(codec.get(), &parametres))
        echec(err::FichierEndommage, QStringLiteral("JPEG 2000: décodeur indisponible"));
    opj_decoder_set_strict_mode(codec.get(), OPJ_TRUE);  // a truncated codestream is an error
    opj_codec_set_threads(codec.get(), filsDisponibles());

    Lecture lecture{reinterpret_cast<const uchar*>(donnees.constData()), OPJ_SIZE_T(donnees.size()), 0};
    Flux flux(opj_stream_create(1 << 16, OPJ_TRUE));
    opj_stream_set_user_data(flux.get(), &lecture, nullptr);
    opj_stream_set_user_data_length(flux.get(), OPJ_UINT64(donnees.size()));
    opj_stream_set_read_function(flux.get(), lireFlux);
    opj_stream_set_skip_function(flux.get(), sauterLecture);
    opj_stream_set_seek_function(flux.get(), placerLecture);

    // The decoder's English message turned into a French cause.
    auto endommage = [&](const QString& parDefaut) {
        const QString m = messages.erreur.toLower();
        QString cause = parDefaut;
        if (m.contains(QLatin1String("length")) || m.contains(QLatin1String("truncat")) || m.contains(QLatin1String("short"))
            || m.contains(QLatin1String("end of")) || m.contains(QLatin1String("not enough")))
            cause = QStringLiteral("flux JPEG 2000 coupé, ou aux longueurs incohérentes");
        else if (m.contains(QLatin1String("marker")))
            cause = QStringLiteral("marqueur JPEG 2000 absent ou inattendu");
        else if (m.contains(QLatin1String("memory")) || m.contains(QLatin1String("alloc")))
            cause = QStringLiteral("mémoire insuffisante pour décoder le JPEG 2000");
        echec(err::FichierEndommage, cause);
    };
    opj_image_t* brute = nullptr;
    if (!opj_read_header(flux.get(), codec.get(), &brute)) {
        opj_image_destroy(brute);
        endommage(QStringLiteral("en-tête JPEG 2000 endommagé"));
    }
    ImageJ2k image(brute);
    const qint64 l = qint64(image->x1) - image->x0, h = qint64(image->y1) - image->y0;
    verifierTaille(l, h);
    const int nc = int(image->numcomps);
    if (nc < 1 || nc > 4)
        echec(err::FormatNonPris, QStringLiteral("JPEG 2000 à %1 composantes").arg(nc));
    if (!opj_decode(codec.get(), flux.get(), image.get()) || !opj_end_decompress(codec.get(), flux.get()))
        endommage(QStringLiteral("données de l'image JPEG 2000 endommagées"));
    for (int c = 0; c < nc; ++c) {
        const opj_image_comp_t& k = image->comps[c];
        if (!k.data || qint64(k.w) != l || qint64(k.h) != h || k.prec < 1 || k.prec > 31)
            echec(err::FormatNonPris, QStringLiteral("JPEG 2000 à composantes sous-échantillonnées"));
    }
    // Samples of any precision are brought to 8 bits.
    auto valeur = [&](int c, qsizetype i) {
        const opj_image_comp_t& k = image->comps[c];
        qint64 v = k.data[i];
        if (k.sgnd)
            v += qint64(1) << (k.prec - 1);
        v = k.prec > 8 ? v >> (k.prec - 8) : v << (8 - k.prec);
        return int(std::clamp<qint64>(v, 0, 255));
    };
    const bool gris = nc <= 2;
    const bool alpha = nc == 2 || nc == 4;
    QImage sortie(int(l), int(h), gris && !alpha ? QImage::Format_Grayscale8 : (alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32));
    if (sortie.isNull())
        echec(err::FichierTropGrand, QStringLiteral("mémoire insuffisante pour %1 x %2 pixels").arg(l).arg(h));
    for (int y = 0; y < int(h); ++y) {
        const qsizetype base = qsizetype(y) * l;
        if (gris && !alpha) {
            uchar* ligne = sortie.scanLine(y);
            for (int x = 0; x < int(l); ++x)
                ligne[x] = uchar(valeur(0, base + x));
            continue;
        }
        auto* ligne = reinterpret_cast<QRgb*>(sortie.scanLine(y));
        for (int x = 0; x < int(l); ++x) {
            const qsizetype i = base + x;
            const int r = valeur(0, i);
            const int v = gris ? r : valeur(1, i);
            const int b = gris ? r : valeur(2, i);
            ligne[x] = qRgba(r, v, b, alpha ? valeur(nc - 1, i) : 255);
        }
    }
    return formeLecture(sortie);
}

QByteArray ecrireJp2(const QImage& source, bool gris, int qualite)
{
    const QImage image = gris ? enGris(source) : formeOpaque(source);
    if (image.isNull())
        echec(err::EcritureImpossible, QStringLiteral("mémoire insuffisante"));
    const int l = image.width(), h = image.height(), nc = gris ? 1 : 3;
    opj_image_cmptparm_t parametresComp[3];
    std::memset(parametresComp, 0, sizeof parametresComp);
    for (int c = 0; c < nc; ++c) {
        parametresComp[c].dx = parametresComp[c].dy = 1;
        parametresComp[c].w = OPJ_UINT32(l);
        parametresComp[c].h = OPJ_UINT32(h);
        parametresComp[c].prec = 8;
        parametresComp[c].sgnd = 0;
    }
    ImageJ2k j2k(opj_image_create(OPJ_UINT32(nc), parametresComp, gris ? OPJ_CLRSPC_GRAY : OPJ_CLRSPC_SRGB));
    if (!j2k)
        echec(err::EcritureImpossible, QStringLiteral("mémoire insuffisante"));
    j2k->x0 = j2k->y0 = 0;
    j2k->x1 = OPJ_UINT32(l);
    j2k->y1 = OPJ_UINT32(h);
    for (int y = 0; y < h; ++y) {
        const qsizetype base = qsizetype(y) * l;
        if (gris) {
            const uchar* ligne = image.constScanLine(y);
            for (int x = 0; x < l; ++x)
                j2k->comps[0].data[base + x] = ligne[x];
            continue;
        }
        const auto* ligne = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < l; ++x) {
            j2k->comps[0].data[base + x] = qRed(ligne[x]);
            j2k->comps[1].data[base + x] = qGreen(ligne[x]);
            j2k->comps[2].data[base + x] = qBlue(ligne[x]);
        }
    }

    opj_cparameters_t p;
    opj_set_default_encoder_parameters(&p);
    p.tcp_numlayers = 1;
    p.tcp_mct = gris ? 0 : 1;
    if (qualite >= 100) {  // the finest factor stores the picture without loss
        p.irreversible = 0;
        p.tcp_rates[0] = 0;
        p.cp_disto_alloc = 1;
    } else {
        p.irreversible = 1;
        p.cp_fixed_quality = 1;
        p.tcp_distoratio[0] = float(22.0 + 0.2 * qualite);  // target PSNR in dB
    }
    // Each resolution level halves the picture; a small picture has fewer levels.
    while (p.numresolution > 1 && (1 << (p.numresolution - 1)) > std::min(l, h))
        --p.numresolution;

    Codec codec(opj_create_compress(OPJ_CODEC_JP2));
    Messages messages;
    opj_set_error_handler(codec.get(), messageErreur, &messages);
    opj_set_warning_handler(codec.get(), messageIgnore, nullptr);
    opj_set_info_handler(codec.get(), messageIgnore, nullptr);
    if (!opj_setup_encoder(codec.get(), &p, j2k.get()))
        echec(err::EcritureImpossible, QStringLiteral("JPEG 2000: ") + messages.erreur);
    opj_codec_set_threads(codec.get(), filsDisponibles());
    Ecriture ecriture;
    Flux flux(opj_stream_create(1 << 16, OPJ_FALSE));
    opj_stream_set_user_data(flux.get(), &ecriture, nullptr);
    opj_stream_set_write_function(flux.get(), ecrireFlux);
    opj_stream_set_skip_function(flux.get(), sauterEcriture);
    opj_stream_set_seek_function(flux.get(), placerEcriture);
    if (!opj_start_compress(codec.get(), j2k.get(), flux.get()) || !opj_encode(codec.get(), flux.get())
        || !opj_end_compress(codec.get(), flux.get()))
        echec(err::EcritureImpossible, QStringLiteral("JPEG 2000: ") + messages.erreur);
    flux.reset();  // flushes what the stream still holds
    return ecriture.donnees;
}

}  // namespace kal::image::interne
