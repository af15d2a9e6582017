// The RTF reader: its entry points (recognising RTF, loading bytes or a file into a document)
// and the stack of group states. The reading itself is split by behaviour: the bytes, control
// words and symbols in motscontrolertf.cpp, the decoding of text and the building of the
// document in constructionrtf.cpp; the reader's state is declared in lecteurrtfinterne.h.
#include "platform/base/erreur.h"
#include "platform/richtext/lecteurrtfinterne.h"
#include "platform/richtext/rtf.h"

#include <QFile>
#include <QFileInfo>

namespace kal::rtf {

namespace interne {

namespace {

// Nesting deeper than this is read as if it were flat: the formatting of the deeper groups
// stays with the group at the limit. Word processors nest a few dozen levels at most.
constexpr int ProfondeurMax = 256;

}  // namespace

void Lecteur::lire()
{
    curseur_.beginEditBlock();
    lireOctets();
    curseur_.endEditBlock();
}

void Lecteur::ouvrirGroupe()
{
    saut_ = 0;
    if (!ouvert_) {
        ouvert_ = true;
        return;
    }
    if (static_cast<int>(pile_.size()) >= ProfondeurMax) {
        ++debordement_;
        return;
    }
    Etat e = etat();
    pile_.push_back(e);
    etoile_ = false;
}

void Lecteur::fermerGroupe()
{
    saut_ = 0;
    if (debordement_ > 0) {
        --debordement_;
        return;
    }
    if (pile_.size() <= 1) {
        fini_ = true;  // the outermost group is closed: what follows is not part of the document
        return;
    }
    const Destination quittee = etat().destination;
    pile_.pop_back();
    if (quittee == Destination::TablePolices)
        finirPolice();
    if (quittee == Destination::TableCouleurs && etat().destination != Destination::TableCouleurs)
        finirCouleurPartielle();
}

}  // namespace interne

bool estRtf(const QByteArray& octets)
{
    int i = 0;
    if (octets.startsWith("\xEF\xBB\xBF"))
        i = 3;
    while (i < octets.size() && (octets[i] == ' ' || octets[i] == '\t' || octets[i] == '\r' || octets[i] == '\n'))
        ++i;
    return octets.mid(i, 5) == "{\\rtf";
}

void lire(const QByteArray& octets, QTextDocument& doc)
{
    // Bytes that are not RTF are refused before the document is touched.
    if (!estRtf(octets))
        throw Erreur(err::FormatIncorrect, QStringLiteral("Ce format de fichier n'est pas autorisé"));
    const QByteArray utile = octets.mid(octets.indexOf('{'));
    // The text is built straight into the document, in one edit block and without recording
    // each insertion for undo: a load is not something to undo piece by piece.
    const bool annulation = doc.isUndoRedoEnabled();
    doc.setUndoRedoEnabled(false);
    doc.clear();
    try {
        interne::Lecteur(utile, doc).lire();
    } catch (...) {
        doc.setUndoRedoEnabled(annulation);
        throw;
    }
    doc.setUndoRedoEnabled(annulation);
}

void lireFichier(const QString& chemin, QTextDocument& doc)
{
    QFileInfo info(chemin);
    if (!info.exists() || !info.isFile())
        throw Erreur(kal::err::FichierIntrouvable, chemin);
    QFile f(chemin);
    if (!f.open(QIODevice::ReadOnly))
        throw Erreur(kal::err::AccesChemin, chemin);
    const QByteArray octets = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw Erreur(kal::err::AccesChemin, chemin);
    lire(octets, doc);
}

}  // namespace kal::rtf
