#pragma once
// The scanning operations of an imaging control, under the names the windows use:
//
//   scanactif       True brings the scanner library up (no device search); False changes
//                   nothing: the library stays up until the end of the run.
//   scanoptionun    True: a failed acquisition is raised as error 20002 / 20090; False: `acquerir`
//                   returns that number instead.
//   scanoptiondeux  True: the flatbed is taken rather than a document feeder.
//   scanmode        bits of scan::mode: 1 colour 24 bits, 2 at 300 dpi, 4 the whole scan area;
//                   7 is a photo scan. 0 leaves the device's own settings.
//   choisirsource   the person picks the scanner (20090 without any, 20002 when cancelled).
//   acquerir        one page into the picture; 0 on success.
//   suiteacquisition  to be called after every acquisition, whatever its outcome: runs the hook
//                   `apresacquisition` when one is set.
//
// The window handle is the window that owns the chooser.
#include "platform/scanner/scanner.h"

#include <QImage>

#include <functional>

class QWidget;

namespace kal {

class OperationsScan {
public:
    OperationsScan() : scanner_(&Scanner::global()) {}
    explicit OperationsScan(Scanner& s) : scanner_(&s) {}

    bool scanactif() const { return actif_; }
    void definirScanactif(bool v);
    bool scanoptionun() const { return optionUn_; }
    void definirScanoptionun(bool v) { optionUn_ = v; }
    bool scanoptiondeux() const { return optionDeux_; }
    void definirScanoptiondeux(bool v) { optionDeux_ = v; }
    int scanmode() const { return mode_; }
    void definirScanmode(int v) { mode_ = v; }

    void choisirsource(QWidget* fenetre);
    // 0 with the page in `image`; on failure `image` is left as it was and the number is raised
    // or returned (scanoptionun).
    int acquerir(QWidget* fenetre, QImage& image);
    void suiteacquisition(QWidget* fenetre);

    std::function<void(QWidget* fenetre)> apresacquisition;

    Scanner& scanner() const { return *scanner_; }

private:
    Scanner* scanner_;
    bool actif_ = false;
    bool optionUn_ = false;
    bool optionDeux_ = false;
    int mode_ = 0;
};

}  // namespace kal
