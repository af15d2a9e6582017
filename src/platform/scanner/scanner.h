#pragma once
// The scanner, over SANE. The library is brought up once per run, on first need, and shut down
// at the end; the search for devices (slow when network scanners are looked for) is done once
// per run too, and only when a source is chosen or an acquisition needs one. Every call runs on
// the calling (GUI) thread; a long step shows the hourglass.
//
// Failures are kal::Erreur with one of two numbers:
//   20090  no scanner, or the chosen source cannot be opened (absent, busy, access refused);
//   20002  the acquisition failed or was cancelled (the choice of source too).
#include <QImage>
#include <QString>

#include <memory>
#include <vector>

class QWidget;

namespace kal {

namespace scan {
constexpr int AcquisitionEchouee = 20002;
constexpr int SourceIndisponible = 20090;

// Bits of the scan mode (`scanmode`); 7 is a photo scan.
namespace mode {
constexpr int Couleur = 1;          // colour, 8 bits a sample
constexpr int ResolutionPhoto = 2;  // 300 dpi, or the nearest the device offers
constexpr int SurfaceEntiere = 4;   // the device's whole scan area
}  // namespace mode
constexpr int ResolutionPhotoDpi = 300;
}  // namespace scan

struct AppareilScan {
    QString nom;        // the device name the library opens ("test:0", "epson2:libusb:001:004")
    QString fabricant;
    QString modele;
    QString genre;      // "flatbed scanner", ...
    // How the chooser shows it: "maker model (name)".
    QString libelle() const;
};

// What an acquisition asks of the device. A setting the device does not offer is left as the
// device has it.
struct ReglagesScan {
    int mode = 0;              // bits of scan::mode
    bool sourceAPlat = false;  // take the flatbed rather than a document feeder
};

class Scanner {
public:
    Scanner();
    ~Scanner();   // shuts the library down if this scanner brought it up
    Scanner(const Scanner&) = delete;
    Scanner& operator=(const Scanner&) = delete;

    // The scanner of the program run.
    static Scanner& global();

    // Brings the library up (once; no device search). Only one Scanner may be up at a time.
    void activer();
    bool actif() const;

    // The devices found; the search runs at the first call only.
    const std::vector<AppareilScan>& appareils();
    int recherches() const;   // searches done so far (0 or 1)

    // The chosen source's device name; empty while none was chosen.
    QString source() const;

    // Shows the list of devices to the person (always, even when there is only one), the
    // current source selected. No device: 20090 at once, nothing shown. Cancelled: 20002, and
    // the source stays what it was.
    void choisirSource(QWidget* fenetre);

    // Acquires one page from the chosen source (the first device found when none was chosen)
    // into a 24-bit colour picture. The device is opened for the acquisition and released after.
    QImage acquerir(const ReglagesScan& reglages);

private:
    QImage acquerirPage(const ReglagesScan& reglages);
    struct Etat;
    std::unique_ptr<Etat> e_;
};

}  // namespace kal
