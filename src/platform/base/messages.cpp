#include "platform/base/messages.h"

#include <QApplication>
#include <QAbstractButton>
#include <QLibraryInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QTranslator>

#include <utility>

namespace kal {

static Repondeur* g_repondeur = nullptr;

QString lignesMessage(const QStringList& lignes) { return lignes.join(QLatin1Char('\r')); }

void installerRepondeur(Repondeur* r) { g_repondeur = r; }

static int premiereReponse(int style)
{
    switch (style & 7) {
    case msg::OuiNon:
    case msg::OuiNonAnnuler:
        return msg::RepOui;
    default:
        return msg::RepOK;
    }
}

int RepondeurEnregistreur::repondre(const MessageAffiche& m)
{
    messages_.push_back(m);
    if (!reponses_.empty()) {
        const int r = reponses_.front();
        reponses_.pop_front();
        return r;
    }
    return premiereReponse(m.style);
}

int MsgBox(const QString& texte, int style, const QString& titre)
{
    MessageAffiche m{titre, texte, style};
    if (g_repondeur)
        return g_repondeur->repondre(m);

    QMessageBox box;
    box.setWindowTitle(titre);
    QString affiche = texte;
    affiche.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box.setText(affiche);
    switch (style & 0x70) {
    case msg::Critique: box.setIcon(QMessageBox::Critical); break;
    case msg::Question: box.setIcon(QMessageBox::Question); break;
    case msg::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case msg::Information: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
    }
    switch (style & 7) {
    case msg::OKAnnuler:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case msg::OuiNonAnnuler:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case msg::OuiNon:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    // The buttons speak French whatever the desktop's language.
    const std::pair<QMessageBox::StandardButton, const char*> legendes[] = {
        {QMessageBox::Ok, "OK"}, {QMessageBox::Cancel, "Annuler"}, {QMessageBox::Yes, "Oui"}, {QMessageBox::No, "Non"}};
    for (const auto& [bouton, legende] : legendes)
        if (QAbstractButton* b = box.button(bouton))
            b->setText(QString::fromLatin1(legende));
    // The whole title stays readable in the window manager's title bar (its buttons and icon
    // take about 100 pixels): a box with a short text is widened to its title.
    QFont gras = box.font();
    gras.setBold(true);
    const int largeurTitre = QFontMetrics(gras).horizontalAdvance(titre) + 100;
    if (auto* grille = qobject_cast<QGridLayout*>(box.layout()))
        grille->addItem(new QSpacerItem(largeurTitre, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                        grille->rowCount(), 0, 1, grille->columnCount());
    switch (box.exec()) {
    case QMessageBox::Cancel: return msg::RepAnnuler;
    case QMessageBox::Yes: return msg::RepOui;
    case QMessageBox::No: return msg::RepNon;
    default: return msg::RepOK;
    }
}

void installerTraductionsFrancaises()
{
    static QTranslator* traducteur = nullptr;
    if (traducteur || !QCoreApplication::instance())
        return;
    auto* t = new QTranslator(QCoreApplication::instance());
    if (t->load(QStringLiteral("qtbase_fr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        QCoreApplication::installTranslator(t)) {
        traducteur = t;
        return;
    }
    delete t;
}

}  // namespace kal
