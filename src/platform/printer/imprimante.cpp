#include "platform/printer/imprimante.h"

#include "platform/base/conversions.h"
#include "platform/base/erreur.h"
#include "platform/base/erreursysteme.h"
#include "platform/imaging/controleimage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPdfWriter>
#include <QPicture>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace kal {

namespace {

constexpr double TwipsParPoint = 20.0;

double twipsDepuisMm(double mm) { return mm * imp::TwipsParPouce / 25.4; }

// The system's printer to follow: the default one, else the first one installed.
QPrinterInfo imprimanteSysteme()
{
    QPrinterInfo d = QPrinterInfo::defaultPrinter();
    if (!d.isNull())
        return d;
    const auto toutes = QPrinterInfo::availablePrinters();
    return toutes.isEmpty() ? QPrinterInfo() : toutes.first();
}

// The resolution of a job's drawing surface, the printer's high resolution.
constexpr int PointsParPouceTravail = 1200;

Imprimante* installee = nullptr;

}  // namespace

// ------------------------------------------------------------------------------- FichierPdf

// The file a job's PDF is written to, straight to its descriptor through a buffer of its own. The
// PDF engine reports no failed write and Qt words a system error in its own texts: the first
// failed write's system error number is kept here, so that the end of the job can say why.
class FichierPdf : public QIODevice {
public:
    // Creates (or empties) the file `chemin`; with `unique`, the XXXXXX before ".pdf" are made
    // into a name that did not exist. Null when the file cannot be made; errno then says why.
    static std::unique_ptr<FichierPdf> creer(const QString& chemin, bool unique)
    {
        QByteArray nom = QFile::encodeName(chemin);
        const int fd = unique ? ::mkostemps(nom.data(), 4, O_CLOEXEC)
                              : ::open(nom.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0)
            return nullptr;
        std::unique_ptr<FichierPdf> f(new FichierPdf(fd, QFile::decodeName(nom)));
        f->open(QIODevice::WriteOnly);
        return f;
    }
    ~FichierPdf() override
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    QString chemin() const { return chemin_; }
    // Writes what is left and closes the file: 0 when every byte reached it, else the system error.
    int terminer()
    {
        vider();
        if (fd_ >= 0 && ::close(std::exchange(fd_, -1)) != 0 && erreur_ == 0)
            erreur_ = errno;
        QIODevice::close();
        return erreur_;
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* donnees, qint64 n) override
    {
        tampon_.append(donnees, n);
        if (tampon_.size() >= TailleTampon)
            vider();
        return n;   // a failure is kept for the end of the job, which discards it whole
    }

private:
    static constexpr qsizetype TailleTampon = 1 << 16;
    FichierPdf(int fd, const QString& chemin) : fd_(fd), chemin_(chemin) {}
    void vider()
    {
        const char* p = tampon_.constData();
        qsizetype reste = erreur_ == 0 && fd_ >= 0 ? tampon_.size() : 0;
        while (reste > 0) {
            const ssize_t n = ::write(fd_, p, static_cast<size_t>(reste));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                erreur_ = n < 0 ? errno : EIO;
                break;
            }
            p += n;
            reste -= n;
        }
        tampon_.clear();
    }

    int fd_;
    QString chemin_;
    QByteArray tampon_;
    int erreur_ = 0;
};

QMarginsF tourner(const QMarginsF& portrait, QPageLayout::Orientation o)
{
    if (o != QPageLayout::Landscape)
        return portrait;
    // left <- bottom, top <- left, right <- top, bottom <- right
    return {portrait.bottom(), portrait.left(), portrait.top(), portrait.right()};
}

// ------------------------------------------------------------------------------- Imprimante

Imprimante::Imprimante()
{
    lier(imprimanteSysteme());
}

Imprimante::Imprimante(Fixe, const QString& nom, const QPageSize& page, int orientation)
    : nom_(nom), presente_(true), page_(page)
{
    definirOrientationimprimante(orientation);
}

Imprimante::~Imprimante()
{
    // A job still open when the printer goes is not printed.
    if (peintre_ && peintre_->isActive())
        peintre_->end();
    if (!fichierJob_.isEmpty())
        QFile::remove(fichierJob_);
}

void Imprimante::suivreDefaut()
{
    // Another default printer (or a printer appearing or going away) is taken with its own
    // settings; the same printer keeps the paper and orientation the program gave it.
    const QPrinterInfo info = imprimanteSysteme();
    if (info.isNull() == !presente_ && info.printerName() == nom_)
        return;
    lier(info);
}

void Imprimante::lier(const QPrinterInfo& info)
{
    if (info.isNull()) {
        presente_ = false;
        nom_.clear();
        printer_.reset();
        page_ = QPageSize(QPageSize::A4);
        orient_ = QPageLayout::Portrait;
        return;
    }
    presente_ = true;
    nom_ = info.printerName();
    printer_ = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    const QPageLayout l = printer_->pageLayout();
    page_ = l.pageSize().isValid() ? l.pageSize() : QPageSize(QPageSize::A4);
    orient_ = l.orientation();
}

QString Imprimante::messageAbsence() const
{
    if (presente_)
        return {};
    return QStringLiteral("Aucune imprimante n'est installée : la page est préparée pour une feuille A4 portrait "
                          "et ne pourra être imprimée qu'après l'installation d'une imprimante.");
}

Twips Imprimante::largeurfeuille() const
{
    const QSizeF mm = page_.size(QPageSize::Millimeter);
    return Twips(twipsDepuisMm(orient_ == QPageLayout::Landscape ? mm.height() : mm.width())).arrondie();
}

Twips Imprimante::hauteurfeuille() const
{
    const QSizeF mm = page_.size(QPageSize::Millimeter);
    return Twips(twipsDepuisMm(orient_ == QPageLayout::Landscape ? mm.width() : mm.height())).arrondie();
}

QMarginsF Imprimante::margesMaterielles() const
{
    if (!printer_)
        return {};
    // Qt gives the printer's limits of the portrait sheet in either orientation; in landscape
    // the print system turns the page a quarter counter-clockwise onto the paper, so the
    // limits turn with it.
    QPageLayout l = printer_->pageLayout();
    l.setOrientation(QPageLayout::Portrait);
    l.setUnits(QPageLayout::Point);
    const QMarginsF m = l.minimumMargins();
    return tourner(QMarginsF(m.left() * TwipsParPoint, m.top() * TwipsParPoint, m.right() * TwipsParPoint,
                             m.bottom() * TwipsParPoint),
                   orient_);
}

Twips Imprimante::largeurimprimable() const
{
    const QMarginsF m = margesMaterielles();
    const Twips l = largeurfeuille() - Twips(m.left()) - Twips(m.right());
    return l > Twips(0) ? l : largeurfeuille();   // margins that would leave nothing are not believed
}

Twips Imprimante::hauteurimprimable() const
{
    const QMarginsF m = margesMaterielles();
    const Twips h = hauteurfeuille() - Twips(m.top()) - Twips(m.bottom());
    return h > Twips(0) ? h : hauteurfeuille();
}

int Imprimante::orientationimprimante() const { return orient_ == QPageLayout::Landscape ? imp::Paysage : imp::Portrait; }

void Imprimante::definirOrientationimprimante(int o)
{
    if (o != imp::Portrait && o != imp::Paysage)
        throw Erreur(imp::ValeurInvalide, QStringLiteral("orientation d'imprimante invalide : %1").arg(o));
    orient_ = o == imp::Paysage ? QPageLayout::Landscape : QPageLayout::Portrait;
    if (printer_)
        printer_->setPageOrientation(orient_);
}

int Imprimante::formatimprimante() const
{
    const int id = page_.windowsId();
    return id > 0 ? id : imp::Personnalise;
}

void Imprimante::definirFormatimprimante(int code)
{
    const QPageSize::PageSizeId id = QPageSize::id(code);
    if (code <= 0 || code == imp::Personnalise || id == QPageSize::Custom)
        throw Erreur(imp::ValeurInvalide, QStringLiteral("format de papier inconnu : %1").arg(code));
    const QPageSize p(id);
    if (printer_ && !printer_->setPageSize(p))
        throw Erreur(imp::ValeurInvalide,
                     QStringLiteral("l'imprimante %1 n'accepte pas le format %2").arg(nom_, p.name()));
    page_ = p;
}

void Imprimante::definirSuividefaut(bool v)
{
    suiviDefaut_ = v;
    if (v && !peintre_)
        suivreDefaut();
}

void Imprimante::definirStyletrait(int s)
{
    if (s < imp::TraitPlein || s > imp::TraitInterieur)
        throw Erreur(imp::ValeurInvalide, QStringLiteral("style de trait invalide : %1").arg(s));
    style_ = s;
    if (peintre_)
        peintre_->setPen(stylo({}));
}

QPen Imprimante::stylo(std::optional<int> couleur) const
{
    QColor c(Qt::black);
    if (couleur) {
        const int v = *couleur;
        c = QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
    }
    // A thin line the same on every printer: 5 twips (0.09 mm), whatever the resolution of the
    // device; the dots and dashes are long enough to be seen as such on paper.
    QPen p(c);
    p.setWidthF(imp::EpaisseurTrait);
    p.setCapStyle(Qt::FlatCap);
    p.setJoinStyle(Qt::MiterJoin);
    switch (style_) {
    case imp::TraitTirets: p.setDashPattern({12, 6}); break;
    case imp::TraitPointille: p.setDashPattern({3, 3}); break;
    case imp::TraitMixte: p.setDashPattern({12, 4, 3, 4}); break;
    case imp::TraitMixteDouble: p.setDashPattern({12, 4, 3, 4, 3, 4}); break;
    case imp::TraitInvisible: p.setStyle(Qt::NoPen); break;
    default: p.setStyle(Qt::SolidLine); break;
    }
    return p;
}

std::unique_ptr<QPaintDevice> Imprimante::appareilTravail()
{
    if (!presente_)
        return nullptr;
    // The job is drawn into a PDF file of its own, as the print system's own path would draw
    // it, and handed over at its end: a job that fails half-way is discarded whole. The file is
    // made in the temporary folder (TMPDIR), which the user may have put on a disk of their own.
    auto f = FichierPdf::creer(QDir::temp().filePath(QStringLiteral("kalmorin-XXXXXX.pdf")), true);
    if (!f)
        throw Erreur(imp::ErreurImprimante, QStringLiteral("le fichier de l'impression ne peut pas être créé dans le "
                                                           "dossier temporaire %1 : %2")
                                                .arg(QDir::tempPath(), texteErreurSysteme(errno)));
    fichierJob_ = f->chemin();
    return appareilPdf(std::move(f));
}

std::unique_ptr<QPaintDevice> Imprimante::appareilPdf(std::unique_ptr<FichierPdf> fichier)
{
    // The PDF engine writes through a file the printer holds, so that a write that fails (a
    // full disk) is seen when the job ends.
    sortie_ = std::move(fichier);
    auto p = std::make_unique<QPdfWriter>(sortie_.get());
    p->setResolution(PointsParPouceTravail);
    p->setTitle(nomDocument_);
    p->setPageLayout(QPageLayout(page_, orient_, QMarginsF(0, 0, 0, 0), QPageLayout::Point));
    return p;
}

void Imprimante::envoyer(const QString& fichier)
{
    // The options the print system's own path gives a one-page job: the paper, and the
    // orientation of a landscape page.
    const QString lp = QStandardPaths::findExecutable(QStringLiteral("lp"));
    if (lp.isEmpty())
        throw Erreur(imp::ErreurImprimante, QStringLiteral("la commande d'impression lp est introuvable"));
    QStringList args = {QStringLiteral("-d"), nom_, QStringLiteral("-t"), nomDocument_, QStringLiteral("-o"),
                        QStringLiteral("media=") + page_.key()};
    if (orient_ == QPageLayout::Landscape)
        args << QStringLiteral("-o") << QStringLiteral("landscape");
    args << QStringLiteral("--") << fichier;
    QProcess p;
    p.start(lp, args);
    const bool fini = p.waitForFinished(60000);
    if (!fini || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        if (!fini)
            p.kill();
        const QString dit = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
        throw Erreur(imp::ErreurImprimante, QStringLiteral("l'imprimante %1 a refusé l'impression%2")
                                                 .arg(nom_, dit.isEmpty() ? QString() : QStringLiteral(" : ") + dit));
    }
}

void Imprimante::preparerPeintre(QPaintDevice* appareil)
{
    peintre_ = std::make_unique<QPainter>();
    if (!peintre_->begin(appareil)) {
        peintre_.reset();
        appareil_.reset();
        sortie_.reset();
        if (!fichierJob_.isEmpty())
            QFile::remove(std::exchange(fichierJob_, QString()));
        throw Erreur(imp::ErreurImprimante,
                     QStringLiteral("l'impression n'a pas pu commencer sur %1").arg(pdf_.isEmpty() ? nom_ : pdf_));
    }
    peintre_->setRenderHint(QPainter::SmoothPixmapTransform, true);
    peintre_->scale(appareil->logicalDpiX() / imp::TwipsParPouce, appareil->logicalDpiY() / imp::TwipsParPouce);
    const QMarginsF m = margesMaterielles();
    peintre_->translate(m.left() - origineGauche_.valeur(), m.top() - origineHaut_.valeur());
    peintre_->setPen(stylo({}));
    peintre_->setBrush(Qt::NoBrush);
}

void Imprimante::debutdocument()
{
    if (peintre_)
        return;
    if (!pdf_.isEmpty()) {
        auto f = FichierPdf::creer(pdf_, false);
        if (!f)
            throw Erreur(imp::ErreurImprimante,
                         QStringLiteral("le fichier %1 ne peut pas être écrit : %2").arg(pdf_, texteErreurSysteme(errno)));
        appareil_ = appareilPdf(std::move(f));
    } else {
        appareil_ = appareilTravail();
        if (!appareil_)
            throw Erreur(imp::ErreurImprimante, messageAbsence());
    }
    preparerPeintre(appareil_.get());
    Trace t;
    t.genre = Trace::Genre::Debut;
    t.style = style_;
    enregistrer(t);
}

QPainter* Imprimante::hdcimprimante()
{
    if (!peintre_)
        throw Erreur(imp::ErreurImprimante, QStringLiteral("aucun document n'est en cours d'impression"));
    return peintre_.get();
}

void Imprimante::tracerligne(double x1, double y1, double x2, double y2, std::optional<int> couleur)
{
    Trace t;
    t.genre = Trace::Genre::Ligne;
    t.ligne = QLineF(x1, y1, x2, y2);
    tracer(t, couleur);
}

void Imprimante::tracerboite(double x, double y, double largeur, double hauteur, std::optional<int> couleur)
{
    Trace t;
    t.genre = Trace::Genre::Boite;
    t.rect = QRectF(x, y, largeur, hauteur);
    tracer(t, couleur);
}

// Draws a line or a box outline in the line style in force, then records it.
void Imprimante::tracer(Trace& t, std::optional<int> couleur)
{
    debutdocument();
    peintre_->setPen(stylo(couleur));
    peintre_->setBrush(Qt::NoBrush);
    if (t.genre == Trace::Genre::Ligne)
        peintre_->drawLine(t.ligne);
    else
        peintre_->drawRect(t.rect);
    peintre_->setPen(stylo({}));
    t.style = style_;
    t.couleur = couleur;
    enregistrer(t);
}

void Imprimante::dessinerimage(const QImage& image, const QRectF& rectTwips)
{
    debutdocument();
    if (!image.isNull() && rectTwips.width() != 0 && rectTwips.height() != 0)
        peintre_->drawImage(rectTwips, image);
    enregistrerImage(rectTwips, image.size());
}

void Imprimante::dessinerimage(const ControleImage& image, const QRectF& rectTwips)
{
    debutdocument();
    image.rendudc(*peintre_, rectTwips.x(), rectTwips.y(), rectTwips.width(), rectTwips.height());
    enregistrerImage(rectTwips, image.bitmap().taille());
}

void Imprimante::enregistrerImage(const QRectF& rectTwips, QSize taille)
{
    Trace t;
    t.genre = Trace::Genre::Image;
    t.rect = rectTwips;
    t.style = style_;
    t.taillePixels = taille;
    enregistrer(t);
}

QString Imprimante::fermerPeintre()
{
    const bool ok = peintre_->end();
    peintre_.reset();
    appareil_.reset();
    if (!sortie_)
        return ok ? QString() : QStringLiteral("l'impression n'a pas pu être terminée");
    // Every write of the PDF file, its last bytes included, must have reached the disk.
    const std::unique_ptr<FichierPdf> f = std::move(sortie_);
    const int erreur = f->terminer();
    if (erreur == 0)
        return ok ? QString() : QStringLiteral("l'impression n'a pas pu être terminée");
    if (fichierJob_.isEmpty())
        return QStringLiteral("le fichier %1 n'a pas pu être écrit : %2").arg(f->chemin(), texteErreurSysteme(erreur));
    return QStringLiteral("le fichier de l'impression n'a pas pu être écrit dans le dossier temporaire %1 : %2")
        .arg(QFileInfo(f->chemin()).absolutePath(), texteErreurSysteme(erreur));
}

void Imprimante::findocument()
{
    if (!peintre_)
        return;
    const QString echec = fermerPeintre();
    const QString fichier = std::exchange(fichierJob_, QString());
    Trace t;
    t.genre = Trace::Genre::Fin;
    t.style = style_;
    enregistrer(t);
    if (!echec.isEmpty()) {
        if (!fichier.isEmpty())
            QFile::remove(fichier);
        throw Erreur(imp::ErreurImprimante, echec);
    }
    if (fichier.isEmpty())
        return;
    struct Menage {
        QString f;
        ~Menage() { QFile::remove(f); }
    } menage{fichier};
    envoyer(fichier);
}

void Imprimante::abandonnerdocument()
{
    if (!peintre_)
        return;
    fermerPeintre();
    // Nothing was handed to the print system yet: the job's file goes, and so does a PDF file
    // the job was being written to.
    QString fichier = std::exchange(fichierJob_, QString());
    if (fichier.isEmpty())
        fichier = pdf_;
    if (!fichier.isEmpty())
        QFile::remove(fichier);
    Trace t;
    t.genre = Trace::Genre::Abandon;
    t.style = style_;
    enregistrer(t);
}

// --------------------------------------------------------------------------- ImprimanteEssai

ImprimanteEssai::ImprimanteEssai(const QPageSize& feuille, const QMarginsF& margesPortrait, int orientation,
                                 const QString& nom)
    : Imprimante(Fixe{}, nom, feuille, orientation), marges_(margesPortrait)
{
}

ImprimanteEssai::~ImprimanteEssai() = default;

QMarginsF ImprimanteEssai::margesMaterielles() const
{
    return tourner(marges_, orientationQt());
}

std::unique_ptr<QPaintDevice> ImprimanteEssai::appareilTravail()
{
    return std::make_unique<QPicture>();   // nothing leaves the program: the calls are recorded
}

// ----------------------------------------------------------------------------- the program's

Imprimante& imprimante()
{
    if (installee)
        return *installee;
    // Made at first use, once the application exists, and kept to the end of the run.
    static Imprimante* systeme = new Imprimante;
    return *systeme;
}

void installerImprimante(Imprimante* i) { installee = i; }

}  // namespace kal
