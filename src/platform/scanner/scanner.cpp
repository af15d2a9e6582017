#include "platform/scanner/scanner.h"

#include "platform/base/erreur.h"
#include "platform/scanner/assemblage.h"
#include "platform/scanner/bibliothequesane.h"
#include "platform/scanner/choixsource.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QThread>

#include <sane/saneopts.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <stdexcept>

namespace kal {

namespace {

// Only one Scanner may have the library up at a time.
bool bibliothequeOccupee_ = false;

QString texteSane(const char* t) { return t ? QString::fromUtf8(t) : QString(); }

QString statut(SANE_Status s) { return texteSane(sane::f().strstatus(s)); }

// The device cannot be reached (absent, busy, access refused), rather than the page failing.
bool sourceIndisponible(SANE_Status s)
{
    return s == SANE_STATUS_DEVICE_BUSY || s == SANE_STATUS_ACCESS_DENIED;
}

// The hourglass for the length of a long step (nothing without a GUI application).
class Sablier {
public:
    Sablier() : actif_(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr)
    {
        if (actif_)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~Sablier()
    {
        if (actif_)
            QGuiApplication::restoreOverrideCursor();
    }
    Sablier(const Sablier&) = delete;
    Sablier& operator=(const Sablier&) = delete;

private:
    bool actif_;
};

// An open device: cancelled and closed when it goes out of scope, whatever happened.
class Appareil {
public:
    explicit Appareil(const QString& nom)
    {
        const SANE_Status s = sane::f().open(nom.toUtf8().constData(), &h_);
        if (s != SANE_STATUS_GOOD || !h_)
            throw Erreur(scan::SourceIndisponible,
                         QStringLiteral("source « %1 » indisponible : %2").arg(nom, statut(s)));
    }
    ~Appareil()
    {
        // A driver starts its reader (often a thread) when the scan starts. Cancelled while that
        // reader is still setting itself up, as happens when the very first read fails, some
        // drivers deadlock; leaving it a moment to settle avoids that.
        if (enCours_)
            QThread::msleep(100);
        sane::f().cancel(h_);
        sane::f().close(h_);
    }
    // Between the start of the scan and the end of its last frame.
    void debut() { enCours_ = true; }
    void fin() { enCours_ = false; }
    Appareil(const Appareil&) = delete;
    Appareil& operator=(const Appareil&) = delete;
    SANE_Handle h() const { return h_; }

    // The option of that name if the device offers it now, active and settable by software.
    std::optional<SANE_Int> option(const char* nom) const
    {
        SANE_Int n = 0;
        if (sane::f().control_option(h_, 0, SANE_ACTION_GET_VALUE, &n, nullptr) != SANE_STATUS_GOOD)
            return std::nullopt;
        for (SANE_Int i = 1; i < n; ++i) {
            const SANE_Option_Descriptor* d = sane::f().get_option_descriptor(h_, i);
            if (d && d->name && qstrcmp(d->name, nom) == 0 && SANE_OPTION_IS_ACTIVE(d->cap)
                && SANE_OPTION_IS_SETTABLE(d->cap))
                return i;
        }
        return std::nullopt;
    }
    const SANE_Option_Descriptor* descripteur(SANE_Int i) const { return sane::f().get_option_descriptor(h_, i); }

    // Settings are best effort: a value the device refuses leaves its own.
    void fixerTexte(const char* nom, const QByteArray& valeur)
    {
        const auto i = option(nom);
        if (!i)
            return;
        const SANE_Option_Descriptor* d = descripteur(*i);
        if (d->type != SANE_TYPE_STRING || valeur.size() >= d->size)
            return;
        QByteArray v = valeur;
        v.resize(d->size, '\0');
        sane::f().control_option(h_, *i, SANE_ACTION_SET_VALUE, v.data(), nullptr);
    }
    // A number (integer or fixed-point option of one value), brought to the nearest the device
    // allows; with `exact`, only set when the device allows that very value.
    void fixerNombre(const char* nom, double valeur, bool exact = false)
    {
        const auto i = option(nom);
        if (!i)
            return;
        const SANE_Option_Descriptor* d = descripteur(*i);
        if ((d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED) || d->size != sizeof(SANE_Word))
            return;
        SANE_Word w = permis(d, versMot(d, valeur));
        if (exact && w != versMot(d, valeur))
            return;
        sane::f().control_option(h_, *i, SANE_ACTION_SET_VALUE, &w, nullptr);
    }
    // The end of the option's range (minimum or maximum).
    std::optional<double> borne(const char* nom, bool maximum) const
    {
        const auto i = option(nom);
        if (!i)
            return std::nullopt;
        const SANE_Option_Descriptor* d = descripteur(*i);
        if ((d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED) || d->size != sizeof(SANE_Word))
            return std::nullopt;
        if (d->constraint_type == SANE_CONSTRAINT_RANGE)
            return depuisMot(d, maximum ? d->constraint.range->max : d->constraint.range->min);
        if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list[0] > 0) {
            const SANE_Word* l = d->constraint.word_list;
            SANE_Word b = l[1];
            for (SANE_Int k = 1; k <= l[0]; ++k)
                b = maximum ? std::max(b, l[k]) : std::min(b, l[k]);
            return depuisMot(d, b);
        }
        return std::nullopt;
    }
    // The entries of a string-list option.
    QList<QByteArray> choix(const char* nom) const
    {
        QList<QByteArray> r;
        const auto i = option(nom);
        if (!i)
            return r;
        const SANE_Option_Descriptor* d = descripteur(*i);
        if (d->type == SANE_TYPE_STRING && d->constraint_type == SANE_CONSTRAINT_STRING_LIST)
            for (const SANE_String_Const* s = d->constraint.string_list; s && *s; ++s)
                r.append(QByteArray(*s));
        return r;
    }

private:
    static SANE_Word versMot(const SANE_Option_Descriptor* d, double v)
    {
        return d->type == SANE_TYPE_FIXED ? SANE_FIX(v) : SANE_Word(std::lround(v));
    }
    static double depuisMot(const SANE_Option_Descriptor* d, SANE_Word w)
    {
        return d->type == SANE_TYPE_FIXED ? SANE_UNFIX(w) : double(w);
    }
    // The allowed value nearest to w.
    static SANE_Word permis(const SANE_Option_Descriptor* d, SANE_Word w)
    {
        if (d->constraint_type == SANE_CONSTRAINT_RANGE) {
            const SANE_Range* r = d->constraint.range;
            w = std::clamp(w, r->min, r->max);
            if (r->quant > 0) {
                const long long pas = (static_cast<long long>(w) - r->min + r->quant / 2) / r->quant;
                w = static_cast<SANE_Word>(std::min<long long>(r->min + pas * r->quant, r->max));
            }
        } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list[0] > 0) {
            const SANE_Word* l = d->constraint.word_list;
            SANE_Word meilleur = l[1];
            for (SANE_Int k = 1; k <= l[0]; ++k)
                if (std::llabs(static_cast<long long>(l[k]) - w) < std::llabs(static_cast<long long>(meilleur) - w))
                    meilleur = l[k];
            w = meilleur;
        }
        return w;
    }

    SANE_Handle h_ = nullptr;
    bool enCours_ = false;
};

// The entry of a list that names what is wanted: the exact word first, else one containing it.
std::optional<QByteArray> entree(const QList<QByteArray>& liste, const QList<QByteArray>& mots)
{
    for (const QByteArray& m : mots)
        for (const QByteArray& e : liste)
            if (e.compare(m, Qt::CaseInsensitive) == 0)
                return e;
    for (const QByteArray& m : mots)
        for (const QByteArray& e : liste) {
            const QByteArray t = e.toLower();
            if (t.contains(m.toLower()) && !t.contains("lineart") && !t.contains("halftone"))
                return e;
        }
    return std::nullopt;
}

void appliquer(Appareil& a, const ReglagesScan& r)
{
    if (r.sourceAPlat)
        if (const auto e = entree(a.choix(SANE_NAME_SCAN_SOURCE), {"Flatbed", "Normal"}))
            a.fixerTexte(SANE_NAME_SCAN_SOURCE, *e);
    if (r.mode & scan::mode::Couleur) {
        if (const auto e = entree(a.choix(SANE_NAME_SCAN_MODE), {SANE_VALUE_SCAN_MODE_COLOR, "Colour"}))
            a.fixerTexte(SANE_NAME_SCAN_MODE, *e);
        a.fixerNombre(SANE_NAME_BIT_DEPTH, 8, true);
    }
    if (r.mode & scan::mode::ResolutionPhoto)
        a.fixerNombre(SANE_NAME_SCAN_RESOLUTION, scan::ResolutionPhotoDpi);
    if (r.mode & scan::mode::SurfaceEntiere) {
        // The top-left corner first, so that the bottom-right one is never refused as before it.
        for (const char* n : {SANE_NAME_SCAN_TL_X, SANE_NAME_SCAN_TL_Y})
            if (const auto b = a.borne(n, false))
                a.fixerNombre(n, *b);
        for (const char* n : {SANE_NAME_SCAN_BR_X, SANE_NAME_SCAN_BR_Y})
            if (const auto b = a.borne(n, true))
                a.fixerNombre(n, *b);
    }
}

// A device that is busy or refused when the scan starts is a source not available; any other
// failure is a failed page.
[[noreturn]] void echecPage(SANE_Status s, const QString& etape, bool auDemarrage = false)
{
    throw Erreur(auDemarrage && sourceIndisponible(s) ? scan::SourceIndisponible : scan::AcquisitionEchouee,
                 QStringLiteral("numérisation interrompue (%1) : %2").arg(etape, statut(s)));
}

scan::ParametresTrame trame(const SANE_Parameters& p)
{
    scan::ParametresTrame t;
    switch (p.format) {
    case SANE_FRAME_GRAY: t.genre = scan::ParametresTrame::Genre::Gris; break;
    case SANE_FRAME_RGB: t.genre = scan::ParametresTrame::Genre::RVB; break;
    case SANE_FRAME_RED: t.genre = scan::ParametresTrame::Genre::Rouge; break;
    case SANE_FRAME_GREEN: t.genre = scan::ParametresTrame::Genre::Vert; break;
    case SANE_FRAME_BLUE: t.genre = scan::ParametresTrame::Genre::Bleu; break;
    default:
        throw Erreur(scan::AcquisitionEchouee, QStringLiteral("format d'image du scanner inconnu (%1)").arg(int(p.format)));
    }
    t.derniere = p.last_frame;
    t.octetsParLigne = p.bytes_per_line;
    t.pixelsParLigne = p.pixels_per_line;
    t.lignes = p.lines;
    t.profondeur = p.depth;
    return t;
}

}  // namespace

QString AppareilScan::libelle() const
{
    QString t = (fabricant + QLatin1Char(' ') + modele).trimmed();
    return t.isEmpty() ? nom : t + QStringLiteral(" (") + nom + QLatin1Char(')');
}

struct Scanner::Etat {
    bool actif = false;
    bool cherche = false;
    std::vector<AppareilScan> appareils;
    QString source;
};

Scanner::Scanner() : e_(std::make_unique<Etat>()) {}

Scanner::~Scanner()
{
    if (e_->actif) {
        sane::f().exit();
        bibliothequeOccupee_ = false;
    }
}

Scanner& Scanner::global()
{
    static Scanner s;
    return s;
}

void Scanner::activer()
{
    if (e_->actif)
        return;
    if (bibliothequeOccupee_)
        throw std::logic_error("another Scanner has the scanner library up");
    const char* raison = nullptr;
    if (!sane::charger(&raison))
        throw Erreur(scan::SourceIndisponible,
                     QStringLiteral("bibliothèque des scanners indisponible : %1").arg(QString::fromUtf8(raison ? raison : "")));
    SANE_Int version = 0;
    const SANE_Status s = sane::f().init(&version, nullptr);
    if (s != SANE_STATUS_GOOD)
        throw Erreur(scan::SourceIndisponible, QStringLiteral("bibliothèque des scanners indisponible : %1").arg(statut(s)));
    e_->actif = true;
    bibliothequeOccupee_ = true;
}

bool Scanner::actif() const { return e_->actif; }

const std::vector<AppareilScan>& Scanner::appareils()
{
    activer();
    if (!e_->cherche) {
        e_->cherche = true;
        Sablier sablier;
        const SANE_Device** liste = nullptr;
        if (sane::f().get_devices(&liste, SANE_FALSE) == SANE_STATUS_GOOD && liste) {
            for (const SANE_Device** d = liste; *d; ++d) {
                if (!(*d)->name || !*(*d)->name)
                    continue;
                e_->appareils.push_back({texteSane((*d)->name), texteSane((*d)->vendor), texteSane((*d)->model),
                                         texteSane((*d)->type)});
            }
        }
    }
    return e_->appareils;
}

int Scanner::recherches() const { return e_->cherche ? 1 : 0; }

QString Scanner::source() const { return e_->source; }

void Scanner::choisirSource(QWidget* fenetre)
{
    const std::vector<AppareilScan>& liste = appareils();
    if (liste.empty())
        throw Erreur(scan::SourceIndisponible, QStringLiteral("aucun scanner"));
    int actuel = 0;
    for (int i = 0; i < int(liste.size()); ++i)
        if (liste[std::size_t(i)].nom == e_->source)
            actuel = i;
    const std::optional<int> choix = demanderSource(liste, actuel, fenetre);
    if (!choix)
        throw Erreur(scan::AcquisitionEchouee, QStringLiteral("choix de la source annulé"));
    e_->source = liste[std::size_t(*choix)].nom;
}

QImage Scanner::acquerir(const ReglagesScan& reglages)
{
    try {
        return acquerirPage(reglages);
    } catch (const std::bad_alloc&) {
        throw Erreur(scan::AcquisitionEchouee, QStringLiteral("mémoire insuffisante pour l'image"));
    }
}

QImage Scanner::acquerirPage(const ReglagesScan& reglages)
{
    QString nom = e_->source;
    if (nom.isEmpty()) {
        const std::vector<AppareilScan>& liste = appareils();
        if (liste.empty())
            throw Erreur(scan::SourceIndisponible, QStringLiteral("aucun scanner"));
        nom = liste.front().nom;
    }
    activer();
    Sablier sablier;
    Appareil a(nom);
    appliquer(a, reglages);

    scan::AssemblageImage image;
    std::vector<SANE_Byte> tampon(64 * 1024);
    a.debut();
    for (;;) {
        SANE_Status s = sane::f().start(a.h());
        if (s != SANE_STATUS_GOOD)
            echecPage(s, QStringLiteral("démarrage"), true);
        SANE_Parameters p{};
        s = sane::f().get_parameters(a.h(), &p);
        if (s != SANE_STATUS_GOOD)
            echecPage(s, QStringLiteral("paramètres"));
        image.debutTrame(trame(p));
        for (;;) {
            SANE_Int lu = 0;
            s = sane::f().read(a.h(), tampon.data(), SANE_Int(tampon.size()), &lu);
            if (s == SANE_STATUS_EOF)
                break;
            if (s != SANE_STATUS_GOOD)
                echecPage(s, QStringLiteral("lecture"));
            if (lu > 0)
                image.ajouter(tampon.data(), std::size_t(lu));
        }
        image.finTrame();
        if (p.last_frame)
            break;
    }
    a.fin();
    return image.image();
}

}  // namespace kal
