#pragma once
// Helpers of the printing tests: objects put straight into an editor's records, work files and
// adjustment rows; PDF jobs rasterised with pdftoppm and measured in millimetres; the CUPS PDF
// printer's jobs. A missing service fails the test (support/services.h).
#include "editor/contexteediteur.h"
#include "platform/printer/imprimante.h"
#include "support/services.h"

#include <QDateTime>
#include <QImage>
#include <QTemporaryDir>
#include <QRectF>
#include <QString>
#include <gtest/gtest.h>
#include <vector>

namespace kaltest {

// A picture of largeur x hauteur pixels in one colour (0x00BBGGRR) written as JPEG (10, 24, 20)
// to `chemin`, as the editors write their work copies.
void ecrireImage(const QString& chemin, int largeur, int hauteur, int couleur = 0x808080);

// An object as its record describes it.
struct ObjetEssai {
    int n = 0;
    double leftimp = 0, topimp = 0, widthimp = 0, heightimp = 0;
    int rot = 0;
    int cadre = 0;
    bool textimage = false;
};
// Marks the record occupied with these fields (the whole table as record source).
void poserObjet(kal::ContexteEditeur& x, const ObjetEssai& o);

// The traces of one kind, in order.
std::vector<kal::Trace> tracesDe(const kal::ImprimanteEssai& imp, kal::Trace::Genre g);
// The kinds of every trace, in order.
std::vector<kal::Trace::Genre> genres(const kal::ImprimanteEssai& imp);

// The first page of a PDF as a grey image at 300 dpi (null when pdftoppm fails or is missing).
QImage rasteriser(const QString& pdf);
constexpr double MmParPixel = 25.4 / 300.0;
// Bounding box of the pixels darker than `seuil` inside `zone` (pixels; the whole page when
// empty), in millimetres from the sheet's corner; empty when there is none.
QRectF encreMm(const QImage& img, QRect zone = {}, int seuil = 128);
// Dark pixels along a column or a row, within [debut, fin).
int sombresColonne(const QImage& img, int x, int debut, int fin, int seuil = 160);

// The system's default printer is the CUPS PDF printer of the test machine.
bool imprimantePdfParDefaut();
// Waits for the job named `titre` that the CUPS PDF printer writes (the newest PDF whose name
// begins with it); empty when it does not come within 20 s.
QString attendreTravailCups(const QString& titre);
QString titreUnique();

// PATH pointed at a folder of stand-in programs that record how they were started (the
// system's printer settings, the web browser), for the length of a test.
class CheminEssai {
public:
    CheminEssai();
    ~CheminEssai();
    void programme(const QString& nom);
    // Whether the stand-in was started (waiting for it up to attenteMs); each start is told once.
    // A test that starts one waits for it, so that it does not outlive the test's folder.
    bool lance(const QString& nom, int attenteMs = 5000) const;

private:
    QTemporaryDir dir_;
    QByteArray ancien_;
};

}  // namespace kaltest
