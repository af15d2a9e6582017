#include "platform/mail/courrier.h"

#include "platform/base/erreur.h"
#include "platform/base/erreursysteme.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace kal::courrier {

namespace {

constexpr qsizetype LongueurLigneMax = 998;   // octets of one line of a message, CR LF apart
constexpr qsizetype LongueurLigneQP = 76;     // characters of one quoted-printable line

const QByteArray CRLF = QByteArrayLiteral("\r\n");

// A header value holds neither line breaks nor other control characters.
QString valeurEntete(const QString& v)
{
    QString r;
    r.reserve(v.size());
    for (QChar c : v)
        if (c.unicode() >= 32 && c.unicode() != 127)
            r += c;
    return r.trimmed();
}

bool asciiImprimable(const QString& v)
{
    for (QChar c : v)
        if (c.unicode() < 32 || c.unicode() > 126)
            return false;
    return true;
}

// Encoded words of at most 45 octets of UTF-8 each (60 characters once in base 64), cut
// between characters, joined by folding white space.
QByteArray motsEncodes(const QString& v)
{
    QList<QByteArray> mots;
    QByteArray courant;
    for (qsizetype i = 0; i < v.size(); ++i) {
        qsizetype n = (v[i].isHighSurrogate() && i + 1 < v.size()) ? 2 : 1;
        const QByteArray octets = v.mid(i, n).toUtf8();
        i += n - 1;
        if (courant.size() + octets.size() > 45) {
            mots << courant;
            courant.clear();
        }
        courant += octets;
    }
    if (!courant.isEmpty())
        mots << courant;
    QByteArray r;
    for (const QByteArray& m : mots) {
        if (!r.isEmpty())
            r += CRLF + ' ';
        r += "=?UTF-8?B?" + m.toBase64() + "?=";
    }
    return r;
}

QByteArray texteEntete(const QString& v) { return asciiImprimable(v) ? v.toLatin1() : motsEncodes(v); }

// A display name as a phrase: plain when it is only atoms, quoted when it holds specials,
// encoded when it is not ASCII.
QByteArray nomAffiche(const QString& v)
{
    if (!asciiImprimable(v))
        return motsEncodes(v);
    static const QString speciaux = QStringLiteral("()<>[]:;@\\,.\"");
    bool simple = true;
    for (QChar c : v)
        if (speciaux.contains(c))
            simple = false;
    if (simple)
        return v.toLatin1();
    QByteArray r = "\"";
    for (QChar c : v) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            r += '\\';
        r += static_cast<char>(c.unicode());
    }
    return r + '"';
}

// The typed text as lines of UTF-8, whatever its line breaks; a text ended by a line break
// has no empty last line.
QList<QByteArray> lignesCorps(const QString& texte)
{
    QString t = texte;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lignes = t.split(QLatin1Char('\n'));
    if (lignes.size() > 1 && lignes.last().isEmpty())
        lignes.removeLast();
    QList<QByteArray> r;
    for (const QString& l : lignes)
        r << l.toUtf8();
    return r;
}

// One line in quoted-printable, with soft line breaks that keep every line within 76
// characters and never cut an escape.
QByteArray quotedPrintable(const QByteArray& ligne)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray r, courant;
    for (qsizetype i = 0; i < ligne.size(); ++i) {
        const auto o = static_cast<unsigned char>(ligne[i]);
        const bool derniere = i + 1 == ligne.size();
        QByteArray morceau;
        if ((o >= 33 && o <= 126 && o != '=') || ((o == ' ' || o == '\t') && !derniere))
            morceau = QByteArray(1, static_cast<char>(o));
        else
            morceau = QByteArray("=") + hex[o >> 4] + hex[o & 15];
        if (courant.size() + morceau.size() > LongueurLigneQP - 1) {
            r += courant + "=" + CRLF;
            courant.clear();
        }
        courant += morceau;
    }
    return r + courant;
}

}  // namespace

QByteArray composer(const Message& m)
{
    const QList<QByteArray> lignes = lignesCorps(m.texte);
    bool tropLongue = false;
    for (const QByteArray& l : lignes)
        if (l.size() > LongueurLigneMax)
            tropLongue = true;

    const QString nom = valeurEntete(m.nomDestinataire);
    const QByteArray adresse = valeurEntete(m.adresseDestinataire).toUtf8();
    QByteArray r;
    r += "To: " + (nom.isEmpty() ? adresse : nomAffiche(nom) + " <" + adresse + ">") + CRLF;
    r += "Subject: " + texteEntete(valeurEntete(m.sujet)) + CRLF;
    r += "MIME-Version: 1.0" + CRLF;
    r += "Content-Type: text/plain; charset=UTF-8" + CRLF;
    r += QByteArray("Content-Transfer-Encoding: ") + (tropLongue ? "quoted-printable" : "8bit") + CRLF;
    r += CRLF;
    for (const QByteArray& l : lignes)
        r += (tropLongue ? quotedPrintable(l) : l) + CRLF;
    return r;
}

QString programmeCourrier()
{
    const QString surLeChemin = QStandardPaths::findExecutable(QStringLiteral("sendmail"));
    if (!surLeChemin.isEmpty())
        return surLeChemin;
    for (const QString& p : {QStringLiteral("/usr/sbin/sendmail"), QStringLiteral("/usr/lib/sendmail")}) {
        const QFileInfo f(p);
        if (f.isFile() && f.isExecutable())
            return p;
    }
    return {};
}

void envoyer(const Message& m, const QString& programme, int delaiMs)
{
    const QString prog = programme.isEmpty() ? programmeCourrier() : programme;
    if (prog.isEmpty())
        throw Erreur(err::SystemeAbsent, QStringLiteral("programme sendmail introuvable"));

    QProcess p;
    p.setProgram(prog);
    p.setArguments({QStringLiteral("-t"), QStringLiteral("-oi")});
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start();
    if (!p.waitForStarted(10000))
        throw Erreur(err::SystemeAbsent, prog + QStringLiteral(": ") + enFrancais(p.errorString()));
    p.write(composer(m));
    p.closeWriteChannel();
    if (!p.waitForFinished(delaiMs)) {
        p.kill();
        p.waitForFinished(2000);
        throw Erreur(err::EnvoiEchoue, prog + QStringLiteral(": pas de réponse"));
    }
    if (p.exitStatus() != QProcess::NormalExit)
        throw Erreur(err::EnvoiEchoue, prog + QStringLiteral(": interrompu"));
    if (p.exitCode() != 0) {
        QString dit = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
        if (dit.isEmpty())
            dit = prog + QStringLiteral(": code de sortie ") + QString::number(p.exitCode());
        throw Erreur(err::EnvoiEchoue, dit);
    }
}

}  // namespace kal::courrier
