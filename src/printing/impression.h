#pragma once
// Printing as the editors use it: the entries "Imprimer" and "Configurer imprimante", the page
// and jacket print jobs (every occupied object rebuilt at full resolution from its base work
// file, with its adjustments and rotation, at its calibrated position, its frame after it),
// the jacket's fold lines and cut outlines, the printer set-up and its completion with the
// page-settings record, the jacket's function options and the fold marks on its previews.
#include "editor/contexteediteur.h"
#include "layout/geometrie.h"

#include <memory>
#include <vector>

class QObject;

namespace kal {

// What printing reads of one object record.
struct FicheImprimee {
    int numero = 0;
    bool occup = false;
    double leftimp = 0, topimp = 0;      // page: from the sheet's edges; jacket: from the face's origin
    double widthimp = 0, heightimp = 0;  // the unturned box, twips
    int rot = 0;                         // degrees, -180..180
    int cadre = 0;                       // 1: framed
    bool textimage = false;
};

// The record's geometry as the one object geometry takes it.
FicheGeometrie geometrieImprimee(const FicheImprimee& f);

class Impression {
public:
    explicit Impression(ContexteEditeur& ctx);
    ~Impression();

    // The jacket's function options, the printing entries of the function list, and the
    // window's click and repaint that complete a printer set-up.
    void brancher();

    // --- The entries of the function list; false when the entry stops early.
    bool imprimer();
    bool configurerimprimante();

    // --- Printing (one job). Page: every occupied object 0-15 in number order. Jacket: the
    // face or faces chosen in "Jaquette", each with its fold lines and cut outline, on A4
    // portrait. A job that fails is discarded and the user told in an "ERREUR" box; false then.
    bool impression();
    // Jacket faces, into the open job: marks first, then the objects 0-15 (imprav) or 16-31
    // (imprar).
    void imprav();
    void imprar();
    // The frame of the object just printed, at (posgauche, poshaut).
    void imprimcadre(const FicheImprimee& f);

    // Last printed object: where its picture was drawn, in twips from the printable area's
    // corner.
    int32_t posgauche() const { return posgauche_; }
    int32_t poshaut() const { return poshaut_; }
    // The print-only picture holder; it keeps the last printed object's picture.
    ControleImage& L_imprim() { return *L_imprim_; }

    // --- Printer set-up.
    void configxp();
    // Completes a pending set-up: the window's click (page) and repaint (both editors).
    void Form_Click();
    void Form_Paint();
    // Re-lays the page when the sheet changed, records the printer's settings in the
    // page-settings record (page) and enables the layout controls.
    void finconfig();

    // Jacket: fold marks on the face previews and the face outlines.
    void pliage();
    // Jacket: the current object's miniature on its face preview, in step with the object
    // ("sup" hides it; any other word refreshes it).
    void apercujaq(const QString& action);

    // --- Jacket options.
    void O_compos_Click();
    void O_imprim_Click();
    void O_tout_Click();

private:
    ContexteEditeur& x_;
    std::vector<std::unique_ptr<Trait>> plis_;
    std::unique_ptr<ControleImage> L_imprim_;
    std::unique_ptr<QObject> filtreFenetre_;
    int32_t posgauche_ = 0, poshaut_ = 0;
    // Jacket: the face being composed when "Imprimer" was ticked, shown again by "Composer".
    bool faceAvant_ = true;

    bool imprimerPage();
    bool imprimerJaquetteEntree();
    bool questionImprimante();
    // The job itself; a failure reaches impression(), which discards the job.
    void imprimerPageJob();
    void imprimerJaquetteJob();
    // The current object stored before its files are printed; a failure to write them says so
    // in the program's words, without the name of a work file.
    void garderAvantImpression();
    // Objects [debut, fin) of the record source in force, at the given origin (twips added
    // to each object's stored position before the corrections).
    void imprimerobjets(int debut, int fin, Twips origineGauche, Twips origineHaut, bool actualiserChaque);
    void imprimerobjet(const FicheImprimee& f, Twips origineGauche, Twips origineHaut);
    FicheImprimee lireFiche(int n);
    void terminerConfigJaquette();
};

}  // namespace kal
