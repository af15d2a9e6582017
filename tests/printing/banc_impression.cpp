#include "banc_impression.h"

#include "pagemodel/fiche.h"
#include "platform/imaging/controleimage.h"

#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPrinterInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

namespace kaltest {


void ecrireImage(const QString& chemin, int largeur, int hauteur, int couleur)
{
    kal::ControleImage c;
    c.definirModeechelle(kal::modeechelle::Pixels);
    c.definirCouleurFond(couleur);
    c.creerbitmap(largeur, hauteur, 24);
    c.ecrirefichier(chemin, 10, 24, 20, 0);
}

void poserObjet(kal::ContexteEditeur& x, const ObjetEssai& o)
{
    kal::Fiches f = x.fiches();
    f.sourceTable();
    f.modifier(o.n, [&](kal::bd::JeuEnregistrements& j) {
        j.mettre(kal::champ::occup, true);
        j.mettre(kal::champ::leftimp, o.leftimp);
        j.mettre(kal::champ::topimp, o.topimp);
        j.mettre(kal::champ::widthimp, o.widthimp);
        j.mettre(kal::champ::heightimp, o.heightimp);
        j.mettre(kal::champ::rot, o.rot);
        j.mettre(kal::champ::cadre, o.cadre);
        j.mettre(kal::champ::textimage, o.textimage);
    });
}

std::vector<kal::Trace> tracesDe(const kal::ImprimanteEssai& imp, kal::Trace::Genre g)
{
    std::vector<kal::Trace> r;
    for (const kal::Trace& t : imp.traces())
        if (t.genre == g)
            r.push_back(t);
    return r;
}

std::vector<kal::Trace::Genre> genres(const kal::ImprimanteEssai& imp)
{
    std::vector<kal::Trace::Genre> r;
    for (const kal::Trace& t : imp.traces())
        r.push_back(t.genre);
    return r;
}

QImage rasteriser(const QString& pdf)
{
    QTemporaryDir dossier;
    const QString base = dossier.filePath(QStringLiteral("page"));
    QProcess p;
    p.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-gray"),
                                         QStringLiteral("-singlefile"), pdf, base});
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    return QImage(base + QStringLiteral(".pgm"));
}

QRectF encreMm(const QImage& img, QRect zone, int seuil)
{
    if (zone.isEmpty())
        zone = img.rect();
    zone &= img.rect();
    int x0 = img.width(), y0 = img.height(), x1 = -1, y1 = -1;
    for (int y = zone.top(); y <= zone.bottom(); ++y) {
        const uchar* l = img.constScanLine(y);
        for (int x = zone.left(); x <= zone.right(); ++x)
            if (l[x] < seuil) {
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
    }
    if (x1 < 0)
        return {};
    return QRectF(x0 * MmParPixel, y0 * MmParPixel, (x1 + 1 - x0) * MmParPixel, (y1 + 1 - y0) * MmParPixel);
}

int sombresColonne(const QImage& img, int x, int debut, int fin, int seuil)
{
    int n = 0;
    for (int y = std::max(0, debut); y < std::min(fin, img.height()); ++y)
        n += img.constScanLine(y)[x] < seuil ? 1 : 0;
    return n;
}

bool imprimantePdfParDefaut()
{
    const QPrinterInfo d = QPrinterInfo::defaultPrinter();
    return !d.isNull() && d.printerName() == QLatin1String("PDF");
}

QString attendreTravailCups(const QString& titre)
{
    const QStringList dossiers = {QDir::homePath() + QStringLiteral("/PDF"), QStringLiteral("/root/PDF"),
                                  QStringLiteral("/var/spool/cups-pdf/ANONYMOUS")};
    QElapsedTimer chrono;
    chrono.start();
    while (chrono.elapsed() < 20000) {
        QFileInfo dernier;
        for (const QString& d : dossiers)
            for (const QFileInfo& f : QDir(d).entryInfoList({titre + QStringLiteral("*.pdf")}, QDir::Files))
                if (!dernier.exists() || f.lastModified() > dernier.lastModified())
                    dernier = f;
        if (dernier.exists()) {
            // cups-pdf writes the file, then leaves it: wait until its size holds still.
            qint64 taille = -1;
            while (taille != QFileInfo(dernier.absoluteFilePath()).size() && chrono.elapsed() < 20000) {
                taille = QFileInfo(dernier.absoluteFilePath()).size();
                QThread::msleep(300);
            }
            return dernier.absoluteFilePath();
        }
        QThread::msleep(100);
    }
    return {};
}

QString titreUnique() { return QStringLiteral("kaltest%1").arg(QRandomGenerator::global()->generate()); }

CheminEssai::CheminEssai() : ancien_(qgetenv("PATH")) { qputenv("PATH", dir_.path().toLocal8Bit()); }

CheminEssai::~CheminEssai() { qputenv("PATH", ancien_); }

void CheminEssai::programme(const QString& nom)
{
    const QString chemin = dir_.filePath(nom);
    QFile f(chemin);
    if (!f.open(QIODevice::WriteOnly))
        return;
    f.write(QStringLiteral("#!/bin/sh\necho \"$@\" > '%1.lance'\n").arg(chemin).toLocal8Bit());
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

bool CheminEssai::lance(const QString& nom, int attenteMs) const
{
    const QString marque = dir_.filePath(nom) + QStringLiteral(".lance");
    QElapsedTimer t;
    t.start();
    while (!QFile::exists(marque) && t.elapsed() < attenteMs)
        QThread::msleep(20);
    // Taken: the next start is seen afresh.
    return QFile::remove(marque);
}

}  // namespace kaltest
