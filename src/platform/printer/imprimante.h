#pragma once
// The printer as the editors see it: sheet and printable sizes in twips (the printable size
// taken from the printer's real hardware margins), orientation, paper code (9 = A4), name,
// following the system's default printer, and one-page jobs drawn in twips from the corner of
// the printable area. Jobs go to the system's default printer through CUPS, or to a PDF file.
//
// With no printer installed the object still answers: it reports a clear message
// (messageAbsence()), assumes an A4 portrait sheet without margins, and refuses only to start
// a job on paper (error 482).
//
// A job is drawn into a PDF file of its own and handed to the print system (CUPS, through
// `lp`) only when it ends, so that a job that fails half-way can be discarded whole: nothing
// of it reaches the paper.
//
// ImprimanteEssai is the same printer with fixed sizes and margins, which records every drawing
// call in twips, pictures included, for exact layout tests; it can also print its jobs to a PDF
// file.
#include "platform/base/twips.h"

#include <QColor>
#include <QImage>
#include <QLineF>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

class QPrinter;
class QPrinterInfo;
class QPaintDevice;

namespace kal {

class ControleImage;
class FichierPdf;

namespace imp {
constexpr int ErreurImprimante = 482;   // no printer, or the job could not be started or ended
constexpr int ValeurInvalide = 380;     // a property value the printer does not accept
constexpr int Portrait = 1;
constexpr int Paysage = 2;
// Paper codes of the program (the usual paper numbers of printer drivers).
constexpr int Letter = 1;
constexpr int Legal = 5;
constexpr int A3 = 8;
constexpr int A4 = 9;
constexpr int A5 = 11;
constexpr int Personnalise = 256;       // a sheet size without a paper code
// Line styles of styletrait.
constexpr int TraitPlein = 0;
constexpr int TraitTirets = 1;
constexpr int TraitPointille = 2;
constexpr int TraitMixte = 3;
constexpr int TraitMixteDouble = 4;
constexpr int TraitInvisible = 5;
constexpr int TraitInterieur = 6;
constexpr double TwipsParPouce = 1440.0;
constexpr double EpaisseurTrait = 5.0;  // twips: the width of every line and box outline
}  // namespace imp

// One drawing call as the recording printer keeps it (coordinates in printer twips).
struct Trace {
    enum class Genre { Debut, Ligne, Boite, Image, Fin, Abandon };
    Genre genre = Genre::Debut;
    QLineF ligne;                   // Ligne: the two points
    QRectF rect;                    // Boite: corner and size; Image: the target rectangle
    int style = imp::TraitPlein;    // line style in force
    std::optional<int> couleur;     // colour passed (0x00BBGGRR), none: the printer's black
    QSize taillePixels;             // Image: size of the picture drawn
};

// Hardware margins of a portrait sheet as they stand on the page in that orientation: in
// landscape the page lies a quarter-turn counter-clockwise on the paper (left <- bottom,
// top <- left, right <- top, bottom <- right).
QMarginsF tourner(const QMarginsF& portrait, QPageLayout::Orientation o);

class Imprimante {
public:
    // The system's default printer (the first printer when none is marked default), or none.
    Imprimante();
    virtual ~Imprimante();
    Imprimante(const Imprimante&) = delete;
    Imprimante& operator=(const Imprimante&) = delete;

    bool presente() const { return presente_; }
    // Empty when a printer is there; otherwise the message to show the user.
    QString messageAbsence() const;
    QString nomimprimante() const { return nom_; }

    // Sheet width and height in whole twips, unprintable borders included; in landscape the
    // width is the long side.
    Twips largeurfeuille() const;
    Twips hauteurfeuille() const;
    // Printable width and height: the sheet less the printer's hardware margins.
    Twips largeurimprimable() const;
    Twips hauteurimprimable() const;
    // The hardware margins in twips for the current orientation.
    virtual QMarginsF margesMaterielles() const;

    int orientationimprimante() const;           // 1 portrait, 2 landscape
    void definirOrientationimprimante(int o);    // 380 for another value
    int formatimprimante() const;                // paper code; 256 for a sheet without one
    void definirFormatimprimante(int code);      // 380 for an unknown code or a paper refused
    QPageSize feuille() const { return page_; }

    // The coordinate origin: the printer coordinates of the printable area's corner.
    Twips originegauche() const { return origineGauche_; }
    Twips originehaut() const { return origineHaut_; }
    void definirOriginegauche(Twips v) { origineGauche_ = v; }
    void definirOriginehaut(Twips v) { origineHaut_ = v; }

    // True makes the printer follow the system's default printer again: when the default is
    // another printer than the one held, that printer is taken with its own paper and
    // orientation; the same printer keeps its settings.
    bool suividefaut() const { return suiviDefaut_; }
    void definirSuividefaut(bool v);

    // Line style of the lines and boxes drawn from now on (0 solid, 2 dotted, ...).
    int styletrait() const { return style_; }
    void definirStyletrait(int s);   // 380 outside 0..6

    // Jobs go to this PDF file instead of the printer (an empty path: back to the printer).
    void sortiePdf(const QString& chemin) { pdf_ = chemin; }
    QString fichierPdf() const { return pdf_; }
    // Title of the jobs in the print queue ("Impression").
    void definirNomDocument(const QString& nom) { nomDocument_ = nom; }
    QString nomDocument() const { return nomDocument_; }

    // Opens the job and its page (nothing when one is open already); 482 when there is no
    // printer to print to.
    void debutdocument();
    bool documentOuvert() const { return bool(peintre_); }
    // The job's drawing surface, in twips from the printable area's corner (482 without a job).
    QPainter* hdcimprimante();
    // A straight segment between two points, in the given colour or the printer's black.
    void tracerligne(double x1, double y1, double x2, double y2, std::optional<int> couleur = {});
    // A box outline with its top-left corner and its size.
    void tracerboite(double x, double y, double largeur, double hauteur, std::optional<int> couleur = {});
    // A picture stretched into a rectangle given in twips.
    void dessinerimage(const QImage& image, const QRectF& rectTwips);
    // The picture an imaging control holds, painted at full resolution into a rectangle given
    // in twips (the control's rendudc on the job's drawing surface).
    void dessinerimage(const ControleImage& image, const QRectF& rectTwips);
    // Ends the document and sends it to the printer (or closes the PDF file): 482 when the
    // print system refuses it.
    void findocument();
    // Discards the open document: nothing of it is printed, and a PDF file it was going to is
    // removed. Nothing happens when no document is open. The next job starts afresh.
    void abandonnerdocument();

protected:
    struct Fixe {};
    // A printer whose sizes are given, not asked of a device (see ImprimanteEssai).
    Imprimante(Fixe, const QString& nom, const QPageSize& page, int orientation);
    virtual void enregistrer(const Trace&) {}
    // Where a job goes when no PDF file is set: the printer (nullptr: no printer).
    virtual std::unique_ptr<QPaintDevice> appareilTravail();
    virtual void suivreDefaut();
    // Binds the object to that printer with its own paper and orientation (none: no printer).
    void lier(const QPrinterInfo& info);
    QPageLayout::Orientation orientationQt() const { return orient_; }

private:
    void preparerPeintre(QPaintDevice* appareil);
    void tracer(Trace& t, std::optional<int> couleur);
    void enregistrerImage(const QRectF& rectTwips, QSize taille);
    // Hands the finished job's file to the print system (482 when it refuses it).
    void envoyer(const QString& fichier);
    // A PDF drawing surface of the job's sheet writing into that open file.
    std::unique_ptr<QPaintDevice> appareilPdf(std::unique_ptr<FichierPdf> fichier);
    // Ends the painter and forgets the device and its file; empty when the job ended well and
    // every byte of its file was written, else why not.
    QString fermerPeintre();
    QPen stylo(std::optional<int> couleur) const;

    QString nom_;
    bool presente_ = false;
    QPageSize page_{QPageSize::A4};
    QPageLayout::Orientation orient_ = QPageLayout::Portrait;
    std::unique_ptr<QPrinter> printer_;   // the real printer, asked for its margins
    Twips origineGauche_;
    Twips origineHaut_;
    bool suiviDefaut_ = true;
    int style_ = imp::TraitPlein;
    QString pdf_;
    QString nomDocument_ = QStringLiteral("Impression");
    std::unique_ptr<FichierPdf> sortie_;   // the PDF file a job is written to, outliving its surface
    std::unique_ptr<QPaintDevice> appareil_;
    std::unique_ptr<QPainter> peintre_;
    QString fichierJob_;   // the job's own file, handed to the print system at its end
};

// The printer with fixed sizes: the sheet given (a paper of the program or any size) and
// hardware margins given in twips for the portrait sheet (turned with the page in landscape,
// as tourner() says).
// It records every drawing call; with sortiePdf() its jobs also become a real PDF file whose
// page margins stand in for the hardware margins.
class ImprimanteEssai : public Imprimante {
public:
    explicit ImprimanteEssai(const QPageSize& feuille = QPageSize(QPageSize::A4), const QMarginsF& margesPortrait = {},
                             int orientation = imp::Portrait, const QString& nom = QStringLiteral("Imprimante d'essai"));
    ~ImprimanteEssai() override;

    QMarginsF margesMaterielles() const override;
    const std::vector<Trace>& traces() const { return traces_; }
    void oublierTraces() { traces_.clear(); }

protected:
    void enregistrer(const Trace& t) override { traces_.push_back(t); }
    std::unique_ptr<QPaintDevice> appareilTravail() override;
    void suivreDefaut() override {}

private:
    QMarginsF marges_;
    std::vector<Trace> traces_;
};

// The program's printer object. Until one is installed it is the system's printer.
Imprimante& imprimante();
// Installs a printer in its place (tests); nullptr puts the system's printer back.
void installerImprimante(Imprimante* i);

}  // namespace kal
