#include "platform/dialogs/dialoguecommun.h"

#include "platform/base/erreur.h"
#include "platform/controls/controles.h"
#include "platform/dialogs/dialoguepolice.h"

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace kal {

// --- filters

std::vector<FiltreFichier> lireFiltre(const QString& filtre)
{
    QStringList parties = filtre.split(QLatin1Char('|'));
    if (!parties.isEmpty() && parties.last().isEmpty())
        parties.removeLast();
    std::vector<FiltreFichier> items;
    for (int i = 0; i + 1 < parties.size(); i += 2) {
        FiltreFichier f;
        f.libelle = parties[i];
        for (const QString& m : parties[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts))
            f.motifs.append(m.trimmed());
        items.push_back(f);
    }
    if (parties.size() % 2 == 1 && !parties.last().isEmpty())
        items.push_back({parties.last(), {QStringLiteral("*")}});
    return items;
}

QString filtreQt(const QString& filtre)
{
    QStringList items;
    for (const FiltreFichier& f : lireFiltre(filtre)) {
        QString libelle = f.libelle;
        libelle.remove(QLatin1Char('(')).remove(QLatin1Char(')'));
        items.append(libelle.trimmed() + QStringLiteral(" (") + f.motifs.join(QLatin1Char(' ')) + QLatin1Char(')'));
    }
    return items.join(QStringLiteral(";;"));
}

// --- answerers

namespace {

// The person in front of the real dialogs.
class RepondeurReel : public RepondeurDialogue {
public:
    bool police(ChoixPolice& choix, int options) override
    {
        DialoguePolice d(QApplication::activeWindow(), (options & dialogue::Effets) != 0);
        d.definirChoix(choix);
        if (d.exec() != QDialog::Accepted)
            return false;
        choix = d.choix();
        return true;
    }

    bool couleur(int& rvb, int) override
    {
        const QColor c = QColorDialog::getColor(couleurDepuisRvb(rvb), QApplication::activeWindow(),
                                                QStringLiteral("Couleur"), QColorDialog::DontUseNativeDialog);
        if (!c.isValid())
            return false;
        rvb = rvbDepuisCouleur(c);
        return true;
    }

    bool fichier(QString& chemin, const QString& filtre, int) override
    {
        // Name patterns match whatever the case of the letters: "*RTF*" lists lettre.rtf too.
        QFileDialog d(QApplication::activeWindow(), QStringLiteral("Ouvrir"), QDir::currentPath(), filtreQt(filtre));
        d.setFileMode(QFileDialog::ExistingFile);
        d.setAcceptMode(QFileDialog::AcceptOpen);
        d.setOption(QFileDialog::DontUseNativeDialog);
        d.setFilter(QDir::AllEntries | QDir::AllDirs | QDir::NoDotAndDotDot);
        if (!chemin.isEmpty())
            d.selectFile(chemin);
        if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty())
            return false;
        chemin = QFileInfo(d.selectedFiles().first()).absoluteFilePath();
        return true;
    }
};

RepondeurDialogue*& repondeurInstalle()
{
    static RepondeurDialogue* r = nullptr;
    return r;
}

RepondeurDialogue& repondeur()
{
    static RepondeurReel reel;
    RepondeurDialogue* r = repondeurInstalle();
    return r ? *r : reel;
}

}  // namespace

void installerRepondeurDialogue(RepondeurDialogue* r) { repondeurInstalle() = r; }

bool RepondeurDialogueEnregistreur::police(ChoixPolice& choix, int options)
{
    demandes_.push_back({QStringLiteral("police"), choix, choix.couleur, {}, {}, options});
    if (polices_.empty())
        return false;
    const auto r = polices_.front();
    polices_.pop_front();
    if (!r)
        return false;
    choix = *r;
    return true;
}

bool RepondeurDialogueEnregistreur::couleur(int& rvb, int options)
{
    demandes_.push_back({QStringLiteral("couleur"), {}, rvb, {}, {}, options});
    if (couleurs_.empty())
        return false;
    const auto r = couleurs_.front();
    couleurs_.pop_front();
    if (!r)
        return false;
    rvb = *r;
    return true;
}

bool RepondeurDialogueEnregistreur::fichier(QString& chemin, const QString& filtre, int options)
{
    demandes_.push_back({QStringLiteral("fichier"), {}, 0, chemin, filtre, options});
    if (fichiers_.empty())
        return false;
    const auto r = fichiers_.front();
    fichiers_.pop_front();
    if (!r)
        return false;
    chemin = *r;
    return true;
}

// --- the common dialog

bool DialogueCommun::annule()
{
    if (annulationerreur)
        throw Erreur(dialogue::ErreurAnnulation, QStringLiteral("Annulation"));
    return false;
}

bool DialogueCommun::choixpolice()
{
    ChoixPolice c;
    c.police = Police{policedialogue, tailledialogue, grasdialogue, italiquedialogue, soulignedialogue, barredialogue};
    c.couleur = couleurdialogue;
    if (!repondeur().police(c, optionsdialogue))
        return annule();
    policedialogue = c.police.nom;
    tailledialogue = c.police.taille;
    grasdialogue = c.police.gras;
    italiquedialogue = c.police.italique;
    // Without the effects the dialog offers no colour, underline or strike-through.
    if (optionsdialogue & dialogue::Effets) {
        soulignedialogue = c.police.souligne;
        barredialogue = c.police.barre;
        couleurdialogue = c.couleur & 0xFFFFFF;
    }
    return true;
}

bool DialogueCommun::choixcouleur()
{
    int rvb = couleurdialogue;
    if (!repondeur().couleur(rvb, optionsdialogue))
        return annule();
    couleurdialogue = rvb & 0xFFFFFF;
    return true;
}

bool DialogueCommun::choixfichier()
{
    QString chemin = nomfichier;
    if (!repondeur().fichier(chemin, filtre, optionsdialogue))
        return annule();
    nomfichier = chemin;
    return true;
}

}  // namespace kal
