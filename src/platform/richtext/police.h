#pragma once
// A text's font as the windows describe it (name, size in points, four effects), and the
// fonts it is shown and drawn with on this system. Windows font names map to installed fonts
// of the same metrics: "Arial" and "MS Sans Serif" to Liberation Sans, "Times New Roman" to
// Liberation Serif, "Courier New" to Liberation Mono.
#include <QColor>
#include <QFont>
#include <QString>
#include <QTextCharFormat>

namespace kal {

struct Police {
    QString nom = QStringLiteral("MS Sans Serif");
    double taille = 8.25;   // points
    bool gras = false;
    bool italique = false;
    bool souligne = false;
    bool barre = false;

    bool operator==(const Police&) const = default;
};

// Registers the font substitutions of the program once (safe to call often). Every function
// below calls it; the application may call it at start-up.
void installerSubstitutionsPolices();

// The installed family that a font name resolves to here ("Arial" -> "Liberation Sans").
QString familleInstallee(const QString& nom);

// The font for the screen (size in points, resolved at the screen's resolution).
QFont policeEcran(const Police& p);

// The font for measuring and drawing at 1440 pixels per inch: one pixel is one twip, so the
// pixel size is the size in points times 20. Hinting is off so that widths scale linearly.
QFont police1440(const Police& p);

// The font of a character format; what the format leaves unset comes from the default font.
Police policeDuFormat(const QTextCharFormat& f, const QFont& defaut);
// Puts the font on a character format (all six properties).
void appliquerPolice(QTextCharFormat& f, const Police& p);
// The text colour of a character format; an invalid colour when it is automatic (black).
QColor couleurDuFormat(const QTextCharFormat& f);

}  // namespace kal
